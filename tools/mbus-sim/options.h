#pragma once
// The command line of mbus-sim, and the --help text that explains it and the
// bus file format.

#include "session.h"

#include <QStringList>

#include <string>

struct Options {
    std::string busFile;   // may be empty with --random-meters
    int randomMeters = 0;  // generated meters added after the bus file's
    std::string ptyLink;   // set for --pty
    int tcpPort = -1;      // set (0..65535) for --tcp
    bool quiet = false;
    SessionOptions session;
    bool seedGiven = false;
};

struct OptionsResult {
    Options options;
    bool help = false;
    std::string error;  // usage error: exit status 2
};

OptionsResult parseOptions(const QStringList &arguments);
std::string helpText();
