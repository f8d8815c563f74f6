// telvaro-cli against mbus-sim at the pace of the line, for the benchmarks
// that time the program as a user runs it.

#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QThread>

#include <memory>

struct CliRun {
    double seconds = 0;
    QString summary; // the last line on standard error
    QByteArray out;  // standard output
};

inline CliRun runCli(const QStringList &arguments)
{
    QProcess cli;
    QElapsedTimer clock;
    clock.start();
    cli.start(QStringLiteral(TELVARO_BIN_DIR "/telvaro-cli"), arguments);
    cli.waitForFinished(-1);
    CliRun run;
    run.seconds = double(clock.elapsed()) / 1000.0;
    const QStringList err = QString::fromLocal8Bit(cli.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
    run.summary = err.isEmpty() ? QString() : err.last();
    run.out = cli.readAllStandardOutput();
    return run;
}

// mbus-sim on a pseudo-terminal at `tty`, every reply at line pace. Its log
// goes to `logFile` (a pipe nobody reads while telvaro-cli runs would fill
// and stop the simulator); empty: no log.
inline std::unique_ptr<QProcess> startSimulator(const QString &tty, int baud, const QStringList &bus,
                                                const QString &logFile = {})
{
    auto sim = std::make_unique<QProcess>();
    QStringList arguments = bus + QStringList{"--pty", tty, "--wire-time", "--baud", QString::number(baud)};
    if (logFile.isEmpty())
        arguments << QStringLiteral("--quiet");
    else
        sim->setStandardOutputFile(logFile);
    sim->start(QStringLiteral(TELVARO_BIN_DIR "/mbus-sim"), arguments);
    for (int i = 0; i < 100 && !QFile::exists(tty); ++i)
        QThread::msleep(50);
    return sim;
}

inline void stopSimulator(std::unique_ptr<QProcess> sim)
{
    sim->terminate();
    sim->waitForFinished();
}
