// The operations that walk the bus, tick by tick on a simulated bus: which
// frames go out in which order, what the table and the log show afterwards,
// retries, stops, and one operation at a time.

#include "ops_rig.h"

#include "mbus/conversions.h"
#include "mbus/frames.h"

namespace {

// The short frames as the standard has them: 10 C A CS 16, CS = C + A.
QString shortFrame(int c, int address)
{
    const auto byte = [](int b) { return QStringLiteral("%1").arg(b & 0xFF, 2, 16, QChar(u'0')).toUpper(); };
    return QStringLiteral("10 %1 %2 %3 16").arg(byte(c), byte(address), byte(c + address));
}
QString req(int address)
{
    return shortFrame(0x7B, address);
}
QString nke(int address)
{
    return shortFrame(0x40, address);
}

// Fills the table with a scan of 1..5 and waits for its end.
bool scanned(OpsRig &rig)
{
    rig.scan.start(1, 5);
    return rig.idle() && rig.table.rowCount() == 3;
}

} // namespace

class TstOps : public QObject {
    Q_OBJECT
private slots:
    void scan_data();
    void scan();
    void stopEndsScanAtOnce();
    void lastAnswerAsksNothingMore();
    void globalInitialization();
    void commands_data();
    void commands();
    void readAll_data();
    void readAll();
    void autoAddressing_data();
    void autoAddressing();
    void oneOperationAtATime();
    void stopClearsPendingFlags();
    void badRepliesLeaveTable_data();
    void badRepliesLeaveTable();
    void replyRule_data();
    void replyRule();
};

void TstOps::scan_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("retries");
    QTest::addColumn<int>("corrupt"); // address whose first reply is damaged, 0 for none
    QTest::addColumn<QStringList>("found");
    QTest::addColumn<int>("requests");

    const QStringList all{"1", "2", "5"};
    // 5 drops its first answer: on a bus that has lost nothing else its
    // silence is trusted, whatever the retries.
    QTest::newRow("silence on a clean bus is not asked again") << 0 << 6 << 1 << 0 << QStringList{"1", "2"} << 7;
    QTest::newRow("retries 0 misses it") << 0 << 6 << 0 << 0 << QStringList{"1", "2"} << 7;
    QTest::newRow("range given backwards") << 6 << 0 << 1 << 0 << QStringList{"1", "2"} << 7;
    QTest::newRow("one address") << 2 << 2 << 1 << 0 << QStringList{"2"} << 1;
    // 2 damaged once: asked again; 3, 4, 5, 6 asked twice from there on
    // (5 found so), and 0 twice more at the end.
    QTest::newRow("corrupted reply asked again") << 0 << 6 << 1 << 2 << all << 14;
    QTest::newRow("corrupted reply, no retries") << 1 << 2 << 0 << 2 << QStringList{"1"} << 2;
}

void TstOps::scan()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, retries);
    QFETCH(int, corrupt);
    QFETCH(QStringList, found);
    QFETCH(int, requests);
    OpsRig rig(kThreeMeters);
    rig.options.retries = retries;
    rig.link.dropOnce.insert(5);
    if (corrupt)
        rig.link.corruptOnce.insert(corrupt);
    QList<int> progress;
    connect(&rig.scan, &PrimaryScan::progressChanged, this,
            [&](int, int maximum, int value, bool visible) { progress << (visible ? value : -1) << maximum; });

    rig.scan.start(from, to);
    QVERIFY(rig.scan.running());
    QVERIFY(rig.idle());
    QCOMPARE(rig.column(decode::kAddressColumn), found);
    QCOMPARE(rig.link.sent.size(), requests);
    QCOMPARE(rig.link.begins, 1);
    QCOMPARE(rig.link.ends, 1);
    QVERIFY(!rig.scan.running());
    // The bar walks to last - first and is hidden at the end.
    QCOMPARE(progress.mid(progress.size() - 4, 2), QList<int>({std::abs(to - from), std::abs(to - from)}));
    QCOMPARE(progress.last(2).first(), -1);
    QCOMPARE(rig.log.lines.contains(QStringLiteral("Reading device 2")), corrupt == 2 && retries > 0);
}

void TstOps::stopEndsScanAtOnce()
{
    OpsRig rig(kThreeMeters);
    rig.options.sendNkeFirst = true;
    rig.scan.start(0, 250);
    QTRY_VERIFY(rig.link.sent.size() >= 4);
    QCOMPARE(rig.link.sent.mid(0, 2), QStringList({nke(0), nke(1)}));
    rig.scan.stop();
    const int sent = rig.link.sent.size();
    QTest::qWait(30);
    QCOMPARE(rig.link.sent.size(), sent);
    QVERIFY(!rig.session.busy() && !rig.scan.running());
    QCOMPARE(rig.link.ends, 1);
}

// A service that ends lets the question under way be answered: the walk
// takes that answer and asks nothing after it, not even a repeat.
void TstOps::lastAnswerAsksNothingMore()
{
    for (const bool readAll : {false, true}) {
        OpsRig rig(kThreeMeters);
        if (readAll)
            QVERIFY(scanned(rig));
        rig.link.sent.clear();
        QSignalSpy heldBack(&rig.session, &BusSession::requestHeldBack);
        QObject::connect(&rig.session, &BusSession::readingDecoded, [&] { rig.session.sendsNoMore = true; });
        readAll ? rig.readAllOp.start() : rig.scan.start(1, 250);
        QTRY_COMPARE(heldBack.size(), 1);
        QTest::qWait(20);
        QCOMPARE(rig.link.sent, QStringList{"10 7B 01 7C 16"});
        QCOMPARE(rig.column(decode::kValueColumn).value(0), "12.345");
        rig.stack.stopAll();
        QVERIFY(!rig.session.busy());
        QCOMPARE(rig.link.sent.size(), 1);
    }
}

// SND_NKE to 255, then 1.3 s for the meters to wake, then the scan.
void TstOps::globalInitialization()
{
    OpsRig rig(kThreeMeters);
    rig.options.globalInit = true;
    QElapsedTimer clock;
    clock.start();
    rig.scan.start(2, 2);
    QCOMPARE(rig.link.sent, QStringList{nke(255)});
    QTRY_COMPARE_WITH_TIMEOUT(rig.link.sent.size(), 2, 5000);
    QVERIFY(clock.elapsed() >= PrimaryScan::kGlobalInitMs - 50);
    QCOMPARE(rig.link.sent.last(), req(2));
    QVERIFY(rig.idle());
    QCOMPARE(rig.column(decode::kAddressColumn), QStringList{"2"});
}

// clang-format off
void TstOps::commands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("broadcast");
    QTest::addColumn<int>("row");         // table row selected before; 0 for none
    QTest::addColumn<QString>("tweak");   // "column=text" written into that row first
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("logLine"); // must be in the log; empty: no line at all
    QTest::addColumn<QString>("rowAfter"); // "column=text" of that row afterwards

    const QString ack = QStringLiteral("0xE5 (Acknowledge)");
    using QL = QStringList;
    QTest::newRow("reset on broadcast, nothing selected")
        << "reset" << true << 0 << "" << QL{"68 03 03 68 73 FE 50 C1 16"} << ack << "";
    QTest::newRow("reset") << "reset" << false << 2 << "" << QL{"68 03 03 68 73 02 50 C5 16"} << ack << "";
    QTest::newRow("baud 1200 refused") << "baud:1200" << false << 2 << "" << QL{} << "Wrong baud..." << "";
    QTest::newRow("baud 9600") << "baud:9600" << false << 2 << "" << QL{"68 03 03 68 53 02 BD 12 16"} << ack
                               << "";
    QTest::newRow("new ID, read after") << "id:87654321" << false << 2 << ""
                                        << QL{"68 09 09 68 73 02 51 0C 79 21 43 65 87 9B 16", req(2)} << ack
                                        << "0=87654321";
    QTest::newRow("ID of 7 characters ignored") << "id:8765432" << false << 2 << "" << QL{} << "" << "";
    QTest::newRow("value 7 as BCD") << "value:7" << false << 2 << ""
                                    << QL{"68 09 09 68 53 02 51 0C 13 07 00 00 00 CC 16", req(2)} << ack << "";
    QTest::newRow("value in GIN form") << "gin:16777216" << false << 2 << ""
                                       << QL{"68 09 09 68 53 02 51 04 13 00 00 00 01 BE 16", req(2)} << ack << "";
    QTest::newRow("empty value refused") << "value:" << false << 2 << "" << QL{} << "Liter value is not entered..."
                                         << "";
    QTest::newRow("medium") << "medium:Water" << false << 2 << ""
                            << QL{"68 0D 0D 68 53 02 51 07 79 22 22 22 22 FF FF FF 07 B2 16", req(2)} << ack << "";
    QTest::newRow("medium on broadcast") << "medium:Gas" << true << 0 << ""
                                         << QL{"68 0D 0D 68 53 FE 51 07 79 FF FF FF FF FF FF FF 03 1E 16", req(254)} << ack
                                         << "";
    QTest::newRow("unit") << "unit:Wh:1000" << false << 2 << ""
                          << QL{"68 09 09 68 53 02 51 0F 06 03 0F 01 01 CF 16",
                                req(2)}
                          << ack << "";
    QTest::newRow("unknown unit") << "unit:m3:1" << false << 2 << "" << QL{}
                                  << "Incorrect unit. Allowable units are l,Wh,kJ,N/A..." << "";
    QTest::newRow("relay unit on a relay") << "relay:Wh:1000" << false << 3 << ""
                                           << QL{"68 09 09 68 53 05 51 0C 06 00 25 01 00 E1 16",
                                                 req(5)}
                                           << ack << "";
    QTest::newRow("relay unit, not a relay") << "relay:Wh:1000" << false << 2 << "" << QL{}
                                             << "This m-bus device is NOT Relay! Skipping..." << "";
    QTest::newRow("relay unit, reading no number") << "relay:Wh:1000" << false << 3 << "3=n/a" << QL{}
                                                   << "The reading \"\" is not a counter of 1 to 8 digits, nothing sent..."
                                                   << "";
    QTest::newRow("relay unit, no constant") << "relay:Wh:" << false << 3 << "" << QL{}
                                             << "Enter constant - 0.001,0.01,0.1,1,etc..." << "";
    QTest::newRow("address 510 is no target") << "reset" << false << 2 << "1=510" << QL{} << "" << "";
    QTest::newRow("no address selected") << "value:5" << false << 2 << "1=" << QL{} << "" << "";
    QTest::newRow("new address 251 refused") << "address:251" << false << 2 << "" << QL{}
                                             << "Incorrect primary address, must be under 251..." << "";
    QTest::newRow("new address through the ID")
        << "address:40" << false << 2 << ""
        << QL{req(40), req(40), "68 0B 0B 68 53 FD 52 22 22 22 22 FF FF FF FF 26 16", "68 06 06 68 73 FD 51 01 7A 28 64 16",
              req(253), nke(253)}
        << ack << "1=40";
    QTest::newRow("an address another row holds is not given without a question")
        << "address:5" << false << 2 << "" << QL{} << "Address 5 belongs to meter 55555555 already: not given..."
        << "1=2";
    QTest::newRow("new address on broadcast") << "address:40" << true << 2 << ""
                                              << QL{"68 06 06 68 73 FE 51 01 7A 28 65 16"} << ack << "";
    // An address not confirmed ("2?") is no target; Read selected finds the meter by its ID.
    QTest::newRow("address not confirmed: nothing sent")
        << "reset" << false << 2 << "1=2?" << QL{}
        << "The address of meter 22222222 is not confirmed (2?): nothing sent. \"Read selected\" finds where it "
           "answers..."
        << "1=2?";
    QTest::newRow("address not confirmed: read by its ID")
        << "read" << false << 2 << "1=2?"
        << QL{"68 0B 0B 68 53 FD 52 22 22 22 22 FF FF FF FF 26 16", req(253), nke(253)} << ack << "1=2";
    QTest::newRow("read selected") << "read" << false << 1 << "3=" << QL{req(1)} << "" << "3=12.345";
    QTest::newRow("read with NKE first") << "nke-read" << false << 1 << "" << QL{nke(1), req(1)} << ack << "";
}
// clang-format on

void TstOps::commands()
{
    QFETCH(QString, command);
    QFETCH(bool, broadcast);
    QFETCH(int, row);
    QFETCH(QString, tweak);
    QFETCH(QStringList, frames);
    QFETCH(QString, logLine);
    QFETCH(QString, rowAfter);
    OpsRig rig(kThreeMeters);
    QVERIFY(scanned(rig));
    if (!tweak.isEmpty())
        rig.table.setCellText(row - 1, tweak.section(u'=', 0, 0).toInt(), tweak.section(u'=', 1).toStdString());
    if (row)
        rig.session.selectRow(row - 1);
    rig.options.broadcast = broadcast;
    rig.options.sendNkeFirst = command == QLatin1String("nke-read");
    rig.link.sent.clear();
    rig.log.lines.clear();

    const QStringList args = command.split(u':');
    const QString verb = args[0], a1 = args.value(1), a2 = args.value(2);
    if (verb == QLatin1String("reset"))
        rig.commands.reset();
    else if (verb == QLatin1String("baud"))
        rig.commands.changeBaud(a1);
    else if (verb == QLatin1String("id"))
        rig.commands.changeId(a1);
    else if (verb == QLatin1String("value") || verb == QLatin1String("gin"))
        rig.commands.setValue(a1, verb == QLatin1String("gin"));
    else if (verb == QLatin1String("medium"))
        rig.commands.setMedium(a1);
    else if (verb == QLatin1String("unit"))
        rig.commands.setUnit(a1, a2, false);
    else if (verb == QLatin1String("relay"))
        rig.commands.setUnit(a1, a2, true);
    else if (verb == QLatin1String("address"))
        rig.commands.setPrimaryAddress(a1.toInt());
    else
        rig.commands.readSelected(false);
    QVERIFY(rig.idle());

    QCOMPARE(rig.link.sent, frames);
    if (logLine.isEmpty() && frames.isEmpty())
        QCOMPARE(rig.log.lines, QStringList());
    else if (!logLine.isEmpty())
        QVERIFY2(rig.log.lines.contains(logLine), qPrintable(rig.log.lines.join(u'|')));
    if (!rowAfter.isEmpty())
        QCOMPARE(QString::fromStdString(rig.table.cellText(row - 1, rowAfter.section(u'=', 0, 0).toInt())),
                 rowAfter.section(u'=', 1));
    QVERIFY(!rig.commands.running());
}

void TstOps::readAll_data()
{
    QTest::addColumn<bool>("nkeFirst");
    QTest::addColumn<QStringList>("frames");
    QTest::newRow("REQ_UD2") << false << QStringList{req(1), req(5)};
    QTest::newRow("SND_NKE first") << true << QStringList{nke(1), req(1), nke(5), req(5)};
}

// Rows 1 and 3 are read; row 2 has lost its address and is passed over;
// nothing is asked past the last row.
void TstOps::readAll()
{
    QFETCH(bool, nkeFirst);
    QFETCH(QStringList, frames);
    OpsRig rig(kThreeMeters);
    QVERIFY(scanned(rig));
    for (int r = 0; r < 3; ++r)
        rig.table.setCellText(r, decode::kValueColumn, "");
    rig.table.setCellText(1, decode::kAddressColumn, "");
    rig.options.sendNkeFirst = nkeFirst;
    rig.link.sent.clear();
    const int ends = rig.link.ends;

    rig.readAllOp.start();
    QVERIFY(rig.readAllOp.running());
    QVERIFY(rig.idle());
    QCOMPARE(rig.link.sent, frames);
    QCOMPARE(rig.column(decode::kValueColumn), QStringList({"12.345", "", "12.500"}));
    QCOMPARE(rig.link.ends, ends + 1);
    QVERIFY(!rig.readAllOp.running());

    // An empty table: nothing starts.
    rig.table.clear();
    rig.readAllOp.start();
    QVERIFY(!rig.session.busy());
}

void TstOps::autoAddressing_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QList<int>>("addresses"); // of meters 1, 2, 5 afterwards
    QTest::addColumn<QString>("lastLine");
    const QString finished = QStringLiteral("Auto addressing has finished...");
    const QString aborted = QStringLiteral("Primary address can not be above 249, aborting...");
    QTest::newRow("consecutive from 10") << 10 << 3 << QList<int>{10, 11, 12} << finished;
    QTest::newRow("248 over three") << 248 << 3 << QList<int>{248, 249, 5} << aborted;
    QTest::newRow("249 over one") << 249 << 1 << QList<int>{249, 2, 5} << aborted;
}

void TstOps::autoAddressing()
{
    QFETCH(int, first);
    QFETCH(int, rows);
    QFETCH(QList<int>, addresses);
    QFETCH(QString, lastLine);
    OpsRig rig(kThreeMeters);
    QVERIFY(scanned(rig));
    while (rig.table.rowCount() > rows)
        rig.table.removeRow(rig.table.rowCount() - 1);
    QList<int> chosen;
    connect(&rig.autoAddressing, &AutoAddressing::addressChosen, this, [&](int a) { chosen << a; });

    rig.autoAddressing.start(first);
    QVERIFY(rig.autoAddressing.running());
    QVERIFY(rig.idle(10000));
    // The end line, then the summary.
    QCOMPARE(rig.log.lines.at(rig.log.lines.size() - 2), lastLine);
    QVERIFY2(rig.log.lines.last().startsWith(QStringLiteral("Auto addressing: ")), qPrintable(rig.log.lines.last()));
    const QList<int> actual{rig.meter("11111111")->address(), rig.meter("22222222")->address(),
                            rig.meter("55555555")->address()};
    QCOMPARE(actual, addresses);
    QCOMPARE(chosen.size(), std::min(rows, 250 - first));
    // The table follows the meters: every addressed row shows its new address.
    for (int r = 0; r < chosen.size(); ++r)
        QCOMPARE(rig.table.cellText(r, decode::kAddressColumn), std::to_string(chosen[r]));
    QVERIFY(!rig.autoAddressing.running());
}

// While a scan runs, a command is refused and sends nothing.
void TstOps::oneOperationAtATime()
{
    OpsRig rig(kThreeMeters);
    rig.table.appendRow({"11111111", "1"});
    rig.scan.start(0, 250);
    rig.options.broadcast = true;
    rig.commands.reset();
    rig.commands.readSelected(false);
    rig.readAllOp.start();
    rig.autoAddressing.start(1);
    QCOMPARE(rig.log.lines.count(QStringLiteral("Another operation is using the bus, nothing sent...")), 4);
    rig.scan.stop();
    for (const QString &frame : std::as_const(rig.link.sent))
        QVERIFY2(frame.startsWith(QLatin1String("10 7B")), qPrintable(frame));
}

// "Stop addr" in the middle of a selection: the address write it was
// waiting for must not follow a later selection.
void TstOps::stopClearsPendingFlags()
{
    OpsRig rig(kThreeMeters);
    QVERIFY(scanned(rig));
    rig.autoAddressing.start(100);
    QVERIFY(rig.autoAddressing.running());
    rig.autoAddressing.stop();
    QVERIFY(!rig.session.busy());

    rig.link.sent.clear();
    rig.search.findById(QStringLiteral("11111111"));
    QVERIFY(rig.idle());
    QCOMPARE(rig.link.sent,
             QStringList({"68 0B 0B 68 53 FD 52 11 11 11 11 FF FF FF FF E2 16", req(253), req(253), nke(253)}));
    QCOMPARE(rig.meter("11111111")->address(), 1);
}

void TstOps::badRepliesLeaveTable_data()
{
    QTest::addColumn<QByteArray>("reply");
    mbussim::Bus bus(OpsRig::parse(kThreeMeters));
    const mbus::Bytes raw = bus.respond(mbus::Bytes{0x10, 0x7B, 0x01, 0x7C, 0x16});
    const QByteArray good(reinterpret_cast<const char *>(raw.data()), qsizetype(raw.size()));
    QByteArray otherAddress = good;
    otherAddress[5] = 9;
    otherAddress[otherAddress.size() - 2] = char(otherAddress[otherAddress.size() - 2] + 8);
    QByteArray badSum = good;
    badSum[badSum.size() - 2] = char(badSum[badSum.size() - 2] + 1);
    QByteArray garbage;
    for (int i = 0; i < 64; ++i)
        garbage += char((i * 73 + 11) & 0xFF);

    QTest::newRow("garbage") << garbage;
    QTest::newRow("cut in half") << good.left(good.size() / 2);
    QTest::newRow("wrong checksum") << badSum;
    QTest::newRow("from an address not in the table") << otherAddress;
    QTest::newRow("start of a long frame only") << QByteArray::fromHex("6815156808");
    QTest::newRow("one stray byte") << QByteArray(1, '\x7F');
}

// A reply that is garbage, truncated or from an unexpected address changes
// no row and adds none.
void TstOps::badRepliesLeaveTable()
{
    QFETCH(QByteArray, reply);
    OpsRig rig(kThreeMeters);
    QVERIFY(scanned(rig));
    QStringList before;
    for (int c : {0, 1, 3})
        before += rig.column(c);
    const int rows = rig.table.rowCount();
    rig.options.retries = 0;
    rig.session.selectRow(0);
    rig.link.replaceOnce.insert(1, reply);
    rig.commands.readSelected(false);
    QVERIFY(rig.idle());
    QStringList after;
    for (int c : {0, 1, 3})
        after += rig.column(c);
    QCOMPARE(after, before);
    QCOMPARE(rig.table.rowCount(), rows);
    QVERIFY(rig.log.lines.last().size() > 0);
}

// clang-format off
void TstOps::replyRule_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("expect");  // Expect
    QTest::addColumn<int>("address"); // -1: any
    QTest::addColumn<QString>("id");  // pattern; empty: any
    QTest::addColumn<QByteArray>("first"); // a further telegram's first one
    QTest::addColumn<int>("outcome"); // Outcome

    // RSP_UD of meter 12345678 (ABC, water) at 5, and its variants.
    const QByteArray at5 = QByteArray::fromHex("681515680805727856341243040007000000000C131111000022 16");
    const QByteArray at6 = QByteArray::fromHex("681515680806727856341243040007000000000C131111000023 16");
    const QByteArray at0 = QByteArray::fromHex("681515680800727856341243040007000000000C13111100001D 16");
    const QByteArray id79 = QByteArray::fromHex("681515680805727956341243040007000000000C131111000023 16");
    const QByteArray id99 = QByteArray::fromHex("681515680805729999999943040007000000000C131111000072 16");
    const QByteArray badSum = QByteArray::fromHex("681515680805727856341243040007000000000C131111000021 16");
    const QByteArray e5 = QByteArray::fromHex("E5");
    const int read = int(Expect::Reading), ack = int(Expect::Acknowledge), probe = int(Expect::Presence);
    const int taken = int(Outcome::Answered), foreign = int(Outcome::Foreign), damaged = int(Outcome::Damaged);
    QTest::newRow("right meter") << at5 << read << 5 << "12345678" << QByteArray() << taken;
    QTest::newRow("another address") << at6 << read << 5 << "" << QByteArray() << foreign;
    QTest::newRow("address 0 asked, 5 answers") << at5 << read << 0 << "" << QByteArray() << foreign;
    QTest::newRow("address 0 answers") << at0 << read << 0 << "" << QByteArray() << taken;
    QTest::newRow("another ID at the address asked") << id99 << read << 5 << "12345678" << QByteArray() << foreign;
    QTest::newRow("last digit differs") << id79 << read << -1 << "12345678" << QByteArray() << foreign;
    QTest::newRow("pattern") << id79 << read << -1 << "1234567F" << QByteArray() << taken;
    QTest::newRow("pattern's first digit differs") << at5 << read << -1 << "2234567F" << QByteArray() << foreign;
    QTest::newRow("damaged checksum") << badSum << read << 5 << "" << QByteArray() << damaged;
    QTest::newRow("E5 where a reading was asked") << e5 << read << 5 << "" << QByteArray() << int(Outcome::Acknowledged);
    QTest::newRow("E5 where an E5 was asked") << e5 << ack << 5 << "" << QByteArray() << taken;
    QTest::newRow("garbage where an E5 was asked") << QByteArray::fromHex("E5E5") << ack << 5 << "" << QByteArray() << damaged;
    QTest::newRow("a reading where an E5 was asked") << at5 << ack << 5 << "" << QByteArray() << damaged;
    QTest::newRow("further telegram, another meter") << id99 << read << 5 << "" << at5 << foreign;
    QTest::newRow("further telegram, another address") << at6 << read << -1 << "" << at5 << foreign;
    QTest::newRow("further telegram, the same meter") << at5 << read << -1 << "" << at5 << taken;
    QTest::newRow("nothing") << QByteArray() << read << 5 << "" << QByteArray() << int(Outcome::Silent);
    QTest::newRow("anything to a probe") << QByteArray::fromHex("00FF") << probe << -1 << "" << QByteArray() << taken;
}
// clang-format on

// Which replies a question takes: the rule the exchange judges every try by.
void TstOps::replyRule()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, expect);
    QFETCH(int, address);
    QFETCH(QString, id);
    QFETCH(QByteArray, first);
    QFETCH(int, outcome);
    ReplyRule rule;
    rule.expect = Expect(expect);
    rule.address = address;
    rule.idPattern = id.toStdString();
    rule.firstTelegram = first;
    const Verdict verdict = judgeReply(reply, rule);
    QCOMPARE(int(verdict.outcome), outcome);
    QCOMPARE(verdict.lines.isEmpty(), outcome == int(Outcome::Answered) || outcome == int(Outcome::Silent));
}

QTEST_GUILESS_MAIN(TstOps)
#include "tst_ops.moc"
