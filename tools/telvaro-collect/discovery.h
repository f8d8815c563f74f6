#pragma once
// Home Assistant MQTT discovery for a meter's main value: one retained
// sensor configuration per meter, pointing at its reading topic.

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace collect {

struct Topics {
    QString station;
    QString discoveryPrefix = QStringLiteral("homeassistant");

    // "telvaro/<station>/<meter id>/reading"
    QString reading(const QString &meterId) const;
    // "telvaro/<station>/status": "online" while the collector runs, "offline" else
    QString availability() const;
    // "<prefix>/sensor/telvaro_<station>_<meter id>/config"
    QString discovery(const QString &meterId) const;
};

// The sensor's configuration for a reading in the command line's JSON shape;
// empty when the reading has no main value.
QByteArray discoveryPayload(const QJsonObject &reading, const Topics &topics);

} // namespace collect
