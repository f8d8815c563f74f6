// collect-bench: telvaro-collect as it runs.
//  1. One cycle (--once) over 4 buses of 60 simulated meters each, every
//     reply at line pace (2400 baud), against the same cycle over one of
//     those buses alone: the buses are read in parallel, so the four take
//     about as long as the slowest (goal: at most 1.1 times).
//  2. The publish path: readings handed to the collector as a bus hands them
//     over, through the spool to Debian's mosquitto on loopback at QoS 1,
//     until the broker has acknowledged every one (goal: 5,000 a second).
//  3. --check of a configuration of 20,000 buses, as SIGHUP reads it too
//     (goal: well under a second).
#include "cli_runs.h"
#include "collect_rig.h"
#include "collector.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <cstdio>

namespace {

constexpr int kBuses = 4;
constexpr int kMeters = 60;
constexpr int kPublished = 20000;

// 60 water meters at addresses 1..60, each with its own ID and volume.
QString writeBusFile(const QString &path, int bus)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    for (int m = 1; m <= kMeters; ++m)
        file.write(QStringLiteral("[meter]\naddress = %1\nid = %2\nmanufacturer = ZRI\nmedium = water\n"
                                  "record = 0C 13 %3 00 00 00\n\n")
                       .arg(m)
                       .arg(10000000 + bus * 1000 + m)
                       .arg(m % 100, 2, 10, QLatin1Char('0'))
                       .toUtf8());
    return path;
}

// Seconds a --once run of the first `buses` buses takes.
double cycleSeconds(const QTemporaryDir &dir, int buses)
{
    QFile config(dir.filePath(QStringLiteral("collect-%1.ini").arg(buses)));
    config.open(QIODevice::WriteOnly);
    config.write(
        QStringLiteral("[Collector]\nSpool=spool-%1.sqlite\nArchive=readings-%1.sqlite\n").arg(buses).toUtf8());
    for (int b = 0; b < buses; ++b)
        config.write(QStringLiteral("[Bus b%1]\nPort=%2\nAddresses=1-%3\nRetries=0\n")
                         .arg(b)
                         .arg(dir.filePath(QStringLiteral("tty%1").arg(b)))
                         .arg(kMeters)
                         .toUtf8());
    config.close();
    QProcess collect;
    QElapsedTimer clock;
    clock.start();
    collect.start(QStringLiteral(TELVARO_BIN_DIR "/telvaro-collect"), {"--once", "--config", config.fileName()});
    collect.waitForFinished(-1);
    const double seconds = double(clock.elapsed()) / 1000.0;
    const QString log = QString::fromUtf8(collect.readAllStandardError()).trimmed();
    std::printf("%s\n", qPrintable(log));
    return collect.exitCode() == 0 ? seconds : -1;
}

double publishRate(const QTemporaryDir &dir)
{
    Broker broker(dir.path());
    if (!broker.start())
        return -1;
    collect::CollectConfig config;
    config.station = QStringLiteral("bench");
    config.archiveOn = false;
    config.spoolFile = dir.filePath(QStringLiteral("publish-spool.sqlite"));
    config.mqtt.enabled = true;
    config.mqtt.host = QStringLiteral("127.0.0.1");
    config.mqtt.port = broker.port();
    config.mqtt.clientId = QStringLiteral("collect-bench");
    collect::Collector collector(config, {});
    QString error;
    if (!collector.start(&error))
        return -1;
    waitFor([] { return false; }, 500); // connected
    // The demo bus's meter at address 1, as a bus reads it.
    const QByteArray telegram = QByteArray::fromHex("6835356808017278563412496A0107200000000C78214365870C1327530400"
                                                    "0B3B4501004C1380190400426C1F3C046D1E0A2E3502FD1700007E16");
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kPublished; ++i) {
        collector.take({{telegram}, QDateTime::currentDateTimeUtc(), true, {}, {}, {}});
        if (i % 500 == 499)
            QCoreApplication::processEvents();
    }
    if (!waitFor([&] { return collector.allDelivered(); }, 120000))
        return -1;
    return kPublished / (double(clock.elapsed()) / 1000.0);
}

// Seconds telvaro-collect --check takes over a file of `buses` converter buses.
double checkSeconds(const QTemporaryDir &dir, int buses)
{
    QFile config(dir.filePath(QStringLiteral("check-%1.ini").arg(buses)));
    config.open(QIODevice::WriteOnly);
    config.write("[Collector]\nStation=bench\n[MQTT]\nHost=localhost\n");
    for (int b = 0; b < buses; ++b)
        config.write(QStringLiteral("[Bus b%1]\nConverter=10.%2.%3.1:10001\nAddresses=1-10\nEvery=15m\nTimeout=500\n")
                         .arg(b)
                         .arg(b / 250)
                         .arg(b % 250)
                         .toUtf8());
    config.close();
    QProcess check;
    QElapsedTimer clock;
    clock.start();
    check.start(QStringLiteral(TELVARO_BIN_DIR "/telvaro-collect"), {"--check", "--config", config.fileName()});
    check.waitForFinished(-1);
    return check.exitCode() == 0 ? double(clock.elapsed()) / 1000.0 : -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    std::vector<std::unique_ptr<QProcess>> sims;
    for (int b = 0; b < kBuses; ++b)
        sims.push_back(startSimulator(dir.filePath(QStringLiteral("tty%1").arg(b)), 2400,
                                      {"--bus", writeBusFile(dir.filePath(QStringLiteral("b%1.bus").arg(b)), b)}));
    const double one = cycleSeconds(dir, 1);
    const double four = cycleSeconds(dir, kBuses);
    for (auto &sim : sims)
        stopSimulator(std::move(sim));
    std::printf("cycle, 1 bus x %d meters: %.2f s\n", kMeters, one);
    std::printf("cycle, %d buses x %d meters in parallel: %.2f s = %.2f x one bus (goal <= 1.10)\n", kBuses, kMeters,
                four, four / one);
    const double rate = publishRate(dir);
    if (rate < 0)
        std::printf("publish: mosquitto cannot be started here\n");
    else
        std::printf("publish: %d readings to mosquitto at QoS 1, through the spool: %.0f readings/s (goal >= 5000)\n",
                    kPublished, rate);
    const double check = checkSeconds(dir, 20000);
    std::printf("--check, 20000 buses: %.2f s (goal < 1)\n", check);
    return one > 0 && four > 0 && check > 0 ? 0 : 1;
}
