#pragma once
// Home Assistant MQTT discovery: one retained sensor configuration for each
// current value a meter sends (its storage 0 numbers: each quantity, tariff
// and subunit), all reading their value from the meter's reading topic.

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <chrono>
#include <vector>

namespace collect {

struct Topics {
    QString station;
    QString discoveryPrefix = QStringLiteral("homeassistant");

    // "telvaro/<station>/<meter id>/reading"
    QString reading(const QString &meterId) const;
    // "telvaro/<station>/status": "online" while the collector runs, "offline" else
    QString availability() const;
    // "<prefix>/sensor/telvaro_<station>_<meter id>/config": the one sensor per
    // meter that earlier versions published; it is cleared now.
    QString formerDiscovery(const QString &meterId) const;
};

struct MeterSensorOptions {
    QString name;                        // the meter's name from the configuration; empty: "<medium> <id>"
    std::chrono::seconds expireAfter{0}; // 0: none
};

struct DiscoveryMessage {
    QString topic;      // "<prefix>/sensor/telvaro_<station>_<meter>_<key>/config"
    QByteArray payload; // retained
};

// Every sensor of a reading in the command line's JSON shape; empty when it
// has no current number.
std::vector<DiscoveryMessage> discoveryMessages(const QJsonObject &reading, const Topics &topics,
                                                const MeterSensorOptions &options);

// expire_after for a bus read every `every`: a meter that missed two cycles
// shows unavailable.
std::chrono::seconds expireAfterFor(std::chrono::seconds every);

} // namespace collect
