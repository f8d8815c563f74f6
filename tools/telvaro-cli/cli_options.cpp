#include "cli_options.h"

#include "config/ini_file.h"
#include "decode/csv.h"
#include "gateway/telegram.h"
#include "link/tcp_links.h"
#include "option_messages.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace cli {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("telvaro-cli", text);
}

// The refusals of every program's command line (option_messages.h).
QString unknownOption(const QString &argument)
{
    return QString::fromStdString(tool::unknownOption(argument.toStdString()));
}

QString badValue(const QString &option, const QString &why, const QString &value)
{
    return QString::fromStdString(tool::badValue(option.toStdString(), why.toStdString(), value.toStdString()));
}

// A date (the whole day) or a date and time; local time unless it ends in Z
// or an offset, as date(1) users expect.
QDateTime historyBound(const QString &text, bool from)
{
    if (const QDate day = QDate::fromString(text, Qt::ISODate); day.isValid() && text.size() == 10)
        return QDateTime(day, from ? QTime(0, 0) : QTime(23, 59, 59, 999)).toUTC();
    const QDateTime when = QDateTime::fromString(text, Qt::ISODate);
    return when.isValid() ? when.toUTC() : QDateTime();
}

// "FFFFFFFF", "12FFFFFF": eight digits 0-9 or F (any digit).
std::optional<std::array<std::uint8_t, 8>> pattern(const QString &text)
{
    if (text.size() != 8)
        return std::nullopt;
    std::array<std::uint8_t, 8> digits{};
    for (int i = 0; i < 8; ++i) {
        const QChar c = text.at(i).toUpper();
        if (c == u'F')
            digits[std::size_t(i)] = 15;
        else if (c >= u'0' && c <= u'9')
            digits[std::size_t(i)] = std::uint8_t(c.unicode() - u'0');
        else
            return std::nullopt;
    }
    return digits;
}

// "68 1F 1F 68", "681f1f68": upper-case pairs separated by spaces, as the
// custom command takes them; nothing when the text is no whole hex bytes.
std::optional<QString> hexPairs(const QString &text)
{
    QString digits;
    for (QChar c : text) {
        if (c.isSpace())
            continue;
        const QChar u = c.toUpper();
        if (!((u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F')))
            return std::nullopt;
        digits += u;
    }
    if (digits.isEmpty() || digits.size() % 2 != 0)
        return std::nullopt;
    QStringList pairs;
    for (qsizetype i = 0; i < digits.size(); i += 2)
        pairs << digits.mid(i, 2);
    return pairs.join(u' ');
}

} // namespace

std::optional<int> number(const QString &text, int lo, int hi)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < lo || value > hi || text.startsWith(u'+'))
        return std::nullopt;
    return value;
}

bool isId(const QString &text)
{
    if (text.size() != 8)
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// "host:port" with a port 1..65535; an IPv6 address in brackets ("[::1]:10001").
bool hostPort(const QString &text)
{
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0 || !number(text.mid(colon + 1), 1, 65535))
        return false;
    QString host;
    quint16 port = 0;
    return remoteEndpoint(text.left(colon), text.mid(colon + 1), 0, &host, &port);
}

QString parityName(const QString &text)
{
    for (const char *name : {"None", "Even", "Odd", "Mark", "Space"})
        if (text.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return QLatin1String(name);
    return {};
}

bool isBaudRate(const QString &text)
{
    return QStringList{"300", "2400", "4800", "9600", "19200"}.contains(text);
}

void splitHostPort(const QString &hostPort, QString *host, QString *port)
{
    const qsizetype colon = hostPort.lastIndexOf(u':');
    *host = hostPort.left(colon);
    *port = hostPort.mid(colon + 1);
}

const QStringList &commandNames()
{
    // In the order of Command.
    static const QStringList names{"scan", "read", "read-all", "search", "set-address", "raw", "history", "archive"};
    return names;
}

const QStringList &flagOptions()
{
    static const QStringList names{"--nke",   "--lsb",   "--fast",  "--all-telegrams",   "--verbose",
                                   "--quiet", "--force", "--store", "--standard-timing", "--no-standard-timing"};
    return names;
}

const QStringList &valuedOptions()
{
    static const QStringList names{"--from",    "--to",     "--retries",   "--pattern",      "--id",  "--port",
                                   "--baud",    "--parity", "--tcp",       "--gateway",      "--net", "--settings",
                                   "--timeout", "--format", "--separator", "--timing-margin"};
    return names;
}

ParseResult parseCommandLine(const QStringList &arguments)
{
    ParseResult r;
    Options &o = r.options;
    QStringList positional;
    const auto fail = [&r](const QString &error) {
        r.error = error;
        return r;
    };
    const QStringList &kFlags = flagOptions();
    const QStringList &kValued = valuedOptions();
    bool commandSeen = false;
    QString afterBareStore; // the argument that follows a bare --store
    std::optional<QString> fromText, toText;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString arg = arguments.at(i);
        // "--option=value" as well as "--option value".
        std::optional<QString> attached;
        if (const qsizetype eq = arg.indexOf(u'='); arg.startsWith(QLatin1String("--")) && eq > 2) {
            attached = arg.mid(eq + 1);
            arg.truncate(eq);
        }
        if (arg.startsWith(QLatin1String("--")) && !kFlags.contains(arg) && !kValued.contains(arg)
            && arg != QLatin1String("--help") && arg != QLatin1String("--version"))
            return fail(unknownOption(arg));
        if (attached && !kValued.contains(arg) && arg != QLatin1String("--store"))
            return fail(QString::fromStdString(tool::takesNoValue(arg.toStdString(), attached->toStdString())));
        const auto value = [&](QString *out) {
            if (attached) {
                *out = *attached;
                return true;
            }
            if (i + 1 >= arguments.size())
                return false;
            *out = arguments.at(++i);
            return true;
        };
        QString v;
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            r.help = true;
            return r;
        }
        if (arg == QLatin1String("-V") || arg == QLatin1String("--version")) {
            r.version = true;
            return r;
        }
        if (arg.startsWith(u'-') && !arg.startsWith(QLatin1String("--")) && arg.size() > 1 && !arg.at(1).isDigit())
            return fail(unknownOption(arg));
        if (!arg.startsWith(QLatin1String("--"))) {
            if (!commandSeen) {
                const qsizetype index = commandNames().indexOf(arg);
                if (index < 0)
                    return fail(tr("unknown command '%1' (see --help)").arg(arg));
                o.command = Command(index);
                commandSeen = true;
            } else {
                positional << arg;
            }
            continue;
        }
        // Options that take no value.
        if (arg == QLatin1String("--nke")) {
            o.nke = true;
        } else if (arg == QLatin1String("--lsb")) {
            o.lsb = true;
        } else if (arg == QLatin1String("--fast")) {
            o.fast = true;
        } else if (arg == QLatin1String("--all-telegrams")) {
            o.allTelegrams = true;
        } else if (arg == QLatin1String("--standard-timing")) {
            o.standardTiming = true;
        } else if (arg == QLatin1String("--no-standard-timing")) {
            o.standardTiming = false;
        } else if (arg == QLatin1String("--verbose")) {
            o.verbose = true;
        } else if (arg == QLatin1String("--quiet")) {
            o.quiet = true;
        } else if (arg == QLatin1String("--force")) {
            o.force = true;
        } else if (arg == QLatin1String("--store")) {
            // The archive is named only joined to the option ("--store=FILE"):
            // a separate word stays what it is, an address or an ID.
            if (attached && attached->isEmpty())
                return fail(badValue(arg, tr("must name the archive after the '=' (--store alone: the default one)"),
                                     *attached));
            o.store = attached.value_or(QString());
            if (!attached)
                afterBareStore = arguments.value(i + 1);
        } else if (!value(&v)) {
            return fail(QString::fromStdString(tool::needsValue(arg.toStdString())));
        } else if (arg == QLatin1String("--from") || arg == QLatin1String("--to")) {
            // An address for a scan, a date for the history: told apart once the command is known.
            (arg == QLatin1String("--from") ? fromText : toText) = v;
        } else if (arg == QLatin1String("--timing-margin")) {
            const auto n = number(v, 0, 1000);
            if (!n)
                return fail(badValue(arg, tr("must be 0..1000 ms"), v));
            o.timingMarginMs = *n;
        } else if (arg == QLatin1String("--retries")) {
            const auto n = number(v, 0, 9);
            if (!n)
                return fail(badValue(arg, tr("must be 0..9"), v));
            o.retries = *n;
        } else if (arg == QLatin1String("--pattern")) {
            const auto p = pattern(v);
            if (!p)
                return fail(badValue(arg, tr("must be 8 digits 0-9 or F"), v));
            o.pattern = *p;
        } else if (arg == QLatin1String("--id")) {
            if (!isId(v))
                return fail(badValue(arg, tr("must be 8 digits"), v));
            o.id = v;
        } else if (arg == QLatin1String("--port")) {
            o.port = v;
        } else if (arg == QLatin1String("--baud")) {
            if (!isBaudRate(v))
                return fail(badValue(arg, tr("must be 300, 2400, 4800, 9600 or 19200"), v));
            o.baud = v;
        } else if (arg == QLatin1String("--parity")) {
            const QString name = parityName(v);
            if (name.isEmpty())
                return fail(badValue(arg, tr("must be none, even, odd, mark or space"), v));
            o.parity = name;
        } else if (arg == QLatin1String("--tcp") || arg == QLatin1String("--gateway")) {
            if (!hostPort(v))
                return fail(badValue(arg, tr("must be HOST:PORT"), v));
            (arg == QLatin1String("--tcp") ? o.tcpHost : o.gatewayHost) = v;
        } else if (arg == QLatin1String("--net")) {
            if (!gateway::parseNetworkNumber(v.toStdString()))
                return fail(badValue(arg, tr("must be a.b.c.d, four numbers 0..255"), v));
            o.net = v;
        } else if (arg == QLatin1String("--settings")) {
            o.settingsFile = v;
        } else if (arg == QLatin1String("--timeout")) {
            const auto n = number(v, Settings::kTimeoutMin, Settings::kTimeoutMax);
            if (!n)
                return fail(
                    badValue(arg, tr("must be %1..%2 ms").arg(Settings::kTimeoutMin).arg(Settings::kTimeoutMax), v));
            o.timeoutMs = *n;
        } else if (arg == QLatin1String("--format")) {
            static const QStringList kFormats{"text", "csv", "json"};
            const qsizetype index = kFormats.indexOf(v);
            if (index < 0)
                return fail(badValue(arg, tr("must be text, csv or json"), v));
            o.format = Format(index);
        } else if (arg == QLatin1String("--separator")) {
            // The writer's own rule: anything else would be cut or replaced.
            if (decode::csv::effectiveSeparator(v.toStdString()) != v.toStdString())
                return fail(badValue(arg, tr("must be one character other than a double quote or a line break"), v));
            o.separator = v;
        } else {
            return fail(unknownOption(arg));
        }
    }
    if (!commandSeen)
        return fail(tr("no command given (see --help)"));
    for (const auto &[text, name] : {std::pair{fromText, "--from"}, std::pair{toText, "--to"}}) {
        if (!text)
            continue;
        if (o.command == Command::History) {
            const bool from = qstrcmp(name, "--from") == 0;
            const QDateTime when = historyBound(*text, from);
            if (!when.isValid())
                return fail(badValue(QLatin1String(name),
                                     tr("must be a date such as 2026-12-31 or a time such as 2026-12-31T08:50"),
                                     *text));
            (from ? o.historyFrom : o.historyTo) = when;
        } else {
            const auto n = number(*text, 0, 250);
            if (!n)
                return fail(badValue(QLatin1String(name), tr("must be an address 0..250"), *text));
            (qstrcmp(name, "--from") == 0 ? o.from : o.to) = *n;
        }
    }
    if (int(o.port.has_value()) + int(o.tcpHost.has_value()) + int(o.gatewayHost.has_value()) > 1)
        return fail(tr("choose one of --port, --tcp and --gateway"));
    if (o.quiet && o.verbose)
        return fail(tr("choose one of --quiet and --verbose"));
    // "--store readings.db": the word was meant as the archive.
    const auto refusedPositional = [&](const QString &text, const QString &error) {
        if (!afterBareStore.isEmpty() && text == afterBareStore)
            return fail(tr("%1: an archive is named joined to the option, --store=%1").arg(text));
        return fail(error);
    };

    switch (o.command) {
    case Command::Scan:
    case Command::ReadAll:
    case Command::Search:
        if (!positional.isEmpty())
            return refusedPositional(positional.first(), tr("unexpected argument '%1'").arg(positional.first()));
        break;
    case Command::Read:
        if (positional.isEmpty())
            return fail(tr("read needs at least one primary address"));
        for (const QString &text : std::as_const(positional)) {
            const auto n = number(text, 0, 250);
            if (!n)
                return refusedPositional(text, tr("%1 is not a primary address (0..250)").arg(text));
            if (!o.addresses.contains(*n))
                o.addresses << *n;
        }
        break;
    case Command::SetAddress: {
        if (positional.size() != (o.id.isEmpty() ? 2 : 1))
            return fail(o.id.isEmpty() ? tr("set-address needs OLD and NEW, or --id ID and NEW")
                                       : tr("set-address --id ID needs NEW only"));
        if (o.id.isEmpty()) {
            o.oldAddress = number(positional.first(), 0, 250);
            if (!o.oldAddress)
                return refusedPositional(positional.first(),
                                         tr("%1 is not a primary address (0..250)").arg(positional.first()));
        }
        const auto n = number(positional.last(), 0, 250);
        if (!n)
            return refusedPositional(positional.last(),
                                     tr("%1 is not a primary address (0..250)").arg(positional.last()));
        o.newAddress = *n;
        break;
    }
    case Command::History:
        for (const QString &text : std::as_const(positional))
            if (!isId(text))
                return refusedPositional(text, tr("history needs the meter's ID, 8 digits"));
        if (positional.size() != 1)
            return fail(tr("history needs the meter's ID, 8 digits"));
        o.historyId = positional.first();
        break;
    case Command::Archive:
        if (positional.size() != 2 || positional.first() != QLatin1String("backup"))
            return fail(tr("archive needs backup and the file the copy goes to"));
        o.backupFile = positional.last();
        break;
    case Command::Raw: {
        const auto hex = hexPairs(positional.join(u' '));
        if (!hex)
            return fail(tr("raw needs the frame as whole hex bytes, e.g. \"10 7B 01 7C 16\""));
        o.hex = *hex;
        break;
    }
    }
    return r;
}

RunSettings runSettings(const Options &o)
{
    constexpr int kLastAddress = 250; // the last primary address a meter may have
    RunSettings r;
    Settings &s = r.settings;
    if (!o.settingsFile.isEmpty()) {
        if (!QFileInfo(o.settingsFile).isFile()) {
            r.error = tr("cannot read the settings file %1").arg(o.settingsFile);
            return r;
        }
        IniFile ini(o.settingsFile);
        if (!ini.load() || !ini.readError().isEmpty()) {
            r.error = tr("cannot read the settings file %1: %2").arg(o.settingsFile, ini.readError());
            return r;
        }
        s = loadSettings(ini, QFileInfo(o.settingsFile).absolutePath() + u'/');
        if (!ini.hasKey(QStringLiteral("Mbus"), QStringLiteral("SearchTo")))
            s.searchTo = kLastAddress; // a file that never held a range
    } else if (!o.port && !o.tcpHost && !o.gatewayHost) {
        r.error = tr("no way to the bus: give --port, --tcp, --gateway or --settings");
        return r;
    }
    if (s.route.useListen && !o.port && !o.tcpHost && !o.gatewayHost) {
        r.error = tr("gateways calling in are not served from the command line: give --port, --tcp or --gateway");
        return r;
    }
    if (o.settingsFile.isEmpty()) {
        s.searchFrom = 0;
        s.searchTo = kLastAddress;
    }
    s.searchFrom = o.from.value_or(std::min(s.searchFrom, kLastAddress));
    s.searchTo = o.to.value_or(std::min(s.searchTo, kLastAddress));
    if (s.searchTo < s.searchFrom) // as the window does
        std::swap(s.searchFrom, s.searchTo);
    if (o.port) {
        s.route = RouteChoice();
        s.com.name = *o.port;
    } else if (o.tcpHost) {
        s.route = RouteChoice();
        s.route.useConverter = true;
        splitHostPort(*o.tcpHost, &s.remoteIp, &s.remotePort);
    } else if (o.gatewayHost) {
        s.route = RouteChoice();
        s.route.useGatewayClient = true;
        splitHostPort(*o.gatewayHost, &s.remoteIp, &s.remotePort);
    }
    if (o.baud)
        s.com.speed = *o.baud;
    else if (o.port && o.settingsFile.isEmpty())
        s.com.speed = QStringLiteral("2400"); // the usual M-Bus speed, not the dialog's 300
    if (o.parity)
        s.com.parity = *o.parity;
    if (o.net)
        s.netNumber = *o.net;
    if (o.timeoutMs)
        s.timeout = *o.timeoutMs;
    if (o.retries)
        s.retry = *o.retries;
    if (o.separator)
        s.exportSeparator = *o.separator;
    s.fastReads = s.fastReads || o.fast;
    s.allTelegrams = s.allTelegrams || o.allTelegrams;
    s.standardTiming = o.standardTiming.value_or(s.standardTiming);
    s.timingMarginMs = o.timingMarginMs.value_or(s.timingMarginMs);
    s.lsbSearch = s.lsbSearch || o.lsb;
    return r;
}

QString helpText()
{
    return tr(R"(Usage: telvaro-cli COMMAND [ARGUMENTS] [OPTIONS]

Reads and configures M-Bus meters from the command line, with the operations
and the decoder of the Telvaro program.

Commands:
  scan                  ask the primary addresses --from .. --to (0..250)
  read ADDR...          read the meters at these primary addresses
  read-all              scan, then read every meter the scan found
  search                secondary-address search by wildcards (--pattern, --lsb)
  set-address OLD NEW   give the meter at OLD the primary address NEW
  set-address --id ID NEW
                        the same for the meter with this identification;
                        NEW is written only when it stays silent to every try,
                        on a bus that has not been losing replies: refused
                        when another meter or a damaged reply answers there
                        (--force gives it all the same)
  raw HEX               send one frame as it stands; the reply's bytes in hex on
                        standard output (for mbus-decode), its report on
                        standard error
  history ID            the readings archive's readings of the meter with this
                        identification, newest first; --from, --to limit them:
                        a date (2026-01-01, the whole day) or a time
                        (2026-01-01T08:50), local time unless it ends in Z or
                        an offset (+01:00). No bus is needed
  archive backup FILE   a consistent copy of the readings archive (--store=)
                        into the new file FILE, while other programs go on
                        writing into it. No bus is needed

Way to the bus (one of them, or --settings):
  --port DEVICE         serial port, e.g. /dev/ttyUSB0
  --baud N              300, 2400 (default), 4800, 9600, 19200
  --parity P            none, even (default), odd, mark, space
  --tcp HOST:PORT       serial-to-TCP converter
  --gateway HOST:PORT   gateway server (300-byte gateway telegrams)
  --net a.b.c.d         the gateway's network number
  --settings FILE       link and reading settings from a Telvaro settings file;
                        the options above override it

Reading:
  --timeout MS          response timeout, 300..9900 (default 500)
  --retries N           how often one question may be asked again, 0..9
                        (default 1); with 1 an address or pattern that stayed
                        silent is asked again only once the bus has lost a
                        reply, with 2 or more always
  --nke                 SND_NKE before each reading, its E5 awaited every try
  --fast                take a reply as soon as it is a whole frame, and read
                        without the SND_NKE that otherwise starts each reading
                        at the meter's first telegram
  --all-telegrams       follow DIF 1F: read every telegram of a meter
  --standard-timing     serial port (the default): an answer not begun within
                        330 bit times + 50 ms (+ the settings' margin, 20 ms) is
                        silence; one that began is over when it is a whole frame
                        or the line falls quiet
  --no-standard-timing  await every answer for the response timeout: for a
                        converter or adapter that holds bytes back
  --timing-margin MS    the margin of standard timing, 0..1000
  --from N, --to M      the scan range (default: the settings file's, else 0..250)
  --pattern PATTERN     search only IDs that match, F for any digit (FFFFFFFF)
  --lsb                 search from the rightmost digit
  --force               set-address: give the new address even when another
                        meter answers at it

Readings archive:
  --store               keep every reading in the program's own readings archive;
                        for history, read that one
  --store=LOCATION      the same with another archive: a file, or a
                        postgresql://user@host:port/db URL (the password in
                        ~/.pgpass or PGPASSFILE); the location is always
                        joined to the option with '='.
                        history never makes an archive that is not there

Output (results on standard output, progress and messages on standard error):
  --format FORMAT       text (the detailed report, in the user's language), csv
                        or json: the same bytes in every locale, one row or
                        object per meter reading. CSV columns: read_at (UTC),
                        id, address, manufacturer, version, medium,
                        medium_code, value, unit, status, access, complete;
                        JSON as share/telvaro/reading.schema.json describes
  --separator C         CSV separator, one character other than a double quote
                        or a line break (default ";" or the settings file's)
  --verbose             the communication log on standard error
  --quiet               errors only on standard error: no progress, and an
                        operation's summary only when something failed
  -h, --help            this help
  -V, --version         the version

After every operation one line on standard error sums up what it found.

Exit status: 0 done; 1 a meter asked did not answer or answered only with
damaged replies (a scan as well), a reading ended while the meter announced
more, a write (a new address) was sent but not confirmed, or a search left
meters it could not tell apart; 2 bad command line, no link to the bus, or the
link was lost (what was read before is printed);
3 read, but not all readings could be stored in the archive (--store; the
readings are printed, how many were not stored is said on standard error);
130 interrupted (what was read so far is printed). 1, 2 and 130 come before 3.
history: 0 readings printed, 1 none in the span, 2 the archive cannot be read.
)");
}

} // namespace cli
