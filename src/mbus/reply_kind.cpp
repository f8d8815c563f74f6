#include "reply_kind.h"

namespace mbus {

ReplyKind classifyReply(ByteView reply)
{
    if (reply.empty())
        return ReplyKind::NoResponse;
    if (reply.size() == 1 && reply[0] == kAcknowledgeByte)
        return ReplyKind::Acknowledge;
    return ReplyKind::Candidate;
}

ReplyKind classifyReadAllReply(ByteView reply)
{
    const ReplyKind kind = classifyReply(reply);
    if (kind == ReplyKind::Candidate && reply.size() < 2)
        return ReplyKind::NoResponse;
    return kind;
}

} // namespace mbus
