#include "custom_command.h"

#include "link_dispatch.h"

#include <QTimer>

HexCommand parseHexCommand(const QString &text)
{
    HexCommand result;
    if (text.size() == 1) {
        result.error = QStringLiteral("Wrong custom hex command, 2 symbols at least...");
        return result;
    }
    for (QChar c : text) {
        const bool allowed = c == u' ' || (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
        if (!allowed) {
            result.error = QStringLiteral("Wrong custom hex command, 0..F uppercase allowed");
            return result;
        }
    }
    for (const QString &token : text.split(u' ', Qt::SkipEmptyParts)) {
        const QString digits = token.size() == 1 ? QStringLiteral("0") + token : token.left(2);
        result.bytes.append(char(digits.toUInt(nullptr, 16)));
    }
    return result;
}

CustomCommand::CustomCommand(LinkDispatch &dispatch, CommLog &log, QTimer &timer, QObject *parent)
    : QObject(parent), m_dispatch(dispatch), m_log(log), m_timer(timer)
{
}

void CustomCommand::send(const QString &text, bool asciiMode)
{
    if (text.isEmpty())
        return;
    if (asciiMode)
        sendAscii(text);
    else
        sendHex(text);
}

void CustomCommand::sendAscii(const QString &text)
{
    const LinkRoute route = m_dispatch.route();
    if (route == LinkRoute::Converter) {
        m_dispatch.converterReceive.clear();
        m_log.addLine(QStringLiteral("This link route is not available yet; use the serial port..."));
        return;
    }
    if (route != LinkRoute::Listen) {
        if (!m_dispatch.openSerialIfClosed())
            return;
        m_dispatch.writeSerial(text.toLatin1(), QStringLiteral("Can not write to COM port - custom command"));
    }
    m_asciiReply = true;
    m_timer.start();
}

void CustomCommand::sendHex(const QString &text)
{
    const HexCommand command = parseHexCommand(text);
    if (!command.error.isEmpty()) {
        m_log.addLine(command.error);
        return;
    }
    const LinkRoute route = m_dispatch.route();
    if (route == LinkRoute::Serial) {
        if (!m_dispatch.openSerialIfClosed())
            return;
        // One byte per write, as the command was typed; stop at the first failure.
        for (char byte : command.bytes)
            if (!m_dispatch.writeSerial(QByteArray(1, byte), QStringLiteral("Can not write to COM port - custom command")))
                break;
    } else if (route == LinkRoute::Converter) {
        m_dispatch.converterReceive.clear();
    }
    m_asciiReply = false;
    m_timer.start();
}

void CustomCommand::collect()
{
    const QByteArray reply = m_dispatch.collectReply();
    if (!reply.isEmpty()) {
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(reply.constData());
        m_log.addLine(m_asciiReply ? QString::fromLatin1(reply)
                                   : QString::fromLatin1(mbus::hexLogForm({bytes, size_t(reply.size())})));
    }
    m_timer.stop();
    if (continuePendingSequence && continuePendingSequence())
        return;
    m_dispatch.endLinkUse();
}
