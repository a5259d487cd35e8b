// All rows of a model at once against the board: reading them, writing the composed board
// parameters, and comparing row values with the board's. The loops that View all, Set all, the
// comparison with the board and the command-line tool share.
#pragma once

#include "board/boardlink.h"
#include "board/stovemodel.h"
#include "parameters/setall.h"

#include <QList>

#include <cstdint>
#include <functional>
#include <optional>

using RawValue = std::optional<std::int16_t>; // nothing: the board did not answer

// How the bit rows of a flags word are read: once each (as View all shows every row's own read),
// or the word once for all of them.
enum class FlagsWords { ReadPerRow, ReadOnce };

// Reads the rows of the model in catalogue order with the View all retry policy. `before(row)` runs
// before each row and may stop the loop (false); `after(row, raw)` gets each row's result. Rows not
// reached stay nothing. Returns one raw value per row.
QList<RawValue> readRows(BoardLink &link, StoveModel model, FlagsWords flags,
                         const std::function<bool(int row)> &before = {},
                         const std::function<void(int row, const RawValue &raw)> &after = {});

// The number of read transactions readRows makes on a board that answers.
int readCount(StoveModel model, FlagsWords flags);

// The range group a board's values belong to: the HUBA group when its group selector holds 2. When
// the selector was not read, `fallback`.
bool boardHubaMode(StoveModel model, const QList<RawValue> &raw, bool fallback);

// Writes the board parameters in order with the Set all retry policy; a write limited to some bits
// of a flags word reads the word first and changes only those bits. `before(k)` may stop the loop
// (false); `after(k, ok)` gets each result. True when every write made was confirmed.
bool writeBoardParameters(BoardLink &link, const QList<BoardWrite> &writes,
                          const std::function<bool(int k)> &before = {},
                          const std::function<void(int k, bool ok)> &after = {});

// A row whose value differs from the board's: the row's value and the board's, both shown values of
// the compared range group.
struct RowDifference {
    int position = 0;
    double value = 0;
    double board = 0;
};

struct Comparison {
    QList<RowDifference> differences; // in row order
    int compared = 0;                 // rows with a known value that the board answered for
    int withoutValue = 0;             // rows with no known value: not compared
    int unread = 0;                   // rows with a value whose board value could not be read
};

// Compares row values with the board's raw values in the given range group. A row differs when
// writing it would change the board: its raw value (bit state for bit rows) is not the board's.
// Rows that are not included count nowhere.
Comparison compareRows(StoveModel model, const QList<RowValue> &rows, const QList<RawValue> &board,
                       bool hubaMode);
