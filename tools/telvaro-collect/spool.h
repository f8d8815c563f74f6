#pragma once
// The readings not yet published and not yet archived, in a small SQLite
// file: a reading is kept from the moment it is taken until the broker has
// acknowledged it and the archive has stored it, across restarts, and each
// side takes them in the order they were read.
//
// While the file cannot be written (a full disk), readings are held in
// memory instead, after those in the file, and go out from there: a spool
// in trouble never holds delivery up. The file is written again once memory
// is empty.

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
    qint64 seq = 0;    // given by the spool, in the order of arrival
    QString readingId; // the reading's identity, given once when it was taken
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
    // Keeps the readings and gives them their numbers: in one transaction
    // of the file, or in memory while the file cannot be written (false,
    // with error()).
    bool add(std::vector<SpooledReading> &readings);
    // Readings held in memory, not in the file.
    int heldInMemory() const { return int(m_memory.size()); }
    static bool isInMemory(qint64 seq);
    // Grows by one each time memory has emptied: numbers the file gives
    // afterwards are below the memory's, so the sides start over from 0.
    int memoryRounds() const { return m_memoryRounds; }
    // Last chance at the end: what memory holds into the file. The number
    // that could not be kept.
    int keepMemory();
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

    bool addToFile(std::vector<SpooledReading> &readings);
    bool doneInFile(Side side, const std::vector<qint64> &seqs);

    std::unique_ptr<QLockFile> m_lock;
    QSqlDatabase m_db;
    QString m_connection;
    std::vector<SpooledReading> m_memory; // numbered from kMemorySeq on, in order
    qint64 m_memorySeq = 0;
    int m_memoryRounds = 0;
    QString m_memoryReason;
};

} // namespace collect
