#pragma once
// The gateway itself, without any socket: telegrams cut from a TCP stream,
// each request answered from the simulated bus, reply telegrams damaged on
// purpose for the fault options.
//
//   M-Bus frame (A8), meters answer   -> data section A8 + status, result 0
//   M-Bus frame (A8), no answer       -> status: result 1, second error 02 (timeout)
//   A8 payload that is no valid frame -> status: result 1, second error 40
//   display command (A1)              -> the display handler, when one is set;
//                                        otherwise status: result 1, first error 20
//   broken telegram                   -> status: result 1, the bits of every broken part

#include "bus.h"
#include "faults.h"
#include "gateway.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mbussim::gateway {

// Cuts a byte stream into 300-byte telegrams. Bytes are never resynchronised
// on a start byte: whatever comes past 300 begins the next telegram.
class Assembler {
public:
    std::vector<Bytes> push(ByteView bytes);
    std::size_t pending() const { return m_buffer.size(); }
    void clear() { m_buffer.clear(); }

private:
    Bytes m_buffer;
};

// What the handler of a section gives back.
struct Answer {
    std::optional<Bytes> payload; // a data section; none: the status section alone
    Status status;
};

struct Exchange {
    RequestCheck request;
    Reply reply;
    std::size_t answerSize = 0; // bytes the meters put on the line
    std::vector<std::string> notes;
};

class Gateway {
public:
    // Display commands (section A1): the hook for a simulated display.
    using DisplayHandler = std::function<Answer(ByteView command, std::vector<std::string> &notes)>;
    // The M-Bus line between gateway and meters: may damage an answer, or lose
    // it by returning false.
    using LineFilter = std::function<bool(Bytes &answer, std::vector<std::string> &notes)>;

    Gateway(Bus &bus, const NetworkNumber &net);

    const NetworkNumber &net() const { return m_net; }
    void setDisplayHandler(DisplayHandler handler) { m_display = std::move(handler); }
    void setLineFilter(LineFilter filter) { m_line = std::move(filter); }

    // One request telegram in, the reply to send out.
    Exchange handle(ByteView telegram);
    // Sent right after we connect to a master: a status section, result 0.
    Reply greeting() const;

private:
    Answer mbusFrame(ByteView frame, Exchange &exchange);

    Bus &m_bus;
    NetworkNumber m_net;
    DisplayHandler m_display;
    LineFilter m_line;
};

// The output lines, after "RX telegram " and "TX telegram ":
//   #5 A8 10 7B 01 7C 16
//   #5 A5 result 1, first error 00, second error 02 (timeout)
std::string requestLine(const Request &request);
std::string replyLine(const Reply &reply);

inline constexpr std::size_t kOversizeJunk = 10;
inline constexpr std::uint8_t kJunkByte = 0xEE;
inline constexpr std::uint8_t kBadStartByte = 0x00;

// The bytes that go out for a reply telegram struck by `fault`:
//   BadChecksum  byte 298 inverted
//   BadStart     byte 0 = 00, both checksums made good again (only the start is wrong)
//   Oversize     the telegram and 10 bytes EE, 310 in all
//   None, Silent the telegram as it is (Silent is the sender's business)
Bytes damage(Bytes telegram, TelegramFault fault);

} // namespace mbussim::gateway
