// Process-wide state of the link library: the sixteen port slots, the working copy of the active
// slot, the shared time-outs and the shared transmit/receive buffers.
#pragma once

#include "platform.h"

#include <cstddef>
#include <cstdint>

namespace pyrolink {

constexpr int kPortCount = 16;
constexpr std::uint32_t kNoProxy = 0xFFFFFFFFu;
constexpr std::size_t kBufferSize = 256;

// How the raw exchange reaches the board: the serial device or the TCP proxy. Each slot names
// its transport, chosen with the slot's proxy address (SetRemoteIP); the exports and everything
// above them run the same code over either.
struct Transport {
    int (*open)(int port, int baud, short controllerType, short t1, short t2, short t3);
    void (*close)();
    int (*write)(const unsigned char *data, int count);
    int (*read)(unsigned char *buffer, int count, unsigned int *got);
    // Blocks until input may be there or `ms` passed, so the poll-mode frame receiver never spins.
    void (*waitInput)(int ms);
    // Drops what has already arrived for the open port, without waiting; 0 when not open.
    int (*discard)();
};

extern const Transport serialTransport; // link.cpp
extern const Transport proxyTransport;  // proxy.cpp

struct PortSlot {
    Handle handle = kInvalidHandle;
    std::int32_t open = 0;
    std::int16_t controllerType = 0;
    std::uint32_t proxyAddress = kNoProxy;
    std::int32_t proxyConnected = 0;
    std::int32_t proxyPortIndex = -1;
    std::int32_t canOpen = 0;
    const Transport *transport = &serialTransport; // proxy exactly while proxyAddress is set
};

struct LinkState {
    PortSlot slots[kPortCount];
    int active = 0;
    PortSlot work;                 // working copy of the active slot; every operation reads this one
    ReadTimeouts timeouts;         // set only by a direct OpenComm, shared by all ports
    std::int32_t frameTimeout = 0; // t1 in ms, used by the poll-mode frame receiver
    int debug = 0;
    std::uint8_t tx[kBufferSize] = {};
    std::uint8_t rx[kBufferSize] = {};
    std::uint32_t rxCount = 0;
    std::uint32_t lastWritten = 0;
};

LinkState &state();

// Writes one field in the working copy and in the active slot together.
template <typename T> void setField(T PortSlot::*field, T value) {
    LinkState &s = state();
    s.work.*field = value;
    if (s.active >= 0 && s.active < kPortCount) s.slots[s.active].*field = value;
}

inline bool portOpen() {
    return state().work.open != 0;
}
inline const Transport &transport() {
    return *state().work.transport;
}
inline bool pollMode() {
    return state().timeouts.interval == kMaxDword;
}

// Shows a diagnostic only while DoDebug is on.
void debugMessage(const char *text);

// Proxy reply decoding, kept apart from the socket so it can be tested and fuzzed alone.
enum class ProxyReply { Ok, TooShort, Wrong, Oversize, Mismatch };
// Total size of a read reply once its header is known (at least 5 until then).
int proxyReadReplySize(const std::uint8_t *message, int have);
// Checks a read reply and copies at most `count` data bytes (never more than arrived).
ProxyReply checkReadReply(const std::uint8_t *message, int size, std::uint8_t index, unsigned char *buffer,
                          int count, unsigned int *got);
ProxyReply checkWriteReply(const std::uint8_t *message, int size, std::uint8_t index, int count);

} // namespace pyrolink
