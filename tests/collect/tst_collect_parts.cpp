// The collector's parts without a bus: the configuration file (what it
// makes of a good one, and the one line that names file, line and key for
// each kind of mistake), the Home Assistant sensor of a reading, and the
// spool across a restart.

#include "collect_config.h"
#include "discovery.h"
#include "spool.h"

#include <QJsonDocument>

#include <QTemporaryDir>
#include <QtTest>

class TestCollectParts : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    collect::LoadedConfig load(const QByteArray &text)
    {
        QFile file(m_dir.filePath("collect.ini"));
        file.open(QIODevice::WriteOnly);
        file.write(text);
        file.close();
        return collect::loadConfig(file.fileName(), m_dir.path());
    }

private slots:
    void goodFile()
    {
        QFile password(m_dir.filePath("secret"));
        QVERIFY(password.open(QIODevice::WriteOnly));
        password.write("s3cret\n");
        password.close();
        const collect::LoadedConfig loaded = load("; comment\n[Collector]\nStation=plant-7\n\n"
                                                  "[MQTT]\nHost=broker.lan\nUser=telvaro\nPasswordFile=secret\n"
                                                  "[Bus hall-a]\nPort=/dev/ttyUSB0\nSpeed=9600\nparity=odd\n"
                                                  "Addresses=1, 5-7, 5\nIds=12345678\nEvery=90s\nTimeout=800\n"
                                                  "[bus hall-b]\nGateway=10.0.0.4:10001\nNetwork=1.2.3.4\n"
                                                  "Find=scan, search\nFindEvery=0h\nStandardTiming=off\n");
        QCOMPARE(loaded.error, QString());
        const collect::CollectConfig &c = loaded.config;
        QCOMPARE(c.station, "plant-7");
        QCOMPARE(c.spoolFile, m_dir.filePath("collect-spool.sqlite"));
        QCOMPARE(c.archiveLocation, m_dir.filePath("telvaro-readings.sqlite"));
        QVERIFY(c.mqtt.enabled && c.mqtt.port == 1883 && c.mqtt.password == "s3cret");
        QCOMPARE(c.mqtt.clientId, "telvaro-collect-plant-7");
        QCOMPARE(c.buses.size(), std::size_t(2));
        const collect::BusConfig &a = c.buses[0], &b = c.buses[1];
        QCOMPARE(a.addresses, (QList<int>{1, 5, 6, 7}));
        QCOMPARE(a.ids, QStringList{"12345678"});
        QVERIFY(a.settings.com.speed == "9600" && a.settings.com.parity == "Odd" && a.settings.timeout == 800);
        QCOMPARE(a.every.count(), 90);
        QCOMPARE(a.settings.archiveStation, "plant-7");
        QVERIFY(b.readsAllFound() && b.findByScan && b.findBySearch && b.findEvery.count() == 0);
        QVERIFY(b.settings.route.useGatewayClient && b.settings.netNumber == "1.2.3.4" && !b.settings.standardTiming);
        QCOMPARE(b.settings.remotePort, "10001");
    }

    void mistakes_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        const QByteArray bus = "[Bus a]\nPort=/dev/ttyS0\n";
        QTest::newRow("no bus") << QByteArray("[Collector]\nStation=x\n")
                                << "collect.ini: no [Bus NAME] section: name at least one bus";
        QTest::newRow("unknown key") << bus + "Adresses=1\n"
                                     << "collect.ini:3: Adresses: no such key in [Bus a]";
        QTest::newRow("unknown section") << "[Buss a]\nPort=x\n" + bus
                                         << "collect.ini:2: Port: a key outside [Collector], [MQTT] and [Bus NAME]";
        QTest::newRow("two routes") << bus + "Converter=h:1\n"
                                    << "collect.ini:3: Converter: give exactly one of Port, Converter or Gateway";
        QTest::newRow("no route") << QByteArray("[Bus a]\nEvery=1m\n")
                                  << "collect.ini: [Bus a]: give exactly one of Port, Converter or Gateway";
        QTest::newRow("host without port")
            << QByteArray("[Bus a]\nConverter=host\n") << "collect.ini:2: Converter: give HOST:PORT, not 'host'";
        QTest::newRow("span without unit") << bus + "Every=15\n"
                                           << "collect.ini:3: Every: give a time with its unit, as 90s, 15m or 24h, "
                                              "not '15'";
        QTest::newRow("zero interval") << bus + "Every=0m\n"
                                       << "collect.ini:3: Every: give a time with its unit, as 90s, 15m or 24h, "
                                          "not '0m'";
        QTest::newRow("address range") << bus + "Addresses=3-251\n"
                                       << "collect.ini:3: Addresses: give addresses 0..250, as 1, 2, 5-9, not "
                                          "'3-251'";
        QTest::newRow("short ID") << bus + "Ids=1234567\n"
                                  << "collect.ini:3: Ids: give IDs of 8 digits, separated by commas, not '1234567'";
        QTest::newRow("find with a list") << bus + "Addresses=1\nFind=scan\n"
                                          << "collect.ini:4: Find: meters are found only when no Addresses or Ids "
                                             "are given";
        QTest::newRow("find what") << bus + "Find=guess\n"
                                   << "collect.ini:3: Find: give scan, search or both, not 'guess'";
        QTest::newRow("timeout") << bus + "Timeout=100\n"
                                 << "collect.ini:3: Timeout: give a whole number 300..9900, not '100'";
        QTest::newRow("flag") << bus + "AllTelegrams=maybe\n"
                              << "collect.ini:3: AllTelegrams: give 1 or 0, not 'maybe'";
        QTest::newRow("speed") << bus + "Speed=1200\n"
                               << "collect.ini:3: Speed: give 300, 2400, 4800, 9600 or 19200, not '1200'";
        QTest::newRow("network") << QByteArray("[Bus a]\nGateway=h:1\nNetwork=1.2.3\n")
                                 << "collect.ini:3: Network: give a.b.c.d, four numbers 0..255, not '1.2.3'";
        QTest::newRow("topic level") << "[Collector]\nStation=a/b\n" + bus
                                     << "collect.ini:2: Station: a name without '/', '+', '#' or control characters";
        QTest::newRow("bus name") << QByteArray("[Bus a#]\nPort=x\n")
                                  << "collect.ini:2: Port: a bus name without '/', '+', '#' or control characters";
        QTest::newRow("broker port") << "[MQTT]\nHost=h\nPort=0\n" + bus
                                     << "collect.ini:3: Port: give a whole number 1..65535, not '0'";
        QTest::newRow("password file") << "[MQTT]\nHost=h\nPasswordFile=none\n" + bus
                                       << "collect.ini:3: PasswordFile: cannot read " + m_dir.filePath("none")
                                              + ": No such file or directory";
        // Garbage is shown as \xNN, and a huge key or value makes no huge line.
        QTest::newRow("control bytes") << QByteArray("[Bus a\x01]\nPort=x\n")
                                       << "collect.ini:2: Port: a bus name without '/', '+', '#' or control characters";
        QTest::newRow("escape in key") << bus + "K\x1b[2J=1\n"
                                       << "collect.ini:3: K\\x1B[2J: no such key in [Bus a]";
        QTest::newRow("huge value") << bus + "Ids=" + QByteArray(100000, '7') + "\n"
                                    << "collect.ini:3: Ids: give IDs of 8 digits, separated by commas, not '"
                                           + QString(300 - 68, u'7') + "...";
    }
    void mistakes()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        QCOMPARE(load(text).error, error);
    }

    // Home Assistant refuses a sensor whose unit does not fit its class.
    void discoverySensor_data()
    {
        QTest::addColumn<QString>("medium");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("haUnit");
        QTest::addColumn<QString>("deviceClass");
        QTest::newRow("water") << "Water"
                               << "m3"
                               << "m³"
                               << "water";
        QTest::newRow("hot water") << "Hot water"
                                   << "m3"
                                   << "m³"
                                   << "water";
        QTest::newRow("gas") << "Gas"
                             << "m3"
                             << "m³"
                             << "gas";
        QTest::newRow("other volume") << "Oil"
                                      << "m3"
                                      << "m³"
                                      << "volume";
        QTest::newRow("heat") << "Heat (rt)"
                              << "kWh"
                              << "kWh"
                              << "energy";
        QTest::newRow("energy GJ") << "Heat (rt)"
                                   << "GJ"
                                   << "GJ"
                                   << "energy";
        QTest::newRow("temperature") << "Heat (rt)"
                                     << "deg. C"
                                     << "°C"
                                     << "temperature";
        QTest::newRow("no class") << "Heat cost allocator"
                                  << "HCA"
                                  << "HCA"
                                  << "";
    }
    void discoverySensor()
    {
        QFETCH(QString, medium);
        QFETCH(QString, unit);
        QFETCH(QString, haUnit);
        QFETCH(QString, deviceClass);
        const QJsonObject reading{{"id", "12345678"},
                                  {"manufacturer", "ZRI"},
                                  {"medium", medium},
                                  {"version", 1},
                                  {"main", QJsonObject{{"value", 1.5}, {"unit", unit}}}};
        const QJsonObject sensor = QJsonDocument::fromJson(collect::discoveryPayload(reading, {"st"})).object();
        QCOMPARE(sensor.value("unit_of_measurement").toString(), haUnit);
        QCOMPARE(sensor.value("device_class").toString(), deviceClass);
        QCOMPARE(sensor.value("state_topic").toString(), "telvaro/st/12345678/reading");
        QCOMPARE(sensor.value("availability_topic").toString(), "telvaro/st/status");
        QCOMPARE(sensor.value("unique_id").toString(), "telvaro_st_12345678_main");
        // A reading without a main number makes no sensor.
        QVERIFY(collect::discoveryPayload(QJsonObject{{"id", "1"}, {"main", QJsonObject{{"value", QJsonValue::Null}}}},
                                          {"st"})
                    .isEmpty());
    }

    // Each side takes the readings in order; a reading leaves when both have
    // it; what is left is there after a restart.
    void spoolKeepsOrderAcrossRestart()
    {
        using Side = collect::Spool::Side;
        const QString file = m_dir.filePath("spool.sqlite");
        QString error, notice;
        {
            collect::Spool spool;
            QVERIFY2(spool.open(file, &error, &notice), qPrintable(error));
            collect::Spool second; // another collector on the same spool would publish everything twice
            QVERIFY(!second.open(file, &error, &notice));
            QVERIFY2(error.startsWith("process "), qPrintable(error));
            std::vector<collect::SpooledReading> readings(4);
            for (int i = 0; i < 4; ++i) {
                readings[std::size_t(i)].topic = QString::number(i);
                readings[std::size_t(i)].telegrams = {QByteArray(1, char(0xE5 + i))};
                readings[std::size_t(i)].readAt = QDateTime::currentDateTimeUtc();
            }
            QVERIFY(spool.add(readings));
            QVERIFY(spool.done(Side::Broker, {readings[0].seq, readings[2].seq}));
            QVERIFY(spool.done(Side::Archive, {readings[0].seq, readings[1].seq}));
        }
        collect::Spool again;
        QVERIFY(again.open(file, &error, &notice) && notice.isEmpty());
        const auto topics = [&](Side side, qint64 after) {
            QStringList t;
            for (const collect::SpooledReading &r : again.waiting(side, after, 10))
                t << r.topic;
            return t;
        };
        QCOMPARE(topics(Side::Broker, 0), (QStringList{"1", "3"}));
        QCOMPARE(topics(Side::Archive, 0), (QStringList{"2", "3"}));
        QCOMPARE(again.waiting(Side::Archive, 0, 1).front().telegrams, QByteArrayList{QByteArray(1, char(0xE7))});
        QCOMPARE(again.count(Side::Broker), 2);
        const qint64 first = again.waiting(Side::Broker, 0, 1).front().seq;
        QCOMPARE(topics(Side::Broker, first), QStringList{"3"});
        // The archive turned off: nothing waits for it, the broker's still wait.
        QCOMPARE(again.release(Side::Archive), 2);
        QCOMPARE(again.count(Side::Archive), 0);
        QCOMPARE(topics(Side::Broker, 0), (QStringList{"1", "3"}));
    }

    // A damaged spool is kept aside, and the collector goes on with a new one.
    void damagedSpoolKeptAside()
    {
        const QString file = m_dir.filePath("damaged.sqlite");
        QFile junk(file);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
        junk.close();
        collect::Spool spool;
        QString error, notice;
        QVERIFY2(spool.open(file, &error, &notice), qPrintable(error));
        QVERIFY2(notice.contains("is kept as " + file + ".damaged-"), qPrintable(notice));
        const QStringList aside = QDir(m_dir.path()).entryList({"damaged.sqlite.damaged-*"});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(QFileInfo(m_dir.filePath(aside.first())).size(), 4096);
        QCOMPARE(spool.count(collect::Spool::Side::Broker), 0);
    }
};

QTEST_GUILESS_MAIN(TestCollectParts)
#include "tst_collect_parts.moc"
