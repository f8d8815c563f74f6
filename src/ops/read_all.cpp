#include "read_all.h"

#include "mbus/frames.h"

ReadAll::ReadAll(BusSession &session, QObject *parent) : QObject(parent), m_session(session)
{
    connect(&m_session, &BusSession::aborted, this, &ReadAll::stop);
    connect(&m_session, &BusSession::readAllDue, this, [this] {
        if (m_running)
            tick();
    });
}

std::optional<int> ReadAll::rowAddress(int row) const
{
    return decimalAddress(m_session.table.cell(row, decode::kAddressColumn), mbus::kSelectedAddress);
}

void ReadAll::start()
{
    const decode::DeviceTable &table = m_session.table;
    const bool hasMeters = table.rowCount() > 2 || !table.cell(1, decode::kAddressColumn).empty();
    if (m_running || !hasMeters || !m_session.begin())
        return;
    if (!m_session.link.beginLinkUse()) {
        m_session.finish();
        return;
    }
    m_running = true;
    emit runningChanged(true);
    m_progress = 0;
    m_progressMax = table.rowCount() - 2;
    m_showProgress = !m_session.options().sendNkeFirst;
    if (m_showProgress)
        emit progressChanged(0, m_progressMax, 0, true);
    if (!askNextRow(1)) {
        end();
        return;
    }
    m_session.timers.readAll.start();
}

// Rows without a usable address, the entry row and rows past the table are
// passed over at once: there is nothing to ask them.
bool ReadAll::askNextRow(int from)
{
    for (int row = from; row < m_session.table.rowCount() - 1; ++row) {
        const std::optional<int> address = rowAddress(row);
        if (!address) {
            advanceProgress();
            continue;
        }
        m_row = row;
        m_retry = 0;
        m_session.link.discardPendingReply();
        m_session.send(m_session.firstRequest(*address));
        return true;
    }
    return false;
}

void ReadAll::advanceProgress()
{
    m_progress = std::min(m_progress + 1, m_progressMax);
    if (m_showProgress)
        emit progressChanged(0, m_progressMax, m_progress, true);
}

void ReadAll::tick()
{
    BusSession &s = m_session;
    const std::optional<QByteArray> collected = s.collectReply();
    if (!collected)
        return; // the next telegram of the reading was asked for
    const QByteArray &reply = *collected;
    // The reply's row is found by its address.
    s.scanActive = false;
    s.secondaryReply = false;
    const std::optional<int> address = rowAddress(m_row);
    const mbus::ReplyKind kind = classify(reply, true);
    if (kind == mbus::ReplyKind::Acknowledge) {
        s.logAcknowledge();
        s.link.discardPendingReply();
        if (address)
            s.send(s.readRequest(*address));
        return;
    }
    const bool valid = kind == mbus::ReplyKind::Candidate && s.decodeReply(reply);
    if (!valid && ++m_retry <= s.options().retries && address) {
        s.link.discardPendingReply();
        s.send(s.firstRequest(*address));
        return;
    }
    advanceProgress();
    if (!askNextRow(m_row + 1))
        end();
}

void ReadAll::end()
{
    m_session.timers.readAll.stop();
    m_running = false;
    emit progressChanged(0, 0, 0, false);
    m_session.link.endLinkUse();
    m_session.finish();
    emit runningChanged(false);
}

void ReadAll::stop()
{
    if (m_running)
        end();
}
