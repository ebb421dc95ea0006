#include "DataGrid.h"

#include "ColumnFitter.h"
#include "GridExport.h"
#include "../DataControl.h"
#include "../DbError.h"
#include "../RecordModel.h"
#include "platform/KeyCode.h"
#include "platform/Widgets.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QMouseEvent>

namespace store {

namespace {
std::function<void(const QString&)>& reporter()
{
    static std::function<void(const QString&)> r;
    return r;
}

// Cells are edited as the text the grid shows, whatever the column's type: a score is typed as a
// person writes it, and what the column refuses is refused by the record set with its message
// (a spin box would cut "1e999" or "abc" to a number silently).
class CellEditor : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        ui::takeWhole(editor);
        return editor;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        static_cast<QLineEdit*>(editor)->setText(index.data(Qt::DisplayRole).toString());
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        const QString text = static_cast<QLineEdit*>(editor)->text();
        if (text != index.data(Qt::DisplayRole).toString())
            model->setData(index, text, Qt::EditRole);
    }
};
} // namespace

void DataGrid::setErrorReporter(std::function<void(const QString&)> r) { reporter() = std::move(r); }

void DataGrid::report(const QString& text)
{
    if (reporter())
        reporter()(text);
}

DataGrid::DataGrid(QWidget* parent)
    : QTableView(parent)
{
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    setEditTriggers(DoubleClicked | EditKeyPressed | AnyKeyPressed);
    setAlternatingRowColors(true);
    // Millions of rows: every row is as high as the next, so the view never measures them.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    verticalHeader()->setVisible(false);
    horizontalHeader()->setHighlightSections(false);
    m_fitter = new ColumnFitter(this);
    setItemDelegate(new CellEditor(this));
    GridExport::attach(this); // the context menu: export every row to a workbook or CSV file
}

void DataGrid::setDataSource(DataControl* control)
{
    m_control = control;
    RecordModel* model = control->model();
    // While rows come and go the view moves its current index by itself; that is no choice of
    // the user's, and must not move the record set (which would write what is pending). Slots
    // run in the order they were connected: the hold comes before the view's own handling of
    // the change, the release after it.
    auto hold = [this] { m_holding = true; };
    auto release = [this] {
        m_holding = false;
        followRecordSet();
    };
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, hold);
    connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, hold);
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, hold);
    setModel(model);
    connect(model, &QAbstractItemModel::rowsRemoved, this, release);
    connect(model, &QAbstractItemModel::rowsInserted, this, release);
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        m_holding = false;
        applyColumns();
        followRecordSet();
    });
    connect(control, &DataControl::currentChanged, this, &DataGrid::followRecordSet);
    connect(control, &DataControl::aboutToUpdate, this, &DataGrid::handOverEditor);
    connect(model, &RecordModel::failed, this, &DataGrid::report);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, &DataGrid::rowChosen);
    applyColumns();
    followRecordSet();
}

void DataGrid::setColumns(const QVector<ColumnSpec>& columns)
{
    m_columns = columns;
    if (m_control)
        applyColumns();
}

void DataGrid::setLockedFields(const QStringList& fields)
{
    if (m_control)
        m_control->model()->setLockedFields(fields);
}

void DataGrid::setAllowUpdate(bool allow)
{
    if (m_control)
        m_control->model()->setEditable(allow);
    if (!allow && state() == EditingState)
        closePersistentEditor(currentIndex());
}

bool DataGrid::allowUpdate() const { return m_control && m_control->model()->isEditable(); }

void DataGrid::applyColumns()
{
    if (!m_control)
        return;
    QHeaderView* header = horizontalHeader();
    const int count = m_control->fieldCount();
    if (m_columns.isEmpty()) {
        for (int i = 0; i < count; ++i)
            setColumnHidden(i, false);
        m_fitter->fit(m_control);
        return;
    }
    for (int i = 0; i < count; ++i)
        setColumnHidden(i, true);
    int visual = 0;
    for (const ColumnSpec& column : m_columns) {
        const int logical = m_control->fieldIndex(column.field);
        if (logical < 0)
            continue;
        m_control->model()->setCaption(m_control->fieldName(logical), column.caption);
        setColumnHidden(logical, false);
        header->moveSection(header->visualIndex(logical), visual++);
    }
    m_fitter->fit(m_control);
}

void DataGrid::followRecordSet()
{
    if (!m_control || m_syncing || m_holding)
        return;
    m_syncing = true;
    const int row = m_control->currentRow();
    const int column = currentIndex().isValid() && !isColumnHidden(currentIndex().column())
        ? currentIndex().column()
        : horizontalHeader()->logicalIndex(0);
    if (row < 0) {
        selectionModel()->clearCurrentIndex();
        selectionModel()->clearSelection();
    } else if (currentIndex().row() != row) {
        const QModelIndex index = model()->index(row, std::max(0, column));
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(index);
    }
    m_syncing = false;
}

void DataGrid::rowChosen(const QModelIndex& current, const QModelIndex& previous)
{
    if (m_syncing || m_holding || !m_control || !current.isValid())
        return;
    try {
        m_control->moveTo(current.row());
    } catch (const DbError& error) {
        writeFailed(error);
        // The record set stayed where it was; so does the grid.
        m_syncing = true;
        if (previous.isValid() && m_control->currentRow() == previous.row())
            selectionModel()->setCurrentIndex(previous, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_syncing = false;
        followRecordSet();
    }
}

void DataGrid::writeFailed(const DbError& error)
{
    report(error.text());
    // The write may be stored, and the record set dropped it: what the table holds is read again,
    // so that the row is neither shown as it was nor later refused as changed by someone else.
    if (error.kind() == DbError::Kind::OutcomeUnknown)
        m_control->refreshAfter(error);
}

bool DataGrid::writePending()
{
    if (!m_control || !m_control->isOpen())
        return true;
    try {
        m_control->writePending();
    } catch (const DbError& error) {
        m_control->cancel();
        writeFailed(error);
        return error.isRefusal();
    }
    return true;
}

void DataGrid::commitData(QWidget* editor)
{
    m_committing = true;
    QTableView::commitData(editor);
    m_committing = false;
}

void DataGrid::handOverEditor()
{
    if (m_committing || state() != EditingState)
        return;
    QWidget* editor = indexWidget(currentIndex());
    if (!editor)
        return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void DataGrid::keyPressEvent(QKeyEvent* event)
{
    QTableView::keyPressEvent(event);
    Q_EMIT KeyDown(platform::keyCode(event->key()));
}

void DataGrid::mousePressEvent(QMouseEvent* event)
{
    m_pressed = true;
    QTableView::mousePressEvent(event);
}

void DataGrid::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    if (m_pressed && event->button() == Qt::LeftButton) {
        m_pressed = false;
        Q_EMIT Click();
    }
}

} // namespace store
