#include "graphs/rangeminmax.h"

#include <algorithm>
#include <limits>

namespace graphs {
namespace {

constexpr float kNone = std::numeric_limits<float>::infinity();

// The smaller of a value and a running minimum that is never NaN: a NaN value compares false and
// leaves the minimum as it is.
float lower(float value, float low) {
    return value < low ? value : low;
}

float higher(float value, float high) {
    return value > high ? value : high;
}

} // namespace

void RangeMinMax::fill(Level &level, const std::vector<float> &low, const std::vector<float> &high,
                       qsizetype firstBlock) {
    const qsizetype count = (qsizetype(low.size()) + kFanOut - 1) / kFanOut;
    level.low.resize(std::size_t(count));
    level.high.resize(std::size_t(count));
    for (qsizetype block = firstBlock; block < count; ++block) {
        const auto begin = std::size_t(block * kFanOut);
        const auto end = std::min(begin + std::size_t(kFanOut), low.size());
        float blockLow = kNone, blockHigh = -kNone;
        for (std::size_t i = begin; i < end; ++i) {
            blockLow = lower(low[i], blockLow);
            blockHigh = higher(high[i], blockHigh);
        }
        level.low[std::size_t(block)] = blockLow;
        level.high[std::size_t(block)] = blockHigh;
    }
}

void RangeMinMax::build(const std::vector<float> &values) {
    m_levels.clear();
    m_indexed = 0;
    extend(values);
}

void RangeMinMax::extend(const std::vector<float> &values) {
    // Per level, the block that held the first new value and every block after it; a level that is
    // new is filled whole.
    qsizetype changed = m_indexed;
    const auto below = [&](std::size_t level) -> const Level * {
        return level == 0 ? nullptr : &m_levels[level - 1];
    };
    for (std::size_t level = 0;; ++level) {
        const Level *previous = below(level);
        const std::vector<float> &low = previous ? previous->low : values;
        if (qsizetype(low.size()) <= kFanOut) break;
        if (level == m_levels.size()) {
            m_levels.emplace_back(); // may move the levels: the one below is looked up again
            changed = 0;
        }
        previous = below(level);
        changed /= kFanOut;
        fill(m_levels[level], previous ? previous->low : values, previous ? previous->high : values, changed);
    }
    m_indexed = qsizetype(values.size());
}

std::size_t RangeMinMax::bytes() const {
    std::size_t total = 0;
    for (const Level &level : m_levels)
        total += (level.low.capacity() + level.high.capacity()) * sizeof(float);
    return total;
}

std::pair<float, float> RangeMinMax::query(const std::vector<float> &values, qsizetype from,
                                           qsizetype to) const {
    float low = kNone, high = -kNone;
    // Ends that do not fill a whole block are read at this level; the blocks in between one level up.
    const std::vector<float> *lows = &values;
    const std::vector<float> *highs = &values;
    std::size_t level = 0;
    while (from < to) {
        if (to - from < 2 * kFanOut || level == m_levels.size()) {
            for (qsizetype i = from; i < to; ++i) {
                low = lower((*lows)[std::size_t(i)], low);
                high = higher((*highs)[std::size_t(i)], high);
            }
            break;
        }
        for (; from % kFanOut != 0; ++from) {
            low = lower((*lows)[std::size_t(from)], low);
            high = higher((*highs)[std::size_t(from)], high);
        }
        for (; to % kFanOut != 0; --to) {
            low = lower((*lows)[std::size_t(to - 1)], low);
            high = higher((*highs)[std::size_t(to - 1)], high);
        }
        from /= kFanOut;
        to /= kFanOut;
        lows = &m_levels[level].low;
        highs = &m_levels[level].high;
        ++level;
    }
    return {low, high};
}

} // namespace graphs
