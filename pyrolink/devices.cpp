// Small bus devices on the active port: FRL frequency sensors, VEXA I/O modules (basic and
// advanced addressing) and Modbus RTU holding registers. Every exchange is a short request, one
// driver-timed read, a scan for the reply's start and its checks, repeated up to three times.
#include "crc16_modbus.h"
#include "frame.h"
#include "link.h"
#include "pyrolink.h"
#include "reply_source.h"

#include <cstring>
#include <initializer_list>

namespace pyrolink::devices {
namespace {

constexpr int kAttempts = 3;
constexpr std::uint8_t kBroadcast = 0;
constexpr int kMaxReadRegisters = 125;
constexpr int kMaxWriteRegisters = 123;

// The check byte is the same 8-bit sum as the frame protocol's.
using frame::sum8;

// Puts the bytes into the transmit buffer, optionally followed by their 8-bit sum. Returns the size.
int request(std::initializer_list<std::uint8_t> bytes, bool withCheck) {
    std::uint8_t *tx = state().tx;
    int n = 0;
    for (std::uint8_t b : bytes)
        tx[n++] = b;
    if (withCheck) {
        tx[n] = sum8(tx, n);
        ++n;
    }
    return n;
}

// One reply as seen by the acceptance test: `r` points at the start byte, `avail` bytes from there.
struct Reply {
    const std::uint8_t *r;
    int avail;
};

// Sends the request, reads once, and hands what arrived to `accept` (which scans and checks it).
template <typename Accept> int exchange(int size, Accept accept) {
    if (!portOpen()) return 0;
    LinkState &s = state();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        WriteComm(s.tx, size);
        unsigned int got = 0;
        const int ok = readDeviceReply(s.rx, int(kBufferSize) - 1, &got);
        s.rxCount = got;
        if (!ok) continue;
        if (accept(s.rx, int(got))) return 1;
    }
    return 0;
}

// The first occurrence of `start`; only that one is examined. It must have `after` bytes after it
// in what was received, so a short reply is never read past its end.
bool findStart(const std::uint8_t *rx, int got, int moreThan, std::uint8_t start, int after, Reply *out) {
    if (got <= moreThan) return false;
    for (int i = 0; i < got; ++i) {
        if (rx[i] != start) continue;
        if (i + after >= got) return false;
        *out = Reply{rx + i, got - i};
        return true;
    }
    return false;
}

bool addressOk(std::uint8_t replied, std::uint8_t address) {
    return address == kBroadcast || replied == address;
}

// The checked VEXA / FRL3 exchange: the reply is '?', the address echo (or broadcast) and the
// check byte at `checkAt`, more than `checkAt` bytes received; `take` then reads (and may refuse)
// the reply from its start byte.
template <typename Take> int checkedExchange(int size, std::uint8_t address, int checkAt, Take take) {
    return exchange(size, [&](const std::uint8_t *rx, int got) {
        Reply r{};
        if (!findStart(rx, got, checkAt, '?', checkAt, &r)) return false;
        if (!addressOk(r.r[1], address)) return false;
        return sum8(r.r, checkAt) == r.r[checkAt] && take(r.r);
    });
}

short be16(const std::uint8_t *p) {
    return short(std::uint16_t((p[0] << 8) | p[1]));
}
short le16(const std::uint8_t *p) {
    return short(std::uint16_t(p[0] | (p[1] << 8)));
}

void putCrc(std::uint8_t *frame, int size) {
    const std::uint16_t crc = crc16Modbus(frame, std::size_t(size));
    frame[size] = std::uint8_t(crc);
    frame[size + 1] = std::uint8_t(crc >> 8);
}

bool crcOk(const std::uint8_t *frame, int size) {
    const std::uint16_t crc = crc16Modbus(frame, std::size_t(size));
    return frame[size] == std::uint8_t(crc) && frame[size + 1] == std::uint8_t(crc >> 8);
}

// The first position holding the slave address (any address for a broadcast) and the function
// code, with `need` bytes from there; positions that do not match are skipped.
const std::uint8_t *findModbusReply(const std::uint8_t *rx, int got, std::uint8_t slave,
                                    std::uint8_t function, int need) {
    for (int i = 0; i + 1 < got; ++i) {
        if ((slave == kBroadcast || rx[i] == slave) && rx[i + 1] == function)
            return i + need <= got ? rx + i : nullptr;
    }
    return nullptr;
}

} // namespace
} // namespace pyrolink::devices

namespace pyrolink {

ReplySource replySource = nullptr;

int readDeviceReply(unsigned char *buffer, int count, unsigned int *got) {
    return replySource ? replySource(buffer, count, got) : ReadComm(buffer, count, got);
}

} // namespace pyrolink

using namespace pyrolink;
using namespace pyrolink::devices;

extern "C" {

// ---- FRL frequency sensors -----------------------------------------------------------------------

int ReadFreqFRL(unsigned char address, short *f0, short *f1, short *f2, short *f3) {
    if (!f0 || !f1 || !f2 || !f3) return 0;
    const int size = request({'?', address}, false);
    return exchange(size, [&](const std::uint8_t *rx, int got) {
        Reply r{};
        // Answers only from the device asked, even for address 0.
        if (!findStart(rx, got, 9, '?', 9, &r) || r.r[1] != address) return false;
        *f0 = be16(r.r + 2);
        *f1 = be16(r.r + 4);
        *f2 = be16(r.r + 6);
        *f3 = be16(r.r + 8);
        return true;
    });
}

int ReadFreqFRL2(unsigned char address, short *f0, short *f1, short *f2, short *f3, short *f4, short *f5,
                 short *f6, short *f7) {
    short *out[8] = {f0, f1, f2, f3, f4, f5, f6, f7};
    for (short *p : out)
        if (!p) return 0;
    const int size = request({'?', address}, false);
    return exchange(size, [&](const std::uint8_t *rx, int got) {
        Reply r{};
        if (!findStart(rx, got, 17, '?', 17, &r) || !addressOk(r.r[1], address)) return false;
        for (int i = 0; i < 8; ++i)
            *out[i] = be16(r.r + 2 + 2 * i);
        return true;
    });
}

int ReadFreqFRL3(unsigned char address, short *values) {
    if (!values) return 0;
    const int size = request({'?', address, 'R', 'F'}, true);
    return checkedExchange(size, address, 20, [&](const std::uint8_t *r) {
        for (int i = 0; i < 8; ++i)
            values[i] = be16(r + 4 + 2 * i);
        return true;
    });
}

int ReadConfFRL2(unsigned char address, unsigned char *value) {
    if (!value) return 0;
    const int size = request({'N', address}, false);
    return exchange(size, [&](const std::uint8_t *rx, int got) {
        Reply r{};
        if (!findStart(rx, got, 1, 'N', 1, &r) || !addressOk(r.r[1], address)) return false;
        *value = r.r[1];
        return true;
    });
}

int SetConfFRL2(unsigned char address, unsigned char *newValue) {
    if (!newValue) return 0;
    const std::uint8_t wanted = *newValue;
    const int size = request({'S', address, wanted}, false);
    return exchange(size, [&](const std::uint8_t *rx, int got) {
        Reply r{};
        return findStart(rx, got, 1, 'S', 1, &r) && (r.r[1] == wanted || address == kBroadcast);
    });
}

// ---- VEXA I/O modules ----------------------------------------------------------------------------

int ReadConfVEXA(unsigned char address, unsigned char *value) {
    if (!value) return 0;
    const int size = request({'?', address, 'N'}, true);
    return checkedExchange(size, address, 4, [&](const std::uint8_t *r) {
        *value = r[3];
        return true;
    });
}

int SetConfVEXA(unsigned char address, unsigned char *newValue) {
    if (!newValue) return 0;
    const std::uint8_t wanted = *newValue;
    const int size = request({'?', address, 'S', wanted}, true);
    return exchange(size, [&](const std::uint8_t *rx, int got) {
        Reply r{};
        if (!findStart(rx, got, 4, '?', 4, &r)) return false;
        if (r.r[1] != wanted && address != kBroadcast) return false;
        return r.r[3] == 'K' && sum8(r.r, 4) == r.r[4];
    });
}

int ReadDigInpVEXA(unsigned char address, unsigned char *inputs) {
    if (!inputs) return 0;
    const int size = request({'?', address, 'R', 'I'}, true);
    return checkedExchange(size, address, 6, [&](const std::uint8_t *r) {
        inputs[0] = r[4];
        inputs[1] = r[5];
        return true;
    });
}

int ReadVBVEXA(unsigned char address, unsigned char *bits) {
    if (!bits) return 0;
    const int size = request({'?', address, 'R', 'B'}, true);
    return checkedExchange(size, address, 36, [&](const std::uint8_t *r) {
        std::memcpy(bits, r + 4, 32);
        return true;
    });
}

int WriteVBVEXA(unsigned char address, unsigned char bit, unsigned char *flag) {
    if (!flag) return 0;
    const int size = request({'?', address, 'W', 'B', std::uint8_t(*flag ? 'S' : 'R'), bit}, true);
    return checkedExchange(size, address, 7, [](const std::uint8_t *r) { return r[6] == 'K'; });
}

int ReadVWVEXA(unsigned char address, unsigned char word, short *value) {
    if (!value) return 0;
    const int size = request({'?', address, 'R', 'W', word}, true);
    return checkedExchange(size, address, 7, [&](const std::uint8_t *r) {
        *value = le16(r + 5);
        return true;
    });
}

int WriteVWVEXA(unsigned char address, unsigned char word, short *value) {
    if (!value) return 0;
    const std::uint16_t v = std::uint16_t(*value);
    const int size = request({'?', address, 'W', 'W', word, std::uint8_t(v), std::uint8_t(v >> 8)}, true);
    return checkedExchange(size, address, 6, [](const std::uint8_t *r) { return r[5] == 'K'; });
}

int ResetVEXA(unsigned char address) {
    const int size = request({'?', address, 'W', 'I'}, true);
    return checkedExchange(size, address, 5, [](const std::uint8_t *r) { return r[4] == 'K'; });
}

int ReadConfVEXAAdv(unsigned char address, unsigned char *value) {
    if (!value) return 0;
    const int size = request({'?', address, 'N', address}, true);
    return checkedExchange(size, address, 5, [&](const std::uint8_t *r) {
        *value = r[3];
        return true;
    });
}

int SetConfVEXAAdv(unsigned char address, unsigned char *newValue) {
    if (!newValue) return 0;
    const std::uint8_t wanted = *newValue;
    const int size = request({'?', address, 'S', wanted, address}, true);
    return exchange(size, [&](const std::uint8_t *rx, int got) {
        Reply r{};
        if (!findStart(rx, got, 5, '?', 5, &r)) return false;
        if (address != kBroadcast && (r.r[1] != wanted || r.r[4] != wanted)) return false;
        return r.r[3] == 'K' && sum8(r.r, 5) == r.r[5];
    });
}

int ReadVWVEXAAdv(unsigned char address, unsigned char word, short *value) {
    if (!value) return 0;
    const int size = request({'?', address, 'R', 'W', word, address}, true);
    return checkedExchange(size, address, 8, [&](const std::uint8_t *r) {
        *value = le16(r + 5);
        return true;
    });
}

int WriteVWVEXAAdv(unsigned char address, unsigned char word, short *value) {
    if (!value) return 0;
    const std::uint16_t v = std::uint16_t(*value);
    const int size =
        request({'?', address, 'W', 'W', word, std::uint8_t(v), std::uint8_t(v >> 8), address}, true);
    return exchange(size, [&](const std::uint8_t *rx, int got) {
        Reply r{};
        if (!findStart(rx, got, 7, '?', 7, &r)) return false;
        if (address != kBroadcast && (r.r[1] != address || r.r[6] != address)) return false;
        return r.r[5] == 'K' && sum8(r.r, 7) == r.r[7];
    });
}

// ---- Modbus RTU holding registers ----------------------------------------------------------------

int ReadWRegMBus(unsigned char slave, short startRegister, short count, short *values) {
    // The protocol allows at most 125 registers per read; larger requests are refused unsent.
    if (!values || count < 1 || count > kMaxReadRegisters) return 0;
    std::uint8_t *tx = state().tx;
    const std::uint16_t start = std::uint16_t(startRegister);
    const std::uint8_t head[6] = {
        slave, 0x03, std::uint8_t(start >> 8), std::uint8_t(start), 0, std::uint8_t(count)};
    std::memcpy(tx, head, sizeof head);
    putCrc(tx, 6);
    const int need = 2 * count + 5;
    return exchange(8, [&](const std::uint8_t *rx, int got) {
        if (got < need) return false;
        const std::uint8_t *r = findModbusReply(rx, got, slave, 0x03, need);
        if (!r || !crcOk(r, 2 * count + 3)) return false;
        // The byte count may not take the copy past the registers asked for.
        int n = r[2] / 2;
        if (n > count) n = count;
        for (int i = 0; i < n; ++i)
            values[i] = be16(r + 3 + 2 * i);
        return true;
    });
}

int WriteWRegMBus(unsigned char slave, short startRegister, short count, short *values) {
    // 123 registers are the most one write request can carry.
    if (!values || count < 1 || count > kMaxWriteRegisters) return 0;
    std::uint8_t *tx = state().tx;
    const std::uint16_t start = std::uint16_t(startRegister);
    int n = 0;
    tx[n++] = slave;
    tx[n++] = 0x10;
    tx[n++] = std::uint8_t(start >> 8);
    tx[n++] = std::uint8_t(start);
    tx[n++] = 0;
    tx[n++] = std::uint8_t(count);
    tx[n++] = std::uint8_t(2 * count);
    for (int i = 0; i < count; ++i) {
        const std::uint16_t v = std::uint16_t(values[i]);
        tx[n++] = std::uint8_t(v >> 8);
        tx[n++] = std::uint8_t(v);
    }
    putCrc(tx, n);
    return exchange(n + 2, [&](const std::uint8_t *rx, int got) {
        if (got <= 7) return false;
        const std::uint8_t *r = findModbusReply(rx, got, slave, 0x10, 8);
        return r && crcOk(r, 6);
    });
}

} // extern "C"
