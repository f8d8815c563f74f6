#pragma once
// The command line of mbus-sim, and the --help text that explains it and the
// bus file format.

#include "displayfaults.h"
#include "gateway.h"
#include "session.h"

#include <QStringList>

#include <string>
#include <vector>

enum class Mode { Pty, Tcp, GatewayServer, GatewayConnect };

struct Options {
    std::string busFile;  // may be empty with --random-meters
    int randomMeters = 0; // generated meters added after the bus file's
    Mode mode = Mode::Pty;
    std::string ptyLink;     // --pty
    int tcpPort = -1;        // --tcp and --gateway-server: 0..65535
    std::string connectHost; // --gateway-connect
    int connectPort = 0;
    int reconnectMs = -1; // --reconnect; -1: do not connect again
    mbussim::gateway::NetworkNumber net{0, 0, 0, 1};
    bool quiet = false;
    SessionOptions session;
    std::vector<mbussim::DisplayFaultOption> displayFaults; // --display-fault, in the order given
    bool seedGiven = false;
};

struct OptionsResult {
    Options options;
    bool help = false;
    bool version = false;
    std::string error; // usage error: exit status 2
};

OptionsResult parseOptions(const QStringList &arguments);
std::string helpText();
