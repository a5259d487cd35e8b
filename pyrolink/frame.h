// The controller / boot-loader frame: 0x55 0xAA, reserved, node, command, length, 32-bit address
// (most significant byte first), header checksum, then optional data and data checksum. Requests
// are assembled in the shared transmit buffer; replies land in the shared receive buffer.
#pragma once

#include <cstdint>
#include <optional>

namespace pyrolink::frame {

constexpr int kHeaderSize = 11;
constexpr int kMaxChunk = 127;
constexpr int kAttempts = 3;

enum Command : std::uint8_t {
    kRead = 0x00,
    kWrite = 0x01,
    kFlashWrite = 0x04,
    kEraseSector = 0x05,
    kConfigIdentity = 0x09,
    kConfigArea = 0x0A,
    kDownloadFlash = 0x0B,
    kStoreParameters = 0x0C,
    kDownloadRam = 0x0D,
    kKey = 0x11,
    kFunctionAddress = 0x13,
    kReadCheck = 0x14,
    kWriteCheck = 0x15,
    kKeyCheck = 0x16,
};

std::uint8_t sum8(const std::uint8_t *bytes, int count);

// 32-bit values travel most significant byte first, in headers and in data alike.
inline std::uint32_t be32(const std::uint8_t *p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

inline void putBe32(std::uint8_t *p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

// Assembles a request in the transmit buffer and returns its size: 11 bytes without data,
// dataCount + 12 with data. `length` is the header's length field. dataCount must be <= 244 so the request
// fits the 256-byte buffer.
int build(std::uint8_t node, std::uint8_t command, std::uint8_t length, std::uint32_t address,
          const std::uint8_t *data = nullptr, int dataCount = 0);

// Sends `size` bytes of the transmit buffer (the write result is not consulted by the protocol).
void send(int size);

// Receives into the receive buffer: poll mode waits for `expected` bytes with the t1 gap time-out,
// otherwise one read of up to 255 bytes as the driver time-outs decide. 1 = read carried out.
int receive(std::uint32_t expected);

// A reply found in the receive buffer.
struct Reply {
    const std::uint8_t *data; // the bytes after the header
    int length;               // the reply's length byte
    int available;            // data bytes actually received after the header

    // The data checksum follows the data; only bytes that arrived count.
    bool dataChecksumOk() const;
};

// Finds the reply in the receive buffer (skipping noise before 0x55 0xAA), checks the header
// checksum and the command echo; nothing when either fails.
std::optional<Reply> parse(std::uint8_t command);

// Header-only request / 11-byte echo exchange with up to three attempts (access and key checks).
int headerExchange(std::uint8_t node, std::uint8_t command, std::uint8_t length, std::uint32_t address);

int readCheck(std::uint8_t node, std::uint32_t address, int length);
int writeCheck(std::uint8_t node, std::uint32_t address, int length);

// Waits for an echo of `command` until `seconds` passed since the request was sent (store
// parameters, flash download). Returns 1 once a reply parsed.
int awaitEcho(std::uint8_t command, int seconds);

} // namespace pyrolink::frame
