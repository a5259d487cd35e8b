// Feeds arbitrary adapter answers and received frames to the CAN and CANopen services. Input:
// operation selector, node, then the adapter's bytes, each read as a length byte and its bytes.
#include "fuzzed_link.h"
#include "pyrolink.h"

#include <functional>
#include <iterator>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 2) return 0;
    const unsigned char node = data[1];
    fuzzed::Link link(data + 2, size - 2, true);

    unsigned char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    unsigned char c[4] = {};
    short ids[4] = {0x181, 0x182, 0x201, 0x7FF};
    short id = 0;
    unsigned char length = 0;
    const std::function<void()> calls[] = {
        [&] { ReadMsgCan(&id, &length, bytes); },
        [&] { WriteMsgCan(node, node % 9, bytes); },
        [&] { WriteSDO(node, 0x2000, 1, node % 6, bytes); },
        [&] { ReadSDO(node, 0x1018, 2, &length, bytes); },
        [&] { ReadConfCan(&c[0], &c[1], &c[2], &c[3]); },
        [&] { StartCan(0x80, ids, 0, ids); },
        [&] { StopCan(); },
        [&] { StartRemoteNode(node); },
    };
    calls[data[0] % std::size(calls)]();
    return 0;
}
