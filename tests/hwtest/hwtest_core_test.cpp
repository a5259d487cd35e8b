// The hardware test without a window: how input values are shown, which bits light which digital
// input, and how an automatic step spends its attempts.
#include "app/texts.h"
#include "hwtest/inputs.h"
#include "hwtest/outputs.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace hwtest;

TEST(HwTestCore, ValueTextsAtTheEdges) {
    useDefaultTexts();
    // Numbers are never grouped, whatever the locale.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const struct {
        InputFormat format;
        short value;
        const char *text;
    } cases[] = {
        {InputFormat::Decimal, -5, "-5"},
        {InputFormat::Decimal, 12345, "12345"},
        {InputFormat::TimesTen, 32767, "327670"},
        {InputFormat::FuelCorrection, 95, "-50"},
        {InputFormat::FuelCorrection, 100, "0"},
        {InputFormat::FuelCorrection, -32768, "-328680"},
        {InputFormat::Tenths, 0, "0.0"},
        {InputFormat::Tenths, -5, "-0.5"},
        {InputFormat::Tenths, 1234, "123.4"},
        {InputFormat::DigitalInputs, 10, ""},
        // The knob: off, the minimum, the steps between, the maximum; nothing for other positions.
        {InputFormat::Potentiometer, 0, "OFF"},
        {InputFormat::Potentiometer, 15, "MIN"},
        {InputFormat::Potentiometer, 28, "28"},
        {InputFormat::Potentiometer, 29, "MAX"},
        {InputFormat::Potentiometer, -1, ""},
        {InputFormat::Potentiometer, 1, ""},
        {InputFormat::Potentiometer, 14, ""},
        {InputFormat::Potentiometer, 30, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(inputText(c.format, c.value).toStdString(), c.text) << c.value;
    QLocale::setDefault(QLocale::c());
}

TEST(HwTestCore, DigitalInputBits) {
    // 0x0A lights bits 1 and 3 only; every listed bit of a negative value (the sign bit set) counts.
    std::vector<int> lit;
    for (const DigitalInput &input : digitalInputs(StoveModel::Water))
        if (digitalInputOn(0x0A, input.bit)) lit.push_back(input.bit);
    EXPECT_EQ(lit, (std::vector<int>{1, 3}));
    EXPECT_TRUE(digitalInputOn(-32768, 15));
    EXPECT_TRUE(digitalInputOn(-1, 7));
    EXPECT_FALSE(digitalInputOn(-1, 16));
    EXPECT_TRUE(digitalInputs(StoveModel::Basic).isEmpty());
}

// The waits of a step's attempts grow from value to value: 75, 100, 125 ms...; a value that fails
// spends them, and a silent board leaves one attempt to each later value.
TEST(HwTestCore, StepAttemptsShareOneCounter) {
    std::vector<int> waits;
    int failuresLeft = 0;
    const StepAttempts::Attempt attempt = [&](int wait) {
        waits.push_back(wait);
        return failuresLeft-- <= 0;
    };
    const auto run = [&](int failures, int values, bool expected) {
        waits.clear();
        failuresLeft = failures;
        StepAttempts step;
        for (int i = 0; i < values; ++i)
            EXPECT_EQ(step.send(attempt), expected);
        return waits;
    };
    EXPECT_EQ(run(0, 4, true), (std::vector<int>{75, 100, 125, 150}));
    EXPECT_EQ(run(2, 2, true), (std::vector<int>{75, 100, 125, 150}));
    EXPECT_EQ(run(100, 3, false), (std::vector<int>{75, 100, 125, 150, 175, 200}));

    // An ended test makes no attempt at all.
    waits.clear();
    StepAttempts ended;
    EXPECT_FALSE(ended.send(attempt, [] { return false; }));
    EXPECT_TRUE(waits.empty());
}
