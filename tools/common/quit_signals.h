#pragma once
// SIGINT, SIGTERM and SIGHUP turned into a Qt signal, so a tool leaves its
// event loop and cleans up (a link, the results so far) instead of dying.

#include <QObject>

class QSocketNotifier;

class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

signals:
    void quitRequested(int signalNumber);

private:
    void readable();

    QSocketNotifier *m_notifier = nullptr;
};
