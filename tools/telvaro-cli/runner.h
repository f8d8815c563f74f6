#pragma once
// One run of telvaro-cli: the program's bus stack put together without a
// window, one command carried out, the result printed. What was read is
// printed also when the link is lost or the run is interrupted.

#include "cli_options.h"
#include "cli_output.h"
#include "progress.h"

#include "archive/archive_worker_ptr.h"
#include "link/comm_log.h"
#include "ops/operation.h"

#include <QObject>

#include <functional>
#include <memory>

class ProgramBus;

namespace cli {

class Runner : public QObject, public CommLog {
    Q_OBJECT
public:
    Runner(const Options &options, const Settings &settings, Progress &progress);
    ~Runner() override;

    // Carries out the command; the exit status.
    int run();

    void addLine(const QString &line) override;

private:
    int runCommand();
    int scan();
    int read();
    int readAll();
    int search();
    int setAddress();
    int raw();

    // Waits until the operation is over. False when the run must end now:
    // the link was lost or the run was interrupted.
    bool finished(Operation &operation);
    // Starts the operation and waits for its end: -1 when it ended as it
    // should, else the exit status (no link, the link lost, interrupted).
    int runToEnd(Operation &operation, const std::function<void()> &start);
    int scanIntoTable();
    // The exit status of a run that ended early, after printing what it has.
    int endedEarly();
    // Waits (bounded) for the archive to write what it holds and says how
    // many readings it could not store: 3 instead of 0 when there were any.
    int finishArchive(int status);
    int linkError(const QString &reason);
    int failed(const QString &reason);
    // 1 when the last summary tells of meters that did not answer, readings
    // cut short or addresses not confirmed; 0 otherwise.
    int statusOf(const OperationSummary &summary) const;
    // Reads the meters at these addresses into the table.
    void fillTable(const QList<int> &addresses);
    QString idAt(int address) const;
    void print(const QByteArray &reply = {}, bool raw = false);

    Options m_options;
    Settings m_settings;
    Progress &m_progress;
    QString m_lastLine;
    bool m_linkLost = false;
    bool m_interrupted = false;
    QList<MeterReading> m_readings;
    decode::DeviceTable m_table;
    std::unique_ptr<ProgramBus> m_bus;
    archive::WorkerPtr m_archive; // with --store
};

} // namespace cli
