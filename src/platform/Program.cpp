#include "Program.h"

#include "Forms.h"
#include "HelpViewer.h"

#include <QApplication>

namespace platform {

namespace {
struct State {
    int beeps = 0;
    bool ended = false;
    std::function<void()> endAction = [] { QCoreApplication::exit(0); };
};
State& state()
{
    static State s;
    return s;
}
} // namespace

void Program::beep()
{
    ++state().beeps;
    QApplication::beep();
}

int Program::beeps() { return state().beeps; }

void Program::end()
{
    if (state().ended)
        return;
    state().ended = true;
    Forms::discardAll();
    HelpViewer::closeAll();
    if (state().endAction)
        state().endAction();
}

bool Program::hasEnded() { return state().ended; }

void Program::setEndAction(std::function<void()> action) { state().endAction = std::move(action); }

void Program::reset()
{
    Forms::discardAll();
    state().ended = false;
    state().beeps = 0;
}

} // namespace platform
