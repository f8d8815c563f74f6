// The serial route of the dispatch: opening and closing the port, and writing to it.

#include "link_dispatch.h"

#include "serial_comm.h"

#include <cerrno>
#include <cstring>

QString LinkDispatch::inUseLine(const QString &portName, int err) const
{
    // A device that is not there at all is no port in use.
    if (err == ENOENT || err == ENXIO || err == ENODEV)
        return tr("The selected serial port (%1) was not found!").arg(portName);
    QString line;
    switch (m_env.language ? m_env.language() : 1) {
    case 3:
        line = QStringLiteral("Wybrany port jest u\u017Cywany przez inny program");
        break;
    case 2:
        line = QStringLiteral("La porta selezionata (") + portName + QStringLiteral(") e utilizzata da un\"altra applicazione!");
        break;
    default:
        line = QStringLiteral("The selected serial port (") + portName + QStringLiteral(") is in use by another program!");
        break;
    }
    // Name the real reason where it is not another program holding the port.
    if (err == EACCES || err == EPERM)
        line += QStringLiteral(" - ") + QString::fromLocal8Bit(std::strerror(err))
              + QStringLiteral(" (is the user in the dialout group?)");
    return line;
}

void LinkDispatch::openSerial(const LinkSettings &s)
{
    const QString closedText = s.portName + QStringLiteral(" is closed");
    const QString device = serialDevicePath(s.portName);
    if (const int err = TSerialComm::probe(device)) {
        emit serialStatusChanged(closedText);
        m_portOpen = false;
        m_log.addLine(inUseLine(s.portName, err));
        return;
    }
    bool isNumber = false;
    const int speed = s.speed.trimmed().toInt(&isNumber);
    TSerialBaudrate rate = TSerialBaudrate::br2400; // any other number stays at 2400
    switch (speed) {
    case 300: rate = TSerialBaudrate::br300; break;
    case 4800: rate = TSerialBaudrate::br4800; break;
    case 9600: rate = TSerialBaudrate::br9600; break;
    case 19200: rate = TSerialBaudrate::br19200; break;
    default: break;
    }
    TSerialParity parity = TSerialParity::paEven; // unknown texts, lower case included
    if (s.parity == QLatin1String("None"))
        parity = TSerialParity::paNone;
    else if (s.parity == QLatin1String("Odd"))
        parity = TSerialParity::paOdd;
    else if (s.parity == QLatin1String("Mark"))
        parity = TSerialParity::paMark;
    else if (s.parity == QLatin1String("Space"))
        parity = TSerialParity::paSpace;
    try {
        if (!isNumber)
            throw ESerialCommError(QStringLiteral("speed is not a number"));
        m_comm.setDeviceName(device);
        m_comm.setBaudrate(rate);
        m_comm.setParity(parity);
        m_comm.setStopbits(TSerialStopbits::sb1);
        m_comm.setDatabits(TSerialDatabits::db8);
        m_comm.Open();
    } catch (const ESerialCommError &) {
        m_log.addLine(QStringLiteral("Unknown Exception on opening serial port..."));
        emit serialStatusChanged(closedText);
        return;
    }
    const QString openText = s.portName + QStringLiteral(" - ") + s.speed + QStringLiteral(",8,") + s.parity;
    emit serialStatusChanged(openText);
    m_log.addLine(openText);
    m_portOpen = true;
    emit serialFieldsEnabled(false);
}

void LinkDispatch::closeSerial(const LinkSettings &s)
{
    m_comm.Close();
    emit serialStatusChanged(s.portName + QStringLiteral(" is closed"));
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
    try {
        if (m_comm.WriteText(bytes))
            return true;
    } catch (const ESerialCommError &) {
    }
    m_log.addLine(context);
    return false;
}

