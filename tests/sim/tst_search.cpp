// The master's secondary search, most significant digit first, run over the pure
// bus: generated meters without addresses, and meters sharing an ID.

#include "tst_sim.h"

#include "bus.h"
#include "frames.h"
#include "mbus/frames.h"
#include "randombus.h"

#include <QtTest>

#include <numeric>
#include <set>

namespace {
struct Walk {
    QStringList found;      // "ID@A" of each meter read alone
    QStringList collisions; // full IDs whose readout still collided
};

// Narrows the ID digit by digit from the leftmost; a pattern that draws an
// answer is read at 253, and a readout that fails its checks is a collision,
// tried one digit deeper until there is none left.
void walk(mbussim::Bus &bus, std::array<std::uint8_t, 8> digits, std::size_t depth, Walk &w)
{
    for (std::uint8_t d = 0; d <= 9; ++d) {
        digits[depth] = d;
        if (bus.respond(mbus::buildWildcardSelection(digits).frame).empty())
            continue;
        const mbussim::Bytes r = bus.respond(mbus::buildReqUd2(253, false).frame);
        if (mbussim::longFrameChecksOut(r) && r.size() >= 19)
            w.found << QString::fromStdString(mbussim::idText({r[7], r[8], r[9], r[10]})) + "@" + QString::number(r[5]);
        else if (depth < 7)
            walk(bus, digits, depth + 1, w);
        else
            w.collisions << std::accumulate(digits.begin(), digits.end(), QString(),
                                            [](const QString &s, std::uint8_t c) { return s + QString::number(c); });
    }
}

QString idOf(const mbussim::MeterConfig &m)
{
    return QString::fromStdString(mbussim::idText(m.id));
}
} // namespace

void TestSim::secondaryWalk_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<unsigned>("seed");
    QTest::addColumn<QStringList>("extra"); // more meters: "ID" without an address, "ID@A" at A
    QTest::addColumn<bool>("twinFirst");    // a copy of the first generated meter joins
    QTest::addColumn<QStringList>("extraFound");
    QTest::addColumn<QStringList>("collisions");
    const QStringList none;
    QTest::newRow("empty bus") << 0 << 1u << none << false << none << none;
    QTest::newRow("20 meters, seed 1") << 20 << 1u << none << false << none << none;
    QTest::newRow("20 meters, seed 99") << 20 << 99u << none << false << none << none;
    QTest::newRow("20 meters and two sharing an ID")
        << 20 << 2u << QStringList{"55555555", "55555555@7"} << false << none << QStringList{"55555555"};
    QTest::newRow("20 meters, the first one twice") << 20 << 3u << none << true << none << none;
    QTest::newRow("three sharing an ID beside their neighbour")
        << 20 << 4u << QStringList{"30000017", "30000017", "30000017", "30000018@5"} << false
        << QStringList{"30000018@5"} << QStringList{"30000017"};
    QTest::newRow("1000 meters") << 1000 << 5u << none << false << none << none;
}

void TestSim::secondaryWalk()
{
    // Every meter is read exactly once, alone; meters sharing all eight digits
    // collide at the last one and none of them is read.
    QFETCH(int, count);
    QFETCH(unsigned, seed);
    QFETCH(QStringList, extra);
    QFETCH(bool, twinFirst);
    QFETCH(QStringList, extraFound);
    QFETCH(QStringList, collisions);
    std::vector<mbussim::MeterConfig> meters = mbussim::randomMeters(count, seed);
    QStringList found = extraFound;
    for (const mbussim::MeterConfig &m : meters)
        found << idOf(m) + "@253";
    if (twinFirst) {
        meters.push_back(meters.front());
        meters.back().medium ^= 1; // a twin need not be identical
        found.removeOne(idOf(meters.front()) + "@253");
        collisions << idOf(meters.front());
    }
    for (const QString &text : extra) {
        mbussim::MeterConfig m = mbussim::randomMeters(1, 0).front();
        const mbussim::Bytes id = mbussim::toBcd(text.left(8).toULongLong(), 8);
        std::copy(id.begin(), id.end(), m.id.begin());
        m.address = text.contains('@') ? std::uint8_t(text.section('@', 1).toUInt()) : mbussim::kNoAddress;
        meters.push_back(m);
    }
    mbussim::Bus bus(std::move(meters));
    Walk w;
    std::array<std::uint8_t, 8> digits;
    digits.fill(15);
    walk(bus, digits, 0, w);
    for (QStringList *list : {&w.found, &w.collisions, &found, &collisions})
        list->sort();
    QCOMPARE(w.found, found);
    QCOMPARE(w.collisions, collisions);
}

void TestSim::generatedMeters_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("expected");
    QTest::newRow("twenty") << 20 << 20;
    QTest::newRow("too many: a thousand") << 5000 << 1000;
    QTest::newRow("negative count: none") << -3 << 0;
}

void TestSim::generatedMeters()
{
    // Unique decimal IDs, no address, a readout whose records hold a counter;
    // the same seed gives the same meters, another seed other ones.
    QFETCH(int, count);
    QFETCH(int, expected);
    const std::vector<mbussim::MeterConfig> meters = mbussim::randomMeters(count, 42);
    QCOMPARE(int(meters.size()), expected);
    const std::vector<mbussim::MeterConfig> again = mbussim::randomMeters(count, 42);
    std::set<QString> ids;
    std::set<int> manufacturers, media;
    for (std::size_t i = 0; i < meters.size(); ++i) {
        const QString id = idOf(meters[i]);
        QVERIFY2(QRegularExpression("^[0-9]{8}$").match(id).hasMatch() && ids.insert(id).second, qPrintable(id));
        manufacturers.insert(meters[i].manufacturer);
        media.insert(meters[i].medium);
        mbussim::Meter meter(meters[i]);
        QVERIFY(!meter.hasAddress());
        const mbussim::Bytes r = meter.readout();
        QVERIFY2(mbussim::longFrameChecksOut(r) && r.size() >= 21 && r[5] == 0xFD, mbussim::hexLine(r).c_str());
        const mbussim::RecordsResult records = mbussim::parseRecords(mbussim::ByteView(r).subspan(19, r.size() - 21));
        QVERIFY2(records.ok(), records.error.c_str());
        QVERIFY2(std::any_of(records.records.begin(), records.records.end(),
                             [](const mbussim::Record &c) {
                                 return c.isCurrentValue() && c.primaryVif() <= 0x17 && mbussim::readUnsigned(c);
                             }),
                 mbussim::hexLine(r).c_str());
        QCOMPARE(mbussim::Meter(again[i]).readout(), r);
    }
    if (expected >= 20) {
        QVERIFY(manufacturers.size() > 2 && media.size() > 2);
        QVERIFY(mbussim::randomMeters(count, 43).front().id != meters.front().id);
    }
}
