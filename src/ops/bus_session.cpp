#include "bus_session.h"

#include "decode/decode.h"
#include "decode/telegrams.h"
#include "link/log_time.h"
#include "mbus/frame_complete.h"
#include "mbus/frames.h"

#include <QLocale>

#include <charconv>
#include <cmath>

std::optional<int> decimalAddress(const std::string &text, int max)
{
    int value = 0;
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < 0 || value > max)
        return std::nullopt;
    return value;
}

mbus::ReplyKind classify(const QByteArray &reply, bool readAll)
{
    const mbus::ByteView bytes(reinterpret_cast<const std::uint8_t *>(reply.constData()), std::size_t(reply.size()));
    return readAll ? mbus::classifyReadAllReply(bytes) : mbus::classifyReply(bytes);
}

namespace {

mbus::ByteView byteView(const QByteArray &bytes)
{
    return {reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())};
}

// 10 7B A CS 16 or 10 5B A CS 16.
bool isReadRequest(const mbus::Bytes &frame)
{
    return frame.size() == 5 && frame[0] == 0x10 && (frame[1] == 0x7B || frame[1] == 0x5B);
}

// A telegram with its fixed header: 68 L L 68 C A CI, 12 header bytes, CS 16.
constexpr qsizetype kHeaderReplySize = 21;

} // namespace

BusSession::BusSession(BusLink &link, CommLog &log, decode::DeviceTable &table, BusTimers timers, QObject *parent)
    : QObject(parent), link(link), log(log), table(table), timers(timers)
{
    connect(&timers.respond, &QTimer::timeout, this, &BusSession::respondDue);
    connect(&timers.secondary, &QTimer::timeout, this, &BusSession::secondaryDue);
    connect(&timers.readAll, &QTimer::timeout, this, &BusSession::readAllDue);
}

BusSession::~BusSession()
{
    link.replyComplete = nullptr;
}

bool BusSession::send(const mbus::Request &request)
{
    ++m_requests;
    if (!m_askingTelegram)
        m_telegrams.clear(); // a new reading, or no reading at all
    m_lastRequest = request.frame;
    if (options().fastReads) {
        const quint64 number = m_requests;
        // Called while the link is in the middle of a read: the reply is
        // taken from the event loop.
        link.replyComplete = [this, number] {
            QMetaObject::invokeMethod(
                this, [this, number] { takeReplyNow(number); }, Qt::QueuedConnection);
        };
    } else {
        link.replyComplete = nullptr;
    }
    return link.sendFrame(request);
}

void BusSession::takeReplyNow(quint64 request)
{
    if (request != m_requests)
        return; // a later request went out meanwhile
    const auto fire = [this](QTimer &timer, void (BusSession::*due)()) {
        if (!timer.isActive())
            return false;
        timer.start(); // the next wait counts from now, as after any tick
        emit(this->*due)();
        return true;
    };
    if (fire(timers.respond, &BusSession::respondDue) || fire(timers.secondary, &BusSession::secondaryDue)
        || fire(timers.readAll, &BusSession::readAllDue))
        return;
    emit replyCompleteEarly();
}

std::optional<QByteArray> BusSession::collectReply()
{
    QByteArray reply = link.collectReply();
    if (!options().allTelegrams || !isReadRequest(m_lastRequest))
        return reply;
    const bool whole = reply.size() >= kHeaderReplySize && mbus::isCompleteFrame(byteView(reply));
    if (whole && decode::announcesMoreRecords(byteView(reply))) {
        if (int(m_telegrams.size()) + 1 < kMaxTelegrams) {
            m_telegrams.push_back(reply);
            m_telegramRetry = 0;
            askTelegram(true);
            return std::nullopt;
        }
        log.addLine(tr("%1 telegrams read and the meter announces more: the reading ends here...").arg(kMaxTelegrams));
        return reply;
    }
    if (m_telegrams.empty() || whole)
        return reply;
    if (++m_telegramRetry <= options().retries) {
        askTelegram(false);
        return std::nullopt;
    }
    const int arrived = int(m_telegrams.size());
    log.addLine(tr("Telegram %1 did not arrive, the reading holds the first %2...").arg(arrived + 1).arg(arrived));
    reply = m_telegrams.back();
    m_telegrams.pop_back();
    return reply;
}

// The meter answers a toggled frame count bit with its next telegram and the
// same bit with the last one again.
void BusSession::askTelegram(bool toggle)
{
    const int address = m_lastRequest[2];
    const bool fcbSet = m_lastRequest[1] == 0x7B;
    link.discardPendingReply();
    m_askingTelegram = true;
    send(mbus::buildReqUd2(address, toggle ? fcbSet : !fcbSet));
    m_askingTelegram = false;
}

bool BusSession::begin()
{
    if (m_busy) {
        log.addLine(tr("Another operation is using the bus, nothing sent..."));
        return false;
    }
    clearPendingFlags();
    m_busy = true;
    emit busyChanged(true);
    return true;
}

void BusSession::finish()
{
    if (!m_busy || autoAddressingActive)
        return;
    clearPendingFlags();
    m_busy = false;
    emit busyChanged(false);
}

void BusSession::abort()
{
    if (!m_busy)
        return;
    emit aborted(); // the walks end themselves
    for (QTimer *t : {&timers.respond, &timers.secondary, &timers.readAll, &timers.autoAddress})
        t->stop();
    scanActive = secondaryReply = autoAddressingActive = false;
    fullReportRequest = false;
    link.endLinkUse();
    finish();
}

void BusSession::setSelection(const decode::MeterSelection &selection, int currentRow)
{
    m_selected = selection;
    emit selectionChanged(QString::fromStdString(selection.id),
                          selection.hasAddress() ? selectedAddressText() : QString(), currentRow);
}

void BusSession::selectRow(int row)
{
    const auto selection = table.selectionAt(row);
    if (!selection)
        return;
    m_selectedRow = row;
    if (selection->hasAddress()) {
        // The current reading in litres: the value (m3) times 1000, no decimals.
        QString value = QString::fromStdString(table.cell(row, decode::kValueColumn)).trimmed();
        value.replace(u',', u'.');
        bool ok = false;
        const double litres = value.toDouble(&ok) * 1000.0;
        // Not a number: nothing a relay write could send (it would zero the counter).
        relayValue = ok && std::isfinite(litres) ? QString::number(litres, 'f', 0) : QString();
    }
    setSelection(*selection, -1);
}

void BusSession::clearSelection()
{
    m_selectedRow = 0;
    relayValue.clear();
    setSelection(decode::MeterSelection(), -1);
}

void BusSession::showSelectedMeter(const decode::MeterSelection &selection)
{
    const int row = table.lastRowWithAddress(selection.address);
    if (row >= 1)
        m_selectedRow = row;
    setSelection(selection, row);
}

std::optional<int> BusSession::writeTarget() const
{
    if (options().broadcast)
        return mbus::kBroadcastAddress;
    return decimalAddress(m_selected.address, mbus::kMaxPrimaryAddress);
}

std::optional<int> BusSession::readTarget() const
{
    if (options().broadcast)
        return mbus::kBroadcastAddress;
    return decimalAddress(m_selected.address, mbus::kBroadcastAddress);
}

mbus::Request BusSession::readRequest(int address) const
{
    return mbus::buildReqUd2(address, options().use5B);
}

mbus::Request BusSession::firstRequest(int address) const
{
    return options().sendNkeFirst ? mbus::buildSndNke(address) : readRequest(address);
}

bool BusSession::decodeReply(const QByteArray &reply)
{
    const QLocale locale;
    const QDateTime moment = now();
    decode::DecodeOptions decodeOptions;
    decodeOptions.fullReport = fullReportRequest;
    const QString point = locale.decimalPoint();
    decodeOptions.decimalSeparator = point.size() == 1 && point.at(0).unicode() < 0x80 ? point.at(0).toLatin1() : '.';
    const std::string time = logTimeText(moment.time(), locale).toStdString();
    const std::string date = logDateText(moment.date(), locale).toStdString();
    decodeOptions.timeText = time;
    decodeOptions.dateText = date;

    QList<QByteArray> reading(m_telegrams.begin(), m_telegrams.end());
    reading << reply;
    m_telegrams.clear();
    decode::DecodeResult result;
    if (reading.size() == 1) {
        result = decode::decodeReply(byteView(reply), decodeOptions);
    } else {
        std::vector<mbus::ByteView> telegrams;
        for (const QByteArray &telegram : std::as_const(reading))
            telegrams.push_back(byteView(telegram));
        result = decode::decodeReplies(telegrams, decodeOptions);
    }
    // Decoded texts carry the meter's bytes unchanged: show them as Latin-1.
    for (const std::string &line : result.logLines)
        log.addLine(QString::fromLatin1(line.data(), qsizetype(line.size())));
    if (result.reportWritten) {
        QStringList lines;
        for (const std::string &line : result.reportLines)
            lines << QString::fromLatin1(line.data(), qsizetype(line.size()));
        fullReportRequest = false;
        emit reportReady(lines);
    }
    if (result.updateDeviceTable) {
        const decode::RowRule rule = scanActive       ? decode::RowRule::Scan
                                     : secondaryReply ? decode::RowRule::SecondaryReply
                                                      : decode::RowRule::ByAddress;
        if (const auto selection = table.update(result.header, result.rows, rule, time, date))
            showSelectedMeter(*selection);
    }
    if (result.valid && result.headerDecoded)
        emit readingDecoded(reading);
    return result.valid;
}
