#pragma once
// The simulator started as a child process, exactly as a user starts it: on a
// pseudo-terminal, or serving TCP (converter, gateway server, or a gateway
// that connects to us).

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

class SimProcess {
public:
    // On a pseudo-terminal; without a bus file the arguments give the meters.
    explicit SimProcess(const QString &busFile, const QStringList &extra = {})
    {
        m_link = m_dir.filePath(QStringLiteral("sim-tty"));
        const QStringList bus = busFile.isEmpty() ? QStringList() : QStringList{QStringLiteral("--bus"), busFile};
        start(bus + QStringList{QStringLiteral("--pty"), m_link} + extra);
        QElapsedTimer clock;
        clock.start();
        while (!QFileInfo::exists(m_link) && clock.elapsed() < 10000 && m_process.state() != QProcess::NotRunning)
            QThread::msleep(20);
    }
    // Serving TCP: the arguments name the mode ("--tcp 0", "--gateway-server 0",
    // "--gateway-connect HOST:PORT"); port() is the one it listens on, if any.
    struct Tcp {};
    SimProcess(Tcp, const QStringList &arguments)
    {
        start(arguments);
        QElapsedTimer clock;
        clock.start();
        static const QRegularExpression served(QStringLiteral("127\\.0\\.0\\.1:(\\d+)"));
        while (clock.elapsed() < 10000 && m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(50);
            m_output += QString::fromLocal8Bit(m_process.readAllStandardOutput());
            if (m_output.contains(u'\n')) {
                const auto match = served.match(m_output.section(u'\n', 0, 0));
                m_port = match.hasMatch() ? match.captured(1).toUShort() : 0;
                m_started = true;
                break;
            }
        }
    }
    ~SimProcess()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

    bool isReady() const { return m_started || QFileInfo::exists(m_link); }
    const QString &link() const { return m_link; }
    quint16 port() const { return m_port; }
    // Everything the simulator printed so far (its frame trace).
    QString output()
    {
        m_output += QString::fromLocal8Bit(m_process.readAllStandardOutput());
        return m_output;
    }

    static QString demoBus() { return QStringLiteral(TELVARO_SOURCE_DIR "/tools/mbus-sim/examples/demo.bus"); }

private:
    void start(const QStringList &arguments)
    {
        m_process.setProgram(QStringLiteral(TELVARO_BIN_DIR "/mbus-sim"));
        m_process.setArguments(arguments);
        m_process.start();
    }

    QTemporaryDir m_dir;
    QString m_link;
    QProcess m_process;
    QString m_output;
    quint16 m_port = 0;
    bool m_started = false;
};
