#include "parameters/boardrows.h"

#include "parameters/boardtransfer.h"
#include "parameters/catalogue.h"

#include <QHash>

#include <cmath>

namespace {

int wordKey(const ParameterDescriptor &d) {
    return d.table * 100 + d.boardIndex;
}

} // namespace

QList<RawValue> readRows(BoardLink &link, StoveModel model, FlagsWords flags,
                         const std::function<bool(int row)> &before,
                         const std::function<void(int row, const RawValue &raw)> &after) {
    const int count = parameterCount(model);
    QList<RawValue> values(count);
    // Flags words already read (or tried) when they are read once for all their bit rows.
    QHash<int, RawValue> words;
    for (int i = 0; i < count; ++i) {
        if (before && !before(i)) break;
        const ParameterDescriptor &d = descriptor(model, i);
        const bool shared = flags == FlagsWords::ReadOnce && !d.wholeValue;
        if (shared && words.contains(wordKey(d))) {
            values[i] = words.value(wordKey(d));
        } else {
            std::int16_t raw = 0;
            if (readBoardParameter(link, d.table, d.boardIndex, &raw, retry::viewAll)) values[i] = raw;
            if (shared) words.insert(wordKey(d), values[i]);
        }
        if (after) after(i, values[i]);
    }
    return values;
}

int readCount(StoveModel model, FlagsWords flags) {
    const int count = parameterCount(model);
    if (flags == FlagsWords::ReadPerRow) return count;
    QList<int> words;
    int reads = 0;
    for (int i = 0; i < count; ++i) {
        const ParameterDescriptor &d = descriptor(model, i);
        if (d.wholeValue || !words.contains(wordKey(d))) ++reads;
        if (!d.wholeValue) words.append(wordKey(d));
    }
    return reads;
}

bool boardHubaMode(StoveModel model, const QList<RawValue> &raw, bool fallback) {
    const auto selector = groupSelectorPosition(model);
    if (!selector || *selector >= raw.size() || !raw[*selector]) return fallback;
    return *raw[*selector] == 2;
}

bool writeBoardParameters(BoardLink &link, const QList<BoardWrite> &writes,
                          const std::function<bool(int k)> &before,
                          const std::function<void(int k, bool ok)> &after) {
    bool allOk = true;
    for (int k = 0; k < writes.size(); ++k) {
        if (before && !before(k)) break;
        const BoardWrite &w = writes[k];
        bool ok;
        if (w.bits == 0) {
            ok = writeBoardParameter(link, w.table, w.boardIndex, w.raw, retry::setAll);
        } else {
            // Only some bits change: the others keep the board's values, as Set of one row does.
            std::int16_t word = 0;
            ok = readFlagsWord(link, w.table, w.boardIndex, &word, retry::readFlags);
            for (int bit = 0; ok && bit < 8; ++bit)
                if (w.bits & (1 << bit)) word = applyBit(word, bit, (w.raw >> bit) & 1);
            if (ok) ok = writeBoardParameter(link, w.table, w.boardIndex, word, retry::writeFlags);
        }
        allOk = allOk && ok;
        if (after) after(k, ok);
    }
    return allOk;
}

Comparison compareRows(StoveModel model, const QList<RowValue> &rows, const QList<RawValue> &board,
                       bool hubaMode) {
    Comparison result;
    const int count =
        std::min<int>({parameterCount(model), static_cast<int>(rows.size()), static_cast<int>(board.size())});
    for (int i = 0; i < count; ++i) {
        const RowValue &row = rows[i];
        if (!row.included) continue;
        if (row.empty) {
            ++result.withoutValue;
            continue;
        }
        if (!board[i]) {
            ++result.unread;
            continue;
        }
        ++result.compared;
        const ParameterDescriptor &d = descriptor(model, i);
        const std::int16_t raw = *board[i];
        bool differs;
        if (d.wholeValue)
            differs = toRaw(activeRange(d, hubaMode).scale, row.value, d.positive) != raw;
        else
            differs = (std::trunc(row.value) != 0) != (rowValue(d, hubaMode, raw) != 0);
        if (differs) result.differences.append(RowDifference{i, row.value, rowValue(d, hubaMode, raw)});
    }
    return result;
}
