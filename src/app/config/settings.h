#pragma once
// Everything the settings file holds, with its defaults, and the groups of keys
// that each window writes back.

#include "ini_file.h"

#include <QString>

#include <array>

struct ComPortSettings {
    QString name = QStringLiteral("COM1");
    QString speed = QStringLiteral("300");
    QString parity = QStringLiteral("Even");
    bool rts = false; // stored and shown only
    bool dtr = false; // stored and shown only
};

// Link route boxes as stored; when several are set the dispatch applies its precedence.
struct RouteChoice {
    bool useListen = false;        // listen route
    bool useGatewayClient = false; // gateway-client route
    bool useConverter = false;     // converter route
};

struct Settings {
    static constexpr int kTimeoutMin = 300, kTimeoutMax = 9900, kTimeoutDefault = 500;
    static constexpr int kAddressMax = 255;
    static constexpr int kTitleCount = 14; // Title1..Title13, then SecMain
    static constexpr int kTitleLength = 15;

    // [Mbus]
    int searchFrom = 0;
    int searchTo = 0;
    int timeout = kTimeoutDefault;

    // [Misc]
    QString dir;            // data folder, with trailing separator
    int storedLanguage = 1; // as the file keeps it: 1 English, 2 Italian, 3 Polish; other numbers are kept
    bool encodingUnicode = false;
    QString exportSeparator = QStringLiteral(";");
    int retry = 1;
    RouteChoice route;
    bool use5B = false;
    bool globalInit = false;
    bool msbSearch = true;
    bool lsbSearch = false;
    QString vantirGenerationCode = QStringLiteral("27");
    bool secondaryMain = false;
    bool fastReads = false;    // "Complete reply early"
    bool allTelegrams = false; // "Read all telegrams"
    // "Standard bus timing": an answer must begin within the standard's window
    // (330 bit times + 50 ms after the request) plus this margin, and is over
    // when the line has been silent this many character times. On by default:
    // a silent address costs the window, not the response timeout.
    bool standardTiming = true;
    int timingMarginMs = 20;
    int silenceChars = 3;

    ComPortSettings com;

    // [Ethernet]
    QString listenPort = QStringLiteral("59615");
    bool autoOpen = true;
    bool autoDisplay = true;
    bool autoMbus = false;

    // [LANXP]
    QString remoteIp = QStringLiteral("192.168.1.3");
    QString remotePort = QStringLiteral("10001");
    QString netNumber;
    int ethTimeout = 50;

    // [Archive]: every valid reading kept (Location empty: the default file)
    bool archiveOn = true;
    QString archiveLocation;
    QString archiveStation; // the name readings are stored under; empty: the host name

    // [Titles]
    int titleCount = 0;
    std::array<QString, kTitleCount> titles;

    // [Window]: the log's height below the device table, in pixels; 0 until
    // the user has moved the divider (the table then takes all but a few lines).
    static constexpr int kLogHeightMax = 4000;
    int logHeight = 0;
};

// Reads every key; out-of-range numbers are clamped to their control's range,
// titles are cut to 15 characters. defaultDir is the program folder.
Settings loadSettings(const IniFile &ini, const QString &defaultDir);

// The serial port keys of the settings dialog's first page.
void writeComPortKeys(IniFile &ini, const Settings &settings);

// Everything "Apply" of the settings dialog's first page writes: the serial
// port, then "Misc", "Ethernet", "LANXP" and "Archive", in this order.
void writePortPageKeys(IniFile &ini, const Settings &settings);

// What "Apply" of the titles page writes: count, the 13 titles, the secondary
// main title, then "Misc"/"SMain".
void writeTitlesPageKeys(IniFile &ini, const Settings &settings);

// The keys the main window writes when it closes: the search range, the
// timeout, the data folder, the language and the log's height.
void writeMainWindowKeys(IniFile &ini, const Settings &settings);
