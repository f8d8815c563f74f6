// Helpers shared by the settings file tests: every value flattened to
// "Section/Key" -> text, whole-file reading and writing, and the temporary
// folder each test function works in.

#pragma once

#include "config/ini_file.h"
#include "config/settings.h"

#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace settings_test {

inline const QString kDefaultDir = QStringLiteral("/opt/telvaro/");

inline QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// Every value as "Section/Key" -> text, so tables can name keys as the file does.
inline QMap<QString, QString> flatten(const Settings &s)
{
    QMap<QString, QString> m;
    m[QStringLiteral("Mbus/SearchFrom")] = QString::number(s.searchFrom);
    m[QStringLiteral("Mbus/SearchTo")] = QString::number(s.searchTo);
    m[QStringLiteral("Mbus/Timeout")] = QString::number(s.timeout);
    m[QStringLiteral("Misc/Dir")] = s.dir;
    m[QStringLiteral("Misc/Language")] = QString::number(s.storedLanguage);
    m[QStringLiteral("Misc/Encoding")] = flag(s.encodingUnicode);
    m[QStringLiteral("Misc/ExportSeparator")] = s.exportSeparator;
    m[QStringLiteral("Misc/Retry")] = QString::number(s.retry);
    m[QStringLiteral("Misc/UseEthernet")] = flag(s.route.useListen);
    m[QStringLiteral("Misc/UseLANXP")] = flag(s.route.useConverter);
    m[QStringLiteral("Misc/VelkServer")] = flag(s.route.useGatewayClient);
    m[QStringLiteral("Misc/Use5B")] = flag(s.use5B);
    m[QStringLiteral("Misc/GlobalInit")] = flag(s.globalInit);
    m[QStringLiteral("Misc/MSBSearch")] = flag(s.msbSearch);
    m[QStringLiteral("Misc/LSBSearch")] = flag(s.lsbSearch);
    m[QStringLiteral("Misc/GenCode")] = s.vantirGenerationCode;
    m[QStringLiteral("Misc/SMain")] = flag(s.secondaryMain);
    m[QStringLiteral("Misc/FastReads")] = flag(s.fastReads);
    m[QStringLiteral("Misc/AllTelegrams")] = flag(s.allTelegrams);
    m[QStringLiteral("Misc/StandardTiming")] = flag(s.standardTiming);
    m[QStringLiteral("Misc/TimingMargin")] = QString::number(s.timingMarginMs);
    m[QStringLiteral("Misc/SilenceChars")] = QString::number(s.silenceChars);
    m[QStringLiteral("Archive/Enabled")] = flag(s.archiveOn);
    m[QStringLiteral("Archive/Location")] = s.archiveLocation;
    m[QStringLiteral("Com port/Name")] = s.com.name;
    m[QStringLiteral("Com port/Speed")] = s.com.speed;
    m[QStringLiteral("Com port/Parity")] = s.com.parity;
    m[QStringLiteral("Com port/RTS")] = flag(s.com.rts);
    m[QStringLiteral("Com port/DTR")] = flag(s.com.dtr);
    m[QStringLiteral("Ethernet/Port")] = s.listenPort;
    m[QStringLiteral("Ethernet/AutoOpen")] = flag(s.autoOpen);
    m[QStringLiteral("Ethernet/AutoDisplay")] = flag(s.autoDisplay);
    m[QStringLiteral("Ethernet/AutoMbus")] = flag(s.autoMbus);
    m[QStringLiteral("LANXP/IP")] = s.remoteIp;
    m[QStringLiteral("LANXP/Port")] = s.remotePort;
    m[QStringLiteral("LANXP/NetNumber")] = s.netNumber;
    m[QStringLiteral("LANXP/EthTimeout")] = QString::number(s.ethTimeout);
    m[QStringLiteral("Titles/Count")] = QString::number(s.titleCount);
    for (int i = 0; i < Settings::kTitleCount; ++i) {
        const QString key = i < 13 ? QStringLiteral("Titles/Title%1").arg(i + 1) : QStringLiteral("Titles/SecMain");
        m[key] = s.titles[i];
    }
    return m;
}

inline void compareAll(const QMap<QString, QString> &actual, const QMap<QString, QString> &expected)
{
    QCOMPARE(actual.keys(), expected.keys());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QVERIFY2(
            actual.value(it.key()) == it.value(),
            qPrintable(
                QStringLiteral("%1: got \"%2\", expected \"%3\"").arg(it.key(), actual.value(it.key()), it.value())));
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The temporary folder of the current test function, which the test class makes
// in init() and removes in cleanup(), and ways to read settings from it.
class SettingsFixture {
protected:
    QString path(const QString &name = QStringLiteral("telvaro.ini")) const { return m_dir->filePath(name); }
    Settings loadFrom(const QByteArray &content)
    {
        writeFile(path(), content);
        IniFile ini(path());
        ini.load();
        return loadSettings(ini, kDefaultDir);
    }
    QMap<QString, QString> defaults() const
    {
        IniFile ini(m_dir->filePath(QStringLiteral("absent.ini")));
        ini.load();
        return flatten(loadSettings(ini, kDefaultDir));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

} // namespace settings_test
