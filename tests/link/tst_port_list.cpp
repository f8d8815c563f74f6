// The port list comes from the kernel's tty class, never from opening devices:
// opening a port pulses DTR and RTS on whatever hangs on it.

#include "link_route.h"
#include "port_list.h"
#include "pty_pair.h"

#include <QtTest>

#include <sys/inotify.h>

class TstPortList : public QObject {
    Q_OBJECT
private slots:
    void listsPortsWithHardware();
    void tcpPortNumbers_data();
    void tcpPortNumbers();
};

namespace {

// One entry of a made-up /sys/class/tty: with a device link or without, with
// the serial core's UART type or without.
void makeEntry(const QDir &sys, const QString &name, bool device, const char *uartType)
{
    QVERIFY(sys.mkpath(name));
    if (device)
        QVERIFY(sys.mkpath(name + QStringLiteral("/device")));
    if (uartType) {
        QFile type(sys.filePath(name + QStringLiteral("/type")));
        QVERIFY(type.open(QIODevice::WriteOnly));
        type.write(uartType);
    }
}

} // namespace

void TstPortList::listsPortsWithHardware()
{
    QTemporaryDir root;
    const QDir sys(root.filePath(QStringLiteral("sys")));
    const QDir dev(root.filePath(QStringLiteral("dev")));
    QVERIFY(QDir().mkpath(sys.path()) && QDir().mkpath(dev.path()));
    PtyPair pty;
    QVERIFY(pty.isValid());

    makeEntry(sys, QStringLiteral("ttyUSB0"), true, nullptr);  // USB adapter
    makeEntry(sys, QStringLiteral("ttyACM0"), true, nullptr);  // modem
    makeEntry(sys, QStringLiteral("ttyS0"), true, "4\n");      // on-board UART
    makeEntry(sys, QStringLiteral("ttyS1"), true, "0\n");      // legacy entry, no chip
    makeEntry(sys, QStringLiteral("ttyS2"), true, "4\n");      // no device node
    makeEntry(sys, QStringLiteral("tty1"), false, nullptr);    // virtual terminal
    makeEntry(sys, QStringLiteral("ttyUSB9"), false, nullptr); // gone, entry left
    // Every node is the pseudo-terminal, watched for being opened.
    for (const char *name : {"ttyUSB0", "ttyACM0", "ttyS0", "ttyS1", "tty1", "ttyUSB9"})
        QVERIFY(QFile::link(pty.slavePath(), dev.filePath(QString::fromLatin1(name))));
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    QVERIFY(::inotify_add_watch(watch, QFile::encodeName(pty.slavePath()).constData(), IN_OPEN) >= 0);

    const QStringList ports = availableSerialPorts(sys.path(), dev.path());

    QCOMPARE(ports, QStringList({dev.filePath(QStringLiteral("ttyUSB0")), dev.filePath(QStringLiteral("ttyACM0")),
                                 dev.filePath(QStringLiteral("ttyS0"))}));
    // The default port of a first start: the first USB adapter, none without one.
    QCOMPARE(firstUsbSerialPort(sys.path(), dev.path()), dev.filePath(QStringLiteral("ttyUSB0")));
    QVERIFY(QFile::remove(dev.filePath(QStringLiteral("ttyUSB0")))
            && QFile::remove(dev.filePath(QStringLiteral("ttyACM0"))));
    QCOMPARE(firstUsbSerialPort(sys.path(), dev.path()), QString());
    char events[4096];
    QCOMPARE(::read(watch, events, sizeof events), ssize_t(-1)); // nothing was opened
    ::close(watch);
}

// The TCP port fields of the settings: only 1..65535 written in plain digits.
void TstPortList::tcpPortNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port"); // -1: no port

    QTest::newRow("lowest") << "1" << 1;
    QTest::newRow("converter default") << "10001" << 10001;
    QTest::newRow("listen default") << "59615" << 59615;
    QTest::newRow("highest") << "65535" << 65535;
    QTest::newRow("leading zeros") << "00080" << 80;
    QTest::newRow("zero") << "0" << -1;
    QTest::newRow("zeros") << "00000" << -1;
    QTest::newRow("one too many") << "65536" << -1;
    QTest::newRow("wraps to 80 in 16 bits") << "65616" << -1;
    QTest::newRow("wraps to 80 in 32 bits") << "4294967376" << -1;
    QTest::newRow("far too many digits") << QString(400, u'9') << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("space before") << " 80" << -1;
    QTest::newRow("space after") << "80 " << -1;
    QTest::newRow("plus sign") << "+80" << -1;
    QTest::newRow("minus") << "-1" << -1;
    QTest::newRow("hex") << "0x50" << -1;
    QTest::newRow("letters") << "port" << -1;
    QTest::newRow("digits of another script") << QString::fromUtf8("\u0668\u0660") << -1;
    QTest::newRow("full-width digits") << QString::fromUtf8("\uFF18\uFF10") << -1;
}

void TstPortList::tcpPortNumbers()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    const std::optional<quint16> parsed = tcpPortNumber(text);
    QCOMPARE(parsed.has_value(), port >= 0);
    if (parsed)
        QCOMPARE(int(*parsed), port);
}

QTEST_GUILESS_MAIN(TstPortList)
#include "tst_port_list.moc"
