#include "defaults.h"
#include "parameters/catalogue.h"
#include "parameters/parameterfile.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

using namespace paramfile;

QStringList lines(const QByteArray &text) {
    QStringList list = QString::fromLatin1(text).split(QStringLiteral("\r\n"));
    EXPECT_EQ(list.last(), QString()); // every line, the last one too, ends with CR LF
    list.removeLast();
    return list;
}

TEST(ParameterFile, FormatPerModel) {
    const QStringList basic =
        lines(format(modelOf(1), QStringLiteral("  1.23 "), false, catalogueDefaults(modelOf(1), false)));
    ASSERT_EQ(basic.size(), 44);
    EXPECT_EQ(basic[0], "MODEL=BASIC");
    EXPECT_EQ(basic[1], "FIRMWARE=1.23");
    EXPECT_EQ(basic[2], "HUBA=0");
    EXPECT_EQ(basic[3], "PG1=18");
    EXPECT_TRUE(basic.contains("PG24=4.0"));
    EXPECT_TRUE(basic.contains("PG33=950"));
    EXPECT_TRUE(basic.contains("PG46=-250"));
    EXPECT_TRUE(basic.contains("PT4=0"));
    EXPECT_EQ(basic.last(), "PT7=0");

    const QStringList water = lines(format(modelOf(2), QString(), true, catalogueDefaults(modelOf(2), true)));
    ASSERT_EQ(water.size(), 83);
    EXPECT_EQ(water[0], "MODEL=WATER");
    EXPECT_EQ(water[1], "FIRMWARE=");
    EXPECT_EQ(water[2], "HUBA=1");
    EXPECT_TRUE(water.contains("PG12=5"));   // HUBA group default of the antifreeze row
    EXPECT_TRUE(water.contains("PG15=0.5")); // bar, one decimal
    EXPECT_TRUE(water.contains("PG39=400")); // smoke depressure, HUBA scale

    const QStringList air =
        lines(format(modelOf(3), QStringLiteral("2.00"), false, catalogueDefaults(modelOf(3), false)));
    ASSERT_EQ(air.size(), 78);
    EXPECT_EQ(air[0], "MODEL=AIR - DUCTED");
    EXPECT_EQ(air.last(), "PT12=2");
    // Negated zero never shows as "-0".
    QList<double> zeros(parameterCount(modelOf(3)), -0.0);
    EXPECT_FALSE(format(modelOf(3), QString(), false, zeros).contains("=-0"));
}

TEST(ParameterFile, DefaultNames) {
    const QString sep = QDir::separator();
    EXPECT_EQ(defaultFileName(modelOf(1), true), "par" + sep + "default (basic).prm");
    EXPECT_EQ(defaultFileName(modelOf(3), false), "par" + sep + "default (AIR - DUCTED).prm");
    EXPECT_EQ(defaultFileName(modelOf(0), false), "par" + sep + "default (unknown).prm");
}

TEST(ParameterFile, LineForms) {
    auto value = [](const char *text) { return std::get<ValueLine>(*parseLine(QString::fromLatin1(text))); };
    EXPECT_EQ(value("PG24=4.5").table, 0);
    EXPECT_EQ(value("PG24=4.5").displayNumber, 24);
    EXPECT_EQ(value("PG24=4.5").value, 4.5);
    EXPECT_EQ(value("PT5=1").table, 1);
    EXPECT_EQ(value("PG46=-250").value, -250);
    EXPECT_EQ(value("PG007=3").displayNumber, 7);
    EXPECT_EQ(value("PG24=4,5").value, 0); // matches, but is no "." number
    EXPECT_EQ(value("PG3=1,000").value, 0);
    EXPECT_EQ(value("PG3=1,000.5").value, 0);
    EXPECT_EQ(value("PG24=-.5").value, -0.5);
    EXPECT_EQ(value("PG24=-").value, 0);
    EXPECT_FALSE(parseLine("pg24=4.5"));
    EXPECT_FALSE(parseLine("P|24=4.5"));
    EXPECT_FALSE(parseLine("PG24=4.5 "));
    EXPECT_FALSE(parseLine("PG24 = 4.5"));
    EXPECT_FALSE(parseLine("PG=4"));
    EXPECT_FALSE(parseLine("PG99999999999999=4")); // no display number that long
    EXPECT_FALSE(parseLine("FIRMWARE=1.23"));
    EXPECT_FALSE(parseLine(""));

    EXPECT_EQ(std::get<ModelLine>(*parseLine("MODEL=water")).name, "water");
    EXPECT_EQ(std::get<ModelLine>(*parseLine("MODELX=A=AIR - DUCTED")).name, "AIR - DUCTED");
    EXPECT_FALSE(parseLine("model=WATER"));
    EXPECT_EQ(std::get<HubaLine>(*parseLine("HUBA=1")).value, 1);
    EXPECT_EQ(std::get<HubaLine>(*parseLine("HUBA=x")).value, 0);
    EXPECT_TRUE(modelMatches("water", modelOf(2)));
    EXPECT_TRUE(modelMatches("Air - Ducted", modelOf(3)));
    EXPECT_FALSE(modelMatches("WATER", modelOf(1)));
    EXPECT_FALSE(modelMatches("AIR-DUCT", modelOf(3)));
}

TEST(ParameterFile, ParseWholeFiles) {
    const auto parsed = parse("MODEL=BASIC\r\nFIRMWARE=x\nHUBA=1\rPG1=5\r\n\r\npg2=4\nPT99=1");
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->size(), 4);
    EXPECT_TRUE(std::holds_alternative<ModelLine>((*parsed)[0]));
    EXPECT_TRUE(std::holds_alternative<HubaLine>((*parsed)[1]));
    EXPECT_EQ(std::get<ValueLine>((*parsed)[2]).value, 5);
    EXPECT_EQ(std::get<ValueLine>((*parsed)[3]).displayNumber, 99);

    // Round trip of a whole file.
    const QList<double> values = catalogueDefaults(modelOf(2), false);
    const auto back = parse(format(modelOf(2), "1.0", false, values));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 2 + 80);
    for (int i = 0; i < 80; ++i) {
        const ValueLine v = std::get<ValueLine>((*back)[2 + i]);
        EXPECT_EQ(findByCode(modelOf(2), v.table, v.displayNumber), std::optional<int>(i));
        EXPECT_DOUBLE_EQ(v.value, values[i]);
    }

    EXPECT_TRUE(parse(QByteArray()));
    EXPECT_EQ(parse(QByteArray())->size(), 0);
}

TEST(ParameterFile, RefusesWhatIsNoParameterFile) {
    EXPECT_FALSE(parse(QByteArray("PG1=5\n\0PG2=3\n", 14))); // NUL byte
    EXPECT_FALSE(parse(QByteArray("\x7f"
                                  "ELF\x02\x01\x01",
                                  7))); // binary header
    EXPECT_FALSE(parse(QByteArray(kMaxLineChars + 1, 'x')));
    EXPECT_TRUE(parse(QByteArray(kMaxLineChars, 'x')));
    QByteArray many;
    for (int i = 0; i <= kMaxLines; ++i)
        many += "\n";
    EXPECT_FALSE(parse(many));
    EXPECT_FALSE(parse(QByteArray(kMaxFileBytes + 1, '\n')));
}

} // namespace

// A file as a model's rows: groups switched by MODEL and HUBA=1, values rounded as the boxes hold
// them, rows the file lacks empty, values outside the range of their group listed.
TEST(ParameterFile, FileRows) {
    const auto basic = [](const char *code) { return positionOf(StoveModel::Basic, code); };
    const auto rowsOf = [](const QByteArray &text, bool huba = true) {
        return fileRows(modelOf(1), *parse(text), huba);
    };
    FileRows f =
        rowsOf("PG1=17\nMODEL=basic\nPG24=4.55\nPG33=2000\nHUBA=1\nPG34=400\nPT5=1\nPG1=150\nPG99=4\n");
    EXPECT_TRUE(f.sameModel);
    EXPECT_TRUE(f.hubaMode);
    ASSERT_EQ(f.rows.size(), 41);
    EXPECT_DOUBLE_EQ(f.rows[basic("PG24")].value, 4.6);
    EXPECT_DOUBLE_EQ(f.rows[basic("PG34")].value, 400);
    EXPECT_DOUBLE_EQ(f.rows[basic("PT5")].value, 1);
    EXPECT_FALSE(f.rows[basic("PT5")].empty);
    EXPECT_TRUE(f.rows[basic("PG2")].empty);
    // PG33 fits 550..3000 when loaded but not 100..1000 after HUBA=1; PG1=150 replaces 17.
    EXPECT_EQ(f.outOfRange, (QList<int>{basic("PG1"), basic("PG33")}));
    EXPECT_TRUE(rowsOf("PG1=150\nPG1=17\n").outOfRange.isEmpty());
    // Without MODEL or HUBA lines the group given stays.
    EXPECT_FALSE(rowsOf("PG1=3\n", false).hubaMode);

    f = rowsOf("PG1=12\nMODEL=WATER\nPG2=7\n");
    EXPECT_FALSE(f.sameModel);
    EXPECT_DOUBLE_EQ(f.rows[0].value, 12); // loaded before the refusal, as the page keeps it
    EXPECT_TRUE(f.rows[1].empty);
}
