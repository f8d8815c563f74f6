#include "primary_scan.h"

#include "mbus/frames.h"

#include <algorithm>

PrimaryScan::PrimaryScan(BusSession &session, QObject *parent) : QObject(parent), m_session(session)
{
    connect(&m_session, &BusSession::aborted, this, &PrimaryScan::stop);
    connect(&m_session, &BusSession::respondDue, this, [this] {
        if (m_session.scanActive && m_running)
            tick();
    });
    m_globalInit.setSingleShot(true);
    m_globalInit.setInterval(kGlobalInitMs);
    connect(&m_globalInit, &QTimer::timeout, this, &PrimaryScan::askFirstAddress);
}

void PrimaryScan::start(int first, int last)
{
    if (m_running || !m_session.begin())
        return;
    if (!m_session.link.beginLinkUse()) {
        m_session.finish();
        return;
    }
    m_first = std::min(first, last);
    m_last = std::max(first, last);
    m_current = m_first;
    m_running = true;
    emit runningChanged(true);
    if (m_session.options().globalInit) {
        m_session.send(mbus::buildSndNke(mbus::kBroadcastNoReply));
        m_globalInit.start(); // the window stays usable meanwhile; Stop still works
        return;
    }
    askFirstAddress();
}

void PrimaryScan::askFirstAddress()
{
    BusSession &s = m_session;
    s.link.discardPendingReply();
    s.send(s.firstRequest(m_current));
    m_retry = 0;
    s.scanActive = true;
    m_progress = 0;
    emit progressChanged(0, m_last - m_first, 0, true);
    s.timers.readAll.stop();
    s.timers.secondary.stop();
    s.timers.respond.start();
}

void PrimaryScan::sendAgain(bool logReading)
{
    BusSession &s = m_session;
    s.link.discardPendingReply();
    s.send(s.firstRequest(m_current));
    if (logReading && !s.options().sendNkeFirst)
        s.log.addLine(QStringLiteral("Reading device ") + QString::number(m_current));
}

void PrimaryScan::tick()
{
    BusSession &s = m_session;
    const std::optional<QByteArray> collected = s.collectReply();
    if (!collected)
        return; // the next telegram of the reading was asked for
    const QByteArray &reply = *collected;
    switch (classify(reply)) {
    case mbus::ReplyKind::NoResponse:
        if (++m_retry <= s.options().retries) {
            sendAgain(false);
            return;
        }
        break;
    case mbus::ReplyKind::Acknowledge:
        s.logAcknowledge();
        if (s.options().sendNkeFirst) {
            s.link.discardPendingReply();
            s.send(s.readRequest(m_current));
            return;
        }
        break;
    case mbus::ReplyKind::Candidate:
        if (!s.decodeReply(reply) && ++m_retry <= s.options().retries) {
            sendAgain(true);
            return;
        }
        break;
    }
    nextAddress();
}

void PrimaryScan::nextAddress()
{
    ++m_current;
    m_retry = 0;
    if (m_current > m_last) {
        m_session.fullReportRequest = false;
        end();
        return;
    }
    m_session.link.discardPendingReply();
    m_session.send(m_session.firstRequest(m_current));
    m_progress = std::min(m_progress + 1, m_last - m_first);
    emit progressChanged(0, m_last - m_first, m_progress, true);
}

void PrimaryScan::end()
{
    BusSession &s = m_session;
    m_globalInit.stop();
    s.timers.respond.stop();
    s.link.discardPendingReply();
    s.scanActive = false;
    m_running = false;
    emit progressChanged(0, 0, 0, false);
    s.link.endLinkUse();
    s.finish();
    emit runningChanged(false);
}

void PrimaryScan::stop()
{
    if (m_running)
        end();
}
