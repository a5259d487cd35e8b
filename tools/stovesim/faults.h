// Faults on demand: requests lost on the way to the board, and faults applied to the board's
// replies: dropped, corrupted or noisy replies, extra delay, and a board that falls silent after a
// number of answers. Deterministic for a given seed.
#pragma once

#include "engine.h"

#include <random>
#include <string>

namespace stovesim {

struct FaultConfig {
    std::uint64_t seed = 1;
    double drop = 0;       // probability that a reply is not sent
    double corrupt = 0;    // probability that one reply byte is altered
    double noise = 0;      // probability of 1..4 stray bytes before a reply
    double lose = 0;       // probability that a request never reaches the board: not acted on
    int delayMs = 0;       // added to every reply
    int jitterMs = 0;      // plus 0..jitter ms, uniformly
    long silentAfter = -1; // answer this many requests, then none (negative: never fall silent)
    std::string only;      // faults hit only requests whose text starts with this
};

class FaultInjector {
public:
    explicit FaultInjector(const FaultConfig &config);

    struct Outcome {
        std::optional<Bytes> bytes;
        Millis delay{0};
        std::string note; // what was done, for the transcript
    };
    Outcome apply(const Exchange &exchange);
    // Whether the request named `label` is lost before the board reads it. Drawn from a sequence
    // of its own, so that losses do not shift the reply faults of the same seed.
    bool loses(const std::string &label);
    long answered() const { return m_answered; }

private:
    FaultConfig m_config;
    std::mt19937_64 m_rng;
    std::mt19937_64 m_lossRng;
    long m_answered = 0;
};

} // namespace stovesim
