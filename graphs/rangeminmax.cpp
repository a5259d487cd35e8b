#include "graphs/rangeminmax.h"

#include <algorithm>

namespace graphs {

void RangeMinMax::build(const std::vector<float> &values) {
    m_levels.clear();
    const std::vector<float> *low = &values;
    const std::vector<float> *high = &values;
    while (qsizetype(low->size()) > kFanOut) {
        const qsizetype count = (qsizetype(low->size()) + kFanOut - 1) / kFanOut;
        Level level;
        level.low.resize(std::size_t(count));
        level.high.resize(std::size_t(count));
        for (qsizetype block = 0; block < count; ++block) {
            const auto begin = std::size_t(block * kFanOut);
            const auto end = std::min(begin + std::size_t(kFanOut), low->size());
            level.low[std::size_t(block)] =
                *std::min_element(low->begin() + qsizetype(begin), low->begin() + qsizetype(end));
            level.high[std::size_t(block)] =
                *std::max_element(high->begin() + qsizetype(begin), high->begin() + qsizetype(end));
        }
        m_levels.push_back(std::move(level));
        low = &m_levels.back().low;
        high = &m_levels.back().high;
    }
}

std::pair<float, float> RangeMinMax::query(const std::vector<float> &values, qsizetype from,
                                           qsizetype to) const {
    float low = values[std::size_t(from)];
    float high = low;
    // Ends that do not fill a whole block are read at this level; the blocks in between one level up.
    const std::vector<float> *lows = &values;
    const std::vector<float> *highs = &values;
    std::size_t level = 0;
    while (from < to) {
        if (to - from < 2 * kFanOut || level == m_levels.size()) {
            for (qsizetype i = from; i < to; ++i) {
                low = std::min(low, (*lows)[std::size_t(i)]);
                high = std::max(high, (*highs)[std::size_t(i)]);
            }
            break;
        }
        for (; from % kFanOut != 0; ++from) {
            low = std::min(low, (*lows)[std::size_t(from)]);
            high = std::max(high, (*highs)[std::size_t(from)]);
        }
        for (; to % kFanOut != 0; --to) {
            low = std::min(low, (*lows)[std::size_t(to - 1)]);
            high = std::max(high, (*highs)[std::size_t(to - 1)]);
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
