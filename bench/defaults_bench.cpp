// defaults-bench: telvaro-cli exactly as a user first runs it (no option but
// the port and the bus's baud rate: timeout 500 ms, retries 1, standard bus
// timing) against mbus-sim at the pace of the line, on the buses libmbus's
// master tools (mbus-serial-scan, mbus-serial-scan-secondary, at their
// defaults) were measured on. Each time is printed beside their figure on
// the same simulated bus and wire (libmbus is not packaged here: the
// figures are the reference), with the goal:
//   scan 0..250 of the 12 demo meters:  at most 0.75 x its time
//   wildcard search of 30 random meters: at most 0.5 x its time, of 100: at
//                                       most 0.6 x; at most its selections
// The same runs again as a real adapter and a loaded machine make them: the
// bytes of each reply passed on in 16 ms bursts with pauses of up to 40 ms
// inside (--usb-latency 16 --jitter 40), and both cores kept busy by two
// busy loops beside the run. Every run must print each meter exactly once.
// The selections (68 0B 0B 68 53 FD 52 ...) and reads at 253 are counted in
// the simulator's own log of what it received.
//
// Run: build/bin/defaults-bench            (about 25 minutes)
//      build/bin/defaults-bench scan       (the scans only)

#include "cli_runs.h"

#include <QCoreApplication>
#include <QSet>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Case {
    const char *title;
    QStringList bus;
    int meters;
    QStringList command;
    double libmbusSeconds;
    int libmbusSelections; // 0: not measured
    double goal;           // the most the time may be, as a share of libmbus's
};

// A USB adapter's latency timer and pauses inside the replies.
const QStringList kUsbAdapter{"--usb-latency", "16", "--jitter", "40"};

// Two processes that keep both cores busy while they live.
struct BusyMachine {
    BusyMachine()
    {
        for (QProcess &loop : loops)
            loop.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
    }
    ~BusyMachine()
    {
        for (QProcess &loop : loops) {
            loop.kill();
            loop.waitForFinished();
        }
    }
    QProcess loops[2];
};

// Meters in the CSV rows printed, and whether each is there once.
QString rowsCheck(const QByteArray &csv, int meters)
{
    QList<QByteArray> lines = csv.split('\n');
    lines.removeAll(QByteArray());
    QSet<QByteArray> ids;
    for (qsizetype i = 1; i < lines.size(); ++i)
        ids << lines[i].split(';').value(1) + lines[i].split(';').value(5);
    const int rows = int(lines.size()) - 1;
    const bool met = rows == meters && ids.size() == meters;
    return QStringLiteral("%1 rows, %2 meters on the bus: %3").arg(rows).arg(meters).arg(met ? "met" : "MISSED");
}

void run(const Case &c, const QString &tty, int baud, bool busy)
{
    const QString log = tty + QStringLiteral(".log");
    auto sim = startSimulator(tty, baud, c.bus, log);
    std::unique_ptr<BusyMachine> machine(busy ? new BusyMachine : nullptr);
    const CliRun cli = runCli(c.command + QStringList{"--port", tty, "--baud", QString::number(baud)});
    machine.reset();
    stopSimulator(std::move(sim));
    QFile logFile(log);
    logFile.open(QIODevice::ReadOnly);
    const QString received = QString::fromLocal8Bit(logFile.readAll());
    const int selections = int(received.count(QStringLiteral("RX 68 0B 0B 68 53 FD 52")));
    const int reads = int(received.count(QStringLiteral("RX 10 7B FD"))
                          + received.count(QStringLiteral("RX 10 5B FD")));
    const QString title = QString::fromLatin1(c.title) + (busy ? QStringLiteral(", busy machine") : QString());
    const double ratio = cli.seconds / c.libmbusSeconds;
    std::printf("%-62s %7.1f s  libmbus %6.1f s  %5.2fx (goal %.2fx) %s\n", qPrintable(title), cli.seconds,
                c.libmbusSeconds, ratio, c.goal, ratio <= c.goal ? "met" : "MISSED");
    if (c.libmbusSelections > 0)
        std::printf("%-62s %4d selections + %3d reads  libmbus %d selections: %s\n", "", selections, reads,
                    c.libmbusSelections, selections <= c.libmbusSelections ? "met" : "MISSED");
    std::printf("%-62s %s\n%-62s %s\n", "", qPrintable(rowsCheck(cli.out, c.meters)), "", qPrintable(cli.summary));
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
    const QStringList random30{"--random-meters", "30", "--seed", "7"};
    const QStringList random100{"--random-meters", "100", "--seed", "11"};
    struct Run {
        Case c;
        int baud;
        bool busy;
    };
    const QList<Run> runs{
        {{"scan 0..250, 12 meters, 2400 Bd", demo, 12, scan, 80.3, 0, 0.75}, 2400, false},
        {{"scan 0..250, 12 meters, 9600 Bd", demo, 12, scan, 51.3, 0, 0.75}, 9600, false},
        {{"scan 0..250, 12 meters, 2400 Bd, USB adapter", demo + kUsbAdapter, 12, scan, 80.3, 0, 0.75}, 2400, true},
        {{"search, 30 random meters (seed 7), 2400 Bd", random30, 30, search, 79.6, 180, 0.5}, 2400, false},
        {{"search, 30 random meters, 2400 Bd, USB adapter", random30 + kUsbAdapter, 30, search, 79.6, 180, 0.5},
         2400,
         true},
        {{"search, 100 random meters (seed 11), 2400 Bd", random100, 100, search, 343, 813, 0.6}, 2400, false},
        {{"search, 100 random meters, 2400 Bd, USB adapter", random100 + kUsbAdapter, 100, search, 343, 813, 0.6},
         2400,
         true},
    };
    for (const Run &r : runs)
        if (!scansOnly || r.c.command.first() == QLatin1String("scan"))
            run(r.c, tty, r.baud, r.busy);
    return 0;
}
