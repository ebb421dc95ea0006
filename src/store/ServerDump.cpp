#include "ServerDump.h"

#include "Connection.h"
#include "DbError.h"
#include "Schema.h"
#include "StagedFile.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>

namespace store {

namespace {

// The first of several names a setting goes by in psqlODBC's data sources.
QString settingOf(const QString& connectionString, std::initializer_list<const char*> keys)
{
    for (const char* key : keys) {
        const QString value = Connection::setting(connectionString, QString::fromLatin1(key));
        if (!value.isEmpty())
            return value;
    }
    return {};
}

// What the tools are given: the settings through the environment, so that a password never shows
// in a list of processes.
QProcessEnvironment environmentFor(const ServerDump::Settings& s)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const std::pair<const char*, QString> values[] = { { "PGHOST", s.host }, { "PGPORT", s.port },
        { "PGDATABASE", s.database }, { "PGUSER", s.user }, { "PGPASSWORD", s.password }, { "PGSSLMODE", s.sslmode } };
    for (const auto& [name, value] : values)
        if (!value.isEmpty())
            env.insert(QString::fromLatin1(name), value);
    env.insert(QStringLiteral("PGCONNECT_TIMEOUT"), QStringLiteral("15"));
    return env;
}

struct Run {
    int status = -1;
    QString output, errors;
};

Run run(const QString& program, const QStringList& args, const QProcessEnvironment& env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    Run out;
    if (!process.waitForStarted(-1)) {
        out.errors = process.errorString();
        return out;
    }
    process.waitForFinished(-1); // a large database takes its time; the tool ends by itself
    out.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    out.output = QString::fromUtf8(process.readAllStandardOutput());
    out.errors = QString::fromUtf8(process.readAllStandardError()).trimmed();
    return out;
}

// "PGHOST=db.school.example PGPORT=5432 PGUSER=orlenta PGDATABASE=orlenta" as far as the settings
// name them: what the tools are told in the shell, without the password.
QString connectionVariables(const ServerDump::Settings& s)
{
    QStringList parts;
    const std::pair<const char*, QString> values[] = { { "PGHOST", s.host }, { "PGPORT", s.port }, { "PGUSER", s.user },
        { "PGDATABASE", s.database } };
    for (const auto& [name, value] : values)
        if (!value.isEmpty())
            parts << QString::fromLatin1(name) + '=' + value;
    return parts.join(' ');
}

} // namespace

ServerDump::Settings ServerDump::settingsOf(const QString& connectionString)
{
    Settings s;
    s.host = settingOf(connectionString, { "Servername", "Server" });
    s.port = settingOf(connectionString, { "Port" });
    s.database = settingOf(connectionString, { "Database" });
    s.user = settingOf(connectionString, { "Username", "UID", "User" });
    s.password = settingOf(connectionString, { "Password", "PWD" });
    s.sslmode = settingOf(connectionString, { "SSLmode", "sslmode" });
    return s;
}

QString ServerDump::findTool(const QString& name)
{
    if (qEnvironmentVariableIsSet("ORLENTA_PG_BIN"))
        return QStandardPaths::findExecutable(name, { qEnvironmentVariable("ORLENTA_PG_BIN") });
    const QString onPath = QStandardPaths::findExecutable(name);
    if (!onPath.isEmpty())
        return onPath;
    QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(versions.begin(), versions.end(), [&](const QString& a, const QString& b) { return numeric.compare(a, b) > 0; });
    for (const QString& version : std::as_const(versions)) {
        const QString found = QStandardPaths::findExecutable(name, { QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version) });
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QString ServerDump::route(const Settings& s)
{
    const QString variables = connectionVariables(s);
    const QString database = s.database.isEmpty() ? QStringLiteral("orlenta") : s.database;
    return QStringLiteral(
        "Orlenta 的记录保存在 PostgreSQL 服务器上，由服务器自己的工具备份和恢复，程序本身不复制服务器上的数据。\n\n"
        "在装有 PostgreSQL 客户端工具（Debian 软件包 postgresql-client）的计算机上，先设定连接%1：\n"
        "    export %2\n\n"
        "备份：\n"
        "    pg_dump -Fc -f orlenta-备份.dump\n"
        "得到的是数据库在一个时刻的完整快照，备份时其他用户可以照常工作。也可以运行“orlenta-db backup 文件名”，"
        "它用数据源“Orlenta”的设置调用 pg_dump，并检查得到的文件。\n\n"
        "恢复（先请所有用户退出程序）：\n"
        "    pg_restore --clean --if-exists --single-transaction -d %3 orlenta-备份.dump\n"
        "恢复在一个事务中完成：要么全部恢复，要么数据库保持原样。\n\n"
        "每天定时备份：请服务器管理员在服务器的 crontab 中加入一行，例如\n"
        "    30 2 * * * pg_dump -Fc -f /var/backups/orlenta/orlenta-$(date +\\%F).dump %3\n"
        "并定期删除过旧的备份文件，把备份另外保存到别的计算机或介质上。")
        .arg(s.password.isEmpty() ? QString() : QStringLiteral("（密码由工具询问，或者写在 ~/.pgpass 中）"),
            variables.isEmpty() ? QStringLiteral("PGHOST=服务器 PGUSER=用户 PGDATABASE=") + database : variables, database);
}

QString ServerDump::missingTools()
{
    return QStringLiteral("这台计算机上没有找到 PostgreSQL 的客户端工具 pg_dump，无法备份。"
                          "请安装 Debian 软件包 postgresql-client（sudo apt install postgresql-client），"
                          "或者用环境变量 ORLENTA_PG_BIN 指明 pg_dump 所在的文件夹，然后再试。");
}

ServerDump::Dumped ServerDump::dump(const QString& target, const QString& connectionString)
{
    const QString pgDump = findTool(QStringLiteral("pg_dump"));
    const QString pgRestore = findTool(QStringLiteral("pg_restore"));
    if (pgDump.isEmpty() || pgRestore.isEmpty())
        throw DbError(missingTools());
    const Settings settings = settingsOf(connectionString);
    const QProcessEnvironment env = environmentFor(settings);
    StagedFile part(target);
    Dumped out;
    {
        // The rows are counted in the very snapshot pg_dump writes: this transaction exports it
        // and stays open until the dump is done. A snapshot cannot be exported inside the
        // savepoint psqlODBC sets before each statement, so this session rolls back whole.
        Connection db(connectionString + QStringLiteral(";Protocol=7.4-1"));
        Transaction snapshot(db);
        db.execute(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ"));
        const QString id = db.select(QStringLiteral("select pg_export_snapshot()")).rows.value(0).value(0).toString();
        out.students = db.select(QStringLiteral("select count(*) from 学生个人信息表")).rows.value(0).value(0).toLongLong();
        out.scores = db.select(QStringLiteral("select count(*) from 学生成绩表")).rows.value(0).value(0).toLongLong();
        const Run dumped = run(pgDump,
            { QStringLiteral("--format=custom"), QStringLiteral("--no-password"), QStringLiteral("--snapshot=") + id,
                QStringLiteral("--file=") + part.path() },
            env);
        if (dumped.status != 0)
            throw DbError(QStringLiteral("pg_dump 没有完成备份，没有保存文件。\n\n详细信息：%1").arg(dumped.errors));
    }
    // The dump is read back: its table of contents must list the rows of every table.
    const Run listed = run(pgRestore, { QStringLiteral("--list"), part.path() }, env);
    if (listed.status != 0)
        throw DbError(QStringLiteral("pg_restore 读不了 pg_dump 写出的文件，没有保存。\n\n详细信息：%1").arg(listed.errors));
    QStringList missing;
    for (const Table& table : Schema::tables()) {
        const QRegularExpression data(QStringLiteral("TABLE DATA \\S+ %1 ").arg(QRegularExpression::escape(table.name)));
        if (listed.output.contains(data))
            ++out.tables;
        else
            missing << table.name;
    }
    if (!missing.isEmpty())
        throw DbError(QStringLiteral("备份文件中缺少这些表的数据，没有保存：%1").arg(missing.join(QStringLiteral("、"))));
    part.commit(part.path());
    out.file = QFileInfo(target).absoluteFilePath();
    out.bytes = QFileInfo(target).size();
    return out;
}

} // namespace store
