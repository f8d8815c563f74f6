// timing-bench: a scan of 0..250 (12 demo meters at 1..12, retries 0) and a
// wildcard search over 30 random meters, against mbus-sim at the pace of the
// line, with "Complete reply early" (--fast, 500 ms timeout: the longest
// demo answer takes 350 ms at 2400 baud) and with
// standard bus timing (margin 0), side by side. Wall times and what the
// standard's window predicts:
//   scan: 239 silent addresses x (request + 330 bit times + 50 ms)
//         + the 12 meters' request and answer on the wire
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

struct Run {
    double seconds = 0;
    QString summary;
};

Run timed(const QString &tty, int baud, const QStringList &arguments)
{
    QProcess cli;
    QElapsedTimer clock;
    clock.start();
    cli.start(QStringLiteral(TELVARO_BIN_DIR "/telvaro-cli"),
              arguments
                  + QStringList{"--port", tty, "--baud", QString::number(baud), "--retries", "0", "--timeout", "500",
                                "--format", "csv"});
    cli.waitForFinished(-1);
    Run run;
    run.seconds = double(clock.elapsed()) / 1000.0;
    const QStringList err = QString::fromLocal8Bit(cli.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
    run.summary = err.isEmpty() ? QString() : err.last();
    return run;
}

QProcess *simulator(const QString &tty, int baud, const QStringList &bus)
{
    auto *sim = new QProcess;
    sim->start(QStringLiteral(TELVARO_BIN_DIR "/mbus-sim"),
               bus + QStringList{"--pty", tty, "--wire-time", "--baud", QString::number(baud), "--quiet"});
    for (int i = 0; i < 100 && !QFile::exists(tty); ++i)
        QThread::msleep(50);
    return sim;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString tty = dir.filePath(QStringLiteral("tty"));
    const QStringList demo{"--bus", QStringLiteral(TELVARO_SOURCE_DIR "/tools/mbus-sim/examples/demo.bus")};
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("%-34s %12s %12s %14s\n", "", "fast (500 ms)", "standard", "window predicts");
    for (int baud : {2400, 9600}) {
        QProcess *sim = simulator(tty, baud, demo);
        const Run fast = timed(tty, baud, {"scan", "--from", "0", "--to", "250", "--fast"});
        const Run standard = timed(tty, baud,
                                   {"scan", "--from", "0", "--to", "250", "--standard-timing", "--timing-margin", "0"});
        sim->kill();
        sim->waitForFinished();
        delete sim;
        // A silent address: the 5-byte request, then the window.
        const double silent = (5.0 * 11 + 330) / baud + 0.050;
        // Each meter: request and answer on the wire (about 60 bytes for the demo meters).
        const double meters = 12 * (5.0 + 60.0) * 11 / baud;
        std::printf("scan 0..250 at %-5d baud           %10.1f s %10.1f s %12.1f s\n  fast: %s\n  standard: %s\n", baud,
                    fast.seconds, standard.seconds, 239 * silent + meters, qPrintable(fast.summary),
                    qPrintable(standard.summary));
    }
    QProcess *sim = simulator(tty, 2400, {"--random-meters", "30", "--seed", "7"});
    const Run fast = timed(tty, 2400, {"search", "--fast"});
    const Run standard = timed(tty, 2400, {"search", "--standard-timing", "--timing-margin", "0"});
    sim->kill();
    sim->waitForFinished();
    delete sim;
    std::printf("search, 30 meters at 2400 baud     %10.1f s %10.1f s\n  fast: %s\n  standard: %s\n", fast.seconds,
                standard.seconds, qPrintable(fast.summary), qPrintable(standard.summary));
    return 0;
}
