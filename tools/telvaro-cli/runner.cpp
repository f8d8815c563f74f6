#include "runner.h"

#include "archive/archive_worker.h"
#include "link/link_route.h"
#include "ops/reading_source.h"

#include "quit_signals.h"

#include "mbus/bytes.h"
#include "ops/bus_stack.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cstdio>

namespace cli {

namespace {

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
    LinkDispatch::Environment env;
    env.isAdministrator = [] { return true; }; // "Sent:" lines in the --verbose log
    const auto busOptions = [this] {
        BusOptions o = busOptionsFrom(m_settings);
        o.sendNkeFirst = m_options.nke;
        return o;
    };
    m_bus = std::make_unique<ProgramBus>(
        *this, m_table, [this]() -> const Settings & { return m_settings; }, busOptions, std::move(env));

    if (m_options.store) {
        // Kept as it is read, so that an interrupted run keeps what it had;
        // written on the archive's own thread, so a slow archive never holds the bus.
        m_archive.reset(
            new archive::ArchiveWorker(m_options.store->isEmpty() ? archive::defaultLocation() : *m_options.store));
        connect(m_archive.get(), &archive::ArchiveWorker::problem, this,
                [this](const QString &why) { m_progress.line(QStringLiteral("telvaro-cli: ") + why); });
        connect(m_archive.get(), &archive::ArchiveWorker::resumed, this, [this](int notStored) {
            if (notStored > 0)
                m_progress.line(
                    QStringLiteral("telvaro-cli: ")
                    + tr("the archive stores again; %n reading(s) could not be stored in it", nullptr, notStored));
        });
    }
    connect(&m_bus->stack.session, &BusSession::readingDecoded, this,
            [this](const QByteArrayList &telegrams, bool complete) {
                const QDateTime now = QDateTime::currentDateTime();
                m_readings << MeterReading{telegrams, now, complete};
                if (!m_archive) // decoded again only for --store
                    return;
                auto reading = archive::readingFromTelegrams(telegrams, now, sourceOf(m_settings), complete);
                if (reading)
                    m_archive->submit(std::move(*reading)); // never waits; what is not taken is counted
            });
    connect(&m_bus->dispatch, &LinkDispatch::linkLost, this, [this] { m_linkLost = true; });
    for (Operation *operation : m_bus->stack.operations()) {
        connect(operation, &Operation::progressChanged, this,
                [this](int minimum, int maximum, int value, bool visible) {
                    m_progress.show(minimum, maximum, value, visible);
                });
        connect(operation, &Operation::finished, this, [this](const OperationSummary &summary) {
            // With --verbose the log said it already. A summary of a failure is
            // the reason of the exit status: said even with --quiet.
            if (!summary.shown() || m_options.verbose)
                return;
            if (summary.clean())
                m_progress.note(summary.text());
            else
                m_progress.line(summary.text());
        });
    }
    // Ctrl+C or a kill: stop, print what was read, exit 130.
    auto *quit = new QuitSignals(this);
    connect(quit, &QuitSignals::quitRequested, this, [this] {
        m_interrupted = true;
        m_bus->stack.stopAll();
    });
}

Runner::~Runner() = default;

void Runner::addLine(const QString &line)
{
    m_lastLine = line;
    if (m_options.verbose)
        m_progress.line(printableLogLine(line));
}

int Runner::run()
{
    return finishArchive(runCommand());
}

int Runner::finishArchive(int status)
{
    if (!m_archive)
        return status;
    // Time for a server to answer (5 s to connect, 5 s per statement); one
    // that answers nothing is given up after that.
    constexpr int kWaitSeconds = 10;
    const archive::ArchiveWorker::Outcome outcome = m_archive->finish(std::chrono::seconds(kWaitSeconds));
    if (!outcome.ended)
        m_progress.line(
            QStringLiteral("telvaro-cli: ")
            + tr("the archive %1 did not answer within %2 s").arg(m_archive->shownLocation()).arg(kWaitSeconds));
    if (outcome.unsaid > 0)
        m_progress.line(QStringLiteral("telvaro-cli: ")
                        + tr("%n reading(s) could not be stored in the archive", nullptr, outcome.unsaid));
    return status == 0 && outcome.notStored > 0 ? 3 : status;
}

int Runner::runCommand()
{
    if (!m_bus->dispatch.beginLinkUse()) {
        const QAbstractSocket *socket = m_bus->dispatch.routeSocket();
        const bool tcp = socket != nullptr;
        const QString socketError = tcp ? socket->errorString() : QString();
        if (tcp && m_lastLine.startsWith(QLatin1String("Remote IP")))
            return linkError(tr("%1 is no host or port").arg(m_settings.remoteIp + u':' + m_settings.remotePort));
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
    case Command::History:
    case Command::Archive:
        break; // done without a bus
    }
    return 2;
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

bool Runner::finished(Operation &operation)
{
    if (operation.running()) {
        QEventLoop loop;
        connect(&operation, &Operation::runningChanged, &loop, [&loop](bool running) {
            if (!running)
                loop.quit();
        });
        loop.exec();
    }
    return !m_linkLost && !m_interrupted;
}

int Runner::endedEarly()
{
    print();
    if (m_interrupted) {
        m_progress.line(QStringLiteral("telvaro-cli: ") + tr("interrupted"));
        return 130;
    }
    return linkError(tr("the connection was lost"));
}

int Runner::statusOf(const OperationSummary &summary) const
{
    return summary.clean() ? 0 : 1;
}

int Runner::runToEnd(Operation &operation, const std::function<void()> &start)
{
    start();
    if (!operation.running()) // never began: no link, or interrupted while it was being made ready
        return m_interrupted ? endedEarly() : linkError(m_lastLine);
    if (!finished(operation))
        return endedEarly();
    return -1;
}

int Runner::scanIntoTable()
{
    m_progress.setTask(tr("scan"), Progress::Counting::Addresses, m_settings.searchFrom);
    m_table.clear();
    PrimaryScan &scan = m_bus->stack.scan;
    return runToEnd(scan, [&] { scan.start(m_settings.searchFrom, m_settings.searchTo); });
}

int Runner::scan()
{
    if (const int status = scanIntoTable(); status >= 0)
        return status;
    print();
    return m_readings.isEmpty() ? failed(tr("no meter answered")) : statusOf(m_bus->stack.scan.summary());
}

void Runner::fillTable(const QList<int> &addresses)
{
    std::vector<decode::MeterRow> rows;
    for (int address : addresses) {
        decode::MeterRow row;
        row.address.number = address;
        rows.push_back(std::move(row));
    }
    m_table.setRows(std::move(rows));
}

int Runner::read()
{
    m_progress.setTask(tr("read"), Progress::Counting::Meters);
    fillTable(m_options.addresses);
    ReadAll &readAll = m_bus->stack.readAll;
    // `read` asks the addresses given, not every meter of the table.
    readAll.start(tr("Read"));
    if (!readAll.running())
        return m_interrupted ? endedEarly() : linkError(m_lastLine);
    const bool whole = finished(readAll);
    // Rows nothing answered for are no meters.
    for (int row = m_table.rowCount() - 1; row >= 0; --row)
        if (m_table.row(row).id.empty())
            m_table.removeRow(row);
    if (!whole)
        return endedEarly();
    print();
    return statusOf(readAll.summary());
}

int Runner::readAll()
{
    if (const int status = scanIntoTable(); status >= 0)
        return status;
    if (m_readings.isEmpty())
        return failed(tr("no meter answered"));
    m_readings.clear();
    m_progress.setTask(tr("read"), Progress::Counting::Meters);
    ReadAll &readAll = m_bus->stack.readAll;
    if (const int status = runToEnd(readAll, [&] { readAll.start(); }); status >= 0)
        return status;
    print();
    // An address the scan got only damaged replies from fails the run as a read does.
    return std::max(statusOf(m_bus->stack.scan.summary()), statusOf(readAll.summary()));
}

int Runner::search()
{
    m_progress.setTask(tr("search"));
    SecondarySearch &search = m_bus->stack.search;
    QString pattern;
    for (std::uint8_t digit : m_options.pattern)
        pattern += digit > 9 ? QChar(u'F') : QChar(u'0' + digit);
    const int status = runToEnd(search, [&] {
        if (pattern.contains(u'F'))
            search.startWildcard(true, m_options.pattern);
        else
            search.findById(pattern);
    });
    if (status >= 0)
        return status;
    print();
    // Meters that answered together (the same ID) did answer: the line says so.
    if (m_readings.isEmpty() && !search.summary().unresolved.isEmpty())
        return failed(tr("meters answered but could not be told apart: %1")
                          .arg(search.summary().unresolved.join(QStringLiteral(", "))));
    return m_readings.isEmpty() ? failed(tr("no meter answered")) : statusOf(search.summary());
}

// The ID of the meter that answers at an address, read into the table; empty
// when none answers.
QString Runner::idAt(int address) const
{
    const int row = m_table.lastRowWithAddress(address);
    return row >= 0 ? QString::fromStdString(m_table.row(row).id) : QString();
}

int Runner::setAddress()
{
    m_progress.setTask(tr("set-address"));
    ReadAll &readAll = m_bus->stack.readAll;
    const auto readAt = [&](int address) {
        fillTable({address});
        readAll.start(tr("Read address %1").arg(address));
        return readAll.running() && finished(readAll);
    };
    decode::MeterSelection selection;
    if (m_options.oldAddress) {
        if (!readAt(*m_options.oldAddress))
            return m_linkLost || m_interrupted ? endedEarly() : linkError(m_lastLine);
        selection.id = idAt(*m_options.oldAddress).toStdString();
        if (selection.id.empty())
            return failed(tr("no valid answer from address %1").arg(*m_options.oldAddress));
        selection.address.number = *m_options.oldAddress;
    } else {
        selection.id = m_options.id.toStdString();
    }
    decode::MeterRow row;
    row.id = selection.id;
    row.address = selection.address;
    m_table.setRows({row});
    m_bus->stack.session.selectRow(0);
    m_bus->stack.session.showSelectedMeter(selection);
    m_readings.clear();
    MeterCommands &commands = m_bus->stack.commands;
    // The new address is written only once the bus proved it free: another
    // meter there would answer together with this one.
    commands.setPrimaryAddress(m_options.newAddress, m_options.force);
    if (!commands.running())
        return m_interrupted ? endedEarly() : failed(m_lastLine);
    if (!finished(commands))
        return endedEarly();
    print();
    const OperationSummary &summary = commands.summary();
    if (!summary.refused.isEmpty())
        return failed(tr("%1; --force to change it all the same").arg(summary.refused.first()));
    return summary.answered == 1 && summary.clean() ? 0 : 1;
}

int Runner::raw()
{
    m_progress.setTask(tr("raw"));
    CustomCommand &custom = m_bus->stack.custom;
    if (const int status = runToEnd(custom, [&] { custom.send(m_options.hex, false); }); status >= 0)
        return status;
    const QByteArray reply = custom.reply();
    // A reply that is a meter's reading fills the table as a scan would.
    if (reply.size() > 1)
        m_bus->stack.session.applyReading(::Reading{QByteArrayList{reply}}, decode::RowRule::Scan);
    print(reply, true);
    return reply.isEmpty() ? failed(tr("nothing came back")) : 0;
}

void Runner::print(const QByteArray &reply, bool raw)
{
    const auto hex = [](const QByteArray &bytes) {
        const auto *data = reinterpret_cast<const std::uint8_t *>(bytes.constData());
        return QString::fromLatin1(mbus::hexLogForm({data, std::size_t(bytes.size())})).trimmed();
    };
    const decode::TableOptions tableOptions{m_table.layout().secondaryMain, m_table.layout().additionalCount};
    QByteArray out;
    switch (m_options.format) {
    case Format::Text: {
        QStringList lines;
        for (const MeterReading &reading : std::as_const(m_readings))
            lines << reportLines(reading);
        if (raw) {
            // The reply alone, as mbus-decode takes it; the report goes with the progress.
            for (const QString &line : std::as_const(lines))
                m_progress.note(line);
            lines = reply.isEmpty() ? QStringList() : QStringList{hex(reply)};
        }
        if (!lines.isEmpty())
            out = lines.join(u'\n').toUtf8() + '\n';
        break;
    }
    case Format::Csv:
        out = csvText(m_readings, tableOptions, m_settings.exportSeparator);
        break;
    case Format::Json: {
        QJsonArray meters;
        for (const MeterReading &reading : std::as_const(m_readings)) {
            const QJsonObject meter = meterObject(reading, tableOptions);
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
