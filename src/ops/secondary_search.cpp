#include "secondary_search.h"

#include "decode/decode.h"
#include "mbus/frames.h"
#include "primary_scan.h"

namespace {
constexpr int kTopLevelSteps = 10;
} // namespace

SecondarySearch::SecondarySearch(BusSession &session, QObject *parent)
    : Operation(session, parent), m_sequence(session, this)
{
    connect(&m_exchange, &Exchange::answered, this, &SecondarySearch::answered);
    // A reading that collided once may be followed by one meter's clean answer:
    // the other meter lost its own. Remembered until the probe is done.
    connect(&m_exchange, &Exchange::askedAgain, this, [this](Outcome lastTry) {
        if (m_wait == Wait::Reading && lastTry == Outcome::Damaged)
            m_collided = true;
    });
    connect(&m_sequence, &SecondarySequence::finished, this, &SecondarySearch::foundById);
    m_globalInit.setSingleShot(true);
    m_globalInit.setInterval(PrimaryScan::kGlobalInitMs);
    connect(&m_globalInit, &QTimer::timeout, this, &SecondarySearch::begin);
}

void SecondarySearch::findById(const QString &idText, bool discovery)
{
    if (idText.size() != 8) {
        m_session.log.addLine(QStringLiteral("Incorrect ID entered"));
        return;
    }
    if (idText.contains(u'F') || idText.contains(u'f')) {
        std::array<std::uint8_t, 8> pattern{};
        for (int i = 0; i < 8; ++i) {
            const QChar c = idText.at(i);
            pattern[std::size_t(i)] = c.isDigit() ? std::uint8_t(c.unicode() - u'0') : mbus::kWildcardDigit;
        }
        startWildcard(false, pattern);
        return;
    }
    if (!takeBus(tr("Find %1").arg(idText)))
        return;
    m_byId = true;
    m_selectionSent = false;
    m_findId = idText;
    m_summary.asked = 1;
    m_sequence.start(idText.toStdString(), std::nullopt, -1, idText, true, discovery);
}

// Several meters answered the selection by a full ID and collided: they are
// told apart as the wildcard search tells twins apart.
void SecondarySearch::foundById(SecondarySequence::Result result)
{
    switch (result) {
    case SecondarySequence::Result::Read:
        ++m_summary.answered;
        break;
    case SecondarySequence::Result::Collided:
        m_summary.asked = -1; // meters found under the ID
        for (int i = 0; i < 8; ++i)
            m_fixed[std::size_t(7 - i)] = std::uint8_t(m_findId.at(i).unicode() - u'0');
        m_cells = m_fixed;
        m_medium = m_version = 0xFF;
        m_levels.clear();
        m_metersById.clear();
        m_found.clear();
        m_accounted = 0;
        m_lossSeen = !m_session.trustsSilence();
        m_trustedSilent.clear();
        m_lookingAgain = false;
        collision();
        return;
    default:
        m_summary.silent << m_findId;
        break;
    }
    end();
}

void SecondarySearch::startWildcard(bool clearTable, const std::array<std::uint8_t, 8> &pattern)
{
    if (running())
        return;
    for (std::size_t i = 0; i < 8; ++i)
        m_fixed[7 - i] = pattern[i] <= 9 ? pattern[i] : mbus::kWildcardDigit;
    m_cells = m_fixed;
    if (!takeBus(tr("Secondary search %1").arg(patternText())))
        return;
    m_byId = false;
    m_selectionSent = false;
    m_metersById.clear();
    m_found.clear();
    m_accounted = 0;
    m_lossSeen = !m_session.trustsSilence();
    m_trustedSilent.clear();
    m_lookingAgain = false;
    if (clearTable) {
        m_session.table.clear();
        m_session.clearSelection();
    }
    if (m_session.options().globalInit) {
        m_session.link.sendFrame(mbus::buildSndNke(mbus::kBroadcastNoReply));
        m_wait = Wait::GlobalInit;
        m_globalInit.start();
        return;
    }
    begin();
}

void SecondarySearch::begin()
{
    m_progress = 0;
    emit progressChanged(0, kTopLevelSteps, 0, true);
    m_lsbFirst = m_session.options().lsbSearch;
    m_cells = m_fixed;
    m_medium = m_version = 0xFF;
    m_levels.clear();
    if (nextOpenCell(0) == 0) { // nothing to search for
        finishSearch();
        return;
    }
    probe(); // the whole pattern first: an empty bus ends after this one probe
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
    return cellsText(m_cells);
}

QString SecondarySearch::cellsText(const std::array<std::uint8_t, 8> &cells)
{
    QString text;
    for (int cell = 8; cell >= 1; --cell) {
        const int digit = cells[std::size_t(cell - 1)];
        text += digit == mbus::kWildcardDigit ? QChar(u'F') : QChar(u'0' + digit);
    }
    return text;
}

std::string SecondarySearch::idPattern() const
{
    return patternText().toStdString();
}

int SecondarySearch::lastValue(Kind kind) const
{
    switch (kind) {
    case Kind::Digit:
        return 9;
    case Kind::Medium:
        return 0x1F; // the media EN 13757-3 defines (and its first reserved ones)
    case Kind::Version:
        return 0xFE; // FF is the wildcard
    }
    return 0;
}

void SecondarySearch::checkNext()
{
    Level &level = m_levels.back();
    if (level.value > lastValue(level.kind)) {
        if (lookAgain(level)) {
            checkNext();
            return;
        }
        // Still fewer meters one by one than together: an answer under the
        // pattern above was not told apart.
        if (!level.single && m_accounted - level.accountedAt < level.implied) {
            std::array<std::uint8_t, 8> above = m_cells;
            if (level.kind == Kind::Digit)
                above[std::size_t(level.cell - 1)] = mbus::kWildcardDigit;
            QString where = cellsText(above);
            if (level.kind == Kind::Version)
                where += tr(", medium %1").arg(QString::number(m_medium, 16).rightJustified(2, u'0').toUpper());
            m_summary.unresolved << where;
            m_session.log.addLine(tr("Fewer meters were found under %1 than answered there together: some answers "
                                     "could not be told apart...")
                                      .arg(where));
        }
        if (level.kind == Kind::Medium)
            m_medium = 0xFF;
        else if (level.kind == Kind::Version)
            m_version = 0xFF;
        m_levels.pop_back();
        if (m_levels.empty())
            finishSearch();
        else
            stepDone(); // the outer level's value is done with its descent
        return;
    }
    switch (level.kind) {
    case Kind::Digit:
        // This cell takes the digit; the cells beyond it (towards the far end
        // of the search) are open again; the cells before it keep the outer digits.
        m_cells[std::size_t(level.cell - 1)] = std::uint8_t(level.value);
        if (m_lsbFirst)
            for (int cell = level.cell + 1; cell <= 8; ++cell)
                m_cells[std::size_t(cell - 1)] = m_fixed[std::size_t(cell - 1)];
        else
            for (int cell = level.cell - 1; cell >= 1; --cell)
                m_cells[std::size_t(cell - 1)] = m_fixed[std::size_t(cell - 1)];
        break;
    case Kind::Medium:
        m_medium = std::uint8_t(level.value);
        break;
    case Kind::Version:
        m_version = std::uint8_t(level.value);
        break;
    }
    probe();
}

void SecondarySearch::probe()
{
    QString line = QStringLiteral("Checking ") + patternText();
    if (m_medium != 0xFF)
        line += tr(", medium %1").arg(QString::number(m_medium, 16).rightJustified(2, u'0').toUpper());
    if (m_version != 0xFF)
        line += tr(", version %1").arg(m_version);
    m_session.log.addLine(line + QStringLiteral("..."));

    std::array<std::uint8_t, 8> digits{}; // leftmost first
    for (int i = 0; i < 8; ++i)
        digits[std::size_t(i)] = m_cells[std::size_t(7 - i)];
    Question question;
    question.request = mbus::buildWildcardSelection(digits, m_version, m_medium);
    question.expect = Expect::Presence;
    question.tries = 1 + m_session.options().retries;
    question.trustSilence = !m_lossSeen && !m_session.options().retriesOnSilence() && !m_levels.empty()
                            && m_levels.back().kind == Kind::Digit;
    m_silenceTrusted = question.trustSilence;
    if (!m_levels.empty() && m_levels.back().secondLook)
        ++m_summary.retries;
    m_wait = Wait::Selection;
    m_selectionSent = true;
    m_exchange.ask(question);
}

void SecondarySearch::stepDone()
{
    m_confirming = m_collided = false;
    if (m_levels.empty()) { // the meters under a full ID, told apart
        finishSearch();
        return;
    }
    if (m_levels.back().single) { // a pattern looked at again, and what lies below it
        m_levels.pop_back();
        finishSearch();
        return;
    }
    if (m_levels.size() == 1 && m_progress < kTopLevelSteps)
        emit progressChanged(0, kTopLevelSteps, ++m_progress, true);
    ++m_levels.back().value;
    checkNext();
}

void SecondarySearch::answered(const Answer &answer)
{
    if (m_wait == Wait::Selection)
        afterSelection(answer);
    else
        afterReading(answer);
}

void SecondarySearch::afterSelection(const Answer &answer)
{
    BusSession &s = m_session;
    if (s.link.route() == LinkRoute::Serial && !s.link.serialPortOpen()) {
        s.log.addLine(QStringLiteral("No valid physical connection..."));
        portClosed();
        return;
    }
    if (answer.lossSeen)
        lossSeen();
    if (m_levels.empty()) {
        // The whole pattern: nobody answering means the bus holds no such
        // meter; otherwise the digit-by-digit search begins.
        if (answer.outcome != Outcome::Answered) {
            finishSearch();
        } else {
            pushLevel(Kind::Digit, nextOpenCell(0), 1);
            checkNext();
        }
        return;
    }
    if (answer.outcome != Outcome::Answered) {
        if (m_silenceTrusted && !m_lossSeen)
            m_trustedSilent.push_back({m_cells, m_levels.back()});
        stepDone();
        return;
    }
    // At least one meter matches: read the selected meter(s) at 253.
    Question question;
    question.request = s.readRequest(mbus::kSelectedAddress);
    question.idPattern = idPattern();
    question.tries = 1 + s.options().retries;
    question.damageEndsIt = !m_lossSeen;
    m_wait = Wait::Reading;
    m_confirming = m_collided = false;
    m_exchange.ask(question);
}

void SecondarySearch::afterReading(const Answer &answer)
{
    BusSession &s = m_session;
    if (s.link.route() == LinkRoute::Serial && !s.link.serialPortOpen()) {
        s.log.addLine(QStringLiteral("No valid physical connection :) "));
        portClosed();
        return;
    }
    // A selection answered and then a reading that stayed silent, or came
    // only after a retry, or came from elsewhere: the bus loses replies.
    // A damaged one is a collision, told by the level below.
    if ((answer.outcome != Outcome::Answered && answer.outcome != Outcome::Damaged) || answer.lossSeen)
        lossSeen();
    if (m_confirming) {
        // The same meter again: nobody else hides under this pattern. A
        // different answer: another meter lost its first one; one level deeper
        // each of them is found.
        m_confirming = false;
        const bool same = answer.outcome == Outcome::Answered && meterKey(answer.reading) == meterKey(m_pending);
        if (!same && answer.outcome != Outcome::Silent) {
            collision();
            return;
        }
        take(m_pending);
        stepDone();
        return;
    }
    // A reading that collided before one meter alone answered: the other
    // lost its answer. One level deeper each of them is found.
    if (answer.outcome != Outcome::Answered || m_collided) {
        collision();
        return;
    }
    // On a lossy bus one of several selected meters may have lost its answer:
    // where the pattern can still be narrowed (an open digit, or the medium
    // and version that tell twins apart) and retries are allowed, the reading
    // is asked for once more before it counts as the only meter.
    const bool openDigits = std::find(m_cells.begin(), m_cells.end(), mbus::kWildcardDigit) != m_cells.end();
    // Under a pattern that collided, a twin of this meter may have lost its
    // answer: the reading is asked for once more as well.
    const bool underCollision = !m_levels.empty() && m_levels.back().implied >= 2;
    if ((openDigits || m_version == 0xFF) && s.options().retries > 0 && (m_lossSeen || underCollision)) {
        if (m_lossSeen)
            ++m_summary.retries;
        m_confirming = true;
        m_pending = answer.reading;
        Question question;
        question.request = s.readRequest(mbus::kSelectedAddress);
        question.tries = 1;
        m_exchange.ask(question);
        return;
    }
    take(answer.reading);
    stepDone();
}

// ID, manufacturer, version and medium: what tells two meters apart.
QByteArray SecondarySearch::meterKey(const Reading &reading)
{
    return reading.telegrams.isEmpty() ? QByteArray() : reading.telegrams.front().mid(7, 8);
}

void SecondarySearch::take(const Reading &reading)
{
    const QByteArray key = meterKey(reading);
    const QString id = QString::fromStdString(
        decode::decodeReply(byteView(reading.telegrams.front()), {}).header.idText);
    // A meter found again (a pattern asked again after a loss or a
    // collision) is no new reading: one row, one reading per meter. A second
    // meter with an ID found before gets a row of its own.
    if (m_found.contains(key))
        return;
    const bool twin = m_metersById.value(id) > 0;
    if (!m_session.applyReading(reading, twin ? decode::RowRule::Scan : decode::RowRule::SecondaryReply))
        return;
    m_found.insert(key);
    ++m_accounted;
    m_metersById[id] += 1;
    ++m_summary.answered;
    if (!reading.complete)
        m_summary.incomplete << id;
}

// Several meters answered (or the answer could not be read): one level deeper.
void SecondarySearch::collision()
{
    m_session.log.addLine(QStringLiteral("Collision"));
    m_confirming = m_collided = false;
    // Below the whole pattern (a full ID found by "Find"), or below this level.
    const int deeper = m_levels.empty()                      ? nextOpenCell(0)
                       : m_levels.back().kind == Kind::Digit ? nextOpenCell(m_levels.back().cell)
                                                             : 0;
    if (deeper != 0) {
        pushLevel(Kind::Digit, deeper, 2);
    } else if (m_medium == 0xFF) {
        m_session.log.addLine(
            tr("Several meters answer for ID %1: telling them apart by their medium...").arg(patternText()));
        pushLevel(Kind::Medium, 0, 2);
    } else if (m_version == 0xFF) {
        pushLevel(Kind::Version, 0, 2);
    } else {
        const QString where =
            tr("%1 (medium %2, version %3)").arg(patternText()).arg(m_medium, 2, 16, QChar(u'0')).arg(m_version);
        m_session.log.addLine(tr("Meters %1 cannot be told apart...").arg(where));
        m_summary.unresolved << where;
        m_accounted += 2;
        stepDone();
        return;
    }
    checkNext();
}

void SecondarySearch::pushLevel(Kind kind, int cell, int implied)
{
    Level level;
    level.kind = kind;
    level.cell = cell;
    level.implied = implied;
    level.accountedAt = m_accounted;
    m_levels.push_back(level);
}

bool SecondarySearch::lookAgain(Level &level)
{
    if (level.single || level.secondLook || m_accounted - level.accountedAt >= level.implied
        || m_session.options().retries == 0)
        return false;
    lossSeen();
    level.secondLook = true;
    level.value = 0;
    m_session.log.addLine(tr("Fewer meters answered one by one than together: the bus lost replies, and these "
                             "patterns are asked again..."));
    return true;
}

// Patterns whose silence was trusted before the bus lost a reply are asked
// again, each as a level of its own value; whatever answers is searched below.
bool SecondarySearch::lookAgainAtTrusted()
{
    if (!m_lossSeen || m_summary.stopped || m_trustedSilent.empty() || m_session.options().retries == 0)
        return false;
    if (!m_lookingAgain) {
        m_lookingAgain = true;
        m_session.log.addLine(tr("The bus lost replies: the %n pattern(s) found silent before are asked again...",
                                 nullptr, int(m_trustedSilent.size())));
    }
    const TrustedSilence next = m_trustedSilent.front();
    m_trustedSilent.erase(m_trustedSilent.begin());
    m_cells = next.cells;
    m_medium = m_version = 0xFF;
    m_levels = {next.level};
    m_levels.back().single = true;
    ++m_summary.retries;
    probe();
    return true;
}

void SecondarySearch::finishSearch()
{
    if (!running() || lookAgainAtTrusted())
        return;
    // Without retries the patterns found silent before the loss are not
    // asked again: said, so that nobody takes the list for the whole bus.
    if (m_lossSeen && !m_trustedSilent.empty()) {
        constexpr std::size_t kShown = 8;
        QStringList patterns;
        for (std::size_t i = 0; i < std::min(kShown, m_trustedSilent.size()); ++i)
            patterns << cellsText(m_trustedSilent[i].cells);
        if (m_trustedSilent.size() > kShown)
            patterns << tr("%n more", nullptr, int(m_trustedSilent.size() - kShown));
        m_summary.unchecked << patterns.join(QStringLiteral(", "));
        m_trustedSilent.clear();
    }
    for (auto it = m_metersById.cbegin(); it != m_metersById.cend(); ++it)
        if (it.value() > 1)
            m_summary.notes << tr("%1 meters share ID %2").arg(it.value()).arg(it.key());
    emit progressChanged(0, kTopLevelSteps, kTopLevelSteps, true);
    if (!m_byId)
        m_session.log.addLine(QStringLiteral("Secondary search thread terminated normally."));
    end();
}

void SecondarySearch::lossSeen()
{
    m_lossSeen = true;
    m_session.noteLoss();
}

// The port was closed under the search: it ends as a lost link does.
void SecondarySearch::portClosed()
{
    m_summary.linkLost = true;
    stop();
}

// A meter selected by the step under way stays selected until a SND_NKE to
// 253 ends it, or it would answer the next reading at 253.
void SecondarySearch::onStop()
{
    m_sequence.abandon(); // Find by ID ends its own selection
    if (m_selectionSent && !m_summary.linkLost) {
        m_session.link.sendFrame(mbus::buildSndNke(mbus::kSelectedAddress));
        m_session.link.keepQuiet(m_session.options().responseTimeoutMs);
    }
}
