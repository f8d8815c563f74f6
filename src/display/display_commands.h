#pragma once
// The display's single settings and its information query: date then time,
// refresh time, sort table and sort order, update readings, and "Get info"
// (GET MAIN, GET SERV, GET ADDR into the info box). Each takes the bus for
// its exchanges and logs the display's reply one response timeout later.

#include "ops/operation.h"

#include <QTimer>

#include <QDateTime>
#include <deque>

namespace display {

class DisplayCommands : public Operation {
    Q_OBJECT
public:
    explicit DisplayCommands(BusSession &session, QObject *parent = nullptr);

    void getInfo();
    void setDateTime(const QDateTime &now);
    void setRefresh(const QString &seconds);
    void createSortTable();
    // 0 by address, 1 by user number, anything else: none chosen.
    void sort(int type);
    void updateReadings();

signals:
    void infoCleared();
    void infoText(const QString &text);

private:
    struct Step {
        QByteArray command;
        QString logLine;
        bool logBeforeSend = false;
        bool collect = true; // false: the reply is not wanted, only the pause after the command
    };
    void run(const QString &title, std::deque<Step> exchanges);
    void sendNext();
    void onReply();
    // A setting that went out without its reply is reported unconfirmed.
    void onStop() override;

    QTimer m_infoTimer{this};
    QTimer m_replyTimer{this};
    std::deque<Step> m_pending;
    bool m_info = false;
    bool m_collect = true;
    QByteArray m_sent; // the command awaiting its reply
    int m_total = 0;   // exchanges of the sequence, for the progress bar
};

} // namespace display
