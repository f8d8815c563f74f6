#pragma once
// What an operation that walks the bus needs of the link: the four common
// steps of every exchange, and a way to throw away a late or partial reply
// before the next request. The dispatch implements it on the real routes;
// tests put a simulated bus behind it.

#include "link_route.h"
#include "mbus/request.h"

#include <QByteArray>

#include <functional>

class BusLink {
public:
    virtual ~BusLink() = default;

    virtual LinkRoute route() const = 0;
    // Makes the chosen route ready (opens the port, connects the socket).
    virtual bool beginLinkUse() = 0;
    // True when the frame left on the route.
    virtual bool sendFrame(const mbus::Request &request) = 0;
    // A display command: bare on the serial port, the converter and to a
    // gateway that called in, in a display telegram to a gateway server.
    virtual bool sendText(const QByteArray &command) = 0;
    // Bytes typed by hand: text as sendText; hex bare on the serial port and
    // the converter, in a display telegram to a gateway.
    virtual bool sendCommand(const QByteArray &bytes, bool text) = 0;
    // Everything that arrived since the request or the last collection.
    virtual QByteArray collectReply() = 0;
    virtual void endLinkUse() = 0;
    // A request of the operation that just ended may still be answered: the
    // next link use lets ms pass, dropping whatever comes, before it is ready.
    virtual void keepQuiet(int ms) = 0;
    // The link went away inside the call just made (a pulled serial
    // adapter): its end reaches the operation from the event loop, and the
    // operation asks nothing more until then.
    virtual bool linkGone() const = 0;
    // A reply came since the request but was damaged on its way, so that
    // nothing of it could be collected (a gateway telegram that failed its
    // checks): no silence.
    virtual bool damagedReplyCame() const = 0;
    // Purges the serial port's queues and empties the TCP receive stores.
    virtual void discardPendingReply() = 0;
    // The serial port is open (the wildcard search reads nothing else).
    virtual bool serialPortOpen() const = 0;

    // Early completion: while set, the link calls it once per request as
    // soon as what arrived since that request is one complete frame, so the
    // operation need not wait out its response timeout. Unset, the link
    // reads nothing before the operation collects.
    std::function<void()> replyComplete;
    // Standard bus timing: while set, the link calls it whenever bytes of a
    // reply arrive on the serial route.
    std::function<void()> replyActivity;
};
