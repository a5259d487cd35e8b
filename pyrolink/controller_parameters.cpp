// Controller parameters (descriptor tables, names, values, limits), storing them in the node,
// program download into RAM or flash, the keypad and the function-address query.
#include "controller_internal.h"
#include "frame.h"
#include "link.h"
#include "pyrolink.h"
#include "result_codes.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace pyrolink::controller {
namespace {

constexpr int kDescriptorSize = 32;
constexpr int kNameSize = 80;
constexpr int kAxisStride = 320;
constexpr int kStoreWaitSeconds = 10;
// Descriptor indexes are 16-bit: a node that never ends its table is not followed further.
constexpr int kMaxDescriptors = 32767;

struct Descriptor {
    std::uint16_t nameNumber;
    std::uint32_t valueAddress;
    std::uint16_t type;
    std::uint8_t attributeHigh;
    std::uint8_t attributeLow;
    std::int32_t limit1;
    std::int32_t limit2;
};

int countDescriptors(signed char node, int table) {
    Node *n = readyNode(node);
    if (!n) return 0;
    for (int k = 0; k < kMaxDescriptors; ++k) {
        std::uint8_t raw[kDescriptorSize];
        if (!ReadBytes(std::uint8_t(node), int(n->area[table] + std::uint32_t(k) * kDescriptorSize),
                       kDescriptorSize, raw))
            return 0;
        if (raw[0] == 0 && raw[1] == 0 && raw[2] == 0 && raw[3] == 0) return k;
    }
    return 0;
}

bool readDescriptor(signed char node, const Node &n, int table, short index, Descriptor *d) {
    std::uint8_t raw[kDescriptorSize];
    const std::uint32_t address = n.area[table] + std::uint32_t(std::int32_t(index) * kDescriptorSize);
    if (!ReadBytes(std::uint8_t(node), int(address), kDescriptorSize, raw)) return false;
    d->nameNumber = std::uint16_t((raw[0] << 8) | raw[1]);
    d->valueAddress = frame::be32(raw + 4);
    d->type = std::uint16_t((raw[8] << 8) | raw[9]);
    d->attributeHigh = raw[12];
    d->attributeLow = raw[13];
    d->limit1 = std::int32_t(frame::be32(raw + 16));
    d->limit2 = std::int32_t(frame::be32(raw + 20));
    return true;
}

// Where an axis parameter's value lives: the axis block of the value area, at the descriptor's
// offset from the axis address origin.
std::uint32_t axisValueAddress(const Node &n, short axis, std::uint32_t descriptorAddress) {
    return n.area[kAreaParAxValues] + std::uint32_t(std::int32_t(axis) * kAxisStride) +
           (descriptorAddress - n.area[kAreaParAxOrigin]);
}

int readTypedValue(signed char node, std::uint32_t address, int type, bool allowByte, int *value) {
    const std::uint8_t nb = std::uint8_t(node);
    switch (type) {
    case 0: {
        short v = 0;
        if (!ReadMW(nb, int(address), &v)) return 0;
        *value = v;
        return 1;
    }
    case 1:
        return ReadML(nb, int(address), value);
    case 3: {
        if (!allowByte) return 0;
        unsigned char v = 0;
        if (!ReadMB(nb, int(address), &v)) return 0;
        *value = static_cast<signed char>(v);
        return 1;
    }
    default:
        return 0;
    }
}

int writeTypedValue(signed char node, std::uint32_t address, int type, bool allowByte, int value) {
    const std::uint8_t nb = std::uint8_t(node);
    switch (type) {
    case 0: {
        short v = short(std::uint16_t(value));
        return WriteMW(nb, int(address), &v);
    }
    case 1:
        return WriteML(nb, int(address), &value);
    case 3: {
        if (!allowByte) return 0;
        unsigned char v = std::uint8_t(value);
        return WriteMB(nb, int(address), &v);
    }
    default:
        return 0;
    }
}

int getParameter(signed char node, int table, short index, bool axisTable, short axis, char *name, int *value,
                 short *type, int *limit1, int *limit2, short *attributeHigh, short *attributeLow) {
    Node *n = readyNode(node);
    if (!n || !name || !value || !type || !limit1 || !limit2 || !attributeHigh || !attributeLow) return 0;
    Descriptor d{};
    if (!readDescriptor(node, *n, table, index, &d)) return 0;
    if (d.valueAddress == 0) return kNoValueAddress;
    const std::uint32_t address = axisTable ? axisValueAddress(*n, axis, d.valueAddress) : d.valueAddress;
    int v = 0;
    if (!readTypedValue(node, address, d.type, !axisTable, &v)) return 0;

    const std::uint8_t nb = std::uint8_t(node);
    int entry = 0;
    int text = 0;
    std::uint8_t nameBytes[kNameSize];
    const std::uint32_t entryAddress = n->area[kAreaParNames] + (std::uint32_t(d.nameNumber) - 1u) * 4u;
    if (!ReadML(nb, int(entryAddress), &entry)) return 0;
    if (!ReadML(nb, int(std::uint32_t(entry) + 4u), &text)) return 0;
    if (!ReadBytes(nb, text, kNameSize, nameBytes)) return 0;

    std::memcpy(name, nameBytes, kNameSize);
    *value = v;
    *type = short(d.type);
    *limit1 = d.limit1;
    *limit2 = d.limit2;
    *attributeHigh = d.attributeHigh;
    *attributeLow = d.attributeLow;
    return 1;
}

int setParameter(signed char node, int table, short index, bool axisTable, short axis, const int *value) {
    Node *n = readyNode(node);
    if (!n || !value) return 0;
    Descriptor d{};
    if (!readDescriptor(node, *n, table, index, &d)) return 0;
    if (d.valueAddress == 0) return kNoValueAddress;
    const std::uint32_t address = axisTable ? axisValueAddress(*n, axis, d.valueAddress) : d.valueAddress;
    return writeTypedValue(node, address, d.type, !axisTable, *value);
}

// Header-only request answered after the node finished the work (up to ten seconds).
int slowCommand(signed char node, std::uint8_t command, std::uint32_t address) {
    for (int attempt = 0; attempt < frame::kAttempts; ++attempt) {
        frame::send(frame::build(std::uint8_t(node), command, 0, address));
        if (frame::awaitEcho(command, kStoreWaitSeconds)) return 1;
    }
    return 0;
}

// The 12-byte name of a download: the file's base name (after the last path separator), cut or
// zero-padded to 12 bytes, with everything from the first NUL or '.' on turned into spaces.
void downloadName(const char *path, std::uint8_t name[12]) {
    const char *base = path;
    for (const char *p = path; *p; ++p)
        if (*p == '\\' || *p == '/') base = p + 1;
    std::memset(name, 0, 12);
    for (int i = 0; i < 12 && base[i]; ++i)
        name[i] = std::uint8_t(base[i]);
    bool blank = false;
    for (int i = 0; i < 12; ++i) {
        if (name[i] == 0 || name[i] == '.') blank = true;
        if (blank) name[i] = ' ';
    }
}

// WriteBytes takes a 16-bit count; larger files go in pieces that are a whole number of frames,
// so the traffic is the same as one call.
int writeLarge(signed char node, std::uint32_t address, const std::uint8_t *data, std::size_t size) {
    constexpr std::size_t kPiece = std::size_t(frame::kMaxChunk) * 200;
    if (size == 0) return 0;
    while (size > 0) {
        const std::size_t n = size < kPiece ? size : kPiece;
        if (!WriteBytes(std::uint8_t(node), int(address), short(n), data)) return 0;
        address += std::uint32_t(n);
        data += n;
        size -= n;
    }
    return 1;
}

int download(signed char node, const char *path, bool useAddress, std::uint32_t address, bool flash) {
    Node *n = readyNode(node);
    if (!n || !path) return 0;
    const std::uint32_t base = useAddress ? address : n->area[kAreaDownload];

    std::FILE *file = std::fopen(path, "rb");
    if (!file) return 0;
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    if (length < 0 || length > 0x7FFFFFFFL || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        return 0;
    }
    std::vector<std::uint8_t> content(static_cast<std::size_t>(length));
    std::uint8_t header[16];
    downloadName(path, header);
    frame::putBe32(header + 12, std::uint32_t(length));
    bool ok = WriteBytes(std::uint8_t(node), int(base), 16, header) != 0;
    if (ok) ok = std::fread(content.data(), 1, content.size(), file) == content.size();
    std::fclose(file);
    if (ok) ok = writeLarge(node, base + 16u, content.data(), content.size()) != 0;
    if (!ok) return 0;

    if (flash) return slowCommand(node, frame::kDownloadFlash, n->area[kAreaDownload]);

    std::uint8_t start[20];
    std::memcpy(start, header, 12);
    frame::putBe32(start + 12, base + 16u);
    frame::putBe32(start + 16, std::uint32_t(length));
    return transact(std::uint8_t(node), frame::kDownloadRam, 20, base, start, 20, 11, false, 0, nullptr, 0);
}

// Keypad: mask per controller type (type 0, or types 1 and 3) and key code, for keys 0..24.
struct Key {
    std::uint32_t mask0;
    std::uint32_t mask13;
    std::uint16_t code;
};

constexpr Key kKeys[25] = {
    {0x0, 0x0, 0x0},
    {0x1000, 0x1000, 0x10},
    {0x400, 0x400, 0x80},
    {0x800, 0x800, 0x20},
    {0x8000, 0x8000, 0x2000},
    {0x100, 0x100, 0x400},
    {0x2000, 0x2000, 0x100},
    {0x200, 0x200, 0x1000},
    {0x4000, 0x4000, 0x200},
    {0x20000000, 0x200000, 0x30},
    {0x80000000, 0x800000, 0x31},
    {0x20000, 0x2, 0x32},
    {0x80000, 0x8, 0x33},
    {0x200000, 0x20, 0x34},
    {0x40000000, 0x400000, 0x35},
    {0x10000, 0x1, 0x36},
    {0x40000, 0x4, 0x37},
    {0x100000, 0x10, 0x38},
    {0x400000, 0x40, 0x39},
    {0x800000, 0x80, 0x2E},
    {0x1000000, 0x10000, 0x8},
    {0x2000000, 0x20000, 0x4},
    {0x4000000, 0x40000, 0x2},
    {0x8000000, 0x80000, 0x1},
    {0x10000000, 0x100000, 0x40},
};

bool keyAllowed(short key) {
    const int type = state().work.controllerType;
    return portOpen() && key >= 0 && key <= 24 && (type == 0 || type == 1 || type == 3);
}

} // namespace
} // namespace pyrolink::controller

using namespace pyrolink;
using namespace pyrolink::controller;

extern "C" {

int GetNumParGen(signed char node) {
    return countDescriptors(node, kAreaParGenDescriptors);
}
int GetNumParAx(signed char node) {
    return countDescriptors(node, kAreaParAxDescriptors);
}

int GetParGen(signed char node, short index, char *name, int *value, short *type, int *limit1, int *limit2,
              short *attributeHigh, short *attributeLow) {
    return getParameter(node, kAreaParGenDescriptors, index, false, 0, name, value, type, limit1, limit2,
                        attributeHigh, attributeLow);
}

int GetParAx(signed char node, short index, short axis, char *name, int *value, short *type, int *limit1,
             int *limit2, short *attributeHigh, short *attributeLow) {
    return getParameter(node, kAreaParAxDescriptors, index, true, axis, name, value, type, limit1, limit2,
                        attributeHigh, attributeLow);
}

int SetParGen(signed char node, short index, int *value) {
    return setParameter(node, kAreaParGenDescriptors, index, false, 0, value);
}

int SetParAx(signed char node, short index, short axis, int *value) {
    return setParameter(node, kAreaParAxDescriptors, index, true, axis, value);
}

int MemoPar(signed char node) {
    Node *n = readyNode(node);
    if (!n) return 0;
    return slowCommand(node, frame::kStoreParameters, n->area[kAreaDownload]);
}

int LoadFileISORam(signed char node, const char *path) {
    return download(node, path, false, 0, false);
}
int LoadFileISORamEx(signed char node, const char *path, int address) {
    return download(node, path, true, std::uint32_t(address), false);
}
int LoadFileISOFlash(signed char node, const char *path) {
    return download(node, path, false, 0, true);
}

int WriteKey(signed char node, short key) {
    if (!keyAllowed(key)) return 0;
    const Key &k = kKeys[key];
    const std::uint32_t mask = state().work.controllerType == 0 ? k.mask0 : k.mask13;
    std::uint8_t data[6];
    frame::putBe32(data, mask);
    data[4] = std::uint8_t(k.code >> 8);
    data[5] = std::uint8_t(k.code);
    return transact(std::uint8_t(node), frame::kKey, 6, std::uint32_t(key), data, 6, 11, false, 0, nullptr,
                    0);
}

int WriteKeyEx(signed char node, short key) {
    if (!keyAllowed(key) ||
        !frame::headerExchange(std::uint8_t(node), frame::kKeyCheck, 6, std::uint32_t(key)))
        return kCheckRefused;
    return WriteKey(node, key) ? kCheckedDone : kCheckedTransferFailed;
}

int GetAddrFun(signed char node, const char *name, int *address) {
    if (!portOpen() || !name || !address) return 0;
    // The name and its NUL must fit one request in the 256-byte transmit buffer.
    const std::size_t length = std::strlen(name) + 1;
    if (length > kBufferSize - std::size_t(frame::kHeaderSize) - 1) return 0;
    std::uint8_t reply[4];
    if (!transact(std::uint8_t(node), frame::kFunctionAddress, std::uint8_t(length), 0,
                  reinterpret_cast<const std::uint8_t *>(name), int(length), 16, true, 4, reply, 4))
        return 0;
    *address = int(frame::be32(reply));
    return 1;
}

} // extern "C"
