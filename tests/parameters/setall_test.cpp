#include "defaults.h"
#include "parameters/catalogue.h"
#include "parameters/setall.h"

#include <gtest/gtest.h>

namespace {

TEST(SetAll, ComposesOneWritePerBoardParameter) {
    QList<double> values = catalogueDefaults(modelOf(3), false);
    const QList<BoardWrite> writes = composeWrites(modelOf(3), values, false);
    ASSERT_EQ(writes.size(), 69); // 63 general, 6 technical of which one flags word for 7 rows
    const BoardWrite &flags = writes[63 + 4];
    EXPECT_EQ(flags.table, 1);
    EXPECT_EQ(flags.boardIndex, 5);
    EXPECT_EQ(flags.positions, (QList<int>{67, 68, 69, 70, 71, 72, 73}));
    EXPECT_EQ(flags.raw, 0x80); // only the cochlea brake (bit 7) is on by default
    for (int i = 67; i <= 73; ++i)
        values[i] = 1;
    EXPECT_EQ(composeWrites(modelOf(3), values, false)[67].raw, 0xBF); // bit 6 has no row and stays 0
    EXPECT_EQ(writes.last().boardIndex, 6);
    EXPECT_EQ(writes.last().raw, 2);

    // Conversions follow the group given: smoke depressure 400 is raw 300 in HUBA, 950 is 45.
    QList<double> basic = catalogueDefaults(modelOf(1), false);
    basic[24] = 400;
    EXPECT_EQ(composeWrites(modelOf(1), basic, true)[24].raw, 300);
    basic[24] = 950;
    EXPECT_EQ(composeWrites(modelOf(1), basic, false)[24].raw, 45);
    EXPECT_EQ(composeWrites(modelOf(1), basic, false)[32].raw, 50); // PG46 -250, negated
}

TEST(SetAll, CheckPhase) {
    // An empty row ends the check before the later rows are looked at.
    QList<RowValue> rows = rowsOf(catalogueDefaults(modelOf(2), false));
    rows[75].value = 1; // SMS modem on
    rows[20].empty = true;
    rows[17].value = 0; // group selector: standard
    int asked = 0;
    CheckResult r = checkRows(modelOf(2), rows, true, [&](int) {
        ++asked;
        return true;
    });
    EXPECT_EQ(r.outcome, CheckResult::EmptyRow);
    EXPECT_EQ(r.emptyRow, 20);
    EXPECT_EQ(asked, 0);
    EXPECT_FALSE(r.hubaMode); // the selector came before the empty row
    rows[20].empty = false;

    // Declining the SMS modem clears the row and cancels, but the check goes on.
    rows[17].value = 2;
    r = checkRows(modelOf(2), rows, false, [&](int position) {
        EXPECT_EQ(position, 75);
        ++asked;
        return false;
    });
    EXPECT_EQ(r.outcome, CheckResult::Cancelled);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(rows[75].value, 0);
    EXPECT_TRUE(r.hubaMode);

    // Accepting goes ahead; the selector value decides the group.
    rows[75].value = 1;
    rows[17].value = 1;
    r = checkRows(modelOf(2), rows, true, [&](int) { return true; });
    EXPECT_EQ(r.outcome, CheckResult::Proceed);
    EXPECT_FALSE(r.hubaMode);
}

} // namespace
