// Platform layer of the link library: serial device, sockets, clocks and the diagnostic box.
// Each operating system supplies one implementation file per table, chosen by the build; the
// protocol code above it never tests the platform.
#pragma once

#include <cstdint>

namespace pyrolink {

using Handle = std::intptr_t;
constexpr Handle kInvalidHandle = -1;

// Read time-outs with the communications-driver meaning: a read ends when the requested count
// arrived, when the gap after a received byte exceeds `interval`, or when
// multiplier x count + constant elapsed. interval 0xFFFFFFFF with zero totals returns at once
// with what is buffered; all zero waits for the full count.
struct ReadTimeouts {
    std::uint32_t interval = 0;
    std::uint32_t multiplier = 0;
    std::uint32_t constant = 0;
};

constexpr std::uint32_t kMaxDword = 0xFFFFFFFFu;

struct SerialBackend {
    // Opens port index 0..15 for exclusive read/write access; kInvalidHandle on failure.
    Handle (*open)(int port);
    // The same for a device named by its path (the proxy server's one device).
    Handle (*openPath)(const char *path);
    // Applies `baud`, 8 data bits, no parity, 1 stop bit, no flow control, raw. 1 = applied.
    int (*configure)(Handle handle, int baud);
    int (*setTimeouts)(Handle handle, const ReadTimeouts &timeouts);
    // Reads at most `count` bytes as the handle's time-outs decide. 1 = the read was carried out
    // (`*got` may be smaller than `count`, even 0); 0 = the device failed or the peer hung up.
    int (*read)(Handle handle, std::uint8_t *buffer, std::uint32_t count, std::uint32_t *got);
    // Writes all bytes (no write time-out); `*written` is what the device took.
    int (*write)(Handle handle, const std::uint8_t *data, std::uint32_t count, std::uint32_t *written);
    // Blocks until input is pending or `timeoutMs` passed, without using the CPU. 1 = input pending.
    int (*waitReadable)(Handle handle, int timeoutMs);
    // Drops every byte received and not yet read, at once and whatever the time-outs. 1 = done.
    int (*discardInput)(Handle handle);
    void (*close)(Handle handle);
    // Modem status: *ctsOn = 1 when CTS is on. 0 = the device refused the query.
    int (*readCts)(Handle handle, int *ctsOn);
    // Turns CTS output flow control on or off. 0 = the device refused.
    int (*setCtsFlow)(Handle handle, int on);
};

extern const SerialBackend serialBackend;

using Socket = std::intptr_t;
constexpr Socket kInvalidSocket = -1;

// What SocketBackend::receive returns besides a count of bytes received (> 0).
enum ReceiveResult : int {
    kReceiveClosed = 0, // the peer closed the connection
    kReceiveFailed = -1,
    kReceiveTimedOut = -2, // nothing within the time-out
};

struct SocketBackend {
    int (*startup)(); // 1 = ready
    void (*cleanup)();
    Socket (*create)(); // IPv4 stream socket
    int (*setReuseAddress)(Socket s);
    // Connects to `address` (first octet most significant) within `timeoutMs`. 1 = connected.
    int (*connect)(Socket s, std::uint32_t address, std::uint16_t port, int timeoutMs);
    int (*sendAll)(Socket s, const std::uint8_t *data, int count); // 1 = all sent
    // The bytes received (> 0), or a ReceiveResult.
    int (*receive)(Socket s, std::uint8_t *buffer, int capacity, int timeoutMs);
    void (*close)(Socket s);
    int (*lastError)();
};

extern const SocketBackend socketBackend;

void sleepMs(unsigned milliseconds);
std::uint32_t tickMs();      // millisecond tick, wraps like the platform tick count
std::uint64_t monotonicMs(); // never wraps
void showMessage(const char *caption, const char *text);

} // namespace pyrolink
