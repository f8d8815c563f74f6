// telvaro-collect: reads its M-Bus buses on a schedule, keeps every reading
// in the archive and publishes it over MQTT; a service without a window.
// Exit status: 0 stopped as asked (or, with --once, everything read and
// delivered), 1 a meter or a delivery missing after --once, or the spool
// cannot be used, 2 a mistake in the command line or the configuration.

#include "collect_config.h"
#include "collector.h"

#include "option_messages.h"
#include "quit_signals.h"

#include <QCoreApplication>

#include <mosquitto.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

namespace {

QString tr(const char *text, int n = -1)
{
    return QCoreApplication::translate("telvaro-collect", text, nullptr, n);
}

constexpr auto kDefaultConfig = "/etc/telvaro/collect.ini";

QString helpText()
{
    return tr(R"(Usage: telvaro-collect [--config FILE] [--once] [--check] [--quiet | --verbose]

Reads the M-Bus buses the configuration names on a schedule, each bus on its
own thread, keeps every reading in the readings archive and publishes it over
MQTT to telvaro/STATION/METER-ID/reading (the JSON of telvaro-cli, QoS 1).
Readings not yet published or stored wait in a spool file, also across
restarts. SIGTERM stops after the exchange under way; SIGHUP reads the
configuration again. One line per bus and cycle goes to standard error.

Options:
  --config FILE   the configuration (default /etc/telvaro/collect.ini)
  --once          one cycle per bus, deliver what was read, then end
  --check         check the configuration and end
  --quiet         only what goes wrong: no line for a cycle that read every
                  meter, nor for the first connection to the broker, a good
                  --check or a configuration read again
  --verbose       every frame sent and received, per bus
  -h, --help      this text
  -V, --version   the version

Configuration (INI; comments on lines of their own, starting with ';'):
  [Collector]  Station (the host name), Archive (a file, postgresql://...,
               or off), Spool (a file)
  [MQTT]       Host (none: no MQTT), Port (1883), User, PasswordFile, TLS (0),
               CAFile, ClientId, Discovery (0; Home Assistant discovery),
               DiscoveryPrefix (homeassistant)
  [Bus NAME]   one of Port=/dev/ttyUSB0 (with Speed, Parity),
               Converter=HOST:PORT or Gateway=HOST:PORT (with Network=a.b.c.d);
               Addresses=1,2,5-9 and/or Ids=12345678,..., or else every
               meter found by Find=scan|search|scan,search (ScanFrom, ScanTo),
               again every FindEvery (24h; 0 only at the start);
               Every (15m), Timeout (ms), Retries, StandardTiming, AllTelegrams

Exit status: 0 stopped as asked (--once: every meter read and delivered),
1 a meter or a delivery missing after --once, or the spool cannot be used,
2 a mistake in the command line or the configuration.
)");
}

void printLine(const QString &line)
{
    std::fputs((line + u'\n').toUtf8().constData(), stderr);
    std::fflush(stderr);
}

int refuse(const std::string &why)
{
    printLine(QStringLiteral("telvaro-collect: ") + QString::fromStdString(why));
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    std::signal(SIGXFSZ, SIG_IGN); // a full file size limit fails a write, and the spool says so
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("telvaro-collect"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TELVARO_VERSION));

    QString configPath = QString::fromLatin1(kDefaultConfig);
    collect::Collector::Options options;
    bool checkOnly = false;
    bool quiet = false;
    const QStringList args = app.arguments().mid(1);
    for (const QString &arg : args) {
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::fputs(helpText().toLocal8Bit().constData(), stdout);
            return 0;
        }
        if (arg == QLatin1String("--version") || arg == QLatin1String("-V")) {
            std::printf("telvaro-collect %s\n", TELVARO_VERSION);
            return 0;
        }
    }
    for (int i = 0; i < args.size(); ++i) {
        const QString name = args[i].section(u'=', 0, 0);
        const bool attached = args[i].contains(u'=');
        const QString value = args[i].section(u'=', 1);
        if (name == QLatin1String("--config")) {
            if (!attached && i + 1 >= args.size())
                return refuse(tool::needsValue("--config"));
            configPath = attached ? value : args[++i];
            if (configPath.isEmpty())
                return refuse(tool::badValue("--config", "must name a file", ""));
            continue;
        }
        bool *flag = name == QLatin1String("--once")      ? &options.once
                     : name == QLatin1String("--check")   ? &checkOnly
                     : name == QLatin1String("--quiet")   ? &quiet
                     : name == QLatin1String("--verbose") ? &options.verbose
                                                          : nullptr;
        if (flag && attached)
            return refuse(tool::takesNoValue(name.toStdString(), value.toStdString()));
        if (flag)
            *flag = true;
        else if (name.startsWith(u'-'))
            return refuse(tool::unknownOption(args[i].toStdString()));
        else
            return refuse("unexpected argument '" + tool::shown(args[i].toStdString()) + "' (see --help)");
    }
    if (quiet && options.verbose)
        return refuse(tr("choose one of --quiet and --verbose").toStdString());
    options.quiet = quiet;
    // systemd's StateDirectory= names the service's own folder.
    const QString stateDir = qEnvironmentVariable("STATE_DIRECTORY").section(u':', 0, 0);
    collect::LoadedConfig loaded = collect::loadConfig(configPath, stateDir);
    if (!loaded.error.isEmpty()) {
        printLine(loaded.error);
        return 2;
    }
    if (checkOnly) {
        if (!quiet)
            printLine(tr("%1: %n bus(es), good", int(loaded.config.buses.size())).arg(configPath));
        return 0;
    }

    mosquitto_lib_init();
    std::unique_ptr<collect::Collector> collector;
    int status = 0;
    const auto begin = [&](collect::CollectConfig config) {
        collector = std::make_unique<collect::Collector>(std::move(config), options);
        QString error;
        if (!collector->start(&error)) {
            printLine(error);
            status = 1;
            QMetaObject::invokeMethod(
                &app, [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
            return;
        }
        QObject::connect(
            collector.get(), &collect::Collector::finished, &app,
            [&] {
                status = collector->status();
                collector->shutDown();
                QCoreApplication::exit(status);
            },
            Qt::SingleShotConnection);
    };
    begin(std::move(loaded.config));

    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &app, [&](int signalNumber) {
        if (signalNumber != SIGHUP) {
            collector->shutDown();
            // Readings neither delivered nor kept make the stop an error.
            QCoreApplication::exit(collector->lost() > 0 ? 1 : options.once ? collector->status() : 0);
            return;
        }
        collect::LoadedConfig again = collect::loadConfig(configPath, stateDir);
        if (!again.error.isEmpty()) {
            printLine(tr("the configuration is kept as it was: %1").arg(again.error));
            return;
        }
        if (!quiet)
            printLine(tr("%1 read again: %n bus(es)", int(again.config.buses.size())).arg(configPath));
        if (collector->reload(again.config))
            return;
        collector->shutDown();
        collector.reset();
        begin(std::move(again.config));
    });
    const int ran = app.exec();
    collector.reset();
    mosquitto_lib_cleanup();
    return ran;
}
