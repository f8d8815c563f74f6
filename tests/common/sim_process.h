#pragma once
// The simulator started as a child process on a pseudo-terminal, exactly as a
// user starts it.

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

class SimProcess {
public:
    explicit SimProcess(const QString &busFile, const QStringList &extra = {})
    {
        m_link = m_dir.filePath(QStringLiteral("sim-tty"));
        m_process.setProgram(QStringLiteral(TELVARO_BIN_DIR "/mbus-sim"));
        m_process.setArguments(QStringList{QStringLiteral("--bus"), busFile, QStringLiteral("--pty"), m_link} + extra);
        m_process.start();
        QElapsedTimer clock;
        clock.start();
        while (!QFileInfo::exists(m_link) && clock.elapsed() < 10000 && m_process.state() != QProcess::NotRunning)
            QThread::msleep(20);
    }
    ~SimProcess()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

    bool isReady() const { return QFileInfo::exists(m_link); }
    const QString &link() const { return m_link; }
    // Everything the simulator printed so far (its frame trace).
    QString output()
    {
        m_output += QString::fromLocal8Bit(m_process.readAllStandardOutput());
        return m_output;
    }

    static QString demoBus() { return QStringLiteral(TELVARO_SOURCE_DIR "/tools/mbus-sim/examples/demo.bus"); }

private:
    QTemporaryDir m_dir;
    QString m_link;
    QProcess m_process;
    QString m_output;
};
