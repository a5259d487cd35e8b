// Feeds arbitrary bytes to the frame reply parser as if they had arrived from a board, with
// every command code and chunk size, and copies the data as the memory reads do.
#include "frame.h"
#include "link.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 2) return 0;
    using namespace pyrolink;
    const std::uint8_t command = data[0];
    const int chunk = 1 + data[1] % frame::kMaxChunk;
    data += 2;
    size -= 2;
    LinkState &s = state();
    std::size_t n = size < kBufferSize - 1 ? size : kBufferSize - 1;
    std::memset(s.rx, 0xEE, sizeof s.rx);
    std::memcpy(s.rx, data, n);
    s.rxCount = static_cast<std::uint32_t>(size); // may exceed what fits: the parser takes it modulo 256
    if (const std::optional<frame::Reply> reply = frame::parse(command)) {
        std::uint8_t destination[frame::kMaxChunk];
        if (reply->length > 0 && reply->length <= chunk && reply->dataChecksumOk())
            std::memcpy(destination, reply->data, static_cast<std::size_t>(reply->length));
    }
    return 0;
}
