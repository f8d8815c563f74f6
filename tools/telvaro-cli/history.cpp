#include "history.h"

#include "archive/archive_worker.h"
#include "decode/csv.h"

#include <QCoreApplication>
#include <QEventLoop>
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

QJsonObject readingObject(const archive::StoredReading &reading)
{
    QJsonObject o;
    o[QStringLiteral("read_at")] = reading.readAt.toString(Qt::ISODate);
    o[QStringLiteral("complete")] = reading.complete;
    o[QStringLiteral("address")] = reading.address ? QJsonValue(*reading.address) : QJsonValue();
    o[QStringLiteral("id")] = reading.meterId;
    o[QStringLiteral("manufacturer")] = reading.manufacturer;
    o[QStringLiteral("version")] = reading.version;
    o[QStringLiteral("medium")] = reading.medium;
    o[QStringLiteral("access")] = reading.access;
    o[QStringLiteral("status")] = reading.status;
    o[QStringLiteral("route")] = reading.route;
    QJsonArray records;
    for (const archive::StoredRecord &r : reading.records) {
        records.append(QJsonObject{{QStringLiteral("quantity"), r.quantity},
                                   {QStringLiteral("unit"), r.unit},
                                   {QStringLiteral("exponent"), r.exponent},
                                   {QStringLiteral("storage"), r.storage},
                                   {QStringLiteral("tariff"), r.tariff},
                                   {QStringLiteral("subunit"), r.subunit},
                                   {QStringLiteral("function"), r.function},
                                   {QStringLiteral("value"), r.value            ? QJsonValue(*r.value)
                                                             : r.text.isEmpty() ? QJsonValue()
                                                                                : QJsonValue(r.text)}});
    }
    o[QStringLiteral("records")] = records;
    return o;
}

QByteArray csvOf(const std::vector<archive::StoredReading> &readings, const QString &separator)
{
    std::vector<decode::csv::Row> rows{{"read_at", "address", "route", "status", "quantity", "unit", "storage",
                                        "tariff", "subunit", "function", "value"}};
    for (const archive::StoredReading &reading : readings) {
        for (const archive::StoredRecord &r : reading.records) {
            rows.push_back({reading.readAt.toString(Qt::ISODate).toStdString(),
                            reading.address ? std::to_string(*reading.address) : std::string(),
                            reading.route.toStdString(), std::to_string(reading.status), r.quantity.toStdString(),
                            r.unit.toStdString(), std::to_string(r.storage), std::to_string(r.tariff),
                            std::to_string(r.subunit), r.function.toStdString(), valueText(r).toStdString()});
        }
    }
    return QByteArray::fromStdString(decode::csv::formatTable(rows, separator.toStdString(), false, "\n"));
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

int printHistory(const Options &options)
{
    const QString location = options.store && !options.store->isEmpty() ? *options.store : archive::defaultLocation();
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
    case Format::Json: {
        QJsonArray array;
        for (const archive::StoredReading &reading : readings)
            array.append(readingObject(reading));
        out = QJsonDocument(array).toJson();
        break;
    }
    case Format::Csv:
        out = csvOf(readings, options.separator.value_or(QStringLiteral(";")));
        break;
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
