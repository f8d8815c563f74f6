#pragma once
// The write, delete and zero-start runs: for every selected row of the
// display table, one command per phase, one response timeout apart. A phase
// done over all rows gives one idle tick before the next starts.
//
//   phase  1 SET ENTR=a   2 SET UNIT=a,u   3 SET CONM=a,m   4 SET COND=a,d
//          5 SET INIT=a,v 6 SET INI1=a,v   7 SET INI2=a,v   8 SET INI3/INI4=a,v
//          9 SET NUMB=a,n 10 SET TEXT=a,t  11 DEL ENTR=a    12 SET DELP=a,0

#include "display_table.h"
#include "ops/operation.h"

#include <QTimer>

#include <array>

namespace display {

class WriteRun : public Operation {
    Q_OBJECT
public:
    enum class Kind { Write, Delete, ZeroStart };
    enum Phase {
        Activate,
        Unit,
        Multiplier,
        Divider,
        Initial,
        InitialP1,
        InitialP2,
        SecondMain,
        UserNumber,
        FreeText,
        Delete,
        ZeroStart,
        PhaseCount
    };

    WriteRun(BusSession &session, Table &table, QObject *parent = nullptr);
    // The wait for each reply (benchmarks count its ticks).
    const QTimer &replyTimer() const { return m_timer; }

    Kind kind() const { return m_kind; }
    // "RUX-T": the second main value goes as SET INI3= instead of SET INI4=.
    std::function<bool()> ruxtModel = [] { return false; };

    void start(Kind kind);

private:
    void tick();
    // A command that went out without its reply is reported unconfirmed.
    void onStop() override;
    void skipUnselected();
    void sendRow();
    int firstPhase() const;

    Table &m_table;
    QTimer m_timer{this};
    Kind m_kind = Kind::Write;
    int m_row = 0;
    QString m_asked;        // the device of the command awaiting its reply
    QByteArray m_askedWhat; // that command
    int m_retry = 0;
    int m_progress = 0;
    int m_progressMax = 0;
    std::array<bool, PhaseCount> m_plan{};
};

} // namespace display
