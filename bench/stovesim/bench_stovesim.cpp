// Prints the simulator's figures:
//  1. answer latency of the running program with --no-pacing, from the last request byte written
//     to the first reply byte readable on the slave side (goal: under 1 ms);
//  2. resident memory of the program before and after a simulated day of polling (--speed);
//  3. resident memory of the engine alone after a simulated day, driven in-process.
// Usage: bench_stovesim [round-trips] [seconds-for-the-day]
#include "engine.h"
#include "kit.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

struct Child : stovesim::test::Child {
    std::string path;
};

// Starts the simulator and reads the slave path it prints first.
Child spawn(std::vector<std::string> args) {
    Child c{stovesim::test::spawn(STOVESIM_PATH, std::move(args)), {}};
    if (c.pid < 0) std::exit(1);
    char ch;
    while (read(c.out, &ch, 1) == 1 && ch != '\n')
        c.path += ch;
    return c;
}

void stop(Child &c) {
    kill(c.pid, SIGTERM);
    waitpid(c.pid, nullptr, 0);
    close(c.in);
    close(c.out);
}

long rssKiB(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

int openPort(const std::string &path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// One request; returns the microseconds until the first reply byte, then drains the reply.
double roundTrip(int fd, const std::string &request, std::size_t replySize) {
    if (write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) return -1;
    const auto sent = Clock::now();
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 1000) <= 0) return -1;
    const auto first = Clock::now();
    std::size_t got = 0;
    char buf[64];
    while (got < replySize) {
        if (poll(&p, 1, 1000) <= 0) break;
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    return std::chrono::duration<double, std::micro>(first - sent).count();
}

} // namespace

int main(int argc, char **argv) {
    const int trips = argc > 1 ? std::atoi(argv[1]) : 3000;
    const int daySeconds = argc > 2 ? std::atoi(argv[2]) : 30;

    // 1. Latency.
    {
        Child sim = spawn({"--model", "water", "--no-pacing"});
        const int fd = openPort(sim.path);
        const struct {
            const char *request;
            std::size_t reply;
        } mix[] = {{"MODELLO\r", 23}, {"READGENP01\r", 8}, {"DEBUG03\r", 12}, {"WRGENP01020\r", 8}};
        std::vector<double> us;
        for (int i = 0; i < trips; ++i) {
            const auto &m = mix[i % 4];
            const double t = roundTrip(fd, m.request, m.reply);
            if (t >= 0) us.push_back(t);
        }
        std::sort(us.begin(), us.end());
        if (!us.empty())
            std::printf("latency, pacing off, %zu round trips: median %.0f us, p99 %.0f us, max %.0f us\n",
                        us.size(), us[us.size() / 2], us[us.size() * 99 / 100], us.back());
        close(fd);
        stop(sim);
    }

    // 2. The program over a simulated day: the stove runs and is polled like the monitor page does.
    {
        const double speed = 86400.0 / daySeconds;
        Child sim = spawn({"--model", "basic", "--no-pacing", "--speed", std::to_string(speed)});
        const int fd = openPort(sim.path);
        roundTrip(fd, "MODELLO\r", 23);
        const long before = rssKiB(sim.pid);
        const std::string start = "start\n";
        if (write(sim.in, start.data(), start.size()) < 0) return 1;
        const auto end = Clock::now() + std::chrono::seconds(daySeconds);
        long requests = 0;
        while (Clock::now() < end) {
            for (int i = 1; i <= 6; ++i) {
                char req[16];
                std::snprintf(req, sizeof req, "DEBUG%02d\r", i);
                roundTrip(fd, req, 12);
                ++requests;
            }
        }
        const long after = rssKiB(sim.pid);
        std::printf(
            "program, simulated day in %d s (speed %.0f), %ld requests: RSS %ld KiB before, %ld KiB after\n",
            daySeconds, speed, requests, before, after);
        close(fd);
        stop(sim);
    }

    // 3. The engine alone: a day at one-second steps with a monitor request every second.
    {
        using namespace stovesim;
        EngineConfig config;
        config.model = Model::Water;
        Engine engine(config);
        std::vector<Exchange> out;
        Clock::time_point now{};
        const std::string request = "DEBUG03\r";
        const auto started = Clock::now();
        const long before = rssKiB(getpid());
        for (int s = 0; s < 86400; ++s) {
            if (s % 7200 == 0) {
                engine.stove().stop();
                engine.stove().start();
            }
            now += std::chrono::seconds(1);
            out.clear();
            engine.receive(std::span(reinterpret_cast<const std::uint8_t *>(request.data()), request.size()),
                           now, out);
        }
        const long after = rssKiB(getpid());
        std::printf(
            "engine, 86400 simulated seconds with 86400 requests: %.0f ms, RSS %ld KiB before, %ld KiB "
            "after\n",
            std::chrono::duration<double, std::milli>(Clock::now() - started).count(), before, after);
    }
    return 0;
}
