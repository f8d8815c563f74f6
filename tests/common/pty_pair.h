#pragma once
// A pseudo-terminal made by a test: the code under test opens slavePath(); the
// test reads and writes the other end through the master.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

class PtyPair {
public:
    PtyPair()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_slavePath = QString::fromLocal8Bit(::ptsname(m_master));
        // Holding the slave open keeps the master readable while the code
        // under test has the port closed between operations.
        m_keeper = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio{};
        ::tcgetattr(m_keeper, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_keeper, TCSANOW, &tio);
    }
    ~PtyPair()
    {
        closeMaster();
        if (m_keeper >= 0)
            ::close(m_keeper);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0 && m_keeper >= 0; }
    const QString &slavePath() const { return m_slavePath; }
    int master() const { return m_master; }

    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

    void write(const QByteArray &bytes) { (void)::write(m_master, bytes.constData(), size_t(bytes.size())); }

    // Reads until `count` bytes have arrived or `ms` have passed.
    QByteArray read(int count, int ms = 3000)
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < count && clock.elapsed() < ms) {
            pollfd pfd{m_master, POLLIN, 0};
            if (::poll(&pfd, 1, 20) <= 0)
                continue;
            char buffer[512];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, n);
        }
        return got;
    }

    // Whatever is waiting right now.
    QByteArray drain() { return read(1 << 20, 50); }

private:
    int m_master = -1;
    int m_keeper = -1;
    QString m_slavePath;
};
