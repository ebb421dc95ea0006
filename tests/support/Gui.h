#pragma once

#include "platform/Form.h"
#include "platform/MsgBox.h"

#include <QAbstractButton>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTest>

// Driving the real windows headless: the message boxes are scripted, ending the program is
// recorded, windows are found by their control names.
namespace Gui {

// Once per test: every window registered, a fresh program, scripted boxes, the database reset.
void begin();
// After each test: every window gone, and their deletion delivered.
void end();
// Delivers what the event loop would: posted events, activations, deferred deletes.
void settle();

// Makes a window the active one (as a click on it would) and delivers its activation.
void activate(QWidget* window);

platform::Form* form(const QString& name);

template <typename T>
T* control(QWidget* window, const QString& name)
{
    T* found = window ? window->findChild<T*>(name) : nullptr;
    if (!found)
        qWarning("no control %s in %s", qPrintable(name), window ? qPrintable(window->objectName()) : "(none)");
    return found;
}

// Presses a command button by name (nothing happens when it is disabled, as with a mouse).
void press(QWidget* window, const QString& button);
void type(QWidget* window, const QString& box, const QString& text);
QString text(QWidget* window, const QString& box);

// The boxes shown since begin(), their texts, and answers for the next ones.
const QVector<platform::MsgBox::Shown>& boxes();
QStringList boxTexts();
void answer(platform::MsgBox::Answer answer);

bool programEnded();
QStringList loadedWindows();

// Renders a window to build/screens/<name>.png, to look at, and a resizable window also at its
// smallest size (<name>-min.png); on a scaled screen the names end in @2x and the like.
void snapshot(QWidget* window, const QString& name);
// A picture the program drew (a printed page, a chart), to build/screens/<name>.png.
void snapshot(const QImage& picture, const QString& name);

} // namespace Gui
