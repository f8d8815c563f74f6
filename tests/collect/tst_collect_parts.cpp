// The collector's parts without a bus: the configuration file (what it
// makes of a good one, and the one line that names file, line and key for
// each kind of mistake), the Home Assistant sensors of a reading, and the
// spool across a restart.

#include "cli_output.h"
#include "collect_config.h"
#include "discovery.h"
#include "spool.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <QTemporaryDir>
#include <QtTest>

// What Home Assistant shows for a sensor: its template's record filters,
// index and divisor applied to the reading.
static QString templateResult(const QString &valueTemplate, const QJsonObject &reading)
{
    QJsonArray records = reading.value("records").toArray(), kept;
    static const QRegularExpression filter(R"(selectattr\('(\w+)', 'eq', (?:'([^']*)'|(\d+))\))");
    for (auto it = filter.globalMatch(valueTemplate); it.hasNext(); records = std::exchange(kept, {})) {
        const QRegularExpressionMatch f = it.next();
        for (const QJsonValue &r : records)
            if (f.capturedStart(3) >= 0 ? r[f.captured(1)].toInt() == f.captured(3).toInt()
                                        : r[f.captured(1)].toString() == f.captured(2))
                kept.append(r);
    }
    const int index = QRegularExpression(R"(r\[(\d+)\]\.value)").match(valueTemplate).captured(1).toInt();
    const QString divisor = QRegularExpression(R"(value / (\d+)\))").match(valueTemplate).captured(1);
    return index < records.size()
               ? QString::number(records.at(index)["value"].toDouble() / std::max(1.0, divisor.toDouble()), 'g', 10)
               : QStringLiteral("none");
}

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

        // Under systemd the password comes through LoadCredential=: a bare name is looked for there first.
        QVERIFY(QDir(m_dir.path()).mkpath("credentials"));
        QFile credential(m_dir.filePath("credentials/secret"));
        QVERIFY(credential.open(QIODevice::WriteOnly));
        credential.write("handed-over\n");
        credential.close();
        qputenv("CREDENTIALS_DIRECTORY", QFile::encodeName(m_dir.filePath("credentials")));
        const auto unset = qScopeGuard([] { qunsetenv("CREDENTIALS_DIRECTORY"); });
        QCOMPARE(load("[MQTT]\nHost=h\nPasswordFile=secret\n[Bus a]\nPort=x\n").config.mqtt.password, "handed-over");
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

    // A second key or section would be ignored unseen: the first one won.
    void configDuplicatesRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        const QByteArray bus = "[Bus a]\nPort=/dev/ttyS0\n";
        QTest::newRow("key") << bus + "Addresses=1\naddresses=1,300\n"
                             << "collect.ini:4: addresses: given twice in [Bus a] (line 3 first)";
        QTest::newRow("section") << "[MQTT]\nHost=h\n" + bus + "[MQTT]\nPort=99999\n"
                                 << "collect.ini:5: [MQTT] stands twice (line 1 first): give each section once";
        QTest::newRow("case") << bus + "[Bus A]\nPort=/dev/ttyS1\n"
                              << "collect.ini:3: [Bus A] is [Bus a] of line 1 (names are not case-sensitive): "
                                 "give each section once";
        QTest::newRow("names") << "[Collector]\nNames=12345678:Flat 3, 12345678:Flat 4\n" + bus
                               << "collect.ini:2: Names: meter 12345678 is named twice";
        QTest::newRow("name pair") << "[Collector]\nNames=12345678\n" + bus
                                   << "collect.ini:2: Names: give ID:name pairs separated by commas, as "
                                      "12345678:Flat 3 heat, not '12345678'";
    }
    void configDuplicatesRefused() { mistakes(); }

    // Each current value of each meter kind of the demo bus (and a made-up
    // one: kJ, a VIF extension, a maximum, a duration, a twin record) is a
    // sensor Home Assistant takes; the last number is what it shows.
    void homeAssistantDiscoveryCurrent_data()
    {
        QTest::addColumn<QByteArray>("telegram");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("every");
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("expireAfter");
        QTest::addColumn<QString>("sensors");
        struct Case {
            const char *row, *telegram, *name;
            int every;
            const char *device;
            int expireAfter;
            const char *sensors;
        };
        const Case cases[] = {
            {"water",
             "6835356808017278563412496A0107200000000C78214365870C13275304000B3B4501004C1380190400426C1F3C046D1E0A"
             "2E3502FD1700007E16",
             "Flat 3 cold water", 900, "Flat 3 cold water", 2250,
             "volume m³ water total_increasing 45.327; volume_flow m³/h volume_flow_rate measurement 0.145; "
             "error_flags - - - 0 diagnostic"},
            {"heat",
             "68474768080272341207202D2C0A04810000000C78341207200C06871302000C14934803000B2B5023010B3B2004000A5A54"
             "060A5E21040A6233024C0611950100426C1F3C046D1E0A2E356C16",
             "", 0, "Heat (rt) 20071234", -1,
             "energy kWh energy total_increasing 21387; volume m³ volume total_increasing 348.93; "
             "power W power measurement 12350; volume_flow m³/h volume_flow_rate measurement 0.42; "
             "flow_temperature °C temperature measurement 65.4; return_temperature °C temperature measurement 42.1; "
             "temperature_difference K - measurement 23.3"},
            {"electricity",
             "683434680803721701503042042002000000000C05631745008C1005124530008C200551721400042BD40A000002FD48F708"
             "046D1E0A2E354C16",
             "", 60, "Electricity 30500117", 180,
             "energy kWh energy total_increasing 45176.3; energy_tariff1 kWh energy total_increasing 30451.2; "
             "energy_tariff2 kWh energy total_increasing 14725.1; power W power measurement 2772; "
             "voltage V voltage measurement 229.5"},
            {"gas",
             "683C3C68080C727719105397263403070000000C7877191053041440E201004414D6CD0100426C1F3C840114838C01008201"
             "6C1E3602FD170000046D1E0A2E352916",
             "Workshop gas", 3600, "Workshop gas", 9000,
             "volume m³ gas total_increasing 1234.56; error_flags - - - 0 diagnostic"},
            {"cold water",
             "6831316808057242000050AE4C1416000000000C13880203004C1304570200426C1F3C8C01139021020082016C1E37046D1E"
             "0A2E353916",
             "", 2, "Cold water 50000042", 64, "volume m³ water total_increasing 30.288"},
            {"heat cost allocator",
             "682727680806720700006093443508420000000B6E4503004B6E120800426C1F3C0A654521046D1E0A2E35AB16",
             "Living room radiator", 900, "Living room radiator", 2250,
             "hca_units - - total_increasing 345; external_temperature °C temperature measurement 21.45"},
            {"hot water",
             "683434680808720215317024231106630000000C78021531700C13317508000B3B1202000A5A35054C1312920700426C1F3C"
             "046D1E0A2E350B16",
             "", 900, "Hot water 70311502", 2250,
             "volume m³ water total_increasing 87.531; volume_flow m³/h volume_flow_rate measurement 0.212; "
             "flow_temperature °C temperature measurement 53.5"},
            {"heat inlet in kJ",
             "684E4E6808097254637281EE4D050C100000000C78546372810C0E785604000C14254713000B2C5042000B3B5062010A5A87"
             "070A5E12050A6275028C100E112301004C0E90120400426C1F3C046D1E0A2E353C16",
             "Sub-station heat (flow)", 120, "Sub-station heat (flow)", 300,
             "energy MJ energy total_increasing 45678; volume m³ volume total_increasing 1347.25; "
             "power W power measurement 42500; volume_flow m³/h volume_flow_rate measurement 16.25; "
             "flow_temperature °C temperature measurement 78.7; return_temperature °C temperature measurement 51.2; "
             "temperature_difference K - measurement 27.5; energy_tariff1 MJ energy total_increasing 12311"},
            {"heat/cooling",
             "684A4A68080A7221004490A732100D000000000C78210044900C06128500008C2006053500000C14442701000B2B0035000B"
             "3B8002000A5A72000A5E24014C0633790000426C1F3C046D1E0A2E35A216",
             "", 90, "H/C load meter 90440021", 240,
             "energy kWh energy total_increasing 8512; energy_tariff2 kWh energy total_increasing 3505; "
             "volume m³ volume total_increasing 127.44; power W power measurement 3500; "
             "volume_flow m³/h volume_flow_rate measurement 0.28; flow_temperature °C temperature measurement 7.2; "
             "return_temperature °C temperature measurement 12.4"},
            {"made up",
             "68313168080172CDAB0000A732010D000000000C0B452301000C863C123400001B2B0035000A2234120C863C110000000B38"
             "5634121916",
             "", 600, "H/C load meter 0000ABCD", 1500,
             "energy MJ energy total_increasing 12.345; energy_863c kWh energy total_increasing 3412; "
             "power_max W power measurement 3500; on_time h duration total_increasing 1234; "
             "energy_863c_2 kWh energy total_increasing 11; volume_flow m³/h volume_flow_rate measurement 0.123456"},
        };
        for (const Case &c : cases)
            QTest::newRow(c.row) << QByteArray::fromHex(c.telegram) << c.name << c.every << c.device << c.expireAfter
                                 << c.sensors;
    }
    void homeAssistantDiscoveryCurrent()
    {
        QFETCH(QByteArray, telegram);
        QFETCH(QString, name);
        QFETCH(int, every);
        QFETCH(QString, device);
        QFETCH(int, expireAfter);
        QFETCH(QString, sensors);
        const QJsonObject reading = cli::meterObject({{telegram}, QDateTime::currentDateTimeUtc()}, {false, 0});
        const QString prefix = "telvaro_plant_7_" + reading.value("id").toString().toLower() + '_';
        QStringList shown;
        for (const collect::DiscoveryMessage &m : collect::discoveryMessages(
                 reading, {"Plant-7"}, {name, collect::expireAfterFor(std::chrono::seconds(every))})) {
            const QJsonObject s = QJsonDocument::fromJson(m.payload).object();
            const QString objectId = s.value("unique_id").toString();
            QVERIFY2(objectId.startsWith(prefix), qPrintable(objectId));
            QCOMPARE(QStringList({m.topic, s["default_entity_id"].toString(), s["object_id"].toString(),
                                  s["device"]["name"].toString(), QString::number(s["expire_after"].toInt(-1))}),
                     QStringList({"homeassistant/sensor/" + objectId + "/config", "sensor." + objectId, objectId,
                                  device, QString::number(expireAfter)}));
            QStringList line{objectId.mid(prefix.size())};
            for (const char *key : {"unit_of_measurement", "device_class", "state_class"})
                line << (s.value(key).toString().isEmpty() ? "-" : s.value(key).toString());
            line << templateResult(s["value_template"].toString(), reading) << s["entity_category"].toString();
            shown << line.join(' ').trimmed();
        }
        QCOMPARE(shown.join("; "), sensors);
        // Nothing current, or nothing readable: no sensor, and no crash.
        for (const char *json :
             {"{}", R"({"id": "1", "records": 5})", R"({"id": "1", "records": [1, [], {"storage": 0, "value": "x"}]})"})
            QVERIFY(collect::discoveryMessages(QJsonDocument::fromJson(json).object(), {"st"}, {}).empty());
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
