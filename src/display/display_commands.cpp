#include "display_commands.h"

#include "commands.h"

#include <algorithm>

namespace display {

DisplayCommands::DisplayCommands(BusSession &session, QObject *parent) : Operation(session, parent)
{
    m_replyTimer.setSingleShot(true);
    m_infoTimer.setSingleShot(true);
    connect(&m_replyTimer, &QTimer::timeout, this, &DisplayCommands::onReply);
    connect(&m_infoTimer, &QTimer::timeout, this, &DisplayCommands::onReply);
    connect(this, &Operation::runningChanged, this, [this](bool running) {
        if (!running) {
            m_pending.clear();
            m_info = false;
        }
    });
}

void DisplayCommands::run(const QString &title, std::deque<Step> exchanges)
{
    const bool writes = std::any_of(exchanges.begin(), exchanges.end(),
                                    [](const Step &e) { return !e.command.startsWith("GET "); });
    if (writes && !m_session.permits(Right::Display))
        return;
    if (!takeBus(title))
        return;
    // The display's own lines tell how it went; the summary only a stop.
    m_summary.counted = false;
    m_summary.quiet = true;
    m_pending = std::move(exchanges);
    m_total = int(m_pending.size());
    sendNext();
}

void DisplayCommands::sendNext()
{
    if (m_pending.empty()) {
        end();
        return;
    }
    emit progressChanged(0, m_total, m_total - int(m_pending.size()), true);
    const Step e = m_pending.front();
    m_pending.pop_front();
    m_session.link.discardPendingReply();
    // On the serial port the line comes first, as the command goes out at once.
    const bool lineFirst = e.logBeforeSend || m_session.link.route() == LinkRoute::Serial;
    if (lineFirst && !e.logLine.isEmpty())
        m_session.log.addLine(e.logLine);
    m_sent = e.command;
    m_session.link.sendText(e.command);
    if (!lineFirst && !e.logLine.isEmpty())
        m_session.log.addLine(e.logLine);
    m_collect = e.collect;
    QTimer &timer = m_info ? m_infoTimer : m_replyTimer;
    timer.start(m_session.options().responseTimeoutMs);
}

void DisplayCommands::onStop()
{
    const bool waiting = m_replyTimer.isActive() || m_infoTimer.isActive();
    if (waiting && !m_sent.startsWith("GET "))
        m_summary.unconfirmed << tr("%1 was sent to the display but not confirmed").arg(fromDisplayBytes(m_sent));
}

void DisplayCommands::onReply()
{
    if (!running())
        return;
    QByteArray reply = m_session.link.collectReply();
    m_session.link.discardPendingReply();
    if (m_session.link.linkGone())
        return; // the commands end from the event loop
    if (!m_collect) {
        // nothing to log
    } else if (reply.isEmpty()) {
        m_session.log.addLine(tr("No reply from the display"));
    } else if (m_info) {
        if (reply.endsWith("\r\n"))
            reply.chop(2);
        else if (reply.endsWith('\n'))
            reply.chop(1);
        emit infoText(fromDisplayBytes(reply));
    } else if (!reply.isEmpty()) {
        m_session.log.addLine(fromDisplayBytes(reply));
    }
    sendNext();
}

void DisplayCommands::getInfo()
{
    if (running() || m_session.busy()) {
        m_session.begin(); // says why nothing starts
        return;
    }
    m_info = true;
    emit infoCleared();
    run(tr("Get info"), {{kGetMain, QString()}, {kGetServ, QString()}, {kGetAddr, QString()}});
    if (!running())
        m_info = false;
}

void DisplayCommands::setDateTime(const QDateTime &now)
{
    run(tr("Set date and time of the display"),
        {{dateCommand(now.date()), QStringLiteral("Setting date of TEV-K40...")},
         {timeCommand(now.time()), QStringLiteral("Setting time of TEV-K40..."), true}});
}

void DisplayCommands::setRefresh(const QString &seconds)
{
    if (seconds.isEmpty())
        return;
    const std::optional<QByteArray> command = refreshCommand(seconds);
    if (!command) {
        m_session.log.addLine(QStringLiteral("Wrong value for refresh time of TEV-K40..."));
        return;
    }
    run(tr("Set refresh time of the display"),
        {{*command, QStringLiteral("Setting refresh time of TEV-K40..."), true}});
}

void DisplayCommands::createSortTable()
{
    // Its answer is not collected, but the next command must not follow at
    // once: commands have no terminator and would run together.
    run(tr("Create sort table"),
        {{kSetSort, QStringLiteral("Creating sort table in TEV-K40, please wait..."), true, false}});
}

void DisplayCommands::sort(int type)
{
    if (type != 0 && type != 1) {
        m_session.log.addLine(QStringLiteral("No sort type selected, aborting..."));
        return;
    }
    run(tr("Sort the display's table"), {{QByteArray("SET SRTP=") + QByteArray::number(type),
                                          type == 1 ? QStringLiteral("Sorting RUX-CENTRAL by user number...")
                                                    : QStringLiteral("Sorting RUX-CENTRAL by address...")}});
}

void DisplayCommands::updateReadings()
{
    run(tr("Update readings of the display"), {{kSetRead, QStringLiteral("Updating readings of TEV-K40...")}});
}

} // namespace display
