// The operations on a simulated bus, without any port or window: the link
// hands every frame to the simulator's bus in-process and keeps its answer
// until the next collection.

#pragma once

#include "bus.h"
#include "busfile.h"
#include "mbus/bytes.h"
#include "mbus/frame_complete.h"
#include "ops/bus_stack.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <QtTest>

#include <memory>

class SimLink : public BusLink {
public:
    explicit SimLink(std::vector<mbussim::MeterConfig> meters) : bus(std::move(meters)) {}

    mbussim::Bus bus;
    bool ready = true;
    int begins = 0, ends = 0;
    int quietMs = 0;                    // the quiet the last ended operation asked for
    QStringList sent;                   // frames in hexadecimal log form ("10 7B 01 7C 16")
    QSet<int> corruptOnce;              // addresses whose next reply loses its stop byte
    QSet<int> dropOnce;                 // addresses whose next reply is lost
    QHash<int, QByteArray> replaceOnce; // addresses whose next reply is these bytes instead
    QHash<int, int> dropNth;            // address -> the number (from 1) of the request whose reply is lost

    LinkRoute linkRoute = LinkRoute::Serial;
    LinkRoute route() const override { return linkRoute; }
    bool beginLinkUse() override
    {
        ++begins;
        return ready;
    }
    bool sendFrame(const mbus::Request &request) override
    {
        if (!request.ok())
            return false;
        sent << QString::fromStdString(mbus::hexLogForm(request.frame)).trimmed();
        mbus::Bytes reply = bus.respond(request.frame);
        const int address = request.frame.size() > 5 ? request.frame[5] : request.frame[2];
        if (reply.size() > 1 && corruptOnce.remove(address))
            reply.back() = 0x00;
        if (!reply.empty() && dropOnce.remove(address))
            reply.clear();
        if (dropNth.contains(address) && ++m_requests[address] == dropNth.value(address))
            reply.clear();
        if (replaceOnce.contains(address)) {
            const QByteArray bytes = replaceOnce.take(address);
            reply.assign(bytes.begin(), bytes.end());
        }
        m_pending.append(reinterpret_cast<const char *>(reply.data()), qsizetype(reply.size()));
        const mbus::ByteView pending(reinterpret_cast<const std::uint8_t *>(m_pending.constData()),
                                     std::size_t(m_pending.size()));
        if (replyComplete && mbus::isCompleteFrame(pending))
            replyComplete();
        return true;
    }
    // Display commands: what was sent, and the display's answer to each.
    QList<QByteArray> texts;
    std::function<QByteArray(const QByteArray &)> display;
    bool sendText(const QByteArray &command) override
    {
        texts << command;
        if (display)
            m_pending += display(command);
        return true;
    }
    bool sendCommand(const QByteArray &bytes, bool text) override
    {
        if (text)
            return sendText(bytes);
        mbus::Request request;
        request.frame.assign(bytes.begin(), bytes.end());
        return sendFrame(request);
    }
    QByteArray collectReply() override { return std::exchange(m_pending, QByteArray()); }
    void endLinkUse() override { ++ends; }
    void keepQuiet(int ms) override { quietMs = ms; }
    bool linkGone() const override { return false; }
    bool damagedReplyCame() const override { return false; }
    void discardPendingReply() override { m_pending.clear(); }
    bool serialPortOpen() const override { return ready && route() == LinkRoute::Serial; }

private:
    QByteArray m_pending;
    QHash<int, int> m_requests; // frames sent to each address
};

class LogLines : public CommLog {
public:
    void addLine(const QString &line) override { lines << line; }
    QStringList lines;
};

// The program's bus stack on the simulated bus, with millisecond timeouts:
// the simulated bus answers at once.
struct OpsRig {
    explicit OpsRig(const char *busText, decode::TableLayout layout = {})
        : link(parse(busText)),
          table(layout),
          stack(link, log, table, [this] { return options; }),
          session(stack.session),
          commands(stack.commands),
          scan(stack.scan),
          readAllOp(stack.readAll),
          autoAddressing(stack.autoAddressing),
          search(stack.search)
    {
        options.responseTimeoutMs = 1;
        // Replies taken when whole, and readings without the SND_NKE that
        // starts them at telegram 1: the frames below are the requests alone
        // unless a case turns it off.
        options.fastReads = true;
    }

    static std::vector<mbussim::MeterConfig> parse(const char *text)
    {
        mbussim::BusFileResult r = mbussim::parseBusText(text);
        if (!r.ok())
            qFatal("bad bus text: %s", r.error.c_str());
        return r.meters;
    }

    // Waits until no operation holds the bus.
    bool idle(int ms = 5000)
    {
        return QTest::qWaitFor([this] { return !session.busy(); }, ms);
    }
    QStringList column(int column) const
    {
        QStringList out;
        for (int r = 0; r < table.rowCount(); ++r)
            out << QString::fromStdString(table.cellText(r, column));
        return out;
    }
    const mbussim::Meter *meter(const char *id) const
    {
        for (const mbussim::Meter &m : link.bus.meters())
            if (mbussim::idText(m.state().id) == id)
                return &m;
        return nullptr;
    }

    BusOptions options;
    SimLink link;
    LogLines log;
    decode::DeviceTable table;
    BusStack stack;
    BusSession &session;
    MeterCommands &commands;
    PrimaryScan &scan;
    ReadAll &readAllOp;
    AutoAddressing &autoAddressing;
    SecondarySearch &search;
};

// Three meters at 1, 2 and 5; the one at 5 is a pulse relay.
inline const char kThreeMeters[] = R"(
[meter]
address = 1
id = 11111111
manufacturer = ZRI
medium = water
record = 0C 13 45 23 01 00
[meter]
address = 2
id = 22222222
manufacturer = KAM
medium = heat
record = 0C 06 87 13 02 00
[meter]
address = 5
id = 55555555
manufacturer = REL
medium = water
record = 0C 13 00 25 01 00
)";
