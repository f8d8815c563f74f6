#pragma once
// The bus behind a pseudo-terminal: the program opens the slave device (or the
// symbolic link to it) as its serial port.
//
// We keep a descriptor of our own on the slave, in raw mode, for our whole life:
// without it the master side reads EIO (hang-up) whenever the program has closed
// its port between operations, and the line discipline would echo or translate
// bytes before the program has set raw mode itself.

#include "mbus/bytes.h"

#include <QObject>

#include <string>

class QSocketNotifier;
class Output;
class Session;

class PtyLink : public QObject {
    Q_OBJECT
public:
    PtyLink(Session &session, Output &out, QObject *parent = nullptr);
    ~PtyLink() override;

    // Creates the pseudo-terminal and the link to its device (a stale symbolic
    // link is replaced; any other file in the way is an error).
    bool open(const std::string &linkPath, std::string &error);
    const std::string &device() const { return m_device; }

private:
    // Makes the pseudo-terminal and points the link at its device.
    bool create(std::string &error);
    void readable();
    void write(mbus::ByteView bytes);
    // --hangup: the far end goes as a pulled USB adapter does (the program's
    // port is hung up), and a new one is plugged in under the same link.
    void hangUp();
    void close();

    Session &m_session;
    Output &m_out;
    int m_master = -1;
    int m_slave = -1;
    QSocketNotifier *m_notifier = nullptr;
    std::string m_device;
    std::string m_link;
};
