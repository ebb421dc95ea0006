// init, demo and status: creating, filling and inspecting the database.

#include "Command.h"

#include "store/Connection.h"
#include "store/Setup.h"

#include <QElapsedTimer>

using namespace store;

namespace tools {

namespace {

int init(const QStringList& args, Connection* db)
{
    QElapsedTimer clock;
    clock.start();
    const QString role = optionValue(args, "--app-role");
    if (args.contains("--app-role") && role.isEmpty())
        return Usage;
    if (Setup::hasSchema(*db)) {
        if (!args.contains("--if-missing")) {
            print("数据库中已有 Orlenta 的表，未做改动。");
            return Refused;
        }
        for (const QString& table : Setup::addMissing(*db))
            print(QString("已添加表 %1。").arg(table));
    } else {
        Setup::init(*db);
        print(QString("已建立数据库 (%1 ms)。首个系统管理员: admin, 密码 admin").arg(clock.elapsed()));
    }
    if (!role.isEmpty()) {
        Setup::grantAppRole(*db, role);
        print(QString("角色 %1 可以读写各表的数据、添加和查看操作记录，不能修改表结构，也不能修改或删除操作记录。").arg(role));
    }
    return Ok;
}

int demo(const QStringList& args, Connection* db)
{
    QElapsedTimer clock;
    clock.start();
    bool ok = false;
    const int students = optionValue(args, "--students").toInt(&ok);
    if (!ok || students < 0)
        return Usage;
    if (!Setup::hasSchema(*db))
        Setup::init(*db);
    // Run twice by mistake, it would double the school: more students are added only when asked.
    if (const int present = Setup::count(*db, "学生个人信息表"); present > 0) {
        if (args.contains("--if-empty"))
            return Ok;
        if (!args.contains("--force")) {
            printError(QString("数据库中已有 %1 名学生，未做改动。要再添加 %2 名演示学生，请加上 --force。").arg(present).arg(students));
            return Refused;
        }
    }
    Setup::fillDemo(*db, students, print);
    print(QString("完成 (%1 s)。").arg(clock.elapsed() / 1000.0, 0, 'f', 1));
    return Ok;
}

int status(const QStringList&, Connection* db)
{
    if (!Setup::hasSchema(*db)) {
        print("数据库中没有 Orlenta 的表。");
        return 3;
    }
    for (const char* table : { "管理员身份认证表", "学生个人信息表", "学生成绩表", "学生课程表", "班级代码表" })
        print(QString("%1 %2").arg(QString::fromUtf8(table)).arg(Setup::count(*db, QString::fromUtf8(table))));
    return Ok;
}

} // namespace

const Command initCommand { "init", "init [--if-missing] [--app-role NAME]", &init, true, true };
const Command demoCommand { "demo", "demo --students N [--if-empty | --force]", &demo, true, true };
const Command statusCommand { "status", "status", &status };

} // namespace tools
