// Bytes through the serial link on a pseudo-terminal made by the test, in both
// directions untouched by any line discipline: writes, reads, purges, writes
// larger than the driver holds, and a device that goes away while open.

#include "serial_port.h"
#include "serial_test_support.h"

#include <QtTest>

#include <thread>

#include <cstdint>
#include <poll.h>

using namespace serial_test;

class TstSerialIo : public QObject {
    Q_OBJECT

private slots:
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

    void vanishedDevice_data();
    void vanishedDevice();
};

void TstSerialIo::writesArrive_data()
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

void TstSerialIo::writesArrive()
{
    QFETCH(QString, how);
    QFETCH(QByteArray, bytes);
    Pty pty;
    QVERIFY(pty.isValid());
    spoilSlave(pty.slavePath());
    SerialPort comm;
    openAt(comm, pty, BaudRate::Baud9600, Parity::Even);

    if (how == QLatin1String("WriteBytes")) {
        QCOMPARE(comm.writeBytes(reinterpret_cast<const std::uint8_t *>(bytes.constData()), int(bytes.size())),
                 int(bytes.size()));
    } else if (how == QLatin1String("WriteText")) {
        QVERIFY(comm.writeText(bytes));
    } else {
        for (char c : bytes)
            QVERIFY(comm.writeByte(std::uint8_t(c)));
    }
    QCOMPARE(pty.read(bytes.size()).toHex(' '), bytes.toHex(' '));
    // Nothing was echoed back into our own input.
    QCOMPARE(comm.inputCount(), 0);
}

void TstSerialIo::readsArrive_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("single ack") << QByteArray("\xE5", 1);
    QTest::newRow("long frame") << QByteArray::fromHex("6815156808017278563412244008010000000004030000000016");
    QTest::newRow("control bytes") << kControlBytes;
    QTest::newRow("every byte value") << allBytes();
    QTest::newRow("3000 bytes") << allBytes().repeated(12).left(3000);
}

void TstSerialIo::readsArrive()
{
    QFETCH(QByteArray, bytes);
    Pty pty;
    QVERIFY(pty.isValid());
    spoilSlave(pty.slavePath());
    SerialPort comm;
    openAt(comm, pty, BaudRate::Baud2400, Parity::Even);

    QVERIFY(pty.write(bytes));
    QTRY_COMPARE_WITH_TIMEOUT(comm.inputCount(), int(bytes.size()), 5000);

    // A partial read first, then the rest in one.
    std::uint8_t first[2] = {};
    QCOMPARE(comm.readBytes(first, 1), 1);
    QCOMPARE(char(first[0]), bytes.at(0));
    QCOMPARE(comm.inputCount(), int(bytes.size()) - 1);
    QCOMPARE(comm.readAll().toHex(' '), bytes.mid(1).toHex(' '));
    QCOMPARE(comm.inputCount(), 0);
    QCOMPARE(comm.readAll(), QByteArray());
    // Nothing we received was echoed back to the other side.
    pollfd pfd{pty.master(), POLLIN, 0};
    QCOMPARE(::poll(&pfd, 1, 0), 0);
}

void TstSerialIo::readAllOnEmptyQueueReturnsAtOnce()
{
    Pty pty;
    QVERIFY(pty.isValid());
    SerialPort comm;
    comm.setDeviceName(pty.slavePath());
    comm.open();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(comm.inputCount(), 0);
        QCOMPARE(comm.readAll(), QByteArray());
        std::uint8_t b = 0;
        QCOMPARE(comm.readBytes(&b, 1), 0);
    }
    // Twenty rounds well inside one read time-out (1000 ms).
    QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
}

// On a closed port the calls of the sender and collector do nothing and raise nothing.
void TstSerialIo::closedPortIsQuiet()
{
    SerialPort comm;
    const std::uint8_t bytes[] = {0x10, 0x40, 0x01, 0x41, 0x16};
    QCOMPARE(comm.writeBytes(bytes, 5), 0);
    QVERIFY(!comm.writeText("abc"));
    QVERIFY(!comm.writeByte(0xE5));
    QCOMPARE(comm.inputCount(), 0);
    QCOMPARE(comm.readAll(), QByteArray());
    std::uint8_t b = 0;
    QCOMPARE(comm.readBytes(&b, 1), 0);
    comm.purgeAll();
    comm.purgeInput();
    comm.close();
    QVERIFY(!comm.isOpen());
}

void TstSerialIo::purge_data()
{
    QTest::addColumn<bool>("all");
    QTest::newRow("PurgeInput") << false;
    QTest::newRow("PurgeAll") << true;
}

void TstSerialIo::purge()
{
    QFETCH(bool, all);
    Pty pty;
    QVERIFY(pty.isValid());
    SerialPort comm;
    comm.setDeviceName(pty.slavePath());
    comm.open();

    QVERIFY(pty.write("stale reply"));
    QTRY_COMPARE_WITH_TIMEOUT(comm.inputCount(), 11, 5000);
    all ? comm.purgeAll() : comm.purgeInput();
    QCOMPARE(comm.inputCount(), 0);
    QCOMPARE(comm.readAll(), QByteArray());

    // The port goes on working in both directions.
    QVERIFY(pty.write("\xE5"));
    QTRY_COMPARE_WITH_TIMEOUT(comm.inputCount(), 1, 5000);
    QCOMPARE(comm.readAll(), QByteArray("\xE5"));
    QVERIFY(comm.writeText("next"));
    QCOMPARE(pty.read(4), QByteArray("next"));
}

// More than the driver can hold at once arrives complete while the other side reads.
void TstSerialIo::largeWriteWithReader()
{
    Pty pty;
    QVERIFY(pty.isValid());
    SerialPort comm;
    comm.setDeviceName(pty.slavePath());
    comm.setBaudrate(BaudRate::Baud19200); // time allowed: about 2 minutes
    comm.open();

    const QByteArray bytes = allBytes().repeated(1024); // 256 KiB
    QByteArray received;
    std::thread reader([&] { received = pty.read(bytes.size(), 60000); });
    const int written = comm.writeBytes(reinterpret_cast<const std::uint8_t *>(bytes.constData()), int(bytes.size()));
    reader.join();
    QCOMPARE(written, int(bytes.size()));
    QCOMPARE(received.size(), bytes.size());
    QVERIFY(received == bytes);
}

// With nobody reading, the write gives up after its time allowance and says
// how much really went out; exactly that much reaches the other side.
void TstSerialIo::shortWriteWhenNobodyReads()
{
    Pty pty;
    QVERIFY(pty.isValid());
    SerialPort comm;
    comm.setDeviceName(pty.slavePath());
    comm.setBaudrate(BaudRate::User);
    comm.setUserBaudrate(230400);
    comm.open();

    const QByteArray bytes = allBytes().repeated(160); // 40 KiB, more than a pty buffers
    const qint64 allowance = qint64(bytes.size()) * 11 * 1000 / 230400 + 1000;
    QElapsedTimer clock;
    clock.start();
    const int written = comm.writeBytes(reinterpret_cast<const std::uint8_t *>(bytes.constData()), int(bytes.size()));
    const qint64 took = clock.elapsed();
    QVERIFY2(written >= 0 && written < bytes.size(), qPrintable(QString::number(written)));
    QVERIFY2(took >= allowance - 50 && took < allowance + 2000, qPrintable(QString::number(took)));

    const QByteArray received = pty.read(bytes.size(), 2000);
    QCOMPARE(received.size(), qsizetype(written));
    QVERIFY(received == bytes.left(written));
}

void TstSerialIo::vanishedDevice_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("pendingInput");
    for (const char *op :
         {"InputCount", "ReadAll", "ReadBytes", "WriteBytes", "WriteText", "WriteByte", "PurgeAll", "PurgeInput"}) {
        QTest::addRow("%s", op) << op << false;
        QTest::addRow("%s with input waiting", op) << op << true;
    }
}

// The converter is unplugged while the port is open: every call either raises
// the module's error or reports nothing done, promptly, and close still works.
void TstSerialIo::vanishedDevice()
{
    QFETCH(QString, operation);
    QFETCH(bool, pendingInput);
    Pty pty;
    QVERIFY(pty.isValid());
    const QString path = pty.slavePath();
    SerialPort comm;
    QSignalSpy closed(&comm, &SerialPort::closed);
    comm.setDeviceName(path);
    comm.setBaudrate(BaudRate::Baud300);
    comm.open();
    if (pendingInput) {
        QVERIFY(pty.write("abc"));
        QTRY_COMPARE_WITH_TIMEOUT(comm.inputCount(), 3, 5000);
    }
    pty.closeMaster();

    QElapsedTimer clock;
    clock.start();
    for (int round = 0; round < 3; ++round) {
        try {
            const QByteArray frame = QByteArray::fromHex("107B017C16");
            if (operation == QLatin1String("InputCount")) {
                const int n = comm.inputCount();
                QVERIFY(n >= 0 && n <= 3);
            } else if (operation == QLatin1String("ReadAll")) {
                QVERIFY(comm.readAll().size() <= 3);
            } else if (operation == QLatin1String("ReadBytes")) {
                std::uint8_t buffer[8];
                const int n = comm.readBytes(buffer, 8);
                QVERIFY(n >= 0 && n <= 3);
            } else if (operation == QLatin1String("WriteBytes")) {
                QVERIFY(comm.writeBytes(reinterpret_cast<const std::uint8_t *>(frame.constData()), 5) < 5);
            } else if (operation == QLatin1String("WriteText")) {
                QVERIFY(!comm.writeText(frame));
            } else if (operation == QLatin1String("WriteByte")) {
                QVERIFY(!comm.writeByte(0x10));
            } else if (operation == QLatin1String("PurgeAll")) {
                comm.purgeAll();
            } else {
                comm.purgeInput();
            }
        } catch (const SerialPortError &e) {
            QVERIFY(!e.message().isEmpty());
        }
    }
    // At 300 baud a five-byte write may be allowed a little over one second.
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(comm.isOpen());

    comm.close();
    comm.close();
    QVERIFY(!comm.isOpen());
    QCOMPARE(closed.count(), 1);
    QVERIFY(descriptorsOf(path).isEmpty());

    // The device is gone: opening it again fails cleanly.
    QVERIFY(SerialPort::probe(path) != 0);
    QVERIFY_THROWS_EXCEPTION(SerialPortError, comm.open());
    QVERIFY(!comm.isOpen());
}

QTEST_GUILESS_MAIN(TstSerialIo)
#include "tst_serial_io.moc"
