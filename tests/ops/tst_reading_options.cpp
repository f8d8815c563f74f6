// The two reading options of the operations: "Complete reply early" (a whole
// frame ends the wait of whatever response timer runs) and "Read all
// telegrams" (DIF 1F asks for the next telegram with the frame count bit
// toggled), and the search restricted by a digit pattern. On the simulated
// bus in-process; the timing on real links is in tst_fast_link.

#include "ops_rig.h"

#include "decode/telegrams.h"

#include <QElapsedTimer>

namespace {

// A three-telegram meter at 10 (records 1..6 in pairs) and one at 11 that
// never stops announcing more.
const char kMultiBus[] = R"(
[meter]
address = 10
id = 10101010
manufacturer = ABC
medium = water
telegrams = 3
record = 0C13 01000000
record = 0C13 02000000
record = 0C13 03000000
record = 0C13 04000000
record = 0C13 05000000
record = 0C13 06000000
[meter]
address = 11
id = 11111111
manufacturer = ABC
medium = water
telegrams = endless
record = 0C13 07000000
[meter]
address = 12
id = 12121212
manufacturer = ABC
medium = water
record = 0C13 08000000
)";

// Ten meters whose IDs differ in the last digit only, at addresses 21..30.
QByteArray tenMeters()
{
    QByteArray text;
    for (int i = 0; i < 10; ++i)
        text += "[meter]\naddress = " + QByteArray::number(i + 21) + "\nid = 2020202" + QByteArray::number(i)
                + "\nmanufacturer = ABC\nmedium = water\nrecord = 0C13 0" + QByteArray::number(i) + "000000\n";
    return text;
}

void setTimers(OpsRig &rig, int ms)
{
    rig.options.responseTimeoutMs = ms;
}

QStringList readsOf(const SimLink &link, const QString &addressHex)
{
    QStringList out;
    for (const QString &frame : link.sent)
        if (frame.startsWith(QLatin1String("10 ")) && frame.mid(6, 2) == addressHex && frame.mid(3, 2) != "40")
            out << frame.mid(3, 2);
    return out;
}

int respondLines(const QStringList &log)
{
    return int(std::count_if(log.begin(), log.end(), [](const QString &l) { return l.startsWith("Respond: "); }));
}

} // namespace

class TstReadingOptions : public QObject {
    Q_OBJECT
private slots:
    void completeRepliesEndTheWait_data();
    void completeRepliesEndTheWait();
    void withoutTheOptionTheTimeoutRuns();
    void allTelegrams_data();
    void allTelegrams();
    void fullReportOfEveryTelegram();
    void scanAndSearchFollowTelegrams();
    void searchPattern_data();
    void searchPattern();
};

// With the timers at a minute, only early completion lets these end within
// seconds; every meter answers, so no wait has to run out.
// clang-format off
void TstReadingOptions::completeRepliesEndTheWait_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("read selected") << "read";
    QTest::newRow("read all") << "read-all";
    QTest::newRow("scan") << "scan";
    QTest::newRow("search, every pattern answered") << "search";
    QTest::newRow("address by ID: select, write, read, end") << "address";
    QTest::newRow("read all telegrams") << "telegrams";
}
// clang-format on

void TstReadingOptions::completeRepliesEndTheWait()
{
    QFETCH(QString, operation);
    const QByteArray bus = tenMeters() + kMultiBus;
    OpsRig rig(bus.constData());
    setTimers(rig, 60000);
    rig.options.fastReads = true;
    rig.options.allTelegrams = operation == QLatin1String("telegrams");
    if (operation == QLatin1String("read")) {
        rig.session.showSelectedMeter({"20202023", decode::TableAddress::fromText("24")});
        rig.commands.readSelected(false);
    } else if (operation == QLatin1String("read-all")) {
        rig.table.setRows({{"", "21"}, {"", "22"}, {"", "23"}});
        rig.readAllOp.start();
    } else if (operation == QLatin1String("scan")) {
        rig.scan.start(21, 30);
    } else if (operation == QLatin1String("search")) {
        rig.search.startWildcard(true, {2, 0, 2, 0, 2, 0, 2, 15});
    } else if (operation == QLatin1String("address")) {
        rig.session.showSelectedMeter({"20202025", {}});
        rig.commands.setPrimaryAddress(99, true); // a free address is proved by silence: not asked here
    } else {
        rig.session.showSelectedMeter({"10101010", decode::TableAddress::fromText("10")});
        rig.commands.readSelected(false);
    }
    QVERIFY(rig.session.busy());
    QVERIFY2(rig.idle(20000), qPrintable(rig.log.lines.join(u'\n')));
    QVERIFY(!rig.log.lines.filter(QStringLiteral("Respond: ")).isEmpty());
    if (operation == QLatin1String("scan"))
        QCOMPARE(rig.table.rowCount(), 10);
    if (operation == QLatin1String("search"))
        QCOMPARE(rig.table.rowCount(), 10);
    if (operation == QLatin1String("address"))
        QCOMPARE(rig.meter("20202025")->address(), 99);
    if (operation == QLatin1String("telegrams"))
        QCOMPARE(readsOf(rig.link, "0A"), QStringList({"7B", "5B", "7B"}));
}

// Off (the default): the reply is in the link at once, yet it is taken only
// when the response timer runs out.
void TstReadingOptions::withoutTheOptionTheTimeoutRuns()
{
    OpsRig rig(kMultiBus);
    setTimers(rig, 400);
    rig.options.fastReads = false;
    rig.session.showSelectedMeter({"12121212", decode::TableAddress::fromText("12")});
    QElapsedTimer clock;
    clock.start();
    rig.commands.readSelected(false);
    QVERIFY(rig.idle(5000));
    QVERIFY2(clock.elapsed() >= 400, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(respondLines(rig.log.lines), 1);
    QVERIFY(rig.link.replyComplete == nullptr); // the link is not even asked to watch
    // The reading starts at the meter's first telegram.
    QCOMPARE(rig.link.sent, QStringList({"10 40 0C 4C 16", "10 7B 0C 87 16"}));
}

// clang-format off
void TstReadingOptions::allTelegrams_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("retries");
    QTest::addColumn<bool>("loseSecond"); // the second telegram's answer is lost once
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("logLine");

    const QStringList all{"0.001", "0.002", "0.003", "0.004", "0.005", "0.006"};
    QTest::newRow("off: the first telegram only")
        << false << "10" << 1 << false << QStringList{"7B"} << QStringList{"0.001", "0.002", ""} << "";
    QTest::newRow("on: three telegrams, the bit toggled")
        << true << "10" << 1 << false << QStringList{"7B", "5B", "7B"} << all << "";
    QTest::newRow("on: a lost telegram is asked for with the same bit")
        << true << "10" << 1 << true << QStringList{"7B", "5B", "5B", "7B"} << all << "";
    QTest::newRow("on, no retries: the reading ends with what came")
        << true << "10" << 0 << true << QStringList{"7B", "5B"} << QStringList{"0.001", "0.002", ""}
        << "Telegram 2 did not arrive, the reading holds the first 1...";
    QTest::newRow("on: a single-telegram meter is read once")
        << true << "12" << 1 << false << QStringList{"7B"} << QStringList{"0.008"} << "";
    // Every telegram of this meter holds the same records: telegram 1 again is
    // asked past once (retries 1), then the reading ends incomplete.
    QTest::newRow("on: a meter that repeats its records is read once")
        << true << "11" << 1 << false << QStringList{"7B", "5B", "5B"} << QStringList()
        << "Telegram 1 came again, the reading holds the first 1...";
}
// clang-format on

void TstReadingOptions::allTelegrams()
{
    QFETCH(bool, on);
    QFETCH(QString, address);
    QFETCH(int, retries);
    QFETCH(bool, loseSecond);
    QFETCH(QStringList, requests);
    QFETCH(QStringList, values);
    QFETCH(QString, logLine);
    OpsRig rig(kMultiBus);
    rig.options.allTelegrams = on;
    rig.options.retries = retries;
    QList<QByteArrayList> readings;
    connect(&rig.session, &BusSession::readingDecoded, this, [&readings](const QByteArrayList &t) { readings << t; });
    rig.session.showSelectedMeter({"", decode::TableAddress::fromText(address.toStdString())});
    if (loseSecond) // SND_NKE, telegram 1, then telegram 2 is lost
        rig.link.dropNth.insert(address.toInt(), 3);
    rig.commands.readSelected(false);
    QVERIFY(rig.idle());
    QCOMPARE(readsOf(rig.link, QStringLiteral("%1").arg(address.toInt(), 2, 16, QChar(u'0')).toUpper()), requests);
    QCOMPARE(readings.size(), 1);
    if (!values.isEmpty()) {
        decode::DecodeOptions options;
        std::vector<mbus::ByteView> views;
        for (const QByteArray &t : std::as_const(readings.first()))
            views.emplace_back(reinterpret_cast<const std::uint8_t *>(t.constData()), std::size_t(t.size()));
        const decode::DecodeResult r = decode::decodeReplies(views, options);
        QStringList got;
        for (const decode::WorkRow &row : r.rows)
            if (!row[decode::ColNumber].empty())
                got << QString::fromStdString(row[decode::ColValue]).trimmed();
        QCOMPARE(got, values);
    } else {
        QCOMPARE(readings.first().size(), 1);
    }
    if (!logLine.isEmpty())
        QVERIFY2(rig.log.lines.contains(logLine), qPrintable(rig.log.lines.join(u'\n')));
}

void TstReadingOptions::fullReportOfEveryTelegram()
{
    OpsRig rig(kMultiBus);
    rig.options.allTelegrams = true;
    QStringList report;
    connect(&rig.session, &BusSession::reportReady, this, [&report](const QStringList &lines) { report = lines; });
    rig.session.showSelectedMeter({"10101010", decode::TableAddress::fromText("10")});
    rig.commands.readSelected(true);
    QVERIFY(rig.idle());
    QCOMPARE(report.filter(QStringLiteral("DIF,DIFE=")).size(), 6);
    QVERIFY(report.filter(QStringLiteral("Manufacturer specific")).isEmpty());
    QCOMPARE(respondLines(rig.log.lines), 3);
}

// The scan walks on after a meter's last telegram; the search reads the
// selected meter's telegrams at 253.
void TstReadingOptions::scanAndSearchFollowTelegrams()
{
    OpsRig rig(kMultiBus);
    rig.options.allTelegrams = true;
    rig.options.retries = 0;
    rig.scan.start(9, 12);
    QVERIFY(rig.idle());
    QCOMPARE(rig.column(decode::kIdColumn), QStringList({"10101010", "11111111", "12121212"}));
    QCOMPARE(readsOf(rig.link, "0A"), QStringList({"7B", "5B", "7B"}));
    QCOMPARE(readsOf(rig.link, "0B").size(), 2);

    OpsRig search(kMultiBus);
    search.options.allTelegrams = true;
    search.search.startWildcard(true, {1, 0, 1, 0, 1, 0, 1, 15});
    QVERIFY(search.idle());
    QCOMPARE(search.column(decode::kIdColumn), QStringList({"10101010"}));
    QCOMPARE(readsOf(search.link, "FD"), QStringList({"7B", "5B", "7B"}));
}

// clang-format off
void TstReadingOptions::searchPattern_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("lsb");
    QTest::addColumn<QStringList>("checked"); // the first "Checking" patterns
    QTest::addColumn<QStringList>("found");
    QTest::newRow("leading digits fixed") << "2020202F" << false
                                          << QStringList{"2020202F", "20202020", "20202021", "20202022"}
                                          << QStringList{"20202020", "20202021", "20202022", "20202023", "20202024",
                                                         "20202025", "20202026", "20202027", "20202028", "20202029"};
    QTest::newRow("a fixed digit between open ones, from the left")
        << "1F1FFFFF" << false << QStringList{"1F1FFFFF", "101FFFFF", "111FFFFF", "121FFFFF"}
        << QStringList{"10101010", "11111111", "12121212"};
    QTest::newRow("from the right, fixed digits skipped")
        << "FFFFFF1F" << true << QStringList{"FFFFFF1F", "FFFFFF10", "FFFFFF11", "FFFFFF12"}
        << QStringList{"10101010", "11111111", "12121212"};
    QTest::newRow("nothing open: no selection at all") << "12121212" << false << QStringList() << QStringList();
}
// clang-format on

void TstReadingOptions::searchPattern()
{
    QFETCH(QString, pattern);
    QFETCH(bool, lsb);
    QFETCH(QStringList, checked);
    QFETCH(QStringList, found);
    const QByteArray bus = tenMeters() + kMultiBus;
    OpsRig rig(bus.constData());
    rig.options.lsbSearch = lsb;
    rig.options.retries = 0;
    std::array<std::uint8_t, 8> digits{};
    for (int i = 0; i < 8; ++i)
        digits[std::size_t(i)] = pattern.at(i) == u'F' ? 15 : std::uint8_t(pattern.at(i).unicode() - u'0');
    rig.search.startWildcard(true, digits);
    QVERIFY(rig.idle(20000));
    QStringList checks;
    for (const QString &line : std::as_const(rig.log.lines))
        if (line.startsWith(QLatin1String("Checking ")))
            checks << line.mid(9, 8);
    QCOMPARE(checks.mid(0, checked.size()), checked);
    for (const QString &c : std::as_const(checks))
        for (int i = 0; i < 8; ++i)
            if (pattern.at(i) != u'F')
                QCOMPARE(c.at(i), pattern.at(i)); // a given digit never changes
    QStringList ids = rig.column(decode::kIdColumn);
    ids.sort();
    QCOMPARE(ids, found);
}

QTEST_GUILESS_MAIN(TstReadingOptions)
#include "tst_reading_options.moc"
