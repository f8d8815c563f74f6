#include "read_run.h"

#include "commands.h"
#include "parsers.h"

#include <algorithm>

namespace display {

ReadRun::ReadRun(BusSession &session, Table &devices, Table &history, QObject *parent)
    : Operation(session, parent), m_devices(devices), m_history(history)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ReadRun::onTick);
}

bool ReadRun::begin(const QString &title)
{
    if (!takeBus(title))
        return false;
    // The display's own lines tell how a run went; the summary only a stop.
    m_summary.counted = false;
    m_summary.quiet = true;
    m_steps.clear();
    m_sent = 0;
    return true;
}

void ReadRun::readDisplay(bool thenHistory)
{
    if (!begin(thenHistory ? tr("Get all memory data") : tr("Read data from the display")))
        return;
    m_thenHistory = thenHistory;
    m_historyPart = false;
    m_steps.push_back(
        {kGetAddr, QString(), false, [this](const QByteArray &reply) { addressesArrived(reply); }, QString()});
    sendNext();
}

void ReadRun::addressesArrived(const QByteArray &reply)
{
    const AddressList list = parseAddressList(reply);
    for (const QString &line : list.logLines)
        m_session.log.addLine(line);
    if (!list.found || list.addresses.isEmpty()) {
        // The tables stay as they were.
        m_session.log.addLine(QStringLiteral("Sorry, no active addresses in memory..."));
        m_steps.clear();
        return;
    }
    std::vector<QStringList> devices, history;
    for (const QString &address : list.addresses) {
        QStringList d(TevColumns, QString()), h(HistColumns, QString());
        d[TevAddress] = h[HistAddress] = address;
        devices.push_back(d);
        history.push_back(h);
    }
    m_devices.setRows(devices);
    m_history.setRows(history);
    for (const QString &address : list.addresses)
        queueEntryRequests(address);
    m_steps.push_back({QByteArray(), QString(), false, [this](const QByteArray &) { rowsDone(); }, QString()});
}

void ReadRun::queueEntryRequests(const QString &a)
{
    const auto inBoth = [this, a](int tevColumn, int historyColumn, const QString &text) {
        for (int r : m_devices.rowsWithAddress(a))
            m_devices.setCell(r, tevColumn, text);
        if (historyColumn >= 0)
            for (int r : m_history.rowsWithAddress(a))
                m_history.setCell(r, historyColumn, text);
    };
    m_steps.push_back({command("GET ENTR", {a, QStringLiteral("1")}), QString(), true,
                       [inBoth](const QByteArray &reply) {
                           if (const auto e = parseEntry(reply)) {
                               inBoth(TevMultDiv, HistMultDiv, e->multDiv);
                               inBoth(TevStartMain, HistStart, e->start);
                               inBoth(TevUnit, HistUnit, e->unit);
                               inBoth(TevTotal, HistTotal, e->total);
                           }
                       },
                       a});
    m_steps.push_back({command("GET ENTR", {a, QStringLiteral("2")}), QString(), true,
                       [inBoth](const QByteArray &reply) {
                           if (const auto u = parseUser(reply)) {
                               inBoth(TevUserNumber, HistUserNumber, u->number);
                               inBoth(TevFreeText, HistFreeText, u->text);
                           }
                       },
                       a});
    // The start value of a secondary counter comes with its total, so a table
    // read and written back sends every start value as the display holds it.
    const auto tariff = [this, a](int startColumn, int tevColumn, int historyColumn) {
        return [this, a, startColumn, tevColumn, historyColumn](const QByteArray &reply) {
            const auto tariff = parseTariff(reply);
            if (!tariff)
                return;
            for (int r : m_devices.rowsWithAddress(a)) {
                m_devices.setCell(r, startColumn, tariff->start);
                m_devices.setCell(r, tevColumn,
                                  historyColumn >= 0 ? tariff->total + QStringLiteral(" m3") : tariff->total);
            }
            if (historyColumn >= 0)
                for (int r : m_history.rowsWithAddress(a))
                    m_history.setCell(r, historyColumn, tariff->total);
        };
    };
    m_steps.push_back({command("GET TARR", {a, QStringLiteral("0")}),
                       QStringLiteral("Reading Pulse Input 1 of device ") + a + QStringLiteral("..."), false,
                       tariff(TevStartP1, TevTotalP1, HistTotalP1), a});
    m_steps.push_back({command("GET TARR", {a, QStringLiteral("1")}), QString(), false,
                       tariff(TevStartP2, TevTotalP2, HistTotalP2), a});
    m_steps.push_back({command("GET TARR", {a, QStringLiteral("3")}),
                       QStringLiteral("Reading Cooling/T4 value of device ") + a + QStringLiteral("..."), false,
                       tariff(TevStartCooling, TevTotalCooling, -1), a});
}

void ReadRun::rowsDone()
{
    m_devices.dropEmptyLastRow();
    m_history.dropEmptyLastRow();
    if (m_thenHistory) {
        m_thenHistory = false; // one history read per "Get all memory data"
        queueHistory(QStringLiteral("ALL"));
    }
}

void ReadRun::readHistory(const QString &month)
{
    if (!begin(tr("Get historical values")))
        return;
    m_historyPart = false;
    queueHistory(month);
    sendNext();
}

void ReadRun::queueHistory(const QString &month)
{
    m_historyPart = true;
    if (m_history.rowCount() == 1 && m_history.cell(1, HistAddress).isEmpty()) {
        m_session.log.addLine(QStringLiteral("Read main data first or load file..."));
        return;
    }
    if (month == QLatin1String("ALL")) {
        m_progress = 0;
        m_progressMax = m_history.rowCount() * 12;
        emit progressChanged(0, m_progressMax, 0, true);
        for (int r = 1; r <= m_history.rowCount(); ++r) {
            const QString a = m_history.cell(r, HistAddress);
            if (a.isEmpty())
                continue;
            for (int k = 1; k <= 12; ++k)
                m_steps.push_back({command("GET HIST", {a, QString::number(k)}), QString(), false,
                                   [this, a](const QByteArray &reply) {
                                       if (!reply.isEmpty())
                                           writeHistory(a, reply);
                                       advanceProgress();
                                   },
                                   a});
        }
        m_steps.push_back(
            {QByteArray(), QString(), false, [this](const QByteArray &) { m_history.dropEmptyLastRow(); }, QString()});
        return;
    }
    const int wanted = monthColumn(month);
    if (wanted == 0)
        return;
    for (int r = 1; r <= m_history.rowCount(); ++r) {
        const QString a = m_history.cell(r, HistAddress);
        if (deviceAddress(a))
            queueOneMonth(a, wanted);
    }
}

void ReadRun::queueOneMonth(const QString &a, int wanted)
{
    m_steps.push_back({command("GET HIST", {a, QStringLiteral("1")}), QString(), false,
                       [this, a, wanted](const QByteArray &reply) {
                           const auto first = parseHistory(reply);
                           if (!first || first->column == 0) {
                               m_session.log.addLine(QStringLiteral("No history values saved yet for address ") + a);
                               return;
                           }
                           if (first->column == wanted) {
                               writeHistory(a, reply);
                               return;
                           }
                           // The record of the wanted month, asked on every route.
                           const int k = historyRecordFor(first->column, wanted);
                           m_steps.push_front({command("GET HIST", {a, QString::number(k)}), QString(), false,
                                               [this, a](const QByteArray &second) { writeHistory(a, second); }, a});
                       },
                       a});
}

void ReadRun::writeHistory(const QString &address, const QByteArray &reply)
{
    QString problem;
    const auto record = parseHistory(reply, &problem);
    if (!problem.isEmpty())
        m_session.log.addLine(problem);
    if (!record || record->empty || record->column == 0)
        return;
    for (int r : m_history.rowsWithAddress(address))
        m_history.setCell(r, record->column, record->value, record->date);
}

int ReadRun::requestsLeft() const
{
    return int(std::count_if(m_steps.begin(), m_steps.end(), [](const Step &s) { return !s.command.isEmpty(); }));
}

void ReadRun::advanceProgress()
{
    if (m_progress < m_progressMax)
        emit progressChanged(0, m_progressMax, ++m_progress, true);
}

void ReadRun::sendNext()
{
    // Steps without a command are bookkeeping between the requests.
    while (!m_steps.empty() && m_steps.front().command.isEmpty()) {
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        step.done(QByteArray());
    }
    if (m_steps.empty()) {
        end();
        return;
    }
    m_current = std::move(m_steps.front());
    m_steps.pop_front();
    if (!m_historyPart) // the history has a bar of its own, by month
        emit progressChanged(0, m_sent + requestsLeft(), m_sent, true);
    ++m_sent;
    m_session.link.discardPendingReply();
    m_session.link.sendText(m_current.command);
    if (!m_current.logAfterSend.isEmpty())
        m_session.log.addLine(m_current.logAfterSend);
    m_timer.start(m_session.options().responseTimeoutMs);
}

void ReadRun::onTick()
{
    if (!running() || m_session.link.linkGone()) // a link that went away ends the run from the event loop
        return;
    BusSession &s = m_session;
    if (s.link.route() == LinkRoute::Serial && !s.link.serialPortOpen()) {
        s.log.addLine(QStringLiteral("No valid physical connection..."));
        end();
        return;
    }
    QByteArray reply = s.link.collectReply();
    s.link.discardPendingReply();
    if (s.link.linkGone())
        return;
    if (!reply.isEmpty())
        s.log.addLine(fromDisplayBytes(reply));
    else if (m_current.logEmpty || !m_current.device.isEmpty())
        s.log.addLine(m_current.device.isEmpty() ? tr("No reply from the display")
                                                 : tr("No reply from the display for device %1").arg(m_current.device));
    // A late reply to an earlier request names its own device: it fills no row.
    const std::optional<QString> named = replyDevice(reply);
    if (named && !m_current.device.isEmpty() && *named != m_current.device) {
        s.log.addLine(tr("The reply names device %1, not device %2: not used...").arg(*named, m_current.device));
        reply.clear();
    }
    m_current.done(reply);
    sendNext();
}

} // namespace display
