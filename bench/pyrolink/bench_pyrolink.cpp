// Link library figures: frame round-trips and memory throughput over a pty with an instantly
// answering board, in driver time-out mode and poll mode; then the accuracy of the read
// time-outs on a pty and of the poll-mode frame time-out over a loopback proxy.
#include "pty_peer.h"
#include "pyrolink.h"
#include "tcp_peer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

using testsupport::Bytes;
using testsupport::PtyPeer;
using testsupport::TcpPeer;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

Bytes frame(int node, int command, int length, const std::uint8_t *address, const Bytes &data) {
    Bytes f = {0x55,
               0xAA,
               0x00,
               static_cast<std::uint8_t>(node),
               static_cast<std::uint8_t>(command),
               static_cast<std::uint8_t>(length),
               address[0],
               address[1],
               address[2],
               address[3]};
    unsigned s = 0;
    for (auto b : f)
        s += b;
    f.push_back(static_cast<std::uint8_t>(s));
    if (!data.empty()) {
        f.insert(f.end(), data.begin(), data.end());
        unsigned d = 0;
        for (auto b : data)
            d += b;
        f.push_back(static_cast<std::uint8_t>(d));
    }
    return f;
}

// Answers read / write / flash-write frames at once from a 64 KiB memory.
void serveMemory(PtyPeer &peer, Bytes &memory) {
    peer.serve([&memory](PtyPeer &p, Bytes &pending) {
        for (;;) {
            while (!pending.empty() && pending[0] != 0x55)
                pending.erase(pending.begin());
            if (pending.size() < 11) return;
            int command = pending[4], length = pending[5];
            std::size_t size = (command == 0x01 || command == 0x04) ? 12u + length : 11u;
            if (pending.size() < size) return;
            unsigned at = ((pending[8] << 8) | pending[9]) & 0xFFFF;
            Bytes reply;
            if (command == 0x00) {
                Bytes data(memory.begin() + at, memory.begin() + std::min<unsigned>(at + length, 65536));
                data.resize(length);
                reply = frame(pending[3], 0, length, &pending[6], data);
            } else {
                for (int i = 0; i < length && at + i < 65536; ++i)
                    memory[at + i] = pending[11 + i];
                reply = frame(pending[3], command, length, &pending[6], {});
            }
            pending.erase(pending.begin(), pending.begin() + static_cast<long>(size));
            p.write(reply);
        }
    });
}

struct Spread {
    double p50, p99, max;
};

Spread spread(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    auto at = [&](double q) { return v[std::min(v.size() - 1, static_cast<std::size_t>(q * v.size()))]; };
    return {at(0.5), at(0.99), v.back()};
}

void roundTrips(const char *mode, short t1, short t3, double inherentMs) {
    PtyPeer peer;
    peer.bindCom(1);
    Bytes memory(65536, 0);
    serveMemory(peer, memory);
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
    double per = msSince(start) / n;
    std::printf(
        "%-8s frame round trip: %.3f ms (%d/%d ok, %.0f/s); beyond the %.1f ms inherent wait: %.3f ms\n",
        mode, per, ok, n, 1000.0 / per, inherentMs, per - inherentMs);

    Bytes block(65536);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i * 13);
    start = Clock::now();
    int okw = 1;
    for (int at = 0; at < 65536; at += 16384)
        okw &= WriteBytesFlash(1, at, 16384, block.data() + at);
    double wms = msSince(start);
    Bytes back(65536);
    start = Clock::now();
    int okr = 1;
    for (int at = 0; at < 65536; at += 16384)
        okr &= ReadBytes(1, at, 16384, back.data() + at);
    double rms = msSince(start);
    std::printf(
        "%-8s 64 KiB WriteBytesFlash %.0f ms (%.1f KiB/s, ok=%d), ReadBytes %.0f ms (%.1f KiB/s, ok=%d, "
        "same=%d); per 127-byte exchange beyond inherent: write %.3f ms, read %.3f ms\n",
        mode, wms, 64000.0 / wms, okw, rms, 64000.0 / rms, okr, back == block ? 1 : 0, wms / 517 - inherentMs,
        rms / 517 - inherentMs);
    CloseComm();
    peer.stop();
}

void timeoutAccuracy() {
    struct Combo {
        short interval, multiplier, constant;
        int count;
        bool oneByte; // the peer sends one byte at once, then nothing: the interval decides
    };
    const Combo combos[] = {
        {0, 0, 20, 24, false}, {0, 0, 50, 24, false},  {0, 0, 100, 8, false},  {0, 1, 10, 24, false},
        {0, 2, 0, 16, false},  {0, 5, 5, 10, false},   {10, 0, 40, 24, false}, {20, 0, 100, 24, true},
        {5, 0, 100, 24, true}, {50, 0, 200, 24, true}, {30, 1, 30, 255, true}, {15, 2, 300, 64, true},
    };
    std::vector<double> all;
    for (const Combo &c : combos) {
        PtyPeer peer;
        peer.bindCom(1);
        if (OpenComm(0, 9600, 0, c.constant, c.multiplier, c.interval) != 0) return;
        std::vector<double> errors;
        for (int rep = 0; rep < 15; ++rep) {
            std::vector<unsigned char> buf(static_cast<std::size_t>(c.count));
            unsigned int got = 0;
            if (c.oneByte) peer.write(Bytes{0x41});
            auto start = Clock::now();
            ReadComm(buf.data(), c.count, &got);
            double took = msSince(start);
            double total = double(c.multiplier) * c.count + c.constant;
            double expected = c.oneByte && c.interval > 0 ? std::min<double>(c.interval, total) : total;
            errors.push_back(std::fabs(took - expected));
            peer.readUntilQuiet(1ms, 2ms);
        }
        Spread s = spread(errors);
        all.insert(all.end(), errors.begin(), errors.end());
        std::printf(
            "  pty interval=%3d multiplier=%d constant=%3d count=%3d%s: |actual-deadline| p50 %.3f p99 %.3f "
            "max %.3f ms\n",
            c.interval, c.multiplier, c.constant, c.count, c.oneByte ? " (1 byte)" : "         ", s.p50,
            s.p99, s.max);
        CloseComm();
    }
    Spread s = spread(all);
    std::printf("  pty all combinations: p50 %.3f p99 %.3f max %.3f ms (goal p99 within 2 ms)\n", s.p50,
                s.p99, s.max);

    PtyPeer peer;
    peer.bindCom(1);
    OpenComm(0, 9600, 0, 100, 0, -1);
    std::vector<double> poll;
    unsigned char buf[64];
    for (int i = 0; i < 200; ++i) {
        unsigned int got;
        auto start = Clock::now();
        ReadComm(buf, 64, &got);
        poll.push_back(msSince(start));
    }
    s = spread(poll);
    std::printf("  pty poll mode ReadComm return: p50 %.3f p99 %.3f max %.3f ms (goal within 1 ms)\n", s.p50,
                s.p99, s.max);
    CloseComm();
}

void proxyAccuracy() {
    // Poll mode is chosen by the last direct open; the proxy then answers every read request at
    // once with no data, so each frame attempt ends by the t1 time-out.
    {
        PtyPeer peer;
        peer.bindCom(1);
        OpenComm(0, 9600, 0, 20, 0, -1);
        CloseComm();
    }
    TcpPeer proxy;
    proxy.serve([](TcpPeer &p, Bytes &pending) {
        while (!pending.empty()) {
            std::uint8_t type = pending[0];
            if (type == 0x00 && pending.size() >= 18) {
                p.write(Bytes{0x00, pending[1], 0x00});
                pending.erase(pending.begin(), pending.begin() + 18);
            } else if (type == 0x01 && pending.size() >= 4) {
                std::size_t n = pending[2] | (pending[3] << 8);
                if (pending.size() < 4 + n) return;
                p.write(Bytes{0x01, pending[1], 0x00, pending[2], pending[3]});
                pending.erase(pending.begin(), pending.begin() + 4 + static_cast<long>(n));
            } else if ((type == 0x02 || type == 0x03) && pending.size() >= 2) {
                p.write(type == 0x02 ? Bytes{0x02, pending[1], 0x00, 0x00, 0x00} : Bytes{0x03});
                pending.erase(pending.begin(), pending.begin() + 2);
            } else {
                return;
            }
        }
    });
    SetActiveComm(1);
    SetRemoteIP(127, 0, 0, 1);
    std::vector<double> errors;
    for (short t1 : {20, 50, 100}) {
        // The proxy open does not change the frame time-out: reopen directly with this t1 first.
        SetRemoteIP(255, 255, 255, 255);
        {
            PtyPeer peer;
            peer.bindCom(2);
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
            auto start = Clock::now();
            ReadBytes(1, 0, 1, &v);
            errors.push_back(std::fabs(msSince(start) - 3.0 * t1) / 3.0);
        }
        CloseComm();
    }
    SetRemoteIP(255, 255, 255, 255);
    proxy.stop();
    Spread s = spread(errors);
    std::printf(
        "  proxy poll-mode frame time-out (t1 = 20/50/100 ms): |actual-deadline| per attempt p50 %.3f p99 "
        "%.3f max %.3f ms\n",
        s.p50, s.p99, s.max);
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
