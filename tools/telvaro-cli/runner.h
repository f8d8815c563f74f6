#pragma once
// One run of telvaro-cli: the program's link dispatch, session and operations
// (scan, read-all, secondary search, meter commands, custom command) put
// together without a window, one command carried out, the result printed.

#include "cli_options.h"
#include "cli_output.h"
#include "progress.h"

#include "link/comm_log.h"
#include "link/serial_port.h"

#include <QObject>
#include <QTimer>

#include <memory>

class BusSession;
class CustomCommand;
class LinkDispatch;
class MeterCommands;
class PrimaryScan;
class ReadAll;
class SecondarySearch;
class SecondarySequence;

namespace cli {

class Runner : public QObject, public CommLog {
    Q_OBJECT
public:
    Runner(const Options &options, const Settings &settings, Progress &progress);
    ~Runner() override;

    // Carries out the command; the exit status.
    int run();

    void addLine(const QString &line) override;

private:
    struct Taken {
        Reading telegrams;
        QDateTime when;
    };

    int scan();
    int read();
    int readAll();
    int search();
    int setAddress();
    int raw();

    // Makes the link ready once before the operation does, to tell a link
    // error (exit 2) from silence on the bus.
    bool linkReady();
    void waitIdle();
    int linkError(const QString &reason);
    // Reads the rows of the device table by address; false when the link failed.
    bool readTable(const QList<int> &addresses);
    QList<int> answeredAddresses() const;
    void print(const QByteArray &reply = {}, bool raw = false);
    int failed(const QString &reason);

    Options m_options;
    Settings m_settings;
    Progress &m_progress;
    QString m_lastLine;
    bool m_linkLost = false;
    QList<Taken> m_readings;

    SerialPort m_comm;
    std::unique_ptr<LinkDispatch> m_dispatch;
    decode::DeviceTable m_table;
    QTimer m_respond, m_secondary, m_readAllTimer, m_autoAddress, m_freeCommand;
    std::unique_ptr<BusSession> m_session;
    std::unique_ptr<SecondarySequence> m_sequence;
    std::unique_ptr<MeterCommands> m_commands;
    std::unique_ptr<PrimaryScan> m_scan;
    std::unique_ptr<ReadAll> m_readAll;
    std::unique_ptr<SecondarySearch> m_search;
    std::unique_ptr<CustomCommand> m_custom;
};

} // namespace cli
