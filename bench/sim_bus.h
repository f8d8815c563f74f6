// A bus for the operation benchmarks: mbus-sim on a pseudo-terminal and the
// program's own bus stack in front of it, at the shortest response timeout.

#pragma once

#include "ops/bus_stack.h"

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
        settings.com.name = link;
        settings.com.speed = QStringLiteral("2400");
        options.responseTimeoutMs = kShortestTimeoutMs;
        bus = std::make_unique<ProgramBus>(
            log, table, [this]() -> const Settings & { return settings; }, [this] { return options; });
    }
    ~SimBus()
    {
        bus.reset();
        sim.terminate();
        sim.waitForFinished(3000);
    }

    BusSession &session() { return bus->stack.session; }
    BusStack &stack() { return bus->stack; }

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
    QuietLog log;
    decode::DeviceTable table;
    Settings settings;
    BusOptions options; // what the operations read, set by each benchmark
    std::unique_ptr<ProgramBus> bus;
};
