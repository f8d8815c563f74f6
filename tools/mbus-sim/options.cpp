#include "options.h"

#include "busfile.h"
#include "randombus.h"

#include <QCommandLineParser>

#include <cstdio>

namespace {
struct Parser {
    QCommandLineParser p;
    Parser()
    {
        p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        p.addOptions({
            {{"h", "help"}, "Show this help and exit."},
            {"bus", "Bus file describing the meters (format below). Required unless --random-meters is "
                    "given.", "FILE"},
            {"random-meters", "Add N generated meters (1..1000): random unique 8-digit IDs, no primary "
                              "address, a volume or energy counter; the same --seed gives the same meters.",
             "N"},
            {"pty", "Serve the bus on a new pseudo-terminal; LINK becomes a symbolic link to its device "
                    "(a stale link is replaced, the link is removed at exit).", "LINK"},
            {"tcp", "Serve the bus as a serial-to-TCP converter on 127.0.0.1:PORT (0 picks a free port). "
                    "Bytes travel bare; one client at a time, a second one waits until the first leaves.", "PORT"},
            {"quiet", "Do not print frames and notes (start-up lines only)."},
            {"reply-delay", "Wait MS milliseconds before answering (default 0).", "MS"},
            {"wire-time", "Send every reply, E5 included, at the pace of the line: 11 bits per character at --baud."},
            {"baud", "Baud rate for --wire-time and the idle gap (default 2400).", "N"},
            {"drop", "Lose PERCENT of the replies.", "PERCENT"},
            {"corrupt", "Damage one byte in PERCENT of the replies.", "PERCENT"},
            {"split", "Write each reply in 2 to 4 pieces, 20 ms apart."},
            {"hangup", "With --tcp: close the client's connection instead of answering, for PERCENT of the "
                       "replies.", "PERCENT"},
            {"seed", "Seed of the faults and of --random-meters (default: from the clock; printed at start).",
             "N"},
        });
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

const char kBusFileHelp[] = R"(
Output (standard output, one line each, flushed at once):
  PTY /dev/pts/N (link LINK)   or   TCP 127.0.0.1:PORT    where the bus is served
  RX 10 7B 01 7C 16            a frame received from the master
  TX 68 ... 16                 the bytes sent back (collided when several meters answer)
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
  drop-first   = 1                 its first answer is lost (default 0, at most 1000)

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

Exit status: 0 when ended by a signal, 1 when the port cannot be served,
2 for a bad command line or bus file (the message gives FILE:LINE).
)";
} // namespace

std::string helpText()
{
    Parser parser;
    std::string text = "Usage: mbus-sim [--bus FILE] [--random-meters N] (--pty LINK | --tcp PORT) [options]\n\n"
                       "A bus of simulated M-Bus meters behind a pseudo-terminal or a TCP port.\n\n";
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

OptionsResult parseOptions(const QStringList &arguments)
{
    OptionsResult r;
    Parser parser;
    QCommandLineParser &p = parser.p;
    if (!p.parse(arguments)) {
        r.error = p.errorText().toStdString();
        return r;
    }
    if (p.isSet("help")) {
        r.help = true;
        return r;
    }
    if (!p.positionalArguments().isEmpty()) {
        r.error = "unexpected argument '" + p.positionalArguments().first().toStdString() + "'";
        return r;
    }
    Options &o = r.options;
    o.busFile = p.value("bus").toStdString();
    if (p.isSet("random-meters")
        && !toInt(p.value("random-meters"), 1, mbussim::kMaxRandomMeters, o.randomMeters)) {
        r.error = "--random-meters wants a count 1.." + std::to_string(mbussim::kMaxRandomMeters);
        return r;
    }
    if (o.busFile.empty() && o.randomMeters == 0) {
        r.error = "give --bus FILE or --random-meters N";
        return r;
    }
    if (p.isSet("pty") == p.isSet("tcp")) {
        r.error = "give one of --pty LINK or --tcp PORT";
        return r;
    }
    if (p.isSet("pty")) {
        o.ptyLink = p.value("pty").toStdString();
        if (o.ptyLink.empty()) {
            r.error = "--pty needs a path for the link";
            return r;
        }
    } else if (!toInt(p.value("tcp"), 0, 65535, o.tcpPort)) {
        r.error = "--tcp wants a port 0..65535";
        return r;
    }
    o.quiet = p.isSet("quiet");
    SessionOptions &s = o.session;
    s.wireTime = p.isSet("wire-time");
    s.faults.split = p.isSet("split");
    if (p.isSet("reply-delay") && !toInt(p.value("reply-delay"), 0, 600000, s.replyDelayMs))
        r.error = "--reply-delay wants milliseconds 0..600000";
    else if (p.isSet("baud") && !toInt(p.value("baud"), 110, 1000000, s.baud))
        r.error = "--baud wants a rate 110..1000000";
    else if (p.isSet("drop") && !toPercent(p.value("drop"), s.faults.dropPercent))
        r.error = "--drop wants a percentage 0..100";
    else if (p.isSet("corrupt") && !toPercent(p.value("corrupt"), s.faults.corruptPercent))
        r.error = "--corrupt wants a percentage 0..100";
    else if (p.isSet("hangup") && !toPercent(p.value("hangup"), s.faults.hangupPercent))
        r.error = "--hangup wants a percentage 0..100";
    else if (p.isSet("hangup") && !p.isSet("tcp"))
        r.error = "--hangup works with --tcp only";
    if (p.isSet("seed")) {
        bool ok = false;
        s.faults.seed = p.value("seed").toUInt(&ok);
        o.seedGiven = true;
        if (!ok)
            r.error = "--seed wants a number 0..4294967295";
    }
    return r;
}
