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

QJsonObject meterObject(const MeterReading &reading, const decode::TableOptions &table)
{
    const decode::DecodeResult result = decode::decodeReplies(views(reading), decode::DecodeOptions());
    if (!result.valid || !result.headerDecoded)
        return {};
    const decode::MeterHeader &h = result.meter;
    QJsonObject meter;
    meter[QStringLiteral("read_at")] = reading.when.toUTC().toString(Qt::ISODate);
    meter[QStringLiteral("complete")] = reading.complete;
    meter[QStringLiteral("address")] = h.address;
    meter[QStringLiteral("id")] = latin1(decode::idText(h));
    meter[QStringLiteral("manufacturer")] = latin1(decode::manufacturerCode(h.manufacturerField));
    meter[QStringLiteral("version")] = h.version;
    meter[QStringLiteral("medium")] = latin1(decode::mediumName(h.medium));
    meter[QStringLiteral("access")] = h.access;
    meter[QStringLiteral("status")] = h.status;

    const decode::TableValues shown = decode::chooseTableValues(h, result.records, table);
    meter[QStringLiteral("main")] = QJsonObject{{QStringLiteral("value"), numberOrText(shown.mainValue)},
                                                {QStringLiteral("unit"), latin1(shown.mainUnit)}};
    QJsonArray records;
    for (const decode::Record &record : result.records)
        records.append(recordObject(record));
    meter[QStringLiteral("records")] = records;
    return meter;
}

QStringList deviceTableHeader(const decode::TableLayout &layout, const Settings &settings)
{
    // The window's texts, in its translation context.
    const auto tr = [](const char *text) { return QCoreApplication::translate("MainWindow", text); };
    QStringList header{tr(" ID "), tr("Addr. "), tr("Mfr. "), tr("Value ")};
    if (layout.secondaryMain)
        header << settings.titles[13];
    header << tr("Unit ") << tr("Medium ") << tr("Time ") << tr("Date ") << tr("Status ") << tr("Model ");
    for (int i = 0; i < layout.additionalCount; ++i)
        header << settings.titles[std::size_t(i)];
    return header;
}

QByteArray csvText(const decode::DeviceTable &table, const Settings &settings)
{
    std::vector<decode::csv::Row> rows;
    decode::csv::Row header;
    for (const QString &label : deviceTableHeader(table.layout(), settings))
        header.push_back(label.toStdString());
    rows.push_back(std::move(header));
    for (int r = 0; r < table.rowCount(); ++r)
        rows.push_back(table.rowTexts(r));
    return QByteArray::fromStdString(
        decode::csv::formatTable(rows, settings.exportSeparator.toStdString(), false, "\n"));
}

} // namespace cli
