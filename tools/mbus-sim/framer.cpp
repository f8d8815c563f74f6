#include "framer.h"

namespace mbussim {

void Framer::skip(std::size_t pos, const char *reason)
{
    if (m_junk.count == 0) {
        m_junk.kind = FramerEvent::Kind::Junk;
        m_junk.reason = reason;
    }
    if (m_junk.bytes.size() < kJunkShown)
        m_junk.bytes.push_back(m_buffer[pos]);
    ++m_junk.count;
}

void Framer::endJunk(std::vector<FramerEvent> &events)
{
    if (m_junk.count == 0)
        return;
    events.push_back(std::move(m_junk));
    m_junk = FramerEvent{};
}

std::vector<FramerEvent> Framer::push(ByteView bytes)
{
    std::vector<FramerEvent> events;
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    std::size_t pos = 0;
    while (pos < m_buffer.size()) {
        const FrameCheck check = checkFrame(ByteView(m_buffer).subspan(pos));
        if (check.status == FrameCheck::Status::NeedMore)
            break;
        if (check.status == FrameCheck::Status::Invalid) {
            skip(pos, check.reason);
            ++pos;
            continue;
        }
        endJunk(events);
        FramerEvent frame;
        frame.bytes.assign(m_buffer.begin() + static_cast<std::ptrdiff_t>(pos),
                           m_buffer.begin() + static_cast<std::ptrdiff_t>(pos + check.length));
        events.push_back(std::move(frame));
        pos += check.length;
    }
    endJunk(events);
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(pos));
    return events;
}

std::vector<FramerEvent> Framer::flush()
{
    std::vector<FramerEvent> events;
    if (m_buffer.empty())
        return events;
    FramerEvent junk;
    junk.kind = FramerEvent::Kind::Junk;
    junk.count = m_buffer.size();
    junk.bytes.assign(m_buffer.begin(),
                      m_buffer.begin() + static_cast<std::ptrdiff_t>(std::min(m_buffer.size(), kJunkShown)));
    junk.reason = "incomplete frame dropped after an idle gap";
    events.push_back(std::move(junk));
    m_buffer.clear();
    return events;
}

void Framer::clear()
{
    m_buffer.clear();
    m_junk = FramerEvent{};
}

} // namespace mbussim
