#pragma once
// What an archive (a file, or a postgresql:// URL) holds, asked through a
// connection of the test's own.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

// The rows a statement gives, each value as text; empty when it fails.
inline QList<QStringList> queryRows(const QString &location, const QString &statement)
{
    QList<QStringList> rows;
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
        if (db.open() && q.exec(statement))
            while (q.next()) {
                QStringList row;
                for (int c = 0; c < q.record().count(); ++c)
                    row << q.value(c).toString();
                rows << row;
            }
        else
            qWarning("%s: %s", qPrintable(statement), qPrintable(q.lastError().text()));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return rows;
}

inline int storedReadings(const QString &location)
{
    const QList<QStringList> rows = queryRows(location, QStringLiteral("SELECT count(*) FROM readings"));
    return rows.isEmpty() ? -1 : rows.first().first().toInt();
}
