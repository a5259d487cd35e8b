// Feeds arbitrary adapter answers and received frames to the CAN and CANopen services. Input:
// operation selector, node, then the adapter's bytes, each read as a length byte and its bytes.
#include "link.h"
#include "pyrolink.h"
#include "reply_source.h"

#include <cstring>

namespace {

const std::uint8_t *g_data = nullptr;
std::size_t g_left = 0;

int fuzzedReply(unsigned char *buffer, int count, unsigned int *got) {
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 2) return 0;
    using namespace pyrolink;
    LinkState &s = state();
    s.work.open = 1; // no device: commands go nowhere, answers come from the input
    s.work.canOpen = 1;
    s.work.handle = kInvalidHandle;
    s.work.proxyAddress = kNoProxy;
    replySource = fuzzedReply;
    const int which = data[0] % 8;
    const unsigned char node = data[1];
    g_data = data + 2;
    g_left = size - 2;

    unsigned char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    unsigned char c[4] = {};
    short ids[4] = {0x181, 0x182, 0x201, 0x7FF};
    short id = 0;
    unsigned char length = 0;
    switch (which) {
    case 0:
        ReadMsgCan(&id, &length, bytes);
        break;
    case 1:
        WriteMsgCan(node, node % 9, bytes);
        break;
    case 2:
        WriteSDO(node, 0x2000, 1, node % 6, bytes);
        break;
    case 3:
        ReadSDO(node, 0x1018, 2, &length, bytes);
        break;
    case 4:
        ReadConfCan(&c[0], &c[1], &c[2], &c[3]);
        break;
    case 5:
        StartCan(0x80, ids, 0, ids);
        break;
    case 6:
        StopCan();
        break;
    default:
        StartRemoteNode(node);
        break;
    }
    replySource = nullptr;
    s.work.open = 0;
    s.work.canOpen = 0;
    return 0;
}
