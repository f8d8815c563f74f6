#include "collector.h"

#include "mqtt_link.h"

#include "archive/archive_worker.h"
#include "cli_output.h"

#include <QCoreApplication>

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QTimer>
#include <algorithm>

#include <cstdio>

namespace collect {

namespace {

constexpr int kBrokerWindow = 200;   // messages on their way to the broker at once
constexpr int kArchiveBatch = 200;   // readings handed to the archive at once
constexpr int kBusStopWaitMs = 2500; // an answer under way is awaited up to 2 s
constexpr int kBrokerStopWaitMs = 800;
constexpr std::chrono::milliseconds kArchiveStopWait{1500};
constexpr std::chrono::seconds kLongestArchivePause{60};
constexpr int kOnceDeliveryWaitMs = 15000;
constexpr int kHeldDeliveryWaitMs = 5000; // at the end, for readings only memory holds

} // namespace

Collector::Collector(CollectConfig config, Options options, QObject *parent)
    : QObject(parent), m_config(std::move(config)), m_options(options)
{
    qRegisterMetaType<collect::CollectedReading>();
    qRegisterMetaType<collect::CycleReport>();
    m_topics.station = m_config.station;
    m_topics.discoveryPrefix = m_config.mqtt.discoveryPrefix;
    const auto timer = [this](int ms, void (Collector::*slot)()) {
        auto *t = new QTimer(this);
        t->setSingleShot(true);
        t->setInterval(ms);
        connect(t, &QTimer::timeout, this, slot);
        return t;
    };
    m_keepTimer = timer(0, &Collector::keepIncoming);
    m_ackTimer = timer(0, &Collector::pumpBroker);
    m_archiveRetry = timer(0, &Collector::pumpArchive);
    m_finishDeadline = timer(kOnceDeliveryWaitMs, &Collector::finished);
    auto *stallCheck = new QTimer(this);
    connect(stallCheck, &QTimer::timeout, this, &Collector::checkStalls);
    stallCheck->start(1000);
}

Collector::~Collector()
{
    shutDown();
}

void Collector::say(const QString &line) const
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

bool Collector::start(QString *error)
{
    QString notice;
    const bool spoolOpen = m_spool.open(m_config.spoolFile, error, &notice);
    if (!notice.isEmpty())
        say(notice);
    if (!spoolOpen) {
        *error = tr("the spool %1 cannot be used: %2").arg(m_config.spoolFile, *error);
        return false;
    }
    if (m_config.archiveOn) {
        m_archive = new archive::ArchiveWorker(m_config.archiveLocation, this);
        connect(m_archive, &archive::ArchiveWorker::problem, this,
                [this](const QString &why) { say(tr("archive: %1; readings wait in the spool").arg(why)); });
        connect(m_archive, &archive::ArchiveWorker::resumed, this,
                [this] { say(tr("archive: %1 stores again").arg(m_archive->shownLocation())); });
        connect(m_archive, &archive::ArchiveWorker::written, this, &Collector::archiveWritten);
    }
    if (m_config.mqtt.enabled) {
        m_mqtt = new MqttLink(m_config.mqtt, m_topics.availability(), this);
        connect(m_mqtt, &MqttLink::connectedChanged, this, &Collector::brokerConnection);
        connect(m_mqtt, &MqttLink::delivered, this, &Collector::delivered);
        QString why;
        if (!m_mqtt->start(&why)) {
            *error = tr("MQTT: the client for %1 cannot be set up: %2").arg(m_mqtt->brokerName(), why);
            return false;
        }
    }
    // Readings that waited for a side the configuration no longer has would wait for ever.
    const auto release = [this](Spool::Side side, const QString &what) {
        if (const int released = m_spool.release(side); released > 0)
            say(tr("%1 is off now: %2 reading(s) no longer wait for it").arg(what).arg(released));
    };
    if (!m_mqtt)
        release(Spool::Side::Broker, tr("MQTT"));
    if (!m_archive)
        release(Spool::Side::Archive, tr("the archive"));
    const int waiting = std::max(m_spool.count(Spool::Side::Broker), m_spool.count(Spool::Side::Archive));
    if (waiting > 0)
        say(tr("%n reading(s) from before wait in the spool %1", nullptr, waiting).arg(m_config.spoolFile));
    for (const BusConfig &config : m_config.buses)
        m_buses.push_back(startBus(config));
    pumpArchive();
    return true;
}

Collector::Bus Collector::startBus(const BusConfig &config)
{
    Bus bus;
    bus.fingerprint = config.fingerprint;
    bus.thread = new QThread(this);
    bus.thread->setObjectName(QStringLiteral("bus ") + config.name);
    bus.worker = new BusCollector(config, m_options.once, m_options.verbose, m_options.quiet);
    bus.worker->moveToThread(bus.thread);
    connect(bus.worker, &BusCollector::readingTaken, this, &Collector::take);
    connect(bus.worker, &BusCollector::said, this, &Collector::say);
    connect(bus.worker, &BusCollector::cycleDone, this,
            [this, worker = bus.worker](const CycleReport &report) { cycleDone(worker, report); });
    bus.thread->start();
    QMetaObject::invokeMethod(bus.worker, "start", Qt::QueuedConnection);
    return bus;
}

void Collector::stopBuses(std::vector<Bus> buses)
{
    for (Bus &bus : buses)
        QMetaObject::invokeMethod(bus.worker, "stop", Qt::QueuedConnection);
    for (Bus &bus : buses) {
        if (bus.thread->wait(kBusStopWaitMs)) {
            delete bus.worker;
            bus.thread->deleteLater();
            continue;
        }
        // Held in a blocking connect: left to the end of the process.
        say(tr("bus %1: did not stop in time").arg(bus.thread->objectName().mid(4)));
        disconnect(bus.worker, nullptr, this, nullptr);
        bus.thread->setParent(nullptr);
    }
    // What the buses read before they stopped is kept.
    QCoreApplication::sendPostedEvents(this);
}

bool Collector::reload(const CollectConfig &next)
{
    if (m_shutDown || !m_config.sameOutlets(next))
        return false;
    // A bus whose section is as it was goes on as it is; the others end
    // (after the answer under way) before the new ones begin.
    std::vector<Bus> kept, ended;
    for (Bus &bus : m_buses) {
        const bool same = std::any_of(next.buses.begin(), next.buses.end(), [&](const BusConfig &c) {
            return c.fingerprint == bus.fingerprint && QStringLiteral("bus ") + c.name == bus.thread->objectName();
        });
        (same ? kept : ended).push_back(bus);
    }
    stopBuses(std::move(ended));
    m_buses.clear();
    for (const BusConfig &config : next.buses) {
        const auto same = std::find_if(kept.begin(), kept.end(), [&](const Bus &b) {
            return b.fingerprint == config.fingerprint
                   && b.thread->objectName() == QStringLiteral("bus ") + config.name;
        });
        m_buses.push_back(same != kept.end() ? *same : startBus(config));
    }
    m_config = next;
    return true;
}

void Collector::shutDown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    stopBuses(std::exchange(m_buses, {}));
    keepIncoming();
    deliverHeld();
    if (m_mqtt) {
        disconnect(m_mqtt, &MqttLink::connectedChanged, this, nullptr); // the end is no outage
        m_mqtt->stop(kBrokerStopWaitMs);
        QCoreApplication::sendPostedEvents(m_mqtt);
        QCoreApplication::sendPostedEvents(this);
        pumpBroker(); // writes down the acknowledgements only: the link is gone
    }
    if (m_archive) {
        const auto outcome = m_archive->finish(kArchiveStopWait);
        if (!outcome.ended)
            say(tr("archive: %1 did not answer in time; its readings stay in the spool")
                    .arg(m_archive->shownLocation()));
    }
    // What memory still holds goes into the file now if it can; else it is lost, and said.
    m_lost = m_spool.keepMemory();
    if (m_lost > 0)
        say(tr("%n reading(s) were neither delivered nor kept: the spool %1 cannot be written (%2)", nullptr, m_lost)
                .arg(m_config.spoolFile, m_spool.error()));
}

void Collector::deliverHeld()
{
    if (m_spool.heldInMemory() == 0 || (!m_mqtt && !m_archive))
        return;
    say(tr("%n reading(s) held in memory are being delivered...", nullptr, m_spool.heldInMemory()));
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        pumpBroker();
        pumpArchive();
        if (m_spool.heldInMemory() == 0)
            loop.quit();
    });
    deadline.start(kHeldDeliveryWaitMs);
    poll.start(50);
    // The archive may take what it was handed: the buses no longer give more.
    m_shutDown = false;
    pumpArchive();
    loop.exec();
    m_shutDown = true;
}

bool Collector::allDelivered() const
{
    return m_incoming.empty() && (!m_mqtt || m_spool.count(Spool::Side::Broker) == 0)
           && (!m_archive || m_spool.count(Spool::Side::Archive) == 0);
}

int Collector::status() const
{
    return m_allRead && allDelivered() ? 0 : 1;
}

void Collector::take(const CollectedReading &reading)
{
    QJsonObject json = cli::meterObject({reading.telegrams, reading.readAt, reading.complete},
                                        decode::TableOptions{false, 0});
    if (json.isEmpty())
        return;
    const QString id = json.value(QLatin1String("id")).toString();
    SpooledReading r;
    // The reading's identity from here to the archive and the broker: a
    // replay of the spool, a retry or a restart never makes a second one.
    r.readingId = archive::newReadingId();
    json.insert(QStringLiteral("reading_id"), r.readingId);
    r.topic = m_topics.reading(id);
    r.payload = QJsonDocument(json).toJson(QJsonDocument::Compact);
    r.telegrams = reading.telegrams;
    r.readAt = reading.readAt;
    r.complete = reading.complete;
    r.route = reading.source.route;
    r.link = reading.source.link;
    r.toBroker = m_mqtt != nullptr;
    r.toArchive = m_archive != nullptr;
    m_incoming.push_back(std::move(r));
    if (!m_keepTimer->isActive())
        m_keepTimer->start();
    if (m_mqtt && m_config.mqtt.discovery) {
        // Only what changed goes out: a meter read again publishes nothing,
        // a meter that sends a new record gets its sensor. A sensor whose
        // record is missing once stays (and shows unknown).
        const MeterSensorOptions options{m_config.meterNames.value(id), expireAfterFor(reading.every)};
        for (DiscoveryMessage &message : discoveryMessages(json, m_topics, options)) {
            if (const auto it = m_discovery.constFind(message.topic);
                it != m_discovery.cend() && it.value() == message.payload)
                continue;
            m_mqtt->publish(message.topic, message.payload, true);
            m_discovery.insert(message.topic, std::move(message.payload));
        }
        // Earlier versions made one sensor per meter; its retained configuration,
        // emptied, makes Home Assistant remove it. After the new sensors, so
        // that the device keeps an entity all along and stays as the user set it up.
        if (const QString former = m_topics.formerDiscovery(id); !m_discovery.contains(former)) {
            m_mqtt->publish(former, {}, true);
            m_discovery.insert(former, {});
        }
    }
}

void Collector::keepIncoming()
{
    if (m_incoming.empty())
        return;
    // While the file cannot be written the readings go out from memory.
    if (!m_spool.add(m_incoming) && !m_spoolFailing) {
        say(tr("the spool %1 cannot be written (%2); readings go to the broker and the archive from memory")
                .arg(m_config.spoolFile, m_spool.error()));
        m_spoolFailing = true;
    }
    m_incoming.clear();
    pumpBroker();
    pumpArchive();
}

void Collector::spoolRoundOver()
{
    if (m_spool.memoryRounds() == m_memoryRounds)
        return;
    m_memoryRounds = m_spool.memoryRounds();
    m_brokerCursor = m_brokerFileCursor;
    m_archiveCursor = m_archiveFileCursor;
    if (m_spoolFailing)
        say(tr("the spool %1 is written again").arg(m_config.spoolFile));
    m_spoolFailing = false;
}

void Collector::advance(qint64 seq, qint64 &cursor, qint64 &fileCursor)
{
    cursor = seq;
    if (!Spool::isInMemory(seq))
        fileCursor = seq;
}

void Collector::brokerConnection(bool connected, const QString &reason)
{
    // The first connection is no news to a quiet collector; one after a loss ends a problem said.
    if (int(connected) != m_brokerState && !(connected && m_brokerState == -1 && m_options.quiet))
        say(connected
                ? tr("MQTT: connected to %1").arg(m_mqtt->brokerName())
                : tr("MQTT: no connection to %1 (%2); readings wait in the spool").arg(m_mqtt->brokerName(), reason));
    m_brokerState = int(connected);
    // What was under way stays so: the library sends it again itself when
    // the connection is back (once more, not twice), and the
    // acknowledgements come for the same message ids.
    if (!connected)
        return;
    for (auto it = m_discovery.cbegin(); it != m_discovery.cend(); ++it)
        m_mqtt->publish(it.key(), it.value(), true);
    pumpBroker();
}

void Collector::delivered(int messageId)
{
    m_brokerProgress.start();
    if (std::exchange(m_brokerStalled, false))
        say(tr("MQTT: %1 acknowledges again").arg(m_mqtt->brokerName()));
    if (const auto it = m_inFlight.find(messageId); it != m_inFlight.end()) {
        m_published.push_back(it.value());
        m_inFlight.erase(it);
    }
    if (!m_ackTimer->isActive())
        m_ackTimer->start(); // acknowledgements written down together
}

void Collector::pumpBroker()
{
    if (!m_published.empty() && m_spool.done(Spool::Side::Broker, m_published))
        m_published.clear();
    spoolRoundOver();
    while (m_mqtt && m_mqtt->connected() && m_inFlight.size() < kBrokerWindow) {
        const auto waiting = m_spool.waiting(Spool::Side::Broker, m_brokerCursor,
                                             kBrokerWindow - int(m_inFlight.size()));
        if (waiting.empty())
            break;
        if (m_inFlight.isEmpty())
            m_brokerProgress.start(); // the wait for an acknowledgement begins
        for (const SpooledReading &r : waiting) {
            const int id = m_mqtt->publish(r.topic, r.payload, true);
            if (id < 0)
                return;
            m_inFlight.insert(id, r.seq);
            advance(r.seq, m_brokerCursor, m_brokerFileCursor);
        }
    }
    checkFinished();
}

void Collector::pumpArchive()
{
    if (!m_archive || !m_archiving.empty() || m_archiveRetry->isActive() || m_shutDown)
        return;
    // Stored readings the spool could not note: noted now, never stored again.
    if (!m_archivedUnmarked.empty() && m_spool.done(Spool::Side::Archive, m_archivedUnmarked))
        m_archivedUnmarked.clear();
    spoolRoundOver();
    std::vector<qint64> undecodable;
    for (const SpooledReading &r : m_spool.waiting(Spool::Side::Archive, m_archiveCursor, kArchiveBatch)) {
        auto reading = archive::readingFromTelegrams(r.telegrams, r.readAt, {r.route, m_config.station, r.link},
                                                     r.complete);
        if (!reading) {
            undecodable.push_back(r.seq);
            continue;
        }
        // Readings spooled before they had an identity get one of their meter and moment.
        reading->readingId = !r.readingId.isEmpty() ? r.readingId
                                                    : reading->station + u'/' + reading->meterId + u'/'
                                                          + reading->readAt.toString(Qt::ISODateWithMs);
        if (!m_archive->submit(std::move(*reading)))
            break; // counted as not stored by the archive; tried again later
        if (m_archiving.empty())
            m_archiveProgress.start(); // the wait for the archive begins
        m_archiving.push_back(r.seq);
        advance(r.seq, m_archiveCursor, m_archiveFileCursor);
    }
    m_spool.done(Spool::Side::Archive, undecodable);
    checkFinished();
}

void Collector::archiveWritten(int stored, int notStored)
{
    m_archiveProgress.start();
    if (std::exchange(m_archiveStalled, false))
        say(tr("archive: %1 answers again").arg(m_archive->shownLocation()));
    std::vector<qint64> kept;
    for (int i = 0; i < stored && !m_archiving.empty(); ++i) {
        kept.push_back(m_archiving.front());
        m_archiving.pop_front();
    }
    // What was not stored is offered again, from the first of it on.
    for (int i = 0; i < notStored && !m_archiving.empty(); ++i) {
        if (i == 0) {
            m_archiveCursor = m_archiving.front() - 1;
            if (!Spool::isInMemory(m_archiving.front()))
                m_archiveFileCursor = m_archiveCursor;
        }
        m_archiving.pop_front();
    }
    m_archiveFailed = m_archiveFailed || notStored > 0;
    if (!m_spool.done(Spool::Side::Archive, kept))
        m_archivedUnmarked.insert(m_archivedUnmarked.end(), kept.begin(), kept.end());
    if (!m_archiving.empty())
        return;
    // A failed write is tried again after a pause that grows while it fails.
    if (m_archiveFailed) {
        m_archivePause = std::min(std::max(m_archivePause * 2, std::chrono::seconds(2)), kLongestArchivePause);
        m_archiveRetry->start(m_archivePause);
    } else {
        m_archivePause = std::chrono::seconds(0);
    }
    m_archiveFailed = false;
    pumpArchive();
}

// An archive or a broker that takes what it was handed but does not answer
// (a server stopped, a network that drops without a word) is said once.
void Collector::checkStalls()
{
    const qint64 limitMs = qint64(m_config.stallAfter.count()) * 1000;
    if (m_archive && !m_archiving.empty() && !m_archiveStalled && m_archiveProgress.hasExpired(limitMs)) {
        m_archiveStalled = true;
        say(tr("archive: %1 has not answered for %2 s; readings wait in the spool")
                .arg(m_archive->shownLocation())
                .arg(m_config.stallAfter.count()));
    }
    if (m_mqtt && m_mqtt->connected() && !m_inFlight.isEmpty() && !m_brokerStalled
        && m_brokerProgress.hasExpired(limitMs)) {
        m_brokerStalled = true;
        say(tr("MQTT: %1 has acknowledged nothing for %2 s; readings wait in the spool")
                .arg(m_mqtt->brokerName())
                .arg(m_config.stallAfter.count()));
    }
}

void Collector::cycleDone(const BusCollector *worker, const CycleReport &report)
{
    m_allRead = m_allRead && !report.linkDown && report.read == report.asked;
    for (Bus &bus : m_buses)
        bus.cycled = bus.cycled || bus.worker == worker;
    // How the bus's last cycle went, for dashboards: which meters were silent.
    if (m_mqtt && !report.bus.isEmpty()) {
        const QJsonObject cycle{
            {"bus", report.bus},
            {"at", QDateTime::currentDateTimeUtc().toString(Qt::ISODate)},
            {"asked", report.asked},
            {"read", report.read},
            {"silent", QJsonArray::fromStringList(report.linkDown ? QStringList() : report.missing)},
            {"link_down", report.linkDown},
            {"took_s", double(report.took.count()) / 1000.0}};
        m_mqtt->publish(QStringLiteral("telvaro/%1/bus/%2/cycle").arg(m_config.station, report.bus),
                        QJsonDocument(cycle).toJson(QJsonDocument::Compact), true);
    }
    checkFinished();
}

void Collector::checkFinished()
{
    if (!m_options.once || m_shutDown || m_buses.empty())
        return;
    for (const Bus &bus : m_buses)
        if (!bus.cycled)
            return;
    if (!m_finishDeadline->isActive())
        m_finishDeadline->start();
    if (allDelivered())
        emit finished();
}

} // namespace collect
