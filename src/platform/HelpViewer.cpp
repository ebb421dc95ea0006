#include "HelpViewer.h"

#include <QFileInfo>
#include <QPointer>
#include <QResource>
#include <QTextBrowser>
#include <QUrl>

namespace platform {

namespace {
struct State {
    QString file, topic, registered;
    QPointer<QTextBrowser> window;
    bool showingPage = false;
};
State& state()
{
    static State s;
    return s;
}
const QString kRoot = QStringLiteral("/help");
} // namespace

void HelpViewer::displayTopic(QWidget* owner, const QString& helpFile, const QString& topic)
{
    State& s = state();
    s.file = helpFile;
    s.topic = topic;
    if (s.registered != helpFile) {
        if (!s.registered.isEmpty())
            QResource::unregisterResource(s.registered, kRoot);
        s.registered = QResource::registerResource(helpFile, kRoot) ? helpFile : QString();
    }
    if (!s.window) {
        s.window = new QTextBrowser;
        s.window->setAttribute(Qt::WA_DeleteOnClose);
        s.window->setObjectName(QStringLiteral("helpViewer"));
        s.window->setWindowTitle(QStringLiteral("Orlenta 帮助"));
        s.window->setOpenExternalLinks(false);
        s.window->resize(720, 560);
    }
    const QString page = QStringLiteral(":") + kRoot + QStringLiteral("/") + topic;
    s.showingPage = !s.registered.isEmpty() && QFileInfo::exists(page);
    if (s.showingPage) {
        s.window->setSearchPaths({ QStringLiteral(":") + kRoot });
        s.window->setSource(QUrl(QStringLiteral("qrc:") + kRoot + QStringLiteral("/") + topic));
    } else {
        s.window->setHtml(QStringLiteral("<h3>无法显示帮助</h3><p>找不到帮助文件“%1”或其中的主题“%2”。</p>")
                              .arg(helpFile.toHtmlEscaped(), topic.toHtmlEscaped()));
    }
    if (owner)
        s.window->move(owner->geometry().topRight() + QPoint(16, 0));
    s.window->show();
    s.window->raise();
}

QString HelpViewer::lastFile() { return state().file; }
QString HelpViewer::lastTopic() { return state().topic; }
bool HelpViewer::isShowingPage() { return state().window && state().showingPage; }

void HelpViewer::closeAll()
{
    if (state().window)
        state().window->close();
}

} // namespace platform
