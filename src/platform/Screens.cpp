#include "Screens.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

namespace platform {

QRect Screens::available(const QWidget* near)
{
    const QWidget* shown = near ? near : QApplication::activeWindow();
    QScreen* screen = shown ? shown->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
}

QMargins Screens::frame(const QWidget* window)
{
    auto framing = [](const QWidget* w) {
        const QRect inner = w->geometry();
        const QRect outer = w->frameGeometry();
        return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom());
    };
    if (window && window->isVisible())
        return framing(window);
    for (const QWidget* other : QApplication::topLevelWidgets())
        if (other != window && other->isVisible() && other->frameGeometry() != other->geometry())
            return framing(other);
    return QMargins(2, 30, 2, 2);
}

QRect Screens::within(const QRect& wanted, const QRect& area)
{
    QRect r(wanted.topLeft(), wanted.size().boundedTo(area.size()));
    if (r.right() > area.right())
        r.moveRight(area.right());
    if (r.bottom() > area.bottom())
        r.moveBottom(area.bottom());
    if (r.left() < area.left())
        r.moveLeft(area.left());
    if (r.top() < area.top())
        r.moveTop(area.top());
    return r;
}

QSize Screens::room(const QWidget* window, const QWidget* near)
{
    return available(near).size().shrunkBy(frame(window));
}

QSize Screens::openWithin(QWidget* window, const QWidget* near)
{
    const QRect area = available(near);
    const QMargins margins = frame(window);
    const QSize room = area.size().shrunkBy(margins);
    if (window->minimumWidth() > room.width() || window->minimumHeight() > room.height())
        window->setMinimumSize(window->minimumSize().boundedTo(room));
    const QSize size = window->size().boundedTo(room).expandedTo(window->minimumSize());
    window->resize(size);
    QRect outer(QPoint(), size.grownBy(margins));
    outer.moveCenter(area.center());
    window->move(within(outer, area).topLeft());
    return room;
}

} // namespace platform
