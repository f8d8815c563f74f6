#pragma once
// Shared by the TCP route tests: a log that keeps its lines, a free port and
// a main window whose settings file chooses the route.

#include "link/comm_log.h"
#include "main_window.h"

#include <QFile>
#include <QMessageBox>
#include <QTcpServer>
#include <QTemporaryDir>

#include <memory>

class Lines : public CommLog {
public:
    void addLine(const QString &line) override { lines << line; }
    int count(const QString &line) const { return int(lines.count(line)); }
    QStringList lines;
};

// A free TCP port on this machine.
inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

inline std::unique_ptr<MainWindow> windowWith(const QTemporaryDir &dir, const QByteArray &settings)
{
    QFile ini(dir.filePath(QStringLiteral("telvaro.ini")));
    if (ini.open(QIODevice::WriteOnly))
        ini.write("[Mbus]\nTimeout=300\n" + settings);
    ini.close();
    auto window = std::make_unique<MainWindow>(dir.filePath(QStringLiteral("telvaro.ini")));
    window->askYesNoCancel = [](const QString &, const QString &) { return QMessageBox::Yes; };
    return window;
}
