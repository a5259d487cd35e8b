#include "parameters/setall.h"

#include "parameters/catalogue.h"

#include <cmath>

CheckResult checkRows(StoveModel model, QList<RowValue> &rows, bool hubaMode,
                      const std::function<bool(int)> &confirm) {
    CheckResult result;
    result.hubaMode = hubaMode;
    const int count = std::min<int>(parameterCount(model), rows.size());
    for (int i = 0; i < count; ++i) {
        const ParameterDescriptor &d = descriptor(model, i);
        RowValue &row = rows[i];
        if (!row.included) continue;
        if (row.empty) {
            result.outcome = CheckResult::EmptyRow;
            result.emptyRow = i;
            return result;
        }
        if (d.keepsLink == 0 && row.value != 0 && !confirm(i)) {
            row.value = 0;
            result.outcome = CheckResult::Cancelled;
        }
        if (d.keepsGroup == 0) result.hubaMode = row.value == 2;
    }
    return result;
}

namespace {

QList<BoardWrite> compose(StoveModel model, const QList<double> &values, bool hubaMode,
                          const QList<int> *only) {
    QList<BoardWrite> writes;
    const int count = std::min<int>(parameterCount(model), values.size());
    for (int i = 0; i < count; ++i) {
        if (only != nullptr && !only->contains(i)) continue;
        const ParameterDescriptor &d = descriptor(model, i);
        const ParameterRange &r = activeRange(d, hubaMode);
        const std::int16_t raw = toRaw(r.scale, values[i], d.positive);
        BoardWrite *w = nullptr;
        for (BoardWrite &existing : writes)
            if (existing.table == d.table && existing.boardIndex == d.boardIndex) w = &existing;
        if (!w) {
            writes.append(BoardWrite{d.table, d.boardIndex, 0, {}});
            w = &writes.last();
        }
        w->positions.append(i);
        if (d.wholeValue) {
            w->raw = raw;
        } else if (d.bit >= 0 && d.bit < 16) {
            w->raw = static_cast<std::int16_t>(w->raw + (raw << d.bit));
            if (only != nullptr && d.bit < 8) w->bits = static_cast<std::uint8_t>(w->bits | (1 << d.bit));
        }
    }
    return writes;
}

} // namespace

QList<BoardWrite> composeWrites(StoveModel model, const QList<double> &values, bool hubaMode) {
    return compose(model, values, hubaMode, nullptr);
}

QList<BoardWrite> composeRowWrites(StoveModel model, const QList<double> &values, bool hubaMode,
                                   const QList<int> &rows) {
    return compose(model, values, hubaMode, &rows);
}

std::int16_t applyBit(std::int16_t word, int bit, double value) {
    if (bit < 0 || bit > 7) return word;
    const int mask = 1 << bit;
    if (static_cast<long long>(std::trunc(value)) == 0) return static_cast<std::int16_t>(word & (255 - mask));
    return static_cast<std::int16_t>(word | mask);
}
