#pragma once
// The four ways to the bus and the precedence when the settings choose several.

#include <QString>

enum class LinkRoute {
    Listen,        // gateways connect to our listening socket; frames in gateway telegrams
    GatewayClient, // we connect to a gateway server; frames in gateway telegrams
    Converter,     // we connect to a serial-to-TCP converter; frames travel bare
    Serial,        // local serial port; frames travel bare
};

inline LinkRoute chooseRoute(bool useEthernet, bool velkServer, bool useLanxp)
{
    if (useEthernet)
        return LinkRoute::Listen;
    if (velkServer)
        return LinkRoute::GatewayClient;
    if (useLanxp)
        return LinkRoute::Converter;
    return LinkRoute::Serial;
}

// Everything the dispatch reads from the settings at the moment of each step.
struct LinkSettings {
    LinkRoute route = LinkRoute::Serial;
    QString portName = QStringLiteral("COM1");
    QString speed = QStringLiteral("300");
    QString parity = QStringLiteral("Even");
};
