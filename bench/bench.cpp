// orlenta-bench: how fast the store opens and moves through a large result, beside the time
// the engine itself takes for the same work (the sqlite3 library or libpq called directly).
//
//   orlenta-bench [--engine sqlite|postgres|both] [--students N]
//   orlenta-bench --child open sqlite|postgres N <window> [runs]   (one window, for a profiler)
//   orlenta-bench --office [1,8,32] [--engine postgres|sqlite] [--seconds 30] [--think MS]   (Office.cpp)
//   orlenta-bench --child import sqlite|postgres N students|scores  (the import figures alone)
//
// The database of N students (100,000 by default: about 2,000,000 score rows) is made once and
// kept under <build>/bench-cache (SQLite) or in a PostgreSQL cluster under <build>/bench-pg.
// Every figure is printed on a line of its own: name value unit.

#include "ImportBench.h"

#include "app/Application.h"
#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "store/ChangeLog.h"
#include "store/Backup.h"
#include "store/Connection.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/Password.h"
#include "store/ScoreStatistics.h"
#include "store/ServerDump.h"
#include "store/Setup.h"
#include "store/Sql.h"
#include "store/UserQuery.h"
#include "store/ui/DataCombo.h"
#include "store/ui/DataGrid.h"
#include "store/ui/GridExport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProcess>
#include <QRadioButton>
#include <QTextStream>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>
#include <libpq-fe.h>
#include <sqlite3.h>

#include "Bench.h"

namespace bench {

namespace {
const QString kScores = QStringLiteral(" select * from 学生成绩表  order by 学号   ");
constexpr int kRuns = 5;
} // namespace

void say(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void figure(const QString& name, double value, const char* unit)
{
    say(QStringLiteral("%1 %2 %3").arg(name).arg(value, 0, 'f', value < 10 ? 2 : 1).arg(QString::fromLatin1(unit)));
}

// The median of several runs: the first one pays for a cold cache like everybody else.
double medianOf(const std::function<double()>& run, int runs = kRuns)
{
    QVector<double> times;
    for (int i = 0; i < runs; ++i)
        times << run();
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double median(const std::function<void()>& work, int runs = kRuns)
{
    return medianOf(
        [&] {
            QElapsedTimer clock;
            clock.start();
            work();
            return clock.nsecsElapsed() / 1e6;
        },
        runs);
}

double peakRssMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

QString buildDir() { return QCoreApplication::applicationDirPath(); }

// The ODBC settings of the benchmark's own data source "Orlenta", as a user's odbc.ini has them,
// in the file `ini` of the engine's folder: the SQLite file or the PostgreSQL database named.
void pointDataSourceAt(const Setting& s, const QString& database, const QString& ini)
{
    QDir().mkpath(s.dir());
    QFile inst(s.dir() + "/odbcinst.ini");
    inst.open(QIODevice::WriteOnly | QIODevice::Truncate);
    inst.write(QStringLiteral("[SQLite3]\nDriver=%1\n\n[PostgreSQL Unicode]\nDriver=%2\nDebug=0\nCommLog=0\n")
                   .arg(QStringLiteral(ORLENTA_SQLITE_ODBC), QStringLiteral(ORLENTA_PSQL_ODBC))
                   .toUtf8());
    inst.close();
    QFile sources(s.dir() + '/' + ini);
    sources.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (s.engine == "sqlite")
        sources.write(QStringLiteral("[Orlenta]\nDriver=SQLite3\nDatabase=%1\n").arg(database).toUtf8());
    else
        sources.write(QStringLiteral("[Orlenta]\nDriver=PostgreSQL Unicode\nServername=%1\nPort=5432\nDatabase=%2\n"
                                     "Username=postgres\nUseDeclareFetch=0\nDebug=0\nCommLog=0\n")
                          .arg(s.pgSocket(), database)
                          .toUtf8());
    sources.close();
    qputenv("ODBCSYSINI", s.dir().toUtf8());
    qputenv("ODBCINI", (s.dir() + '/' + ini).toUtf8());
}

// ---- the engines themselves ---------------------------------------------------------------

class Sqlite {
public:
    explicit Sqlite(const QString& file) { sqlite3_open_v2(file.toUtf8().constData(), &m_db, SQLITE_OPEN_READONLY, nullptr); }
    ~Sqlite() { sqlite3_close(m_db); }
    // Steps through a statement, reading every column of every row; answers the rows read.
    int read(const QString& sql, int limit = -1)
    {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr);
        int rows = 0;
        while ((limit < 0 || rows < limit) && sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c)
                sqlite3_column_text(st, c);
            ++rows;
        }
        sqlite3_finalize(st);
        return rows;
    }

private:
    sqlite3* m_db = nullptr;
};

class Postgres {
public:
    Postgres(const QString& socket, const QString& database)
    {
        m_db = PQconnectdb(QStringLiteral("host=%1 dbname=%2 user=postgres").arg(socket, database).toUtf8().constData());
        PQsetNoticeProcessor(m_db, [](void*, const char*) {}, nullptr); // "does not exist, skipping" and the like
    }
    ~Postgres() { PQfinish(m_db); }
    int read(const QString& sql)
    {
        PGresult* r = PQexec(m_db, sql.toUtf8().constData());
        int rows = PQntuples(r);
        for (int i = 0; i < rows; ++i)
            for (int c = 0; c < PQnfields(r); ++c)
                PQgetvalue(r, i, c);
        PQclear(r);
        return rows;
    }
    bool ok() const { return PQstatus(m_db) == CONNECTION_OK; }

private:
    PGconn* m_db = nullptr;
};

// The engine alone reading what a window reads, the statements adapted to it as the store adapts
// them: the median time of reading them all, one after another.
class EngineReads {
public:
    explicit EngineReads(const Setting& s)
        : m_engine(s.engine == "sqlite" ? store::Engine::SQLite : store::Engine::PostgreSQL)
    {
        if (m_engine == store::Engine::SQLite)
            m_lite = std::make_unique<Sqlite>(s.sqliteFile());
        else
            m_pg = std::make_unique<Postgres>(s.pgSocket(), s.pgDatabase());
    }
    double operator()(const QStringList& statements, int runs = kRuns)
    {
        QStringList sql;
        for (const QString& q : statements)
            sql << store::Sql::adapt(q, m_engine);
        return median(
            [&] {
                for (const QString& q : sql)
                    m_lite ? m_lite->read(q) : m_pg->read(q);
            },
            runs);
    }

private:
    store::Engine m_engine;
    std::unique_ptr<Sqlite> m_lite;
    std::unique_ptr<Postgres> m_pg;
};

// ---- preparing the database once ----------------------------------------------------------

int runChild(const QStringList& args, const std::function<void(const QString&)>& line)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), args);
    child.waitForStarted();
    while (child.state() != QProcess::NotRunning) {
        child.waitForReadyRead(-1);
        while (child.canReadLine()) {
            const QString text = QString::fromUtf8(child.readLine()).trimmed();
            if (line)
                line(text);
            else
                say(text);
        }
    }
    const QString rest = QString::fromUtf8(child.readAll()).trimmed();
    if (!rest.isEmpty())
        say(rest);
    return child.exitCode();
}

bool prepare(const Setting& s)
{
    if (s.engine == "postgres") {
        const QString script = QStringLiteral(ORLENTA_SOURCE_DIR "/scripts/pg-cluster.sh");
        if (QProcess::execute(script, { "start", s.dir() }) != 0)
            return false;
        Postgres admin(s.pgSocket(), "postgres");
        if (!admin.ok())
            return false;
        admin.read(QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0").arg(s.pgDatabase()));
        pointDataSourceAt(s, s.pgDatabase());
    } else {
        pointDataSourceAt(s, s.sqliteFile());
    }
    if (QFile::exists(s.dir() + QStringLiteral("/ready-%1").arg(s.students))) {
        // A database made by an older version gets what is newer, as orlenta-db init --if-missing does.
        try {
            store::Connection db(QStringLiteral("DSN=Orlenta"), { .statementTimeoutSeconds = 0 });
            store::Setup::addMissing(db);
        } catch (const store::DbError& e) {
            say("# " + e.text());
            return false;
        }
        return true;
    }
    say(QStringLiteral("# making a database of %1 students for %2 (once)").arg(s.students).arg(s.engine));
    try {
        if (s.engine == "sqlite")
            for (const char* suffix : { "", "-wal", "-shm" })
                QFile::remove(s.sqliteFile() + QString::fromLatin1(suffix));
        store::Connection db(QStringLiteral("DSN=Orlenta"), { .createMissingFile = true, .statementTimeoutSeconds = 0 });
        if (store::Setup::hasSchema(db)) {
            for (const store::Table& t : store::Schema::tables())
                db.execute("DROP TABLE IF EXISTS " + t.name);
        }
        store::Setup::init(db);
        store::Setup::fillDemo(db, s.students, [](const QString& t) { say("# " + t); });
    } catch (const store::DbError& e) {
        say("# " + e.text());
        return false;
    }
    QFile ready(s.dir() + QStringLiteral("/ready-%1").arg(s.students));
    ready.open(QIODevice::WriteOnly);
    return true;
}

} // namespace bench

namespace {

using namespace bench;

// ---- the figures -------------------------------------------------------------------------

QString someStudent()
{
    store::DataControl rs;
    rs.setRecordSource(QStringLiteral("select * from 学生个人信息表 order by 学号"));
    rs.refresh();
    rs.moveTo(rs.recordCount() / 2);
    return rs.field(QStringLiteral("学号")).toString();
}

// ---- the award, status and user-query windows --------------------------------------------

// Shows a window and waits until it is the active one (its activation reads what it shows),
// then paints it: the grids ask for their first rows and the row count.
double showActive(const std::function<platform::Form*()>& show)
{
    QElapsedTimer clock;
    clock.start();
    platform::Form* form = show();
    while (!form->isActiveWindow() && clock.elapsed() < 2000)
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    form->repaint();
    return clock.nsecsElapsed() / 1e6;
}

// ---- the score windows --------------------------------------------------------------------

// Shows a window and waits until its first rows are painted and panel 3 of its status bar
// shows the row count (its activation sets it), where it has one.
double showUntilCounted(const QString& name)
{
    QElapsedTimer clock;
    clock.start();
    platform::Form* form = platform::Forms::show(name);
    QLabel* count = form->findChild<QLabel*>(QStringLiteral("panel3"));
    QCoreApplication::processEvents();
    while (count && (count->text().isEmpty() || count->text() == QLatin1String("0"))) {
        if (clock.elapsed() > 60000)
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    form->repaint();
    return clock.nsecsElapsed() / 1e6;
}

void discardWindows()
{
    platform::Forms::discardAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void measureRecords(const Setting& s)
{
    const QString changes
        = QStringLiteral("select * from 学籍变更信息表 as a join 学籍变更代码表 as b on a.变更代码=b.代码 order by a.学号");

    const double award = medianOf([] {
        const double ms = showActive([] { return platform::Forms::show(QStringLiteral("frmaward")); });
        discardWindows();
        return ms;
    });
    const double status = medianOf([] {
        const double ms = showActive([] { return platform::Forms::show(QStringLiteral("frmXjgl")); });
        discardWindows();
        return ms;
    });

    // The query window, with the score table, 课程名, like and one character chosen; timed from
    // the search until the results window shows its first rows and their count.
    platform::Form* query = platform::Forms::show(QStringLiteral("frmyzj"));
    QCoreApplication::processEvents();
    auto* tables = query->findChild<store::DataCombo*>(QStringLiteral("dcbBm"));
    tables->setText(QStringLiteral("学生成绩表"));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), tables->lineEdit()->mapToGlobal(QPointF(5, 5)),
        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tables->lineEdit(), &press);
    auto* fields = query->findChild<QComboBox*>(QStringLiteral("cbLn"));
    fields->setCurrentIndex(fields->findText(QStringLiteral("课程名")));
    auto* comparisons = query->findChild<QComboBox*>(QStringLiteral("cbKey"));
    comparisons->setCurrentIndex(comparisons->findText(QStringLiteral("like")));
    QStringList fieldNames;
    for (int i = 0; i < fields->count(); ++i)
        fieldNames << fields->itemText(i);
    const double like = medianOf([&] {
        // Coming back from the results empties the field and the keyword.
        fields->setCurrentIndex(fields->findText(QStringLiteral("课程名")));
        query->findChild<QLineEdit*>(QStringLiteral("txtTj"))->setText(QStringLiteral("数"));
        const double ms = showActive([&] {
            query->findChild<QAbstractButton*>(QStringLiteral("cmdCx"))->click();
            return platform::Forms::find(QStringLiteral("frmZcj"));
        });
        platform::Forms::unload(QStringLiteral("frmZcj"));
        QElapsedTimer back;
        back.start();
        while (!query->isActiveWindow() && back.elapsed() < 2000)
            QCoreApplication::processEvents();
        return ms;
    });
    discardWindows();
    for (const platform::MsgBox::Shown& box : platform::MsgBox::shown())
        say(QStringLiteral("# a window said: ") + box.text);

    // The engine: the same first rows and counts.
    store::UserQuery::Choice choice;
    choice.offered = { QStringLiteral("学生成绩表") };
    choice.table = QStringLiteral("学生成绩表");
    choice.fields = fieldNames;
    choice.field = QStringLiteral("课程名");
    choice.comparison = QStringLiteral("like");
    choice.keyword = QStringLiteral("数");
    const QString likeStatement
        = store::UserQuery::statement(choice, s.engine == "sqlite" ? store::Engine::SQLite : store::Engine::PostgreSQL);
    const QStringList awardStatements { "select * from 学生个人信息表 order by 学号 limit 51",
        "select * from 奖励等级代码表 order by 代码 limit 51", "select * from 奖励记录信息表 order by 学号, 编号 limit 51",
        "select count(*) from 奖励记录信息表" };
    const QStringList statusStatements { changes + " limit 51",
        "select count(*) from 学籍变更信息表 as a join 学籍变更代码表 as b on a.变更代码=b.代码" };
    const QStringList likeStatements { likeStatement + " order by 编号 limit 51",
        "select count(*) from (" + likeStatement + ") as q" };
    double awardEngine = 0, statusEngine = 0, likeEngine = 0;
    auto engine = [&](auto& db) {
        awardEngine = median([&] { for (const QString& q : awardStatements) db.read(q); });
        statusEngine = median([&] { for (const QString& q : statusStatements) db.read(q); });
        likeEngine = median([&] { for (const QString& q : likeStatements) db.read(q); });
    };
    if (s.engine == "sqlite") {
        Sqlite db(s.sqliteFile());
        engine(db);
    } else {
        Postgres db(s.pgSocket(), s.pgDatabase());
        engine(db);
    }

    figure("award_window_open_ms", award, "ms");
    figure("award_window_open_engine_ms", awardEngine, "ms");
    figure("status_window_open_ms", status, "ms");
    figure("status_window_open_engine_ms", statusEngine, "ms");
    figure("user_query_like_ms", like, "ms");
    figure("user_query_like_engine_ms", likeEngine, "ms");
}

// The score summary window: opened until its first groups are painted (`summary_window_first_rows_ms`)
// and until their count is shown (`summary_window_open_ms`), then a summary by class over seven
// years. The engine's figures: the first block of the opening list alone (LIMIT), and all that the
// window reads for its rows and count, as the window reads it on each engine.
void measureSummary(const Setting& s, const QString& className)
{
    const QString opening = QStringLiteral("select a.学号,c.姓名,b.全称 as  班级名 from 学生成绩表 as a join 班级代码表 as b on "
                                           "a.班级号=b.班级代码 join 学生个人信息表 as c on a.学号=c.学号 group by a.学号,c.姓名,b.全称 ");
    const QString order = QStringLiteral("学号, 姓名, 班级名");
    const QString byClass = QStringLiteral("select a.学号,c.姓名,b.全称 as  班级名, sum(成绩) as 总成绩,avg(成绩) as 平均分,sum(学分) as "
                                           "总学分 from 学生成绩表 as a join 班级代码表 as b on a.班级号=b.班级代码 join 学生个人信息表 as "
                                           "c on a.学号=c.学号 where b.全称='%1' and a.考试时间  between '2003-1-1' and "
                                           "'2009-12-31'group by b.全称,a.学号,c.姓名 ")
                                .arg(className);
    const store::Engine engine = s.engine == "sqlite" ? store::Engine::SQLite : store::Engine::PostgreSQL;
    const QString lists[] = { QStringLiteral("select * from 班级代码表 order by 班级代码 limit 51"),
        QStringLiteral("select * from 成绩排序临时表 order by 编号 limit 51") };
    const QString ordered = QStringLiteral("select * from (%1) as g order by %2").arg(store::Sql::adapt(opening, engine), order);
    // The first groups, and everything the opening reads: on PostgreSQL the first block and then the
    // whole grouped once by hashing and ordered; on SQLite the whole in its order.
    const QString firstBlock = engine == store::Engine::PostgreSQL
        ? store::Sql::adapt(opening, engine) + QStringLiteral(" order by ") + order + QStringLiteral(" limit 51")
        : ordered + QStringLiteral(" limit 51");
    const QStringList summaryFirst { firstBlock, lists[0], lists[1] };
    const QStringList summaryOpen = engine == store::Engine::PostgreSQL
        ? QStringList { firstBlock,
              QStringLiteral("with g as materialized (%1) select * from g order by %2").arg(store::Sql::adapt(opening, engine), order),
              lists[0], lists[1] }
        : QStringList { ordered, lists[0], lists[1] };
    const QStringList summaryByClass { byClass, lists[0] };
    double firstEngine = 0, openEngine = 0, byClassEngine = 0;
    {
        EngineReads time(s);
        firstEngine = time(summaryFirst, 3);
        openEngine = time(summaryOpen, 3);
        byClassEngine = time(summaryByClass);
    }

    const double firstRows = medianOf(
        [] {
            QElapsedTimer clock;
            clock.start();
            platform::Form* form = platform::Forms::show(QStringLiteral("frmchz"));
            auto* grid = form->findChild<store::DataGrid*>(QStringLiteral("dgdCj"));
            QCoreApplication::processEvents();
            while (grid && grid->model()->rowCount() == 0 && clock.elapsed() < 60000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            form->repaint();
            const double ms = clock.nsecsElapsed() / 1e6;
            discardWindows();
            return ms;
        },
        3);
    // The summary window: opened until the groups and their count are shown, then a summary
    // by class over seven years.
    const double summaryOpenWindow = medianOf(
        [] {
            const double ms = showUntilCounted(QStringLiteral("frmchz"));
            discardWindows();
            return ms;
        },
        3);
    platform::Form* summary = platform::Forms::show(QStringLiteral("frmchz"));
    QCoreApplication::processEvents();
    summary->findChild<QCheckBox*>(QStringLiteral("chkClass"))->setChecked(true);
    summary->findChild<QDateEdit*>(QStringLiteral("dpkFd"))->setDate(QDate(2003, 1, 1));
    summary->findChild<QDateEdit*>(QStringLiteral("dpkTd"))->setDate(QDate(2009, 12, 31));
    summary->findChild<QComboBox*>(QStringLiteral("dcbClass"))->setEditText(className);
    const double summaryClass = median([&] {
        summary->findChild<QAbstractButton*>(QStringLiteral("cmdHz"))->click();
        summary->repaint();
    });
    const QString groups = summary->findChild<QLabel*>(QStringLiteral("panel3"))->text();
    discardWindows();
    if (groups.toInt() == 0)
        say(QStringLiteral("# the summary by class found nothing"));

    figure("summary_window_first_rows_ms", firstRows, "ms");
    figure("summary_window_first_rows_engine_ms", firstEngine, "ms");
    figure("summary_window_open_ms", summaryOpenWindow, "ms");
    figure("summary_window_open_engine_ms", openEngine, "ms");
    figure("summary_by_class_ms", summaryClass, "ms");
    figure("summary_by_class_engine_ms", byClassEngine, "ms");
}

void measureScores(const Setting& s, const QString& number)
{
    // The class of the student the other figures use, by its full name.
    QString className;
    QString classCode;
    {
        store::Connection db;
        const auto row = db.select(QStringLiteral("select b.班级代码, b.全称 from 学生个人信息表 as a join 班级代码表 as b "
                                                  "on a.所在班级编号=b.班级代码 where a.学号='%1'")
                                       .arg(number));
        classCode = row.rows.value(0).value(0).toString();
        className = row.rows.value(0).value(1).toString();
    }

    // What the windows read, as the engine alone reads it: the first block of each statement and
    // the counts that the status bars show.
    const QStringList scoresOpen { "select * from 学生成绩表 order by 学号, 编号 limit 51",
        "select count(*) from 学生成绩表", "select * from 学生个人信息表 order by 学号 limit 51",
        "select * from 学生课程表 order by 课程号 limit 51", "select * from 班级代码表 order by 班级代码 limit 51",
        "select * from 院系代码表 order by 学院编码 limit 51", "select * from 院系代码表 order by 学院编码 limit 51",
        "select * from 班级代码表 order by 班级代码 limit 51" };
    const QStringList scoresByNumber { QStringLiteral("select * from 学生成绩表 where 学号='%1' order by 编号 limit 51").arg(number) };
    const QStringList scoresByClass { QStringLiteral("select * from 班级代码表 where 全称='%1' order by 班级代码 limit 51").arg(className),
        QStringLiteral("select * from 学生成绩表 where 班级号='%1' order by 编号 limit 51").arg(classCode),
        QStringLiteral("select count(*) from 学生成绩表 where 班级号='%1'").arg(classCode),
        "select * from 班级代码表 order by 班级代码 limit 51" };

    double scoresOpenEngine = 0, byNumberEngine = 0, byClassEngine = 0;
    {
        EngineReads time(s);
        scoresOpenEngine = time(scoresOpen);
        byNumberEngine = time(scoresByNumber);
        byClassEngine = time(scoresByClass);
    }

    // The score window: opened until its rows and their count are shown, then a search by
    // number and one by class.
    const double scoresWindowOpen = medianOf([] {
        const double ms = showUntilCounted(QStringLiteral("frmchenggl"));
        discardWindows();
        return ms;
    });
    platform::Form* scores = platform::Forms::show(QStringLiteral("frmchenggl"));
    QCoreApplication::processEvents();
    scores->findChild<QRadioButton*>(QStringLiteral("optXh"))->setChecked(true);
    const double searchNumber = median([&] {
        scores->findChild<QLineEdit*>(QStringLiteral("txtXh"))->setText(number);
        scores->findChild<QAbstractButton*>(QStringLiteral("cmdFind"))->click();
        scores->repaint();
    });
    scores->findChild<QRadioButton*>(QStringLiteral("optBj"))->setChecked(true);
    const double searchClass = median([&] {
        scores->findChild<QComboBox*>(QStringLiteral("dcbBj"))->setEditText(className);
        scores->findChild<QAbstractButton*>(QStringLiteral("cmdFind"))->click();
        scores->repaint();
    });
    discardWindows();

    figure("scores_window_open_ms", scoresWindowOpen, "ms");
    figure("scores_window_open_engine_ms", scoresOpenEngine, "ms");
    figure("scores_window_search_number_ms", searchNumber, "ms");
    figure("scores_window_search_number_engine_ms", byNumberEngine, "ms");
    figure("scores_window_search_class_ms", searchClass, "ms");
    figure("scores_window_search_class_engine_ms", byClassEngine, "ms");
    measureSummary(s, className);
}

// ---- export and the score chart --------------------------------------------------------------

// One export in a process of its own, so that its peak memory is the export's: the window opened
// as the user has it, then its grid's whole result written through the context menu's code.
//   what: scores-csv, scores-xlsx (the 2,000,000-row score window), students-xlsx (all students)
int exportChild(const QString& what)
{
    const bool scores = what.startsWith(QLatin1String("scores"));
    const auto format = what.endsWith(QLatin1String("csv")) ? store::GridExport::Format::Csv : store::GridExport::Format::Xlsx;
    platform::Form* form = platform::Forms::show(scores ? QStringLiteral("frmchenggl") : QStringLiteral("frmallinf"));
    QCoreApplication::processEvents();
    auto* grid = form->findChild<store::DataGrid*>(scores ? QStringLiteral("dgdChengji") : QStringLiteral("dgdInf"));
    if (!grid)
        return 1;
    const QString file = QDir::tempPath() + QStringLiteral("/orlenta-bench-export.")
        + QString::fromLatin1(format == store::GridExport::Format::Csv ? "csv" : "xlsx");
    QElapsedTimer clock;
    clock.start();
    const int rows = store::GridExport::write(grid, file, format);
    const double seconds = clock.nsecsElapsed() / 1e9;
    const double size = QFileInfo(file).size() / 1048576.0;
    QFile::remove(file);
    const QString name = QStringLiteral("export_%1").arg(what).replace(u'-', u'_');
    say(QStringLiteral("%1_rows %2 rows").arg(name).arg(rows));
    figure(name + QStringLiteral("_s"), seconds, "s");
    figure(name + QStringLiteral("_file_mb"), size, "MB");
    figure(name + QStringLiteral("_peak_rss_mb"), peakRssMb(), "MB");
    return 0;
}

void measureExports(const Setting& s)
{
    store::Connection db;
    // The score chart over the whole score table, as the score window opens: the grouped count.
    const double chart = median([&] { store::ScoreStatistics::compute(db, kScores); });
    const QString counts = store::ScoreStatistics::countsStatement(kScores);
    // The whole score result and all students, read by the engine alone: what an export reads.
    const QString allScores = QStringLiteral("select * from 学生成绩表 order by 学号, 编号");
    const QString allStudents = QStringLiteral("select * from 学生个人信息表 order by 学号");
    double chartEngine = 0, scoresEngine = 0, studentsEngine = 0;
    if (s.engine == "sqlite") {
        Sqlite engine(s.sqliteFile());
        chartEngine = median([&] { engine.read(counts); });
        scoresEngine = median([&] { engine.read(allScores); }, 1) / 1000;
        studentsEngine = median([&] { engine.read(allStudents); }, 3) / 1000;
    } else {
        Postgres engine(s.pgSocket(), s.pgDatabase());
        chartEngine = median([&] { engine.read(counts); });
        scoresEngine = median([&] { engine.read(allScores); }, 1) / 1000;
        studentsEngine = median([&] { engine.read(allStudents); }, 3) / 1000;
    }
    figure("score_chart_ms", chart, "ms");
    figure("score_chart_engine_ms", chartEngine, "ms");
    for (const char* what : { "scores-csv", "scores-xlsx", "students-xlsx" })
        runChild({ "--child", "export", s.engine, QString::number(s.students), QString::fromLatin1(what) });
    figure("export_scores_engine_s", scoresEngine, "s");
    figure("export_students_engine_s", studentsEngine, "s");
}

void measure(const Setting& s)
{
    // Opening the program's session, as the first data control of a window does.
    const double connect = median([] { store::Connection db; });
    // A window holds its session while it is open; so does the benchmark.
    store::DataControl window;
    window.setRecordSource(QStringLiteral("select * from 全表名"));
    window.refresh();

    // The store: what a window does with the score table.
    const double open = median([] {
        store::DataControl rs;
        rs.setRecordSource(kScores);
        rs.refresh();
        for (int i = 0; i < 50; ++i)
            rs.valueAt(i, 1);
        rs.recordCount();
    });
    // ">>" on the open record set: the count and the last block.
    const double moveLast = medianOf([] {
        store::DataControl rs;
        rs.setRecordSource(kScores);
        rs.refresh();
        QElapsedTimer clock;
        clock.start();
        rs.moveLast();
        rs.field(QStringLiteral("学号"));
        return clock.nsecsElapsed() / 1e6;
    });
    const QString number = someStudent();
    const QString search = QStringLiteral("select * from 学生成绩表  where 学号='%1'").arg(number);
    const double byNumber = median([&] {
        store::DataControl rs;
        rs.setRecordSource(search);
        rs.refresh();
        for (int i = 0; i < rs.recordCount(); ++i)
            rs.valueAt(i, 1);
    });

    // Peak memory with the score record set open in a grid, as the score window holds it.
    double rss = 0;
    {
        store::DataControl rs;
        rs.setRecordSource(kScores);
        rs.refresh();
        store::DataGrid grid;
        grid.setDataSource(&rs);
        grid.resize(900, 600);
        grid.show();
        QCoreApplication::processEvents();
        rss = peakRssMb();
    }
    // The grid of the open score result scrolled to its middle, until that screen of rows is read.
    const double scrollMiddle = medianOf([] {
        store::DataControl rs;
        rs.setRecordSource(kScores);
        rs.refresh();
        store::DataGrid grid;
        grid.setDataSource(&rs);
        grid.resize(900, 600);
        grid.show();
        QCoreApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        grid.scrollTo(grid.model()->index(1000000, 0), QAbstractItemView::PositionAtTop);
        grid.repaint();
        return clock.nsecsElapsed() / 1e6;
    });

    // The engine on its own, doing the same: the first 50 rows and the row count, the last rows,
    // the rows of one student.
    double openEngine = 0, moveLastEngine = 0, scanEngine = 0, byNumberEngine = 0;
    double sinfglEngine = 0, allinfEngine = 0, sinfglSearchEngine = 0;
    // What the student window reads when it opens: the first block of each of its thirteen
    // statements and the number of students.
    const QStringList sinfglStatements { "select * from 学生个人信息表 order by 学号 limit 51",
        "select count(*) from 学生个人信息表", "select * from 学籍变更代码表 limit 51", "select * from 院系代码表 limit 51",
        "select * from 班级代码表 limit 51", "select * from 院系代码表 order by 学院编码 limit 51",
        "select * from 班级代码表 order by 班级代码 limit 51", "select * from 院系代码表 order by 学院编码 limit 51",
        "select * from 班级代码表 order by 班级代码 limit 51", "select * from 学籍变更代码表 order by 代码 limit 51",
        "select * from 学籍变更信息表 order by 编号 limit 51", "select * from 学生成绩表 order by 编号 limit 51",
        "select * from 奖励记录信息表 order by 编号 limit 51", "select * from 处罚等级记录表 order by 编号 limit 51" };
    const QStringList allinfStatements { "select * from 学生个人信息表 order by 学号 limit 51",
        "select count(*) from 学生个人信息表" };
    const QString studentByNumber = QStringLiteral("select * from 学生个人信息表 where 学号='%1'").arg(number);
    const QString count = QStringLiteral("select count(*) from 学生成绩表");
    const QString first = QStringLiteral("select * from 学生成绩表 order by 学号, 编号 limit 50");
    const QString last = QStringLiteral("select * from 学生成绩表 order by 学号 desc, 编号 desc limit 50");
    // The same screen of rows in the middle, read by the engine alone (skipping to it).
    const QString middle = QStringLiteral("select * from 学生成绩表 order by 学号, 编号 limit 50 offset 1000000");
    double scrollMiddleEngine = 0;
    if (s.engine == "sqlite") {
        Sqlite db(s.sqliteFile());
        openEngine = median([&] { db.read(first); db.read(count); });
        moveLastEngine = median([&] { db.read(count); db.read(last); });
        scanEngine = median([&] { db.read(QStringLiteral("select * from 学生成绩表 order by 学号")); }, 3);
        scrollMiddleEngine = median([&] { db.read(middle); });
        byNumberEngine = median([&] { db.read(search); });
        sinfglEngine = median([&] { for (const QString& q : sinfglStatements) db.read(q); });
        allinfEngine = median([&] { for (const QString& q : allinfStatements) db.read(q); });
        sinfglSearchEngine = median([&] { db.read(studentByNumber); });
    } else {
        Postgres db(s.pgSocket(), s.pgDatabase());
        openEngine = median([&] { db.read(first); db.read(count); });
        moveLastEngine = median([&] { db.read(count); db.read(last); });
        scrollMiddleEngine = median([&] { db.read(middle); });
        byNumberEngine = median([&] { db.read(search); });
        sinfglEngine = median([&] { for (const QString& q : sinfglStatements) db.read(q); });
        allinfEngine = median([&] { for (const QString& q : allinfStatements) db.read(q); });
        sinfglSearchEngine = median([&] { db.read(studentByNumber); });
    }

    // The student windows over 100,000 students: shown until their first rows are painted.
    auto openWindow = [](const QString& name) {
        return medianOf([&] {
            QElapsedTimer clock;
            clock.start();
            platform::Form* form = platform::Forms::show(name);
            QCoreApplication::processEvents();
            form->repaint();
            const double ms = clock.nsecsElapsed() / 1e6;
            platform::Forms::discardAll();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return ms;
        });
    };
    const double sinfgl = openWindow(QStringLiteral("frmsinfgl"));
    const double allinf = openWindow(QStringLiteral("frmallinf"));
    platform::Form* students = platform::Forms::show(QStringLiteral("frmsinfgl"));
    QCoreApplication::processEvents();
    students->findChild<QRadioButton*>(QStringLiteral("optXh"))->setChecked(true);
    const double sinfglSearch = median([&] {
        students->findChild<QLineEdit*>(QStringLiteral("txtXh"))->setText(number);
        students->findChild<QAbstractButton*>(QStringLiteral("cmdFind"))->click();
        students->repaint();
    });
    platform::Forms::discardAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    figure("connect_ms", connect, "ms");
    figure("score_open_ms", open, "ms");
    figure("score_open_engine_ms", openEngine, "ms");
    figure("score_movelast_ms", moveLast, "ms");
    figure("score_movelast_engine_ms", moveLastEngine, "ms");
    if (scanEngine > 0)
        figure("score_movelast_scan_engine_ms", scanEngine, "ms");
    figure("search_number_ms", byNumber, "ms");
    figure("search_number_engine_ms", byNumberEngine, "ms");
    figure("peak_rss_mb", rss, "MB");
    figure("score_scroll_middle_ms", scrollMiddle, "ms");
    figure("score_scroll_middle_engine_ms", scrollMiddleEngine, "ms");
    figure("students_window_open_ms", sinfgl, "ms");
    figure("students_window_open_engine_ms", sinfglEngine, "ms");
    figure("students_window_search_number_ms", sinfglSearch, "ms");
    figure("students_window_search_number_engine_ms", sinfglSearchEngine, "ms");
    figure("all_students_open_ms", allinf, "ms");
    figure("all_students_open_engine_ms", allinfEngine, "ms");
    measureRecords(s);
    measureScores(s, number);
    measureExports(s);
}

// MoveNext from the first to the last row of the whole score result, in a process of its own so
// that its peak memory is the walk's.
void walk()
{
    store::DataControl rs;
    rs.setRecordSource(kScores);
    rs.refresh();
    QElapsedTimer clock;
    clock.start();
    const int rows = rs.recordCount();
    int reached = 0;
    while (!rs.eof()) {
        rs.field(QStringLiteral("成绩"));
        rs.moveNext();
        ++reached;
    }
    figure("score_walk_rows", reached, "rows");
    if (reached != rows)
        say(QStringLiteral("# the walk reached %1 rows of %2").arg(reached).arg(rows));
    figure("score_walk_s", clock.nsecsElapsed() / 1e9, "s");
    figure("score_walk_peak_rss_mb", peakRssMb(), "MB");
}

// ---- the office soak ----------------------------------------------------------------------
//
// Four workstations save the student window's way (a status-change row and the student row in
// one transaction, read before written) 200 times each, on 20 shared students: each save adds
// one to a counter column (联系电话 or 籍贯, alternately) as read. Refused saves are real
// conflicts (the same column changed meanwhile); a lost update would leave the counters' sum
// below the saves. Every save writes its two change records in its transaction; the soak runs
// without them too (soak_no_log_*), in turn with it, to show what they cost.

constexpr int kSoakWriters = 4;
constexpr int kSoakSaves = 200;
constexpr int kSoakStudents = 20;

QString soakStudent(int i) { return QStringLiteral("%1").arg(2099000 + i); }

int soakWriter(int writer, bool recording)
{
    store::ChangeLog::setRecording(recording);
    store::ChangeLog::setUser(QStringLiteral("soak%1").arg(writer));
    auto db = std::make_shared<store::Connection>();
    store::DataControl student(db), status(db);
    status.setRecordSource(QStringLiteral("select * from 学籍变更信息表 where 学号='none'"));
    status.refresh();
    int saved = 0, refused = 0, failed = 0;
    QElapsedTimer loop; // the saves alone, without starting the process and connecting
    loop.start();
    for (int i = 0; i < kSoakSaves; ++i) {
        const QString number = soakStudent((writer * 7 + i) % kSoakStudents);
        const QString column = (i + writer) % 2 ? QStringLiteral("籍贯") : QStringLiteral("联系电话");
        try {
            student.setRecordSource(QStringLiteral("select * from 学生个人信息表 where 学号='%1'").arg(number));
            student.refresh();
            const int counter = student.field(column).toString().toInt();
            store::Transaction transaction(*db);
            status.addNew();
            status.setField(QStringLiteral("学号"), number);
            status.setField(QStringLiteral("变更代码"), 1);
            status.setField(QStringLiteral("记录时间"), QDate::currentDate());
            status.update();
            status.refresh();
            student.setField(column, QString::number(counter + 1));
            student.update();
            transaction.commit();
            ++saved;
        } catch (const store::DbError& error) {
            status.cancel();
            student.cancel();
            // A conflict is a refusal (the row changed meanwhile); a wait for another writer
            // that ran out is a failure.
            if (error.isRefusal() && error.text().contains(QStringLiteral("其他用户")))
                ++refused;
            else {
                ++failed;
                if (failed <= 3)
                    say(QStringLiteral("# writer %1 (%2, %3 rows, %4): %5")
                            .arg(writer)
                            .arg(number)
                            .arg(student.recordCount())
                            .arg(qEnvironmentVariable("ODBCINI"))
                            .arg(error.text().section('\n', 0, 0)));
            }
        }
    }
    say(QStringLiteral("soak %1 %2 %3 %4").arg(saved).arg(refused).arg(failed).arg(loop.nsecsElapsed() / 1e9));
    return 0;
}

struct SoakRun {
    int saved = 0, refused = 0, failed = 0;
    double seconds = 0;
    double saving = 0; // the longest writer's saves alone, without starting and connecting
    double savesPerSecond() const { return saving > 0 ? saved / saving : 0; }
};

// The four writers on the data source of the environment, as processes of their own.
SoakRun runSoakWriters(const Setting& s, bool recording = true)
{
    QElapsedTimer clock;
    clock.start();
    QVector<QProcess*> writers;
    for (int w = 0; w < kSoakWriters; ++w) {
        auto* p = new QProcess;
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
            { "--child", "soak-writer", s.engine, QString::number(s.students), QString::number(w),
                recording ? QStringLiteral("log") : QStringLiteral("nolog") });
        writers << p;
    }
    SoakRun out;
    for (QProcess* p : writers) {
        p->waitForFinished(-1);
        for (const QString& line : QString::fromUtf8(p->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
            if (!line.startsWith(QLatin1String("soak "))) {
                say(line);
                continue;
            }
            const QStringList n = line.split(' ');
            out.saved += n.value(1).toInt();
            out.refused += n.value(2).toInt();
            out.failed += n.value(3).toInt();
            out.saving = std::max(out.saving, n.value(4).toDouble());
        }
        delete p;
    }
    out.seconds = clock.nsecsElapsed() / 1e9;
    return out;
}

void addSoakStudents(store::Connection& db)
{
    for (int i = 0; i < kSoakStudents; ++i)
        db.execute(QStringLiteral("insert into 学生个人信息表 (学号, 姓名, 联系电话, 籍贯, 所在院系编号, 所在班级编号, 学籍情况) "
                                  "values ('%1', '同学%2', '0', '0', 1, 1, 1)")
                       .arg(soakStudent(i))
                       .arg(i));
}

struct SoakResult : SoakRun {
    int counted = 0, statusRows = 0, records = 0;
};

SoakResult soakRun(const Setting& s, bool recording)
{
    if (s.engine == "postgres") {
        Postgres admin(s.pgSocket(), "postgres");
        admin.read(QStringLiteral("DROP DATABASE IF EXISTS orlenta_soak WITH (FORCE)"));
        admin.read(QStringLiteral("CREATE DATABASE orlenta_soak ENCODING 'UTF8' TEMPLATE template0"));
    } else {
        for (const char* suffix : { "", "-wal", "-shm" })
            QFile::remove(s.dir() + QStringLiteral("/soak.db") + QString::fromLatin1(suffix));
    }
    {
        store::Connection db(QStringLiteral("DSN=Orlenta"), { .createMissingFile = true });
        store::Setup::init(db);
        addSoakStudents(db);
    }
    SoakResult r;
    static_cast<SoakRun&>(r) = runSoakWriters(s, recording);
    store::Connection db;
    const auto sum = db.select(QStringLiteral("select 联系电话, 籍贯 from 学生个人信息表"));
    for (const auto& row : sum.rows)
        r.counted += row.value(0).toString().toInt() + row.value(1).toString().toInt();
    r.statusRows = db.select(QStringLiteral("select count(*) from 学籍变更信息表")).rows.value(0).value(0).toInt();
    r.records = db.select(QStringLiteral("select count(*) from 操作记录表 where 用户 like 'soak%'")).rows.value(0).value(0).toInt();
    return r;
}

int soak(const Setting& s)
{
    // With and without the records, five times each in turn; the medians count, so that neither
    // pays alone for the machine's other work.
    QVector<double> withRecords, without;
    SoakResult logged;
    for (int run = 0; run < kRuns; ++run) {
        const SoakResult one = soakRun(s, true);
        if (run == 0)
            logged = one;
        withRecords << one.savesPerSecond();
        without << soakRun(s, false).savesPerSecond();
    }
    std::sort(withRecords.begin(), withRecords.end());
    std::sort(without.begin(), without.end());
    const double withLog = withRecords[withRecords.size() / 2];
    const double withoutLog = without[without.size() / 2];
    figure("soak_saved", logged.saved, "saves");
    figure("soak_refused_conflict", logged.refused, "saves");
    figure("soak_failed", logged.failed, "saves");
    figure("soak_lost", logged.saved - logged.counted, "updates");
    figure("soak_status_rows_unmatched", logged.statusRows - logged.saved, "rows");
    // Two records a save (the status row added, the counter changed), none for a refused one.
    figure("soak_records_unmatched", logged.records - 2 * logged.saved, "records");
    figure("soak_s", logged.seconds, "s");
    figure("soak_saves_per_s", withLog, "saves/s");
    figure("soak_no_log_saves_per_s", withoutLog, "saves/s");
    figure("soak_log_cost", 100.0 * (1.0 - withLog / withoutLog), "%");
    return 0;
}

// What a password costs: making its hash (a password set) and checking one (a sign-in).
void passwords()
{
    const QString hash = store::Password::hash(QStringLiteral("admin"));
    figure("password_hash_ms", median([] { (void)store::Password::hash(QStringLiteral("一个密码")); }), "ms");
    figure("password_check_ms", median([&] { (void)store::Password::matches(hash, QStringLiteral("admin")); }), "ms");
}

// ---- backups -----------------------------------------------------------------------------
//
// backup_s: a checked copy of the database of N students, as orlenta-db backup makes it (on
// SQLite the copy, then its checks; on PostgreSQL pg_dump in the snapshot that is counted, then
// pg_restore --list), beside cp of the file or pg_dump alone. Then the office soak on a copy of
// that database, once as it is and once while it is backed up again and again: the saves per
// second of the four writers, which must not fall below half.

QString backupTarget() { return QDir::tempPath() + QStringLiteral("/orlenta-bench-backup.db"); }

int backupChild(const Setting& s)
{
    const QString target = backupTarget();
    double copySeconds = 0, checkSeconds = 0;
    const double seconds = median(
                               [&] {
                                   QElapsedTimer clock;
                                   clock.start();
                                   double checking = -1;
                                   if (s.engine == "sqlite")
                                       store::Backup::copy(s.sqliteFile(), target, [&](int permille) {
                                           if (permille < 0 && checking < 0)
                                               checking = clock.nsecsElapsed() / 1e9;
                                           return true;
                                       });
                                   else
                                       store::ServerDump::dump(target);
                                   const double all = clock.nsecsElapsed() / 1e9;
                                   copySeconds = checking < 0 ? all : checking;
                                   checkSeconds = checking < 0 ? 0 : all - checking;
                               },
                               3)
        / 1000;
    const double megabytes = QFileInfo(target).size() / 1048576.0;
    QFile::remove(target);
    // The engine's own: the file copied by cp, or pg_dump alone.
    const double engine = median(
                              [&] {
                                  if (s.engine == "sqlite")
                                      QProcess::execute(QStringLiteral("cp"), { s.sqliteFile(), target });
                                  else
                                      QProcess::execute(store::ServerDump::findTool(QStringLiteral("pg_dump")),
                                          { QStringLiteral("-Fc"), QStringLiteral("-h"), s.pgSocket(), QStringLiteral("-U"),
                                              QStringLiteral("postgres"), QStringLiteral("-f"), target, s.pgDatabase() });
                              },
                              3)
        / 1000;
    QFile::remove(target);
    figure("backup_s", seconds, "s");
    if (s.engine == "sqlite") {
        figure("backup_copy_s", copySeconds, "s");
        figure("backup_check_s", checkSeconds, "s");
        figure("backup_cp_engine_s", engine, "s");
    } else {
        figure("backup_pg_dump_engine_s", engine, "s");
    }
    figure("backup_file_mb", megabytes, "MB");

    return runChild({ "--child", "backup-soak", s.engine, QString::number(s.students) });
}

// In a process of its own: unixODBC keeps the settings of the data source it read first.
int backupSoak(const Setting& s)
{
    const QString target = backupTarget();
    // The soak's database: a copy of the large one, with the soak's students.
    const QString soakDatabase = s.engine == "sqlite" ? s.dir() + QStringLiteral("/soak-backup.db") : QStringLiteral("orlenta_soak_backup");
    if (s.engine == "sqlite") {
        for (const char* suffix : { "", "-wal", "-shm" })
            QFile::remove(soakDatabase + QString::fromLatin1(suffix));
        store::Backup::copy(s.sqliteFile(), soakDatabase);
    } else {
        Postgres admin(s.pgSocket(), "postgres");
        admin.read(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(soakDatabase));
        admin.read(QStringLiteral("CREATE DATABASE %1 TEMPLATE %2").arg(soakDatabase, s.pgDatabase()));
    }
    pointDataSourceAt(s, soakDatabase, QStringLiteral("soak-backup.ini"));
    {
        store::Connection db;
        addSoakStudents(db);
    }
    const SoakRun alone = runSoakWriters(s);
    // The copies are made on a thread of their own, one after another, from before the writers
    // start until after they are done.
    std::atomic<bool> stop { false };
    std::atomic<int> backups { 0 };
    std::thread backingUp([&] {
        while (!stop) {
            try {
                if (s.engine == "sqlite")
                    store::Backup::copy(soakDatabase, target, [&](int) { return !stop.load(); });
                else
                    store::ServerDump::dump(target);
                ++backups;
            } catch (const store::Backup::Cancelled&) {
            } catch (const store::DbError& error) {
                say(QStringLiteral("# backup during the soak: ") + error.text());
                break;
            }
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the first copy under way
    const SoakRun during = runSoakWriters(s);
    stop = true;
    backingUp.join();
    QFile::remove(target);
    const double aloneRate = alone.saved / alone.seconds, duringRate = during.saved / during.seconds;
    figure("soak_saves_per_s", aloneRate, "saves/s");
    figure("soak_during_backup_saves_per_s", duringRate, "saves/s");
    figure("soak_during_backup_share", duringRate / aloneRate, "of_alone");
    figure("soak_during_backup_copies_done", backups, "copies");
    figure("soak_during_backup_s", during.seconds, "s");
    figure("soak_during_backup_failed", during.failed, "saves");
    if (s.engine == "sqlite")
        for (const char* suffix : { "", "-wal", "-shm" })
            QFile::remove(soakDatabase + QString::fromLatin1(suffix));
    else
        Postgres(s.pgSocket(), "postgres").read(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(soakDatabase));
    return 0;
}

// Process start until the identity window is shown, measured from outside.
double startup()
{
    QVector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer clock;
        clock.start();
        double shown = -1;
        runChild({ QStringLiteral("--child"), QStringLiteral("startup") }, [&](const QString& line) {
            if (line == QLatin1String("shown") && shown < 0)
                shown = clock.nsecsElapsed() / 1e6;
        });
        times << shown;
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

int child(const QStringList& args)
{
    if (args.value(0) == "startup") {
        Application::prepare();
        platform::Form* form = platform::Forms::show(QStringLiteral("frmCload"));
        while (!(form->windowHandle() && form->windowHandle()->isExposed()))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        say(QStringLiteral("shown"));
        return 0;
    }
    if (args.value(0) == "office-ws")
        return officeWorkstation(args.mid(1)); // the data source is the office's, inherited
    if (args.value(0) == "passwords") {
        passwords();
        return 0;
    }
    Setting s;
    s.engine = args.value(1);
    s.students = args.value(2).toInt();
    if (args.value(0) == "backup-soak") {
        if (s.engine == "postgres"
            && QProcess::execute(QStringLiteral(ORLENTA_SOURCE_DIR "/scripts/pg-cluster.sh"), { "start", s.dir() }) != 0)
            return 1;
        return backupSoak(s);
    }
    if (args.value(0) == "soak" || args.value(0) == "soak-writer") {
        if (s.engine == "postgres" && args.value(0) == "soak"
            && QProcess::execute(QStringLiteral(ORLENTA_SOURCE_DIR "/scripts/pg-cluster.sh"), { "start", s.dir() }) != 0)
            return 1;
        if (args.value(0) == "soak-writer") // the data source is the soak's, inherited
            return soakWriter(args.value(3).toInt(), args.value(4) != QLatin1String("nolog"));
        pointDataSourceAt(s, s.engine == "sqlite" ? s.dir() + "/soak.db" : QStringLiteral("orlenta_soak"), "soak.ini");
        return soak(s);
    }
    if (args.value(0) == "import") {
        // Into an empty database of its own: the large one made for the other figures is not needed.
        if (s.engine == "postgres"
            && QProcess::execute(QStringLiteral(ORLENTA_SOURCE_DIR "/scripts/pg-cluster.sh"), { "start", s.dir() }) != 0)
            return 1;
        return importBench(s.engine, s.dir() + QStringLiteral("/import"), s.pgSocket(), args.value(3));
    }
    if (!prepare(s))
        return 1;
    Application::prepare();
    platform::MsgBox::setScripted(true); // a box would wait for a click nobody makes
    if (args.value(0) == "measure")
        measure(s);
    if (args.value(0) == "walk")
        walk();
    if (args.value(0) == "summary") {
        // The summary window's figures alone: orlenta-bench --child summary postgres 100000
        store::DataControl session; // the program's session stays open between windows
        session.setRecordSource(QStringLiteral("select * from 全表名"));
        session.refresh();
        store::Connection db;
        const auto row = db.select(QStringLiteral("select b.全称 from 学生个人信息表 as a join 班级代码表 as b "
                                                  "on a.所在班级编号=b.班级代码 where a.学号='%1'")
                                       .arg(someStudent()));
        measureSummary(s, row.rows.value(0).value(0).toString());
    }
    if (args.value(0) == "backup")
        return backupChild(s);
    if (args.value(0) == "export")
        return exportChild(args.value(3));
    if (args.value(0) == "open") {
        // One window opened again and again, to look at with a profiler:
        //   orlenta-bench --child open sqlite 100000 frmchenggl 20
        const QString name = args.value(3);
        store::DataControl session; // the program's session stays open between windows
        session.setRecordSource(QStringLiteral("select * from 全表名"));
        session.refresh();
        const double ms = medianOf(
            [&] {
                const double one = showUntilCounted(name);
                discardWindows();
                return one;
            },
            args.value(4, QStringLiteral("5")).toInt());
        figure(name + QStringLiteral("_open_ms"), ms, "ms");
    }
    return 0;
}

} // namespace

// The offscreen platform says what it cannot do for every window; none of it is a figure.
void quiet(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && !message.contains(QLatin1String("This plugin does not support")))
        std::fprintf(stderr, "%s\n", message.toUtf8().constData());
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QByteArray runtime = QDir::tempPath().toUtf8() + "/orlenta-bench-runtime";
        QDir().mkpath(QString::fromUtf8(runtime));
        QFile::setPermissions(QString::fromUtf8(runtime), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime);
    }
    qInstallMessageHandler(quiet);
    Application app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.value(0) == "--child")
        return child(args.mid(1));

    QStringList engines { "sqlite", "postgres" };
    int students = 100000;
    QList<int> office;
    int officeSeconds = 30;
    int thinkMs = 0;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--engine" && args.value(i + 1) != "both")
            engines = { args.value(++i) };
        else if (args[i] == "--students")
            students = args.value(++i).toInt();
        else if (args[i] == "--seconds")
            officeSeconds = args.value(++i).toInt();
        else if (args[i] == "--think")
            thinkMs = args.value(++i).toInt();
        else if (args[i] == "--office") {
            office = { 1, 8, 32 };
            if (i + 1 < args.size() && !args[i + 1].startsWith(QLatin1String("--"))) {
                office.clear();
                for (const QString& n : args.value(++i).split(',', Qt::SkipEmptyParts))
                    office << n.toInt();
            }
        }
    }
    if (!office.isEmpty())
        return bench::office(args.contains("--engine") ? engines.value(0) : QStringLiteral("postgres"), students, office,
            officeSeconds, thinkMs);
    say(QStringLiteral("# %1 students; medians of %2 runs; build %3").arg(students).arg(kRuns).arg(buildDir()));
    figure("startup_ms", startup(), "ms");
    passwords();
    int failed = 0;
    for (const QString& engine : engines) {
        say(QStringLiteral("# engine %1").arg(engine));
        if (runChild({ "--child", "prepare", engine, QString::number(students) }) != 0
            || runChild({ "--child", "measure", engine, QString::number(students) }) != 0
            || runChild({ "--child", "walk", engine, QString::number(students) }) != 0
            || runChild({ "--child", "soak", engine, QString::number(students) }) != 0
            || runChild({ "--child", "backup", engine, QString::number(students) }) != 0
            || runChild({ "--child", "import", engine, QString::number(students), "students" }) != 0
            || runChild({ "--child", "import", engine, QString::number(students), "scores" }) != 0) {
            say(QStringLiteral("# %1: could not measure").arg(engine));
            ++failed;
        }
    }
    if (engines.contains("postgres"))
        QProcess::execute(QStringLiteral(ORLENTA_SOURCE_DIR "/scripts/pg-cluster.sh"), { "stop", buildDir() + "/bench-pg" });
    return failed;
}
