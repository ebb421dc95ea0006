// orlenta-db: creates and fills the program's database through the data source "Orlenta".
//
//   orlenta-db init [--if-missing]             every table, the code tables, the first account;
//                                              on an existing database, the indexes it lacks
//   orlenta-db demo --students N [--if-empty]  realistic demonstration data
//   orlenta-db status                          what the database holds

#include "store/Connection.h"
#include "store/DbError.h"
#include "store/Setup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <cstdio>

using namespace store;

namespace {

void print(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int usage()
{
    std::fputs("usage: orlenta-db init [--if-missing]\n"
               "       orlenta-db demo --students N [--if-empty]\n"
               "       orlenta-db status\n",
        stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString command = args[0];
    try {
        Connection db;
        QElapsedTimer clock;
        clock.start();
        if (command == "init") {
            if (Setup::hasSchema(db)) {
                if (args.contains("--if-missing")) {
                    Setup::addMissingIndexes(db);
                    return 0;
                }
                print("数据库中已有 Orlenta 的表，未做改动。");
                return 1;
            }
            Setup::init(db);
            print(QString("已建立数据库 (%1 ms)。首个系统管理员: admin, 密码 admin").arg(clock.elapsed()));
            return 0;
        }
        if (command == "demo") {
            const int at = args.indexOf("--students");
            bool ok = false;
            const int students = at >= 0 ? args.value(at + 1).toInt(&ok) : 0;
            if (!ok || students < 0)
                return usage();
            if (!Setup::hasSchema(db))
                Setup::init(db);
            if (args.contains("--if-empty") && Setup::count(db, "学生个人信息表") > 0)
                return 0;
            Setup::fillDemo(db, students, print);
            print(QString("完成 (%1 s)。").arg(clock.elapsed() / 1000.0, 0, 'f', 1));
            return 0;
        }
        if (command == "status") {
            if (!Setup::hasSchema(db)) {
                print("数据库中没有 Orlenta 的表。");
                return 3;
            }
            for (const char* table : { "管理员身份认证表", "学生个人信息表", "学生成绩表", "学生课程表", "班级代码表" })
                print(QString("%1 %2").arg(QString::fromUtf8(table)).arg(Setup::count(db, QString::fromUtf8(table))));
            return 0;
        }
        return usage();
    } catch (const DbError& error) {
        std::fprintf(stderr, "orlenta-db: %s\n", error.text().toUtf8().constData());
        return 1;
    }
}
