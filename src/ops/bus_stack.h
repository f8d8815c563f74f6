#pragma once
// One bus stack for every front end (the main window, telvaro-cli, the
// benchmarks and the tests): the session and the operations on a link, with
// the options read at the moment of use; and, for the program's own links,
// the dispatch on the settings.

#include "auto_addressing.h"
#include "bus_session.h"
#include "custom_command.h"
#include "meter_commands.h"
#include "primary_scan.h"
#include "read_all.h"
#include "secondary_search.h"

#include "config/settings.h"
#include "link/link_dispatch.h"
#include "link/serial_port.h"

#include <array>
#include <memory>

// The options the settings give; "Send NKE first" and broadcast are the
// caller's (the window has boxes for them).
BusOptions busOptionsFrom(const Settings &settings);
// The route and its addresses as the settings choose them.
LinkSettings linkSettingsFrom(const Settings &settings);

class BusStack {
public:
    BusStack(BusLink &link, CommLog &log, decode::DeviceTable &table, std::function<BusOptions()> options);

    BusSession session;
    MeterCommands commands;
    PrimaryScan scan;
    ReadAll readAll;
    AutoAddressing autoAddressing;
    SecondarySearch search;
    CustomCommand custom;

    // The M-Bus operations, for wiring what they have in common (the display
    // runs are the display page's).
    std::array<Operation *, 6> operations() { return {&commands, &scan, &readAll, &autoAddressing, &search, &custom}; }
    // Stops whatever uses the bus, the display runs included (the program closes).
    void stopAll() { session.stopAll(); }
};

// The program's own bus: the serial port, the dispatch on the settings'
// routes, and the stack on it.
class ProgramBus {
public:
    // settings is read at every step; env gives what the front end adds
    // (its settings function is replaced by one over settings).
    ProgramBus(CommLog &log, decode::DeviceTable &table, std::function<const Settings &()> settings,
               std::function<BusOptions()> options, LinkDispatch::Environment env = {});
    ~ProgramBus();

    SerialPort port;
    LinkDispatch dispatch;
    BusStack stack;
};
