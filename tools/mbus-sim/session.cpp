#include "session.h"

#include "output.h"

#include <algorithm>
#include <utility>

namespace {
constexpr qint64 kSplitGapUs = 20'000; // pause between the pieces of a split reply
constexpr int kMinIdleGapMs = 100;
constexpr int kMinCommandQuietMs = 30; // display commands have no terminator
constexpr std::size_t kUsbPacket = 62; // payload of a USB adapter's 64-byte packet
} // namespace

Session::Session(mbussim::Bus &bus, Output &out, const SessionOptions &options, QObject *parent)
    : QObject(parent),
      m_bus(bus),
      m_out(out),
      m_options(options),
      m_faults(options.faults),
      m_charUs(11'000'000 / std::max(options.baud, 1))
{
    m_clock.start();
    // A partial frame is dropped after a silence of a few characters, and never
    // sooner than 100 ms, since pseudo-terminals and sockets deliver in bursts.
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(std::max<int>(kMinIdleGapMs, static_cast<int>(3 * m_charUs / 1000)));
    connect(&m_idleTimer, &QTimer::timeout, this, &Session::idleGap);
    m_quietTimer.setSingleShot(true);
    m_quietTimer.setInterval(std::max<int>(kMinCommandQuietMs, static_cast<int>(3 * m_charUs / 1000)));
    connect(&m_quietTimer, &QTimer::timeout, this, &Session::lineQuiet);
    m_pumpTimer.setSingleShot(true);
    m_pumpTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_pumpTimer, &QTimer::timeout, this, &Session::pump);
    m_latencyTimer.setSingleShot(true);
    m_latencyTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_latencyTimer, &QTimer::timeout, this, &Session::flushHeld);
}

void Session::receive(mbus::ByteView bytes)
{
    for (const mbussim::FramerEvent &event : m_display ? m_splitter.push(bytes, m_framer) : m_framer.push(bytes))
        handle(event);
    if (m_framer.pending())
        m_idleTimer.start();
    else
        m_idleTimer.stop();
    if (m_splitter.gathering())
        m_quietTimer.start();
}

void Session::reset()
{
    m_framer.clear();
    m_idleTimer.stop();
    m_splitter.clear();
    m_quietTimer.stop();
    m_pumpTimer.stop();
    m_queue.clear();
    m_latencyTimer.stop();
    m_held.clear();
}

void Session::idleGap()
{
    for (const mbussim::FramerEvent &event : m_framer.flush())
        handle(event);
}

void Session::handle(const mbussim::FramerEvent &event)
{
    if (event.kind == mbussim::FramerEvent::Kind::Junk) {
        std::string text = "ignored " + std::to_string(event.count) + " byte(s), " + event.reason + ": "
                           + mbussim::hexLine(event.bytes);
        if (event.count > event.bytes.size())
            text += " ...";
        m_out.note(text);
        return;
    }
    m_out.frame("RX", event.bytes);
    // The master speaks again: an answer that has not begun by now is too
    // late, and on a real bus it would collide with this request.
    while (!m_queue.empty() && m_queue.back().slowMeter && m_queue.back().sent == 0 && m_queue.back().startUs < 0
           && m_queue.back().dueUs > nowUs()) {
        m_out.note("a late answer was not sent: the master sent another request first");
        m_queue.pop_back();
    }
    mbussim::Response response = m_bus.handle(event.bytes);
    for (const std::string &note : response.notes)
        m_out.note(note);
    if (response.bytes.empty())
        return;
    sendReply(std::move(response.bytes), false, m_options.answerDelayBits + response.answerDelayBits);
}

void Session::lineQuiet()
{
    const mbussim::CommandSplitter::Command command = m_splitter.endCommand();
    if (!m_display)
        return;
    m_out.display("RX", mbussim::printableText(command.text));
    if (command.dropped > 0)
        m_out.note("command too long: " + std::to_string(command.dropped) + " byte(s) after the first "
                   + std::to_string(mbussim::CommandSplitter::kMaxCommand) + " dropped");
    mbussim::DisplayReply reply = m_display->answer(command.text);
    for (const std::string &note : reply.notes)
        m_out.note(note);
    if (!reply.silent)
        sendReply(mbus::Bytes(reply.text.begin(), reply.text.end()), true);
}

void Session::sendReply(mbus::Bytes bytes, bool text, int delayBits)
{
    if (m_hangup && m_faults.hangup()) {
        m_out.note("connection closed instead of a reply (--hangup)");
        m_hangup();
        return;
    }
    if (m_faults.drop()) {
        m_out.note("reply dropped (--drop)");
        return;
    }
    if (m_faults.corrupt(bytes))
        m_out.note("reply damaged (--corrupt)");

    const qint64 due = nowUs() + qint64(m_options.replyDelayMs) * 1000
                       + qint64(delayBits) * 1000000 / std::max(1, m_options.baud);
    const mbussim::Faults::Pause pause = m_faults.pause(bytes.size());
    std::size_t offset = 0; // of the piece in the reply
    qint64 paused = 0;      // the jitter's pause, once the pieces have passed it
    std::size_t first = m_queue.size();
    for (mbus::Bytes &bytesOfPiece : m_faults.pieces(bytes)) {
        // The jitter's pause falls inside this piece: it becomes two.
        std::vector<mbus::Bytes> parts{std::move(bytesOfPiece)};
        if (pause.at > offset && pause.at < offset + parts[0].size()) {
            const auto cut = parts[0].begin() + std::ptrdiff_t(pause.at - offset);
            parts = {mbus::Bytes(parts[0].begin(), cut), mbus::Bytes(cut, parts[0].end())};
        }
        for (mbus::Bytes &part : parts) {
            Piece piece;
            if (offset == pause.at && pause.at > 0) {
                paused = pause.us;
                piece.pauseUs = pause.us;
            }
            piece.dueUs = due + qint64(m_queue.size() - first) * (m_faults.splitting() ? kSplitGapUs : 0) + paused;
            offset += part.size();
            piece.bytes = std::move(part);
            piece.text = text;
            piece.slowMeter = delayBits > 0;
            m_queue.push_back(std::move(piece));
        }
    }
    m_queue[first].whole = bytes;
    pump();
}

// --usb-latency: the master gets the bytes that came off the line in
// bursts, as a USB adapter passes them on when its latency timer runs out
// (or its 62-byte packet is full).
void Session::deliver(mbus::ByteView bytes)
{
    if (!m_sink || bytes.empty())
        return;
    if (m_options.usbLatencyMs <= 0) {
        m_sink(bytes);
        return;
    }
    m_held.insert(m_held.end(), bytes.begin(), bytes.end());
    if (m_held.size() >= kUsbPacket)
        flushHeld();
    else if (!m_latencyTimer.isActive())
        m_latencyTimer.start(m_options.usbLatencyMs);
}

void Session::flushHeld()
{
    m_latencyTimer.stop();
    const mbus::Bytes bytes = std::exchange(m_held, {});
    if (m_sink && !bytes.empty())
        m_sink(bytes);
}

void Session::pump()
{
    m_pumpTimer.stop();
    const auto write = [this](mbus::ByteView bytes) { deliver(bytes); };
    while (!m_queue.empty()) {
        const qint64 now = nowUs();
        Piece &piece = m_queue.front();
        if (now < piece.dueUs) {
            m_pumpTimer.start(static_cast<int>((piece.dueUs - now + 999) / 1000));
            return;
        }
        if (!piece.whole.empty()) {
            if (piece.text)
                m_out.display("TX", mbussim::printableText(std::string(piece.whole.begin(), piece.whole.end())));
            else
                m_out.frame("TX", piece.whole);
            piece.whole.clear();
        }
        if (!m_options.wireTime) {
            write(piece.bytes);
            m_queue.pop_front();
            continue;
        }
        if (piece.startUs < 0)
            piece.startUs = std::max(piece.dueUs, m_wireFreeUs + piece.pauseUs);
        const qint64 elapsed = std::max<qint64>(0, now - piece.startUs);
        const std::size_t onWire = std::min<std::size_t>(piece.bytes.size(),
                                                         static_cast<std::size_t>(elapsed / m_charUs));
        if (onWire > piece.sent) {
            write(mbus::ByteView(piece.bytes).subspan(piece.sent, onWire - piece.sent));
            piece.sent = onWire;
        }
        if (piece.sent == piece.bytes.size()) {
            m_wireFreeUs = piece.startUs + qint64(piece.bytes.size()) * m_charUs;
            m_queue.pop_front();
            continue;
        }
        const qint64 next = piece.startUs + qint64(piece.sent + 1) * m_charUs;
        m_pumpTimer.start(static_cast<int>(std::max<qint64>(1, (next - now + 999) / 1000)));
        return;
    }
}
