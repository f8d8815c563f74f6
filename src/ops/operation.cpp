#include "operation.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

constexpr const char *kContext = "OperationSummary";

QString translated(const char *source, int n = -1)
{
    return QCoreApplication::translate(kContext, source, nullptr, n);
}

} // namespace

QString OperationSummary::text() const
{
    QStringList parts;
    if (counted && asked >= 0)
        parts
            << translated(QT_TRANSLATE_NOOP("OperationSummary", "%1 of %2 meter(s) answered")).arg(answered).arg(asked);
    else if (counted)
        parts << translated(QT_TRANSLATE_N_NOOP("OperationSummary", "%n meter(s) found"), answered);
    if (!silent.isEmpty())
        parts << translated(QT_TRANSLATE_NOOP("OperationSummary", "no answer from %1"))
                     .arg(silent.join(QStringLiteral(", ")));
    if (!invalid.isEmpty())
        parts << translated(QT_TRANSLATE_NOOP("OperationSummary", "no valid reply from %1"))
                     .arg(invalid.join(QStringLiteral(", ")));
    if (!incomplete.isEmpty())
        parts << translated(QT_TRANSLATE_NOOP("OperationSummary", "incomplete reading from %1"))
                     .arg(incomplete.join(QStringLiteral(", ")));
    if (!unverified.isEmpty())
        parts << translated(QT_TRANSLATE_NOOP("OperationSummary", "address not confirmed for %1"))
                     .arg(unverified.join(QStringLiteral(", ")));
    if (!unresolved.isEmpty())
        parts << translated(QT_TRANSLATE_NOOP("OperationSummary", "not told apart: %1"))
                     .arg(unresolved.join(QStringLiteral(", ")));
    if (!unchecked.isEmpty())
        parts << translated(
                     QT_TRANSLATE_NOOP("OperationSummary",
                                       "the bus lost replies, and these stayed silent without being asked again: %1"))
                     .arg(unchecked.join(QStringLiteral(", ")));
    parts << unconfirmed << refused << notes;
    if (linkLost)
        parts << translated(QT_TRANSLATE_NOOP("OperationSummary", "the connection was lost"));
    else if (stopped)
        parts << translated(QT_TRANSLATE_NOOP("OperationSummary", "stopped before the end"));
    return title + QStringLiteral(": ") + parts.join(QStringLiteral("; ")) + u'.';
}

Operation::Operation(BusSession &session, QObject *parent)
    : QObject(parent), m_session(session), m_exchange(session, this)
{
    connect(&m_session, &BusSession::aborted, this, &Operation::linkWentAway);
    connect(&m_session, &BusSession::stopRequested, this, &Operation::stop);
    connect(&m_exchange, &Exchange::askedAgain, this, [this] { ++m_summary.retries; });
}

bool Operation::takeBus(const QString &title)
{
    if (m_running || !m_session.begin())
        return false;
    m_session.answerWindowTooShort = false;
    m_session.answersComeLate = false;
    m_summary = OperationSummary();
    m_summary.title = title;
    m_running = true;
    m_linkReady = false;
    emit runningChanged(true); // Stop is offered while the link is made ready
    const bool ready = m_session.link.beginLinkUse();
    if (!m_running) // stopped meanwhile: the stop ended it
        return false;
    if (!ready) {
        m_running = false;
        m_session.finish();
        emit runningChanged(false);
        return false;
    }
    m_linkReady = true;
    return true;
}

void Operation::stop()
{
    if (!m_running)
        return;
    m_summary.stopped = true;
    if (m_linkReady)
        onStop();
    else
        m_summary.counted = false; // nothing was asked
    end();
}

void Operation::linkWentAway()
{
    if (!m_running)
        return;
    m_summary.linkLost = true;
    stop();
}

bool Operation::cancelWaits()
{
    bool waiting = false;
    for (Exchange *exchange : findChildren<Exchange *>()) {
        waiting = waiting || exchange->waiting();
        exchange->cancel();
    }
    for (QTimer *timer : findChildren<QTimer *>()) {
        waiting = waiting || timer->isActive();
        timer->stop();
    }
    return waiting;
}

void Operation::end()
{
    if (!m_running)
        return;
    m_running = false;
    const bool replyMayCome = cancelWaits();
    emit progressChanged(0, 0, 0, false);
    m_session.link.endLinkUse();
    if (replyMayCome)
        m_session.link.keepQuiet(m_session.options().responseTimeoutMs * (m_session.answersComeLate ? 2 : 1));
    if (m_session.answersComeLate)
        m_summary.notes << translated(
            QT_TRANSLATE_NOOP("OperationSummary", "answers came after the response timeout: raise it"));
    if (m_summary.shown())
        m_session.log.addLine(m_summary.text());
    m_session.finish();
    emit finished(m_summary);
    emit runningChanged(false);
}
