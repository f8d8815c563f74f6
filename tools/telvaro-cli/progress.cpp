#include "progress.h"

#include <QCoreApplication>

#include <algorithm>

#include <unistd.h>

namespace cli {

namespace {
constexpr int kBarWidth = 30;
}

Progress::Progress(std::FILE *out) : m_out(out), m_terminal(::isatty(::fileno(out)) == 1) {}

void Progress::setTask(const QString &task, Counting counting, int first)
{
    m_task = task;
    m_counting = counting;
    m_first = first;
    m_lastTenth = -1;
}

void Progress::clearBar()
{
    if (!m_barShown)
        return;
    std::fputs("\r\033[K", m_out);
    m_barShown = false;
}

void Progress::show(int minimum, int maximum, int value, bool visible)
{
    if (m_quiet)
        return;
    const int span = std::max(1, maximum - minimum);
    const int done = std::clamp(value - minimum, 0, span);
    if (!visible) {
        clearBar();
        std::fflush(m_out);
        return;
    }
    if (m_terminal) {
        const int filled = done * kBarWidth / span;
        const QString bar = QString(filled, u'#') + QString(kBarWidth - filled, u'-');
        const auto tr = [](const char *text) { return QCoreApplication::translate("telvaro-cli", text); };
        QString where;
        switch (m_counting) {
        case Counting::Addresses:
            where = tr("address %1 of %2..%3").arg(m_first + done).arg(m_first).arg(m_first + span);
            break;
        case Counting::Meters:
            where = tr("meter %1 of %2").arg(done).arg(span);
            break;
        case Counting::Steps:
            where = tr("step %1 of %2").arg(done).arg(span);
            break;
        }
        std::fprintf(m_out, "\r\033[K%s: %s [%s]", qPrintable(m_task), qPrintable(where), qPrintable(bar));
        m_barShown = true;
    } else {
        const int tenth = done * 10 / span;
        if (tenth == m_lastTenth)
            return;
        m_lastTenth = tenth;
        std::fprintf(m_out, "%s: %d%%\n", qPrintable(m_task), tenth * 10);
    }
    std::fflush(m_out);
}

void Progress::line(const QString &text)
{
    clearBar();
    std::fprintf(m_out, "%s\n", text.toLocal8Bit().constData());
    std::fflush(m_out);
}

void Progress::note(const QString &text)
{
    if (!m_quiet)
        line(text);
}

} // namespace cli
