#include "ptylink.h"

#include "output.h"
#include "session.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {
std::string systemError(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}
} // namespace

PtyLink::PtyLink(Session &session, Output &out, QObject *parent) : QObject(parent), m_session(session), m_out(out) {}

PtyLink::~PtyLink()
{
    close();
}

bool PtyLink::open(const std::string &linkPath, std::string &error)
{
    m_link = linkPath;
    if (!create(error)) {
        m_link.clear();
        return false;
    }
    m_session.setSink([this](mbus::ByteView bytes) { write(bytes); });
    // Later, from the event loop: the session is still busy with the request.
    m_session.setHangup([this] { QMetaObject::invokeMethod(this, &PtyLink::hangUp, Qt::QueuedConnection); });
    return true;
}

bool PtyLink::create(std::string &error)
{
    const std::string linkPath = m_link;
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        error = systemError("cannot create a pseudo-terminal");
        return false;
    }
    char name[PATH_MAX] = {};
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 || ptsname_r(m_master, name, sizeof name) != 0) {
        error = systemError("cannot prepare the pseudo-terminal");
        close();
        return false;
    }
    m_device = name;
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);

    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (m_slave < 0 || tcgetattr(m_slave, &tio) != 0) {
        error = systemError("cannot open " + m_device);
        close();
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~HUPCL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B2400);
    cfsetospeed(&tio, B2400);
    tcsetattr(m_slave, TCSANOW, &tio);

    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = linkPath + " exists and is not a symbolic link; not replacing it";
            close();
            return false;
        }
        ::unlink(linkPath.c_str());
    }
    if (::symlink(name, linkPath.c_str()) != 0) {
        error = systemError("cannot create the link " + linkPath);
        close();
        return false;
    }

    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyLink::readable);
    return true;
}

void PtyLink::hangUp()
{
    if (m_master < 0)
        return;
    delete m_notifier;
    m_notifier = nullptr;
    ::close(m_slave);
    ::close(m_master);
    m_slave = m_master = -1;
    std::string error;
    if (!create(error)) {
        m_out.note("the pseudo-terminal is gone and no new one could be made: " + error);
        return;
    }
    m_out.note("pseudo-terminal hung up (--hangup); a new one is " + m_device);
}

void PtyLink::readable()
{
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            m_session.receive(mbus::ByteView(buffer, static_cast<std::size_t>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // EIO would mean no slave is open; ours always is, but never spin on it.
        m_notifier->setEnabled(false);
        QTimer::singleShot(100, m_notifier, [n = m_notifier]() { n->setEnabled(true); });
        return;
    }
}

void PtyLink::write(mbus::ByteView bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_master, bytes.data(), bytes.size());
        if (n > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            // Nobody reads the port and its queue is full: a line loses the bytes too.
            m_out.note(std::to_string(bytes.size()) + " byte(s) lost, the port is not being read");
            return;
        }
    }
}

void PtyLink::close()
{
    m_session.setSink({});
    m_session.setHangup({});
    delete m_notifier;
    m_notifier = nullptr;
    if (!m_link.empty()) {
        // remove the link only while it still points at our device
        char target[PATH_MAX] = {};
        const ssize_t n = ::readlink(m_link.c_str(), target, sizeof target - 1);
        if (n > 0 && m_device == std::string(target, static_cast<std::size_t>(n)))
            ::unlink(m_link.c_str());
        m_link.clear();
    }
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
}
