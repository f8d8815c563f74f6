#pragma once
// A PostgreSQL server of Debian's packages started for a test, on a
// temporary folder and a free local port (as the "postgres" user when the
// test runs as root: the server refuses root). signal(SIGSTOP) makes it a
// server that keeps its connections open and answers nothing.

#include "stored_readings.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QTcpServer>
#include <QTemporaryDir>

#include <csignal>
#include <unistd.h>

class PgServer {
public:
    // Empty when it runs; else why it could not be started here.
    QString start()
    {
        const QStringList versions =
            QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        if (versions.isEmpty() || !QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
            return QStringLiteral("PostgreSQL server or Qt's QPSQL driver not installed");
        m_bin = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(versions.last());
        if (::geteuid() == 0)
            QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres"), m_base.path()});
        if (!run({m_bin + QStringLiteral("initdb"), QStringLiteral("--auth=trust"), QStringLiteral("-U"),
                  QStringLiteral("telvaro"), QStringLiteral("-D"), data()}))
            return QStringLiteral("initdb could not make a database cluster here");
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost))
            return QStringLiteral("no free local port");
        m_port = QString::number(probe.serverPort());
        probe.close();
        m_running = pgCtl({QStringLiteral("-o"), QStringLiteral("-p %1 -k %2 -h 127.0.0.1").arg(m_port, m_base.path()),
                           QStringLiteral("start")});
        return m_running ? QString() : QStringLiteral("the PostgreSQL server did not start here");
    }
    ~PgServer()
    {
        if (m_running && signal(SIGCONT))
            pgCtl({QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("stop")});
    }
    bool restart() { return pgCtl({QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("restart")}); }

    // From now on a connection over TCP must give the user's password.
    bool requirePassword(const QString &password)
    {
        QFile hba(QDir(data()).filePath(QStringLiteral("pg_hba.conf")));
        return queryRows(url(), QStringLiteral("ALTER USER telvaro PASSWORD '%1'").arg(password)).isEmpty()
               && hba.open(QIODevice::WriteOnly | QIODevice::Truncate)
               && hba.write("local all all trust\nhost all all 127.0.0.1/32 scram-sha-256\n") > 0
               && (hba.close(), pgCtl({QStringLiteral("reload")}));
    }
    QString port() const { return m_port; }

    QString url() const { return QStringLiteral("postgresql://telvaro@127.0.0.1:%1/postgres").arg(m_port); }

    // To the server and to each of its processes (every connection has one,
    // in a process group of its own).
    bool signal(int number)
    {
        QFile pidFile(QDir(data()).filePath(QStringLiteral("postmaster.pid")));
        const qint64 server = pidFile.open(QIODevice::ReadOnly) ? pidFile.readLine().trimmed().toLongLong() : 0;
        if (server <= 0 || ::kill(pid_t(server), number) != 0)
            return false;
        for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
            // "pid (name) state ppid ...": the name may hold spaces and brackets.
            const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
            const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 && fields[1].toLongLong() == server)
                ::kill(pid_t(entry.toLongLong()), number);
        }
        return true;
    }

private:
    QString data() const { return m_base.filePath(QStringLiteral("data")); }
    bool pgCtl(const QStringList &arguments)
    {
        return run(QStringList{m_bin + QStringLiteral("pg_ctl"), QStringLiteral("-D"), data(), QStringLiteral("-w"),
                               QStringLiteral("-l"), m_base.filePath(QStringLiteral("log"))}
                   + arguments);
    }
    bool run(const QStringList &command)
    {
        QProcess p;
        if (::geteuid() == 0)
            p.start(QStringLiteral("runuser"),
                    QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")} + command);
        else
            p.start(command.first(), command.mid(1));
        return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    QTemporaryDir m_base{QStringLiteral("/tmp/telvaro-pg-XXXXXX")};
    QString m_bin, m_port;
    bool m_running = false;
};
