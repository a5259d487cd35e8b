// Feeds arbitrary replies to the FRL, VEXA and Modbus exchanges. Input: export selector, device
// address, register count, then the replies, each as a length byte and its bytes (one per read).
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
    if (size < 3) return 0;
    using namespace pyrolink;
    LinkState &s = state();
    s.work.open = 1; // no device: requests go nowhere, replies come from the input
    s.work.handle = kInvalidHandle;
    s.work.proxyAddress = kNoProxy;
    replySource = fuzzedReply;
    const int which = data[0] % 19;
    const unsigned char address = data[1];
    const short count = static_cast<short>(data[2] % 130); // also exercises the refused sizes
    g_data = data + 3;
    g_left = size - 3;

    short f[8] = {};
    short regs[130] = {};
    unsigned char b[32] = {};
    unsigned char value = address;
    switch (which) {
    case 0:
        ReadFreqFRL(address, &f[0], &f[1], &f[2], &f[3]);
        break;
    case 1:
        ReadFreqFRL2(address, &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6], &f[7]);
        break;
    case 2:
        ReadFreqFRL3(address, f);
        break;
    case 3:
        ReadConfFRL2(address, &value);
        break;
    case 4:
        SetConfFRL2(address, &value);
        break;
    case 5:
        ReadConfVEXA(address, &value);
        break;
    case 6:
        SetConfVEXA(address, &value);
        break;
    case 7:
        ReadDigInpVEXA(address, b);
        break;
    case 8:
        ReadVBVEXA(address, b);
        break;
    case 9:
        WriteVBVEXA(address, 3, &value);
        break;
    case 10:
        ReadVWVEXA(address, 1, &f[0]);
        break;
    case 11:
        WriteVWVEXA(address, 1, &f[0]);
        break;
    case 12:
        ResetVEXA(address);
        break;
    case 13:
        ReadConfVEXAAdv(address, &value);
        break;
    case 14:
        SetConfVEXAAdv(address, &value);
        break;
    case 15:
        ReadVWVEXAAdv(address, 2, &f[0]);
        break;
    case 16:
        WriteVWVEXAAdv(address, 2, &f[0]);
        break;
    case 17:
        ReadWRegMBus(address, 0, count, regs);
        break;
    default:
        WriteWRegMBus(address, 0, count, regs);
        break;
    }
    replySource = nullptr;
    s.work.open = 0;
    return 0;
}
