// The messages between the link library (client) and the proxy server, kept free of sockets and
// devices so they can be fuzzed. Multi-byte numbers are least significant byte first.
//
//   open   00 index baud(4) t1(4) t2(4) t3(4)  ->  00 index status
//   write  01 index count(2) data              ->  01 index status written(2)
//   read   02 index                            ->  02 index status count(2) data
//   close  03 index                            ->  03 index status
#pragma once

#include "platform.h"

#include <cstddef>
#include <cstdint>

namespace pyroproxy {

enum class MessageType : std::uint8_t { Open = 0x00, Write = 0x01, Read = 0x02, Close = 0x03 };
enum class Status : std::uint8_t { Ok = 0x00, Failed = 0x01 };

constexpr std::size_t kOpenSize = 18;
constexpr std::size_t kShortSize = 2;   // read and close requests
constexpr std::size_t kWriteHeader = 4; // type, index, count
constexpr std::size_t kReplyHeader = 5; // type, index, status, count
constexpr int kMaxWriteData = 16380;    // the most the library ever sends
constexpr std::size_t kMaxMessage = kWriteHeader + kMaxWriteData;

enum class Framing { Incomplete, Complete, Malformed, Oversize };

struct Frame {
    Framing framing;
    std::size_t size; // of the complete message; 0 unless Complete
};

// Looks at the `have` bytes at the start of a client's stream: a complete message and its size,
// more bytes needed, an unknown type, or a write longer than any the library sends.
Frame frameMessage(const std::uint8_t *bytes, std::size_t have);

struct OpenRequest {
    std::uint8_t index;
    std::int32_t baud, t1, t2, t3;
};

OpenRequest decodeOpen(const std::uint8_t *message);

// The read time-outs the open request asks for, set as the library sets them on a direct open
// (t3 = -1 polls), for reads of `chunk` bytes. Waits longer than `capMs` (or without end) are
// shortened to `capMs`, so every read request is answered before the client gives up on it.
pyrolink::ReadTimeouts timeoutsFor(const OpenRequest &request, std::uint32_t chunk, std::uint32_t capMs);

// Writes a reply header to `out` (3 bytes for open and close, 5 with the count for write and
// read) and returns its size.
std::size_t replyHeader(std::uint8_t *out, MessageType type, std::uint8_t index, Status status,
                        std::uint16_t count = 0);

std::uint16_t le16(const std::uint8_t *p);

} // namespace pyroproxy
