#include "SystemInfo.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace platform {

namespace {
QStringList& list()
{
    static QStringList programs { QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
        QStringLiteral("gnome-system-monitor"), QStringLiteral("lshw-gtk") };
    return programs;
}
} // namespace

QString SystemInfo::viewerPath()
{
    for (const QString& program : list()) {
        const QString path = QStandardPaths::findExecutable(program);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

bool SystemInfo::start(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isExecutable())
        return false;
    return QProcess::startDetached(path, {});
}

QStringList SystemInfo::candidates() { return list(); }
void SystemInfo::setCandidates(const QStringList& programs) { list() = programs; }

} // namespace platform
