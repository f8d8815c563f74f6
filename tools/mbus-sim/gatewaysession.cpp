#include "gatewaysession.h"

#include "output.h"

#include <algorithm>

namespace gw = mbussim::gateway;

namespace {
constexpr qint64 kSplitGapUs = 20'000; // pause between the pieces of a split telegram
constexpr int kCommandQuietMs = 30;    // a bare display command ends when the line goes quiet

std::string faultName(mbussim::TelegramFault fault)
{
    switch (fault) {
    case mbussim::TelegramFault::BadChecksum:
        return "bad-checksum";
    case mbussim::TelegramFault::BadStart:
        return "bad-start";
    case mbussim::TelegramFault::Oversize:
        return "oversize";
    case mbussim::TelegramFault::Silent:
        return "silent";
    case mbussim::TelegramFault::None:
        break;
    }
    return "none";
}
} // namespace

GatewaySession::GatewaySession(mbussim::Bus &bus, Output &out, const gw::NetworkNumber &net,
                               const SessionOptions &options, QObject *parent)
    : QObject(parent),
      m_out(out),
      m_options(options),
      m_faults(options.faults),
      m_gateway(bus, net),
      m_charUs(11'000'000 / std::max(options.baud, 1))
{
    m_clock.start();
    m_pumpTimer.setSingleShot(true);
    m_pumpTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_pumpTimer, &QTimer::timeout, this, &GatewaySession::pump);
    m_quietTimer.setSingleShot(true);
    m_quietTimer.setInterval(kCommandQuietMs);
    connect(&m_quietTimer, &QTimer::timeout, this, &GatewaySession::lineQuiet);
    // --drop and --corrupt strike the M-Bus line behind the gateway: a lost
    // answer becomes a timeout, a damaged one arrives in a good telegram.
    m_gateway.setLineFilter([this](mbus::Bytes &answer, std::vector<std::string> &notes) {
        if (m_faults.drop()) {
            notes.push_back("the meters' answer is lost on the line (--drop)");
            return false;
        }
        if (m_faults.corrupt(answer))
            notes.push_back("the meters' answer is damaged on the line (--corrupt)");
        return true;
    });
}

void GatewaySession::receive(mbus::ByteView bytes)
{
    for (const mbus::Bytes &telegram : m_bare ? m_splitter.push(bytes, m_assembler) : m_assembler.push(bytes))
        handle(telegram);
    if (m_splitter.gathering())
        m_quietTimer.start();
}

void GatewaySession::setDisplay(mbussim::Display *display, bool bare)
{
    m_display = display;
    m_bare = display && bare;
    if (!display) {
        m_gateway.setDisplayHandler({});
        return;
    }
    m_gateway.setDisplayHandler([display](mbus::ByteView command, std::vector<std::string> &notes) {
        return mbussim::displaySection(*display, command, notes);
    });
}

void GatewaySession::lineQuiet()
{
    const mbussim::CommandSplitter::Command command = m_splitter.endCommand();
    if (!m_display)
        return;
    m_out.display("RX", mbussim::printableText(command.text));
    if (command.dropped > 0)
        m_out.note("command too long: " + std::to_string(command.dropped) + " byte(s) dropped");
    const mbussim::DisplayReply reply = m_display->answer(command.text);
    for (const std::string &note : reply.notes)
        m_out.note(note);
    if (reply.silent)
        return;
    if (m_hangup && m_faults.hangup()) {
        m_out.note("connection closed instead of a reply (--hangup)");
        m_hangup();
        return;
    }
    // A bare command reaches the display through the gateway; the display's
    // answer comes back in a telegram, as everything a gateway sends.
    gw::Reply out;
    out.net = m_gateway.net();
    out.dataType = gw::kDisplaySection;
    out.payload = mbus::Bytes(reply.text.begin(), reply.text.end());
    m_out.display("TX", mbussim::printableText(reply.text));
    send(out, qint64(m_options.replyDelayMs) * 1000, true);
}

void GatewaySession::reset()
{
    if (m_assembler.pending() > 0)
        m_out.note(std::to_string(m_assembler.pending()) + " byte(s) of an unfinished telegram forgotten");
    m_assembler.clear();
    m_splitter.clear();
    m_quietTimer.stop();
    m_pumpTimer.stop();
    m_queue.clear();
}

void GatewaySession::greet()
{
    send(m_gateway.greeting(), 0, false);
}

void GatewaySession::handle(const mbus::Bytes &telegram)
{
    gw::Exchange ex = m_gateway.handle(telegram);
    if (ex.request.ok()) {
        m_out.telegram("RX", gw::requestLine(*ex.request.request));
    } else {
        std::string text = "bad telegram #" + std::to_string(ex.request.packet) + ":";
        for (std::size_t i = 0; i < ex.request.problems.size(); ++i)
            text += (i == 0 ? " " : "; ") + ex.request.problems[i];
        m_out.note(text);
    }
    for (const std::string &note : ex.notes)
        m_out.note(note);
    if (m_hangup && m_faults.hangup()) {
        m_out.note("connection closed instead of a reply (--hangup)");
        m_hangup();
        return;
    }
    qint64 delayUs = qint64(m_options.replyDelayMs) * 1000;
    if (m_options.wireTime)
        delayUs += qint64(ex.answerSize) * m_charUs;
    send(ex.reply, delayUs, true);
}

void GatewaySession::send(const gw::Reply &reply, qint64 delayUs, bool isAnswer)
{
    const mbus::Bytes telegram = gw::buildReply(reply);
    const mbussim::TelegramFault fault = m_faults.telegramFault();
    if (fault == mbussim::TelegramFault::Silent) {
        if (isAnswer) {
            m_out.note("no reply to #" + std::to_string(reply.packet) + " (--gateway-fault silent)");
            return;
        }
    } else if (fault != mbussim::TelegramFault::None) {
        m_out.note("telegram #" + std::to_string(reply.packet) + " goes out damaged (--gateway-fault "
                   + faultName(fault) + ")");
    }
    const mbus::Bytes bytes = gw::damage(telegram, fault);
    // An oversized telegram goes in one write, so the master gets all 310 bytes at once.
    const std::vector<mbus::Bytes> pieces = fault == mbussim::TelegramFault::Oversize ? std::vector<mbus::Bytes>{bytes}
                                                                                      : m_faults.pieces(bytes);
    const qint64 due = nowUs() + delayUs;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        Piece piece;
        piece.dueUs = due + qint64(i) * kSplitGapUs;
        piece.bytes = pieces[i];
        if (i == 0)
            piece.line = gw::replyLine(reply);
        m_queue.push_back(std::move(piece));
    }
    pump();
}

void GatewaySession::pump()
{
    m_pumpTimer.stop();
    while (!m_queue.empty()) {
        const qint64 now = nowUs();
        if (now < m_queue.front().dueUs) {
            m_pumpTimer.start(static_cast<int>((m_queue.front().dueUs - now + 999) / 1000));
            return;
        }
        // Off the queue before writing: a write may end the connection and reset us.
        Piece piece = std::move(m_queue.front());
        m_queue.pop_front();
        if (!piece.line.empty() && piece.bare)
            m_out.display("TX", piece.line);
        else if (!piece.line.empty())
            m_out.telegram("TX", piece.line);
        if (m_sink && !piece.bytes.empty())
            m_sink(piece.bytes);
    }
}
