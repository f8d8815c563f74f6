// The serial link on a pseudo-terminal made by the test, up to the point where
// bytes flow: device names, line settings as the driver sees them, refusals of
// bad names, speeds and calls, exclusive use against a second holder, and
// closing and destroying an open port.
//
// A pseudo-terminal keeps speed, PARODD, CMSPAR and CSTOPB as set, but its
// driver clears PARENB and forces CS8 whatever was asked. To see the complete
// request this test also looks at the termios block recorded from tcsetattr.

#include "serial_port.h"
#include "serial_test_support.h"

#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace serial_test;

Q_DECLARE_METATYPE(BaudRate)
Q_DECLARE_METATYPE(Parity)

class TstSerialSetup : public QObject {
    Q_OBJECT

private slots:
    void devicePath_data();
    void devicePath();

    void openAtSpeedAndParity_data();
    void openAtSpeedAndParity();
    void unsupportedSpeed_data();
    void unsupportedSpeed();
    void lineSettingsApplyWhileOpen();
    void refusedWhileOpen_data();
    void refusedWhileOpen();
    void notADevice_data();
    void notADevice();

    void exclusiveUse();
    void probeThenOpenAsUser();
    void closeTwiceClosesOnce();
    void destroyWhileOpenReleasesPort();
};

// clang-format off
void TstSerialSetup::devicePath_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    QTest::newRow("COM1") << "COM1" << "/dev/ttyS0";
    QTest::newRow("COM2") << "COM2" << "/dev/ttyS1";
    QTest::newRow("COM12") << "COM12" << "/dev/ttyS11";
    QTest::newRow("COM256") << "COM256" << "/dev/ttyS255";
    QTest::newRow("lower case") << "com3" << "/dev/ttyS2";
    QTest::newRow("mixed case") << "Com4" << "/dev/ttyS3";
    QTest::newRow("surrounding spaces") << " COM5 " << "/dev/ttyS4";
    QTest::newRow("bare name") << "ttyUSB0" << "/dev/ttyUSB0";
    QTest::newRow("bare ACM name") << "ttyACM1" << "/dev/ttyACM1";
    QTest::newRow("absolute path") << "/dev/ttyUSB1" << "/dev/ttyUSB1";
    QTest::newRow("by-id path") << "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"
                                << "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";
    QTest::newRow("pty path") << "/dev/pts/7" << "/dev/pts/7";
    QTest::newRow("path that looks like COM") << "/tmp/COM1" << "/tmp/COM1";
    QTest::newRow("COM with suffix is a name") << "COM1x" << "/dev/COM1x";
}
// clang-format on

void TstSerialSetup::devicePath()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(serialDevicePath(name), expected);
}

void TstSerialSetup::openAtSpeedAndParity_data()
{
    QTest::addColumn<BaudRate>("rate");
    QTest::addColumn<int>("speed");
    QTest::addColumn<Parity>("parity");

    const std::tuple<BaudRate, int, const char *> rates[] = {
        {BaudRate::Baud300, B300, "300"},       {BaudRate::Baud2400, B2400, "2400"},
        {BaudRate::Baud4800, B4800, "4800"},    {BaudRate::Baud9600, B9600, "9600"},
        {BaudRate::Baud19200, B19200, "19200"},
    };
    const std::pair<Parity, const char *> parities[] = {
        {Parity::None, "None"}, {Parity::Odd, "Odd"},     {Parity::Even, "Even"},
        {Parity::Mark, "Mark"}, {Parity::Space, "Space"},
    };
    for (const auto &[rate, speed, rateName] : rates)
        for (const auto &[parity, parityName] : parities)
            QTest::addRow("%s,8,%s", rateName, parityName) << rate << speed << parity;
}

void TstSerialSetup::openAtSpeedAndParity()
{
    QFETCH(BaudRate, rate);
    QFETCH(int, speed);
    QFETCH(Parity, parity);

    Pty pty;
    QVERIFY(pty.isValid());
    spoilSlave(pty.slavePath());

    SerialPort comm;
    QSignalSpy opened(&comm, &SerialPort::opened);
    QSignalSpy closed(&comm, &SerialPort::closed);
    comm.setDeviceName(pty.slavePath());
    comm.setBaudrate(rate);
    comm.setParity(parity);
    comm.setDatabits(DataBits::Eight);
    comm.setStopbits(StopBits::One);

    g_requests = 0;
    try {
        comm.open();
    } catch (const SerialPortError &e) {
        QFAIL(qPrintable(e.message()));
    }
    QVERIFY(comm.isOpen());
    QCOMPARE(opened.count(), 1);
    QVERIFY(g_requests > 0);

    const bool odd = parity == Parity::Odd || parity == Parity::Mark;
    const bool stick = parity == Parity::Mark || parity == Parity::Space;

    // What was asked of the driver.
    const termios &req = g_requested;
    QCOMPARE(bool(req.c_cflag & PARENB), parity != Parity::None);
    QCOMPARE(bool(req.c_cflag & PARODD), odd);
    QCOMPARE(bool(req.c_cflag & CMSPAR), stick);
    QCOMPARE(req.c_cflag & CSIZE, tcflag_t(CS8));
    QVERIFY(!(req.c_cflag & CSTOPB));
    QVERIFY(!(req.c_iflag & INPCK)); // no parity checking of received bytes

    // What the driver holds: everything it keeps on a pseudo-terminal.
    const termios tio = pty.slaveAttributes();
    QCOMPARE(int(::cfgetispeed(&tio)), speed);
    QCOMPARE(int(::cfgetospeed(&tio)), speed);
    QCOMPARE(bool(tio.c_cflag & PARODD), odd);
    QCOMPARE(bool(tio.c_cflag & CMSPAR), stick);
    QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
    QVERIFY(!(tio.c_cflag & CSTOPB));
    QVERIFY(tio.c_cflag & CLOCAL);
    QVERIFY(tio.c_cflag & CREAD);
    QVERIFY(!(tio.c_cflag & HUPCL));
    QVERIFY(!(tio.c_cflag & CRTSCTS));
    QCOMPARE(tio.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), tcflag_t(0));
    QCOMPARE(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF | IXANY | INPCK | PARMRK), tcflag_t(0));
    QVERIFY(!(tio.c_oflag & OPOST));
    QCOMPARE(int(tio.c_cc[VMIN]), 0);
    QCOMPARE(int(tio.c_cc[VTIME]), 0);

    comm.close();
    QVERIFY(!comm.isOpen());
    QCOMPARE(closed.count(), 1);
    QCOMPARE(SerialPort::probe(pty.slavePath()), 0);
}

void TstSerialSetup::unsupportedSpeed_data()
{
    QTest::addColumn<BaudRate>("rate");
    QTest::addColumn<int>("userRate");
    QTest::addColumn<int>("speed"); // termios speed when it opens, 0 when it must be refused

    QTest::newRow("14400") << BaudRate::Baud14400 << 0 << 0;
    QTest::newRow("56000") << BaudRate::Baud56000 << 0 << 0;
    QTest::newRow("128000") << BaudRate::Baud128000 << 0 << 0;
    QTest::newRow("256000") << BaudRate::Baud256000 << 0 << 0;
    QTest::newRow("user rate unset") << BaudRate::User << 0 << 0;
    QTest::newRow("user rate odd") << BaudRate::User << 12345 << 0;
    QTest::newRow("user rate negative") << BaudRate::User << -9600 << 0;
    QTest::newRow("user rate 57600") << BaudRate::User << 57600 << int(B57600);
    QTest::newRow("115200") << BaudRate::Baud115200 << 0 << int(B115200);
    QTest::newRow("110") << BaudRate::Baud110 << 0 << int(B110);
}

// A speed the driver has no setting for is refused, and the refusal leaves
// the port closed and free for the next attempt.
void TstSerialSetup::unsupportedSpeed()
{
    QFETCH(BaudRate, rate);
    QFETCH(int, userRate);
    QFETCH(int, speed);

    Pty pty;
    QVERIFY(pty.isValid());
    SerialPort comm;
    QSignalSpy opened(&comm, &SerialPort::opened);
    comm.setDeviceName(pty.slavePath());
    comm.setBaudrate(rate);
    comm.setUserBaudrate(userRate);

    if (speed != 0) {
        comm.open();
        QCOMPARE(outputSpeed(pty), speed);
        comm.close();
        return;
    }
    QString message;
    try {
        comm.open();
    } catch (const SerialPortError &e) {
        message = e.message();
    }
    QCOMPARE(message, QStringLiteral("Error writing dcb (%1), %2").arg(EINVAL).arg(systemText(EINVAL)));
    QVERIFY(!comm.isOpen());
    QCOMPARE(opened.count(), 0);
    QCOMPARE(SerialPort::probe(pty.slavePath()), 0);
    QCOMPARE(exclusiveFlag(pty.slavePath()), 0);
    QVERIFY(descriptorsOf(pty.slavePath()).isEmpty());
}

void TstSerialSetup::lineSettingsApplyWhileOpen()
{
    Pty pty;
    QVERIFY(pty.isValid());
    SerialPort comm;
    comm.setDeviceName(pty.slavePath());
    comm.setBaudrate(BaudRate::Baud2400);
    comm.setParity(Parity::None);
    comm.open();
    QCOMPARE(outputSpeed(pty), int(B2400));

    comm.setBaudrate(BaudRate::Baud9600);
    QCOMPARE(outputSpeed(pty), int(B9600));
    comm.setParity(Parity::Odd);
    QVERIFY(pty.slaveAttributes().c_cflag & PARODD);
    QVERIFY(g_requested.c_cflag & PARENB);
    comm.setStopbits(StopBits::Two);
    QVERIFY(pty.slaveAttributes().c_cflag & CSTOPB);

    // A speed the driver cannot do is refused; the port stays open and usable.
    QVERIFY_THROWS_EXCEPTION(SerialPortError, comm.setBaudrate(BaudRate::Baud14400));
    QVERIFY(comm.isOpen());
    QVERIFY(comm.writeText("ok"));
    QCOMPARE(pty.read(2), QByteArray("ok"));
}

// clang-format off
void TstSerialSetup::refusedWhileOpen_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("Open") << "Open";
    QTest::newRow("setDeviceName") << "setDeviceName";
    QTest::newRow("setBuffers") << "setBuffers";
}
// clang-format on

void TstSerialSetup::refusedWhileOpen()
{
    QFETCH(QString, operation);
    Pty pty;
    QVERIFY(pty.isValid());
    SerialPort comm;
    QSignalSpy opened(&comm, &SerialPort::opened);
    comm.setDeviceName(pty.slavePath());
    comm.open();
    const auto fds = descriptorsOf(pty.slavePath());
    QCOMPARE(fds.size(), 1);

    QString message;
    try {
        if (operation == QLatin1String("Open"))
            comm.open();
        else if (operation == QLatin1String("setDeviceName"))
            comm.setDeviceName(QStringLiteral("/dev/null"));
        else
            comm.setBuffers(SerialBuffers{1, 1, 1, 1, 1, 1});
    } catch (const SerialPortError &e) {
        message = e.message();
    }
    QCOMPARE(message, QStringLiteral("Can't perform this operation while port is open"));

    // Nothing changed: same device, same descriptor, still working.
    QVERIFY(comm.isOpen());
    QCOMPARE(comm.deviceName(), pty.slavePath());
    QCOMPARE(comm.buffers().readSize, SerialBuffers{}.readSize);
    QCOMPARE(descriptorsOf(pty.slavePath()), fds);
    QCOMPARE(opened.count(), 1);
    QVERIFY(comm.writeText("still here"));
    QCOMPARE(pty.read(10), QByteArray("still here"));
}

// clang-format off
void TstSerialSetup::notADevice_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message"); // exact text, or the start of it ending in "*"
    QTest::addColumn<QString>("reason");  // the end of the plain words the log shows

    const QString notFound = QStringLiteral("Specified device not found (%1).").arg(systemText(ENOENT));
    const QString noDevice = QStringLiteral(": no such device (is the adapter plugged in?)");
    QTest::newRow("absent") << "/dev/telvaro-no-such-port" << notFound << noDevice;
    QTest::newRow("absent folder") << "/nonexistent/ttyUSB0" << notFound << noDevice;
    QTest::newRow("empty name") << "" << notFound << noDevice;
    QTest::newRow("folder") << "/tmp" << QStringLiteral("Can't open specified device /tmp (Error %1, %2)")
                                                 .arg(EISDIR).arg(systemText(EISDIR)) << " is not a serial port";
    QTest::newRow("not a terminal") << "/dev/null"
                                    << QStringLiteral("Error writing dcb (%1), %2").arg(ENOTTY).arg(systemText(ENOTTY))
                                    << "/dev/null is not a serial port";
    QTest::newRow("plain file") << "@file" << QStringLiteral("Error writing dcb (%1), %2").arg(ENOTTY).arg(systemText(ENOTTY))
                                << " is not a serial port";
}
// clang-format on

// A name that is no usable serial device gives an error with the usual text,
// and leaves nothing open behind.
void TstSerialSetup::notADevice()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    QFETCH(QString, reason);
    QTemporaryFile file;
    if (path == QLatin1String("@file")) {
        QVERIFY(file.open());
        file.write("not a serial port");
        file.flush();
        path = file.fileName();
    }

    const QString canonical = QFileInfo(path).canonicalFilePath();
    const auto before = canonical.isEmpty() ? QList<int>() : descriptorsOf(canonical);
    SerialPort comm;
    QSignalSpy opened(&comm, &SerialPort::opened);
    comm.setDeviceName(path);
    QString got;
    try {
        comm.open();
        QFAIL("Open succeeded");
    } catch (const SerialPortError &e) {
        got = e.message();
        QVERIFY2(openFailureText(path, e.code()).endsWith(reason), qPrintable(openFailureText(path, e.code())));
    }
    QCOMPARE(got, message);
    QVERIFY(!comm.isOpen());
    QCOMPARE(opened.count(), 0);
    QVERIFY(SerialPort::probe(QStringLiteral("/dev/telvaro-no-such-port")) == ENOENT);
    if (!canonical.isEmpty())
        QCOMPARE(descriptorsOf(canonical), before);
    comm.close(); // harmless on a port that never opened
}

void TstSerialSetup::exclusiveUse()
{
    Pty pty;
    QVERIFY(pty.isValid());
    const QString path = pty.slavePath();
    QCOMPARE(SerialPort::probe(path), 0);

    SerialPort first;
    first.setDeviceName(path);
    first.open();
    QCOMPARE(exclusiveFlag(path), 1);

    // The probe and a second user are turned away even for root, who passes TIOCEXCL.
    QCOMPARE(SerialPort::probe(path), EBUSY);
    SerialPort second;
    QSignalSpy secondOpened(&second, &SerialPort::opened);
    second.setDeviceName(path);
    QString message;
    int code = 0;
    try {
        second.open();
    } catch (const SerialPortError &e) {
        message = e.message();
        code = e.code();
    }
    QCOMPARE(code, EBUSY);
    QCOMPARE(
        message,
        QStringLiteral("Can't open specified device %1 (Error %2, %3)").arg(path).arg(EBUSY).arg(systemText(EBUSY)));
    QVERIFY(!second.isOpen());
    QCOMPARE(secondOpened.count(), 0);
    QCOMPARE(descriptorsOf(path).size(), 1);

    // The turned-away attempts did not disturb the holder.
    QVERIFY(first.writeText("mine"));
    QCOMPARE(pty.read(4), QByteArray("mine"));

    first.close();
    QCOMPARE(exclusiveFlag(path), 0);
    QCOMPARE(SerialPort::probe(path), 0);
    second.open();
    QVERIFY(second.isOpen());
    QCOMPARE(SerialPort::probe(path), EBUSY);
    second.close();

    // And the first can have it back.
    first.open();
    QVERIFY(first.isOpen());
    first.close();
    QCOMPARE(SerialPort::probe(path), 0);
    QCOMPARE(exclusiveFlag(path), 0);
}

// What the program does for an ordinary user (no root, so TIOCEXCL applies):
// probe the port, open it, close it, and the same again.
void TstSerialSetup::probeThenOpenAsUser()
{
    Pty pty;
    QVERIFY(pty.isValid());
    const QString path = pty.slavePath();
    auto session = [&path]() -> int {
        for (int round = 0; round < 2; ++round) {
            if (SerialPort::probe(path) != 0)
                return 10 + round;
            SerialPort comm;
            comm.setDeviceName(path);
            try {
                comm.open();
            } catch (const SerialPortError &) {
                return 20 + round;
            }
            if (SerialPort::probe(path) != EBUSY)
                return 30 + round;
            comm.close();
        }
        return 0;
    };
    int result = 0;
    if (::geteuid() != 0) {
        result = session();
    } else {
        QVERIFY(::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0);
        const pid_t pid = ::fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(99);
            ::_exit(session());
        }
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        result = WIFEXITED(status) ? WEXITSTATUS(status) : 98;
    }
    QVERIFY2(result != 99, "could not give up root");
    QVERIFY2(result < 20 || result >= 30, "Open after a successful probe was refused");
    QCOMPARE(result, 0);
}

// A second close must not close a descriptor number that something else has
// taken over in the meantime, nor may the destructor.
void TstSerialSetup::closeTwiceClosesOnce()
{
    Pty pty;
    QVERIFY(pty.isValid());
    const int stand = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    QVERIFY(stand >= 0);
    int fd = -1;
    {
        SerialPort comm;
        QSignalSpy closed(&comm, &SerialPort::closed);
        comm.setDeviceName(pty.slavePath());
        comm.open();
        const auto fds = descriptorsOf(pty.slavePath());
        QCOMPARE(fds.size(), 1);
        fd = fds.first();

        comm.close();
        QVERIFY(::fcntl(fd, F_GETFD) == -1 && errno == EBADF);
        QCOMPARE(::dup2(stand, fd), fd); // someone else now owns that number
        comm.close();
        QCOMPARE(closed.count(), 1);
        QVERIFY2(::fcntl(fd, F_GETFD) != -1, "second Close closed a descriptor it no longer owned");
    }
    QVERIFY2(::fcntl(fd, F_GETFD) != -1, "destructor closed a descriptor it no longer owned");
    ::close(fd);
    ::close(stand);
}

void TstSerialSetup::destroyWhileOpenReleasesPort()
{
    Pty pty;
    QVERIFY(pty.isValid());
    {
        SerialPort comm;
        comm.setDeviceName(pty.slavePath());
        comm.open();
        QCOMPARE(SerialPort::probe(pty.slavePath()), EBUSY);
    }
    QVERIFY(descriptorsOf(pty.slavePath()).isEmpty());
    QCOMPARE(SerialPort::probe(pty.slavePath()), 0);
    QCOMPARE(exclusiveFlag(pty.slavePath()), 0);
}

QTEST_GUILESS_MAIN(TstSerialSetup)
#include "tst_serial_setup.moc"
