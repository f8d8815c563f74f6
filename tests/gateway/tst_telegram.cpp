// The 300-byte gateway telegram: requests byte for byte, the payload limit,
// every check of a reply in its order, the result codes, network numbers and
// the reassembly of telegrams from socket reads, whatever a peer sends.

#include "gateway/telegram.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace gateway;

Q_DECLARE_METATYPE(mbus::Bytes)

namespace {

mbus::Bytes bytes(const char *hex)
{
    const QByteArray raw = QByteArray::fromHex(hex);
    return mbus::Bytes(raw.begin(), raw.end());
}

QStringList lines(const std::vector<std::string> &in)
{
    QStringList out;
    for (const std::string &s : in)
        out << QString::fromStdString(s);
    return out;
}

std::uint8_t sum(const mbus::Bytes &t, std::size_t from, std::size_t to) // inclusive
{
    unsigned s = 0;
    for (std::size_t i = from; i <= to; ++i)
        s += t[i];
    return std::uint8_t(s);
}

// A well-formed reply: first section of the given type and length, with the
// result code of its status section; checksums right unless spoilt later.
// Every byte the program does not read is non-zero, so a sum that misses
// one of them cannot go unnoticed.
mbus::Bytes reply(std::uint8_t type, std::uint8_t length, const mbus::Bytes &payload, std::uint8_t result,
                  std::uint8_t first, std::uint8_t second)
{
    mbus::Bytes t(kTelegramSize, 0);
    for (std::size_t i = 0; i < kTelegramSize; ++i)
        t[i] = std::uint8_t(0x31 + i % 61);
    t[0] = 0x01;
    t[1] = 10, t[2] = 0, t[3] = 2, t[4] = 77;
    t[21] = type;
    t[22] = length;
    if (type == 0xA5) {
        t[24] = result, t[25] = second, t[26] = first;
    } else {
        std::copy(payload.begin(), payload.end(), t.begin() + 25);
        t[length + 28u] = result, t[length + 29u] = second, t[length + 30u] = first;
    }
    t[19] = sum(t, 0, 18);
    t[298] = sum(t, 0, 297);
    t[299] = 0x04;
    return t;
}

} // namespace

class TstTelegram : public QObject {
    Q_OBJECT
private slots:
    void wrapExample();
    void wrapFields_data();
    void wrapFields();
    void payloadLimit();
    void networkNumbers_data();
    void networkNumbers();
    void unpack_data();
    void unpack();
    void resultCodes_data();
    void resultCodes();
    void reassembly_data();
    void reassembly();
    void randomBytesNeverOverrun();
};

void TstTelegram::wrapExample()
{
    const mbus::Bytes t = wrapMbusFrame(bytes("105BFE5916"), {0, 0, 0, 1}, 1);
    QCOMPARE(t.size(), kTelegramSize);
    mbus::Bytes expected = bytes("010000000100000100010404"
                                 "A80710 00105BFE5916EFAA");
    expected.resize(298, 0x00);
    expected.push_back(0x3C);
    expected.push_back(0x04);
    QCOMPARE(t, expected);
}

void TstTelegram::wrapFields_data()
{
    QTest::addColumn<int>("counter");
    QTest::addColumn<int>("section");
    QTest::addColumn<QByteArray>("header");   // bytes 0..11
    QTest::addColumn<QByteArray>("section4"); // bytes 12..15
    QTest::newRow("counter 256") << 256 << 0xA8 << QByteArray::fromHex("010000000100010000010404")
                                 << QByteArray::fromHex("A8071000");
    QTest::newRow("counter 65537") << 65537 << 0xA8 << QByteArray::fromHex("010000000100000100010404")
                                   << QByteArray::fromHex("A8071000");
    QTest::newRow("display command") << 1 << 0xA1 << QByteArray::fromHex("010000000100000100010404")
                                     << QByteArray::fromHex("A1070000");
}

void TstTelegram::wrapFields()
{
    QFETCH(int, counter);
    QFETCH(int, section);
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, section4);
    const mbus::Bytes t = wrapRequest(bytes("105BFE5916"), Section(section), {0, 0, 0, 1}, counter);
    QByteArray h(reinterpret_cast<const char *>(t.data()), 12);
    header[10] = char(sum(mbus::Bytes(header.begin(), header.end()), 0, 9));
    QCOMPARE(h, header);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(t.data()) + 12, 4), section4);
    QCOMPARE(t[21], sum(t, 13, 20));
    QCOMPARE(t[298], sum(t, 0, 297));
}

void TstTelegram::payloadLimit()
{
    const mbus::Bytes full = wrapDisplayCommand(mbus::Bytes(280, 'x'), {1, 2, 3, 4}, 7);
    QCOMPARE(full.size(), kTelegramSize);
    QCOMPARE(full[297], 0xAA); // no padding left
    QCOMPARE(full[299], 0x04);
    QVERIFY(wrapDisplayCommand(mbus::Bytes(281, 'x'), {1, 2, 3, 4}, 7).empty());
    QVERIFY(wrapMbusFrame(mbus::Bytes(5000, 0), {1, 2, 3, 4}, 7).empty());
}

// clang-format off
void TstTelegram::networkNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("parsed"); // empty: refused
    QTest::newRow("plain") << "10.0.2.77" << "10.0.2.77";
    QTest::newRow("zeros") << "0.0.0.0" << "0.0.0.0";
    QTest::newRow("leading zeros") << "010.000.002.077" << "10.0.2.77";
    QTest::newRow("255") << "255.255.255.255" << "255.255.255.255";
    QTest::newRow("256") << "1.2.3.256" << "";
    QTest::newRow("three parts") << "1.2.3" << "";
    QTest::newRow("five parts") << "1.2.3.4.5" << "";
    QTest::newRow("empty part") << "1..3.4" << "";
    QTest::newRow("trailing dot") << "1.2.3.4." << "";
    QTest::newRow("sign") << "1.2.-3.4" << "";
    QTest::newRow("blank") << "1.2. 3.4" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("huge") << "1.2.3.99999999999999999999" << "";
}
// clang-format on

void TstTelegram::networkNumbers()
{
    QFETCH(QString, text);
    QFETCH(QString, parsed);
    const auto number = parseNetworkNumber(text.toStdString());
    QCOMPARE(number ? QString::fromStdString(networkNumberText(*number)) : QString(), parsed);
}

void TstTelegram::unpack_data()
{
    QTest::addColumn<mbus::Bytes>("telegram");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QByteArray>("response");

    const mbus::Bytes frame = bytes("680303680801727A16");
    const mbus::Bytes data = reply(0xA8, std::uint8_t(frame.size() + 4), frame, 0, 0, 0);
    QTest::newRow("data section") << data << QStringList{"Device 10.0.2.77", "Done!"}
                                  << QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
    QTest::newRow("status, result 0") << reply(0xA5, 4, {}, 0, 0, 0) << QStringList{"Device 10.0.2.77", "Done!"}
                                      << QByteArray();
    QTest::newRow("status with errors") << reply(0xA5, 4, {}, 1, 0x11, 0x80)
                                        << QStringList{"Device 10.0.2.77", "Error in header checksum...",
                                                       "Action denied, no rights to perform it...",
                                                       "Bad packet, general communication error..."}
                                        << QByteArray();
    // The status bytes after a data section, first and second error distinct.
    QTest::newRow("data section with errors")
        << reply(0xA8, std::uint8_t(frame.size() + 4), frame, 1, 0x11, 0x80)
        << QStringList{"Device 10.0.2.77", "Error in header checksum...", "Action denied, no rights to perform it...",
                       "Bad packet, general communication error..."}
        << QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
    QTest::newRow("data section of length 4")
        << reply(0xA8, 4, {}, 0, 0, 0) << QStringList{"Device 10.0.2.77", "Done!"} << QByteArray();
    QTest::newRow("data section of length 3")
        << reply(0xA8, 3, {}, 0, 0, 0) << QStringList{"Device 10.0.2.77", "Done!"} << QByteArray();
    QTest::newRow("longest data section") << reply(0xA8, 255, mbus::Bytes(251, 0x55), 0, 0, 0)
                                          << QStringList{"Device 10.0.2.77", "Done!"} << QByteArray(251, 0x55);

    mbus::Bytes badStart = data;
    badStart[0] = 0x02;
    badStart[19] ^= 0xFF; // header sum wrong too: only the first check speaks
    QTest::newRow("start byte") << badStart << QStringList{"Error in START byte of ethernet response..."}
                                << QByteArray();
    mbus::Bytes badHeader = data;
    badHeader[19] ^= 0x01;
    QTest::newRow("header sum") << badHeader << QStringList{"Error in header CRC of ethernet response..."}
                                << QByteArray();
    mbus::Bytes badPacket = data;
    badPacket[200] ^= 0x01;
    QTest::newRow("telegram sum") << badPacket << QStringList{"Error in packet CRC of ethernet response..."}
                                  << QByteArray();
    mbus::Bytes badStop = data;
    badStop[299] = 0x16;
    QTest::newRow("stop byte") << badStop << QStringList{"Error in STOP byte of ethernet response..."} << QByteArray();
    QTest::newRow("299 bytes") << mbus::Bytes(data.begin(), data.end() - 1)
                               << QStringList{"Wrong byte count in the telegram, 299"} << QByteArray();
    QTest::newRow("nothing") << mbus::Bytes() << QStringList{"Wrong byte count in the telegram, 0"} << QByteArray();
}

void TstTelegram::unpack()
{
    QFETCH(mbus::Bytes, telegram);
    QFETCH(QStringList, log);
    QFETCH(QByteArray, response);
    const Unpacked u = unpackReply(telegram);
    QCOMPARE(lines(u.logLines), log);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(u.response.data()), qsizetype(u.response.size())), response);
    QCOMPARE(u.networkNumber.has_value(), log.first().startsWith(QLatin1String("Device ")));
}

void TstTelegram::resultCodes_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("lineCount");
    QTest::newRow("done") << 0 << 0xFF << 0xFF << 1;
    QTest::newRow("no bit set") << 3 << 0 << 0 << 0;
    QTest::newRow("every bit") << 1 << 0xFF << 0xFF << 12; // second byte 0x04..0x20 say nothing
    QTest::newRow("unused second bits") << 1 << 0 << 0x3C << 0;
    QTest::newRow("timeout") << 1 << 0 << 0x02 << 1;
}

void TstTelegram::resultCodes()
{
    QFETCH(int, result);
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(int, lineCount);
    const auto out = resultLines(std::uint8_t(result), std::uint8_t(first), std::uint8_t(second));
    QCOMPARE(int(out.size()), lineCount);
    if (first == 0xFF && second == 0xFF && result)
        QCOMPARE(lines(out).mid(7, 2), QStringList({"Bad network number...", "Packet number does not match..."}));
}

void TstTelegram::reassembly_data()
{
    QTest::addColumn<QList<int>>("reads");
    QTest::addColumn<int>("telegrams");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("left");
    QTest::newRow("200 + 100") << QList<int>{200, 100} << 1 << QStringList() << 0;
    QTest::newRow("299 waits") << QList<int>{299} << 0 << QStringList() << 299;
    QTest::newRow("200 + 150") << QList<int>{200, 150} << 0 << QStringList{"Wrong byte count in the telegram, 350"}
                               << 0;
    QTest::newRow("310 at once") << QList<int>{310} << 1 << QStringList() << 10;
    QTest::newRow("299 + 300 stays inside the store")
        << QList<int>{299, 300} << 0 << QStringList{"Wrong byte count in the telegram, 599"} << 0;
    QTest::newRow("three telegrams at once") << QList<int>{900} << 3 << QStringList() << 0;
    QTest::newRow("1 + 300 + 299") << QList<int>{1, 300, 299} << 0
                                   << QStringList{"Wrong byte count in the telegram, 301"} << 299;
}

void TstTelegram::reassembly()
{
    QFETCH(QList<int>, reads);
    QFETCH(int, telegrams);
    QFETCH(QStringList, log);
    QFETCH(int, left);
    Assembler assembler;
    int got = 0;
    QStringList logged;
    std::uint8_t next = 0;
    for (int n : reads) {
        mbus::Bytes chunk(static_cast<std::size_t>(n));
        for (auto &b : chunk)
            b = next++;
        const auto out = assembler.feed(chunk);
        got += int(out.telegrams.size());
        logged += lines(out.logLines);
        for (const auto &t : out.telegrams)
            QCOMPARE(t.size(), kTelegramSize);
    }
    QCOMPARE(got, telegrams);
    QCOMPARE(logged, log);
    QCOMPARE(int(assembler.count()), left);
}

// Megabytes of random bytes in random read sizes: the store is never
// overrun (the sanitizer build watches) and every telegram has 300 bytes.
void TstTelegram::randomBytesNeverOverrun()
{
    QRandomGenerator random(7);
    Assembler assembler;
    std::size_t total = 0;
    while (total < 4 * 1024 * 1024) {
        mbus::Bytes chunk(random.bounded(1, 2000));
        for (auto &b : chunk)
            b = std::uint8_t(random.bounded(256));
        total += chunk.size();
        for (const mbus::Bytes &t : assembler.feed(chunk).telegrams) {
            QCOMPARE(t.size(), kTelegramSize);
            unpackReply(t);
        }
        QVERIFY(assembler.count() < kTelegramSize);
    }
}

QTEST_GUILESS_MAIN(TstTelegram)
#include "tst_telegram.moc"
