#pragma once
// What a transport feeds with the bytes its peer sends, and what sends bytes
// back through the transport: the bare bus (Session) or the gateway
// (GatewaySession).

#include "mbus/bytes.h"

#include <functional>

class Responder {
public:
    using Sink = std::function<void(mbus::ByteView)>;

    virtual ~Responder() = default;
    // Where replies go; an empty sink drops them (nobody listening).
    virtual void setSink(Sink sink) = 0;
    // How to drop the peer (--hangup); empty where the transport cannot.
    virtual void setHangup(std::function<void()> hangup) = 0;
    virtual void receive(mbus::ByteView bytes) = 0;
    // A new peer: forget what the last one left half done.
    virtual void reset() = 0;
};
