// Feeds arbitrary adapter answers and received frames to the CAN and CANopen services. Input:
// operation selector, node, then the adapter's bytes, each read as a length byte and its bytes.
#include "fuzzed_link.h"
#include "pyrolink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 2) return 0;
    const int which = data[0] % 8;
    const unsigned char node = data[1];
    fuzzed::Link link(data + 2, size - 2, true);

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
    return 0;
}
