#include "Connection.h"

#include "DbError.h"
#include "KeyReader.h"
#include "Refusal.h"
#include "RowCounts.h"
#include "ServerWatch.h"
#include "Sql.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSet>
#include <QSqlField>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <array>
#include <cstring>
#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>
#include <string>

namespace store {

namespace {

QString profileString(const QString& section, const QString& key, const char* file)
{
    char buffer[4096] = {};
    const int n = SQLGetPrivateProfileString(section.toUtf8().constData(), key.toUtf8().constData(), "", buffer,
        sizeof buffer, file);
    return n > 0 ? QString::fromUtf8(buffer, n).trimmed() : QString();
}

// "DSN=Orlenta;UID=x" -> { DSN: Orlenta, UID: x }, keys in upper case, braces removed.
QHash<QString, QString> attributes(const QString& connectionString)
{
    QHash<QString, QString> out;
    for (const QString& part : connectionString.split(';', Qt::SkipEmptyParts)) {
        const int eq = part.indexOf('=');
        if (eq <= 0)
            continue;
        QString value = part.mid(eq + 1).trimmed();
        if (value.startsWith('{') && value.endsWith('}'))
            value = value.mid(1, value.size() - 2);
        out.insert(part.left(eq).trimmed().toUpper(), value);
    }
    return out;
}

QString errorText(const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("数据库没有说明原因。");
    return text;
}

QString withDetail(const QString& text, const QString& detail) { return DbError::withDetail(text, detail); }

const QString kCannotConnect = QStringLiteral("无法连接到数据库。请检查数据源“%1”的设置，以及数据库服务器是否在运行。");
const QString kLost = QStringLiteral("与数据库服务器的连接已断开，操作没有完成。请稍后再试：服务器恢复后，不必重新启动程序。");
const QString kLostInSave = QStringLiteral("与数据库服务器的连接已断开，这次修改没有保存。请稍后再试。");
const QString kUnknown = QStringLiteral("保存时与数据库服务器的连接断开了，无法确定这次修改是否已经写入数据库。"
                                        "请刷新后查看，确认没有保存再重做。");
const QString kBusy = QStringLiteral("数据库正被其他用户写入，等待超时，这次操作没有完成。请稍后再试。");
const QString kBusyAsk = QStringLiteral("数据库正被其他用户写入，等待超时，这次操作还没有完成。\n\n"
                                        "重试：再等一次；取消：放弃这次操作，什么也不写入。");

Connection::WriterWait& writerWait()
{
    static Connection::WriterWait wait;
    return wait;
}

// Statements that change nothing may be sent again after a lost session; every other may not.
bool isRead(const QString& statement)
{
    const auto tokens = Sql::tokenize(statement);
    bool first = true;
    bool read = false;
    for (const Sql::Token& t : tokens) {
        if (t.kind == Sql::Token::Space)
            continue;
        const QString word = t.kind == Sql::Token::Word ? statement.mid(t.begin, t.length).toLower() : QString();
        if (first) {
            read = word == "select" || word == "with" || word == "pragma" || word == "set" || word == "show";
            first = false;
            if (!read)
                return false;
        } else if (word == "insert" || word == "update" || word == "delete" || word == "into") {
            return false;
        }
    }
    return read;
}

bool isBusy(const QSqlError& error)
{
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("5") || code == QLatin1String("6")
        || error.databaseText().contains(QLatin1String("locked"), Qt::CaseInsensitive);
}

// A failure of a SQLite statement: the wait for another writer ran out, or a refusal.
DbError failureOf(const QSqlError& error)
{
    if (isBusy(error))
        return DbError(withDetail(kBusy, errorText(error)), DbError::Kind::Busy);
    return Refusal::fromDatabase(errorText(error), error.nativeErrorCode());
}

// How long a statement waits for the server's reply before the session is given up as lost:
// 10 s past the server's own statement time-out (40 s for the program's 30 s), which a server that
// answers at all keeps; or the milliseconds ORLENTA_SERVER_REPLY_MS names when a session opens
// (tests shorten the wait). With a new session's log-in time-out (15 s), a server that stops
// answering is told within 60 s. Without a statement time-out (bulk work) nothing is given up.
int serverReplyMs(int statementTimeoutSeconds)
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("ORLENTA_SERVER_REPLY_MS", &ok);
    if (ok && ms > 0)
        return ms;
    return statementTimeoutSeconds > 0 ? (statementTimeoutSeconds + 10) * 1000 : 0;
}

QString noReply(int ms) { return QStringLiteral("数据库服务器 %1 秒没有应答。").arg(ms / 1000.0); }

// How long a SQLite session waits for another writer before it gives up: 30 s, or the
// milliseconds ORLENTA_SQLITE_BUSY_MS names when a session opens (tests shorten the wait).
int sqliteBusyMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("ORLENTA_SQLITE_BUSY_MS", &ok);
    return ok && ms >= 0 ? ms : 30000;
}

QVariant normalise(const QVariant& value, std::optional<ColumnType> type)
{
    if (value.isNull())
        return value;
    if (type == ColumnType::Date && value.typeId() == QMetaType::QString) {
        const QDate date = Sql::parseDate(value.toString());
        return date.isValid() ? QVariant(date) : value;
    }
    if (type == ColumnType::Date && value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date();
    if (value.typeId() == QMetaType::LongLong) {
        const qlonglong v = value.toLongLong();
        if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
            return int(v);
    }
    return value;
}

QVariant sqliteValue(sqlite3_stmt* statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER: return QVariant(qlonglong(sqlite3_column_int64(statement, column)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(statement, column));
    case SQLITE_NULL: return QVariant();
    default:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
            sqlite3_column_bytes(statement, column));
    }
}

// The texts a column gave lately, by their bytes: a text that comes again (a student's number on
// each of their scores, a course's name or code) shares the one made the first time, rather than
// being made anew. A column whose texts seldom come again (names, remarks) is soon left alone.
class RecentTexts {
public:
    QVariant take(const char* bytes, int size)
    {
        if (size > kLongest || m_left)
            return QString::fromUtf8(bytes, size);
        quint32 hash = 2166136261u;
        for (int i = 0; i < size; ++i)
            hash = (hash ^ static_cast<unsigned char>(bytes[i])) * 16777619u;
        Slot& slot = m_slots[hash % kSlots];
        if (!slot.text.isNull() && slot.bytes.size() == size_t(size)
            && std::memcmp(slot.bytes.data(), bytes, size_t(size)) == 0) {
            ++m_hits;
            return slot.text;
        }
        if (++m_misses == kTrial && m_hits < m_misses)
            m_left = true;
        slot.bytes.assign(bytes, size_t(size));
        slot.text = QString::fromUtf8(bytes, size);
        return slot.text;
    }

private:
    static constexpr int kSlots = 64;
    static constexpr int kLongest = 96; // bytes; longer texts are rarely a code or a name
    static constexpr int kTrial = 512;  // misses after which a column without as many hits is left
    struct Slot {
        std::string bytes;
        QVariant text;
    };
    std::array<Slot, kSlots> m_slots;
    int m_hits = 0, m_misses = 0;
    bool m_left = false;
};

// What normalise(sqliteValue(...)) gives, made in place: no value in between, and a date read
// from the engine's own bytes rather than from a text made for it. A result read through has
// a value of each kind in every row.
void takeSqliteValue(
    sqlite3_stmt* statement, int column, std::optional<ColumnType> type, RecentTexts& texts, QVariant& out)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER: {
        const qint64 v = sqlite3_column_int64(statement, column);
        if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
            out = QVariant(int(v));
        else
            out = QVariant(qlonglong(v));
        return;
    }
    case SQLITE_FLOAT: out = QVariant(sqlite3_column_double(statement, column)); return;
    case SQLITE_NULL: out = QVariant(); return;
    default: break;
    }
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    const int bytes = sqlite3_column_bytes(statement, column);
    if (type != ColumnType::Date) {
        out = texts.take(text, bytes);
        return;
    }
    // A short ASCII text is its UTF-16 text byte for byte; any other is made a text first.
    char16_t wide[32];
    bool ascii = bytes <= int(std::size(wide));
    for (int i = 0; ascii && i < bytes; ++i) {
        ascii = static_cast<unsigned char>(text[i]) < 0x80;
        wide[i] = char16_t(static_cast<unsigned char>(text[i]));
    }
    if (ascii) {
        const QDate date = Sql::parseDate(QStringView(wide, bytes));
        out = date.isValid() ? QVariant(date) : QVariant(QString::fromUtf8(text, bytes));
        return;
    }
    QString whole = QString::fromUtf8(text, bytes);
    const QDate date = Sql::parseDate(whole);
    out = date.isValid() ? QVariant(date) : QVariant(std::move(whole));
}

} // namespace

Connection::Target Connection::resolve(const QString& connectionString)
{
    Target target;
    const auto attrs = attributes(connectionString);
    const QString dsn = attrs.value("DSN");
    QString driver = attrs.value("DRIVER");
    QString database = attrs.value("DATABASE");
    if (!dsn.isEmpty() && driver.isEmpty()) {
        driver = profileString(dsn, "Driver", "odbc.ini");
        if (database.isEmpty())
            database = profileString(dsn, "Database", "odbc.ini");
    }
    QString library = driver;
    if (!driver.isEmpty() && !driver.contains('/')) {
        const QString registered = profileString(driver, "Driver", "odbcinst.ini");
        if (!registered.isEmpty())
            library = registered;
    }
    if (QFileInfo(library).fileName().contains(QLatin1String("sqlite3odbc"), Qt::CaseInsensitive)) {
        target.sqlite = true;
        target.sqliteFile = database;
        return target;
    }
    // Qt's ODBC driver prefixes "DSN=" to any string without DRIVER= or SERVER=.
    QString odbc = connectionString.trimmed();
    if (odbc.startsWith(QLatin1String("DSN="), Qt::CaseInsensitive) && !attrs.contains("DRIVER")
        && !attrs.contains("SERVER"))
        odbc = odbc.mid(4);
    target.odbcConnectionString = odbc;
    return target;
}

QString Connection::setting(const QString& connectionString, const QString& key)
{
    const auto attrs = attributes(connectionString);
    const QString given = attrs.value(key.toUpper());
    if (!given.isEmpty() || !attrs.contains("DSN"))
        return given;
    return profileString(attrs.value("DSN"), key, "odbc.ini");
}

Connection::Connection(const QString& connectionString, SessionOptions options)
    : m_connectionString(connectionString)
    , m_options(options)
{
    static QAtomicInt serial;
    m_name = QStringLiteral("orlenta-%1").arg(serial.fetchAndAddRelaxed(1));
    try {
        open();
    } catch (const DbError& error) {
        const QString dsn = attributes(m_connectionString).value("DSN", m_connectionString);
        throw DbError(withDetail(kCannotConnect.arg(dsn), error.text()), DbError::Kind::ConnectionLost);
    }
}

Connection::~Connection()
{
    m_keyReaders.reset(); // their threads end before this session goes
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isOpen()) {
            if (m_transactionDepth > 0)
                db.rollback();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(m_name);
}

void Connection::open()
{
    const Target target = resolve(m_connectionString);
    {
        QSqlDatabase old = QSqlDatabase::database(m_name, false);
        if (old.isValid())
            old.close();
    }
    QSqlDatabase::removeDatabase(m_name);
    if (target.sqlite) {
        if (target.sqliteFile.isEmpty())
            throw DbError(QStringLiteral("数据源未指定数据库文件: %1").arg(m_connectionString));
        m_engine = Engine::SQLite;
        m_sqliteFile = target.sqliteFile;
        // SQLite makes an empty database of a name it does not find: a mistyped path would
        // leave one behind and then report that it has no tables.
        if (!m_options.createMissingFile && !QFileInfo::exists(target.sqliteFile))
            throw DbError(QStringLiteral("数据库文件“%1”不存在。").arg(target.sqliteFile));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(target.sqliteFile);
        if (!db.open())
            throw DbError(errorText(db.lastError()));
        // Another writer is waited for as long as the busy time-out allows, and the program is
        // told when a wait begins and ends.
        m_busyMs = sqliteBusyMs();
        const QVariant handle = db.driver()->handle();
        if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
            sqlite3_busy_handler(*static_cast<sqlite3* const*>(handle.data()), &Connection::waitForWriter, this);
        // Readers never block writers in WAL mode, so a window left open blocks nobody.
        exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        exec(QStringLiteral("PRAGMA foreign_keys=OFF"));
        // Counting a large table reads every page of its smallest index: with room for them in
        // the session's own cache (32 MB at most), the next count reads none from the file.
        exec(QStringLiteral("PRAGMA cache_size=-32768"));
        return;
    }
    m_engine = Engine::PostgreSQL;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
    db.setDatabaseName(target.odbcConnectionString);
    db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=15;SQL_ATTR_CONNECTION_TIMEOUT=15"));
    m_replyMs = serverReplyMs(m_options.statementTimeoutSeconds);
    m_socket = {};
    m_socket = ServerWatch::socketOpenedBy([&db] {
        if (!db.open())
            throw DbError(errorText(db.lastError()));
    });
    const QVariant handle = db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "SQLHANDLE") == 0) {
        SQLHDBC hdbc = *static_cast<SQLHDBC const*>(handle.data());
        SQLCHAR name[256] = {};
        SQLSMALLINT length = 0;
        if (SQL_SUCCEEDED(SQLGetInfo(hdbc, SQL_DBMS_NAME, name, sizeof name, &length))) {
            const QString dbms = QString::fromUtf8(reinterpret_cast<const char*>(name)).toLower();
            if (dbms.contains(QLatin1String("sqlite")))
                m_engine = Engine::SQLite;
        }
    }
    if (m_engine == Engine::PostgreSQL) {
        // Quotes are the only escape inside a literal, whatever the server's default.
        exec(QStringLiteral("SET standard_conforming_strings = on"));
        exec(QStringLiteral("SET statement_timeout = '%1s'").arg(m_options.statementTimeoutSeconds));
    }
}

void Connection::ensureOpen()
{
    if (QSqlDatabase::database(m_name, false).isOpen())
        return;
    try {
        open();
    } catch (const DbError& error) {
        throw DbError(withDetail(kLost, error.text()), DbError::Kind::ConnectionLost);
    }
}

bool Connection::isAlive()
{
    if (m_engine == Engine::SQLite)
        return true;
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (!db.isOpen())
        return false;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "SQLHANDLE") != 0) {
        QSqlQuery probe(db);
        return probe.exec(QStringLiteral("select 1"));
    }
    // Asked of the server itself: an answer, even a refusal (a transaction that a refused
    // statement left unable to go on), means the session is there; only a failure to reach the
    // server (SQLSTATE class 08) means it is gone.
    SQLHDBC hdbc = *static_cast<SQLHDBC const*>(handle.data());
    SQLHSTMT st = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &st)))
        return false;
    SQLCHAR probe[] = "select 1";
    ServerWatch::Guard watch(m_socket, m_replyMs);
    const SQLRETURN rc = SQLExecDirect(st, probe, SQL_NTS);
    bool alive = SQL_SUCCEEDED(rc);
    if (!alive && !watch.fired()) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLCHAR message[512] = {};
        SQLSMALLINT length = 0;
        alive = SQL_SUCCEEDED(SQLGetDiagRec(SQL_HANDLE_STMT, st, 1, state, &native, message, sizeof message, &length))
            && !(state[0] == '0' && state[1] == '8');
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    return alive;
}

void Connection::drop()
{
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (db.isValid())
        db.close();
    m_socket = {};
}

bool Connection::reopen()
{
    try {
        open();
        return true;
    } catch (const DbError&) {
        return false;
    }
}

void Connection::recover(const QString& detail, const QString& code, Kind kind, bool retried, bool timedOut)
{
    if (!timedOut && isAlive())
        throw Refusal::fromDatabase(detail, code);
    // The session is gone, and with it any transaction that was running on it. A server that did
    // not answer is not asked again now (a read sent again could wait as long once more): the next
    // action opens a session anew.
    const bool inTransaction = m_transactionDepth > 0;
    m_transactionDepth = 0;
    m_deferred.clear();
    const bool reopened = timedOut ? (drop(), false) : reopen();
    if (inTransaction)
        throw DbError(withDetail(kLostInSave, detail), DbError::Kind::ConnectionLost);
    if (kind == Kind::Write)
        throw DbError(withDetail(kUnknown, detail), DbError::Kind::OutcomeUnknown);
    if (!reopened || retried)
        throw DbError(withDetail(kLost, detail), DbError::Kind::ConnectionLost);
}

QSqlQuery Connection::exec(const QString& statement)
{
    const QString adapted = Sql::adapt(statement, m_engine);
    const Kind kind = isRead(adapted) ? Kind::Read : Kind::Write;
    ensureOpen();
    if (kind == Kind::Write && m_transactionDepth == 0 && !isAlive() && !reopen())
        throw DbError(kLost, DbError::Kind::ConnectionLost);
    for (bool retried = false;; retried = true) {
        QSqlError error;
        bool timedOut = false;
        {
            QSqlQuery query(QSqlDatabase::database(m_name, false));
            query.setForwardOnly(true);
            ServerWatch::Guard watch(m_socket, m_replyMs);
            const bool done = query.exec(adapted);
            endWait();
            if (done)
                return query;
            error = query.lastError();
            timedOut = watch.fired();
        } // the failed query goes before the session may be opened anew
        if (m_engine == Engine::SQLite) {
            DbError failure = failureOf(error);
            if (waitAgain(failure, m_transactionDepth > 0))
                continue;
            throw failure;
        }
        const QString detail = timedOut ? noReply(m_replyMs) + QLatin1Char('\n') + errorText(error) : errorText(error);
        recover(detail, error.nativeErrorCode(), kind, retried, timedOut);
    }
}

bool Connection::selectDirectly(const QString& statement, Rows& out)
{
    // On SQLite a result is read through the library itself: Qt's driver costs more per value
    // than the engine does, which a result of a hundred thousand grouped rows shows.
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    const QVariant handle = db.isOpen() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3* lite = *static_cast<sqlite3* const*>(handle.data());
    const QByteArray text = Sql::adapt(statement, m_engine).toUtf8();
    sqlite3_stmt* st = nullptr;
    auto failure = [&](int code) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(lite));
        sqlite3_finalize(st);
        const int primary = code & 0xff;
        if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
            return DbError(withDetail(kBusy, message), DbError::Kind::Busy);
        return Refusal::fromDatabase(message, QString::number(code));
    };
    if (const int rc = sqlite3_prepare_v2(lite, text.constData(), int(text.size()), &st, nullptr); rc != SQLITE_OK)
        throw failure(rc);
    const int columns = st ? sqlite3_column_count(st) : 0;
    QVector<std::optional<ColumnType>> types;
    for (int i = 0; i < columns; ++i) {
        out.fields << QString::fromUtf8(sqlite3_column_name(st, i));
        types << Schema::typeOfColumn(out.fields.last());
    }
    std::vector<RecentTexts> texts(static_cast<size_t>(columns));
    int rc = st ? SQLITE_ROW : SQLITE_DONE;
    while (st && (rc = sqlite3_step(st)) == SQLITE_ROW) {
        QVector<QVariant> row(columns);
        QVariant* values = row.data();
        for (int i = 0; i < columns; ++i)
            takeSqliteValue(st, i, types[i], texts[size_t(i)], values[i]);
        out.rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        throw failure(rc);
    sqlite3_finalize(st);
    return true;
}

Connection::Rows Connection::select(const QString& statement)
{
    while (m_engine == Engine::SQLite) {
        ensureOpen();
        Rows direct;
        try {
            const bool done = selectDirectly(statement, direct);
            endWait();
            if (done)
                return direct;
            break;
        } catch (DbError& failure) {
            endWait();
            if (!waitAgain(failure, m_transactionDepth > 0))
                throw failure;
        }
    }
    QSqlQuery query = exec(statement);
    Rows out;
    const QSqlRecord record = query.record();
    QVector<std::optional<ColumnType>> types;
    for (int i = 0; i < record.count(); ++i) {
        out.fields << record.fieldName(i);
        types << Schema::typeOfColumn(record.fieldName(i));
    }
    while (query.next()) {
        QVector<QVariant> row(types.size());
        for (int i = 0; i < types.size(); ++i)
            row[i] = normalise(query.value(i), types[i]);
        out.rows.push_back(std::move(row));
    }
    query.finish();
    return out;
}

Connection::Rows Connection::selectAll(const QString& statement, Columns* known)
{
    return selectPacked(statement, known).rows();
}

Connection::Packed Connection::selectPacked(const QString& statement, Columns* known)
{
    Packed out;
    const QString adapted = Sql::adapt(statement, m_engine);
    if (m_engine != Engine::PostgreSQL || !isRead(adapted) || !Sql::analyse(adapted).isSelect) {
        out.m_direct = std::make_shared<Rows>(select(adapted));
        return out;
    }
    // The result's columns, without running it: their names and what they hold. A condition that
    // is false leaves the engine a plan of nothing, where LIMIT 0 keeps the statement's whole plan
    // (and PostgreSQL compiles a costly one before it runs it, a fifth of a second).
    Columns columnsHere;
    Columns& columnsOf = known ? *known : columnsHere;
    if (columnsOf.names.isEmpty()) {
        QSqlQuery probe = exec(QStringLiteral("select * from (%1) as q where false").arg(adapted));
        const QSqlRecord record = probe.record();
        for (int i = 0; i < record.count(); ++i) {
            columnsOf.names << record.fieldName(i);
            columnsOf.kinds << record.field(i).metaType();
        }
    }
    const QStringList& names = columnsOf.names;
    const QVector<QMetaType>& kinds = columnsOf.kinds;
    if (names.isEmpty() || QSet<QString>(names.begin(), names.end()).size() != names.size()) {
        out.m_direct = std::make_shared<Rows>(select(adapted)); // a column name twice cannot be named alone
        return out;
    }
    // Each column comes joined into one text: its values as text, separated by chr(1), with
    // chr(2) for a null; beside it how many values are not null, and the rows' number. A value
    // that holds either character makes the pieces or the nulls disagree with those numbers, and
    // the column is then read again as an array (which the server writes several times slower,
    // looking over every element for quoting).
    QStringList joined;
    for (const QString& name : names) {
        const QString column = QStringLiteral("q.\"%1\"").arg(QString(name).replace('"', QLatin1String("\"\"")));
        joined << QStringLiteral("string_agg(coalesce(%1::text, chr(2)), chr(1)), count(%1)").arg(column);
    }
    const Rows packed = select(QStringLiteral("select count(*), %1 from (%2) as q").arg(joined.join(QStringLiteral(", ")), adapted));
    out.m_names = names;
    const int count = packed.rows.isEmpty() ? 0 : packed.rows[0].value(0).toInt();
    out.m_count = count;
    if (count == 0)
        return out;
    static const QString null(QChar(2));
    out.m_values.resize(names.size());
    out.m_texts.resize(names.size());
    out.m_elements.resize(names.size());
    for (int c = 0; c < names.size(); ++c) {
        out.m_texts[c] = packed.rows[0].value(1 + 2 * c).toString();
        const int values = packed.rows[0].value(2 + 2 * c).toInt();
        QList<QStringView>& pieces = out.m_values[c];
        pieces.reserve(count);
        int nulls = 0;
        for (const QStringView piece : QStringView(out.m_texts[c]).tokenize(QChar(1))) {
            const bool isNull = piece == null;
            nulls += isNull;
            // A null view is no value; an empty text (the whole column one empty value) stays one.
            pieces << (isNull ? QStringView() : piece.isNull() ? QStringView(u"") : piece);
        }
        if (pieces.size() == count && nulls == count - values)
            continue;
        const QString array = QStringLiteral("select array_agg(q.\"%1\")::text from (%2) as q")
                                  .arg(QString(names[c]).replace('"', QLatin1String("\"\"")), adapted);
        out.m_elements[c] = Sql::parseArray(select(array).rows.value(0).value(0).toString());
        if (out.m_elements[c].size() != count)
            throw DbError(QStringLiteral("列 %1 的值无法读取。").arg(names[c]));
        pieces.clear();
        for (const QString& element : std::as_const(out.m_elements[c]))
            pieces << QStringView(element); // null where the element is
    }
    // What each column's texts become, decided once for the column rather than for every value.
    using As = Packed::As;
    for (int c = 0; c < names.size(); ++c) {
        const bool date = Schema::typeOfColumn(names[c]) == ColumnType::Date;
        switch (kinds[c].id()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UInt:
        case QMetaType::ULongLong: out.m_as << As::Whole; break;
        case QMetaType::Double:
        case QMetaType::Float: out.m_as << As::Real; break;
        case QMetaType::QDate: out.m_as << As::Date; break;
        case QMetaType::Bool: out.m_as << As::Bool; break;
        default: out.m_as << (date ? As::TextOrDate : As::Text); break;
        }
    }
    return out;
}

QVariant Connection::Packed::value(int row, int column) const
{
    if (m_direct) // the row is looked at where it is, not copied
        return row >= 0 && row < m_direct->rows.size() ? m_direct->rows.at(row).value(column) : QVariant();
    const QStringView text = m_values[column][row];
    if (text.isNull())
        return {};
    switch (m_as[column]) {
    case As::Whole: {
        const qlonglong v = text.toLongLong();
        return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max() ? QVariant(int(v)) : QVariant(v);
    }
    case As::Real: return text.toDouble();
    case As::Date: return Sql::parseDate(text);
    case As::Bool: return text == QLatin1String("t") || text == QLatin1String("true");
    case As::TextOrDate: {
        const QDate date = Sql::parseDate(text);
        return date.isValid() ? QVariant(date) : QVariant(text.toString());
    }
    case As::Text: break;
    }
    return text.toString();
}

Connection::Rows Connection::Packed::rows(const std::vector<int>* only) const
{
    if (m_direct && !only)
        return *m_direct;
    Rows out;
    out.fields = fields();
    const int count = only ? int(only->size()) : size();
    const int columns = int(out.fields.size());
    out.rows.reserve(count);
    // A text equal to the one above it in its column (a student's number on each of their scores,
    // a course's name) shares that one's storage.
    QVector<QVariant> above(columns);
    for (int i = 0; i < count; ++i) {
        const int r = only ? (*only)[size_t(i)] : i;
        if (m_direct) {
            out.rows.push_back(m_direct->rows.value(r));
            continue;
        }
        QVector<QVariant> row(columns);
        for (int c = 0; c < columns; ++c) {
            if (m_as[c] != As::Text) {
                row[c] = value(r, c);
                continue;
            }
            const QStringView text = m_values[c][r];
            if (text.isNull())
                continue;
            if (above[c].isNull() || QStringView(*static_cast<const QString*>(above[c].constData())) != text)
                above[c] = text.toString();
            row[c] = above[c];
        }
        out.rows.push_back(std::move(row));
    }
    return out;
}

int Connection::execute(const QString& statement)
{
    QSqlQuery query = exec(statement);
    const int affected = query.numRowsAffected();
    query.finish();
    return affected;
}

void Connection::begin()
{
    if (m_transactionDepth++ > 0)
        return;
    m_deferred.clear();
    try {
        ensureOpen();
        if (!isAlive() && !reopen())
            throw DbError(kLost, DbError::Kind::ConnectionLost);
    } catch (...) {
        m_transactionDepth = 0;
        throw;
    }
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (m_engine == Engine::SQLite) {
        // The write lock is taken now, waiting for another writer as long as the busy time-out
        // allows: a deferred transaction that read first could not wait for it later.
        for (;;) {
            QSqlQuery query(db);
            const bool done = query.exec(QStringLiteral("BEGIN IMMEDIATE"));
            endWait();
            if (done)
                return;
            DbError failure = failureOf(query.lastError());
            if (waitAgain(failure, false))
                continue;
            m_transactionDepth = 0;
            throw failure;
        }
    }
    if (!db.transaction()) {
        m_transactionDepth = 0;
        throw Refusal::fromDatabase(errorText(db.lastError()), db.lastError().nativeErrorCode());
    }
}

void Connection::beginSnapshot()
{
    if (m_transactionDepth > 0)
        throw DbError(QStringLiteral("事务中不能开始只读快照。"));
    ensureOpen();
    if (!isAlive() && !reopen())
        throw DbError(kLost, DbError::Kind::ConnectionLost);
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    m_transactionDepth = 1;
    if (m_engine == Engine::SQLite) {
        // Deferred: the snapshot is taken by the first read, and no lock is asked for.
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("BEGIN"))) {
            m_transactionDepth = 0;
            throw failureOf(query.lastError());
        }
        return;
    }
    if (!db.transaction()) {
        m_transactionDepth = 0;
        throw DbError(errorText(db.lastError()));
    }
    try {
        execute(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
    } catch (const DbError&) {
        rollback();
        throw;
    }
}

KeyReaders& Connection::keyReaders()
{
    if (!m_keyReaders)
        m_keyReaders = std::make_unique<KeyReaders>(m_connectionString);
    return *m_keyReaders;
}

bool Connection::keepsRowCounts()
{
    if (m_engine != Engine::PostgreSQL)
        return false;
    if (!m_keepsRowCounts)
        m_keepsRowCounts = RowCounts::present(*this);
    return *m_keepsRowCounts;
}

void Connection::commit()
{
    if (m_transactionDepth == 0)
        throw DbError(QStringLiteral("没有可以提交的事务。"));
    if (m_transactionDepth == 1 && !m_deferred.isEmpty()) {
        const auto deferred = std::exchange(m_deferred, {});
        try {
            constexpr int kRowsPerStatement = 200;
            for (auto it = deferred.constBegin(); it != deferred.constEnd(); ++it)
                for (int begin = 0; begin < it.value().size(); begin += kRowsPerStatement)
                    select(it.key() + ' ' + it.value().mid(begin, kRowsPerStatement).join(QStringLiteral(", "))); // on SQLite past Qt's driver
        } catch (...) {
            rollback();
            throw;
        }
    }
    if (--m_transactionDepth > 0)
        return;
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (m_engine == Engine::SQLite) {
        QSqlQuery query(db);
        const bool done = query.exec(QStringLiteral("COMMIT"));
        endWait();
        if (!done) {
            const DbError failure = failureOf(query.lastError());
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            throw failure;
        }
        return;
    }
    bool timedOut = false;
    {
        ServerWatch::Guard watch(m_socket, m_replyMs);
        if (db.commit())
            return;
        timedOut = watch.fired();
    }
    const QString text = timedOut ? noReply(m_replyMs) + QLatin1Char('\n') + errorText(db.lastError()) : errorText(db.lastError());
    const QString code = db.lastError().nativeErrorCode();
    if (!timedOut && isAlive()) {
        db.rollback();
        throw Refusal::fromDatabase(text, code);
    }
    db = QSqlDatabase(); // no handle of the old session stays while it is opened anew
    // The commit may have reached the server before the session went.
    if (timedOut)
        drop();
    else
        reopen();
    throw DbError(withDetail(kUnknown, text), DbError::Kind::OutcomeUnknown);
}

void Connection::rollback()
{
    m_deferred.clear();
    if (m_transactionDepth == 0)
        return;
    m_transactionDepth = 0;
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    ServerWatch::Guard watch(m_socket, m_replyMs);
    if (m_engine == Engine::SQLite)
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
    else
        db.rollback();
}

void Connection::deferRows(const QString& head, const QStringList& tuples)
{
    if (m_transactionDepth == 0)
        throw DbError(QStringLiteral("只有在事务中才能推迟写入。"));
    m_deferred[head] << tuples;
}

Connection::Keys Connection::readKeys(const QString& statement, bool textKeys, int keepRow)
{
    Keys out;
    if (readKeysDirectly(statement, textKeys, keepRow, out))
        return out;
    // Row by row through the driver, with everything exec() does about a lost session.
    out = Keys();
    QSqlQuery query = exec(statement);
    const int columns = query.record().count();
    while (query.next()) {
        if (textKeys)
            out.texts << query.value(0).toString();
        else
            out.ints.push_back(query.value(0).toLongLong());
        if (out.rows == 0)
            for (int i = 0; i < columns; ++i)
                out.first << normalise(query.value(i), std::nullopt);
        if (out.rows == keepRow)
            for (int i = 0; i < columns; ++i)
                out.kept << normalise(query.value(i), std::nullopt);
        ++out.rows;
    }
    query.finish();
    return out;
}

namespace {


// Keys from SQLite through the library itself, on the session Qt's driver holds.
bool readSqliteKeys(sqlite3* db, const QString& statement, bool textKeys, int keepRow, Connection::Keys& out)
{
    const QByteArray text = statement.toUtf8();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &st, nullptr) != SQLITE_OK)
        return false;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        if (textKeys)
            out.texts << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                sqlite3_column_bytes(st, 0));
        else
            out.ints.push_back(sqlite3_column_int64(st, 0));
        if (out.rows == 0)
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                out.first << sqliteValue(st, i);
        if (out.rows == keepRow)
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                out.kept << sqliteValue(st, i);
        ++out.rows;
    }
    sqlite3_finalize(st);
    return rc == SQLITE_DONE;
}

// Keys through ODBC in arrays of rows: one call fetches thousands where Qt's driver asks for
// every value of every row on its own.
bool readOdbcKeys(SQLHDBC hdbc, const QString& statement, bool textKeys, int keepRow, Connection::Keys& out)
{
    constexpr SQLULEN kRowset = 4096;
    constexpr int kTextChars = 256; // longer texts go row by row
    SQLHSTMT st = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &st)))
        return false;
    struct Free {
        SQLHSTMT st;
        ~Free() { SQLFreeHandle(SQL_HANDLE_STMT, st); }
    } freeLater { st };
    SQLULEN fetched = 0;
    SQLSetStmtAttr(st, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
    if (!SQL_SUCCEEDED(SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRowset), 0)))
        return false;
    SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
    if (!SQL_SUCCEEDED(SQLExecDirectW(st, const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(statement.utf16())), SQL_NTS)))
        return false;
    SQLSMALLINT columns = 0;
    SQLNumResultCols(st, &columns);
    if (columns < 1)
        return false;
    std::vector<SQLBIGINT> ints(textKeys ? 0 : kRowset);
    // Column 0 as texts when the keys are texts; every other column as texts, for the kept row.
    std::vector<std::vector<SQLWCHAR>> texts(columns);
    std::vector<std::vector<SQLLEN>> lengths(columns, std::vector<SQLLEN>(kRowset));
    for (SQLSMALLINT c = 0; c < columns; ++c) {
        if (c == 0 && !textKeys) {
            SQLBindCol(st, 1, SQL_C_SBIGINT, ints.data(), sizeof(SQLBIGINT), lengths[0].data());
            continue;
        }
        texts[c].resize(kRowset * (kTextChars + 1));
        SQLBindCol(st, SQLUSMALLINT(c + 1), SQL_C_WCHAR, texts[c].data(), (kTextChars + 1) * sizeof(SQLWCHAR),
            lengths[c].data());
    }
    auto textAt = [&](int c, SQLULEN row, bool& whole) -> QVariant {
        const SQLLEN length = lengths[c][row];
        if (length == SQL_NULL_DATA)
            return QVariant();
        if (length < 0 || length > SQLLEN(kTextChars * sizeof(SQLWCHAR))) {
            whole = false;
            return QVariant();
        }
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(&texts[c][row * (kTextChars + 1)]),
            qsizetype(length / sizeof(SQLWCHAR)));
    };
    for (;;) {
        const SQLRETURN rc = SQLFetch(st);
        if (rc == SQL_NO_DATA)
            return true;
        if (!SQL_SUCCEEDED(rc))
            return false;
        bool whole = true;
        for (SQLULEN r = 0; r < fetched; ++r) {
            if (textKeys)
                out.texts << textAt(0, r, whole).toString();
            else
                out.ints.push_back(ints[r]);
            for (QVector<QVariant>* row : { out.rows == 0 ? &out.first : nullptr, out.rows == keepRow ? &out.kept : nullptr }) {
                if (!row)
                    continue;
                *row << (textKeys ? textAt(0, r, whole) : QVariant(qlonglong(ints[r])));
                for (SQLSMALLINT c = 1; c < columns; ++c)
                    *row << textAt(c, r, whole);
            }
            ++out.rows;
        }
        if (!whole)
            return false;
    }
}

} // namespace

bool Connection::readKeysDirectly(const QString& statement, bool textKeys, int keepRow, Keys& out)
{
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (!db.isOpen())
        return false;
    const QString adapted = Sql::adapt(statement, m_engine);
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid())
        return false;
    if (qstrcmp(handle.typeName(), "sqlite3*") == 0) {
        sqlite3* lite = *static_cast<sqlite3* const*>(handle.data());
        return lite && readSqliteKeys(lite, adapted, textKeys, keepRow, out);
    }
    if (qstrcmp(handle.typeName(), "SQLHANDLE") == 0) {
        SQLHDBC hdbc = *static_cast<SQLHDBC const*>(handle.data());
        ServerWatch::Guard watch(m_socket, m_replyMs);
        if (hdbc && readOdbcKeys(hdbc, adapted, textKeys, keepRow, out))
            return true;
        if (watch.fired()) {
            // Read again row by row, it could wait as long once more: the loss is told now.
            db = QSqlDatabase();
            m_transactionDepth = 0;
            drop();
            throw DbError(withDetail(kLost, noReply(m_replyMs)), DbError::Kind::ConnectionLost);
        }
        return false;
    }
    return false;
}

void Connection::setWriterWait(WriterWait wait) { writerWait() = std::move(wait); }

int Connection::waitForWriter(void* self, int count)
{
    auto* c = static_cast<Connection*>(self);
    if (count == 0) {
        c->m_waitClock.start();
        if (!c->m_waiting && writerWait().began)
            writerWait().began();
        c->m_waiting = true;
    }
    const qint64 left = c->m_busyMs - c->m_waitClock.elapsed();
    if (left <= 0)
        return 0; // the statement fails as busy
    // Short naps first, as SQLite's own time-out takes them: most waits are short.
    static constexpr int kNaps[] = { 1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100 };
    const int nap = kNaps[std::min<size_t>(size_t(count), std::size(kNaps) - 1)];
    sqlite3_sleep(int(std::min<qint64>(nap, left)));
    return 1;
}

void Connection::endWait()
{
    if (!m_waiting)
        return;
    m_waiting = false;
    if (writerWait().ended)
        writerWait().ended();
}

bool Connection::waitAgain(DbError& failure, bool inTransaction)
{
    // Inside a transaction the lock is its own since it began: nothing there waits for a writer,
    // and a commit that did is not sent twice.
    if (failure.kind() != DbError::Kind::Busy || inTransaction || !writerWait().retry)
        return false;
    const std::optional<bool> again = writerWait().retry(kBusyAsk);
    if (!again)
        return false;
    if (*again)
        return true;
    failure = DbError(QString(), DbError::Kind::Busy);
    return false;
}

std::shared_ptr<Connection> Connection::program()
{
    static std::weak_ptr<Connection> current;
    if (auto existing = current.lock())
        return existing;
    auto made = std::make_shared<Connection>();
    current = made;
    return made;
}

Transaction::Transaction(Connection& connection)
    : m_connection(connection)
{
    m_connection.begin();
}

Transaction::~Transaction()
{
    if (!m_done)
        m_connection.rollback();
}

void Transaction::commit()
{
    m_done = true;
    m_connection.commit();
}

} // namespace store
