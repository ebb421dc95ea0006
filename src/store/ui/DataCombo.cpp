#include "DataCombo.h"

#include "../DataControl.h"
#include "../RecordModel.h"
#include "platform/Widgets.h"

#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>

namespace store {

DataCombo::DataCombo(QWidget* parent)
    : QComboBox(parent)
{
    setEditable(true);
    setCompleter(nullptr);
    ui::takeWhole(lineEdit());
    setInsertPolicy(NoInsert);
    setMaxVisibleItems(20);
    setSizeAdjustPolicy(AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
}

void DataCombo::setRowSource(DataControl* control, const QString& listField)
{
    m_control = control;
    m_listField = listField;
    setModel(control->model());
    connect(control->model(), &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_kept = currentText(); });
    connect(control->model(), &QAbstractItemModel::modelReset, this, [this] {
        bindColumn();
        setText(m_kept);
    });
    bindColumn();
    setText(QString());
}

void DataCombo::bindColumn()
{
    const int column = m_control ? m_control->fieldIndex(m_listField) : -1;
    if (column >= 0)
        setModelColumn(column);
}

void DataCombo::setText(const QString& text)
{
    // Matching reads the list; an empty text matches no entry anyway.
    setCurrentIndex(text.isEmpty() ? -1 : findText(text, Qt::MatchExactly));
    setEditText(text);
}

void DataCombo::setLocked(bool locked)
{
    m_locked = locked;
    lineEdit()->setReadOnly(locked);
}

void DataCombo::showPopup()
{
    if (!m_locked)
        QComboBox::showPopup();
}

void DataCombo::focusInEvent(QFocusEvent* event)
{
    if (!completer()) {
        // As the combo box makes its own.
        auto* completer = new QCompleter(model(), this);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->setCompletionMode(QCompleter::InlineCompletion);
        completer->setCompletionColumn(modelColumn());
        setCompleter(completer);
    }
    QComboBox::focusInEvent(event);
}

void DataCombo::keyPressEvent(QKeyEvent* event)
{
    if (m_locked && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down || event->key() == Qt::Key_PageUp
            || event->key() == Qt::Key_PageDown || event->key() == Qt::Key_Home || event->key() == Qt::Key_End
            || event->key() == Qt::Key_F4)) {
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void DataCombo::wheelEvent(QWheelEvent* event)
{
    if (m_locked)
        return;
    QComboBox::wheelEvent(event);
}

} // namespace store
