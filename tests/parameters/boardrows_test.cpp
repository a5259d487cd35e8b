#include "defaults.h"
#include "parameters/boardrows.h"
#include "parameters/catalogue.h"

#include <gtest/gtest.h>

namespace {

// The raw board values a model's rows come from, for the given row values.
QList<RawValue> boardOf(StoveModel model, const QList<double> &values, bool huba) {
    QList<RawValue> raw(parameterCount(model));
    for (const BoardWrite &w : composeWrites(model, values, huba))
        for (int position : w.positions)
            raw[position] = w.raw;
    return raw;
}

} // namespace

// A row differs when writing it would change the board; rows without a value or without a board
// value are counted apart.
TEST(BoardRows, Comparison) {
    const StoveModel basic = modelOf(1);
    const QList<double> defaults = catalogueDefaults(basic, true);
    QList<RawValue> board = boardOf(basic, defaults, true);
    QList<RowValue> rows = rowsOf(defaults);
    Comparison c = compareRows(basic, rows, board, true);
    EXPECT_EQ(c.compared, 41);
    EXPECT_TRUE(c.differences.isEmpty());

    rows[0].value = 25;     // PG1
    rows[38].value = 0;     // PT5: bit 1 of technical 4, set by default
    rows[24].value = 400.4; // PG33 in HUBA: truncates to the board's raw 300, no difference
    rows[1].empty = true;   // no value on the page
    rows[2].included = false;
    board[3] = std::nullopt; // the board did not answer
    c = compareRows(basic, rows, board, true);
    EXPECT_EQ(c.compared, 38);
    EXPECT_EQ(c.withoutValue, 1);
    EXPECT_EQ(c.unread, 1);
    ASSERT_EQ(c.differences.size(), 2);
    EXPECT_EQ(c.differences[0].position, 0);
    EXPECT_DOUBLE_EQ(c.differences[0].value, 25);
    EXPECT_DOUBLE_EQ(c.differences[0].board, 18);
    EXPECT_EQ(c.differences[1].position, 38);
    EXPECT_DOUBLE_EQ(c.differences[1].board, 1); // a bit row shows 0 or 1

    // In the standard group the same raw smoke depressure reads 950 RPM.
    const QList<double> standard = catalogueDefaults(basic, false);
    c = compareRows(basic, rowsOf(standard), boardOf(basic, standard, false), false);
    EXPECT_TRUE(c.differences.isEmpty());
}

// Writing some rows: whole values as Set all writes them; a flags word limited to its given bits.
TEST(BoardRows, RowWritesAndReadCounts) {
    const StoveModel air = modelOf(3);
    QList<double> values = catalogueDefaults(air, false);
    values[68] = 1; // PT6, bit 1 of technical 5
    values[72] = 0; // PT10, bit 5
    const QList<BoardWrite> writes = composeRowWrites(air, values, false, {72, 0, 68});
    ASSERT_EQ(writes.size(), 2);
    EXPECT_EQ(writes[0].boardIndex, 1);
    EXPECT_EQ(writes[0].raw, 18);
    EXPECT_EQ(writes[0].bits, 0);
    EXPECT_EQ(writes[1].table, 1);
    EXPECT_EQ(writes[1].boardIndex, 5);
    EXPECT_EQ(writes[1].positions, (QList<int>{68, 72}));
    EXPECT_EQ(writes[1].bits, (1 << 1) | (1 << 5));
    EXPECT_EQ(writes[1].raw, 1 << 1);

    // View all reads every row; the tool and the comparison read each flags word once.
    EXPECT_EQ(readCount(modelOf(1), FlagsWords::ReadPerRow), 41);
    EXPECT_EQ(readCount(modelOf(1), FlagsWords::ReadOnce), 38);

    // The board's range group comes from its selector's raw value.
    QList<RawValue> raw(parameterCount(air));
    EXPECT_TRUE(boardHubaMode(air, raw, true));
    raw[10] = 1;
    EXPECT_FALSE(boardHubaMode(air, raw, true));
    raw[10] = 2;
    EXPECT_TRUE(boardHubaMode(air, raw, false));
}
