#pragma once
// "Test" in the settings: whether a location can be used as the readings
// archive and how many readings it holds. It waits on a file lock or a
// server, so it runs on a thread of its own; a file that is not there is
// not made.

#include <QObject>
#include <QString>

#include <functional>

namespace archive {

struct ProbeResult {
    QString shownLocation; // without a server's password
    bool missing = false;  // a file that is not there yet: made at the first reading
    bool usable = false;
    bool writable = false;
    qint64 readings = 0;
    QString error; // why it cannot be used
};

ProbeResult probeArchive(const QString &location);

// Runs probeArchive() on a thread of its own; `done` is called on the
// thread of `receiver` (never once the receiver is gone).
void probeArchiveLater(const QString &location, QObject *receiver, std::function<void(const ProbeResult &)> done);

} // namespace archive
