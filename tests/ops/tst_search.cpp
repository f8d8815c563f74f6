// The secondary-address search on a simulated bus: the patterns it tries in
// both digit orders, the descent where meters collide, meters with equal IDs,
// a bus of random IDs, "Stop Secondary", the TCP routes, and "Find" by one ID.

#include "ops_rig.h"

#include "mbus/frames.h"

#include <QRandomGenerator>

namespace {

QString meters(const QStringList &ids)
{
    QString text;
    for (const QString &id : ids)
        text += QStringLiteral("[meter]\naddress = none\nid = %1\nmanufacturer = ABC\nmedium = water\n"
                               "record = 0C 13 45 23 01 00\n")
                    .arg(id);
    return text;
}

QStringList checked(const QStringList &log)
{
    QStringList patterns;
    for (const QString &line : log)
        if (line.startsWith(QLatin1String("Checking ")))
            patterns << line.mid(9, 8);
    return patterns;
}

QStringList range(const QString &pattern) // "3?FFFFFF" -> 30FFFFFF .. 39FFFFFF
{
    QStringList out;
    for (int d = 0; d <= 9; ++d)
        out << QString(pattern).replace(u'?', QChar(u'0' + d));
    return out;
}

} // namespace

class TstSearch : public QObject {
    Q_OBJECT
private slots:
    void wildcard_data();
    void wildcard();
    void randomBusFoundOnce();
    void stopDuringDescent();
    void tcpRouteSearchesToo();
    void findById_data();
    void findById();
    void retriesOnEvidence_data();
    void retriesOnEvidence();
};

void TstSearch::wildcard_data()
{
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<bool>("lsb");
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<QStringList>("found");
    QTest::addColumn<int>("collisions");
    QTest::addColumn<int>("lostRequestAt253"); // with one retry: this request to 253 gets no reply

    // The whole pattern is asked first, then digit by digit.
    QTest::newRow("one meter") << QStringList{"30000017"} << false << QStringList{"FFFFFFFF"} + range("?FFFFFFF")
                               << QStringList{"30000017"} << 0 << 0;
    // The reading at 3FFFFFFF goes unanswered (requests to 253: 1 the whole
    // bus, 2..4 three silent digits, 5 the selection, 6 the reading): asked
    // again; the confirming read (7) finds the same meter, and the digits
    // found silent before the loss are asked again at the end.
    QTest::newRow("a lost reading") << QStringList{"30000017"} << false
                                    << QStringList{"FFFFFFFF"} + range("?FFFFFFF") + range("?FFFFFFF").mid(0, 3)
                                    << QStringList{"30000017"} << 0 << 6;
    QTest::newRow("two meters collide at the first digit")
        << QStringList{"30000017", "31000000"} << false
        << QStringList{"FFFFFFFF"} + range("?FFFFFFF").mid(0, 4) + range("3?FFFFFF") + range("?FFFFFFF").mid(4)
        << QStringList{"30000017", "31000000"} << 1 << 0;
    QTest::newRow("rightmost digit first")
        << QStringList{"30000017", "31000007"} << true
        << QStringList{"FFFFFFFF"} + range("FFFFFFF?").mid(0, 8) + range("FFFFFF?7") + range("FFFFFFF?").mid(8)
        << QStringList{"31000007", "30000017"} << 1 << 0;
    // Everything alike: 8 digits, the medium and the version collide, and
    // the pair is named as not told apart.
    QTest::newRow("twins alike in every byte")
        << QStringList{"12345678", "12345678"} << false << QStringList() << QStringList() << 10 << 0;
}

void TstSearch::wildcard()
{
    QFETCH(QStringList, ids);
    QFETCH(bool, lsb);
    QFETCH(QStringList, patterns);
    QFETCH(QStringList, found);
    QFETCH(int, collisions);
    QFETCH(int, lostRequestAt253);
    const QByteArray bus = meters(ids).toLatin1();
    OpsRig rig(bus.constData());
    rig.options.lsbSearch = lsb;
    if (lostRequestAt253 > 0) {
        rig.options.retries = 1;
        rig.link.dropNth.insert(mbus::kSelectedAddress, lostRequestAt253);
    }
    QList<int> progress;
    connect(&rig.search, &SecondarySearch::progressChanged, this,
            [&](int, int, int value, bool) { progress << value; });

    rig.search.startWildcard(false);
    QVERIFY(rig.search.running());
    QVERIFY(rig.idle(20000));
    if (!patterns.isEmpty())
        QCOMPARE(checked(rig.log.lines), patterns);
    QCOMPARE(rig.column(decode::kIdColumn), found);
    QCOMPARE(rig.log.lines.count(QStringLiteral("Collision")), collisions);
    QCOMPARE(rig.log.lines.count(QStringLiteral("Secondary search thread terminated normally.")), 1);
    QCOMPARE(rig.log.lines.at(rig.log.lines.size() - 2),
             QStringLiteral("Secondary search thread terminated normally."));
    QCOMPARE(rig.log.lines.last().contains(QStringLiteral("not told apart")), ids.size() == 2 && ids[0] == ids[1]);
    QCOMPARE(progress.mid(progress.size() - 2), QList<int>({10, 0}));
    QCOMPARE(rig.link.ends, 1);
    // Selections are not logged as sent; no SND_NKE between the steps.
    QVERIFY(!rig.link.sent.contains(QStringLiteral("10 40 FD 3D 16")));
}

void TstSearch::randomBusFoundOnce()
{
    QStringList ids;
    QRandomGenerator random(20261207);
    while (ids.size() < 20) {
        const QString id = QStringLiteral("%1").arg(random.bounded(100000000u), 8, 10, QLatin1Char('0'));
        if (!ids.contains(id))
            ids << id;
    }
    const QByteArray bus = meters(ids).toLatin1();
    OpsRig rig(bus.constData());
    rig.search.startWildcard(false);
    QVERIFY(rig.idle(60000));
    QStringList found = rig.column(decode::kIdColumn);
    QCOMPARE(found.size(), 20);
    found.sort();
    ids.sort();
    QCOMPARE(found, ids);
}

// Stopped inside a descent: the step under way is the last one.
void TstSearch::stopDuringDescent()
{
    OpsRig rig(meters({"30000017", "31000000"}).toLatin1().constData());
    rig.options.responseTimeoutMs = 5;
    rig.search.startWildcard(false);
    QTRY_VERIFY(rig.log.lines.contains(QStringLiteral("Collision")));
    QTRY_VERIFY(checked(rig.log.lines).size() >= 6);
    rig.search.stop();
    const int checks = int(checked(rig.log.lines).size());
    QVERIFY(rig.idle());
    QCOMPARE(checked(rig.log.lines).size(), checks);
    // A stop is no normal end; the meter the last step selected is deselected.
    QCOMPARE(rig.log.lines.count(QStringLiteral("Secondary search thread terminated normally.")), 0);
    QVERIFY(rig.log.lines.last().endsWith(QStringLiteral("stopped before the end.")));
    QCOMPARE(rig.link.sent.last(), QStringLiteral("10 40 FD 3D 16"));
    QVERIFY(!rig.search.running());
}

// The search asks on every route, the converter's too.
void TstSearch::tcpRouteSearchesToo()
{
    OpsRig rig(meters({"30000017"}).toLatin1().constData());
    rig.link.linkRoute = LinkRoute::Converter;
    rig.search.startWildcard(false);
    QVERIFY(rig.idle());
    QCOMPARE(rig.column(decode::kIdColumn), QStringList{"30000017"});
    QCOMPARE(rig.log.lines.last(), QStringLiteral("Secondary search FFFFFFFF: 1 meter(s) found."));
}

void TstSearch::findById_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("lastLine");
    QTest::addColumn<QStringList>("found");
    // Read twice (retries 1): a twin that lost its first answer would collide with the second.
    QTest::newRow("a meter that is there") << "30000017"
                                           << QStringList{"68 0B 0B 68 53 FD 52 17 00 00 30 FF FF FF FF E5 16",
                                                          "10 7B FD 78 16", "10 7B FD 78 16", "10 40 FD 3D 16"}
                                           << "Find 30000017: 1 of 1 meter(s) answered." << QStringList{"30000017"};
    // A selection nobody acknowledged may have reached a meter all the same: it is ended.
    QTest::newRow("nobody answers") << "30000018"
                                    << QStringList{"68 0B 0B 68 53 FD 52 18 00 00 30 FF FF FF FF E6 16",
                                                   "68 0B 0B 68 53 FD 52 18 00 00 30 FF FF FF FF E6 16",
                                                   "10 40 FD 3D 16"}
                                    << "No response from device 30000018" << QStringList();
    // An F among the digits makes it a pattern: the wildcard search, asked twice (retries 1).
    QTest::newRow("a pattern is searched for")
        << "1234567F" << QStringList(2, QStringLiteral("68 0B 0B 68 53 FD 52 7F 56 34 12 FF FF FF FF B9 16"))
        << "Secondary search thread terminated normally." << QStringList();
    QTest::newRow("too short") << "1234" << QStringList() << "Incorrect ID entered" << QStringList();
    QTest::newRow("empty") << "" << QStringList() << "Incorrect ID entered" << QStringList();
}

void TstSearch::findById()
{
    QFETCH(QString, id);
    QFETCH(QStringList, frames);
    QFETCH(QString, lastLine);
    QFETCH(QStringList, found);
    OpsRig rig(meters({"30000017"}).toLatin1().constData());
    rig.search.findById(id);
    QVERIFY(rig.idle());
    QCOMPARE(rig.link.sent, frames);
    QVERIFY2(rig.log.lines.contains(lastLine), qPrintable(rig.log.lines.join(u'|')));
    QCOMPARE(rig.column(decode::kIdColumn), found);
}

// Retries go where the bus gave a reason, in the scan and in the search: a
// clean bus gets none; each kind of loss gets them.
void TstSearch::retriesOnEvidence_data()
{
    QTest::addColumn<QString>("walk"); // scan 0..6, or search
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QString>("fault"); // corrupt:A, drop:A:N (the N-th request to A), or empty
    QTest::addColumn<int>("retries");   // -1: some
    QTest::addColumn<int>("found");
    QTest::addColumn<QString>("logLine");

    const QStringList two{"30000017", "31000000"};
    QTest::newRow("scan, clean bus") << "scan" << QStringList{"11111111"} << "" << 0 << 1 << "";
    // 1 damaged once, then 2..6 asked twice and 0 twice more.
    QTest::newRow("scan, a damaged reply")
        << "scan" << QStringList{"11111111"} << "corrupt:1" << 8 << 1
        << "The bus lost replies: the 1 address(es) found silent before are asked again...";
    QTest::newRow("search, clean bus") << "search" << two << "" << 0 << 2 << "";
    // The reading of 31FFFFFF (the 11th request to 253: under the collision
    // each meter is read twice) is lost: asked
    // again and confirmed; from there on the silent 32..39 and 4..9 are
    // asked twice, and 0..2, silent before, twice more: 1 + 1 + 8 + 6 + 6.
    QTest::newRow("search, a reading lost after its selection") << "search" << two << "drop:253:11" << 22 << 2 << "";
    // A lone meter's reading damaged: taken for a collision, the level
    // below finds one meter only and is asked again.
    QTest::newRow("search, a collision that finds one meter")
        << "search" << QStringList{"30000017"} << "corrupt:253" << -1 << 1
        << "Fewer meters answered one by one than together: the bus lost replies, and these patterns are asked "
           "again...";
}

void TstSearch::retriesOnEvidence()
{
    QFETCH(QString, walk);
    QFETCH(QStringList, ids);
    QFETCH(QString, fault);
    QFETCH(int, retries);
    QFETCH(int, found);
    QFETCH(QString, logLine);
    QString bus = meters(ids);
    if (walk == QLatin1String("scan"))
        bus.replace(QStringLiteral("address = none"), QStringLiteral("address = 1"));
    OpsRig rig(bus.toLatin1().constData());
    rig.options.retries = 1;
    const QStringList f = fault.split(u':');
    if (f[0] == QLatin1String("corrupt"))
        rig.link.corruptOnce.insert(f[1].toInt());
    else if (f[0] == QLatin1String("drop"))
        rig.link.dropNth.insert(f[1].toInt(), f[2].toInt());
    Operation *operation = &rig.scan;
    if (walk == QLatin1String("scan")) {
        rig.scan.start(0, 6);
    } else {
        operation = &rig.search;
        rig.search.startWildcard(false);
    }
    QVERIFY(rig.idle(20000));
    QCOMPARE(rig.table.rowCount(), found);
    if (retries >= 0)
        QCOMPARE(operation->summary().retries, retries);
    else
        QVERIFY(operation->summary().retries > 0);
    if (!logLine.isEmpty())
        QVERIFY2(rig.log.lines.contains(logLine), qPrintable(rig.log.lines.join(u'|')));
}

QTEST_GUILESS_MAIN(TstSearch)
#include "tst_search.moc"
