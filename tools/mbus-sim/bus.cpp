#include "bus.h"

#include "frames.h"

#include <algorithm>

namespace mbussim {

namespace {
constexpr std::uint8_t kAddrSelected = 0xFD;
constexpr std::uint8_t kAddrBroadcast = 0xFE;
constexpr std::uint8_t kAddrBroadcastSilent = 0xFF;

constexpr std::uint8_t kSndNke = 0x40;
constexpr std::uint8_t kReqUd2 = 0x5B; // 0x7B with FCB set
constexpr std::uint8_t kReqUd1 = 0x5A; // 0x7A with FCB set
constexpr std::uint8_t kSndUd = 0x53;  // 0x73 with FCB set
constexpr std::uint8_t kFcb = 0x20;

constexpr std::uint8_t kCiReset = 0x50;
constexpr std::uint8_t kCiData = 0x51;
constexpr std::uint8_t kCiSelect = 0x52;

constexpr int kBaudOfCi[8] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400}; // CI B8..BF
} // namespace

Bytes collide(const std::vector<Bytes> &answers)
{
    if (answers.empty())
        return {};
    if (answers.size() == 1)
        return answers.front();
    const bool allAcks = std::all_of(answers.begin(), answers.end(),
                                     [](const Bytes &a) { return a.size() == 1 && a[0] == kAck; });
    if (allAcks)
        return {kAck};
    const auto longest = std::max_element(answers.begin(), answers.end(),
                                          [](const Bytes &x, const Bytes &y) { return x.size() < y.size(); });
    Bytes out = *longest;
    for (const Bytes &a : answers)
        for (std::size_t i = 0; i < a.size() && i < out.size(); ++i)
            out[i] &= a[i];
    // Whatever the length and stop byte say, the checksum must fail: a master
    // that tests it first has to see the collision there.
    const std::size_t n = out.size();
    if (n >= 8 && mbus::frameChecksum(ByteView(out).subspan(4, n - 6)) == out[n - 2])
        out[n - 2] = static_cast<std::uint8_t>(~out[n - 2]);
    return out;
}

Bus::Bus(std::vector<MeterConfig> meters)
{
    m_meters.reserve(meters.size());
    for (MeterConfig &c : meters)
        m_meters.emplace_back(std::move(c));
}

std::vector<Meter *> Bus::addressed(std::uint8_t a)
{
    std::vector<Meter *> out;
    for (Meter &m : m_meters) {
        const bool hit = a == kAddrBroadcast || a == kAddrBroadcastSilent
                         || (a == kAddrSelected ? m.selected() : m.ownsAddress(a));
        if (hit)
            out.push_back(&m);
    }
    return out;
}

void Bus::selection(ByteView data, std::vector<Answer> &answers, Response &r)
{
    if (data.size() != 8) {
        r.notes.push_back("selection with " + std::to_string(data.size()) + " data bytes: not served");
        return;
    }
    for (Meter &m : m_meters) {
        const bool match = m.matches(data);
        if (match) {
            m.restartTelegrams();
            answers.push_back({&m, {kAck}});
            r.notes.push_back(m.label() + " selected");
        } else if (m.selected()) {
            r.notes.push_back(m.label() + " deselected");
        }
        m.setSelected(match);
    }
}

Response Bus::handle(ByteView bytes)
{
    Response r;
    const auto frame = parseFrame(bytes);
    if (!frame) {
        r.notes.push_back("not a valid frame: ignored");
        return r;
    }
    if (frame->kind == Frame::Kind::Ack) {
        r.notes.push_back("E5 from the master: ignored");
        return r;
    }
    const std::uint8_t c = frame->c, a = frame->a;
    std::vector<Answer> answers;

    if (frame->kind == Frame::Kind::Long && frame->ci == kCiSelect) {
        if ((c & ~kFcb) == kSndUd && a == kAddrSelected)
            selection(frame->data, answers, r);
        else
            r.notes.push_back("selection not sent as SND_UD to 253: ignored");
    } else {
        std::vector<Meter *> targets = addressed(a);
        if (targets.empty())
            r.notes.push_back(a == kAddrSelected ? "no meter selected" : "no meter at address " + std::to_string(a));
        if (frame->kind == Frame::Kind::Short) {
            if (c == kSndNke) {
                for (Meter *m : targets) {
                    m->setSelected(false);
                    m->restartTelegrams();
                    answers.push_back({m, {kAck}});
                }
            } else if ((c & ~kFcb) == kReqUd2) {
                for (Meter *m : targets)
                    answers.push_back({m, m->readout((c & kFcb) != 0, r.notes)});
            } else if ((c & ~kFcb) == kReqUd1) {
                for (Meter *m : targets)
                    answers.push_back({m, {kAck}}); // no alarms to report
            } else {
                r.notes.push_back("short frame with C " + hexByte(c) + ": not served");
            }
        } else if ((c & ~kFcb) != kSndUd) {
            r.notes.push_back("long frame with C " + hexByte(c) + ": not served");
        } else if (frame->ci == kCiReset) {
            for (Meter *m : targets) {
                r.notes.push_back(m->label() + ": application reset");
                answers.push_back({m, {kAck}});
            }
        } else if (frame->ci == kCiData) {
            for (Meter *m : targets)
                if (m->write(frame->data, r.notes))
                    answers.push_back({m, {kAck}});
        } else if (frame->ci >= 0xB8 && frame->ci <= 0xBF) {
            for (Meter *m : targets) {
                m->setBaud(kBaudOfCi[frame->ci - 0xB8]);
                r.notes.push_back(m->label() + ": baud rate " + std::to_string(m->baud()));
                answers.push_back({m, {kAck}});
            }
        } else {
            r.notes.push_back("CI " + hexByte(frame->ci) + ": not served");
        }
    }

    std::vector<Bytes> sent;
    if (a != kAddrBroadcastSilent) { // 255 draws no answer, so none is counted either
        for (Answer &answer : answers) {
            if (answer.meter->answerGoesOut()) {
                r.answerDelayBits = std::max(r.answerDelayBits, answer.meter->state().answerDelayBits);
                sent.push_back(std::move(answer.bytes));
            }
            else
                r.notes.push_back(answer.meter->label() + ": answer lost (drop-first/answer-every)");
        }
    }
    r.answering = static_cast<int>(sent.size());
    r.bytes = collide(sent);
    if (r.answering > 1 && r.bytes != Bytes{kAck})
        r.notes.push_back(std::to_string(r.answering) + " meters answer at once: collision");
    return r;
}

} // namespace mbussim
