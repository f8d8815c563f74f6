#pragma once
// The statements of ReadingArchive::store(), prepared once per connection:
// preparing costs more than running them. Private to the archive.

#include "reading_archive.h"

#include <QHash>
#include <QSqlQuery>
#include <QVariant>

#include <map>
#include <optional>
#include <tuple>

namespace archive {

struct ReadingArchive::Statements {
    Statements(const QSqlDatabase &db, bool postgres);

    // All records of a reading in one statement, one per record count.
    QSqlQuery &insertRecords(std::size_t count);
    // Named placeholders: binding by name costs less than by position.
    const QString &placeholder(int n);
    // The row of a meter or a kind: from memory, else found or made in the database.
    std::optional<qlonglong> rowOf(QSqlQuery &insert, QSqlQuery &find, QHash<QString, qlonglong> &known,
                                   const QVariantList &key);
    // Rows found or made in a transaction are remembered once it is committed.
    void committed();

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

} // namespace archive
