#include "secondary_sequence.h"

#include "mbus/frames.h"

namespace {
constexpr int kSettleMs = 200;
}

SecondarySequence::SecondarySequence(BusSession &session, QObject *parent) : QObject(parent), m_session(session)
{
    connect(&m_session, &BusSession::secondaryDue, this, &SecondarySequence::tick);
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        if (!m_session.autoAddressingActive)
            return;
        m_session.link.discardPendingReply();
        m_session.timers.autoAddress.start();
    });
}

bool SecondarySequence::start(const std::string &id, std::optional<int> newAddress, const QString &messageId)
{
    if (id.empty())
        return false;
    m_session.link.discardPendingReply();
    m_session.addressChangePending = newAddress.has_value();
    m_newAddress = newAddress.value_or(0);
    m_messageId = messageId;
    // An ID that cannot be selected sends nothing (the dispatch says why);
    // the timer then reports that no device answered.
    m_session.send(mbus::buildSecondarySelection(id));
    m_session.timers.secondary.start();
    return true;
}

// No reply: the automatic addressing goes on with its next meter; anything
// else ends here.
void SecondarySequence::handBack()
{
    if (m_session.autoAddressingActive) {
        m_session.timers.autoAddress.start();
        return;
    }
    m_session.link.endLinkUse();
    m_session.finish();
}

void SecondarySequence::tick()
{
    BusSession &s = m_session;
    const std::optional<QByteArray> collected = s.collectReply();
    if (!collected)
        return; // the next telegram of the reading was asked for
    const QByteArray &reply = *collected;
    switch (classify(reply)) {
    case mbus::ReplyKind::NoResponse:
        s.log.addLine(QStringLiteral("No response from device ") + m_messageId);
        s.timers.secondary.stop();
        s.addressChangePending = false;
        handBack();
        return;
    case mbus::ReplyKind::Acknowledge:
        s.logAcknowledge();
        s.link.discardPendingReply();
        if (s.addressChangePending) {
            s.addressChangePending = false;
            s.send(mbus::buildPrimaryAddressWrite(mbus::kSelectedAddress, m_newAddress));
        } else {
            s.send(s.readRequest(mbus::kSelectedAddress));
        }
        return;
    case mbus::ReplyKind::Candidate:
        break;
    }
    // The selected meter's RSP_UD: its row is found by ID.
    s.secondaryReply = true;
    s.decodeReply(reply);
    s.secondaryReply = false;
    s.timers.secondary.stop();
    s.addressChangePending = false;
    s.scanActive = false;
    s.link.discardPendingReply();
    s.send(mbus::buildSndNke(mbus::kSelectedAddress));
    if (s.autoAddressingActive)
        m_settle.start();
    else
        s.timers.respond.start(); // its next tick takes the acknowledgement of the SND_NKE
}
