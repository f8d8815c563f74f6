// One record at a time: data fields, VIF tables, columns, dates, reals, LVAR.
// Records sit in a water-meter reply from "QRV"; row 0 of the work table is checked.

#include "telegram.h"
#include "tst_decode.h"

#include <QTest>

using namespace testing;

namespace {

decode::WorkRow row(const char *recordsHex, std::size_t index = 0)
{
    const decode::DecodeResult r = decodeBytes(replyHex(recordsHex));
    if (!r.headerDecoded || index >= r.rows.size())
        return {};
    return r.rows[index];
}

QString cell(const decode::WorkRow &r, decode::Column c)
{
    return QString::fromLatin1(r[c]);
}

void addRecordColumns()
{
    QTest::addColumn<QByteArray>("records");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("description");
}

void checkRecord()
{
    QFETCH(QByteArray, records);
    QFETCH(QString, value);
    QFETCH(QString, unit);
    QFETCH(QString, description);
    const decode::WorkRow r = row(records.constData());
    QCOMPARE(cell(r, decode::ColNumber), QString("1"));
    QCOMPARE(cell(r, decode::ColValue), value);
    QCOMPARE(cell(r, decode::ColUnit), unit);
    QCOMPARE(cell(r, decode::ColDescription), description);
}

} // namespace

// clang-format off
void TestDecode::dataFields_data()
{
    addRecordColumns();
    // "2F" after a record without data keeps a byte before the checksum.
    QTest::newRow("0 no data") << QByteArray("00132F") << "No data " << "m3" << "KV1";
    QTest::newRow("1 int8") << QByteArray("011305") << "0.005" << "m3" << "KV1";
    QTest::newRow("1 int8 negative") << QByteArray("01 13 FB") << "-0.005" << "m3" << "KV1";
    QTest::newRow("2 int16 negative temperature") << QByteArray("02 59 0C FE") << "-5.000" << "deg. C" << "Flow Temp.";
    QTest::newRow("2 int16 FFFF") << QByteArray("02 13 FF FF") << "-0.001" << "m3" << "KV1";
    QTest::newRow("2 int16 max") << QByteArray("02 06 FF 7F") << "32767.000" << "kWh" << "";
    QTest::newRow("3 int24") << QByteArray("03 13 01 02 03") << "197.121" << "m3" << "KV1";
    QTest::newRow("3 int24 min") << QByteArray("03 13 00 00 80") << "-8388.608" << "m3" << "KV1";
    QTest::newRow("3 int24 fabrication") << QByteArray("03 78 01 02 03") << "00030201" << "Fabr. No." << "";
    QTest::newRow("4 int32") << QByteArray("04 13 39 30 00 00") << "12.345" << "m3" << "KV1";
    QTest::newRow("4 int32 minus one") << QByteArray("04 13 FF FF FF FF") << "-0.001" << "m3" << "KV1";
    QTest::newRow("4 fabrication 9 digits") << QByteArray("04 78 15 CD 5B 07") << "123456789" << "Fabr. No." << "";
    QTest::newRow("4 fabrication 10 digits") << QByteArray("04 78 FF FF FF 7F") << "2147483647" << "Fabr. No." << "";
    QTest::newRow("6 int48 all bytes") << QByteArray("06 06 7B E8 76 48 17 00") << "100000000123.000" << "kWh" << "";
    QTest::newRow("6 int48 negative") << QByteArray("06 06 FF FF FF FF FF FF") << "-1.000" << "kWh" << "";
    QTest::newRow("6 int48 fabrication") << QByteArray("06 78 7B E8 76 48 17 00") << "100000000123" << "Fabr. No." << "";
    QTest::newRow("7 int64") << QByteArray("07 06 01 02 03 04 05 06 07 08")
                             << "64-bit integer not supported, but hex is: 0x0807060504030201" << "kWh" << "";
    QTest::newRow("8 selection") << QByteArray("08 13 2F") << "Unrecognizable DIF, not decoded " << "m3" << "KV1";
    QTest::newRow("9 bcd2") << QByteArray("09 13 45") << "0.045" << "m3" << "KV1";
    QTest::newRow("9 bcd2 bad nibble") << QByteArray("09 13 F5") << "Exception " << "m3" << "KV1";
    QTest::newRow("A bcd4") << QByteArray("0A 13 34 12") << "1.234" << "m3" << "KV1";
    QTest::newRow("B bcd6") << QByteArray("0B 13 56 34 12") << "123.456" << "m3" << "KV1";
    QTest::newRow("B bcd6 fabrication") << QByteArray("0B 78 56 34 12") << "123456" << "Fabr. No." << "";
    QTest::newRow("B bcd6 fabrication as is") << QByteArray("0B 78 0A 00 00") << "00000A" << "Fabr. No." << "";
    QTest::newRow("C bcd8") << QByteArray("0C 13 78 56 34 12") << "12345.678" << "m3" << "KV1";
    QTest::newRow("C bcd8 fabrication") << QByteArray("0C 78 78 56 34 12") << "12345678" << "Fabr. No." << "";
    QTest::newRow("C bcd8 sign nibble") << QByteArray("0C 06 78 56 34 F2") << "Exception " << "kWh" << "";
    QTest::newRow("E bcd12 all digits") << QByteArray("0E 06 23 01 00 00 00 10") << "100000000123.000" << "kWh" << "";
    QTest::newRow("E bcd12 fabrication") << QByteArray("0E 78 23 01 00 00 00 10") << "100000000123" << "Fabr. No." << "";
    QTest::newRow("E bcd12 bad nibble") << QByteArray("0E 06 23 01 00 00 00 A0") << "Exception " << "kWh" << "";
}
// clang-format on

void TestDecode::dataFields()
{
    checkRecord();
}

void TestDecode::vifGroups_data()
{
    addRecordColumns();
    struct Case {
        const char *vif;
        const char *value;
        const char *unit;
        const char *description;
    };
    // 8-digit BCD 12345678 under each VIF.
    const Case cases[] = {
        {"00", "12.346", "kWh", ""},
        {"07", "123456780.000", "kWh", ""},
        {"08", "12345.678", "kJ", ""},
        {"0F", "123456780000.000", "kJ", ""},
        {"10", "12.346", "m3", ""},
        {"13", "12345.678", "m3", "KV1"},
        {"14", "123456.780", "m3", "KV2"},
        {"15", "1234567.800", "m3", ""},
        {"17", "123456780.000", "m3", ""},
        {"20", "12345678.000", "On Time", "seconds"},
        {"23", "12345678.000", "On Time", "days"},
        {"24", "12345678.000", "Operating Time", "seconds"},
        {"28", "12345.678", "W", ""},
        {"2D", "1234567800.000", "W", ""},
        {"2E", "12345678.000", "kW", ""},
        {"30", "12345678.000", "J/h", ""},
        {"36", "1.2345678E+13", "J/h", ""},
        {"38", "12345.678", "l/h", "Debit"},
        {"3F", "123456780000.000", "l/h", "Debit"},
        {"58", "12345.678", "deg. C", "Flow Temp."},
        {"5B", "12345678.000", "deg. C", "Flow Temp."},
        {"5C", "12345.678", "deg. C", "Return Temp."},
        {"5F", "12345678.000", "deg. C", "Return Temp."},
        {"60", "12345.678", "deg. K", "TDiff"},
        {"64", "12345.678", "deg. C", "External Temperature"},
        {"68", "12345678.000", "mbar", ""},
        {"6A", "1234567800.000", "mbar", ""},
        {"6E", "12345678.000", "Dimensionless", ""},
        {"70", "12345678.000", "Average duration", ""},
        {"74", "12345678.000", "Actuality Duration", ""},
        {"78", "12345678", "Fabr. No.", ""},
        {"18", "12345678.000", "N/A", ""},
        {"37", "12345678.000", "N/A", ""},
        {"6B", "12345678.000", "N/A", ""},
        {"7B", "12345678.000", "N/A", ""},
        {"7D", "12345678.000", "N/A", ""},
        {"93 3C", "12345.678", "m3", "KV1"},  // bit 7 cleared for the lookup
        {"F8 00", "12345678.000", "N/A", ""}, // F0..FA find nothing
        {"7E", "12345678.000", "Readout - not supported for now", ""},
        {"FE 00", "12345678.000", "Readout - not supported for now", ""},
        {"7F", "12345678.000", "Manufacturer specific", ""},
        {"FF 00", "12345678.000", "Manufacturer specific", ""},
    };
    for (const Case &c : cases) {
        QTest::newRow(c.vif) << (QByteArray("0C ") + c.vif + " 78 56 34 12") << c.value << c.unit << c.description;
    }
}

void TestDecode::vifGroups()
{
    checkRecord();
}

// clang-format off
void TestDecode::extensionTables_data()
{
    addRecordColumns();
    struct Case {
        const char *vif;
        const char *value;
        const char *unit;
    };
    const Case cases[] = {
        {"FD 00", "12345678.000", "Credit in currency units"},
        {"FD 03", "12345678.000", "Credit in currency units"},
        {"FD 04", "12345678.000", "Debit in currency units"},
        {"FD 08", "12345678.000", "Access Number"},
        {"FD 8C 00", "12345678.000", "Model/Version"},
        {"FD 0F", "12345678.000", "Software version No."},
        {"FD 13", "12345678.000", "Access code operator"},
        {"FD 14", "12345678.000", "VIF not supported"},
        {"FD 16", "12345678.000", "Password"},
        {"FD 1A", "12345678.000", "Digitial Output (binary)"},
        {"FD 1B", "12345678.000", "Digitial Input (binary)"},
        {"FD 1F", "12345678.000", "Reserved"},
        {"FD 3A", "12345678.000", "Dimensionless"},
        {"FD 40", "12345678.000", "Volts, 10^-9"},
        {"FD 4C", "12345678.000", "Volts, 10^3"},
        {"FD 4F", "12345678.000", "Volts, 10^6"},
        {"FD 50", "12345678.000", "Ampers, 10^-12"},
        {"FD 55", "12345678.000", "Ampers, 10^-7"},
        {"FD 56", "12345678.000", "VIF not supported"},
        {"FB 00", "1234567800.000", "kWh"},
        {"FB 01", "12345678000.000", "kWh"},
        {"FB 02", "12345678.000", "Reserved"},
        {"FB 08", "1234567.800", "GJ"},
        {"FB 09", "12345678.000", "GJ"},
        {"FB 10", "1234567800.000", "m3"},
        {"FB 12", "12345678.000", "VIF not supported"},
        {"FB 28", "1234567800.000", "kW"},
        {"FB 2A", "12345678.000", "Reserved"},
        {"FB 58", "12345.678", "Flow Temperature, deg. F"},
        {"FB 5A", "1234567.800", "Flow Temperature, deg. F"},
        {"FB 5B", "12345678.000", "Flow Temperature, F"},
        {"FB DB 00", "12345678.000", "Flow Temperature, F"},
        {"FB 5C", "12345.678", "Return Temperature, deg. F"},
        {"FB 5F", "12345678.000", "Return Temperature, deg. F"},
        {"FB 60", "12345.678", "Temp. difference, deg. F"},
        {"FB 64", "12345.678", "External temperature, F"},
        {"FB 67", "12345678.000", "External temperature, F"},
        {"FB 68", "12345678.000", "Reserved"},
        {"FB 70", "12345678.000", "VIF not supported"},
    };
    for (const Case &c : cases) {
        QTest::newRow(c.vif) << (QByteArray("0C ") + c.vif + " 78 56 34 12") << c.value << c.unit << "";
    }
    // Plain-text units: length byte and characters right after the VIF, received order.
    QTest::newRow("7C text") << QByteArray("0A 7C 03 43 42 41 34 12") << "1234.000"
                             << "VIF is user ASCII string: CBA" << "";
    QTest::newRow("7C empty text") << QByteArray("0A 7C 00 34 12") << "1234.000" << "Unknown" << "";
    QTest::newRow("FC text then VIFE") << QByteArray("0A FC 02 48 52 74 34 12") << "1234.000"
                                       << "VIF is user ASCII string: HR" << "";
}
// clang-format on

void TestDecode::extensionTables()
{
    checkRecord();
}

// clang-format off
void TestDecode::columns_data()
{
    QTest::addColumn<QByteArray>("records");
    QTest::addColumn<QString>("difDife");
    QTest::addColumn<QString>("vif");
    QTest::addColumn<QString>("vife");
    QTest::newRow("plain") << QByteArray("04 13 39 30 00 00") << "04 " << "13" << "";
    QTest::newRow("DIFE") << QByteArray("84 40 13 39 30 00 00") << "84 40 " << "13" << "";
    QTest::newRow("VIFE") << QByteArray("04 93 3C 39 30 00 00") << "04 " << "93" << "3C ";
    QTest::newRow("chains") << QByteArray("C4 80 40 93 BC 3C 39 30 00 00") << "C4 80 40 " << "93" << "BC 3C ";
    QTest::newRow("FD") << QByteArray("0C FD 8C 00 78 56 34 12") << "0C " << "FD" << "8C 00 ";
    QTest::newRow("7C text not a VIFE") << QByteArray("0A 7C 01 41 34 12") << "0A " << "7C" << "";
    QTest::newRow("FC VIFEs after text") << QByteArray("0A FC 02 48 52 F4 01 34 12") << "0A " << "FC" << "F4 01 ";
}
// clang-format on

void TestDecode::columns()
{
    QFETCH(QByteArray, records);
    QFETCH(QString, difDife);
    QFETCH(QString, vif);
    QFETCH(QString, vife);
    const decode::WorkRow r = row(records.constData());
    QCOMPARE(cell(r, decode::ColDifDife), difDife);
    QCOMPARE(cell(r, decode::ColVif), vif);
    QCOMPARE(cell(r, decode::ColVife), vife);
}

// clang-format off
void TestDecode::difDescription_data()
{
    QTest::addColumn<QByteArray>("dif");
    QTest::addColumn<QString>("description");
    QTest::newRow("04") << QByteArray("04") << "Instantenous value ";
    QTest::newRow("14") << QByteArray("14") << "Maximum value ";
    QTest::newRow("24") << QByteArray("24") << "Minimum value ";
    QTest::newRow("34") << QByteArray("34") << "Value during Error state ";
    QTest::newRow("44") << QByteArray("44") << "Storage number, Instantenous value ";
    QTest::newRow("54") << QByteArray("54") << "Storage number, Maximum value ";
    QTest::newRow("64") << QByteArray("64") << "Storage number, Minimum value ";
    QTest::newRow("74") << QByteArray("74") << "Storage number, Value during Error state ";
    QTest::newRow("84 40") << QByteArray("8440") << "Instantenous value, Extension Storage is: 0, Tariff is: 0 ";
    QTest::newRow("94 01") << QByteArray("9401") << "Maximum value, Extension Storage is: 1, Tariff is: 0 ";
    QTest::newRow("A4 29") << QByteArray("A429") << "Minimum value, Extension Storage is: 9, Tariff is: 2 ";
    QTest::newRow("B4 3A storage 10") << QByteArray("B43A")
                                      << "Value during error state, Extension Storage is: , Tariff is: 3 ";
    QTest::newRow("C4 0C storage 12") << QByteArray("C40C")
                                      << "Storage number, Instantenous value, Extension Storage is: , Tariff is: 0 ";
    QTest::newRow("D4 C1 02 second DIFE adds nothing")
        << QByteArray("D4C102") << "Storage number, Maximum value, Extension Storage is: 1, Tariff is: 0 ";
    QTest::newRow("E4 00") << QByteArray("E400") << "Storage number, Minimum value, Extension Storage is: 0, Tariff is: 0 ";
    QTest::newRow("F4 10") << QByteArray("F410")
                           << "Storage number, Value during Error state, Extension Storage is: 0, Tariff is: 1 ";
}
// clang-format on

void TestDecode::difDescription()
{
    QFETCH(QByteArray, dif);
    QFETCH(QString, description);
    const QByteArray difBytes = QByteArray::fromHex(dif);
    const QByteArray r = reply(difBytes + QByteArray::fromHex("1339300000"));
    const std::size_t data = 19 + std::size_t(difBytes.size()) + 1;
    const decode::DifInfo info = decode::decodeDif(view(r), 19, data, 0x13, -3);
    QVERIFY(info.complete);
    QCOMPARE(QString::fromStdString(info.description), description);
    QCOMPARE(info.value, std::string("12.345"));
    QCOMPARE(info.dataLength, std::size_t(4));
    // The report line carries the same text.
    const decode::DecodeResult full = decodeBytes(r, true);
    QCOMPARE(full.reportLines.size(), std::size_t(5));
    QVERIFY(QString::fromStdString(full.reportLines[2]).contains("; " + description + ", 12.345 m3, KV1"));
}

// clang-format off
void TestDecode::dates_data()
{
    addRecordColumns();
    const QString date = "Date (dd.mm.yyyy)";
    const QString dateTime = "Date and time (hh:mm, dd.mm.yyyy)";
    QTest::newRow("G") << QByteArray("02 6C 98 11") << "24.1.12" << "Time point" << date;
    QTest::newRow("F, minute below 10") << QByteArray("04 6D 05 0E 03 3C") << "14:05, 3.12.24" << "Time point" << dateTime;
    QTest::newRow("F") << QByteArray("04 6D 2B 0D 98 11") << "13:43, 24.1.12" << "Time point" << dateTime;
    QTest::newRow("F zero") << QByteArray("04 6D 00 00 00 00") << "0:00, 0.0.0" << "Time point" << dateTime;
    QTest::newRow("F all bits, flags ignored") << QByteArray("04 6D FF FF FF FF") << "31:63, 31.15.127"
                                               << "Time point" << dateTime;
    QTest::newRow("G as EC") << QByteArray("02 EC 00 98 11") << "24.1.12" << "Time point" << date;
    QTest::newRow("F as ED") << QByteArray("04 ED 00 05 0E 03 3C") << "14:05, 3.12.24" << "Time point" << dateTime;
    QTest::newRow("G in a BCD field") << QByteArray("0A 6C 98 11") << "24.1.12" << "Time point" << date;
    QTest::newRow("G in a 4-byte field") << QByteArray("04 6C 98 11 FF FF") << "24.1.12" << "Time point" << date;
    QTest::newRow("F short of the checksum") << QByteArray("02 6D 05 0E") << "Exception decoding DateTime"
                                             << "Time point" << dateTime;
    QTest::newRow("G without data") << QByteArray("00 6C 98") << "Exception decoding DateTime" << "Time point" << date;
}
// clang-format on

void TestDecode::dates()
{
    checkRecord();
}

// clang-format off
void TestDecode::reals_data()
{
    addRecordColumns();
    QTest::newRow("1.5") << QByteArray("05 2B 00 00 C0 3F") << "1.50000" << "W" << "";
    QTest::newRow("-1.5") << QByteArray("05 2B 00 00 C0 BF") << "-1.50000" << "W" << "";
    QTest::newRow("infinite") << QByteArray("05 2B 00 00 80 7F") << "NaN or Infinite" << "W" << "";
    QTest::newRow("minus infinite") << QByteArray("05 2B 00 00 80 FF") << "NaN or Infinite" << "W" << "";
    QTest::newRow("NaN") << QByteArray("05 2B 01 00 C0 7F") << "NaN or Infinite" << "W" << "";
    QTest::newRow("zero") << QByteArray("05 2B 00 00 00 00") << "0.00000" << "W" << "";
    QTest::newRow("smallest exponent") << QByteArray("05 2B 01 00 00 00") << "0.00000" << "W" << "";
    QTest::newRow("0.1") << QByteArray("05 2B CD CC CC 3D") << "0.10000" << "W" << "";
    QTest::newRow("flow temperature") << QByteArray("05 5B 2B 4B AC 41") << "21.53670" << "deg. C" << "Flow Temp.";
    QTest::newRow("nine significant digits") << QByteArray("05 2B D3 9F 90 46") << "18511.91210" << "W" << "";
    QTest::newRow("scientific") << QByteArray("05 2B 00 00 00 4F") << "2.14748365E+9" << "W" << "";
    // Scaled by the VIF like every other data type.
    QTest::newRow("m3/h as l/h") << QByteArray("05 3E 00 00 C0 3F") << "1500.00000" << "l/h" << "Debit";
    QTest::newRow("x0.001") << QByteArray("05 13 00 00 C0 3F") << "0.00150" << "m3" << "KV1";
    QTest::newRow("x0.001 negative") << QByteArray("05 13 00 00 C0 BF") << "-0.00150" << "m3" << "KV1";
    QTest::newRow("x1000 scientific") << QByteArray("05 3E 00 00 00 4F") << "2.14748365E+12" << "l/h" << "Debit";
    QTest::newRow("FB multiplier") << QByteArray("05 FB 01 00 00 C0 3F") << "1500.00000" << "kWh" << "";
    QTest::newRow("FD volts not scaled") << QByteArray("05 FD 4C 00 00 C0 3F") << "1.50000" << "Volts, 10^3" << "";
    QTest::newRow("NaN x1000") << QByteArray("05 3E 00 00 80 7F") << "NaN or Infinite" << "l/h" << "Debit";
}
// clang-format on

void TestDecode::reals()
{
    checkRecord();
}

// clang-format off
void TestDecode::variableLength_data()
{
    addRecordColumns();
    // Each followed by 01 13 05, which must decode as the next record (0.005).
    QTest::newRow("C2 hex") << QByteArray("0D 13 C2 34 12") << "3412" << "m3" << "KV1";
    QTest::newRow("D2 negative") << QByteArray("0D 13 D2 34 12") << "-3412" << "m3" << "KV1";
    QTest::newRow("E2 binary") << QByteArray("0D 13 E2 34 12") << "0x3412" << "m3" << "KV1";
    QTest::newRow("text") << QByteArray("0D 13 03 41 42 43") << "ABC" << "m3" << "KV1";
    QTest::newRow("empty text") << QByteArray("0D 13 00") << "" << "m3" << "KV1";
    QTest::newRow("text with FD") << QByteArray("0D FD 11 05 31 32 33 34 35") << "12345" << "Customer" << "";
    QTest::newRow("text with 7C unit") << QByteArray("0D 7C 02 44 49 02 4F 4B") << "OK" << "VIF is user ASCII string: DI" << "";

    // Boundary codes with a payload of 0F bytes: walked as records, a 0F would
    // end the walk as manufacturer data and the 0.005 record would be missing.
    struct Code {
        const char *lvar;
        int bytes;
        const char *prefix;
    };
    for (const Code &c : {Code{"BF", 191, nullptr}, Code{"C0", 0, ""}, Code{"CF", 15, ""}, Code{"D0", 0, "-"},
                          Code{"DF", 15, "-"}, Code{"E0", 0, "0x"}, Code{"EF", 15, "0x"}, Code{"F0", 16, "0x"},
                          Code{"F4", 32, "0x"}, Code{"F5", 6, "0x"}, Code{"F6", 8, "0x"}}) {
        const QByteArray payload = QByteArray(" 0F").repeated(c.bytes);
        const QString value = c.prefix ? QString(c.prefix) + QString("0F").repeated(c.bytes)
                                       : QString(c.bytes, QChar(0x0F));
        QTest::newRow(c.lvar) << QByteArray("0D 13 ") + c.lvar + payload << value << "m3" << "KV1";
    }
}
// clang-format on

void TestDecode::variableLength()
{
    QFETCH(QByteArray, records);
    QFETCH(QString, value);
    QFETCH(QString, unit);
    QFETCH(QString, description);
    const QByteArray all = records + " 01 13 05";
    const decode::WorkRow first = row(all.constData(), 0);
    QCOMPARE(cell(first, decode::ColValue), value);
    QCOMPARE(cell(first, decode::ColUnit), unit);
    QCOMPARE(cell(first, decode::ColDescription), description);
    const decode::WorkRow second = row(all.constData(), 1);
    QCOMPARE(cell(second, decode::ColNumber), QString("2"));
    QCOMPARE(cell(second, decode::ColValue), QString("0.005"));
}
