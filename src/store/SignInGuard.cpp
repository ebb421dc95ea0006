#include "SignInGuard.h"

#include "ChangeLog.h"
#include "Connection.h"
#include "Sql.h"

#include <QDateTime>

namespace store {

namespace {

struct Limits {
    int failures = 5;
    int window = 15 * 60;
    int refused = 15 * 60;
};
Limits& limits()
{
    static Limits l;
    return l;
}

// Seconds since an epoch for a time as 时间 holds it ("2024-05-19 08:30:00"), or -1.
qint64 secondsOf(const QVariant& value)
{
    const QDateTime time = QDateTime::fromString(value.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!time.isValid())
        return -1;
    // Read as a clock without a zone: no daylight-saving step lies between two records.
    return QDateTime(time.date(), time.time(), Qt::UTC).toSecsSinceEpoch();
}

} // namespace

const QString& SignInGuard::wrongPassword()
{
    static const QString text = QStringLiteral("密码错误");
    return text;
}

const QString& SignInGuard::noSuchName()
{
    static const QString text = QStringLiteral("用户名不存在");
    return text;
}

const QString& SignInGuard::refused()
{
    static const QString text = QStringLiteral("已锁定");
    return text;
}

void SignInGuard::setLimits(int failures, int windowSeconds, int refusedSeconds)
{
    limits() = { failures, windowSeconds, refusedSeconds };
}

int SignInGuard::secondsRefused(Connection& db, const QString& table, const QString& name)
{
    const Limits& l = limits();
    // The successes and wrong passwords of the name recent enough to matter, newest first, each
    // with the clock's time now.
    const auto rows = db.select(
        QStringLiteral("select 时间, 操作, 新值, %1 from %2 where 用户 = %3 and 表名 = %4 "
                       "and (操作 = '登录' or (操作 = '登录失败' and 新值 = %5)) and 时间 >= %6 order by 编号 desc limit %7")
            .arg(ChangeLog::clockExpression(db.engine()), ChangeLog::table(), Sql::quote(name), Sql::quote(table),
                Sql::quote(wrongPassword()), ChangeLog::clockExpression(db.engine(), -(l.window + l.refused)),
                QString::number(l.failures)));
    if (rows.rows.isEmpty())
        return 0;
    const qint64 now = secondsOf(rows.rows.first().value(3));
    QVector<qint64> failures;
    for (const auto& row : rows.rows) {
        if (row.value(1).toString() == ChangeLog::text(ChangeLog::Operation::SignIn))
            break; // a success clears the count
        if (row.value(2).toString() == wrongPassword())
            failures << secondsOf(row.value(0));
        if (failures.size() == l.failures)
            break;
    }
    if (now < 0 || failures.size() < l.failures || failures.contains(-1))
        return 0;
    const qint64 newest = failures.first();
    if (newest - failures.last() > l.window)
        return 0;
    const qint64 left = newest + l.refused - now;
    return left > 0 ? int(left) : 0;
}

QString SignInGuard::refusalText(int seconds)
{
    const QString wait = seconds < 60 ? QStringLiteral("%1 秒").arg(seconds) : QStringLiteral("%1 分钟").arg((seconds + 59) / 60);
    return QStringLiteral("该用户登录失败次数过多，已被锁定。请 %1后再试。").arg(wait);
}

} // namespace store
