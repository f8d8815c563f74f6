// timing-bench: a scan of 0..250 (12 demo meters at 1..12, retries 0) and a
// wildcard search over 30 random meters, against mbus-sim at the pace of the
// line, with "Complete reply early" (--fast, 500 ms timeout: the longest
// demo answer takes 350 ms at 2400 baud) and with
// standard bus timing (margin 0), side by side. Wall times and what the
// standard's window predicts:
//   scan: 239 silent addresses x (request + 330 bit times + 50 ms)
//         + the 12 meters' request and answer on the wire
#include "cli_runs.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

CliRun timed(const QString &tty, int baud, const QStringList &arguments)
{
    return runCli(arguments
                  + QStringList{"--port", tty, "--baud", QString::number(baud), "--retries", "0", "--timeout", "500",
                                "--format", "csv"});
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
        auto sim = startSimulator(tty, baud, demo);
        const CliRun fast = timed(tty, baud, {"scan", "--from", "0", "--to", "250", "--fast", "--no-standard-timing"});
        const CliRun standard = timed(
            tty, baud, {"scan", "--from", "0", "--to", "250", "--standard-timing", "--timing-margin", "0"});
        stopSimulator(std::move(sim));
        // A silent address: the 5-byte request, then the window.
        const double silent = (5.0 * 11 + 330) / baud + 0.050;
        // Each meter: request and answer on the wire (about 60 bytes for the demo meters).
        const double meters = 12 * (5.0 + 60.0) * 11 / baud;
        std::printf("scan 0..250 at %-5d baud           %10.1f s %10.1f s %12.1f s\n  fast: %s\n  standard: %s\n", baud,
                    fast.seconds, standard.seconds, 239 * silent + meters, qPrintable(fast.summary),
                    qPrintable(standard.summary));
    }
    auto sim = startSimulator(tty, 2400, {"--random-meters", "30", "--seed", "7"});
    const CliRun fast = timed(tty, 2400, {"search", "--fast", "--no-standard-timing"});
    const CliRun standard = timed(tty, 2400, {"search", "--standard-timing", "--timing-margin", "0"});
    stopSimulator(std::move(sim));
    std::printf("search, 30 meters at 2400 baud     %10.1f s %10.1f s\n  fast: %s\n  standard: %s\n", fast.seconds,
                standard.seconds, qPrintable(fast.summary), qPrintable(standard.summary));
    return 0;
}
