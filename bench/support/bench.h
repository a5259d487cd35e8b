// Helpers of the benchmarks: the simulator as a child process, clocks and percentiles, resident
// memory and CPU time read from the system.
#pragma once

#include "kit.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
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

// The simulator (HB_STOVESIM) with `args`, its pty bound to PYROLINK_COM1; stopped (SIGTERM) when
// it goes. ok() is false, with a line on standard error, when it printed no pty path.
class Simulator {
public:
    explicit Simulator(std::vector<std::string> args) : m_child(stovesim::test::spawn(HB_STOVESIM, args)) {
        m_path = readLine();
        if (m_path.empty())
            std::fprintf(stderr, "cannot start the simulator %s\n", HB_STOVESIM);
        else
            setenv("PYROLINK_COM1", m_path.c_str(), 1);
    }
    ~Simulator() {
        if (m_child.pid > 0) {
            kill(m_child.pid, SIGTERM);
            waitpid(m_child.pid, nullptr, 0);
        }
        close(m_child.in);
        close(m_child.out);
    }
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    bool ok() const { return !m_path.empty(); }
    const std::string &path() const { return m_path; }
    pid_t pid() const { return m_child.pid; }
    // One line on the control channel; its one-line answer.
    std::string control(const std::string &command) {
        const std::string line = command + "\n";
        return write(m_child.in, line.data(), line.size()) == ssize_t(line.size()) ? readLine()
                                                                                   : std::string();
    }

private:
    std::string readLine() {
        std::string line;
        pollfd fd{m_child.out, POLLIN, 0};
        for (char c; poll(&fd, 1, 10000) > 0 && read(m_child.out, &c, 1) == 1 && c != '\n';)
            line += c;
        return line;
    }
    stovesim::test::Child m_child;
    std::string m_path;
};

} // namespace bench
