#include "DailyCopy.h"

#include "BasVal.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "store/Backup.h"
#include "store/Connection.h"
#include "store/DbError.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>

namespace {

struct State {
    std::unique_ptr<QThread> thread;
    std::atomic<bool> stop { false };
    QMutex mutex; // over what the thread writes
    QString database, made, failure;
    bool told = false;
};
State& state()
{
    static State s;
    return s;
}

void showIfDue()
{
    State& s = state();
    QString failure;
    {
        QMutexLocker lock(&s.mutex);
        failure = s.failure;
    }
    platform::Form* main = platform::Forms::find(QStringLiteral("frmmain"));
    if (failure.isEmpty() || s.told || !main || !main->isVisible() || BasVal::UserStyle != QStringLiteral("系统管理员"))
        return;
    s.told = true;
    platform::MsgBox::show(QStringLiteral("今天的自动备份没有完成：\n%1\n\n数据库照常可用，大家可以继续工作。请检查备份文件夹“%2”"
                                          "能否写入、磁盘是否已满，或者用“系统管理”菜单中的“备份数据库…”另做一份备份。")
                               .arg(failure, store::Backup::folderOf(s.database)),
        QStringLiteral("注意"), platform::MsgBox::Icon::Exclamation);
}

} // namespace

void DailyCopy::start(const QDate& today)
{
    State& s = state();
    if (s.thread)
        return;
    // The data source is read here, not on the thread: unixODBC reads its settings for everyone.
    const store::Connection::Target target = store::Connection::resolve(QStringLiteral("DSN=Orlenta"));
    if (!target.sqlite || target.sqliteFile.isEmpty())
        return;
    s.database = target.sqliteFile;
    s.stop = false;
    s.thread.reset(QThread::create([database = target.sqliteFile, today] {
        State& s = state();
        QString made, failure;
        try {
            made = store::Backup::daily(database, today, [](int) { return !state().stop.load(); }).made;
        } catch (const store::Backup::Cancelled&) {
        } catch (const store::DbError& error) {
            failure = error.text();
        } catch (const std::exception& error) {
            failure = QString::fromLocal8Bit(error.what());
        }
        QMutexLocker lock(&s.mutex);
        s.made = made;
        s.failure = failure;
    }));
    QObject::connect(s.thread.get(), &QThread::finished, qApp, &DailyCopy::tell, Qt::QueuedConnection);
    // Ending the program stops the copy: what was copied so far is removed.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, s.thread.get(), [] {
        state().stop = true;
        DailyCopy::wait();
    });
    s.thread->start(QThread::LowPriority);
}

void DailyCopy::wait()
{
    if (state().thread)
        state().thread->wait();
}

QString DailyCopy::made()
{
    QMutexLocker lock(&state().mutex);
    return state().made;
}

QString DailyCopy::failure()
{
    QMutexLocker lock(&state().mutex);
    return state().told ? QString() : state().failure;
}

void DailyCopy::tell()
{
    // After the window that asks has been shown.
    QTimer::singleShot(0, qApp, &showIfDue);
}

void DailyCopy::reset()
{
    State& s = state();
    s.stop = true;
    wait();
    s.thread.reset();
    s.stop = false;
    QMutexLocker lock(&s.mutex);
    s.made.clear();
    s.failure.clear();
    s.database.clear();
    s.told = false;
}
