#include "Connection.h"

#include "DbError.h"
#include "Sql.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

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
    return text;
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

Connection::Connection(const QString& connectionString)
    : m_connectionString(connectionString)
{
    static QAtomicInt serial;
    m_name = QStringLiteral("orlenta-%1").arg(serial.fetchAndAddRelaxed(1));
    open();
}

Connection::~Connection()
{
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
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(target.sqliteFile);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=30000"));
        if (!db.open())
            throw DbError(errorText(db.lastError()));
        // Readers never block writers in WAL mode, so a window left open blocks nobody.
        exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        exec(QStringLiteral("PRAGMA foreign_keys=OFF"));
        return;
    }
    m_engine = Engine::PostgreSQL;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
    db.setDatabaseName(target.odbcConnectionString);
    db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=15;SQL_ATTR_CONNECTION_TIMEOUT=15"));
    if (!db.open())
        throw DbError(errorText(db.lastError()));
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
        exec(QStringLiteral("SET statement_timeout = '30s'"));
    }
}

void Connection::fail(const QString& statement, const QSqlError& error)
{
    Q_UNUSED(statement);
    throw DbError(errorText(error));
}

QSqlQuery Connection::exec(const QString& statement)
{
    const QString adapted = Sql::adapt(statement, m_engine);
    for (int attempt = 0;; ++attempt) {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (query.exec(adapted))
            return query;
        const QSqlError error = query.lastError();
        // A session the server dropped (a restart, a network cut) is opened again once, unless
        // a transaction was running on it: its writes are gone and the caller must know.
        if (attempt > 0 || m_transactionDepth > 0)
            fail(adapted, error);
        QSqlQuery probe(db);
        if (probe.exec(QStringLiteral("select 1")))
            fail(adapted, error);
        try {
            open();
        } catch (const DbError&) {
            fail(adapted, error);
        }
    }
}

Connection::Rows Connection::select(const QString& statement)
{
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
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (!db.transaction()) {
        m_transactionDepth = 0;
        throw DbError(errorText(db.lastError()));
    }
}

void Connection::commit()
{
    if (m_transactionDepth == 0)
        throw DbError(QStringLiteral("没有可以提交的事务。"));
    if (--m_transactionDepth > 0)
        return;
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (!db.commit()) {
        const QString text = errorText(db.lastError());
        db.rollback();
        throw DbError(text);
    }
}

void Connection::rollback()
{
    if (m_transactionDepth == 0)
        return;
    m_transactionDepth = 0;
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    db.rollback();
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
