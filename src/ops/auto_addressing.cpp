#include "auto_addressing.h"

#include "mbus/frames.h"

AutoAddressing::AutoAddressing(BusSession &session, QObject *parent)
    : Operation(session, parent), m_sequence(session, this)
{
    connect(&m_sequence, &SecondarySequence::finished, this, &AutoAddressing::sequenceFinished);
    m_pause.setSingleShot(true);
    m_pause.setInterval(kPauseMs);
    connect(&m_pause, &QTimer::timeout, this, &AutoAddressing::nextRow);
}

void AutoAddressing::start(int firstAddress)
{
    if (!m_session.permits(Right::Devices))
        return;
    if (!takeBus(tr("Auto addressing")))
        return;
    m_summary.asked = 0;
    m_next = firstAddress;
    m_row = 0;
    addressRow();
}

void AutoAddressing::addressRow()
{
    const decode::MeterSelection selection = m_session.table.selectionAt(m_row).value_or(decode::MeterSelection());
    m_session.showSelectedMeter(selection);
    emit addressChosen(m_next);
    m_id = QString::fromStdString(selection.id);
    if (selection.id.empty()) { // the number is used up all the same
        m_pause.start();
        return;
    }
    ++m_summary.asked;
    const std::optional<int> oldAddress = selection.address.usable(mbus::kMaxPrimaryAddress);
    m_sequence.start(selection.id, m_next, oldAddress.value_or(-1), m_id);
}

void AutoAddressing::sequenceFinished(SecondarySequence::Result result)
{
    switch (result) {
    case SecondarySequence::Result::Read:
        ++m_summary.answered;
        break;
    case SecondarySequence::Result::NotSelected:
    case SecondarySequence::Result::NotRead:
    case SecondarySequence::Result::Collided:
        m_summary.silent << m_id;
        break;
    case SecondarySequence::Result::KeptAddress:
        ++m_summary.answered;
        m_summary.unverified << m_id;
        break;
    case SecondarySequence::Result::Unverified:
        m_summary.unverified << m_id + QStringLiteral(" (%1?)").arg(m_next);
        break;
    case SecondarySequence::Result::AddressTaken:
    case SecondarySequence::Result::AddressUnclear:
        m_summary.refused << tr("meter %1: %2").arg(m_id, m_sequence.refusal());
        break;
    }
    m_pause.start();
}

void AutoAddressing::onStop()
{
    if (m_sequence.abandon())
        m_summary.unconfirmed << tr("address %1 was sent to meter %2 but not confirmed").arg(m_next).arg(m_id);
}

void AutoAddressing::nextRow()
{
    if (!running())
        return;
    ++m_row;
    ++m_next;
    if (m_next >= kFirstInvalidAddress) {
        m_session.log.addLine(QStringLiteral("Primary address can not be above 249, aborting..."));
        end();
    } else if (m_row < m_session.table.rowCount()) {
        addressRow();
    } else {
        m_session.log.addLine(QStringLiteral("Auto addressing has finished..."));
        end();
    }
}
