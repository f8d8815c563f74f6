// Who answers what: meters sharing an address, meters at 0 or without an
// address, the master's automatic addressing, and meters that lose answers.
// The requests are the master's own frames from src/mbus.

#include "tst_sim.h"

#include "bus.h"
#include "busfile.h"
#include "frames.h"
#include "mbus/frames.h"

#include <QtTest>

namespace {
struct Step {
    QByteArray request;
    // "" silence, "E5", "collision" (a reply whose checksum fails), or
    // "ID@A": a valid RSP_UD of that meter with A in its address field.
    QString expect;
};
using Steps = QList<Step>;
} // namespace

Q_DECLARE_METATYPE(Steps)

namespace {
// Two meters share address 5; one sits at 0, one has no address at all.
const char kAddressingBus[] = R"(
[meter]
address = 5
id = 11111111
manufacturer = ABC
medium = water
record = 0C 13 45 23 01 00
[meter]
address = 5
id = 22222222
manufacturer = DEF
medium = heat
record = 0C 06 00 10 00 00 0A 5A 54 06
[meter]
address = 0
id = 33333333
manufacturer = ABC
medium = gas
record = 0C 13 00 00 00 00
[meter]
address = none
id = 44444444
manufacturer = GHI
medium = hca
record = 0B 6E 45 03 00
[meter]
address = 6
id = 55555555
manufacturer = ABC
medium = electricity
record = 0C 05 00 00 00 00
)";

// Meters may share an ID: a selection takes both and their answers meet.
const char kTwinsBus[] = R"(
[meter]
address = 1
id = 12345678
manufacturer = ABC
medium = water
record = 0C 13 45 23 01 00
[meter]
address = none
id = 12345678
manufacturer = DEF
medium = heat
record = 0C 06 00 10 00 00
[meter]
address = 2
id = 12345679
manufacturer = ABC
medium = water
record = 0C 13 00 00 00 00
)";

const char kLossyBus[] = R"(
[meter]
address = 1
id = 11111111
manufacturer = ABC
medium = water
answer-every = 2
[meter]
address = 2
id = 22222222
manufacturer = ABC
medium = water
drop-first = 1
[meter]
address = 3
id = 33333333
manufacturer = ABC
medium = water
drop-first = 2
answer-every = 3
[meter]
address = 4
id = 44444444
manufacturer = ABC
medium = water
[meter]
address = 4
id = 45555555
manufacturer = ABC
medium = water
answer-every = 2
)";

QByteArray q(const mbussim::Bytes &b)
{
    return QByteArray(reinterpret_cast<const char *>(b.data()), qsizetype(b.size()));
}
QByteArray q(const mbus::Request &r)
{
    return q(r.frame);
}
Step read(int a, const QString &expect)
{
    return {q(mbus::buildReqUd2(a, false)), expect};
}
Step nke(int a, const QString &expect)
{
    return {q(mbus::buildSndNke(a)), expect};
}
Step select(const char *id, const QString &expect)
{
    return {q(mbus::buildSecondarySelection(id)), expect};
}
Step wildcard(std::array<std::uint8_t, 8> digits, const QString &expect)
{
    return {q(mbus::buildWildcardSelection(digits)), expect};
}
Step setAddress(int a, int n, const QString &expect)
{
    return {q(mbus::buildPrimaryAddressWrite(a, n)), expect};
}

// What the master's automatic addressing sends for one meter.
Steps autoAddress(const char *id, int n)
{
    const QString meter = QString::fromLatin1(id) + "@" + QString::number(n);
    return {select(id, "E5"), setAddress(253, n, "E5"), read(253, meter), nke(253, "E5")};
}

mbussim::Bus busOf(const QByteArray &text)
{
    mbussim::BusFileResult parsed = mbussim::parseBusText(std::string_view(text.constData(), size_t(text.size())));
    if (!parsed.ok())
        qFatal("test bus: %s", parsed.error.c_str());
    return mbussim::Bus(std::move(parsed.meters));
}

// Empty when `reply` is what `expect` says, else what is wrong.
QString mismatch(const mbussim::Bytes &reply, const QString &expect)
{
    const QString got = QString::fromStdString(mbussim::hexLine(reply));
    if (expect.isEmpty())
        return reply.empty() ? QString() : "expected silence, got " + got;
    if (expect == "E5")
        return reply == mbussim::Bytes{0xE5} ? QString() : "expected E5, got " + got;
    const std::size_t n = reply.size();
    const bool sumHolds = n >= 8 && mbus::frameChecksum(mbussim::ByteView(reply).subspan(4, n - 6)) == reply[n - 2];
    if (expect == "collision")
        return n > 1 && !sumHolds ? QString() : "expected a collision, got " + got;
    const QStringList parts = expect.split('@');
    if (!mbussim::longFrameChecksOut(reply) || n < 19 || reply[6] != 0x72)
        return "expected an RSP_UD from " + expect + ", got " + got;
    const std::array<std::uint8_t, 4> id{reply[7], reply[8], reply[9], reply[10]};
    const QString from = QString::fromStdString(mbussim::idText(id)) + "@" + QString::number(reply[5]);
    return from == expect ? QString() : "expected " + expect + ", got " + from;
}
} // namespace

void TestSim::busScenarios_data()
{
    QTest::addColumn<QByteArray>("bus");
    QTest::addColumn<Steps>("steps");
    const QByteArray a = kAddressingBus, l = kLossyBus, t = kTwinsBus;
    constexpr std::uint8_t kAny = 15;

    QTest::newRow("shared address: reads collide") << a << Steps{read(5, "collision"), read(6, "55555555@6")};
    QTest::newRow("shared address: SND_NKE acks read as one E5") << a << Steps{nke(5, "E5")};
    QTest::newRow("shared address: a new address moves both")
        << a << Steps{setAddress(5, 7, "E5"), read(5, ""), read(7, "collision")};
    QTest::newRow("shared address: split by selection")
        << a
        << Steps{select("11111111", "E5"), setAddress(253, 9, "E5"), nke(253, "E5"), read(5, "22222222@5"),
                 read(9, "11111111@9")};
    QTest::newRow("address 0 answers at 0") << a << Steps{read(0, "33333333@0"), nke(0, "E5")};
    QTest::newRow("address 0 takes a new address at 0")
        << a << Steps{setAddress(0, 9, "E5"), read(0, ""), read(9, "33333333@9")};
    QTest::newRow("no address: reached by selection, answers as 253")
        << a << Steps{select("44444444", "E5"), read(253, "44444444@253")};
    QTest::newRow("no address: found by a wildcard search")
        << a << Steps{wildcard({4, kAny, kAny, kAny, kAny, kAny, kAny, kAny}, "E5"), read(253, "44444444@253")};
    QTest::newRow("wildcard FFFFFFFF: acks read as one E5, reads at 253 collide")
        << a << Steps{wildcard({kAny, kAny, kAny, kAny, kAny, kAny, kAny, kAny}, "E5"), read(253, "collision")};
    QTest::newRow("no address: gets one after selection")
        << a
        << Steps{select("44444444", "E5"), setAddress(253, 12, "E5"), nke(253, "E5"), read(253, ""),
                 read(12, "44444444@12")};
    QTest::newRow("no address: gets one by broadcast")
        << a << Steps{setAddress(254, 12, "E5"), read(12, "collision"), read(5, ""), read(0, "")};
    QTest::newRow("no address: 253 written after selection is refused, still acked")
        << a
        << Steps{select("44444444", "E5"),
                 {q(mbussim::longFrame(0x73, 0xFD, 0x51, mbussim::Bytes{0x01, 0x7A, 0xFD})), "E5"},
                 nke(253, "E5"),
                 select("44444444", "E5"),
                 read(253, "44444444@253")};
    QTest::newRow("write to 253 with nobody selected") << a << Steps{setAddress(253, 9, ""), read(9, "")};
    QTest::newRow("global initialization ends a selection")
        << a << Steps{select("44444444", "E5"), nke(255, ""), read(253, "")};
    QTest::newRow("read at 254 collides") << a << Steps{read(254, "collision")};

    QTest::newRow("same ID: both selected, reads collide")
        << t << Steps{select("12345678", "E5"), read(253, "collision")};
    QTest::newRow("same ID: SND_NKE to 253 deselects both")
        << t << Steps{select("12345678", "E5"), nke(253, "E5"), read(253, ""), read(1, "12345678@1")};
    QTest::newRow("same ID: a later selection deselects both")
        << t << Steps{select("12345678", "E5"), select("12345679", "E5"), read(253, "12345679@2")};
    QTest::newRow("same ID: a wildcard on the last digit takes all three")
        << t
        << Steps{wildcard({1, 2, 3, 4, 5, 6, 7, kAny}, "E5"), read(253, "collision"),
                 wildcard({1, 2, 3, 4, 5, 6, 7, 9}, "E5"), read(253, "12345679@2")};
    const mbussim::Bytes byDef{0x78, 0x56, 0x34, 0x12, 0xA6, 0x10, 0xFF, 0xFF}; // 12345678 by DEF, any version, medium
    QTest::newRow("same ID: parted by manufacturer DEF")
        << t << Steps{{q(mbussim::longFrame(0x53, 0xFD, 0x52, byDef)), "E5"}, read(253, "12345678@253")};

    Steps walk{nke(255, "")};
    const std::pair<const char *, int> plan[] = {
        {"11111111", 1}, {"22222222", 2}, {"33333333", 3}, {"44444444", 4}, {"55555555", 5}};
    for (const auto &[id, n] : plan)
        walk += autoAddress(id, n);
    for (const auto &[id, n] : plan)
        walk += read(n, QString::fromLatin1(id) + "@" + QString::number(n));
    walk += Steps{read(0, ""), read(6, ""), read(253, "")};
    QTest::newRow("automatic addressing gives each meter its own address") << a << walk;
    Steps up = autoAddress("22222222", 249);
    up += autoAddress("11111111", 250);
    up += Steps{read(5, ""), read(249, "22222222@249"), read(250, "11111111@250")};
    QTest::newRow("automatic addressing up to 250") << a << up;

    QTest::newRow("answer-every 2: every second read")
        << l << Steps{read(1, ""), read(1, "11111111@1"), read(1, ""), read(1, "11111111@1")};
    QTest::newRow("answer-every 2: SND_NKE counts too")
        << l << Steps{nke(1, ""), read(1, "11111111@1"), nke(1, ""), nke(1, "E5")};
    QTest::newRow("drop-first 1: found on the first retry")
        << l << Steps{read(2, ""), read(2, "22222222@2"), read(2, "22222222@2"), nke(2, "E5")};
    QTest::newRow("drop-first 2, then one in 3")
        << l << Steps{read(3, ""),           read(3, ""), read(3, ""), read(3, ""),
                      read(3, "33333333@3"), read(3, ""), read(3, ""), read(3, "33333333@3")};
    QTest::newRow("requests to other meters do not count")
        << l << Steps{read(2, ""), read(1, ""), read(9, ""), read(2, "22222222@2"), read(1, "11111111@1")};
    QTest::newRow("255 does not count") << l << Steps{nke(255, ""), nke(255, ""), read(1, ""), read(1, "11111111@1")};
    QTest::newRow("254 counts for each meter: only the steady one is heard")
        << l << Steps{read(254, "44444444@4"), read(1, "11111111@1"), read(2, "22222222@2")};
    QTest::newRow("a lossy meter beside a steady one on one address")
        << l << Steps{read(4, "44444444@4"), read(4, "collision"), read(4, "44444444@4")};
    QTest::newRow("a lost acknowledgement still selects")
        << l << Steps{select("11111111", ""), read(253, "11111111@1")};
    QTest::newRow("a lost acknowledgement still writes") << l << Steps{setAddress(2, 9, ""), read(9, "22222222@9")};
}

void TestSim::busScenarios()
{
    QFETCH(QByteArray, bus);
    QFETCH(Steps, steps);
    mbussim::Bus b = busOf(bus);
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const Step &s = steps[i];
        const mbussim::Bytes request(s.request.begin(), s.request.end());
        QVERIFY2(!request.empty(), qPrintable(QString("step %1: the master refused to build it").arg(i + 1)));
        const QString wrong = mismatch(b.respond(request), s.expect);
        QVERIFY2(
            wrong.isEmpty(),
            qPrintable(
                QString("step %1 (%2): %3").arg(i + 1).arg(QString::fromStdString(mbussim::hexLine(request)), wrong)));
    }
}

void TestSim::primaryAddressesReachOwnersOnly_data()
{
    QTest::addColumn<bool>("use5B");
    QTest::addColumn<bool>("nkeFirst");
    QTest::newRow("REQ_UD2 7B") << false << false;
    QTest::newRow("REQ_UD2 5B") << true << false;
    QTest::newRow("SND_NKE") << false << true;
}

void TestSim::primaryAddressesReachOwnersOnly()
{
    // A scan of 0..250: the meter without an address never answers, the one at 0
    // only at 0. Asked twice per address, as a scan with a retry would.
    QFETCH(bool, use5B);
    QFETCH(bool, nkeFirst);
    mbussim::Bus bus = busOf(kAddressingBus);
    QList<int> answered;
    for (int a = 0; a <= 250; ++a)
        for (int repeat = 0; repeat < 2; ++repeat) {
            const mbus::Request r = nkeFirst ? mbus::buildSndNke(a) : mbus::buildReqUd2(a, use5B);
            if (!bus.respond(r.frame).empty() && repeat == 0)
                answered << a;
        }
    QCOMPARE(answered, (QList<int>{0, 5, 6}));
}
