// A bus for the operation benchmarks: mbus-sim on a pseudo-terminal, the
// real serial link and dispatch in front of it, and a session at the
// shortest response timeout.

#pragma once

#include "link/link_dispatch.h"
#include "link/serial_port.h"
#include "ops/bus_session.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

constexpr int kShortestTimeoutMs = 300;

class QuietLog : public CommLog {
public:
    void addLine(const QString &line) override { lines << line; }
    QStringList lines;
};

struct SimBus {
    explicit SimBus(const QStringList &simArguments)
    {
        link = dir.filePath(QStringLiteral("tty"));
        sim.start(QStringLiteral(TELVARO_BIN_DIR "/mbus-sim"),
                  simArguments + QStringList{QStringLiteral("--pty"), link, QStringLiteral("--quiet")});
        for (int i = 0; i < 1000 && !QFileInfo::exists(link); ++i)
            QThread::msleep(10);
        LinkDispatch::Environment env;
        env.settings = [this] {
            LinkSettings s;
            s.portName = link;
            s.speed = QStringLiteral("2400");
            return s;
        };
        dispatch = std::make_unique<LinkDispatch>(comm, log, env);
        for (QTimer *t : {&respond, &secondary, &readAll, &autoAddress}) {
            t->setTimerType(Qt::PreciseTimer);
            t->setInterval(kShortestTimeoutMs);
        }
        session = std::make_unique<BusSession>(*dispatch, log, table,
                                               BusTimers{respond, secondary, readAll, autoAddress});
    }
    ~SimBus()
    {
        sim.terminate();
        sim.waitForFinished(3000);
    }

    // Runs the event loop until the operation reports that it stopped running.
    template <typename Operation>
    void runUntilStopped(Operation &operation)
    {
        QEventLoop loop;
        QObject::connect(&operation, &Operation::runningChanged, &loop, [&loop](bool running) {
            if (!running)
                loop.quit();
        });
        if (operation.running())
            loop.exec();
    }

    QTemporaryDir dir;
    QString link;
    QProcess sim;
    SerialPort comm;
    QuietLog log;
    std::unique_ptr<LinkDispatch> dispatch;
    decode::DeviceTable table;
    QTimer respond, secondary, readAll, autoAddress;
    std::unique_ptr<BusSession> session;
};
