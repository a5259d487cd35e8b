// Feeds arbitrary replies to the FRL, VEXA and Modbus exchanges. Input: export selector, device
// address, register count, then the replies, each as a length byte and its bytes (one per read).
#include "fuzzed_link.h"
#include "pyrolink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 3) return 0;
    const int which = data[0] % 19;
    const unsigned char address = data[1];
    const short count = static_cast<short>(data[2] % 130); // also exercises the refused sizes
    fuzzed::Link link(data + 3, size - 3, false);

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
    return 0;
}
