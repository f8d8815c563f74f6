#include "options.h"

#include "busfile.h"
#include "option_messages.h"
#include "randombus.h"

#include <QCommandLineParser>

#include <algorithm>
#include <cstdio>

namespace {
struct Parser {
    QCommandLineParser p;
    QList<QCommandLineOption> options;
    Parser()
    {
        p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        options = {
            {{"h", "help"}, "Show this help and exit."},
            {{"V", "version"}, "Show the version and exit."},
            {"bus",
             "Bus file describing the meters (format below). Required unless --random-meters is "
             "given.",
             "FILE"},
            {"random-meters",
             "Add N generated meters (1..1000): random unique 8-digit IDs, no primary "
             "address, a volume or energy counter; the same --seed gives the same meters.",
             "N"},
            {"pty",
             "Serve the bus on a new pseudo-terminal; LINK becomes a symbolic link to its device "
             "(a stale link is replaced, the link is removed at exit).",
             "LINK"},
            {"tcp",
             "Serve the bus as a serial-to-TCP converter on 127.0.0.1:PORT (0 picks a free port). "
             "Bytes travel bare; one client at a time, a second one waits until the first leaves.",
             "PORT"},
            {"gateway-server",
             "Serve the bus as a gateway on 127.0.0.1:PORT (0 picks a free port): requests "
             "and replies travel in 300-byte gateway telegrams. One client at a time, as --tcp.",
             "PORT"},
            {"gateway-connect",
             "Be a gateway that connects to a master listening at HOST:PORT, sends a status "
             "telegram (result 0) at once, then serves the master's telegrams. Ends when the "
             "connection ends, unless --reconnect is given.",
             "HOST:PORT"},
            {"reconnect",
             "With --gateway-connect: connect again MS milliseconds after the connection was closed "
             "or could not be made.",
             "MS"},
            {"net", "The gateway's network number, sent in every reply telegram (default 0.0.0.1).", "a.b.c.d"},
            {"gateway-fault",
             "With a gateway mode: damage PERCENT (default 100) of the reply telegrams. KIND: "
             "bad-checksum (byte 298 wrong), bad-start (byte 0 not 01), oversize (10 junk bytes "
             "after the telegram, all 310 in one write), silent (no reply). May be given several "
             "times; the first kind that strikes a telegram counts.",
             "KIND[:PERCENT]"},
            {"display-fault",
             "With a [display] in the bus file: strike PERCENT (default 100) of the display's "
             "replies, only those about device ADDRESS when given. KIND: missing-lines (the last "
             "line is lost), garbage (random bytes instead), silent (no reply, nothing done), "
             "no-activate (SET ENTR neither confirmed nor done). May be given several times; the "
             "first kind that strikes a reply counts.",
             "KIND[:PERCENT][@ADDRESS]"},
            {"quiet", "Do not print frames and notes (start-up lines only)."},
            {"reply-delay", "Wait MS milliseconds before answering (default 0).", "MS"},
            {"answer-delay-bits",
             "Every meter starts its answer N bit times (at --baud) after the request, on top of "
             "--reply-delay; a meter's own answer-delay-bits adds to it. The standard allows 330 bit "
             "times + 50 ms; an answer not begun when the next request arrives is not sent.",
             "N"},
            {"wire-time", "Send every reply, E5 included, at the pace of the line: 11 bits per character at "
                          "--baud (gateway modes: the reply telegram waits for the meters' answer to cross the "
                          "line)."},
            {"baud", "Baud rate for --wire-time and the idle gap (default 2400).", "N"},
            {"drop",
             "Lose PERCENT of the replies (gateway modes: of the meters' answers, which become a "
             "timeout).",
             "PERCENT"},
            {"corrupt",
             "Damage one byte in PERCENT of the replies (gateway modes: of the meters' answers, "
             "inside a good telegram).",
             "PERCENT"},
            {"split", "Write each reply (or reply telegram) in 2 to 4 pieces, 20 ms apart."},
            {"usb-latency",
             "--pty and --tcp: pass the bytes of a reply on in bursts MS milliseconds apart (or every 62 bytes), "
             "as a USB serial adapter does (16 is a common latency timer).",
             "MS"},
            {"jitter", "--pty and --tcp: pause up to MS milliseconds at a random place inside every reply.", "MS"},
            {"hangup",
             "Close the connection instead of answering, for PERCENT of the replies (--pty: the "
             "pseudo-terminal hangs up as a pulled USB adapter does, and a new one takes its link).",
             "PERCENT"},
            {"hangup-at",
             "Close the connection (--pty: hang up the pseudo-terminal) instead of sending reply N (counted "
             "from 1 over the simulator's life); several as N,M,...",
             "N[,M...]"},
            {"seed", "Seed of the faults and of --random-meters (default: from the clock; printed at start).", "N"},
        };
        p.addOptions(options);
    }
};

bool toInt(const QString &text, int low, int high, int &out)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high)
        return false;
    out = v;
    return true;
}

bool toPercent(const QString &text, double &out)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !(v >= 0 && v <= 100))
        return false;
    out = v;
    return true;
}

bool toFault(const QString &text, mbussim::TelegramFaultOption &out)
{
    static const std::pair<const char *, mbussim::TelegramFault> kinds[] = {
        {"bad-checksum", mbussim::TelegramFault::BadChecksum},
        {"bad-start", mbussim::TelegramFault::BadStart},
        {"oversize", mbussim::TelegramFault::Oversize},
        {"silent", mbussim::TelegramFault::Silent},
    };
    const QString kind = text.section(':', 0, 0);
    const auto found = std::find_if(std::begin(kinds), std::end(kinds),
                                    [&kind](const auto &k) { return kind == QLatin1String(k.first); });
    if (found == std::end(kinds))
        return false;
    out.kind = found->second;
    out.percent = 100;
    return !text.contains(':') || toPercent(text.section(':', 1), out.percent);
}

// "3" or "1,5,9".
bool toReplyNumbers(const QString &text, std::vector<int> &out)
{
    std::vector<int> numbers;
    for (const QString &part : text.split(',')) {
        int n = 0;
        if (!toInt(part.trimmed(), 1, 1000000, n))
            return false;
        numbers.push_back(n);
    }
    out = std::move(numbers);
    return true;
}

// HOST:PORT, the host perhaps in brackets ([::1]:59615).
bool toHostPort(const QString &text, std::string &host, int &port)
{
    const qsizetype colon = text.lastIndexOf(':');
    if (colon <= 0 || !toInt(text.mid(colon + 1), 1, 65535, port))
        return false;
    QString h = text.left(colon);
    if (h.startsWith('[') && h.endsWith(']'))
        h = h.mid(1, h.size() - 2);
    host = h.toStdString();
    return !host.empty();
}

const char kBusFileHelp[] = R"(
Output (standard output, one line each, flushed at once):
  PTY /dev/pts/N (link LINK)   or   TCP 127.0.0.1:PORT    where the bus is served
  GATEWAY net 0.0.0.1 at 127.0.0.1:PORT                   --gateway-server
  GATEWAY net 0.0.0.1 to HOST:PORT                        --gateway-connect
  RX 10 7B 01 7C 16            a frame received from the master
  TX 68 ... 16                 the bytes sent back (collided when several meters answer)
  RX telegram #5 A8 10 7B 01 7C 16   a request telegram: packet counter, section type, payload
  TX telegram #5 A8 68 ... 16        a reply telegram with the meters' answer, or a status:
  TX telegram #5 A5 result 1, first error 00, second error 02 (timeout)
  -- text                      a note: selections, writes, ignored bytes, faults
At start, one note per meter, generated ones named "random 1" .. "random N":
  -- meter 27741615 (addr none, random 1), SEN, medium 06
  -- random meters: 1, seed 7

Bus file: plain text, one setting per line, '#' or ';' starts a comment.
Each meter is a [meter] block:

  [meter]
  name         = Flat 3 water      optional, shown in the notes
  address      = 5                 primary address 0..250 (default 0); meters may share one.
                                   'none': reached only by selection, answers with A = 253
  id           = 12345678          identification number, 8 digits (required)
  manufacturer = ABC               three letters (required)
  version      = 1                 0..255, decimal or 0x.. (default 0)
  medium       = water             name below or a number (required)
  status       = 0                 status byte (default 0)
  access       = 0                 access number of the first reply (default 0)
  record       = 0C 13 78 56 34 12 one data record in hex: DIF [DIFE..] VIF [VIFE..] data
  record       = 04 6D 2A 0E 83 2C one line per record, in the order of the reply
  answer-every = 2                 of the answers it gives, only every 2nd reaches the line
                                   (the 2nd, 4th, ...); default 1, at most 1000
  answer-delay-bits = 330          starts its answer 330 bit times late (on top of
                                   --reply-delay and --answer-delay-bits)
  drop-first   = 1                 its first answer is lost (default 0, at most 1000)
  telegrams    = 3                 the records go out in 3 telegrams, each but the last
                                   ending in DIF 1F; the next one only for a REQ_UD2 with
                                   the frame count bit toggled (1..16, default 1;
                                   'endless': every telegram announces more)
  restart-telegrams = yes          the same frame count bit starts the reading over
                                   instead of repeating the last telegram (default no)

Data are written as on the wire, least significant byte first: the first
record line above is 12345.678 m3 as 8 BCD digits. The length of each record is
checked against its DIF; a 0F/1F record (manufacturer data up to the end) must
be the last. At most 240 bytes of records fit in one reply.

Instead of records a meter may give its whole reply: raw = 68 .. 16 (several
raw lines are joined). It is sent as it stands, even with a bad checksum; its
address, id, manufacturer, version and medium are taken from its header unless
given.

A lost answer is lost on its way back: the meter did act on the request (a
write is applied, the access number moves on). Requests to other meters and
to 255 do not count. With both keys, the first drop-first answers are lost,
then every answer-every-th one from there on gets through.

A [display] block describes the display/concentrator (TEV-K40 or RUX) beside
the meters: its settings and its table of meters, one 'entry' line each, with
'history' lines of monthly records. It answers its text commands (GET ADDR,
SET ENTR=5, GET HIST=5,3, ...) on every port; see README.md for the block and
the replies.

Media:
  )";

const char kBehaviourHelp[] = R"(

The meters answer SND_NKE (10 40 A) and application reset (CI 50) with E5,
REQ_UD2 (C 7B or 5B) with their RSP_UD (access number counting up), select on
CI 52 to address 253 (ID nibbles F and FF bytes are wildcards; a meter that no
longer matches is deselected; SND_NKE deselects), and take SND_UD writes (CI 51)
of primary address (01 7A), ID (0C 79), value (0C/04 VIF), identification with
medium (07 79), unit (0F VIF 03 M 01 01), and baud changes (CI B8..BF), all
acknowledged with E5 and kept until the simulator ends. Address 254 reaches every
meter, 255 every meter without answer, 253 the selected ones; a meter at address
0 answers at 0, one with address none only at 253 once selected, until a
primary address is written to it (after selection, or to 254). Meters may
share an ID: a selection then takes them all. Answers that meet
on the line are garbled (byte-wise AND, checksum wrong); E5s meeting stay E5.
Bytes that form no valid frame are ignored; a partial frame is dropped after an
idle gap of 100 ms (or three characters, when longer).

Generated meters (--random-meters) have no primary address, so they are found
by a secondary search; each has unique decimal ID digits (across the generated
ones), one of a few manufacturers, a water, gas, heat or electricity medium,
and its main counter with a few records of that kind of meter.

Gateway modes: each request telegram (300 bytes, cut from the stream without
resynchronising: bytes past 300 start the next one) is checked. An M-Bus frame
(section A8) goes to the meters; their answer comes back in a data section A8
and a status with result 0; no answer gives a status with result 1 and second
error 02 (timeout); a payload that is no valid frame, second error 40. A display
command (A1) gets result 1, first error 20 (unknown telegram) unless the bus
file has a [display]. A broken request
gets result 1 and the bits of every broken part: first error 08 start byte,
01 header checksum, 02 telegram checksum, 40 end of header or stop byte,
04 section length or end, 20 section type or flags; second error 80 section
checksum or header bytes 5, 8, 9. Replies carry the request's packet counter
in bytes 6-7 and our network number; a request for another network number is
served anyway (with a note). --gateway-connect sends one status telegram,
result 0, right after each connect.

Display commands: on --pty and --tcp a command starts with G, S or D where no
frame is under way and ends when the line is quiet for 30 ms; the reply is
text, lines joined by CR LF. In gateway modes it comes in an A1 telegram and
the reply text in an A1 data section (no reply: result 1, second error 02);
with --gateway-connect a bare command where a telegram would begin is
answered bare.

Exit status: 0 when ended by a signal (with --gateway-connect and no
--reconnect, also when the connection closes), 1 when the port cannot be
served or the connection cannot be made, 2 for a bad command line or bus file
(the message gives FILE:LINE).
)";
} // namespace

std::string helpText()
{
    Parser parser;
    std::string text = "Usage: mbus-sim [--bus FILE] [--random-meters N]\n"
                       "         (--pty LINK | --tcp PORT | --gateway-server PORT | --gateway-connect HOST:PORT)\n"
                       "         [options]\n\n"
                       "A bus of simulated M-Bus meters behind a pseudo-terminal, a TCP port or a gateway.\n\n";
    const QString options = parser.p.helpText();
    text += options.mid(options.indexOf("Options:")).toStdString();
    text += kBusFileHelp;
    std::string line;
    for (std::size_t i = 0; i < mbussim::kMediumNameCount; ++i) {
        char code[8];
        std::snprintf(code, sizeof code, " (%02X)", mbussim::kMediumNames[i].code);
        const std::string item = std::string(mbussim::kMediumNames[i].name) + code
                                 + (i + 1 < mbussim::kMediumNameCount ? "," : "");
        if (!line.empty() && line.size() + item.size() > 70) {
            text += line + "\n  ";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + item;
    }
    text += line;
    text += kBehaviourHelp;
    return text;
}

namespace {

// The refusals QCommandLineParser would word in its own way (an unknown
// option without its dashes), in the wording of every program here.
std::string commandLineError(const QStringList &arguments, const QList<QCommandLineOption> &options)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (arg == QLatin1String("--"))
            break;
        if (!arg.startsWith('-') || arg == QLatin1String("-"))
            continue;
        const std::string given = arg.section('=', 0, 0).toStdString();
        const QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1).section('=', 0, 0);
        const auto option = std::find_if(options.begin(), options.end(),
                                         [&name](const QCommandLineOption &o) { return o.names().contains(name); });
        const bool attached = arg.contains('=');
        if (option == options.end())
            return tool::unknownOption(arg.toStdString());
        if (option->valueName().isEmpty() && attached)
            return tool::takesNoValue(given, arg.section('=', 1).toStdString());
        if (!option->valueName().isEmpty() && !attached && ++i >= arguments.size())
            return tool::needsValue(given);
    }
    return {};
}

} // namespace

OptionsResult parseOptions(const QStringList &arguments)
{
    OptionsResult r;
    Parser parser;
    QCommandLineParser &p = parser.p;
    r.error = commandLineError(arguments, parser.options);
    if (r.error.empty() && !p.parse(arguments))
        r.error = p.errorText().toStdString();
    if (!r.error.empty())
        return r;
    if (p.isSet("help")) {
        r.help = true;
        return r;
    }
    if (p.isSet("version")) {
        r.version = true;
        return r;
    }
    if (!p.positionalArguments().isEmpty()) {
        r.error = "unexpected argument '" + tool::shown(p.positionalArguments().first().toStdString())
                  + "' (see --help)";
        return r;
    }
    // "--tcp: must be a port 0..65535, not '70000'"
    const auto refuse = [&](const char *option, const char *why) {
        r.error = tool::badValue(std::string("--") + option, why, p.value(option).toStdString());
        return r;
    };
    Options &o = r.options;
    o.busFile = p.value("bus").toStdString();
    if (p.isSet("random-meters") && !toInt(p.value("random-meters"), 1, mbussim::kMaxRandomMeters, o.randomMeters))
        return refuse("random-meters", "must be a count 1..1000");
    if (o.busFile.empty() && o.randomMeters == 0) {
        r.error = "give --bus FILE or --random-meters N (see --help)";
        return r;
    }
    const int modes = int(p.isSet("pty")) + int(p.isSet("tcp")) + int(p.isSet("gateway-server"))
                      + int(p.isSet("gateway-connect"));
    if (modes != 1) {
        r.error = "give one of --pty LINK, --tcp PORT, --gateway-server PORT or --gateway-connect HOST:PORT "
                  "(see --help)";
        return r;
    }
    if (p.isSet("pty")) {
        o.mode = Mode::Pty;
        o.ptyLink = p.value("pty").toStdString();
        if (o.ptyLink.empty())
            return refuse("pty", "must be a path for the link");
    } else if (p.isSet("tcp")) {
        o.mode = Mode::Tcp;
        if (!toInt(p.value("tcp"), 0, 65535, o.tcpPort))
            return refuse("tcp", "must be a port 0..65535");
    } else if (p.isSet("gateway-server")) {
        o.mode = Mode::GatewayServer;
        if (!toInt(p.value("gateway-server"), 0, 65535, o.tcpPort))
            return refuse("gateway-server", "must be a port 0..65535");
    } else {
        o.mode = Mode::GatewayConnect;
        if (!toHostPort(p.value("gateway-connect"), o.connectHost, o.connectPort))
            return refuse("gateway-connect", "must be HOST:PORT, the port 1..65535");
    }
    const bool gatewayMode = o.mode == Mode::GatewayServer || o.mode == Mode::GatewayConnect;
    if (!gatewayMode && (p.isSet("net") || p.isSet("gateway-fault"))) {
        r.error = "--net and --gateway-fault work with --gateway-server or --gateway-connect only";
        return r;
    }
    if (p.isSet("reconnect") && o.mode != Mode::GatewayConnect) {
        r.error = "--reconnect works with --gateway-connect only";
        return r;
    }
    if (p.isSet("reconnect") && !toInt(p.value("reconnect"), 0, 3600000, o.reconnectMs))
        return refuse("reconnect", "must be milliseconds 0..3600000");
    if (p.isSet("net")) {
        const auto net = mbussim::gateway::parseNetworkNumber(p.value("net").toStdString());
        if (!net)
            return refuse("net", "must be a network number a.b.c.d, each part 0..255");
        o.net = *net;
    }
    for (const QString &value : p.values("gateway-fault")) {
        mbussim::TelegramFaultOption fault;
        if (!toFault(value, fault)) {
            r.error = tool::badValue("--gateway-fault",
                                     "must be bad-checksum, bad-start, oversize or silent, perhaps with :PERCENT "
                                     "(0..100)",
                                     value.toStdString());
            return r;
        }
        o.session.faults.telegram.push_back(fault);
    }
    for (const QString &value : p.values("display-fault")) {
        const auto fault = mbussim::parseDisplayFault(value.toStdString());
        if (!fault) {
            r.error = tool::badValue("--display-fault",
                                     "must be missing-lines, garbage, silent or no-activate, perhaps with :PERCENT "
                                     "(0..100) and @ADDRESS (1..250)",
                                     value.toStdString());
            return r;
        }
        o.displayFaults.push_back(*fault);
    }
    o.quiet = p.isSet("quiet");
    SessionOptions &s = o.session;
    s.wireTime = p.isSet("wire-time");
    s.faults.split = p.isSet("split");
    // The first value that does not do is said.
    const struct {
        const char *option;
        int low, high;
        int &out;
        const char *why;
    } numbers[] = {
        {"reply-delay", 0, 600000, s.replyDelayMs, "must be milliseconds 0..600000"},
        {"answer-delay-bits", 0, 1000000, s.answerDelayBits, "must be bit times 0..1000000"},
        {"baud", 110, 1000000, s.baud, "must be a rate 110..1000000"},
        {"usb-latency", 0, 1000, s.usbLatencyMs, "must be milliseconds 0..1000"},
        {"jitter", 0, 10000, s.faults.jitterMs, "must be milliseconds 0..10000"},
    };
    for (const auto &n : numbers)
        if (p.isSet(n.option) && !toInt(p.value(n.option), n.low, n.high, n.out))
            return refuse(n.option, n.why);
    const std::pair<const char *, double &> percents[] = {
        {"drop", s.faults.dropPercent}, {"corrupt", s.faults.corruptPercent}, {"hangup", s.faults.hangupPercent}};
    for (const auto &[option, out] : percents)
        if (p.isSet(option) && !toPercent(p.value(option), out))
            return refuse(option, "must be a percentage 0..100");
    if (p.isSet("hangup-at") && !toReplyNumbers(p.value("hangup-at"), s.faults.hangupAt))
        return refuse("hangup-at", "must be reply numbers 1..1000000, separated by commas");
    if (p.isSet("seed")) {
        bool ok = false;
        s.faults.seed = p.value("seed").toUInt(&ok);
        o.seedGiven = true;
        if (!ok)
            return refuse("seed", "must be a number 0..4294967295");
    }
    return r;
}
