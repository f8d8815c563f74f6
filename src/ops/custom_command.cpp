#include "custom_command.h"

#include "mbus/bytes.h"

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

CustomCommand::CustomCommand(BusSession &session, QObject *parent) : Operation(session, parent)
{
    m_replyTimer.setSingleShot(true);
    m_replyTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_replyTimer, &QTimer::timeout, this, &CustomCommand::collect);
}

void CustomCommand::send(const QString &text, bool asciiMode)
{
    if (text.isEmpty() || !m_session.permits(Right::Devices))
        return;
    QByteArray bytes = text.toLatin1();
    if (!asciiMode) {
        const HexCommand command = parseHexCommand(text);
        if (!command.error.isEmpty()) {
            m_session.log.addLine(command.error);
            return;
        }
        bytes = command.bytes;
    }
    // Every route is made ready first: the port opened, the converter or the
    // gateway server connected.
    if (!takeBus(tr("Custom command")))
        return;
    m_summary.counted = false;
    m_summary.quiet = true;
    m_reply.clear();
    m_asciiReply = asciiMode;
    m_sentText = asciiMode ? text : QString::fromLatin1(mbus::hexLogForm(byteView(bytes))).trimmed();
    m_session.link.sendCommand(bytes, asciiMode);
    m_replyTimer.start(m_session.options().responseTimeoutMs);
}

void CustomCommand::onStop()
{
    if (m_replyTimer.isActive())
        m_summary.unconfirmed << tr("custom command %1 was sent but not confirmed").arg(m_sentText);
}

void CustomCommand::collect()
{
    if (!running())
        return;
    m_reply = m_session.link.collectReply();
    m_session.link.discardPendingReply(); // nothing of it is left for the next operation
    if (m_session.link.linkGone())
        return;
    if (!m_reply.isEmpty()) {
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(m_reply.constData());
        m_session.log.addLine(m_asciiReply
                                  ? QString::fromLatin1(m_reply)
                                  : QString::fromLatin1(mbus::hexLogForm({bytes, std::size_t(m_reply.size())})));
    }
    end();
}
