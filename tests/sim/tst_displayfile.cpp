// The display's faults and its [display] block in the bus file.

#include "tst_display.h"

#include "busfile.h"

#include <QtTest>

using namespace displaytest;

namespace {
const QByteArray kTwoEntries = "[display]\nentry = 5, m3, 1234.5, 0, 0, 0, 10/1, 12, Flat 3, 4567.8\nentry = 7\n";

QString latin(const std::string &s)
{
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

std::vector<mbussim::DisplayFaultOption> options(const QString &list)
{
    std::vector<mbussim::DisplayFaultOption> out;
    for (const QString &o : list.split(' ', Qt::SkipEmptyParts))
        out.push_back(*mbussim::parseDisplayFault(o.toStdString()));
    return out;
}
} // namespace

// clang-format off
void TestDisplay::faults_data()
{
    QTest::addColumn<QString>("faults");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("effect");  // normal, silent, unconfirmed, short, garbage
    QTest::addColumn<QString>("after");   // a command afterwards, without faults
    QTest::addColumn<QString>("shows");   // ... whose reply holds this
    QTest::newRow("silent, nothing done") << "silent@9" << "SET ENTR=9" << "silent" << "GET ADDR" << "devices: 5,7";
    QTest::newRow("silent to all") << "silent" << "GET ADDR" << "silent" << "" << "";
    QTest::newRow("silent for a device, list answered") << "silent@9" << "GET ADDR" << "normal" << "" << "";
    QTest::newRow("activation unconfirmed, not done") << "no-activate@9" << "SET ENTR=9" << "unconfirmed" << "GET ADDR"
                                                      << "devices: 5,7";
    QTest::newRow("activation of a known one unconfirmed") << "no-activate" << "SET ENTR=5" << "unconfirmed" << "" << "";
    QTest::newRow("no-activate spares the rest") << "no-activate" << "GET ENTR=5,1" << "normal" << "" << "";
    QTest::newRow("no-activate for another device") << "no-activate@9" << "SET ENTR=8" << "normal" << "GET ADDR"
                                                    << "devices: 5,7,8";
    QTest::newRow("last line lost") << "missing-lines@5" << "GET ENTR=5,1" << "short" << "" << "";
    QTest::newRow("one-line reply lost, command done") << "missing-lines@5" << "SET INIT=5,1" << "silent"
                                                       << "GET ENTR=5,1" << "Start: 1 m3";
    QTest::newRow("garbage") << "garbage@5" << "GET ENTR=5,2" << "garbage" << "GET ENTR=5,2" << "User #: 12";
    QTest::newRow("garbage for another device") << "garbage@5" << "GET ENTR=7,2" << "normal" << "" << "";
    QTest::newRow("share 0") << "silent:0" << "GET ADDR" << "normal" << "" << "";
    QTest::newRow("first kind that strikes") << "garbage@5 silent" << "GET ENTR=5,1" << "garbage" << "" << "";
    QTest::newRow("the next kind") << "garbage@5 silent" << "GET MAIN" << "silent" << "" << "";
}
// clang-format on

void TestDisplay::faults()
{
    QFETCH(QString, faults);
    QFETCH(QString, command);
    QFETCH(QString, effect);
    QFETCH(QString, after);
    QFETCH(QString, shows);
    mbussim::Display d = display(kTwoEntries, options(faults));
    const std::string clean = display(kTwoEntries).execute(command.toStdString());
    const mbussim::DisplayReply reply = d.answer(command.toStdString());
    const QString text = latin(reply.text);
    QCOMPARE(reply.silent, effect == "silent");
    QCOMPARE(reply.notes.empty(), effect == "normal");
    if (effect == "normal")
        QCOMPARE(text, latin(clean));
    else if (effect == "silent")
        QVERIFY(text.isEmpty());
    else if (effect == "unconfirmed")
        QVERIFY2(!text.contains("Active") && !text.contains("Already") && !text.isEmpty(), qPrintable(text));
    else if (effect == "short")
        QCOMPARE(text, latin(clean).section("\r\n", 0, -2));
    else if (effect == "garbage")
        QVERIFY(text != latin(clean) && reply.text.size() >= 8);
    if (!after.isEmpty())
        QVERIFY2(latin(d.execute(after.toStdString())).contains(shows), qPrintable(after));
}

void TestDisplay::faultShare()
{
    // A share strikes about that many replies; the seed repeats the pattern.
    const auto pattern = [](std::uint32_t seed) {
        mbussim::Display d = display(kTwoEntries, options("garbage:30"), seed);
        QString struck;
        for (int i = 0; i < 1000; ++i)
            struck += d.answer("GET ADDR").notes.empty() ? '.' : 'x';
        return struck;
    };
    const QString first = pattern(7);
    QVERIFY2(first.count('x') > 230 && first.count('x') < 370, qPrintable(QString::number(first.count('x'))));
    QCOMPARE(pattern(7), first);
    QVERIFY(pattern(8) != first);
}

// clang-format off
void TestDisplay::faultOptions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("percent");
    QTest::addColumn<int>("address");
    const int garbage = int(mbussim::DisplayFault::Garbage);
    QTest::newRow("kind alone") << "silent" << true << int(mbussim::DisplayFault::Silent) << 100.0 << -1;
    QTest::newRow("share and address") << "garbage:20@7" << true << garbage << 20.0 << 7;
    QTest::newRow("address alone") << "no-activate@250" << true << int(mbussim::DisplayFault::NoActivate) << 100.0 << 250;
    QTest::newRow("fraction") << "missing-lines:0.5" << true << int(mbussim::DisplayFault::MissingLines) << 0.5 << -1;
    QTest::newRow("unknown kind") << "loud" << false << 0 << 0.0 << 0;
    QTest::newRow("share over 100") << "garbage:101" << false << 0 << 0.0 << 0;
    QTest::newRow("share negative") << "garbage:-1" << false << 0 << 0.0 << 0;
    QTest::newRow("share empty") << "garbage:" << false << 0 << 0.0 << 0;
    QTest::newRow("share not a number") << "garbage:lots" << false << 0 << 0.0 << 0;
    QTest::newRow("address 0") << "silent@0" << false << 0 << 0.0 << 0;
    QTest::newRow("address 251") << "silent@251" << false << 0 << 0.0 << 0;
    QTest::newRow("address empty") << "silent@" << false << 0 << 0.0 << 0;
    QTest::newRow("address first") << "silent@5:20" << false << 0 << 0.0 << 0;
    QTest::newRow("huge address") << "silent@99999999999999999999" << false << 0 << 0.0 << 0;
}
// clang-format on

void TestDisplay::faultOptions()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const auto parsed = mbussim::parseDisplayFault(text.toStdString());
    QCOMPARE(parsed.has_value(), valid);
    if (!valid)
        return;
    QFETCH(int, kind);
    QFETCH(double, percent);
    QFETCH(int, address);
    QCOMPARE(int(parsed->kind), kind);
    QCOMPARE(parsed->percent, percent);
    QCOMPARE(parsed->address, address);
}

// clang-format off
void TestDisplay::blockErrors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("error");
    const QByteArray d = "[display]\n";
    QTest::newRow("unknown model") << d + "model = TEV-K41\n" << 2 << "model must be TEV-K40 or RUX";
    QTest::newRow("two displays") << d + "[display]\n" << 2 << "a second [display] block";
    QTest::newRow("key twice") << d + "refresh = 5\nrefresh = 6\n" << 3 << "'refresh' given twice";
    QTest::newRow("unknown key") << d + "brightness = 3\n" << 2 << "unknown display key 'brightness'";
    QTest::newRow("meter key in display") << d + "id = 12345678\n" << 2 << "unknown display key 'id'";
    QTest::newRow("bad clock") << d + "clock = 2026-02-30 10:00\n" << 2 << "clock must be";
    QTest::newRow("clock without time") << d + "clock = 2026-02-03\n" << 2 << "clock must be";
    QTest::newRow("refresh 13") << d + "refresh = 13\n" << 2 << "refresh must be 4..12";
    QTest::newRow("sort by name") << d + "sort = name\n" << 2 << "sort must be";
    QTest::newRow("french months") << d + "months = french\n" << 2 << "months must be";
    QTest::newRow("tariff lines maybe") << d + "tariff-lines = maybe\n" << 2 << "tariff-lines must be";
    QTest::newRow("final line break maybe") << d + "final-line-break = 1\n" << 2 << "final-line-break must be";
    QTest::newRow("entry text in Greek") << d + "entry = 5, m3, 1, 0, 0, 0, 1/1, 1, \xCE\xB1\n" << 2 << "Windows-1251";
    QTest::newRow("entry address 0") << d + "entry = 0\n" << 2 << "entry address must be 1..250";
    QTest::newRow("entry address word") << d + "entry = five\n" << 2 << "entry address must be 1..250";
    QTest::newRow("entry twice") << d + "entry = 5\nentry = 5, m3\n" << 3 << "a second entry for address 5";
    QTest::newRow("entry unit GJ") << d + "entry = 5, GJ\n" << 2 << "entry unit must be";
    QTest::newRow("entry start") << d + "entry = 5, m3, 1.2.3\n" << 2 << "entry start must be a number";
    QTest::newRow("entry start P2") << d + "entry = 5, m3, 1, 2, x\n" << 2 << "entry start P2 must be";
    QTest::newRow("entry total") << d + "entry = 5, m3, 1, 0, 0, 0, 1/1, 1, a, lots\n" << 2 << "entry total must be";
    QTest::newRow("entry total below start") << d + "entry = 5, m3, 10, 0, 0, 0, 1/1, 1, a, 9.9\n" << 2 << "below its start";
    QTest::newRow("entry mult/div") << d + "entry = 5, m3, 1, 0, 0, 0, 10/12345\n" << 2 << "entry mult/div";
    QTest::newRow("entry user number") << d + "entry = 5, m3, 1, 0, 0, 0, 1/1, 12345\n" << 2 << "at most 4 characters";
    QTest::newRow("entry text") << d + "entry = 5, m3, 1, 0, 0, 0, 1/1, 1, 123456789012345678901\n" << 2
                                << "at most 20 characters";
    QTest::newRow("entry of 14 fields") << d + "entry = 5,,,,,,,,,,,,,\n" << 2 << "at most 13 fields";
    QTest::newRow("history fields") << d + "entry = 5\nhistory = 5, 2025-01\n" << 3 << "history wants ADDRESS";
    QTest::newRow("history month 13") << d + "entry = 5\nhistory = 5, 2025-13, 1\n" << 3 << "history month must be";
    QTest::newRow("history record of 3 parts") << d + "entry = 5\nhistory = 5, 2025-01, 1/2/3\n" << 3
                                               << "a history record is";
    QTest::newRow("history value") << d + "entry = 5\nhistory = 5, 2025-01, 1 x\n" << 3 << "history value must be";
    QTest::newRow("history of 25") << d + "entry = 5\nhistory = 5, 2025-01, 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 "
                                          "1 1 1\n" << 3 << "1..24 records";
    QTest::newRow("history twice") << d + "entry = 5\nhistory = 5, 2025-01, 1\nhistory = 5, 2025-01, 1\n" << 4
                                   << "a second history";
    QTest::newRow("history without entry") << "# x\n" + d + "entry = 5\nhistory = 6, 2025-01, 1\n" << 2
                                           << "history for address 6, which has no entry";
    QTest::newRow("unknown section names both") << QByteArray("[displays]\n") << 1 << "[meter] and [display]";
}
// clang-format on

void TestDisplay::blockErrors()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(QString, error);
    const mbussim::BusFileResult r = mbussim::parseBusText(text.toStdString());
    QVERIFY(!r.ok());
    QVERIFY(!r.display);
    QCOMPARE(r.errorLine, line);
    QVERIFY2(QString::fromStdString(r.error).contains(error), r.error.c_str());
}

void TestDisplay::exampleBus()
{
    const mbussim::BusFileResult file = mbussim::readBusFile(TELVARO_SOURCE_DIR "/tools/mbus-sim/examples/display.bus");
    QVERIFY2(file.ok(), file.error.c_str());
    QVERIFY(file.display);
    QCOMPARE(file.meters.size(), std::size_t(12));
    QCOMPARE(file.display->entries.size(), std::size_t(12));
    int kv1 = 0, kv2 = 0;
    for (std::size_t i = 0; i < 12; ++i) {
        const mbussim::MeterConfig &m = file.meters[i];
        const mbussim::DisplayEntry &e = file.display->entries[i];
        QCOMPARE(int(m.address), int(i) + 1);
        QCOMPARE(e.address, int(i) + 1);
        QVERIFY(e.history.size() >= 12);
        // The fill from a scan: QRV water meters counting in litres are KV1 (1/1),
        // in 10 litres KV2 (10/1); the display's entries agree.
        const bool qrvWater = mbussim::manufacturerText(m.manufacturer) == "QRV"
                              && (m.medium == 0x07 || m.medium == 0x06);
        const std::uint8_t vif = m.records.front().primaryVif();
        const QString multDiv = QString::fromStdString(e.multiplier + "/" + e.divider);
        if (qrvWater && vif == 0x13) {
            ++kv1;
            QCOMPARE(multDiv, QString("1/1"));
        } else if (qrvWater && vif == 0x14) {
            ++kv2;
            QCOMPARE(multDiv, QString("10/1"));
        }
        QVERIFY(m.version != 0x1B); // that version reads as a pulse module
    }
    QVERIFY(kv1 >= 2 && kv2 >= 2);

    mbussim::Display d(*file.display);
    QCOMPARE(latin(d.execute("GET ADDR")), QString("Active devices: 1-12"));
    QCOMPARE(readHistory(d.execute("GET HIST=5,1")).month, QByteArray("Jan"));
    QCOMPARE(readHistory(d.execute("GET HIST=9,1")).month, QByteArray("May"));
    QCOMPARE(readHistory(d.execute("GET HIST=9,11")).month, QByteArray("Mar"));
    QCOMPARE(readHistory(d.execute("GET HIST=9,12")).year, QByteArray("00"));
    // each entry's start, unit and total read back as the file gives them
    const EntryValues e = readEntry(d.execute("GET ENTR=11,1"));
    QCOMPARE(e.start + " " + e.unit + " " + e.total + " " + e.multDiv, QString("1500.0 m3 1578.9 1/1"));
    QCOMPARE(readTariffTotal(d.execute("GET TARR=11,0")), QString("14.2"));
    QCOMPARE(readTariffTotal(d.execute("GET TARR=9,3")), QString("311"));

    // meters and the display in any order
    const mbussim::BusFileResult mixed = mbussim::parseBusText(
        "[display]\nentry = 3\n[meter]\naddress = 3\nid = 12345678\nmanufacturer = QRV\nmedium = water\n");
    QVERIFY2(mixed.ok(), mixed.error.c_str());
    QCOMPARE(mixed.meters.size(), std::size_t(1));
    QCOMPARE(mixed.display->entries.size(), std::size_t(1));
}
