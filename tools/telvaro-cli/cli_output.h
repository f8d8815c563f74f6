#pragma once
// What telvaro-cli prints: the detailed report (text), the device table
// (csv), or one JSON object per meter. Everything comes from the program's
// own decoder and device table, as values; texts are made here.
//
// JSON, one object per meter reading (share/telvaro/reading.schema.json):
//   {"read_at": "2026-12-08T10:30:23Z", "complete": true,
//    "address": 1, "id": "12345678", "manufacturer": "ZRI", "version": 1,
//    "medium": "Water", "medium_code": 7, "access": 32, "status": 0,
//    "main": {"value": 45.327, "unit": "m3"},
//    "records": [{"storage": 0, "tariff": 0, "subunit": 0,
//                 "function": "instantaneous", "quantity": "Volume",
//                 "description": "KV1", "value": 45.327, "unit": "m3",
//                 "raw": 45327, "exponent": -3,
//                 "dif": "0C", "vif": "13", "data": "27530400"}, ...]}
// "complete" is false when the reading ended while the meter announced more.
// A number is scaled to its unit (raw and exponent beside it), a date is
// ISO 8601, digits and texts are strings, a record without a value has null.

#include "config/settings.h"
#include "decode/device_table.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QStringList>

namespace cli {

// One meter's reading: its telegrams as collected (several with "Read all
// telegrams"), when it was read, and whether the meter announced more.
struct MeterReading {
    QList<QByteArray> telegrams;
    QDateTime when;
    bool complete = true;
};

// The meter's primary address, then the detailed report lines.
QStringList reportLines(const MeterReading &reading);

// The JSON object of a reading; empty when its telegrams do not decode.
// `table` chooses the main value as the device table does.
QJsonObject meterObject(const MeterReading &reading, const decode::TableOptions &table);

// --format csv: a header of csvColumns(), then one row per reading with
// the JSON's keys and values: read_at in UTC (ISO 8601), '.' as the decimal
// point, whatever the user's locale; LF line ends. Readings that do not
// decode are left out.
const QStringList &csvColumns();
QByteArray csvText(const QList<MeterReading> &readings, const decode::TableOptions &table, const QString &separator);

} // namespace cli
