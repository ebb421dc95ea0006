#pragma once

#include <QString>

// The sign-in texts, shared by every window for the whole run.
struct BasVal {
    // The signed-in staff user's name as typed (trimmed), or the signed-in student's number.
    static QString UserName;
    // The signed-in staff user's type, the trimmed style of the account.
    static QString UserStyle;
    // The last statement built by the user-defined query window.
    static QString QueryStatement;
};
