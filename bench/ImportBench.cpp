#include "ImportBench.h"

#include "imports/Applier.h"
#include "imports/Importer.h"
#include "imports/ui/PreviewModel.h"
#include "store/BatchInsert.h"
#include "store/Connection.h"
#include "store/DbError.h"
#include "store/Setup.h"
#include "store/Sql.h"

#include <QApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QTableView>
#include <QWindow>
#include <cstdio>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <xlsxwriter.h>

namespace {

constexpr int kStudents = 100000;
constexpr int kScoreStudents = 50000;
constexpr int kScoresEach = 20;

void line(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
void figure(const QByteArray& name, double value, const char* unit)
{
    line(QStringLiteral("%1 %2 %3").arg(QString::fromLatin1(name)).arg(value, 0, 'g', 4).arg(QString::fromLatin1(unit)));
}
double peakRssMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& l : status.readAll().split('\n'))
        if (l.startsWith("VmHWM:"))
            return l.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}
double seconds(const QElapsedTimer& clock) { return clock.nsecsElapsed() / 1e9; }

const QStringList kDepartments { "计算机科学与技术学院", "数学与统计学院", "物理与电子工程学院", "化学化工学院" };
const QStringList kShort { "计算机", "数学", "物理", "化学" };
const QString kSurnames = QStringLiteral("王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗");
const QString kGiven = QStringLiteral("伟芳娜秀英敏静丽强磊军洋勇艳杰娟涛明超兰霞平刚华");

QString studentNumber(int i) { return QStringLiteral("2099%1").arg(i, 6, 10, QChar(u'0')); }
QString nameOf(int i) { return kSurnames.mid(i % kSurnames.size(), 1) + kGiven.mid((i / 7) % kGiven.size(), 1) + kGiven.mid((i / 13) % kGiven.size(), 1); }

// The student rows as both the file and the engine have them.
struct StudentRow {
    QString number, name, sex;
    QDate born;
    QString native, phone, address;
    int department, classCode;
    QString departmentName, className, politics;
};
StudentRow student(int i)
{
    const int d = i % 4;
    const int year = (i / 4) % 4;
    const int k = (i / 16) % 2;
    return { studentNumber(i), nameOf(i), i % 2 ? QStringLiteral("女") : QStringLiteral("男"), QDate(1985, 1, 1).addDays(i % 1500),
        QStringLiteral("江苏省"), QStringLiteral("138%1").arg(i, 8, 10, QChar(u'0')), QStringLiteral("南京市学府路%1号").arg(i % 300),
        d + 1, d * 8 + year * 2 + k + 1, kDepartments[d], QStringLiteral("%1%2级%3班").arg(kShort[d]).arg(2003 + year).arg(k + 1),
        QStringLiteral("团员") };
}

QString studentsFile(const QString& dir)
{
    const QString path = dir + QStringLiteral("/import-students-%1.xlsx").arg(kStudents);
    if (QFile::exists(path))
        return path;
    lxw_workbook_options options {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(path + ".part").constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_format* date = workbook_add_format(book);
    format_set_num_format(date, "yyyy-m-d");
    const char* captions[] = { "学号", "姓名", "性别", "出生日期", "籍贯", "联系电话", "联系地址", "所在院系", "所在班级", "政治面貌", "备注" };
    for (int c = 0; c < 11; ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), captions[c], nullptr);
    for (int i = 0; i < kStudents; ++i) {
        const StudentRow s = student(i);
        const lxw_row_t r = lxw_row_t(i + 1);
        const QByteArray texts[] = { s.number.toUtf8(), s.name.toUtf8(), s.sex.toUtf8(), s.native.toUtf8(), s.phone.toUtf8(),
            s.address.toUtf8(), s.departmentName.toUtf8(), s.className.toUtf8(), s.politics.toUtf8() };
        worksheet_write_string(sheet, r, 0, texts[0].constData(), nullptr);
        worksheet_write_string(sheet, r, 1, texts[1].constData(), nullptr);
        worksheet_write_string(sheet, r, 2, texts[2].constData(), nullptr);
        lxw_datetime born { s.born.year(), s.born.month(), s.born.day(), 0, 0, 0 };
        worksheet_write_datetime(sheet, r, 3, &born, date);
        for (int c = 4; c <= 9; ++c)
            worksheet_write_string(sheet, r, lxw_col_t(c), texts[c - 1].constData(), nullptr);
    }
    workbook_close(book);
    QFile::rename(path + ".part", path);
    return path;
}

struct Course {
    const char* number;
    const char* name;
    double credits;
};
const Course kCourses[] = { { "C001", "高等数学", 5 }, { "C002", "线性代数", 3 }, { "C003", "概率论与数理统计", 3 },
    { "C004", "大学英语", 4 }, { "C005", "大学物理", 3.5 }, { "C006", "程序设计基础", 3.5 }, { "C007", "数据结构", 4 },
    { "C008", "计算机组成原理", 4 }, { "C009", "操作系统", 3.5 }, { "C010", "数据库原理", 3.5 } };

// Score k of student i: ten courses, each examined in January and in June.
struct ScoreRow {
    int student;
    const Course* course;
    double score;
    QDate examined;
};
ScoreRow scoreOf(int i, int k)
{
    return { i, &kCourses[k % 10], double((i * 7 + k * 13) % 61 + 40), QDate(2004 + k / 10, k % 2 ? 6 : 1, 10 + (k / 2) % 5) };
}

QString scoresFile(const QString& dir)
{
    const QString path = dir + QStringLiteral("/import-scores-%1.csv").arg(kScoreStudents * kScoresEach);
    if (QFile::exists(path))
        return path;
    QFile file(path + ".part");
    file.open(QIODevice::WriteOnly);
    QByteArray block = "学号,姓名,课程名,成绩,考试时间\r\n";
    for (int i = 0; i < kScoreStudents; ++i)
        for (int k = 0; k < kScoresEach; ++k) {
            const ScoreRow s = scoreOf(i, k);
            block += (QStringLiteral("%1,%2,%3,%4,%5\r\n")
                          .arg(studentNumber(i), nameOf(i), QString::fromUtf8(s.course->name))
                          .arg(s.score)
                          .arg(store::Sql::dateText(s.examined)))
                         .toUtf8();
            if (block.size() > (1 << 20)) {
                file.write(block);
                block.clear();
            }
        }
    file.write(block);
    file.close();
    QFile::rename(path + ".part", path);
    return path;
}

void pointAt(const QString& engine, const QString& dir, const QString& pgSocket)
{
    QFile inst(dir + "/odbcinst.ini");
    inst.open(QIODevice::WriteOnly | QIODevice::Truncate);
    inst.write(QStringLiteral("[SQLite3]\nDriver=%1\n\n[PostgreSQL Unicode]\nDriver=%2\nDebug=0\nCommLog=0\n")
                   .arg(QStringLiteral(ORLENTA_SQLITE_ODBC), QStringLiteral(ORLENTA_PSQL_ODBC))
                   .toUtf8());
    QFile sources(dir + "/import.ini");
    sources.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (engine == "sqlite")
        sources.write(QStringLiteral("[Orlenta]\nDriver=SQLite3\nDatabase=%1/import.db\n").arg(dir).toUtf8());
    else
        sources.write(QStringLiteral("[Orlenta]\nDriver=PostgreSQL Unicode\nServername=%1\nPort=5432\nDatabase=orlenta_import\n"
                                     "Username=postgres\nUseDeclareFetch=0\nDebug=0\nCommLog=0\n")
                          .arg(pgSocket)
                          .toUtf8());
    qputenv("ODBCSYSINI", dir.toUtf8());
    qputenv("ODBCINI", (dir + "/import.ini").toUtf8());
}

// An empty database with the program's tables and code tables.
void emptyDatabase(const QString& engine, const QString& dir, const QString& pgSocket)
{
    if (engine == "sqlite") {
        for (const char* suffix : { "", "-wal", "-shm" })
            QFile::remove(dir + "/import.db" + QString::fromLatin1(suffix));
    } else {
        PGconn* admin = PQconnectdb(QStringLiteral("host=%1 dbname=postgres user=postgres").arg(pgSocket).toUtf8().constData());
        PQsetNoticeProcessor(admin, [](void*, const char*) {}, nullptr);
        PQclear(PQexec(admin, "DROP DATABASE IF EXISTS orlenta_import WITH (FORCE)"));
        PQclear(PQexec(admin, "CREATE DATABASE orlenta_import ENCODING 'UTF8' TEMPLATE template0"));
        PQfinish(admin);
    }
    store::Connection db(QStringLiteral("DSN=Orlenta"), { .createMissingFile = true, .statementTimeoutSeconds = 0 });
    store::Setup::init(db);
}

// The engine's own bulk insert of rows given as tab-separated texts (\N for null).
class Engine {
public:
    Engine(const QString& engine, const QString& dir, const QString& pgSocket)
        : m_sqlite(engine == "sqlite")
    {
        if (m_sqlite)
            sqlite3_open((dir + "/import.db").toUtf8().constData(), &m_lite);
        else
            m_pg = PQconnectdb(QStringLiteral("host=%1 dbname=orlenta_import user=postgres").arg(pgSocket).toUtf8().constData());
    }
    ~Engine()
    {
        if (m_lite)
            sqlite3_close(m_lite);
        if (m_pg)
            PQfinish(m_pg);
    }
    void exec(const char* sql)
    {
        if (m_sqlite)
            sqlite3_exec(m_lite, sql, nullptr, nullptr, nullptr);
        else
            PQclear(PQexec(m_pg, sql));
    }
    // Every row into the table in one transaction: a prepared insert, or COPY.
    void insert(const QString& table, const QStringList& columns, const std::function<bool(QStringList&)>& next)
    {
        QStringList row;
        if (m_sqlite) {
            QStringList marks;
            for (int i = 0; i < columns.size(); ++i)
                marks << "?";
            sqlite3_stmt* st = nullptr;
            const QByteArray sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, columns.join(','), marks.join(',')).toUtf8();
            sqlite3_prepare_v2(m_lite, sql.constData(), -1, &st, nullptr);
            while (next(row)) {
                for (int i = 0; i < row.size(); ++i) {
                    if (row[i] == "\\N")
                        sqlite3_bind_null(st, i + 1);
                    else {
                        bool number = false;
                        const double v = row[i].toDouble(&number);
                        if (number && !row[i].startsWith('0') && columns[i] != "学号" && columns[i] != "联系电话"
                            && table != QStringLiteral("操作记录表"))
                            sqlite3_bind_double(st, i + 1, v);
                        else {
                            const QByteArray text = row[i].toUtf8();
                            sqlite3_bind_text(st, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
                        }
                    }
                }
                sqlite3_step(st);
                sqlite3_reset(st);
            }
            sqlite3_finalize(st);
        } else {
            PQclear(PQexec(m_pg, QStringLiteral("COPY %1 (%2) FROM STDIN").arg(table, columns.join(',')).toUtf8().constData()));
            QByteArray block;
            while (next(row)) {
                block += row.join('\t').toUtf8() + '\n';
                if (block.size() > (1 << 20)) {
                    PQputCopyData(m_pg, block.constData(), int(block.size()));
                    block.clear();
                }
            }
            PQputCopyData(m_pg, block.constData(), int(block.size()));
            PQputCopyEnd(m_pg, nullptr);
            PQclear(PQgetResult(m_pg));
        }
    }

private:
    bool m_sqlite;
    sqlite3* m_lite = nullptr;
    PGconn* m_pg = nullptr;
};

// The change records of the import are emptied for the engine's run, as the benchmark's own
// business (the database keeps them append-only: the engine drops its rule first).
void recordsEmptied(const QString& engine, const QString& dir, const QString& pgSocket)
{
    if (engine == "sqlite") {
        sqlite3* db = nullptr;
        sqlite3_open((dir + "/import.db").toUtf8().constData(), &db);
        sqlite3_exec(db, "DROP TRIGGER 操作记录表_不删; DELETE FROM 操作记录表", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    } else {
        PGconn* db = PQconnectdb(QStringLiteral("host=%1 dbname=orlenta_import user=postgres").arg(pgSocket).toUtf8().constData());
        PQclear(PQexec(db, "DROP TRIGGER 操作记录表_不清空 ON 操作记录表; TRUNCATE 操作记录表"));
        PQfinish(db);
    }
}

// The change records the import writes with its rows, by the engine alone: one per row, with
// the same columns filled (the row described in 新值).
void insertRecords(Engine& e, int rows, const std::function<void(int, QStringList&)>& describe)
{
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    int i = 0;
    QStringList described;
    e.insert(QStringLiteral("操作记录表"), { "时间", "用户", "工作站", "操作", "表名", "键", "学号", "字段", "原值", "新值" },
        [&](QStringList& row) {
            if (i >= rows)
                return false;
            describe(i++, described); // table, key, student, new value
            row = { now, "admin", "bench (导入 file)", "新增", described[0], described[1], described[2], "\\N", "\\N",
                described[3] };
            return true;
        });
}

// The time until a preview grid over the plan has painted its first screen of rows.
double previewFirstScreenMs(const imports::Plan& plan)
{
    QElapsedTimer clock;
    clock.start();
    QTableView view;
    imports::PreviewModel model;
    model.setPlan(&plan);
    view.setModel(&model);
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.resize(900, 600);
    view.show();
    while (!(view.windowHandle() && view.windowHandle()->isExposed()))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    view.grab(); // paints the screen of rows
    return clock.nsecsElapsed() / 1e6;
}

// An import's figures: its time beside the engine's, the preview's first screen, the peak memory.
int printFigures(const QByteArray& name, const QByteArray& size, double imported, double engine, double previewMs)
{
    figure(name + "_" + size + "_s", imported, "s");
    figure(name + "_" + size + "_engine_s", engine, "s");
    figure(name + "_preview_first_screen_ms", previewMs, "ms");
    figure(name + "_peak_rss_mb", peakRssMb(), "MB");
    return 0;
}

// The import as the window does it: the file read and checked, the preview's first screen shown,
// the plan applied. Answers the seconds it took, or -1 when the plan is not all new rows.
double timedImport(imports::Kind kind, const QString& file, int rows, const char* name, double& previewMs)
{
    QElapsedTimer clock;
    clock.start();
    store::Connection db;
    imports::Importer importer(kind, file);
    const imports::Plan plan = importer.check(db);
    if (plan.count(imports::Verdict::New) != rows) {
        line("# " + plan.summary() + " " + plan.reason(0));
        return -1;
    }
    line(QStringLiteral("# %1_check_s %2").arg(QString::fromLatin1(name)).arg(seconds(clock)));
    previewMs = previewFirstScreenMs(plan);
    imports::Applier::Options options;
    options.source = QFileInfo(file).fileName();
    imports::Applier::apply(db, plan, options);
    return seconds(clock);
}

int students(const QString& engine, const QString& dir, const QString& pgSocket)
{
    const QString file = studentsFile(dir);
    emptyDatabase(engine, dir, pgSocket);
    double previewMs = 0;
    const double imported = timedImport(imports::Kind::Students, file, kStudents, "import_students", previewMs);
    if (imported < 0)
        return 1;
    // The same rows again by the engine alone, into the same tables with their indexes.
    {
        store::Connection db;
        for (const char* table : { "学生个人信息表", "学生成绩表", "奖励记录信息表", "处罚等级记录表" })
            db.execute(QStringLiteral("DELETE FROM %1").arg(QString::fromUtf8(table)));
        recordsEmptied(engine, dir, pgSocket);
    }
    QElapsedTimer engineClock;
    engineClock.start();
    {
        Engine e(engine, dir, pgSocket);
        e.exec("BEGIN");
        const QDate todayDate = QDate::currentDate();
        const QString today = store::Sql::dateText(todayDate);
        int i = 0;
        e.insert(QStringLiteral("学生个人信息表"),
            { "学号", "姓名", "性别", "密码", "出生日期", "籍贯", "联系电话", "联系地址", "所在院系编号", "所在班级编号", "学籍情况", "政治面貌", "备注" },
            [&](QStringList& row) {
                if (i >= kStudents)
                    return false;
                const StudentRow s = student(i++);
                row = { s.number, s.name, s.sex, s.number, s.born.toString(Qt::ISODate), s.native, s.phone, s.address,
                    QString::number(s.department), QString::number(s.classCode), "1", s.politics, "" };
                return true;
            });
        for (const char* table : { "处罚等级记录表", "奖励记录信息表" }) {
            i = 0;
            e.insert(QString::fromUtf8(table), { "学号", "级别代码" }, [&](QStringList& row) {
                if (i >= kStudents)
                    return false;
                row = { studentNumber(i++), "0" };
                return true;
            });
        }
        i = 0;
        e.insert(QStringLiteral("学生成绩表"), { "学号", "课程名", "成绩", "考试时间" }, [&](QStringList& row) {
            if (i >= kStudents)
                return false;
            row = { studentNumber(i++), "0", "0", todayDate.toString(Qt::ISODate) };
            return true;
        });
        insertRecords(e, kStudents * 4, [&](int n, QStringList& out) {
            const StudentRow s = student(n / 4);
            switch (n % 4) {
            case 0:
                out = { "学生个人信息表", s.number, s.number,
                    QStringLiteral("姓名=%1; 性别=%2; 密码=(已修改); 出生日期=%3; 籍贯=%4; 联系电话=%5; 联系地址=%6; 所在院系编号=%7; "
                                   "所在班级编号=%8; 学籍情况=1; 政治面貌=%9; 备注=")
                        .arg(s.name, s.sex, store::Sql::dateText(s.born), s.native, s.phone, s.address)
                        .arg(s.department)
                        .arg(s.classCode)
                        .arg(s.politics) };
                break;
            case 1: out = { "处罚等级记录表", "", s.number, "学号=" + s.number + "; 级别代码=0" }; break;
            case 2: out = { "奖励记录信息表", "", s.number, "学号=" + s.number + "; 级别代码=0" }; break;
            default: out = { "学生成绩表", "", s.number, "学号=" + s.number + "; 课程名=0; 成绩=0; 考试时间=" + today }; break;
            }
        });
        e.exec("COMMIT");
    }
    return printFigures("import_students", "100k", imported, seconds(engineClock), previewMs);
}

int scores(const QString& engine, const QString& dir, const QString& pgSocket)
{
    const QString file = scoresFile(dir);
    emptyDatabase(engine, dir, pgSocket);
    {
        store::Connection db;
        store::Transaction transaction(db);
        store::BatchInsert courses(db, QStringLiteral("学生课程表"), { "课程号", "课程名", "学时", "学分" });
        for (const Course& c : kCourses)
            courses.add({ QString::fromUtf8(c.number), QString::fromUtf8(c.name), 48, c.credits });
        courses.flush();
        store::BatchInsert people(db, QStringLiteral("学生个人信息表"), { "学号", "姓名", "性别", "所在院系编号", "所在班级编号", "学籍情况" });
        for (int i = 0; i < kScoreStudents; ++i) {
            const StudentRow s = student(i);
            people.add({ s.number, s.name, s.sex, s.department, s.classCode, 1 });
        }
        people.flush();
        transaction.commit();
        db.execute(QStringLiteral("ANALYZE"));
    }
    double previewMs = 0;
    const double imported = timedImport(imports::Kind::Scores, file, kScoreStudents * kScoresEach, "import_scores", previewMs);
    if (imported < 0)
        return 1;
    {
        store::Connection db;
        db.execute(QStringLiteral("DELETE FROM 学生成绩表"));
    }
    recordsEmptied(engine, dir, pgSocket);
    QElapsedTimer engineClock;
    engineClock.start();
    {
        Engine e(engine, dir, pgSocket);
        e.exec("BEGIN");
        int i = 0, k = 0;
        e.insert(QStringLiteral("学生成绩表"), { "学号", "课程名", "课程号", "成绩", "学分", "院系号", "班级号", "考试时间" },
            [&](QStringList& row) {
                if (i >= kScoreStudents)
                    return false;
                const ScoreRow s = scoreOf(i, k);
                const StudentRow p = student(i);
                row = { p.number, QString::fromUtf8(s.course->name), QString::fromUtf8(s.course->number), QString::number(s.score),
                    QString::number(qRound(s.course->credits)), QString::number(p.department), QString::number(p.classCode),
                    s.examined.toString(Qt::ISODate) };
                if (++k == kScoresEach) {
                    k = 0;
                    ++i;
                }
                return true;
            });
        insertRecords(e, kScoreStudents * kScoresEach, [&](int n, QStringList& out) {
            const ScoreRow s = scoreOf(n / kScoresEach, n % kScoresEach);
            const StudentRow p = student(n / kScoresEach);
            out = { "学生成绩表", "", p.number,
                QStringLiteral("学号=%1; 课程名=%2; 课程号=%3; 成绩=%4; 学分=%5; 院系号=%6; 班级号=%7; 考试时间=%8")
                    .arg(p.number, QString::fromUtf8(s.course->name), QString::fromUtf8(s.course->number))
                    .arg(s.score)
                    .arg(qRound(s.course->credits))
                    .arg(p.department)
                    .arg(p.classCode)
                    .arg(store::Sql::dateText(s.examined)) };
        });
        e.exec("COMMIT");
    }
    return printFigures("import_scores", "1m", imported, seconds(engineClock), previewMs);
}

} // namespace

int importBench(const QString& engine, const QString& dir, const QString& pgSocket, const QString& what)
{
    QDir().mkpath(dir);
    pointAt(engine, dir, pgSocket);
    try {
        return what == "students" ? students(engine, dir, pgSocket) : scores(engine, dir, pgSocket);
    } catch (const store::DbError& error) {
        line("# " + error.text());
    } catch (const std::exception& error) {
        line(QStringLiteral("# %1").arg(QString::fromUtf8(error.what())));
    }
    return 1;
}
