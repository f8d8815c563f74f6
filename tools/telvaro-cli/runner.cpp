#include "runner.h"

#include "link/custom_command.h"
#include "link/link_dispatch.h"
#include "mbus/bytes.h"
#include "ops/bus_session.h"
#include "ops/meter_commands.h"
#include "ops/primary_scan.h"
#include "ops/read_all.h"
#include "ops/secondary_search.h"
#include "ops/secondary_sequence.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cstdio>

namespace cli {

namespace {

// The dispatch takes IPv4 addresses only: a host name is looked up here.
QString ipv4Of(const QString &host)
{
    QHostAddress address;
    if (address.setAddress(host))
        return host;
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("127.0.0.1");
    const QHostInfo info = QHostInfo::fromName(host);
    for (const QHostAddress &a : info.addresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            return a.toString();
    return host; // the dispatch reports it as not properly set
}

void writeOut(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace

Runner::Runner(const Options &options, const Settings &settings, Progress &progress)
    : m_options(options),
      m_settings(settings),
      m_progress(progress),
      m_table(decode::TableLayout{settings.secondaryMain, settings.titleCount})
{
    m_settings.remoteIp = ipv4Of(m_settings.remoteIp.trimmed());
    LinkDispatch::Environment env;
    env.settings = [this] {
        const Settings &s = m_settings;
        LinkSettings link;
        link.route = chooseRoute(s.route.useListen, s.route.useGatewayClient, s.route.useConverter);
        link.portName = s.com.name;
        link.speed = s.com.speed;
        link.parity = s.com.parity;
        link.remoteIp = s.remoteIp;
        link.remotePort = s.remotePort;
        link.ethTimeout = s.ethTimeout;
        link.netNumber = s.netNumber;
        link.listenPort = s.listenPort;
        return link;
    };
    env.isAdministrator = [] { return true; }; // "Sent:" lines in the --verbose log
    m_dispatch = std::make_unique<LinkDispatch>(m_comm, *this, std::move(env));

    for (QTimer *timer : {&m_respond, &m_secondary, &m_readAllTimer, &m_autoAddress, &m_freeCommand}) {
        timer->setTimerType(Qt::PreciseTimer);
        timer->setInterval(m_settings.timeout);
    }
    m_autoAddress.setInterval(100);
    m_session = std::make_unique<BusSession>(*m_dispatch, *this, m_table,
                                             BusTimers{m_respond, m_secondary, m_readAllTimer, m_autoAddress});
    m_session->options = [this] {
        BusOptions o;
        o.retries = m_settings.retry;
        o.use5B = m_settings.use5B;
        o.globalInit = m_settings.globalInit;
        o.sendNkeFirst = m_options.nke;
        o.lsbSearch = m_settings.lsbSearch;
        o.responseTimeoutMs = m_settings.timeout;
        o.fastReads = m_settings.fastReads;
        o.allTelegrams = m_settings.allTelegrams;
        o.searchAnyRoute = true;
        return o;
    };
    m_sequence = std::make_unique<SecondarySequence>(*m_session);
    m_commands = std::make_unique<MeterCommands>(*m_session, *m_sequence);
    m_scan = std::make_unique<PrimaryScan>(*m_session);
    m_readAll = std::make_unique<ReadAll>(*m_session);
    m_search = std::make_unique<SecondarySearch>(*m_session, *m_sequence);
    m_custom = std::make_unique<CustomCommand>(*m_dispatch, *this, m_freeCommand);
    connect(&m_freeCommand, &QTimer::timeout, m_custom.get(), &CustomCommand::collect);

    connect(m_session.get(), &BusSession::readingDecoded, this, [this](const QList<QByteArray> &telegrams) {
        m_readings << Taken{telegrams, QDateTime::currentDateTime()};
    });
    connect(m_dispatch.get(), &LinkDispatch::linkLost, this, [this] {
        m_linkLost = true;
        m_session->abort();
    });
    const auto showProgress = [this](int minimum, int maximum, int value, bool visible) {
        m_progress.show(minimum, maximum, value, visible);
    };
    connect(m_scan.get(), &PrimaryScan::progressChanged, this, showProgress);
    connect(m_readAll.get(), &ReadAll::progressChanged, this, showProgress);
    connect(m_search.get(), &SecondarySearch::progressChanged, this, showProgress);
}

Runner::~Runner()
{
    m_dispatch->shutDown();
}

void Runner::addLine(const QString &line)
{
    m_lastLine = line;
    if (m_options.verbose)
        m_progress.line(line);
}

int Runner::run()
{
    if (!linkReady()) {
        const bool tcp = m_settings.route.useConverter || m_settings.route.useGatewayClient;
        const QString socketError = m_settings.route.useGatewayClient ? m_dispatch->gatewayClient().socket.errorString()
                                                                      : m_dispatch->converter().socket.errorString();
        if (tcp && m_lastLine.startsWith(QLatin1String("Remote IP")))
            return linkError(
                tr("%1 is no IPv4 address or port").arg(m_settings.remoteIp + u':' + m_settings.remotePort));
        if (tcp)
            return linkError(
                tr("no connection to %1:%2 (%3)").arg(m_settings.remoteIp, m_settings.remotePort, socketError));
        return linkError(m_lastLine.isEmpty() ? tr("the serial port cannot be opened") : m_lastLine);
    }
    switch (m_options.command) {
    case Command::Scan:
        return scan();
    case Command::Read:
        return read();
    case Command::ReadAll:
        return readAll();
    case Command::Search:
        return search();
    case Command::SetAddress:
        return setAddress();
    case Command::Raw:
        return raw();
    }
    return 2;
}

bool Runner::linkReady()
{
    return m_dispatch->beginLinkUse();
}

int Runner::linkError(const QString &reason)
{
    m_progress.line(QStringLiteral("telvaro-cli: ") + reason);
    return 2;
}

int Runner::failed(const QString &reason)
{
    m_progress.line(QStringLiteral("telvaro-cli: ") + reason);
    return 1;
}

void Runner::waitIdle()
{
    QEventLoop loop;
    connect(m_session.get(), &BusSession::busyChanged, &loop, [&loop](bool busy) {
        if (!busy)
            loop.quit();
    });
    if (m_session->busy())
        loop.exec();
}

int Runner::scan()
{
    m_progress.setTask(tr("scan"));
    m_table.clear();
    m_scan->start(m_options.from, m_options.to);
    if (!m_scan->running())
        return linkError(m_lastLine);
    waitIdle();
    if (m_linkLost)
        return linkError(tr("the connection was lost"));
    print();
    return m_readings.isEmpty() ? failed(tr("no meter answered")) : 0;
}

bool Runner::readTable(const QList<int> &addresses)
{
    std::vector<std::vector<std::string>> rows;
    for (int address : addresses) {
        std::vector<std::string> row(std::size_t(m_table.columnCount()));
        row[decode::kAddressColumn] = std::to_string(address);
        rows.push_back(std::move(row));
    }
    m_table.setRows(std::move(rows));
    m_readAll->start();
    if (!m_readAll->running())
        return false;
    waitIdle();
    return !m_linkLost;
}

QList<int> Runner::answeredAddresses() const
{
    QList<int> out;
    for (const Taken &taken : m_readings) {
        const QJsonObject meter = meterObject(taken.telegrams);
        if (!meter.isEmpty())
            out << meter.value(QStringLiteral("address")).toInt();
    }
    return out;
}

int Runner::read()
{
    m_progress.setTask(tr("read"));
    if (!readTable(m_options.addresses))
        return linkError(m_linkLost ? tr("the connection was lost") : m_lastLine);
    // Rows nothing answered for are no meters.
    for (int row = m_table.rowCount() - 2; row >= 1; --row)
        if (m_table.cell(row, decode::kIdColumn).empty())
            m_table.deleteRow(row);
    if (!m_table.hasData(1))
        m_table.clear(); // the last row left is emptied, not removed
    print();
    const QList<int> answered = answeredAddresses();
    QStringList silent;
    for (int address : std::as_const(m_options.addresses))
        if (!answered.contains(address))
            silent << QString::number(address);
    return silent.isEmpty() ? 0 : failed(tr("no valid answer from address %1").arg(silent.join(QStringLiteral(", "))));
}

int Runner::readAll()
{
    m_progress.setTask(tr("scan"));
    m_table.clear();
    m_scan->start(m_options.from, m_options.to);
    if (!m_scan->running())
        return linkError(m_lastLine);
    waitIdle();
    if (m_linkLost)
        return linkError(tr("the connection was lost"));
    if (m_readings.isEmpty())
        return failed(tr("no meter answered"));
    QList<int> found;
    for (int row = 1; row < m_table.rowCount() - 1; ++row)
        found << QString::fromStdString(m_table.cell(row, decode::kAddressColumn)).toInt();
    m_readings.clear();
    m_progress.setTask(tr("read"));
    m_readAll->start();
    if (!m_readAll->running())
        return linkError(m_lastLine);
    waitIdle();
    if (m_linkLost)
        return linkError(tr("the connection was lost"));
    print();
    const QList<int> answered = answeredAddresses();
    QStringList silent;
    for (int address : std::as_const(found))
        if (!answered.contains(address))
            silent << QString::number(address);
    return silent.isEmpty() ? 0 : failed(tr("no valid answer from address %1").arg(silent.join(QStringLiteral(", "))));
}

int Runner::search()
{
    m_progress.setTask(tr("search"));
    const bool complete = std::none_of(m_options.pattern.begin(), m_options.pattern.end(),
                                       [](std::uint8_t digit) { return digit > 9; });
    if (complete) {
        QString id;
        for (std::uint8_t digit : m_options.pattern)
            id += QChar(u'0' + digit);
        m_search->findById(id);
    } else {
        m_search->startWildcard(true, m_options.pattern);
    }
    waitIdle();
    if (m_linkLost)
        return linkError(tr("the connection was lost"));
    print();
    return m_readings.isEmpty() ? failed(tr("no meter answered")) : 0;
}

int Runner::setAddress()
{
    m_progress.setTask(tr("set-address"));
    decode::MeterSelection selection;
    if (m_options.oldAddress) {
        if (!readTable({*m_options.oldAddress}))
            return linkError(m_linkLost ? tr("the connection was lost") : m_lastLine);
        const QJsonObject meter = m_readings.isEmpty() ? QJsonObject() : meterObject(m_readings.last().telegrams);
        if (meter.isEmpty())
            return failed(tr("no valid answer from address %1").arg(*m_options.oldAddress));
        selection.id = meter.value(QStringLiteral("id")).toString().toStdString();
        selection.address = std::to_string(*m_options.oldAddress);
    } else {
        selection.id = m_options.id.toStdString();
    }
    m_session->showSelectedMeter(selection);
    m_readings.clear();
    m_commands->setPrimaryAddress(m_options.newAddress);
    waitIdle();
    if (m_linkLost)
        return linkError(tr("the connection was lost"));
    print();
    const QList<int> answered = answeredAddresses();
    if (!answered.contains(m_options.newAddress))
        return failed(tr("the meter %1 did not confirm the address %2")
                          .arg(QString::fromStdString(selection.id))
                          .arg(m_options.newAddress));
    return 0;
}

int Runner::raw()
{
    m_progress.setTask(tr("raw"));
    QByteArray reply;
    bool collected = false;
    QEventLoop loop;
    connect(m_custom.get(), &CustomCommand::replyCollected, &loop, [&](const QByteArray &bytes) {
        reply = bytes;
        collected = true;
        loop.quit();
    });
    m_custom->send(m_options.hex, false);
    if (!m_freeCommand.isActive())
        return linkError(m_lastLine);
    if (!collected)
        loop.exec();
    // A reply that is a meter's reading fills the table as a scan would.
    if (reply.size() > 1) {
        m_session->scanActive = true;
        m_session->decodeReply(reply);
        m_session->scanActive = false;
    }
    print(reply, true);
    return reply.isEmpty() ? failed(tr("nothing came back")) : 0;
}

void Runner::print(const QByteArray &reply, bool raw)
{
    const auto hex = [](const QByteArray &bytes) {
        const auto *data = reinterpret_cast<const std::uint8_t *>(bytes.constData());
        return QString::fromLatin1(mbus::hexLogForm({data, std::size_t(bytes.size())})).trimmed();
    };
    QByteArray out;
    switch (m_options.format) {
    case Format::Text: {
        QStringList lines;
        if (raw)
            lines << (reply.isEmpty() ? tr("No reply") : tr("Reply: %1").arg(hex(reply)));
        for (const Taken &taken : std::as_const(m_readings))
            lines << reportLines(taken.telegrams, taken.when);
        if (!lines.isEmpty())
            out = lines.join(u'\n').toUtf8() + '\n';
        break;
    }
    case Format::Csv:
        out = csvText(m_table, m_settings);
        break;
    case Format::Json: {
        QJsonArray meters;
        for (const Taken &taken : std::as_const(m_readings)) {
            const QJsonObject meter = meterObject(taken.telegrams);
            if (!meter.isEmpty())
                meters.append(meter);
        }
        if (raw && !reply.isEmpty()) {
            QJsonObject answer = meters.isEmpty() ? QJsonObject() : meters.first().toObject();
            answer[QStringLiteral("reply")] = hex(reply).remove(u' ');
            meters = QJsonArray{answer};
        }
        out = QJsonDocument(meters).toJson(QJsonDocument::Indented);
        break;
    }
    }
    writeOut(out);
}

} // namespace cli
