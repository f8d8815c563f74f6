#include "bus_stack.h"

BusOptions busOptionsFrom(const Settings &settings)
{
    BusOptions o;
    o.retries = settings.retry;
    o.use5B = settings.use5B;
    o.globalInit = settings.globalInit;
    o.lsbSearch = settings.lsbSearch;
    o.responseTimeoutMs = settings.timeout;
    o.fastReads = settings.fastReads;
    o.allTelegrams = settings.allTelegrams;
    o.standardTiming = settings.standardTiming;
    o.timingMarginMs = settings.timingMarginMs;
    o.silenceChars = settings.silenceChars;
    bool ok = false;
    const int baud = settings.com.speed.toInt(&ok);
    o.baud = ok && baud > 0 ? baud : 2400;
    return o;
}

LinkSettings linkSettingsFrom(const Settings &settings)
{
    LinkSettings link;
    link.route = chooseRoute(settings.route.useListen, settings.route.useGatewayClient, settings.route.useConverter);
    link.portName = settings.com.name;
    link.speed = settings.com.speed;
    link.parity = settings.com.parity;
    link.remoteIp = settings.remoteIp;
    link.remotePort = settings.remotePort;
    link.ethTimeout = settings.ethTimeout;
    link.netNumber = settings.netNumber;
    link.listenPort = settings.listenPort;
    return link;
}

BusStack::BusStack(BusLink &link, CommLog &log, decode::DeviceTable &table, std::function<BusOptions()> options)
    : session(link, log, table),
      commands(session),
      scan(session),
      readAll(session),
      autoAddressing(session),
      search(session),
      custom(session)
{
    session.options = std::move(options);
}

namespace {

LinkDispatch::Environment withSettings(LinkDispatch::Environment env, std::function<const Settings &()> settings)
{
    env.settings = [settings = std::move(settings)] { return linkSettingsFrom(settings()); };
    return env;
}

} // namespace

ProgramBus::ProgramBus(CommLog &log, decode::DeviceTable &table, std::function<const Settings &()> settings,
                       std::function<BusOptions()> options, LinkDispatch::Environment env)
    : dispatch(port, log, withSettings(std::move(env), std::move(settings))),
      stack(dispatch, log, table, std::move(options))
{
    QObject::connect(&dispatch, &LinkDispatch::linkLost, &stack.session, &BusSession::abort);
}

ProgramBus::~ProgramBus()
{
    dispatch.shutDown();
}
