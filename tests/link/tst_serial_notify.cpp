// Receive and error notifications of the serial port, for listeners that
// want them (the program itself collects replies when its timers fire).

#include "link/serial_port.h"
#include "pty_pair.h"

#include <QSignalSpy>
#include <QtTest>

class TstSerialNotify : public QObject {
    Q_OBJECT
private slots:
    void blockListenerGetsTheBytes();
    void countIsAnnouncedOnceUntilRead();
    void vanishedDeviceRaisesLineError();
};

namespace {
void openOn(SerialPort &comm, const PtyPair &pty)
{
    comm.setDeviceName(pty.slavePath());
    comm.setBaudrate(BaudRate::Baud2400);
    comm.open();
}
} // namespace

void TstSerialNotify::blockListenerGetsTheBytes()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    SerialPort comm;
    QSignalSpy blocks(&comm, &SerialPort::receivedBlock);
    openOn(comm, pty);
    pty.write(QByteArray::fromHex("E5"));
    QVERIFY(blocks.wait());
    QCOMPARE(blocks.at(0).at(0).toByteArray(), QByteArray::fromHex("E5"));
    QCOMPARE(comm.inputCount(), 0);
}

void TstSerialNotify::countIsAnnouncedOnceUntilRead()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    SerialPort comm;
    QSignalSpy counts(&comm, &SerialPort::receivedCharacters);
    openOn(comm, pty);
    pty.write("abc");
    QVERIFY(counts.wait());
    QCOMPARE(counts.at(0).at(0).toInt(), 3);
    QTest::qWait(100); // nobody read: no second announcement for the same bytes
    QCOMPARE(counts.size(), 1);
    QCOMPARE(comm.readAll(), QByteArray("abc"));
    pty.write("d");
    QVERIFY(counts.wait());
    QCOMPARE(counts.size(), 2);
}

void TstSerialNotify::vanishedDeviceRaisesLineError()
{
    auto pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
    SerialPort comm;
    QSignalSpy errors(&comm, &SerialPort::lineError);
    openOn(comm, *pty);
    pty->closeMaster();
    QVERIFY(errors.wait());
    QVERIFY(errors.at(0).at(0).toInt() != 0);
    comm.close();
    QVERIFY(!comm.isOpen());
}

QTEST_GUILESS_MAIN(TstSerialNotify)
#include "tst_serial_notify.moc"
