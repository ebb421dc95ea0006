#pragma once

#include <QStringList>
#include <QTableView>
#include <functional>

namespace store {

class ColumnFitter;
class DataControl;
class DbError;

// A data grid: the rows of one data control, one column per configured field with its caption.
// The grid's current row is the record set's current row, both ways.
class DataGrid : public QTableView {
    Q_OBJECT
public:
    struct ColumnSpec {
        QString caption;
        QString field;
    };

    explicit DataGrid(QWidget* parent = nullptr);

    void setDataSource(DataControl* control);
    DataControl* dataSource() const { return m_control; }

    // The columns to show, in order; none configured shows every field under its own name.
    void setColumns(const QVector<ColumnSpec>& columns);
    void setLockedFields(const QStringList& fields);

    void setAllowUpdate(bool allow);
    bool allowUpdate() const;

    // Writes what the user changed in the current row (a cell still being typed in included), as
    // leaving the row does, before a window searches or closes. A refusal is told and the row
    // shows its stored values again; a write of unknown outcome is told and the rows are read
    // again. False when the write did not reach the server (told too): what would follow could
    // only tell the loss again.
    bool writePending();

    // Where a grid shows what the record set refused (a cell edit, a move off a changed row).
    static void setErrorReporter(std::function<void(const QString&)> reporter);
    static void report(const QString& text);

Q_SIGNALS:
    // The user clicked in the grid; the clicked row is already the current row.
    void Click();
    // A key was pressed in the grid (the platform key code: 38 Up, 40 Down, 13 Enter...), after
    // the grid has acted on it, so a moved current row is already the record set's.
    void KeyDown(int keyCode);

protected:
    void commitData(QWidget* editor) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void applyColumns();
    void followRecordSet();
    void rowChosen(const QModelIndex& current, const QModelIndex& previous);
    // Hands a cell still being typed in to the record set, whatever is about to write or leave
    // the row (a button pressed by its access key leaves the focus in the cell).
    void handOverEditor();
    // After a write of the grid failed: told, and with an unknown outcome the rows read again.
    void writeFailed(const DbError& error);

    DataControl* m_control = nullptr;
    ColumnFitter* m_fitter = nullptr; // sizes the columns to their captions and texts
    QVector<ColumnSpec> m_columns;
    bool m_syncing = false;
    bool m_holding = false; // rows are being added or removed
    bool m_pressed = false;
    bool m_committing = false; // an editor's text is going to the record set
};

} // namespace store
