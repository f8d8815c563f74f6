#include "stored_reading.h"

#include <QUuid>

#include "decode/decode.h"
#include "decode/header.h"
#include "decode/record_values.h"
#include "decode/table_values.h"
#include "decode/telegrams.h"

#include <QSysInfo>

namespace archive {

QString newReadingId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

namespace {

QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

} // namespace

QByteArray joinTelegrams(const QByteArrayList &telegrams)
{
    QByteArray out;
    for (const QByteArray &telegram : telegrams) {
        const auto size = quint16(std::min<qsizetype>(telegram.size(), 0xFFFF));
        out += char(size >> 8);
        out += char(size & 0xFF);
        out += telegram.left(size);
    }
    return out;
}

QByteArrayList splitTelegrams(const QByteArray &joined)
{
    QByteArrayList out;
    for (qsizetype at = 0; at + 2 <= joined.size();) {
        const int size = (quint8(joined[at]) << 8) | quint8(joined[at + 1]);
        at += 2;
        out << joined.mid(at, size);
        at += size;
    }
    return out;
}

namespace {

decode::DecodeResult decoded(const QByteArrayList &telegrams)
{
    std::vector<mbus::ByteView> views;
    for (const QByteArray &telegram : telegrams)
        views.emplace_back(reinterpret_cast<const std::uint8_t *>(telegram.constData()), std::size_t(telegram.size()));
    return decode::decodeReplies(views, decode::DecodeOptions());
}

void setMainValue(StoredReading &reading, const decode::DecodeResult &result)
{
    const decode::TableValues shown = decode::chooseTableValues(result.meter, result.records, decode::TableOptions{});
    bool ok = false;
    const double value = QString::fromStdString(shown.mainValue).toDouble(&ok);
    reading.mainValue = ok ? std::optional<double>(value) : std::nullopt;
    reading.mainUnit = latin1(shown.mainUnit);
}

} // namespace

void chooseMainValue(StoredReading &reading)
{
    const decode::DecodeResult result = decoded(reading.telegrams);
    if (result.valid && result.headerDecoded)
        setMainValue(reading, result);
}

std::optional<StoredReading> readingFromTelegrams(const QByteArrayList &telegrams, const QDateTime &readAt,
                                                  const ReadingSource &source, bool complete)
{
    const decode::DecodeResult result = decoded(telegrams);
    if (!result.valid || !result.headerDecoded)
        return std::nullopt;
    const decode::MeterHeader &h = result.meter;
    StoredReading r;
    r.readingId = newReadingId(); // a new reading; a replay gives the ID it was made with
    r.meterId = latin1(decode::idText(h));
    r.manufacturer = latin1(decode::manufacturerCode(h.manufacturerField));
    r.version = h.version;
    r.medium = h.medium;
    r.address = h.address;
    r.route = source.route;
    r.station = source.station.isEmpty() ? QSysInfo::machineHostName() : source.station;
    r.link = source.link;
    r.readAt = readAt.toUTC();
    r.status = h.status;
    r.access = h.access;
    r.complete = complete;
    r.telegrams = telegrams;
    for (const decode::Record &record : result.records) {
        StoredRecord s;
        s.quantity = latin1(decode::quantityText(record));
        s.unit = latin1(decode::scaledUnitText(record));
        s.exponent = record.unit.exp10;
        s.storage = int(record.fields.storage);
        s.tariff = int(record.fields.tariff);
        s.subunit = int(record.fields.subunit);
        s.function = latin1(decode::functionName(record.fields.function));
        s.value = decode::scaledValue(record);
        if (const auto text = decode::valueAsText(record))
            s.text = latin1(*text);
        r.records.push_back(std::move(s));
    }
    setMainValue(r, result);
    return r;
}

} // namespace archive
