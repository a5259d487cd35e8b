// Firmware update, programming phase (write and read back every record) against the simulated boot
// loader with wire-speed pacing: the measured time over the wire limit, the bytes both ways x 10 bits
// / baud. bench_admin [KiB at 38400 baud] [KiB at 9600 baud] (default 32 and 8; 32-byte records).
#include "admin/firmwareupdate.h"
#include "admin/srecord.h"
#include "bench.h"
#include "quietupdate.h"

#include <cstdio>

namespace {

constexpr int kRecordBytes = 32;
constexpr int kFrameData = 127; // data bytes per boot-loader frame
constexpr int kHeader = 11;     // frame header; a frame with data adds the data and their checksum

bool run(int baud, int kib) {
    bench::Simulator board({"--model", "water", "--bootloader", "--baud", std::to_string(baud)});
    BoardLink link;
    if (!board.ok() || link.open(LinkSettings{0, baud, 20}) != 0) return false;
    QList<srec::Record> records; // never all 0xFF, which needs no programming
    for (int at = 0; at < kib * 1024; at += kRecordBytes) {
        records.append({std::uint32_t(at), QByteArray(kRecordBytes, 0)});
        for (int i = 0; i < kRecordBytes; ++i)
            records.last().data[i] = char((at + i) * 37 % 255);
    }
    firmware::Options options;
    options.verifyLimit = firmware::boardProfile(QStringLiteral("Touch Panel Water/Air"))->verifyLimit;
    bench::QuietUpdate quiet;
    const firmware::Result result = firmware::update(link, records, options, quiet);
    if (!result.success()) {
        std::printf("%6d baud: the update failed (outcome %d)\n", baud, int(result.outcome));
        return false;
    }
    // Each record written, then read back whole (below the limit): a header one way, the data in
    // frames with their header and checksum the other.
    qint64 wire = 0;
    for (const srec::Record &r : records)
        for (qsizetype left = r.data.size(); left > 0; left -= kFrameData)
            wire += 2 * (kHeader + std::min<qsizetype>(left, kFrameData) + kHeader + 1);
    const double wireMs = double(wire) * 10.0 * 1000.0 / baud;
    std::printf("%6d baud: %3d KiB in %4lld records, %7lld bytes on the wire; programming %8.0f ms, "
                "wire limit %8.0f ms, ratio %.3f (goal <= 1.15); erase %lld ms\n",
                baud, kib, static_cast<long long>(records.size()), static_cast<long long>(wire),
                double(result.programMs), wireMs, double(result.programMs) / wireMs,
                static_cast<long long>(result.eraseMs));
    return true;
}

} // namespace

int main(int argc, char **argv) {
    const bool ok =
        run(38400, argc > 1 ? std::atoi(argv[1]) : 32) && run(9600, argc > 2 ? std::atoi(argv[2]) : 8);
    return ok ? 0 : 1;
}
