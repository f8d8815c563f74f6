// The display's commands and reply parsers: command texts exactly, the
// values taken from each reply by its marker and line positions, every month
// spelling, the one-month record arithmetic, and no crash or runaway on
// whatever a peer sends.

#include "display/commands.h"
#include "display/display_table.h"
#include "display/parsers.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace display;

class TstDisplayText : public QObject {
    Q_OBJECT
private slots:
    void commands_data();
    void commands();
    void values_data();
    void values();
    void addressList_data();
    void addressList();
    void entryAndUser_data();
    void entryAndUser();
    void history_data();
    void history();
    void monthRecords_data();
    void monthRecords();
    void historySort();
    void randomReplies();
};

void TstDisplayText::commands_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("activate") << command("SET ENTR", {"7"}) << QByteArray("SET ENTR=7");
    QTest::newRow("unit, empty code") << command("SET UNIT", {"5", ""}) << QByteArray("SET UNIT=5,");
    QTest::newRow("start value") << command("SET INIT", {"7", "12.5"}) << QByteArray("SET INIT=7,12.5");
    QTest::newRow("Cyrillic text") << command("SET TEXT", {"3", QString::fromUtf8("Ап")})
                                   << QByteArray("SET TEXT=3,\xC0\xEF");
    QTest::newRow("date") << dateCommand(QDate(2013, 3, 14)) << QByteArray("SET DATE=14/03/13");
    QTest::newRow("time") << timeCommand(QTime(9, 5)) << QByteArray("SET TIME=09:05");
    QTest::newRow("refresh 4") << refreshCommand("4").value_or("-") << QByteArray("SET REFR=04");
    QTest::newRow("refresh 12") << refreshCommand("12").value_or("-") << QByteArray("SET REFR=12");
    QTest::newRow("refresh 3 refused") << refreshCommand("3").value_or("-") << QByteArray("-");
    QTest::newRow("refresh 13 refused") << refreshCommand("13").value_or("-") << QByteArray("-");
    QTest::newRow("refresh text refused") << refreshCommand("x").value_or("-") << QByteArray("-");
}

void TstDisplayText::commands()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built, expected);
}

// clang-format off
void TstDisplayText::values_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected"); // "-" for refused
    QTest::newRow("unit kWh") << "unit" << "kWh" << "1";
    QTest::newRow("unit m3 with a blank") << "unit" << "m3 " << "2";
    QTest::newRow("unit MJ") << "unit" << "MJ" << "4";
    QTest::newRow("unit empty") << "unit" << "" << "";
    QTest::newRow("unit GJ refused") << "unit" << "GJ" << "-";
    QTest::newRow("start 12,5") << "start" << "12,5" << "12.5";
    QTest::newRow("start empty skipped") << "start" << "" << "-";
    QTest::newRow("start 0 typed") << "start" << "0" << "0";
    QTest::newRow("start 1,2,3 skipped") << "start" << "1,2,3" << "-";
    QTest::newRow("start text skipped") << "start" << "abc" << "-";
    QTest::newRow("start inf skipped") << "start" << "inf" << "-";
    QTest::newRow("split empty") << "split" << "" << "1|1";
    QTest::newRow("split 10/") << "split" << "10/" << "10|1";
    QTest::newRow("split /4") << "split" << "/4" << "1|4";
    QTest::newRow("split /") << "split" << "/" << "1|1";
    QTest::newRow("split 2/5/7") << "split" << "2/5/7" << "2|5/7";
    QTest::newRow("split 3") << "split" << "3" << "3|1";
    QTest::newRow("text 25 characters") << "text" << QString(25, u'a') << QString(20, u'a');
    QTest::newRow("text empty") << "text" << "" << " ";
    QTest::newRow("address 250") << "address" << "250" << "250";
    QTest::newRow("address 251") << "address" << "251" << "-";
    QTest::newRow("address 0") << "address" << "0" << "-";
    QTest::newRow("address 4000000000") << "address" << "4000000000" << "-";
}
// clang-format on

void TstDisplayText::values()
{
    QFETCH(QString, kind);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QString actual;
    if (kind == QLatin1String("unit")) {
        actual = unitCode(input).value_or(QStringLiteral("-"));
    } else if (kind == QLatin1String("start")) {
        actual = startValue(input).value_or(QStringLiteral("-"));
    } else if (kind == QLatin1String("split")) {
        const MultDiv s = splitMultDiv(input);
        actual = s.multiplier + u'|' + s.divider;
    } else if (kind == QLatin1String("text")) {
        actual = freeText(input);
    } else {
        const auto a = deviceAddress(input);
        actual = a ? QString::number(*a) : QStringLiteral("-");
    }
    QCOMPARE(actual, expected);
}

void TstDisplayText::addressList_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QStringList>("addresses");
    QTest::newRow("ranges, reversed one dropped")
        << QByteArray("Active devices: 1-3,7,10-9,12\r\n") << true << QStringList{"1", "2", "3", "7", "12"};
    QTest::newRow("older format") << QByteArray("Active devices: \r\n4\r\n9\r\n") << true << QStringList{"4", "9"};
    QTest::newRow("huge range is cut to 250") << QByteArray("Active devices: 1-4000000000") << true << [] {
        QStringList l;
        for (int a = 1; a <= 250; ++a)
            l << QString::number(a);
        return l;
    }();
    QTest::newRow("outside 1..250 passed over")
        << QByteArray("Active devices: 0,251,5,abc") << true << QStringList{"5"};
    QTest::newRow("range past the end") << QByteArray("Active devices: 248-300") << true
                                        << QStringList{"248", "249", "250"};
    QTest::newRow("text before the marker line")
        << QByteArray("TEV-K40\r\nActive devices: 2") << true << QStringList{"2"};
    QTest::newRow("no marker") << QByteArray("Active: 1-3") << false << QStringList();
    QTest::newRow("nothing") << QByteArray() << false << QStringList();
}

void TstDisplayText::addressList()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, found);
    QFETCH(QStringList, addresses);
    const AddressList list = parseAddressList(reply);
    QCOMPARE(list.found, found);
    QCOMPARE(list.addresses, addresses);
}

// clang-format off
void TstDisplayText::entryAndUser_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("expected"); // mult|start|unit|total, user number|text, or tariff; "-" none
    QTest::addColumn<QString>("parser");
    QTest::newRow("entry") << QByteArray("Total pulses *10/1\r\n1234.5 m3\r\nTotal 4567.8\r\n") << "10/1|1234.5|m3|4567.8"
                           << "entry";
    QTest::newRow("entry after other lines") << QByteArray("Device 5\r\nTotal pulses *1/1\r\n12 kWh\r\nTotal 99")
                                             << "1/1|12|kWh|99" << "entry";
    QTest::newRow("entry without a unit") << QByteArray("Total pulses *1/1\r\n123\r\nTotal 99") << "1/1|123||99" << "entry";
    QTest::newRow("entry lines too short") << QByteArray("Total pulses *5\r\nab\r\nxy") << "5|||" << "entry";
    QTest::newRow("entry missing lines") << QByteArray("Total pulses") << "|||" << "entry";
    QTest::newRow("entry marker too far up")
        << QByteArray("Total pulses *1/1\r\n1\r\n2\r\n3\r\n4\r\n") << "-" << "entry";
    QTest::newRow("user") << QByteArray("User #: 12\r\nText: Flat 3\r\n") << "12|Flat 3" << "user";
    QTest::newRow("user without text") << QByteArray("User #: 12") << "12|" << "user";
    QTest::newRow("no user marker") << QByteArray("User: 12\r\nText: x") << "-" << "user";
    QTest::newRow("tariff") << QByteArray("Total pulses\r\nStart: 1.5 m3\r\nTotal 12.5 m3") << "1.5|12.5" << "tariff";
    QTest::newRow("tariff without a start") << QByteArray("Total pulses\r\nIn\r\nTotal 12.5 m3") << "|12.5" << "tariff";
    QTest::newRow("tariff short") << QByteArray("Total pulses\r\nInput 1") << "-" << "tariff";
}
// clang-format on

void TstDisplayText::entryAndUser()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, expected);
    QFETCH(QString, parser);
    QString actual = QStringLiteral("-");
    if (parser == QLatin1String("entry")) {
        if (const auto e = parseEntry(reply))
            actual = e->multDiv + u'|' + e->start + u'|' + e->unit + u'|' + e->total;
    } else if (parser == QLatin1String("user")) {
        if (const auto u = parseUser(reply))
            actual = u->number + u'|' + u->text;
    } else if (const auto t = parseTariff(reply)) {
        actual = t->start + u'|' + t->total;
    }
    QCOMPARE(actual, expected);
}

// clang-format off
void TstDisplayText::history_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("column"); // -1: no record, -2: an empty record
    QTest::newRow("March") << QByteArray("Hist values: 12 3.4\r\n 01/Mar/26\r\n") << "123.4" << 12;
    QTest::newRow("with T1..T3 lines") << QByteArray("Hist values: 5\r\nT1 1\r\nT2 2\r\nT3 3\r\n 01/Nov/25") << "5" << 20;
    QTest::newRow("three spaces are December") << QByteArray("Hist values: 7\r\n01/   /13") << "7" << 21;
    QTest::newRow("year 00 is empty") << QByteArray("Hist values: 7\r\n01/Jan/00") << "7" << -2;
    QTest::newRow("Noe is November") << QByteArray("Hist values: 1\r\n01/Noe/24") << "1" << 20;
    QTest::newRow("JAN lands nowhere") << QByteArray("Hist values: 1\r\n01/JAN/24") << "1" << 0;
    QTest::newRow("Cyrillic") << QByteArray("Hist values: 1\r\n01/\xDF\xED\xF3/24") << "1" << 10;
    QTest::newRow("Italian") << QByteArray("Hist values: 1\r\n01/Dic/24") << "1" << 21;
    QTest::newRow("date line too short") << QByteArray("Hist values: 1\r\n01/Ja") << "" << -1;
    QTest::newRow("one line only") << QByteArray("Hist values: 1") << "" << -1;
    QTest::newRow("no marker") << QByteArray("Values: 1\r\n01/Jan/24") << "" << -1;
}
// clang-format on

void TstDisplayText::history()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, value);
    QFETCH(int, column);
    const auto record = parseHistory(reply);
    if (column == -1) {
        QVERIFY(!record);
        return;
    }
    QVERIFY(record);
    QCOMPARE(record->value, value);
    if (column == -2)
        QVERIFY(record->empty);
    else
        QCOMPARE(record->column, column);
}

// clang-format off
void TstDisplayText::monthRecords_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<int>("record");
    QTest::newRow("Mar after Jan") << "Jan" << "Mar" << 3;
    QTest::newRow("Mar after May") << "May" << "Mar" << 11;
    QTest::newRow("same month") << "Apr" << "Apr" << 1;
    QTest::newRow("Dec after Jan") << "Jan" << "Dec" << 12;
    QTest::newRow("Jan after Dec") << "Dec" << "Jan" << 2;
}
// clang-format on

void TstDisplayText::monthRecords()
{
    QFETCH(QString, first);
    QFETCH(QString, wanted);
    QFETCH(int, record);
    QCOMPARE(historyRecordFor(monthColumn(first), monthColumn(wanted)), record);
}

// Sorted rows first, rows without a key after them in their order.
void TstDisplayText::historySort()
{
    Table history(HistColumns);
    const auto row = [](const QString &address, const QString &user) {
        QStringList r(HistColumns, QString());
        r[HistAddress] = address;
        r[HistUserNumber] = user;
        return r;
    };
    history.setRows({row("7", "3"), row("", "1"), row("2", "x"), row("300", "2")});
    const auto addresses = [](const std::vector<QStringList> &rows) {
        QStringList out;
        for (const QStringList &r : rows)
            out << r[HistAddress];
        return out;
    };
    QCOMPARE(addresses(sortedHistory(history, false)), QStringList({"2", "7", "", "300"}));
    QCOMPARE(addresses(sortedHistory(history, true)), QStringList({"", "300", "7", "2"}));
}

void TstDisplayText::randomReplies()
{
    QRandomGenerator random(6);
    const QByteArrayList pieces{"Active devices: ",
                                "Total pulses",
                                "User #:",
                                "Hist values",
                                "*",
                                "/",
                                "-",
                                ",",
                                "\r\n",
                                "\n",
                                "T1",
                                " ",
                                "9999999999",
                                "Jan",
                                QByteArray(1, '\0')};
    for (int i = 0; i < 3000; ++i) {
        QByteArray reply;
        const int n = random.bounded(30);
        for (int k = 0; k < n; ++k)
            reply += random.bounded(3) ? pieces[random.bounded(int(pieces.size()))]
                                       : QByteArray(1, char(random.bounded(256)));
        QVERIFY(parseAddressList(reply).addresses.size() <= 250);
        parseEntry(reply);
        parseUser(reply);
        parseTariff(reply);
        parseHistory(reply);
    }
    // A megabyte on one line.
    QVERIFY(parseAddressList("Active devices: " + QByteArray(1024 * 1024, '1')).addresses.isEmpty());
}

QTEST_GUILESS_MAIN(TstDisplayText)
#include "tst_display_text.moc"
