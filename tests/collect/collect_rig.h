#pragma once
// What the collector's end-to-end tests run it against: Debian's mosquitto
// on a free loopback port (persistent, so that a restart keeps its
// subscribers' queues), mosquitto_sub listening, and telvaro-collect itself
// as a process with its configuration in a temporary folder.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest/QTest>

#include <functional>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

// Runs the event loop (the processes' output comes in through it) until
// `done` holds or the time is up.
inline bool waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QTest::qWait(50);
    }
    return true;
}

class Broker {
public:
    explicit Broker(const QString &dir) : m_dir(dir)
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
    }
    ~Broker() { stop(); }

    // False when mosquitto is not installed or does not listen.
    bool start()
    {
        QFile conf(QDir(m_dir).filePath("mosquitto.conf"));
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        const passwd *me = getpwuid(getuid());
        conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence true\n"
                                  "persistence_location %2/\nuser %3\n")
                       .arg(m_port)
                       .arg(m_dir, QString::fromLocal8Bit(me ? me->pw_name : "root"))
                       .toUtf8());
        conf.close();
        m_process.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
        return m_process.waitForStarted(5000)
               && waitFor(
                   [this] {
                       QTcpSocket probe;
                       probe.connectToHost(QHostAddress::LocalHost, m_port);
                       return probe.waitForConnected(200);
                   },
                   5000);
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate(); // saves the persistent sessions
        m_process.waitForFinished(5000);
    }
    quint16 port() const { return m_port; }

private:
    QString m_dir;
    quint16 m_port = 0;
    QProcess m_process;
};

// mosquitto_sub's "topic payload" lines.
class Subscriber {
public:
    // persistent: a QoS 1 session that the broker keeps while this one is away.
    Subscriber(quint16 port, const QStringList &topics, bool persistent, int seconds = 0)
    {
        QStringList args{"-h", "127.0.0.1", "-p", QString::number(port), "-v", "-q", "1"};
        if (persistent)
            args << "-c"
                 << "-i"
                 << "telvaro-test";
        if (seconds)
            args << "-W" << QString::number(seconds);
        for (const QString &topic : topics)
            args << "-t" << topic;
        m_process.start(QStringLiteral("mosquitto_sub"), args);
        m_process.waitForStarted(5000);
    }
    ~Subscriber()
    {
        m_process.terminate();
        m_process.waitForFinished(3000);
    }
    // Every message so far, as topic and payload.
    const QList<std::pair<QString, QByteArray>> &messages()
    {
        m_pending += m_process.readAllStandardOutput();
        for (qsizetype end; (end = m_pending.indexOf('\n')) >= 0; m_pending.remove(0, end + 1)) {
            const QByteArray line = m_pending.left(end);
            const qsizetype space = line.indexOf(' ');
            m_messages.append({QString::fromUtf8(line.left(space)), space < 0 ? QByteArray() : line.mid(space + 1)});
        }
        return m_messages;
    }
    // "12345678@2026-12-08T10:30:23" for every reading received.
    QSet<QString> readings()
    {
        QSet<QString> found;
        for (const auto &[topic, payload] : messages())
            if (topic.endsWith(QLatin1String("/reading"))) {
                const QJsonObject o = QJsonDocument::fromJson(payload).object();
                found.insert(o.value("id").toString() + u'@' + o.value("read_at").toString().left(19));
            }
        return found;
    }
    void waitForEnd() { m_process.waitForFinished(30000); }

private:
    QProcess m_process;
    QByteArray m_pending;
    QList<std::pair<QString, QByteArray>> m_messages;
};

// telvaro-collect with a configuration file; its standard error is gathered.
class CollectProcess {
public:
    CollectProcess(const QString &config, const QStringList &extra = {})
    {
        m_process.setProgram(QStringLiteral(TELVARO_BIN_DIR "/telvaro-collect"));
        m_process.setArguments(QStringList{"--config", config} + extra);
        m_process.start();
        m_process.waitForStarted(5000);
    }
    ~CollectProcess()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    QString log()
    {
        m_log += QString::fromUtf8(m_process.readAllStandardError());
        return m_log;
    }
    // How many lines of the log match.
    int count(const QString &pattern) { return int(log().count(QRegularExpression(pattern))); }
    bool waitForLines(const QString &pattern, int times, int ms)
    {
        return waitFor([&] { return count(pattern) >= times; }, ms);
    }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }
    // The exit status, or -1 when it did not end within `ms`.
    int waitForExit(int ms)
    {
        if (!m_process.waitForFinished(ms))
            return -1;
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

private:
    QProcess m_process;
    QString m_log;
};
