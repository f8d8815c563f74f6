#pragma once
// The commands that change or read one meter (or every meter, on broadcast):
// the write and its acknowledgement, the read after a write, the decoded
// reading, or silence. A new primary address goes through the selection by
// the meter's ID, and is made sure of before the table shows it.

#include "operation.h"
#include "secondary_sequence.h"

#include <functional>

class MeterCommands : public Operation {
    Q_OBJECT
public:
    explicit MeterCommands(BusSession &session, QObject *parent = nullptr);

    void reset();
    void changeBaud(const QString &baudText);
    void changeId(const QString &newId);
    // Counter value in litres: 8 BCD digits, or the integer form with gin.
    void setValue(const QString &valueText, bool integerForm);
    void setMedium(const QString &mediumText);
    // With relay set the current reading is written with the unit instead.
    void setUnit(const QString &unit, const QString &constant, bool relay);
    void relayUnit(const QString &unit, const QString &constant);
    // On broadcast to 254; otherwise through the selection by the selected
    // ID, once the bus proved the address free (force: without asking it).
    void setPrimaryAddress(int newAddress, bool force = false);
    // "Read selected", and "Read Full" with the reply for the detailed report.
    // A meter whose address is not confirmed ("40?") is read through the
    // selection by its ID, which settles its address.
    void readSelected(bool fullReport);

    // Asked before a meter gets an address that another row of the table
    // holds (address, that row's ID); unset, such a command is refused.
    std::function<bool(int address, const QString &holder)> confirmAddressInUse;

private:
    enum class Step { Write, ReadAfter, Read };

    // Checks the target and the request, takes the bus and sends it.
    // what names the command in its summary ("Reset", "Set ID 12345678").
    void startWrite(const QString &what, const std::function<mbus::Request(int target)> &build, bool readAfter);
    void askRead(Step step, int target);
    void answered(const Answer &answer);
    void sequenceFinished(SecondarySequence::Result result);
    void onStop() override;
    // Logs why nothing is sent to a meter whose address is not confirmed.
    void sayUnconfirmed() const;
    // A row other than the selected one that holds the address; its ID, or
    // nothing when no other row has it.
    std::optional<QString> addressHolder(int address) const;

    SecondarySequence m_sequence;
    Step m_step = Step::Write;
    bool m_readAfter = false;
    bool m_fullReport = false;
    std::string m_readId; // the ID a reading must carry; empty: any
    QString m_meter;      // the meter as the user knew it when the command began (its ID or address; empty: broadcast)
    int m_newAddress = 0;
    QString m_what; // the write being sent ("Set ID 12345678"); empty for reads and the address sequence
};
