#include "faults.h"

namespace stovesim {

namespace {
// Seeds the request-loss sequence apart from the reply faults' one.
constexpr std::uint64_t kLossStream = 0x9E3779B97F4A7C15ull;
} // namespace

FaultInjector::FaultInjector(const FaultConfig &config)
    : m_config(config), m_rng(config.seed), m_lossRng(config.seed ^ kLossStream) {}

bool FaultInjector::loses(const std::string &label) {
    if (m_config.lose <= 0) return false;
    if (!m_config.only.empty() && !label.starts_with(m_config.only)) return false;
    return std::uniform_real_distribution<double>(0.0, 1.0)(m_lossRng) < m_config.lose;
}

FaultInjector::Outcome FaultInjector::apply(const Exchange &exchange) {
    Outcome out;
    out.delay = exchange.delay;
    if (!exchange.reply) return out;
    if (m_config.silentAfter >= 0 && m_answered >= m_config.silentAfter) {
        out.note = "silent";
        return out;
    }
    ++m_answered;
    out.bytes = exchange.reply;
    if (!m_config.only.empty() && !exchange.label.starts_with(m_config.only)) return out;

    // Every reply draws the same number of values, so one fault's probability does not shift the
    // sequence seen by the others.
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double dropDraw = unit(m_rng), corruptDraw = unit(m_rng), noiseDraw = unit(m_rng);
    const std::uint64_t position = m_rng(), flip = m_rng(), noiseCount = m_rng(), noiseSeed = m_rng(),
                        jitter = m_rng();
    out.delay += Millis(m_config.delayMs);
    if (m_config.jitterMs > 0) out.delay += Millis(static_cast<long>(jitter % (m_config.jitterMs + 1ull)));
    if (dropDraw < m_config.drop) {
        out.bytes.reset();
        out.note = "dropped";
        return out;
    }
    Bytes &bytes = *out.bytes;
    if (corruptDraw < m_config.corrupt && !bytes.empty()) {
        bytes[position % bytes.size()] ^= static_cast<std::uint8_t>(1 + flip % 255);
        out.note = "corrupted";
    }
    if (noiseDraw < m_config.noise) {
        std::mt19937_64 gen(noiseSeed);
        Bytes stray(1 + noiseCount % 4);
        for (auto &b : stray)
            b = static_cast<std::uint8_t>(gen());
        bytes.insert(bytes.begin(), stray.begin(), stray.end());
        out.note += out.note.empty() ? "noise" : "+noise";
    }
    return out;
}

} // namespace stovesim
