// Serial-to-CAN adapter on the active port (command byte with the high bit set, fields, XOR check)
// and the CANopen services on top of it: NMT commands and expedited SDO transfers.
#include "link.h"
#include "pyrolink.h"
#include "reply_source.h"
#include "result_codes.h"

#include <cstring>

namespace pyrolink::can {
namespace {

constexpr int kFailures = 3;

enum Command : std::uint8_t {
    kSendFrame = 0x80,
    kReceivedFrame = 0x81,
    kStart = 0x82,
    kStop = 0x83,
    kReadConfig = 0x84,
    kSetConfig = 0x85,
    kSixIds = 0x86,
    kTwoIds = 0x87,
};

bool canReady() {
    return portOpen() && state().work.canOpen != 0;
}

std::uint8_t xorOf(const std::uint8_t *bytes, int count) {
    std::uint8_t x = 0;
    for (int i = 0; i < count; ++i)
        x ^= bytes[i];
    return x;
}

// An 11-bit identifier left-aligned in two bytes.
int putId(std::uint8_t *p, int id) {
    p[0] = std::uint8_t(id >> 3);
    p[1] = std::uint8_t(id << 5);
    return 2;
}

// Appends the XOR check and sends the message from the transmit buffer.
void sendMessage(int size) {
    LinkState &s = state();
    s.tx[size] = xorOf(s.tx, size);
    WriteComm(s.tx, size + 1);
}

// Reads until `target` bytes are in the receive buffer (from `*have` on), tolerating reads that
// fail or bring nothing until `*failures` reaches three.
bool accumulate(std::uint32_t target, std::uint32_t *have, int *failures) {
    LinkState &s = state();
    while (*have < target) {
        if (*failures >= kFailures) return false;
        unsigned int got = 0;
        if (!readDeviceReply(s.rx + *have, int(target - *have), &got) || got == 0) {
            ++*failures;
            continue;
        }
        *have += got;
        s.rxCount = *have;
    }
    return true;
}

// The adapter's answer to a command: the command twice, or (read configuration) the command, four
// bytes and the XOR check. A complete but wrong answer fails at once.
int readReply(std::uint8_t command) {
    const std::uint32_t expected = command == kReadConfig ? 6 : 2;
    std::uint32_t have = 0;
    int failures = 0;
    if (!accumulate(expected, &have, &failures)) return 0;
    const std::uint8_t *rx = state().rx;
    if (rx[0] != command) return 0;
    if (expected == 2) return rx[1] == rx[0] ? 1 : 0;
    return xorOf(rx, 5) == rx[5] ? 1 : 0;
}

// Start and stop: the command twice, up to three tries, answered by the same two bytes.
int startStop(std::uint8_t command) {
    if (!canReady()) return 0;
    LinkState &s = state();
    for (int attempt = 0; attempt < 3; ++attempt) {
        s.tx[0] = command;
        s.tx[1] = command;
        WriteComm(s.tx, 2);
        unsigned int got = 0;
        const int ok = readDeviceReply(s.rx, int(kBufferSize) - 1, &got);
        s.rxCount = got;
        if (ok && got >= 2 && s.rx[0] == command && s.rx[1] == command) return 1;
    }
    return 0;
}

int nmt(std::uint8_t specifier, std::uint8_t node) {
    std::uint8_t data[2] = {specifier, node};
    return WriteMsgCan(0, 2, data) ? 1 : 0;
}

// Sends an SDO request to 0x600 + node and takes the node's 8-byte answer from 0x580 + node.
bool sdoExchange(std::uint8_t node, std::uint8_t *request, int waitMs, std::uint8_t reply[8]) {
    if (!WriteMsgCan(0x600 + node, 8, request)) return false;
    if (waitMs > 0) sleepMs(unsigned(waitMs));
    short id = 0;
    unsigned char length = 0;
    if (!ReadMsgCan(&id, &length, reply)) return false;
    return id == 0x580 + node && length == 8;
}

bool sameObject(const std::uint8_t *reply, const std::uint8_t *request) {
    return reply[1] == request[1] && reply[2] == request[2] && reply[3] == request[3];
}

int writeSdo(std::uint8_t node, short index, std::uint8_t sub, std::uint8_t size, std::uint8_t *data,
             int waitMs) {
    if (!data) return 0;
    std::uint8_t request[8] = {};
    request[0] = size == 1 ? 0x2F : size == 2 ? 0x2B : 0x23;
    request[1] = std::uint8_t(index);
    request[2] = std::uint8_t(std::uint16_t(index) >> 8);
    request[3] = sub;
    const int n = size < 4 ? size : 4;
    std::memcpy(request + 4, data, std::size_t(n));
    std::uint8_t reply[8];
    if (!sdoExchange(node, request, waitMs, reply)) return 0;
    if (reply[0] == 0x60 && sameObject(reply, request)) return 1;
    if (reply[0] == 0x80) {
        std::memcpy(data, reply + 4, 4);
        return kSdoAborted;
    }
    return 0;
}

int readSdo(std::uint8_t node, short index, std::uint8_t sub, std::uint8_t *size, std::uint8_t *data,
            int waitMs) {
    if (!size || !data) return 0;
    std::uint8_t request[8] = {
        0x40, std::uint8_t(index), std::uint8_t(std::uint16_t(index) >> 8), sub, 0, 0, 0, 0};
    std::uint8_t reply[8];
    if (!sdoExchange(node, request, waitMs, reply)) return 0;
    if (reply[0] == 0x80) {
        std::memcpy(data, reply + 4, 4);
        return kSdoAborted;
    }
    // Expedited uploads of 1, 2 or 4 bytes; three-byte answers are not taken.
    const std::uint8_t sizes[3][2] = {{0x4F, 1}, {0x4B, 2}, {0x43, 4}};
    for (const auto &entry : sizes) {
        if (reply[0] == entry[0] && sameObject(reply, request)) {
            *size = entry[1];
            std::memcpy(data, reply + 4, 4);
            return 1;
        }
    }
    return 0;
}

} // namespace
} // namespace pyrolink::can

using namespace pyrolink;
using namespace pyrolink::can;

extern "C" {

int OpenSerCan(int port, int baud, short controllerType, short t1, short t2, short t3) {
    const int code = OpenComm(port, baud, controllerType, t1, t2, t3);
    if (code == 0) setField(&PortSlot::canOpen, std::int32_t(1));
    return code;
}

int StartCan(short idA, short *pair, short idB, short *quad) {
    if (!canReady() || !pair || !quad) return 0;
    LinkState &s = state();
    int n = 0;
    s.tx[n++] = kTwoIds;
    n += putId(s.tx + n, idA);
    n += putId(s.tx + n, idB);
    sendMessage(n);
    if (!readReply(kTwoIds)) return 0;

    n = 0;
    s.tx[n++] = kSixIds;
    n += putId(s.tx + n, pair[0]);
    n += putId(s.tx + n, pair[1]);
    for (int i = 0; i < 4; ++i)
        n += putId(s.tx + n, quad[i]);
    sendMessage(n);
    if (!readReply(kSixIds)) return 0;
    return startStop(kStart);
}

int StopCan(void) {
    return startStop(kStop);
}

int ReadConfCan(unsigned char *c0, unsigned char *c1, unsigned char *c2, unsigned char *c3) {
    if (!canReady() || !c0 || !c1 || !c2 || !c3) return 0;
    LinkState &s = state();
    s.tx[0] = kReadConfig;
    s.tx[1] = kReadConfig;
    WriteComm(s.tx, 2);
    if (!readReply(kReadConfig)) return 0;
    *c0 = s.rx[1];
    *c1 = s.rx[2];
    *c2 = s.rx[3];
    *c3 = s.rx[4];
    return 1;
}

int SetConfCan(unsigned char c0, unsigned char c1, unsigned char c2) {
    if (!canReady()) return 0;
    LinkState &s = state();
    s.tx[0] = kSetConfig;
    s.tx[1] = c0;
    s.tx[2] = c1;
    s.tx[3] = c2;
    sendMessage(4);
    return readReply(kSetConfig);
}

int WriteMsgCan(int id, unsigned char length, unsigned char *data) {
    if (!canReady() || length > 8 || (length > 0 && !data)) return 0;
    LinkState &s = state();
    int n = 0;
    s.tx[n++] = kSendFrame;
    n += putId(s.tx + n, id);
    s.tx[n++] = length;
    if (length > 0) std::memcpy(s.tx + n, data, length);
    n += length;
    sendMessage(n);
    return readReply(kSendFrame);
}

int ReadMsgCan(short *id, unsigned char *length, unsigned char *data) {
    if (!canReady() || !id || !length || !data) return 0;
    const std::uint8_t *rx = state().rx;
    std::uint32_t have = 0;
    int failures = 0;
    if (!accumulate(1, &have, &failures) || rx[0] != kReceivedFrame) return 0;
    if (!accumulate(4, &have, &failures)) return 0;
    *id = short(((rx[1] << 8) | rx[2]) >> 5);
    *length = rx[3];
    if (rx[3] > 8) return 0;
    const std::uint32_t total = 4u + rx[3] + 1u;
    if (!accumulate(total, &have, &failures)) return 0;
    if (xorOf(rx, int(total) - 1) != rx[total - 1]) return 0;
    std::memcpy(data, rx + 4, rx[3]);
    return 1;
}

int WriteSDO(unsigned char node, short index, unsigned char subIndex, unsigned char size,
             unsigned char *data) {
    return writeSdo(node, index, subIndex, size, data, 0);
}

int WriteSDO_Wait(unsigned char node, short index, unsigned char subIndex, unsigned char size,
                  unsigned char *data, int milliseconds) {
    return writeSdo(node, index, subIndex, size, data, milliseconds);
}

int ReadSDO(unsigned char node, short index, unsigned char subIndex, unsigned char *size,
            unsigned char *data) {
    return readSdo(node, index, subIndex, size, data, 0);
}

int ReadSDO_Wait(unsigned char node, short index, unsigned char subIndex, unsigned char *size,
                 unsigned char *data, int milliseconds) {
    return readSdo(node, index, subIndex, size, data, milliseconds);
}

int StartRemoteNode(unsigned char node) {
    return nmt(0x01, node);
}
int StopRemoteNode(unsigned char node) {
    return nmt(0x02, node);
}
int EnterPreOperational(unsigned char node) {
    return nmt(0x80, node);
}
int ResetNode(unsigned char node) {
    return nmt(0x81, node);
}
int ResetCommunication(unsigned char node) {
    return nmt(0x82, node);
}

} // extern "C"
