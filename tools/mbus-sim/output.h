#pragma once
// Standard output of the simulator, one line at a time, flushed at once so a
// watching person or test sees each line as it happens:
//
//   PTY /dev/pts/4 (link /tmp/ttyMBUS)     start-up, always shown
//   RX 10 7B 01 7C 16                       a frame from the master
//   TX 68 1F 1F 68 08 01 72 ...             what goes back on the line
//   RX telegram #5 A8 10 7B 01 7C 16        a gateway telegram and its payload
//   -- meter 12345678 (addr 1): new ID      a note on what happened
//
// --quiet keeps the start-up lines only.

#include "mbus/bytes.h"

#include <string>

class Output {
public:
    explicit Output(bool quiet) : m_quiet(quiet) {}

    void frame(const char *direction, mbus::ByteView bytes);
    // "RX telegram #5 A8 10 7B 01 7C 16": `text` follows "telegram ".
    void telegram(const char *direction, const std::string &text);
    // "RX display GET ENTR=5,1": a display command or reply, lines joined by " | ".
    void display(const char *direction, const std::string &text);
    void note(const std::string &text);
    void always(const std::string &text);

private:
    static void line(const std::string &text);

    bool m_quiet = false;
};
