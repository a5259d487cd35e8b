// A link with no device behind it for the fuzz targets: requests go nowhere and every read takes
// its reply from the fuzzer input, as a length byte followed by that many bytes.
#pragma once

#include "link.h"
#include "reply_source.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fuzzed {

inline const std::uint8_t *g_data = nullptr;
inline std::size_t g_left = 0;

inline int reply(unsigned char *buffer, int count, unsigned int *got) {
    *got = 0;
    if (g_left == 0) return 0;
    std::size_t n = g_data[0];
    ++g_data;
    --g_left;
    if (n > g_left) n = g_left;
    if (n > static_cast<std::size_t>(count)) n = static_cast<std::size_t>(count);
    std::memcpy(buffer, g_data, n);
    g_data += n;
    g_left -= n;
    *got = static_cast<unsigned int>(n);
    return 1;
}

// Opens the device-less link (with the CAN adapter started when `can`) for one run over the
// replies in `data`, and closes it again.
class Link {
public:
    Link(const std::uint8_t *data, std::size_t size, bool can) {
        using namespace pyrolink;
        LinkState &s = state();
        s.work.open = 1;
        s.work.canOpen = can ? 1 : 0;
        s.work.handle = kInvalidHandle;
        s.work.proxyAddress = kNoProxy;
        s.work.transport = &serialTransport;
        replySource = reply;
        g_data = data;
        g_left = size;
    }
    ~Link() {
        using namespace pyrolink;
        replySource = nullptr;
        state().work.open = 0;
        state().work.canOpen = 0;
    }
    Link(const Link &) = delete;
    Link &operator=(const Link &) = delete;
};

} // namespace fuzzed
