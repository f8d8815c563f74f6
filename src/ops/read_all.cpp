#include "read_all.h"

#include "mbus/frames.h"

namespace {

// An ID cell a reply can be checked against: 8 digits.
std::string checkableId(const std::string &cell)
{
    const bool digits = cell.size() == 8 && std::all_of(cell.begin(), cell.end(), [](char c) {
                            return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'E');
                        });
    return digits ? cell : std::string();
}

} // namespace

ReadAll::ReadAll(BusSession &session, QObject *parent) : Operation(session, parent)
{
    connect(&m_exchange, &Exchange::answered, this, &ReadAll::answered);
}

std::optional<int> ReadAll::rowAddress(int row) const
{
    return m_session.table.row(row).address.usable(mbus::kSelectedAddress);
}

void ReadAll::start(const QString &title)
{
    const decode::DeviceTable &table = m_session.table;
    if (table.rowCount() == 0 || !takeBus(title.isEmpty() ? tr("Read all meters") : title))
        return;
    m_summary.asked = 0;
    m_progress = 0;
    m_progressMax = table.rowCount();
    m_showProgress = !m_session.options().sendNkeFirst;
    if (m_showProgress)
        emit progressChanged(0, m_progressMax, 0, true);
    if (!askNextRow(0))
        end();
}

// Rows without a usable address and rows past the table are passed over at
// once: there is nothing to ask them.
bool ReadAll::askNextRow(int from)
{
    const BusOptions options = m_session.options();
    for (int row = from; row < m_session.table.rowCount(); ++row) {
        const std::optional<int> address = rowAddress(row);
        if (!address) {
            advanceProgress();
            continue;
        }
        m_row = row;
        ++m_summary.asked;
        Question question;
        question.request = m_session.readRequest(*address);
        question.nkeFirst = options.sendNkeFirst;
        question.address = *address <= mbus::kMaxPrimaryAddress ? *address : -1;
        question.idPattern = checkableId(m_session.table.row(row).id);
        question.tries = 1 + options.retries;
        question.strayByteIsSilence = true;
        m_exchange.ask(question);
        return true;
    }
    return false;
}

void ReadAll::advanceProgress()
{
    m_progress = std::min(m_progress + 1, m_progressMax);
    if (m_showProgress)
        emit progressChanged(0, m_progressMax, m_progress, true);
}

void ReadAll::answered(const Answer &answer)
{
    const QString address = QString::fromStdString(m_session.table.cellText(m_row, decode::kAddressColumn));
    if (answer.outcome == Outcome::Answered && m_session.applyReading(answer.reading, decode::RowRule::ByAddress)) {
        ++m_summary.answered;
        if (!answer.reading.complete)
            m_summary.incomplete << address;
    } else if (answer.outcome == Outcome::Silent || answer.outcome == Outcome::Acknowledged) {
        m_summary.silent << address;
    } else {
        m_summary.invalid << address; // damaged, from another meter, or not decoded
    }
    advanceProgress();
    if (!askNextRow(m_row + 1))
        end();
}
