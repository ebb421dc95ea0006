#pragma once

#include "Schema.h"
#include "ServerWatch.h"

#include <QElapsedTimer>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace store {

class KeyReaders;
class DbError;

// How a session is opened. The program's sessions take the defaults; orlenta-db opens its own.
struct SessionOptions {
    // A SQLite data source whose file is missing: created (for a tool that makes a database), or
    // refused, so that a mistyped path leaves no empty database file behind.
    bool createMissingFile = false;
    // The server cancels a statement that runs longer (PostgreSQL); 0 is no limit, for bulk work.
    int statementTimeoutSeconds = 30;
};

// One session with the database named by an ODBC connection string ("DSN=Orlenta").
//
// The data source decides the engine. A data source on the SQLite3 ODBC driver is opened with
// Qt's own SQLite driver on the file it names: that driver has wide-character entry points
// (the ODBC one returns non-ASCII column names cut at a byte length and fails on Chinese
// statements outside a UTF-8 locale) and reads the file several times faster. Any other data
// source, PostgreSQL through psqlODBC first of all, is opened through Qt's ODBC driver.
//
// Every statement runs in autocommit unless a Transaction is open, and every result is read to
// its end before exec() returns its query, so that an idle window holds no lock and no open
// transaction on the server.
//
// A session the server dropped (a restart, a network cut) is opened again. A read that failed
// with it is sent once more; a write never is, since its reply may have been lost after the
// server had stored it: that is told as a write of unknown outcome. Before a write outside a
// transaction, and before a transaction begins, a session that died while idle is opened anew,
// so that the first save after a restart is sent once and told truly.
//
// No statement waits for its server without end: a reply that has not come after a while (40 s,
// past the server's own statement time-out) ends the session (ServerWatch), and that is told as a
// loss, for a write as a write of unknown outcome; the next statement opens a session anew.
//
// On SQLite a transaction takes the write lock when it begins (BEGIN IMMEDIATE), so that a save
// that reads before it writes waits for another writer instead of failing at once; the program is
// told when such a wait begins and ends, and may wait once more when it runs out (WriterWait).
class Connection {
public:
    explicit Connection(const QString& connectionString = QStringLiteral("DSN=Orlenta"), SessionOptions options = {});
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Engine engine() const { return m_engine; }
    QString connectionString() const { return m_connectionString; }

    // Runs one statement (adapted to the engine); throws DbError with the database's text.
    // The caller reads the query and lets it go; select() and execute() do both at once.
    QSqlQuery exec(const QString& statement);

    struct Rows {
        QStringList fields;
        QVector<QVector<QVariant>> rows;
    };
    // Reads the whole result and finishes the statement. Values come as the program uses them:
    // dates as QDate on both engines, whole numbers as int where they fit.
    Rows select(const QString& statement);
    // The same, for a result that may be large and is read whole (a grouped summary): on
    // PostgreSQL its columns come as arrays built by the server, one row for all.
    // A caller reading many statements of the same columns (blocks of one result) keeps their
    // columns here: asked of the server with the first, taken from here for the rest.
    struct Columns {
        QStringList names;
        QVector<QMetaType> kinds;
    };
    Rows selectAll(const QString& statement, Columns* known = nullptr);
    // The same result with its values still as the server sent them: read on this session, made
    // rows by rows() anywhere (on another thread, while this session reads on), a single value
    // by value().
    class Packed {
    public:
        int size() const { return m_direct ? int(m_direct->rows.size()) : m_count; }
        const QStringList& fields() const { return m_direct ? m_direct->fields : m_names; }
        QVariant value(int row, int column) const;
        // The rows, or only those at the places given (in that order).
        Rows rows(const std::vector<int>* only = nullptr) const;

    private:
        friend class Connection;
        enum class As { Whole, Real, Date, Bool, Text, TextOrDate };
        std::shared_ptr<Rows> m_direct; // read row by row (not PostgreSQL, or not a plain select)
        QStringList m_names;
        QVector<As> m_as;
        int m_count = 0;
        QVector<QString> m_texts;                // each column's values joined
        QVector<QStringList> m_elements;         // or read again as an array
        QVector<QList<QStringView>> m_values;    // each value of each column in one of those
    };
    Packed selectPacked(const QString& statement, Columns* known = nullptr);
    // A statement that returns no rows; answers how many rows it touched.
    int execute(const QString& statement);

    // The first column of many rows, read in bulk past the row-by-row interface: the keys of a
    // result. Whole numbers come as ints, anything else as texts. Every column of the first row,
    // and of the row at position keepRow (0-based, where the result has that row), is kept too.
    struct Keys {
        std::vector<qint64> ints;
        QStringList texts;
        QVector<QVariant> first;
        QVector<QVariant> kept;
        int rows = 0;
    };
    Keys readKeys(const QString& statement, bool textKeys, int keepRow);

    void begin();
    void commit();
    void rollback();
    bool inTransaction() const { return m_transactionDepth > 0; }

    // A read-only transaction whose reads all see the database as it was at its first: for
    // reading the count and the keys of one result on a session of its own. A lost session is not
    // read on anew inside it. Ended by endSnapshot() (or rollback()).
    void beginSnapshot();
    void endSnapshot() { rollback(); }
    // The sessions of the same data source that read the keys of large results while the
    // windows go on; started when first needed, stopped with this session.
    KeyReaders& keyReaders();
    // Whether the server keeps the tables' row counts (RowCounts): asked once a session.
    bool keepsRowCounts();
    // Rows added just before the outermost transaction commits, all those of one head
    // ("INSERT INTO t (a, b) VALUES") in one statement: the change records of the transaction's
    // writes cost one statement, however many writes it makes. A rollback drops them. Throws
    // DbError outside a transaction.
    void deferRows(const QString& head, const QStringList& tuples);
    // The rows deferred under `head` so far, which the caller now writes itself (with a statement
    // of the transaction that goes anyway).
    QStringList takeDeferred(const QString& head) { return m_deferred.take(head); }

    // The program's own session: opened when the first data control needs it and closed when
    // the last one that holds it is gone.
    static std::shared_ptr<Connection> program();

    // The file of a SQLite data source, or empty for any other engine (for tools and tests).
    QString sqliteFile() const { return m_sqliteFile; }

    // What the program shows while a save waits for another writer of the SQLite file: began()
    // when the wait starts and ended() when it is over; when it has run out, retry(text) asks the
    // user whether to wait once more, or answers nothing when nobody can be asked. A save the user
    // gives up is thrown as Kind::Busy with no text (they have been told). Unset, or unanswered,
    // the wait is silent and its end is thrown with its text.
    struct WriterWait {
        std::function<void()> began;
        std::function<void()> ended;
        std::function<std::optional<bool>(const QString& text)> retry;
    };
    static void setWriterWait(WriterWait wait);

    // Where the data source's settings say the connection goes: resolved through unixODBC.
    struct Target {
        bool sqlite = false;
        QString sqliteFile;
        QString odbcConnectionString; // as Qt's ODBC driver wants it
    };
    static Target resolve(const QString& connectionString);
    // One setting of the data source ("Servername", "Database"...): from the connection string
    // itself, else from the odbc.ini section of the data source it names; empty when neither has it.
    static QString setting(const QString& connectionString, const QString& key);

private:
    enum class Kind { Read, Write };
    void open();
    void ensureOpen();
    bool isAlive(); // asks the server
    bool reopen();
    // After a failed statement: throws what the caller is told, unless the session was lost and
    // the statement is a read that may be sent again on the session opened anew.
    void recover(const QString& detail, const QString& code, Kind kind, bool retried, bool timedOut);
    // Closes a session whose server did not answer; the next statement opens one anew.
    void drop();
    bool readKeysDirectly(const QString& statement, bool textKeys, int keepRow, Keys& out);
    // SQLite's busy handler: waits for another writer, telling the program when the wait begins.
    static int waitForWriter(void* self, int count);
    void endWait();
    // After a wait for another writer ran out (outside a transaction, whose lock is its own):
    // true when the user wants to wait once more; otherwise `failure` is what the caller throws,
    // without its text when the user chose to give up (they have been told).
    bool waitAgain(DbError& failure, bool inTransaction);
    bool selectDirectly(const QString& statement, Rows& out);

    QString m_connectionString;
    SessionOptions m_options;
    QString m_name;
    QString m_sqliteFile;
    Engine m_engine = Engine::SQLite;
    int m_transactionDepth = 0;
    std::unique_ptr<KeyReaders> m_keyReaders;
    std::optional<bool> m_keepsRowCounts;
    QMap<QString, QStringList> m_deferred; // rows for commit, by statement head
    int m_busyMs = 30000;
    ServerWatch::Socket m_socket; // a PostgreSQL session's socket, watched while it waits
    int m_replyMs = 40000;
    bool m_waiting = false;   // a wait for another writer has been told as begun
    QElapsedTimer m_waitClock;
};

// Groups several writes: all are stored by commit(), none if the object goes out of scope first
// (by an exception, for instance).
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    void commit();

private:
    Connection& m_connection;
    bool m_done = false;
};

} // namespace store
