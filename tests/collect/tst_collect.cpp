// telvaro-collect as a service runs: two simulated buses (a pseudo-terminal
// and a TCP converter), Debian's mosquitto, a subscriber, and the collector
// itself, stopped and reloaded by signals.

#include "collect_rig.h"
#include "reading_schema.h"
#include "sim_process.h"
#include "stored_readings.h"

#include "spool.h"

#include <QJsonArray>
#include <QtTest>

#include <csignal>

namespace {

// The demo bus's meters and main values (tools/mbus-sim/examples/demo.bus).
const QList<std::pair<QString, double>> kDemoMains{{"12345678", 45.327}, {"20071234", 21387}};

} // namespace

class TestCollect : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir; // a fresh one for each test
    QString path(const QString &name) const { return m_dir->filePath(name); }
    // The configuration with the broker and the buses given.
    QString writeConfig(quint16 brokerPort, const QString &buses, const QString &archive = "readings.sqlite",
                        const QString &spool = "spool.sqlite")
    {
        QFile file(path("collect.ini"));
        file.open(QIODevice::WriteOnly);
        file.write(QStringLiteral("; written by the test\n[Collector]\nStation=test\nSpool=%4\n"
                                  "Archive=%3\n\n[MQTT]\nHost=127.0.0.1\nPort=%1\nDiscovery=1\n\n%2")
                       .arg(brokerPort)
                       .arg(buses, archive, spool)
                       .toUtf8());
        return file.fileName();
    }
    // The archive's rows and its distinct reading IDs.
    std::pair<int, QSet<QString>> archivedIds(const QString &file = "readings.sqlite")
    {
        QSet<QString> ids;
        const QList<QStringList> rows = queryRows(path(file), "SELECT reading_id FROM readings");
        for (const QStringList &row : rows)
            ids.insert(row[0]);
        return {int(rows.size()), ids};
    }
    // Every reading the archive holds, as the subscriber names them.
    QSet<QString> archived(const QString &file = "readings.sqlite")
    {
        QSet<QString> found;
        for (const QStringList &row : queryRows(path(file), "SELECT m.meter_id, r.read_at FROM readings r "
                                                            "JOIN meters m ON r.meter = m.id"))
            found.insert(row[0] + u'@' + row[1].left(19));
        return found;
    }
    void requireBroker(Broker &broker)
    {
        if (!broker.start())
            QSKIP("mosquitto cannot be started here (scripts/install-deps.sh installs it)");
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void collectsTwoBusesToMqtt()
    {
        Broker broker(m_dir->path());
        requireBroker(broker);
        SimProcess pty(SimProcess::demoBus(), {"--quiet"});
        // Slow meters keep the TCP bus busy all the time: a signal always comes mid-cycle.
        SimProcess tcp(SimProcess::Tcp{},
                       {"--random-meters", "4", "--seed", "7", "--tcp", "0", "--quiet", "--reply-delay", "150"});
        QVERIFY(pty.isReady() && tcp.isReady());
        Subscriber sub(broker.port(), {"telvaro/#"}, false);
        const QString config = writeConfig(broker.port(),
                                           QStringLiteral("[Bus hall-a]\nPort=%1\nScanTo=15\nEvery=2s\n\n"
                                                          "[Bus hall-b]\nConverter=127.0.0.1:%2\n"
                                                          "Find=search\nEvery=1s\nTimeout=300\n")
                                               .arg(pty.link())
                                               .arg(tcp.port()));
        CollectProcess collect(config);
        QVERIFY2(collect.waitForLines("bus hall-a: 12 of 12 meters read in", 1, 30000), qPrintable(collect.log()));
        QVERIFY2(collect.waitForLines("bus hall-b: 4 of 4 meters read in", 1, 30000), qPrintable(collect.log()));
        QVERIFY(waitFor([&] { return sub.readings().size() >= 16; }, 10000));

        // Every message in the command line's JSON shape, the values as the meters hold them.
        QByteArray all = "[";
        QSet<QString> ids;
        for (const auto &[topic, payload] : sub.messages())
            if (topic.endsWith("/reading")) {
                const QJsonObject o = QJsonDocument::fromJson(payload).object();
                QCOMPARE(topic, "telvaro/test/" + o.value("id").toString() + "/reading");
                ids.insert(o.value("id").toString());
                for (const auto &[id, value] : kDemoMains)
                    if (o.value("id").toString() == id)
                        QCOMPARE(o.value("main").toObject().value("value").toDouble(), value);
                all += payload + ',';
            }
        all.back() = ']';
        QCOMPARE(ids.size(), 16);
        QCOMPARE(readingSchemaViolation(all), QString());

        // Discovery and availability are retained: a late subscriber gets them at once.
        Subscriber late(broker.port(), {"homeassistant/#", "telvaro/test/status", "telvaro/test/bus/+/cycle"}, false,
                        2);
        late.waitForEnd();
        QHash<QString, QJsonObject> configs;
        QByteArray status;
        for (const auto &[topic, payload] : late.messages())
            (topic == "telvaro/test/status" ? (void)(status = payload)
                                            : (void)configs.insert(topic, QJsonDocument::fromJson(payload).object()));
        QCOMPARE(status, QByteArray("online"));
        const QJsonObject cycle = configs.take("telvaro/test/bus/hall-a/cycle");
        QCOMPARE(cycle.value("asked").toInt(), 12);
        QCOMPARE(cycle.value("silent").toArray(), QJsonArray());
        QVERIFY(configs.remove("telvaro/test/bus/hall-b/cycle"));
        QCOMPARE(configs.size(), 53); // a sensor per current value: 45 of the demo bus, 8 of the random meters
        const QJsonObject water = configs.value("homeassistant/sensor/telvaro_test_12345678_volume/config");
        QCOMPARE(water.value("state_topic").toString(), "telvaro/test/12345678/reading");
        QCOMPARE(water.value("device_class").toString(), "water");
        QCOMPARE(water.value("unit_of_measurement").toString(), "m³");
        QCOMPARE(water.value("device").toObject().value("manufacturer").toString(), "ZRI");
        QCOMPARE(configs.value("homeassistant/sensor/telvaro_test_20071234_energy/config").value("device_class"),
                 "energy");

        // SIGHUP reads the file again; the buses go on.
        collect.signal(SIGHUP);
        QVERIFY2(collect.waitForLines("collect.ini read again: 2 bus", 1, 10000), qPrintable(collect.log()));
        const int cycles = collect.count("bus hall-b: ");
        QVERIFY(collect.waitForLines("bus hall-b: ", cycles + 1, 20000));

        // SIGTERM in the middle of a cycle ends it within seconds, and says "offline".
        QElapsedTimer clock;
        clock.start();
        collect.signal(SIGTERM);
        QCOMPARE(collect.waitForExit(5000), 0);
        QVERIFY(clock.elapsed() < 5000);
        Subscriber after(broker.port(), {"telvaro/test/status"}, false, 1);
        after.waitForEnd();
        QCOMPARE(after.messages().value(0).second, QByteArray("offline"));
        // Said once, by the collector itself: neither a reload nor the clean
        // end (DISCONNECT) lets the last will say it again.
        const auto offline = [&] {
            return std::count(sub.messages().cbegin(), sub.messages().cend(),
                              std::pair<QString, QByteArray>("telvaro/test/status", "offline"));
        };
        QTest::qWait(500);
        QCOMPARE(offline(), 1);
        QVERIFY(archived().size() >= 16);
    }

    // A converter that hangs up mid-cycle: said once, and the cycle goes on
    // with the meters not yet read once the link is back.
    void lostLinkResumesTheCycle()
    {
        SimProcess tcp(SimProcess::Tcp{},
                       {"--bus", SimProcess::demoBus(), "--tcp", "0", "--quiet", "--hangup-at", "5"});
        QVERIFY(tcp.isReady());
        QFile file(path("collect.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[Collector]\nSpool=spool.sqlite\nArchive=readings.sqlite\n[Bus conv]\n"
                                  "Converter=127.0.0.1:%1\nAddresses=1-12\nTimeout=300\n")
                       .arg(tcp.port())
                       .toUtf8());
        file.close();
        CollectProcess collect(file.fileName());
        QVERIFY2(collect.waitForLines("bus conv: 12 of 12 meters read in", 1, 30000), qPrintable(collect.log()));
        QCOMPARE(collect.count("cannot be reached \\(the connection was lost\\)"), 1);
        QCOMPARE(collect.count("is reached again"), 1);
        QCOMPARE(archived().size(), 12); // each meter once: nothing read twice
    }

    void brokerRestartLosesNothing()
    {
        Broker broker(m_dir->path());
        requireBroker(broker);
        SimProcess pty(SimProcess::demoBus(), {"--quiet"});
        QVERIFY(pty.isReady());
        Subscriber sub(broker.port(), {"telvaro/+/+/reading"}, true);
        // The archive is away too at first: a file stands where its folder must be.
        QFile blocker(path("archive"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString config = writeConfig(
            broker.port(), QStringLiteral("[Bus hall-a]\nPort=%1\nAddresses=1-12\nEvery=1s\n").arg(pty.link()),
            "archive/readings.sqlite");
        const QString cycle = QStringLiteral("bus hall-a: 12 of 12 meters read");
        {
            CollectProcess collect(config);
            QVERIFY2(collect.waitForLines(cycle, 1, 30000), qPrintable(collect.log()));
            broker.stop();
            QVERIFY(collect.waitForLines("MQTT: no connection", 1, 10000));
            const int before = collect.count(cycle);
            QVERIFY(collect.waitForLines(cycle, before + 2, 20000));
            QCOMPARE(collect.count("archive: .* readings wait in the spool"), 1);
            QVERIFY(blocker.remove());
            QVERIFY(broker.start());
            QVERIFY(collect.waitForLines("MQTT: connected", 2, 20000));
            QVERIFY(collect.waitForLines(cycle, before + 4, 20000));
            collect.signal(SIGTERM);
            QCOMPARE(collect.waitForExit(5000), 0);
        }
        // What the broker had not taken before the end waits in the spool and
        // goes out at the next start.
        CollectProcess once(config, {"--once"});
        QCOMPARE(once.waitForExit(30000), 0);
        const QSet<QString> stored = archived("archive/readings.sqlite");
        QVERIFY(stored.size() >= 12 * 5);
        QVERIFY2(waitFor([&] { return sub.readings().contains(stored); }, 10000),
                 qPrintable(QStringList((stored - sub.readings()).values()).join(u' ')));
        QCOMPARE(queryRows(path("spool.sqlite"), "SELECT count(*) FROM spool").value(0).value(0), "0");
    }

    // The spool on a disk that fills up and empties again: readings go out
    // from memory meanwhile, and at the end each one is in the archive once
    // and on the broker, or the count of those lost is said.
    void spoolDiskFullLosesNothing()
    {
        const QString disk = path("disk");
        QVERIFY(QDir().mkpath(disk));
        QProcess mount;
        mount.start("mount", {"-t", "tmpfs", "-o", "size=512k", "tmpfs", disk});
        if (!mount.waitForFinished(5000) || mount.exitCode() != 0)
            QSKIP("a small tmpfs cannot be mounted here (it takes root)");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {"-l", disk}); });
        Broker broker(m_dir->path());
        requireBroker(broker);
        SimProcess pty(SimProcess::demoBus(), {"--quiet"});
        QVERIFY(pty.isReady());
        Subscriber sub(broker.port(), {"telvaro/+/+/reading"}, false);
        const QString config = writeConfig(
            broker.port(), QStringLiteral("[Bus hall-a]\nPort=%1\nAddresses=1-12\nEvery=1s\n").arg(pty.link()),
            "readings.sqlite", "disk/spool.sqlite");
        const QString cycle = QStringLiteral("bus hall-a: 12 of 12 meters read");
        QFile filler(disk + "/filler");
        const auto fill = [&] {
            filler.open(QIODevice::WriteOnly);
            const QByteArray block(4096, 'x');
            while (filler.write(block) == block.size() && filler.flush()) {}
            filler.close();
        };
        CollectProcess collect(config);
        QVERIFY2(collect.waitForLines(cycle, 1, 30000), qPrintable(collect.log()));
        for (int round = 1; round <= 3; ++round) {
            fill();
            const int before = collect.count(cycle);
            QVERIFY2(collect.waitForLines(cycle, before + 3, 20000), qPrintable(collect.log()));
            if (round == 3)
                break;
            QVERIFY(filler.remove());
            QVERIFY(collect.waitForLines(cycle, before + 5, 20000));
        }
        QVERIFY2(collect.count("the spool .* cannot be written \\(No space left on device\\); readings go to the "
                               "broker and the archive from memory")
                     >= 1,
                 qPrintable(collect.log()));
        QVERIFY(collect.count("the spool .* is written again") >= 1);
        const int read = collect.count(cycle) * 12;
        collect.signal(SIGTERM);
        const int status = collect.waitForExit(15000);
        const QRegularExpression lostLine("(\\d+) reading\\(s\\) were neither delivered nor kept");
        const int lost = lostLine.match(collect.log()).captured(1).toInt();
        QCOMPARE(status, lost > 0 ? 1 : 0);
        const auto [rows, ids] = archivedIds();
        QCOMPARE(rows, ids.size()); // no reading twice
        QVERIFY2(rows + lost >= read, qPrintable(QStringLiteral("%1 + %2 < %3").arg(rows).arg(lost).arg(read)));
        QVERIFY(waitFor(
            [&] {
                QSet<QString> published;
                for (const auto &[topic, payload] : sub.messages())
                    published.insert(QJsonDocument::fromJson(payload).object().value("reading_id").toString());
                return published.contains(ids);
            },
            10000));
    }

    // kill -9 while a backlog drains into the archive, again and again: each
    // reading is stored once all the same.
    void killedCollectorStoresOnce()
    {
        constexpr int kBacklog = 20000;
        {
            // The demo bus's meter at address 1, as a bus reads it, taken over and over.
            const QByteArray telegram = QByteArray::fromHex(
                "6835356808017278563412496A0107200000000C78214365870C1327530400"
                "0B3B4501004C1380190400426C1F3C046D1E0A2E3502FD1700007E16");
            collect::Spool spool;
            QString error, notice;
            QVERIFY2(spool.open(path("spool.sqlite"), &error, &notice), qPrintable(error));
            std::vector<collect::SpooledReading> backlog(kBacklog);
            const QDateTime first = QDateTime::currentDateTimeUtc().addDays(-1);
            for (int i = 0; i < kBacklog; ++i) {
                collect::SpooledReading &r = backlog[std::size_t(i)];
                r.readingId = QStringLiteral("backlog-%1").arg(i);
                r.topic = "telvaro/test/12345678/reading";
                r.payload = "{}";
                r.telegrams = {telegram};
                r.readAt = first.addSecs(i);
                r.route = "serial";
                r.link = "/dev/ttyS0";
                r.toBroker = false;
            }
            QVERIFY(spool.add(backlog));
        }
        QFile file(path("collect.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Collector]\nSpool=spool.sqlite\nArchive=readings.sqlite\n"
                   "[Bus away]\nConverter=127.0.0.1:1\nEvery=1h\n");
        file.close();
        for (int round = 0; round < 4; ++round) {
            CollectProcess collect(file.fileName());
            QTest::qWait(150); // a part of the backlog each time
            collect.signal(SIGKILL);
            collect.waitForExit(5000);
            const auto [rows, ids] = archivedIds();
            QCOMPARE(rows, ids.size());
        }
        CollectProcess last(file.fileName());
        QVERIFY(waitFor([&] { return archivedIds().first == kBacklog; }, 60000));
        // The bus that cannot be reached is said, and --once ends with it.
        QVERIFY2(last.waitForLines("bus away: .* cannot be reached \\(Connection refused\\)", 1, 10000),
                 qPrintable(last.log()));
        last.signal(SIGTERM);
        QCOMPARE(last.waitForExit(10000), 0);
        const auto [rows, ids] = archivedIds();
        QCOMPARE(rows, kBacklog);
        QCOMPARE(ids.size(), kBacklog);
        QCOMPARE(queryRows(path("spool.sqlite"), "SELECT count(*) FROM spool").value(0).value(0), "0");
        CollectProcess once(file.fileName(), {"--once"});
        QCOMPARE(once.waitForExit(10000), 1);
    }
};

QTEST_GUILESS_MAIN(TestCollect)
#include "tst_collect.moc"
