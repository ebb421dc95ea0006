#include "Application.h"

#include "platform/Forms.h"
#include "platform/HelpViewer.h"
#include "shell/DailyCopy.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>
#include <cstdio>
#include <cstring>

// Silent unless asked for (QT_LOGGING_RULES="orlenta.startup.info=true"): what the program found
// and showed when it started, for checking an installation.
Q_LOGGING_CATEGORY(lcStartup, "orlenta.startup", QtWarningMsg)

int main(int argc, char** argv)
{
    // The one question the program answers without a window (a package check, a support call).
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("orlenta " ORLENTA_VERSION);
        return 0;
    }
    Application app(argc, argv);
    Application::prepare();
    QApplication::setQuitOnLastWindowClosed(false); // the program ends when its last window is unloaded
    platform::Form* first = platform::Forms::show(QStringLiteral("frmCload"));
    DailyCopy::start(); // the day's copy of an embedded database, beside the work
    QTimer::singleShot(0, &app, [first = QPointer<platform::Form>(first)] {
        qCInfo(lcStartup, "help file: %s", qUtf8Printable(platform::HelpViewer::helpFile()));
        if (first && first->isVisible())
            qCInfo(lcStartup, "shown: %s \"%s\"", qUtf8Printable(first->objectName()), qUtf8Printable(first->windowTitle()));
    });
    return app.exec();
}
