// Programmable controllers on the frame protocol: the node and area tables, configuration,
// typed memory access, the variable families, status words and the digital/analogue I/O.
#include "controller_internal.h"
#include "frame.h"
#include "link.h"
#include "pyrolink.h"
#include "result_codes.h"

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
        const std::optional<frame::Reply> r = frame::parse(command);
        if (!r || !r->dataChecksumOk()) continue;
        // A reply too short to hold the value asked for is a failed attempt, not a stale value.
        if (r->length < minLength) continue;
        const int n = r->length < capacity ? r->length : capacity;
        std::memcpy(reply, r->data, std::size_t(n));
        *replyLength = r->length;
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

// Unsigned char, short and int values, most significant byte first.
template <typename T> int readTyped(std::uint8_t node, std::uint32_t address, T *value) {
    std::uint8_t b[sizeof(T)];
    if (!value || !readValue(node, address, int(sizeof(T)), b)) return 0;
    std::uint32_t v = 0;
    for (std::uint8_t byte : b)
        v = (v << 8) | byte;
    *value = T(v);
    return 1;
}

template <typename T> int writeTyped(std::uint8_t node, std::uint32_t address, const T *value) {
    if (!value) return 0;
    std::uint8_t b[sizeof(T)];
    std::uint32_t v = std::uint32_t(*value);
    for (std::size_t i = sizeof(T); i-- > 0; v >>= 8)
        b[i] = std::uint8_t(v);
    return writeValue(node, address, int(sizeof(T)), b);
}

// The *Ex forms: access check first, then the transfer.
template <typename T> int checkedRead(unsigned char node, int address, T *value) {
    if (!frame::readCheck(node, std::uint32_t(address), int(sizeof(T)))) return kCheckRefused;
    return readTyped(node, std::uint32_t(address), value) ? kCheckedDone : kCheckedTransferFailed;
}

template <typename T> int checkedWrite(unsigned char node, int address, const T *value) {
    if (!frame::writeCheck(node, std::uint32_t(address), int(sizeof(T)))) return kCheckRefused;
    return writeTyped(node, std::uint32_t(address), value) ? kCheckedDone : kCheckedTransferFailed;
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

template <typename T> int famRead(signed char node, int area, std::uint32_t offset, T *value) {
    return family(node, area, offset, value,
                  [](std::uint8_t nb, std::uint32_t address, T *v) { return readTyped(nb, address, v); });
}

template <typename T> int famWrite(signed char node, int area, std::uint32_t offset, T *value) {
    return family(node, area, offset, value,
                  [](std::uint8_t nb, std::uint32_t address, T *v) { return writeTyped(nb, address, v); });
}

// Bit variables take a byte each: any non-zero byte reads as 1, a set bit is written as 0xFF.
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
        const std::optional<frame::Reply> r = frame::parse(command);
        if (!r) continue;
        if (replyHasData) {
            if (!r->dataChecksumOk() || r->length < minReplyData) continue;
            if (reply) {
                const int n = r->length < replyCapacity ? r->length : replyCapacity;
                std::memcpy(reply, r->data, std::size_t(n));
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
    // The configuration must come from a real node number: a byte above 127 (150, say) arrives
    // here negative and is refused like any node above 99, rather than configuring entry 1 from
    // frames sent to another node.
    Node *n = node < 0 ? nullptr : nodeEntry(node);
    if (!n) return kConfigBadNode;
    if (!portOpen()) return kConfigFailed;
    const std::uint8_t nb = std::uint8_t(node);

    std::uint8_t reply[kBufferSize];
    int length = 0;
    if (!configExchange(nb, frame::kConfigIdentity, 0, 0, reply, int(sizeof reply), &length))
        return kConfigFailed;
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
            return kConfigFailed;
        n->area[entry] = frame::be32(addressFirst ? reply : reply + 4);
        if (code == 0x50) n->extra = length >= 12 ? frame::be32(reply + 8) : 0;
    }
    n->configured = 1;
    return kConfigDone;
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

// The typed exports come in uniform groups; each macro defines one group's functions.

// ReadM<Size>, WriteM<Size>, ReadM<Size>Ex and WriteM<Size>Ex: a value at a raw address.
#define PYROLINK_RAW(Size, Type)                                                                             \
    int ReadM##Size(unsigned char node, int address, Type *value) {                                          \
        return readTyped(node, std::uint32_t(address), value);                                               \
    }                                                                                                        \
    int WriteM##Size(unsigned char node, int address, Type *value) {                                         \
        return writeTyped(node, std::uint32_t(address), value);                                              \
    }                                                                                                        \
    int ReadM##Size##Ex(unsigned char node, int address, Type *value) {                                      \
        return checkedRead(node, address, value);                                                            \
    }                                                                                                        \
    int WriteM##Size##Ex(unsigned char node, int address, Type *value) {                                     \
        return checkedWrite(node, address, value);                                                           \
    }

// Read<Name> and Write<Name>: the single value at the start of an area.
#define PYROLINK_AT_START(Name, Type, area)                                                                  \
    int Read##Name(signed char node, Type *value) {                                                          \
        return famRead(node, area, 0, value);                                                                \
    }                                                                                                        \
    int Write##Name(signed char node, Type *value) {                                                         \
        return famWrite(node, area, 0, value);                                                               \
    }

// Read<Name> and Write<Name>: the value at a byte offset into an area.
#define PYROLINK_AT_OFFSET(Name, Type, area)                                                                 \
    int Read##Name(signed char node, int offset, Type *value) {                                              \
        return famRead(node, area, std::uint32_t(offset), value);                                            \
    }                                                                                                        \
    int Write##Name(signed char node, int offset, Type *value) {                                             \
        return famWrite(node, area, std::uint32_t(offset), value);                                           \
    }

// Read<Name> and Write<Name>: element `index` of an area of values of one size.
#define PYROLINK_AT_INDEX(Name, Index, Type, area)                                                           \
    int Read##Name(signed char node, Index index, Type *value) {                                             \
        return famRead(node, area, index * std::uint32_t(sizeof(Type)), value);                              \
    }                                                                                                        \
    int Write##Name(signed char node, Index index, Type *value) {                                            \
        return famWrite(node, area, index * std::uint32_t(sizeof(Type)), value);                             \
    }

// Read<Name> and Write<Name>: bit variable `index` of an area.
#define PYROLINK_BIT(Name, Index, area)                                                                      \
    int Read##Name(signed char node, Index index, unsigned char *value) {                                    \
        return readBit(node, area, index, value);                                                            \
    }                                                                                                        \
    int Write##Name(signed char node, Index index, unsigned char *value) {                                   \
        return writeBit(node, area, index, value);                                                           \
    }

static_assert(sizeof(short) == 2 && sizeof(int) == 4, "word and long variables are 16 and 32 bits");

PYROLINK_RAW(B, unsigned char)
PYROLINK_RAW(W, short)
PYROLINK_RAW(L, int)

// ---- Status words --------------------------------------------------------------------------------

PYROLINK_AT_START(Status, short, kAreaStatus)
PYROLINK_AT_START(StatusCNC, unsigned char, kAreaStatusCnc)
PYROLINK_AT_START(PidEnabled, unsigned char, kAreaPidEnabled)

// ---- Variables -----------------------------------------------------------------------------------

PYROLINK_BIT(VB, unsigned char, kAreaVB)
PYROLINK_AT_INDEX(VW, unsigned char, short, kAreaVW)
PYROLINK_AT_INDEX(VL, unsigned char, int, kAreaVL)

// The axis variables: the Ex forms reach past index 255.
PYROLINK_BIT(VBAX, unsigned char, kAreaVBAX)
PYROLINK_AT_INDEX(VWAX, unsigned char, short, kAreaVWAX)
PYROLINK_AT_INDEX(VLAX, unsigned char, int, kAreaVLAX)
PYROLINK_BIT(VBAXEx, unsigned short, kAreaVBAX)
PYROLINK_AT_INDEX(VWAXEx, unsigned short, short, kAreaVWAX)
PYROLINK_AT_INDEX(VLAXEx, unsigned short, int, kAreaVLAX)

PYROLINK_AT_OFFSET(MBPers, unsigned char, kAreaPersistent)
PYROLINK_AT_OFFSET(MWPers, short, kAreaPersistent)
PYROLINK_AT_OFFSET(MLPers, int, kAreaPersistent)

PYROLINK_AT_OFFSET(MWParGen, short, kAreaParGenValues)
PYROLINK_AT_OFFSET(MLParGen, int, kAreaParGenValues)
PYROLINK_AT_OFFSET(MWParAx, short, kAreaParAxValues)
PYROLINK_AT_OFFSET(MLParAx, int, kAreaParAxValues)

PYROLINK_AT_INDEX(SysB, unsigned char, unsigned char, kAreaSysB)
PYROLINK_AT_INDEX(SysW, unsigned char, short, kAreaSysW)
PYROLINK_AT_INDEX(SysL, unsigned char, int, kAreaSysL)

#undef PYROLINK_RAW
#undef PYROLINK_AT_START
#undef PYROLINK_AT_OFFSET
#undef PYROLINK_AT_INDEX
#undef PYROLINK_BIT

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
    return famRead(node, kAreaAnInp, std::uint32_t(channel) * 2u, value);
}

int ReadAnOut(signed char node, signed char channel, short *value) {
    if (channel < 0 || channel > 7) return 0;
    return famRead(node, kAreaAnOut, std::uint32_t(channel) * 2u, value);
}

int WriteAnOut(signed char node, signed char channel, short *value) {
    if (channel < 0 || channel > 7) return 0;
    return famWrite(node, kAreaAnOut, std::uint32_t(channel) * 2u, value);
}

} // extern "C"
