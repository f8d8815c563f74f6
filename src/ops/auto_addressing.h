#pragma once
// Gives the meters of the device table consecutive primary addresses, row by
// row, each through a selection by its ID: whatever its present address, a
// row's meter gets the next address; a row without an ID uses up a number.

#include "bus_session.h"

class MeterCommands;

class AutoAddressing : public QObject {
    Q_OBJECT
public:
    static constexpr int kFirstInvalidAddress = 250;

    AutoAddressing(BusSession &session, MeterCommands &commands, QObject *parent = nullptr);

    bool running() const { return m_session.autoAddressingActive; }

    // Confirmation and clearing broadcast are the caller's.
    void start(int firstAddress);
    void stop();

signals:
    void runningChanged(bool running);
    // The address about to be given (shown as the new address).
    void addressChosen(int address);

private:
    void tick();
    void addressRow();
    void end(const QString &line);

    BusSession &m_session;
    MeterCommands &m_commands;
    int m_row = 0;
    int m_next = 0;
};
