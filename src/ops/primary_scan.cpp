#include "primary_scan.h"

#include "mbus/frames.h"

#include <algorithm>

namespace {

// "2-9, 11, 13-250": addresses in ascending order, runs joined.
QString addressRanges(const QList<int> &addresses)
{
    QStringList parts;
    for (qsizetype i = 0; i < addresses.size();) {
        qsizetype j = i;
        while (j + 1 < addresses.size() && addresses[j + 1] == addresses[j] + 1)
            ++j;
        parts << (j == i ? QString::number(addresses[i]) : QStringLiteral("%1-%2").arg(addresses[i]).arg(addresses[j]));
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace

PrimaryScan::PrimaryScan(BusSession &session, QObject *parent) : Operation(session, parent)
{
    connect(&m_exchange, &Exchange::answered, this, &PrimaryScan::answered);
    connect(&m_exchange, &Exchange::askedAgain, this, [this](Outcome lastTry) {
        if (lastTry != Outcome::Silent && !m_nkeFirst)
            m_session.log.addLine(QStringLiteral("Reading device ") + QString::number(m_current));
    });
    m_globalInit.setSingleShot(true);
    m_globalInit.setInterval(kGlobalInitMs);
    connect(&m_globalInit, &QTimer::timeout, this, &PrimaryScan::askCurrent);
}

void PrimaryScan::start(int first, int last)
{
    if (!takeBus(tr("Scan of %1..%2").arg(std::min(first, last)).arg(std::max(first, last))))
        return;
    m_first = std::min(first, last);
    m_last = std::max(first, last);
    m_current = m_first;
    m_lossSeen = !m_session.trustsSilence();
    m_secondLook = false;
    m_trustedSilent.clear();
    const BusOptions options = m_session.options();
    m_nkeFirst = options.sendNkeFirst;
    emit progressChanged(0, m_last - m_first, 0, true);
    if (options.globalInit) {
        m_session.link.sendFrame(mbus::buildSndNke(mbus::kBroadcastNoReply));
        m_globalInit.start(); // the window stays usable meanwhile; Stop still works
        return;
    }
    askCurrent();
}

void PrimaryScan::askCurrent()
{
    Question question;
    question.request = m_session.readRequest(m_current);
    question.nkeFirst = m_nkeFirst;
    // At 253 the selected meter answers and at 254 every meter, each with its
    // own address: there is none to check against.
    question.address = m_current <= mbus::kMaxPrimaryAddress ? m_current : -1;
    const BusOptions options = m_session.options();
    question.tries = 1 + options.retries;
    question.trustSilence = !m_lossSeen && !options.retriesOnSilence();
    question.lookingForMeter = true;
    m_exchange.ask(question);
}

void PrimaryScan::answered(const Answer &answer)
{
    // Silence is no meter; any other answer that gives no reading is a failure.
    const bool read = answer.outcome == Outcome::Answered
                      && m_session.applyReading(answer.reading, decode::RowRule::Scan);
    if (read) {
        ++m_summary.answered;
        if (!answer.reading.complete)
            m_summary.incomplete << QString::number(m_current);
    } else if (answer.outcome != Outcome::Silent) {
        m_summary.invalid << QString::number(m_current);
    }
    if (answer.lossSeen || (!read && answer.outcome != Outcome::Silent)) {
        m_lossSeen = true;
        m_session.noteLoss();
    } else if (!m_lossSeen && answer.outcome == Outcome::Silent) {
        m_trustedSilent << m_current;
    }
    if (!moveOn()) {
        end();
        return;
    }
    if (!m_secondLook)
        emit progressChanged(0, m_last - m_first, m_current - m_first, true);
    askCurrent();
}

bool PrimaryScan::moveOn()
{
    if (!m_secondLook && m_current < m_last) {
        ++m_current;
        return true;
    }
    if (!m_secondLook) {
        m_secondLook = true;
        if (m_lossSeen && m_session.options().retries == 0 && !m_trustedSilent.isEmpty())
            m_summary.unchecked << addressRanges(m_trustedSilent);
        if (!m_lossSeen || m_session.options().retries == 0)
            m_trustedSilent.clear();
        else if (!m_trustedSilent.isEmpty())
            m_session.log.addLine(tr("The bus lost replies: the %n address(es) found silent before are asked again...",
                                     nullptr, int(m_trustedSilent.size())));
    }
    if (m_trustedSilent.isEmpty())
        return false;
    m_current = m_trustedSilent.takeFirst();
    m_summary.retries += 1;
    return true;
}
