#pragma once

#include <QString>

namespace store {

class Connection;

// Sign-in that resists guessing: the failed sign-ins of a name are counted in the database (the
// change record's 登录失败 rows), so that starting the program again does not start the count
// again. After five wrong passwords within fifteen minutes the name is refused for fifteen
// minutes, for staff and students alike; a successful sign-in clears the count. A refusal is
// recorded too, and counts as no failure of its own, so the name is free again fifteen minutes
// after the fifth wrong password. Times are the database's clock.
class SignInGuard {
public:
    // The reasons recorded with a failed sign-in.
    static const QString& wrongPassword(); // "密码错误": counts towards the limit
    static const QString& noSuchName();    // "用户名不存在"
    static const QString& refused();       // "已锁定"

    // How long the name `name` on `table` (the staff accounts or the students) is still refused,
    // in seconds; 0 when it may sign in.
    static int secondsRefused(Connection& db, const QString& table, const QString& name);

    // "该用户登录失败次数过多，已被锁定。请 15 分钟后再试。": the refusal told to the user.
    static QString refusalText(int seconds);

    // The limit and its times; tests shorten them. Defaults: 5 failures, 900 s, 900 s.
    static void setLimits(int failures, int windowSeconds, int refusedSeconds);
};

} // namespace store
