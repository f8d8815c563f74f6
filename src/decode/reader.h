#pragma once
// Checked access to a reply. Every byte the decoder looks at goes through here,
// so no input, however short or garbled, makes it read past the buffer.

#include "mbus/bytes.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace decode {

class Reader {
public:
    constexpr explicit Reader(mbus::ByteView bytes) : m_bytes(bytes) {}

    // The record area of a reply: everything before its checksum and stop byte.
    static constexpr Reader recordArea(mbus::ByteView reply)
    {
        return Reader(reply.size() >= 2 ? reply.first(reply.size() - 2) : mbus::ByteView{});
    }

    constexpr std::size_t size() const { return m_bytes.size(); }
    constexpr bool contains(std::size_t offset) const { return offset < m_bytes.size(); }

    // True when count bytes starting at offset all lie inside.
    constexpr bool has(std::size_t offset, std::size_t count) const
    {
        return offset <= m_bytes.size() && count <= m_bytes.size() - offset;
    }

    // The byte at offset, or 0 outside (callers test contains() where 0 would mislead).
    constexpr std::uint8_t at(std::size_t offset) const
    {
        return offset < m_bytes.size() ? m_bytes[offset] : std::uint8_t{0};
    }

    std::optional<std::uint8_t> byte(std::size_t offset) const
    {
        if (!contains(offset))
            return std::nullopt;
        return m_bytes[offset];
    }

    // count bytes from offset, or nothing when they do not all lie inside.
    std::optional<mbus::ByteView> bytes(std::size_t offset, std::size_t count) const
    {
        if (!has(offset, count))
            return std::nullopt;
        return m_bytes.subspan(offset, count);
    }

    // Everything from offset to the end (empty when offset is outside).
    mbus::ByteView from(std::size_t offset) const
    {
        return offset < m_bytes.size() ? m_bytes.subspan(offset) : mbus::ByteView{};
    }

private:
    mbus::ByteView m_bytes;
};

} // namespace decode
