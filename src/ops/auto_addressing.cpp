#include "auto_addressing.h"

#include "meter_commands.h"

AutoAddressing::AutoAddressing(BusSession &session, MeterCommands &commands, QObject *parent)
    : QObject(parent), m_session(session), m_commands(commands)
{
    connect(&m_session, &BusSession::aborted, this, &AutoAddressing::stop);
    m_session.timers.autoAddress.setInterval(100);
    connect(&m_session.timers.autoAddress, &QTimer::timeout, this, &AutoAddressing::tick);
}

void AutoAddressing::start(int firstAddress)
{
    if (running() || !m_session.begin())
        return;
    m_next = firstAddress;
    m_row = 1;
    m_session.autoAddressingActive = true;
    emit runningChanged(true);
    addressRow();
}

void AutoAddressing::addressRow()
{
    m_session.showSelectedMeter(m_session.table.selectionAt(m_row).value_or(decode::MeterSelection()));
    emit addressChosen(m_next);
    m_commands.setPrimaryAddressStep(m_next);
}

void AutoAddressing::tick()
{
    m_session.timers.autoAddress.stop();
    if (!running())
        return;
    ++m_row;
    ++m_next;
    if (m_next >= kFirstInvalidAddress)
        end(QStringLiteral("Primary address can not be above 249, aborting..."));
    else if (m_row < m_session.table.rowCount() - 1)
        addressRow();
    else
        end(QStringLiteral("Auto addressing has finished..."));
}

void AutoAddressing::end(const QString &line)
{
    BusSession &s = m_session;
    s.timers.secondary.stop();
    s.timers.autoAddress.stop();
    s.autoAddressingActive = false;
    if (!line.isEmpty())
        s.log.addLine(line);
    s.link.endLinkUse();
    s.finish();
    emit runningChanged(false);
}

void AutoAddressing::stop()
{
    if (running())
        end(QString());
}
