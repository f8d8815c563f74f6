#include "bus_collector.h"

#include "ops/bus_stack.h"
#include "ops/reading_source.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace collect {

namespace {

constexpr std::chrono::seconds kFirstPause{5};
constexpr std::chrono::seconds kLongestPause{300};
constexpr std::chrono::seconds kResumeWithin{300};

} // namespace

BusCollector::BusCollector(BusConfig config, bool once, bool verbose, bool quiet)
    : m_config(std::move(config)),
      m_once(once),
      m_verbose(verbose),
      m_quiet(quiet),
      m_table(decode::TableLayout{false, 0})
{
    for (int address : std::as_const(m_config.addresses))
        m_targets.push_back({address, {}});
    for (const QString &id : std::as_const(m_config.ids))
        m_targets.push_back({std::nullopt, id});
}

BusCollector::~BusCollector() = default;

void BusCollector::addLine(const QString &line)
{
    m_lastLine = line;
    if (m_verbose && !m_stopping)
        emit said(QStringLiteral("bus %1: %2").arg(m_config.name, printableLogLine(line)));
}

void BusCollector::start()
{
    m_settings = m_config.settings;
    const auto options = [this] {
        BusOptions o = busOptionsFrom(m_settings);
        return o;
    };
    LinkDispatch::Environment env;
    env.isAdministrator = [] { return true; }; // the frames sent, with --verbose
    m_bus = std::make_unique<ProgramBus>(
        *this, m_table, [this]() -> const Settings & { return m_settings; }, options, std::move(env));
    connect(&m_bus->stack.session, &BusSession::readingDecoded, this,
            [this](const QByteArrayList &telegrams, bool complete) {
                if (!m_stopping)
                    emit readingTaken({telegrams, QDateTime::currentDateTimeUtc(), complete, sourceOf(m_settings),
                                       m_config.name, m_config.every});
            });
    connect(&m_bus->dispatch, &LinkDispatch::linkLost, this, [this] { m_linkLost = true; });
    const std::pair<Operation *, Phase> operations[] = {{&m_bus->stack.scan, Phase::Scan},
                                                        {&m_bus->stack.search, Phase::Search},
                                                        {&m_bus->stack.readAll, Phase::ReadAddresses}};
    for (auto [operation, phase] : operations)
        connect(operation, &Operation::finished, this, [this](const OperationSummary &summary) {
            // Handled once the operation has quite ended, so that the next may take the bus.
            QMetaObject::invokeMethod(
                this, [this, phase = m_phase, summary] { operationEnded(phase, summary); }, Qt::QueuedConnection);
        });
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &BusCollector::beginCycle);
    beginCycle();
}

void BusCollector::stop()
{
    m_closing = true; // no next step, no next cycle
    if (m_timer)
        m_timer->stop();
    // Making a link ready may wait in an event loop of its own (a TCP
    // connect): the stack is not taken down under it, but once it is back.
    if (m_launching) {
        m_stopWhenLaunched = true;
        return;
    }
    finishExchange();
    m_stopping = true;
    if (m_bus) {
        m_bus->stack.stopAll();
        m_bus->dispatch.shutDown();
        m_bus.reset();
    }
    emit stopped();
    QThread::currentThread()->quit();
}

// The answer under way is awaited (a reading on the wire is kept), at most
// one response timeout: a silent meter does not hold up the end.
void BusCollector::finishExchange()
{
    if (!m_bus)
        return;
    const auto operations = m_bus->stack.operations();
    const auto running = std::find_if(operations.begin(), operations.end(), [](Operation *o) { return o->running(); });
    if (running == operations.end())
        return;
    BusSession &session = m_bus->stack.session;
    session.sendsNoMore = true; // the answer under way is the last
    QEventLoop loop;
    QTimer::singleShot(std::min(m_settings.timeout + 250, 2000), &loop, &QEventLoop::quit);
    connect(&session, &BusSession::readingDecoded, &loop, &QEventLoop::quit);
    connect(&session, &BusSession::requestHeldBack, &loop, &QEventLoop::quit);
    connect(*running, &Operation::runningChanged, &loop, &QEventLoop::quit);
    loop.exec();
}

bool BusCollector::findDue() const
{
    if (!m_config.readsAllFound())
        return false;
    if (!m_lastFind || m_targets.empty())
        return true;
    return m_config.findEvery.count() > 0
           && m_lastFind->secsTo(QDateTime::currentDateTimeUtc()) >= m_config.findEvery.count();
}

void BusCollector::beginCycle()
{
    if (m_closing)
        return;
    // A cycle the link left half-way goes on with the meters not yet read
    // (a flaky link must not starve the last meters), unless it began so
    // long ago that a new one is due anyway.
    const qint64 resumeWithinMs = std::max<qint64>(m_config.every.count(), kResumeWithin.count()) * 1000;
    const bool resume = std::exchange(m_resumeCycle, false) && m_cycleClock.isValid()
                        && m_cycleClock.elapsed() < resumeWithinMs;
    if (!resume) {
        m_cycleClock.start();
        m_answered.clear();
        m_findCycle = findDue();
    }
    m_found.clear();
    m_linkLost = false;
    if (m_findCycle && m_config.findByScan) {
        m_table.clear();
        PrimaryScan &scan = m_bus->stack.scan;
        launch(scan, Phase::Scan, [&] { scan.start(m_settings.searchFrom, m_settings.searchTo); });
    } else if (m_findCycle) {
        launch(m_bus->stack.search, Phase::Search, [this] { m_bus->stack.search.startWildcard(true); });
    } else {
        readAddresses();
    }
}

// The meters with an address not yet read in one read-all, then those
// selected by ID.
void BusCollector::readAddresses()
{
    std::vector<decode::MeterRow> rows;
    m_rowTargets.clear();
    for (std::size_t t = 0; t < m_targets.size(); ++t)
        if (m_targets[t].address && !m_answered.contains(m_targets[t].name())) {
            rows.emplace_back();
            rows.back().address.number = *m_targets[t].address;
            m_rowTargets.push_back(t);
        }
    m_nextId = 0;
    if (rows.empty()) {
        readNextId();
        return;
    }
    m_table.setRows(std::move(rows));
    launch(m_bus->stack.readAll, Phase::ReadAddresses, [this] { m_bus->stack.readAll.start(); });
}

void BusCollector::launch(Operation &operation, Phase phase, const std::function<void()> &start)
{
    m_phase = phase;
    m_lastLine.clear();
    // The operation runs while it makes the link ready: it began when it
    // still runs after that, or ended with a summary of its own.
    bool ended = false;
    const auto watch = connect(&operation, &Operation::finished, this,
                               [&ended](const OperationSummary &) { ended = true; });
    m_launching = true;
    start();
    m_launching = false;
    disconnect(watch);
    const bool began = operation.running() || ended;
    if (m_stopWhenLaunched) {
        QMetaObject::invokeMethod(this, &BusCollector::stop, Qt::QueuedConnection);
        return;
    }
    if (!began) {
        m_phase = Phase::Idle;
        m_resumeCycle = !m_answered.isEmpty(); // a cycle under way goes on when the link is back
        // A TCP route says more in its socket's words than in the log's.
        const QAbstractSocket *socket = m_bus->dispatch.routeSocket();
        linkFailed(socket && socket->error() != QAbstractSocket::UnknownSocketError ? socket->errorString()
                                                                                    : m_lastLine);
    }
}

void BusCollector::operationEnded(Phase phase, const OperationSummary &summary)
{
    if (m_closing)
        return;
    // What was read counts, also when the link went before the end.
    if (phase == Phase::ReadAddresses) {
        // A row that got a reading holds the meter's ID.
        for (int row = 0; row < m_table.rowCount() && row < int(m_rowTargets.size()); ++row)
            if (!m_table.row(row).id.empty()) {
                Target &target = m_targets[m_rowTargets[std::size_t(row)]];
                target.id = QString::fromStdString(m_table.row(row).id);
                m_answered << target.name();
            }
    } else if (phase == Phase::ReadIds && summary.answered > 0) {
        m_answered << m_targets[std::size_t(m_nextId)].id;
    }
    if (m_linkLost) {
        m_resumeCycle = true;
        m_pause = std::chrono::seconds(0); // the link was had: no growing pause
        linkFailed(tr("the connection was lost"));
        return;
    }
    m_pause = std::chrono::seconds(0);
    if (m_linkDown) {
        m_linkDown = false;
        emit said(tr("bus %1: %2 is reached again").arg(m_config.name, linkDescription(linkSettingsFrom(m_settings))));
    }
    switch (phase) {
    case Phase::Scan:
        takeFound(phase);
        if (m_config.findBySearch) {
            launch(m_bus->stack.search, Phase::Search, [this] { m_bus->stack.search.startWildcard(true); });
            return;
        }
        endCycle();
        return;
    case Phase::Search:
        takeFound(phase);
        endCycle();
        return;
    case Phase::ReadIds:
        ++m_nextId;
        [[fallthrough]];
    case Phase::ReadAddresses:
        readNextId();
        return;
    case Phase::Idle:
        return;
    }
}

void BusCollector::readNextId()
{
    if (m_closing)
        return;
    while (m_nextId < int(m_targets.size())
           && (m_targets[std::size_t(m_nextId)].address || m_answered.contains(m_targets[std::size_t(m_nextId)].id)))
        ++m_nextId;
    if (m_nextId >= int(m_targets.size())) {
        endCycle();
        return;
    }
    SecondarySearch &search = m_bus->stack.search;
    launch(search, Phase::ReadIds, [&] { search.findById(m_targets[std::size_t(m_nextId)].id, false); });
}

// The meters a finding walk put in the table join the targets: by their
// address after a scan, by their ID after a search (unless the scan has them).
void BusCollector::takeFound(Phase phase)
{
    for (int row = 0; row < m_table.rowCount(); ++row) {
        const decode::MeterRow &meter = m_table.row(row);
        const QString id = QString::fromStdString(meter.id);
        const std::optional<int> address = meter.address.usable(250);
        if (id.isEmpty() || (phase == Phase::Scan && !address))
            continue;
        const auto known = std::find_if(m_targets.begin(), m_targets.end(), [&](const Target &t) {
            return phase == Phase::Scan ? t.address == address : t.id == id;
        });
        QString name;
        if (known == m_targets.end()) {
            m_targets.push_back({phase == Phase::Scan ? address : std::nullopt, id});
            name = m_targets.back().name();
        } else {
            known->id = id;
            name = known->name();
        }
        if (!m_found.contains(name))
            m_found << name;
    }
    m_lastFind = QDateTime::currentDateTimeUtc();
}

void BusCollector::endCycle()
{
    m_phase = Phase::Idle;
    CycleReport report;
    report.bus = m_config.name;
    report.took = std::chrono::milliseconds(m_cycleClock.elapsed());
    const QStringList &read = m_findCycle ? m_found : m_answered;
    report.asked = int(m_targets.size());
    for (const Target &target : m_targets)
        if (read.contains(target.name()))
            ++report.read;
        else
            report.missing << target.name();
    const double seconds = double(report.took.count()) / 1000.0;
    const QString took = seconds < 10 ? QString::number(seconds, 'f', 1) : QString::number(qRound(seconds));
    QString line = report.asked == 0 ? tr("bus %1: no meter found in %2 s").arg(m_config.name, took)
                                     : tr("bus %1: %2 of %3 meters read in %4 s")
                                           .arg(m_config.name)
                                           .arg(report.read)
                                           .arg(report.asked)
                                           .arg(took);
    if (!report.missing.isEmpty()) {
        QStringList named;
        for (const QString &missing : std::as_const(report.missing))
            named << (m_config.meterNames.contains(missing)
                          ? QStringLiteral("%1 (%2)").arg(missing, m_config.meterNames.value(missing))
                          : missing);
        line += tr("; no answer from %1").arg(named.join(QStringLiteral(", ")));
    }
    if (!m_quiet || report.asked == 0 || report.read < report.asked)
        emit said(line);
    emit cycleDone(report);
    if (!m_once)
        scheduleNext(std::max(std::chrono::milliseconds(0),
                              std::chrono::duration_cast<std::chrono::milliseconds>(m_config.every) - report.took));
}

void BusCollector::linkFailed(const QString &reason)
{
    const QString link = linkDescription(linkSettingsFrom(m_settings));
    if (!m_linkDown) {
        m_linkDown = true;
        emit said(tr("bus %1: %2 cannot be reached (%3); trying again after a growing pause")
                      .arg(m_config.name, link, reason.isEmpty() ? tr("no reason given") : reason));
    }
    m_pause = m_pause.count() == 0 ? kFirstPause : std::min(m_pause * 2, kLongestPause);
    if (m_once) {
        CycleReport report;
        report.bus = m_config.name;
        report.linkDown = true;
        report.asked = int(m_targets.size());
        emit cycleDone(report);
        return;
    }
    scheduleNext(m_pause);
}

void BusCollector::scheduleNext(std::chrono::milliseconds delay)
{
    if (!m_closing)
        m_timer->start(delay);
}

} // namespace collect
