// Frame validation and the fixed header.

#include "telegram.h"
#include "tst_decode.h"

#include "decode/header.h"

#include <QTest>

using namespace testing;

namespace {

QStringList linesAfterRespond(const decode::DecodeResult &r)
{
    QStringList lines;
    for (std::size_t i = 1; i < r.logLines.size(); ++i)
        lines << QString::fromStdString(r.logLines[i]);
    return lines;
}

QByteArray withByte(QByteArray bytes, int index, quint8 value)
{
    bytes[index < 0 ? bytes.size() + index : index] = char(value);
    return bytes;
}

} // namespace

void TestDecode::frameTests_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("headerDecoded");
    QTest::addColumn<QStringList>("lines");

    const QByteArray good = replyHex("041339300000");
    const int n = good.size();
    const quint8 cs = quint8(good[n - 2]);

    QTest::newRow("empty") << QByteArray() << false << false << QStringList();
    QTest::newRow("short frame") << QByteArray::fromHex("107B017C16") << false << false << QStringList();
    QTest::newRow("7 bytes") << QByteArray::fromHex("68010168080816") << false << false << QStringList();
    QTest::newRow("8 bytes pass the tests")
        << QByteArray::fromHex("680202680805"
                               "0D16")
        << true << false << QStringList{"Exception - Reply too short for a data header: 8 bytes"};
    QTest::newRow("control frame") << QByteArray::fromHex("68030368"
                                                          "53FE51"
                                                          "A216")
                                   << true << false
                                   << QStringList{"Exception - Reply too short for a data header: 9 bytes"};
    QTest::newRow("20 bytes") << longFrame(QByteArray(14, '\x01')) << true << false
                              << QStringList{"Exception - Reply too short for a data header: 20 bytes"};
    QTest::newRow("21 bytes, no records") << reply({}) << true << true << QStringList();
    QTest::newRow("good") << good << true << true << QStringList();
    QTest::newRow("first start byte") << withByte(good, 0, 0x00) << false << false << QStringList{"Wrong START byte"};
    QTest::newRow("second start byte") << withByte(good, 3, 0xB0) << false << false << QStringList{"Wrong START byte"};
    QTest::newRow("second length") << withByte(good, 2, quint8(n - 16)) << false << false
                                   << QStringList{"Wrong length in the header"};
    QTest::newRow("checksum") << withByte(good, -2, quint8(cs + 1)) << false << false << QStringList{"Wrong CRC"};
    QTest::newRow("stop byte") << withByte(good, -1, 0x17) << false << false << QStringList{"Wrong STOP byte"};
    QTest::newRow("length") << withByte(good, 1, quint8(n - 5)) << false << false
                            << QStringList{"Wrong length in the header"};
    QTest::newRow("checksum and length") << withByte(withByte(good, 1, 0x40), -2, quint8(cs ^ 0x55)) << false << false
                                         << QStringList{"Wrong CRC", "Wrong length in the header"};
    QTest::newRow("all three") << withByte(withByte(withByte(good, 1, 0x40), -2, quint8(cs ^ 0x55)), -1, 0x00) << false
                               << false << QStringList{"Wrong CRC", "Wrong STOP byte", "Wrong length in the header"};
    QTest::newRow("truncated") << good.left(n - 3) << false << false
                               << QStringList{"Wrong CRC", "Wrong STOP byte", "Wrong length in the header"};
    QTest::newRow("truncated to 8") << good.left(8) << false << false
                                    << QStringList{"Wrong CRC", "Wrong STOP byte", "Wrong length in the header"};
}

void TestDecode::frameTests()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QFETCH(bool, headerDecoded);
    QFETCH(QStringList, lines);

    for (bool full : {false, true}) {
        const decode::DecodeResult r = decodeBytes(bytes, full);
        QCOMPARE(r.valid, valid);
        QCOMPARE(r.headerDecoded, headerDecoded);
        QCOMPARE(linesAfterRespond(r), lines);
        QCOMPARE(r.updateDeviceTable, headerDecoded && !full);
        QCOMPARE(r.reportWritten, headerDecoded && full);
        if (!headerDecoded) {
            QVERIFY(r.rows.empty());
            QVERIFY(r.reportLines.empty());
        }
    }
}

void TestDecode::respondLine()
{
    const QByteArray bytes = QByteArray::fromHex("107b017c16");
    const decode::DecodeResult r = decodeBytes(bytes);
    QCOMPARE(r.logLines.size(), std::size_t(1));
    QCOMPARE(r.logLines[0], std::string("Respond: 10 7B 01 7C 16 "));
    QCOMPARE(decodeBytes({}).logLines[0], std::string("Respond: "));
}

void TestDecode::manufacturer_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QByteArray>("code");
    QTest::newRow("SIE") << 0x4D25 << QByteArray("SIE");
    QTest::newRow("QRV") << 0x4656 << QByteArray("QRV");
    QTest::newRow("zero groups give @") << 0x0000 << QByteArray("@@@");
    QTest::newRow("bit 15 reaches lower case") << 0x8421 << QByteArray("aAA");
    QTest::newRow("bit 15 alone") << 0x8000 << QByteArray("`@@");
    QTest::newRow("code 127 becomes 0x90") << 0xFFFF << QByteArray("\x90__");
}

void TestDecode::manufacturer()
{
    QFETCH(int, field);
    QFETCH(QByteArray, code);
    HeaderFields h;
    h.manufacturer = quint16(field);
    const decode::DecodeResult r = decodeBytes(reply({}, h));
    QCOMPARE(QByteArray::fromStdString(r.header.manufacturer), code);
}

void TestDecode::medium_data()
{
    QTest::addColumn<int>("medium");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("unitSlots");
    const QStringList energy{"kWh", "GJ", "MJ", "kJ"};
    const QStringList volume{"m3", "", "m3", "m3"};
    const QStringList na{"N/A", "", "N/A", "N/A"};
    QTest::newRow("00") << 0x00 << "Other" << na;
    QTest::newRow("02") << 0x02 << "Electricity" << energy;
    QTest::newRow("04") << 0x04 << "Heat (rt)" << energy;
    QTest::newRow("07") << 0x07 << "Water" << volume;
    QTest::newRow("0F") << 0x0F << "Unknown" << na;
    QTest::newRow("15") << 0x15 << "Unknown" << na;
    QTest::newRow("16") << 0x16 << "Cold water" << volume;
    QTest::newRow("18") << 0x18 << "Pressure" << QStringList{"mbar", "", "mbar", "mbar"};
    QTest::newRow("19") << 0x19 << "A/D converter" << na;
    QTest::newRow("FF") << 0xFF << "Unknown" << na;
}

void TestDecode::medium()
{
    QFETCH(int, medium);
    QFETCH(QString, name);
    QFETCH(QStringList, unitSlots);
    HeaderFields h;
    h.medium = quint8(medium);
    const decode::DecodeResult r = decodeBytes(reply({}, h));
    QCOMPARE(QString::fromStdString(r.header.mediumName), name);
    QStringList got;
    for (const std::string &s : r.header.unitSlots)
        got << QString::fromStdString(s);
    QCOMPARE(got, unitSlots);
}

void TestDecode::status_data()
{
    QTest::addColumn<int>("manufacturer");
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("fullReport");
    QTest::addColumn<QString>("text");
    const int qrv = 0x4656;
    const int sie = 0x4D25;
    QTest::newRow("QRV letters") << qrv << 0x10 << 0x84 << false << "QV";
    QTest::newRow("QRV all letters") << qrv << 0x10 << 0xFF << false << "QBMOTV";
    QTest::newRow("QRV bits 1 and 0 only") << qrv << 0x10 << 0x03 << false << "";
    QTest::newRow("other manufacturer") << sie << 0x10 << 0x84 << false << "0x84";
    QTest::newRow("QRV version 1B") << qrv << 0x1B << 0x84 << false << "0x84";
    QTest::newRow("QRV full report") << qrv << 0x10 << 0x84 << true << "0x84";
    QTest::newRow("other, zero") << sie << 0x10 << 0x00 << false << "0x00";
}

void TestDecode::status()
{
    QFETCH(int, manufacturer);
    QFETCH(int, version);
    QFETCH(int, status);
    QFETCH(bool, fullReport);
    QFETCH(QString, text);
    HeaderFields h;
    h.manufacturer = quint16(manufacturer);
    h.version = quint8(version);
    h.status = quint8(status);
    const decode::DecodeResult r = decodeBytes(reply({}, h), fullReport);
    QCOMPARE(QString::fromStdString(r.header.statusText), text);
    QCOMPARE(int(r.header.version), version);
}

void TestDecode::idText()
{
    HeaderFields h;
    h.id = QByteArray::fromHex("785634F2");
    h.address = 0xFE;
    h.access = 0xC8;
    const decode::DecodeResult r = decodeBytes(reply({}, h));
    QCOMPARE(r.header.idText, std::string("F2345678"));
    QCOMPARE(r.header.primaryAddress, 254);
    QCOMPARE(r.header.accessNumber, 200);
}

void TestDecode::hexToInt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("zero") << "00000000" << true << 0;
    QTest::newRow("header field") << "000000FE" << true << 254;
    QTest::newRow("minus one") << "FFFFFFFF" << true << -1;
    QTest::newRow("lower case") << "fffffffe" << true << -2;
    QTest::newRow("letter G") << "0000002G" << false << 0;
    QTest::newRow("seven digits") << "1234567" << false << 0;
    QTest::newRow("nine digits") << "123456789" << false << 0;
}

void TestDecode::hexToInt()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    const std::string s = text.toStdString();
    const auto result = decode::hexToInt(s);
    QCOMPARE(result.has_value(), ok);
    if (ok)
        QCOMPARE(*result, value);
}
