#include "exchange.h"

#include <cmath>

#include "decode/decode.h"
#include "decode/telegrams.h"
#include "mbus/bytes.h"
#include "mbus/frame_complete.h"
#include "mbus/frames.h"
#include "mbus/reply_kind.h"

namespace {

// 10 7B A CS 16 or 10 5B A CS 16.
bool isReadRequest(const mbus::Bytes &frame)
{
    return frame.size() == 5 && frame[0] == 0x10 && (frame[1] == mbus::kCReqUd2 || frame[1] == mbus::kCReqUd2Fcb0);
}

// The A field of a short frame (10 C A CS 16), -1 for anything else.
int shortFrameAddress(const mbus::Bytes &frame)
{
    return frame.size() == 5 && frame[0] == 0x10 ? frame[2] : -1;
}

bool isAcknowledge(const QByteArray &reply)
{
    return reply.size() == 1 && std::uint8_t(reply[0]) == mbus::kAcknowledgeByte;
}

// Bounds the wait for the rest of a reply: a few bursts of an adapter.
constexpr int kMaxRestWaits = 6;
// What a rest wait adds to the missing bytes' time on the line: a USB
// adapter's latency timer (16 ms) and a meter's or a machine's pause.
constexpr int kRestSlackMs = 60;

// The records of an RSP_UD: what follows the 12-byte fixed header, up to the checksum.
QByteArray recordBytes(const QByteArray &telegram)
{
    constexpr qsizetype kRecordsAt = 19;
    return telegram.size() > kRecordsAt + 2 ? telegram.mid(kRecordsAt, telegram.size() - kRecordsAt - 2) : QByteArray();
}

QString hexText(const QByteArray &bytes, qsizetype limit)
{
    const QByteArray shown = bytes.left(limit);
    QString text = QString::fromLatin1(mbus::hexLogForm(byteView(shown))).trimmed();
    if (bytes.size() > limit)
        text += QStringLiteral(" ...");
    return text;
}

} // namespace

Exchange::Exchange(BusSession &session, QObject *parent) : QObject(parent), m_session(session)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer); // a scan of 251 addresses must not drift by 5 %
    connect(&m_timer, &QTimer::timeout, this, &Exchange::waitOver);
    for (QTimer *timer : {&m_answerWindow, &m_lineQuiet}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_answerWindow, &QTimer::timeout, this, [this] {
        if (m_answerBegun)
            return;
        m_windowEndedWait = true; // nobody began an answer within the window
        endWaitNow();
    });
    connect(&m_lineQuiet, &QTimer::timeout, this, &Exchange::endWaitNow);
}

Exchange::~Exchange()
{
    m_session.link.replyComplete = nullptr;
    m_session.link.replyActivity = nullptr;
}

void Exchange::ask(const Question &question)
{
    if (m_session.sendsNoMore) {
        emit m_session.requestHeldBack();
        return;
    }
    m_question = question;
    m_try = 1;
    m_lossSeen = false;
    m_preludeAcknowledged = false;
    m_preludeUnanswered = false;
    m_awaitedOnceMore = false;
    // A reading starts from telegram 1: SND_NKE resets the meter's frame
    // count bit, which a reading before may have left set. Not at 253, where
    // it would end the selection.
    const int address = shortFrameAddress(question.request.frame);
    const BusOptions options = m_session.options();
    m_resetFirst = question.expect == Expect::Reading && (options.allTelegrams || !options.fastReads)
                   && !question.nkeFirst && isReadRequest(question.request.frame) && address != mbus::kSelectedAddress;
    startTry();
}

void Exchange::cancel()
{
    m_held.clear();
    m_restWaits = 0;
    m_timer.stop();
    m_answerWindow.stop();
    m_lineQuiet.stop();
    ++m_sent; // an early completion still queued is stale now
}

void Exchange::startTry()
{
    m_reading = Reading();
    // The reset acknowledged once holds: the meter repeats its telegram.
    if (m_question.nkeFirst || (m_resetFirst && !m_preludeAcknowledged)) {
        m_step = Step::Prelude;
        send(mbus::buildSndNke(shortFrameAddress(m_question.request.frame)));
    } else {
        m_step = Step::Request;
        send(m_question.request);
    }
}

void Exchange::send(const mbus::Request &request)
{
    m_previousWaitByWindow = m_windowEndedWait;
    dropLateBytes();
    m_held.clear();
    m_restWaits = 0;
    m_lastRequest = request.frame;
    // The link's notifications are for this request's first wait only: a
    // wait started again after it (for a late answer) takes none of them.
    const quint64 number = ++m_sent;
    m_firstWaitOver = false;
    const BusOptions options = m_session.options();
    // An answer that came after the window says the window is too short for
    // this line (an adapter that holds bytes back): the session waits for the
    // response timeout from here on.
    const bool standard = options.standardTiming && m_session.link.route() == LinkRoute::Serial
                          && !m_session.answerWindowTooShort && !m_session.answersComeLate;
    m_windowEndedWait = false;
    if (options.fastReads || standard) {
        // Called while the link is in the middle of a read: the reply is
        // taken from the event loop.
        m_session.link.replyComplete = [this, number] {
            QMetaObject::invokeMethod(
                this,
                [this, number] {
                    if (number == m_sent && !m_firstWaitOver)
                        endWaitNow();
                },
                Qt::QueuedConnection);
        };
    } else {
        m_session.link.replyComplete = nullptr;
    }
    // A request that cannot leave (the link says why) waits its timeout all
    // the same and then counts as unanswered, unless the link went away.
    m_session.link.sendFrame(request);
    if (m_session.link.linkGone())
        return; // the operation ends from the event loop
    m_timeLeftMs = 0;
    m_timer.start(responseTimeout());
    if (standard)
        startStandardWaits(options, request.frame.size(), number);
    else
        m_session.link.replyActivity = nullptr;
}

void Exchange::startStandardWaits(const BusOptions &options, std::size_t requestBytes, quint64 number)
{
    // A meter begins its answer within 330 bit times + 50 ms of the end of
    // the request; the request itself takes 11 bits a character.
    const double bitMs = 1000.0 / std::max(1, options.baud);
    const int window = int(std::ceil((double(requestBytes) * 11 + 330) * bitMs)) + 50 + options.timingMarginMs;
    // A whole frame ends the wait at once; a quiet line ends only what is no
    // frame (a collision, damage), so it may wait out an adapter's burst and
    // a meter's pause.
    const int quiet = int(std::ceil(options.silenceChars * 11 * bitMs))
                      + std::max(options.timingMarginMs, kRestSlackMs);
    m_answerBegun = false;
    m_lineQuiet.stop();
    m_answerWindow.start(std::min(window, options.responseTimeoutMs));
    m_session.link.replyActivity = [this, number, quiet] {
        QMetaObject::invokeMethod(
            this,
            [this, number, quiet] {
                if (number != m_sent || m_firstWaitOver || !m_timer.isActive())
                    return;
                m_answerBegun = true;
                m_answerWindow.stop();
                m_lineQuiet.start(quiet); // each byte puts the end of the answer further off
            },
            Qt::QueuedConnection);
    };
}

void Exchange::endWaitNow()
{
    if (!m_timer.isActive())
        return;
    m_timeLeftMs = m_timer.remainingTime();
    m_timer.stop();
    waitOver();
}

int Exchange::responseTimeout() const
{
    return m_session.options().responseTimeoutMs * (m_session.answersComeLate ? 2 : 1);
}

// Bytes that came after the last wait ended belong to no request of ours.
void Exchange::dropLateBytes()
{
    BusLink &link = m_session.link;
    if (link.route() != LinkRoute::Serial || link.serialPortOpen()) {
        logLate(link.collectReply());
    }
    link.discardPendingReply();
}

void Exchange::logLate(const QByteArray &late)
{
    if (late.isEmpty())
        return;
    m_lossSeen = true;
    if (!answerCameAfterWindow())
        noteLateAnswers();
    m_session.log.addLine(
        tr("%1 byte(s) came too late for their request and were dropped: %2").arg(late.size()).arg(hexText(late, 32)));
}

void Exchange::noteLateAnswers()
{
    if (m_session.answersComeLate)
        return;
    m_session.answersComeLate = true;
    m_session.log.addLine(
        tr("An answer came after its response timeout: every answer is awaited twice as long from here on..."));
}

// Bytes that belong to the request before came in after its wait was ended
// by the answer window (or as the next request's reply).
bool Exchange::answerCameAfterWindow()
{
    if (!m_previousWaitByWindow || m_session.answerWindowTooShort)
        return false;
    m_session.answerWindowTooShort = true;
    m_session.log.addLine(tr("An answer began after the standard's answer window: every answer is awaited for "
                             "the response timeout from here on..."));
    return true;
}

bool Exchange::awaitRest(qsizetype collectedBefore)
{
    const std::size_t missing = mbus::frameBytesMissing(byteView(m_held));
    // Only while bytes still come: a rest wait that brought none ends it.
    if (missing == 0 || m_restWaits >= kMaxRestWaits || (m_restWaits > 0 && m_held.size() == collectedBefore))
        return false;
    ++m_restWaits;
    const double charMs = 11000.0 / std::max(1, m_session.options().baud);
    m_timer.start(int(std::ceil(double(missing) * charMs)) + kRestSlackMs);
    return true;
}

// A whole long frame at the start of the wait that cannot be this request's
// answer (an acknowledgement was asked for, or it comes from another
// address) answers the request before, come late.
QByteArray Exchange::withoutLateFrame(QByteArray reply)
{
    if (reply.size() < 2 || std::uint8_t(reply[0]) != 0x68)
        return reply;
    const std::size_t length = std::size_t(std::uint8_t(reply[1])) + 6;
    if (qsizetype(length) > reply.size() || !mbus::isCompleteFrame(byteView(reply.left(qsizetype(length)))))
        return reply;
    const bool reading = m_question.expect == Expect::Reading && m_step != Step::Prelude;
    // A further telegram is judged by its meter (see judged()).
    if (reading
        && (m_step == Step::NextTelegram || m_question.address < 0 || std::uint8_t(reply[5]) == m_question.address))
        return reply;
    logLate(reply.left(qsizetype(length)));
    return reply.mid(qsizetype(length));
}

void Exchange::waitOver()
{
    m_firstWaitOver = true;
    m_answerWindow.stop();
    m_lineQuiet.stop();
    BusLink &link = m_session.link;
    const qsizetype before = m_held.size();
    m_held += link.collectReply();
    if (link.linkGone())
        return; // nothing heard from a link that went away is silence
    if (awaitRest(before))
        return;
    m_damagedCame = link.damagedReplyCame();
    link.discardPendingReply();
    m_restWaits = 0;
    const QByteArray held = std::exchange(m_held, QByteArray());
    const QByteArray reply = withoutLateFrame(held);
    // Only a late answer came, and the wait ended at it: this request's own
    // answer is still due.
    if (reply.isEmpty() && !held.isEmpty() && m_timeLeftMs > 0) {
        m_timer.start(std::exchange(m_timeLeftMs, 0));
        return;
    }
    m_timeLeftMs = 0;
    const bool acknowledge = isAcknowledge(reply);
    if (acknowledge && (m_step != Step::Request || m_question.expect != Expect::Presence))
        m_session.logAcknowledge(); // a probe's answer is no acknowledgement of anything

    switch (m_step) {
    case Step::Prelude:
        m_preludeAcknowledged = acknowledge;
        if (acknowledge || (m_resetFirst && !m_question.lookingForMeter)) {
            if (!acknowledge)
                logLate(reply);                 // anything else in the SND_NKE's wait answers an earlier request
            m_preludeUnanswered = !acknowledge; // lost, if the reading comes
            m_step = Step::Request;
            send(m_question.request);
        } else {
            tryFailed(reply.isEmpty() && !m_damagedCame ? Outcome::Silent : Outcome::Damaged);
        }
        return;
    case Step::NextTelegram:
        if (!acknowledge && !reply.isEmpty() && judged(reply) == Outcome::Answered) {
            takeTelegram(reply);
        } else if (++m_telegramTry <= m_session.options().retries) {
            askNextTelegram(false); // the meter repeats the telegram for the same bit
        } else {
            const int arrived = int(m_reading.telegrams.size());
            m_session.log.addLine(
                tr("Telegram %1 did not arrive, the reading holds the first %2...").arg(arrived + 1).arg(arrived));
            finishReading(false);
        }
        return;
    case Step::Request:
        break;
    }

    if (acknowledge && m_question.expect == Expect::Reading && m_resetFirst && !m_awaitedOnceMore) {
        // An E5 where the reading was due: a SND_NKE's E5, one wait late.
        // The meter is slower than the timeout, and its reading is on the
        // way: awaited once more, and every answer longer from here on.
        m_awaitedOnceMore = true;
        m_lossSeen = true; // what the walk found silent before may have been as slow
        noteLateAnswers();
        m_session.log.addLine(tr("The meter at %1 answers after the timeout: its reading is awaited once more...")
                                  .arg(shortFrameAddress(m_question.request.frame)));
        m_timer.start(responseTimeout());
        return;
    }
    const Outcome outcome = judged(reply);
    if (outcome != Outcome::Answered) {
        tryFailed(outcome);
    } else if (m_question.expect == Expect::Reading) {
        takeTelegram(reply);
    } else {
        if (m_question.expect == Expect::Presence)
            m_reading.telegrams = {reply}; // a probe's answer, whatever it is
        give(Outcome::Answered);
    }
}

Outcome Exchange::judged(const QByteArray &reply) const
{
    if (reply.isEmpty() && m_damagedCame)
        return Outcome::Damaged; // the answer was broken on its way back
    ReplyRule rule;
    rule.expect = m_question.expect;
    rule.address = m_question.address;
    rule.idPattern = m_question.idPattern;
    rule.strayByteIsSilence = m_question.strayByteIsSilence;
    if (m_step == Step::NextTelegram)
        rule.firstTelegram = m_reading.telegrams.value(0);
    const Verdict verdict = judgeReply(reply, rule);
    for (const QString &line : verdict.lines)
        m_session.log.addLine(line);
    return verdict.outcome;
}

void Exchange::takeTelegram(const QByteArray &reply)
{
    const bool announced = isReadRequest(m_lastRequest) && decode::announcesMoreRecords(byteView(reply));
    const bool more = announced && m_session.options().allTelegrams;
    if (!m_reading.telegrams.isEmpty() && recordBytes(reply) == recordBytes(m_reading.telegrams.back())) {
        // The telegram before, again: a late copy of it, or the meter sending
        // it once more. The same request (the toggled bit) asks for the next one.
        const int repeated = int(m_reading.telegrams.size());
        if (++m_telegramTry <= m_session.options().retries) {
            m_session.log.addLine(tr("Telegram %1 came again: the next one is asked for once more...").arg(repeated));
            askNextTelegram(false);
        } else {
            m_session.log.addLine(tr("Telegram %1 came again, the reading holds the first %1...").arg(repeated));
            finishReading(false);
        }
        return;
    }
    if (!m_reading.telegrams.isEmpty() && recordBytes(reply) == recordBytes(m_reading.telegrams.front())) {
        // Telegram 1 again: the meter started over. Its records are in already.
        m_session.log.addLine(tr("The meter started its reading over: the reading holds the first %1 telegram(s)...")
                                  .arg(m_reading.telegrams.size()));
        finishReading(false);
        return;
    }
    m_reading.telegrams << reply;
    if (announced && !more) {
        m_session.log.addLine(tr("The meter has more telegrams waiting: \"Read all telegrams\" (--all-telegrams) "
                                 "reads them..."));
        finishReading(false);
        return;
    }
    if (!more) {
        finishReading(true);
        return;
    }
    if (m_reading.telegrams.size() >= BusSession::kMaxTelegrams) {
        m_session.log.addLine(tr("%1 telegrams read and the meter announces more: the reading ends here...")
                                  .arg(BusSession::kMaxTelegrams));
        finishReading(false);
        return;
    }
    m_telegramTry = 0;
    askNextTelegram(true);
}

// The meter answers a toggled frame count bit with its next telegram and the
// same bit with the last one again.
void Exchange::askNextTelegram(bool toggle)
{
    const int address = m_lastRequest[2];
    const bool fcbSet = m_lastRequest[1] == mbus::kCReqUd2;
    m_step = Step::NextTelegram;
    send(mbus::buildReqUd2(address, toggle ? fcbSet : !fcbSet));
}

void Exchange::finishReading(bool complete)
{
    m_reading.complete = complete;
    give(Outcome::Answered);
}

void Exchange::tryFailed(Outcome outcome)
{
    const bool trustedSilence = outcome == Outcome::Silent && m_question.trustSilence && !m_lossSeen;
    const bool collision = outcome == Outcome::Damaged && m_question.damageEndsIt;
    if (outcome != Outcome::Silent && !collision)
        m_lossSeen = true;
    if (outcome == Outcome::Foreign && m_try == 1 && answerCameAfterWindow()) {
        // The meter asked before answered into this wait: this request's own
        // answer is still on the way, and is awaited for the timeout instead
        // of asking again (two answers would run into one).
        m_session.link.replyActivity = nullptr;
        m_timer.start(responseTimeout());
        return;
    }
    if (m_try < m_question.tries && !trustedSilence && !collision && m_session.sendsNoMore) {
        emit m_session.requestHeldBack();
        return;
    }
    if (m_try < m_question.tries && !trustedSilence && !collision) {
        ++m_try;
        // Readings have their own lines; a selection or a write says each repeat.
        if (m_question.expect == Expect::Acknowledge)
            m_session.log.addLine(
                tr("No acknowledgement: sent again (try %1 of %2)...").arg(m_try).arg(m_question.tries));
        startTry();
        emit askedAgain(outcome);
        return;
    }
    give(outcome);
}

void Exchange::give(Outcome outcome)
{
    m_timer.stop();
    Answer answer;
    answer.outcome = outcome;
    // An answer that came only to a later try: the earlier one was lost. A
    // selection or write goes to a meter that is there: unanswered, it was lost.
    answer.lossSeen = m_lossSeen || (outcome == Outcome::Answered && (m_try > 1 || m_preludeUnanswered))
                      || (outcome == Outcome::Silent && m_question.expect == Expect::Acknowledge);
    if (answer.lossSeen)
        m_session.noteLoss();
    else if (outcome == Outcome::Answered)
        m_session.noteCleanAnswer();
    answer.reading = std::move(m_reading);
    m_reading = Reading();
    emit answered(answer); // the receiver may ask the next question at once
}
