#include "secondary_search.h"

#include "mbus/frames.h"
#include "primary_scan.h"
#include "secondary_sequence.h"

namespace {
constexpr int kTopLevelSteps = 10;
}

SecondarySearch::SecondarySearch(BusSession &session, SecondarySequence &sequence, QObject *parent)
    : QObject(parent), m_session(session), m_sequence(sequence)
{
    connect(&m_session, &BusSession::aborted, this, &SecondarySearch::abort);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SecondarySearch::onTick);
    // A whole answer to a selection or a reading ends its wait at once.
    connect(&m_session, &BusSession::replyCompleteEarly, this, [this] {
        if (m_running && m_timer.isActive() && m_wait != Wait::GlobalInit) {
            m_timer.stop();
            onTick();
        }
    });
}

void SecondarySearch::findById(const QString &idText)
{
    if (idText.size() != 8) {
        m_session.log.addLine(QStringLiteral("Incorrect ID entered"));
        return;
    }
    if (!m_session.begin())
        return;
    if (!m_session.link.beginLinkUse()) {
        m_session.finish();
        return;
    }
    m_sequence.start(idText.toStdString(), std::nullopt, idText);
}

void SecondarySearch::startWildcard(bool clearTable, const std::array<std::uint8_t, 8> &pattern)
{
    if (m_running || !m_session.begin())
        return;
    for (std::size_t i = 0; i < 8; ++i)
        m_fixed[7 - i] = pattern[i] <= 9 ? pattern[i] : mbus::kWildcardDigit;
    if (!m_session.link.beginLinkUse()) {
        m_session.finish();
        return;
    }
    if (clearTable) {
        m_session.table.clear();
        m_session.clearSelection();
    }
    m_running = true;
    m_stop = false;
    emit runningChanged(true);
    if (m_session.options().globalInit) {
        m_session.send(mbus::buildSndNke(mbus::kBroadcastNoReply));
        m_wait = Wait::GlobalInit;
        m_timer.start(PrimaryScan::kGlobalInitMs);
        return;
    }
    begin();
}

void SecondarySearch::begin()
{
    m_session.link.discardPendingReply();
    m_progress = 0;
    emit progressChanged(0, kTopLevelSteps, 0, true);
    m_lsbFirst = m_session.options().lsbSearch;
    m_cells = m_fixed;
    const int first = nextOpenCell(0);
    if (first == 0) { // nothing to search for
        end();
        return;
    }
    m_levels = {Level{first, 0}};
    checkNext();
}

int SecondarySearch::nextOpenCell(int cell) const
{
    const int step = m_lsbFirst ? 1 : -1;
    for (int c = cell == 0 ? (m_lsbFirst ? 1 : 8) : cell + step; c >= 1 && c <= 8; c += step)
        if (m_fixed[std::size_t(c - 1)] == mbus::kWildcardDigit)
            return c;
    return 0;
}

QString SecondarySearch::patternText() const
{
    QString text;
    for (int cell = 8; cell >= 1; --cell) {
        const int digit = m_cells[std::size_t(cell - 1)];
        text += digit == mbus::kWildcardDigit ? QChar(u'F') : QChar(u'0' + digit);
    }
    return text;
}

void SecondarySearch::checkNext()
{
    if (m_stop) {
        end();
        return;
    }
    Level &level = m_levels.back();
    if (level.digit > 9) {
        m_levels.pop_back();
        if (m_levels.empty())
            end();
        else
            stepDone(); // the outer level's digit is done with its descent
        return;
    }
    // This cell takes the digit; the cells beyond it (towards the far end of
    // the search) are open again; the cells before it keep the outer digits.
    m_cells[std::size_t(level.cell - 1)] = std::uint8_t(level.digit);
    if (m_lsbFirst)
        for (int cell = level.cell + 1; cell <= 8; ++cell)
            m_cells[std::size_t(cell - 1)] = m_fixed[std::size_t(cell - 1)];
    else
        for (int cell = level.cell - 1; cell >= 1; --cell)
            m_cells[std::size_t(cell - 1)] = m_fixed[std::size_t(cell - 1)];
    m_session.log.addLine(QStringLiteral("Checking ") + patternText() + QStringLiteral("..."));

    std::array<std::uint8_t, 8> digits{}; // leftmost first
    for (int i = 0; i < 8; ++i)
        digits[std::size_t(i)] = m_cells[std::size_t(7 - i)];
    m_session.link.discardPendingReply();
    m_session.send(mbus::buildWildcardSelection(digits));
    m_wait = Wait::Selection;
    m_timer.start(m_session.options().responseTimeoutMs);
}

void SecondarySearch::stepDone()
{
    if (m_levels.size() == 1 && m_progress < kTopLevelSteps)
        emit progressChanged(0, kTopLevelSteps, ++m_progress, true);
    ++m_levels.back().digit;
    checkNext();
}

void SecondarySearch::onTick()
{
    if (!m_running)
        return;
    if (m_stop) {
        end();
        return;
    }
    switch (m_wait) {
    case Wait::GlobalInit:
        begin();
        break;
    case Wait::Selection:
        afterSelection();
        break;
    case Wait::Reading:
        afterReading();
        break;
    }
}

void SecondarySearch::afterSelection()
{
    BusSession &s = m_session;
    // Answers to selections are read from the serial port only, unless the
    // caller lets the search use any route.
    if (!s.options().searchAnyRoute && !s.link.serialPortOpen()) {
        s.log.addLine(QStringLiteral("No valid physical connection..."));
        m_stop = true;
        end();
        return;
    }
    const QByteArray answer = s.link.collectReply();
    s.link.discardPendingReply();
    if (answer.isEmpty()) {
        stepDone();
        return;
    }
    // At least one meter matches: read the selected meter(s) at 253.
    s.send(s.readRequest(mbus::kSelectedAddress));
    m_wait = Wait::Reading;
    m_timer.start(s.options().responseTimeoutMs);
}

void SecondarySearch::afterReading()
{
    BusSession &s = m_session;
    bool valid = false;
    if (s.link.route() == LinkRoute::Serial && !s.link.serialPortOpen()) {
        s.log.addLine(QStringLiteral("No valid physical connection :) "));
    } else {
        const std::optional<QByteArray> collected = s.collectReply();
        if (!collected) { // the next telegram of the reading was asked for
            m_timer.start(s.options().responseTimeoutMs);
            return;
        }
        const QByteArray reply = *collected;
        s.link.discardPendingReply();
        if (!reply.isEmpty()) {
            s.secondaryReply = true;
            valid = s.decodeReply(reply);
            s.secondaryReply = false;
        }
    }
    if (!valid) {
        s.log.addLine(QStringLiteral("Collision"));
        const int deeper = nextOpenCell(m_levels.back().cell);
        if (deeper != 0) {
            m_levels.push_back(Level{deeper, 0});
            checkNext();
            return;
        }
    }
    stepDone();
}

void SecondarySearch::stop()
{
    m_stop = true;
}

void SecondarySearch::end()
{
    if (!m_running)
        return;
    BusSession &s = m_session;
    m_running = false;
    m_stop = true;
    m_timer.stop();
    s.timers.respond.stop();
    s.timers.secondary.stop();
    s.link.discardPendingReply();
    s.scanActive = false;
    s.autoAddressingActive = false;
    emit progressChanged(0, 0, 0, false);
    s.link.endLinkUse();
    s.log.addLine(QStringLiteral("Secondary search thread terminated normally."));
    s.finish();
    emit runningChanged(false);
}
