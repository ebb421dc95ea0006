// The office: N workstations, each a process of its own, doing what an academic office does
// all day against one database server for a fixed time:
//   10 % open the score window (until its first rows are painted and counted),
//   10 % open the all-students window (until its first rows are painted),
//   50 % search a student's scores by number in the score window,
//   30 % change a score there (编辑, a new score typed into the grid, 保存).
// Every workstation keeps its score window open for its searches and saves; an opening of the
// score window replaces it with a new one. Prints actions per second and p50/p95 of each action.
//
// Without --think the workstations go from one action to the next without a pause: the most the
// machine does, where every action also waits for the others. With --think MS each one pauses
// between actions as a person reading the screen does, for a random time of mean MS
// (exponential), so that N workstations offer the load of N people at work.
//
//   orlenta-bench --office [1,8,32] [--engine postgres|sqlite] [--seconds 30] [--students N] [--think MS]

#include "Bench.h"

#include "app/Application.h"
#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "store/Connection.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/RecordModel.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QThread>
#include <algorithm>
#include <ctime>
#include <random>
#include <unistd.h>

namespace bench {

namespace {

const QStringList kActions { "open_scores", "open_all_students", "search", "save" };

qint64 now() { return QDateTime::currentMSecsSinceEpoch(); }

// The workstation's own CPU time so far (all its threads), in milliseconds.
double cpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Shown until its first rows are painted and, where the window has one, panel 3 of its status
// bar shows their count.
platform::Form* showPainted(const QString& name)
{
    platform::Form* form = platform::Forms::show(name);
    QCoreApplication::processEvents();
    QLabel* count = form->findChild<QLabel*>(QStringLiteral("panel3"));
    QElapsedTimer clock;
    clock.start();
    while (count && (count->text().isEmpty() || count->text() == QLatin1String("0")) && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    form->repaint();
    return form;
}

template <typename T>
T* control(QWidget* window, const char* name)
{
    return window->findChild<T*>(QString::fromLatin1(name));
}

// The CPU time the database server has spent, in milliseconds: its main process's own and that of
// the sessions and workers it has started and seen end (a session ends with its workstation).
// Negative when it cannot be read.
double serverCpuMs(const Setting& s)
{
    QFile pidFile(s.dir() + QStringLiteral("/data/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray pid = pidFile.readLine().trimmed();
    QFile stat(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid)));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // After the name in parentheses: fields 3 on; utime, stime, cutime and cstime are 14 to 17.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 15)
        return -1;
    double ticks = 0;
    for (int i = 11; i <= 14; ++i)
        ticks += fields[i].toDouble();
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

double percentile(QVector<double> times, double share)
{
    if (times.isEmpty())
        return 0;
    std::sort(times.begin(), times.end());
    return times[std::min<int>(times.size() - 1, int(share * times.size()))];
}

} // namespace

int officeWorkstation(const QStringList& args)
{
    // args: engine students id start-at (ms since the epoch) seconds think-ms; the data source is
    // inherited.
    const int id = args.value(2).toInt();
    const qint64 startAt = args.value(3).toLongLong();
    const qint64 endAt = startAt + args.value(4).toLongLong() * 1000;
    const double think = args.value(5).toDouble();
    Application::prepare();
    platform::MsgBox::setScripted(true);
    std::mt19937 random(std::uint32_t(7919 * id + 1));
    std::exponential_distribution<double> pause(think > 0 ? 1.0 / think : 1.0);
    auto thinkAWhile = [&] {
        if (think > 0)
            QThread::msleep(ulong(std::clamp<qint64>(qint64(pause(random)), 0, std::max<qint64>(0, endAt - now()))));
    };

    QStringList numbers;
    try {
        store::Connection db;
        for (const auto& row : db.select(QStringLiteral("select 学号 from 学生个人信息表")).rows)
            numbers << row.value(0).toString();
    } catch (const store::DbError& error) {
        say(QStringLiteral("# workstation %1: %2").arg(id).arg(error.text()));
        return 1;
    }
    if (numbers.isEmpty())
        return 1;
    auto anyStudent = [&] { return numbers[int(random() % std::uint32_t(numbers.size()))]; };

    platform::Form* scores = showPainted(QStringLiteral("frmchenggl"));
    QThread::msleep(std::max<qint64>(0, startAt - now()));

    struct Done {
        int action;
        double ms, cpu;
    };
    QVector<Done> done;
    int failed = 0, refused = 0;
    while (now() < endAt) {
        thinkAWhile();
        if (now() >= endAt)
            break;
        const std::uint32_t dice = random() % 100;
        const int action = dice < 10 ? 0 : dice < 20 ? 1 : dice < 70 ? 2 : 3;
        platform::MsgBox::clear();
        QElapsedTimer clock;
        clock.start();
        double cpuAtStart = cpuMs();
        bool ok = true;
        switch (action) {
        case 0:
            platform::Forms::discardAll();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            clock.restart(); // the old window's going is no part of the opening
            cpuAtStart = cpuMs();
            scores = showPainted(QStringLiteral("frmchenggl"));
            break;
        case 1: {
            platform::Form* students = showPainted(QStringLiteral("frmallinf"));
            const double ms = clock.nsecsElapsed() / 1e6;
            const double cpu = cpuMs() - cpuAtStart;
            platform::Forms::unload(students);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            if (now() < endAt)
                done.push_back({ action, ms, cpu });
            continue;
        }
        case 2:
            control<QRadioButton>(scores, "optXh")->setChecked(true);
            control<QLineEdit>(scores, "txtXh")->setText(anyStudent());
            control<QAbstractButton>(scores, "cmdFind")->click();
            scores->repaint();
            break;
        case 3: {
            auto* rs = scores->findChild<store::DataControl*>(QStringLiteral("rs_Kj"));
            const int rows = std::min(rs->recordCount(), 20);
            if (rows == 0) {
                ok = false;
                break;
            }
            control<QAbstractButton>(scores, "cmdEdit")->click();
            const int row = int(random() % std::uint32_t(rows));
            store::RecordModel* model = rs->model();
            model->setData(model->index(row, rs->fieldIndex(QStringLiteral("成绩"))), QString::number(40 + random() % 61),
                Qt::EditRole);
            control<QAbstractButton>(scores, "cmdUpgrate")->click();
            scores->repaint();
            const auto& boxes = platform::MsgBox::shown();
            ok = !boxes.isEmpty() && boxes.last().text == QStringLiteral("保存成功!");
            break;
        }
        }
        const double ms = clock.nsecsElapsed() / 1e6;
        const double cpu = cpuMs() - cpuAtStart;
        if (now() >= endAt)
            break;
        if (!ok && !platform::MsgBox::shown().isEmpty()
            && platform::MsgBox::shown().last().text == QStringLiteral("此操作不支持保存功能!")) {
            ++refused; // a colleague changed the same score since it was read: a real conflict
            continue;
        }
        if (!ok) {
            if (++failed <= 3)
                say(QStringLiteral("# workstation %1: %2 failed: %3")
                        .arg(id)
                        .arg(kActions[action])
                        .arg(platform::MsgBox::shown().isEmpty() ? QString() : platform::MsgBox::shown().last().text));
            continue;
        }
        done.push_back({ action, ms, cpu });
    }
    for (const Done& d : std::as_const(done))
        say(QStringLiteral("act %1 %2 %3").arg(d.action).arg(d.ms, 0, 'f', 3).arg(d.cpu, 0, 'f', 3));
    say(QStringLiteral("failed %1 %2").arg(failed).arg(refused));
    platform::Forms::discardAll();
    return 0;
}

int office(const QString& engine, int students, const QList<int>& workstations, int seconds, int thinkMs)
{
    Setting s;
    s.engine = engine;
    s.students = students;
    if (!prepare(s))
        return 1;
    say(QStringLiteral("# the office on %1, %2 students, %3 s at each size, %4")
            .arg(engine)
            .arg(students)
            .arg(seconds)
            .arg(thinkMs > 0 ? QStringLiteral("a pause of %1 ms on average between actions").arg(thinkMs)
                             : QStringLiteral("no pause between actions")));
    for (const int n : workstations) {
        // Every workstation starts its clock at the same moment, once all have opened their windows.
        const qint64 startAt = now() + 3000 + 200 * n;
        double serverAtStart = -1;
        QVector<QProcess*> children;
        for (int id = 0; id < n; ++id) {
            auto* p = new QProcess;
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start(QCoreApplication::applicationFilePath(),
                { "--child", "office-ws", engine, QString::number(students), QString::number(id), QString::number(startAt),
                    QString::number(seconds), QString::number(thinkMs) });
            children << p;
        }
        QVector<QVector<double>> times(kActions.size());
        QVector<double> cpu(kActions.size());
        int failed = 0, refused = 0;
        if (s.engine == "postgres") {
            // The server's time is taken from when the workstations begin to when all are done
            // (their windows opened before the clock began are in it too).
            QThread::msleep(std::max<qint64>(0, startAt - now()));
            serverAtStart = serverCpuMs(s);
        }
        for (QProcess* p : std::as_const(children)) {
            p->waitForFinished(-1);
            for (const QString& line : QString::fromUtf8(p->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
                const QStringList parts = line.split(' ');
                if (parts.value(0) == QLatin1String("act")) {
                    times[parts.value(1).toInt()] << parts.value(2).toDouble();
                    cpu[parts.value(1).toInt()] += parts.value(3).toDouble();
                }
                else if (parts.value(0) == QLatin1String("failed")) {
                    failed += parts.value(1).toInt();
                    refused += parts.value(2).toInt();
                }
                else
                    say(line);
            }
            delete p;
        }
        int actions = 0;
        double workstationCpu = 0;
        for (int a = 0; a < kActions.size(); ++a) {
            actions += times[a].size();
            workstationCpu += cpu[a];
        }
        const QString prefix = QStringLiteral("office_%1_").arg(n);
        figure(prefix + "actions_per_s", double(actions) / seconds, "/s");
        if (actions > 0) {
            // Where the two cores went: the workstations' own work (on an office's own machines),
            // and the server's, which is what thirty workstations share.
            figure(prefix + "workstation_cpu_ms_per_action", workstationCpu / actions, "ms");
            if (serverAtStart >= 0) {
                QThread::msleep(500); // the sessions of the workstations end
                figure(prefix + "server_cpu_ms_per_action", (serverCpuMs(s) - serverAtStart) / actions, "ms");
            }
        }
        figure(prefix + "failed", failed, "actions");
        figure(prefix + "saves_refused_conflict", refused, "saves");
        for (int a = 0; a < kActions.size(); ++a) {
            figure(prefix + kActions[a] + "_n", times[a].size(), "actions");
            figure(prefix + kActions[a] + "_p50_ms", percentile(times[a], 0.5), "ms");
            figure(prefix + kActions[a] + "_p95_ms", percentile(times[a], 0.95), "ms");
            // What the workstation itself spends on one such action, on average.
            figure(prefix + kActions[a] + "_workstation_cpu_ms", times[a].isEmpty() ? 0 : cpu[a] / times[a].size(), "ms");
        }
    }
    if (engine == "postgres")
        QProcess::execute(QStringLiteral(ORLENTA_SOURCE_DIR "/scripts/pg-cluster.sh"), { "stop", s.dir() });
    return 0;
}

} // namespace bench
