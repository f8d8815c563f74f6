#include "frames.h"

#include "conversions.h"

#include <algorithm>
#include <string>
#include <utility>

namespace mbus {

namespace {

constexpr std::uint8_t kShortStart = 0x10;
constexpr std::uint8_t kLongStart = 0x68;
constexpr std::uint8_t kStop = 0x16;

constexpr std::string_view kWritePrefix = "Can not write to COM port - ";
constexpr std::string_view kNormalReadSocket = "Socket exception during normal read - ";
constexpr std::string_view kSecondarySetSocket = "Socket exception during secondary set - ";

std::uint8_t low8(int address)
{
    return static_cast<std::uint8_t>(address & 0xFF);
}

Request sent(Bytes frame, std::string_view context, std::string_view suffix,
             std::string_view socketText = kNormalReadSocket)
{
    Request r;
    r.frame = std::move(frame);
    r.writeFailure.reserve(kWritePrefix.size() + context.size() + suffix.size());
    r.writeFailure.append(kWritePrefix).append(context).append(suffix);
    r.socketFailure = std::string(socketText);
    return r;
}

Request sentTo(Bytes frame, std::string_view context, std::uint8_t a, std::string_view socketText = kNormalReadSocket)
{
    return sent(std::move(frame), context, std::to_string(a), socketText);
}

Request refused(std::string text)
{
    Request r;
    r.refusal = std::move(text);
    return r;
}

std::string quoted(std::string_view text)
{
    std::string q;
    q.reserve(text.size() + 2);
    q.push_back('"');
    q.append(text);
    q.push_back('"');
    return q;
}

Request badId(std::string_view idText, std::string_view expected)
{
    return refused("Incorrect ID " + quoted(idText) + ", must be " + std::string(expected) + " - nothing sent...");
}

Request badValue(std::string_view valueText, std::string_view expected)
{
    return refused("Incorrect value " + quoted(valueText) + ", must be " + std::string(expected)
                   + " - nothing sent...");
}

constexpr std::string_view kBcdValueRule = "1 to 8 digits";

} // namespace

Bytes shortFrame(std::uint8_t c, std::uint8_t a)
{
    return {kShortStart, c, a, static_cast<std::uint8_t>(c + a), kStop};
}

Bytes longFrame(std::uint8_t c, std::uint8_t a, std::uint8_t ci, ByteView data)
{
    // Callers pass at most a few data bytes; L is one byte.
    const auto length = static_cast<std::uint8_t>(3 + data.size());
    Bytes frame(data.size() + 9);
    frame[0] = kLongStart;
    frame[1] = length;
    frame[2] = length;
    frame[3] = kLongStart;
    frame[4] = c;
    frame[5] = a;
    frame[6] = ci;
    std::copy(data.begin(), data.end(), frame.begin() + 7);
    frame[frame.size() - 2] = frameChecksum(ByteView(frame).subspan(4, 3 + data.size()));
    frame[frame.size() - 1] = kStop;
    return frame;
}

Request buildReqUd2(int address, bool use5B)
{
    const auto a = low8(address);
    return sentTo(shortFrame(use5B ? kCReqUd2Fcb0 : kCReqUd2, a), "reading device ", a);
}

Request buildSndNke(int address)
{
    const auto a = low8(address);
    return sentTo(shortFrame(kCSndNke, a), "SND_NKE device ", a);
}

Request buildApplicationReset(int address)
{
    const auto a = low8(address);
    return sentTo(longFrame(kCSndUd, a, kCiApplicationReset, {}), "reset device ", a);
}

Request buildBaudChange(int address, std::uint8_t ci)
{
    if (ci != kCiBaud300 && ci != kCiBaud2400 && ci != kCiBaud9600)
        return refused("Incorrect baud rate code 0x" + hexCompact(ByteView(&ci, 1))
                       + ", must be 0xB8, 0xBB or 0xBD - nothing sent...");
    const auto a = low8(address);
    return sentTo(longFrame(kCSndUdFcb0, a, ci, {}), "Change baud of device ", a);
}

Request buildPrimaryAddressWrite(int address, int newAddress)
{
    if (newAddress < 0 || newAddress > kMaxPrimaryAddress)
        return refused("Incorrect primary address " + std::to_string(newAddress)
                       + ", must be 0 to 250 - nothing sent...");
    const auto a = low8(address);
    // DIF 01 (8-bit integer), VIF 7A (bus address).
    const std::uint8_t data[] = {0x01, 0x7A, static_cast<std::uint8_t>(newAddress)};
    return sentTo(longFrame(kCSndUd, a, kCiDataSend, data), "setting primary address, old is ", a, kSecondarySetSocket);
}

Request buildIdChange(int address, std::string_view idText)
{
    const auto id = idToBcd(idText);
    if (!id)
        return badId(idText, "8 digits");
    const auto a = low8(address);
    // DIF 0C (8-digit BCD), VIF 79 (enhanced identification).
    const std::uint8_t data[] = {0x0C, 0x79, (*id)[0], (*id)[1], (*id)[2], (*id)[3]};
    return sentTo(longFrame(kCSndUd, a, kCiDataSend, data), "changing ID ", a);
}

Request buildLitresWrite(int address, std::string_view valueText, bool integerForm)
{
    const auto a = low8(address);
    if (integerForm) {
        const auto value = valueToInteger(valueText);
        if (!value)
            return badValue(valueText, "a whole number from 0 to 4294967295");
        // DIF 04 (32-bit integer), VIF 13 (volume, litres).
        const std::uint8_t data[] = {0x04,
                                     0x13,
                                     static_cast<std::uint8_t>(*value),
                                     static_cast<std::uint8_t>(*value >> 8),
                                     static_cast<std::uint8_t>(*value >> 16),
                                     static_cast<std::uint8_t>(*value >> 24)};
        return sentTo(longFrame(kCSndUdFcb0, a, kCiDataSend, data), "setting liters ", a);
    }
    return buildValueWithUnitWrite(address, valueText, 0x13);
}

Request buildValueWithUnitWrite(int address, std::string_view valueText, std::uint8_t vif)
{
    const auto value = valueToBcd(valueText);
    if (!value)
        return badValue(valueText, kBcdValueRule);
    const auto a = low8(address);
    // DIF 0C: 8-digit BCD.
    const std::uint8_t data[] = {0x0C, vif, (*value)[0], (*value)[1], (*value)[2], (*value)[3]};
    return sentTo(longFrame(kCSndUdFcb0, a, kCiDataSend, data), "setting liters ", a);
}

Request buildMediumWrite(int address, std::uint8_t mediumCode, std::string_view idText)
{
    // Only the all-wildcard ID of a broadcast may hold 'F'.
    const bool everyMeter = idText == "FFFFFFFF";
    const auto id = idToBcd(idText, everyMeter);
    if (!id)
        return badId(idText, "8 digits or FFFFFFFF");
    const auto a = low8(address);
    // DIF 07 / VIF 79: 8-byte identification record, ID, manufacturer FF FF,
    // version FF, then the new medium.
    const std::uint8_t data[] = {0x07, 0x79, (*id)[0], (*id)[1], (*id)[2], (*id)[3], 0xFF, 0xFF, 0xFF, mediumCode};
    return sentTo(longFrame(kCSndUdFcb0, a, kCiDataSend, data), "setting medium to ", a);
}

Request buildUnitWrite(int address, std::uint8_t mediumCode, std::uint8_t vif)
{
    const auto a = low8(address);
    // DIF 0F opens manufacturer-specific data: VIF, 03, medium, 01, 01.
    const std::uint8_t data[] = {0x0F, vif, 0x03, mediumCode, 0x01, 0x01};
    return sentTo(longFrame(kCSndUdFcb0, a, kCiDataSend, data), "setting unit to ", a);
}

namespace {

Request selection(const Bcd4 &id, std::string_view context, std::string_view suffix, std::uint8_t version = 0xFF,
                  std::uint8_t medium = 0xFF)
{
    // ID, then manufacturer (always a wildcard), version and medium.
    const std::uint8_t data[] = {id[0], id[1], id[2], id[3], 0xFF, 0xFF, version, medium};
    return sent(longFrame(kCSndUdFcb0, kSelectedAddress, kCiSelectSlave, data), context, suffix);
}

} // namespace

Request buildSecondarySelection(std::string_view idText)
{
    const auto id = idToBcd(idText);
    if (!id)
        return badId(idText, "8 digits");
    return selection(*id, "reading by secondary ", idText);
}

Request buildWildcardSelection(const std::array<std::uint8_t, 8> &digits, std::uint8_t version, std::uint8_t medium)
{
    for (std::uint8_t d : digits)
        if (d > 9 && d != kWildcardDigit)
            return refused("Incorrect search pattern, digits must be 0 to 9 or F - nothing sent...");
    Bcd4 pattern{};
    for (std::size_t pair = 0; pair < 4; ++pair)
        pattern[3 - pair] = static_cast<std::uint8_t>(digits[2 * pair] << 4 | digits[2 * pair + 1]);
    Request r = selection(pattern, "searching by secondary...", {}, version, medium);
    r.logSent = false;
    return r;
}

} // namespace mbus
