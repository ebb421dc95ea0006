#pragma once

#include <QMargins>
#include <QRect>

class QWidget;

namespace platform {

// Where windows go: every window opens wholly within the available area (the screen less its
// panels) of the screen that shows the program, whatever its size or scale.
class Screens {
public:
    // The available area of the screen that shows `near`, or the program's active window, or
    // the primary screen.
    static QRect available(const QWidget* near = nullptr);

    // The frame that the window system draws around a window (title bar and borders): the
    // window's own once it has been shown, before that the one of a window already shown, or a
    // title bar's height when there is none.
    static QMargins frame(const QWidget* window);

    // The room a window has on the screen that shows `near`: the available area less its frame.
    static QSize room(const QWidget* window, const QWidget* near);

    // `wanted` (a frame's rectangle) moved, and shrunk where it must, to lie wholly within `area`.
    static QRect within(const QRect& wanted, const QRect& area);

    // Before a window is first shown: its size (and its smallest size) bounded by the available
    // area less its frame, centred on that area. Returns the room a window has on that screen.
    static QSize openWithin(QWidget* window, const QWidget* near);
};

} // namespace platform
