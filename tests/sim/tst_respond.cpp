// The bus as a pure function: request bytes in, the bytes the master sees out.

#include "tst_sim.h"

#include "bus.h"
#include "busfile.h"
#include "frames.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

using mbussim::Bus;
using mbussim::Bytes;

namespace {
// Three meters; 1 and 2 share the first two ID digits.
const char kBus[] = R"(
[meter]
address = 1
id = 12345678
manufacturer = ABC
version = 1
medium = water
access = 0x10
record = 0C 13 45 23 01 00
[meter]
address = 2
id = 12000099
manufacturer = ABC
version = 2
medium = heat
record = 0C 06 00 10 00 00
[meter]
address = 3
id = 87654321
manufacturer = XYZ
version = 1
medium = gas
record = 04 13 39 30 00 00
)";

Bus testBus()
{
    mbussim::BusFileResult parsed = mbussim::parseBusText(kBus);
    if (!parsed.ok())
        qFatal("test bus: %s", parsed.error.c_str());
    return Bus(std::move(parsed.meters));
}

Bytes bytes(const QByteArray &a)
{
    return Bytes(a.begin(), a.end());
}
QByteArray qbytes(const Bytes &b)
{
    return QByteArray(reinterpret_cast<const char *>(b.data()), qsizetype(b.size()));
}
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Replies of the meters with their first access numbers.
const char kM1[] = "681515680801727856341243040107100000000C13452301007616";
const char kM1Second[] = "681515680801727856341243040107110000000C13452301007716";
const char kM2[] = "681515680802729900001243040204000000000C06001000009616";
const char kM3[] = "68151568080372214365873A63010300000000041339300000EE16";
const char kSelectM1[] = "680B0B6853FD5278563412FFFFFFFFB216";
const char kReq253[] = "107BFD7816";
} // namespace

void TestSim::respond_data()
{
    // Each row runs its requests in order on a fresh bus; an empty reply is silence.
    QTest::addColumn<QByteArrayList>("requests");
    QTest::addColumn<QByteArrayList>("replies");
    const auto row = [](const char *name, std::initializer_list<std::pair<const char *, const char *>> steps) {
        QByteArrayList requests, replies;
        for (const auto &[request, reply] : steps) {
            requests << hex(request);
            replies << hex(reply);
        }
        QTest::newRow(name) << requests << replies;
    };
    row("SND_NKE to 1", {{"1040014116", "E5"}});
    row("SND_NKE to an empty address", {{"1040094916", ""}});
    row("SND_NKE to 254: acks meet as one E5", {{"1040FE3E16", "E5"}});
    row("SND_NKE to 255: nobody answers", {{"1040FF3F16", ""}});
    row("REQ_UD2 FCB set", {{"107B017C16", kM1}});
    row("REQ_UD2 FCB clear", {{"105B015C16", kM1}});
    row("access number counts up", {{"107B017C16", kM1}, {"105B015C16", kM1Second}});
    row("REQ_UD2 to meter 2", {{"107B027D16", kM2}});
    row("REQ_UD2 to meter 3", {{"107B037E16", kM3}});
    row("REQ_UD2 to an empty address", {{"107B098416", ""}});
    row("REQ_UD2 to 255", {{"107BFF7A16", ""}});
    row("REQ_UD2 to 253, nothing selected", {{kReq253, ""}});
    row("application reset", {{"68030368730150C416", "E5"}});
    row("application reset with subcode", {{"6804046853015000A416", "E5"}});
    row("application reset to an empty address", {{"68030368730950CC16", ""}});
    row("baud change acknowledged", {{"680303685301BB0F16", "E5"}});
    row("unknown CI is silent", {{"680303685301A0F416", ""}});

    row("select by full ID, read at 253", {{kSelectM1, "E5"}, {kReq253, kM1}});
    row("wildcard narrows: 12FFFFFF then 123FFFFF",
        {{"680B0B6853FD52FFFFFF12FFFFFFFFAD16", "E5"}, {"680B0B6853FD52FFFF3F12FFFFFFFFED16", "E5"}, {kReq253, kM1}});
    row("selection by manufacturer ABC collides as E5", {{"680B0B6853FD52FFFFFFFF4304FFFFE316", "E5"}});
    row("selection by unknown manufacturer", {{"680B0B6853FD52FFFFFFFF1863FFFF1716", ""}, {kReq253, ""}});
    row("selection by medium gas", {{"680B0B6853FD52FFFFFFFFFFFFFF039E16", "E5"}, {kReq253, kM3}});
    row("selection by version 2", {{"680B0B6853FD52FFFFFFFFFFFF02FF9D16", "E5"}, {kReq253, kM2}});
    row("selection by manufacturer XYZ alone", {{"680B0B6853FD52FFFFFFFF3A63FFFF3916", "E5"}, {kReq253, kM3}});
    row("manufacturer ABC and medium heat", {{"680B0B6853FD52FFFFFFFF4304FF04E816", "E5"}, {kReq253, kM2}});
    row("full ID with its manufacturer, version and medium",
        {{"680B0B6853FD5278563412430401070516", "E5"}, {kReq253, kM1}});
    row("full ID, other manufacturer: deselected",
        {{kSelectM1, "E5"}, {"680B0B6853FD52785634123A63FFFF5116", ""}, {kReq253, ""}});
    row("full ID, other version", {{"680B0B6853FD5278563412FFFF02FFB516", ""}, {kReq253, ""}});
    row("full ID, other medium", {{"680B0B6853FD5278563412FFFFFF04B716", ""}, {kReq253, ""}});
    row("last digit only: FFFFFFF8", {{"680B0B6853FD52F8FFFFFFFFFFFFFF9316", "E5"}, {kReq253, kM1}});
    row("non-matching selection deselects",
        {{kSelectM1, "E5"}, {"680B0B6853FD5299999999FFFFFFFF0216", ""}, {kReq253, ""}});
    row("SND_NKE to 253 ends the selection", {{kSelectM1, "E5"}, {"1040FD3D16", "E5"}, {kReq253, ""}});
    row("selection sent to 254 is ignored", {{"680B0B6853FE5278563412FFFFFFFFB316", ""}, {kReq253, ""}});
    row("selection with 7 bytes is ignored", {{"680A0A6853FD5278563412FFFFFFB316", ""}});

    row("new primary address", {{"68060668730151017A074716", "E5"},
                                {"107B017C16", ""},
                                {"107B078216", "681515680807727856341243040107100000000C13452301007C16"}});
    row("new primary address through 253", {{kSelectM1, "E5"},
                                            {"6806066873FD51017A094516", "E5"},
                                            {"107B098416", "681515680809727856341243040107100000000C13452301007E16"}});
    row("primary address 251 refused, still acknowledged", {{"68060668730151017AFB3B16", "E5"}, {"107B017C16", kM1}});
    row("new ID, then selected by it", {{"680909687301510C7944332211F416", "E5"},
                                        {"680B0B6853FD5244332211FFFFFFFF4816", "E5"},
                                        {kReq253, "681515680801724433221143040107100000000C13452301000C16"}});
    row("ID nibbles F keep their digit", {{"680909687301510C79FFFFFF99E016", "E5"},
                                          {"107B017C16", "681515680801727856349943040107100000000C1345230100FD16"}});
    row("value in litres, BCD", {{"680909685301510C1366778899C216", "E5"},
                                 {"107B017C16", "681515680801727856341243040107100000000C13667788990B16"}});
    row("value in litres, integer form into a BCD record",
        {{"680909685301510413D20400009216", "E5"},
         {"107B017C16", "681515680801727856341243040107100000000C13341200005316"}});
    row("BCD value into an integer record", {{"680909685303510C1300000100C716", "E5"},
                                             {"107B037E16", "68151568080372214365873A63010300000000041310270000BC16"}});
    row("medium through enhanced identification",
        {{"680D0D68530151077978563412FFFFFF164C16", "E5"},
         {"107B017C16", "681515680801727856341243040116100000000C13452301008516"}});
    row("unit write changes counter VIF and medium",
        {{"680909685302510F1403070101D516", "E5"},
         {"107B027D16", "681515680802729900001243040207000000000C1400100000A716"}});
    row("write to 254 reaches all: acks meet as E5", {{"68060668730151017A074716", "E5"}, {"1040FE3E16", "E5"}});
    row("truncated write record is not acknowledged", {{"680606685301510C13662A16", ""}, {"107B017C16", kM1}});
    row("write of a VIF the meter lacks: acked, no change",
        {{"680909685301510C5A123400005116", "E5"}, {"107B017C16", kM1}});
    row("write to 255: applied, not answered",
        {{"6806066873FF51017A074516", ""}, {"1040014116", ""}, {"1040074716", "E5"}});
}

void TestSim::respond()
{
    QFETCH(QByteArrayList, requests);
    QFETCH(QByteArrayList, replies);
    Bus bus = testBus();
    for (qsizetype i = 0; i < requests.size(); ++i)
        QCOMPARE(qbytes(bus.respond(bytes(requests[i]))).toHex(' ').toUpper(), replies[i].toHex(' ').toUpper());
}

void TestSim::broadcastReadCollides()
{
    Bus bus = testBus();
    const mbussim::Response r = bus.handle(bytes(hex("107BFE7916")));
    QCOMPARE(r.answering, 3);
    QCOMPARE(r.bytes.size(), hex(kM1).size());
    QVERIFY(!mbussim::longFrameChecksOut(r.bytes));
    QVERIFY(qbytes(r.bytes) != hex(kM1));
    // every meter did answer: each access number moved on
    QCOMPARE(qbytes(bus.respond(bytes(hex("107B017C16")))), hex(kM1Second));
}

void TestSim::collide_data()
{
    QTest::addColumn<QByteArrayList>("answers");
    QTest::addColumn<QByteArray>("seen");
    QTest::newRow("nobody") << QByteArrayList{} << QByteArray();
    QTest::newRow("one answer unchanged") << QByteArrayList{hex(kM1)} << hex(kM1);
    QTest::newRow("three E5") << QByteArrayList{hex("E5"), hex("E5"), hex("E5")} << hex("E5");
    QTest::newRow("AND, longer tail kept") << QByteArrayList{hex("F0F0"), hex("3CFF11")} << hex("30F011");
    QTest::newRow("E5 meets a frame") << QByteArrayList{hex("E5"), hex("1040014116")} << hex("0040014116");
    // Identical frames AND to themselves; the result must still fail the checks.
    QTest::newRow("identical frames get a bad checksum")
        << QByteArrayList{hex(kM1), hex(kM1)} << hex("681515680801727856341243040107100000000C13452301008916");
}

void TestSim::collide()
{
    QFETCH(QByteArrayList, answers);
    QFETCH(QByteArray, seen);
    std::vector<Bytes> in;
    for (const QByteArray &a : answers)
        in.push_back(bytes(a));
    QCOMPARE(qbytes(mbussim::collide(in)).toHex(' '), seen.toHex(' '));
}

void TestSim::secondarySearchNarrowsDown()
{
    // What a most-significant-first search sees: 1FFFFFFF draws two meters, their
    // answers to REQ_UD2 at 253 collide; one digit deeper each answers alone.
    Bus bus = testBus();
    const auto select = [&](const char *pattern) {
        Bytes data = bytes(hex(pattern));
        for (int i = 0; i < 4; ++i)
            data.push_back(0xFF);
        return bus.respond(mbussim::longFrame(0x53, 0xFD, 0x52, data));
    };
    QCOMPARE(select("FFFFFF1F"), Bytes{0xE5});
    QVERIFY(!mbussim::longFrameChecksOut(bus.respond(bytes(hex(kReq253)))));
    QCOMPARE(select("FFFFFF8F"), Bytes{0xE5});
    QVERIFY(mbussim::longFrameChecksOut(bus.respond(bytes(hex(kReq253)))));
    QCOMPARE(select("FFFFFF2F"), Bytes{});
    QCOMPARE(bus.respond(bytes(hex(kReq253))), Bytes{}); // 8FFFFFFF no longer selected
    QCOMPARE(select("FFFF0F12"), Bytes{0xE5});
    QCOMPARE(bus.respond(bytes(hex(kReq253)))[5], 0x02);
    QCOMPARE(select("FFFF3F12"), Bytes{0xE5});
    QCOMPARE(bus.respond(bytes(hex(kReq253)))[5], 0x01);
}

void TestSim::garbageNeverAnswered()
{
    // respond() re-checks what it gets: anything but one whole frame is silence.
    Bus bus = testBus();
    const char *cases[] = {"",
                           "00",
                           "107B01",
                           "107B017D16",
                           "107B017C1600",
                           "680303687301",
                           "68030368730150C516",
                           "68020268730175",
                           "68030468730150C416",
                           "FFFFFFFFFFFFFFFF"};
    for (const char *c : cases)
        QVERIFY2(bus.respond(bytes(hex(c))).empty(), c);
    QCOMPARE(qbytes(bus.respond(bytes(hex("107B017C16")))), hex(kM1));
}

void TestSim::collisionNeverChecksOut()
{
    // Answers of different meters that meet must fail the master's checksum test,
    // whatever their lengths: a collision that passes it would be read as a meter.
    QRandomGenerator random(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::vector<Bytes> answers;
        const int count = 2 + int(random.bounded(3));
        for (int i = 0; i < count; ++i) {
            Bytes data(random.bounded(0, 40));
            for (std::uint8_t &b : data)
                b = std::uint8_t(random.bounded(256));
            answers.push_back(mbussim::longFrame(0x08, std::uint8_t(random.bounded(4)), 0x72, data));
        }
        if (std::all_of(answers.begin(), answers.end(), [&](const Bytes &a) { return a == answers[0]; }))
            continue;
        const Bytes seen = mbussim::collide(answers);
        const std::size_t n = seen.size();
        QVERIFY2(mbus::frameChecksum(mbussim::ByteView(seen).subspan(4, n - 6)) != seen[n - 2],
                 mbussim::hexLine(seen).c_str());
    }
}
