// Feeds arbitrary bytes to the proxy reply decoding: the reassembly size and the read and write
// reply checks, with caller buffers of every size.
#include "link.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 3 || size > 16384 + 3) return 0;
    using namespace pyrolink;
    const std::uint8_t index = data[0];
    const int count = 1 + ((data[1] << 8) | data[2]) % 16379;
    data += 3;
    size -= 3;
    const int n = static_cast<int>(size);
    int total = proxyReadReplySize(data, n);
    if (total < 5 || total > 5 + 16379) __builtin_trap();
    std::vector<unsigned char> buffer(static_cast<std::size_t>(count));
    unsigned int got = 0;
    if (checkReadReply(data, n, index, buffer.data(), count, &got) == ProxyReply::Ok &&
        (got > static_cast<unsigned>(count) || got + 5 > size))
        __builtin_trap();
    checkWriteReply(data, n, index, count);
    return 0;
}
