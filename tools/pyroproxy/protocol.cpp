#include "protocol.h"

namespace pyroproxy {
namespace {

std::int32_t le32(const std::uint8_t *p) {
    return static_cast<std::int32_t>(std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                                     (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24));
}

} // namespace

std::uint16_t le16(const std::uint8_t *p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

Frame frameMessage(const std::uint8_t *bytes, std::size_t have) {
    if (have == 0) return {Framing::Incomplete, 0};
    std::size_t size = 0;
    switch (static_cast<MessageType>(bytes[0])) {
    case MessageType::Open:
        size = kOpenSize;
        break;
    case MessageType::Read:
    case MessageType::Close:
        size = kShortSize;
        break;
    case MessageType::Write:
        if (have < kWriteHeader) return {Framing::Incomplete, 0};
        if (le16(bytes + 2) > kMaxWriteData) return {Framing::Oversize, 0};
        size = kWriteHeader + le16(bytes + 2);
        break;
    default:
        return {Framing::Malformed, 0};
    }
    return have >= size ? Frame{Framing::Complete, size} : Frame{Framing::Incomplete, 0};
}

OpenRequest decodeOpen(const std::uint8_t *message) {
    return {message[1], le32(message + 2), le32(message + 6), le32(message + 10), le32(message + 14)};
}

pyrolink::ReadTimeouts timeoutsFor(const OpenRequest &request, std::uint32_t chunk, std::uint32_t capMs) {
    using pyrolink::kMaxDword;
    pyrolink::ReadTimeouts t;
    if (request.t3 == -1) {
        t.interval = kMaxDword;
        t.constant = 0;
    } else {
        t.interval = static_cast<std::uint32_t>(request.t3);
        t.constant = static_cast<std::uint32_t>(request.t1);
    }
    t.multiplier = static_cast<std::uint32_t>(request.t2);

    const bool immediate = t.interval == kMaxDword && t.multiplier == 0 && t.constant == 0;
    if (immediate) return t;
    const bool firstByte =
        t.interval == kMaxDword && t.multiplier == kMaxDword && t.constant > 0 && t.constant < kMaxDword;
    if (firstByte) {
        if (t.constant > capMs) t.constant = capMs;
        return t;
    }
    const std::uint64_t total = std::uint64_t(t.multiplier) * chunk + t.constant;
    if (total == 0 || total > capMs) {
        t.multiplier = 0;
        t.constant = capMs;
    }
    return t;
}

std::size_t replyHeader(std::uint8_t *out, MessageType type, std::uint8_t index, Status status,
                        std::uint16_t count) {
    out[0] = static_cast<std::uint8_t>(type);
    out[1] = index;
    out[2] = static_cast<std::uint8_t>(status);
    if (type == MessageType::Open || type == MessageType::Close) return 3;
    out[3] = static_cast<std::uint8_t>(count);
    out[4] = static_cast<std::uint8_t>(count >> 8);
    return kReplyHeader;
}

} // namespace pyroproxy
