#include "discovery.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace collect {

namespace {

struct SensorKind {
    QString unit;        // as Home Assistant spells it
    QString deviceClass; // empty: none fits
    QString stateClass;
};

// Only units Home Assistant knows for a class get that class: a wrong pair
// makes it refuse the sensor.
SensorKind sensorKind(const QString &unit, const QString &medium)
{
    const bool water = medium.contains(QLatin1String("water"), Qt::CaseInsensitive);
    const bool gas = medium == QLatin1String("Gas");
    const QString volumeClass = water ? QStringLiteral("water")
                                : gas ? QStringLiteral("gas")
                                      : QStringLiteral("volume");
    if (unit == QLatin1String("m3"))
        return {QStringLiteral("m³"), volumeClass, QStringLiteral("total_increasing")};
    if (unit == QLatin1String("l"))
        return {QStringLiteral("L"), volumeClass, QStringLiteral("total_increasing")};
    for (const char *energy : {"Wh", "kWh", "MWh", "MJ", "GJ"})
        if (unit == QLatin1String(energy))
            return {unit, QStringLiteral("energy"), QStringLiteral("total_increasing")};
    for (const char *power : {"W", "kW", "MW"})
        if (unit == QLatin1String(power))
            return {unit, QStringLiteral("power"), QStringLiteral("measurement")};
    if (unit == QLatin1String("deg. C"))
        return {QStringLiteral("°C"), QStringLiteral("temperature"), QStringLiteral("measurement")};
    if (unit == QLatin1String("m3/h"))
        return {QStringLiteral("m³/h"), QStringLiteral("volume_flow_rate"), QStringLiteral("measurement")};
    return {unit, {}, {}};
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

QString Topics::discovery(const QString &meterId) const
{
    return QStringLiteral("%1/sensor/telvaro_%2_%3/config").arg(discoveryPrefix, station, meterId);
}

QByteArray discoveryPayload(const QJsonObject &reading, const Topics &topics)
{
    const QJsonObject main = reading.value(QLatin1String("main")).toObject();
    if (!main.value(QLatin1String("value")).isDouble())
        return {};
    const QString id = reading.value(QLatin1String("id")).toString();
    const QString medium = reading.value(QLatin1String("medium")).toString();
    const SensorKind kind = sensorKind(main.value(QLatin1String("unit")).toString(), medium);
    const QString uniqueId = QStringLiteral("telvaro_%1_%2").arg(topics.station, id);
    QJsonObject device{
        {"identifiers", QJsonArray{uniqueId}},
        {"name", QStringLiteral("%1 %2").arg(medium, id)},
        {"manufacturer", reading.value(QLatin1String("manufacturer"))},
        {"model",
         QStringLiteral("%1 meter, version %2").arg(medium).arg(reading.value(QLatin1String("version")).toInt())},
        {"serial_number", id},
    };
    QJsonObject sensor{
        {"name", QJsonValue::Null}, // the device's name alone
        {"unique_id", uniqueId + QStringLiteral("_main")},
        {"object_id", uniqueId},
        {"state_topic", topics.reading(id)},
        {"value_template", QStringLiteral("{{ value_json.main.value }}")},
        {"json_attributes_topic", topics.reading(id)},
        {"json_attributes_template",
         QStringLiteral("{{ {'read_at': value_json.read_at, 'address': value_json.address, "
                        "'status': value_json.status, 'complete': value_json.complete} | tojson }}")},
        {"availability_topic", topics.availability()},
        {"device", device},
    };
    if (!kind.unit.isEmpty())
        sensor[QLatin1String("unit_of_measurement")] = kind.unit;
    if (!kind.deviceClass.isEmpty())
        sensor[QLatin1String("device_class")] = kind.deviceClass;
    if (!kind.stateClass.isEmpty())
        sensor[QLatin1String("state_class")] = kind.stateClass;
    return QJsonDocument(sensor).toJson(QJsonDocument::Compact);
}

} // namespace collect
