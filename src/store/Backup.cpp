#include "Backup.h"

#include "DbError.h"
#include "Schema.h"
#include "Sql.h"
#include "StagedFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <memory>
#include <sqlite3.h>

namespace store {

namespace {

struct Counted {
    const char* table;
    const char* caption;
    const char* unit;
};
const Counted kCounted[] = {
    { "学生个人信息表", "学生", "人" },
    { "学生成绩表", "成绩", "条" },
    { "学生课程表", "课程", "门" },
    { "奖励记录信息表", "奖励记录", "条" },
    { "处罚等级记录表", "处罚记录", "条" },
    { "学籍变更信息表", "学籍变更记录", "条" },
    { "管理员身份认证表", "用户", "个" },
};

// The tables every version of the program has had; the others were added since, and a copy made
// before them may lack them.
const char* const kFirstTables[] = { "学生个人信息表", "学生成绩表", "学生课程表", "奖励记录信息表", "处罚等级记录表",
    "学籍变更信息表", "管理员身份认证表", "院系代码表", "班级代码表", "学籍变更代码表", "奖励等级代码表", "处罚等级代码表",
    "成绩排序临时表", "全表名" };

bool isFirstTable(const QString& name)
{
    return std::any_of(std::begin(kFirstTables), std::end(kFirstTables), [&](const char* t) { return name == QString::fromUtf8(t); });
}

// Pages copied between two looks at the progress: 4 MB of 4 KB pages.
constexpr int kStepPages = 1024;
// Virtual-machine steps between two looks at the progress while a file is checked.
constexpr int kCheckSteps = 200000;
// How long a restore waits for another writer to finish, as a save does.
constexpr int kWriterWaitMs = 30000;

const QString kBusy = QStringLiteral("数据库正被其他用户写入，等待超时，这次操作没有完成。请稍后再试。");

// A failure of the sqlite3 library, told in Chinese with the library's own text as detail.
[[noreturn]] void raiseFailure(int code, const QString& message)
{
    switch (code & 0xff) {
    case SQLITE_INTERRUPT: throw Backup::Cancelled();
    case SQLITE_NOTADB: throw DbError(QStringLiteral("文件不是 SQLite 数据库。"));
    case SQLITE_CORRUPT: throw DbError(QStringLiteral("文件已损坏（%1）。").arg(message));
    case SQLITE_BUSY:
    case SQLITE_LOCKED: throw DbError(kBusy, DbError::Kind::Busy);
    case SQLITE_FULL: throw DbError(QStringLiteral("磁盘已满（%1）。").arg(message));
    case SQLITE_CANTOPEN: throw DbError(QStringLiteral("无法打开文件（%1）。").arg(message));
    default: throw DbError(QStringLiteral("读写数据库文件失败（%1）。").arg(message));
    }
}

// One session of the sqlite3 library on a file.
class Lite {
public:
    Lite(const QString& name, int flags)
    {
        const int rc = sqlite3_open_v2(QFile::encodeName(name).constData(), &m_db, flags, nullptr);
        if (rc != SQLITE_OK) {
            const QString message = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
            sqlite3_close_v2(m_db);
            m_db = nullptr;
            raiseFailure(rc, message);
        }
    }
    ~Lite() { sqlite3_close_v2(m_db); }
    Lite(const Lite&) = delete;
    Lite& operator=(const Lite&) = delete;

    sqlite3* handle() const { return m_db; }
    [[noreturn]] void fail(int code) const { raiseFailure(code, QString::fromUtf8(sqlite3_errmsg(m_db))); }

    // The first column of every row.
    QStringList column(const QString& statement)
    {
        const QByteArray text = statement.toUtf8();
        sqlite3_stmt* st = nullptr;
        if (const int rc = sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &st, nullptr); rc != SQLITE_OK)
            fail(rc);
        QStringList out;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            fail(rc);
        return out;
    }
    void exec(const QString& statement) { column(statement); }
    QString value(const QString& statement) { return column(statement).value(0); }

    // Progress is looked at while a long statement runs; answering false interrupts it.
    void watch(const Backup::Progress& progress)
    {
        m_progress = progress;
        if (!m_progress)
            return;
        sqlite3_progress_handler(m_db, kCheckSteps,
            [](void* self) { return static_cast<Lite*>(self)->m_progress(-1) ? 0 : 1; }, this);
    }

private:
    sqlite3* m_db = nullptr;
    Backup::Progress m_progress;
};

// A file named for reading only: with the write-ahead log beside it, if it has one; without one it
// is read as it is, which leaves no lock or log files beside it.
std::unique_ptr<Lite> openToRead(const QString& file)
{
    const QString path = QFileInfo(file).absoluteFilePath();
    const bool log = QFileInfo::exists(path + QStringLiteral("-wal"));
    const QString uri = QStringLiteral("file:") + QString::fromLatin1(QUrl::toPercentEncoding(path, "/"))
        + (log ? QStringLiteral("?mode=ro") : QStringLiteral("?immutable=1"));
    return std::make_unique<Lite>(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
}

// Every page of `from` into `to`, in steps, looking at the progress between them. The pages are
// written in one transaction of `to`, committed with the last step.
void copyPages(Lite& from, Lite& to, const Backup::Progress& progress)
{
    sqlite3_backup* backup = sqlite3_backup_init(to.handle(), "main", from.handle(), "main");
    if (!backup)
        to.fail(sqlite3_errcode(to.handle()));
    int rc;
    while ((rc = sqlite3_backup_step(backup, kStepPages)) == SQLITE_OK) {
        const int total = sqlite3_backup_pagecount(backup);
        const int done = total - sqlite3_backup_remaining(backup);
        if (progress && !progress(total > 0 ? int(1000LL * done / total) : 0)) {
            sqlite3_backup_finish(backup); // rolls back what was written
            throw Backup::Cancelled();
        }
    }
    const int finished = sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE)
        to.fail(rc);
    if (finished != SQLITE_OK)
        to.fail(finished);
    if (progress && !progress(1000))
        throw Backup::Cancelled();
}

// The engine's integrity check, then the tables and columns of the program, then the counts.
void examine(Lite& db, Backup::Contents& out)
{
    // The check reads every page several times: mapped, they are read without a copy each time.
    db.exec(QStringLiteral("PRAGMA mmap_size=1073741824"));
    QStringList faults = db.column(QStringLiteral("PRAGMA integrity_check(10)"));
    faults.removeAll(QStringLiteral("ok"));
    if (!faults.isEmpty()) {
        out.problem = QStringLiteral("完整性检查发现文件已损坏：\n") + faults.join('\n');
        return;
    }
    QStringList missing, absent;
    QSet<QString> present;
    for (const Table& table : Schema::tables()) {
        const QStringList columns = db.column(QStringLiteral("select name from pragma_table_info(%1)").arg(Sql::quote(table.name)));
        if (columns.isEmpty()) {
            absent << table.name;
            continue;
        }
        present.insert(table.name);
        QSet<QString> have;
        for (const QString& c : columns)
            have.insert(c.toLower());
        for (const Column& c : table.columns)
            if (!have.contains(c.name.toLower()))
                missing << QStringLiteral("表 %1 缺少列 %2").arg(table.name, c.name);
    }
    if (present.isEmpty()) {
        out.problem = QStringLiteral("文件中没有 Orlenta 的表，它不是 Orlenta 的数据库。");
        return;
    }
    // A database made by an earlier version lacks the tables added since (the change records, the
    // school's settings...): it is sound, and those tables are made when it is restored, as
    // orlenta-db init --if-missing makes them. A table of the students' records is never optional.
    for (const QString& name : std::as_const(absent)) {
        if (isFirstTable(name))
            missing << QStringLiteral("缺少表 %1").arg(name);
        else
            out.tablesToAdd << name;
    }
    for (const Counted& counted : kCounted) {
        const QString table = QString::fromUtf8(counted.table);
        out.counts << (present.contains(table) ? db.value(QStringLiteral("select count(*) from ") + table).toLongLong() : -1);
    }
    if (!missing.isEmpty()) {
        const int shown = 8;
        out.problem = QStringLiteral("文件缺少程序需要的表或列：\n") + missing.mid(0, shown).join('\n')
            + (missing.size() > shown ? QStringLiteral("\n…") : QString());
        return;
    }
    out.sound = true;
}

void describeFile(const QString& file, Backup::Contents& out)
{
    const QFileInfo info(file);
    out.file = info.absoluteFilePath();
    out.exists = info.isFile();
    out.bytes = out.exists ? info.size() : 0;
    out.modified = out.exists ? info.lastModified() : QDateTime();
}

bool sameFile(const QString& a, const QString& b)
{
    const QFileInfo x(a), y(b);
    return x.exists() && y.exists() ? x.canonicalFilePath() == y.canonicalFilePath()
                                    : x.absoluteFilePath() == y.absoluteFilePath();
}

Backup::Contents copyOf(const QString& database, const QString& target, const Backup::Progress& progress, bool mustBeSound)
{
    if (!QFileInfo(database).isFile())
        throw DbError(QStringLiteral("数据库文件“%1”不存在。").arg(database));
    if (sameFile(database, target))
        throw DbError(QStringLiteral("备份文件不能是数据库文件本身。"));
    StagedFile part(target);
    {
        std::unique_ptr<Lite> from;
        try {
            from = std::make_unique<Lite>(database, SQLITE_OPEN_READWRITE);
        } catch (const DbError&) {
            from = std::make_unique<Lite>(database, SQLITE_OPEN_READONLY); // a database the user may only read
        }
        sqlite3_busy_timeout(from->handle(), 5000);
        // Closing this session never checkpoints the log: that work is the writers'.
        sqlite3_db_config(from->handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        // One read transaction for the whole copy: every step reads the same moment, and the
        // copy is not started again when a colleague saves between two steps.
        from->exec(QStringLiteral("BEGIN"));
        from->exec(QStringLiteral("select count(*) from sqlite_schema"));
        Lite to(part.path(), SQLITE_OPEN_READWRITE);
        to.exec(QStringLiteral("PRAGMA journal_mode=OFF")); // a new file of our own: nothing to roll back to
        to.exec(QStringLiteral("PRAGMA synchronous=OFF"));  // written to the disk once, when whole
        copyPages(*from, to, progress);
        from->exec(QStringLiteral("COMMIT"));
    }
    Backup::Contents out;
    {
        Lite copy(part.path(), SQLITE_OPEN_READWRITE);
        // The pages came with the database's header, which may name a write-ahead log; the copy
        // is one file of its own.
        copy.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
        copy.watch(progress);
        try {
            examine(copy, out);
        } catch (const DbError& error) {
            out.problem = error.text();
        }
    }
    if (mustBeSound && !out.sound)
        throw DbError(QStringLiteral("备份没有通过检查，没有保存：%1").arg(out.problem));
    part.commit(database);
    describeFile(target, out);
    return out;
}

} // namespace

const QStringList& Backup::countedTables()
{
    static const QStringList tables = [] {
        QStringList out;
        for (const Counted& c : kCounted)
            out << QString::fromUtf8(c.table);
        return out;
    }();
    return tables;
}

QString Backup::describeCount(int index, qint64 rows)
{
    const Counted& c = kCounted[std::clamp(index, 0, int(std::size(kCounted)) - 1)];
    const QString caption = QString::fromUtf8(c.caption);
    if (rows < 0)
        return caption + QStringLiteral(" 无法读取");
    return QStringLiteral("%1 %2 %3").arg(caption).arg(rows).arg(QString::fromUtf8(c.unit));
}

Backup::Contents Backup::inspect(const QString& file, const Progress& progress)
{
    Contents out;
    describeFile(file, out);
    if (!out.exists) {
        out.problem = QStringLiteral("文件不存在。");
        return out;
    }
    try {
        auto db = openToRead(file);
        db->watch(progress);
        examine(*db, out);
    } catch (const DbError& error) {
        out.problem = error.text();
    }
    return out;
}

Backup::Contents Backup::copy(const QString& database, const QString& target, const Progress& progress)
{
    return copyOf(database, target, progress, true);
}

Backup::Restored Backup::restore(const QString& file, const QString& database, const Progress& progress)
{
    if (sameFile(file, database))
        throw DbError(QStringLiteral("不能用数据库文件本身来恢复它。"));
    Restored out;
    out.restored = inspect(file, progress);
    if (!out.restored.sound)
        throw DbError(QStringLiteral("“%1”不是完好的 Orlenta 数据库，没有恢复，数据库没有改动。\n\n%2")
                          .arg(out.restored.file, out.restored.problem));
    const QFileInfo current(database);
    if (current.isFile() && current.size() > 0) {
        const QString folder = folderOf(database);
        if (!QDir().mkpath(folder))
            throw DbError(QStringLiteral("无法建立备份文件夹“%1”，没有恢复。").arg(folder));
        // The database as it was, whatever its state: it is what a mistaken restore goes back to.
        out.keptCopy = folder + QStringLiteral("/orlenta-恢复前-%1.db").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss")));
        try {
            openToRead(database)->value(QStringLiteral("select count(*) from sqlite_schema"));
        } catch (const DbError& error) {
            // Its pages could not be replaced in place either, under the sessions that hold it.
            throw DbError(QStringLiteral("当前的数据库文件“%1”已经无法作为数据库读取，没有恢复：%2\n\n"
                                         "请先让所有用户退出程序，把这个文件改名留存（例如改为 orlenta.db.损坏），再恢复备份。")
                              .arg(current.absoluteFilePath(), error.text()));
        }
        copyOf(database, out.keptCopy, progress, false);
    }
    std::unique_ptr<Lite> from = openToRead(file);
    Lite to(database, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    sqlite3_busy_timeout(to.handle(), kWriterWaitMs);
    const bool log = to.value(QStringLiteral("PRAGMA journal_mode")).compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
    const QString pageSize = to.value(QStringLiteral("PRAGMA page_size"));
    std::unique_ptr<StagedFile> staged;
    const bool resize = log && from->value(QStringLiteral("PRAGMA page_size")) != pageSize;
    if (resize || !out.restored.tablesToAdd.isEmpty()) {
        // A write-ahead log holds pages of the database's size only, and the tables an older copy
        // lacks must be there when the restored records appear: both are done on a copy of the
        // file beside the database (never on the file itself), which is then put in place whole.
        staged = std::make_unique<StagedFile>(database, QStringLiteral("-restore"));
        from->exec(QStringLiteral("PRAGMA page_size=%1").arg(pageSize.toInt()));
        from->exec(QStringLiteral("VACUUM INTO %1").arg(Sql::quote(staged->path())));
        {
            Lite upgraded(staged->path(), SQLITE_OPEN_READWRITE);
            upgraded.exec(QStringLiteral("BEGIN"));
            for (const QString& name : std::as_const(out.restored.tablesToAdd))
                for (const QString& statement : Schema::createStatements(Engine::SQLite, *Schema::table(name)))
                    upgraded.exec(statement);
            upgraded.exec(QStringLiteral("COMMIT"));
        }
        from = std::make_unique<Lite>(staged->path(), SQLITE_OPEN_READONLY);
    }
    copyPages(*from, to, progress);
    if (log)
        to.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
    return out;
}

QString Backup::folderOf(const QString& database)
{
    return QFileInfo(database).absolutePath() + QStringLiteral("/备份");
}

QString Backup::dailyName(const QDate& day)
{
    return QStringLiteral("orlenta-%1.db").arg(day.toString(QStringLiteral("yyyy-MM-dd")));
}

Backup::Daily Backup::daily(const QString& database, const QDate& today, const Progress& progress)
{
    Daily out;
    const QFileInfo source(database);
    if (!source.isFile() || source.size() == 0)
        return out; // nothing to keep yet
    const QString folder = folderOf(database);
    if (!QDir().mkpath(folder))
        throw DbError(QStringLiteral("无法建立备份文件夹“%1”。").arg(folder));
    const QString target = folder + '/' + dailyName(today);
    if (QFileInfo::exists(target))
        return out;
    copy(database, target, progress);
    out.made = target;

    QDir dir(folder);
    static const QRegularExpression dated(QStringLiteral("^orlenta-(\\d{4}-\\d{2}-\\d{2})\\.db$"));
    static const QRegularExpression part(QStringLiteral("^\\.orlenta-\\d{4}-\\d{2}-\\d{2}\\.db\\.\\w{6}$"));
    QHash<QDate, QString> copies;
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Hidden)) {
        const QString name = entry.fileName();
        if (const auto match = dated.match(name); match.hasMatch()) {
            const QDate day = QDate::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd"));
            if (day.isValid())
                copies.insert(day, name);
        } else if (part.match(name).hasMatch() && entry.lastModified().daysTo(QDateTime::currentDateTime()) > 1) {
            QFile::remove(entry.absoluteFilePath()); // left by a copy that was cut short
        }
    }
    QSet<QDate> kept = keptDays(QVector<QDate>(copies.keyBegin(), copies.keyEnd()));
    kept.insert(today); // even when the clock was set back
    for (auto it = copies.cbegin(); it != copies.cend(); ++it)
        if (!kept.contains(it.key()) && dir.remove(it.value()))
            out.removed << it.value();
    out.removed.sort();
    return out;
}

QSet<QDate> Backup::keptDays(const QVector<QDate>& days)
{
    QVector<QDate> newest = days;
    std::sort(newest.begin(), newest.end(), std::greater<>());
    newest.erase(std::unique(newest.begin(), newest.end()), newest.end());
    constexpr int kDaily = 7, kWeekly = 4;
    QSet<QDate> kept;
    QSet<QDate> weeks; // by their Monday
    for (int i = 0; i < newest.size(); ++i) {
        const QDate day = newest[i];
        if (i < kDaily) {
            kept.insert(day);
            continue;
        }
        const QDate monday = day.addDays(1 - day.dayOfWeek());
        if (weeks.size() < kWeekly && !weeks.contains(monday)) {
            weeks.insert(monday);
            kept.insert(day);
        }
    }
    return kept;
}

QString Backup::comparison(const Contents& current, const Contents& file)
{
    auto count = [](const Contents& c, int i) {
        if (!c.exists)
            return QStringLiteral("无");
        const qint64 rows = c.counts.value(i, -1);
        return rows < 0 ? QStringLiteral("无法读取") : describeCount(i, rows).section(' ', 1);
    };
    QStringList lines;
    lines << QStringLiteral("当前数据库：%1").arg(current.file)
          << QStringLiteral("备份文件：%1（%2 保存）").arg(file.file, file.modified.toString(QStringLiteral("yyyy-MM-dd HH:mm")))
          << QString();
    for (int i = 0; i < int(std::size(kCounted)); ++i)
        lines << QStringLiteral("%1：当前 %2，备份 %3").arg(QString::fromUtf8(kCounted[i].caption), count(current, i), count(file, i));
    return lines.join('\n');
}

} // namespace store
