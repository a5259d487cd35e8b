// Feeds arbitrary replies to the FRL, VEXA and Modbus exchanges. Input: export selector, device
// address, register count, then the replies, each as a length byte and its bytes (one per read).
#include "fuzzed_link.h"
#include "pyrolink.h"

#include <functional>
#include <iterator>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 3) return 0;
    const unsigned char address = data[1];
    const short count = static_cast<short>(data[2] % 130); // also exercises the refused sizes
    fuzzed::Link link(data + 3, size - 3, false);

    short f[8] = {};
    short regs[130] = {};
    unsigned char b[32] = {};
    unsigned char value = address;
    const std::function<void()> calls[] = {
        [&] { ReadFreqFRL(address, &f[0], &f[1], &f[2], &f[3]); },
        [&] { ReadFreqFRL2(address, &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6], &f[7]); },
        [&] { ReadFreqFRL3(address, f); },
        [&] { ReadConfFRL2(address, &value); },
        [&] { SetConfFRL2(address, &value); },
        [&] { ReadConfVEXA(address, &value); },
        [&] { SetConfVEXA(address, &value); },
        [&] { ReadDigInpVEXA(address, b); },
        [&] { ReadVBVEXA(address, b); },
        [&] { WriteVBVEXA(address, 3, &value); },
        [&] { ReadVWVEXA(address, 1, &f[0]); },
        [&] { WriteVWVEXA(address, 1, &f[0]); },
        [&] { ResetVEXA(address); },
        [&] { ReadConfVEXAAdv(address, &value); },
        [&] { SetConfVEXAAdv(address, &value); },
        [&] { ReadVWVEXAAdv(address, 2, &f[0]); },
        [&] { WriteVWVEXAAdv(address, 2, &f[0]); },
        [&] { ReadWRegMBus(address, 0, count, regs); },
        [&] { WriteWRegMBus(address, 0, count, regs); },
    };
    calls[data[0] % std::size(calls)]();
    return 0;
}
