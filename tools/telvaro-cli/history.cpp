#include "history.h"

#include "archive/archive_worker.h"
#include "archive/reading_archive.h"
#include "cli_output.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace cli {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("telvaro-cli", text);
}

QString valueText(const archive::StoredRecord &r)
{
    return r.value ? QString::number(*r.value, 'g', 12) : r.text;
}

MeterReading meterReading(const archive::StoredReading &reading)
{
    return {reading.telegrams, reading.readAt, reading.complete};
}

// The same object as a reading from the bus, decoded again from the stored
// telegrams, with the route it came by.
QJsonArray jsonOf(const std::vector<archive::StoredReading> &readings)
{
    QJsonArray array;
    for (const archive::StoredReading &reading : readings) {
        QJsonObject meter = meterObject(meterReading(reading), {});
        if (meter.isEmpty())
            continue;
        meter[QStringLiteral("route")] = reading.route;
        array.append(meter);
    }
    return array;
}

QByteArray textOf(const std::vector<archive::StoredReading> &readings)
{
    QByteArray out;
    for (const archive::StoredReading &reading : readings) {
        QStringList values;
        for (const archive::StoredRecord &r : reading.records)
            values << (r.quantity + u' ' + valueText(r) + (r.unit.isEmpty() ? QString() : u' ' + r.unit)).trimmed();
        out += QStringLiteral("%1  address %2  %3  status 0x%4  %5\n")
                   .arg(reading.readAt.toString(Qt::ISODate),
                        reading.address ? QString::number(*reading.address) : QStringLiteral("-"), reading.route)
                   .arg(reading.status, 2, 16, QLatin1Char('0'))
                   .arg(values.join(QStringLiteral("; ")))
                   .toUtf8();
    }
    return out;
}

} // namespace

// The archive --store names; empty (said) when it is a file that is not there.
static QString existingArchive(const Options &options)
{
    const QString location = options.store && !options.store->isEmpty() ? *options.store : archive::defaultLocation();
    if (location.startsWith(QLatin1String("postgresql://")) || QFileInfo::exists(location))
        return location;
    std::fprintf(stderr, "telvaro-cli: %s\n",
                 qPrintable(tr("there is no readings archive at %1 (readings are kept with --store)")
                                .arg(QDir::toNativeSeparators(location))));
    return {};
}

int backupArchive(const Options &options)
{
    const QString location = existingArchive(options);
    if (location.isEmpty())
        return 2;
    archive::ReadingArchive store;
    if (!store.open(location) || !store.backup(options.backupFile)) {
        std::fprintf(stderr, "telvaro-cli: %s\n", qPrintable(store.error()));
        return 2;
    }
    if (!options.quiet)
        std::fprintf(stderr, "telvaro-cli: %s\n",
                     qPrintable(tr("%1 copied to %2").arg(store.shownLocation(), options.backupFile)));
    return 0;
}

int printHistory(const Options &options)
{
    // Only read: a file that is not there is not made.
    const QString location = existingArchive(options);
    if (location.isEmpty())
        return 2;
    // Asked on the archive's own thread, so that a server that answers
    // nothing is given up after a while instead of holding the shell.
    constexpr int kWaitSeconds = 20;
    archive::ArchiveWorker worker(location);
    std::optional<archive::HistoryAnswer> answer;
    QEventLoop loop;
    QObject::connect(&worker, &archive::ArchiveWorker::historyReady, &loop, [&](const archive::HistoryAnswer &a) {
        answer = a;
        loop.quit();
    });
    QTimer::singleShot(std::chrono::seconds(kWaitSeconds), &loop, &QEventLoop::quit);
    worker.requestHistory(options.historyId, options.historyFrom, options.historyTo);
    loop.exec();
    worker.finish(std::chrono::seconds(1)); // a server that never answered is given up
    if (!answer) {
        std::fprintf(
            stderr, "telvaro-cli: %s\n",
            qPrintable(tr("the archive %1 did not answer within %2 s").arg(worker.shownLocation()).arg(kWaitSeconds)));
        return 2;
    }
    // Said before anything is printed from it.
    if (!answer->warning.isEmpty())
        std::fprintf(stderr, "telvaro-cli: %s\n", qPrintable(answer->warning));
    if (answer->readings.empty() && !answer->error.isEmpty()) {
        std::fprintf(stderr, "telvaro-cli: %s\n", qPrintable(answer->error));
        return 2;
    }
    const std::vector<archive::StoredReading> &readings = answer->readings;
    QByteArray out;
    switch (options.format) {
    case Format::Json:
        out = QJsonDocument(jsonOf(readings)).toJson();
        break;
    case Format::Csv: {
        QList<MeterReading> rows;
        for (const archive::StoredReading &reading : readings)
            rows << meterReading(reading);
        out = csvText(rows, {}, options.separator.value_or(QStringLiteral(";")));
        break;
    }
    case Format::Text:
        out = textOf(readings);
        break;
    }
    std::fflush(stderr);
    std::fwrite(out.constData(), 1, std::size_t(out.size()), stdout);
    if (readings.empty()) {
        std::fprintf(stderr, "telvaro-cli: %s\n",
                     qPrintable(tr("no reading of %1 in %2").arg(options.historyId, worker.shownLocation())));
        return 1;
    }
    return 0;
}

} // namespace cli
