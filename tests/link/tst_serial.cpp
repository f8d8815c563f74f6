// The serial link on a pseudo-terminal made by the test: line settings as the
// driver sees them, bytes in both directions untouched by any line discipline,
// exclusive use against a second holder, and a device that goes away while open.
//
// A pseudo-terminal keeps speed, PARODD, CMSPAR and CSTOPB as set, but its
// driver clears PARENB and forces CS8 whatever was asked. To see the complete
// request this test also records every termios block handed to tcsetattr.

#include "serial_comm.h"

#include <QtTest>

#include <thread>

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

Q_DECLARE_METATYPE(TSerialBaudrate)
Q_DECLARE_METATYPE(TSerialParity)

namespace {

termios g_requested{};
int g_requests = 0;

} // namespace

// Records what the serial module asks for, then lets the C library do it.
extern "C" int tcsetattr(int fd, int action, const struct termios *tio) noexcept
{
    using Real = int (*)(int, int, const struct termios *);
    static const Real real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "tcsetattr"));
    if (tio) {
        g_requested = *tio;
        ++g_requests;
    }
    return real ? real(fd, action, tio) : (errno = ENOSYS, -1);
}

namespace {

QString systemText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// The master side of a pseudo-terminal; the code under test opens the slave path.
class Pty {
public:
    Pty()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        char name[128] = {};
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0
            || ::ptsname_r(m_master, name, sizeof name) != 0) {
            closeMaster();
            return;
        }
        m_slave = QString::fromLocal8Bit(name);
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool isValid() const { return m_master >= 0; }
    int master() const { return m_master; }
    const QString &slavePath() const { return m_slave; }

    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

    bool write(const QByteArray &bytes) const
    {
        qsizetype done = 0;
        QDeadlineTimer deadline(5000);
        while (done < bytes.size() && !deadline.hasExpired()) {
            const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            pollfd pfd{m_master, POLLOUT, 0};
            ::poll(&pfd, 1, 100);
        }
        return done == bytes.size();
    }

    // Waits for count bytes at most timeoutMs; returns what came.
    QByteArray read(qsizetype count, int timeoutMs = 3000) const
    {
        QByteArray got;
        QDeadlineTimer deadline(timeoutMs);
        char buffer[4096];
        while (got.size() < count) {
            const ssize_t n = ::read(m_master, buffer, size_t(std::min<qsizetype>(sizeof buffer, count - got.size())));
            if (n > 0) {
                got.append(buffer, n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                break;
            const qint64 left = deadline.remainingTime();
            if (left == 0)
                break;
            pollfd pfd{m_master, POLLIN, 0};
            ::poll(&pfd, 1, int(std::min<qint64>(left, 100)));
        }
        return got;
    }

    // The line settings of the slave as the driver holds them.
    termios slaveAttributes() const
    {
        termios tio{};
        ::tcgetattr(m_master, &tio);
        return tio;
    }

private:
    int m_master = -1;
    QString m_slave;
};

int outputSpeed(const Pty &pty)
{
    const termios tio = pty.slaveAttributes();
    return int(::cfgetospeed(&tio));
}

// Whether the exclusive-use flag of the tty is set: read through a second
// descriptor, or seen as the refusal of that descriptor when we are not root.
int exclusiveFlag(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY ? 1 : -errno;
    int flag = -1;
    if (::ioctl(fd, TIOCGEXCL, &flag) != 0)
        flag = -1;
    ::close(fd);
    return flag;
}

// Leaves the slave in a state no serial program wants, so that Open has to set
// every bit it relies on rather than inheriting it.
void spoilSlave(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    termios tio{};
    ::tcgetattr(fd, &tio);
    tio.c_lflag |= ICANON | ECHO | ECHOE | ISIG | IEXTEN;
    tio.c_iflag |= ICRNL | IXON | IXOFF | ISTRIP | INLCR | IGNCR;
    tio.c_oflag |= OPOST | ONLCR;
    tio.c_cflag |= HUPCL | CRTSCTS | CSTOPB | PARENB | PARODD | CMSPAR;
    tio.c_cflag &= ~(CLOCAL | CREAD);
    tio.c_cc[VMIN] = 5;
    tio.c_cc[VTIME] = 7;
    ::cfsetispeed(&tio, B110);
    ::cfsetospeed(&tio, B110);
    ::tcsetattr(fd, TCSANOW, &tio);
    ::close(fd);
}

// Descriptor numbers of this process that refer to path.
QList<int> descriptorsOf(const QString &path)
{
    QList<int> fds;
    const QDir dir(QStringLiteral("/proc/self/fd"));
    for (const QString &name : dir.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        if (QFileInfo(dir.filePath(name)).symLinkTarget() == path)
            fds << name.toInt();
    }
    return fds;
}

QByteArray allBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes += char(i);
    return bytes;
}

// Bytes a cooked line discipline would eat or change.
const QByteArray kControlBytes("\x00\x03\x04\x0A\x0D\x11\x13\x15\x17\x1A\x1C\x7F\xFF\x0D\x0A", 15);

} // namespace

class TstSerial : public QObject {
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

    void writesArrive_data();
    void writesArrive();
    void readsArrive_data();
    void readsArrive();
    void readAllOnEmptyQueueReturnsAtOnce();
    void closedPortIsQuiet();
    void purge_data();
    void purge();
    void largeWriteWithReader();
    void shortWriteWhenNobodyReads();

    void exclusiveUse();
    void probeThenOpenAsUser();
    void closeTwiceClosesOnce();
    void destroyWhileOpenReleasesPort();
    void vanishedDevice_data();
    void vanishedDevice();
};

void TstSerial::devicePath_data()
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

void TstSerial::devicePath()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(serialDevicePath(name), expected);
}

void TstSerial::openAtSpeedAndParity_data()
{
    QTest::addColumn<TSerialBaudrate>("rate");
    QTest::addColumn<int>("speed");
    QTest::addColumn<TSerialParity>("parity");

    const std::tuple<TSerialBaudrate, int, const char *> rates[] = {
        {TSerialBaudrate::br300, B300, "300"},     {TSerialBaudrate::br2400, B2400, "2400"},
        {TSerialBaudrate::br4800, B4800, "4800"},  {TSerialBaudrate::br9600, B9600, "9600"},
        {TSerialBaudrate::br19200, B19200, "19200"},
    };
    const std::pair<TSerialParity, const char *> parities[] = {
        {TSerialParity::paNone, "None"}, {TSerialParity::paOdd, "Odd"},     {TSerialParity::paEven, "Even"},
        {TSerialParity::paMark, "Mark"}, {TSerialParity::paSpace, "Space"},
    };
    for (const auto &[rate, speed, rateName] : rates)
        for (const auto &[parity, parityName] : parities)
            QTest::addRow("%s,8,%s", rateName, parityName) << rate << speed << parity;
}

void TstSerial::openAtSpeedAndParity()
{
    QFETCH(TSerialBaudrate, rate);
    QFETCH(int, speed);
    QFETCH(TSerialParity, parity);

    Pty pty;
    QVERIFY(pty.isValid());
    spoilSlave(pty.slavePath());

    TSerialComm comm;
    QSignalSpy opened(&comm, &TSerialComm::opened);
    QSignalSpy closed(&comm, &TSerialComm::closed);
    comm.setDeviceName(pty.slavePath());
    comm.setBaudrate(rate);
    comm.setParity(parity);
    comm.setDatabits(TSerialDatabits::db8);
    comm.setStopbits(TSerialStopbits::sb1);

    g_requests = 0;
    try {
        comm.Open();
    } catch (const ESerialCommError &e) {
        QFAIL(qPrintable(e.message()));
    }
    QVERIFY(comm.isOpen());
    QCOMPARE(opened.count(), 1);
    QVERIFY(g_requests > 0);

    const bool odd = parity == TSerialParity::paOdd || parity == TSerialParity::paMark;
    const bool stick = parity == TSerialParity::paMark || parity == TSerialParity::paSpace;

    // What was asked of the driver.
    const termios &req = g_requested;
    QCOMPARE(bool(req.c_cflag & PARENB), parity != TSerialParity::paNone);
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

    comm.Close();
    QVERIFY(!comm.isOpen());
    QCOMPARE(closed.count(), 1);
    QCOMPARE(TSerialComm::probe(pty.slavePath()), 0);
}

void TstSerial::unsupportedSpeed_data()
{
    QTest::addColumn<TSerialBaudrate>("rate");
    QTest::addColumn<int>("userRate");
    QTest::addColumn<int>("speed"); // termios speed when it opens, 0 when it must be refused

    QTest::newRow("14400") << TSerialBaudrate::br14400 << 0 << 0;
    QTest::newRow("56000") << TSerialBaudrate::br56000 << 0 << 0;
    QTest::newRow("128000") << TSerialBaudrate::br128000 << 0 << 0;
    QTest::newRow("256000") << TSerialBaudrate::br256000 << 0 << 0;
    QTest::newRow("user rate unset") << TSerialBaudrate::brUser << 0 << 0;
    QTest::newRow("user rate odd") << TSerialBaudrate::brUser << 12345 << 0;
    QTest::newRow("user rate negative") << TSerialBaudrate::brUser << -9600 << 0;
    QTest::newRow("user rate 57600") << TSerialBaudrate::brUser << 57600 << int(B57600);
    QTest::newRow("115200") << TSerialBaudrate::br115200 << 0 << int(B115200);
    QTest::newRow("110") << TSerialBaudrate::br110 << 0 << int(B110);
}

// A speed the driver has no setting for is refused, and the refusal leaves
// the port closed and free for the next attempt.
void TstSerial::unsupportedSpeed()
{
    QFETCH(TSerialBaudrate, rate);
    QFETCH(int, userRate);
    QFETCH(int, speed);

    Pty pty;
    QVERIFY(pty.isValid());
    TSerialComm comm;
    QSignalSpy opened(&comm, &TSerialComm::opened);
    comm.setDeviceName(pty.slavePath());
    comm.setBaudrate(rate);
    comm.setUserBaudrate(userRate);

    if (speed != 0) {
        comm.Open();
        QCOMPARE(outputSpeed(pty), speed);
        comm.Close();
        return;
    }
    QString message;
    try {
        comm.Open();
    } catch (const ESerialCommError &e) {
        message = e.message();
    }
    QCOMPARE(message, QStringLiteral("Error writing dcb (%1), %2").arg(EINVAL).arg(systemText(EINVAL)));
    QVERIFY(!comm.isOpen());
    QCOMPARE(opened.count(), 0);
    QCOMPARE(TSerialComm::probe(pty.slavePath()), 0);
    QCOMPARE(exclusiveFlag(pty.slavePath()), 0);
    QVERIFY(descriptorsOf(pty.slavePath()).isEmpty());
}

void TstSerial::lineSettingsApplyWhileOpen()
{
    Pty pty;
    QVERIFY(pty.isValid());
    TSerialComm comm;
    comm.setDeviceName(pty.slavePath());
    comm.setBaudrate(TSerialBaudrate::br2400);
    comm.setParity(TSerialParity::paNone);
    comm.Open();
    QCOMPARE(outputSpeed(pty), int(B2400));

    comm.setBaudrate(TSerialBaudrate::br9600);
    QCOMPARE(outputSpeed(pty), int(B9600));
    comm.setParity(TSerialParity::paOdd);
    QVERIFY(pty.slaveAttributes().c_cflag & PARODD);
    QVERIFY(g_requested.c_cflag & PARENB);
    comm.setStopbits(TSerialStopbits::sb2);
    QVERIFY(pty.slaveAttributes().c_cflag & CSTOPB);

    // A speed the driver cannot do is refused; the port stays open and usable.
    QVERIFY_THROWS_EXCEPTION(ESerialCommError, comm.setBaudrate(TSerialBaudrate::br14400));
    QVERIFY(comm.isOpen());
    QVERIFY(comm.WriteText("ok"));
    QCOMPARE(pty.read(2), QByteArray("ok"));
}

void TstSerial::refusedWhileOpen_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("Open") << "Open";
    QTest::newRow("setDeviceName") << "setDeviceName";
    QTest::newRow("setBuffers") << "setBuffers";
}

void TstSerial::refusedWhileOpen()
{
    QFETCH(QString, operation);
    Pty pty;
    QVERIFY(pty.isValid());
    TSerialComm comm;
    QSignalSpy opened(&comm, &TSerialComm::opened);
    comm.setDeviceName(pty.slavePath());
    comm.Open();
    const auto fds = descriptorsOf(pty.slavePath());
    QCOMPARE(fds.size(), 1);

    QString message;
    try {
        if (operation == QLatin1String("Open"))
            comm.Open();
        else if (operation == QLatin1String("setDeviceName"))
            comm.setDeviceName(QStringLiteral("/dev/null"));
        else
            comm.setBuffers(TSerialBuffers{1, 1, 1, 1, 1, 1});
    } catch (const ESerialCommError &e) {
        message = e.message();
    }
    QCOMPARE(message, QStringLiteral("Can't perform this operation while port is open"));

    // Nothing changed: same device, same descriptor, still working.
    QVERIFY(comm.isOpen());
    QCOMPARE(comm.deviceName(), pty.slavePath());
    QCOMPARE(comm.buffers().ReadSize, TSerialBuffers{}.ReadSize);
    QCOMPARE(descriptorsOf(pty.slavePath()), fds);
    QCOMPARE(opened.count(), 1);
    QVERIFY(comm.WriteText("still here"));
    QCOMPARE(pty.read(10), QByteArray("still here"));
}

void TstSerial::notADevice_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message"); // exact text, or the start of it ending in "*"

    const QString notFound = QStringLiteral("Specified device not found (%1).").arg(systemText(ENOENT));
    QTest::newRow("absent") << "/dev/telvaro-no-such-port" << notFound;
    QTest::newRow("absent folder") << "/nonexistent/ttyUSB0" << notFound;
    QTest::newRow("empty name") << "" << notFound;
    QTest::newRow("folder") << "/tmp" << QStringLiteral("Can't open specified device /tmp (Error %1, %2)")
                                                 .arg(EISDIR).arg(systemText(EISDIR));
    QTest::newRow("not a terminal") << "/dev/null"
                                    << QStringLiteral("Error writing dcb (%1), %2").arg(ENOTTY).arg(systemText(ENOTTY));
    QTest::newRow("plain file") << "@file" << QStringLiteral("Error writing dcb (%1), %2").arg(ENOTTY).arg(systemText(ENOTTY));
}

// A name that is no usable serial device gives an error with the usual text,
// and leaves nothing open behind.
void TstSerial::notADevice()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    QTemporaryFile file;
    if (path == QLatin1String("@file")) {
        QVERIFY(file.open());
        file.write("not a serial port");
        file.flush();
        path = file.fileName();
    }

    const QString canonical = QFileInfo(path).canonicalFilePath();
    const auto before = canonical.isEmpty() ? QList<int>() : descriptorsOf(canonical);
    TSerialComm comm;
    QSignalSpy opened(&comm, &TSerialComm::opened);
    comm.setDeviceName(path);
    QString got;
    try {
        comm.Open();
        QFAIL("Open succeeded");
    } catch (const ESerialCommError &e) {
        got = e.message();
    }
    QCOMPARE(got, message);
    QVERIFY(!comm.isOpen());
    QCOMPARE(opened.count(), 0);
    QVERIFY(TSerialComm::probe(QStringLiteral("/dev/telvaro-no-such-port")) == ENOENT);
    if (!canonical.isEmpty())
        QCOMPARE(descriptorsOf(canonical), before);
    comm.Close(); // harmless on a port that never opened
}

void TstSerial::writesArrive_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray frame = QByteArray::fromHex("107B017C16");
    for (const char *how : {"WriteBytes", "WriteText", "WriteByte"}) {
        QTest::addRow("%s: short frame", how) << how << frame;
        QTest::addRow("%s: control bytes", how) << how << kControlBytes;
        QTest::addRow("%s: every byte value", how) << how << allBytes();
    }
    QTest::newRow("WriteBytes: 5000 bytes") << "WriteBytes" << allBytes().repeated(20).left(5000);
}

void TstSerial::writesArrive()
{
    QFETCH(QString, how);
    QFETCH(QByteArray, bytes);
    Pty pty;
    QVERIFY(pty.isValid());
    spoilSlave(pty.slavePath());
    TSerialComm comm;
    comm.setDeviceName(pty.slavePath());
    comm.setBaudrate(TSerialBaudrate::br9600);
    comm.setParity(TSerialParity::paEven);
    comm.Open();

    if (how == QLatin1String("WriteBytes")) {
        QCOMPARE(comm.WriteBytes(reinterpret_cast<const std::uint8_t *>(bytes.constData()), int(bytes.size())),
                 int(bytes.size()));
    } else if (how == QLatin1String("WriteText")) {
        QVERIFY(comm.WriteText(bytes));
    } else {
        for (char c : bytes)
            QVERIFY(comm.WriteByte(std::uint8_t(c)));
    }
    QCOMPARE(pty.read(bytes.size()).toHex(' '), bytes.toHex(' '));
    // Nothing was echoed back into our own input.
    QCOMPARE(comm.InputCount(), 0);
}

void TstSerial::readsArrive_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("single ack") << QByteArray("\xE5", 1);
    QTest::newRow("long frame") << QByteArray::fromHex("6815156808017278563412244008010000000004030000000016");
    QTest::newRow("control bytes") << kControlBytes;
    QTest::newRow("every byte value") << allBytes();
    QTest::newRow("3000 bytes") << allBytes().repeated(12).left(3000);
}

void TstSerial::readsArrive()
{
    QFETCH(QByteArray, bytes);
    Pty pty;
    QVERIFY(pty.isValid());
    spoilSlave(pty.slavePath());
    TSerialComm comm;
    comm.setDeviceName(pty.slavePath());
    comm.setBaudrate(TSerialBaudrate::br2400);
    comm.setParity(TSerialParity::paEven);
    comm.Open();

    QVERIFY(pty.write(bytes));
    QTRY_COMPARE_WITH_TIMEOUT(comm.InputCount(), int(bytes.size()), 5000);

    // A partial read first, then the rest in one.
    std::uint8_t first[2] = {};
    QCOMPARE(comm.ReadBytes(first, 1), 1);
    QCOMPARE(char(first[0]), bytes.at(0));
    QCOMPARE(comm.InputCount(), int(bytes.size()) - 1);
    QCOMPARE(comm.ReadAll().toHex(' '), bytes.mid(1).toHex(' '));
    QCOMPARE(comm.InputCount(), 0);
    QCOMPARE(comm.ReadAll(), QByteArray());
    // Nothing we received was echoed back to the other side.
    pollfd pfd{pty.master(), POLLIN, 0};
    QCOMPARE(::poll(&pfd, 1, 0), 0);
}

void TstSerial::readAllOnEmptyQueueReturnsAtOnce()
{
    Pty pty;
    QVERIFY(pty.isValid());
    TSerialComm comm;
    comm.setDeviceName(pty.slavePath());
    comm.Open();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(comm.InputCount(), 0);
        QCOMPARE(comm.ReadAll(), QByteArray());
        std::uint8_t b = 0;
        QCOMPARE(comm.ReadBytes(&b, 1), 0);
    }
    // Twenty rounds well inside one read time-out (1000 ms).
    QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
}

// On a closed port the calls of the sender and collector do nothing and raise nothing.
void TstSerial::closedPortIsQuiet()
{
    TSerialComm comm;
    const std::uint8_t bytes[] = {0x10, 0x40, 0x01, 0x41, 0x16};
    QCOMPARE(comm.WriteBytes(bytes, 5), 0);
    QVERIFY(!comm.WriteText("abc"));
    QVERIFY(!comm.WriteByte(0xE5));
    QCOMPARE(comm.InputCount(), 0);
    QCOMPARE(comm.ReadAll(), QByteArray());
    std::uint8_t b = 0;
    QCOMPARE(comm.ReadBytes(&b, 1), 0);
    comm.PurgeAll();
    comm.PurgeInput();
    comm.Close();
    QVERIFY(!comm.isOpen());
}

void TstSerial::purge_data()
{
    QTest::addColumn<bool>("all");
    QTest::newRow("PurgeInput") << false;
    QTest::newRow("PurgeAll") << true;
}

void TstSerial::purge()
{
    QFETCH(bool, all);
    Pty pty;
    QVERIFY(pty.isValid());
    TSerialComm comm;
    comm.setDeviceName(pty.slavePath());
    comm.Open();

    QVERIFY(pty.write("stale reply"));
    QTRY_COMPARE_WITH_TIMEOUT(comm.InputCount(), 11, 5000);
    all ? comm.PurgeAll() : comm.PurgeInput();
    QCOMPARE(comm.InputCount(), 0);
    QCOMPARE(comm.ReadAll(), QByteArray());

    // The port goes on working in both directions.
    QVERIFY(pty.write("\xE5"));
    QTRY_COMPARE_WITH_TIMEOUT(comm.InputCount(), 1, 5000);
    QCOMPARE(comm.ReadAll(), QByteArray("\xE5"));
    QVERIFY(comm.WriteText("next"));
    QCOMPARE(pty.read(4), QByteArray("next"));
}

// More than the driver can hold at once arrives complete while the other side reads.
void TstSerial::largeWriteWithReader()
{
    Pty pty;
    QVERIFY(pty.isValid());
    TSerialComm comm;
    comm.setDeviceName(pty.slavePath());
    comm.setBaudrate(TSerialBaudrate::br19200); // time allowed: about 2 minutes
    comm.Open();

    const QByteArray bytes = allBytes().repeated(1024); // 256 KiB
    QByteArray received;
    std::thread reader([&] { received = pty.read(bytes.size(), 60000); });
    const int written = comm.WriteBytes(reinterpret_cast<const std::uint8_t *>(bytes.constData()), int(bytes.size()));
    reader.join();
    QCOMPARE(written, int(bytes.size()));
    QCOMPARE(received.size(), bytes.size());
    QVERIFY(received == bytes);
}

// With nobody reading, the write gives up after its time allowance and says
// how much really went out; exactly that much reaches the other side.
void TstSerial::shortWriteWhenNobodyReads()
{
    Pty pty;
    QVERIFY(pty.isValid());
    TSerialComm comm;
    comm.setDeviceName(pty.slavePath());
    comm.setBaudrate(TSerialBaudrate::brUser);
    comm.setUserBaudrate(230400);
    comm.Open();

    const QByteArray bytes = allBytes().repeated(160); // 40 KiB, more than a pty buffers
    const qint64 allowance = qint64(bytes.size()) * 11 * 1000 / 230400 + 1000;
    QElapsedTimer clock;
    clock.start();
    const int written = comm.WriteBytes(reinterpret_cast<const std::uint8_t *>(bytes.constData()), int(bytes.size()));
    const qint64 took = clock.elapsed();
    QVERIFY2(written >= 0 && written < bytes.size(), qPrintable(QString::number(written)));
    QVERIFY2(took >= allowance - 50 && took < allowance + 2000, qPrintable(QString::number(took)));

    const QByteArray received = pty.read(bytes.size(), 2000);
    QCOMPARE(received.size(), qsizetype(written));
    QVERIFY(received == bytes.left(written));
}

void TstSerial::exclusiveUse()
{
    Pty pty;
    QVERIFY(pty.isValid());
    const QString path = pty.slavePath();
    QCOMPARE(TSerialComm::probe(path), 0);

    TSerialComm first;
    first.setDeviceName(path);
    first.Open();
    QCOMPARE(exclusiveFlag(path), 1);

    // The probe and a second user are turned away even for root, who passes TIOCEXCL.
    QCOMPARE(TSerialComm::probe(path), EBUSY);
    TSerialComm second;
    QSignalSpy secondOpened(&second, &TSerialComm::opened);
    second.setDeviceName(path);
    QString message;
    int code = 0;
    try {
        second.Open();
    } catch (const ESerialCommError &e) {
        message = e.message();
        code = e.code();
    }
    QCOMPARE(code, EBUSY);
    QCOMPARE(message,
             QStringLiteral("Can't open specified device %1 (Error %2, %3)").arg(path).arg(EBUSY).arg(systemText(EBUSY)));
    QVERIFY(!second.isOpen());
    QCOMPARE(secondOpened.count(), 0);
    QCOMPARE(descriptorsOf(path).size(), 1);

    // The turned-away attempts did not disturb the holder.
    QVERIFY(first.WriteText("mine"));
    QCOMPARE(pty.read(4), QByteArray("mine"));

    first.Close();
    QCOMPARE(exclusiveFlag(path), 0);
    QCOMPARE(TSerialComm::probe(path), 0);
    second.Open();
    QVERIFY(second.isOpen());
    QCOMPARE(TSerialComm::probe(path), EBUSY);
    second.Close();

    // And the first can have it back.
    first.Open();
    QVERIFY(first.isOpen());
    first.Close();
    QCOMPARE(TSerialComm::probe(path), 0);
    QCOMPARE(exclusiveFlag(path), 0);
}

// What the program does for an ordinary user (no root, so TIOCEXCL applies):
// probe the port, open it, close it, and the same again.
void TstSerial::probeThenOpenAsUser()
{
    Pty pty;
    QVERIFY(pty.isValid());
    const QString path = pty.slavePath();
    auto session = [&path]() -> int {
        for (int round = 0; round < 2; ++round) {
            if (TSerialComm::probe(path) != 0)
                return 10 + round;
            TSerialComm comm;
            comm.setDeviceName(path);
            try {
                comm.Open();
            } catch (const ESerialCommError &) {
                return 20 + round;
            }
            if (TSerialComm::probe(path) != EBUSY)
                return 30 + round;
            comm.Close();
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

// A second Close must not close a descriptor number that something else has
// taken over in the meantime, nor may the destructor.
void TstSerial::closeTwiceClosesOnce()
{
    Pty pty;
    QVERIFY(pty.isValid());
    const int stand = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    QVERIFY(stand >= 0);
    int fd = -1;
    {
        TSerialComm comm;
        QSignalSpy closed(&comm, &TSerialComm::closed);
        comm.setDeviceName(pty.slavePath());
        comm.Open();
        const auto fds = descriptorsOf(pty.slavePath());
        QCOMPARE(fds.size(), 1);
        fd = fds.first();

        comm.Close();
        QVERIFY(::fcntl(fd, F_GETFD) == -1 && errno == EBADF);
        QCOMPARE(::dup2(stand, fd), fd); // someone else now owns that number
        comm.Close();
        QCOMPARE(closed.count(), 1);
        QVERIFY2(::fcntl(fd, F_GETFD) != -1, "second Close closed a descriptor it no longer owned");
    }
    QVERIFY2(::fcntl(fd, F_GETFD) != -1, "destructor closed a descriptor it no longer owned");
    ::close(fd);
    ::close(stand);
}

void TstSerial::destroyWhileOpenReleasesPort()
{
    Pty pty;
    QVERIFY(pty.isValid());
    {
        TSerialComm comm;
        comm.setDeviceName(pty.slavePath());
        comm.Open();
        QCOMPARE(TSerialComm::probe(pty.slavePath()), EBUSY);
    }
    QVERIFY(descriptorsOf(pty.slavePath()).isEmpty());
    QCOMPARE(TSerialComm::probe(pty.slavePath()), 0);
    QCOMPARE(exclusiveFlag(pty.slavePath()), 0);
}

void TstSerial::vanishedDevice_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("pendingInput");
    for (const char *op : {"InputCount", "ReadAll", "ReadBytes", "WriteBytes", "WriteText", "WriteByte", "PurgeAll",
                           "PurgeInput"}) {
        QTest::addRow("%s", op) << op << false;
        QTest::addRow("%s with input waiting", op) << op << true;
    }
}

// The converter is unplugged while the port is open: every call either raises
// the module's error or reports nothing done, promptly, and Close still works.
void TstSerial::vanishedDevice()
{
    QFETCH(QString, operation);
    QFETCH(bool, pendingInput);
    Pty pty;
    QVERIFY(pty.isValid());
    const QString path = pty.slavePath();
    TSerialComm comm;
    QSignalSpy closed(&comm, &TSerialComm::closed);
    comm.setDeviceName(path);
    comm.setBaudrate(TSerialBaudrate::br300);
    comm.Open();
    if (pendingInput) {
        QVERIFY(pty.write("abc"));
        QTRY_COMPARE_WITH_TIMEOUT(comm.InputCount(), 3, 5000);
    }
    pty.closeMaster();

    QElapsedTimer clock;
    clock.start();
    for (int round = 0; round < 3; ++round) {
        try {
            const QByteArray frame = QByteArray::fromHex("107B017C16");
            if (operation == QLatin1String("InputCount")) {
                const int n = comm.InputCount();
                QVERIFY(n >= 0 && n <= 3);
            } else if (operation == QLatin1String("ReadAll")) {
                QVERIFY(comm.ReadAll().size() <= 3);
            } else if (operation == QLatin1String("ReadBytes")) {
                std::uint8_t buffer[8];
                const int n = comm.ReadBytes(buffer, 8);
                QVERIFY(n >= 0 && n <= 3);
            } else if (operation == QLatin1String("WriteBytes")) {
                QVERIFY(comm.WriteBytes(reinterpret_cast<const std::uint8_t *>(frame.constData()), 5) < 5);
            } else if (operation == QLatin1String("WriteText")) {
                QVERIFY(!comm.WriteText(frame));
            } else if (operation == QLatin1String("WriteByte")) {
                QVERIFY(!comm.WriteByte(0x10));
            } else if (operation == QLatin1String("PurgeAll")) {
                comm.PurgeAll();
            } else {
                comm.PurgeInput();
            }
        } catch (const ESerialCommError &e) {
            QVERIFY(!e.message().isEmpty());
        }
    }
    // At 300 baud a five-byte write may be allowed a little over one second.
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(comm.isOpen());

    comm.Close();
    comm.Close();
    QVERIFY(!comm.isOpen());
    QCOMPARE(closed.count(), 1);
    QVERIFY(descriptorsOf(path).isEmpty());

    // The device is gone: opening it again fails cleanly.
    QVERIFY(TSerialComm::probe(path) != 0);
    QVERIFY_THROWS_EXCEPTION(ESerialCommError, comm.Open());
    QVERIFY(!comm.isOpen());
}

QTEST_GUILESS_MAIN(TstSerial)
#include "tst_serial.moc"
