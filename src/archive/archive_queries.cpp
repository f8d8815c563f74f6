// ReadingArchive's writing and reading: store() and history().

#include "archive_statements.h"
#include "reading_archive.h"

#include <QCoreApplication>
#include <QSqlError>

namespace archive {

namespace {

// The context lupdate gives the texts of ReadingArchive's members.
QString tr(const char *text)
{
    return QCoreApplication::translate("archive::ReadingArchive", text);
}

QString isoUtc(const QDateTime &when)
{
    return when.toUTC().toString(Qt::ISODateWithMs); // fixed width: sorts as text
}

// A text column that is never NULL: a null QString binds as NULL.
QString text(const QString &value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

} // namespace

ReadingArchive::Statements::Statements(const QSqlDatabase &db, bool postgres)
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
    // A reading ID stored already makes no row: nothing is inserted, nothing returned.
    insertReading.prepare(QStringLiteral("INSERT INTO readings (meter, address, route, read_at, status, access, "
                                         "complete, telegrams, station, link, main_value, main_unit, reading_id) "
                                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING")
                          + (postgres ? QStringLiteral(" RETURNING id") : QString()));
}

QSqlQuery &ReadingArchive::Statements::insertRecords(std::size_t count)
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

const QString &ReadingArchive::Statements::placeholder(int n)
{
    while (int(names.size()) <= n)
        names.push_back(QStringLiteral(":p%1").arg(names.size()));
    return names[std::size_t(n)];
}

std::optional<qlonglong> ReadingArchive::Statements::rowOf(QSqlQuery &insert, QSqlQuery &find,
                                                           QHash<QString, qlonglong> &known, const QVariantList &key)
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
    pending.emplace_back(&known, text, row);
    return row;
}

void ReadingArchive::Statements::committed()
{
    for (const auto &[known, text, row] : pending)
        known->insert(text, row);
    pending.clear();
}

bool ReadingArchive::store(std::span<const StoredReading> readings)
{
    if (!isOpen())
        return fail(tr("The archive is not open"));
    if (!m_damage.isEmpty())
        return fail(tr("The archive %1 is damaged (%2): nothing more is stored in it").arg(m_shownLocation, m_damage));
    if (!m_writable)
        return fail(m_error.isEmpty() ? tr("The archive %1 is read-only").arg(m_shownLocation) : m_error);
    if (!m_statements)
        m_statements = std::make_unique<Statements>(m_db, m_postgres);
    Statements &st = *m_statements;
    QSqlQuery control(m_db);
    const auto abandon = [&](const QSqlError &error) {
        control.exec(QStringLiteral("ROLLBACK"));
        st.pending.clear();
        return fail(tr("Readings could not be written into %1: %2").arg(m_shownLocation, error.text()));
    };
    // IMMEDIATE: the write lock is taken (or waited for) at once, so two
    // writers never hold read locks that each other's commit waits for.
    if (!control.exec(m_postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE")))
        return fail(tr("Readings could not be written into %1: %2").arg(m_shownLocation, control.lastError().text()));
    st.pending.clear();
    for (const StoredReading &reading : readings) {
        const std::optional<qlonglong> meter = st.rowOf(
            st.insertMeter, st.findMeter, st.meterIds,
            {reading.meterId, reading.manufacturer, reading.version, reading.medium});
        if (!meter)
            return abandon(st.failed->lastError());

        QSqlQuery &q = st.insertReading;
        q.bindValue(0, *meter);
        q.bindValue(1, reading.address ? QVariant(*reading.address) : QVariant(QMetaType(QMetaType::Int)));
        q.bindValue(2, reading.route);
        q.bindValue(3, isoUtc(reading.readAt));
        q.bindValue(4, reading.status);
        q.bindValue(5, reading.access);
        q.bindValue(6, reading.complete ? 1 : 0);
        q.bindValue(7, joinTelegrams(reading.telegrams));
        q.bindValue(8, text(reading.station));
        q.bindValue(9, text(reading.link));
        q.bindValue(10, reading.mainValue ? QVariant(*reading.mainValue) : QVariant(QMetaType(QMetaType::Double)));
        q.bindValue(11, text(reading.mainUnit));
        q.bindValue(12, reading.readingId.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : reading.readingId);
        if (!q.exec())
            return abandon(q.lastError());
        const bool inserted = m_postgres ? q.next() : q.numRowsAffected() > 0;
        const qlonglong id = !inserted ? -1 : m_postgres ? q.value(0).toLongLong() : q.lastInsertId().toLongLong();
        q.finish();
        if (!inserted || reading.records.empty()) // a reading stored before keeps its records
            continue;
        QSqlQuery &records = st.insertRecords(reading.records.size());
        int at = 0;
        const auto bind = [&](const QVariant &value) { records.bindValue(st.placeholder(at++), value); };
        for (std::size_t position = 0; position < reading.records.size(); ++position) {
            const StoredRecord &r = reading.records[position];
            const std::optional<qlonglong> kind = st.rowOf(st.insertKind, st.findKind, st.kindIds,
                                                           {r.quantity, r.unit, r.exponent, r.function});
            if (!kind)
                return abandon(st.failed->lastError());
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
            return abandon(records.lastError());
    }
    if (!control.exec(QStringLiteral("COMMIT")))
        return abandon(control.lastError());
    st.committed();
    return true;
}

std::vector<StoredReading> ReadingArchive::history(const QString &meterId, const QDateTime &from, const QDateTime &to)
{
    std::vector<StoredReading> out;
    m_error.clear();
    if (!isOpen()) {
        fail(tr("The archive is not open"));
        return out;
    }
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
    const auto failed = [&](const QSqlQuery &q) {
        fail(tr("The archive %1 cannot be read: %2").arg(m_shownLocation, q.lastError().text()));
        return std::vector<StoredReading>();
    };
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT r.id, m.meter_id, m.manufacturer, m.version, m.medium, r.address, r.route, "
                             "r.read_at, r.status, r.access, r.complete, r.telegrams, r.station, r.link, r.main_value, "
                             "r.main_unit FROM readings r "
                             "JOIN meters m ON r.meter = m.id")
              + filter + QStringLiteral(" ORDER BY r.read_at DESC, r.id DESC"));
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        return failed(q);
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
        // ISO text in SQLite, a timestamp in PostgreSQL.
        const QVariant at = q.value(7);
        r.readAt = (at.typeId() == QMetaType::QDateTime ? at.toDateTime()
                                                        : QDateTime::fromString(at.toString(), Qt::ISODateWithMs))
                       .toUTC();
        r.status = q.value(8).toInt();
        r.access = q.value(9).toInt();
        r.complete = q.value(10).toInt() != 0;
        r.telegrams = splitTelegrams(q.value(11).toByteArray());
        r.station = q.value(12).toString();
        r.link = q.value(13).toString();
        if (!q.value(14).isNull())
            r.mainValue = q.value(14).toDouble();
        r.mainUnit = q.value(15).toString();
        out.push_back(std::move(r));
    }
    if (q.lastError().isValid()) // a damaged page met on the way
        return failed(q);
    QSqlQuery records(m_db);
    records.setForwardOnly(true);
    records.prepare(QStringLiteral("SELECT rec.reading, k.quantity, k.unit, k.exponent, rec.storage, rec.tariff, "
                                   "rec.subunit, k.function, rec.value, rec.text FROM records rec "
                                   "JOIN kinds k ON rec.kind = k.id "
                                   "JOIN readings r ON rec.reading = r.id JOIN meters m ON r.meter = m.id")
                    + filter + QStringLiteral(" ORDER BY rec.reading, rec.position"));
    for (const QVariant &v : values)
        records.addBindValue(v);
    if (!records.exec())
        return failed(records);
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
    if (records.lastError().isValid())
        return failed(records);
    return out;
}

} // namespace archive
