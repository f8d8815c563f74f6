#pragma once
// Gives the meters of the device table consecutive primary addresses, row by
// row, each through a selection by its ID: whatever its present address, a
// row's meter gets the next address; a row without an ID uses up a number.
// Each new address is made sure of before the table shows it.

#include "operation.h"
#include "secondary_sequence.h"

class AutoAddressing : public Operation {
    Q_OBJECT
public:
    static constexpr int kFirstInvalidAddress = 250;
    // The pause between two meters.
    static constexpr int kPauseMs = 100;

    explicit AutoAddressing(BusSession &session, QObject *parent = nullptr);

    // Confirmation and clearing broadcast are the caller's.
    void start(int firstAddress);

signals:
    // The address about to be given (shown as the new address).
    void addressChosen(int address);

private:
    void onStop() override;
    void addressRow();
    void nextRow();
    void sequenceFinished(SecondarySequence::Result result);

    SecondarySequence m_sequence;
    QTimer m_pause{this};
    int m_row = 0;
    int m_next = 0;
    QString m_id;
};
