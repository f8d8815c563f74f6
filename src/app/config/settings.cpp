#include "settings.h"

#include <algorithm>

namespace {
const QString kMbus = QStringLiteral("Mbus");
const QString kMisc = QStringLiteral("Misc");
const QString kCom = QStringLiteral("Com port");
const QString kEthernet = QStringLiteral("Ethernet");
const QString kLanxp = QStringLiteral("LANXP");
const QString kTitles = QStringLiteral("Titles");
const QString kArchive = QStringLiteral("Archive");
const QString kWindow = QStringLiteral("Window");

int clamped(const IniFile &ini, const QString &section, const QString &key, int def, int lo, int hi)
{
    return std::clamp(ini.readInteger(section, key, def), lo, hi);
}
} // namespace

Settings loadSettings(const IniFile &ini, const QString &defaultDir)
{
    Settings s;
    s.searchFrom = clamped(ini, kMbus, QStringLiteral("SearchFrom"), 0, 0, Settings::kAddressMax);
    s.searchTo = clamped(ini, kMbus, QStringLiteral("SearchTo"), 0, 0, Settings::kAddressMax);
    s.timeout = clamped(ini, kMbus, QStringLiteral("Timeout"), Settings::kTimeoutDefault, Settings::kTimeoutMin,
                        Settings::kTimeoutMax);

    s.dir = ini.readString(kMisc, QStringLiteral("Dir"), defaultDir);
    s.storedLanguage = ini.readInteger(kMisc, QStringLiteral("Language"), 1);
    s.encodingUnicode = ini.readBool(kMisc, QStringLiteral("Encoding"), false);
    s.exportSeparator = ini.readString(kMisc, QStringLiteral("ExportSeparator"), QStringLiteral(";"));
    s.retry = clamped(ini, kMisc, QStringLiteral("Retry"), 1, 0, 9);
    s.route.useListen = ini.readBool(kMisc, QStringLiteral("UseEthernet"), false);
    s.route.useConverter = ini.readBool(kMisc, QStringLiteral("UseLANXP"), false);
    s.route.useGatewayClient = ini.readBool(kMisc, QStringLiteral("VelkServer"), false);
    s.use5B = ini.readBool(kMisc, QStringLiteral("Use5B"), false);
    s.globalInit = ini.readBool(kMisc, QStringLiteral("GlobalInit"), false);
    s.msbSearch = ini.readBool(kMisc, QStringLiteral("MSBSearch"), true);
    s.lsbSearch = ini.readBool(kMisc, QStringLiteral("LSBSearch"), false);
    s.vantirGenerationCode = ini.readString(kMisc, QStringLiteral("GenCode"), QStringLiteral("27"));
    s.secondaryMain = ini.readBool(kMisc, QStringLiteral("SMain"), false);
    s.fastReads = ini.readBool(kMisc, QStringLiteral("FastReads"), false);
    s.allTelegrams = ini.readBool(kMisc, QStringLiteral("AllTelegrams"), false);
    s.standardTiming = ini.readBool(kMisc, QStringLiteral("StandardTiming"), true);
    s.timingMarginMs = clamped(ini, kMisc, QStringLiteral("TimingMargin"), 20, 0, 1000);
    s.silenceChars = clamped(ini, kMisc, QStringLiteral("SilenceChars"), 3, 1, 100);

    s.com.name = ini.readString(kCom, QStringLiteral("Name"), s.com.name);
    s.com.speed = ini.readString(kCom, QStringLiteral("Speed"), s.com.speed);
    s.com.parity = ini.readString(kCom, QStringLiteral("Parity"), s.com.parity);
    s.com.rts = ini.readBool(kCom, QStringLiteral("RTS"), false);
    s.com.dtr = ini.readBool(kCom, QStringLiteral("DTR"), false);

    s.listenPort = ini.readString(kEthernet, QStringLiteral("Port"), s.listenPort);
    s.autoOpen = ini.readBool(kEthernet, QStringLiteral("AutoOpen"), true);
    s.autoDisplay = ini.readBool(kEthernet, QStringLiteral("AutoDisplay"), true);
    s.autoMbus = ini.readBool(kEthernet, QStringLiteral("AutoMbus"), false);

    s.remoteIp = ini.readString(kLanxp, QStringLiteral("IP"), s.remoteIp);
    s.remotePort = ini.readString(kLanxp, QStringLiteral("Port"), s.remotePort);
    s.netNumber = ini.readString(kLanxp, QStringLiteral("NetNumber"), QString());
    s.ethTimeout = clamped(ini, kLanxp, QStringLiteral("EthTimeout"), 50, 20, 999);

    s.archiveOn = ini.readBool(kArchive, QStringLiteral("Enabled"), true);
    s.archiveLocation = ini.readString(kArchive, QStringLiteral("Location"), QString());
    s.archiveStation = ini.readString(kArchive, QStringLiteral("Station"), QString());

    s.titleCount = clamped(ini, kTitles, QStringLiteral("Count"), 0, 0, 13);
    for (int i = 0; i < Settings::kTitleCount; ++i) {
        const QString key = i < 13 ? QStringLiteral("Title%1").arg(i + 1) : QStringLiteral("SecMain");
        s.titles[i] = ini.readString(kTitles, key, QString()).left(Settings::kTitleLength);
    }
    s.logHeight = clamped(ini, kWindow, QStringLiteral("LogHeight"), 0, 0, Settings::kLogHeightMax);
    return s;
}

void writeMainWindowKeys(IniFile &ini, const Settings &s)
{
    ini.writeInteger(kMbus, QStringLiteral("SearchFrom"), s.searchFrom);
    ini.writeInteger(kMbus, QStringLiteral("SearchTo"), s.searchTo);
    ini.writeInteger(kMbus, QStringLiteral("Timeout"), s.timeout);
    ini.writeString(kMisc, QStringLiteral("Dir"), s.dir);
    ini.writeInteger(kMisc, QStringLiteral("Language"), s.storedLanguage);
    if (s.logHeight > 0)
        ini.writeInteger(kWindow, QStringLiteral("LogHeight"), s.logHeight);
}

void writeComPortKeys(IniFile &ini, const Settings &s)
{
    ini.writeString(kCom, QStringLiteral("Name"), s.com.name);
    ini.writeString(kCom, QStringLiteral("Speed"), s.com.speed);
    ini.writeString(kCom, QStringLiteral("Parity"), s.com.parity);
    ini.writeBool(kCom, QStringLiteral("RTS"), s.com.rts);
    ini.writeBool(kCom, QStringLiteral("DTR"), s.com.dtr);
}

void writePortPageKeys(IniFile &ini, const Settings &s)
{
    writeComPortKeys(ini, s);

    ini.writeString(kMisc, QStringLiteral("ExportSeparator"), s.exportSeparator);
    ini.writeInteger(kMisc, QStringLiteral("Retry"), s.retry);
    ini.writeBool(kMisc, QStringLiteral("UseEthernet"), s.route.useListen);
    ini.writeBool(kMisc, QStringLiteral("UseLANXP"), s.route.useConverter);
    ini.writeBool(kMisc, QStringLiteral("VelkServer"), s.route.useGatewayClient);
    ini.writeBool(kMisc, QStringLiteral("Use5B"), s.use5B);
    ini.writeBool(kMisc, QStringLiteral("GlobalInit"), s.globalInit);
    ini.writeBool(kMisc, QStringLiteral("MSBSearch"), s.msbSearch);
    ini.writeBool(kMisc, QStringLiteral("LSBSearch"), s.lsbSearch);
    ini.writeBool(kMisc, QStringLiteral("Encoding"), s.encodingUnicode);
    ini.writeString(kMisc, QStringLiteral("GenCode"), s.vantirGenerationCode);
    ini.writeBool(kMisc, QStringLiteral("FastReads"), s.fastReads);
    ini.writeBool(kMisc, QStringLiteral("AllTelegrams"), s.allTelegrams);
    ini.writeBool(kMisc, QStringLiteral("StandardTiming"), s.standardTiming);
    ini.writeInteger(kMisc, QStringLiteral("TimingMargin"), s.timingMarginMs);

    ini.writeString(kEthernet, QStringLiteral("Port"), s.listenPort);
    ini.writeBool(kEthernet, QStringLiteral("AutoOpen"), s.autoOpen);
    ini.writeBool(kEthernet, QStringLiteral("AutoDisplay"), s.autoDisplay);
    ini.writeBool(kEthernet, QStringLiteral("AutoMbus"), s.autoMbus);

    ini.writeString(kLanxp, QStringLiteral("IP"), s.remoteIp);
    ini.writeString(kLanxp, QStringLiteral("Port"), s.remotePort);
    ini.writeString(kLanxp, QStringLiteral("NetNumber"), s.netNumber);
    ini.writeInteger(kLanxp, QStringLiteral("EthTimeout"), s.ethTimeout);

    ini.writeBool(kArchive, QStringLiteral("Enabled"), s.archiveOn);
    ini.writeString(kArchive, QStringLiteral("Location"), s.archiveLocation);
}

void writeTitlesPageKeys(IniFile &ini, const Settings &s)
{
    ini.writeInteger(kTitles, QStringLiteral("Count"), s.titleCount);
    for (int i = 0; i < Settings::kTitleCount; ++i) {
        const QString key = i < 13 ? QStringLiteral("Title%1").arg(i + 1) : QStringLiteral("SecMain");
        ini.writeString(kTitles, key, s.titles[std::size_t(i)]);
    }
    ini.writeBool(kMisc, QStringLiteral("SMain"), s.secondaryMain);
}
