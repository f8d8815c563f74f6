#pragma once
// What a question accepts as its answer, as a pure function of the reply:
// the exchange judges every try's reply by it, and says the lines it gives.
//
//   asked 10 7B 05 80 16, ID 1234567F:
//     68 .. 68 08 05 72 78 56 34 12 .. 16   taken
//     68 .. 68 08 06 72 78 56 34 12 .. 16   another address: not taken
//     68 .. 68 08 05 72 99 99 99 99 .. 16   another meter: not taken
//     E5                                    an acknowledgement is no reading

#include <QByteArray>
#include <QStringList>

#include <string>

// What a try must bring back to count.
enum class Expect {
    Acknowledge, // the single character E5 (a write, a selection, SND_NKE)
    Reading,     // an RSP_UD that passes the frame tests, from the meter asked
    Presence,    // anything at all (a probe of the wildcard search)
};

// How a question ended (the last try's outcome when every try failed).
enum class Outcome {
    Answered,     // as expected
    Silent,       // nothing came back
    Acknowledged, // an E5 where a reading was asked for
    Damaged,      // bytes that fail the frame tests (a collision, a damaged reply)
    Foreign,      // a good frame from another address or meter than the one asked
};

struct ReplyRule {
    Expect expect = Expect::Reading;
    // The A field a reading must carry; -1 for any (253, 254).
    int address = -1;
    // The ID a reading must carry as 8 digits, F for any digit; empty: any.
    std::string idPattern;
    // A further telegram of a reading: it must come from this one's meter
    // (its address and ID), whatever was asked.
    QByteArray firstTelegram;
    // A lone byte that is not E5 counts as silence, not as a damaged reply.
    bool strayByteIsSilence = false;
};

struct Verdict {
    Outcome outcome = Outcome::Silent;
    QStringList lines; // why a reply was not taken, for the log
};

Verdict judgeReply(const QByteArray &reply, const ReplyRule &rule);

// The ID an 8-digit pattern stands for, F matching any digit.
bool idFits(const std::string &id, const std::string &pattern);
