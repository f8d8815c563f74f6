#pragma once
// The four ways to the bus and the precedence when the settings choose several.

#include <QString>

#include <optional>

enum class LinkRoute {
    Listen,        // gateways connect to our listening socket; frames in gateway telegrams
    GatewayClient, // we connect to a gateway server; frames in gateway telegrams
    Converter,     // we connect to a serial-to-TCP converter; frames travel bare
    Serial,        // local serial port; frames travel bare
};

// The route's name in the readings archive.
inline QString routeName(LinkRoute route)
{
    switch (route) {
    case LinkRoute::Listen:
        return QStringLiteral("listen");
    case LinkRoute::GatewayClient:
        return QStringLiteral("gateway");
    case LinkRoute::Converter:
        return QStringLiteral("converter");
    case LinkRoute::Serial:
        break;
    }
    return QStringLiteral("serial");
}

inline LinkRoute chooseRoute(bool useListen, bool useGatewayClient, bool useConverter)
{
    if (useListen)
        return LinkRoute::Listen;
    if (useGatewayClient)
        return LinkRoute::GatewayClient;
    if (useConverter)
        return LinkRoute::Converter;
    return LinkRoute::Serial;
}

// Everything the dispatch reads from the settings at the moment of each step.
struct LinkSettings {
    LinkRoute route = LinkRoute::Serial;
    QString portName = QStringLiteral("COM1");
    QString speed = QStringLiteral("300");
    QString parity = QStringLiteral("Even");
    // TCP routes: the converter and the gateway server share address and port.
    QString remoteIp = QStringLiteral("192.168.1.3");
    QString remotePort = QStringLiteral("10001");
    int ethTimeout = 50; // gateway-client connect wait, units of 10 ms
    QString netNumber;   // gateway network number, dotted
    QString listenPort = QStringLiteral("59615");
};

// Where the route leads, as the readings archive keeps it: the serial port,
// the converter's or gateway server's address (with the network number),
// or the listening port.
inline QString linkDescription(const LinkSettings &s)
{
    switch (s.route) {
    case LinkRoute::Listen:
        return QStringLiteral("port ") + s.listenPort;
    case LinkRoute::GatewayClient:
        return s.remoteIp + u':' + s.remotePort
               + (s.netNumber.isEmpty() ? QString() : QStringLiteral(" net ") + s.netNumber);
    case LinkRoute::Converter:
        return s.remoteIp + u':' + s.remotePort;
    case LinkRoute::Serial:
        break;
    }
    return s.portName;
}

// A TCP port typed in the settings: decimal digits only, 1..65535. Anything
// else (empty, signs, spaces, 0, too large) is no port at all.
inline std::optional<quint16> tcpPortNumber(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    quint32 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + quint32(c.unicode() - u'0');
        if (value > 65535)
            return std::nullopt;
    }
    if (value == 0)
        return std::nullopt;
    return quint16(value);
}
