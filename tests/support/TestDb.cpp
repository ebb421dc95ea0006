#include "TestDb.h"

#include "store/DbError.h"
#include "store/Password.h"
#include "store/Schema.h"
#include "store/Setup.h"
#include "store/Sql.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <odbcinst.h>

namespace {

struct State {
    bool ready = false;
    QString engine;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<store::Connection> admin;
    QString pgSocket, pgDatabase;
    QString pgRole; // the program's role: what `orlenta-db init --app-role` grants, no more
    QStringList rerouted; // data sources sent through a proxy
};
State& state()
{
    static State s;
    return s;
}

void writeFile(const QString& path, const QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(text.toUtf8());
}

// Runs a statement on the cluster's maintenance database, through the same psqlODBC driver.
void onCluster(const QString& statement)
{
    const QString name = QStringLiteral("orlenta-cluster");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(QStringLiteral("OrlentaCluster"));
        if (!db.open())
            qFatal("cannot reach the test cluster: %s", qPrintable(db.lastError().text()));
        QSqlQuery q(db);
        if (!q.exec(statement))
            qFatal("%s: %s", qPrintable(statement), qPrintable(q.lastError().text()));
    }
    QSqlDatabase::removeDatabase(name);
}

void dropDatabase()
{
    State& s = state();
    s.admin.reset(); // before the application object goes
    if (s.pgDatabase.isEmpty())
        return;
    onCluster(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(s.pgDatabase));
    onCluster(QStringLiteral("DROP ROLE IF EXISTS %1").arg(s.pgRole));
}

} // namespace

void TestDb::setUp()
{
    State& s = state();
    if (s.ready)
        return;
    s.engine = qEnvironmentVariable("ORLENTA_TEST_ENGINE", QStringLiteral("sqlite"));
    s.dir = std::make_unique<QTemporaryDir>();
    const QString dir = s.dir->path();
    writeFile(dir + "/odbcinst.ini",
        QStringLiteral("[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=%1\n\n"
                       "[PostgreSQL Unicode]\nDescription=PostgreSQL ODBC driver (Unicode)\nDriver=%2\n"
                       "Debug=0\nCommLog=0\n")
            .arg(QStringLiteral(ORLENTA_SQLITE_ODBC), QStringLiteral(ORLENTA_PSQL_ODBC)));
    QString dsn;
    if (s.engine == QLatin1String("postgres")) {
        QFile socket(qEnvironmentVariable("ORLENTA_TEST_PG") + "/socket");
        if (!socket.open(QIODevice::ReadOnly))
            qFatal("the PostgreSQL test cluster is not running (scripts/pg-cluster.sh start)");
        s.pgSocket = QString::fromUtf8(socket.readAll()).trimmed();
        s.pgDatabase = QStringLiteral("orlenta_t%1").arg(QCoreApplication::applicationPid());
        s.pgRole = QStringLiteral("orlenta_app_%1").arg(QCoreApplication::applicationPid());
        const QString source = QStringLiteral("[%1]\nDriver=PostgreSQL Unicode\nServername=%2\nPort=5432\nDatabase=%3\n"
                                              "Username=%4\nPassword=\nSSLmode=disable\nUseDeclareFetch=0\n"
                                              "Debug=0\nCommLog=0\n\n");
        // The program signs in as the application role; the test itself, making and emptying the
        // tables, as their owner.
        dsn = source.arg(QStringLiteral("Orlenta"), s.pgSocket, s.pgDatabase, s.pgRole)
            + source.arg(QStringLiteral("OrlentaOwner"), s.pgSocket, s.pgDatabase, QStringLiteral("postgres"))
            + source.arg(QStringLiteral("OrlentaCluster"), s.pgSocket, QStringLiteral("postgres"), QStringLiteral("postgres"));
    } else {
        dsn = QStringLiteral("[Orlenta]\nDriver=SQLite3\nDatabase=%1/orlenta.db\nTimeout=30000\n").arg(dir);
    }
    qAddPostRoutine(dropDatabase);
    writeFile(dir + "/odbc.ini", dsn);
    qputenv("ODBCSYSINI", dir.toUtf8());
    qputenv("ODBCINI", (dir + "/odbc.ini").toUtf8());
    if (!s.pgDatabase.isEmpty()) {
        onCluster(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(s.pgDatabase));
        onCluster(QStringLiteral("DROP ROLE IF EXISTS %1").arg(s.pgRole));
        onCluster(QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0").arg(s.pgDatabase));
    }
    s.ready = true;
    reset();
}

void TestDb::reset()
{
    State& s = state();
    if (!s.admin) // the first session makes the SQLite file, as orlenta-db init does
        s.admin = std::make_unique<store::Connection>(
            s.pgRole.isEmpty() ? QStringLiteral("DSN=Orlenta") : QStringLiteral("DSN=OrlentaOwner"),
            store::SessionOptions { .createMissingFile = true });
    store::Connection& db = *s.admin;
    if (db.engine() == store::Engine::SQLite)
        db.execute(QStringLiteral("PRAGMA synchronous=OFF"));
    for (const store::Table& t : store::Schema::tables())
        db.execute(QStringLiteral("DROP TABLE IF EXISTS %1").arg(t.name));
    store::Setup::init(db);
    if (!s.pgRole.isEmpty())
        store::Setup::grantAppRole(db, s.pgRole);
}

QString TestDb::appRole() { return state().pgRole; }

QString TestDb::pgSocketFile()
{
    setUp();
    return state().pgSocket.isEmpty() ? QString() : state().pgSocket + QStringLiteral("/.s.PGSQL.5432");
}

namespace {
// Written through unixODBC itself, which caches what it read of odbc.ini and forgets it only when
// it writes the file.
void setSource(const QString& name, const QString& server, const QString& port)
{
    const QByteArray section = name.toUtf8();
    const QByteArray values[][2] = { { "Driver", "PostgreSQL Unicode" }, { "Servername", server.toUtf8() },
        { "Port", port.toUtf8() }, { "Database", state().pgDatabase.toUtf8() }, { "Username", state().pgRole.toUtf8() },
        { "SSLmode", "disable" }, { "UseDeclareFetch", "0" }, { "Debug", "0" }, { "CommLog", "0" } };
    for (const auto& [key, value] : values)
        if (!SQLWritePrivateProfileString(section.constData(), key.constData(), value.constData(), "odbc.ini"))
            qFatal("cannot write the data source %s", section.constData());
}
} // namespace

void TestDb::addProxySource(const QString& name, quint16 port)
{
    setSource(name, QStringLiteral("127.0.0.1"), QString::number(port));
    state().rerouted << name;
}

void TestDb::restoreSources()
{
    State& s = state();
    for (const QString& name : std::as_const(s.rerouted))
        if (name == QLatin1String("Orlenta"))
            setSource(name, s.pgSocket, QStringLiteral("5432"));
    s.rerouted.clear();
}

store::Engine TestDb::engine() { return admin().engine(); }
QString TestDb::engineName() { return state().engine; }

store::Connection& TestDb::admin()
{
    setUp();
    return *state().admin;
}

std::unique_ptr<store::Connection> TestDb::openAnother() { return std::make_unique<store::Connection>(); }

bool TestDb::isHashOf(const QVariant& stored, const QString& password)
{
    return store::Password::kindOf(stored) == store::Password::Kind::Hash && store::Password::matches(stored, password);
}

int TestDb::count(const QString& tableAndCondition) { return store::Setup::count(admin(), tableAndCondition); }

void TestDb::exec(const QString& statement) { admin().execute(statement); }

QVariant TestDb::value(const QString& statement)
{
    const auto rows = admin().select(statement);
    return rows.rows.isEmpty() ? QVariant() : rows.rows[0].value(0);
}

void TestDb::addStudent(const QString& number, const QString& name, int department, int classCode, int status)
{
    exec(QStringLiteral("insert into 学生个人信息表 (学号, 姓名, 性别, 密码, 所在院系编号, 所在班级编号, 学籍情况) "
                        "values (%1, %2, '男', %1, %3, %4, %5)")
             .arg(store::Sql::quote(number), store::Sql::quote(name))
             .arg(department)
             .arg(classCode)
             .arg(status));
}

void TestDb::addPlaceholderScore(const QString& number, const QDate& date)
{
    exec(QStringLiteral("insert into 学生成绩表 (学号, 课程名, 成绩, 考试时间) values (%1, '0', 0, %2)")
             .arg(store::Sql::quote(number), store::Sql::quote(date.toString(QStringLiteral("yyyy-MM-dd")))));
}

QString thrownText(const std::function<void()>& work)
{
    try {
        work();
    } catch (const store::DbError& error) {
        return error.text();
    }
    return {};
}
