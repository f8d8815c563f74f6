#include "reading_archive.h"

#include "decode/decode.h"
#include "decode/header.h"
#include "decode/record_values.h"
#include "decode/telegrams.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>
#include <QVariant>

#include <map>
#include <tuple>

namespace archive {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ReadingArchive", text);
}

QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// Telegrams one after the other, each after its length (two bytes, high first).
QByteArray joinTelegrams(const QByteArrayList &telegrams)
{
    QByteArray out;
    for (const QByteArray &telegram : telegrams) {
        const auto size = quint16(std::min<qsizetype>(telegram.size(), 0xFFFF));
        out += char(size >> 8);
        out += char(size & 0xFF);
        out += telegram.left(size);
    }
    return out;
}

QByteArrayList splitTelegrams(const QByteArray &joined)
{
    QByteArrayList out;
    for (qsizetype at = 0; at + 2 <= joined.size();) {
        const int size = (quint8(joined[at]) << 8) | quint8(joined[at + 1]);
        at += 2;
        out << joined.mid(at, size);
        at += size;
    }
    return out;
}

QString isoUtc(const QDateTime &when)
{
    return when.toUTC().toString(Qt::ISODateWithMs); // fixed width: sorts as text
}

// The tables; `key` and the types differ between SQLite and PostgreSQL.
QStringList schema(bool postgres)
{
    const QString key = postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY");
    const QString blob = postgres ? QStringLiteral("BYTEA") : QStringLiteral("BLOB");
    const QString real = postgres ? QStringLiteral("DOUBLE PRECISION") : QStringLiteral("REAL");
    const QString tail = postgres ? QString() : QStringLiteral(" WITHOUT ROWID");
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS meters (id %1, meter_id TEXT NOT NULL, manufacturer TEXT NOT NULL, "
                       "version INTEGER NOT NULL, medium INTEGER NOT NULL, "
                       "UNIQUE (meter_id, manufacturer, version, medium))")
            .arg(key),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS readings (id %1, meter BIGINT NOT NULL REFERENCES meters(id), address INTEGER, "
            "route TEXT NOT NULL, read_at TEXT NOT NULL, status INTEGER NOT NULL, access INTEGER NOT NULL, "
            "complete INTEGER NOT NULL, telegrams %2 NOT NULL)")
            .arg(key, blob),
        QStringLiteral("CREATE INDEX IF NOT EXISTS readings_by_meter ON readings (meter, read_at)"),
        // What a record is (quantity, unit, power of ten, function) is kept once
        // in `kinds`: a record row holds numbers only, and stays small.
        QStringLiteral("CREATE TABLE IF NOT EXISTS kinds (id %1, quantity TEXT NOT NULL, unit TEXT NOT NULL, "
                       "exponent INTEGER NOT NULL, function TEXT NOT NULL, "
                       "UNIQUE (quantity, unit, exponent, function))")
            .arg(key),
        QStringLiteral("CREATE TABLE IF NOT EXISTS records (reading BIGINT NOT NULL REFERENCES readings(id), "
                       "position INTEGER NOT NULL, kind BIGINT NOT NULL REFERENCES kinds(id), "
                       "storage INTEGER NOT NULL, tariff INTEGER NOT NULL, subunit INTEGER NOT NULL, value %1, "
                       "text TEXT, PRIMARY KEY (reading, position))%2")
            .arg(real, tail),
    };
}

} // namespace

QString defaultLocation()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Telvaro/telvaro-readings.sqlite"));
}

std::optional<StoredReading> readingFromTelegrams(const QByteArrayList &telegrams, const QDateTime &readAt,
                                                  const QString &route, bool complete)
{
    std::vector<mbus::ByteView> views;
    for (const QByteArray &telegram : telegrams)
        views.emplace_back(reinterpret_cast<const std::uint8_t *>(telegram.constData()), std::size_t(telegram.size()));
    const decode::DecodeResult result = decode::decodeReplies(views, decode::DecodeOptions());
    if (!result.valid || !result.headerDecoded)
        return std::nullopt;
    const decode::MeterHeader &h = result.meter;
    StoredReading r;
    r.meterId = latin1(decode::idText(h));
    r.manufacturer = latin1(decode::manufacturerCode(h.manufacturerField));
    r.version = h.version;
    r.medium = h.medium;
    r.address = h.address;
    r.route = route;
    r.readAt = readAt.toUTC();
    r.status = h.status;
    r.access = h.access;
    r.complete = complete;
    r.telegrams = telegrams;
    for (const decode::Record &record : result.records) {
        StoredRecord s;
        s.quantity = latin1(decode::quantityText(record));
        s.unit = latin1(decode::scaledUnitText(record));
        s.exponent = record.unit.exp10;
        s.storage = int(record.fields.storage);
        s.tariff = int(record.fields.tariff);
        s.subunit = int(record.fields.subunit);
        s.function = latin1(decode::functionName(record.fields.function));
        s.value = decode::scaledValue(record);
        if (const auto text = decode::valueAsText(record))
            s.text = latin1(*text);
        r.records.push_back(std::move(s));
    }
    return r;
}

ReadingArchive::ReadingArchive()
{
    static QAtomicInt count;
    m_connection = QStringLiteral("telvaro-archive-%1").arg(count.fetchAndAddRelaxed(1));
}

ReadingArchive::~ReadingArchive()
{
    close();
}

bool ReadingArchive::isOpen() const
{
    return QSqlDatabase::contains(m_connection) && QSqlDatabase::database(m_connection, false).isOpen();
}

void ReadingArchive::close()
{
    if (!QSqlDatabase::contains(m_connection))
        return;
    m_statements.reset(); // before its connection goes
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
    m_writable = false;
}

bool ReadingArchive::fail(const QString &what)
{
    m_error = what;
    return false;
}

bool ReadingArchive::open(const QString &location)
{
    close();
    m_error.clear();
    m_postgres = location.startsWith(QLatin1String("postgresql://"));
    m_writable = true;
    if (m_postgres) {
        const QUrl url(location);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connection);
        db.setHostName(url.host());
        db.setPort(url.port(5432));
        db.setDatabaseName(url.path().mid(1));
        db.setUserName(url.userName());
        db.setPassword(url.password());
        db.setConnectOptions(QStringLiteral("connect_timeout=5")); // a server that is away must not hold the window
        if (!db.open())
            return fail(tr("The archive %1 cannot be reached: %2")
                            .arg(url.toDisplayString(QUrl::RemovePassword), db.lastError().text()));
    } else {
        const QFileInfo file(location);
        QDir().mkpath(file.absolutePath());
        // Root may write any file: one without write permission counts as read-only all the same.
        const auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
        m_writable = !file.exists() || (file.isWritable() && (file.permissions() & anyWrite));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(location);
        // Other programs may write at the same time: wait for them a while.
        db.setConnectOptions(m_writable ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000")
                                        : QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000;QSQLITE_OPEN_READONLY"));
        if (!db.open())
            return fail(tr("The archive %1 cannot be opened: %2").arg(location, db.lastError().text()));
        QSqlQuery pragma(db);
        if (!pragma.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
            return fail(tr("%1 is not a readings archive: %2").arg(location, pragma.lastError().text()));
        if (m_writable) {
            pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
            pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
            // Fewer, larger checkpoints: each one waits for the disk.
            pragma.exec(QStringLiteral("PRAGMA wal_autocheckpoint=8000"));
        }
    }
    if (!createOrMigrate()) {
        QSqlDatabase::database(m_connection, false).close();
        return false;
    }
    return true;
}

bool ReadingArchive::createOrMigrate()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    const bool fresh = !db.tables().contains(QStringLiteral("schema_info"));
    if (fresh) {
        if (!m_writable)
            return fail(tr("The archive %1 is read-only and holds no readings").arg(db.databaseName()));
        db.transaction();
        // Two programs making the same new file at once: whichever comes
        // second finds the tables there and adds nothing.
        QStringList statements{QStringLiteral("CREATE TABLE IF NOT EXISTS schema_info (version INTEGER NOT NULL)")};
        statements += schema(m_postgres);
        statements << QStringLiteral("INSERT INTO schema_info SELECT %1 WHERE NOT EXISTS (SELECT 1 FROM schema_info)")
                          .arg(kSchemaVersion);
        for (const QString &statement : std::as_const(statements)) {
            if (!q.exec(statement)) {
                const QString why = q.lastError().text();
                db.rollback();
                return fail(tr("The archive %1 cannot be set up: %2").arg(db.databaseName(), why));
            }
        }
        return db.commit() || fail(db.lastError().text());
    }
    if (!q.exec(QStringLiteral("SELECT version FROM schema_info")) || !q.next())
        return fail(tr("%1 is not a readings archive").arg(db.databaseName()));
    const int version = q.value(0).toInt();
    if (version > kSchemaVersion) {
        // Written by a newer program: read what it holds, never write into it.
        m_writable = false;
        m_error = tr("The archive %1 was made by a newer Telvaro (schema %2): it is only read")
                      .arg(db.databaseName())
                      .arg(version);
    }
    // Versions below kSchemaVersion are migrated here, one step at a time;
    // schema 1 is the first.
    return true;
}

// The statements of store(), prepared once per connection: preparing costs
// more than running them.
struct ReadingArchive::Statements {
    explicit Statements(const QSqlDatabase &db, bool postgres)
        : insertMeter(db), findMeter(db), insertKind(db), findKind(db), insertReading(db), m_db(db)
    {
        insertKind.prepare(QStringLiteral("INSERT INTO kinds (quantity, unit, exponent, function) "
                                          "VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING"));
        findKind.prepare(QStringLiteral("SELECT id FROM kinds WHERE quantity = ? AND unit = ? AND exponent = ? "
                                        "AND function = ?"));
        insertMeter.prepare(QStringLiteral("INSERT INTO meters (meter_id, manufacturer, version, medium) "
                                           "VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING"));
        findMeter.prepare(QStringLiteral("SELECT id FROM meters WHERE meter_id = ? AND manufacturer = ? "
                                         "AND version = ? AND medium = ?"));
        insertReading.prepare(QStringLiteral("INSERT INTO readings (meter, address, route, read_at, status, access, "
                                             "complete, telegrams) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
                              + (postgres ? QStringLiteral(" RETURNING id") : QString()));
    }
    // All records of a reading in one statement, one per record count.
    QSqlQuery &insertRecords(std::size_t count)
    {
        auto at = records.find(count);
        if (at == records.end()) {
            QString sql = QStringLiteral("INSERT INTO records VALUES ");
            for (std::size_t i = 0; i < count; ++i) {
                sql += i == 0 ? QStringLiteral("(") : QStringLiteral(",(");
                for (int f = 0; f < kRecordColumns; ++f)
                    sql += (f ? QStringLiteral(",") : QString()) + placeholder(int(i) * kRecordColumns + f);
                sql += u')';
            }
            at = records.emplace(count, QSqlQuery(m_db)).first;
            at->second.prepare(sql);
        }
        return at->second;
    }

    // Named placeholders: binding by name costs less than by position.
    const QString &placeholder(int n)
    {
        while (int(names.size()) <= n)
            names.push_back(QStringLiteral(":p%1").arg(names.size()));
        return names[std::size_t(n)];
    }

    // The row of a meter or a kind: from memory, else found or made in the database.
    std::optional<qlonglong> rowOf(QSqlQuery &insert, QSqlQuery &find, QHash<QString, qlonglong> &known,
                                   const QVariantList &key)
    {
        QString text;
        for (const QVariant &part : key)
            text += part.toString() + u'|';
        if (const auto at = known.constFind(text); at != known.constEnd())
            return *at;
        for (QSqlQuery *q : {&insert, &find}) {
            for (int i = 0; i < key.size(); ++i)
                q->bindValue(i, key[i]);
            if (!q->exec()) {
                failed = q;
                return std::nullopt;
            }
        }
        if (!find.next()) {
            failed = &find;
            return std::nullopt;
        }
        const qlonglong row = find.value(0).toLongLong();
        find.finish();
        pending.emplace_back(&known, text, row); // remembered once the transaction is committed
        return row;
    }
    void committed()
    {
        for (const auto &[known, text, row] : pending)
            known->insert(text, row);
        pending.clear();
    }

    static constexpr int kRecordColumns = 8; // reading, position, kind, storage, tariff, sub-unit, value, text
    QSqlQuery insertMeter, findMeter, insertKind, findKind, insertReading;
    std::vector<QString> names;
    std::map<std::size_t, QSqlQuery> records;
    QHash<QString, qlonglong> meterIds, kindIds; // rows never change
    std::vector<std::tuple<QHash<QString, qlonglong> *, QString, qlonglong>> pending;
    QSqlQuery *failed = nullptr;

private:
    QSqlDatabase m_db;
};

bool ReadingArchive::store(const StoredReading &reading)
{
    if (!isOpen())
        return fail(tr("The archive is not open"));
    if (!m_writable)
        return fail(m_error.isEmpty() ? tr("The archive is read-only") : m_error);
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!m_statements)
        m_statements = std::make_unique<Statements>(db, m_postgres);
    Statements &st = *m_statements;
    const auto abandon = [&](const QSqlQuery &q) {
        const QString why = q.lastError().text();
        db.rollback();
        return fail(tr("The reading of %1 was not kept: %2").arg(reading.meterId, why));
    };
    if (!db.transaction())
        return fail(tr("The reading of %1 was not kept: %2").arg(reading.meterId, db.lastError().text()));
    st.pending.clear();
    const std::optional<qlonglong> meter = st.rowOf(
        st.insertMeter, st.findMeter, st.meterIds,
        {reading.meterId, reading.manufacturer, reading.version, reading.medium});
    if (!meter)
        return abandon(*st.failed);

    QSqlQuery &q = st.insertReading;
    q.bindValue(0, *meter);
    q.bindValue(1, reading.address ? QVariant(*reading.address) : QVariant(QMetaType(QMetaType::Int)));
    q.bindValue(2, reading.route);
    q.bindValue(3, isoUtc(reading.readAt));
    q.bindValue(4, reading.status);
    q.bindValue(5, reading.access);
    q.bindValue(6, reading.complete ? 1 : 0);
    q.bindValue(7, joinTelegrams(reading.telegrams));
    if (!q.exec())
        return abandon(q);
    const qlonglong id = m_postgres ? (q.next() ? q.value(0).toLongLong() : -1) : q.lastInsertId().toLongLong();
    q.finish();

    if (!reading.records.empty()) {
        QSqlQuery &records = st.insertRecords(reading.records.size());
        int at = 0;
        const auto bind = [&](const QVariant &value) { records.bindValue(st.placeholder(at++), value); };
        for (std::size_t position = 0; position < reading.records.size(); ++position) {
            const StoredRecord &r = reading.records[position];
            const std::optional<qlonglong> kind = st.rowOf(st.insertKind, st.findKind, st.kindIds,
                                                           {r.quantity, r.unit, r.exponent, r.function});
            if (!kind)
                return abandon(*st.failed);
            bind(id);
            bind(int(position));
            bind(*kind);
            bind(r.storage);
            bind(r.tariff);
            bind(r.subunit);
            bind(r.value ? QVariant(*r.value) : QVariant(QMetaType(QMetaType::Double)));
            bind(r.text.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(r.text));
        }
        if (!records.exec())
            return abandon(records);
    }
    if (!db.commit())
        return fail(tr("The reading of %1 was not kept: %2").arg(reading.meterId, db.lastError().text()));
    st.committed();
    return true;
}

std::vector<StoredReading> ReadingArchive::history(const QString &meterId, const QDateTime &from,
                                                   const QDateTime &to) const
{
    std::vector<StoredReading> out;
    if (!isOpen())
        return out;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QString filter = QStringLiteral(" WHERE m.meter_id = ?");
    QVariantList values{meterId};
    if (from.isValid()) {
        filter += QStringLiteral(" AND r.read_at >= ?");
        values << isoUtc(from);
    }
    if (to.isValid()) {
        filter += QStringLiteral(" AND r.read_at <= ?");
        values << isoUtc(to);
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT r.id, m.meter_id, m.manufacturer, m.version, m.medium, r.address, r.route, "
                             "r.read_at, r.status, r.access, r.complete, r.telegrams FROM readings r "
                             "JOIN meters m ON r.meter = m.id")
              + filter + QStringLiteral(" ORDER BY r.read_at DESC, r.id DESC"));
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        return out;
    QHash<qlonglong, std::size_t> index;
    while (q.next()) {
        StoredReading r;
        index.insert(q.value(0).toLongLong(), out.size());
        r.meterId = q.value(1).toString();
        r.manufacturer = q.value(2).toString();
        r.version = q.value(3).toInt();
        r.medium = q.value(4).toInt();
        if (!q.value(5).isNull())
            r.address = q.value(5).toInt();
        r.route = q.value(6).toString();
        r.readAt = QDateTime::fromString(q.value(7).toString(), Qt::ISODateWithMs).toUTC();
        r.status = q.value(8).toInt();
        r.access = q.value(9).toInt();
        r.complete = q.value(10).toInt() != 0;
        r.telegrams = splitTelegrams(q.value(11).toByteArray());
        out.push_back(std::move(r));
    }
    QSqlQuery records(db);
    records.setForwardOnly(true);
    records.prepare(QStringLiteral("SELECT rec.reading, k.quantity, k.unit, k.exponent, rec.storage, rec.tariff, "
                                   "rec.subunit, k.function, rec.value, rec.text FROM records rec "
                                   "JOIN kinds k ON rec.kind = k.id "
                                   "JOIN readings r ON rec.reading = r.id JOIN meters m ON r.meter = m.id")
                    + filter + QStringLiteral(" ORDER BY rec.reading, rec.position"));
    for (const QVariant &v : values)
        records.addBindValue(v);
    if (!records.exec())
        return out;
    while (records.next()) {
        const auto at = index.find(records.value(0).toLongLong());
        if (at == index.end())
            continue;
        StoredRecord s;
        s.quantity = records.value(1).toString();
        s.unit = records.value(2).toString();
        s.exponent = records.value(3).toInt();
        s.storage = records.value(4).toInt();
        s.tariff = records.value(5).toInt();
        s.subunit = records.value(6).toInt();
        s.function = records.value(7).toString();
        if (!records.value(8).isNull())
            s.value = records.value(8).toDouble();
        s.text = records.value(9).toString();
        out[*at].records.push_back(std::move(s));
    }
    return out;
}

} // namespace archive
