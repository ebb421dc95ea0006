// hash-passwords: replacing the passwords still stored as typed by their hashes.

#include "Command.h"

#include "store/ChangeLog.h"
#include "store/Connection.h"
#include "store/Password.h"
#include "store/Setup.h"
#include "store/Sql.h"

#include <QElapsedTimer>
#include <algorithm>
#include <thread>
#include <vector>

using namespace store;

namespace tools {

namespace {

// One password to replace: the row's key, the text as stored, and its hash once made.
struct Pending {
    QString key;
    QString stored;
    QString hash;
};

// Hashes on every core: each takes about 50 ms.
void hashAll(std::vector<Pending>& batch)
{
    const unsigned workers = std::max(1u, std::min<unsigned>(std::thread::hardware_concurrency(), unsigned(batch.size())));
    std::vector<std::thread> threads;
    for (unsigned w = 0; w < workers; ++w)
        threads.emplace_back([&batch, w, workers] {
            for (size_t i = w; i < batch.size(); i += workers)
                // What a sign-in compares: the stored text trimmed.
                batch[i].hash = Password::hash(batch[i].stored.trimmed());
        });
    for (std::thread& t : threads)
        t.join();
}

// Replaces the plain passwords of one table, a batch a transaction, so that an interrupted run
// keeps what it did and a second run goes on from there. A row whose password changed since it
// was read is left as it is now.
int replace(Connection& db, const QString& table, const QString& keyColumn, const QString& passwordColumn,
    const QString& caption, bool firstPasswords)
{
    const auto rows = db.select(QStringLiteral("select %1, %2 from %3 where %2 is not null order by %1")
                                    .arg(keyColumn, passwordColumn, table));
    std::vector<Pending> pending;
    for (const auto& row : rows.rows) {
        const QString key = row.value(0).toString();
        const QVariant stored = row.value(1);
        if (Password::kindOf(stored) != Password::Kind::Plain)
            continue;
        // A student's first password is the student number: no secret, left until first used.
        if (!firstPasswords && passwordColumn == QStringLiteral("密码") && stored.toString().trimmed() == key.trimmed())
            continue;
        pending.push_back({ key, stored.toString(), QString() });
    }
    print(QStringLiteral("%1: %2 个密码以明文保存").arg(caption).arg(pending.size()));
    constexpr size_t kBatch = 64;
    int done = 0;
    for (size_t begin = 0; begin < pending.size(); begin += kBatch) {
        std::vector<Pending> batch(pending.begin() + begin, pending.begin() + std::min(pending.size(), begin + kBatch));
        hashAll(batch);
        Transaction transaction(db);
        ChangeLog::Batch records(db);
        for (const Pending& p : batch) {
            const auto stored = db.select(QStringLiteral("UPDATE %1 SET %2 = %3 WHERE %4 = %5 AND %2 = %6 RETURNING %4")
                                              .arg(table, passwordColumn, Sql::quote(p.hash), keyColumn,
                                                  Sql::quote(p.key), Sql::quote(p.stored)));
            if (stored.rows.isEmpty())
                continue; // changed meanwhile
            records.add(ChangeLog::updated(table, { { keyColumn, passwordColumn }, { p.key, p.stored } },
                { { keyColumn, passwordColumn }, { p.key, p.hash } }, { passwordColumn }));
            ++done;
        }
        records.flush();
        transaction.commit();
        print(QStringLiteral("%1: %2 / %3").arg(caption).arg(std::min(pending.size(), begin + kBatch)).arg(pending.size()));
    }
    return done;
}

int hashPasswords(const QStringList& args, Connection* db)
{
    if (!Setup::hasSchema(*db)) {
        print("数据库中没有 Orlenta 的表。");
        return Refused;
    }
    const bool firstPasswords = args.contains("--first-passwords");
    QElapsedTimer clock;
    clock.start();
    const int staff = replace(*db, QStringLiteral("管理员身份认证表"), QStringLiteral("编号"), QStringLiteral("pwd"),
        QStringLiteral("系统用户"), firstPasswords);
    const int students = replace(*db, QStringLiteral("学生个人信息表"), QStringLiteral("学号"), QStringLiteral("密码"),
        QStringLiteral("学生"), firstPasswords);
    print(QStringLiteral("完成：%1 个系统用户、%2 个学生的密码已改为加密保存 (%3 s)。")
              .arg(staff)
              .arg(students)
              .arg(clock.elapsed() / 1000.0, 0, 'f', 1));
    return Ok;
}

} // namespace

const Command hashPasswordsCommand { "hash-passwords", "hash-passwords [--first-passwords]", &hashPasswords };

} // namespace tools
