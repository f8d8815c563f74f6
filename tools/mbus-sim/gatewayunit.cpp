#include "gatewayunit.h"

#include "frames.h"

namespace mbussim::gateway {

std::vector<Bytes> Assembler::push(ByteView bytes)
{
    std::vector<Bytes> telegrams;
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    std::size_t from = 0;
    while (m_buffer.size() - from >= kTelegramSize) {
        const auto start = m_buffer.begin() + static_cast<std::ptrdiff_t>(from);
        telegrams.emplace_back(start, start + kTelegramSize);
        from += kTelegramSize;
    }
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(from));
    return telegrams;
}

Gateway::Gateway(Bus &bus, const NetworkNumber &net) : m_bus(bus), m_net(net) {}

Reply Gateway::greeting() const
{
    Reply reply;
    reply.net = m_net;
    return reply;
}

Exchange Gateway::handle(ByteView telegram)
{
    Exchange ex;
    ex.request = parseRequest(telegram);
    ex.reply.net = m_net;
    ex.reply.packet = ex.request.packet;
    if (!ex.request.ok()) {
        ex.reply.status = {1, ex.request.firstError, ex.request.secondError};
        return ex;
    }
    const Request &request = *ex.request.request;
    // The master's network number comes from its settings and may be left
    // empty (0.0.0.0): a mismatch is worth a note, not a refusal.
    if (request.net != m_net)
        ex.notes.push_back("telegram for net " + networkText(request.net) + ", ours is " + networkText(m_net)
                           + ": served anyway");

    Answer answer;
    if (request.type == kMbusSection) {
        answer = mbusFrame(request.payload, ex);
    } else if (m_display) {
        answer = m_display(request.payload, ex.notes);
    } else {
        ex.notes.push_back("display commands are not simulated: unknown telegram");
        answer.status = {1, kErrUnknown, 0};
    }
    if (answer.payload && answer.payload->size() > kMaxReplyPayload) {
        ex.notes.push_back("answer of " + std::to_string(answer.payload->size()) + " bytes does not fit a telegram ("
                           + std::to_string(kMaxReplyPayload) + " at most)");
        answer = {std::nullopt, {1, 0, kErrGeneral}};
    }
    ex.reply.payload = std::move(answer.payload);
    ex.reply.dataType = request.type;
    ex.reply.status = answer.status;
    return ex;
}

Answer Gateway::mbusFrame(ByteView frame, Exchange &ex)
{
    if (!parseFrame(frame)) {
        ex.notes.push_back("payload is no valid M-Bus frame: not sent to the meters");
        return {std::nullopt, {1, 0, kErrMbusCommand}};
    }
    Response response = m_bus.handle(frame);
    ex.notes.insert(ex.notes.end(), response.notes.begin(), response.notes.end());
    Bytes bytes = std::move(response.bytes);
    ex.answerSize = bytes.size();
    if (!bytes.empty() && m_line && !m_line(bytes, ex.notes))
        bytes.clear();
    if (bytes.empty())
        return {std::nullopt, {1, 0, kErrTimeout}};
    return {std::move(bytes), {}};
}

std::string requestLine(const Request &request)
{
    std::string line = "#" + std::to_string(request.packet) + " " + hexByte(request.type);
    if (!request.payload.empty())
        line += " " + hexLine(request.payload);
    return line;
}

std::string replyLine(const Reply &reply)
{
    const Status &s = reply.status;
    std::string status = "result " + std::to_string(s.result);
    if (s.result != 0 || s.firstError != 0 || s.secondError != 0) {
        status += ", first error " + hexByte(s.firstError) + ", second error " + hexByte(s.secondError);
        if (s.firstError != 0 || s.secondError != 0)
            status += " (" + errorText(s) + ")";
    }
    std::string line = "#" + std::to_string(reply.packet) + " ";
    if (!reply.payload)
        return line + hexByte(kStatusSection) + " " + status;
    line += hexByte(reply.dataType);
    if (!reply.payload->empty())
        line += " " + hexLine(*reply.payload);
    if (s.result != 0 || s.firstError != 0 || s.secondError != 0)
        line += ", " + status;
    return line;
}

Bytes damage(Bytes t, TelegramFault fault)
{
    if (t.size() != kTelegramSize)
        return t;
    switch (fault) {
    case TelegramFault::BadChecksum:
        t[298] = static_cast<std::uint8_t>(~t[298]);
        break;
    case TelegramFault::BadStart:
        t[0] = kBadStartByte;
        t[19] = mbus::frameChecksum(ByteView(t).first(19));
        t[298] = mbus::frameChecksum(ByteView(t).first(298));
        break;
    case TelegramFault::Oversize:
        t.insert(t.end(), kOversizeJunk, kJunkByte);
        break;
    case TelegramFault::None:
    case TelegramFault::Silent:
        break;
    }
    return t;
}

} // namespace mbussim::gateway
