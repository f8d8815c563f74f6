#pragma once
// Every exchange with the bus: make the route ready, send one frame, collect
// what arrived one response timeout later, end the use of the link. Runs on
// the user-interface thread only.

#include "bus_link.h"
#include "comm_log.h"
#include "link_route.h"
#include "mbus/request.h"

#include <QByteArray>
#include <QObject>

#include <functional>

class TSerialComm;

class LinkDispatch : public QObject, public BusLink {
    Q_OBJECT
public:
    struct Environment {
        std::function<LinkSettings()> settings;  // read at every step
        std::function<bool()> isAdministrator;   // "Sent:" lines only for administrators
        std::function<int()> language;           // 1 English, 2 Italian, 3 Polish
        std::function<void()> clearFullReport;   // End link use clears a pending full report
    };

    LinkDispatch(TSerialComm &comm, CommLog &log, Environment env, QObject *parent = nullptr);

    LinkRoute route() const override { return m_env.settings().route; }

    bool beginLinkUse() override;
    // Sends the request's frame on the current route. Returns true when the
    // bytes left (on the serial route: were completely written).
    bool sendFrame(const mbus::Request &request) override;
    QByteArray collectReply() override;
    void endLinkUse() override;
    void discardPendingReply() override;
    bool serialPortOpen() const override { return m_portOpen; }

    // Opens the serial port when closed, closes it when open.
    void toggleSerialPort();
    // Writes raw bytes to the serial port, opening it first when needed.
    // Returns false (and logs) when the port cannot be had or the write fails.
    bool openSerialIfClosed();
    bool writeSerial(const QByteArray &bytes, const QString &context);

    bool portOpen() const { return m_portOpen; }

    // Receive store of the converter route (appended by the converter socket).
    QByteArray converterReceive;
    // Payload of the last gateway telegram (set by the gateway sockets).
    QByteArray gatewayResponse;

signals:
    // Text of the port panel of the status bar.
    void serialStatusChanged(const QString &text);
    // The three port fields of the settings may be edited only while closed.
    void serialFieldsEnabled(bool enabled);

private:
    void openSerial(const LinkSettings &settings);
    void closeSerial(const LinkSettings &settings);
    QString inUseLine(const QString &portName, int err) const;

    TSerialComm &m_comm;
    CommLog &m_log;
    Environment m_env;
    bool m_portOpen = false;
};
