#pragma once

#include "Schema.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>

namespace store {

class Connection;
class RecordModel;

// A data control: one statement (its record source) and the record set it yields, with a
// current row, BOF/EOF, a row count and the fields of the current row by name, over the
// program's connection. Grids, data combos and bound boxes show its rows through model().
//
// Large results are never read whole: the rows are fetched in blocks of PageSize as they are
// looked at, the row count is asked of the database when it is first needed, and a block
// nearer the end is read in reverse order. To make blocks fit together, the order is made
// total: the key of the table is added to the ORDER BY of a statement over one table, and the
// columns by position to any other statement that is longer than one block.
//
// A statement of the form "select * from <table> ..." over one table of the schema can be
// written back: AddNew/Update/Delete write that table, finding a row by its key and by the
// values it was read with, so that a row changed or deleted by another user meanwhile is
// refused instead of overwritten.
//
// Every operation that fails throws DbError with the database's text.
class DataControl : public QObject {
    Q_OBJECT
public:
    static constexpr int PageSize = 50;

    enum class CommandType { Text, Table, Unknown };
    enum class EditMode { None, Edit, Add };

    explicit DataControl(QObject* parent = nullptr);
    DataControl(std::shared_ptr<Connection> connection, QObject* parent = nullptr);
    ~DataControl() override;

    void setRecordSource(const QString& statement) { m_source = statement; }
    const QString& recordSource() const { return m_source; }
    void setCommandType(CommandType type) { m_commandType = type; }
    CommandType commandType() const { return m_commandType; }

    // Runs the record source again; the first row becomes current. Pending changes are dropped.
    void refresh();
    bool isOpen() const { return m_open; }

    int recordCount();
    bool bof();
    bool eof();
    // The current row (0-based), or -1 at BOF, EOF, on a deleted row or with no rows.
    int currentRow();

    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    void moveTo(int row);

    int fieldCount() const { return m_fields.size(); }
    QString fieldName(int index) const { return m_fields.value(index); }
    int fieldIndex(const QString& name) const;
    const QStringList& fieldNames() const { return m_fields; }

    QVariant field(const QString& name);
    void setField(const QString& name, const QVariant& value);

    void addNew();
    void update();
    void remove();
    void cancel();
    EditMode editMode() const { return m_mode; }
    bool isUpdatable() const { return m_table != nullptr; }

    // The value at a row and column as the grid shows it (pending changes included);
    // an invalid variant where the row cannot be read.
    QVariant valueAt(int row, int column);

    RecordModel* model() const { return m_model; }
    Connection& connection();

Q_SIGNALS:
    // The current row moved or its values changed: bound boxes show it again.
    void currentChanged();
    // About to write the current row: bound boxes hand over what the user typed.
    void aboutToUpdate();

private:
    using Row = QVector<QVariant>;

    void close();
    void requireOpen() const;
    const Row* serverRow(int index);
    void fetchBlock(int index);
    int serverCount();
    int knownRows() const;
    void setPosition(int position);
    void commitPendingBeforeMove();
    void checkCurrent();
    Row& currentValues();
    QString rowMatch(const Row& row) const;
    Row readBack(const QVector<QVariant>& returned, const QStringList& names) const;

    std::shared_ptr<Connection> m_connection;
    RecordModel* m_model;
    QString m_source;
    CommandType m_commandType = CommandType::Text;

    bool m_open = false;
    QStringList m_fields;
    const Table* m_table = nullptr;
    QString m_paged;    // the statement with a total order; empty when every row is read already
    QString m_reversed; // the same in reverse order
    QString m_countStatement;
    int m_serverTotal = -1; // rows of the result on the server, -1 until counted
    int m_knownAtLeast = 0;
    QHash<int, Row> m_rows; // cached rows by their place in the result
    QVector<Row> m_appended; // rows added here since the last refresh
    int m_position = -1;
    bool m_onDeleted = false;

    EditMode m_mode = EditMode::None;
    QHash<int, QVariant> m_changes;
    int m_positionBeforeAdd = -1;

    friend class RecordModel;
};

} // namespace store
