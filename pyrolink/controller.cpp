// Programmable controllers on the frame protocol: the node and area tables, configuration,
// typed memory access, the variable families, status words and the digital/analogue I/O.
#include "controller_internal.h"
#include "frame.h"
#include "link.h"
#include "pyrolink.h"

#include <cstring>

namespace pyrolink::controller {
namespace {

Node g_nodes[kNodeCount];

// Configuration code that fills each area table entry.
constexpr std::uint8_t kAreaCodes[kAreaCount] = {0x49, 0x06, 0x07, 0x09, 0x0A, 0x0B, 0x1B, 0x1C, 0x24,
                                                 0x25, 0x26, 0x47, 0x4E, 0x4F, 0x50, 0x51, 0x52, 0x53,
                                                 0x4C, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x04};

// Which entries ReadConf asks for, by controller type: type 0 knows only the status, I/O and
// variable areas; types 1 and 3 everything but the CNC status; other types nothing.
bool typeRequests(int type, int entry) {
    if (type == 0) return entry <= 5 || (entry >= 8 && entry <= 10);
    if (type == 1 || type == 3) return entry <= 24;
    return false;
}

int controllerType() {
    return state().work.controllerType;
}

std::uint32_t be32(const std::uint8_t *p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

void putBe32(std::uint8_t *p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

// One configuration request (0x09 identity, 0x0A area) read with a single driver-timed read, as
// the controller answers these at once. Copies the reply data (bounded) into `reply`.
int configExchange(std::uint8_t node, std::uint8_t command, std::uint32_t address, int minLength,
                   std::uint8_t *reply, int capacity, int *replyLength) {
    LinkState &s = state();
    for (int attempt = 0; attempt < frame::kAttempts; ++attempt) {
        frame::send(frame::build(node, command, 0, address));
        unsigned int got = 0;
        const int ok = ReadComm(s.rx, int(kBufferSize) - 1, &got);
        s.rxCount = got;
        if (!ok || got == 0) continue;
        const std::uint8_t *data = nullptr;
        int length = 0;
        if (!frame::parse(command, &data, &length) || !frame::dataChecksumOk(data, length)) continue;
        // A reply too short to hold the value asked for is a failed attempt, not a stale value.
        if (length < minLength) continue;
        const int n = length < capacity ? length : capacity;
        std::memcpy(reply, data, std::size_t(n));
        *replyLength = length;
        return 1;
    }
    return 0;
}

// ---- Typed raw access ----------------------------------------------------------------------------

int readValue(std::uint8_t node, std::uint32_t address, int size, std::uint8_t *out) {
    if (!portOpen()) return 0;
    return transact(node, frame::kRead, std::uint8_t(size), address, nullptr, 0, std::uint32_t(size + 12),
                    true, size, out, size);
}

int writeValue(std::uint8_t node, std::uint32_t address, int size, const std::uint8_t *in) {
    if (!portOpen()) return 0;
    return transact(node, frame::kWrite, std::uint8_t(size), address, in, size, 11, false, 0, nullptr, 0);
}

int readU8(std::uint8_t node, std::uint32_t address, unsigned char *value) {
    std::uint8_t b[1];
    if (!value || !readValue(node, address, 1, b)) return 0;
    *value = b[0];
    return 1;
}

int readS16(std::uint8_t node, std::uint32_t address, short *value) {
    std::uint8_t b[2];
    if (!value || !readValue(node, address, 2, b)) return 0;
    *value = short(std::uint16_t((b[0] << 8) | b[1]));
    return 1;
}

int readS32(std::uint8_t node, std::uint32_t address, int *value) {
    std::uint8_t b[4];
    if (!value || !readValue(node, address, 4, b)) return 0;
    *value = int(be32(b));
    return 1;
}

int writeU8(std::uint8_t node, std::uint32_t address, const unsigned char *value) {
    if (!value) return 0;
    return writeValue(node, address, 1, value);
}

int writeS16(std::uint8_t node, std::uint32_t address, const short *value) {
    if (!value) return 0;
    const std::uint16_t v = std::uint16_t(*value);
    const std::uint8_t b[2] = {std::uint8_t(v >> 8), std::uint8_t(v)};
    return writeValue(node, address, 2, b);
}

int writeS32(std::uint8_t node, std::uint32_t address, const int *value) {
    if (!value) return 0;
    std::uint8_t b[4];
    putBe32(b, std::uint32_t(*value));
    return writeValue(node, address, 4, b);
}

// The *Ex forms: access check first (-1 refused), then the transfer (-2 failed).
template <typename Op> int checked(bool write, std::uint8_t node, std::uint32_t address, int size, Op op) {
    const int allowed =
        write ? frame::writeCheck(node, address, size) : frame::readCheck(node, address, size);
    if (!allowed) return -1;
    return op() ? 1 : -2;
}

// ---- Variable families ---------------------------------------------------------------------------

// Every family works on a configured node: the area bases of an unconfigured node are unknown, so
// a write there would land at the bare index.
template <typename T, typename Op>
int family(signed char node, int area, std::uint32_t offset, T *value, Op op) {
    Node *n = readyNode(node);
    if (!n || !value) return 0;
    return op(std::uint8_t(node), n->area[area] + offset, value);
}

int readBit(signed char node, int area, std::uint32_t offset, unsigned char *value) {
    return family(node, area, offset, value, [](std::uint8_t nb, std::uint32_t address, unsigned char *v) {
        std::uint8_t b[1];
        if (!readValue(nb, address, 1, b)) return 0;
        *v = b[0] != 0 ? 1 : 0;
        return 1;
    });
}

int writeBit(signed char node, int area, std::uint32_t offset, unsigned char *value) {
    return family(node, area, offset, value, [](std::uint8_t nb, std::uint32_t address, unsigned char *v) {
        const std::uint8_t b[1] = {std::uint8_t(*v != 0 ? 0xFF : 0x00)};
        return writeValue(nb, address, 1, b);
    });
}

int famReadB(signed char node, int area, std::uint32_t offset, unsigned char *v) {
    return family(node, area, offset, v, readU8);
}
int famReadW(signed char node, int area, std::uint32_t offset, short *v) {
    return family(node, area, offset, v, readS16);
}
int famReadL(signed char node, int area, std::uint32_t offset, int *v) {
    return family(node, area, offset, v, readS32);
}
int famWriteB(signed char node, int area, std::uint32_t offset, unsigned char *v) {
    return family(node, area, offset, v, writeU8);
}
int famWriteW(signed char node, int area, std::uint32_t offset, short *v) {
    return family(node, area, offset, v, writeS16);
}
int famWriteL(signed char node, int area, std::uint32_t offset, int *v) {
    return family(node, area, offset, v, writeS32);
}

// ---- Digital I/O ---------------------------------------------------------------------------------

// Raw output bit (0-based) behind logical output bit n: identity on type 3, else the board's
// wiring order, repeated in every block of 32.
constexpr std::uint8_t kOutputMap[32] = {8,  6,  4,  2, 9, 11, 13, 15, 17, 19, 21, 23, 32, 30, 28, 26,
                                         29, 27, 25, 7, 5, 3,  1,  10, 12, 14, 16, 18, 20, 22, 24, 31};

int rawOutputBit(int type, int n) {
    if (type == 3) return n;
    return (n / 32) * 32 + kOutputMap[n % 32] - 1;
}

bool bitAt(const std::uint8_t *bytes, int k) {
    return (bytes[k / 8] >> (k % 8)) & 1;
}
void setBit(std::uint8_t *bytes, int k, bool on) {
    if (on)
        bytes[k / 8] = std::uint8_t(bytes[k / 8] | (1u << (k % 8)));
    else
        bytes[k / 8] = std::uint8_t(bytes[k / 8] & ~(1u << (k % 8)));
}

// Type 0 keeps one byte per input or output; pack them into bits.
int readPerByte(std::uint8_t node, std::uint32_t address, int bitCount, unsigned char *bits) {
    std::uint8_t raw[128];
    if (!ReadBytes(node, int(address), short(bitCount), raw)) return 0;
    std::memset(bits, 0, std::size_t(bitCount / 8));
    for (int k = 0; k < bitCount; ++k)
        setBit(bits, k, raw[k] != 0);
    return 1;
}

int readInputs(signed char node, unsigned char *bits, int bitCount) {
    Node *n = readyNode(node);
    if (!n || !bits) return 0;
    const std::uint32_t base = n->area[kAreaDigInp];
    if (controllerType() == 0) return readPerByte(std::uint8_t(node), base, bitCount, bits);
    return ReadBytes(std::uint8_t(node), int(base), short(bitCount / 8), bits);
}

int readOutputs(signed char node, unsigned char *bits, int bitCount) {
    Node *n = readyNode(node);
    if (!n || !bits) return 0;
    const std::uint32_t base = n->area[kAreaDigOut];
    const int type = controllerType();
    if (type == 0) return readPerByte(std::uint8_t(node), base, bitCount, bits);
    std::uint8_t raw[16];
    if (!ReadBytes(std::uint8_t(node), int(base), short(bitCount / 8), raw)) return 0;
    std::uint8_t logical[16] = {};
    for (int k = 0; k < bitCount; ++k)
        setBit(logical, k, bitAt(raw, rawOutputBit(type, k)));
    std::memcpy(bits, logical, std::size_t(bitCount / 8));
    return 1;
}

// Writes apply the wiring order on every type (type 0 included): the node takes packed raw bits.
int writeOutputs(signed char node, unsigned char *bits, int bitCount) {
    Node *n = readyNode(node);
    if (!n || !bits) return 0;
    const int type = controllerType();
    std::uint8_t raw[16] = {};
    for (int k = 0; k < bitCount; ++k)
        setBit(raw, rawOutputBit(type, k), bitAt(bits, k));
    return WriteBytes(std::uint8_t(node), int(n->area[kAreaDigOut]), short(bitCount / 8), raw);
}

} // namespace

Node *nodeEntry(signed char node) {
    if (node == 0 || node > kNodeCount) return nullptr;
    if (node < 0) return &g_nodes[0];
    return &g_nodes[node - 1];
}

Node *readyNode(signed char node) {
    if (!portOpen()) return nullptr;
    Node *n = nodeEntry(node);
    if (!n || !n->configured) return nullptr;
    return n;
}

int transact(std::uint8_t node, std::uint8_t command, std::uint8_t length, std::uint32_t address,
             const std::uint8_t *data, int dataCount, std::uint32_t expected, bool replyHasData,
             int minReplyData, std::uint8_t *reply, int replyCapacity) {
    if (!portOpen()) return 0;
    for (int attempt = 0; attempt < frame::kAttempts; ++attempt) {
        frame::send(frame::build(node, command, length, address, data, dataCount));
        if (!frame::receive(expected) || state().rxCount == 0) continue;
        const std::uint8_t *replyData = nullptr;
        int replyLength = 0;
        if (!frame::parse(command, &replyData, &replyLength)) continue;
        if (replyHasData) {
            if (!frame::dataChecksumOk(replyData, replyLength) || replyLength < minReplyData) continue;
            if (reply) {
                const int n = replyLength < replyCapacity ? replyLength : replyCapacity;
                std::memcpy(reply, replyData, std::size_t(n));
            }
        }
        return 1;
    }
    return 0;
}

} // namespace pyrolink::controller

using namespace pyrolink;
using namespace pyrolink::controller;

extern "C" {

// ---- Configuration -------------------------------------------------------------------------------

int ReadConf(signed char node) {
    Node *n = nodeEntry(node);
    if (!n) return -7;
    if (!portOpen()) return -6;
    const std::uint8_t nb = std::uint8_t(node);

    std::uint8_t reply[kBufferSize];
    int length = 0;
    if (!configExchange(nb, frame::kConfigIdentity, 0, 0, reply, int(sizeof reply), &length)) return -6;
    // The identity text is bounded to 79 characters plus its terminator.
    const int textLength = length < kIdentitySize - 1 ? length : kIdentitySize - 1;
    std::memcpy(n->identity, reply, std::size_t(textLength));
    n->identity[textLength] = '\0';

    const int type = state().work.controllerType;
    for (int entry = 0; entry < kAreaCount; ++entry) {
        if (!typeRequests(type, entry)) continue;
        const std::uint8_t code = kAreaCodes[entry];
        const bool addressFirst = code == 0x04 || code == 0x50;
        if (!configExchange(nb, frame::kConfigArea, code, addressFirst ? 4 : 8, reply, int(sizeof reply),
                            &length))
            return -6;
        n->area[entry] = be32(addressFirst ? reply : reply + 4);
        if (code == 0x50) n->extra = length >= 12 ? be32(reply + 8) : 0;
    }
    n->configured = 1;
    return 0;
}

void SetConf(void) {
    for (Node &n : g_nodes)
        n.configured = 1;
}

int GetVerSW(signed char node, char *buffer) {
    Node *n = readyNode(node);
    if (!n || !buffer) return 0;
    std::size_t len = 0;
    while (len < kIdentitySize - 1 && n->identity[len] != '\0')
        ++len;
    std::memcpy(buffer, n->identity, len);
    buffer[len] = '\0';
    return 1;
}

// ---- Raw typed access ----------------------------------------------------------------------------

int ReadMB(unsigned char node, int address, unsigned char *value) {
    return readU8(node, std::uint32_t(address), value);
}
int ReadMW(unsigned char node, int address, short *value) {
    return readS16(node, std::uint32_t(address), value);
}
int ReadML(unsigned char node, int address, int *value) {
    return readS32(node, std::uint32_t(address), value);
}
int WriteMB(unsigned char node, int address, unsigned char *value) {
    return writeU8(node, std::uint32_t(address), value);
}
int WriteMW(unsigned char node, int address, short *value) {
    return writeS16(node, std::uint32_t(address), value);
}
int WriteML(unsigned char node, int address, int *value) {
    return writeS32(node, std::uint32_t(address), value);
}

int ReadMBEx(unsigned char node, int address, unsigned char *value) {
    return checked(false, node, std::uint32_t(address), 1, [&] { return ReadMB(node, address, value); });
}
int ReadMWEx(unsigned char node, int address, short *value) {
    return checked(false, node, std::uint32_t(address), 2, [&] { return ReadMW(node, address, value); });
}
int ReadMLEx(unsigned char node, int address, int *value) {
    return checked(false, node, std::uint32_t(address), 4, [&] { return ReadML(node, address, value); });
}
int WriteMBEx(unsigned char node, int address, unsigned char *value) {
    return checked(true, node, std::uint32_t(address), 1, [&] { return WriteMB(node, address, value); });
}
int WriteMWEx(unsigned char node, int address, short *value) {
    return checked(true, node, std::uint32_t(address), 2, [&] { return WriteMW(node, address, value); });
}
int WriteMLEx(unsigned char node, int address, int *value) {
    return checked(true, node, std::uint32_t(address), 4, [&] { return WriteML(node, address, value); });
}

// ---- Status words --------------------------------------------------------------------------------

int ReadStatus(signed char node, short *value) {
    return famReadW(node, kAreaStatus, 0, value);
}
int WriteStatus(signed char node, short *value) {
    return famWriteW(node, kAreaStatus, 0, value);
}
int ReadStatusCNC(signed char node, unsigned char *value) {
    return famReadB(node, kAreaStatusCnc, 0, value);
}
int WriteStatusCNC(signed char node, unsigned char *value) {
    return famWriteB(node, kAreaStatusCnc, 0, value);
}
int ReadPidEnabled(signed char node, unsigned char *value) {
    return famReadB(node, kAreaPidEnabled, 0, value);
}
int WritePidEnabled(signed char node, unsigned char *value) {
    return famWriteB(node, kAreaPidEnabled, 0, value);
}

// ---- Variables -----------------------------------------------------------------------------------

int ReadVB(signed char node, unsigned char index, unsigned char *value) {
    return readBit(node, kAreaVB, index, value);
}
int ReadVW(signed char node, unsigned char index, short *value) {
    return famReadW(node, kAreaVW, index * 2u, value);
}
int ReadVL(signed char node, unsigned char index, int *value) {
    return famReadL(node, kAreaVL, index * 4u, value);
}
int WriteVB(signed char node, unsigned char index, unsigned char *value) {
    return writeBit(node, kAreaVB, index, value);
}
int WriteVW(signed char node, unsigned char index, short *value) {
    return famWriteW(node, kAreaVW, index * 2u, value);
}
int WriteVL(signed char node, unsigned char index, int *value) {
    return famWriteL(node, kAreaVL, index * 4u, value);
}

int ReadVBAXEx(signed char node, unsigned short index, unsigned char *value) {
    return readBit(node, kAreaVBAX, index, value);
}
int ReadVWAXEx(signed char node, unsigned short index, short *value) {
    return famReadW(node, kAreaVWAX, index * 2u, value);
}
int ReadVLAXEx(signed char node, unsigned short index, int *value) {
    return famReadL(node, kAreaVLAX, index * 4u, value);
}
int WriteVBAXEx(signed char node, unsigned short index, unsigned char *value) {
    return writeBit(node, kAreaVBAX, index, value);
}
int WriteVWAXEx(signed char node, unsigned short index, short *value) {
    return famWriteW(node, kAreaVWAX, index * 2u, value);
}
int WriteVLAXEx(signed char node, unsigned short index, int *value) {
    return famWriteL(node, kAreaVLAX, index * 4u, value);
}

int ReadVBAX(signed char node, unsigned char index, unsigned char *value) {
    return ReadVBAXEx(node, index, value);
}
int ReadVWAX(signed char node, unsigned char index, short *value) {
    return ReadVWAXEx(node, index, value);
}
int ReadVLAX(signed char node, unsigned char index, int *value) {
    return ReadVLAXEx(node, index, value);
}
int WriteVBAX(signed char node, unsigned char index, unsigned char *value) {
    return WriteVBAXEx(node, index, value);
}
int WriteVWAX(signed char node, unsigned char index, short *value) {
    return WriteVWAXEx(node, index, value);
}
int WriteVLAX(signed char node, unsigned char index, int *value) {
    return WriteVLAXEx(node, index, value);
}

int ReadMBPers(signed char node, int offset, unsigned char *value) {
    return famReadB(node, kAreaPersistent, std::uint32_t(offset), value);
}
int ReadMWPers(signed char node, int offset, short *value) {
    return famReadW(node, kAreaPersistent, std::uint32_t(offset), value);
}
int ReadMLPers(signed char node, int offset, int *value) {
    return famReadL(node, kAreaPersistent, std::uint32_t(offset), value);
}
int WriteMBPers(signed char node, int offset, unsigned char *value) {
    return famWriteB(node, kAreaPersistent, std::uint32_t(offset), value);
}
int WriteMWPers(signed char node, int offset, short *value) {
    return famWriteW(node, kAreaPersistent, std::uint32_t(offset), value);
}
int WriteMLPers(signed char node, int offset, int *value) {
    return famWriteL(node, kAreaPersistent, std::uint32_t(offset), value);
}

int ReadMWParGen(signed char node, int offset, short *value) {
    return famReadW(node, kAreaParGenValues, std::uint32_t(offset), value);
}
int ReadMLParGen(signed char node, int offset, int *value) {
    return famReadL(node, kAreaParGenValues, std::uint32_t(offset), value);
}
int ReadMWParAx(signed char node, int offset, short *value) {
    return famReadW(node, kAreaParAxValues, std::uint32_t(offset), value);
}
int ReadMLParAx(signed char node, int offset, int *value) {
    return famReadL(node, kAreaParAxValues, std::uint32_t(offset), value);
}
int WriteMWParGen(signed char node, int offset, short *value) {
    return famWriteW(node, kAreaParGenValues, std::uint32_t(offset), value);
}
int WriteMLParGen(signed char node, int offset, int *value) {
    return famWriteL(node, kAreaParGenValues, std::uint32_t(offset), value);
}
int WriteMWParAx(signed char node, int offset, short *value) {
    return famWriteW(node, kAreaParAxValues, std::uint32_t(offset), value);
}
int WriteMLParAx(signed char node, int offset, int *value) {
    return famWriteL(node, kAreaParAxValues, std::uint32_t(offset), value);
}

int ReadSysB(signed char node, unsigned char index, unsigned char *value) {
    return famReadB(node, kAreaSysB, index, value);
}
int ReadSysW(signed char node, unsigned char index, short *value) {
    return famReadW(node, kAreaSysW, index * 2u, value);
}
int ReadSysL(signed char node, unsigned char index, int *value) {
    return famReadL(node, kAreaSysL, index * 4u, value);
}
int WriteSysB(signed char node, unsigned char index, unsigned char *value) {
    return famWriteB(node, kAreaSysB, index, value);
}
int WriteSysW(signed char node, unsigned char index, short *value) {
    return famWriteW(node, kAreaSysW, index * 2u, value);
}
int WriteSysL(signed char node, unsigned char index, int *value) {
    return famWriteL(node, kAreaSysL, index * 4u, value);
}

// ---- Digital and analogue I/O --------------------------------------------------------------------

int ReadDigInp(signed char node, unsigned char *bits) {
    return readInputs(node, bits, 64);
}
int ReadDigInpEx(signed char node, unsigned char *bits) {
    return readInputs(node, bits, 128);
}
int ReadDigOut(signed char node, unsigned char *bits) {
    return readOutputs(node, bits, 64);
}
int ReadDigOutEx(signed char node, unsigned char *bits) {
    return readOutputs(node, bits, 128);
}
int WriteDigOut(signed char node, unsigned char *bits) {
    return writeOutputs(node, bits, 64);
}
int WriteDigOutEx(signed char node, unsigned char *bits) {
    return writeOutputs(node, bits, 128);
}

int ReadAnInp(signed char node, signed char channel, short *value) {
    const int last = controllerType() == 3 ? 63 : 1;
    if (channel < 0 || channel > last) return 0;
    return famReadW(node, kAreaAnInp, std::uint32_t(channel) * 2u, value);
}

int ReadAnOut(signed char node, signed char channel, short *value) {
    if (channel < 0 || channel > 7) return 0;
    return famReadW(node, kAreaAnOut, std::uint32_t(channel) * 2u, value);
}

int WriteAnOut(signed char node, signed char channel, short *value) {
    if (channel < 0 || channel > 7) return 0;
    return famWriteW(node, kAreaAnOut, std::uint32_t(channel) * 2u, value);
}

} // extern "C"
