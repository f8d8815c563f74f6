#pragma once
// How many readings an archive (a file, or a postgresql:// URL) holds,
// counted through a connection of the test's own; -1 when it cannot be read.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUrl>

inline int storedReadings(const QString &location)
{
    int count = -1;
    {
        const QUrl url(location);
        const bool server = url.scheme() == QLatin1String("postgresql");
        QSqlDatabase db = QSqlDatabase::addDatabase(server ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"),
                                                    QStringLiteral("count"));
        db.setDatabaseName(server ? url.path().mid(1) : location);
        db.setHostName(url.host());
        db.setPort(url.port());
        db.setUserName(url.userName());
        QSqlQuery q(db);
        if (db.open() && q.exec(QStringLiteral("SELECT count(*) FROM readings")) && q.next())
            count = q.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return count;
}
