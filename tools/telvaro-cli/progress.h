#pragma once
// Progress on standard error: a bar redrawn in place when standard error is a
// terminal, otherwise a plain line at every tenth of the way, so that logs of
// scripts stay short. Standard output carries the results only.

#include <QString>

#include <cstdio>

namespace cli {

class Progress {
public:
    explicit Progress(std::FILE *out = stderr);

    // What is being done ("scan", "read", "search").
    void setTask(const QString &task);
    // The operations' progressChanged(minimum, maximum, value, visible).
    void show(int minimum, int maximum, int value, bool visible);
    // A line of its own (a message, or the communication log with --verbose),
    // printed without disturbing the bar.
    void line(const QString &text);

    bool terminal() const { return m_terminal; }

private:
    void clearBar();

    std::FILE *m_out;
    bool m_terminal = false;
    bool m_barShown = false;
    QString m_task;
    int m_lastTenth = -1;
};

} // namespace cli
