// Proxy figures: the round trip of a board command (READGENP01) from the link library to the
// simulator directly on its pty and through pyroproxy on loopback, in the same run, and the ratio;
// then a boot-loader frame round trip both ways, and the server's resident memory.
#include "bench.h"
#include "child_process.h"
#include "pyrolink.h"

#include <cstdio>

using bench::Clock;

namespace {

// The median and 90th percentile of `rounds` exchanges on the open port; `exchange` returns false
// when one failed.
std::pair<double, double> timeRounds(int rounds, bool (*exchange)(), int *failed) {
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        if (!exchange()) ++*failed;
        ms.push_back(bench::msSince(start));
    }
    return {bench::percentile(ms, 0.5), bench::percentile(ms, 0.9)};
}

bool readParameter() {
    static const unsigned char request[] = "READGENP01\r";
    if (!WriteComm(request, sizeof request - 1)) return false;
    unsigned char reply[8];
    unsigned int have = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (have < sizeof reply && Clock::now() < deadline) {
        unsigned int got = 0;
        if (!ReadComm(reply + have, int(sizeof reply - have), &got)) return false;
        have += got;
    }
    return have == sizeof reply && reply[0] == 'P';
}

bool readFrame() {
    unsigned char bytes[16];
    return ReadBytes(1, 0x10000, sizeof bytes, bytes) == 1;
}

// One figure: the same exchange on a direct pty (port 0) and through the proxy (port 1), each
// against its own simulator.
void compare(const char *what, std::vector<std::string> simArgs, short t1, short t2, short t3, int rounds,
             bool (*exchange)()) {
    simArgs.push_back("--no-pacing");
    bench::Simulator remote(simArgs, {.com = 0}), direct(simArgs); // COM1 is the direct one
    hbsupport::ChildProcess proxy(PYROPROXY_PATH, {"--device", remote.path(), "--port", "0"});
    const std::string line = proxy.waitForError(" on 127.0.0.1:").value_or("");
    if (!direct.ok() || !remote.ok() || line.empty()) {
        std::printf("%s: could not start the simulator or the proxy\n", what);
        return;
    }
    setenv("PYROLINK_PROXY_PORT", line.substr(line.rfind(':') + 1).c_str(), 1);

    int failed = 0;
    SetActiveComm(0);
    SetRemoteIP(255, 255, 255, 255);
    OpenComm(0, 115200, 0, t1, t2, t3);
    const auto [d50, d90] = timeRounds(rounds, exchange, &failed);
    CloseComm();

    SetActiveComm(1);
    SetRemoteIP(127, 0, 0, 1);
    const long before = proxy.residentKiB();
    OpenComm(1, 115200, 0, t1, t2, t3);
    const auto [p50, p90] = timeRounds(rounds, exchange, &failed);
    CloseComm();
    SetRemoteIP(255, 255, 255, 255);
    std::printf("%s (t1 %d t2 %d t3 %d, %d rounds each, %d failed):\n"
                "  direct pty       median %.3f ms  p90 %.3f ms\n"
                "  through pyroproxy median %.3f ms  p90 %.3f ms\n"
                "  ratio proxy/direct (medians) %.2f, overhead %.3f ms; server resident %ld -> %ld KiB\n",
                what, t1, t2, t3, rounds, failed, d50, d90, p50, p90, p50 / d50, p50 - d50, before,
                proxy.residentKiB());
}

} // namespace

int main(int argc, char **argv) {
    const int rounds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    // The program's settings at 115200 baud: reply wait 100 ms, 1 ms per byte and between bytes.
    compare("text command READGENP01 -> P01=018", {"--model", "water"}, 100, 1, 1, rounds, readParameter);
    // The frame receiver polls (t3 = -1) with a 100 ms gap time-out, as firmware updates do.
    compare("boot-loader frame, read of 16 bytes", {"--model", "basic", "--bootloader"}, 100, 0, -1, rounds,
            readFrame);
    return 0;
}
