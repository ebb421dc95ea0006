#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// The system-information viewer: the first of a list of known viewers that is on the PATH.
class SystemInfo {
public:
    // The viewer's full path, or empty when none is installed.
    static QString viewerPath();
    // Starts the viewer in a window of its own; false if it could not be started.
    static bool start(const QString& path);

    static QStringList candidates();
    static void setCandidates(const QStringList& programs); // tests
};

} // namespace platform
