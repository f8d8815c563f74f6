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

MeterCommands::MeterCommands(BusSession &session, SecondarySequence &sequence, QObject *parent)
    : QObject(parent), m_session(session), m_sequence(sequence)
{
    connect(&m_session, &BusSession::respondDue, this, [this] {
        if (!m_session.scanActive)
            respondTick();
    });
}

bool MeterCommands::takeBusAndLink()
{
    if (!m_session.begin())
        return false;
    if (!m_session.link.beginLinkUse()) {
        m_session.finish();
        return false;
    }
    m_session.scanActive = false;
    return true;
}

void MeterCommands::startWrite(const std::function<mbus::Request(int target)> &build, bool readAfter)
{
    // Without a target (no meter with a usable address selected, no
    // broadcast) a command sends nothing and says nothing.
    const std::optional<int> target = m_session.writeTarget();
    if (!target)
        return;
    const mbus::Request request = build(*target);
    if (!request.ok()) {
        m_session.log.addLine(QString::fromStdString(request.refusal));
        return;
    }
    if (!takeBusAndLink())
        return;
    m_session.readAfterCommand = readAfter;
    m_session.send(request);
    m_session.timers.respond.start();
}

void MeterCommands::reset()
{
    startWrite([](int target) { return mbus::buildApplicationReset(target); }, false);
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
    startWrite([ci](int target) { return mbus::buildBaudChange(target, *ci); }, false);
}

void MeterCommands::changeId(const QString &newId)
{
    if (newId.size() != 8)
        return;
    const std::string id = newId.toStdString();
    startWrite([id](int target) { return mbus::buildIdChange(target, id); }, true);
}

void MeterCommands::setValue(const QString &valueText, bool integerForm)
{
    if (valueText.isEmpty()) {
        m_session.log.addLine(QStringLiteral("Liter value is not entered..."));
        return;
    }
    m_session.relayValue = valueText;
    const std::string value = valueText.toStdString();
    startWrite([value, integerForm](int target) { return mbus::buildLitresWrite(target, value, integerForm); }, true);
}

void MeterCommands::setMedium(const QString &mediumText)
{
    if (mediumText.isEmpty()) {
        m_session.log.addLine(QStringLiteral("Incomplete data entered to program medium ..."));
        return;
    }
    const std::uint8_t code = mbus::mediumCode(mediumText.toStdString());
    const std::string id = m_session.options().broadcast ? std::string("FFFFFFFF") : m_session.selected().id;
    startWrite([code, id](int target) { return mbus::buildMediumWrite(target, code, id); }, true);
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
    const std::uint8_t medium = mbus::mediumCode(table.cell(m_session.selectedRow(), table.layout().mediumColumn()));
    const std::uint8_t vif = mbus::unitVif(unitText, constant.toStdString());
    startWrite([medium, vif](int target) { return mbus::buildUnitWrite(target, medium, vif); }, true);
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
        && m_session.table.cell(m_session.selectedRow(), decode::kManufacturerColumn) != "REL") {
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
    startWrite([value, vif](int target) { return mbus::buildValueWithUnitWrite(target, value, vif); }, true);
}

void MeterCommands::setPrimaryAddress(int newAddress)
{
    if (newAddress > mbus::kMaxPrimaryAddress || newAddress < 0) {
        m_session.log.addLine(QStringLiteral("Incorrect primary address, must be under 251..."));
        return;
    }
    const bool broadcast = m_session.options().broadcast;
    if (broadcast ? !m_session.selected().hasAddress() : m_session.selected().id.empty())
        return;
    if (!m_session.begin())
        return;
    setPrimaryAddressStep(newAddress);
}

void MeterCommands::setPrimaryAddressStep(int newAddress)
{
    BusSession &s = m_session;
    const auto giveUp = [&s] {
        if (s.autoAddressingActive) // the walk goes on with its next meter
            s.timers.autoAddress.start();
        else
            s.finish();
    };
    if (newAddress > mbus::kMaxPrimaryAddress || newAddress < 0) {
        s.log.addLine(QStringLiteral("Incorrect primary address, must be under 251..."));
        giveUp();
        return;
    }
    if (!s.link.beginLinkUse()) {
        giveUp();
        return;
    }
    s.scanActive = false;
    if (s.options().broadcast) {
        s.send(mbus::buildPrimaryAddressWrite(mbus::kBroadcastAddress, newAddress));
        s.timers.respond.start();
        return;
    }
    const QString id = QString::fromStdString(s.selected().id);
    if (!m_sequence.start(s.selected().id, newAddress, id)) {
        if (!s.autoAddressingActive)
            s.link.endLinkUse();
        giveUp();
    }
}

void MeterCommands::readSelected(bool fullReport)
{
    BusSession &s = m_session;
    const bool broadcast = s.options().broadcast;
    if (!broadcast && !s.selected().hasAddress())
        return;
    if (!takeBusAndLink())
        return;
    if (fullReport)
        s.fullReportRequest = true;
    if (const std::optional<int> target = s.readTarget())
        s.send(s.firstRequest(*target));
    s.timers.respond.start();
}

void MeterCommands::sendRead(int address)
{
    m_session.link.discardPendingReply();
    m_session.send(m_session.readRequest(address));
}

void MeterCommands::endOperation()
{
    m_session.timers.respond.stop();
    m_session.link.endLinkUse();
    m_session.finish();
}

void MeterCommands::respondTick()
{
    BusSession &s = m_session;
    const std::optional<QByteArray> collected = s.collectReply();
    if (!collected)
        return; // the next telegram of the reading was asked for
    const QByteArray &reply = *collected;
    switch (classify(reply)) {
    case mbus::ReplyKind::NoResponse:
        // The link stays as it is: a later operation ends its use.
        s.log.addLine(QStringLiteral("No response from address ") + s.selectedAddressText());
        s.timers.respond.stop();
        s.fullReportRequest = false;
        s.finish();
        return;
    case mbus::ReplyKind::Acknowledge:
        s.logAcknowledge();
        if (s.options().sendNkeFirst) {
            // It answers the SND_NKE: now the reading.
            if (const std::optional<int> target = s.readTarget())
                sendRead(*target);
            else
                endOperation();
            return;
        }
        break;
    case mbus::ReplyKind::Candidate:
        s.decodeReply(reply);
        break;
    }
    if (s.readAfterCommand) {
        s.readAfterCommand = false;
        if (const std::optional<int> target = s.readTarget()) {
            sendRead(*target);
            return;
        }
    }
    endOperation();
}
