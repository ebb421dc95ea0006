#include "CellDelegate.h"

#include "platform/Widgets.h"
#include "store/RecordModel.h"
#include "store/DataControl.h"
#include "store/Schema.h"
#include "store/Value.h"
#include "store/DbError.h"
#include "store/ui/DataGrid.h"
#include "store/ui/DatePicker.h"

#include <QLineEdit>

namespace {

bool isDateCell(const QModelIndex& index)
{
    const auto* model = qobject_cast<const store::RecordModel*>(index.model());
    if (!model)
        return false;
    const auto type = store::Schema::typeOfColumn(model->control()->fieldName(index.column()));
    // An empty date cell has nothing for a picker to start from: it is typed like any other.
    return type == store::ColumnType::Date && index.data(Qt::EditRole).typeId() == QMetaType::QDate;
}

} // namespace

QWidget* CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    if (isDateCell(index)) {
        auto* picker = new store::DatePicker(parent);
        picker->setObjectName(QStringLiteral("cellDate"));
        picker->setCalendarPopup(false);
        picker->setFrame(false);
        return picker;
    }
    QLineEdit* box = ui::textBox(parent, "cellText");
    box->setFrame(false);
    return box;
}

void CellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* picker = qobject_cast<store::DatePicker*>(editor))
        picker->setValue(index.data(Qt::EditRole).toDate());
    else if (auto* box = qobject_cast<QLineEdit*>(editor))
        box->setText(index.data(Qt::DisplayRole).toString());
}

void CellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    // A cell left as it was is no change: the row is not made pending by merely visiting it.
    if (auto* picker = qobject_cast<store::DatePicker*>(editor)) {
        QDate date;
        try {
            date = picker->value();
        } catch (const store::DbError& error) {
            store::DataGrid::report(error.text()); // a date the picker cannot hold changes nothing
            return;
        }
        if (date != index.data(Qt::EditRole).toDate())
            model->setData(index, date, Qt::EditRole);
    } else if (auto* box = qobject_cast<QLineEdit*>(editor)) {
        if (box->text() != index.data(Qt::DisplayRole).toString())
            model->setData(index, box->text(), Qt::EditRole);
    }
}
