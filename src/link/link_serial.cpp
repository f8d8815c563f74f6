// The serial route of the dispatch: opening and closing the port, and writing to it.

#include "link_dispatch.h"

#include "serial_port.h"

#include <cerrno>
#include <cstring>

QString LinkDispatch::inUseLine(const QString &portName, int err) const
{
    // A device that is not there at all is no port in use.
    if (err == ENOENT || err == ENXIO || err == ENODEV)
        return tr("The selected serial port (%1) was not found!").arg(portName);
    // No right to it, or no serial port at all: said as it is, so that the
    // user knows what to change.
    if (err == EACCES || err == EPERM || err == ENOTTY || err == EISDIR)
        return openFailureText(serialDevicePath(portName), err);
    // The Polish text names no port, so the name goes in only where the text has room for it.
    QString line = tr("The selected serial port (%1) is in use by another program!");
    line.replace(QStringLiteral("%1"), portName);
    if (err != EBUSY)
        line += QStringLiteral(" - ") + QString::fromLocal8Bit(std::strerror(err));
    return line;
}

void LinkDispatch::openSerial(const LinkSettings &s)
{
    const QString closedText = tr("%1 is closed").arg(s.portName);
    const QString device = serialDevicePath(s.portName);
    if (const int err = SerialPort::probe(device)) {
        emit serialStatusChanged(closedText);
        m_portOpen = false;
        m_log.addLine(inUseLine(s.portName, err));
        return;
    }
    bool isNumber = false;
    const int speed = s.speed.trimmed().toInt(&isNumber);
    BaudRate rate = BaudRate::Baud2400; // any other number stays at 2400
    switch (speed) {
    case 300:
        rate = BaudRate::Baud300;
        break;
    case 4800:
        rate = BaudRate::Baud4800;
        break;
    case 9600:
        rate = BaudRate::Baud9600;
        break;
    case 19200:
        rate = BaudRate::Baud19200;
        break;
    default:
        break;
    }
    Parity parity = Parity::Even; // unknown texts, lower case included
    if (s.parity == QLatin1String("None"))
        parity = Parity::None;
    else if (s.parity == QLatin1String("Odd"))
        parity = Parity::Odd;
    else if (s.parity == QLatin1String("Mark"))
        parity = Parity::Mark;
    else if (s.parity == QLatin1String("Space"))
        parity = Parity::Space;
    try {
        if (!isNumber)
            throw SerialPortError(QStringLiteral("speed is not a number"));
        m_comm.setDeviceName(device);
        m_comm.setBaudrate(rate);
        m_comm.setParity(parity);
        m_comm.setStopbits(StopBits::One);
        m_comm.setDatabits(DataBits::Eight);
        m_comm.open();
    } catch (const SerialPortError &e) {
        // The reason where the serial layer knows it.
        m_log.addLine(e.code() != 0 ? openFailureText(device, e.code())
                                    : QStringLiteral("Unknown Exception on opening serial port..."));
        emit serialStatusChanged(closedText);
        return;
    }
    const QString openText = s.portName + QStringLiteral(" - ") + s.speed + QStringLiteral(",8,") + s.parity;
    emit serialStatusChanged(openText);
    m_log.addLine(openText);
    m_portOpen = true;
    m_serialGone = false;
    emit serialFieldsEnabled(false);
}

void LinkDispatch::closeSerial(const LinkSettings &s)
{
    m_comm.close();
    emit serialStatusChanged(tr("%1 is closed").arg(s.portName));
    m_portOpen = false;
    emit serialFieldsEnabled(true);
}

void LinkDispatch::toggleSerialPort()
{
    const LinkSettings s = m_env.settings();
    if (m_portOpen)
        closeSerial(s);
    else
        openSerial(s);
}

bool LinkDispatch::openSerialIfClosed()
{
    if (!m_portOpen)
        toggleSerialPort();
    return m_portOpen;
}

bool LinkDispatch::writeSerial(const QByteArray &bytes, const QString &context)
{
    if (m_serialGone)
        return false;
    try {
        if (m_comm.writeText(bytes))
            return true;
    } catch (const SerialPortError &e) {
        if (serialFailed(e, context))
            return false;
    }
    m_log.addLine(context);
    return false;
}

bool LinkDispatch::serialFailed(const SerialPortError &error, const QString &line)
{
    if (!meansDeviceGone(error.code())) {
        if (!line.isEmpty())
            m_log.addLine(line);
        return false;
    }
    if (m_serialGone)
        return true;
    m_serialGone = true;
    const LinkSettings s = m_env.settings();
    m_log.addLine(
        tr("The serial port %1 is gone (%2)...").arg(s.portName, QString::fromLocal8Bit(std::strerror(error.code()))));
    watchSerialInput(false);
    m_serialReceived.clear();
    closeSerial(s);
    // The operation is in the middle of a call into the link: it hears of
    // the loss from the event loop, and asks nothing more meanwhile.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_serialGone)
                lose(LinkRoute::Serial);
        },
        Qt::QueuedConnection);
    return true;
}
