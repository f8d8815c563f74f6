#include "bus_session.h"

#include "decode/decode.h"
#include "decode/telegrams.h"
#include "link/log_time.h"
#include "mbus/frames.h"

#include <QLocale>

#include <charconv>
#include <cmath>

mbus::ByteView byteView(const QByteArray &bytes)
{
    return {reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())};
}

BusSession::BusSession(BusLink &link, CommLog &log, decode::DeviceTable &table, QObject *parent)
    : QObject(parent), link(link), log(log), table(table)
{}

bool BusSession::begin()
{
    if (m_busy) {
        log.addLine(tr("Another operation is using the bus, nothing sent..."));
        return false;
    }
    m_busy = true;
    emit busyChanged(true);
    return true;
}

bool BusSession::permits(Right right)
{
    if (rights.grants(right))
        return true;
    log.addLine(refusalLine(right));
    return false;
}

void BusSession::finish()
{
    if (!m_busy)
        return;
    m_busy = false;
    emit busyChanged(false);
}

void BusSession::abort()
{
    if (!m_busy)
        return;
    emit aborted(); // the walks end themselves
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
        QString value = QString::fromStdString(table.row(row).value).trimmed();
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
    m_selectedRow = -1;
    relayValue.clear();
    setSelection(decode::MeterSelection(), -1);
}

void BusSession::showSelectedMeter(const decode::MeterSelection &selection)
{
    const int row = selection.address.number && selection.address.confirmed
                        ? table.lastRowWithAddress(*selection.address.number)
                        : -1;
    if (row >= 0)
        m_selectedRow = row;
    setSelection(selection, row);
}

std::optional<int> BusSession::writeTarget() const
{
    if (options().broadcast)
        return mbus::kBroadcastAddress;
    return m_selected.address.usable(mbus::kMaxPrimaryAddress);
}

std::optional<int> BusSession::readTarget() const
{
    if (options().broadcast)
        return mbus::kBroadcastAddress;
    return m_selected.address.usable(mbus::kBroadcastAddress);
}

mbus::Request BusSession::readRequest(int address) const
{
    return mbus::buildReqUd2(address, options().use5B);
}

bool BusSession::applyReading(const Reading &reading, decode::RowRule rule, bool fullReport)
{
    if (reading.telegrams.isEmpty())
        return false;
    const QLocale locale;
    const QDateTime moment = now();
    decode::DecodeOptions decodeOptions;
    decodeOptions.fullReport = fullReport;
    const QString point = locale.decimalPoint();
    decodeOptions.decimalSeparator = point.size() == 1 && point.at(0).unicode() < 0x80 ? point.at(0).toLatin1() : '.';
    const std::string time = logTimeText(moment.time(), locale).toStdString();
    const std::string date = logDateText(moment.date(), locale).toStdString();
    decodeOptions.timeText = time;
    decodeOptions.dateText = date;

    decode::DecodeResult result;
    if (reading.telegrams.size() == 1) {
        result = decode::decodeReply(byteView(reading.telegrams.front()), decodeOptions);
    } else {
        std::vector<mbus::ByteView> telegrams;
        for (const QByteArray &telegram : reading.telegrams)
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
        emit reportReady(lines);
    }
    if (result.updateDeviceTable) {
        if (const auto selection = table.update(result.meter, result.records, rule, time, date,
                                                decodeOptions.decimalSeparator))
            showSelectedMeter(*selection);
    }
    if (result.valid && result.headerDecoded)
        emit readingDecoded(reading.telegrams, reading.complete);
    return result.valid;
}
