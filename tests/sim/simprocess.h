#pragma once
// The real mbus-sim program as a child process, for the process tests.

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace simtest {
const QString kProgram = QStringLiteral(TELVARO_BIN_DIR "/mbus-sim");
const QString kDemoBus = QStringLiteral(TELVARO_SOURCE_DIR "/tools/mbus-sim/examples/demo.bus");

// The simulator as a child process, with its standard output gathered in lines.
class Sim {
public:
    explicit Sim(const QStringList &arguments) { m_process.start(kProgram, arguments); }
    ~Sim()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    // Waits for an output line starting with `prefix` and returns it, or an empty string.
    QString waitForLine(const QString &prefix, int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            m_output += QString::fromUtf8(m_process.readAllStandardOutput());
            for (const QString &line : m_output.split('\n'))
                if (line.startsWith(prefix))
                    return line;
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
                return {};
            m_process.waitForReadyRead(50);
        }
    }
    QString output()
    {
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_output;
    }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QString m_output;
};

} // namespace simtest

using simtest::kDemoBus;
using simtest::kProgram;
using simtest::Sim;
