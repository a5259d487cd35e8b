// Firmware update, programming phase (write and read back every record) against the simulated boot
// loader with wire-speed pacing: the measured time over the wire limit, the bytes both ways x 10 bits
// / baud. bench_admin [KiB at 38400 baud] [KiB at 9600 baud] (default 32 and 8; 32-byte records).
#include "admin/firmwareupdate.h"
#include "admin/srecord.h"
#include "simboard.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kRecordBytes = 32;
constexpr int kFrameData = 127; // data bytes per boot-loader frame
constexpr int kHeader = 11;     // frame header; a frame with data adds the data and their checksum

class Quiet : public firmware::Observer {
public:
    void erasing(int, int) override {}
    void programming(int, int, qint64, qint64) override {}
    void verificationError(int) override {}
    bool cancelRequested() override { return false; }
};

// Bytes on the wire for one transfer of `count` data bytes split into frames: with the data in the
// request (write) or in the reply (read), the other side a bare header.
qint64 transferBytes(qsizetype count) {
    qint64 bytes = 0;
    for (qsizetype left = count; left > 0; left -= kFrameData)
        bytes += kHeader + (std::min<qsizetype>(left, kFrameData) + kHeader + 1);
    return bytes;
}

bool run(int baud, int kib) {
    admintest::SimBoard board({"--model", "water", "--bootloader", "--baud", std::to_string(baud)}, false);
    if (!board.ok()) return false;
    std::vector<admintest::Block> blocks;
    const admintest::Bytes image = admintest::pattern(static_cast<std::size_t>(kib) * 1024, 1);
    for (std::size_t at = 0; at < image.size(); at += kRecordBytes)
        blocks.push_back({static_cast<std::uint32_t>(at),
                          admintest::Bytes(image.begin() + static_cast<std::ptrdiff_t>(at),
                                           image.begin() + static_cast<std::ptrdiff_t>(at + kRecordBytes))});
    const std::string file = admintest::motFile(blocks);
    const srec::CheckResult checked =
        srec::check(QByteArray(file.data(), static_cast<qsizetype>(file.size())));

    BoardLink link;
    if (link.open(LinkSettings{0, baud, 20}) != 0) return false;
    firmware::Options options;
    options.verifyLimit = firmware::boardProfile(QStringLiteral("Touch Panel Water/Air"))->verifyLimit;
    Quiet quiet;
    const firmware::Result result = firmware::update(link, checked.records, options, quiet);
    if (!result.success()) {
        std::printf("%6d baud: the update failed (outcome %d)\n", baud, static_cast<int>(result.outcome));
        return false;
    }
    qint64 wire = 0;
    for (const srec::Record &r : checked.records)
        wire += 2 * transferBytes(r.data.size()); // written, then read back whole (below the limit)
    const double wireMs = static_cast<double>(wire) * 10.0 * 1000.0 / baud;
    std::printf("%6d baud: %3d KiB in %4lld records, %7lld bytes on the wire; programming %8.0f ms, "
                "wire limit %8.0f ms, ratio %.3f (goal <= 1.15); erase %lld ms\n",
                baud, kib, static_cast<long long>(checked.records.size()), static_cast<long long>(wire),
                static_cast<double>(result.programMs), wireMs, static_cast<double>(result.programMs) / wireMs,
                static_cast<long long>(result.eraseMs));
    return true;
}

} // namespace

int main(int argc, char **argv) {
    const int fast = argc > 1 ? std::atoi(argv[1]) : 32;
    const int slow = argc > 2 ? std::atoi(argv[2]) : 8;
    const bool ok = run(38400, fast) && run(9600, slow);
    return ok ? 0 : 1;
}
