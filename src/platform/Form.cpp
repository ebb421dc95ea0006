#include "Form.h"

#include "Forms.h"
#include "HelpViewer.h"
#include "KeyCode.h"
#include "MsgBox.h"
#include "Screens.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QRadioButton>
#include <QScrollArea>
#include <exception>

namespace platform {

Form::Form(QWidget* parent)
    : QMainWindow(parent)
{
    auto* help = new QAction(this);
    help->setObjectName(QStringLiteral("helpKey"));
    help->setShortcut(QKeySequence(Qt::Key_F1));
    help->setShortcutContext(Qt::WindowShortcut);
    addAction(help);
    connect(help, &QAction::triggered, this, [this] { run([this] { showHelp(); }); });
}

void Form::showHelp() { HelpViewer::displayTopic(this, HelpViewer::helpFile(), m_helpTopic); }

void Form::openWithinScreen(const QWidget* near)
{
    const bool fixed = minimumSize() == maximumSize();
    const QSize needs = minimumSizeHint();
    const QSize room = Screens::room(this, near);
    if (!fixed && centralWidget() && (needs.width() > room.width() || needs.height() > room.height())) {
        QWidget* focus = focusWidget();
        auto* scroll = new QScrollArea;
        scroll->setObjectName(QStringLiteral("scroll"));
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setWidget(takeCentralWidget());
        setCentralWidget(scroll);
        setMinimumSize(needs.boundedTo(room));
        if (focus)
            focus->setFocus();
    }
    Screens::openWithin(this, near);
}

Form::~Form() = default;

void Form::reportFailure(const QString& text) { MsgBox::show(text, QString(), MsgBox::Icon::Critical); }

void Form::run(const std::function<void()>& work)
{
    try {
        work();
    } catch (const std::exception& error) {
        reportFailure(QString::fromUtf8(error.what()));
    }
}

void Form::connectChosen(QRadioButton* option, std::function<void()> handler)
{
    connect(option, &QRadioButton::toggled, this, [handler](bool checked) {
        if (checked)
            run(handler);
    });
}

bool Form::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        Forms::activated(this);
    return QMainWindow::event(event);
}

bool Form::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto handler = m_keyHandlers.constFind(watched);
        if (handler != m_keyHandlers.constEnd()) {
            const int key = keyCode(static_cast<QKeyEvent*>(event)->key());
            QWidget* window = static_cast<QWidget*>(watched)->window();
            QWidget* before = window->focusWidget();
            run([&] { (*handler)(key); });
            if (window->focusWidget() != before)
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form::closeEvent(QCloseEvent* event)
{
    Forms::unload(this);
    event->accept();
}

} // namespace platform
