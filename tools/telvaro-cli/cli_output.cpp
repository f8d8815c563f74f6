#include "cli_output.h"

#include "decode/csv.h"
#include "decode/record_fields.h"
#include "decode/telegrams.h"
#include "link/log_time.h"
#include "mbus/hex_text.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QLocale>
#include <QRegularExpression>

namespace cli {

namespace {

std::vector<mbus::ByteView> views(const Reading &reading)
{
    std::vector<mbus::ByteView> out;
    for (const QByteArray &telegram : reading)
        out.emplace_back(reinterpret_cast<const std::uint8_t *>(telegram.constData()), std::size_t(telegram.size()));
    return out;
}

QString latin1(const std::string &text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

QString compactHex(const std::string &logForm)
{
    QString text = latin1(logForm);
    text.remove(u' ');
    return text;
}

// A value text that is a number as JSON writes numbers ("12.345", "-1",
// "1.5E+10"); "00123456" (a fabrication number) and dates are not.
QJsonValue valueOf(const std::string &text)
{
    static const QRegularExpression jsonNumber(QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]+)?([eE][+-]?[0-9]+)?$"));
    const QString trimmed = latin1(text).trimmed();
    if (jsonNumber.match(trimmed).hasMatch()) {
        bool ok = false;
        const double value = trimmed.toDouble(&ok);
        if (ok && std::isfinite(value))
            return value;
    }
    return trimmed;
}

// Byte 16 of a reply: the status byte (the header keeps only its text).
constexpr qsizetype kStatusOffset = 16;

} // namespace

QStringList reportLines(const Reading &reading, const QDateTime &when)
{
    decode::DecodeOptions options;
    options.fullReport = true;
    const QString point = QLocale().decimalPoint();
    options.decimalSeparator = point.size() == 1 && point.at(0).unicode() < 0x80 ? point.at(0).toLatin1() : '.';
    options.timeText = logTimeText(when.time()).toStdString();
    options.dateText = logDateText(when.date()).toStdString();
    const decode::DecodeResult result = decode::decodeReplies(views(reading), options);
    QStringList lines;
    for (const std::string &line : result.reportLines)
        lines << latin1(line);
    return lines;
}

QJsonObject meterObject(const Reading &reading)
{
    decode::DecodeOptions options; // numbers with '.', whatever the locale
    const decode::DecodeResult result = decode::decodeReplies(views(reading), options);
    if (!result.valid || !result.headerDecoded)
        return {};
    const decode::ReplyHeader &h = result.header;
    QJsonObject meter;
    meter[QStringLiteral("address")] = h.primaryAddress;
    meter[QStringLiteral("id")] = latin1(h.idText);
    meter[QStringLiteral("manufacturer")] = latin1(h.manufacturer);
    meter[QStringLiteral("version")] = int(h.version);
    meter[QStringLiteral("medium")] = latin1(h.mediumName);
    meter[QStringLiteral("access")] = h.accessNumber;
    const QByteArray &first = reading.first();
    meter[QStringLiteral("status")] = first.size() > kStatusOffset ? int(std::uint8_t(first.at(kStatusOffset))) : 0;

    QJsonArray records;
    for (std::size_t i = 0; i < result.rows.size(); ++i) {
        const decode::WorkRow &row = result.rows[i];
        if (row[decode::ColNumber].empty())
            continue;
        const auto dib = mbus::parseHexText(row[decode::ColDifDife]).value_or(mbus::Bytes());
        const decode::RecordFields fields = decode::recordFields(dib);
        const QString unit = latin1(row[decode::ColUnit]);
        QJsonObject record;
        record[QStringLiteral("storage")] = double(fields.storage);
        record[QStringLiteral("tariff")] = double(fields.tariff);
        record[QStringLiteral("subunit")] = double(fields.subunit);
        record[QStringLiteral("function")] = QString::fromLatin1(decode::functionName(fields.function));
        record[QStringLiteral("quantity")] = quantityOf(unit);
        record[QStringLiteral("description")] = latin1(row[decode::ColDescription]).trimmed();
        record[QStringLiteral("value")] = valueOf(row[decode::ColValue]);
        record[QStringLiteral("unit")] = unit;
        record[QStringLiteral("dif")] = compactHex(row[decode::ColDifDife]);
        record[QStringLiteral("vif")] = latin1(row[decode::ColVif]) + compactHex(row[decode::ColVife]);
        const std::size_t index = std::size_t(records.size());
        record[QStringLiteral("data")] = index < result.recordData.size()
                                             ? latin1(mbus::hexCompact(result.recordData[index]))
                                             : QString();
        records.append(record);
    }
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
    for (int r = 1; r < table.rowCount(); ++r) {
        decode::csv::Row row;
        for (int c = 0; c < table.columnCount(); ++c)
            row.push_back(table.cell(r, c));
        rows.push_back(std::move(row));
    }
    return QByteArray::fromStdString(decode::csv::formatTable(rows, settings.exportSeparator.toStdString()));
}

QString quantityOf(const QString &unit)
{
    static const struct {
        const char *unit;
        const char *quantity;
    } kQuantities[] = {
        {"kWh", "Energy"},
        {"kJ", "Energy"},
        {"MJ", "Energy"},
        {"GJ", "Energy"},
        {"m3", "Volume"},
        {"W", "Power"},
        {"kW", "Power"},
        {"J/h", "Power"},
        {"l/h", "Volume flow"},
        {"deg. C", "Temperature"},
        {"deg. K", "Temperature difference"},
        {"mbar", "Pressure"},
    };
    for (const auto &q : kQuantities)
        if (unit == QLatin1String(q.unit))
            return QLatin1String(q.quantity);
    return unit;
}

} // namespace cli
