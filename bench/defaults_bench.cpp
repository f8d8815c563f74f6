// defaults-bench: telvaro-cli exactly as a user first runs it (no option but
// the port and the bus's baud rate: timeout 500 ms, retries 1, standard bus
// timing) against mbus-sim at the pace of the line, on the buses libmbus's
// master tools (mbus-serial-scan, mbus-serial-scan-secondary, at their
// defaults) were measured on. Each time is printed beside their figure on
// the same simulated bus and wire (libmbus is not packaged here: the
// figures are the reference), with the goal:
//   scan 0..250 of the 12 demo meters:  at most 0.75 x its time
//   wildcard search of random meters:   at most 0.7 x its time, at most its
//                                       selections, one read per meter found
//                                       plus one per collision
// The selections (68 0B 0B 68 53 FD 52 ...) and reads at 253 are counted in
// the simulator's own log of what it received.
//
// Run: build/bin/defaults-bench            (about 10 minutes)
//      build/bin/defaults-bench scan       (the scans only)

#include "cli_runs.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Case {
    const char *title;
    QStringList bus;
    int baud;
    QStringList command;
    double libmbusSeconds;
    int libmbusSelections; // 0: not measured
    int libmbusReads;
    double goal; // the most the time may be, as a share of libmbus's
};

void run(const Case &c, const QString &tty)
{
    const QString log = tty + QStringLiteral(".log");
    auto sim = startSimulator(tty, c.baud, c.bus, log);
    const CliRun cli = runCli(c.command + QStringList{"--port", tty, "--baud", QString::number(c.baud)});
    stopSimulator(std::move(sim));
    QFile logFile(log);
    logFile.open(QIODevice::ReadOnly);
    const QString received = QString::fromLocal8Bit(logFile.readAll());
    const int selections = int(received.count(QStringLiteral("RX 68 0B 0B 68 53 FD 52")));
    const int reads = int(received.count(QStringLiteral("RX 10 7B FD"))
                          + received.count(QStringLiteral("RX 10 5B FD")));
    if (c.libmbusSeconds > 0) {
        const double ratio = cli.seconds / c.libmbusSeconds;
        std::printf("%-46s %7.1f s  libmbus %6.1f s  %5.2fx (goal %.2fx) %s\n", c.title, cli.seconds, c.libmbusSeconds, ratio,
                    c.goal, ratio <= c.goal ? "met" : "MISSED");
    } else {
        std::printf("%-46s %7.1f s  (libmbus's time was not measured)\n", c.title, cli.seconds);
    }
    if (c.libmbusSelections > 0)
        std::printf("%-46s %4d selections + %3d reads  libmbus %d + %d  selections %s\n", "", selections, reads,
                    c.libmbusSelections, c.libmbusReads, selections <= c.libmbusSelections ? "met" : "MISSED");
    std::printf("%-46s %s\n", "", qPrintable(cli.summary));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const bool scansOnly = app.arguments().contains(QStringLiteral("scan"));
    QTemporaryDir dir;
    const QString tty = dir.filePath(QStringLiteral("tty"));
    const QStringList demo{"--bus", QStringLiteral(TELVARO_SOURCE_DIR "/tools/mbus-sim/examples/demo.bus")};
    const QStringList scan{"scan", "--from", "0", "--to", "250", "--format", "csv"};
    const QStringList search{"search", "--format", "csv"};
    const QList<Case> cases{
        {"scan 0..250, 12 meters, 2400 Bd", demo, 2400, scan, 80.3, 0, 0, 0.75},
        {"scan 0..250, 12 meters, 9600 Bd", demo, 9600, scan, 51.3, 0, 0, 0.75},
        {"search, 30 random meters (seed 7), 2400 Bd",
         {"--random-meters", "30", "--seed", "7"},
         2400,
         search,
         79.6,
         180,
         40,
         0.7},
        {"search, 100 random meters (seed 11), 2400 Bd",
         {"--random-meters", "100", "--seed", "11"},
         2400,
         search,
         0,
         813,
         147,
         0.7},
    };
    for (const Case &c : cases)
        if (!scansOnly || c.command.first() == QLatin1String("scan"))
            run(c, tty);
    return 0;
}
