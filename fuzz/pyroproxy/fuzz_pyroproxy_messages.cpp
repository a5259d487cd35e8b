// Feeds an arbitrary client stream to the proxy server's message framing, as the server consumes
// it, and every open request found to the time-out rule: messages never exceed the buffer and
// every read the server makes ends within its cap.
#include "protocol.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace pyroproxy;
    using pyrolink::kMaxDword;
    constexpr std::uint32_t kChunk = 255, kCap = 4000;
    while (size > 0) {
        const std::size_t have = size < kMaxMessage ? size : kMaxMessage;
        const Frame f = frameMessage(data, have);
        if (f.framing != Framing::Complete) return 0;
        if (f.size < kShortSize || f.size > have) __builtin_trap();
        if (data[0] == static_cast<std::uint8_t>(MessageType::Open)) {
            const pyrolink::ReadTimeouts t = timeoutsFor(decodeOpen(data), kChunk, kCap);
            const bool immediate = t.interval == kMaxDword && t.multiplier == 0 && t.constant == 0;
            const bool firstByte = t.interval == kMaxDword && t.multiplier == kMaxDword;
            const std::uint64_t total = std::uint64_t(t.multiplier) * kChunk + t.constant;
            if (!immediate && (firstByte ? t.constant > kCap : (total == 0 || total > kCap)))
                __builtin_trap();
        }
        data += f.size;
        size -= f.size;
    }
    return 0;
}
