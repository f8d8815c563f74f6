#pragma once
// One question to the bus and its answer: bytes left over from an earlier
// exchange are read and dropped, the request goes out, what comes back within
// the response timeout is collected and checked against the request, and a
// try that fails is asked again as often as the question allows. Every
// operation asks through one of these; none collects or classifies on its own.
//
// A reading must come from the address asked (at 253: from a meter whose ID
// fits the selection, when it is known), pass every frame test, and with
// "Read all telegrams" its further telegrams must come from the same meter:
//
//   10 7B 05 80 16  ->  68 .. 68 08 05 72 78 56 34 12 .. 1F CS 16   telegram 1, more follow
//   10 5B 05 60 16  ->  68 .. 68 08 05 72 78 56 34 12 .. CS 16      telegram 2, the last
//
// A walk over unknown addresses (the scan, the search's probes) may trust
// silence: a try whose wait stayed silent then ends the question, unless an
// earlier try of it already showed the bus losing bytes. Every answer says
// whether the bus showed loss while it was asked, so that the walk can stop
// trusting silence from there on.
//
// A reading by primary address starts at the meter's first telegram: a
// SND_NKE goes first and its E5 is awaited (unless "Complete reply early"
// asks for speed); once acknowledged, a try that fails repeats only the
// REQ_UD2, which the meter answers with the same telegram. A scan takes a
// SND_NKE nobody acknowledges for an empty address, as a ping.
//
// A reply whose end was not seen when the wait ran out (a USB adapter
// passes bytes on in bursts, a meter pauses, the process slept) is waited
// out for as long as its missing bytes need on the line, never collided with
// by the next request; and a whole frame ahead of an acknowledgement is a
// reply to an earlier request, come late.

#include "bus_session.h"
#include "reply_rule.h"

#include <QTimer>

#include <string>

struct Question {
    mbus::Request request;
    Expect expect = Expect::Reading;
    // SND_NKE to the request's address first in every try; its E5 is awaited
    // ("Send NKE first").
    bool nkeFirst = false;
    // The A field a reading must carry; -1 for any (253, 254).
    int address = -1;
    // The ID a reading must carry as 8 digits, F for any digit; empty: any.
    std::string idPattern;
    int tries = 1;
    // A lone byte that is not E5 counts as silence, not as a damaged reply.
    bool strayByteIsSilence = false;
    // A silent try ends the question: nobody is there (see above).
    bool trustSilence = false;
    // The question looks for a meter that may not be there (the scan): a
    // SND_NKE that nobody acknowledges ends the try. Otherwise the reading
    // is asked all the same (the E5 may be what was lost).
    bool lookingForMeter = false;
    // A damaged try ends the question: several meters answered at once.
    bool damageEndsIt = false;
};

struct Answer {
    Outcome outcome = Outcome::Silent;
    Reading reading; // Reading: its telegrams; Presence: what came, as one telegram
    // While it was asked, a try brought bytes that made no answer, bytes came
    // too late for their request, the answer came only to a later try, or a
    // selection or write stayed unanswered.
    bool lossSeen = false;
};

class Exchange : public QObject {
    Q_OBJECT
public:
    explicit Exchange(BusSession &session, QObject *parent = nullptr);
    ~Exchange() override;

    void ask(const Question &question);
    // Stops waiting; no answer follows.
    void cancel();
    bool waiting() const { return m_timer.isActive(); }

signals:
    void answered(const Answer &answer);
    // A try failed and the question went out again.
    void askedAgain(Outcome lastTry);

private:
    enum class Step { Prelude, Request, NextTelegram };

    void startTry();
    void send(const mbus::Request &request);
    // Standard bus timing: the waits that end an exchange before its timeout.
    void startStandardWaits(const BusOptions &options, std::size_t requestBytes, quint64 number);
    void endWaitNow();
    // The response timeout, doubled once answers were seen to come after it.
    int responseTimeout() const;
    // Waits on for the rest of a reply that has begun; false when there is none.
    bool awaitRest(qsizetype collectedBefore);
    // The reply without a late frame ahead of the acknowledgement asked for.
    QByteArray withoutLateFrame(QByteArray reply);
    void dropLateBytes();
    void logLate(const QByteArray &late);
    // Answers come after the response timeout: said once, and waited for longer.
    void noteLateAnswers();
    // True when this is the first sign that the window is too short.
    bool answerCameAfterWindow();
    void waitOver();
    void tryFailed(Outcome outcome);
    void takeTelegram(const QByteArray &reply);
    // The reply judged by the question's rule (a further telegram: by the
    // first one's meter); the lines of a reply not taken are logged.
    Outcome judged(const QByteArray &reply) const;
    void askNextTelegram(bool toggle);
    void finishReading(bool complete);
    void give(Outcome outcome);

    BusSession &m_session;
    QTimer m_timer;
    QTimer m_answerWindow; // standard timing: no first byte by then is silence
    QTimer m_lineQuiet;    // standard timing: an answer that began is over
    bool m_answerBegun = false;
    Question m_question;
    Step m_step = Step::Request;
    int m_try = 0;
    int m_telegramTry = 0;
    bool m_lossSeen = false;
    bool m_windowEndedWait = false;      // the last wait was ended by the standard's answer window
    bool m_previousWaitByWindow = false; // so was the wait before the request now out
    bool m_resetFirst = false;           // SND_NKE before a reading of several telegrams
    bool m_preludeAcknowledged = false;  // the SND_NKE's E5 came: the reading starts at telegram 1
    bool m_awaitedOnceMore = false;      // a late E5 made this question wait once more for its reading
    bool m_preludeUnanswered = false;    // the reading went on without the SND_NKE's E5
    Reading m_reading;
    QByteArray m_held;          // collected in this wait so far
    int m_timeLeftMs = 0;       // of the wait that a complete frame or a quiet line ended early
    bool m_damagedCame = false; // the link saw this wait's answer damaged on its way
    int m_restWaits = 0;
    mbus::Bytes m_lastRequest;
    quint64 m_sent = 0;           // requests sent, to tell an early completion from a stale one
    bool m_firstWaitOver = false; // the request's first wait ended: the link's notifications are stale
};
