#pragma once

#include <QDate>
#include <QString>

// The day's copy of an embedded database (store::Backup::daily), begun when the program starts,
// on a thread of its own: the start never waits for it, and it makes no colleague wait either (it
// reads in one read transaction, which blocks no writer). A failure never stops anyone: it is told
// once, to a 系统管理员, when the main window is shown to one.
class DailyCopy {
public:
    // Does nothing for a database on a server, or while a copy is being made.
    static void start(const QDate& today = QDate::currentDate());
    // Until the copy is done. When the program ends the copy is stopped first, leaving nothing.
    static void wait();

    static QString made();    // the copy this start made, if any
    static QString failure(); // what went wrong, until it is told

    // Shows a failure not yet told, once the main window is shown to a 系统管理员.
    static void tell();

    static void reset(); // tests: a fresh start
};
