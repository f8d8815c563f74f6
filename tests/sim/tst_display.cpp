// The display's commands and replies, read back with the master's reading rules.

#include "tst_display.h"

#include "busfile.h"
#include "displaylink.h"

#include <QtTest>

#include <random>

using namespace displaytest;

namespace {
const QString kMarker = QStringLiteral("Active devices: ");

const QByteArray kFixture = "[display]\n"
                            "clock = 2026-03-14 09:05\n"
                            "sort = user\n"
                            "entry = 5, m3, 1234.5, 1.0, 2.0, 3.0, 10/1, 12, Flat 3, 4567.8, 11.5, 2.0, 13\n"
                            "entry = 7\n"
                            "history = 5, 2025-01, 10 20 30 - 50 60 70 80 90 100 110 120\n";

QString latin(const std::string &s)
{
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

// From the line's first digit up to the next space, and what follows that space.
std::pair<QString, QString> fromFirstDigit(const QString &line)
{
    if (line.size() <= 2)
        return {};
    qsizetype d = 0;
    while (d < line.size() && !line[d].isDigit())
        ++d;
    const qsizetype space = line.indexOf(' ', d);
    if (space < 0)
        return {line.mid(d), {}};
    return {line.mid(d, space - d), line.mid(space + 1)};
}

// The line holding `marker` among the last `count` lines, searched from the last; -1 for none.
qsizetype findUp(const QStringList &lines, const QString &marker, qsizetype count)
{
    for (qsizetype i = lines.size() - 1; i >= 0 && i >= lines.size() - count; --i)
        if (lines[i].contains(marker))
            return i;
    return -1;
}

QString line(const QStringList &lines, qsizetype i)
{
    return i >= 0 && i < lines.size() ? lines[i] : QString();
}

// The Cyrillic months as Windows-1251 bytes, worked out from the Unicode letters.
QByteArray cp1251(const QString &text)
{
    QByteArray out;
    for (QChar c : text)
        out += c.unicode() >= 0x410 && c.unicode() <= 0x44F ? char(0xC0 + (c.unicode() - 0x410)) : char(c.unicode());
    return out;
}

const char *const kEnglish[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char *const kItalian[] = {"Gen", "Feb", "Mar", "Apr", "Mag", "Giu", "Lug", "Ago", "Set", "Ott", "Nov", "Dic"};
const char16_t *const kCyrillic[] = {u"Яну", u"Фев", u"Мар", u"Апр", u"Май", u"Юни",
                                     u"Юли", u"Авг", u"Сеп", u"Окт", u"Ное", u"Дек"};

std::string expand(const QString &bars)
{
    std::string s = bars.toStdString();
    for (std::size_t at; (at = s.find('|')) != std::string::npos;)
        s.replace(at, 1, "\r\n");
    return s;
}
} // namespace

namespace displaytest {

QStringList logLines(const std::string &reply)
{
    return QStringList{"Activating device 1..."} + latin(reply).split("\r\n");
}

EntryValues readEntry(const std::string &reply)
{
    const QStringList lines = logLines(reply);
    const qsizetype t = findUp(lines, "Total pulses", 4);
    if (t < 0)
        return {};
    EntryValues v;
    const QString first = line(lines, t);
    const qsizetype star = first.indexOf('*');
    if (star >= 0)
        v.multDiv = first.mid(star + 1).section(' ', 0, 0);
    std::tie(v.start, v.unit) = fromFirstDigit(line(lines, t + 1));
    v.total = fromFirstDigit(line(lines, t + 2)).first;
    return v;
}

QStringList readUser(const std::string &reply)
{
    const QStringList lines = logLines(reply);
    const qsizetype u = findUp(lines, "User #:", 2);
    if (u < 0)
        return {};
    const auto after = [](const QString &l) { return l.indexOf(':') < 0 ? QString() : l.mid(l.indexOf(':') + 2); };
    return {after(line(lines, u)), after(line(lines, u + 1))};
}

QString readTariffTotal(const std::string &reply)
{
    const QStringList lines = logLines(reply);
    const qsizetype t = findUp(lines, "Total pulses", 4);
    return t < 0 ? QString() : fromFirstDigit(line(lines, t + 2)).first;
}

HistoryValues readHistory(const std::string &reply)
{
    const QStringList lines = logLines(reply);
    const qsizetype h = findUp(lines, "Hist values", 6);
    if (h < 0)
        return {};
    HistoryValues v;
    v.value = line(lines, h).mid(line(lines, h).indexOf(':') + 1).remove(' ');
    const QString date = line(lines, line(lines, h + 1).contains("T1") ? h + 4 : h + 1);
    const qsizetype slash = date.indexOf('/');
    if (slash < 0 || date.size() < slash + 7)
        return v;
    v.month = date.mid(slash + 1, 3).toLatin1();
    v.year = date.mid(slash + 5, 2).toLatin1();
    return v;
}

int monthIndex(const QByteArray &month)
{
    for (int m = 0; m < 12; ++m)
        if (month == kEnglish[m] || month == kItalian[m] || month == cp1251(QString::fromUtf16(kCyrillic[m])))
            return m + 1;
    return month == "Noe" ? 11 : 0;
}

std::optional<QStringList> readAddresses(const std::string &reply)
{
    const QStringList lines = logLines(reply);
    QStringList out;
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        if (!lines[i].contains(kMarker))
            continue;
        if (lines[i].size() <= kMarker.size())
            break;
        for (const QString &item : lines[i].mid(kMarker.size()).split(',')) {
            const QStringList ends = item.split('-');
            bool lowOk = false, highOk = false;
            const int low = ends.value(0).toInt(&lowOk), high = ends.value(1).toInt(&highOk);
            if (ends.size() == 1)
                out << item;
            else if (lowOk && highOk && high >= low)
                for (int a = low; a <= high; ++a)
                    out << QString::number(a);
        }
        return out;
    }
    const qsizetype at = lines.lastIndexOf(kMarker);
    if (at < 0)
        return std::nullopt;
    return lines.mid(at + 1);
}

mbussim::Display display(const QByteArray &busText, std::vector<mbussim::DisplayFaultOption> faults, std::uint32_t seed)
{
    const mbussim::BusFileResult file = mbussim::parseBusText(busText.toStdString());
    if (!file.ok() || !file.display)
        qFatal("bad test bus: %s", file.error.c_str());
    const std::int64_t still = mbussim::civilSeconds({2026, 3, 14, 9, 5, 0});
    return mbussim::Display(*file.display, seed, std::move(faults), [still] { return still; });
}

} // namespace displaytest

// clang-format off
void TestDisplay::commands_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("reply");  // '|' stands for CR LF
    const QString main = "TEV-K40 display concentrator|Date: %1  Time: %2|Refresh time: %3 s|Sort type: %4|Devices: %5";
    const auto info = [&main](const char *date, const char *time, int refresh, const char *sort, int count) {
        return main.arg(date, time).arg(refresh).arg(sort).arg(count);
    };
    const QString serv = "Service information|Firmware: 3.21|M-Bus: 2400 baud, 2 devices|Last reading: 14/03/26 09:05"
                         "|Sort table: %1|Keys: %2";
    QTest::newRow("address list") << QStringList{} << "GET ADDR" << "Active devices: 5,7";
    QTest::newRow("main info") << QStringList{} << "GET MAIN" << info("14/03/26", "09:05", 4, "1 (by user number)", 2);
    QTest::newRow("service info") << QStringList{} << "GET SERV" << serv.arg("not built", "unlocked");
    QTest::newRow("set date") << QStringList{} << "SET DATE=01/02/27" << "Date set: 01/02/27";
    QTest::newRow("date kept") << QStringList{"SET DATE=29/02/28"} << "GET MAIN"
                               << info("29/02/28", "09:05", 4, "1 (by user number)", 2);
    QTest::newRow("no 30 February") << QStringList{"SET DATE=30/02/26"} << "GET MAIN"
                                    << info("14/03/26", "09:05", 4, "1 (by user number)", 2);
    QTest::newRow("date reply of a bad date") << QStringList{} << "SET DATE=1/2/3/4" << "Error: date wants dd/mm/yy";
    QTest::newRow("time kept") << QStringList{"SET TIME=23:59"} << "GET MAIN"
                               << info("14/03/26", "23:59", 4, "1 (by user number)", 2);
    QTest::newRow("time 24:00") << QStringList{} << "SET TIME=24:00" << "Error: time wants hh:mm";
    QTest::newRow("refresh") << QStringList{} << "SET REFR=06" << "Refresh time: 6 s";
    QTest::newRow("refresh kept") << QStringList{"SET REFR=12"} << "GET MAIN"
                                  << info("14/03/26", "09:05", 12, "1 (by user number)", 2);
    QTest::newRow("refresh 13") << QStringList{} << "SET REFR=13" << "Error: refresh time 4..12 s";
    QTest::newRow("refresh 03") << QStringList{} << "SET REFR=03" << "Error: refresh time 4..12 s";
    QTest::newRow("sort type") << QStringList{} << "SET SRTP=0" << "Sort type: 0 (by address)";
    QTest::newRow("sort type kept") << QStringList{"SET SRTP=0"} << "GET MAIN"
                                    << info("14/03/26", "09:05", 4, "0 (by address)", 2);
    QTest::newRow("sort type 2") << QStringList{} << "SET SRTP=2"
                                 << "Error: sort type 0 (by address) or 1 (by user number)";
    QTest::newRow("sort table") << QStringList{} << "SET SORT" << "Sort table ready: 2 devices";
    QTest::newRow("sort table and lock kept") << QStringList{"SET SORT", "SET LOCK"} << "GET SERV"
                                              << serv.arg("2 devices", "locked");
    QTest::newRow("update readings") << QStringList{} << "SET READ" << "Readings updated: 2 devices";
    QTest::newRow("activate") << QStringList{} << "SET ENTR=9" << "Device 9 Active";
    QTest::newRow("activated") << QStringList{"SET ENTR=9", "SET ENTR=250"} << "GET ADDR" << "Active devices: 5,7,9,250";
    QTest::newRow("activate known") << QStringList{} << "SET ENTR=5" << "Device 5 Already in table";
    QTest::newRow("activate -1") << QStringList{} << "SET ENTR=-1" << "Error: address -1 not in 1..250";
    QTest::newRow("activate 251") << QStringList{} << "SET ENTR=251" << "Error: address 251 not in 1..250";
    QTest::newRow("activate 0") << QStringList{} << "SET ENTR=0" << "Error: address 0 not in 1..250";
    QTest::newRow("activate nothing") << QStringList{} << "SET ENTR=" << "Error: address missing";
    QTest::newRow("activate two") << QStringList{} << "SET ENTR=5,6" << "Error: SET ENTR wants an address";
    QTest::newRow("activate, line end") << QStringList{} << "SET ENTR=8\r\n" << "Device 8 Active";
    QTest::newRow("delete") << QStringList{} << "DEL ENTR=5" << "Device 5 deleted";
    QTest::newRow("deleted") << QStringList{"DEL ENTR=5"} << "GET ADDR" << "Active devices: 7";
    QTest::newRow("deleted, no values") << QStringList{"DEL ENTR=5"} << "GET ENTR=5,1" << "Error: device 5 not in table";
    QTest::newRow("delete unknown") << QStringList{} << "DEL ENTR=9" << "Error: device 9 not in table";
    QTest::newRow("all deleted") << QStringList{"DEL ENTR=5", "DEL ENTR=7"} << "GET ADDR" << "No active devices";
    QTest::newRow("reactivated is fresh") << QStringList{"DEL ENTR=5", "SET ENTR=5"} << "GET ENTR=5,1"
                                          << "Device 5|Total pulses *1/1|Start: 0|Total: 0";
    QTest::newRow("values") << QStringList{} << "GET ENTR=5,1"
                            << "Device 5|Total pulses *10/1|Start: 1234.5 m3|Total: 4567.8 m3";
    QTest::newRow("user") << QStringList{} << "GET ENTR=5,2" << "Device 5|User #: 12|Text: Flat 3";
    QTest::newRow("record 3") << QStringList{} << "GET ENTR=5,3" << "Error: record 1 (values) or 2 (user)";
    QTest::newRow("unit") << QStringList{} << "SET UNIT=5,1" << "Device 5 unit: kWh";
    QTest::newRow("unit kept") << QStringList{"SET UNIT=5,4"} << "GET ENTR=5,1"
                               << "Device 5|Total pulses *10/1|Start: 1234.5 MJ|Total: 4567.8 MJ";
    QTest::newRow("unit empty") << QStringList{} << "SET UNIT=5," << "Error: unit 1..4 (kWh, m3, kJ, MJ)";
    QTest::newRow("unit 5") << QStringList{} << "SET UNIT=5,5" << "Error: unit 1..4 (kWh, m3, kJ, MJ)";
    QTest::newRow("unit by name") << QStringList{} << "SET UNIT=5,m3" << "Error: unit 1..4 (kWh, m3, kJ, MJ)";
    QTest::newRow("mult and div kept") << QStringList{"SET CONM=5,100", "SET COND=5,3"} << "GET ENTR=5,1"
                                       << "Device 5|Total pulses *100/3|Start: 1234.5 m3|Total: 4567.8 m3";
    QTest::newRow("mult of 5 digits") << QStringList{} << "SET CONM=5,12345" << "Error: multiplier of 1..4 digits";
    QTest::newRow("div not a number") << QStringList{} << "SET COND=5,1/2" << "Error: divider of 1..4 digits";
    QTest::newRow("start moves the total") << QStringList{"SET INIT=5,1000"} << "GET ENTR=5,1"
                                           << "Device 5|Total pulses *10/1|Start: 1000 m3|Total: 4333.3 m3";
    QTest::newRow("start keeps its digits") << QStringList{"SET INIT=5,0.250"} << "GET ENTR=5,1"
                                            << "Device 5|Total pulses *10/1|Start: 0.250 m3|Total: 3333.550 m3";
    QTest::newRow("start not a number") << QStringList{} << "SET INIT=5,1.2.3"
                                        << "Error: start value must be a number like 12.5";
    QTest::newRow("start negative") << QStringList{} << "SET INIT=5,-4" << "Error: start value must be a number like 12.5";
    QTest::newRow("pulse 1") << QStringList{"SET INI1=5,0.5"} << "GET TARR=5,0"
                             << "Device 5, pulse input 1|Total pulses *10/1|Start: 0.5 m3|Total: 11.0 m3";
    QTest::newRow("pulse 2") << QStringList{"SET INI2=5,7"} << "GET TARR=5,1"
                             << "Device 5, pulse input 2|Total pulses *10/1|Start: 7 m3|Total: 7.0 m3";
    QTest::newRow("cooling by INI3") << QStringList{"SET INI3=5,1"} << "GET TARR=5,3"
                                     << "Device 5, cooling/T4|Total pulses *10/1|Start: 1 m3|Total: 11.0 m3";
    QTest::newRow("cooling by INI4") << QStringList{"SET INI4=5,2.5"} << "GET TARR=5,3"
                                     << "Device 5, cooling/T4|Total pulses *10/1|Start: 2.5 m3|Total: 12.5 m3";
    QTest::newRow("tariff 2") << QStringList{} << "GET TARR=5,2"
                              << "Error: tariff 0 (pulse input 1), 1 (pulse input 2) or 3 (cooling/T4)";
    QTest::newRow("user number and text kept") << QStringList{"SET NUMB=5,9999", "SET TEXT=5,Hall, left"}
                                               << "GET ENTR=5,2" << "Device 5|User #: 9999|Text: Hall, left";
    QTest::newRow("user number of 5") << QStringList{} << "SET NUMB=5,12345" << "Error: user number of 1..4 characters";
    QTest::newRow("text cut to 20") << QStringList{} << "SET TEXT=5,abcdefghijklmnopqrstuvwxy"
                                    << "Device 5 text: abcdefghijklmnopqrst";
    QTest::newRow("text one space") << QStringList{"SET TEXT=5, "} << "GET ENTR=5,2" << "Device 5|User #: 12|Text:  ";
    QTest::newRow("zero start values") << QStringList{"SET DELP=5,0"} << "GET ENTR=5,1"
                                       << "Device 5|Total pulses *10/1|Start: 0 m3|Total: 3333.3 m3";
    QTest::newRow("zero start, P1") << QStringList{"SET DELP=5,0"} << "GET TARR=5,0"
                                    << "Device 5, pulse input 1|Total pulses *10/1|Start: 0 m3|Total: 10.5 m3";
    QTest::newRow("zero start wants 0") << QStringList{} << "SET DELP=5,1" << "Error: SET DELP wants 0";
    QTest::newRow("value of another device") << QStringList{} << "SET UNIT=9,1" << "Error: device 9 not in table";
    QTest::newRow("history 1") << QStringList{} << "GET HIST=5,1" << "Device 5, record 1|Hist values: 10|Date: 31/Jan/25";
    QTest::newRow("history 2") << QStringList{} << "GET HIST=5,2" << "Device 5, record 2|Hist values: 20|Date: 28/Feb/25";
    QTest::newRow("history gap") << QStringList{} << "GET HIST=5,4" << "Device 5, record 4|Hist values: ---|Date: 00/---/00";
    QTest::newRow("history 12") << QStringList{} << "GET HIST=5,12" << "Device 5, record 12|Hist values: 120|Date: 31/Dec/25";
    QTest::newRow("history beyond") << QStringList{} << "GET HIST=5,13"
                                    << "Device 5, record 13|Hist values: ---|Date: 00/---/00";
    QTest::newRow("history 0") << QStringList{} << "GET HIST=5,0" << "Error: record 1..24";
    QTest::newRow("history 25") << QStringList{} << "GET HIST=5,25" << "Error: record 1..24";
    QTest::newRow("no history yet") << QStringList{} << "GET HIST=7,1" << "Device 7, record 1|Hist values: ---|Date: 00/---/00";
    QTest::newRow("unknown command") << QStringList{} << "GET XXXX" << "Error: unknown command";
    QTest::newRow("lower case") << QStringList{} << "get addr" << "Error: unknown command";
    QTest::newRow("arguments missing") << QStringList{} << "GET HIST" << "Error: GET HIST wants arguments after '='";
    QTest::newRow("arguments too many") << QStringList{} << "GET ADDR=1" << "Error: GET ADDR takes no arguments";
}
// clang-format on

void TestDisplay::commands()
{
    QFETCH(QStringList, before);
    QFETCH(QString, command);
    QFETCH(QString, reply);
    mbussim::Display d = display(kFixture);
    for (const QString &c : before)
        d.execute(c.toStdString());
    QCOMPARE(latin(d.execute(command.toStdString())), latin(expand(reply)));
}

// clang-format off
void TestDisplay::writeThenRead_data()
{
    QTest::addColumn<QByteArray>("model");
    QTest::addColumn<QString>("unit");  // as the master sends it
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("multiplier");
    QTest::addColumn<QString>("divider");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("TEV-K40, m3, KV2") << QByteArray("TEV-K40") << "2" << "123.4" << "10" << "1" << QByteArray("Flat 3");
    QTest::newRow("RUX, kWh") << QByteArray("RUX") << "1" << "0" << "1" << "1" << QByteArray("Heat");
    QTest::newRow("MJ, fine start, Cyrillic text") << QByteArray("TEV-K40") << "4" << "17.125" << "1" << "4"
                                                   << cp1251(QString::fromUtf16(u"Ап. 12"));
    QTest::newRow("kJ, twenty characters") << QByteArray("RUX") << "3" << "999999.9" << "9999" << "9999"
                                           << QByteArray("12345678901234567890");
}
// clang-format on

void TestDisplay::writeThenRead()
{
    // A write run's commands to a new device, then a read run's requests.
    QFETCH(QByteArray, model);
    QFETCH(QString, unit);
    QFETCH(QString, start);
    QFETCH(QString, multiplier);
    QFETCH(QString, divider);
    QFETCH(QByteArray, text);
    mbussim::Display d = display("[display]\nmodel = " + model + "\nentry = 3\n");
    const std::string a = "42";
    const auto send = [&d](const std::string &c) { return d.execute(c); };
    QVERIFY(send("SET ENTR=" + a).find("Active") != std::string::npos);
    for (const std::string &c :
         {"SET UNIT=" + a + "," + unit.toStdString(), "SET CONM=" + a + "," + multiplier.toStdString(),
          "SET COND=" + a + "," + divider.toStdString(), "SET INIT=" + a + "," + start.toStdString(),
          "SET INI1=" + a + ",1.5", "SET INI2=" + a + ",2.5", "SET INI4=" + a + ",3.5", "SET NUMB=" + a + ",77",
          "SET TEXT=" + a + "," + text.toStdString()})
        QVERIFY2(send(c).rfind("Error", 0) != 0, c.c_str());
    QVERIFY(send("SET ENTR=" + a).find("Already") != std::string::npos);

    QCOMPARE(readAddresses(send("GET ADDR")), (QStringList{"3", "42"}));
    const EntryValues e = readEntry(send("GET ENTR=" + a + ",1"));
    static const char *const units[] = {"", "kWh", "m3", "kJ", "MJ"};
    QCOMPARE(e.unit, QString(units[unit.toInt()]));
    QCOMPARE(e.start, start);
    QCOMPARE(e.multDiv, multiplier + "/" + divider);
    QCOMPARE(e.total, start); // nothing counted yet
    QCOMPARE(readUser(send("GET ENTR=" + a + ",2")), (QStringList{"77", QString::fromLatin1(text)}));
    QCOMPARE(readTariffTotal(send("GET TARR=" + a + ",0")), QString("1.5"));
    QCOMPARE(readTariffTotal(send("GET TARR=" + a + ",1")), QString("2.5"));
    QCOMPARE(readTariffTotal(send("GET TARR=" + a + ",3")), QString("3.5"));
    // nothing leaks into the other device
    QCOMPARE(readUser(send("GET ENTR=3,2")), (QStringList{"", ""}));
}

// clang-format off
void TestDisplay::addressList_data()
{
    QTest::addColumn<QList<int>>("addresses");
    QTest::addColumn<QString>("tevLine");  // the TEV-K40's list; empty: not checked
    QList<int> all, odd, everyThird;
    for (int a = 1; a <= 250; ++a) {
        all << a;
        if (a % 2)
            odd << a;
        if (a % 3 == 0 || a % 3 == 1)
            everyThird << a;
    }
    QTest::newRow("one") << QList<int>{7} << "7";
    QTest::newRow("pair") << QList<int>{7, 8} << "7,8";
    QTest::newRow("run of three") << QList<int>{1, 2, 3} << "1-3";
    QTest::newRow("runs and singles") << QList<int>{1, 2, 3, 7, 12, 13, 14, 15, 250} << "1-3,7,12-15,250";
    QTest::newRow("all 250") << all << "1-250";
    QTest::newRow("every odd one") << odd << "";
    QTest::newRow("pairs apart") << everyThird << "";
    QTest::newRow("ends") << QList<int>{1, 250} << "1,250";
}
// clang-format on

void TestDisplay::addressList()
{
    QFETCH(QList<int>, addresses);
    QFETCH(QString, tevLine);
    QStringList expected;
    for (int a : addresses)
        expected << QString::number(a);
    for (const char *model : {"TEV-K40", "RUX"}) {
        mbussim::Display d = display(QByteArray("[display]\nmodel = ") + model + "\n");
        QCOMPARE(latin(d.execute("GET ADDR")), QString("No active devices"));
        QVERIFY(!readAddresses(d.execute("GET ADDR")));
        for (auto it = addresses.rbegin(); it != addresses.rend(); ++it) // in any order
            d.execute("SET ENTR=" + std::to_string(*it));
        const std::string reply = d.execute("GET ADDR");
        QCOMPARE(readAddresses(reply), expected);
        const QStringList lines = latin(reply).split("\r\n");
        if (model == std::string("RUX")) {
            QCOMPARE(lines.first(), kMarker); // alone, then one address a line
            QCOMPARE(lines.size(), expected.size() + 1);
        } else {
            QCOMPARE(lines.size(), 1);
            if (!tevLine.isEmpty())
                QCOMPARE(lines.first(), kMarker + tevLine);
        }
    }
}

void TestDisplay::monthNames()
{
    // Every record month of a year, in each language, reaches the master's month table.
    const struct {
        const char *months;
        std::function<QByteArray(int)> name;
    } languages[] = {
        {"english", [](int m) { return QByteArray(kEnglish[m]); }},
        {"italian", [](int m) { return QByteArray(kItalian[m]); }},
        {"cyrillic", [](int m) { return cp1251(QString::fromUtf16(kCyrillic[m])); }},
    };
    QCOMPARE(cp1251(QString::fromUtf16(kCyrillic[0])), QByteArray::fromHex("DFEDF3"));
    for (const auto &language : languages) {
        for (const bool tariffs : {false, true}) {
            mbussim::Display d = display(QByteArray("[display]\nmonths = ") + language.months + "\ntariff-lines = "
                                         + (tariffs ? "yes" : "no") + "\nentry = 9\nhistory = 9, 2025-11, "
                                         + "1 2 3 4 5 6 7 8 9 10 11 12.5/1/2/3\n");
            for (int k = 1; k <= 12; ++k) {
                const std::string reply = d.execute("GET HIST=9," + std::to_string(k));
                const HistoryValues h = readHistory(reply);
                const int month = (10 + k - 1) % 12; // record 1 is November
                QCOMPARE(h.month, language.name(month));
                QCOMPARE(monthIndex(h.month), month + 1);
                QCOMPARE(h.year, QByteArray(k <= 2 ? "25" : "26"));
                QCOMPARE(h.value, k == 12 ? QString("12.5") : QString::number(k));
                QCOMPARE(latin(reply).contains("T3: "), tariffs);
            }
            QCOMPARE(latin(d.execute("GET HIST=9,12")).contains("T3: 3"), tariffs);
        }
    }
}

// clang-format off
void TestDisplay::oneMonthRecord_data()
{
    QTest::addColumn<QString>("first");   // month of record 1
    QTest::addColumn<int>("wanted");      // the month asked for
    QTest::addColumn<int>("record");      // the record the master asks for next
    QTest::newRow("Jan, then Mar") << "2025-01" << 3 << 3;
    QTest::newRow("May, then Mar") << "2025-05" << 3 << 11;
    QTest::newRow("Dec, then Jan") << "2024-12" << 1 << 2;
    QTest::newRow("Feb, then Jan") << "2025-02" << 1 << 12;
    QTest::newRow("Mar, then Mar") << "2025-03" << 3 << 1;
}
// clang-format on

void TestDisplay::oneMonthRecord()
{
    // The master reads record 1, works out which record holds the month it wants
    // and asks for it: that record must be from that month.
    QFETCH(QString, first);
    QFETCH(int, wanted);
    QFETCH(int, record);
    mbussim::Display d = display("[display]\nentry = 4\nhistory = 4, " + first.toLatin1()
                                 + ", 1 2 3 4 5 6 7 8 9 10 11 12\n");
    const int m1 = monthIndex(readHistory(d.execute("GET HIST=4,1")).month);
    QVERIFY(m1 > 0);
    const int k = m1 == wanted ? 1 : m1 < wanted ? wanted - m1 + 1 : wanted - m1 + 13;
    QCOMPARE(k, record);
    const HistoryValues h = readHistory(d.execute("GET HIST=4," + std::to_string(k)));
    QCOMPARE(monthIndex(h.month), wanted);
    QCOMPARE(h.value, QString::number(k));
}

void TestDisplay::randomCommands()
{
    // Random commands and random bytes: no crash, no overlong command, and the table stays a table.
    mbussim::Display d = display(kFixture, {{mbussim::DisplayFault::Garbage, 10, -1}}, 11);
    std::mt19937 random(5);
    const char *const names[] = {"GET ADDR", "GET MAIN", "SET ENTR", "DEL ENTR", "SET INIT", "SET TEXT", "GET HIST",
                                 "GET ENTR", "SET NUMB", "SET DATE", "SET TIME", "SET CONM", "GET TARR", "SET DELP"};
    const char *const args[] = {"",
                                "=",
                                "=5",
                                "=250",
                                "=251",
                                "=-1",
                                "=5,",
                                "=5,1",
                                "=5,2",
                                "=5,3",
                                "=5,99999999999999999999",
                                "=1,2,3",
                                "=99/99/99",
                                "=12:61",
                                "=5,1.5",
                                "=00/00/00",
                                "=5,\xDF\xED",
                                "=18446744073709551616"};
    for (int i = 0; i < 20000; ++i) {
        std::string command;
        if (i % 4 == 0) {
            const std::size_t size = std::uniform_int_distribution<std::size_t>(0, 400)(random);
            for (std::size_t b = 0; b < size; ++b)
                command += char(std::uniform_int_distribution<int>(0, 255)(random));
        } else {
            command = std::string(names[random() % std::size(names)]) + args[random() % std::size(args)];
        }
        const mbussim::DisplayReply reply = d.answer(command);
        QVERIFY(reply.text.size() < 2000);
    }
    // the same bytes on a line shared with frames, and on a gateway connection
    mbussim::CommandSplitter line, gateway;
    mbussim::Framer framer;
    mbussim::gateway::Assembler assembler;
    for (int i = 0; i < 3000; ++i) {
        mbussim::Bytes chunk(std::uniform_int_distribution<std::size_t>(0, 700)(random));
        for (auto &b : chunk)
            b = std::uint8_t(random() % 3 ? "GSD\x10\x68\xE5\x01"[random() % 7] : random());
        line.push(chunk, framer);
        gateway.push(chunk, assembler);
        if (i % 5 == 0) {
            QVERIFY(line.endCommand().text.size() <= mbussim::CommandSplitter::kMaxCommand);
            QVERIFY(gateway.endCommand().text.size() <= mbussim::CommandSplitter::kMaxCommand);
        }
        QVERIFY(assembler.pending() < 300);
    }

    const std::optional<QStringList> list = readAddresses(d.execute("GET ADDR"));
    QVERIFY(d.state().entries.size() <= 250);
    if (list) {
        QCOMPARE(list->size(), qsizetype(d.state().entries.size()));
        for (qsizetype i = 1; i < list->size(); ++i)
            QVERIFY(list->at(i - 1).toInt() < list->at(i).toInt());
    }
}
