#pragma once
// The communication log as the bus and socket work sees it: lines are only
// ever appended. The main window's memo implements it.

#include <QString>

#include <algorithm>

class CommLog {
public:
    virtual ~CommLog() = default;
    virtual void addLine(const QString &line) = 0;
};

// A line as the log shows and saves it: bytes below 0x20 (but tab and line
// breaks) and 0x7F become \xNN, so a garbage reply cannot put raw control
// bytes into the view or the saved file.
inline QString printableLogLine(const QString &line)
{
    const auto control = [](QChar c) {
        return (c.unicode() < 0x20 && c != u'\t' && c != u'\r' && c != u'\n') || c.unicode() == 0x7F;
    };
    if (std::none_of(line.begin(), line.end(), control))
        return line;
    QString out;
    out.reserve(line.size() + 16);
    for (QChar c : line)
        out += control(c) ? QStringLiteral("\\x") + QString::number(c.unicode(), 16).rightJustified(2, u'0').toUpper()
                          : QString(c);
    return out;
}
