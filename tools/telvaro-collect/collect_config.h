#pragma once
// The collector's configuration file: the station, the archive, the spool,
// the MQTT broker and one [Bus NAME] section per bus. Read through the
// program's INI layer; a mistake is refused as one line naming the file,
// the line and the key.

#include "config/settings.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <vector>

namespace collect {

struct BusConfig {
    QString name;
    // The route, the port or address, and the reading options, as the bus
    // stack reads them; searchFrom..searchTo is the scan range.
    Settings settings;
    // What to read: these addresses and these meters; when both are empty,
    // every meter found by the scan and/or the search.
    QList<int> addresses;
    QStringList ids;
    bool findByScan = true;
    bool findBySearch = false;
    std::chrono::seconds every{15 * 60};
    std::chrono::seconds findEvery{24 * 3600}; // 0: only at the start
    // Names given to meters (Names= of [Collector]): meter ID -> "Flat 3 heat".
    QHash<QString, QString> meterNames;

    // The section as written, and the names: a reload keeps a bus whose
    // section did not change.
    QString fingerprint;

    bool readsAllFound() const { return addresses.isEmpty() && ids.isEmpty(); }
};

struct MqttConfig {
    bool enabled = false; // a [MQTT] section with a Host
    QString host;
    int port = 1883;
    QString user;
    QString password; // read from PasswordFile
    bool tls = false;
    QString caFile; // empty: the system's certificates
    QString clientId;
    bool discovery = false;
    QString discoveryPrefix = QStringLiteral("homeassistant");

    bool operator==(const MqttConfig &) const = default;
};

struct CollectConfig {
    QString path;
    QString station;         // the name in the topics and the archive
    bool archiveOn = true;   // Archive=off: none
    QString archiveLocation; // a file or a postgresql:// address
    QString spoolFile;
    std::chrono::seconds stallAfter{30}; // an archive or broker that stalls this long is said
    QHash<QString, QString> meterNames;  // meter ID -> its name, for Home Assistant and the cycle lines
    MqttConfig mqtt;
    std::vector<BusConfig> buses;

    // Whether the station, the archive, the spool and the broker are the same.
    bool sameOutlets(const CollectConfig &other) const
    {
        return station == other.station && archiveOn == other.archiveOn && archiveLocation == other.archiveLocation
               && spoolFile == other.spoolFile && stallAfter == other.stallAfter && mqtt == other.mqtt;
    }
};

struct LoadedConfig {
    CollectConfig config;
    QString error; // "collect.ini:12: Every: ..."; empty when the file is good
};

// stateDir holds the spool (and the archive) when the file does not say.
LoadedConfig loadConfig(const QString &path, const QString &stateDir);

// "15m", "90s", "24h": a span with its unit; nothing when it is none.
std::optional<std::chrono::seconds> parseSpan(const QString &text);
// "1, 2, 5-9": addresses 0..250; nothing when any part is no address.
std::optional<QList<int>> parseAddresses(const QString &text);

} // namespace collect
