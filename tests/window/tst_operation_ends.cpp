// However an operation of the window ends — its link goes away in the middle
// of it (a converter hangs up, a USB adapter is pulled out) or the technician
// presses Stop — it ends there: the log says how, a write it could not
// confirm is named, nothing of it reaches the bus or the log afterwards, a
// selection it opened is closed, the bus is free, and the next operation
// sends exactly its own frames.

#include "window_bench.h"

#include "display/display_table.h"
#include "display_pages.h"
#include "link/link_dispatch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <csignal>

namespace {

constexpr int kTimeoutMs = 300;

const char kOneMeter[] = "[meter]\naddress = 1\nid = 11111111\nmanufacturer = ABC\nmedium = water\n"
                         "record = 0C 13 11 11 00 00\n";
const QByteArray kBus = QByteArray(kOneMeter)
                        + "[meter]\naddress = 2\nid = 22222222\nmanufacturer = ABC\nmedium = water\n"
                          "record = 0C 13 22 22 00 00\n"
                          "[display]\nmodel = TEV-K40\n"
                          "entry = 1, m3, 1.0, 0, 0, 0, 1/1, 1, Flat 1, 1.1\n"
                          "entry = 2, m3, 2.0, 0, 0, 0, 1/1, 2, Flat 2, 2.2\n";

const QString kWriteOf40 = QStringLiteral("68 06 06 68 73 FD 51 01 7A 28 64 16");
const QString kDeselect = QStringLiteral("10 40 FD 3D 16");

// The window on a route to mbus-sim — "serial" (a pseudo-terminal),
// "converter" or "gateway" (a gateway server) — every question answered Yes,
// two meters in its table (the first selected) and in the display's.
struct RouteWindow {
    RouteWindow(const QString &route, const QStringList &simArguments, int timeoutMs = kTimeoutMs,
                const QByteArray &busText = kBus)
    {
        const QString bus = dir.filePath(QStringLiteral("ends.bus"));
        QFile busFile(bus);
        if (busFile.open(QIODevice::WriteOnly))
            busFile.write(busText);
        busFile.close();
        QByteArray misc, link;
        if (route == QLatin1String("serial")) {
            sim = std::make_unique<SimProcess>(bus, simArguments);
            link = "[Com port]\nName=" + sim->link().toUtf8() + "\nSpeed=2400\nParity=Even\n";
        } else {
            const bool converter = route == QLatin1String("converter");
            sim = std::make_unique<SimProcess>(
                SimProcess::Tcp{}, QStringList{QStringLiteral("--bus"), bus,
                                               converter ? QStringLiteral("--tcp") : QStringLiteral("--gateway-server"),
                                               QStringLiteral("0")}
                                       + simArguments);
            misc = converter ? "UseLANXP=1\n" : "VelkServer=1\n";
            link = "[LANXP]\nIP=127.0.0.1\nNetNumber=0.0.0.1\nPort=" + QByteArray::number(sim->port()) + "\n";
        }
        const QString ini = dir.filePath(QStringLiteral("telvaro.ini"));
        QFile file(ini);
        if (file.open(QIODevice::WriteOnly))
            file.write("[Mbus]\nTimeout=" + QByteArray::number(timeoutMs) + "\n[Misc]\nRetry=0\nStandardTiming=0\n"
                       + misc + link + "[Archive]\nEnabled=0\n");
        file.close();
        window = std::make_unique<MainWindow>(ini);
        window->askYesNoCancel = [](const QString &, const QString &) { return QMessageBox::Yes; };
        window->askYesNo = [](const QString &, const QString &) { return true; };
        window->show();
        window->deviceTable().setRows({{"11111111", "1"}, {"22222222", "2"}});
        window->session().selectRow(0);
        QStringList first(display::TevColumns, QString()), second = first;
        first[display::TevAddress] = QStringLiteral("1");
        second[display::TevAddress] = QStringLiteral("2");
        window->tevTable().setRows({first, second});
        window->tevTable().selectAll(true);
    }
    // What the simulator received so far, one frame or display command a
    // line, as it went on the line ("10 7B 01 7C 16"; a gateway's telegram unwrapped).
    QStringList received()
    {
        static const QRegularExpression rx(QStringLiteral("^RX (?:telegram #\\d+ [0-9A-F]{2} )?(.*)$"));
        QStringList frames;
        for (const QString &line : sim->output().split(u'\n'))
            if (const auto match = rx.match(line); match.hasMatch())
                frames << match.captured(1);
        return frames;
    }
    bool idle(int ms = 10000)
    {
        return QTest::qWaitFor([this] { return !window->session().busy(); }, ms);
    }
    // Frames received once what was sent has arrived.
    int settled()
    {
        QTest::qWait(150);
        return int(received().size());
    }
    // A scan of from..to at 300 ms with one retry, replies taken when whole.
    QStringList scanAfter(int from, int to)
    {
        MainWindow &w = *window;
        w.deviceTable().clear();
        w.settings().timeout = kTimeoutMs;
        w.settings().retry = 1;
        w.settings().fastReads = true;
        w.devices->fromAddressBox->setValue(from);
        w.devices->toAddressBox->setValue(to);
        const int lines = int(w.logLines().size());
        QTest::mouseClick(w.devices->findPrimaryButton, Qt::LeftButton);
        idle();
        return w.logLines().mid(lines);
    }

    QTemporaryDir dir;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<MainWindow> window;
};

// Starts one operation as its control does.
void start(MainWindow &w, const QString &operation)
{
    DevicesPage &d = *w.devices;
    d.fromAddressBox->setValue(1);
    d.toAddressBox->setValue(2);
    d.newAddressBox->setValue(40);
    d.autoAddressFirstBox->setValue(40);
    d.broadcastBox->setChecked(operation == QLatin1String("address by address"));
    d.baudCombo->setCurrentText(QStringLiteral("2400"));
    d.newIdEdit->setText(QStringLiteral("11111119"));
    d.valueEdit->setText(QStringLiteral("1234"));
    d.searchIdEdit->setText(QStringLiteral("11111111"));
    w.commandEdit->setText(QStringLiteral("10 7B 01 7C 16"));
    const QHash<QString, QPushButton *> buttons{
        {"scan", d.findPrimaryButton},
        {"read selected", d.readSelectedButton},
        {"read all", d.readAllButton},
        {"address by address", d.setAddressButton},
        {"address by ID", d.setAddressButton},
        {"reset", d.resetButton},
        {"baud", d.setBaudButton},
        {"ID", d.setIdButton},
        {"value", d.setValueButton},
        {"medium", d.setMediumButton},
        {"auto addressing", d.autoAddressButton},
        {"search", d.findAllButton},
        {"find by ID", d.findIdButton},
        {"custom command", w.sendCommandButton},
        {"display read", w.displayPage->readDisplayButton},
        {"display write", w.displayPage->writeDisplayButton},
    };
    buttons.value(operation)->click();
    d.broadcastBox->setChecked(false);
}

// Presses the Stop the running operation shows.
void pressStop(MainWindow &w, const QString &operation)
{
    DevicesPage &d = *w.devices;
    QPushButton *stop = operation == QLatin1String("scan")               ? d.findPrimaryButton
                        : operation == QLatin1String("read all")         ? d.readAllButton
                        : operation == QLatin1String("auto addressing")  ? d.autoAddressButton
                        : operation.startsWith(QLatin1String("display")) ? w.displayPage->stopButton
                                                                         : d.stopSearchButton;
    QVERIFY2(stop->isEnabled() && (stop == d.findPrimaryButton || stop == d.readAllButton || !stop->isHidden()),
             qPrintable(operation));
    stop->click();
}

const QString kMeter1 = QStringLiteral(" was sent to meter 11111111 but not confirmed");

// How the rows of an operation end: at its first request, at the address
// write (which must be named), during the converter's connect, after its
// reply came but before it was taken, or by itself.
void addColumns()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("when");
    QTest::addColumn<QString>("unconfirmed"); // in the summary; empty: nothing was written
}

// The writes each operation has under way when it ends at its first request.
QString writeOf(const QString &operation)
{
    const QHash<QString, QString> writes{
        {"address by address", "Set primary address 40 was sent to every meter (254) but not confirmed"},
        {"reset", "Reset" + kMeter1},
        {"baud", "Set baud rate 2400" + kMeter1},
        {"ID", "Set ID 11111119" + kMeter1}, // named as the user knew it
        {"value", "Set value 1234" + kMeter1},
        {"medium", "Set medium Electricity" + kMeter1},
        {"custom command", "custom command 10 7B 01 7C 16 was sent but not confirmed"},
        {"display write", "SET ENTR=1 was sent to device 1 but not confirmed"},
    };
    return writes.value(operation);
}

// Every operation on the serial port and the converter; the address
// sequences cut at their write.
void addRows(bool byStop)
{
    addColumns();
    for (const char *route : {"converter", "serial"}) {
        for (const char *operation : {"scan", "read selected", "read all", "address by address", "address by ID",
                                      "reset", "baud", "ID", "value", "medium", "auto addressing", "search",
                                      "find by ID", "custom command", "display read", "display write"})
            QTest::addRow("%s, %s", route, operation) << route << operation << "first" << writeOf(operation);
        for (const char *operation : {"address by ID", "auto addressing"})
            QTest::addRow("%s, %s at the write", route, operation) << route << operation << "write"
                                                                   << "address 40" + kMeter1;
    }
    if (byStop)
        QTest::newRow("converter, scan during the connect") << "converter"
                                                            << "scan"
                                                            << "connect" << QString();
}

} // namespace

class TstOperationEnds : public QObject {
    Q_OBJECT
private slots:
    void everyOperationEndsOnLinkLoss_data() { addRows(false); }
    void everyOperationEndsOnLinkLoss() { endsCleanly(false); }
    void everyOperationStops_data() { addRows(true); }
    void everyOperationStops() { endsCleanly(true); }
    void nextOperationSendsOnlyItsFrames_data();
    void nextOperationSendsOnlyItsFrames() { endsCleanly(true); }
    void stoppedSelectionIsClosed_data();
    void stoppedSelectionIsClosed();
    void scanAt254TakesTheMeter_data();
    void scanAt254TakesTheMeter();

private:
    void endsCleanly(bool byStop);
};

void TstOperationEnds::endsCleanly(bool byStop)
{
    QFETCH(QString, route);
    QFETCH(QString, operation);
    QFETCH(QString, when);
    QFETCH(QString, unconfirmed);
    const bool atTheWrite = when == QLatin1String("write"), done = when == QLatin1String("done");
    // Link loss: the simulator hangs up instead of the operation's first
    // reply (the write's acknowledgement is the second). A stop at the write
    // comes before its acknowledgement, which the meters hold back; a stop
    // after the reply comes before the reply is taken.
    QStringList simArguments;
    if (!byStop)
        simArguments = {QStringLiteral("--hangup-at"), atTheWrite ? QStringLiteral("2") : QStringLiteral("1")};
    else if (atTheWrite)
        simArguments = {QStringLiteral("--reply-delay"), QStringLiteral("400")};
    const bool longWait = atTheWrite || when == QLatin1String("reply") || done;
    RouteWindow b(route, simArguments, longWait ? 1500 : kTimeoutMs);
    QVERIFY(b.sim->isReady());
    MainWindow &w = *b.window;
    bool stopOffered = false;
    if (when == QLatin1String("connect"))
        QTimer::singleShot(300, &w, [&] {
            stopOffered = w.devices->findPrimaryButton->text() == QLatin1String("Stop");
            pressStop(w, operation);
        });
    start(w, operation); // on the converter, returns once the connect is over
    QVERIFY2(w.session().busy() || stopOffered, qPrintable(w.logLines().join(u'\n')));
    if (byStop && (when == QLatin1String("first") || atTheWrite)) {
        QTRY_VERIFY_WITH_TIMEOUT(atTheWrite ? b.received().contains(kWriteOf40) : !b.received().isEmpty(), 10000);
        pressStop(w, operation);
    } else if (when == QLatin1String("reply")) {
        QTRY_VERIFY(b.sim->output().contains(QStringLiteral("\nTX ")));
        QTest::qWait(50); // here, not yet taken
        pressStop(w, operation);
    }
    QVERIFY(b.idle());
    QStringList log = w.logLines();
    if (!done) {
        const QString ending = byStop ? QStringLiteral("stopped before the end.")
                                      : QStringLiteral("the connection was lost.");
        const QStringList summary = log.filter(QRegularExpression(QStringLiteral(": .*") + ending + u'$'));
        QVERIFY2(summary.size() == 1, qPrintable(log.join(u'\n')));
        QVERIFY2(unconfirmed.isEmpty() ? !summary.first().contains(QStringLiteral("not confirmed"))
                                       : summary.first().contains(unconfirmed),
                 qPrintable(summary.first()));
    }
    if (!byStop) {
        QVERIFY(log.contains(QStringLiteral("The connection was lost, the operation is stopped...")));
        if (route == QLatin1String("serial")) // shown closed at once, opened again by the next operation
            QVERIFY(!w.dispatch().portOpen());
    }
    if (when == QLatin1String("connect")) // nothing was asked
        QVERIFY(stopOffered && log.last() == QLatin1String("Scan of 1..2: stopped before the end.")
                && b.settled() == 0);
    QVERIFY(log.filter(QStringLiteral("terminated normally")).isEmpty());
    if (atTheWrite) { // the meter is addressed at neither address unasked
        QCOMPARE(w.devices->selectedAddressLabel->text(), QStringLiteral("Addr.:40?"));
        w.devices->resetButton->click();
        QVERIFY(w.logLines().last().startsWith(QStringLiteral("The address of meter 11111111 is not confirmed (40?)")));
        log = w.logLines();
    }

    // Two timeouts later nothing more of it came: no frame, no line, the bus still free.
    const int sent = b.settled();
    const int lines = int(log.size());
    QTest::qWait(2 * kTimeoutMs);
    QCOMPARE(b.received().size(), sent);
    QCOMPARE(w.logLines().mid(lines), QStringList());
    QVERIFY(!w.session().busy());

    // The scan right after (one retry) is the only one on the bus, sends
    // exactly its frames and finds both meters, with nothing of the ended
    // operation in its way (where a broadcast moved them both, their
    // collision at 40; where the address write went out, meter 1 is gone).
    const bool bothMoved = operation == QLatin1String("address by address") && !done;
    const QStringList frames = bothMoved ? QStringList{"10 7B 28 A3 16", "10 7B 28 A3 16"}
                                         : QStringList{"10 7B 01 7C 16", "10 7B 02 7D 16"};
    const QString scanSummary = bothMoved ? QStringLiteral("Scan of 40..40: 0 meter(s) found; no valid reply from 40.")
                                : atTheWrite ? QStringLiteral("Scan of 1..2: 1 meter(s) found.")
                                             : QStringLiteral("Scan of 1..2: 2 meter(s) found.");
    const QStringList after = bothMoved ? b.scanAfter(40, 40) : b.scanAfter(1, 2);
    QVERIFY(QTest::qWaitFor([&] { return b.received().size() >= sent + frames.size(); }, 3000));
    QCOMPARE(b.received().mid(sent), frames);
    QVERIFY2(after.contains(scanSummary) && after.filter(QStringLiteral("came too late")).isEmpty(),
             qPrintable(after.join(u'\n')));
}

// Whatever the link still holds when an operation ends, or brings after it,
// is dropped: on the TCP routes, after a stop that came once the reply was
// in, and after operations that ended by themselves.
void TstOperationEnds::nextOperationSendsOnlyItsFrames_data()
{
    addColumns();
    for (const char *route : {"converter", "gateway"}) {
        for (const char *operation : {"read selected", "search", "custom command", "display write"})
            QTest::addRow("%s, %s stopped", route, operation) << route << operation << "reply" << writeOf(operation);
        for (const char *operation : {"read selected", "custom command"})
            QTest::addRow("%s, %s done", route, operation) << route << operation << "done" << QString();
    }
}

void TstOperationEnds::stoppedSelectionIsClosed_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<QString>("how");
    for (const char *route : {"converter", "gateway", "serial"}) {
        QTest::addRow("%s, Stop after the address write", route) << route << "stop write";
        QTest::addRow("%s, Stop after Find by ID selected", route) << route << "stop find";
        QTest::addRow("%s, every acknowledgement of the selection lost", route) << route << "lost";
    }
    QTest::newRow("converter, Ctrl+C after the address write") << "converter"
                                                               << "interrupt";
}

// A selection that may be open when its operation ends is ended by a
// SND_NKE to 253 that reaches the bus, on every route.
void TstOperationEnds::stoppedSelectionIsClosed()
{
    QFETCH(QString, route);
    QFETCH(QString, how);
    // The meter holds its answers back, so that the stop comes before them;
    // or it loses its first two (both tries of the selection).
    const bool lost = how == QLatin1String("lost");
    const QByteArray bus = lost ? QByteArray(kOneMeter) + "drop-first = 2\n" : kBus;
    RouteWindow b(route, lost ? QStringList() : QStringList{QStringLiteral("--reply-delay"), QStringLiteral("400")},
                  1000, bus);
    QVERIFY(b.sim->isReady());
    MainWindow &w = *b.window;
    const QString selection = QStringLiteral("68 0B 0B 68 53 FD 52 11 11 11 11 FF FF FF FF");
    QString lastOut;
    if (how == QLatin1String("interrupt")) {
        QProcess cli;
        cli.start(QStringLiteral(TELVARO_BIN_DIR "/telvaro-cli"),
                  {"set-address", "40", "--id", "11111111", "--tcp", QStringLiteral("127.0.0.1:%1").arg(b.sim->port()),
                   "--timeout", "1000", "--retries", "0"});
        QTRY_VERIFY_WITH_TIMEOUT(b.received().contains(kWriteOf40), 10000);
        lastOut = kWriteOf40;
        ::kill(pid_t(cli.processId()), SIGINT);
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitCode(), 130);
    } else {
        w.settings().retry = 1;
        start(w, how == QLatin1String("stop write") ? QStringLiteral("address by ID") : QStringLiteral("find by ID"));
        if (how == QLatin1String("stop write")) {
            QTRY_VERIFY_WITH_TIMEOUT(b.received().contains(kWriteOf40), 10000);
            lastOut = kWriteOf40;
        } else {
            QTRY_VERIFY(!b.received().filter(selection).isEmpty());
            lastOut = b.received().filter(selection).last();
        }
        if (!lost)
            pressStop(w, QStringLiteral("find by ID"));
        QVERIFY(b.idle());
    }
    QTRY_VERIFY2(b.received().mid(b.received().lastIndexOf(lastOut)).contains(kDeselect),
                 qPrintable(b.received().join(u'\n')));
}

void TstOperationEnds::scanAt254TakesTheMeter_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("summary");
    QTest::newRow("253 and 254") << 253 << "Scan of 253..254: 1 meter(s) found.";
    QTest::newRow("254 alone") << 254 << "Scan of 254..254: 1 meter(s) found.";
}

// One meter on the bus: at 254 it answers with its own address 1, and that
// is the meter, not a reply from the wrong address.
void TstOperationEnds::scanAt254TakesTheMeter()
{
    QFETCH(int, from);
    QFETCH(QString, summary);
    QTemporaryDir busDir;
    Bench b(Bench::writeBus(busDir, kOneMeter), "[Misc]\nRetry=0\n[Archive]\nEnabled=0\n");
    QVERIFY(b.sim.isReady());
    QVERIFY(b.scan(from, 254, 10000));
    const QStringList log = b.window->logLines();
    QCOMPARE(log.last(), summary);
    QVERIFY(log.filter(QStringLiteral("not taken")).isEmpty());
    QCOMPARE(b.cell(1, 0) + u'@' + b.cell(1, 1), QStringLiteral("11111111@1"));
}

QTEST_MAIN(TstOperationEnds)
#include "tst_operation_ends.moc"
