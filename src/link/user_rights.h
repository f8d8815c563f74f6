#pragma once
// What the logged-in user may change. Every operation that changes a meter or
// the display, or sends bytes typed by hand, asks here where it runs, so no
// way round its button (a pop-up menu, a shortcut) gets past it. Without a
// login (the command line, tests of the operations) everything is allowed.

#include <QString>

enum class Right {
    Devices, // "Allow setting devices": meter settings, auto addressing, the custom command
    Display, // "Allow setting display": writes to the display/concentrator
};

struct UserRights {
    bool devices = true;
    bool display = true;

    bool grants(Right right) const { return right == Right::Devices ? devices : display; }
};

// The log line of a refused action.
QString refusalLine(Right right);
