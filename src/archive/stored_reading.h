#pragma once
// A reading as the archive keeps it: the meter (ID, manufacturer, version,
// medium), its address, the route, the time (UTC), status and access number,
// every record as typed values, and the raw telegrams so that it can be
// decoded again.

#include <QByteArrayList>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace archive {

struct StoredRecord {
    QString quantity; // "Volume", "Energy", ...; the unit's own text where it names the quantity
    QString unit;     // "m3", "kWh", ...
    int exponent = 0; // the value is raw * 10^exponent in the unit
    int storage = 0;
    int tariff = 0;
    int subunit = 0;
    QString function;            // "instantaneous", "maximum", "minimum", "error"
    std::optional<double> value; // scaled to the unit; none for texts and dates
    QString text;                // digits, texts and dates (ISO 8601) as text
};

struct StoredReading {
    // The reading's identity, given once when it is made (a UUID): the
    // archive keeps one row per reading ID. Empty for rows of older archives.
    QString readingId;
    QString meterId; // 8 digits
    QString manufacturer;
    int version = 0;
    int medium = 0;
    std::optional<int> address;
    QString route;    // "serial", "converter", "gateway", "listen", "cli"
    QString station;  // the machine (its host name, or the name the settings give it)
    QString link;     // the port, or the converter's or gateway's address
    QDateTime readAt; // UTC
    int status = 0;
    int access = 0;
    bool complete = true;
    QByteArrayList telegrams;
    std::vector<StoredRecord> records;
    // The value and unit the device table shows for the meter.
    std::optional<double> mainValue;
    QString mainUnit;
};

// Where a reading came from.
struct ReadingSource {
    QString route;
    QString station; // empty: this machine's host name
    QString link;
};

// A new reading ID.
QString newReadingId();

// The reading a set of telegrams makes, with a new reading ID; nothing when
// they do not decode.
std::optional<StoredReading> readingFromTelegrams(const QByteArrayList &telegrams, const QDateTime &readAt,
                                                  const ReadingSource &source, bool complete);

// The main value and unit of a reading's telegrams, by the device table's rule.
void chooseMainValue(StoredReading &reading);

// Telegrams one after the other, each after its length (two bytes, high
// first), as the archive keeps them in one column.
QByteArray joinTelegrams(const QByteArrayList &telegrams);
QByteArrayList splitTelegrams(const QByteArray &joined);

} // namespace archive
