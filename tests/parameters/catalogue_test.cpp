#include "defaults.h"
#include "parameters/catalogue.h"

#include <gtest/gtest.h>

#include "app/texts.h"

#include <QFile>
#include <QSet>

namespace {

QString englishText(int index) {
    switch (index) {
    case 54:
        return QStringLiteral("RPM");
    case 57:
        return QStringLiteral("Times");
    case 63:
        return QStringLiteral("Cycles");
    case 146:
        return QStringLiteral("Hours");
    case 233:
        return QStringLiteral("Huba");
    default:
        return QString();
    }
}

int positionOf(StoveModel model, const char *code) {
    for (int i = 0; i < parameterCount(model); ++i)
        if (parameterCode(descriptor(model, i)) == QLatin1String(code)) return i;
    return -1;
}

TEST(Catalogue, LayoutAndCounts) {
    EXPECT_EQ(parameterCount(modelOf(0)), 0);
    EXPECT_EQ(parameterCount(modelOf(1)), 41);
    EXPECT_EQ(parameterCount(modelOf(2)), 80);
    EXPECT_EQ(parameterCount(modelOf(3)), 75);
    EXPECT_EQ(layoutValue(modelOf(1), "ROWSPERCOLUMN"), 10);
    EXPECT_EQ(layoutValue(modelOf(2), "ROWSPERCOLUMN"), 9);
    EXPECT_EQ(layoutValue(modelOf(3), "ROWSPERCOLUMN"), 8);
    for (int m = 1; m <= 3; ++m)
        EXPECT_EQ(layoutValue(modelOf(m), "PARPAGES"),
                  layoutValue(modelOf(m), "GENPARPAGES") + layoutValue(modelOf(m), "TECPARPAGES"));
    for (const char *key : {"ROWSPERCOLUMN", "GENPAR", "GENPARPAGES", "TECPAR", "TECPARPAGES", "PARPAGES"})
        EXPECT_EQ(layoutValue(modelOf(0), key), 0) << key;
    EXPECT_EQ(layoutValue(modelOf(1), "genpar"), 0);
    EXPECT_EQ(layoutValue(modelOf(1), "ROWS"), 0);
    EXPECT_EQ(layoutValue(modelOf(4), "GENPAR"), 0);
    EXPECT_EQ(layoutValue(modelOf(-1), "GENPAR"), 0);
}

TEST(Catalogue, EntriesAreConsistent) {
    for (int m = 1; m <= 3; ++m) {
        const int ng = layoutValue(modelOf(m), "GENPAR");
        const int count = parameterCount(modelOf(m));
        QSet<QString> codes;
        int selectors = 0;
        for (int i = 0; i < kCatalogueEntries; ++i) {
            const ParameterDescriptor &d = descriptor(modelOf(m), i);
            if (i >= count) {
                EXPECT_EQ(d.boardIndex, 0);
                EXPECT_EQ(d.ranges[0].textIndex, 0);
                continue;
            }
            EXPECT_EQ(d.position, i);
            EXPECT_EQ(d.table, i < ng ? 0 : 1) << m << " " << i;
            EXPECT_GE(d.boardIndex, 1);
            EXPECT_LE(d.boardIndex, 72);
            codes.insert(parameterCode(d));
            EXPECT_EQ(d.wholeValue ? kNoBit : d.bit, d.bit);
            if (!d.wholeValue) {
                EXPECT_LE(d.bit, 7);
            }
            if (d.keepsGroup == 0) {
                ++selectors;
                EXPECT_EQ(d.ranges[0].maximum, 2);
                EXPECT_EQ(d.ranges[0].unit, 8);
            }
            EXPECT_EQ(d.ranges[0].textIndex, d.ranges[1].textIndex);
            EXPECT_EQ(d.ranges[0].decimals, d.ranges[1].decimals);
            EXPECT_EQ(findByCode(modelOf(m), d.table, d.displayNumber), std::optional<int>(i));
            // Only bit entries and the technical entries after them have a code that differs
            // from their board parameter.
            if (d.table == 0) {
                EXPECT_EQ(d.displayNumber, d.boardIndex);
            }
        }
        EXPECT_EQ(codes.size(), count);
        EXPECT_EQ(selectors, 1) << m;
        EXPECT_EQ(groupSelectorPosition(modelOf(m)), std::optional<int>(m == 2 ? 17 : 10));
    }
    EXPECT_FALSE(findByCode(modelOf(1), 1, 99));
    EXPECT_FALSE(findByCode(modelOf(0), 0, 1));
    EXPECT_FALSE(groupSelectorPosition(modelOf(0)));
    EXPECT_EQ(descriptor(modelOf(0), 5).position, 5);
    EXPECT_EQ(descriptor(modelOf(0), 5).table, 0);
    EXPECT_EQ(parameterCode(descriptor(modelOf(3), 74)), "PT12");
    EXPECT_EQ(descriptor(modelOf(3), 74).boardIndex, 6);
}

TEST(Catalogue, HubaDifferences) {
    for (int m = 1; m <= 3; ++m) {
        int smoke = 0;
        for (int i = 0; i < parameterCount(modelOf(m)); ++i) {
            const ParameterDescriptor &d = descriptor(modelOf(m), i);
            const ParameterRange &a = d.ranges[0];
            const ParameterRange &b = d.ranges[1];
            const bool same = a.minimum == b.minimum && a.maximum == b.maximum &&
                              a.defaultValue == b.defaultValue && a.unit == b.unit && a.scale == b.scale;
            if (a.textIndex >= 184 && a.textIndex <= 191) {
                ++smoke;
                EXPECT_EQ(a.scale, 2);
                EXPECT_EQ(b.scale, 3);
                EXPECT_EQ(b.unit, 11);
                EXPECT_EQ(b.maximum, 900);
                EXPECT_FALSE(same);
            } else if (m == 2 && a.textIndex == 198) {
                EXPECT_EQ(a.maximum, 9);
                EXPECT_EQ(a.defaultValue, 3);
                EXPECT_EQ(b.maximum, 10);
                EXPECT_EQ(b.defaultValue, 5);
            } else {
                EXPECT_TRUE(same) << m << " " << i;
            }
        }
        EXPECT_EQ(smoke, 8);
    }
    const ParameterDescriptor &boot = descriptor(modelOf(2), positionOf(modelOf(2), "PG39"));
    EXPECT_EQ(boot.ranges[0].textIndex, 184);
    const DisplayRange standard = displayRange(boot, false);
    EXPECT_EQ(standard.lo, 550);
    EXPECT_EQ(standard.hi, 3000);
    EXPECT_EQ(unitLabel(activeRange(boot, false).unit, englishText), "[RPM]");
    const DisplayRange huba = displayRange(boot, true);
    EXPECT_EQ(huba.lo, 100);
    EXPECT_EQ(huba.hi, 1000);
    EXPECT_EQ(unitLabel(activeRange(boot, true).unit, englishText), "[huba]");
}

TEST(Catalogue, BitEntriesShareTheirFlagsWord) {
    const auto bits = [](StoveModel model, int table, int index) {
        QList<int> list;
        for (int i = 0; i < parameterCount(model); ++i) {
            const ParameterDescriptor &d = descriptor(model, i);
            if (d.table == table && d.boardIndex == index) {
                EXPECT_EQ(d.wholeValue, 0);
                list.append(d.bit);
            }
        }
        return list;
    };
    EXPECT_EQ(bits(modelOf(1), 1, 4), (QList<int>{0, 1, 2, 3}));
    EXPECT_EQ(bits(modelOf(2), 1, 5), (QList<int>{0, 1, 2, 3, 4, 5, 7}));
    EXPECT_EQ(bits(modelOf(3), 1, 5), (QList<int>{0, 1, 2, 3, 4, 5, 7}));
    for (int m = 2; m <= 3; ++m) {
        const ParameterDescriptor &sms = descriptor(modelOf(m), positionOf(modelOf(m), "PT10"));
        EXPECT_EQ(sms.keepsLink, 0);
        EXPECT_EQ(sms.ranges[0].textIndex, 17);
        int linkEntries = 0;
        for (int i = 0; i < parameterCount(modelOf(m)); ++i)
            linkEntries += descriptor(modelOf(m), i).keepsLink == 0;
        EXPECT_EQ(linkEntries, 1);
    }
}

TEST(Catalogue, Conversions) {
    EXPECT_EQ(toDisplay(2, 45, true), 950);
    EXPECT_EQ(toRaw(2, 950, true), 45);
    EXPECT_EQ(toDisplay(3, 300, true), 400);
    EXPECT_EQ(toRaw(3, 400, true), 300);
    EXPECT_DOUBLE_EQ(toDisplay(4, 13, true), 1.3);
    EXPECT_EQ(toRaw(4, 1.3, true), 13);
    EXPECT_EQ(toDisplay(5, 50, false), -250);
    EXPECT_EQ(toRaw(5, -250, false), 50);
    EXPECT_EQ(toRaw(1, 45.97, true), 45);
    EXPECT_EQ(toRaw(1, -45.97, true), -45);
    // Negation of scale 1 on 16 bits.
    EXPECT_EQ(toDisplay(1, -32768, false), -32768);
    EXPECT_EQ(toDisplay(1, 7, false), -7);
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
    EXPECT_EQ(shownValue(minus4, false, 50), -250);
}

TEST(Catalogue, BitValuesAndUnits) {
    // Technical parameter 4 of BASIC holding 6: bits 1 and 2 set.
    EXPECT_EQ(shownValue(descriptor(modelOf(1), positionOf(modelOf(1), "PT4")), false, 6), 0);
    EXPECT_EQ(shownValue(descriptor(modelOf(1), positionOf(modelOf(1), "PT5")), false, 6), 2);
    EXPECT_EQ(shownValue(descriptor(modelOf(1), positionOf(modelOf(1), "PT6")), false, 6), 4);
    EXPECT_EQ(shownValue(descriptor(modelOf(1), positionOf(modelOf(1), "PT7")), false, 6), 0);

    EXPECT_EQ(unitLabel(0, englishText), "");
    EXPECT_EQ(unitLabel(1, englishText), "[hours]");
    EXPECT_EQ(unitLabel(4, englishText), QString::fromUtf8("[\xC2\xB0"
                                                           "C]"));
    EXPECT_EQ(unitLabel(9, englishText), "[cycles]");
    EXPECT_EQ(unitLabel(10, englishText), "[RPM]");
    EXPECT_EQ(unitLabel(12, englishText), "[%]");
    EXPECT_EQ(unitLabel(14, englishText), "[times]");
    EXPECT_EQ(unitLabel(15, englishText), "");
    EXPECT_EQ(unitLabel(-1, englishText), "");
}

TEST(Catalogue, ItalianUnits) {
    QFile file(QStringLiteral(HB_SOURCE_DIR "/lang/Italiano.lng"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    TextTable italian;
    ASSERT_TRUE(parseLanguageText(file.readAll(), italian));
    const auto text = [&](int i) { return italian.value(i); };
    EXPECT_EQ(unitLabel(1, text), "[ore]");
    EXPECT_EQ(unitLabel(9, text), "[cicli]");
    EXPECT_EQ(unitLabel(10, text), "[RPM]");
    EXPECT_EQ(unitLabel(14, text), "[volte]");
}

} // namespace
