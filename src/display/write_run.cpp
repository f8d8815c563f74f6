#include "write_run.h"

#include "commands.h"
#include "parsers.h"

namespace display {

WriteRun::WriteRun(BusSession &session, Table &table, QObject *parent) : Operation(session, parent), m_table(table)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (running())
            tick();
    });
}

int WriteRun::firstPhase() const
{
    for (int p = 0; p < PhaseCount; ++p)
        if (m_plan[std::size_t(p)])
            return p;
    return -1;
}

void WriteRun::start(Kind kind)
{
    if (running() || !m_session.permits(Right::Display))
        return;
    const bool noTable = m_table.rowCount() == 1 && m_table.cell(1, TevAddress).isEmpty();
    if (noTable)
        return;
    // Without a selected row a run would never find a row to end on.
    if (!m_table.anySelected()) {
        m_session.log.addLine(tr("No row of the display table is selected, nothing to do..."));
        return;
    }
    const QString title = kind == Kind::Write    ? tr("Write table to the display")
                          : kind == Kind::Delete ? tr("Delete devices from the display")
                                                 : tr("Zero start values in the display");
    m_kind = kind; // before the run shows as running: its button depends on it
    if (!takeBus(title))
        return;
    // The display's own lines tell how a run went; the summary only a stop.
    m_summary.counted = false;
    m_summary.quiet = true;
    m_plan.fill(false);
    switch (kind) {
    case Kind::Write:
        std::fill(m_plan.begin(), m_plan.begin() + Delete, true);
        m_progressMax = m_table.rowCount() * 10;
        break;
    case Kind::Delete:
        m_plan[Delete] = true;
        m_progressMax = m_table.rowCount();
        break;
    case Kind::ZeroStart:
        m_plan[ZeroStart] = true;
        m_progressMax = m_table.rowCount();
        break;
    }
    m_row = 1;
    m_retry = 0;
    m_progress = 0;
    skipUnselected();
    emit progressChanged(0, m_progressMax, 0, true);
    sendRow();
    m_timer.setInterval(m_session.options().responseTimeoutMs);
    m_timer.start();
}

void WriteRun::onStop()
{
    if (!m_asked.isEmpty())
        m_summary.unconfirmed
            << tr("%1 was sent to device %2 but not confirmed").arg(fromDisplayBytes(m_askedWhat), m_asked);
    m_asked.clear();
}

void WriteRun::skipUnselected()
{
    while (m_row <= m_table.rowCount() && !m_table.selected(m_row))
        ++m_row;
}

void WriteRun::tick()
{
    BusSession &s = m_session;
    const QByteArray reply = s.link.collectReply();
    s.link.discardPendingReply();
    if (s.link.linkGone())
        return; // the run ends from the event loop
    if (!reply.isEmpty())
        s.log.addLine(fromDisplayBytes(reply));
    else if (!m_asked.isEmpty())
        s.log.addLine(tr("No reply from the display for device %1").arg(m_asked));
    m_asked.clear();

    if (firstPhase() == Activate) {
        const bool confirmed = reply.contains("Active") || reply.contains("Already");
        if (confirmed || ++m_retry > s.options().retries) {
            m_retry = 0;
            ++m_row;
        }
    } else {
        m_retry = 0;
        ++m_row;
    }
    if (m_progress < m_progressMax)
        emit progressChanged(0, m_progressMax, ++m_progress, true);
    skipUnselected();

    if (m_row > m_table.rowCount()) {
        // The phase is done: the next one starts at the next tick, with row 1.
        if (const int done = firstPhase(); done >= 0)
            m_plan[std::size_t(done)] = false;
        m_row = 0;
        if (firstPhase() < 0) {
            m_timer.stop(); // every reply is in: nothing is awaited any more
            end();
        }
        return;
    }
    sendRow();
}

void WriteRun::sendRow()
{
    BusSession &s = m_session;
    const int phase = firstPhase();
    const QString addressText = m_table.cell(m_row, TevAddress);
    if (addressText.isEmpty()) {
        s.log.addLine(QStringLiteral("Error in device address at row ") + QString::number(m_row));
        return;
    }
    if (!deviceAddress(addressText)) {
        s.log.addLine(QStringLiteral("Error in device address at row ") + QString::number(m_row)
                      + QStringLiteral(", skipping"));
        return;
    }
    const QString a = addressText;
    const auto send = [&](const char *keyword, const QStringList &args, const QString &line) {
        m_askedWhat = command(keyword, args);
        s.link.sendText(m_askedWhat);
        s.log.addLine(line);
        m_asked = a;
    };
    // Start values: an empty cell or a text that is no number is skipped, never sent as 0.
    const auto sendStart = [&](const char *keyword, int column, const QString &what, const QString &logged) {
        const QString cell = m_table.cell(m_row, column);
        if (cell.trimmed().isEmpty()) {
            s.log.addLine(tr("No initial value %1in the table for device %2, not written...").arg(what, a));
            return;
        }
        const std::optional<QString> value = startValue(cell);
        if (!value) {
            s.log.addLine(QStringLiteral("Error in initial value ") + what + QStringLiteral("of device ") + a
                          + QStringLiteral(", skipping"));
            return;
        }
        send(keyword, {a, *value},
             QStringLiteral("Setting initial value ") + logged + QStringLiteral("of device ") + a
                 + QStringLiteral("..."));
    };
    switch (phase) {
    case Activate:
        send("SET ENTR", {a}, QStringLiteral("Activating device ") + a + QStringLiteral("..."));
        break;
    case Unit:
        if (const auto code = unitCode(m_table.cell(m_row, TevUnit)))
            send("SET UNIT", {a, *code}, QStringLiteral("Setting unit of device ") + a + QStringLiteral("..."));
        else
            s.log.addLine(QStringLiteral("Skipping unit of device ") + a + QStringLiteral("...wrong"));
        break;
    case Multiplier:
    case Divider: {
        const MultDiv split = splitMultDiv(m_table.cell(m_row, TevMultDiv));
        QString value = phase == Multiplier ? split.multiplier : split.divider;
        if (value.isEmpty())
            value = QStringLiteral("0");
        const QString name = phase == Multiplier ? QStringLiteral("multiplier") : QStringLiteral("divider");
        if (value.size() > 4)
            s.log.addLine(QStringLiteral("Skipping ") + name + QStringLiteral(" of device ") + a
                          + QStringLiteral("...wrong"));
        else
            send(phase == Multiplier ? "SET CONM" : "SET COND", {a, value},
                 QStringLiteral("Setting ") + name + QStringLiteral(" of device ") + a + QStringLiteral("..."));
        break;
    }
    case Initial:
        sendStart("SET INIT", TevStartMain, QString(), QString());
        break;
    case InitialP1:
        sendStart("SET INI1", TevStartP1, QStringLiteral("P1 "), QStringLiteral("P1 "));
        break;
    case InitialP2:
        sendStart("SET INI2", TevStartP2, QStringLiteral("P2 "), QStringLiteral("P2 "));
        break;
    case SecondMain:
        sendStart(ruxtModel() ? "SET INI3" : "SET INI4", TevStartCooling, QStringLiteral("second main (cooling) "),
                  QStringLiteral("Cooling "));
        break;
    case UserNumber: {
        const QString number = m_table.cell(m_row, TevUserNumber);
        if (number.isEmpty() || number.size() >= 5)
            s.log.addLine(QStringLiteral("Skipping user number of device ") + a + QStringLiteral("...wrong"));
        else
            send("SET NUMB", {a, number}, QStringLiteral("Setting user number of device ") + a + QStringLiteral("..."));
        break;
    }
    case FreeText:
        send("SET TEXT", {a, freeText(m_table.cell(m_row, TevFreeText))},
             QStringLiteral("Setting free text of device ") + a + QStringLiteral("..."));
        break;
    case Delete:
        m_askedWhat = QByteArray("DEL ENTR=") + a.toLatin1();
        s.link.sendText(m_askedWhat);
        s.log.addLine(QStringLiteral("Deleting device ") + a + QStringLiteral("..."));
        m_asked = a;
        break;
    case ZeroStart:
        send("SET DELP", {a, QStringLiteral("0")},
             QStringLiteral("Zeroing start value of device ") + a + QStringLiteral("..."));
        break;
    default:
        break;
    }
}

} // namespace display
