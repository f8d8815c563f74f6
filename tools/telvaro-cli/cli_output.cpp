#include "cli_output.h"

#include "decode/csv.h"
#include "decode/header.h"
#include "decode/record_text.h"
#include "decode/record_values.h"
#include "decode/telegrams.h"
#include "link/log_time.h"
#include "mbus/bytes.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QLocale>

#include <charconv>

namespace cli {

namespace {

std::vector<mbus::ByteView> views(const MeterReading &reading)
{
    std::vector<mbus::ByteView> out;
    for (const QByteArray &telegram : reading.telegrams)
        out.emplace_back(reinterpret_cast<const std::uint8_t *>(telegram.constData()), std::size_t(telegram.size()));
    return out;
}

QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

QString hex(mbus::ByteView bytes)
{
    return latin1(mbus::hexCompact(bytes));
}

// A text the table shows as a number ("45.327") is a JSON number.
QJsonValue numberOrText(const std::string &text)
{
    if (text.empty())
        return QJsonValue::Null;
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error == std::errc() && end == text.data() + text.size() && std::isfinite(number))
        return number;
    return latin1(text);
}

// The value as what it is: a scaled number, or its text (an ISO date,
// digits, a text); null for a record without one.
QJsonValue valueOf(const decode::Record &record)
{
    if (const auto scaled = decode::scaledValue(record))
        return *scaled;
    if (const auto text = decode::valueAsText(record))
        return latin1(*text);
    return QJsonValue::Null;
}

QJsonObject recordObject(const decode::Record &record)
{
    QJsonObject o;
    o[QStringLiteral("storage")] = double(record.fields.storage);
    o[QStringLiteral("tariff")] = double(record.fields.tariff);
    o[QStringLiteral("subunit")] = double(record.fields.subunit);
    o[QStringLiteral("function")] = latin1(decode::functionName(record.fields.function));
    o[QStringLiteral("quantity")] = latin1(decode::quantityText(record));
    o[QStringLiteral("description")] = record.isManufacturerData() ? QStringLiteral("Manf. secific")
                                                                   : latin1(record.unit.description).trimmed();
    o[QStringLiteral("value")] = valueOf(record);
    o[QStringLiteral("unit")] = latin1(decode::scaledUnitText(record));
    if (const auto raw = decode::rawNumber(record)) {
        o[QStringLiteral("raw")] = *raw;
        o[QStringLiteral("exponent")] = record.unit.exp10;
    }
    o[QStringLiteral("dif")] = hex(record.dib);
    o[QStringLiteral("vif")] = hex(record.vib);
    o[QStringLiteral("data")] = hex(record.data);
    return o;
}

} // namespace

QStringList reportLines(const MeterReading &reading)
{
    decode::DecodeOptions options;
    options.fullReport = true;
    const QString point = QLocale().decimalPoint();
    options.decimalSeparator = point.size() == 1 && point.at(0).unicode() < 0x80 ? point.at(0).toLatin1() : '.';
    options.timeText = logTimeText(reading.when.time()).toStdString();
    options.dateText = logDateText(reading.when.date()).toStdString();
    const decode::DecodeResult result = decode::decodeReplies(views(reading), options);
    QStringList lines;
    if (result.headerDecoded)
        lines << QCoreApplication::translate("cli::Runner", "Primary address: %1").arg(result.meter.address);
    for (const std::string &line : result.reportLines)
        lines << latin1(line);
    return lines;
}

namespace {

// A reading decoded once for the machine formats: its header, its records
// and the main value the device table would show.
struct Decoded {
    decode::DecodeResult result;
    decode::TableValues shown;
    bool ok = false;
};

Decoded decoded(const MeterReading &reading, const decode::TableOptions &table)
{
    Decoded d;
    d.result = decode::decodeReplies(views(reading), decode::DecodeOptions());
    d.ok = d.result.valid && d.result.headerDecoded;
    if (d.ok)
        d.shown = decode::chooseTableValues(d.result.meter, d.result.records, table);
    return d;
}

QString readAtText(const MeterReading &reading)
{
    return reading.when.toUTC().toString(Qt::ISODate);
}

} // namespace

QJsonObject meterObject(const MeterReading &reading, const decode::TableOptions &table)
{
    const Decoded d = decoded(reading, table);
    if (!d.ok)
        return {};
    const decode::MeterHeader &h = d.result.meter;
    QJsonObject meter;
    meter[QStringLiteral("read_at")] = readAtText(reading);
    meter[QStringLiteral("complete")] = reading.complete;
    meter[QStringLiteral("address")] = h.address;
    meter[QStringLiteral("id")] = latin1(decode::idText(h));
    meter[QStringLiteral("manufacturer")] = latin1(decode::manufacturerCode(h.manufacturerField));
    meter[QStringLiteral("version")] = h.version;
    meter[QStringLiteral("medium")] = latin1(decode::mediumName(h.medium));
    meter[QStringLiteral("medium_code")] = h.medium;
    meter[QStringLiteral("access")] = h.access;
    meter[QStringLiteral("status")] = h.status;
    meter[QStringLiteral("main")] = QJsonObject{{QStringLiteral("value"), numberOrText(d.shown.mainValue)},
                                                {QStringLiteral("unit"), latin1(d.shown.mainUnit)}};
    QJsonArray records;
    for (const decode::Record &record : d.result.records)
        records.append(recordObject(record));
    meter[QStringLiteral("records")] = records;
    return meter;
}

const QStringList &csvColumns()
{
    static const QStringList columns{"read_at",     "id",    "address", "manufacturer", "version", "medium",
                                     "medium_code", "value", "unit",    "status",       "access",  "complete"};
    return columns;
}

QByteArray csvText(const QList<MeterReading> &readings, const decode::TableOptions &table, const QString &separator)
{
    std::vector<decode::csv::Row> rows;
    decode::csv::Row header;
    for (const QString &column : csvColumns())
        header.push_back(column.toStdString());
    rows.push_back(std::move(header));
    for (const MeterReading &reading : readings) {
        const Decoded d = decoded(reading, table);
        if (!d.ok)
            continue;
        const decode::MeterHeader &h = d.result.meter;
        rows.push_back({readAtText(reading).toStdString(), decode::idText(h), std::to_string(h.address),
                        std::string(decode::manufacturerCode(h.manufacturerField)), std::to_string(h.version),
                        std::string(decode::mediumName(h.medium)), std::to_string(h.medium), d.shown.mainValue,
                        d.shown.mainUnit, std::to_string(h.status), std::to_string(h.access),
                        reading.complete ? "true" : "false"});
    }
    return QByteArray::fromStdString(decode::csv::formatPlainTable(rows, separator.toStdString()));
}

} // namespace cli
