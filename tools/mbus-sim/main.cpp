// mbus-sim: a bus of simulated M-Bus meters behind a pseudo-terminal, a
// serial-to-TCP port or a gateway. See --help and README.md.

#include "bus.h"
#include "busfile.h"
#include "display.h"
#include "frames.h"
#include "gatewayclient.h"
#include "gatewaysession.h"
#include "options.h"
#include "output.h"
#include "ptylink.h"
#include "quit_signals.h"
#include "randombus.h"
#include "session.h"
#include "tcplink.h"

#include <QCoreApplication>
#include <QDateTime>

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

namespace {
void fail(const std::string &text)
{
    std::fprintf(stderr, "mbus-sim: %s\n", text.c_str());
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::signal(SIGPIPE, SIG_IGN); // a closed stdout pipe or peer must not end us

    OptionsResult parsed = parseOptions(app.arguments());
    if (parsed.version) {
        std::printf("mbus-sim %s\n", TELVARO_VERSION);
        return 0;
    }
    if (parsed.help) {
        std::fputs(helpText().c_str(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        fail(parsed.error);
        return 2;
    }
    Options &options = parsed.options;
    if (!options.seedGiven)
        options.session.faults.seed = static_cast<std::uint32_t>(QDateTime::currentMSecsSinceEpoch());

    std::vector<mbussim::MeterConfig> meters;
    std::optional<mbussim::DisplayConfig> displayConfig;
    if (!options.busFile.empty()) {
        mbussim::BusFileResult file = mbussim::readBusFile(options.busFile);
        if (!file.ok()) {
            fail(options.busFile + (file.errorLine > 0 ? ":" + std::to_string(file.errorLine) : std::string()) + ": "
                 + file.error);
            return 2;
        }
        meters = std::move(file.meters);
        displayConfig = std::move(file.display);
    }
    if (!options.displayFaults.empty() && !displayConfig) {
        fail("--display-fault needs a [display] block in the bus file (see --help)");
        return 2;
    }
    for (mbussim::MeterConfig &m : mbussim::randomMeters(options.randomMeters, options.session.faults.seed))
        meters.push_back(std::move(m));

    Output out(options.quiet);
    mbussim::Bus bus(std::move(meters));
    std::unique_ptr<mbussim::Display> display;
    if (displayConfig)
        display = std::make_unique<mbussim::Display>(std::move(*displayConfig), options.session.faults.seed,
                                                     options.displayFaults);
    QuitSignals quit;
    QObject::connect(&quit, &QuitSignals::quitRequested, &app, [&app](int) { app.quit(); });

    std::unique_ptr<Session> session;
    std::unique_ptr<GatewaySession> gateway;
    std::unique_ptr<PtyLink> pty;
    std::unique_ptr<TcpLink> tcp;
    std::unique_ptr<GatewayClient> client;
    std::string error;
    const std::string net = mbussim::gateway::networkText(options.net);
    switch (options.mode) {
    case Mode::Pty:
        session = std::make_unique<Session>(bus, out, options.session);
        pty = std::make_unique<PtyLink>(*session, out);
        if (!pty->open(options.ptyLink, error)) {
            fail(error);
            return 1;
        }
        out.always("PTY " + pty->device() + " (link " + options.ptyLink + ")");
        break;
    case Mode::Tcp:
    case Mode::GatewayServer: {
        Responder *responder = nullptr;
        if (options.mode == Mode::Tcp) {
            session = std::make_unique<Session>(bus, out, options.session);
            responder = session.get();
        } else {
            gateway = std::make_unique<GatewaySession>(bus, out, options.net, options.session);
            responder = gateway.get();
        }
        tcp = std::make_unique<TcpLink>(*responder, out);
        if (!tcp->listen(static_cast<quint16>(options.tcpPort), error)) {
            fail(error);
            return 1;
        }
        const std::string where = "127.0.0.1:" + std::to_string(tcp->port());
        out.always(options.mode == Mode::Tcp ? "TCP " + where : "GATEWAY net " + net + " at " + where);
        break;
    }
    case Mode::GatewayConnect:
        gateway = std::make_unique<GatewaySession>(bus, out, options.net, options.session);
        client = std::make_unique<GatewayClient>(*gateway, out, QString::fromStdString(options.connectHost),
                                                 static_cast<quint16>(options.connectPort), options.reconnectMs);
        QObject::connect(client.get(), &GatewayClient::finished, &app, [&app](int status, const QString &why) {
            if (status != 0)
                fail("cannot connect: " + why.toStdString());
            app.exit(status);
        });
        out.always("GATEWAY net " + net + " to " + options.connectHost + ":" + std::to_string(options.connectPort));
        break;
    }

    if (session)
        session->setDisplay(display.get());
    if (gateway) // the master's listening socket gets display commands unwrapped
        gateway->setDisplay(display.get(), options.mode == Mode::GatewayConnect);

    for (const mbussim::Meter &m : bus.meters()) {
        const mbussim::MeterConfig &c = m.state();
        std::string line = m.label() + ", " + mbussim::manufacturerText(c.manufacturer) + ", medium "
                           + mbussim::hexByte(c.medium) + (c.raw.empty() ? "" : ", fixed reply");
        if (c.dropFirst > 0)
            line += ", loses its first " + std::to_string(c.dropFirst) + " answer(s)";
        if (c.answerEvery > 1)
            line += ", answers one request in " + std::to_string(c.answerEvery);
        out.note(line);
    }
    if (display)
        out.note(display->label());
    const auto &f = options.session.faults;
    if (options.randomMeters > 0)
        out.note("random meters: " + std::to_string(options.randomMeters) + ", seed " + std::to_string(f.seed));
    if (f.dropPercent > 0 || f.corruptPercent > 0 || f.hangupPercent > 0 || !f.hangupAt.empty() || f.split
        || f.jitterMs > 0 || !f.telegram.empty() || !options.displayFaults.empty())
        out.note("faults on, seed " + std::to_string(f.seed));
    if (client)
        client->start(); // after the start-up lines: its notes follow them

    const int status = app.exec();
    return status; // the links clean up (the pty's symbolic link) as they go
}
