// backup and restore: copies of the database that an office can count on, and putting one back.

#include "Command.h"

#include "store/Backup.h"
#include "store/Connection.h"
#include "store/DbError.h"
#include "store/ServerDump.h"

#include <QElapsedTimer>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <unistd.h>

using namespace store;

namespace tools {

namespace {

// On a terminal, a line for every tenth copied and one when the check begins; nothing in a log.
Backup::Progress terminalProgress()
{
    if (!::isatty(STDOUT_FILENO))
        return {};
    struct State {
        int tenth = -1;
        bool checking = false;
    };
    auto state = std::make_shared<State>();
    return [state](int permille) {
        if (permille < 0 && !state->checking) {
            state->checking = true;
            print(QStringLiteral("正在检查…"));
        } else if (permille >= 0 && permille / 100 != state->tenth) {
            state->tenth = permille / 100;
            print(QStringLiteral("已复制 %1%").arg(permille / 10));
        }
        return true;
    };
}

QString megabytes(qint64 bytes) { return QString::number(bytes / 1048576.0, 'f', 1); }

QString studentsAndScores(const Backup::Contents& c)
{
    return Backup::describeCount(0, c.students()) + QStringLiteral("，") + Backup::describeCount(1, c.scores());
}

int backup(const QStringList& args, Connection*)
{
    if (args.size() != 1 || args[0].startsWith('-'))
        return Usage;
    const QString target = args[0];
    QElapsedTimer clock;
    clock.start();
    const Connection::Target source = Connection::resolve(QStringLiteral("DSN=Orlenta"));
    if (!source.sqlite) {
        if (ServerDump::findTool(QStringLiteral("pg_dump")).isEmpty()) {
            printError(ServerDump::missingTools());
            printError(QString());
            printError(ServerDump::route(ServerDump::settingsOf()));
            return Refused;
        }
        const ServerDump::Dumped dumped = ServerDump::dump(target);
        print(QStringLiteral("已用 pg_dump 把服务器上的数据库备份到 %1（%2 MB，%3 s）。")
                  .arg(dumped.file, megabytes(dumped.bytes))
                  .arg(clock.elapsed() / 1000.0, 0, 'f', 1));
        print(QStringLiteral("检查：pg_restore 读出了全部 %1 张表的数据。").arg(dumped.tables));
        print(QStringLiteral("备份中有%1，%2。")
                  .arg(Backup::describeCount(0, dumped.students), Backup::describeCount(1, dumped.scores)));
        return Ok;
    }
    if (source.sqliteFile.isEmpty())
        throw DbError(QStringLiteral("数据源“Orlenta”没有指定数据库文件。"));
    const Backup::Contents copy = Backup::copy(source.sqliteFile, target, terminalProgress());
    print(QStringLiteral("已备份到 %1（%2 MB，%3 s）。")
              .arg(copy.file, megabytes(copy.bytes))
              .arg(clock.elapsed() / 1000.0, 0, 'f', 1));
    print(QStringLiteral("检查：完整性检查通过，程序需要的表和列齐全。"));
    print(QStringLiteral("备份中有%1。").arg(studentsAndScores(copy)));
    return Ok;
}

bool confirmed()
{
    std::fputs("用备份文件替换当前数据库中的全部记录吗？输入 yes 确认：", stdout);
    std::fflush(stdout);
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    const QString text = QString::fromStdString(answer).trimmed().toLower();
    return text == QLatin1String("yes") || text == QLatin1String("y") || text == QStringLiteral("是");
}

int restore(const QStringList& args, Connection*)
{
    QStringList files = args;
    const bool yes = files.removeAll(QStringLiteral("--yes")) > 0;
    if (files.size() != 1 || files[0].startsWith('-'))
        return Usage;
    const QString file = files[0];
    const Connection::Target source = Connection::resolve(QStringLiteral("DSN=Orlenta"));
    if (!source.sqlite) {
        Connection reached; // a data source that does not reach a server is told as such
        print(QStringLiteral("数据源“Orlenta”是 PostgreSQL 服务器上的数据库：请用服务器的工具恢复。"));
        print(QString());
        print(ServerDump::route(ServerDump::settingsOf()));
        return Refused;
    }
    if (source.sqliteFile.isEmpty())
        throw DbError(QStringLiteral("数据源“Orlenta”没有指定数据库文件。"));
    const Backup::Contents offered = Backup::inspect(file, terminalProgress());
    if (!offered.sound) {
        printError(QStringLiteral("“%1”不是完好的 Orlenta 数据库，没有恢复，数据库没有改动。").arg(offered.file));
        printError(offered.problem);
        return Refused;
    }
    const Backup::Contents current = Backup::inspect(source.sqliteFile);
    print(Backup::comparison(current, offered));
    if (current.exists && !current.sound)
        print(QStringLiteral("当前数据库有问题：%1").arg(current.problem));
    if (!yes && !confirmed()) {
        print(QStringLiteral("没有恢复，数据库没有改动。"));
        return Refused;
    }
    const Backup::Restored restored = Backup::restore(file, source.sqliteFile, terminalProgress());
    if (!restored.keptCopy.isEmpty())
        print(QStringLiteral("恢复前的数据库已保存为 %1").arg(restored.keptCopy));
    print(QStringLiteral("已恢复：%1。").arg(studentsAndScores(restored.restored)));
    return Ok;
}

} // namespace

const Command backupCommand { "backup", "backup FILE", &backup, false };
const Command restoreCommand { "restore", "restore FILE [--yes]", &restore, false };

} // namespace tools
