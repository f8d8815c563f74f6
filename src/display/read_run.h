#pragma once
// Reading the display back: its address list, then per address the entry,
// the user texts and the three secondary totals into the device and history
// tables; and the monthly historical values, for all months or one. One
// request per response timeout, on a timer: the window stays usable and no
// second operation can start meanwhile.

#include "display_table.h"
#include "ops/bus_session.h"

#include <QTimer>

#include <deque>
#include <functional>

namespace display {

class ReadRun : public QObject {
    Q_OBJECT
public:
    ReadRun(BusSession &session, Table &devices, Table &history, QObject *parent = nullptr);

    bool running() const { return m_running; }

    // "Read data from TEV-K40"; thenHistory continues with every month.
    void readDisplay(bool thenHistory = false);
    // "Get historical values" for "ALL" or one month ("Jan".."Dec").
    void readHistory(const QString &month);
    void stop();

signals:
    void runningChanged(bool running);
    void progressChanged(int maximum, int value, bool visible);

private:
    struct Step {
        QByteArray command;
        QString logAfterSend;
        bool logEmpty = false;
        std::function<void(const QByteArray &reply)> done;
        QString device; // the device the command asks about; a reply naming another is not used
    };
    bool begin();
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
    void end();

    BusSession &m_session;
    Table &m_devices;
    Table &m_history;
    QTimer m_timer;
    std::deque<Step> m_steps;
    Step m_current;
    bool m_running = false;
    bool m_thenHistory = false;
    bool m_historyPart = false;
    int m_progress = 0;
    int m_sent = 0; // requests sent by this run
    int m_progressMax = 0;
};

} // namespace display
