// Helpers of the benchmarks: clocks and percentiles, resident memory and CPU time read from the
// system, and the simulator of tools/support.
#pragma once

#include "simulator.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The value below which the fraction `q` of `values` lies (NaN when there are none).
inline double percentile(std::vector<double> values, double q) {
    if (values.empty()) return std::nan("");
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(q * double(values.size())))];
}

// A figure of /proc/<pid>/status in KiB ("VmRSS:" resident now, "VmHWM:" its peak); pid 0: this
// process. -1 when unknown.
inline long statusKiB(const char *key = "VmRSS:", pid_t pid = 0) {
    std::ifstream status(pid == 0 ? std::string("/proc/self/status")
                                  : "/proc/" + std::to_string(pid) + "/status");
    long kib = -1;
    for (std::string word; status >> word;)
        if (word == key && status >> kib) break;
    return kib;
}

// CPU time (user and system) of this process in seconds, and of the calling thread in ms: what
// work costs whatever else runs on the machine.
inline double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
inline double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The simulator, its pty bound to PYROLINK_COM1 unless told otherwise.
using Simulator = hbsupport::Simulator;

} // namespace bench
