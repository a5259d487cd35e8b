// Smallest and greatest value of any index range of a column in a few dozen steps: per level the
// minimum and maximum of blocks of 16 entries of the level below. A week at one second (604,800
// values) has four levels, about 13% of the column's size.
#pragma once

#include <QtGlobal>

#include <utility>
#include <vector>

namespace graphs {

// Values that are NaN (missing) are left out: a range of them alone gives +infinity as its minimum and
// -infinity as its maximum.
class RangeMinMax {
public:
    void build(const std::vector<float> &values);
    // The same after values were appended to the vector given to build() (or extend()): only the
    // blocks the new values fall in are worked out again.
    void extend(const std::vector<float> &values);
    std::size_t bytes() const;
    // Minimum and maximum of values[from, to); `values` is the vector given to build(), from < to.
    std::pair<float, float> query(const std::vector<float> &values, qsizetype from, qsizetype to) const;

private:
    static constexpr qsizetype kFanOut = 16;
    struct Level {
        std::vector<float> low;
        std::vector<float> high;
    };
    // The blocks of `level` from `firstBlock` on, from the level below (`low`, `high`).
    static void fill(Level &level, const std::vector<float> &low, const std::vector<float> &high,
                     qsizetype firstBlock);
    std::vector<Level> m_levels; // m_levels[0] covers blocks of 16 values
    qsizetype m_indexed = 0;     // values the levels cover
};

} // namespace graphs
