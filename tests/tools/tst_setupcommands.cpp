// orlenta-db's dispatcher and its init, demo and status, run as an office runs them: a process of
// their own on the test's data source.

#include "support/TestDb.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int status = -1;
    QString out, err;
};

Run run(const QString& program, const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(120000))
        qWarning("%s did not finish", qPrintable(program));
    return { p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError()) };
}

Run db(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    return run(QStringLiteral(ORLENTA_DB_PROGRAM), args, env);
}

// An environment whose only data source is the one written here (the test's drivers, and the
// same odbc.ini for the user's and the system's data sources).
QProcessEnvironment withDataSource(const QTemporaryDir& dir, const QString& section)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString drivers = env.value(QStringLiteral("ODBCSYSINI")) + QStringLiteral("/odbcinst.ini");
    QFile ini(dir.filePath(QStringLiteral("odbc.ini")));
    if (!QFile::copy(drivers, dir.filePath(QStringLiteral("odbcinst.ini"))) || !ini.open(QIODevice::WriteOnly)
        || ini.write(section.toUtf8()) < 0)
        qFatal("cannot write the data sources in %s", qPrintable(dir.path()));
    env.insert(QStringLiteral("ODBCSYSINI"), dir.path());
    env.insert(QStringLiteral("ODBCINI"), ini.fileName());
    return env;
}

} // namespace

class tst_setupcommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestDb::setUp(); }
    void init() { TestDb::reset(); }

    void usageAndVersionNeedNoDatabase();
    void demoRefusesADatabaseWithStudents();
    void aMistypedSqliteFileIsNotCreated();
    void theToolHasNoStatementTimeLimit();
};

void tst_setupcommands::usageAndVersionNeedNoDatabase()
{
    QTemporaryDir dir;
    const QProcessEnvironment none = withDataSource(dir, QString()); // no data source at all
    for (const char* ask : { "--help", "-h", "help" }) {
        const Run r = db({ QString::fromLatin1(ask) }, none);
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("usage: orlenta-db init")), qPrintable(r.out + r.err));
        QVERIFY(r.out.contains(QStringLiteral("demo --students N [--if-empty | --force]")));
    }
    for (const QStringList& wrong : { QStringList {}, QStringList { QStringLiteral("frobnicate") } }) {
        const Run r = db(wrong, none);
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.startsWith(QStringLiteral("usage: orlenta-db")));
        QVERIFY(!r.err.contains(QStringLiteral("无法连接")));
    }
    const Run version = db({ QStringLiteral("--version") }, none);
    QCOMPARE(version.status, 0);
    QCOMPARE(version.out.trimmed(), QStringLiteral("orlenta-db " ORLENTA_VERSION));
    // Without a data source a command that needs one says so.
    const Run status = db({ QStringLiteral("status") }, none);
    QCOMPARE(status.status, 1);
    QVERIFY(status.err.contains(QStringLiteral("无法连接到数据库")));

    // The program answers too, without a display.
    QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        headless.remove(QString::fromLatin1(name));
    const Run program = run(QStringLiteral(ORLENTA_PROGRAM), { QStringLiteral("--version") }, headless);
    QCOMPARE(program.status, 0);
    QCOMPARE(program.out.trimmed(), QStringLiteral("orlenta " ORLENTA_VERSION));
}

void tst_setupcommands::demoRefusesADatabaseWithStudents()
{
    Run r = db({ QStringLiteral("demo"), QStringLiteral("--students"), QStringLiteral("3") });
    QCOMPARE(r.status, 0);
    QCOMPARE(TestDb::count(QStringLiteral("学生个人信息表")), 3);
    const int scores = TestDb::count(QStringLiteral("学生成绩表"));
    // Run again by mistake: nothing is added, and it says how to add more.
    r = db({ QStringLiteral("demo"), QStringLiteral("--students"), QStringLiteral("3") });
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(QStringLiteral("已有 3 名学生")) && r.err.contains(QStringLiteral("--force")), qPrintable(r.err));
    QCOMPARE(TestDb::count(QStringLiteral("学生个人信息表")), 3);
    QCOMPARE(TestDb::count(QStringLiteral("学生成绩表")), scores);
    // --if-empty: nothing to do, and that is no failure (make run calls it every time).
    r = db({ QStringLiteral("demo"), QStringLiteral("--students"), QStringLiteral("3"), QStringLiteral("--if-empty") });
    QCOMPARE(r.status, 0);
    QCOMPARE(TestDb::count(QStringLiteral("学生个人信息表")), 3);
    // --force adds them, with new numbers and without a second teacher account.
    r = db({ QStringLiteral("demo"), QStringLiteral("--students"), QStringLiteral("2"), QStringLiteral("--force") });
    QCOMPARE(r.status, 0);
    QCOMPARE(TestDb::count(QStringLiteral("学生个人信息表")), 5);
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表 where name = 'teacher'")), 1);
    // A number that is not one is a usage error.
    QCOMPARE(db({ QStringLiteral("demo"), QStringLiteral("--students"), QStringLiteral("many") }).status, 2);
}

void tst_setupcommands::aMistypedSqliteFileIsNotCreated()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("orlneta.db"));
    const QProcessEnvironment env = withDataSource(dir, QStringLiteral("[Orlenta]\nDriver=SQLite3\nDatabase=%1\n").arg(file));
    const Run status = db({ QStringLiteral("status") }, env);
    QCOMPARE(status.status, 1);
    QVERIFY2(status.err.contains(QStringLiteral("数据库文件“%1”不存在。").arg(file)), qPrintable(status.err));
    QCOMPARE(QDir(dir.path()).entryList({ QStringLiteral("*.db*") }, QDir::Files), QStringList());
    // Nor does a command line that is not understood: it gets the usage and touches nothing.
    for (const QStringList& wrong : { QStringList { "demo" }, QStringList { "demo", "--students", "many" },
             QStringList { "demo", "--students", "3", "--forse" }, QStringList { "status", "--all" } }) {
        const Run r = db(wrong, env);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.startsWith(QStringLiteral("usage: orlenta-db")), qPrintable(r.err));
        QCOMPARE(QDir(dir.path()).entryList({ QStringLiteral("*.db*") }, QDir::Files), QStringList());
    }
    // Making a database is what init is for.
    const Run init = db({ QStringLiteral("init") }, env);
    QCOMPARE(init.status, 0);
    QVERIFY(QFile::exists(file));
    const Run after = db({ QStringLiteral("status") }, env);
    QCOMPARE(after.status, 0);
    QVERIFY(after.out.contains(QStringLiteral("管理员身份认证表 1")));
}

void tst_setupcommands::theToolHasNoStatementTimeLimit()
{
    if (TestDb::engine() != store::Engine::PostgreSQL)
        QSKIP("a statement time-out is the server's");
    store::Connection program;
    QCOMPARE(program.select(QStringLiteral("show statement_timeout")).rows.value(0).value(0).toString(), QStringLiteral("30s"));
    store::Connection tool(QStringLiteral("DSN=Orlenta"), store::SessionOptions { .statementTimeoutSeconds = 0 });
    QCOMPARE(tool.select(QStringLiteral("show statement_timeout")).rows.value(0).value(0).toString(), QStringLiteral("0"));
}

QTEST_MAIN(tst_setupcommands)
#include "tst_setupcommands.moc"
