#include "meter_commands.h"

#include "mbus/conversions.h"
#include "mbus/frames.h"
#include "secondary_sequence.h"

namespace {

bool isDigits(const QString &text, int minLength, int maxLength)
{
    if (text.size() < minLength || text.size() > maxLength)
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

} // namespace

MeterCommands::MeterCommands(BusSession &session, QObject *parent)
    : Operation(session, parent), m_sequence(session, this)
{
    connect(&m_exchange, &Exchange::answered, this, &MeterCommands::answered);
    connect(&m_sequence, &SecondarySequence::finished, this, &MeterCommands::sequenceFinished);
}

void MeterCommands::startWrite(const QString &what, const std::function<mbus::Request(int target)> &build,
                               bool readAfter)
{
    if (!m_session.permits(Right::Devices))
        return;
    // Without a target (no meter with a usable address selected, no
    // broadcast) a command sends nothing; a meter whose address is not
    // confirmed is not written to at either address.
    const std::optional<int> target = m_session.writeTarget();
    if (!target) {
        sayUnconfirmed();
        return;
    }
    const mbus::Request request = build(*target);
    if (!request.ok()) {
        m_session.log.addLine(QString::fromStdString(request.refusal));
        return;
    }
    if (!takeBus(tr("%1 at address %2").arg(what).arg(*target)))
        return;
    m_what = what;
    // The command's own lines tell how it went; the summary only a stop.
    m_summary.quiet = true;
    m_summary.asked = 1;
    m_step = Step::Write;
    m_readAfter = readAfter;
    m_fullReport = false;
    m_readId = m_session.selected().id;
    m_meter = m_session.options().broadcast ? QString()
              : m_readId.empty()            ? m_session.selectedAddressText()
                                            : QString::fromStdString(m_readId);
    Question question;
    question.request = request;
    question.expect = Expect::Acknowledge;
    // The same frame to the same meter again: a write that arrived once is
    // only written once more.
    question.tries = 1 + m_session.options().retries;
    m_exchange.ask(question);
}

void MeterCommands::askRead(Step step, int target)
{
    const BusOptions options = m_session.options();
    m_step = step;
    Question question;
    question.request = m_session.readRequest(target);
    question.nkeFirst = options.sendNkeFirst;
    question.address = target <= mbus::kMaxPrimaryAddress ? target : -1;
    if (!options.broadcast && m_readId.size() == 8)
        question.idPattern = m_readId;
    m_exchange.ask(question);
}

void MeterCommands::reset()
{
    startWrite(
        tr("Reset"), [](int target) { return mbus::buildApplicationReset(target); }, false);
}

void MeterCommands::changeBaud(const QString &baudText)
{
    const std::optional<std::uint8_t> ci = baudText == QLatin1String("300") || baudText == QLatin1String("2400")
                                                   || baudText == QLatin1String("9600")
                                               ? mbus::baudRateCi(baudText.toInt())
                                               : std::nullopt;
    if (!ci) {
        m_session.log.addLine(QStringLiteral("Wrong baud..."));
        return;
    }
    startWrite(
        tr("Set baud rate %1").arg(baudText), [ci](int target) { return mbus::buildBaudChange(target, *ci); }, false);
}

void MeterCommands::changeId(const QString &newId)
{
    if (newId.size() != 8)
        return;
    const std::string id = newId.toStdString();
    startWrite(
        tr("Set ID %1").arg(newId), [id](int target) { return mbus::buildIdChange(target, id); }, true);
    m_readId = id; // the read after the write finds the meter under its new ID
}

void MeterCommands::setValue(const QString &valueText, bool integerForm)
{
    if (valueText.isEmpty()) {
        m_session.log.addLine(QStringLiteral("Liter value is not entered..."));
        return;
    }
    m_session.relayValue = valueText;
    const std::string value = valueText.toStdString();
    startWrite(
        tr("Set value %1").arg(valueText),
        [value, integerForm](int target) { return mbus::buildLitresWrite(target, value, integerForm); }, true);
}

void MeterCommands::setMedium(const QString &mediumText)
{
    if (mediumText.isEmpty()) {
        m_session.log.addLine(QStringLiteral("Incomplete data entered to program medium ..."));
        return;
    }
    const std::uint8_t code = mbus::mediumCode(mediumText.toStdString());
    const std::string id = m_session.options().broadcast ? std::string("FFFFFFFF") : m_session.selected().id;
    startWrite(
        tr("Set medium %1").arg(mediumText),
        [code, id](int target) { return mbus::buildMediumWrite(target, code, id); }, true);
}

void MeterCommands::setUnit(const QString &unit, const QString &constant, bool relay)
{
    const std::string unitText = unit.toStdString();
    if (std::find(mbus::kUnitNames.begin(), mbus::kUnitNames.end(), unitText) == mbus::kUnitNames.end()) {
        m_session.log.addLine(QStringLiteral("Incorrect unit. Allowable units are l,Wh,kJ,N/A..."));
        return;
    }
    if (relay) {
        relayUnit(unit, constant);
        return;
    }
    const decode::DeviceTable &table = m_session.table;
    const std::uint8_t medium = mbus::mediumCode(
        table.cellText(m_session.selectedRow(), table.layout().mediumColumn()));
    const std::uint8_t vif = mbus::unitVif(unitText, constant.toStdString());
    startWrite(
        tr("Set unit %1").arg(unit), [medium, vif](int target) { return mbus::buildUnitWrite(target, medium, vif); },
        true);
}

void MeterCommands::relayUnit(const QString &unit, const QString &constant)
{
    if (unit.isEmpty()) {
        m_session.log.addLine(QStringLiteral("Enter unit - l,Wh,kJ,N/A..."));
        return;
    }
    if (constant.isEmpty()) {
        m_session.log.addLine(QStringLiteral("Enter constant - 0.001,0.01,0.1,1,etc..."));
        return;
    }
    if (!m_session.options().broadcast
        && m_session.table.cellText(m_session.selectedRow(), decode::kManufacturerColumn) != "REL") {
        m_session.log.addLine(QStringLiteral("This m-bus device is NOT Relay! Skipping..."));
        return;
    }
    // The reading kept from the table must be a counter the meter can take;
    // anything else would be written as 0 and wipe the meter's counter.
    if (!isDigits(m_session.relayValue, 1, 8)) {
        m_session.log.addLine(QStringLiteral("The reading \"%1\" is not a counter of 1 to 8 digits, nothing sent...")
                                  .arg(m_session.relayValue));
        return;
    }
    const std::string value = m_session.relayValue.toStdString();
    const std::uint8_t vif = mbus::unitVif(unit.toStdString(), constant.toStdString());
    startWrite(
        tr("Set unit %1").arg(unit),
        [value, vif](int target) { return mbus::buildValueWithUnitWrite(target, value, vif); }, true);
}

void MeterCommands::sayUnconfirmed() const
{
    const decode::MeterSelection &selected = m_session.selected();
    if (selected.address.number && !selected.address.confirmed && !m_session.options().broadcast)
        m_session.log.addLine(tr("The address of meter %1 is not confirmed (%2): nothing sent. \"Read selected\" "
                                 "finds where it answers...")
                                  .arg(QString::fromStdString(selected.id), m_session.selectedAddressText()));
}

void MeterCommands::setPrimaryAddress(int newAddress, bool force)
{
    if (!m_session.permits(Right::Devices))
        return;
    if (newAddress > mbus::kMaxPrimaryAddress || newAddress < 0) {
        m_session.log.addLine(QStringLiteral("Incorrect primary address, must be under 251..."));
        return;
    }
    const bool broadcast = m_session.options().broadcast;
    const decode::MeterSelection selected = m_session.selected();
    if (broadcast ? !selected.hasAddress() : selected.id.empty())
        return;
    if (broadcast) {
        startWrite(
            tr("Set primary address %1").arg(newAddress),
            [newAddress](int) { return mbus::buildPrimaryAddressWrite(mbus::kBroadcastAddress, newAddress); }, false);
        return;
    }
    if (const std::optional<QString> holder = addressHolder(newAddress); holder && !force) {
        if (!confirmAddressInUse || !confirmAddressInUse(newAddress, *holder)) {
            m_session.log.addLine(
                tr("Address %1 belongs to meter %2 already: not given...").arg(newAddress).arg(*holder));
            return;
        }
        force = true; // the user gave it knowingly
    }
    const QString id = QString::fromStdString(selected.id);
    if (!takeBus(tr("Set primary address %1 for meter %2").arg(newAddress).arg(id)))
        return;
    m_newAddress = newAddress;
    m_what.clear();
    m_summary.asked = 1;
    const std::optional<int> oldAddress = selected.address.usable(mbus::kMaxPrimaryAddress);
    m_sequence.start(selected.id, newAddress, oldAddress.value_or(-1), id, !force);
}

std::optional<QString> MeterCommands::addressHolder(int address) const
{
    const decode::DeviceTable &table = m_session.table;
    for (int row = 0; row < table.rowCount(); ++row) {
        const decode::MeterRow &meter = table.row(row);
        if (row == m_session.selectedRow() || meter.address.usable(mbus::kBroadcastAddress) != address)
            continue;
        if (meter.id == m_session.selected().id)
            continue; // the same meter in another row
        return QString::fromStdString(meter.id);
    }
    return std::nullopt;
}

void MeterCommands::sequenceFinished(SecondarySequence::Result result)
{
    const QString id = QString::fromStdString(m_session.selected().id);
    switch (result) {
    case SecondarySequence::Result::Read:
        m_summary.answered = 1;
        break;
    case SecondarySequence::Result::NotSelected:
    case SecondarySequence::Result::NotRead:
    case SecondarySequence::Result::Collided:
        m_summary.silent << id;
        break;
    case SecondarySequence::Result::KeptAddress:
        m_summary.answered = 1;
        m_summary.notes << tr("its address did not change");
        m_summary.unverified << id;
        break;
    case SecondarySequence::Result::Unverified:
        m_summary.unverified << id + QStringLiteral(" (%1?)").arg(m_newAddress);
        break;
    case SecondarySequence::Result::AddressTaken:
    case SecondarySequence::Result::AddressUnclear:
        m_summary.refused << m_sequence.refusal();
        break;
    }
    end();
}

// A write that went out is accounted for, however the command ends.
void MeterCommands::onStop()
{
    const QString meter = m_meter;
    if (m_sequence.abandon()) {
        m_summary.unconfirmed << tr("address %1 was sent to meter %2 but not confirmed")
                                     .arg(*m_sequence.newAddress())
                                     .arg(QString::fromStdString(m_session.selected().id));
    } else if (m_step == Step::Write && !m_what.isEmpty()) {
        m_summary.unconfirmed << (meter.isEmpty() ? tr("%1 was sent to every meter (254) but not confirmed").arg(m_what)
                                                  : tr("%1 was sent to meter %2 but not confirmed").arg(m_what, meter));
    }
}

void MeterCommands::readSelected(bool fullReport)
{
    const bool broadcast = m_session.options().broadcast;
    const decode::MeterSelection selected = m_session.selected();
    if (!broadcast && !selected.hasAddress())
        return;
    if (!broadcast && selected.address.number && !selected.address.confirmed && selected.id.size() == 8) {
        const QString id = QString::fromStdString(selected.id);
        if (!takeBus(tr("Read meter %1 by its ID").arg(id)))
            return;
        m_summary.quiet = true;
        m_summary.asked = 1;
        m_what.clear();
        m_sequence.start(selected.id, std::nullopt, -1, id);
        return;
    }
    const std::optional<int> target = m_session.readTarget();
    if (!target
        || !takeBus(tr("%1 at address %2").arg(fullReport ? tr("Read Full") : tr("Read selected")).arg(*target)))
        return;
    m_summary.quiet = true;
    m_summary.asked = 1;
    m_what.clear();
    m_fullReport = fullReport;
    m_readId = m_session.selected().id;
    askRead(Step::Read, *target);
}

void MeterCommands::answered(const Answer &answer)
{
    const auto noResponse = [this] {
        m_session.log.addLine(QStringLiteral("No response from address ") + m_session.selectedAddressText());
    };
    if (answer.outcome == Outcome::Answered)
        m_summary.answered = 1;
    switch (m_step) {
    case Step::Write:
        if (answer.outcome == Outcome::Silent) {
            noResponse();
        } else if (m_readAfter) {
            if (const std::optional<int> target = m_session.readTarget()) {
                askRead(Step::ReadAfter, *target);
                return;
            }
        }
        break;
    case Step::ReadAfter:
    case Step::Read:
        if (answer.outcome == Outcome::Answered)
            m_session.applyReading(answer.reading, decode::RowRule::ByAddress, m_fullReport);
        else if (answer.outcome == Outcome::Silent || answer.outcome == Outcome::Acknowledged)
            noResponse();
        break;
    }
    end();
}
