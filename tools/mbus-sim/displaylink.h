#pragma once
// How display commands reach the display beside the meters.
//
// On a bare line (pseudo-terminal, converter port) the master's bytes are
// either M-Bus frames or text commands: a command starts with one of the
// letters G, S, D where no frame is under way (frames start with 10, 68 or
// E5) and, having no terminator, ends when the line goes quiet. The same holds
// on a gateway connection where a telegram would begin (telegrams start with
// 01): the master sends display commands bare on its listening socket.
//
// In a gateway telegram (section A1) the reply text goes back in a data
// section; a display that says nothing gives a timeout status.

#include "display.h"
#include "framer.h"
#include "gatewayunit.h"

#include <string>
#include <vector>

namespace mbussim {

class CommandSplitter {
public:
    // Longer commands are cut; the rest is counted and dropped.
    static constexpr std::size_t kMaxCommand = 300;
    static bool startsCommand(std::uint8_t byte) { return byte == 'G' || byte == 'S' || byte == 'D'; }

    // Bare line: frame bytes go through `framer`, whose events come back.
    std::vector<FramerEvent> push(ByteView bytes, Framer &framer);
    // Gateway connection: telegram bytes go through `assembler`, whose telegrams come back.
    std::vector<Bytes> push(ByteView bytes, gateway::Assembler &assembler);

    bool gathering() const { return m_gathering; }

    struct Command {
        std::string text;
        std::size_t dropped = 0; // bytes past kMaxCommand
    };
    // The line went quiet: the command gathered so far (empty text when none).
    Command endCommand();
    void clear() { endCommand(); }

private:
    void gather(ByteView bytes);

    bool m_gathering = false;
    Command m_command;
};

// An A1 command answered by `display`, for Gateway::setDisplayHandler. A reply
// too long for a telegram is cut after the last whole line (or list item) that
// fits, with a note.
gateway::Answer displaySection(Display &display, ByteView command, std::vector<std::string> &notes);

} // namespace mbussim
