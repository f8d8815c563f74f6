#pragma once
// Reading the display back: its address list, then per address the entry,
// the user texts and the three secondary totals into the device and history
// tables; and the monthly historical values, for all months or one. One
// request per response timeout, on a timer: the window stays usable and no
// second operation can start meanwhile.

#include "display_table.h"
#include "ops/operation.h"

#include <QTimer>

#include <deque>
#include <functional>

namespace display {

class ReadRun : public Operation {
    Q_OBJECT
public:
    ReadRun(BusSession &session, Table &devices, Table &history, QObject *parent = nullptr);

    // "Read data from TEV-K40"; thenHistory continues with every month.
    void readDisplay(bool thenHistory = false);
    // "Get historical values" for "ALL" or one month ("Jan".."Dec").
    void readHistory(const QString &month);

private:
    struct Step {
        QByteArray command;
        QString logAfterSend;
        bool logEmpty = false;
        std::function<void(const QByteArray &reply)> done;
        QString device; // the device the command asks about; a reply naming another is not used
    };
    bool begin(const QString &title);
    void sendNext();
    void onTick();
    void addressesArrived(const QByteArray &reply);
    void queueEntryRequests(const QString &address);
    void rowsDone();
    void queueHistory(const QString &month);
    void queueOneMonth(const QString &address, int wantedColumn);
    void writeHistory(const QString &address, const QByteArray &reply);
    void advanceProgress();
    int requestsLeft() const;

    Table &m_devices;
    Table &m_history;
    QTimer m_timer{this};
    std::deque<Step> m_steps;
    Step m_current;
    bool m_thenHistory = false;
    bool m_historyPart = false;
    int m_progress = 0;
    int m_sent = 0; // requests sent by this run
    int m_progressMax = 0;
};

} // namespace display
