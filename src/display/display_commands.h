#pragma once
// The display's single settings and its information query: date then time,
// refresh time, sort table and sort order, update readings, and "Get info"
// (GET MAIN, GET SERV, GET ADDR into the info box). Each takes the bus for
// its exchanges and logs the display's reply one response timeout later.

#include "ops/bus_session.h"

#include <QTimer>

#include <QDateTime>
#include <deque>

namespace display {

class DisplayCommands : public QObject {
    Q_OBJECT
public:
    explicit DisplayCommands(BusSession &session, QObject *parent = nullptr);

    bool running() const { return m_running; }

    void getInfo();
    void setDateTime(const QDateTime &now);
    void setRefresh(const QString &seconds);
    void createSortTable();
    // 0 by address, 1 by user number, anything else: none chosen.
    void sort(int type);
    void updateReadings();
    // Ends a running command sequence at once.
    void stop();

signals:
    void runningChanged(bool running);
    void progressChanged(int maximum, int value, bool visible);
    void infoCleared();
    void infoText(const QString &text);

private:
    struct Exchange {
        QByteArray command;
        QString logLine;
        bool logBeforeSend = false;
        bool collect = true; // false: the reply is not wanted, only the pause after the command
    };
    bool begin();
    void run(std::deque<Exchange> exchanges);
    void sendNext();
    void onReply();
    void end();

    BusSession &m_session;
    QTimer m_infoTimer;
    QTimer m_replyTimer;
    std::deque<Exchange> m_pending;
    bool m_running = false;
    bool m_info = false;
    bool m_collect = true;
    int m_total = 0; // exchanges of the sequence, for the progress bar
};

} // namespace display
