// The gateway telegram from the gateway's side: reading requests, building
// replies at the offsets the program reads, reassembly, the gateway's answers
// and the faults it can put on a reply.

#include "tst_sim.h"

#include "busfile.h"
#include "frames.h"
#include "gatewayunit.h"

#include <QtTest>

#include <random>

namespace gw = mbussim::gateway;

namespace {
using Patch = QList<QPair<int, int>>; // offset, new value

mbussim::Bytes toBytes(const QByteArray &a)
{
    return mbussim::Bytes(a.begin(), a.end());
}
QByteArray toArray(const mbussim::Bytes &b)
{
    return QByteArray(reinterpret_cast<const char *>(b.data()), qsizetype(b.size()));
}
std::uint8_t sum(const QByteArray &a, int from, int to)
{
    unsigned s = 0;
    for (int i = from; i <= to; ++i)
        s += quint8(a[i]);
    return std::uint8_t(s);
}

// The program's wrapping of 10 5B FE 59 16 for network 0.0.0.1, packet 1.
QByteArray exampleRequest()
{
    QByteArray t = QByteArray::fromHex("010000000100000100010404"
                                       "A80710"
                                       "00105BFE5916EFAA");
    t += QByteArray(275, '\0');
    t += QByteArray::fromHex("3C04");
    return t;
}

QByteArray patched(QByteArray t, const Patch &patch, bool fixHeader, bool fixTelegram)
{
    for (const auto &[at, value] : patch)
        t[at] = char(value);
    if (fixHeader)
        t[10] = char(sum(t, 0, 9));
    if (fixTelegram)
        t[298] = char(sum(t, 0, 297));
    return t;
}

mbussim::Bus demoBus()
{
    return mbussim::Bus(mbussim::readBusFile(TELVARO_SOURCE_DIR "/tools/mbus-sim/examples/demo.bus").meters);
}

QByteArray request(const char *payloadHex, quint16 packet = 7, std::uint8_t type = gw::kMbusSection)
{
    return toArray(gw::buildRequest({{0, 0, 0, 1}, packet, type, toBytes(QByteArray::fromHex(payloadHex))}));
}
} // namespace

void TestSim::gatewayRequestExample()
{
    const QByteArray t = exampleRequest();
    QCOMPARE(t.size(), 300);
    const gw::RequestCheck check = gw::parseRequest(toBytes(t));
    QVERIFY2(check.ok(), check.problems.empty() ? "" : check.problems.front().c_str());
    QCOMPARE(check.request->net, (gw::NetworkNumber{0, 0, 0, 1}));
    QCOMPARE(check.request->packet, quint16(1));
    QCOMPARE(check.request->type, gw::kMbusSection);
    QCOMPARE(toArray(check.request->payload), QByteArray::fromHex("105BFE5916"));
    QCOMPARE(toArray(gw::buildRequest(*check.request)), t);
    // the counter goes big-endian, only its low 16 bits
    const QByteArray t256 = toArray(gw::buildRequest({{0, 0, 0, 1}, 256, gw::kMbusSection, {}}));
    QCOMPARE(t256.mid(6, 2), QByteArray::fromHex("0100"));
}

void TestSim::gatewayRequestErrors_data()
{
    QTest::addColumn<QByteArray>("telegram");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    const QByteArray t = exampleRequest();
    QTest::newRow("good") << t << 0 << 0;
    QTest::newRow("start 00, checksums fixed") << patched(t, {{0, 0x00}}, true, true) << 0x08 << 0;
    QTest::newRow("start 00 as sent") << patched(t, {{0, 0x00}}, false, false) << 0x0B << 0;
    QTest::newRow("header checksum") << patched(t, {{10, 0x05}}, false, true) << 0x01 << 0;
    QTest::newRow("end of header") << patched(t, {{11, 0x05}}, false, true) << 0x40 << 0;
    QTest::newRow("telegram checksum") << patched(t, {{298, 0x3D}}, false, false) << 0x02 << 0;
    QTest::newRow("stop byte") << patched(t, {{299, 0x16}}, false, false) << 0x40 << 0;
    QTest::newRow("start and stop") << patched(t, {{0, 0x02}, {299, 0x00}}, true, true) << 0x48 << 0;
    QTest::newRow("header byte 9") << patched(t, {{9, 0x02}}, true, true) << 0 << 0x80;
    QTest::newRow("section type") << patched(t, {{12, 0xA9}}, true, true) << 0x20 << 0;
    QTest::newRow("flags of a display command on A8") << patched(t, {{14, 0x00}, {21, 0xDF}}, true, true) << 0x20 << 0;
    QTest::newRow("section checksum") << patched(t, {{21, 0xEE}}, true, true) << 0 << 0x80;
    QTest::newRow("no AA") << patched(t, {{22, 0xAB}}, true, true) << 0x04 << 0;
    QTest::newRow("junk in the padding") << patched(t, {{200, 0x01}}, true, true) << 0x04 << 0;
    // one byte longer: checksum read from the AA, and no AA after it
    QTest::newRow("length one too long") << patched(t, {{13, 0x08}}, true, true) << 0x04 << 0x80;
    QTest::newRow("299 bytes") << t.left(299) << 0x04 << 0;
    QTest::newRow("301 bytes") << t + '\0' << 0x04 << 0;
    QTest::newRow("empty") << QByteArray() << 0x04 << 0;
}

void TestSim::gatewayRequestErrors()
{
    QFETCH(QByteArray, telegram);
    QFETCH(int, first);
    QFETCH(int, second);
    const gw::RequestCheck check = gw::parseRequest(toBytes(telegram));
    QCOMPARE(int(check.firstError), first);
    QCOMPARE(int(check.secondError), second);
    QCOMPARE(check.ok(), first == 0 && second == 0);
    QCOMPARE(check.problems.empty(), check.ok());

    // and the gateway answers with exactly these bits, the packet counter echoed
    mbussim::Bus bus = demoBus();
    gw::Gateway gateway(bus, {0, 0, 0, 1});
    const gw::Exchange ex = gateway.handle(toBytes(telegram));
    if (!check.ok()) {
        QVERIFY(!ex.reply.payload);
        QCOMPARE(ex.reply.status, (gw::Status{1, std::uint8_t(first), std::uint8_t(second)}));
        if (telegram.size() >= 8)
            QCOMPARE(ex.reply.packet, quint16(1));
    }
}

void TestSim::gatewayPayloadLengths_data()
{
    QTest::addColumn<QByteArray>("payload");
    std::mt19937 random(5);
    const auto bytes = [&random](int n) {
        QByteArray a;
        for (int i = 0; i < n; ++i)
            a += char(1 + random() % 255);
        return a;
    };
    // The length byte holds n + 2 modulo 256: from 254 bytes on it wraps.
    for (int n : {0, 1, 5, 24, 25, 253, 254, 255, 261, 279, 280})
        QTest::addRow("%d bytes", n) << bytes(n);
    // 261 bytes whose first 5, read with the same length byte, would end in a good
    // checksum and AA: the zero padding that must follow decides.
    QByteArray tricky = bytes(261);
    tricky[6] = char(0xAA);
    tricky[5] = char(sum(QByteArray::fromHex("0710") + '\0' + tricky.left(5), 0, 7));
    QTest::newRow("261 bytes, a false end inside") << tricky;
}

void TestSim::gatewayPayloadLengths()
{
    QFETCH(QByteArray, payload);
    const gw::Request request{{192, 168, 1, 3}, 65535, gw::kDisplaySection, toBytes(payload)};
    const mbussim::Bytes t = gw::buildRequest(request);
    QCOMPARE(t.size(), size_t(300));
    QCOMPARE(int(t[13]), (payload.size() + 2) % 256);
    const gw::RequestCheck check = gw::parseRequest(t);
    QVERIFY2(check.ok(), check.problems.empty() ? "" : check.problems.front().c_str());
    QCOMPARE(toArray(check.request->payload), payload);
    QCOMPARE(check.request->type, gw::kDisplaySection);
    QVERIFY(gw::buildRequest({{}, 1, gw::kMbusSection, mbussim::Bytes(281, 1)}).empty());
}

void TestSim::gatewayReplyLayout_data()
{
    QTest::addColumn<bool>("data");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::newRow("status, done") << false << QByteArray() << 0 << 0 << 0;
    QTest::newRow("status, three error bits") << false << QByteArray() << 1 << 0x11 << 0x80;
    QTest::newRow("E5") << true << QByteArray::fromHex("E5") << 0 << 0 << 0;
    QTest::newRow("empty data section") << true << QByteArray() << 0 << 0 << 0;
    QTest::newRow("RSP_UD") << true
                            << QByteArray::fromHex("68030368080172"
                                                   "7B16")
                            << 0 << 0 << 0;
    QTest::newRow("data and an error") << true << QByteArray::fromHex("0102") << 1 << 0x20 << 0x40;
    QTest::newRow("largest payload") << true << QByteArray(251, char(0x5A)) << 0 << 0 << 0;
}

void TestSim::gatewayReplyLayout()
{
    QFETCH(bool, data);
    QFETCH(QByteArray, payload);
    QFETCH(int, result);
    QFETCH(int, first);
    QFETCH(int, second);
    gw::Reply reply;
    reply.net = {10, 20, 30, 40};
    reply.packet = 0x1234;
    if (data)
        reply.payload = toBytes(payload);
    reply.status = {std::uint8_t(result), std::uint8_t(first), std::uint8_t(second)};
    const QByteArray t = toArray(gw::buildReply(reply));
    QCOMPARE(t.size(), 300);

    // Read at the offsets the program reads.
    QCOMPARE(t.left(5), QByteArray::fromHex("010A141E28"));
    QCOMPARE(t.mid(6, 2), QByteArray::fromHex("1234"));
    QCOMPARE(quint8(t[19]), sum(t, 0, 18));
    QCOMPARE(quint8(t[298]), sum(t, 0, 297));
    QCOMPARE(quint8(t[299]), 0x04);
    int status = 24, end = 29;
    if (data) {
        const int length = quint8(t[22]);
        QCOMPARE(quint8(t[21]), gw::kMbusSection);
        QCOMPARE(length, payload.size() + 4);
        QCOMPARE(t.mid(25, length - 4), payload);
        status = length + 28;
        end = length + 33;
        QCOMPARE(quint8(t[length + 25]), gw::kStatusSection);
    } else {
        QCOMPARE(quint8(t[21]), gw::kStatusSection);
    }
    QCOMPARE(quint8(t[status]), result);
    QCOMPARE(quint8(t[status + 1]), second);
    QCOMPARE(quint8(t[status + 2]), first);
    QVERIFY(quint8(t[status - 1]) != 0); // a status read one byte early shows an error
    QCOMPARE(t.mid(end, 298 - end), QByteArray(298 - end, '\0'));

    const gw::ReadReply read = gw::readReply(toBytes(t));
    QVERIFY(read.ok());
    QCOMPARE(read.net, reply.net);
    QCOMPARE(toArray(read.payload), payload);
    QCOMPARE(read.status, reply.status);

    reply.payload = mbussim::Bytes(252, 0); // L would not fit its byte
    QVERIFY(gw::buildReply(reply).empty());
}

void TestSim::gatewayAssembler_data()
{
    QTest::addColumn<QList<int>>("pieces");
    QTest::addColumn<int>("telegrams");
    QTest::addColumn<int>("pending");
    QTest::newRow("200 + 100") << QList<int>{200, 100} << 1 << 0;
    QTest::newRow("299") << QList<int>{299} << 0 << 299;
    QTest::newRow("299 + 1") << QList<int>{299, 1} << 1 << 0;
    QTest::newRow("310 at once") << QList<int>{310} << 1 << 10;
    QTest::newRow("200 + 150") << QList<int>{200, 150} << 1 << 50;
    QTest::newRow("two at once") << QList<int>{600} << 2 << 0;
    QTest::newRow("310 + 290") << QList<int>{310, 290} << 2 << 0;
    QTest::newRow("1 + 298 + 302") << QList<int>{1, 298, 302} << 2 << 1;
}

void TestSim::gatewayAssembler()
{
    QFETCH(QList<int>, pieces);
    QFETCH(int, telegrams);
    QFETCH(int, pending);
    // Numbered bytes: the telegrams must be the stream cut at every 300th byte.
    QByteArray stream;
    for (int n : pieces)
        for (int i = 0; i < n; ++i)
            stream += char((stream.size() * 7) % 251);
    gw::Assembler assembler;
    QList<QByteArray> got;
    int at = 0;
    for (int n : pieces) {
        for (const mbussim::Bytes &t : assembler.push(toBytes(stream.mid(at, n))))
            got << toArray(t);
        at += n;
    }
    QCOMPARE(got.size(), telegrams);
    for (int i = 0; i < got.size(); ++i)
        QCOMPARE(got[i], stream.mid(i * 300, 300));
    QCOMPARE(int(assembler.pending()), pending);
}

void TestSim::gatewayExchanges_data()
{
    QTest::addColumn<QByteArray>("telegram");
    QTest::addColumn<QByteArray>("answer"); // the bus's answer; empty: a status only
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::newRow("REQ_UD2 to 1") << request("107B017C16") << QByteArray("RSP_UD") << 0 << 0;
    QTest::newRow("SND_NKE to 2") << request("1040024216") << QByteArray::fromHex("E5") << 0 << 0;
    QTest::newRow("nobody at 99") << request("107B63DE16") << QByteArray() << 0 << 0x02;
    QTest::newRow("frame with a bad checksum") << request("107B017D16") << QByteArray() << 0 << 0x40;
    QTest::newRow("empty payload") << request("") << QByteArray() << 0 << 0x40;
    QTest::newRow("display command") << request("494E464F", 7, gw::kDisplaySection) << QByteArray() << 0x20 << 0;
    QTest::newRow("for another network") << toArray(
        gw::buildRequest({{9, 9, 9, 9}, 7, gw::kMbusSection, toBytes(QByteArray::fromHex("1040014116"))}))
                                         << QByteArray::fromHex("E5") << 0 << 0;
}

void TestSim::gatewayExchanges()
{
    QFETCH(QByteArray, telegram);
    QFETCH(QByteArray, answer);
    QFETCH(int, first);
    QFETCH(int, second);
    mbussim::Bus bus = demoBus();
    gw::Gateway gateway(bus, {0, 0, 0, 1});
    const gw::Exchange ex = gateway.handle(toBytes(telegram));
    const gw::ReadReply read = gw::readReply(gw::buildReply(ex.reply));
    QVERIFY(read.ok());
    QCOMPARE(read.net, (gw::NetworkNumber{0, 0, 0, 1}));
    QCOMPARE(ex.reply.packet, quint16(7));
    if (answer == "RSP_UD") {
        QVERIFY(mbussim::longFrameChecksOut(read.payload));
        QCOMPARE(int(read.payload[5]), 1);
    } else {
        QCOMPARE(toArray(read.payload), answer);
    }
    QCOMPARE(read.type, answer.isEmpty() ? gw::kStatusSection : gw::kMbusSection);
    QCOMPARE(read.status,
             (gw::Status{std::uint8_t(first || second ? 1 : 0), std::uint8_t(first), std::uint8_t(second)}));
}

void TestSim::gatewayHooks()
{
    mbussim::Bus bus = demoBus();
    gw::Gateway gateway(bus, {0, 0, 0, 1});
    // a display simulation plugs in here
    QByteArray heard;
    gateway.setDisplayHandler([&heard](mbussim::ByteView command, std::vector<std::string> &) {
        heard = toArray(mbussim::Bytes(command.begin(), command.end()));
        return gw::Answer{toBytes("OK\r\n"), {}};
    });
    gw::ReadReply read = gw::readReply(
        gw::buildReply(gateway.handle(toBytes(request("494E464F", 3, gw::kDisplaySection))).reply));
    QCOMPARE(heard, QByteArray("INFO"));
    QCOMPARE(read.type, gw::kDisplaySection);
    QCOMPARE(toArray(read.payload), QByteArray("OK\r\n"));

    // the line behind the gateway loses an answer: a timeout; damages one: it arrives damaged
    bool lose = true;
    gateway.setLineFilter([&lose](mbussim::Bytes &answer, std::vector<std::string> &) {
        answer[0] ^= 0x01;
        return !lose;
    });
    read = gw::readReply(gw::buildReply(gateway.handle(toBytes(request("1040014116"))).reply));
    QCOMPARE(read.status, (gw::Status{1, 0, gw::kErrTimeout}));
    lose = false;
    read = gw::readReply(gw::buildReply(gateway.handle(toBytes(request("1040014116"))).reply));
    QCOMPARE(toArray(read.payload), QByteArray::fromHex("E4"));
    QCOMPARE(read.status, gw::Status{});
}

// clang-format off
void TestSim::gatewayDamage_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("error");  // what the program's reading trips on
    QTest::addColumn<int>("size");
    QTest::newRow("none") << int(mbussim::TelegramFault::None) << "" << 300;
    QTest::newRow("bad checksum") << int(mbussim::TelegramFault::BadChecksum) << "telegram checksum" << 300;
    QTest::newRow("bad start") << int(mbussim::TelegramFault::BadStart) << "start byte" << 300;
    QTest::newRow("oversize") << int(mbussim::TelegramFault::Oversize) << "" << 310;
}
// clang-format on

void TestSim::gatewayDamage()
{
    QFETCH(int, fault);
    QFETCH(QString, error);
    QFETCH(int, size);
    gw::Reply reply;
    reply.net = {0, 0, 0, 1};
    reply.payload = toBytes(QByteArray::fromHex("E5"));
    const mbussim::Bytes good = gw::buildReply(reply);
    const QByteArray sent = toArray(gw::damage(good, mbussim::TelegramFault(fault)));
    QCOMPARE(sent.size(), size);
    const gw::ReadReply read = gw::readReply(toBytes(sent.left(300)));
    QCOMPARE(QString::fromStdString(read.error), error);
    if (fault == int(mbussim::TelegramFault::BadStart)) { // nothing else is wrong
        QCOMPARE(quint8(sent[19]), sum(sent, 0, 18));
        QCOMPARE(quint8(sent[298]), sum(sent, 0, 297));
        QCOMPARE(sent.mid(1, 18), toArray(good).mid(1, 18));
        QCOMPARE(sent.mid(20, 278), toArray(good).mid(20, 278));
    }
    if (size == 310)
        QCOMPARE(sent.mid(300), QByteArray(10, char(gw::kJunkByte)));
    // the fault options strike in their order, with their chance
    mbussim::FaultOptions options;
    options.telegram = {{mbussim::TelegramFault::Silent, 0}, {mbussim::TelegramFault(fault), 100}};
    mbussim::Faults faults(options);
    QCOMPARE(int(faults.telegramFault()), fault);
}

void TestSim::gatewayRandomBytes()
{
    // Random telegrams and good ones with random bytes changed: never a crash,
    // every problem named, and a telegram passes only when it is rebuilt unchanged.
    std::mt19937 random(11);
    mbussim::Bus bus = demoBus();
    gw::Gateway gateway(bus, {0, 0, 0, 1});
    const QByteArray good = request("107B017C16");
    for (int round = 0; round < 3000; ++round) {
        QByteArray t;
        if (round % 3 == 0) {
            const int n = int(random() % 320);
            for (int i = 0; i < n; ++i)
                t += char(random());
        } else {
            t = good;
            for (int k = 1 + int(random() % 3); k > 0; --k)
                t[int(random() % 300)] = char(random());
        }
        const mbussim::Bytes bytes = toBytes(t);
        const gw::RequestCheck check = gw::parseRequest(bytes);
        QCOMPARE(check.ok(), check.firstError == 0 && check.secondError == 0);
        QCOMPARE(check.ok(), check.problems.empty());
        if (check.ok())
            QCOMPARE(toArray(gw::buildRequest(*check.request)), t);
        gw::readReply(bytes);
        QCOMPARE(gw::buildReply(gateway.handle(bytes).reply).size(), size_t(300));
    }
}

// clang-format off
void TestSim::gatewayNetworkNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("parsed");  // empty: refused
    QTest::newRow("plain") << "0.0.0.1" << "0.0.0.1";
    QTest::newRow("largest") << "255.255.255.255" << "255.255.255.255";
    QTest::newRow("leading zero") << "010.0.0.1" << "10.0.0.1";
    QTest::newRow("256") << "256.0.0.1" << "";
    QTest::newRow("three parts") << "1.2.3" << "";
    QTest::newRow("five parts") << "1.2.3.4.5" << "";
    QTest::newRow("empty part") << "1..2.3" << "";
    QTest::newRow("letters") << "a.b.c.d" << "";
    QTest::newRow("four digits") << "0001.2.3.4" << "";
}
// clang-format on

void TestSim::gatewayNetworkNumber()
{
    QFETCH(QString, text);
    QFETCH(QString, parsed);
    const auto net = gw::parseNetworkNumber(text.toStdString());
    QCOMPARE(net ? QString::fromStdString(gw::networkText(*net)) : QString(), parsed);
}
