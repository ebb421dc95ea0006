#pragma once

#include <functional>

namespace platform {

// The program as a whole: the system beep, and ending at once.
class Program {
public:
    static void beep();
    static int beeps(); // how many times the program has beeped (tests)

    // Ends the program at once: every window goes without its unload handler, then the event
    // loop stops. Also what happens when the last window is unloaded.
    static void end();
    static bool hasEnded();

    // Test seam: what ending does after the windows are gone (the program quits the event
    // loop; a test records it instead), and a fresh start for the next test.
    static void setEndAction(std::function<void()> action);
    static void reset();
};

} // namespace platform
