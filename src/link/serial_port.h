#pragma once
// The serial port over POSIX termios: opening, line settings, buffered reads
// and writes. Errors are raised as SerialPortError with the texts the log shows.

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <cstdint>
#include <stdexcept>

enum class BaudRate {
    User,
    Baud110,
    Baud300,
    Baud600,
    Baud1200,
    Baud2400,
    Baud4800,
    Baud9600,
    Baud14400,
    Baud19200,
    Baud38400,
    Baud56000,
    Baud57600,
    Baud115200,
    Baud128000,
    Baud256000
};
enum class Parity { None, Odd, Even, Mark, Space };
enum class DataBits { Four, Five, Six, Seven, Eight };
enum class StopBits { One, OneAndHalf, Two };

struct SerialBuffers {
    int readSize = 4096;
    int readTimeoutMs = 1000; // ms
    int writeSize = 2048;
    int writeTimeoutMs = 1000; // ms
    int xonLimit = 1024;
    int xoffLimit = 1024;
};

class SerialPortError : public std::runtime_error {
public:
    explicit SerialPortError(const QString &message, int code = 0)
        : std::runtime_error(message.toStdString()), m_code(code)
    {}
    QString message() const { return QString::fromStdString(what()); }
    int code() const { return m_code; } // errno, 0 when none
private:
    int m_code;
};

// Bits per second of a baud-rate value (0 for BaudRate::User: the user baud rate applies).
int baudrateBits(BaudRate rate);

// Maps the name the user chose to a device path: "COMn" (from imported
// settings) to /dev/ttyS(n-1), a bare name to /dev/<name>, a path unchanged.
QString serialDevicePath(const QString &portName);

class SerialPort : public QObject {
    Q_OBJECT
public:
    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    // Settings. DeviceName and Buffers are refused while open; line settings
    // changed while open are applied at once.
    void setDeviceName(const QString &name);
    QString deviceName() const { return m_deviceName; }
    void setBaudrate(BaudRate rate);
    BaudRate baudrate() const { return m_baudrate; }
    void setUserBaudrate(int bitsPerSecond);
    void setParity(Parity parity);
    Parity parity() const { return m_parity; }
    void setDatabits(DataBits bits);
    void setStopbits(StopBits bits);
    void setBuffers(const SerialBuffers &buffers);
    const SerialBuffers &buffers() const { return m_buffers; }

    bool isOpen() const { return m_fd >= 0; }

    void open();
    void close();

    // Writes all bytes and waits until they have left the driver, at most
    // bytes x 11 / baud + 1 s. Returns the count written (short on time-out).
    int writeBytes(const std::uint8_t *data, int count);
    bool writeText(const QByteArray &text);
    bool writeByte(std::uint8_t byte);

    int inputCount();
    int readBytes(std::uint8_t *buffer, int count);
    QByteArray readAll();
    void purgeAll();
    void purgeInput();
    // Bytes written but not yet sent by the driver (a line held up by flow control).
    bool outputPending() const;

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
    BaudRate m_baudrate = BaudRate::Baud1200;
    int m_userBaudrate = 0;
    Parity m_parity = Parity::None;
    DataBits m_databits = DataBits::Eight;
    StopBits m_stopbits = StopBits::One;
    SerialBuffers m_buffers;
    int m_fd = -1;
    QSocketNotifier *m_inputWatch = nullptr;
};

// The errno of a failed read, write or query says the device went away (a
// pulled USB adapter, a hung-up line): the port is of no further use.
bool meansDeviceGone(int error);

// Why a port could not be opened, in plain words for the log and the command
// line ("/etc/passwd is not a serial port"), from the errno of the failure.
QString openFailureText(const QString &device, int error);
