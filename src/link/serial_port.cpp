#include "serial_port.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMetaMethod>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {

const char *const kWhileOpen = "Can't perform this operation while port is open";

QString systemText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

speed_t speedConstant(int bits)
{
    switch (bits) {
    case 110:
        return B110;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return 0; // 14400, 56000, 128000, 256000 have no termios constant
    }
}

int openDevice(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

// Exclusive use: no second open of the tty (TIOCEXCL) and no second holder of
// the advisory lock that other serial programs take.
int takeExclusive(int fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? EBUSY : errno;
    ::ioctl(fd, TIOCEXCL);
    return 0;
}

// Unix98 pseudo-terminal slaves have character majors 136..143.
bool isPseudoTerminal(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

void releaseAndClose(int fd)
{
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

} // namespace

int baudrateBits(BaudRate rate)
{
    static constexpr int kBits[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                    14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return kBits[static_cast<int>(rate)];
}

QString serialDevicePath(const QString &portName)
{
    const QString name = portName.trimmed();
    static const QRegularExpression comN(QStringLiteral("^COM(\\d{1,3})$"), QRegularExpression::CaseInsensitiveOption);
    const auto match = comN.match(name);
    if (match.hasMatch()) {
        const int n = match.captured(1).toInt();
        return QStringLiteral("/dev/ttyS%1").arg(n > 0 ? n - 1 : 0);
    }
    if (name.contains(u'/'))
        return name;
    return QStringLiteral("/dev/") + name;
}

SerialPort::SerialPort(QObject *parent) : QObject(parent) {}

SerialPort::~SerialPort()
{
    delete m_inputWatch;
    if (m_fd >= 0) {
        releaseAndClose(m_fd); // no close notification while being destroyed
        m_fd = -1;
    }
}

void SerialPort::fail(const char *format, int err) const
{
    throw SerialPortError(QString::asprintf(format, err, qPrintable(systemText(err))), err);
}

void SerialPort::setDeviceName(const QString &name)
{
    if (isOpen())
        throw SerialPortError(QString::fromLatin1(kWhileOpen));
    m_deviceName = name;
}

void SerialPort::setBuffers(const SerialBuffers &buffers)
{
    if (isOpen())
        throw SerialPortError(QString::fromLatin1(kWhileOpen));
    m_buffers = buffers;
}

#define TELVARO_LINE_SETTER(setter, member, type)                                                                      \
    void SerialPort::setter(type value)                                                                                \
    {                                                                                                                  \
        member = value;                                                                                                \
        if (isOpen())                                                                                                  \
            applyLineSettings();                                                                                       \
    }
TELVARO_LINE_SETTER(setBaudrate, m_baudrate, BaudRate)
TELVARO_LINE_SETTER(setUserBaudrate, m_userBaudrate, int)
TELVARO_LINE_SETTER(setParity, m_parity, Parity)
TELVARO_LINE_SETTER(setDatabits, m_databits, DataBits)
TELVARO_LINE_SETTER(setStopbits, m_stopbits, StopBits)
#undef TELVARO_LINE_SETTER

int SerialPort::probe(const QString &deviceName)
{
    const int fd = openDevice(deviceName);
    if (fd < 0) {
        const int err = errno;
        // A file the user may not write is no port either: no group would help.
        struct stat info {};
        if ((err == EACCES || err == EPERM) && ::stat(QFile::encodeName(deviceName).constData(), &info) == 0
            && !S_ISCHR(info.st_mode))
            return ENOTTY;
        return err;
    }
    if (!::isatty(fd)) {
        ::close(fd);
        return ENOTTY;
    }
    // The lock only: TIOCEXCL belongs to the tty, not to this descriptor, and
    // would outlive it (a pseudo-terminal keeps it while its master is open),
    // turning away the open that follows for everyone but root.
    int err = 0;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        err = errno == EWOULDBLOCK ? EBUSY : errno;
    else
        ::flock(fd, LOCK_UN);
    ::close(fd);
    return err;
}

void SerialPort::open()
{
    if (isOpen())
        throw SerialPortError(QString::fromLatin1(kWhileOpen));
    const int fd = openDevice(m_deviceName);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT)
            throw SerialPortError(QStringLiteral("Specified device not found (%1).").arg(systemText(err)), err);
        throw SerialPortError(QStringLiteral("Can't open specified device %1 (Error %2, %3)")
                                  .arg(m_deviceName)
                                  .arg(err)
                                  .arg(systemText(err)),
                              err);
    }
    if (const int err = takeExclusive(fd)) {
        ::close(fd);
        throw SerialPortError(QStringLiteral("Can't open specified device %1 (Error %2, %3)")
                                  .arg(m_deviceName)
                                  .arg(err)
                                  .arg(systemText(err)),
                              err);
    }
    m_fd = fd;
    try {
        applyLineSettings();
        // DTR and RTS stay inactive; a pseudo-terminal has no modem lines.
        int lines = TIOCM_DTR | TIOCM_RTS;
        ::ioctl(m_fd, TIOCMBIC, &lines);
        ::tcflush(m_fd, TCIOFLUSH);
    } catch (...) {
        releaseAndClose(m_fd);
        m_fd = -1;
        throw;
    }
    watchInput();
    emit opened();
}

void SerialPort::connectNotify(const QMetaMethod &signal)
{
    if (signal == QMetaMethod::fromSignal(&SerialPort::receivedCharacters)
        || signal == QMetaMethod::fromSignal(&SerialPort::receivedBlock)
        || signal == QMetaMethod::fromSignal(&SerialPort::lineError))
        QMetaObject::invokeMethod(this, &SerialPort::watchInput, Qt::QueuedConnection);
}

// The event loop watches the port only when someone listens: this program
// itself collects replies when its timers fire.
void SerialPort::watchInput()
{
    const bool listened = isSignalConnected(QMetaMethod::fromSignal(&SerialPort::receivedCharacters))
                          || isSignalConnected(QMetaMethod::fromSignal(&SerialPort::receivedBlock))
                          || isSignalConnected(QMetaMethod::fromSignal(&SerialPort::lineError));
    if (!isOpen() || !listened || m_inputWatch)
        return;
    m_inputWatch = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_inputWatch, &QSocketNotifier::activated, this, &SerialPort::onInputReady);
}

void SerialPort::onInputReady()
{
    try {
        const int count = inputCount();
        if (count <= 0)
            return;
        if (isSignalConnected(QMetaMethod::fromSignal(&SerialPort::receivedBlock))) {
            emit receivedBlock(readAll());
            return;
        }
        m_inputWatch->setEnabled(false); // until the queue is read or purged
        emit receivedCharacters(count);
    } catch (const SerialPortError &e) {
        m_inputWatch->setEnabled(false);
        emit lineError(e.code());
    }
}

void SerialPort::applyLineSettings()
{
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0)
        fail("Error writing dcb (%d), %s", errno);
    ::cfmakeraw(&tio);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | PARMRK | IGNPAR);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CLOCAL | CREAD;
    static constexpr tcflag_t kSizes[] = {CS5, CS5, CS6, CS7, CS8}; // no 4-bit bytes on termios
    tio.c_cflag |= kSizes[static_cast<int>(m_databits)];
    switch (m_parity) {
    case Parity::None:
        break;
    case Parity::Odd:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case Parity::Even:
        tio.c_cflag |= PARENB;
        break;
    case Parity::Mark:
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case Parity::Space:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    }
    if (m_stopbits != StopBits::One)
        tio.c_cflag |= CSTOPB;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const int bits = m_baudrate == BaudRate::User ? m_userBaudrate : baudrateBits(m_baudrate);
    const speed_t speed = speedConstant(bits);
    if (speed == 0)
        fail("Error writing dcb (%d), %s", EINVAL);
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(m_fd, TCSANOW, &tio) != 0) {
        // A pseudo-terminal takes everything but the parity, and the C library
        // reports that as EINVAL; parity means nothing there, so it is no error.
        const int err = errno;
        termios now{};
        const bool parityOnly = err == EINVAL && isPseudoTerminal(m_fd) && ::tcgetattr(m_fd, &now) == 0
                                && ::cfgetospeed(&now) == speed && (now.c_cflag & CSIZE) == (tio.c_cflag & CSIZE);
        if (!parityOnly)
            fail("Error writing dcb (%d), %s", err);
    }
}

void SerialPort::close()
{
    if (!isOpen())
        return;
    delete m_inputWatch;
    m_inputWatch = nullptr;
    const int fd = m_fd;
    m_fd = -1; // whatever happens below, the descriptor is closed exactly once
    releaseAndClose(fd);
    emit closed();
}

int SerialPort::writeBytes(const std::uint8_t *data, int count)
{
    if (!isOpen() || count <= 0)
        return 0;
    const int bits = std::max(1, m_baudrate == BaudRate::User ? m_userBaudrate : baudrateBits(m_baudrate));
    const qint64 deadline = qint64(count) * 11 * 1000 / bits + 1000;
    QElapsedTimer clock;
    clock.start();
    int written = 0;
    while (written < count) {
        const ssize_t n = ::write(m_fd, data + written, size_t(count - written));
        if (n > 0) {
            written += int(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            fail("Write error (%d), %s", errno);
        const qint64 left = deadline - clock.elapsed();
        if (left <= 0)
            return written;
        pollfd pfd{m_fd, POLLOUT, 0};
        ::poll(&pfd, 1, int(left));
        if (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))
            fail("Write error (%d), %s", EIO);
    }
    // Wait until the driver has sent it all, so the reply time counts from the last bit.
    for (;;) {
        int pending = 0;
        if (::ioctl(m_fd, TIOCOUTQ, &pending) != 0 || pending <= 0)
            return written;
        if (clock.elapsed() >= deadline)
            return written - std::min(written, pending);
        ::usleep(1000);
    }
}

bool SerialPort::writeText(const QByteArray &text)
{
    return writeBytes(reinterpret_cast<const std::uint8_t *>(text.constData()), int(text.size())) == text.size();
}

bool SerialPort::writeByte(std::uint8_t byte)
{
    return writeBytes(&byte, 1) == 1;
}

int SerialPort::inputCount()
{
    if (!isOpen())
        return 0;
    int count = 0;
    if (::ioctl(m_fd, FIONREAD, &count) != 0)
        fail("Error retrieving statistics (%d), %s", errno);
    // A device that went away reads as end-of-file rather than failing FIONREAD.
    pollfd pfd{m_fd, POLLIN, 0};
    if (count == 0 && ::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)))
        fail("Error retrieving statistics (%d), %s", EIO);
    return count;
}

int SerialPort::readBytes(std::uint8_t *buffer, int count)
{
    if (!isOpen() || count <= 0)
        return 0;
    if (m_inputWatch)
        m_inputWatch->setEnabled(true);
    const ssize_t n = ::read(m_fd, buffer, size_t(count));
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR)
            return 0;
        fail("Read error (%d), %s", errno);
    }
    return int(n);
}

QByteArray SerialPort::readAll()
{
    const int count = inputCount();
    if (count <= 0)
        return {};
    QByteArray bytes(count, Qt::Uninitialized);
    const int n = readBytes(reinterpret_cast<std::uint8_t *>(bytes.data()), count);
    bytes.truncate(n);
    return bytes;
}

void SerialPort::purgeAll()
{
    if (m_inputWatch)
        m_inputWatch->setEnabled(true);
    if (isOpen() && ::tcflush(m_fd, TCIOFLUSH) != 0)
        fail("Error clearing buffers (%d), %s", errno);
}

bool SerialPort::outputPending() const
{
    int pending = 0;
    return isOpen() && ::ioctl(m_fd, TIOCOUTQ, &pending) == 0 && pending > 0;
}

void SerialPort::purgeInput()
{
    if (m_inputWatch)
        m_inputWatch->setEnabled(true);
    if (isOpen() && ::tcflush(m_fd, TCIFLUSH) != 0)
        fail("Error clearing buffers (%d), %s", errno);
}

bool meansDeviceGone(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE;
}

QString openFailureText(const QString &device, int error)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QCoreApplication::translate("SerialPort", "%1: no such device (is the adapter plugged in?)").arg(device);
    case EACCES:
    case EPERM:
        return QCoreApplication::translate("SerialPort",
                                           "%1: no permission to open it. Add your user to the \"dialout\" group "
                                           "(sudo usermod -aG dialout $USER) and log in again.")
            .arg(device);
    case ENOTTY:
    case EISDIR:
        return QCoreApplication::translate("SerialPort", "%1 is not a serial port").arg(device);
    case EBUSY:
        return QCoreApplication::translate("SerialPort", "%1 is in use by another program").arg(device);
    default:
        return QCoreApplication::translate("SerialPort", "%1 cannot be opened: %2").arg(device, systemText(error));
    }
}
