#include "reply_rule.h"

#include "decode/decode.h"
#include "mbus/bytes.h"
#include "mbus/reply_kind.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Exchange", text);
}

mbus::ByteView view(const QByteArray &bytes)
{
    return {reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())};
}

QString latin1(const std::string &text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// The frame tests, then whether it comes from the meter asked.
Verdict judgeReading(const QByteArray &reply, const ReplyRule &rule)
{
    const decode::DecodeResult result = decode::decodeReply(view(reply), {});
    Verdict verdict;
    if (!result.valid || !result.headerDecoded) {
        verdict.outcome = Outcome::Damaged;
        for (const std::string &line : result.logLines)
            verdict.lines << latin1(line);
        return verdict;
    }
    const int address = std::uint8_t(reply[5]);
    int wantedAddress = rule.address;
    std::string wantedId = rule.idPattern;
    if (!rule.firstTelegram.isEmpty()) { // a further telegram: the same meter as the first
        wantedAddress = std::uint8_t(rule.firstTelegram[5]);
        wantedId = decode::decodeReply(view(rule.firstTelegram), {}).header.idText;
    }
    QString why;
    if (wantedAddress >= 0 && address != wantedAddress)
        why = tr("The reply comes from address %1, not from address %2: not taken...").arg(address).arg(wantedAddress);
    else if (!wantedId.empty() && !idFits(result.header.idText, wantedId))
        why = tr("The reply comes from meter %1, not from %2: not taken...")
                  .arg(latin1(result.header.idText), latin1(wantedId));
    if (why.isEmpty()) {
        verdict.outcome = Outcome::Answered;
        return verdict;
    }
    verdict.outcome = Outcome::Foreign;
    verdict.lines << latin1(result.logLines.front()) << why;
    return verdict;
}

} // namespace

bool idFits(const std::string &id, const std::string &pattern)
{
    if (id.size() != pattern.size())
        return false;
    for (std::size_t i = 0; i < id.size(); ++i)
        if (pattern[i] != 'F' && pattern[i] != id[i])
            return false;
    return true;
}

Verdict judgeReply(const QByteArray &reply, const ReplyRule &rule)
{
    const bool acknowledge = reply.size() == 1 && std::uint8_t(reply[0]) == mbus::kAcknowledgeByte;
    Verdict verdict;
    if (reply.isEmpty() || (rule.strayByteIsSilence && reply.size() == 1 && !acknowledge))
        return verdict; // silence
    switch (rule.expect) {
    case Expect::Presence:
        verdict.outcome = Outcome::Answered;
        return verdict;
    case Expect::Acknowledge:
        verdict.outcome = acknowledge ? Outcome::Answered : Outcome::Damaged;
        if (!acknowledge)
            verdict.lines << QStringLiteral("Respond: ")
                                 + QString::fromLatin1(mbus::hexLogForm(view(reply.left(300)))).trimmed()
                                 + (reply.size() > 300 ? QStringLiteral(" ...") : QString());
        return verdict;
    case Expect::Reading:
        break;
    }
    if (acknowledge) {
        verdict.outcome = Outcome::Acknowledged;
        verdict.lines << tr("An acknowledgement is no reading: no data from this meter...");
        return verdict;
    }
    return judgeReading(reply, rule);
}
