#pragma once
// The commands that change or read one meter (or every meter, on broadcast),
// and the single-operation branch of the response timer that handles their
// replies: acknowledgement, the read after a write, the decoded reading, or
// silence.

#include "bus_session.h"

#include <functional>

class SecondarySequence;

class MeterCommands : public QObject {
    Q_OBJECT
public:
    MeterCommands(BusSession &session, SecondarySequence &sequence, QObject *parent = nullptr);

    void reset();
    void changeBaud(const QString &baudText);
    void changeId(const QString &newId);
    // Counter value in litres: 8 BCD digits, or the integer form with gin.
    void setValue(const QString &valueText, bool integerForm);
    void setMedium(const QString &mediumText);
    // With relay set the current reading is written with the unit instead.
    void setUnit(const QString &unit, const QString &constant, bool relay);
    void relayUnit(const QString &unit, const QString &constant);
    // On broadcast to 254; otherwise through the selection by the selected ID.
    void setPrimaryAddress(int newAddress);
    // One step of the automatic addressing, which already holds the bus.
    void setPrimaryAddressStep(int newAddress);
    // "Read selected", and "Read Full" with the reply for the detailed report.
    void readSelected(bool fullReport);

    // The response timer fired while no scan runs.
    void respondTick();

private:
    // Checks the target and the request, takes the bus and sends it.
    void startWrite(const std::function<mbus::Request(int target)> &build, bool readAfter);
    bool takeBusAndLink();
    void sendRead(int address);
    void endOperation();

    BusSession &m_session;
    SecondarySequence &m_sequence;
};
