#pragma once

#include <QMainWindow>
#include <QHash>
#include <functional>

class QAbstractButton;
class QRadioButton;

namespace platform {

// A window of the program, with the lifecycle the windows are written against:
// Form_Load when it is loaded, Form_Activate each time it becomes the program's active window
// (coming back from another application does not count, nor does closing a message box),
// Form_Unload when it is unloaded (also by its close box). Forms (the registry) loads, shows,
// hides and unloads windows.
//
// Handlers are connected through on(): a failure that a handler does not trap itself is shown
// in a message box and the window stays usable.
class Form : public QMainWindow {
    Q_OBJECT
public:
    explicit Form(QWidget* parent = nullptr);
    ~Form() override;

    virtual void Form_Load() { }
    virtual void Form_Activate() { }
    virtual void Form_Unload() { }

    // Whether this window alone keeps the program running (the About box does not).
    virtual bool keepsProgramAlive() const { return true; }

    // The help page of this window (a page of the help file, with an anchor after "#" if any),
    // which F1 opens; without one F1 opens the contents.
    void setHelpTopic(const QString& topic) { m_helpTopic = topic; }
    const QString& helpTopic() const { return m_helpTopic; }
    void showHelp();

    // Runs a piece of a handler; a failure it throws is shown and swallowed.
    static void run(const std::function<void()>& work);
    static void reportFailure(const QString& text);

protected:
    // Connects a signal to a handler of this window; extra signal arguments are dropped.
    template <typename Sender, typename Signal, typename C>
    void on(Sender* sender, Signal signal, void (C::*handler)())
    {
        C* self = static_cast<C*>(this);
        connect(sender, signal, this, [self, handler] { run([self, handler] { (self->*handler)(); }); });
    }
    // Click of an option button: runs when it becomes the chosen one.
    template <typename C>
    void onChosen(QRadioButton* option, void (C::*handler)())
    {
        C* self = static_cast<C*>(this);
        connectChosen(option, [self, handler] { (self->*handler)(); });
    }
    // KeyDown of a control, with the platform key code (13 Enter, 38 Up, 40 Down...). A key
    // that made the handler move the focus goes no further.
    template <typename C>
    void onKeyDown(QWidget* control, void (C::*handler)(int))
    {
        C* self = static_cast<C*>(this);
        m_keyHandlers.insert(control, [self, handler](int key) { (self->*handler)(key); });
        control->installEventFilter(this);
    }

    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void connectChosen(QRadioButton* option, std::function<void()> handler);
    // Before the window is first shown: it opens within the screen that shows `near`; a form that
    // needs more room than that screen has goes into a scroll area, so that the window can
    // shrink to the screen.
    void openWithinScreen(const QWidget* near);

    QHash<QObject*, std::function<void(int)>> m_keyHandlers;
    QString m_helpTopic;
    friend class Forms;
    bool m_unloaded = false;
    bool m_placed = false;
};

} // namespace platform
