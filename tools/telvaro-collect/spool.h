#pragma once
// The readings not yet published and not yet archived, in a small SQLite
// file: a reading is kept from the moment it is taken until the broker has
// acknowledged it and the archive has stored it, across restarts, and each
// side takes them in the order they were read.

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

class QLockFile;

#include <memory>
#include <vector>

namespace collect {

struct SpooledReading {
    qint64 seq = 0; // given by the spool, in the order of arrival
    QString topic;
    QByteArray payload; // the JSON published
    // What the archive stores: the telegrams as read and where they came from.
    QByteArrayList telegrams;
    QDateTime readAt;
    bool complete = true;
    QString route, link;
    bool toBroker = true;
    bool toArchive = true;
};

class Spool {
public:
    enum class Side { Broker, Archive };

    Spool();
    ~Spool();
    Spool(const Spool &) = delete;
    Spool &operator=(const Spool &) = delete;

    // Opens (and makes) the file and its folder, for this process alone;
    // false with the reason. A damaged file is renamed aside and a new one
    // begun, which *notice then says.
    bool open(const QString &file, QString *error, QString *notice);
    // Keeps the readings in one transaction and gives them their numbers.
    bool add(std::vector<SpooledReading> &readings);
    // The oldest readings the side still needs, after `afterSeq`.
    std::vector<SpooledReading> waiting(Side side, qint64 afterSeq, int limit) const;
    // The side has these readings; one that neither side needs any more is dropped.
    bool done(Side side, const std::vector<qint64> &seqs);
    int count(Side side) const;
    // The side is not used any more (turned off in the configuration): what
    // waited for it is released. The number released, -1 on failure.
    int release(Side side);
    QString error() const;

private:
    enum class Opened { Ok, Damaged, Failed };
    Opened openFile(const QString &file, QString *error);
    void closeFile();

    std::unique_ptr<QLockFile> m_lock;
    QSqlDatabase m_db;
    QString m_connection;
};

} // namespace collect
