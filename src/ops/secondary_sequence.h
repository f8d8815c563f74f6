#pragma once
// A meter reached by its identification number: select it (CI 52), then
// either write its new primary address to 253 or read it at 253, decode the
// reply (its table row is found by ID) and end the selection with SND_NKE.
//
//   select 68 0B 0B 68 53 FD 52 78 56 34 12 FF FF FF FF .. 16  -> E5
//   write  68 06 06 68 73 FD 51 01 7A 05 .. 16                 -> E5
//   read   10 7B FD 78 16                                       -> RSP_UD
//   end    10 40 FD 3D 16                                       -> E5

#include "bus_session.h"

#include <optional>
#include <string>

class SecondarySequence : public QObject {
    Q_OBJECT
public:
    explicit SecondarySequence(BusSession &session, QObject *parent = nullptr);

    // Sends the selection and starts the secondary timer. With newAddress the
    // acknowledgement is followed by the address write, otherwise by a read.
    // messageId names the meter in "No response from device ". False when
    // there is no ID to select.
    bool start(const std::string &id, std::optional<int> newAddress, const QString &messageId);

    // The secondary timer fired.
    void tick();

private:
    void handBack();

    BusSession &m_session;
    int m_newAddress = 0;
    QString m_messageId;
    QTimer m_settle; // the pause before the automatic addressing goes on
};
