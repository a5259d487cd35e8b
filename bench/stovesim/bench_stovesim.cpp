// Prints the simulator's figures:
//  1. answer latency of the running program with --no-pacing, from the last request byte written
//     to the first reply byte readable on the slave side (goal: under 1 ms);
//  2. resident memory of the program before and after a simulated day of polling (--speed);
//  3. resident memory of the engine alone after a simulated day, driven in-process.
// Usage: bench_stovesim [round-trips] [seconds-for-the-day]
#include "bench.h"
#include "engine.h"

#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using bench::Clock;

namespace {

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
    const double us = bench::msSince(sent) * 1000;
    char buf[64];
    for (std::size_t got = 0; got < replySize && poll(&p, 1, 1000) > 0;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    return us;
}

} // namespace

int main(int argc, char **argv) {
    const int trips = argc > 1 ? std::atoi(argv[1]) : 3000;
    const int daySeconds = argc > 2 ? std::atoi(argv[2]) : 30;

    // 1. Latency.
    {
        bench::Simulator sim({"--model", "water", "--no-pacing"});
        const int fd = openPort(sim.path());
        const std::pair<const char *, std::size_t> mix[] = {
            {"MODELLO\r", 23}, {"READGENP01\r", 8}, {"DEBUG03\r", 12}, {"WRGENP01020\r", 8}};
        std::vector<double> us;
        for (int i = 0; i < trips; ++i)
            if (const double t = roundTrip(fd, mix[i % 4].first, mix[i % 4].second); t >= 0) us.push_back(t);
        if (!us.empty())
            std::printf("latency, pacing off, %zu round trips: median %.0f us, p99 %.0f us, max %.0f us\n",
                        us.size(), bench::percentile(us, 0.5), bench::percentile(us, 0.99),
                        bench::percentile(us, 1));
        close(fd);
    }

    // 2. The program over a simulated day: the stove runs and is polled like the monitor page does.
    {
        const double speed = 86400.0 / daySeconds;
        bench::Simulator sim({"--model", "basic", "--no-pacing", "--speed", std::to_string(speed)});
        const int fd = openPort(sim.path());
        roundTrip(fd, "MODELLO\r", 23);
        const long before = bench::statusKiB("VmRSS:", sim.pid());
        if (sim.control("start").empty()) return 1;
        const auto end = Clock::now() + std::chrono::seconds(daySeconds);
        long requests = 0;
        while (Clock::now() < end)
            for (int i = 1; i <= 6; ++i, ++requests)
                roundTrip(fd, "DEBUG0" + std::to_string(i) + "\r", 12);
        std::printf(
            "program, simulated day in %d s (speed %.0f), %ld requests: RSS %ld KiB before, %ld KiB after\n",
            daySeconds, speed, requests, before, bench::statusKiB("VmRSS:", sim.pid()));
        close(fd);
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
        const long before = bench::statusKiB();
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
        std::printf(
            "engine, 86400 simulated seconds with 86400 requests: %.0f ms, RSS %ld KiB before, %ld KiB "
            "after\n",
            bench::msSince(started), before, bench::statusKiB());
    }
    return 0;
}
