#pragma once
// The communication log as the bus and socket work sees it: lines are only
// ever appended. The main window's memo implements it.

#include <QString>

class CommLog {
public:
    virtual ~CommLog() = default;
    virtual void addLine(const QString &line) = 0;
};
