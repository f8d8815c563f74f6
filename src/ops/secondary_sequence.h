#pragma once
// A meter reached by its identification number: select it (CI 52), then
// either write its new primary address to 253 or read it at 253, decode the
// reply (its table row is found by ID) and end the selection with SND_NKE.
// Before a new address is written, the bus must prove it free: it stays
// silent to every try of a reading there, on a bus that has not been losing
// replies; an answer from another meter, or anything unclear, leaves the
// meter as it is. A selection whose acknowledgement was lost may have
// reached the meter all the same: it is ended too.
// A meter looked for by its ID (discovery) is read twice when retries are
// allowed: a twin that lost its first answer collides with the second. A
// routine reading of a known meter is read once.
// A write whose acknowledgement is lost is not taken on trust: the meter is
// looked for at its new address, then at its old one, before the table
// changes; found at neither, its row is marked.
//
//   free?  10 7B 05 80 16                                       -> nothing
//   select 68 0B 0B 68 53 FD 52 78 56 34 12 FF FF FF FF .. 16  -> E5
//   write  68 06 06 68 73 FD 51 01 7A 05 .. 16                 -> E5
//   read   10 7B FD 78 16                                       -> RSP_UD
//   end    10 40 FD 3D 16                                       -> E5

#include "exchange.h"

#include <optional>
#include <string>

class SecondarySequence : public QObject {
    Q_OBJECT
public:
    enum class Result {
        NotSelected,    // the selection was not acknowledged
        Read,           // read at 253 (after a write: found at its new address)
        NotRead,        // selected, but no usable reading came
        Collided,       // selected, and the reading collided: several meters have the ID
        KeptAddress,    // after a write: it still answers at its old address
        Unverified,     // after a write: it answers at neither address
        AddressTaken,   // nothing written: another meter answers at the new address (holder())
        AddressUnclear, // nothing written: the new address did not stay clearly silent
    };

    explicit SecondarySequence(BusSession &session, QObject *parent = nullptr);

    // Selects the meter. With newAddress the acknowledgement is followed by
    // the address write, otherwise by a read. oldAddress is where the meter
    // answered before (-1: unknown). messageId names the meter in "No
    // response from device ". proveFree false writes without asking the new
    // address first (the user said so); lookForTwins reads a meter twice
    // (see above).
    // It is cancelled with the operation that owns it (its parent).
    void start(const std::string &id, std::optional<int> newAddress, int oldAddress, const QString &messageId,
               bool proveFree = true, bool lookForTwins = false);
    // The operation stops before the sequence is done: a selection that may
    // still be open is ended (SND_NKE to 253, not awaited), and when the new
    // address already went out, the meter's rows show it unconfirmed ("40?").
    // True in that case.
    bool abandon();
    std::optional<int> newAddress() const { return m_newAddress; }
    // Why nothing was written (AddressTaken, AddressUnclear), for the
    // summary: "address 3 did not answer clearly: not changed".
    QString refusal() const;

signals:
    void finished(SecondarySequence::Result result);

private:
    enum class Step { ProveFree, Select, Write, ReadSelected, ConfirmRead, Deselect, LookNew, LookOld, EndSelection };

    void answered(const Answer &answer);
    void select();
    void newAddressProved(const Answer &answer);
    void ask(Step step, const mbus::Request &request, Expect expect, int address = -1);
    void lookAt(Step step, int address);
    void endSelection(Result result);
    void finish(Result result);
    void markUnverified();
    void markRowsUnconfirmed();

    BusSession &m_session;
    Exchange m_exchange;
    Step m_step = Step::Select;
    std::string m_id;
    std::optional<int> m_newAddress;
    int m_oldAddress = -1;
    QString m_messageId;
    QString m_holder;
    Result m_result = Result::NotRead;
    bool m_collided = false; // a try of the reading at 253 collided
    Reading m_firstReading;  // found by ID: held until a second reading confirms it
    bool m_lookForTwins = false;
    bool m_writeSent = false;     // the new address went out
    bool m_selectionOpen = false; // the meter may still be selected
    bool m_done = true;
};
