#pragma once
// The command line of telvaro-cli: one command and its options, the link
// options as the settings file names them, and the output format. Parsing
// only; nothing here opens a port.

#include "config/settings.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

namespace cli {

enum class Command { Scan, Read, ReadAll, Search, SetAddress, Raw, History, Archive };
enum class Format { Text, Csv, Json };

struct Options {
    Command command = Command::Scan;

    // scan: the range, when given (else the settings file's, else 0..250)
    std::optional<int> from, to;
    bool nke = false;
    std::optional<int> retries;
    // read
    QList<int> addresses;
    // search: leftmost digit first, 15 for an open digit
    std::array<std::uint8_t, 8> pattern{15, 15, 15, 15, 15, 15, 15, 15};
    bool lsb = false;
    // set-address: OLD NEW, or --id ID NEW
    std::optional<int> oldAddress;
    QString id;
    int newAddress = 0;
    bool force = false; // give the address even when another meter answers at it
    // raw: the frame, upper-case hex pairs separated by spaces
    QString hex;
    // history: the meter and the time span (in UTC; invalid: open)
    QString historyId;
    QDateTime historyFrom, historyTo;
    // archive backup FILE: where the copy goes
    QString backupFile;
    // --store or --store=LOCATION: keep what is read in the readings archive
    // (empty: the default one); for history, the archive to read
    std::optional<QString> store;

    // Link and reading settings: the settings file (when given) with the
    // command line's options over it.
    QString settingsFile;
    std::optional<QString> port, baud, parity;
    std::optional<QString> tcpHost, gatewayHost; // "HOST:PORT"
    std::optional<QString> net;
    std::optional<int> timeoutMs;
    bool fast = false;
    bool allTelegrams = false;
    std::optional<bool> standardTiming; // --standard-timing, --no-standard-timing
    std::optional<int> timingMarginMs;
    std::optional<QString> separator;

    Format format = Format::Text;
    bool verbose = false;
    bool quiet = false; // errors only on standard error
};

struct ParseResult {
    Options options;
    bool help = false;
    bool version = false;
    QString error; // one line; the command line was refused
};

// arguments without the program name.
ParseResult parseCommandLine(const QStringList &arguments);

// What the parser takes: the commands, the options without a value and
// those with one (besides --help and --version).
const QStringList &commandNames();
const QStringList &flagOptions();
const QStringList &valuedOptions();

// The settings the run uses: the file's (or the defaults), then the command
// line's link and reading options. error is set when the file cannot be read
// or no link is chosen at all.
// The settings a run uses; searchFrom..searchTo is the scan range.
struct RunSettings {
    Settings settings;
    QString error;
};
RunSettings runSettings(const Options &options);

QString helpText();

// The checks of values the command line and the collector's file share.
// A decimal number lo..hi, without a sign.
std::optional<int> number(const QString &text, int lo, int hi);
bool isId(const QString &text); // eight digits
// "host:port" with a port 1..65535; an IPv6 address in brackets ("[::1]:10001").
bool hostPort(const QString &text);
// A text hostPort() took, cut at its last colon.
void splitHostPort(const QString &hostPort, QString *host, QString *port);
// "None", "Even", ... as the settings write them; empty when the text is none of them.
QString parityName(const QString &text);
// 300, 2400, 4800, 9600 or 19200.
bool isBaudRate(const QString &text);

} // namespace cli
