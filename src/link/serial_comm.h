#pragma once
// The program's serial-link module over POSIX termios. Same operations, settings
// and error texts as the serial component the program was designed around;
// errors are raised as ESerialCommError with those texts.

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <cstdint>
#include <stdexcept>

enum class TSerialBaudrate {
    brUser, br110, br300, br600, br1200, br2400, br4800, br9600, br14400,
    br19200, br38400, br56000, br57600, br115200, br128000, br256000
};
enum class TSerialParity { paNone, paOdd, paEven, paMark, paSpace };
enum class TSerialDatabits { db4, db5, db6, db7, db8 };
enum class TSerialStopbits { sb1, sb15, sb2 };

struct TSerialBuffers {
    int ReadSize = 4096;
    int ReadTimeout = 1000; // ms
    int WriteSize = 2048;
    int WriteTimeout = 1000; // ms
    int XonLimit = 1024;
    int XoffLimit = 1024;
};

class ESerialCommError : public std::runtime_error {
public:
    explicit ESerialCommError(const QString &message, int code = 0)
        : std::runtime_error(message.toStdString()), m_code(code) {}
    QString message() const { return QString::fromStdString(what()); }
    int code() const { return m_code; } // errno, 0 when none
private:
    int m_code;
};

// Bits per second of a baud-rate value (0 for brUser: UserBaudrate applies).
int baudrateBits(TSerialBaudrate rate);

// Maps the name the user chose to a device path: "COMn" (from imported
// settings) to /dev/ttyS(n-1), a bare name to /dev/<name>, a path unchanged.
QString serialDevicePath(const QString &portName);

class TSerialComm : public QObject {
    Q_OBJECT
public:
    explicit TSerialComm(QObject *parent = nullptr);
    ~TSerialComm() override;

    // Settings. DeviceName and Buffers are refused while open; line settings
    // changed while open are applied at once.
    void setDeviceName(const QString &name);
    QString deviceName() const { return m_deviceName; }
    void setBaudrate(TSerialBaudrate rate);
    TSerialBaudrate baudrate() const { return m_baudrate; }
    void setUserBaudrate(int bitsPerSecond);
    void setParity(TSerialParity parity);
    TSerialParity parity() const { return m_parity; }
    void setDatabits(TSerialDatabits bits);
    void setStopbits(TSerialStopbits bits);
    void setBuffers(const TSerialBuffers &buffers);
    const TSerialBuffers &buffers() const { return m_buffers; }

    bool isOpen() const { return m_fd >= 0; }

    void Open();
    void Close();

    // Writes all bytes and waits until they have left the driver, at most
    // bytes x 11 / baud + 1 s. Returns the count written (short on time-out).
    int WriteBytes(const std::uint8_t *data, int count);
    bool WriteText(const QByteArray &text);
    bool WriteByte(std::uint8_t byte);

    int InputCount();
    int ReadBytes(std::uint8_t *buffer, int count);
    QByteArray ReadAll();
    void PurgeAll();
    void PurgeInput();

    // Opens the device exclusively and closes it at once. Returns 0 when the
    // port can be had, otherwise the errno that stopped it.
    static int probe(const QString &deviceName);

signals:
    void opened();
    void closed();
    // Receive notifications, raised from the event loop while the port is
    // open and someone listens. With a block listener the bytes are read and
    // handed over; otherwise the count is announced once until the queue is
    // read or purged.
    void receivedCharacters(int count);
    void receivedBlock(const QByteArray &bytes);
    // The device reported an error (for example it went away): errno.
    void lineError(int code);

protected:
    void connectNotify(const QMetaMethod &signal) override;

private:
    void applyLineSettings();
    void watchInput();
    void onInputReady();
    [[noreturn]] void fail(const char *format, int err) const;

    QString m_deviceName;
    TSerialBaudrate m_baudrate = TSerialBaudrate::br1200;
    int m_userBaudrate = 0;
    TSerialParity m_parity = TSerialParity::paNone;
    TSerialDatabits m_databits = TSerialDatabits::db8;
    TSerialStopbits m_stopbits = TSerialStopbits::sb1;
    TSerialBuffers m_buffers;
    int m_fd = -1;
    QSocketNotifier *m_inputWatch = nullptr;
};
