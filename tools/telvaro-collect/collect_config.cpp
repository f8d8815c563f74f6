#include "collect_config.h"

#include "archive/reading_archive.h"
#include "cli_options.h"
#include "config/ini_file.h"
#include "gateway/telegram.h"
#include "link/comm_log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QSysInfo>

#include <algorithm>
#include <array>

namespace collect {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("telvaro-collect", text);
}

constexpr int kLastAddress = 250;

const QStringList &collectorKeys()
{
    static const QStringList keys{"Station", "Archive", "Spool", "Names", "StallAfter"};
    return keys;
}

const QStringList &mqttKeys()
{
    static const QStringList keys{"Host",   "Port",     "User",      "PasswordFile",   "TLS",
                                  "CAFile", "ClientId", "Discovery", "DiscoveryPrefix"};
    return keys;
}

const QStringList &busKeys()
{
    static const QStringList keys{"Port",      "Speed",   "Parity",  "Converter",    "Gateway",       "Network",
                                  "Addresses", "Ids",     "Find",    "ScanFrom",     "ScanTo",        "Every",
                                  "FindEvery", "Timeout", "Retries", "AllTelegrams", "StandardTiming"};
    return keys;
}

// A name that can stand in an MQTT topic level.
bool topicSafe(const QString &name)
{
    const auto forbidden = [](QChar c) { return c == u'/' || c == u'+' || c == u'#' || c.unicode() < 0x20; };
    return !name.isEmpty() && std::none_of(name.begin(), name.end(), forbidden);
}

// Every key of the file by its section, folded to lower case: built in one
// pass, so that a file of thousands of buses is read in linear time. A
// section's few keys are looked through one by one.
using SectionKeys = QList<IniFile::Entry>;
using FileKeys = QHash<QString, SectionKeys>;

const IniFile::Entry *findKey(const SectionKeys &keys, const QString &key)
{
    for (const IniFile::Entry &entry : keys)
        if (entry.key.compare(key, Qt::CaseInsensitive) == 0)
            return &entry;
    return nullptr;
}

// Reads one section's keys and remembers the first mistake, with its line.
class SectionReader {
public:
    SectionReader(const QString &path, const FileKeys &keys, QString section, QString &error)
        : m_path(path), m_keys(keys.value(section.toLower())), m_section(std::move(section)), m_error(error)
    {}

    bool has(const QString &key) const { return findKey(m_keys, key); }
    QString text(const QString &key, const QString &def = {}) const
    {
        const IniFile::Entry *entry = findKey(m_keys, key);
        return entry ? entry->value : def;
    }

    // Sets the error once: "file:line: key: why", or "file: [section]: why"
    // for a key that is missing. Always false.
    bool fail(const QString &key, const QString &why) const
    {
        if (!m_error.isEmpty())
            return false;
        const QString file = QFileInfo(m_path).fileName();
        const IniFile::Entry *entry = findKey(m_keys, key);
        m_error = entry ? QStringLiteral("%1:%2: %3: %4").arg(file).arg(entry->line).arg(entry->key, why)
                        : QStringLiteral("%1: [%2]: %3").arg(file, m_section, why);
        return false;
    }

    bool number(const QString &key, int lo, int hi, int &out) const
    {
        if (!has(key))
            return true;
        const auto n = cli::number(text(key), lo, hi);
        if (!n)
            return fail(key, tr("give a whole number %1..%2, not '%3'").arg(lo).arg(hi).arg(text(key)));
        out = *n;
        return true;
    }

    bool flag(const QString &key, bool &out) const
    {
        if (!has(key))
            return true;
        const QString v = text(key).toLower();
        if (QStringList{"1", "yes", "true", "on"}.contains(v))
            out = true;
        else if (QStringList{"0", "no", "false", "off"}.contains(v))
            out = false;
        else
            return fail(key, tr("give 1 or 0, not '%1'").arg(text(key)));
        return true;
    }

    bool span(const QString &key, std::chrono::seconds &out, bool zeroAllowed) const
    {
        if (!has(key))
            return true;
        const auto s = parseSpan(text(key));
        if (!s || (!zeroAllowed && s->count() == 0))
            return fail(key, tr("give a time with its unit, as 90s, 15m or 24h, not '%1'").arg(text(key)));
        out = *s;
        return true;
    }

    // A file named relative to the configuration file's folder.
    QString path(const QString &key) const
    {
        const QString value = text(key);
        return value.isEmpty() ? value : QFileInfo(m_path).dir().absoluteFilePath(value);
    }

private:
    const QString &m_path;
    SectionKeys m_keys;
    QString m_section;
    QString &m_error;
};

bool readRoute(const SectionReader &r, Settings &s)
{
    const int routes = int(r.has("Port")) + int(r.has("Converter")) + int(r.has("Gateway"));
    if (routes != 1)
        return r.fail(routes ? "Converter" : "Port", tr("give exactly one of Port, Converter or Gateway"));
    s.route = RouteChoice();
    if (r.has("Port")) {
        s.com.name = r.text("Port");
        if (s.com.name.isEmpty())
            return r.fail("Port", tr("give the serial port, as /dev/ttyUSB0"));
    } else {
        const QString key = r.has("Converter") ? QStringLiteral("Converter") : QStringLiteral("Gateway");
        if (!cli::hostPort(r.text(key)))
            return r.fail(key, tr("give HOST:PORT, not '%1'").arg(r.text(key)));
        cli::splitHostPort(r.text(key), &s.remoteIp, &s.remotePort);
        s.route.useConverter = key == QLatin1String("Converter");
        s.route.useGatewayClient = !s.route.useConverter;
    }
    if (r.has("Network")) {
        if (!gateway::parseNetworkNumber(r.text("Network").toStdString()))
            return r.fail("Network", tr("give a.b.c.d, four numbers 0..255, not '%1'").arg(r.text("Network")));
        s.netNumber = r.text("Network");
    }
    if (r.has("Speed")) {
        if (!cli::isBaudRate(r.text("Speed")))
            return r.fail("Speed", tr("give 300, 2400, 4800, 9600 or 19200, not '%1'").arg(r.text("Speed")));
        s.com.speed = r.text("Speed");
    }
    if (r.has("Parity")) {
        s.com.parity = cli::parityName(r.text("Parity"));
        if (s.com.parity.isEmpty())
            return r.fail("Parity", tr("give None, Even, Odd, Mark or Space, not '%1'").arg(r.text("Parity")));
    }
    return true;
}

bool readTargets(const SectionReader &r, BusConfig &bus)
{
    if (r.has("Addresses")) {
        const auto addresses = parseAddresses(r.text("Addresses"));
        if (!addresses || addresses->isEmpty())
            return r.fail("Addresses", tr("give addresses 0..250, as 1, 2, 5-9, not '%1'").arg(r.text("Addresses")));
        bus.addresses = *addresses;
    }
    if (r.has("Ids")) {
        QSet<QString> taken;
        for (const QString &part : r.text("Ids").split(u',', Qt::SkipEmptyParts)) {
            const QString id = part.trimmed();
            if (!cli::isId(id))
                return r.fail("Ids", tr("give IDs of 8 digits, separated by commas, not '%1'").arg(id));
            if (!taken.contains(id)) {
                taken.insert(id);
                bus.ids << id;
            }
        }
        if (bus.ids.isEmpty())
            return r.fail("Ids", tr("give IDs of 8 digits, separated by commas"));
    }
    if (r.has("Find")) {
        if (!bus.readsAllFound())
            return r.fail("Find", tr("meters are found only when no Addresses or Ids are given"));
        const QStringList ways = r.text("Find").toLower().split(u',', Qt::SkipEmptyParts);
        bus.findByScan = bus.findBySearch = false;
        for (const QString &way : ways) {
            if (way.trimmed() == QLatin1String("scan"))
                bus.findByScan = true;
            else if (way.trimmed() == QLatin1String("search"))
                bus.findBySearch = true;
            else
                return r.fail("Find", tr("give scan, search or both, not '%1'").arg(r.text("Find")));
        }
        if (ways.isEmpty())
            return r.fail("Find", tr("give scan, search or both"));
    }
    Settings &s = bus.settings;
    if (!r.number("ScanFrom", 0, kLastAddress, s.searchFrom) || !r.number("ScanTo", 0, kLastAddress, s.searchTo))
        return false;
    if (s.searchTo < s.searchFrom)
        std::swap(s.searchFrom, s.searchTo);
    return r.span("Every", bus.every, false) && r.span("FindEvery", bus.findEvery, true);
}

bool readBus(const SectionReader &r, BusConfig &bus)
{
    Settings &s = bus.settings;
    s.com.speed = QStringLiteral("2400");
    s.searchTo = kLastAddress;
    return readRoute(r, s) && readTargets(r, bus)
           && r.number("Timeout", Settings::kTimeoutMin, Settings::kTimeoutMax, s.timeout)
           && r.number("Retries", 0, 9, s.retry) && r.flag("StandardTiming", s.standardTiming)
           && r.flag("AllTelegrams", s.allTelegrams);
}

bool readMqtt(const SectionReader &r, MqttConfig &m, const QString &station)
{
    m.host = r.text("Host");
    m.enabled = !m.host.isEmpty();
    m.user = r.text("User");
    m.caFile = r.path("CAFile");
    m.clientId = r.text("ClientId", QStringLiteral("telvaro-collect-") + station);
    m.discoveryPrefix = r.text("DiscoveryPrefix", m.discoveryPrefix);
    if (!r.number("Port", 1, 65535, m.port) || !r.flag("TLS", m.tls) || !r.flag("Discovery", m.discovery))
        return false;
    if (!topicSafe(m.discoveryPrefix))
        return r.fail("DiscoveryPrefix", tr("no '/', '+', '#' or control characters in a topic name"));
    if (r.has("PasswordFile")) {
        // Under systemd, LoadCredential= hands a root-only file to the
        // service's own user: a bare name is looked for there first.
        const QString credentials = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
        const QString given = r.text("PasswordFile");
        const QString credential = QDir(credentials).filePath(given);
        QFile file(!credentials.isEmpty() && QFileInfo(given).isRelative() && QFileInfo::exists(credential)
                       ? credential
                       : r.path("PasswordFile"));
        if (!file.open(QIODevice::ReadOnly))
            return r.fail("PasswordFile", tr("cannot read %1: %2").arg(file.fileName(), file.errorString()));
        m.password = QString::fromUtf8(file.readLine(4096)).trimmed();
    }
    return true;
}

// Names=12345678:Flat 3 heat, 20071234:Flat 4 water
bool readNames(const SectionReader &r, QHash<QString, QString> &names)
{
    for (const QString &part : r.text("Names").split(u',', Qt::SkipEmptyParts)) {
        const QString id = part.section(u':', 0, 0).trimmed();
        const QString name = part.section(u':', 1).trimmed();
        const bool printable = std::none_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x20; });
        if (!cli::isId(id) || name.isEmpty() || !printable)
            return r.fail(
                "Names",
                tr("give ID:name pairs separated by commas, as 12345678:Flat 3 heat, not '%1'").arg(part.trimmed()));
        if (names.contains(id))
            return r.fail("Names", tr("meter %1 is named twice").arg(id));
        names.insert(id, name);
    }
    return true;
}

} // namespace

std::optional<std::chrono::seconds> parseSpan(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t.size() < 2)
        return std::nullopt;
    const int unit = t.endsWith(u's') ? 1 : t.endsWith(u'm') ? 60 : t.endsWith(u'h') ? 3600 : 0;
    const auto n = cli::number(t.chopped(1).trimmed(), 0, 1000 * 3600 / std::max(unit, 1));
    if (!unit || !n)
        return std::nullopt;
    return std::chrono::seconds(*n * unit);
}

std::optional<QList<int>> parseAddresses(const QString &text)
{
    QList<int> addresses;
    std::array<bool, kLastAddress + 1> taken{};
    for (const QString &part : text.split(u',', Qt::SkipEmptyParts)) {
        const QStringList ends = part.trimmed().split(u'-');
        const auto first = cli::number(ends.first().trimmed(), 0, kLastAddress);
        const auto last = ends.size() == 2 ? cli::number(ends.last().trimmed(), 0, kLastAddress) : first;
        if (ends.size() > 2 || !first || !last || *last < *first)
            return std::nullopt;
        for (int a = *first; a <= *last; ++a)
            if (!std::exchange(taken[std::size_t(a)], true))
                addresses << a;
    }
    return addresses;
}

static LoadedConfig readConfig(const QString &path, const QString &stateDir)
{
    LoadedConfig loaded;
    CollectConfig &c = loaded.config;
    QString &error = loaded.error;
    c.path = path;
    IniFile ini(path);
    if (!QFileInfo(path).isFile() || !ini.load() || !ini.readError().isEmpty()) {
        error = tr("%1: cannot read the file%2").arg(path, ini.readError().isEmpty() ? "" : ": " + ini.readError());
        return loaded;
    }
    // Every key is one the collector knows (a misspelt one would be ignored
    // unseen), and stands once: a second one would be ignored as well.
    const QString file = QFileInfo(path).fileName();
    const auto refuse = [&](const IniFile::Entry &entry, const QString &why) {
        error = QStringLiteral("%1:%2: %3: %4").arg(file).arg(entry.line).arg(entry.key, why);
        return loaded;
    };
    FileKeys keys;
    QHash<QString, IniFile::Entry> sectionsSeen; // lower-case name -> the first key of its first run
    QStringList busSections;                     // each bus's section as written
    for (const IniFile::Entry &entry : ini.entries()) {
        const QString lower = entry.section.toLower();
        const QStringList *known = lower == "collector"       ? &collectorKeys()
                                   : lower == "mqtt"          ? &mqttKeys()
                                   : lower.startsWith("bus ") ? &busKeys()
                                                              : nullptr;
        if (!known)
            return refuse(entry, tr("a key outside [Collector], [MQTT] and [Bus NAME]"));
        if (!known->contains(entry.key, Qt::CaseInsensitive))
            return refuse(entry, tr("no such key in [%1]").arg(entry.section));
        if (sectionsSeen.contains(lower) && sectionsSeen[lower].sectionLine != entry.sectionLine) {
            const IniFile::Entry &first = sectionsSeen[lower];
            error = first.section == entry.section
                        ? tr("%1:%2: [%3] stands twice (line %4 first): give each section once")
                              .arg(file)
                              .arg(entry.sectionLine)
                              .arg(entry.section)
                              .arg(first.sectionLine)
                        : tr("%1:%2: [%3] is [%4] of line %5 (names are not case-sensitive): give each section once")
                              .arg(file)
                              .arg(entry.sectionLine)
                              .arg(entry.section, first.section)
                              .arg(first.sectionLine);
            return loaded;
        }
        SectionKeys &section = keys[lower];
        if (const IniFile::Entry *twice = findKey(section, entry.key))
            return refuse(entry, tr("given twice in [%1] (line %2 first)").arg(entry.section).arg(twice->line));
        section.append(entry);
        if (!sectionsSeen.contains(lower)) {
            sectionsSeen.insert(lower, entry);
            if (lower.startsWith("bus ")) {
                if (!topicSafe(entry.section.mid(4).trimmed()))
                    return refuse(entry, tr("a bus name without '/', '+', '#' or control characters"));
                busSections << entry.section;
            }
        }
    }
    const SectionReader collector(path, keys, QStringLiteral("Collector"), error);
    c.station = collector.text("Station", QSysInfo::machineHostName());
    if (!topicSafe(c.station)) {
        collector.fail("Station", tr("a name without '/', '+', '#' or control characters"));
        return loaded;
    }
    const QString state = stateDir.isEmpty()
                              ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Telvaro"
                              : stateDir;
    c.spoolFile = collector.has("Spool") ? collector.path("Spool") : state + "/collect-spool.sqlite";
    const QString archive = collector.text("Archive");
    c.archiveOn = archive.compare(QLatin1String("off"), Qt::CaseInsensitive) != 0;
    c.archiveLocation = archive.startsWith(QLatin1String("postgresql://")) ? archive
                        : !archive.isEmpty()                               ? collector.path("Archive")
                        : stateDir.isEmpty()                               ? archive::defaultLocation()
                                                                           : stateDir + "/telvaro-readings.sqlite";
    if (!collector.span("StallAfter", c.stallAfter, false) || !readNames(collector, c.meterNames)
        || !readMqtt(SectionReader(path, keys, QStringLiteral("MQTT"), error), c.mqtt, c.station))
        return loaded;
    QStringList namePairs;
    for (auto it = c.meterNames.cbegin(); it != c.meterNames.cend(); ++it)
        namePairs << it.key() + u':' + it.value();
    namePairs.sort();
    const QString names = namePairs.join(u'\n');
    c.buses.resize(std::size_t(busSections.size()));
    for (std::size_t i = 0; i < c.buses.size(); ++i) {
        BusConfig &bus = c.buses[i];
        bus.name = busSections[qsizetype(i)].mid(4).trimmed();
        for (const IniFile::Entry &entry : keys.value(busSections[qsizetype(i)].toLower()))
            bus.fingerprint += entry.key.toLower() + u'=' + entry.value + u'\n';
        bus.fingerprint += names;
        bus.settings.archiveStation = c.station;
        bus.meterNames = c.meterNames;
        if (!readBus(SectionReader(path, keys, busSections[qsizetype(i)], error), bus))
            return loaded;
    }
    if (c.buses.empty())
        error = tr("%1: no [Bus NAME] section: name at least one bus").arg(QFileInfo(path).fileName());
    return loaded;
}

LoadedConfig loadConfig(const QString &path, const QString &stateDir)
{
    LoadedConfig loaded = readConfig(path, stateDir);
    // The line quotes the file: garbage in it shows as \xNN, and a huge key
    // or value does not make a huge line.
    constexpr qsizetype kLongestLine = 300;
    loaded.error = printableLogLine(loaded.error);
    if (loaded.error.size() > kLongestLine)
        loaded.error = loaded.error.left(kLongestLine) + QStringLiteral("...");
    return loaded;
}

} // namespace collect
