#include "HelpViewer.h"

#include "HelpWindow.h"
#include "Screens.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QResource>
#include <QUrl>

namespace platform {

namespace {
struct State {
    QString file, topic, registered;
    QPointer<HelpWindow> window;
    bool showingPage = false;
};
State& state()
{
    static State s;
    return s;
}
const QString kRoot = QStringLiteral("/help");
const QString kFileName = QStringLiteral("MyHelp.chm");
constexpr int kGap = 16;
const QSize kWanted(900, 640);
} // namespace

QString HelpViewer::contentsPage() { return QStringLiteral("目录.htm"); }

QString HelpViewer::locateHelpFile(const QString& programDirectory)
{
    return locateHelpFile(programDirectory, QStringLiteral(ORLENTA_DATA_DIR));
}

QString HelpViewer::locateHelpFile(const QString& programDirectory, const QString& dataDirectory)
{
    const QStringList places {
        programDirectory + QLatin1Char('/') + kFileName,
        QDir::cleanPath(programDirectory + QStringLiteral("/" ORLENTA_DATA_FROM_BIN "/") + kFileName),
        dataDirectory + QLatin1Char('/') + kFileName,
    };
    for (const QString& place : places)
        if (QFileInfo(place).isFile())
            return place;
    return places.first();
}

QString HelpViewer::helpFile() { return locateHelpFile(QCoreApplication::applicationDirPath()); }

QRect HelpViewer::placement(const QRect& owner, const QSize& wanted, const QRect& area)
{
    QRect r(QPoint(), wanted.boundedTo(area.size()));
    if (owner.isValid() && owner.right() + kGap + r.width() <= area.right())
        r.moveTopLeft(QPoint(owner.right() + kGap, owner.top()));
    else if (owner.isValid() && owner.left() - kGap - r.width() >= area.left())
        r.moveTopRight(QPoint(owner.left() - kGap, owner.top()));
    else
        r.moveTopRight(QPoint(area.right(), owner.isValid() ? owner.top() : area.top()));
    return Screens::within(r, area);
}

void HelpViewer::displayTopic(QWidget* owner, const QString& helpFile, const QString& topic)
{
    State& s = state();
    s.file = helpFile;
    s.topic = topic;
    if (s.registered != helpFile) {
        if (s.window) { // its contents belong to the file it was opened on
            s.window->close();
            s.window.clear();
        }
        if (!s.registered.isEmpty())
            QResource::unregisterResource(s.registered, kRoot);
        s.registered = QResource::registerResource(helpFile, kRoot) ? helpFile : QString();
    }
    const bool placed = s.window && s.window->isVisible();
    if (!s.window)
        s.window = new HelpWindow(kRoot, contentsPage());
    const QString shown = topic.isEmpty() ? contentsPage() : topic;
    const QString page = QLatin1Char(':') + kRoot + QLatin1Char('/') + QUrl(shown).path();
    s.showingPage = !s.registered.isEmpty() && QFileInfo(page).isFile();
    if (s.showingPage)
        s.window->showPage(shown);
    else
        s.window->showMissing(helpFile, topic);

    if (!placed) {
        const QRect area = Screens::available(owner);
        const QMargins frame = Screens::frame(s.window);
        const QRect outer = placement(owner ? owner->frameGeometry() : QRect(), kWanted.grownBy(frame), area);
        s.window->resize(outer.size().shrunkBy(frame));
        s.window->move(outer.topLeft());
    }
    s.window->show();
    s.window->raise();
    s.window->activateWindow();
}

QString HelpViewer::lastFile() { return state().file; }
QString HelpViewer::lastTopic() { return state().topic; }
bool HelpViewer::isShowingPage() { return state().window && state().showingPage; }
HelpWindow* HelpViewer::window() { return state().window; }

void HelpViewer::closeAll()
{
    if (state().window)
        state().window->close();
}

} // namespace platform
