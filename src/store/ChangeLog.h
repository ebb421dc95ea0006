#pragma once

#include "Connection.h"
#include "Schema.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

namespace store {

// The change record: the table 操作记录表, one row for every change the store writes and for
// every sign-in, with when (时间, the database's clock, "2024-05-19 08:30:00"), who (用户: the
// signed-in staff name or student number, or the tool that writes), where (工作站: the host
// name), what (操作: 新增, 修改, 删除, 登录, 登录失败), on which table and row (表名, 键: the row's
// key as text; 学号: the student the row belongs to, where it has one), and for an update the
// column with its value before and after (字段, 原值, 新值).
//
// Records are written with the change they describe, so that a save and its records are stored
// together or not at all; a save whose outcome is unknown (the connection went while it was
// sent or committed) left both or neither. DataControl does this for every row it writes, through
// execute(). A writer of its own
// (orlenta-db, an import) does the same, or, writing many rows, describes each row it wrote with
// inserted()/updated()/deleted() inside its Transaction and hands the entries to write() or to a
// Batch before it commits.
//
// Records are only ever added. The store writes no other statement to the table, a record set
// over it cannot be written back, and the database refuses UPDATE and DELETE on it (a trigger).
// A password is never recorded: a password column shows "(已修改)".
class ChangeLog {
public:
    static const QString& table();

    enum class Operation { Insert, Update, Delete, SignIn, SignInFailed };
    // 新增, 修改, 删除, 登录, 登录失败: the texts of 操作.
    static QString text(Operation operation);

    // Who makes the changes of this process: set once by a successful sign-in (the staff name or
    // the student number); a tool sets its own name ("orlenta-db"). Empty until then.
    static void setUser(const QString& user);
    static QString user();
    // Where: the host name unless set otherwise.
    static void setWorkstation(const QString& workstation);
    static QString workstation();
    // What writes, besides the program's windows (an import, orlenta-db's commands): recorded
    // after the workstation, "host (origin)". Empty for the windows.
    static void setOrigin(const QString& origin);
    static QString origin();

    // What a password column's values are recorded as.
    static const QString& hiddenPassword();

    // One record.
    struct Entry {
        Operation operation = Operation::Insert;
        QString table;
        QString key;      // the row's key as text (empty when the writer does not know it)
        QString student;  // the 学号 the row belongs to, empty when none
        QString field;    // the column changed (an update), empty otherwise
        QString oldValue; // null: none
        QString newValue; // null: none
    };

    // A row as a statement read or returned it: field names and their values.
    struct Row {
        QStringList fields;
        QVector<QVariant> values;
        QVariant value(const QString& field) const;
        bool has(const QString& field) const;
    };

    // The record of a row inserted into `table`: its key and student taken from the row, and the
    // row's values in 新值 as "学号=2006001; 姓名=张三; ...": every column of the table that the
    // row holds a value for, as the program shows values (dates as 2006-5-19), a password as
    // "(已修改)". Give the row as it was stored (INSERT ... RETURNING *) when you can, so that
    // the key the database numbered is in it.
    static Entry inserted(const QString& table, const Row& row);
    // The record of a row deleted: the same, with the row's last values in 原值.
    static Entry deleted(const QString& table, const Row& row);
    // The records of a row updated: one for each of `columns` (the columns the update set) whose
    // value differs between `before` (as read) and `after` (as stored). Key and student are taken
    // from `after`, or from `before` where `after` lacks them.
    static QVector<Entry> updated(const QString& table, const Row& before, const Row& after, const QStringList& columns);

    // Writes the entries through `db`, which must be inside the transaction of the change they
    // describe (throws DbError otherwise). They go with its commit: all the records of one
    // transaction in one statement (a few hundred rows each, for very many), dropped if it rolls
    // back.
    static void write(Connection& db, const QVector<Entry>& entries);

    // Runs `statement`, one INSERT, UPDATE or DELETE of one row ending in "RETURNING *", with
    // `entries`, the records of the change it makes, and answers the rows it returned. The
    // entries' key and student are taken from the returned row; when it returns none (the row
    // was not there), nothing is recorded. On PostgreSQL the statement writes them itself (a WITH
    // around it), so that the change and its records are one statement; inside the caller's
    // transaction the first change defers its records, which the next change writes with its own
    // (or the commit, as write() has them). On SQLite they go with the commit of the caller's
    // transaction, or of one of its own.
    static Connection::Rows execute(Connection& db, const QString& statement, QVector<Entry> entries);
    // The same, with the records made from the rows the statement returned (the last values of a
    // deleted row, say): in a transaction with it on both engines.
    static Connection::Rows execute(Connection& db, const QString& statement,
        const std::function<QVector<Entry>(const Connection::Rows& returned)>& describe);

    // What a column of `type` holds after `value` was written to it through Sql::literal (" 3 "
    // as 3, a date text as a date): how a record shows a value written.
    static QVariant asWritten(const QVariant& value, ColumnType type);

    // For a writer of many rows: entries are gathered as they come and handed to write() a few
    // hundred at a time, the rest by flush(), which must come before the transaction commits.
    class Batch {
    public:
        explicit Batch(Connection& db);
        void add(const Entry& entry);
        void add(const QVector<Entry>& entries);
        void flush();
        int written() const { return m_written; }

    private:
        Connection& m_db;
        QVector<Entry> m_pending;
        int m_written = 0;
    };

    // A sign-in on the staff accounts or the students (`table`), with the name tried: a success,
    // or a failure with its reason ("密码错误", "用户名不存在", "已锁定"...), in 新值. Written at
    // once, on its own.
    static void signIn(Connection& db, const QString& table, const QString& name, bool succeeded,
        const QString& reason = QString());

    // The expression of the database's clock as 时间 holds it, `offsetSeconds` from now.
    static QString clockExpression(Engine engine, int offsetSeconds = 0);

    // Whether records are written. Always on in the program; orlenta-bench turns it off to
    // measure what the records cost.
    static void setRecording(bool on);
    static bool recording();
};

} // namespace store
