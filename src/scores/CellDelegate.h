#pragma once

#include <QStyledItemDelegate>

// How the score and course grids take a typed cell: a date column with a date in it is changed
// with a date picker; every other cell with a plain text box that starts from the text the grid
// shows ("77.5", not a spin box rounded to its own decimals), and whatever is typed goes to the
// record set as typed, for the column's type to accept or refuse when the row is written.
class CellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};
