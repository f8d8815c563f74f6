// Every write the master's meter commands send, built by src/mbus, is
// acknowledged and changes the meter it reaches.

#include "tst_sim.h"

#include "bus.h"
#include "busfile.h"
#include "frames.h"
#include "mbus/conversions.h"
#include "mbus/frames.h"

#include <QtTest>

#include <algorithm>

namespace {
// A BCD water counter, an integer heat counter, a pulse counter of the relay
// kind, and an allocator without an address.
const char kWriteBus[] = R"(
[meter]
address = 1
id = 12345678
manufacturer = ABC
medium = water
record = 0C 13 45 23 01 00
record = 0B 3B 45 01 00
[meter]
address = 2
id = 20000002
manufacturer = ABC
medium = heat
record = 04 06 10 27 00 00
record = 0A 5A 54 06
[meter]
address = 7
id = 12004411
manufacturer = REL
medium = water
record = 0C 13 00 25 01 00
[meter]
address = none
id = 44444444
manufacturer = QDS
medium = hca
record = 0B 6E 45 03 00
)";

QByteArray q(const mbus::Request &r)
{
    return QByteArray(reinterpret_cast<const char *>(r.frame.data()), qsizetype(r.frame.size()));
}

// "addr 1 id 12345678 ABC med 07 baud 2400: 0C 13 45 23 01 00 | 0B 3B 45 01 00"
QString describe(const mbussim::Meter &m)
{
    const mbussim::MeterConfig &c = m.state();
    QStringList records;
    for (const mbussim::Record &r : c.records)
        records << QString::fromStdString(mbussim::hexLine(r.bytes()));
    return QString("addr %1 id %2 %3 med %4 baud %5: %6")
        .arg(m.hasAddress() ? QString::number(c.address) : QString("none"),
             QString::fromStdString(mbussim::idText(c.id)),
             QString::fromStdString(mbussim::manufacturerText(c.manufacturer)),
             QString::fromStdString(mbussim::hexByte(c.medium)))
        .arg(m.baud())
        .arg(records.join(" | "));
}

const QString kWater = "addr 1 id 12345678 ABC med 07 baud 2400: 0C 13 45 23 01 00 | 0B 3B 45 01 00";
const QString kHeat = "addr 2 id 20000002 ABC med 04 baud 2400: 04 06 10 27 00 00 | 0A 5A 54 06";
const QString kRelay = "addr 7 id 12004411 REL med 07 baud 2400: 0C 13 00 25 01 00";
const QString kHca = "addr none id 44444444 QDS med 08 baud 2400: 0B 6E 45 03 00";
} // namespace

void TestSim::masterWrites_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QStringList>("meters"); // every meter afterwards, in bus order
    const auto row = [](const char *name, const mbus::Request &r, const char *reply, QStringList meters) {
        QTest::newRow(name) << q(r) << QString(reply) << meters;
    };
    using mbus::unitVif;

    row("primary address", mbus::buildPrimaryAddressWrite(1, 42), "E5",
        {"addr 42 id 12345678 ABC med 07 baud 2400: 0C 13 45 23 01 00 | 0B 3B 45 01 00", kHeat, kRelay, kHca});
    row("primary address 0", mbus::buildPrimaryAddressWrite(2, 0), "E5",
        {kWater, "addr 0 id 20000002 ABC med 04 baud 2400: 04 06 10 27 00 00 | 0A 5A 54 06", kRelay, kHca});
    row("primary address by broadcast reaches the unaddressed", mbus::buildPrimaryAddressWrite(254, 9), "E5",
        {QString(kWater).replace("addr 1", "addr 9"), QString(kHeat).replace("addr 2", "addr 9"),
         QString(kRelay).replace("addr 7", "addr 9"), QString(kHca).replace("addr none", "addr 9")});
    row("ID", mbus::buildIdChange(1, "87650001"), "E5",
        {QString(kWater).replace("12345678", "87650001"), kHeat, kRelay, kHca});
    row("litres, BCD", mbus::buildLitresWrite(1, "00012399", false), "E5",
        {QString(kWater).replace("0C 13 45 23 01 00", "0C 13 99 23 01 00"), kHeat, kRelay, kHca});
    row("litres, GIN form into a BCD counter", mbus::buildLitresWrite(1, "4660", true), "E5",
        {QString(kWater).replace("0C 13 45 23 01 00", "0C 13 60 46 00 00"), kHeat, kRelay, kHca});
    row("litres, GIN form beyond 8 digits keeps the low ones", mbus::buildLitresWrite(1, "4294967295", true), "E5",
        {QString(kWater).replace("0C 13 45 23 01 00", "0C 13 95 72 96 94"), kHeat, kRelay, kHca});
    row("litres into an energy counter: it turns to litres", mbus::buildLitresWrite(2, "00000500", false), "E5",
        {kWater, QString(kHeat).replace("04 06 10 27 00 00", "04 13 F4 01 00 00"), kRelay, kHca});
    row("value with its own unit into an integer counter", mbus::buildValueWithUnitWrite(2, "00001234", 0x06), "E5",
        {kWater, QString(kHeat).replace("04 06 10 27 00 00", "04 06 D2 04 00 00"), kRelay, kHca});
    row("relay unit: Wh", mbus::buildValueWithUnitWrite(7, "00012500", unitVif("Wh", "1")), "E5",
        {kWater, kHeat, "addr 7 id 12004411 REL med 07 baud 2400: 0C 03 00 25 01 00", kHca});
    row("relay unit: kJ x 1000", mbus::buildValueWithUnitWrite(7, "00000077", unitVif("kJ", "1000")), "E5",
        {kWater, kHeat, "addr 7 id 12004411 REL med 07 baud 2400: 0C 0E 77 00 00 00", kHca});
    row("value of a unit the meter does not count: acked, no change",
        mbus::buildValueWithUnitWrite(1, "00000001", 0x5A), "E5", {kWater, kHeat, kRelay, kHca});
    row("medium", mbus::buildMediumWrite(1, mbus::mediumCode("Hot water"), "12345678"), "E5",
        {QString(kWater).replace("med 07", "med 06"), kHeat, kRelay, kHca});
    row("medium by broadcast keeps every ID", mbus::buildMediumWrite(254, mbus::mediumCode("Cold water"), "FFFFFFFF"),
        "E5",
        {QString(kWater).replace("med 07", "med 16"), QString(kHeat).replace("med 04", "med 16"),
         QString(kRelay).replace("med 07", "med 16"), QString(kHca).replace("med 08", "med 16")});
    row("unit l x 1 with medium water", mbus::buildUnitWrite(2, mbus::mediumCode("Water"), unitVif("l", "1")), "E5",
        {kWater, "addr 2 id 20000002 ABC med 07 baud 2400: 04 13 10 27 00 00 | 0A 5A 54 06", kRelay, kHca});
    row("unit Wh x 1000 with medium heat",
        mbus::buildUnitWrite(1, mbus::mediumCode("Heat meter"), unitVif("Wh", "1000")), "E5",
        {"addr 1 id 12345678 ABC med 04 baud 2400: 0C 06 45 23 01 00 | 0B 3B 45 01 00", kHeat, kRelay, kHca});
    row("unit N/A with medium H.C.A", mbus::buildUnitWrite(7, mbus::mediumCode("H.C.A"), unitVif("N/A", "0.1")), "E5",
        {kWater, kHeat, "addr 7 id 12004411 REL med 08 baud 2400: 0C 6E 00 25 01 00", kHca});
    row("baud 9600", mbus::buildBaudChange(1, mbus::kCiBaud9600), "E5",
        {QString(kWater).replace("2400", "9600"), kHeat, kRelay, kHca});
    row("application reset", mbus::buildApplicationReset(1), "E5", {kWater, kHeat, kRelay, kHca});
    row("write to an empty address", mbus::buildIdChange(3, "11112222"), "", {kWater, kHeat, kRelay, kHca});
    row("primary-address write to 255: applied, not answered", mbus::buildPrimaryAddressWrite(255, 3), "",
        {QString(kWater).replace("addr 1", "addr 3"), QString(kHeat).replace("addr 2", "addr 3"),
         QString(kRelay).replace("addr 7", "addr 3"), QString(kHca).replace("addr none", "addr 3")});
}

void TestSim::masterWrites()
{
    QFETCH(QByteArray, request);
    QFETCH(QString, reply);
    QFETCH(QStringList, meters);
    QVERIFY2(!request.isEmpty(), "the master refused to build the frame");
    mbussim::BusFileResult parsed = mbussim::parseBusText(kWriteBus);
    QVERIFY2(parsed.ok(), parsed.error.c_str());
    mbussim::Bus bus(std::move(parsed.meters));
    const mbussim::Bytes got = bus.respond(mbussim::Bytes(request.begin(), request.end()));
    QCOMPARE(QString::fromStdString(mbussim::hexLine(got)), reply);
    QStringList after;
    for (const mbussim::Meter &m : bus.meters())
        after << describe(m);
    QCOMPARE(after, meters);
    // The change shows in what the meters answer from then on.
    for (const mbussim::Meter &m : bus.meters()) {
        if (!m.hasAddress() || m.address() == 3 || m.address() == 9)
            continue; // unaddressed, or sharing an address after a broadcast
        const mbussim::Bytes readout = bus.respond(mbus::buildReqUd2(m.address(), false).frame);
        QVERIFY(mbussim::longFrameChecksOut(readout));
        QCOMPARE(readout[14], m.state().medium);
        QVERIFY(std::equal(m.state().id.begin(), m.state().id.end(), readout.begin() + 7));
    }
}

void TestSim::selectedMeterTakesEveryWrite()
{
    // The same writes to 253 reach the selected meter only, the unaddressed one included.
    mbussim::BusFileResult parsed = mbussim::parseBusText(kWriteBus);
    QVERIFY(parsed.ok());
    mbussim::Bus bus(std::move(parsed.meters));
    const mbus::Request writes[] = {
        mbus::buildSecondarySelection("44444444"),
        mbus::buildIdChange(253, "44440001"),
        mbus::buildValueWithUnitWrite(253, "00000812", mbus::unitVif("N/A", "1")),
        mbus::buildMediumWrite(253, mbus::mediumCode("Other"), "44440001"),
        mbus::buildBaudChange(253, mbus::kCiBaud9600),
        mbus::buildApplicationReset(253),
        mbus::buildPrimaryAddressWrite(253, 44),
        mbus::buildSndNke(253),
    };
    for (const mbus::Request &r : writes)
        QCOMPARE(bus.respond(r.frame), mbussim::Bytes{0xE5});
    QCOMPARE(describe(bus.meters()[3]), QString("addr 44 id 44440001 QDS med 00 baud 9600: 0B 6E 12 08 00"));
    QCOMPARE(describe(bus.meters()[0]), kWater);
    QCOMPARE(describe(bus.meters()[1]), kHeat);
    QCOMPARE(describe(bus.meters()[2]), kRelay);
}
