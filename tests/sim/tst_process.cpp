// The real mbus-sim program as a child process, behind a pseudo-terminal and a
// TCP port, opened the way the Telvaro program opens them.

#include "simprocess.h"
#include "tst_sim.h"

#include "frames.h"
#include "mbus/frames.h"
#include "randombus.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
// Reads from `fd` until one whole frame has arrived or the time is up.
QByteArray readFrame(int fd, int timeoutMs = 3000)
{
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const mbussim::Bytes bytes(got.begin(), got.end());
        if (mbussim::checkFrame(bytes).status == mbussim::FrameCheck::Status::Complete)
            break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(std::max<qint64>(1, deadline.remainingTime()))) <= 0)
            continue;
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, n);
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
    }
    return got;
}

// Opens the port the way the program's serial link does: exclusive, locked, raw.
int openPort(const QString &path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    ::ioctl(fd, TIOCEXCL);
    ::flock(fd, LOCK_EX | LOCK_NB);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetspeed(&tio, B2400);
    ::tcsetattr(fd, TCSANOW, &tio);
    ::tcflush(fd, TCIOFLUSH);
    return fd;
}

void closePort(int fd)
{
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

bool writeAll(int fd, const QByteArray &bytes)
{
    return ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

mbussim::Bytes toBytes(const QByteArray &a)
{
    return mbussim::Bytes(a.begin(), a.end());
}
} // namespace

void TestSim::ptyExchange()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("ttyMBUS");
    QVERIFY(QFile::link("/nonexistent/stale", link)); // a stale link is replaced
    Sim sim({"--bus", kDemoBus, "--pty", link});
    const QString started = sim.waitForLine("PTY ");
    QVERIFY2(!started.isEmpty(), qPrintable(sim.process().readAllStandardError()));
    QVERIFY(started.startsWith("PTY /dev/pts/"));
    QCOMPARE(QFile::symLinkTarget(link), started.section(' ', 1, 1));

    // Two operations, with the port closed in between as the program does.
    for (int round = 0; round < 2; ++round) {
        const int fd = openPort(link);
        QVERIFY(fd >= 0);
        QVERIFY(writeAll(fd, QByteArray::fromHex("107B017C16")));
        const QByteArray reply = readFrame(fd);
        QVERIFY2(mbussim::longFrameChecksOut(toBytes(reply)), reply.toHex(' ').constData());
        QCOMPARE(quint8(reply[5]), 1);
        // Bytes 0D and 0A pass untouched (no line discipline in the way): SND_NKE to
        // 13 and REQ_UD2 to 143, whose checksum is 0A. Both addresses are empty, so
        // the only answer is the E5 of the broadcast.
        QVERIFY(writeAll(fd, QByteArray::fromHex("10400D4D16"
                                                 "107B8F0A16"
                                                 "1040FE3E16")));
        QCOMPARE(readFrame(fd), QByteArray::fromHex("E5"));
        closePort(fd);
    }
    QVERIFY(!sim.waitForLine("RX 10 7B 01 7C 16").isEmpty());
    QVERIFY(!sim.waitForLine("TX 68 ").isEmpty());
    QVERIFY(!sim.waitForLine("RX 10 40 0D 4D 16").isEmpty());
    QVERIFY(!sim.waitForLine("RX 10 7B 8F 0A 16").isEmpty());

    sim.process().terminate();
    QVERIFY(sim.process().waitForFinished(5000));
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process().exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink()); // removed at exit
}

void TestSim::tcpExchange()
{
    // Replies in pieces and at line pace still arrive whole; the client may leave
    // in mid-reply and come back.
    Sim sim({"--bus", kDemoBus, "--tcp", "0", "--split", "--seed", "3", "--wire-time", "--baud", "9600"});
    const QString started = sim.waitForLine("TCP 127.0.0.1:");
    QVERIFY2(!started.isEmpty(), qPrintable(sim.process().readAllStandardError()));
    const quint16 port = quint16(started.section(':', 1).toUInt());
    QVERIFY(port > 0);

    for (int round = 0; round < 2; ++round) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(socket.waitForConnected(3000));
        socket.write(QByteArray::fromHex("107B027D16"));
        QByteArray reply;
        QDeadlineTimer deadline(5000);
        while (!mbussim::longFrameChecksOut(toBytes(reply)) && !deadline.hasExpired()) {
            socket.waitForReadyRead(100);
            reply += socket.readAll();
        }
        QVERIFY2(mbussim::longFrameChecksOut(toBytes(reply)), reply.toHex(' ').constData());
        QCOMPARE(quint8(reply[5]), 2);
        socket.write(QByteArray::fromHex("107B037E16")); // leave without waiting for this one
        socket.waitForBytesWritten(1000);
        socket.disconnectFromHost();
        QVERIFY(!sim.waitForLine("-- client").isEmpty());
    }
    QVERIFY(!sim.waitForLine("RX 10 7B 03 7E 16").isEmpty());
    QVERIFY(sim.process().state() == QProcess::Running);
}

void TestSim::tcpSecondClientWaits()
{
    Sim sim({"--bus", kDemoBus, "--tcp", "0"});
    const QString started = sim.waitForLine("TCP 127.0.0.1:");
    QVERIFY(!started.isEmpty());
    const quint16 port = quint16(started.section(':', 1).toUInt());
    const auto exchange = [](QTcpSocket &s, const char *request) {
        s.write(QByteArray::fromHex(request));
        QByteArray got;
        QDeadlineTimer deadline(3000);
        while (got.isEmpty() && !deadline.hasExpired()) {
            s.waitForReadyRead(100);
            got += s.readAll();
        }
        return got;
    };
    QTcpSocket first, second;
    first.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(first.waitForConnected(3000));
    QCOMPARE(exchange(first, "1040014116"), QByteArray::fromHex("E5"));
    second.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(second.waitForConnected(3000));
    second.write(QByteArray::fromHex("1040024216"));
    second.waitForBytesWritten(1000);
    // the first client keeps the bus; the second one's request is not served meanwhile
    QCOMPARE(exchange(first, "1040034316"), QByteArray::fromHex("E5"));
    QVERIFY(!sim.output().contains("RX 10 40 02 42 16"));
    QCOMPARE(second.bytesAvailable(), 0);
    first.disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT((second.waitForReadyRead(50), second.bytesAvailable()), 1, 5000);
    QCOMPARE(second.readAll(), QByteArray::fromHex("E5"));
}

void TestSim::tcpHangup()
{
    // A converter that drops its peer instead of answering; the next client is served.
    Sim sim({"--bus", kDemoBus, "--tcp", "0", "--hangup", "100"});
    const QString started = sim.waitForLine("TCP 127.0.0.1:");
    QVERIFY(!started.isEmpty());
    const quint16 port = quint16(started.section(':', 1).toUInt());
    for (int round = 0; round < 2; ++round) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(socket.waitForConnected(3000));
        socket.write(QByteArray::fromHex("1040014116"));
        QVERIFY(socket.state() == QAbstractSocket::UnconnectedState || socket.waitForDisconnected(3000));
        QCOMPARE(socket.readAll(), QByteArray());
    }
    QVERIFY(!sim.waitForLine("-- connection closed instead of a reply").isEmpty());
}

void TestSim::badBusFileExitsWithTwo()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bad.bus");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[meter]\nid = 12345678\nmedium = lava\n");
    file.close();
    const QString link = dir.filePath("tty");

    const auto run = [](const QStringList &arguments, QByteArray *err = nullptr, QByteArray *out = nullptr) {
        QProcess p;
        p.start(kProgram, arguments);
        if (!p.waitForFinished(5000))
            return -1;
        if (err)
            *err = p.readAllStandardError();
        if (out)
            *out = p.readAllStandardOutput();
        return p.exitCode();
    };
    QByteArray err, out;
    QCOMPARE(run({"--bus", path, "--pty", link}, &err), 2);
    QVERIFY2(err.contains(path.toUtf8() + ":3: unknown medium 'lava'"), err.constData());
    QVERIFY(!QFileInfo::exists(link));
    QCOMPARE(run({"--bus", dir.filePath("missing.bus"), "--pty", link}, &err), 2);
    QCOMPARE(run({"--bus", kDemoBus}, &err), 2); // no port of any kind
    QCOMPARE(run({"--tcp", "0"}, &err), 2);      // no meters at all
    for (const char *count : {"0", "1001", "-1", "x", ""})
        QCOMPARE(run({"--random-meters", count, "--tcp", "0"}), 2);
    QCOMPARE(run({"--bus", kDemoBus, "--tcp", "70000"}), 2);
    QCOMPARE(run({"--bus", kDemoBus, "--tcp", "0", "--drop", "150"}), 2);
    QCOMPARE(run({"--bus", kDemoBus, "--tcp", "0", "--bogus"}), 2);
    for (const char *at : {"0", "2,x", "", "1,,2"})
        QCOMPARE(run({"--bus", kDemoBus, "--tcp", "0", "--hangup-at", at}), 2);
    // a regular file in the way of the link is not replaced
    QFile blocker(link);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QCOMPARE(run({"--bus", kDemoBus, "--pty", link}, &err), 1);
    QVERIFY(QFileInfo(link).isFile());
    QCOMPARE(run({"--help"}, nullptr, &out), 0);
    QVERIFY(out.contains("[meter]") && out.contains("--wire-time") && out.contains("cold water"));
    QVERIFY(out.contains("--random-meters <N>"));
    QVERIFY(out.contains("--gateway-connect <HOST:PORT>") && out.contains("--gateway-fault <KIND[:PERCENT]>"));
}

void TestSim::randomMetersProcess()
{
    // The program lists the generator's meters, alone or after a bus file's, and
    // every reply, an E5 as much as an RSP_UD, takes 11 bits per character on the line.
    const auto listed = [](Sim &sim, int count) {
        QStringList ids;
        if (sim.waitForLine(QString("-- random meters: %1, seed 11").arg(count)).isEmpty())
            return ids;
        static const QRegularExpression line("^-- meter (\\d{8}) \\(addr none, random \\d+\\)",
                                             QRegularExpression::MultilineOption);
        for (auto it = line.globalMatch(sim.output()); it.hasNext();)
            ids << it.next().captured(1);
        return ids;
    };
    const auto generated = [](int count) {
        QStringList ids;
        for (const mbussim::MeterConfig &m : mbussim::randomMeters(count, 11))
            ids << QString::fromStdString(mbussim::idText(m.id));
        return ids;
    };
    Sim withFile({"--bus", kDemoBus, "--random-meters", "2", "--seed", "11", "--tcp", "0"});
    QCOMPARE(listed(withFile, 2), generated(2));
    QCOMPARE(withFile.output().count("\n-- meter "), 14);

    Sim sim({"--random-meters", "3", "--seed", "11", "--tcp", "0", "--wire-time", "--baud", "1200"});
    const QString started = sim.waitForLine("TCP 127.0.0.1:");
    QVERIFY2(!started.isEmpty(), qPrintable(sim.process().readAllStandardError()));
    const QStringList ids = listed(sim, 3);
    QCOMPARE(ids, generated(3));

    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(started.section(':', 1).toUInt()));
    QVERIFY(socket.waitForConnected(3000));
    qint64 ms = 0;
    const auto exchange = [&](const mbus::Request &r) {
        QElapsedTimer clock;
        clock.start();
        socket.write(reinterpret_cast<const char *>(r.frame.data()), qint64(r.frame.size()));
        QByteArray got;
        QDeadlineTimer deadline(10000);
        while (mbussim::checkFrame(toBytes(got)).status != mbussim::FrameCheck::Status::Complete
               && !deadline.hasExpired()) {
            socket.waitForReadyRead(20);
            got += socket.readAll();
        }
        ms = clock.elapsed();
        return got;
    };
    const double charMs = 11 * 1000.0 / 1200;
    for (const QString &id : ids) {
        QCOMPARE(exchange(mbus::buildSecondarySelection(id.toStdString())), QByteArray::fromHex("E5"));
        QVERIFY2(ms >= charMs - 1, qPrintable(QString("E5 after %1 ms").arg(ms)));
        const QByteArray reply = exchange(mbus::buildReqUd2(253, false));
        QVERIFY2(mbussim::longFrameChecksOut(toBytes(reply)), reply.toHex(' ').constData());
        const mbussim::Bytes r = toBytes(reply);
        QCOMPARE(QString::fromStdString(mbussim::idText({r[7], r[8], r[9], r[10]})), id);
        const double wire = double(reply.size()) * charMs;
        QVERIFY2(ms >= wire - 1 && ms < 3 * wire + 1000,
                 qPrintable(QString("%1 bytes after %2 ms").arg(reply.size()).arg(ms)));
    }
}

QTEST_GUILESS_MAIN(TestSim)
