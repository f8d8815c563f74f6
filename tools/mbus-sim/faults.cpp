#include "faults.h"

#include <algorithm>

namespace mbussim {

Faults::Faults(const FaultOptions &options) : m_options(options), m_random(options.seed) {}

bool Faults::chance(double percent)
{
    if (percent <= 0)
        return false;
    if (percent >= 100)
        return true;
    return std::uniform_real_distribution<double>(0, 100)(m_random) < percent;
}

bool Faults::drop()
{
    return chance(m_options.dropPercent);
}

bool Faults::hangup()
{
    const int reply = ++m_replies;
    if (std::find(m_options.hangupAt.begin(), m_options.hangupAt.end(), reply) != m_options.hangupAt.end())
        return true;
    return chance(m_options.hangupPercent);
}

bool Faults::corrupt(Bytes &reply)
{
    if (reply.empty() || !chance(m_options.corruptPercent))
        return false;
    const std::size_t at = std::uniform_int_distribution<std::size_t>(0, reply.size() - 1)(m_random);
    const auto mask = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(1, 255)(m_random));
    reply[at] ^= mask;
    return true;
}

TelegramFault Faults::telegramFault()
{
    for (const TelegramFaultOption &option : m_options.telegram)
        if (chance(option.percent))
            return option.kind;
    return TelegramFault::None;
}

Faults::Pause Faults::pause(std::size_t size)
{
    if (m_options.jitterMs <= 0 || size < 2)
        return {};
    Pause p;
    p.at = std::uniform_int_distribution<std::size_t>(1, size - 1)(m_random);
    p.us = std::uniform_int_distribution<std::int64_t>(0, std::int64_t(m_options.jitterMs) * 1000)(m_random);
    return p;
}

std::vector<Bytes> Faults::pieces(const Bytes &reply)
{
    if (!m_options.split || reply.size() < 2)
        return {reply};
    const std::size_t count = std::uniform_int_distribution<std::size_t>(2, std::min<std::size_t>(4, reply.size()))(
        m_random);
    // count-1 distinct cut points in 1..size-1
    std::vector<std::size_t> cuts;
    while (cuts.size() < count - 1) {
        const std::size_t cut = std::uniform_int_distribution<std::size_t>(1, reply.size() - 1)(m_random);
        if (std::find(cuts.begin(), cuts.end(), cut) == cuts.end())
            cuts.push_back(cut);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.push_back(reply.size());
    std::vector<Bytes> out;
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        out.emplace_back(reply.begin() + static_cast<std::ptrdiff_t>(from),
                         reply.begin() + static_cast<std::ptrdiff_t>(cut));
        from = cut;
    }
    return out;
}

} // namespace mbussim
