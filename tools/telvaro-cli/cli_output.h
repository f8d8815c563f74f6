#pragma once
// What telvaro-cli prints: the detailed report (text), the device table as the
// program exports it (csv), or one JSON object per meter. Everything comes
// from the program's own decoder and device table.
//
// JSON, one object per meter:
//   {"address": 1, "id": "12345678", "manufacturer": "ZRI", "version": 1,
//    "medium": "Water", "access": 32, "status": 0,
//    "records": [{"storage": 0, "tariff": 0, "subunit": 0,
//                 "function": "instantaneous", "quantity": "Volume",
//                 "description": "KV1", "value": 45.327, "unit": "m3",
//                 "dif": "0C", "vif": "13", "data": "27530400"}, ...],
//    "complete": true}
// "complete" is false when the reading ended while the meter announced more.
// A value that is a number in the unit shown is a JSON number; dates, texts
// and failure texts are strings.

#include "config/settings.h"
#include "decode/device_table.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QStringList>

namespace cli {

// The telegrams of one meter's reading, as collected (several with
// "Read all telegrams").
using Reading = QList<QByteArray>;

// The detailed report lines of a reading, "Decoded at" with `when`.
QStringList reportLines(const Reading &reading, const QDateTime &when);

// The JSON object of a reading; empty when its telegrams do not decode.
QJsonObject meterObject(const Reading &reading);

// The device table's header texts in the window's column order: " ID ",
// "Addr. ", ..., the secondary main title, ..., the additional value titles.
QStringList deviceTableHeader(const decode::TableLayout &layout, const Settings &settings);

// Header row, every table row (the empty entry row last), with the export
// separator rules of the program.
QByteArray csvText(const decode::DeviceTable &table, const Settings &settings);

// "Volume" for "m3", "Energy" for "kWh", ...; other units name themselves.
QString quantityOf(const QString &unit);

} // namespace cli
