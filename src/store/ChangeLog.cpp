#include "ChangeLog.h"

#include "Connection.h"
#include "DbError.h"
#include "Password.h"
#include "Sql.h"
#include "Value.h"

#include <QDate>
#include <QSysInfo>

namespace store {

namespace {

struct Actor {
    QString user;
    QString workstation = QSysInfo::machineHostName();
    QString origin;
    bool recording = true;
};
Actor& actor()
{
    static Actor a;
    return a;
}

constexpr int kRowsPerStatement = 200;

const QString kColumns = QStringLiteral("时间, 用户, 工作站, 操作, 表名, 键, 学号, 字段, 原值, 新值");

QString textOrNull(const QString& value) { return value.isNull() ? QStringLiteral("NULL") : Sql::quote(value); }

// A value as a record holds it: as the program shows it; a password hidden.
QString recorded(const QString& table, const QString& field, const QVariant& value)
{
    if (Password::isPasswordColumn(table, field))
        return ChangeLog::hiddenPassword();
    if (!value.isValid() || value.isNull())
        return QString();
    const QString text = displayText(value);
    return text.isNull() ? QStringLiteral("") : text; // an empty text is no null
}

// "学号=2006001; 姓名=张三": the row's columns of the table that hold a value, the key left out.
QString describe(const Table* table, const QString& tableName, const ChangeLog::Row& row)
{
    QStringList parts;
    for (int i = 0; i < row.fields.size(); ++i) {
        const QString& field = row.fields[i];
        const QVariant& value = row.values.value(i);
        if (table && (!table->column(field) || field.compare(table->key, Qt::CaseInsensitive) == 0))
            continue;
        if ((!value.isValid() || value.isNull()) && !Password::isPasswordColumn(tableName, field))
            continue;
        parts << field + QLatin1Char('=') + recorded(tableName, field, value);
    }
    return parts.join(QStringLiteral("; "));
}

// The key and the student of a row, from the first of the rows that has them.
void identify(ChangeLog::Entry& entry, const Table* table, std::initializer_list<const ChangeLog::Row*> rows)
{
    if (!table)
        return;
    for (const ChangeLog::Row* row : rows) {
        if (entry.key.isEmpty() && row->has(table->key))
            entry.key = displayText(row->value(table->key));
        if (entry.student.isEmpty() && table->column(QStringLiteral("学号")) && row->has(QStringLiteral("学号")))
            entry.student = displayText(row->value(QStringLiteral("学号")));
    }
}

// The key and the student of the change records of a row, from that row as it was stored.
void identifyFrom(QVector<ChangeLog::Entry>& entries, const Connection::Rows& returned)
{
    if (returned.rows.isEmpty())
        return;
    const ChangeLog::Row row { returned.fields, returned.rows.first() };
    for (ChangeLog::Entry& entry : entries) {
        entry.key.clear();
        entry.student.clear();
        identify(entry, Schema::table(entry.table), { &row });
    }
}

QString where()
{
    const Actor& a = actor();
    return a.origin.isEmpty() ? a.workstation : QStringLiteral("%1 (%2)").arg(a.workstation, a.origin);
}

// The records as rows of a statement INSERT INTO 操作记录表 (...) VALUES <row>, <row>...
QStringList tuples(Connection& db, const QVector<ChangeLog::Entry>& entries)
{
    const QString now = ChangeLog::clockExpression(db.engine());
    const QString who = Sql::quote(actor().user);
    const QString place = Sql::quote(where());
    QStringList out;
    for (const ChangeLog::Entry& e : entries)
        // Joined, not formatted: a value may hold "%1" itself.
        out << QLatin1Char('(')
                + QStringList { now, who, place, Sql::quote(ChangeLog::text(e.operation)), Sql::quote(e.table),
                      textOrNull(e.key), textOrNull(e.student), textOrNull(e.field), textOrNull(e.oldValue),
                      textOrNull(e.newValue) }
                      .join(QStringLiteral(", "))
                + QLatin1Char(')');
    return out;
}

QString insertHead() { return QStringLiteral("INSERT INTO %1 (%2) VALUES").arg(ChangeLog::table(), kColumns); }

// Inside a transaction the records go with its commit, all of them in one statement; outside
// one, at once.
void insertRows(Connection& db, const QVector<ChangeLog::Entry>& entries)
{
    if (!actor().recording || entries.isEmpty())
        return;
    const QStringList rows = tuples(db, entries);
    if (db.inTransaction()) {
        db.deferRows(insertHead(), rows);
        return;
    }
    for (int begin = 0; begin < rows.size(); begin += kRowsPerStatement)
        db.execute(insertHead() + ' ' + rows.mid(begin, kRowsPerStatement).join(QStringLiteral(", ")));
}

} // namespace

const QString& ChangeLog::table()
{
    static const QString name = QStringLiteral("操作记录表");
    return name;
}

QString ChangeLog::text(Operation operation)
{
    switch (operation) {
    case Operation::Insert: return QStringLiteral("新增");
    case Operation::Update: return QStringLiteral("修改");
    case Operation::Delete: return QStringLiteral("删除");
    case Operation::SignIn: return QStringLiteral("登录");
    case Operation::SignInFailed: return QStringLiteral("登录失败");
    }
    return {};
}

void ChangeLog::setUser(const QString& user) { actor().user = user; }
QString ChangeLog::user() { return actor().user; }
void ChangeLog::setWorkstation(const QString& workstation) { actor().workstation = workstation; }
QString ChangeLog::workstation() { return actor().workstation; }
void ChangeLog::setOrigin(const QString& origin) { actor().origin = origin; }
QString ChangeLog::origin() { return actor().origin; }
void ChangeLog::setRecording(bool on) { actor().recording = on; }
bool ChangeLog::recording() { return actor().recording; }

const QString& ChangeLog::hiddenPassword()
{
    static const QString text = QStringLiteral("(已修改)");
    return text;
}

QVariant ChangeLog::Row::value(const QString& field) const
{
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].compare(field, Qt::CaseInsensitive) == 0)
            return values.value(i);
    return {};
}

bool ChangeLog::Row::has(const QString& field) const
{
    for (const QString& f : fields)
        if (f.compare(field, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// The record of a whole row inserted or deleted: its key and student, and the row described.
static ChangeLog::Entry wholeRow(ChangeLog::Operation operation, const QString& table, const ChangeLog::Row& row)
{
    const Table* t = Schema::table(table);
    ChangeLog::Entry entry;
    entry.operation = operation;
    entry.table = t ? t->name : table;
    identify(entry, t, { &row });
    (operation == ChangeLog::Operation::Insert ? entry.newValue : entry.oldValue) = describe(t, entry.table, row);
    return entry;
}

ChangeLog::Entry ChangeLog::inserted(const QString& table, const Row& row)
{
    return wholeRow(Operation::Insert, table, row);
}

ChangeLog::Entry ChangeLog::deleted(const QString& table, const Row& row)
{
    return wholeRow(Operation::Delete, table, row);
}

QVector<ChangeLog::Entry> ChangeLog::updated(const QString& table, const Row& before, const Row& after,
    const QStringList& columns)
{
    const Table* t = Schema::table(table);
    Entry base;
    base.operation = Operation::Update;
    base.table = t ? t->name : table;
    identify(base, t, { &after, &before });
    QVector<Entry> out;
    for (const QString& column : columns) {
        const QVariant was = before.value(column);
        const QVariant now = after.has(column) ? after.value(column) : was;
        const bool secret = Password::isPasswordColumn(base.table, column);
        const bool same = was.isNull() == now.isNull() && displayText(was) == displayText(now);
        if (same)
            continue;
        Entry entry = base;
        entry.field = t && t->column(column) ? t->column(column)->name : column;
        // Neither form of a password is recorded; that it changed is.
        entry.oldValue = secret ? QString() : recorded(base.table, column, was);
        entry.newValue = recorded(base.table, column, now);
        out << entry;
    }
    return out;
}

Connection::Rows ChangeLog::execute(Connection& db, const QString& statement, QVector<Entry> entries)
{
    if (!actor().recording || entries.isEmpty())
        return db.select(statement);
    const Table* table = Schema::table(entries.first().table);
    // On PostgreSQL, where each statement is a round trip to the server, the records go with a
    // statement that is sent anyway: a change on its own writes its records itself; in a
    // transaction, the first change defers its records, and each later one writes its own with
    // those deferred so far, so that a transaction of two changes costs no statement more and
    // holds its row locks no longer. The commit writes what is still deferred.
    const QStringList pending = db.inTransaction() && db.engine() == Engine::PostgreSQL && table
        ? db.takeDeferred(insertHead())
        : QStringList();
    if (db.engine() != Engine::PostgreSQL || !table || (db.inTransaction() && pending.isEmpty())) {
        // With the caller's transaction, or one of its own: the records go with its commit.
        Transaction transaction(db);
        const Connection::Rows returned = db.select(statement);
        if (!returned.rows.isEmpty()) {
            identifyFrom(entries, returned);
            insertRows(db, entries);
        }
        transaction.commit();
        return returned;
    }
    // One statement: the change, its records for the row it returns (and only if it returns one),
    // and the records deferred before it.
    QStringList values;
    for (const Entry& e : entries)
        values << QLatin1Char('(')
                + QStringList { Sql::quote(text(e.operation)), Sql::quote(e.table), textOrNull(e.field), textOrNull(e.oldValue),
                      textOrNull(e.newValue) }
                      .join(QStringLiteral(", "))
                + QLatin1Char(')');
    const QString student = table->column(QStringLiteral("学号")) ? QStringLiteral("w.学号") : QStringLiteral("NULL");
    const QString before = pending.isEmpty() ? QString() : QStringLiteral(" UNION ALL VALUES ") + pending.join(QStringLiteral(", "));
    return db.select(QStringLiteral("WITH w AS (%1), r AS (INSERT INTO %2 (%3) SELECT %4, %5, %6, v.o, v.t, "
                                    "CAST(w.%7 AS text), %8, v.f, v.a, v.b FROM w, (VALUES %9) AS v (o, t, f, a, b)%10) "
                                    "SELECT * FROM w")
                         .arg(statement, ChangeLog::table(), kColumns, clockExpression(db.engine()),
                             Sql::quote(actor().user), Sql::quote(where()), table->key, student,
                             values.join(QStringLiteral(", ")), before));
}

Connection::Rows ChangeLog::execute(Connection& db, const QString& statement,
    const std::function<QVector<Entry>(const Connection::Rows&)>& describe)
{
    if (!actor().recording)
        return db.select(statement);
    Transaction transaction(db);
    const Connection::Rows returned = db.select(statement);
    if (!returned.rows.isEmpty())
        insertRows(db, describe(returned));
    transaction.commit();
    return returned;
}

QVariant ChangeLog::asWritten(const QVariant& value, ColumnType type)
{
    if (!value.isValid() || value.isNull())
        return {};
    QString text = Sql::literal(value, type);
    if (text.startsWith(QLatin1Char('\'')))
        text = text.mid(1, text.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    switch (type) {
    case ColumnType::Text: return text;
    case ColumnType::SmallInt:
    case ColumnType::Integer: return text.toLongLong();
    case ColumnType::Real: return text.toDouble();
    case ColumnType::Date: return QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    }
    return text;
}

void ChangeLog::write(Connection& db, const QVector<Entry>& entries)
{
    if (entries.isEmpty() || !actor().recording)
        return;
    if (!db.inTransaction())
        throw DbError(QStringLiteral("操作记录必须与它记录的修改在同一事务中写入。"));
    insertRows(db, entries);
}

ChangeLog::Batch::Batch(Connection& db)
    : m_db(db)
{
}

void ChangeLog::Batch::add(const Entry& entry)
{
    m_pending << entry;
    if (m_pending.size() >= kRowsPerStatement)
        flush();
}

void ChangeLog::Batch::add(const QVector<Entry>& entries)
{
    for (const Entry& entry : entries)
        add(entry);
}

void ChangeLog::Batch::flush()
{
    if (m_pending.isEmpty())
        return;
    write(m_db, m_pending);
    m_written += m_pending.size();
    m_pending.clear();
}

void ChangeLog::signIn(Connection& db, const QString& table, const QString& name, bool succeeded, const QString& reason)
{
    Entry entry;
    entry.operation = succeeded ? Operation::SignIn : Operation::SignInFailed;
    entry.table = table;
    entry.key = name;
    if (table == QStringLiteral("学生个人信息表"))
        entry.student = name;
    entry.newValue = reason.isEmpty() ? QString() : reason;
    // The name tried is who signs in, whoever this process has recorded so far.
    const QString before = actor().user;
    actor().user = name;
    try {
        insertRows(db, { entry });
    } catch (...) {
        actor().user = before;
        throw;
    }
    actor().user = before;
}

QString ChangeLog::clockExpression(Engine engine, int offsetSeconds)
{
    if (engine == Engine::PostgreSQL) {
        const QString now = offsetSeconds == 0
            ? QStringLiteral("localtimestamp")
            : QStringLiteral("(localtimestamp + interval '%1 seconds')").arg(offsetSeconds);
        return QStringLiteral("to_char(%1, 'YYYY-MM-DD HH24:MI:SS')").arg(now);
    }
    if (offsetSeconds == 0)
        return QStringLiteral("strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime')");
    return QStringLiteral("strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime', '%1 seconds')")
        .arg(offsetSeconds > 0 ? QStringLiteral("+%1").arg(offsetSeconds) : QString::number(offsetSeconds));
}

} // namespace store
