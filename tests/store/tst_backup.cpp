#include "support/Gui.h"
#include "support/TestDb.h"

#include "platform/FileDialog.h"
#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "shell/BasVal.h"
#include "shell/DailyCopy.h"
#include "store/Backup.h"
#include "store/DbError.h"
#include "store/Schema.h"
#include "store/ServerDump.h"
#include "store/Setup.h"
#include "store/Sql.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <sqlite3.h>
#include <thread>

using platform::MsgBox;
using store::Backup;

namespace {

QString database() { return TestDb::admin().sqliteFile(); }

// Every row of every table in key order: what a database holds, to compare.
QStringList everything()
{
    QStringList out;
    for (const store::Table& table : store::Schema::tables()) {
        const auto rows = TestDb::admin().select(QStringLiteral("select * from %1 order by %2").arg(table.name, table.key));
        for (const auto& row : rows.rows) {
            QStringList values;
            for (const QVariant& v : row)
                values << v.toString();
            out << table.name + ':' + values.join('|');
        }
    }
    return out;
}

// The engine's own verdict on a file, apart from the program's.
QString integrityOf(const QString& file)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    QString verdict = QStringLiteral("unreadable");
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        verdict = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return verdict;
}

// Every page in use, so that a damaged page is one of records.
void vacuum(const QString& file)
{
    sqlite3* db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    sqlite3_exec(db, "VACUUM", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// Three pages in the middle overwritten, as a failing disk leaves them.
QByteArray damaged(QByteArray bytes)
{
    const qsizetype first = bytes.size() / 2 / 4096 * 4096;
    for (qsizetype at = first; at < first + 3 * 4096 && at < bytes.size(); ++at)
        bytes[at] = char(at * 7);
    return bytes;
}

void overwrite(const QString& file, const QByteArray& bytes)
{
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

void addStudentWithScore(const QString& number, double score)
{
    TestDb::addStudent(number, QStringLiteral("学生") + number);
    TestDb::exec(QStringLiteral("insert into 学生成绩表 (学号, 课程名, 成绩, 考试时间) values ('%1', '高等数学', %2, '2024-01-10')")
                     .arg(number)
                     .arg(score));
}

// After a copy was taken: a student goes, one comes, a name and a score change.
void changeAfterTheCopy(const QString& gone, const QString& renamed)
{
    TestDb::exec(QStringLiteral("delete from 学生个人信息表 where 学号='%1'").arg(gone));
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 姓名='改过的名字' where 学号='%1'").arg(renamed));
    TestDb::exec(QStringLiteral("update 学生成绩表 set 成绩=1 where 学号='%1'").arg(renamed));
    addStudentWithScore(QStringLiteral("2099999"), 99);
}

struct ToolRun {
    int status = -1;
    QString out, err;
};

// orlenta-db as an office runs it, on the test's data source.
ToolRun tool(const QStringList& args, const QByteArray& input = {}, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ORLENTA_DB_TOOL), args);
    p.waitForStarted();
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    return { p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError()) };
}

QStringList dailyCopiesIn(const QString& folder)
{
    return QDir(folder).entryList({ QStringLiteral("orlenta-2*.db") }, QDir::Files, QDir::Name);
}

// QSKIP leaves the function it is written in: the test itself.
#define SQLITE_ONLY()                                                                                                  \
    if (TestDb::engine() != store::Engine::SQLite)                                                                     \
    QSKIP("a copy of the database file is made on SQLite only")

// A message box as the user sees it, rendered to look at.
void lookAt(const MsgBox::Shown& shown, const QString& name)
{
    const auto box = MsgBox::makeBox(shown.text, shown.title, shown.icon, shown.buttons);
    box->show();
    Gui::settle();
    Gui::snapshot(box.get(), name);
    box->close();
}

QAction* item(QWidget* window, const char* name) { return window->findChild<QAction*>(QString::fromLatin1(name)); }

platform::Form* mainWindowFor(const QString& style)
{
    BasVal::UserStyle = style;
    platform::Form* main = platform::Forms::show(QStringLiteral("frmmain"));
    Gui::settle();
    return main;
}

} // namespace

class tst_backup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestDb::setUp(); }
    void init()
    {
        Gui::begin();
        DailyCopy::reset();
        if (TestDb::engine() == store::Engine::SQLite)
            QDir(Backup::folderOf(database())).removeRecursively();
    }
    void cleanup() { Gui::end(); }

    void copyWhileAnotherConnectionWrites();
    void restoreBringsBackExactlyTheCopiedRows();
    void unsoundFilesAreRefusedWithNothingChanged();
    void aCopyFromAnEarlierVersionGainsTheTablesAddedSince();
    void restoreOverADamagedDatabase();
    void dailyCopyOnceADayAndPruned();
    void commandsBackUpAndRestore();
    void menuItemsForAnAdministrator();
    void menuBacksUpAndRestores();
    void dailyCopyFailureIsToldOnceToAnAdministrator();
    void serverRouteWhenPgDumpIsMissing();
    void serverDumpAndRestore();
};

void tst_backup::copyWhileAnotherConnectionWrites()
{
    SQLITE_ONLY();
    store::Setup::fillDemo(TestDb::admin(), 2000); // several steps of pages
    const qint64 students = TestDb::count(QStringLiteral("学生个人信息表"));
    const qint64 scores = TestDb::count(QStringLiteral("学生成绩表"));

    // Another workstation saves a student and a score in one transaction, again and again.
    std::atomic<int> saved { 0 }, failed { 0 };
    std::atomic<bool> stop { false };
    std::thread writer([&] {
        sqlite3* db = nullptr;
        sqlite3_open_v2(database().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(db, 30000);
        for (int i = 0; !stop; ++i) {
            const QByteArray save = QStringLiteral(
                "BEGIN IMMEDIATE; insert into 学生个人信息表 (学号, 姓名, 性别, 密码, 所在院系编号, 所在班级编号, 学籍情况) "
                "values ('3%1', '写入者', '男', 'x', 1, 1, 1); insert into 学生成绩表 (学号, 课程名, 成绩, 考试时间) "
                "values ('3%1', '高等数学', 80, '2024-01-10'); COMMIT;")
                                        .arg(i, 6, 10, QChar('0'))
                                        .toUtf8();
            if (sqlite3_exec(db, save.constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
                ++saved;
            else
                ++failed;
        }
        sqlite3_close(db);
    });

    // Between two steps of the copy the writer saves three times more.
    int steps = 0;
    bool waited = true;
    auto progress = [&](int permille) {
        if (permille <= 0 || permille >= 1000)
            return true;
        ++steps;
        const int before = saved;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (saved < before + 3 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        waited = waited && saved >= before + 3;
        return true;
    };
    QTemporaryDir dir;
    const int atStart = saved;
    const Backup::Contents copy = Backup::copy(database(), dir.filePath(QStringLiteral("copy.db")), progress);
    const int atEnd = saved;
    stop = true;
    writer.join();

    QVERIFY(steps >= 1);
    QVERIFY2(waited, "the writer had to wait for the copy");
    QCOMPARE(failed.load(), 0);
    QVERIFY(copy.sound);
    QCOMPARE(integrityOf(copy.file), QStringLiteral("ok"));
    // The copy holds a moment of the writer's sequence: each save whole, none after the copy began.
    const qint64 added = copy.students() - students;
    QCOMPARE(copy.scores() - scores, added);
    QVERIFY2(added >= atStart && added <= atEnd, qPrintable(QStringLiteral("%1 not in %2..%3").arg(added).arg(atStart).arg(atEnd)));
    // A file of its own: no write-ahead log is named in its header or left beside it.
    QFile file(copy.file);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(int(file.read(20).at(18)), 1);
    QVERIFY(!QFile::exists(copy.file + QStringLiteral("-wal")));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { QStringLiteral("copy.db") });
}

void tst_backup::restoreBringsBackExactlyTheCopiedRows()
{
    SQLITE_ONLY();
    store::Setup::fillDemo(TestDb::admin(), 2000);
    addStudentWithScore(QStringLiteral("2099001"), 70);
    addStudentWithScore(QStringLiteral("2099002"), 80);
    const QStringList before = everything();
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy.db"));
    Backup::copy(database(), copy);
    changeAfterTheCopy(QStringLiteral("2099001"), QStringLiteral("2099002"));
    const QStringList changed = everything();
    QVERIFY(changed != before);

    // Another workstation reads while the restore writes its pages: it sees the records as they
    // were, whole, until the restore is done, and the restored ones after.
    auto other = TestDb::openAnother();
    auto counts = [&] {
        return other->select(QStringLiteral("select (select count(*) from 学生个人信息表), (select count(*) from 学生成绩表), "
                                            "(select count(*) from 学生个人信息表 where 学号='2099999')"))
            .rows.value(0);
    };
    const auto changedCounts = counts();
    QVector<QVector<QVariant>> seenDuring;
    const QString folder = Backup::folderOf(database());
    auto progress = [&](int permille) {
        const bool kept = !QDir(folder).entryList({ QStringLiteral("orlenta-恢复前-*") }).isEmpty();
        if (kept && permille > 0 && permille < 1000)
            seenDuring << counts();
        return true;
    };
    const Backup::Restored restored = Backup::restore(copy, database(), progress);

    QCOMPARE(everything(), before);
    QVERIFY(!seenDuring.isEmpty());
    for (const auto& seen : std::as_const(seenDuring))
        QCOMPARE(seen, changedCounts);
    QCOMPARE(counts().value(2).toInt(), 0);
    QCOMPARE(restored.restored.students(), qint64(2002));
    // The database as it was is kept beside it, changes and all.
    const Backup::Contents kept = Backup::inspect(restored.keptCopy);
    QVERIFY(kept.sound);
    QCOMPARE(QFileInfo(restored.keptCopy).absolutePath(), folder);
    QCOMPARE(kept.students(), changedCounts.value(0).toLongLong());
}

void tst_backup::unsoundFilesAreRefusedWithNothingChanged()
{
    SQLITE_ONLY();
    store::Setup::fillDemo(TestDb::admin(), 300);
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.db"));
    Backup::copy(database(), good);
    vacuum(good);
    QFile source(good);
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    auto write = [&](const QString& name, const QByteArray& content) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return f.fileName();
    };
    const QByteArray corrupted = damaged(bytes);
    const QString foreign = dir.filePath(QStringLiteral("foreign.db"));
    {
        sqlite3* db = nullptr;
        sqlite3_open(foreign.toUtf8().constData(), &db);
        sqlite3_exec(db, "create table 发票 (号码 text, 金额 real); insert into 发票 values ('1', 2.5)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    const QString lacking = write(QStringLiteral("lacking.db"), bytes);
    {
        sqlite3* db = nullptr;
        sqlite3_open(lacking.toUtf8().constData(), &db);
        sqlite3_exec(db, "drop table 学生课程表", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    const QList<QPair<QString, QString>> cases {
        { dir.filePath(QStringLiteral("missing.db")), QStringLiteral("文件不存在") },
        { write(QStringLiteral("text.db"), "学号,姓名\n2006001,张三\n"), QStringLiteral("不是 SQLite 数据库") },
        { write(QStringLiteral("truncated.db"), bytes.left(bytes.size() / 2)), QStringLiteral("损坏") },
        { write(QStringLiteral("corrupted.db"), corrupted), QStringLiteral("损坏") },
        { write(QStringLiteral("empty.db"), QByteArray()), QStringLiteral("没有 Orlenta 的表") },
        { foreign, QStringLiteral("没有 Orlenta 的表") },
        { lacking, QStringLiteral("缺少表 学生课程表") },
    };
    const QStringList before = everything();
    for (const auto& [file, why] : cases) {
        const Backup::Contents seen = Backup::inspect(file);
        QVERIFY2(!seen.sound && seen.problem.contains(why), qPrintable(file + ": " + seen.problem));
        QString refusal;
        try {
            Backup::restore(file, database());
        } catch (const store::DbError& error) {
            refusal = error.text();
        }
        QVERIFY2(refusal.contains(QStringLiteral("没有恢复")), qPrintable(file + ": " + refusal));
        QCOMPARE(everything(), before);
        QVERIFY(!QFile::exists(Backup::folderOf(database()))); // no copy kept: nothing was about to change
    }
    // The command refuses alike, even when told not to ask.
    const ToolRun run = tool({ QStringLiteral("restore"), dir.filePath(QStringLiteral("truncated.db")), QStringLiteral("--yes") });
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("不是完好的 Orlenta 数据库")), qPrintable(run.err));
    QCOMPARE(everything(), before);
    // A copy that would not be sound is never moved into place; an older file there stays.
    QVERIFY(Backup::inspect(good).sound);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral(".good.db"))));
}

void tst_backup::aCopyFromAnEarlierVersionGainsTheTablesAddedSince()
{
    SQLITE_ONLY();
    store::Setup::fillDemo(TestDb::admin(), 300);
    QTemporaryDir dir;
    const QString older = dir.filePath(QStringLiteral("older.db"));
    Backup::copy(database(), older);
    vacuum(older);
    {
        sqlite3* db = nullptr;
        sqlite3_open(older.toUtf8().constData(), &db);
        QCOMPARE(sqlite3_exec(db, "drop table 操作记录表", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    auto records = [] {
        QStringList rows = everything();
        rows.removeIf([](const QString& row) { return row.startsWith(QStringLiteral("操作记录表:")); });
        return rows;
    };
    const QStringList before = records();
    const Backup::Contents seen = Backup::inspect(older);
    QVERIFY2(seen.sound, qPrintable(seen.problem));
    QCOMPARE(seen.tablesToAdd, QStringList { QStringLiteral("操作记录表") });

    TestDb::exec(QStringLiteral("delete from 学生成绩表"));
    Backup::restore(older, database());
    QCOMPARE(records(), before);
    // The restored database has the table again, empty, and the file restored from is untouched.
    QCOMPARE(TestDb::count(QStringLiteral("操作记录表")), 0);
    QVERIFY(!Backup::inspect(older).tablesToAdd.isEmpty());
}

void tst_backup::restoreOverADamagedDatabase()
{
    SQLITE_ONLY();
    store::Setup::fillDemo(TestDb::admin(), 300);
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.db"));
    const QString office = dir.filePath(QStringLiteral("office/orlenta.db")); // an office's database, beside the test's
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("office"))));
    Backup::copy(database(), good);
    Backup::copy(database(), office);
    vacuum(office);
    QFile file(office);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();

    // Pages of records damaged: the restore replaces them, and keeps the damaged file as it was.
    overwrite(office, damaged(bytes));
    QVERIFY(!Backup::inspect(office).sound);
    const Backup::Restored restored = Backup::restore(good, office);
    const Backup::Contents mended = Backup::inspect(office);
    QVERIFY2(mended.sound, qPrintable(mended.problem));
    QCOMPARE(mended.counts, Backup::inspect(good).counts);
    QVERIFY(!Backup::inspect(restored.keptCopy).sound);

    // A file that is no database any more is not written under whoever holds it: the user is told
    // to put it aside, and the restore then makes the database anew.
    QByteArray header = bytes;
    header.replace(0, 100, QByteArray(100, 'x'));
    overwrite(office, header);
    QString refusal;
    try {
        Backup::restore(good, office);
    } catch (const store::DbError& error) {
        refusal = error.text();
    }
    QVERIFY2(refusal.contains(QStringLiteral("改名")), qPrintable(refusal));
    QCOMPARE(QFileInfo(office).size(), qint64(header.size()));
    QVERIFY(QFile::rename(office, office + QStringLiteral(".损坏")));
    Backup::restore(good, office);
    QCOMPARE(Backup::inspect(office).counts, Backup::inspect(good).counts);
}

void tst_backup::dailyCopyOnceADayAndPruned()
{
    SQLITE_ONLY();
    const QString folder = Backup::folderOf(database());
    const QDate monday(2024, 1, 1);
    const Backup::Daily first = Backup::daily(database(), monday);
    QCOMPARE(first.made, folder + QStringLiteral("/orlenta-2024-01-01.db"));
    QVERIFY(Backup::inspect(first.made).sound);
    addStudentWithScore(QStringLiteral("2099001"), 70);
    // A second start on the same day copies nothing.
    QVERIFY(Backup::daily(database(), monday).made.isEmpty());
    QCOMPARE(Backup::inspect(first.made).students(), qint64(0));

    // Copies that are not the day's are never pruned.
    QFile(folder + QStringLiteral("/orlenta-恢复前-2024-01-01-120000.db")).open(QIODevice::WriteOnly);
    QFile(folder + QStringLiteral("/期末前手动备份.db")).open(QIODevice::WriteOnly);
    // Forty days in a row, the first on a Monday: the last seven stay, and the newest copy of each
    // of the four weeks before them.
    for (int day = 1; day < 40; ++day)
        QVERIFY(!Backup::daily(database(), monday.addDays(day)).made.isEmpty());
    QCOMPARE(dailyCopiesIn(folder),
        (QStringList { "orlenta-2024-01-14.db", "orlenta-2024-01-21.db", "orlenta-2024-01-28.db", "orlenta-2024-02-02.db",
            "orlenta-2024-02-03.db", "orlenta-2024-02-04.db", "orlenta-2024-02-05.db", "orlenta-2024-02-06.db",
            "orlenta-2024-02-07.db", "orlenta-2024-02-08.db", "orlenta-2024-02-09.db" }));
    QVERIFY(QFile::exists(folder + QStringLiteral("/orlenta-恢复前-2024-01-01-120000.db")));
    QVERIFY(QFile::exists(folder + QStringLiteral("/期末前手动备份.db")));

    // An office open on weekdays only, with a holiday week: the weeks that have copies count.
    QVector<QDate> weekdays;
    for (QDate d(2024, 3, 4); d <= QDate(2024, 4, 26); d = d.addDays(1))
        if (d.dayOfWeek() <= 5 && !(d >= QDate(2024, 4, 1) && d <= QDate(2024, 4, 5)))
            weekdays << d;
    const QSet<QDate> kept = Backup::keptDays(weekdays);
    const QSet<QDate> expected { { 2024, 4, 18 }, { 2024, 4, 19 }, { 2024, 4, 22 }, { 2024, 4, 23 }, { 2024, 4, 24 },
        { 2024, 4, 25 }, { 2024, 4, 26 }, // the last seven
        { 2024, 4, 17 }, { 2024, 4, 12 }, { 2024, 3, 29 }, { 2024, 3, 22 } }; // a week each, the holiday skipped
    QCOMPARE(kept, expected);
}

void tst_backup::commandsBackUpAndRestore()
{
    SQLITE_ONLY();
    addStudentWithScore(QStringLiteral("2099001"), 70);
    addStudentWithScore(QStringLiteral("2099002"), 80);
    const QStringList before = everything();
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("副本.db"));
    ToolRun run = tool({ QStringLiteral("backup"), copy });
    QCOMPARE(run.status, 0);
    QVERIFY2(run.out.contains(QStringLiteral("学生 2 人")) && run.out.contains(QStringLiteral("成绩 2 条")), qPrintable(run.out));
    QVERIFY(run.out.contains(QStringLiteral("完整性检查通过")));
    // Where no copy can be: the folder is missing, or it is the database itself.
    QCOMPARE(tool({ QStringLiteral("backup"), dir.filePath(QStringLiteral("无此文件夹/x.db")) }).status, 1);
    QCOMPARE(tool({ QStringLiteral("backup"), database() }).status, 1);
    QCOMPARE(everything(), before);

    changeAfterTheCopy(QStringLiteral("2099001"), QStringLiteral("2099002"));
    const QStringList changed = everything();
    // Shown side by side, then asked: anything but yes changes nothing.
    run = tool({ QStringLiteral("restore"), copy }, "no\n");
    QCOMPARE(run.status, 1);
    QVERIFY2(run.out.contains(QStringLiteral("学生：当前 2 人，备份 2 人")), qPrintable(run.out));
    QVERIFY(run.out.contains(QStringLiteral("没有恢复")));
    QCOMPARE(everything(), changed);
    run = tool({ QStringLiteral("restore"), copy }, "yes\n");
    QCOMPARE(run.status, 0);
    QVERIFY2(run.out.contains(QStringLiteral("恢复前的数据库已保存为")), qPrintable(run.out + run.err));
    QCOMPARE(everything(), before);
}

void tst_backup::menuItemsForAnAdministrator()
{
    for (const QString& style : { QStringLiteral("一般用户"), QStringLiteral("系统管理员") }) {
        platform::Form* main = mainWindowFor(style);
        const bool administrator = style == QStringLiteral("系统管理员");
        QCOMPARE(item(main, "sysbf")->text(), QStringLiteral("备份数据库…"));
        QCOMPARE(item(main, "syshf")->text(), QStringLiteral("恢复数据库…"));
        QCOMPARE(item(main, "sysbf")->isEnabled(), administrator);
        QCOMPARE(item(main, "syshf")->isEnabled(), administrator);
        if (administrator) {
            auto* menu = main->findChild<QMenu*>(QStringLiteral("sys"));
            menu->popup(main->mapToGlobal(QPoint(0, 0)));
            Gui::settle();
            Gui::snapshot(menu, QStringLiteral("frmmain-sys-menu"));
            menu->hide();
        }
        platform::Forms::unload(main);
    }
    if (TestDb::engine() != store::Engine::PostgreSQL)
        return;
    // On a server both items explain the server's own route.
    platform::Form* main = mainWindowFor(QStringLiteral("系统管理员"));
    item(main, "sysbf")->trigger();
    item(main, "syshf")->trigger();
    QCOMPARE(Gui::boxes().size(), 2);
    for (const auto& box : Gui::boxes()) {
        QCOMPARE(box.title, QStringLiteral("提示"));
        QVERIFY(box.text.contains(QStringLiteral("pg_dump -Fc")) && box.text.contains(QStringLiteral("pg_restore")));
        QVERIFY(box.text.contains(QStringLiteral("crontab")));
    }
    QVERIFY(platform::FileDialog::asked().isEmpty());
    lookAt(Gui::boxes().at(0), QStringLiteral("backup-server-route"));
}

void tst_backup::menuBacksUpAndRestores()
{
    SQLITE_ONLY();
    store::Setup::fillDemo(TestDb::admin(), 300);
    const QStringList before = everything();
    platform::Form* main = mainWindowFor(QStringLiteral("系统管理员"));
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("期末.db"));

    // The progress dialog, looked at while the copy runs.
    QTimer::singleShot(0, main, [main] {
        if (auto* progress = main->findChild<QProgressDialog*>(QStringLiteral("dlgBackup"))) {
            progress->show();
            Gui::snapshot(progress, QStringLiteral("backup-progress"));
        }
    });
    platform::FileDialog::answerNext(copy);
    item(main, "sysbf")->trigger();
    Gui::settle();
    QCOMPARE(platform::FileDialog::asked().value(0).caption, QStringLiteral("备份数据库"));
    QVERIFY(platform::FileDialog::asked().value(0).proposed.startsWith(Backup::folderOf(database()) + QStringLiteral("/orlenta-")));
    QCOMPARE(Gui::boxes().size(), 1);
    QCOMPARE(Gui::boxes().at(0).title, QStringLiteral("成功"));
    QVERIFY2(Gui::boxes().at(0).text.contains(QStringLiteral("学生 300 人")), qPrintable(Gui::boxTexts().join('\n')));
    QVERIFY(Backup::inspect(copy).sound);

    changeAfterTheCopy(QStringLiteral("2003010001"), QStringLiteral("2003020001"));
    const QStringList changed = everything();
    // Asked with both side by side: 否 changes nothing.
    platform::FileDialog::answerNext(copy);
    item(main, "syshf")->trigger();
    QCOMPARE(Gui::boxes().size(), 2);
    const MsgBox::Shown question = Gui::boxes().at(1);
    QCOMPARE(question.title, QStringLiteral("询问"));
    QCOMPARE(question.buttons, MsgBox::Buttons::YesNo);
    QVERIFY2(question.text.contains(QStringLiteral("学生：当前 300 人，备份 300 人")), qPrintable(question.text));
    lookAt(question, QStringLiteral("restore-question"));
    QCOMPARE(everything(), changed);
    // 是 restores.
    platform::FileDialog::answerNext(copy);
    Gui::answer(MsgBox::Answer::Yes);
    item(main, "syshf")->trigger();
    QCOMPARE(Gui::boxes().size(), 4);
    QCOMPARE(Gui::boxes().at(3).title, QStringLiteral("成功"));
    QVERIFY(Gui::boxes().at(3).text.contains(QStringLiteral("恢复前的数据库已保存为")));
    lookAt(Gui::boxes().at(0), QStringLiteral("backup-done"));
    lookAt(Gui::boxes().at(3), QStringLiteral("restore-done"));
    QCOMPARE(everything(), before);

    // A file that is not a sound database is refused before anything is asked.
    const QString junk = dir.filePath(QStringLiteral("junk.db"));
    QFile(junk).open(QIODevice::WriteOnly);
    QFile f(junk);
    f.open(QIODevice::WriteOnly);
    f.write("not a database at all, but long enough to be read as one; 不是数据库");
    f.close();
    platform::FileDialog::answerNext(junk);
    item(main, "syshf")->trigger();
    QCOMPARE(Gui::boxes().size(), 5);
    QCOMPARE(Gui::boxes().at(4).title, QStringLiteral("抱歉"));
    QVERIFY(Gui::boxes().at(4).text.contains(QStringLiteral("没有恢复")));
    lookAt(Gui::boxes().at(4), QStringLiteral("restore-refused"));
    // A cancelled dialog does nothing.
    item(main, "sysbf")->trigger();
    item(main, "syshf")->trigger();
    QCOMPARE(Gui::boxes().size(), 5);
    QCOMPARE(everything(), before);
}

void tst_backup::dailyCopyFailureIsToldOnceToAnAdministrator()
{
    SQLITE_ONLY();
    // The day's copy is made on a thread of its own.
    DailyCopy::start(QDate(2024, 5, 31));
    DailyCopy::wait();
    QCOMPARE(DailyCopy::made(), Backup::folderOf(database()) + QStringLiteral("/orlenta-2024-05-31.db"));
    QVERIFY(DailyCopy::failure().isEmpty());

    // A file where the folder should be: the copy fails, and nobody is stopped.
    DailyCopy::reset();
    QDir(Backup::folderOf(database())).removeRecursively();
    QFile(Backup::folderOf(database())).open(QIODevice::WriteOnly);
    platform::Form* main = mainWindowFor(QStringLiteral("系统管理员"));
    DailyCopy::start(QDate(2024, 6, 1));
    DailyCopy::wait();
    Gui::settle();
    QCOMPARE(Gui::boxes().size(), 1);
    QCOMPARE(Gui::boxes().at(0).title, QStringLiteral("注意"));
    QVERIFY2(Gui::boxes().at(0).text.contains(QStringLiteral("今天的自动备份没有完成")), qPrintable(Gui::boxTexts().join('\n')));
    lookAt(Gui::boxes().at(0), QStringLiteral("daily-copy-failed"));
    // Once only.
    platform::Forms::unload(main);
    platform::Forms::unload(mainWindowFor(QStringLiteral("系统管理员")));
    QCOMPARE(Gui::boxes().size(), 1);

    // Not told to an ordinary user; told to the next administrator.
    DailyCopy::reset();
    DailyCopy::start(QDate(2024, 6, 1));
    DailyCopy::wait();
    Gui::settle();
    QVERIFY(!DailyCopy::failure().isEmpty());
    platform::Forms::unload(mainWindowFor(QStringLiteral("一般用户")));
    QCOMPARE(Gui::boxes().size(), 1);
    mainWindowFor(QStringLiteral("系统管理员"));
    QCOMPARE(Gui::boxes().size(), 2);
    QFile::remove(Backup::folderOf(database()));
}

void tst_backup::serverRouteWhenPgDumpIsMissing()
{
    if (TestDb::engine() != store::Engine::PostgreSQL)
        QSKIP("pg_dump is for a database on a server");
    QTemporaryDir empty; // the only folder looked in: no client tools there
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORLENTA_PG_BIN"), empty.path());
    const QString target = empty.filePath(QStringLiteral("orlenta.dump"));
    const ToolRun run = tool({ QStringLiteral("backup"), target }, {}, env);
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("没有找到 PostgreSQL 的客户端工具 pg_dump")), qPrintable(run.err));
    QVERIFY(run.err.contains(QStringLiteral("postgresql-client")));
    QVERIFY(run.err.contains(QStringLiteral("pg_restore --clean --if-exists --single-transaction")));
    QVERIFY(!QFile::exists(target));
    QCOMPARE(QDir(empty.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void tst_backup::serverDumpAndRestore()
{
    if (TestDb::engine() != store::Engine::PostgreSQL)
        QSKIP("pg_dump is for a database on a server");
    // The client tools of the PostgreSQL that runs the test cluster.
    QStringList bins = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(bins.value(bins.size() - 1));
    QVERIFY(QFile::exists(bin + QStringLiteral("/pg_dump")));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORLENTA_PG_BIN"), bin);

    addStudentWithScore(QStringLiteral("2099001"), 70);
    addStudentWithScore(QStringLiteral("2099002"), 80);
    const QStringList before = everything();
    QTemporaryDir dir;
    const QString dump = dir.filePath(QStringLiteral("orlenta.dump"));
    ToolRun run = tool({ QStringLiteral("backup"), dump }, {}, env);
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(QStringLiteral("学生 2 人")) && run.out.contains(QStringLiteral("成绩 2 条")), qPrintable(run.out + run.err));
    QVERIFY(run.out.contains(QStringLiteral("全部 %1 张表").arg(store::Schema::tables().size())));
    changeAfterTheCopy(QStringLiteral("2099001"), QStringLiteral("2099002"));

    // The restore is the server's own, as the command tells it.
    run = tool({ QStringLiteral("restore"), dump }, {}, env);
    QCOMPARE(run.status, 1);
    QVERIFY(run.out.contains(QStringLiteral("pg_restore --clean --if-exists --single-transaction")));
    // As the server's route says, a restore is the tables' owner's work, not the program's role's.
    const store::ServerDump::Settings settings = store::ServerDump::settingsOf(QStringLiteral("DSN=OrlentaOwner"));
    QProcess restore;
    restore.setProcessChannelMode(QProcess::MergedChannels);
    restore.start(bin + QStringLiteral("/pg_restore"),
        { QStringLiteral("--clean"), QStringLiteral("--if-exists"), QStringLiteral("--single-transaction"), QStringLiteral("-h"),
            settings.host, QStringLiteral("-U"), settings.user, QStringLiteral("-d"), settings.database, dump });
    QVERIFY(restore.waitForFinished(120000));
    QVERIFY2(restore.exitCode() == 0, restore.readAll().constData());
    QCOMPARE(everything(), before);
}

QTEST_MAIN(tst_backup)
#include "tst_backup.moc"
