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

CustomCommand::CustomCommand(LinkDispatch &dispatch, CommLog &log, std::function<int()> timeoutMs, QObject *parent)
    : QObject(parent), m_dispatch(dispatch), m_log(log), m_timeoutMs(std::move(timeoutMs))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CustomCommand::collect);
}

void CustomCommand::send(const QString &text, bool asciiMode)
{
    if (text.isEmpty())
        return;
    if (rights && !rights->grants(Right::Devices)) {
        m_log.addLine(refusalLine(Right::Devices));
        return;
    }
    QByteArray bytes = text.toLatin1();
    if (!asciiMode) {
        const HexCommand command = parseHexCommand(text);
        if (!command.error.isEmpty()) {
            m_log.addLine(command.error);
            return;
        }
        bytes = command.bytes;
    }
    // Every route is made ready first: the port opened, the converter or the
    // gateway server connected.
    if (!m_dispatch.beginLinkUse())
        return;
    m_dispatch.sendCommand(bytes, asciiMode);
    m_asciiReply = asciiMode;
    m_timer.start(m_timeoutMs());
}

void CustomCommand::cancel()
{
    if (!m_timer.isActive())
        return;
    m_timer.stop();
    emit replyCollected({});
    m_dispatch.endLinkUse();
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
    emit replyCollected(reply);
    if (continuePendingSequence && continuePendingSequence())
        return;
    m_dispatch.endLinkUse();
}
