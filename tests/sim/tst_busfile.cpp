// Bus file parsing and the record splitter it relies on.

#include "tst_sim.h"

#include "bus.h"
#include "busfile.h"
#include "frames.h"
#include "mbus/frames.h"

#include <QtTest>

#include <algorithm>
#include <set>

using mbussim::parseBusText;

namespace {
const char kMeter[] = "[meter]\nid = 12345678\nmanufacturer = ABC\nmedium = water\n";
}

void TestSim::busFileErrors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("error");
    const QByteArray m = kMeter;
    QTest::newRow("key outside a block") << QByteArray("# bus\naddress = 1\n") << 2 << "outside a [meter] block";
    QTest::newRow("unknown section") << QByteArray("[meters]\n") << 1 << "unknown section";
    QTest::newRow("section without ]") << QByteArray("[meter\n") << 1 << "without ']'";
    QTest::newRow("line without =") << QByteArray("[meter]\nid 12345678\n") << 2 << "expected 'key = value'";
    QTest::newRow("unknown key") << m + "adress = 1\n" << 5 << "unknown key 'adress'";
    QTest::newRow("empty value") << m + "address =\n" << 5 << "no value for 'address'";
    QTest::newRow("address 251") << m + "address = 251\n" << 5 << "address must be a number 0..250";
    QTest::newRow("address not a number") << m + "address = five\n" << 5 << "address must be";
    QTest::newRow("address negative") << m + "address = -1\n" << 5 << "address must be";
    QTest::newRow("address 253 is written none") << m + "address = 253\n" << 5 << "0..250 or 'none'";
    QTest::newRow("address none misspelt") << m + "address = nothing\n" << 5 << "0..250 or 'none'";
    QTest::newRow("answer-every 0") << m + "answer-every = 0\n" << 5 << "answer-every must be a number 1..1000";
    QTest::newRow("answer-every too big") << m + "answer-every = 1001\n" << 5 << "answer-every must be";
    QTest::newRow("answer-every not a number") << m + "answer-every = often\n" << 5 << "answer-every must be";
    QTest::newRow("drop-first negative") << m + "drop-first = -1\n" << 5 << "drop-first must be a number 0..1000";
    QTest::newRow("drop-first twice") << m + "drop-first = 1\ndrop-first = 2\n" << 6 << "given twice";
    QTest::newRow("key given twice") << m + "id = 11111111\n" << 5 << "'id' given twice";
    QTest::newRow("id of 7 digits") << QByteArray("[meter]\nid = 1234567\n") << 2 << "id must be 8 digits";
    QTest::newRow("id with wildcard F") << QByteArray("[meter]\nid = 1234567F\n") << 2 << "id must be 8 digits";
    QTest::newRow("manufacturer of 2 letters") << QByteArray("[meter]\nmanufacturer = AB\n") << 2 << "3 letters";
    QTest::newRow("manufacturer with a digit") << QByteArray("[meter]\nmanufacturer = A1C\n") << 2 << "3 letters";
    QTest::newRow("version 256") << m + "version = 256\n" << 5 << "version must be a number 0..255";
    QTest::newRow("status in bad hex") << m + "status = 0xG1\n" << 5 << "status must be";
    QTest::newRow("huge number") << m + "access = 99999999999999\n" << 5 << "access must be";
    QTest::newRow("unknown medium") << QByteArray("[meter]\nmedium = lava\n") << 2 << "unknown medium 'lava'";
    QTest::newRow("record half a byte") << m + "record = 0C 1\n" << 5 << "not whole hex bytes";
    QTest::newRow("record not hex") << m + "record = 0C 1G\n" << 5 << "'1G' is not hex";
    QTest::newRow("record data cut short") << m + "record = 0C 13 45 23 01\n" << 5 << "record data cut short";
    QTest::newRow("record DIFE missing") << m + "record = 8C\n" << 5 << "cut short after its DIF";
    QTest::newRow("record without VIF") << m + "record = 0C\n" << 5 << "without VIF";
    QTest::newRow("record VIFE missing") << m + "record = 0C 93\n" << 5 << "cut short after its VIF";
    QTest::newRow("record variable length too long") << m + "record = 0D 13 05 41 42\n" << 5 << "cut short";
    QTest::newRow("record reserved LVAR") << m + "record = 0D 13 FB\n" << 5 << "reserved variable-length";
    QTest::newRow("record with 11 DIFEs") << m + "record = 8C 80 80 80 80 80 80 80 80 80 80 00 13 00 00 00 00\n"
                                          << 5 << "more than 10 DIFEs";
    QTest::newRow("missing id, reported at its block")
        << QByteArray("\n[meter]\nmanufacturer = ABC\nmedium = water\n") << 2 << "without 'id'";
    QTest::newRow("first of two blocks incomplete")
        << QByteArray("[meter]\nid = 12345678\nmedium = gas\n") + m << 1 << "without 'manufacturer'";
    QTest::newRow("missing medium") << QByteArray("[meter]\nid = 12345678\nmanufacturer = ABC\n") << 1 << "medium";
    QTest::newRow("records and raw") << m + "record = 0C 13 00 00 00 00\nraw = E5\n" << 1 << "not both";
    QTest::newRow("raw without header needs address and id")
        << QByteArray("[meter]\nraw = 68 03 03 68 08 01 72 7B 16\n") << 1 << "give address and id";
    QTest::newRow("raw too long") << m + "raw = " + QByteArray(2100, 'A') + "\n" << 5 << "longer than 1024";
    QTest::newRow("manufacturer data not last") << m + "record = 0F 01 02\nrecord = 0C 13 00 00 00 00\n"
                                                << 1 << "must be the last";
    QByteArray full = m;
    for (int i = 0; i < 41; ++i)
        full += "record = 0C 13 00 00 00 00\n";
    QTest::newRow("records too big for one reply") << full << 1 << "at most 240 fit";
    QTest::newRow("binary garbage") << QByteArray("\x01\x02\xFF\xFE", 4) << 1 << "expected 'key = value'";
}

void TestSim::busFileErrors()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(QString, error);
    const mbussim::BusFileResult r = parseBusText(std::string_view(text.constData(), size_t(text.size())));
    QVERIFY(!r.ok());
    QVERIFY2(QString::fromStdString(r.error).contains(error), r.error.c_str());
    QCOMPARE(r.errorLine, line);
    QVERIFY(r.meters.empty());
}

void TestSim::busFileValues()
{
    const mbussim::BusFileResult r = parseBusText("; comment\r\n"
                                                  "  [ Meter ]   # trailing comment\r\n"
                                                  "ID=0012AB34\r\n"
                                                  "Manufacturer = abb ; lower case\r\n"
                                                  "medium = Cold   Water\r\n"
                                                  "version = 0x1b\r\n"
                                                  "address = 250\r\n"
                                                  "record = 0C13 45230100 8440130000 0000\r\n"
                                                  "[meter]\nid=00000001\nmanufacturer=ZZZ\nmedium=0x18\n");
    QVERIFY2(r.ok(), r.error.c_str());
    QCOMPARE(r.meters.size(), size_t(2));
    const mbussim::MeterConfig &m = r.meters[0];
    QCOMPARE(mbussim::idText(m.id), std::string("0012AB34"));
    QCOMPARE(mbussim::manufacturerText(m.manufacturer), std::string("ABB"));
    QCOMPARE(m.medium, 0x16);
    QCOMPARE(m.version, 0x1B);
    QCOMPARE(m.address, 250);
    QCOMPARE(m.records.size(), size_t(2)); // two records on one line
    QCOMPARE(m.records[1].dib, (mbussim::Bytes{0x84, 0x40}));
    QCOMPARE(r.meters[1].address, 0); // the default
    QCOMPARE(r.meters[1].medium, 0x18);
    QCOMPARE(r.meters[1].line, 9);
    QCOMPARE(r.meters[1].answerEvery, 1); // the defaults: every answer goes out
    QCOMPARE(r.meters[1].dropFirst, 0);

    const mbussim::BusFileResult lossy = parseBusText(std::string(kMeter)
                                                      + "address = NONE\nAnswer-Every = 3\ndrop-first=0x10\n");
    QVERIFY2(lossy.ok(), lossy.error.c_str());
    QCOMPARE(lossy.meters[0].address, mbussim::kNoAddress);
    QCOMPARE(lossy.meters[0].answerEvery, 3);
    QCOMPARE(lossy.meters[0].dropFirst, 16);

    QVERIFY(parseBusText("").ok()); // an empty bus is a valid bus
}

void TestSim::rawMeterTakesHeader()
{
    // A fixed reply with a wrong checksum (77 instead of 76) goes out as written,
    // and the meter is addressed through the header it carries.
    const mbussim::BusFileResult r = parseBusText("[meter]\n"
                                                  "raw = 68 15 15 68 08 01 72 78 56 34 12 43 04\n"
                                                  "raw = 01 07 10 00 00 00 0C 13 45 23 01 00 77 16\n"
                                                  "[meter]\naddress = 9\nid = 00000009\nraw = E5 E5\n");
    QVERIFY2(r.ok(), r.error.c_str());
    QCOMPARE(r.meters[0].address, 1);
    QCOMPARE(mbussim::idText(r.meters[0].id), std::string("12345678"));
    QCOMPARE(mbussim::manufacturerText(r.meters[0].manufacturer), std::string("ABC"));
    QCOMPARE(r.meters[0].medium, 0x07);
    mbussim::Bus bus(r.meters);
    const mbussim::Bytes raw = r.meters[0].raw;
    QCOMPARE(bus.respond(mbussim::shortFrame(0x7B, 1)), raw);
    QCOMPARE(bus.respond(mbussim::shortFrame(0x7B, 1)), raw); // no access number to count
    QCOMPARE(bus.respond(mbussim::shortFrame(0x7B, 9)), (mbussim::Bytes{0xE5, 0xE5}));
    const mbussim::Bytes select = mbussim::longFrame(0x53, 0xFD, 0x52,
                                                     mbussim::Bytes{0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF});
    QCOMPARE(bus.respond(select), mbussim::Bytes{0xE5});
}

void TestSim::demoBusIsValid()
{
    const mbussim::BusFileResult r = mbussim::readBusFile(TELVARO_SOURCE_DIR "/tools/mbus-sim/examples/demo.bus");
    QVERIFY2(r.ok(), (std::to_string(r.errorLine) + ": " + r.error).c_str());
    QCOMPARE(r.meters.size(), size_t(12));
    std::set<int> media;
    std::set<std::string> ids;
    for (std::size_t i = 0; i < r.meters.size(); ++i) {
        const mbussim::MeterConfig &m = r.meters[i];
        QCOMPARE(int(m.address), int(i) + 1); // 1..12 in file order
        QVERIFY2(m.answerEvery == 1 && m.dropFirst == 0, "a demo meter loses answers");
        QVERIFY2(m.raw.empty(), "a demo meter has a fixed reply");
        QVERIFY2(ids.insert(mbussim::idText(m.id)).second, "two demo meters share an ID");
        media.insert(m.medium);
    }
    QVERIFY(media.size() >= 9);
    const mbussim::BusFileResult missing = mbussim::readBusFile("/nonexistent/demo.bus");
    QVERIFY(!missing.ok());
    QCOMPARE(missing.errorLine, 0);
}

void TestSim::demoBusScan()
{
    // What the master's scan of 0..15 (with a retry) and its secondary search see.
    const mbussim::BusFileResult r = mbussim::readBusFile(TELVARO_SOURCE_DIR "/tools/mbus-sim/examples/demo.bus");
    QVERIFY(r.ok());
    mbussim::Bus bus(r.meters);
    std::vector<int> found;
    for (int a = 0; a <= 15; ++a)
        for (int pass = 0; pass < 2; ++pass) {
            const mbussim::Bytes reply = bus.respond(mbus::buildReqUd2(a, pass == 1).frame);
            if (reply.empty())
                continue;
            QVERIFY2(mbussim::longFrameChecksOut(reply), qPrintable(QString("address %1").arg(a)));
            QCOMPARE(int(reply[5]), a);
            QCOMPARE(reply[6], 0x72);
            const mbussim::MeterConfig &m = r.meters[std::size_t(a - 1)];
            QVERIFY(std::equal(m.id.begin(), m.id.end(), reply.begin() + 7));
            QCOMPARE(int(reply[15]), (m.access + pass) & 0xFF);
            const mbussim::Bytes records(reply.begin() + 19, reply.end() - 2);
            QVERIFY(mbussim::parseRecords(records).ok());
            if (pass == 0)
                found.push_back(a);
        }
    QCOMPARE(found, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));

    // First digit: 1 (meters 1 and 7) and 5 (meters 5 and 12) draw two meters each.
    const auto selecting = [&](std::array<std::uint8_t, 8> digits) {
        return bus.handle(mbus::buildWildcardSelection(digits).frame).answering;
    };
    constexpr std::uint8_t kAny = mbus::kWildcardDigit;
    const int perDigit[10] = {1, 2, 1, 1, 1, 2, 1, 1, 1, 1};
    for (std::uint8_t d = 0; d < 10; ++d)
        QCOMPARE(selecting({d, kAny, kAny, kAny, kAny, kAny, kAny, kAny}), perDigit[d]);
    QCOMPARE(selecting({5, 0, kAny, kAny, kAny, kAny, kAny, kAny}), 1);
    QCOMPARE(selecting({5, 3, kAny, kAny, kAny, kAny, kAny, kAny}), 1);
    QCOMPARE(selecting({1, 2, 3, kAny, kAny, kAny, kAny, kAny}), 1);

    const mbussim::Response all = bus.handle(mbus::buildReqUd2(254, false).frame);
    QCOMPARE(all.answering, 12);
    const std::size_t n = all.bytes.size();
    QVERIFY(mbus::frameChecksum(mbussim::ByteView(all.bytes).subspan(4, n - 6)) != all.bytes[n - 2]);
}

void TestSim::records_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("count"); // -1: an error
    QTest::newRow("BCD volume") << QByteArray::fromHex("0C1345230100") << 1;
    QTest::newRow("DIFE and VIFE") << QByteArray::fromHex("8440933C39300000") << 1;
    QTest::newRow("all fixed lengths") << QByteArray::fromHex(
        "011301 02130102 0313010203 041301020304 051300000000"
        "0613010203040506 07130102030405060708 0813"
        "091301 0A130102 0B13010203 0C1301020304 0E13010203040506")
                                       << 13;
    QTest::newRow("variable-length text") << QByteArray::fromHex("0DFD0C03414243") << 1;
    QTest::newRow("variable-length BCD") << QByteArray::fromHex("0D13C23412") << 1;
    QTest::newRow("plain-text unit") << QByteArray::fromHex("047C036B5768 01020304") << 1;
    QTest::newRow("idle fillers") << QByteArray::fromHex("2F2F0C1300000000") << 3;
    QTest::newRow("manufacturer data to the end") << QByteArray::fromHex("0F0C1300") << 1;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("data cut short") << QByteArray::fromHex("0C134523") << -1;
    QTest::newRow("plain-text unit cut short") << QByteArray::fromHex("047C09414243") << -1;
    QTest::newRow("variable length without length byte") << QByteArray::fromHex("0D13") << -1;
    QTest::newRow("VIFE chain runs off") << QByteArray::fromHex("0C93BC") << -1;
    QTest::newRow("12 VIFEs") << QByteArray::fromHex("0C93808080808080808080808000000000") << -1;
}

void TestSim::records()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, count);
    const mbussim::Bytes in(bytes.begin(), bytes.end());
    const mbussim::RecordsResult r = mbussim::parseRecords(in);
    if (count < 0) {
        QVERIFY(!r.ok());
        return;
    }
    QVERIFY2(r.ok(), r.error.c_str());
    QCOMPARE(int(r.records.size()), count);
    mbussim::Bytes joined; // the split loses and adds nothing
    for (const mbussim::Record &rec : r.records) {
        const mbussim::Bytes b = rec.bytes();
        joined.insert(joined.end(), b.begin(), b.end());
    }
    QCOMPARE(joined, in);
}
