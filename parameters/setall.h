// Widgets-free steps of writing all rows to the board: the check of the shown values before
// anything is written, and the composition of one value per board parameter (flags words built
// from their bit rows).
#pragma once

#include "board/stovemodel.h"

#include <QList>

#include <cstdint>
#include <functional>

// One row as the check sees it: whether its value box is empty, and its value. A row that is not
// included is neither checked nor written (writing only some rows).
struct RowValue {
    bool empty = true;
    double value = 0;
    bool included = true;
};

struct CheckResult {
    enum Outcome { Proceed, EmptyRow, Cancelled } outcome = Proceed;
    int emptyRow = -1;     // first empty row (outcome EmptyRow)
    bool hubaMode = false; // as decided by the group selector's value
};

// Walks the rows in catalogue order. An empty row ends the check. A row that would stop the
// service link with a non-zero value asks `confirm(position)`; a refusal sets the row's value to 0
// (the caller mirrors that on the page) and cancels the writing, but the check goes on. The group
// selector's value decides hubaMode (2 = HUBA).
CheckResult checkRows(StoveModel model, QList<RowValue> &rows, bool hubaMode,
                      const std::function<bool(int)> &confirm);

// One board parameter to write: the rows that make it and the raw value.
struct BoardWrite {
    int table = 0;
    int boardIndex = 0;
    std::int16_t raw = 0;
    QList<int> positions; // rows written by it, first row first
    // Non-zero: only these bits of a flags word are written; the word is read from the board first
    // and its other bits keep the board's values.
    std::uint8_t bits = 0;
};

// One write per distinct board parameter, in the catalogue order of its first row. A flags word is
// the sum of its bit rows' raw values shifted to their bits; bits without a row are 0.
QList<BoardWrite> composeWrites(StoveModel model, const QList<double> &values, bool hubaMode);
// The writes of some rows only (`rows` in any order): whole values as composeWrites gives them, and
// for a flags word only the bits of the given rows (see BoardWrite::bits).
QList<BoardWrite> composeRowWrites(StoveModel model, const QList<double> &values, bool hubaMode,
                                   const QList<int> &rows);

// Sets or clears one bit of a flags word read from the board. Clearing also clears the upper byte.
std::int16_t applyBit(std::int16_t word, int bit, double value);
