// However an operation of the window ends — the converter hangs up in the
// middle of it, or the technician presses Stop — it ends there: the log says
// it stopped, nothing of it reaches the bus or the log afterwards, the bus is
// free, and a scan right after finds every meter.

#include "window_bench.h"

#include "display/display_table.h"
#include "display_pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

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

// The window on the converter route to mbus-sim --tcp, every question answered Yes.
struct ConverterWindow {
    explicit ConverterWindow(const QStringList &simArguments) : sim(SimProcess::Tcp{}, arguments(simArguments))
    {
        const QString ini = dir.filePath(QStringLiteral("telvaro.ini"));
        QFile file(ini);
        if (file.open(QIODevice::WriteOnly))
            file.write("[Mbus]\nTimeout=" + QByteArray::number(kTimeoutMs)
                       + "\n[Misc]\nUseLANXP=1\nRetry=0\n[LANXP]\nIP=127.0.0.1\nPort=" + QByteArray::number(sim.port())
                       + "\n[Archive]\nEnabled=0\n");
        file.close();
        window = std::make_unique<MainWindow>(ini);
        window->askYesNoCancel = [](const QString &, const QString &) { return QMessageBox::Yes; };
        window->askYesNo = [](const QString &, const QString &) { return true; };
        window->show();
        // Two meters in the table, the first one selected; both display rows selected.
        window->deviceTable().setRows({{"11111111", "1"}, {"22222222", "2"}});
        window->session().selectRow(0);
        QStringList first(display::TevColumns, QString()), second = first;
        first[display::TevAddress] = QStringLiteral("1");
        second[display::TevAddress] = QStringLiteral("2");
        window->tevTable().setRows({first, second});
        window->tevTable().selectAll(true);
    }
    QStringList arguments(const QStringList &extra)
    {
        const QString bus = dir.filePath(QStringLiteral("ends.bus"));
        QFile file(bus);
        if (file.open(QIODevice::WriteOnly))
            file.write(kBus);
        return QStringList{QStringLiteral("--bus"), bus, QStringLiteral("--tcp"), QStringLiteral("0")} + extra;
    }
    // What the simulator received so far, one line per frame or display command.
    QStringList received() { return sim.output().split(u'\n').filter(QRegularExpression(QStringLiteral("^RX "))); }
    bool idle(int ms = 10000)
    {
        return QTest::qWaitFor([this] { return !window->session().busy(); }, ms);
    }

    QTemporaryDir dir;
    SimProcess sim;
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

void addRows()
{
    QTest::addColumn<QString>("operation");
    for (const char *operation :
         {"scan", "read selected", "read all", "address by address", "address by ID", "reset", "baud", "ID", "value",
          "medium", "auto addressing", "search", "custom command", "display read", "display write"})
        QTest::newRow(operation) << QString::fromLatin1(operation);
}

} // namespace

class TstOperationEnds : public QObject {
    Q_OBJECT
private slots:
    void everyOperationEndsOnLinkLoss_data() { addRows(); }
    void everyOperationEndsOnLinkLoss() { endsCleanly(false); }
    void everyOperationStops_data() { addRows(); }
    void everyOperationStops() { endsCleanly(true); }
    void scanAt254TakesTheMeter_data();
    void scanAt254TakesTheMeter();

private:
    void endsCleanly(bool byStop);
};

void TstOperationEnds::endsCleanly(bool byStop)
{
    QFETCH(QString, operation);
    // Link loss: the converter hangs up instead of the operation's first reply.
    ConverterWindow b(byStop ? QStringList() : QStringList{QStringLiteral("--hangup-at"), QStringLiteral("1")});
    QVERIFY(b.sim.isReady() && b.sim.port());
    MainWindow &w = *b.window;
    start(w, operation);
    QVERIFY2(w.session().busy(), qPrintable(w.logLines().join(u'\n')));
    if (byStop) {
        QTRY_VERIFY(!b.received().isEmpty()); // its first request is out
        pressStop(w, operation);
    }
    QVERIFY(b.idle());
    QStringList log = w.logLines();
    QVERIFY2(log.filter(QStringLiteral("stopped before the end")).size() == 1, qPrintable(log.join(u'\n')));
    if (!byStop)
        QVERIFY(log.contains(QStringLiteral("The connection was lost, the operation is stopped...")));

    // Two timeouts later nothing more of it came: no frame, no line, the bus still free.
    QTest::qWait(100);
    const int sent = int(b.received().size());
    const int lines = int(log.size());
    QTest::qWait(2 * kTimeoutMs);
    QCOMPARE(b.received().size(), sent);
    QCOMPARE(w.logLines().mid(lines), QStringList());
    QVERIFY(!w.session().busy());

    // The scan right after is the only one on the bus, and finds both meters
    // (where a broadcast moved them both, their collision at 40).
    const bool bothMoved = operation == QLatin1String("address by address");
    const QStringList frames = bothMoved ? QStringList{"RX 10 7B 28 A3 16"}
                                         : QStringList{"RX 10 7B 01 7C 16", "RX 10 7B 02 7D 16"};
    const QString summary = bothMoved ? QStringLiteral("Scan of 40..40: 0 meter(s) found; no valid reply from 40.")
                                      : QStringLiteral("Scan of 1..2: 2 meter(s) found.");
    w.deviceTable().clear();
    w.settings().fastReads = true; // a reply is taken as soon as it is whole
    w.devices->fromAddressBox->setValue(bothMoved ? 40 : 1);
    w.devices->toAddressBox->setValue(bothMoved ? 40 : 2);
    QTest::mouseClick(w.devices->findPrimaryButton, Qt::LeftButton);
    QVERIFY(b.idle());
    QVERIFY(QTest::qWaitFor([&] { return b.received().size() >= sent + frames.size(); }, 3000));
    QCOMPARE(b.received().mid(sent), frames);
    QVERIFY2(w.logLines().contains(summary), qPrintable(w.logLines().join(u'\n')));
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
