#include "displayfaults.h"

#include <algorithm>
#include <cstdlib>

namespace mbussim {

namespace {
const std::pair<const char *, DisplayFault> kKinds[] = {
    {"missing-lines", DisplayFault::MissingLines},
    {"garbage", DisplayFault::Garbage},
    {"silent", DisplayFault::Silent},
    {"no-activate", DisplayFault::NoActivate},
};

bool allDigits(const std::string &s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}
} // namespace

const char *displayFaultName(DisplayFault kind)
{
    for (const auto &k : kKinds)
        if (k.second == kind)
            return k.first;
    return "none";
}

std::optional<DisplayFaultOption> parseDisplayFault(const std::string &text)
{
    DisplayFaultOption option;
    std::string rest = text;
    if (const std::size_t at = rest.find('@'); at != std::string::npos) {
        const std::string address = rest.substr(at + 1);
        if (!allDigits(address) || address.size() > 3 || std::stoi(address) < 1 || std::stoi(address) > 250)
            return std::nullopt;
        option.address = std::stoi(address);
        rest.resize(at);
    }
    if (const std::size_t colon = rest.find(':'); colon != std::string::npos) {
        const std::string percent = rest.substr(colon + 1);
        char *end = nullptr;
        option.percent = std::strtod(percent.c_str(), &end);
        if (percent.empty() || *end != '\0' || !(option.percent >= 0 && option.percent <= 100))
            return std::nullopt;
        rest.resize(colon);
    }
    const auto found = std::find_if(std::begin(kKinds), std::end(kKinds),
                                    [&rest](const auto &k) { return rest == k.first; });
    if (found == std::end(kKinds))
        return std::nullopt;
    option.kind = found->second;
    return option;
}

DisplayFaults::DisplayFaults(std::vector<DisplayFaultOption> options, std::uint32_t seed)
    : m_options(std::move(options)), m_random(seed)
{}

DisplayFault DisplayFaults::strike(int address, bool activation)
{
    for (const DisplayFaultOption &o : m_options) {
        if (o.address >= 0 && o.address != address)
            continue;
        if (o.kind == DisplayFault::NoActivate && !activation)
            continue;
        if (o.percent >= 100 || (o.percent > 0 && std::uniform_real_distribution<double>(0, 100)(m_random) < o.percent))
            return o.kind;
    }
    return DisplayFault::None;
}

std::string DisplayFaults::garbage(std::size_t size)
{
    std::string bytes(std::max<std::size_t>(size, 8), '\0');
    std::uniform_int_distribution<int> byte(0, 255);
    for (char &c : bytes)
        c = static_cast<char>(byte(m_random));
    return bytes;
}

} // namespace mbussim
