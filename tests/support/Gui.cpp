#include "Gui.h"

#include "TestDb.h"

#include "app/Application.h"
#include "platform/FileDialog.h"
#include "platform/Forms.h"
#include "platform/Program.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace Gui {

namespace {
bool g_ended = false;

// The offscreen platform says, for every window, what it cannot do; nothing a test looks at.
QtMessageHandler g_previousHandler = nullptr;
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.contains(QLatin1String("This plugin does not support")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}
} // namespace

void begin()
{
    static bool prepared = false;
    if (!prepared) {
        g_previousHandler = qInstallMessageHandler(quietOffscreen);
        Application::prepare();
        QApplication::setQuitOnLastWindowClosed(false);
        platform::Program::setEndAction([] { g_ended = true; });
        prepared = true;
    }
    platform::Program::reset();
    settle();
    g_ended = false;
    platform::MsgBox::setScripted(true);
    platform::MsgBox::clear();
    platform::FileDialog::setScripted(true);
    platform::FileDialog::clear();
    TestDb::reset();
}

void end()
{
    platform::Forms::discardAll();
    platform::MsgBox::clear();
    platform::FileDialog::clear();
    settle();
}

void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void activate(QWidget* window)
{
    if (!window)
        return;
    window->activateWindow();
    settle();
    if (!QTest::qWaitForWindowActive(window, 1000))
        qWarning("%s did not become active", qPrintable(window->objectName()));
    settle();
}

platform::Form* form(const QString& name) { return platform::Forms::find(name); }

void press(QWidget* window, const QString& button)
{
    if (auto* b = control<QAbstractButton>(window, button))
        b->click();
    settle();
}

void type(QWidget* window, const QString& box, const QString& text)
{
    if (auto* line = window->findChild<QLineEdit*>(box))
        line->setText(text);
    else if (auto* memo = window->findChild<QPlainTextEdit*>(box))
        memo->setPlainText(text);
    else
        qWarning("no box %s", qPrintable(box));
}

QString text(QWidget* window, const QString& box)
{
    if (auto* line = window->findChild<QLineEdit*>(box))
        return line->text();
    if (auto* memo = window->findChild<QPlainTextEdit*>(box))
        return memo->toPlainText();
    qWarning("no box %s", qPrintable(box));
    return {};
}

const QVector<platform::MsgBox::Shown>& boxes() { return platform::MsgBox::shown(); }

QStringList boxTexts()
{
    QStringList out;
    for (const auto& b : boxes())
        out << b.text;
    return out;
}

void answer(platform::MsgBox::Answer a) { platform::MsgBox::answerNext(a); }

bool programEnded() { return g_ended; }

QStringList loadedWindows() { return platform::Forms::loaded(); }

namespace {
QString screensDir()
{
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/screens");
    QDir().mkpath(dir);
    return dir;
}
} // namespace

void snapshot(const QImage& picture, const QString& name) { picture.save(screensDir() + '/' + name + QStringLiteral(".png")); }

void snapshot(QWidget* window, const QString& name)
{
    const QString dir = screensDir();
    const qreal scale = window->devicePixelRatioF();
    const QString suffix = scale > 1 ? QStringLiteral("@%1x").arg(scale) : QString();
    window->grab().save(dir + '/' + name + suffix + QStringLiteral(".png"));
    // A window the user can resize is looked at at its smallest too.
    if (window->isWindow() && window->minimumSize() != window->maximumSize()) {
        const QSize size = window->size();
        window->resize(1, 1); // as small as its layout lets it be
        settle();
        window->grab().save(dir + '/' + name + QStringLiteral("-min") + suffix + QStringLiteral(".png"));
        window->resize(size);
        settle();
    }
}

} // namespace Gui
