#pragma once
// SIGINT, SIGTERM and SIGHUP turned into a Qt signal, so the program leaves its
// event loop and cleans up (the pseudo-terminal's link) instead of dying.

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
