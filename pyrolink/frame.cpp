// The controller / boot-loader frame protocol and the memory operations built directly on it.
#include "frame.h"

#include "link.h"
#include "pyrolink.h"
#include "result_codes.h"

#include <cstring>

namespace pyrolink::frame {
namespace {

constexpr int kMaxData = static_cast<int>(kBufferSize) - kHeaderSize - 1;

} // namespace

std::uint8_t sum8(const std::uint8_t *bytes, int count) {
    unsigned sum = 0;
    for (int i = 0; i < count; ++i)
        sum += bytes[i];
    return static_cast<std::uint8_t>(sum);
}

int build(std::uint8_t node, std::uint8_t command, std::uint8_t length, std::uint32_t address,
          const std::uint8_t *data, int dataCount) {
    std::uint8_t *tx = state().tx;
    tx[0] = 0x55;
    tx[1] = 0xAA;
    tx[2] = 0x00;
    tx[3] = node;
    tx[4] = command;
    tx[5] = length;
    putBe32(tx + 6, address);
    tx[10] = sum8(tx, 10);
    if (!data || dataCount <= 0) return kHeaderSize;
    if (dataCount > kMaxData) dataCount = kMaxData;
    std::memcpy(tx + kHeaderSize, data, static_cast<size_t>(dataCount));
    tx[kHeaderSize + dataCount] = sum8(tx + kHeaderSize, dataCount);
    return kHeaderSize + dataCount + 1;
}

void send(int size) {
    WriteComm(state().tx, size);
}

int receive(std::uint32_t expected) {
    LinkState &s = state();
    if (expected > kBufferSize - 1) expected = kBufferSize - 1;
    if (!pollMode()) {
        unsigned int got = 0;
        int ok = ReadComm(s.rx, static_cast<int>(kBufferSize - 1), &got);
        s.rxCount = ok ? got : 0;
        return ok;
    }
    std::uint32_t total = 0;
    std::uint64_t timer = monotonicMs();
    const std::uint64_t limit = static_cast<std::uint64_t>(s.frameTimeout < 0 ? 0 : s.frameTimeout);
    s.rxCount = 0;
    for (;;) {
        unsigned int got = 0;
        if (!ReadComm(s.rx + total, static_cast<int>(expected - total), &got)) {
            s.rxCount = total;
            return 0;
        }
        if (got > 0) {
            total += got;
            timer = monotonicMs();
            if (total >= expected) {
                s.rxCount = total;
                return 1;
            }
            continue;
        }
        std::uint64_t elapsed = monotonicMs() - timer;
        if (elapsed >= limit) {
            s.rxCount = total;
            return 0;
        }
        transport().waitInput(static_cast<int>(limit - elapsed));
    }
}

std::optional<Reply> parse(std::uint8_t command) {
    const LinkState &s = state();
    const int received = static_cast<int>(s.rxCount % 256);
    if (received < kHeaderSize) return std::nullopt;
    for (int i = 0; i + 1 < received; ++i) {
        if (s.rx[i] != 0x55 || s.rx[i + 1] != 0xAA) continue;
        // The first sync pair decides: its header must be complete and correct.
        if (i + kHeaderSize > received) return std::nullopt;
        const std::uint8_t *h = s.rx + i;
        if (sum8(h, 10) != h[10]) return std::nullopt;
        if (h[4] != command) return std::nullopt;
        return Reply{h + kHeaderSize, h[5], received - (i + kHeaderSize)};
    }
    return std::nullopt;
}

bool Reply::dataChecksumOk() const {
    // The data and its checksum must have arrived; stale buffer bytes never count.
    if (length < 0 || length + 1 > available) return false;
    return sum8(data, length) == data[length];
}

int headerExchange(std::uint8_t node, std::uint8_t command, std::uint8_t length, std::uint32_t address) {
    if (!portOpen()) return 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        send(build(node, command, length, address));
        if (!receive(kHeaderSize) || state().rxCount == 0) continue;
        if (parse(command)) return 1;
    }
    return 0;
}

int readCheck(std::uint8_t node, std::uint32_t address, int length) {
    return headerExchange(node, kReadCheck, static_cast<std::uint8_t>(length), address);
}

int writeCheck(std::uint8_t node, std::uint32_t address, int length) {
    return headerExchange(node, kWriteCheck, static_cast<std::uint8_t>(length), address);
}

int awaitEcho(std::uint8_t command, int seconds) {
    const std::uint64_t deadline = monotonicMs() + static_cast<std::uint64_t>(seconds) * 1000u;
    while (monotonicMs() < deadline) {
        int ok = receive(kHeaderSize);
        if (ok && parse(command)) return 1;
        // A read that ended at once (failed port, zero time-outs) must not turn this into a spin.
        if (!ok || state().rxCount == 0) sleepMs(10);
    }
    return 0;
}

namespace {

// One chunk of a read: up to three attempts; the reply's data is copied only when its length is
// 1..chunk (anything else would overrun the caller or stall the transfer) and its checksum holds.
int readChunk(std::uint8_t node, std::uint32_t address, int chunk, std::uint8_t *destination) {
    LinkState &s = state();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        send(build(node, kRead, static_cast<std::uint8_t>(chunk), address));
        if (!receive(static_cast<std::uint32_t>(chunk + 12)) || s.rxCount == 0) continue;
        const std::optional<Reply> reply = parse(kRead);
        if (!reply || reply->length <= 0 || reply->length > chunk) continue;
        if (!reply->dataChecksumOk()) continue;
        std::memcpy(destination, reply->data, static_cast<size_t>(reply->length));
        return reply->length;
    }
    return 0;
}

int writeChunk(std::uint8_t command, std::uint8_t node, std::uint32_t address, int chunk,
               const std::uint8_t *source) {
    LinkState &s = state();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        send(build(node, command, static_cast<std::uint8_t>(chunk), address, source, chunk));
        if (!receive(kHeaderSize) || s.rxCount == 0) continue;
        if (parse(command)) return 1;
    }
    return 0;
}

int writeMemory(std::uint8_t command, std::uint8_t node, int address, short count,
                const std::uint8_t *source) {
    if (!portOpen() || count <= 0 || !source) return 0;
    int left = count;
    std::uint32_t at = static_cast<std::uint32_t>(address);
    while (left > 0) {
        int chunk = left < kMaxChunk ? left : kMaxChunk;
        if (!writeChunk(command, node, at, chunk, source)) return 0;
        source += chunk;
        at += static_cast<std::uint32_t>(chunk);
        left -= chunk;
    }
    return 1;
}

// The checked transfers: each frame-sized chunk is access-checked first, then moved by the plain
// transfer; the first refusal or failure ends the transfer.
template <typename Byte, typename Check, typename Move>
int checkedChunks(std::uint8_t node, int address, short count, Byte *bytes, Check check, Move move) {
    if (count <= 0 || !bytes) return kCheckedTransferFailed;
    int left = count;
    std::uint32_t at = static_cast<std::uint32_t>(address);
    while (left > 0) {
        const int chunk = left < kMaxChunk ? left : kMaxChunk;
        if (!check(node, at, chunk)) return kCheckRefused;
        if (!move(node, static_cast<int>(at), static_cast<short>(chunk), bytes))
            return kCheckedTransferFailed;
        bytes += chunk;
        at += static_cast<std::uint32_t>(chunk);
        left -= chunk;
    }
    return kCheckedDone;
}

} // namespace
} // namespace pyrolink::frame

using namespace pyrolink;

extern "C" {

PYROLINK_API int ReadBytes(unsigned char node, int address, short count, unsigned char *destination) {
    if (!portOpen() || count <= 0 || !destination) return 0;
    int left = count;
    std::uint32_t at = static_cast<std::uint32_t>(address);
    while (left > 0) {
        int chunk = left < frame::kMaxChunk ? left : frame::kMaxChunk;
        int got = frame::readChunk(node, at, chunk, destination);
        if (got == 0) return 0;
        destination += got;
        at += static_cast<std::uint32_t>(got);
        left -= got;
    }
    return 1;
}

PYROLINK_API int WriteBytes(unsigned char node, int address, short count, const unsigned char *source) {
    return frame::writeMemory(frame::kWrite, node, address, count, source);
}

PYROLINK_API int WriteBytesFlash(unsigned char node, int address, short count, const unsigned char *source) {
    return frame::writeMemory(frame::kFlashWrite, node, address, count, source);
}

PYROLINK_API int DelOneSect(unsigned char node, unsigned char sector) {
    if (!portOpen()) return 0;
    const std::uint8_t data[2] = {0x00, sector};
    for (int attempt = 0; attempt < frame::kAttempts; ++attempt) {
        frame::send(frame::build(node, frame::kEraseSector, 2, 0, data, 2));
        // The board answers only when the sector is erased; give it 4.5 s before looking.
        sleepMs(4500);
        if (!frame::receive(frame::kHeaderSize) || state().rxCount == 0) continue;
        if (frame::parse(frame::kEraseSector)) return 1;
    }
    return 0;
}

PYROLINK_API int ReadBytesEx(unsigned char node, int address, short count, unsigned char *destination) {
    return frame::checkedChunks(node, address, count, destination, frame::readCheck, ReadBytes);
}

PYROLINK_API int WriteBytesEx(unsigned char node, int address, short count, const unsigned char *source) {
    return frame::checkedChunks(node, address, count, source, frame::writeCheck, WriteBytes);
}

} // extern "C"
