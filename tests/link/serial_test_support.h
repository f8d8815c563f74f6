// Helpers shared by the serial link tests: the master side of a pseudo-terminal
// made by the test, a way to spoil its line settings, and views of the tty as
// the driver and this process hold it.
//
// A pseudo-terminal keeps speed, PARODD, CMSPAR and CSTOPB as set, but its
// driver clears PARENB and forces CS8 whatever was asked. So that tests can see
// the complete request, serial_test_support.cpp (linked into every serial test
// executable) records every termios block handed to tcsetattr in g_requested.

#pragma once

#include "link/serial_port.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>

#include <algorithm>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace serial_test {

// The last termios block handed to tcsetattr, and how many were handed over.
extern termios g_requested;
extern int g_requests;

inline QString systemText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

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

inline int outputSpeed(const Pty &pty)
{
    const termios tio = pty.slaveAttributes();
    return int(::cfgetospeed(&tio));
}

// Whether the exclusive-use flag of the tty is set: read through a second
// descriptor, or seen as the refusal of that descriptor when we are not root.
inline int exclusiveFlag(const QString &path)
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

// Leaves the slave in a state no serial program wants, so that open has to set
// every bit it relies on rather than inheriting it.
inline void spoilSlave(const QString &path)
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
// Opens comm on the pty's slave at the given line settings (8 data bits, 1 stop bit).
inline void openAt(SerialPort &comm, const Pty &pty, BaudRate rate, Parity parity)
{
    comm.setDeviceName(pty.slavePath());
    comm.setBaudrate(rate);
    comm.setParity(parity);
    comm.open();
}

inline QList<int> descriptorsOf(const QString &path)
{
    QList<int> fds;
    const QDir dir(QStringLiteral("/proc/self/fd"));
    for (const QString &name : dir.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        if (QFileInfo(dir.filePath(name)).symLinkTarget() == path)
            fds << name.toInt();
    }
    return fds;
}

inline QByteArray allBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes += char(i);
    return bytes;
}

// Bytes a cooked line discipline would eat or change.
inline const QByteArray kControlBytes("\x00\x03\x04\x0A\x0D\x11\x13\x15\x17\x1A\x1C\x7F\xFF\x0D\x0A", 15);

} // namespace serial_test
