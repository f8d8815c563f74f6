#include "output.h"

#include "frames.h"

#include <cstdio>

void Output::line(const std::string &text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Output::frame(const char *direction, mbus::ByteView bytes)
{
    if (!m_quiet)
        line(std::string(direction) + " " + mbussim::hexLine(bytes));
}

void Output::telegram(const char *direction, const std::string &text)
{
    if (!m_quiet)
        line(std::string(direction) + " telegram " + text);
}

void Output::display(const char *direction, const std::string &text)
{
    if (!m_quiet)
        line(std::string(direction) + " display " + text);
}

void Output::note(const std::string &text)
{
    if (!m_quiet)
        line("-- " + text);
}

void Output::always(const std::string &text)
{
    line(text);
}
