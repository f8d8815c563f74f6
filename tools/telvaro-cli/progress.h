#pragma once
// Progress on standard error: when standard error is a terminal, a line
// redrawn at every step that says where the work is ("scan: address 37 of
// 0..250 [####------]"); otherwise a plain line at every tenth of the way,
// so that logs of scripts stay short. Standard output carries the results only.

#include <QString>

#include <cstdio>

namespace cli {

class Progress {
public:
    explicit Progress(std::FILE *out = stderr);

    // What the steps are: addresses from `first` on, meters, or search steps.
    enum class Counting { Addresses, Meters, Steps };
    // What is being done ("scan", "read", "search").
    void setTask(const QString &task, Counting counting = Counting::Steps, int first = 0);
    // The operations' progressChanged(minimum, maximum, value, visible).
    void show(int minimum, int maximum, int value, bool visible);
    // A line of its own (a message, or the communication log with --verbose),
    // printed without disturbing the bar.
    void line(const QString &text);
    // A line that only informs (a summary of work that went well): left out
    // when quiet, as the bar and the steps are.
    void note(const QString &text);

    // --quiet: errors only, for cron, which mails whatever is said.
    void setQuiet(bool quiet) { m_quiet = quiet; }

    bool terminal() const { return m_terminal; }

private:
    void clearBar();

    std::FILE *m_out;
    bool m_terminal = false;
    bool m_barShown = false;
    bool m_quiet = false;
    QString m_task;
    Counting m_counting = Counting::Steps;
    int m_first = 0;
    int m_lastTenth = -1;
};

} // namespace cli
