// Link library figures: frame round-trips and memory throughput over a pty with an instantly
// answering board, in driver time-out mode and poll mode; then the accuracy of the read
// time-outs on a pty and of the poll-mode frame time-out over a loopback proxy.
#include "bench.h"
#include "fake_controller.h"
#include "pyrolink.h"
#include "tcp_peer.h"

#include <cstdio>

using namespace testsupport;
using bench::Clock;
using bench::msSince;

namespace {

// "p50 .. p99 .. max .. ms" of `v`.
void printSpread(const char *format, const std::vector<double> &v) {
    std::printf(format, bench::percentile(v, 0.5), bench::percentile(v, 0.99), bench::percentile(v, 1));
}

void roundTrips(const char *mode, short t1, short t3, double inherentMs) {
    PtyPeer peer;
    peer.bindCom(1);
    FakeController board;
    board.attach(peer);
    if (OpenComm(0, 115200, 0, t1, 0, t3) != 0) {
        std::printf("open failed\n");
        return;
    }
    const int n = 400;
    unsigned char v;
    auto start = Clock::now();
    int ok = 0;
    for (int i = 0; i < n; ++i)
        ok += ReadBytes(1, i, 1, &v);
    const double per = msSince(start) / n;
    std::printf(
        "%-8s frame round trip: %.3f ms (%d/%d ok, %.0f/s); beyond the %.1f ms inherent wait: %.3f ms\n",
        mode, per, ok, n, 1000.0 / per, inherentMs, per - inherentMs);

    Bytes block(65536), back(65536);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = std::uint8_t(i * 13);
    int okw = 1, okr = 1;
    start = Clock::now();
    for (int at = 0; at < 65536; at += 16384)
        okw &= WriteBytesFlash(1, at, 16384, block.data() + at);
    const double wms = msSince(start);
    start = Clock::now();
    for (int at = 0; at < 65536; at += 16384)
        okr &= ReadBytes(1, at, 16384, back.data() + at);
    const double rms = msSince(start);
    std::printf(
        "%-8s 64 KiB WriteBytesFlash %.0f ms (%.1f KiB/s, ok=%d), ReadBytes %.0f ms (%.1f KiB/s, ok=%d, "
        "same=%d); per 127-byte exchange beyond inherent: write %.3f ms, read %.3f ms\n",
        mode, wms, 64000.0 / wms, okw, rms, 64000.0 / rms, okr, back == block ? 1 : 0, wms / 517 - inherentMs,
        rms / 517 - inherentMs);
    CloseComm();
    peer.stop();
}

void timeoutAccuracy() {
    // interval, multiplier, constant, count; with oneByte the peer sends one byte at once, then
    // nothing: the interval decides.
    const struct {
        short interval, multiplier, constant;
        int count;
        bool oneByte;
    } combos[] = {
        {0, 0, 20, 24, false}, {0, 0, 50, 24, false},  {0, 0, 100, 8, false},  {0, 1, 10, 24, false},
        {0, 2, 0, 16, false},  {0, 5, 5, 10, false},   {10, 0, 40, 24, false}, {20, 0, 100, 24, true},
        {5, 0, 100, 24, true}, {50, 0, 200, 24, true}, {30, 1, 30, 255, true}, {15, 2, 300, 64, true},
    };
    std::vector<double> all;
    for (const auto &c : combos) {
        PtyPeer peer;
        peer.bindCom(1);
        if (OpenComm(0, 9600, 0, c.constant, c.multiplier, c.interval) != 0) return;
        std::vector<double> errors;
        std::vector<unsigned char> buf(std::size_t(c.count));
        const double total = double(c.multiplier) * c.count + c.constant;
        const double deadline = c.oneByte && c.interval > 0 ? std::min<double>(c.interval, total) : total;
        for (int rep = 0; rep < 15; ++rep) {
            unsigned int got = 0;
            if (c.oneByte) peer.write(Bytes{0x41});
            const auto start = Clock::now();
            ReadComm(buf.data(), c.count, &got);
            errors.push_back(std::fabs(msSince(start) - deadline));
            peer.readUntilQuiet(std::chrono::milliseconds(1), std::chrono::milliseconds(2));
        }
        all.insert(all.end(), errors.begin(), errors.end());
        std::printf("  pty interval=%3d multiplier=%d constant=%3d count=%3d%s: ", c.interval, c.multiplier,
                    c.constant, c.count, c.oneByte ? " (1 byte)" : "         ");
        printSpread("|actual-deadline| p50 %.3f p99 %.3f max %.3f ms\n", errors);
        CloseComm();
    }
    printSpread("  pty all combinations: p50 %.3f p99 %.3f max %.3f ms (goal p99 within 2 ms)\n", all);

    PtyPeer peer;
    peer.bindCom(1);
    OpenComm(0, 9600, 0, 100, 0, -1);
    std::vector<double> poll;
    unsigned char buf[64];
    for (int i = 0; i < 200; ++i) {
        unsigned int got;
        const auto start = Clock::now();
        ReadComm(buf, 64, &got);
        poll.push_back(msSince(start));
    }
    printSpread("  pty poll mode ReadComm return: p50 %.3f p99 %.3f max %.3f ms (goal within 1 ms)\n", poll);
    CloseComm();
}

void proxyAccuracy() {
    // The proxy answers every read request at once with no data, so each frame attempt ends by the
    // t1 time-out of the poll-mode receiver.
    TcpPeer proxy;
    proxy.serve([](TcpPeer &p, Bytes &pending) {
        for (;;) {
            const std::size_t size = pending.empty()      ? 0
                                     : pending[0] == 0x00 ? 18
                                     : pending[0] == 0x01
                                         ? (pending.size() < 4 ? 0 : 4u + (pending[2] | (pending[3] << 8)))
                                         : 2;
            if (size == 0 || pending.size() < size) return;
            const std::uint8_t type = pending[0], index = pending[1];
            p.write(type == 0x00   ? Bytes{0x00, index, 0x00}
                    : type == 0x01 ? Bytes{0x01, index, 0x00, pending[2], pending[3]}
                    : type == 0x02 ? Bytes{0x02, index, 0x00, 0x00, 0x00}
                                   : Bytes{0x03});
            pending.erase(pending.begin(), pending.begin() + long(size));
        }
    });
    std::vector<double> errors;
    SetActiveComm(1);
    for (short t1 : {20, 50, 100}) {
        // The proxy open keeps the receive mode and frame time-out of the last direct open of the
        // port: prime them with a direct open of COM2 on a fresh pty.
        SetRemoteIP(255, 255, 255, 255);
        {
            PtyPeer direct;
            direct.bindCom(2);
            OpenComm(1, 9600, 0, t1, 0, -1);
            CloseComm();
        }
        SetRemoteIP(127, 0, 0, 1);
        if (OpenComm(1, 9600, 0, t1, 0, -1) != 0) {
            std::printf("  proxy open failed\n");
            return;
        }
        for (int rep = 0; rep < 10; ++rep) {
            unsigned char v;
            const auto start = Clock::now();
            ReadBytes(1, 0, 1, &v);
            errors.push_back(std::fabs(msSince(start) - 3.0 * t1) / 3.0);
        }
        CloseComm();
    }
    SetRemoteIP(255, 255, 255, 255);
    proxy.stop();
    printSpread(
        "  proxy poll-mode frame time-out (t1 = 20/50/100 ms): |actual-deadline| per attempt p50 %.3f "
        "p99 %.3f max %.3f ms\n",
        errors);
}

} // namespace

int main() {
    std::printf("pyrolink benchmark (pty peer answering at once, 115200 baud nominal)\n");
    roundTrips("driver", 50, 1, 1.0);
    roundTrips("poll", 100, -1, 0.0);
    std::printf("read time-out accuracy\n");
    timeoutAccuracy();
    proxyAccuracy();
    return 0;
}
