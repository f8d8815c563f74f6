#include "discovery.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <optional>

namespace collect {

namespace {

// How Home Assistant takes a unit of the decoder. Only units it knows for a
// class get that class: a wrong pair makes it refuse the sensor. Where the
// class wants another unit the value is divided by 10^shift in the template,
// which is exact; other conversions are left to the user and the class off.
struct UnitKind {
    const char *unit;        // as the decoder names it
    const char *haUnit;      // as Home Assistant spells it; empty: none
    const char *deviceClass; // empty: none fits; "volume": by the medium
    const char *stateClass;  // empty: none
    int shift = 0;
};

constexpr UnitKind kUnitKinds[] = {
    {"kWh", "kWh", "energy", "total_increasing"},
    {"kJ", "MJ", "energy", "total_increasing", 3}, // the energy class has no kJ
    {"GJ", "GJ", "energy", "total_increasing"},
    {"m3", "m³", "volume", "total_increasing"},
    {"W", "W", "power", "measurement"},
    {"kW", "kW", "power", "measurement"},
    {"l/h", "m³/h", "volume_flow_rate", "measurement", 3}, // m³/h: known to every version with the class
    {"deg. C", "°C", "temperature", "measurement"},
    {"Flow Temperature, deg. F", "°F", "temperature", "measurement"},
    {"Flow Temperature, F", "°F", "temperature", "measurement"},
    {"Return Temperature, deg. F", "°F", "temperature", "measurement"},
    {"External temperature, F", "°F", "temperature", "measurement"},
    // Differences: the temperature class takes K as absolute (23 K shown as
    // -250 °C), and the class for differences is too recent to rely on.
    {"deg. K", "K", "", "measurement"},
    {"Temp. difference, deg. F", "°F", "", "measurement"},
    {"mbar", "mbar", "pressure", "measurement"},
    {"V", "V", "voltage", "measurement"},
    {"A", "A", "current", "measurement"},
    {"J/h", "J/h", "", "measurement"}, // W only by /3600, which does not come out even
    // The allocator counts up to the due date, then from 0 again.
    {"HCA units", "", "", "total_increasing"},
    {"Average duration", "s", "duration", "measurement"},
    {"Actuality Duration", "s", "duration", "measurement"},
};

// On time and operating time carry their unit in the description.
constexpr std::pair<const char *, const char *> kTimeUnits[] = {
    {"seconds", "s"}, {"minutes", "min"}, {"hours", "h"}, {"days", "d"}};

struct SensorKind {
    QString unit; // empty: none
    QString deviceClass;
    QString stateClass;
    int shift = 0;
    bool diagnostic = false;
};

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QString volumeClass(int mediumCode)
{
    switch (mediumCode) {
    case 0x03:
        return QStringLiteral("gas");
    case 0x06: // hot
    case 0x07:
    case 0x16: // cold
    case 0x17: // dual
        return QStringLiteral("water");
    default:
        return QStringLiteral("volume");
    }
}

// What the record becomes; nothing for a unit nobody could read (an unknown,
// reserved or manufacturer's own VIF).
std::optional<SensorKind> sensorKind(const QJsonObject &record, int mediumCode)
{
    const QString unit = record.value(QLatin1String("unit")).toString();
    const QString vif = record.value(QLatin1String("vif")).toString();
    for (const UnitKind &k : kUnitKinds)
        if (unit == QLatin1String(k.unit)) {
            const QString deviceClass = text(k.deviceClass);
            return SensorKind{text(k.haUnit), deviceClass == u"volume" ? volumeClass(mediumCode) : deviceClass,
                              text(k.stateClass), k.shift};
        }
    if (unit == u"On Time" || unit == u"Operating Time") {
        const QString description = record.value(QLatin1String("description")).toString();
        for (const auto &[name, haUnit] : kTimeUnits)
            if (description == QLatin1String(name))
                return SensorKind{text(haUnit), QStringLiteral("duration"), QStringLiteral("total_increasing")};
        return std::nullopt;
    }
    if (vif.startsWith(u"7C") || vif.startsWith(u"FC")) // a unit the meter names itself
        return SensorKind{unit, {}, {}};
    // The 0xFD texts (error flags, access number, versions): numbers, not amounts.
    if (vif.startsWith(u"FD") && unit != u"VIF not supported" && unit != u"Reserved")
        return SensorKind{{}, {}, {}, 0, true};
    return std::nullopt;
}

// Lower-case letters, digits and single underscores, as entity IDs and
// discovery topics take them: "Plant-7" is "plant_7", "Süd" is "sud".
QString slug(const QString &name)
{
    QString out;
    for (const QChar c : name.normalized(QString::NormalizationForm_KD).toLower()) {
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
            out += c;
        else if (!c.isMark() && !out.isEmpty() && !out.endsWith(u'_'))
            out += u'_';
    }
    while (out.endsWith(u'_'))
        out.chop(1);
    // A name of other scripts only: still one of its own.
    return out.isEmpty() && !name.isEmpty() ? QString::fromLatin1(name.toUtf8().toHex()) : out;
}

// A string literal for the value template.
QString quoted(QString value)
{
    value.replace(u'\\', QLatin1String("\\\\")).replace(u'\'', QLatin1String("\\'"));
    return u'\'' + value + u'\'';
}

// The VIF's extension bytes name a variant of its quantity (cooling energy
// beside heating energy): they go into the sensor's key.
bool hasExtension(const QString &vif)
{
    if (vif.startsWith(u"7C") || vif.startsWith(u"FC"))
        return false;
    const bool table = vif.startsWith(u"FB") || vif.startsWith(u"FD");
    return vif.size() > (table ? 4 : 2);
}

QString functionSuffix(const QString &function)
{
    if (function == u"maximum")
        return QStringLiteral("max");
    if (function == u"minimum")
        return QStringLiteral("min");
    if (function == u"error")
        return QStringLiteral("error");
    return {};
}

} // namespace

QString Topics::reading(const QString &meterId) const
{
    return QStringLiteral("telvaro/%1/%2/reading").arg(station, meterId);
}

QString Topics::availability() const
{
    return QStringLiteral("telvaro/%1/status").arg(station);
}

QString Topics::formerDiscovery(const QString &meterId) const
{
    return QStringLiteral("%1/sensor/telvaro_%2_%3/config").arg(discoveryPrefix, station, meterId);
}

std::chrono::seconds expireAfterFor(std::chrono::seconds every)
{
    if (every <= std::chrono::seconds(0))
        return std::chrono::seconds(0);
    return 2 * every + std::max(every / 2, std::chrono::seconds(60));
}

std::vector<DiscoveryMessage> discoveryMessages(const QJsonObject &reading, const Topics &topics,
                                                const MeterSensorOptions &options)
{
    std::vector<DiscoveryMessage> out;
    const QString id = reading.value(QLatin1String("id")).toString();
    if (id.isEmpty())
        return out;
    const QString medium = reading.value(QLatin1String("medium")).toString();
    const int mediumCode = reading.value(QLatin1String("medium_code")).toInt(-1);
    const QString objectPrefix = QStringLiteral("telvaro_%1_%2_").arg(slug(topics.station), slug(id));
    const QJsonObject device{
        // As earlier versions named it: the meter stays the device it was.
        {"identifiers", QJsonArray{QStringLiteral("telvaro_%1_%2").arg(topics.station, id)}},
        {"name", options.name.isEmpty() ? QStringLiteral("%1 %2").arg(medium, id) : options.name},
        {"manufacturer", reading.value(QLatin1String("manufacturer"))},
        {"model", QStringLiteral("%1%2, version %3")
                      .arg(medium, medium.endsWith(QLatin1String("meter")) ? QString() : QStringLiteral(" meter"))
                      .arg(reading.value(QLatin1String("version")).toInt())},
        {"serial_number", id},
    };
    QHash<QString, int> sameRecord, sameKey;
    for (const QJsonValue &item : reading.value(QLatin1String("records")).toArray()) {
        const QJsonObject record = item.toObject();
        if (record.value(QLatin1String("storage")).toInt(-1) != 0 || !record.value(QLatin1String("value")).isDouble())
            continue;
        const auto kind = sensorKind(record, mediumCode);
        if (!kind)
            continue;
        const int tariff = record.value(QLatin1String("tariff")).toInt();
        const int subunit = record.value(QLatin1String("subunit")).toInt();
        const QString function = record.value(QLatin1String("function")).toString();
        const QString vif = record.value(QLatin1String("vif")).toString();
        const QString unit = record.value(QLatin1String("unit")).toString();

        // The record is found again by what a meter keeps from one reading to
        // the next: its storage, tariff, subunit, function and VIF (with the
        // unit the decoder makes of it), not by its place, which moves when a
        // record comes or goes, nor by its data type. Twins (the same record
        // twice, in two telegrams) are told apart by their order.
        const QString identity = QStringLiteral("%1/%2/%3/%4/%5").arg(tariff).arg(subunit).arg(function, vif, unit);
        const int twin = sameRecord[identity]++;

        // The key names the value for people and stays the same as long as the record does.
        QString key = slug(record.value(QLatin1String("quantity")).toString());
        QString name = record.value(QLatin1String("quantity")).toString();
        if (key.isEmpty())
            key = QStringLiteral("value");
        if (tariff > 0) {
            key += QStringLiteral("_tariff%1").arg(tariff);
            name += QStringLiteral(" tariff %1").arg(tariff);
        }
        if (subunit > 0) {
            key += QStringLiteral("_subunit%1").arg(subunit);
            name += QStringLiteral(" subunit %1").arg(subunit);
        }
        if (const QString suffix = functionSuffix(function); !suffix.isEmpty()) {
            key += u'_' + suffix;
            name += u' ' + function;
        }
        if (hasExtension(vif)) {
            key += u'_' + vif.toLower();
            name += QStringLiteral(" (VIF %1)").arg(vif);
        }
        if (const int seen = sameKey[key]++; seen > 0) {
            key += QStringLiteral("_%1").arg(seen + 1);
            name += QStringLiteral(" %1").arg(seen + 1);
        }

        QString value = QStringLiteral("r[%1].value").arg(twin);
        if (kind->shift > 0) {
            value = QStringLiteral("(%1 / 1%2)").arg(value, QString(kind->shift, u'0'));
            // Rounded to the digits the record has, so that no binary remainder shows.
            if (const QJsonValue exponent = record.value(QLatin1String("exponent")); exponent.isDouble())
                value += QStringLiteral(" | round(%1)").arg(std::max(0, kind->shift - exponent.toInt()));
        }
        const QString valueTemplate = QStringLiteral(
                                          "{% set r = value_json.records | selectattr('storage', 'eq', 0)"
                                          " | selectattr('tariff', 'eq', %1) | selectattr('subunit', 'eq', %2)"
                                          " | selectattr('function', 'eq', %3) | selectattr('vif', 'eq', %4)"
                                          " | selectattr('unit', 'eq', %5) | list %}"
                                          "{{ %6 if r | length > %7 and r[%7].value is number else None }}")
                                          .arg(QString::number(tariff), QString::number(subunit), quoted(function),
                                               quoted(vif), quoted(unit), value, QString::number(twin));

        const QString objectId = objectPrefix + key;
        QJsonObject sensor{
            {"name", name},
            {"unique_id", objectId},
            {"default_entity_id", QStringLiteral("sensor.") + objectId},
            {"object_id", objectId}, // before Home Assistant 2025.10
            {"state_topic", topics.reading(id)},
            {"value_template", valueTemplate},
            {"json_attributes_topic", topics.reading(id)},
            {"json_attributes_template",
             QStringLiteral("{{ {'read_at': value_json.read_at, 'address': value_json.address, "
                            "'status': value_json.status, 'complete': value_json.complete} | tojson }}")},
            {"availability_topic", topics.availability()},
            {"device", device},
        };
        if (!kind->unit.isEmpty())
            sensor[QLatin1String("unit_of_measurement")] = kind->unit;
        if (!kind->deviceClass.isEmpty())
            sensor[QLatin1String("device_class")] = kind->deviceClass;
        // The largest or smallest value so far, or the one at an error, counts nothing up.
        const bool counter = kind->stateClass == u"total_increasing";
        if (!kind->stateClass.isEmpty() && (!counter || function == u"instantaneous"))
            sensor[QLatin1String("state_class")] = kind->stateClass;
        if (kind->diagnostic)
            sensor[QLatin1String("entity_category")] = QStringLiteral("diagnostic");
        if (options.expireAfter.count() > 0)
            sensor[QLatin1String("expire_after")] = qint64(options.expireAfter.count());
        out.push_back({QStringLiteral("%1/sensor/%2/config").arg(topics.discoveryPrefix, objectId),
                       QJsonDocument(sensor).toJson(QJsonDocument::Compact)});
    }
    return out;
}

} // namespace collect
