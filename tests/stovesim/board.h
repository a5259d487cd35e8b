// A simulated board driven directly through the engine, with a test-controlled clock.
#pragma once

#include "control.h"
#include "engine.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace stovesim::test {

inline Bytes wire(const std::string &s) {
    return Bytes(s.begin(), s.end());
}
inline std::string text(const Bytes &b) {
    return std::string(b.begin(), b.end());
}

class Board {
public:
    explicit Board(EngineConfig config = {}) : engine(config) { engine.advance(now); }
    explicit Board(Model model) : engine(configFor(model)) { engine.advance(now); }

    // A board of `model` that keeps its stored parameters in `statePath` (none when empty).
    static EngineConfig configFor(Model model, const std::filesystem::path &statePath = {}) {
        EngineConfig c;
        c.model = model;
        c.statePath = statePath.string();
        return c;
    }

    // Sends bytes; returns the exchanges they completed.
    std::vector<Exchange> send(const Bytes &bytes) {
        std::vector<Exchange> out;
        engine.receive(bytes, now, out);
        return out;
    }
    // Sends one text request and returns the reply text, or nullopt when the board stays silent.
    std::optional<std::string> ask(const std::string &request) {
        auto out = send(wire(request));
        if (out.empty() || !out.back().reply) return std::nullopt;
        return text(*out.back().reply);
    }
    std::string control(const std::string &line) { return stovesim::control(engine, line, now).reply; }
    void wait(std::chrono::milliseconds ms) {
        now += ms;
        engine.advance(now);
    }
    void waitSimulated(double seconds) {
        now += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        engine.advance(now);
    }
    // The three values of a monitor reply, parsed as the program does (three-character fields).
    std::array<int, 3> monitor(int index) {
        char req[16];
        std::snprintf(req, sizeof req, "DEBUG%02d\r", index);
        auto r = ask(req);
        if (!r || r->size() != 12) return {-999, -999, -999};
        return {std::stoi(r->substr(2, 3)), std::stoi(r->substr(5, 3)), std::stoi(r->substr(8, 3))};
    }

    Engine engine;
    Clock::time_point now = Clock::time_point{} + std::chrono::hours(1);
};

// A request and the reply it must get; `silent` when the board must not answer.
struct Expected {
    std::string request;
    std::optional<std::string> reply;
};
inline constexpr std::nullopt_t silent = std::nullopt;

// Sends the requests in turn and checks the reply to each.
inline void expectReplies(Board &board, std::initializer_list<Expected> exchanges) {
    for (const Expected &e : exchanges)
        EXPECT_EQ(board.ask(e.request), e.reply) << "request " << e.request;
}

} // namespace stovesim::test
