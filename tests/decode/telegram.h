#pragma once
// Building reply telegrams for the tests: a fixed header with chosen fields and
// the record bytes, wrapped into a long frame with correct length and checksum.

#include "decode/decode.h"

#include <QByteArray>

namespace testing {

inline mbus::ByteView view(const QByteArray &bytes)
{
    return {reinterpret_cast<const std::uint8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

// 68 L L 68 <body> CS 16
inline QByteArray longFrame(const QByteArray &body)
{
    QByteArray frame;
    frame.append(char(0x68)).append(char(body.size())).append(char(body.size())).append(char(0x68));
    frame.append(body);
    quint8 sum = 0;
    for (char c : body)
        sum = quint8(sum + quint8(c));
    frame.append(char(sum)).append(char(0x16));
    return frame;
}

struct HeaderFields {
    quint8 address = 0x05;
    QByteArray id = QByteArray::fromHex("78563412"); // ID 12345678
    quint16 manufacturer = 0x4656;                   // "QRV"
    quint8 version = 0x10;
    quint8 medium = 0x07; // water
    quint8 access = 0x55;
    quint8 status = 0x00;
};

// C=08 A CI=72 ID MAN VER MED ACC STA SIG SIG, then the records.
inline QByteArray reply(const QByteArray &records, const HeaderFields &h = {})
{
    QByteArray body;
    body.append(char(0x08)).append(char(h.address)).append(char(0x72));
    body.append(h.id);
    body.append(char(h.manufacturer & 0xFF)).append(char(h.manufacturer >> 8));
    body.append(char(h.version)).append(char(h.medium)).append(char(h.access)).append(char(h.status));
    body.append(char(0)).append(char(0));
    body.append(records);
    return longFrame(body);
}

inline QByteArray replyHex(const char *recordsHex, const HeaderFields &h = {})
{
    return reply(QByteArray::fromHex(recordsHex), h);
}

inline decode::DecodeResult decodeBytes(const QByteArray &bytes, bool fullReport = false, char separator = '.')
{
    decode::DecodeOptions options;
    options.fullReport = fullReport;
    options.decimalSeparator = separator;
    options.timeText = "10:15:30";
    options.dateText = "07.06.2024";
    return decode::decodeReply(view(bytes), options);
}

} // namespace testing
