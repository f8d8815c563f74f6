#include "displaylink.h"

#include <algorithm>

namespace mbussim {

void CommandSplitter::gather(ByteView bytes)
{
    m_gathering = true;
    const std::size_t room = kMaxCommand - std::min(kMaxCommand, m_command.text.size());
    const std::size_t take = std::min(room, bytes.size());
    m_command.text.append(reinterpret_cast<const char *>(bytes.data()), take);
    m_command.dropped += bytes.size() - take;
}

std::vector<FramerEvent> CommandSplitter::push(ByteView bytes, Framer &framer)
{
    std::vector<FramerEvent> events;
    const auto feed = [&](ByteView part) {
        for (FramerEvent &e : framer.push(part))
            events.push_back(std::move(e));
    };
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (m_gathering) {
            gather(bytes.subspan(pos));
            break;
        }
        std::size_t letter = pos;
        while (letter < bytes.size() && !startsCommand(bytes[letter]))
            ++letter;
        if (letter > pos) {
            feed(bytes.subspan(pos, letter - pos));
            pos = letter;
        } else if (framer.pending()) {
            feed(bytes.subspan(pos, 1)); // a letter inside a frame is frame data
            ++pos;
        } else {
            m_gathering = true;
        }
    }
    return events;
}

std::vector<Bytes> CommandSplitter::push(ByteView bytes, gateway::Assembler &assembler)
{
    std::vector<Bytes> telegrams;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (m_gathering) {
            gather(bytes.subspan(pos));
            break;
        }
        if (assembler.pending() == 0 && startsCommand(bytes[pos])) {
            m_gathering = true;
            continue;
        }
        // Up to the end of the telegram under way; the next may be a command.
        const std::size_t take = std::min(bytes.size() - pos, gateway::kTelegramSize - assembler.pending());
        for (Bytes &t : assembler.push(bytes.subspan(pos, take)))
            telegrams.push_back(std::move(t));
        pos += take;
    }
    return telegrams;
}

CommandSplitter::Command CommandSplitter::endCommand()
{
    Command done = std::move(m_command);
    m_command = Command{};
    m_gathering = false;
    return done;
}

gateway::Answer displaySection(Display &display, ByteView command, std::vector<std::string> &notes)
{
    const std::string text(reinterpret_cast<const char *>(command.data()), command.size());
    DisplayReply reply = display.answer(text);
    notes.push_back("display " + printableText(text));
    notes.insert(notes.end(), reply.notes.begin(), reply.notes.end());
    if (reply.silent)
        return {std::nullopt, {1, 0, gateway::kErrTimeout}};
    std::string &out = reply.text;
    if (out.size() > gateway::kMaxReplyPayload) {
        // Whole lines, or whole items of a one-line address list, so that no
        // address arrives cut in two.
        const std::size_t cut = out.find_last_of("\n,", gateway::kMaxReplyPayload);
        const std::size_t keep = cut == std::string::npos      ? gateway::kMaxReplyPayload
                                 : out[cut] == '\n' && cut > 0 ? cut - 1
                                                               : cut;
        notes.push_back("reply of " + std::to_string(out.size()) + " bytes cut to " + std::to_string(keep)
                        + " to fit the telegram");
        out.resize(keep);
    }
    notes.push_back("display reply " + printableText(out));
    return {Bytes(out.begin(), out.end()), {}};
}

} // namespace mbussim
