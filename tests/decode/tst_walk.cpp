// The record walk over several records, where it ends, the report lines and the
// result of both modes.

#include "telegram.h"
#include "tst_decode.h"

#include <QTest>

#include <limits>

using namespace testing;

namespace {

QStringList values(const decode::DecodeResult &r)
{
    QStringList list;
    for (const decode::WorkRow &row : r.rows) {
        if (!row[decode::ColNumber].empty())
            list << QString::fromLatin1(row[decode::ColValue]);
    }
    return list;
}

QStringList lines(const std::vector<std::string> &v)
{
    QStringList list;
    for (const std::string &s : v)
        list << QString::fromLatin1(s);
    return list;
}

} // namespace

void TestDecode::walk_data()
{
    QTest::addColumn<QByteArray>("records");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QString>("stop"); // log line when the walk stops early

    const QString incomplete = "Record 2 is incomplete, decoding stopped";
    QTest::newRow("no records") << QByteArray("") << QStringList() << 1 << "";
    QTest::newRow("two records") << QByteArray("01 13 05 04 13 39 30 00 00") << QStringList{"0.005", "12.345"} << 3
                                 << "";
    QTest::newRow("filler before the records")
        << QByteArray("2F 2F 01 13 05 04 13 39 30 00 00") << QStringList{"0.005", "12.345"} << 3 << "";
    QTest::newRow("filler between records")
        << QByteArray("01 13 05 2F 2F 04 13 39 30 00 00") << QStringList{"0.005", "12.345"} << 3 << "";
    QTest::newRow("filler at the end") << QByteArray("01 13 05 2F 2F 2F") << QStringList{"0.005"} << 2 << "";
    QTest::newRow("only filler") << QByteArray("2F") << QStringList() << 1 << "";
    QTest::newRow("filler, then manufacturer data") << QByteArray("2F 1F 2F 01") << QStringList{"2F 01 "} << 1 << "";
    QTest::newRow("manufacturer data ends the walk")
        << QByteArray("01 13 05 0F 01 02 04 13") << QStringList{"0.005", "01 02 04 13 "} << 2 << "";
    QTest::newRow("date reads 2, walk advances 4")
        << QByteArray("04 6C 98 11 FF FF 01 13 05") << QStringList{"24.1.12", "0.005"} << 3 << "";
    QTest::newRow("date reads 4, walk advances 2")
        << QByteArray("02 6D 05 0E 01 13 01 01 13 05") << QStringList{"14:05, 1.3.8", "0.001", "0.005"} << 4 << "";
    QTest::newRow("VIFE after plain text")
        << QByteArray("02 FC 03 48 52 25 74 22 15 01 13 05") << QStringList{"5410.000", "0.005"} << 3 << "";
    QTest::newRow("data past the checksum")
        << QByteArray("01 13 05 04 13 39 30") << QStringList{"0.005"} << 2 << incomplete;
    QTest::newRow("no data byte left") << QByteArray("01 13 05 04 13") << QStringList{"0.005"} << 2 << incomplete;
    QTest::newRow("text unit past the checksum")
        << QByteArray("01 13 05 0A 7C 09 41 42 34 12") << QStringList{"0.005"} << 2 << incomplete;
    QTest::newRow("text unit length missing")
        << QByteArray("01 13 05 0A 7C") << QStringList{"0.005"} << 2 << incomplete;
    QTest::newRow("FC without its VIFE") << QByteArray("01 13 05 0A FC 01 41") << QStringList{"0.005"} << 2
                                         << incomplete;
    QTest::newRow("DIFE chain to the end")
        << QByteArray("01 13 05 84 80 80") << QStringList{"0.005"} << 2 << incomplete;
    QTest::newRow("VIFE chain to the end")
        << QByteArray("01 13 05 04 93 BC") << QStringList{"0.005"} << 2 << incomplete;
    QTest::newRow("lone DIF") << QByteArray("01 13 05 04") << QStringList{"0.005"} << 2 << incomplete;
    QTest::newRow("first record incomplete")
        << QByteArray("2F 04 13 39") << QStringList() << 1 << "Record 1 is incomplete, decoding stopped";

    // Variable length: one byte short of what the LVAR code says, and the codes
    // that say nothing (their length is unknown, so nothing after them is read).
    struct Lvar {
        const char *code;
        int bytes;
    };
    for (const Lvar &c : {Lvar{"BF", 190}, Lvar{"CF", 14}, Lvar{"DF", 14}, Lvar{"EF", 14}, Lvar{"F0", 15},
                          Lvar{"F4", 31}, Lvar{"F5", 5}, Lvar{"F6", 7}}) {
        QTest::addRow("LVAR %s one byte short", c.code)
            << QByteArray("01 13 05 0D 13 ") + c.code + QByteArray(" 01").repeated(c.bytes) << QStringList{"0.005"} << 2
            << incomplete;
    }
    QTest::newRow("LVAR byte missing") << QByteArray("01 13 05 0D 13") << QStringList{"0.005"} << 2 << incomplete;
    for (const char *code : {"F7", "FA", "FB", "FF"}) {
        QTest::addRow("LVAR %s undefined", code)
            << QByteArray("01 13 05 0D 13 ") + code + " 01 13 05 01 13 05" << QStringList{"0.005"} << 2
            << QString("Unknown LVAR 0x%1, decoding stopped").arg(code);
    }
}

void TestDecode::walk()
{
    QFETCH(QByteArray, records);
    QFETCH(QStringList, values);
    QFETCH(int, rowCount);
    QFETCH(QString, stop);
    for (bool full : {false, true}) {
        const decode::DecodeResult r = decodeBytes(replyHex(records.constData()), full);
        QVERIFY(r.valid);
        QCOMPARE(::values(r), values);
        QCOMPARE(int(r.rows.size()), rowCount);
        QCOMPARE(r.recordsTruncated, stop.contains("incomplete"));
        QCOMPARE(lines(r.logLines).mid(1), stop.isEmpty() ? QStringList() : QStringList{stop});
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(r.rows[std::size_t(i)][decode::ColNumber], std::to_string(i + 1));
        if (full) // header lines, one per record, time stamp and empty line
            QCOMPARE(int(r.reportLines.size()), int(values.size()) + 4);
    }
}

void TestDecode::manufacturerRecord_data()
{
    QTest::addColumn<QByteArray>("records");
    QTest::addColumn<QString>("data");
    QTest::newRow("0F") << QByteArray("0F 01 02 03") << "01 02 03 ";
    QTest::newRow("1F at the end") << QByteArray("1F") << "";
    QTest::newRow("1F then filler") << QByteArray("1F 2F 2F") << "2F 2F ";
}

void TestDecode::manufacturerRecord()
{
    QFETCH(QByteArray, records);
    QFETCH(QString, data);
    const QByteArray bytes = replyHex(records.constData());
    const decode::DecodeResult r = decodeBytes(bytes, true);
    QCOMPARE(r.rows.size(), std::size_t(1)); // no row added after it
    const decode::WorkRow &row = r.rows[0];
    QCOMPARE(row[decode::ColNumber], std::string("1"));
    QCOMPARE(QString::fromLatin1(row[decode::ColValue]), data);
    QCOMPARE(row[decode::ColDescription], std::string("Manf. secific"));
    QVERIFY(row[decode::ColUnit].empty() && row[decode::ColDifDife].empty() && row[decode::ColVif].empty()
            && row[decode::ColVife].empty());
    QCOMPARE(QString::fromLatin1(r.reportLines.at(2)),
             "DIF:" + QString::fromLatin1(records.left(2)) + ", Manufacturer specific: " + data);
}

void TestDecode::fullReportLines()
{
    HeaderFields h;
    h.status = 0x84;
    const QByteArray bytes = reply(QByteArray::fromHex("84401339300000"
                                                       "04933C39300000"
                                                       "0FAA"),
                                   h);
    const decode::DecodeResult r = decodeBytes(bytes, true);
    QVERIFY(r.valid && r.headerDecoded && r.reportWritten);
    QVERIFY(!r.updateDeviceTable);
    QCOMPARE(lines(r.reportLines),
             (QStringList{
                 "ID:12345678, Mfr: QRV, Main medium: Water",
                 "Access counter: 85, Status: 0x84, Model: ",
                 "DIF,DIFE=84 40 ; VIF, VIFE=13 ; Instantenous value, Extension Storage is: 0, Tariff is: 0 , "
                 "12.345 m3, KV1",
                 "DIF,DIFE=04 ; VIF, VIFE=93 3C ; Instantenous value , 12.345 m3, KV1",
                 "DIF:0F, Manufacturer specific: AA ",
                 "Decoded at 10:15:30, 07.06.2024",
                 "",
             }));
    QCOMPARE(r.logLines.size(), std::size_t(1));
    QCOMPARE(r.rows.size(), std::size_t(3));
}

void TestDecode::normalMode()
{
    HeaderFields h;
    h.status = 0x84;
    const QByteArray bytes = reply(QByteArray::fromHex("84401339300000"
                                                       "0259A0F6"),
                                   h);
    const decode::DecodeResult r = decodeBytes(bytes);
    QVERIFY(r.valid && r.headerDecoded && r.updateDeviceTable);
    QVERIFY(!r.reportWritten);
    QVERIFY(r.reportLines.empty());
    QCOMPARE(r.header.statusText, std::string("QV"));
    QCOMPARE(r.rows.size(), std::size_t(3));
    const decode::WorkRow expected0{"1", "12.345", "m3", "KV1", "84 40 ", "13", ""};
    const decode::WorkRow expected1{"2", "-24.000", "deg. C", "Flow Temp.", "02 ", "59", ""};
    QCOMPARE(r.rows[0], expected0);
    QCOMPARE(r.rows[1], expected1);
    QCOMPARE(r.rows[2], decode::WorkRow{});
}

void TestDecode::decimalSeparator_data()
{
    QTest::addColumn<QByteArray>("records");
    QTest::addColumn<QString>("value");
    QTest::newRow("fixed") << QByteArray("04 13 39 30 00 00") << "12,345";
    QTest::newRow("real") << QByteArray("05 2B 00 00 C0 3F") << "1,50000";
    QTest::newRow("scientific") << QByteArray("0C 36 78 56 34 12") << "1,2345678E+13";
    QTest::newRow("fabrication number") << QByteArray("04 78 15 CD 5B 07") << "123456789";
    QTest::newRow("text stays as sent") << QByteArray("0D 13 03 31 2E 35") << "1.5";
}

void TestDecode::decimalSeparator()
{
    QFETCH(QByteArray, records);
    QFETCH(QString, value);
    const decode::DecodeResult r = decodeBytes(replyHex(records.constData()), true, ',');
    QCOMPARE(QString::fromLatin1(r.rows.at(0)[decode::ColValue]), value);
    QVERIFY(QString::fromLatin1(r.reportLines.at(2)).contains(", " + value + " "));
}

void TestDecode::buildingBlocksOutOfRange()
{
    const QByteArray bytes = replyHex("0A7C05414243"); // text unit runs into the checksum
    const mbus::ByteView r = view(bytes);
    const std::size_t huge = std::numeric_limits<std::size_t>::max();

    QVERIFY(!decode::decodeVif(r, 20, 0x7C).complete);
    QVERIFY(!decode::decodeVif({}, 0, 0xFD).complete);
    QVERIFY(!decode::decodeVif(r, huge, 0xFB).complete);
    QVERIFY(!decode::decodeVif(r, huge, 0xFC).complete);
    QCOMPARE(decode::decodeVif({}, 0, 0x13).unit, std::string("m3")); // needs no byte
    QCOMPARE(decode::decodeVif({}, 0, 0x13).multiplier(), 0.001);

    QVERIFY(!decode::decodeDif({}, 0, 0, 0x13, 0).complete);
    QVERIFY(!decode::decodeDif(r, 19, 10000, 0x13, 0).complete);
    QVERIFY(!decode::decodeDif(r, huge, huge, 0x13, 0).complete);
    QVERIFY(!decode::decodeDif(r, 19, huge, 0x6D, 0).complete);

    for (const QByteArray &junk : {QByteArray(), QByteArray("\x68"), QByteArray(20, '\xFF'), QByteArray(22, '\x8D')}) {
        const decode::RecordTable t = decode::decodeRecords(view(junk), {});
        QVERIFY(!t.rows.empty());
    }
}
