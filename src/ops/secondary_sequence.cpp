#include "secondary_sequence.h"

#include "decode/header.h"
#include "mbus/frames.h"

SecondarySequence::SecondarySequence(BusSession &session, QObject *parent)
    : QObject(parent), m_session(session), m_exchange(session, this)
{
    connect(&m_exchange, &Exchange::answered, this, &SecondarySequence::answered);
    connect(&m_exchange, &Exchange::askedAgain, this, [this](Outcome lastTry) {
        if ((m_step == Step::ReadSelected || m_step == Step::ConfirmRead) && lastTry == Outcome::Damaged)
            m_collided = true;
    });
}

void SecondarySequence::start(const std::string &id, std::optional<int> newAddress, int oldAddress,
                              const QString &messageId, bool proveFree, bool lookForTwins)
{
    m_lookForTwins = lookForTwins;
    m_id = id;
    m_newAddress = newAddress;
    m_oldAddress = oldAddress;
    m_messageId = messageId;
    m_holder.clear();
    m_collided = false;
    m_writeSent = false;
    m_selectionOpen = false;
    m_done = false;
    if (newAddress && proveFree)
        ask(Step::ProveFree, m_session.readRequest(*newAddress), Expect::Reading, *newAddress);
    else
        select();
}

void SecondarySequence::select()
{
    m_selectionOpen = true; // from the moment the selection goes out
    // An ID that cannot be selected sends nothing (the link says why); the
    // wait then ends with no device answering.
    ask(Step::Select, mbus::buildSecondarySelection(m_id), Expect::Acknowledge);
}

void SecondarySequence::ask(Step step, const mbus::Request &request, Expect expect, int address)
{
    m_step = step;
    m_writeSent = m_writeSent || step == Step::Write;
    Question question;
    question.request = request;
    question.expect = expect;
    question.address = address;
    // Selections, the address write to the selected meter and the SND_NKE
    // that ends a selection are asked again as readings are: repeating the
    // same frame to the same meter changes nothing.
    question.tries = 1 + m_session.options().retries;
    // Whoever answers at a new address counts; elsewhere only this meter.
    if (expect == Expect::Reading && step != Step::ProveFree)
        question.idPattern = m_id;
    // After a selection nobody acknowledged, the meter may be selected all the
    // same: one SND_NKE ends it, and its silence is no loss.
    if (step == Step::EndSelection && m_result == Result::NotSelected) {
        question.expect = Expect::Presence;
        question.tries = 1;
    }
    m_exchange.ask(question);
}

QString SecondarySequence::refusal() const
{
    if (!m_holder.isEmpty())
        return tr("meter %1 answers at address %2 already: not changed").arg(m_holder).arg(m_newAddress.value_or(-1));
    return tr("address %1 did not answer clearly: not changed").arg(m_newAddress.value_or(-1));
}

// The new address is free only when the bus proved it.
void SecondarySequence::newAddressProved(const Answer &answer)
{
    const bool silent = answer.outcome == Outcome::Silent && !answer.lossSeen && m_session.trustsSilence();
    QString answeredBy;
    if (answer.outcome == Outcome::Answered && !answer.reading.telegrams.isEmpty())
        answeredBy = QString::fromStdString(
            decode::idText(decode::readHeader(byteView(answer.reading.telegrams.front()))));
    if (silent || answeredBy == QString::fromStdString(m_id)) { // free, or the meter is there already
        select();
    } else if (!answeredBy.isEmpty()) {
        m_holder = answeredBy;
        finish(Result::AddressTaken);
    } else {
        finish(Result::AddressUnclear);
    }
}

void SecondarySequence::finish(Result result)
{
    m_done = true;
    m_selectionOpen = false;
    emit finished(result);
}

bool SecondarySequence::abandon()
{
    if (m_done)
        return false;
    m_done = true;
    if (m_selectionOpen) { // no reply is awaited: the operation is ending
        m_session.link.sendFrame(mbus::buildSndNke(mbus::kSelectedAddress));
        m_session.link.keepQuiet(m_session.options().responseTimeoutMs); // its E5 is nobody's answer
    }
    m_selectionOpen = false;
    if (!m_writeSent)
        return false;
    markRowsUnconfirmed();
    return true;
}

void SecondarySequence::markRowsUnconfirmed()
{
    decode::DeviceTable &table = m_session.table;
    const decode::TableAddress unconfirmed{*m_newAddress, false, {}};
    for (int row = 0; row < table.rowCount(); ++row)
        if (table.row(row).id == m_id)
            table.setAddress(row, unconfirmed);
    // The selection follows: no command goes to either address unasked.
    if (m_session.selected().id == m_id)
        m_session.showSelectedMeter({m_id, unconfirmed});
}

void SecondarySequence::lookAt(Step step, int address)
{
    m_session.log.addLine(tr("Looking for meter %1 at address %2...").arg(m_messageId).arg(address));
    ask(step, m_session.readRequest(address), Expect::Reading, address);
}

void SecondarySequence::answered(const Answer &answer)
{
    const bool ok = answer.outcome == Outcome::Answered;
    const auto noResponse = [this] { m_session.log.addLine(QStringLiteral("No response from device ") + m_messageId); };
    switch (m_step) {
    case Step::ProveFree:
        newAddressProved(answer);
        return;
    case Step::Select:
        if (!ok) {
            noResponse();
            endSelection(Result::NotSelected);
        } else if (m_newAddress) {
            ask(Step::Write, mbus::buildPrimaryAddressWrite(mbus::kSelectedAddress, *m_newAddress),
                Expect::Acknowledge);
        } else {
            ask(Step::ReadSelected, m_session.readRequest(mbus::kSelectedAddress), Expect::Reading);
        }
        return;
    case Step::Write:
        if (ok) {
            ask(Step::ReadSelected, m_session.readRequest(mbus::kSelectedAddress), Expect::Reading);
        } else {
            m_session.log.addLine(tr("The new address %1 was not acknowledged...").arg(*m_newAddress));
            ask(Step::Deselect, mbus::buildSndNke(mbus::kSelectedAddress), Expect::Acknowledge);
        }
        return;
    case Step::ReadSelected:
        // Found by its ID (no new address): a collision, even one followed by
        // one meter's clean answer, means several meters carry the ID.
        if (!m_newAddress && (answer.outcome == Outcome::Damaged || (ok && m_collided))) {
            endSelection(Result::Collided);
        } else if (!m_newAddress && ok && m_lookForTwins && m_session.options().retries > 0) {
            m_firstReading = answer.reading;
            ask(Step::ConfirmRead, m_session.readRequest(mbus::kSelectedAddress), Expect::Reading);
        } else if (ok && m_session.applyReading(answer.reading, decode::RowRule::SecondaryReply)) {
            endSelection(Result::Read);
        } else if (m_newAddress) {
            ask(Step::Deselect, mbus::buildSndNke(mbus::kSelectedAddress), Expect::Acknowledge);
        } else {
            if (answer.outcome == Outcome::Silent || answer.outcome == Outcome::Acknowledged)
                noResponse();
            endSelection(Result::NotRead);
        }
        return;
    case Step::ConfirmRead: {
        // The same meter again, or silence: it is the only one with the ID.
        const bool same = ok
                          && answer.reading.telegrams.value(0).mid(7, 8) == m_firstReading.telegrams.value(0).mid(7, 8);
        if (answer.outcome == Outcome::Damaged || m_collided || (ok && !same))
            endSelection(Result::Collided);
        else if (m_session.applyReading(same ? answer.reading : m_firstReading, decode::RowRule::SecondaryReply))
            endSelection(Result::Read);
        else
            endSelection(Result::NotRead);
        return;
    }
    case Step::Deselect:
        m_selectionOpen = false;
        lookAt(Step::LookNew, *m_newAddress);
        return;
    case Step::LookNew:
        if (ok && m_session.applyReading(answer.reading, decode::RowRule::SecondaryReply)) {
            m_session.log.addLine(tr("Meter %1 answers at its new address %2.").arg(m_messageId).arg(*m_newAddress));
            finish(Result::Read);
        } else if (m_oldAddress >= 0 && m_oldAddress <= mbus::kMaxPrimaryAddress && m_oldAddress != *m_newAddress) {
            lookAt(Step::LookOld, m_oldAddress);
        } else {
            markUnverified();
        }
        return;
    case Step::LookOld:
        if (ok && m_session.applyReading(answer.reading, decode::RowRule::SecondaryReply)) {
            m_session.log.addLine(tr("Meter %1 still answers at its old address %2: its address did not change.")
                                      .arg(m_messageId)
                                      .arg(m_oldAddress));
            finish(Result::KeptAddress);
        } else {
            markUnverified();
        }
        return;
    case Step::EndSelection:
        finish(m_result);
        return;
    }
}

void SecondarySequence::endSelection(Result result)
{
    m_result = result;
    ask(Step::EndSelection, mbus::buildSndNke(mbus::kSelectedAddress), Expect::Acknowledge);
}

// The meter may have taken the new address or not: its row keeps the new one
// with a question mark, which no command takes for an address.
void SecondarySequence::markUnverified()
{
    markRowsUnconfirmed();
    m_session.log.addLine(tr("Meter %1 answers neither at address %2 nor at its old address: its address is not "
                             "confirmed.")
                              .arg(m_messageId)
                              .arg(*m_newAddress));
    finish(Result::Unverified);
}
