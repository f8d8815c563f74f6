#include "port_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// Legacy UART entries (ttyS0..ttyS31) exist whether or not a chip is behind
// them; the serial core tells by the UART type, 0 meaning none.
bool hasUart(const QDir &entry)
{
    QFile type(entry.filePath(QStringLiteral("type")));
    if (!type.open(QIODevice::ReadOnly))
        return true; // not a serial-core port (USB, ACM): the device link is enough
    bool ok = false;
    const int value = type.readAll().trimmed().toInt(&ok);
    return !ok || value != 0;
}

} // namespace

QStringList availableSerialPorts(const QString &sysClassTty, const QString &devDir)
{
    QStringList ports;
    const QDir classDir(sysClassTty);
    const QStringList prefixes{QStringLiteral("ttyUSB"), QStringLiteral("ttyACM"), QStringLiteral("ttyAMA"),
                               QStringLiteral("ttyS")};
    for (const QString &name : classDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name)) {
        if (std::none_of(prefixes.begin(), prefixes.end(), [&](const QString &p) { return name.startsWith(p); }))
            continue;
        const QDir entry(classDir.filePath(name));
        // Virtual terminals and pseudo-terminals have no device behind them.
        if (!QFileInfo::exists(entry.filePath(QStringLiteral("device"))) || !hasUart(entry))
            continue;
        const QString path = QDir(devDir).filePath(name);
        if (QFileInfo::exists(path))
            ports << path;
    }
    // USB adapters first: on a laptop they are the ports in use.
    std::stable_sort(ports.begin(), ports.end(), [&](const QString &a, const QString &b) {
        const auto rank = [&](const QString &p) {
            const QString base = QFileInfo(p).fileName();
            for (int i = 0; i < prefixes.size(); ++i)
                if (base.startsWith(prefixes[i]))
                    return i;
            return int(prefixes.size());
        };
        return rank(a) < rank(b);
    });
    return ports;
}

QString firstUsbSerialPort(const QString &sysClassTty, const QString &devDir)
{
    for (const QString &port : availableSerialPorts(sysClassTty, devDir)) {
        const QString name = QFileInfo(port).fileName();
        if (name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM")))
            return port;
    }
    return {};
}
