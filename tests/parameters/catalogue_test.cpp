#include "app/texts.h"
#include "defaults.h"
#include "parameters/catalogue.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSet>

namespace {

// Models and keys the catalogue does not know give nothing.
TEST(Catalogue, UnknownModelsAndKeys) {
    EXPECT_EQ(parameterCount(modelOf(0)), 0);
    for (const char *key : {"ROWSPERCOLUMN", "GENPAR", "GENPARPAGES", "TECPAR", "TECPARPAGES", "PARPAGES"})
        EXPECT_EQ(layoutValue(modelOf(0), key), 0) << key;
    EXPECT_EQ(layoutValue(modelOf(1), "genpar"), 0);
    EXPECT_EQ(layoutValue(modelOf(1), "ROWS"), 0);
    EXPECT_EQ(layoutValue(modelOf(4), "GENPAR"), 0);
    EXPECT_EQ(layoutValue(modelOf(-1), "GENPAR"), 0);
    EXPECT_FALSE(findByCode(modelOf(1), 1, 99));
    EXPECT_FALSE(findByCode(modelOf(0), 0, 1));
    EXPECT_FALSE(groupSelectorPosition(modelOf(0)));
    EXPECT_EQ(descriptor(modelOf(0), 5).position, 5);
}

// Every model's rows: general before technical, unique codes that find their row, one range group
// selector, the same texts and decimals in both groups, bit numbers only on bit rows.
TEST(Catalogue, EntriesAreConsistent) {
    for (int m = 1; m <= 3; ++m) {
        const int ng = layoutValue(modelOf(m), "GENPAR");
        const int count = parameterCount(modelOf(m));
        EXPECT_EQ(layoutValue(modelOf(m), "PARPAGES"),
                  layoutValue(modelOf(m), "GENPARPAGES") + layoutValue(modelOf(m), "TECPARPAGES"));
        QSet<QString> codes;
        int selectors = 0;
        for (int i = 0; i < count; ++i) {
            const ParameterDescriptor &d = descriptor(modelOf(m), i);
            EXPECT_EQ(d.position, i);
            EXPECT_EQ(d.table, i < ng ? 0 : 1) << m << " " << i;
            EXPECT_GE(d.boardIndex, 1);
            EXPECT_LE(d.boardIndex, 72);
            codes.insert(parameterCode(d));
            EXPECT_TRUE(d.wholeValue ? d.bit == kNoBit : d.bit <= 7) << m << " " << i;
            selectors += d.keepsGroup == 0;
            EXPECT_EQ(d.ranges[0].textIndex, d.ranges[1].textIndex);
            EXPECT_EQ(d.ranges[0].decimals, d.ranges[1].decimals);
            EXPECT_EQ(findByCode(modelOf(m), d.table, d.displayNumber), std::optional<int>(i));
            EXPECT_TRUE(d.table != 0 || d.displayNumber == d.boardIndex) << m << " " << i;
        }
        EXPECT_EQ(descriptor(modelOf(m), count).boardIndex, 0); // places after the last row are empty
        EXPECT_EQ(codes.size(), count);
        EXPECT_EQ(selectors, 1) << m;
        EXPECT_EQ(groupSelectorPosition(modelOf(m)), std::optional<int>(m == 2 ? 17 : 10));
    }
}

TEST(Catalogue, Conversions) {
    EXPECT_EQ(toDisplay(2, 45, true), 950);
    EXPECT_EQ(toRaw(2, 950, true), 45);
    EXPECT_EQ(toDisplay(3, 300, true), 400);
    EXPECT_EQ(toRaw(3, 400, true), 300);
    EXPECT_EQ(toDisplay(5, 50, false), -250);
    EXPECT_EQ(toRaw(5, -250, false), 50);
    EXPECT_EQ(toRaw(1, 45.97, true), 45);
    EXPECT_EQ(toRaw(1, -45.97, true), -45);
    // Negation of scale 1 on 16 bits; values that do not fit.
    EXPECT_EQ(toDisplay(1, -32768, false), -32768);
    EXPECT_EQ(toRaw(1, -32768, false), -32768);
    EXPECT_EQ(toRaw(1, 70000, true), static_cast<std::int16_t>(70000 & 0xFFFF));
    EXPECT_EQ(toRaw(1, 1e300, true), 0);
    EXPECT_EQ(toRaw(1, std::nan(""), true), 0);
    // A negated zero is a plain zero (files must never say "-0").
    EXPECT_FALSE(std::signbit(toDisplay(5, 0, false)));
    // Every tenth converts back exactly despite binary floating point.
    for (int r = 0; r <= 999; ++r)
        ASSERT_EQ(toRaw(4, toDisplay(4, r, true), true), r);
    for (int r = 0; r <= 200; ++r)
        ASSERT_EQ(toRaw(5, toDisplay(5, r, false), false), r);

    const ParameterDescriptor &minus4 = descriptor(modelOf(1), positionOf(modelOf(1), "PG46"));
    const DisplayRange range = displayRange(minus4, false);
    EXPECT_EQ(range.lo, -1000);
    EXPECT_EQ(range.hi, 0);
}

TEST(Catalogue, ItalianUnits) {
    QFile file(QStringLiteral(HB_SOURCE_DIR "/lang/Italiano.lng"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    static TextTable italian;
    ASSERT_TRUE(parseLanguageText(file.readAll(), italian));
    const TextLookup text = [](Text entry) { return italian.value(static_cast<int>(entry)); };
    EXPECT_EQ(unitLabel(1, text), "[ore]");
    EXPECT_EQ(unitLabel(10, text), "[RPM]");
    EXPECT_EQ(unitLabel(0, text), "");
    EXPECT_EQ(unitLabel(15, text), "");
    EXPECT_EQ(unitLabel(-1, text), "");
}

} // namespace
