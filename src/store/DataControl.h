#pragma once

#include "Connection.h"
#include "KeySet.h"
#include "Schema.h"

#include <QHash>
#include <QObject>
#include <QTimer>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>

namespace store {

class DbError;

class Connection;
class KeyFeed;
class RecordModel;

// A data control: one statement (its record source) and the record set it yields, with a
// current row, BOF/EOF, a row count and the fields of the current row by name, over the
// program's connection. Grids, data combos and bound boxes show its rows through model().
//
// From one refresh to the next a record set keeps one membership and one order, as a
// keyset-driven cursor does: browsing and the grid reach every row the statement matched exactly
// once, in the statement's order, whatever others write meanwhile.
// - A result of one block (PageSize rows) or less is read whole at refresh.
// - A larger result over one table (or over a table joined to others on their keys) keeps the keys
//   of its rows in order (KeySet) and reads the rows by key, a block at a time, as they are looked
//   at. A row deleted since the refresh is shown as deleted (its fields cannot be read); a row
//   inserted elsewhere appears after the next refresh. The row count is asked when it is first
//   needed. It is read on a session of its own (KeyReaders), in one snapshot of the database
//   with the keys of the rows after the first block, so that the two agree: a result of up to
//   eagerKeys() rows, or one whose keys the database does not number, takes all its keys there
//   while the window goes on (reading a place whose key has not come yet waits for it); a larger
//   one takes them block by block as it is browsed, up to the table's highest key at the count.
// - A result without a key of its own (a grouped or joined statement) is read whole at refresh.
//   One whose order is given (setResultOrder) is read in that order; on PostgreSQL, which gives
//   the first rows of such an order without grouping everything, its first block is read by
//   itself and the whole result (all of which its count needs) on a session of its own, while
//   the window goes on: the grid shows the first block, the count is known when the whole has
//   come (counted()), and the whole then takes the first block's place, so that every row is
//   of the one result. Moving past the first block, or asking the count, waits for it.
//
// A statement over one table of the schema ("select * from <table> ...", or such a table joined to
// others on their keys) can be written back: AddNew/Update/Delete write that table (only its own
// columns), finding a row by its key. An Update also requires the columns it changes to hold what
// was read, so that a change another user made meanwhile to the same column is refused instead of
// overwritten, while a change to another column is no conflict.
//
// Every operation that fails throws DbError with the database's text.
class DataControl : public QObject {
    Q_OBJECT
public:
    static constexpr int PageSize = 50;
    // Results of up to this many rows take all their keys when first counted (see above).
    static int eagerKeys();
    static void setEagerKeys(int rows);

    enum class CommandType { Text, Table, Unknown };
    enum class EditMode { None, Edit, Add };

    explicit DataControl(QObject* parent = nullptr);
    DataControl(std::shared_ptr<Connection> connection, QObject* parent = nullptr);
    ~DataControl() override;

    void setRecordSource(const QString& statement) { m_source = statement; }
    const QString& recordSource() const { return m_source; }
    // The columns of the result ("学号, 姓名") that order it totally, for a result without a key
    // of its own and without an order of its own (see above); empty: read in the statement's own
    // order. Kept until changed.
    void setResultOrder(const QString& columns) { m_resultOrder = columns; }
    void setCommandType(CommandType type) { m_commandType = type; }
    CommandType commandType() const { return m_commandType; }

    // Runs the record source again; the first row becomes current. Pending changes are dropped.
    void refresh();
    // The same, after a failure that has been told: when that was the loss of the server, a
    // second failure to reach it is not thrown to be told again.
    void refreshAfter(const DbError& told);
    bool isOpen() const { return m_open; }

    int recordCount();
    // Whether recordCount() is known without waiting: false while the whole of an ordered result
    // without a key is still being read beside the window.
    bool countKnown() const { return !m_open || !m_counting; }
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
    // Writes what is pending on the current row, as moving off it does: a changed row is written,
    // a new row nobody filled in is dropped. Throws DbError as update() does.
    void writePending();
    void remove();
    void cancel();
    EditMode editMode() const { return m_mode; }
    bool isUpdatable() const { return m_table != nullptr; }

    // The value at a row and column as the grid shows it (pending changes included);
    // an invalid variant where the row cannot be read.
    QVariant valueAt(int row, int column);
    // The same value, but only when the record set holds that row already: nothing is read or
    // counted. False for a row not read yet or deleted. For sizing what a grid shows.
    bool cachedValue(int row, int column, QVariant& value) const;

    // Every row of the record set in its order, as the grid shows them (pending changes and rows
    // added here included; a deleted row as an empty one), read in large blocks without
    // disturbing the current row or what is cached: for exporting a whole result. `visit` answers
    // false to stop. Throws DbError.
    void forEachRow(const std::function<bool(const QVector<QVariant>& row)>& visit);

    RecordModel* model() const { return m_model; }
    Connection& connection();

Q_SIGNALS:
    // The current row moved or its values changed: bound boxes show it again.
    void currentChanged();
    // About to write the current row, or to move off it: bound boxes and grids hand over what the
    // user typed.
    void aboutToUpdate();
    // The count that was being read beside the window is known, and every row can be reached.
    void counted();

private:
    using Row = QVector<QVariant>;

    void close();
    void requireOpen();
    const Row* serverRow(int index);
    void fetchBlock(int index);
    int serverCount();
    int knownRows() const;
    // The whole ordered result read beside the window: taken when it has come (with `wait`, once
    // it has come, or read here when that session could not). True when it has been taken.
    bool takeWhole(bool wait);
    void applyWhole(Connection::Rows whole);
    void pollWhole();
    void setPosition(int position);
    void commitPendingBeforeMove();
    void writeCurrent();
    void checkCurrent();
    Row& currentValues();
    bool isWritable(int field) const;
    QVariant currentKey(const Row& row) const;
    void overlay(Row& row, const QVector<QVariant>& returned, const QStringList& names) const;

    std::shared_ptr<Connection> m_connection;
    RecordModel* m_model;
    QString m_source;
    CommandType m_commandType = CommandType::Text;

    bool m_open = false;
    bool m_readFailed = false;      // the last refresh failed: the next use runs it again
    QStringList m_fields;
    const Table* m_table = nullptr; // the table rows are written to; null: read-only
    int m_ownFields = 0;            // fields [0, m_ownFields) may be that table's columns
    int m_keyField = -1;
    bool m_keyed = false;           // rows are read by key; otherwise every row is in m_rows
    KeySet m_keys;
    QString m_fetchHead;            // "select * from ... where <key> in (": rows by key
    ColumnType m_keyType = ColumnType::Integer;
    bool m_numbered = false;        // the database numbers the rows: newer rows have higher keys
    int m_total = -1;               // rows of the result (deleted ones included), -1 until counted
    QHash<int, Row> m_rows;         // rows by their place in the result; an empty row is a deleted one
    QVector<Row> m_appended;        // rows added here since the last refresh
    int m_position = -1;
    bool m_onDeleted = false;

    QString m_resultOrder;
    bool m_counting = false;           // the first block is held; the whole result is still to come
    QString m_wholeStatement;          // the whole result in its order
    std::shared_ptr<KeyFeed> m_whole;  // reading it on a session of its own
    QTimer* m_wholePoll;

    EditMode m_mode = EditMode::None;
    QHash<int, QVariant> m_changes;
    int m_positionBeforeAdd = -1;

    friend class RecordModel;
};

} // namespace store
