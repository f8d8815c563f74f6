#include "archive_probe.h"

#include "reading_archive.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>

#include <thread>

namespace archive {

ProbeResult probeArchive(const QString &location)
{
    ProbeResult r;
    const QString where = location.isEmpty() ? defaultLocation() : location;
    r.shownLocation = where;
    if (!where.startsWith(QLatin1String("postgresql://")) && !QFileInfo::exists(where)) {
        r.missing = true;
        return r;
    }
    ReadingArchive store;
    r.usable = store.open(where);
    r.shownLocation = store.shownLocation().isEmpty() ? where : store.shownLocation();
    if (!r.usable) {
        r.error = store.error();
        return r;
    }
    r.writable = store.writable();
    r.readings = store.readingCount();
    if (r.readings < 0) {
        r.usable = false;
        r.error = store.error();
    }
    return r;
}

void probeArchiveLater(const QString &location, QObject *receiver, std::function<void(const ProbeResult &)> done)
{
    std::thread([location, guard = QPointer<QObject>(receiver), done = std::move(done)] {
        const ProbeResult result = probeArchive(location);
        if (guard)
            QMetaObject::invokeMethod(
                guard.data(),
                [guard, done, result] {
                    if (guard)
                        done(result);
                },
                Qt::QueuedConnection);
    }).detach();
}

} // namespace archive
