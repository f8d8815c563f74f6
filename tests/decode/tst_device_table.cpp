// What the device table shows of a reply and where it writes it: main value,
// secondary main value, model text and additional values chosen from the
// records; rows appended, overwritten or left alone; columns shifted when the
// secondary main value comes or goes; rows deleted and cleared.

#include "decode/device_table.h"
#include "mbus/hex_text.h"

#include <deque>

#include <QtTest>

using namespace decode;

namespace {

// Texts a record refers to, kept for the whole run.
std::string_view kept(const QString &text)
{
    static std::deque<std::string> texts;
    return texts.emplace_back(text.toStdString());
}

// "value|unit|dif|vif|vife|description", missing parts empty: a record that
// shows these texts in the work table.
Record record(const QString &rowText)
{
    const QStringList p = rowText.split(u'|');
    Record r;
    r.value = Digits{p.value(0).toStdString()};
    r.unit.name = kept(p.value(1));
    r.unit.description = kept(p.value(5));
    r.dib.assign(*mbus::parseHexText(p.value(2, QStringLiteral("0C ")).toStdString()));
    r.vib.assign(*mbus::parseHexText((p.value(3, QStringLiteral("13")) + u' ' + p.value(4)).toStdString()));
    r.fields = recordFields(r.dib);
    return r;
}

std::vector<Record> records(const QStringList &specs)
{
    std::vector<Record> out;
    for (const QString &s : specs)
        out.push_back(record(s));
    return out;
}

MeterHeader header(const char *maker, const char *medium, int address = 1, const char *id = "12345678")
{
    MeterHeader h;
    h.manufacturerField = std::uint16_t((maker[0] - 64) << 10 | (maker[1] - 64) << 5 | (maker[2] - 64));
    h.address = std::uint8_t(address);
    h.id = std::uint32_t(QByteArray(id).toUInt(nullptr, 16));
    h.medium = QByteArray(medium) == "Heat (rt)" ? 0x04 : 0x07;
    return h;
}

QStringList row(const DeviceTable &table, int r)
{
    QStringList out;
    for (int c = 0; c < table.columnCount(); ++c)
        out << QString::fromStdString(table.cellText(r, c));
    return out;
}

} // namespace

class TstDeviceTable : public QObject {
    Q_OBJECT
private slots:
    void mainValue_data();
    void mainValue();
    void secondaryMain_data();
    void secondaryMain();
    void additionalValues_data();
    void additionalValues();
    void rowRules();
    void secondaryMainColumnShift();
    void deleteAndClear();
    void pulseModuleRow();
    void addressTexts_data();
    void addressTexts();
};

// clang-format off
void TstDeviceTable::mainValue_data()
{
    QTest::addColumn<QString>("maker");
    QTest::addColumn<QString>("medium");
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QString>("expected"); // "value unit / model"

    QTest::newRow("heat: first kWh record") << "KAM" << "Heat (rt)" << QStringList{"21387|kWh", "22000|kWh"}
                                            << "21387 kWh / ";
    QTest::newRow("heat: MJ is a slot too") << "KAM" << "Heat (rt)" << QStringList{"3.2|m3", "45678|MJ"}
                                            << "45678 MJ / ";
    QTest::newRow("QRV water: model from the record") << "QRV" << "Water" << QStringList{"12.345|m3|04 |13||KV1"}
                                                      << "12.345 m3 / KV1";
    QTest::newRow("other maker: no model") << "ZRI" << "Water" << QStringList{"12.345|m3|04 |13||KV1"}
                                           << "12.345 m3 / ";
    QTest::newRow("empty slot U2 takes an empty unit") << "ZRI" << "Water" << QStringList{"0x0102|", "1.000|m3"}
                                                       << "0x0102  / ";
    QTest::newRow("AXI: the last match") << "AXI" << "Water" << QStringList{"1.000|m3", "145|l/h", "2.000|m3"}
                                         << "2.000 m3 / ";
    QTest::newRow("AXI: 84 40 ends the search") << "AXI" << "Water"
                                                << QStringList{"1.000|m3|84 40 ", "2.000|m3"} << "1.000 m3 / ";
    QTest::newRow("no record in a slot") << "ZRI" << "Heat (rt)" << QStringList{"145|l/h"} << "  / ";
}
// clang-format on

void TstDeviceTable::mainValue()
{
    QFETCH(QString, maker);
    QFETCH(QString, medium);
    QFETCH(QStringList, records);
    QFETCH(QString, expected);
    const TableValues v = chooseTableValues(header(maker.toLatin1(), medium.toLatin1()), ::records(records), {});
    QCOMPARE(QString::fromStdString(v.mainValue + ' ' + v.mainUnit + " / " + v.model), expected);
}

// clang-format off
void TstDeviceTable::secondaryMain_data()
{
    QTest::addColumn<QString>("maker");
    QTest::addColumn<bool>("option");
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QString>("expected");

    const QStringList cooling{"100|kWh|0C |06", "7|kWh|8C 20 |06"};
    QTest::newRow("LUG cooling energy, tariff 2") << "LUG" << true << cooling << "7";
    QTest::newRow("option off") << "LUG" << false << cooling << "";
    QTest::newRow("maker not in the list") << "KAM" << true << cooling << "";
    QTest::newRow("QRV accumulated 84 80 40") << "QRV" << true << QStringList{"1|kWh", "9|kWh|84 80 40 |06"} << "9";
    QTest::newRow("AXI tariff 1 energy") << "AXI" << true << QStringList{"1|kWh", "8|kWh|8C 10 |05"} << "8";
    QTest::newRow("tariff 1 with another VIF") << "AXI" << true << QStringList{"1|kWh", "8|kWh|8C 10 |07"} << "";
    QTest::newRow("VIF 86 VIFE 3C") << "LUG" << true << QStringList{"1|kWh", "6|kWh|0C |86|3C "} << "6";
}
// clang-format on

void TstDeviceTable::secondaryMain()
{
    QFETCH(QString, maker);
    QFETCH(bool, option);
    QFETCH(QStringList, records);
    QFETCH(QString, expected);
    const TableValues v = chooseTableValues(header(maker.toLatin1(), "Heat (rt)"), ::records(records), {option, 0});
    QCOMPARE(QString::fromStdString(v.secondaryMain), expected);
}

void TstDeviceTable::additionalValues_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QStringList>("expected");

    const QStringList water{"1.000|m3", "145|l/h", "2.000|m3", "65.4|deg. C", "42.1|deg. C"};
    QTest::newRow("three: the second m3 is the main unit")
        << 3 << water << QStringList{"145 l/h", "65.4 deg. C", "42.1 deg. C"};
    QTest::newRow("none") << 0 << water << QStringList{};
    QTest::newRow("more slots than values")
        << 5 << water << QStringList{"145 l/h", "65.4 deg. C", "42.1 deg. C", "", ""};
    QTest::newRow("thirteen") << 13 << water
                              << (QStringList{"145 l/h", "65.4 deg. C", "42.1 deg. C"} + QStringList(10));
    QTest::newRow("cut to 15 characters")
        << 1 << QStringList{"1|m3", "1234567.890123|deg. K"} << QStringList{"1234567.890123 "};
    QTest::newRow("units not shown") << 2 << QStringList{"1|m3", "3|V", "4|kW"} << QStringList{"4 kW", ""};
}

void TstDeviceTable::additionalValues()
{
    QFETCH(int, count);
    QFETCH(QStringList, records);
    QFETCH(QStringList, expected);
    const TableValues v = chooseTableValues(header("ZRI", "Water"), ::records(records), {false, count});
    QStringList actual;
    for (const std::string &s : v.additional)
        actual << QString::fromStdString(s);
    QCOMPARE(actual, expected);
}

// Scan appends, a read overwrites every row with its address (or nothing), a
// secondary reply overwrites the rows with its ID, address included.
void TstDeviceTable::rowRules()
{
    DeviceTable table;
    int notified = 0;
    table.changed = [&](int, int) { ++notified; };
    const auto rec = records({"1.000|m3"});
    QVERIFY(table.update(header("ZRI", "Water", 5, "11111111"), rec, RowRule::Scan, "10:00:00", "1.1.26"));
    QVERIFY(table.update(header("ZRI", "Water", 5, "22222222"), rec, RowRule::Scan, "10:00:01", "1.1.26"));
    QCOMPARE(table.rowCount(), 2); // two meters with the same address
    QCOMPARE(notified, 2);

    // A read of an address no row has changes nothing.
    QVERIFY(!table.update(header("ZRI", "Water", 9, "99999999"), rec, RowRule::ByAddress, "t", "d"));
    QCOMPARE(table.rowCount(), 2);
    QCOMPARE(notified, 2);

    // Both rows with address 5 take the reply.
    const auto sel = table.update(header("ZRI", "Water", 5, "33333333"), records({"7.000|m3"}), RowRule::ByAddress,
                                  "11:00:00", "2.1.26");
    QVERIFY(sel && sel->id == "33333333" && sel->address.text() == "5");
    QCOMPARE(row(table, 0), row(table, 1));
    QCOMPARE(row(table, 0).mid(0, 8),
             QStringList({"33333333", "5", "ZRI", "7.000", "m3", "Water", "11:00:00", "2.1.26"}));
    QCOMPARE(table.lastRowWithAddress(5), 1);

    // A secondary reply finds its row by ID and takes the new address with it.
    table.update(header("ZRI", "Water", 40, "33333333"), rec, RowRule::SecondaryReply, "t", "d");
    QCOMPARE(table.rowCount(), 2);
    QCOMPARE(table.cellText(0, kAddressColumn), std::string("40"));
    // ... and a new ID gets a new row.
    table.update(header("ZRI", "Water", 7, "77777777"), rec, RowRule::SecondaryReply, "t", "d");
    QCOMPARE(table.rowCount(), 3);
    QCOMPARE(table.cellText(2, kIdColumn), std::string("77777777"));

    // Selection of a row without an address.
    table.setAddress(2, {});
    QVERIFY(!table.selectionAt(2)->hasAddress());
    QVERIFY(!table.selectionAt(3));
}

void TstDeviceTable::secondaryMainColumnShift()
{
    DeviceTable table({false, 13});
    QCOMPARE(table.columnCount(), 23);
    table.update(header("LUG", "Heat (rt)"), records({"100|kWh|0C |06", "7|kWh|8C 20 |06"}), RowRule::Scan, "t", "d");
    const QStringList before = row(table, 0);
    table.switchSecondaryMain(true);
    QCOMPARE(table.columnCount(), 24);
    QStringList shifted = before;
    shifted.insert(4, QString());
    QCOMPARE(row(table, 0), shifted);
    table.switchSecondaryMain(true); // a second call moves nothing
    QCOMPARE(row(table, 0), shifted);
    table.switchSecondaryMain(false);
    QCOMPARE(row(table, 0), before);

    // Written with the option on, the secondary main value sits in column 4.
    DeviceTable withSecondary({true, 0});
    QCOMPARE(withSecondary.columnCount(), 11);
    withSecondary.update(header("LUG", "Heat (rt)"), records({"100|kWh|0C |06", "7|kWh|8C 20 |06"}), RowRule::Scan, "t",
                         "d");
    QCOMPARE(row(withSecondary, 0).mid(3, 3), QStringList({"100", "7", "kWh"}));
}

void TstDeviceTable::deleteAndClear()
{
    DeviceTable table;
    for (const char *id : {"11111111", "22222222", "33333333"})
        table.update(header("ZRI", "Water", 1, id), records({"1|m3"}), RowRule::Scan, "t", "d");
    QCOMPARE(table.rowCount(), 3);
    QVERIFY(!table.removeRow(-1));
    QVERIFY(!table.removeRow(3));
    QVERIFY(!table.removeRow(9));
    QVERIFY(table.removeRow(1));
    QCOMPARE(table.rowCount(), 2);
    QCOMPARE(table.cellText(1, kIdColumn), std::string("33333333"));
    table.clear();
    QCOMPARE(table.rowCount(), 0);
    QVERIFY(!table.removeRow(0));
}

// QRV pulse modules (version 0x1B) with the secondary main value: records
// 1 and 3 as values, 2, 4, 5... as additional values, not cut.
void TstDeviceTable::pulseModuleRow()
{
    DeviceTable table({true, 3});
    MeterHeader h = header("QRV", "Water", 3, "45454545");
    h.version = 0x1B;
    table.update(h, records({"1|m3", "2|l", "3|m3", "4.123456789012345|m3", "5|m3"}), RowRule::ByAddress, "t", "d");
    QCOMPARE(table.rowCount(), 1); // a new row although no row had its address
    QCOMPARE(row(table, 0), QStringList({"45454545", "3", "QRV", "1", "3", "m3", "Water", "t", "d", "0x00", "", "2 l",
                                         "4.123456789012345 m3", "5 m3"}));
}

// An address cell as a file gives it comes back as it was; commands take
// only a confirmed number.
void TstDeviceTable::addressTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("usable"); // -1: none
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("answered") << "21" << 21;
    QTest::newRow("given, unconfirmed") << "21?" << -1;
    QTest::newRow("secondary only") << "253" << -1;
    QTest::newRow("leading zero kept") << "021" << -1;
    QTest::newRow("beyond a byte") << "256" << -1;
    QTest::newRow("text") << "Flat 3" << -1;
}

void TstDeviceTable::addressTexts()
{
    QFETCH(QString, text);
    QFETCH(int, usable);
    DeviceTable table;
    table.appendRow({"12345678", text.toStdString()});
    QCOMPARE(QString::fromStdString(table.cellText(0, kAddressColumn)), text);
    QCOMPARE(table.row(0).address.usable(250).value_or(-1), usable);
    QCOMPARE(table.selectionAt(0).has_value(), true);
    QCOMPARE(table.lastRowWithAddress(21), usable == 21 ? 0 : -1);
}

QTEST_GUILESS_MAIN(TstDeviceTable)
#include "tst_device_table.moc"
