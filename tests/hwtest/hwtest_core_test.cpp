// The hardware test without a window: how input values are shown, which bits light which digital
// input, what a control's value turns into, and how an automatic step spends its attempts.
#include "app/texts.h"
#include "board/commands.h"
#include "hwtest/inputs.h"
#include "hwtest/outputs.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace hwtest;

namespace {

class HwTestCore : public ::testing::Test {
protected:
    void SetUp() override { useDefaultTexts(); }
};

// The bytes a command puts on the wire.
std::string wire(const OutputCommand &c) {
    board::Command command;
    bool built = false;
    switch (c.kind) {
    case OutputCommand::Kind::Load:
        built = board::loadCommand(c.target, c.value, command);
        break;
    case OutputCommand::Kind::AnalogueOutput:
        built = board::analogOutputCommand(c.target, c.value, command);
        break;
    case OutputCommand::Kind::Channel:
        built = board::channelCommand(c.target, c.value, command);
        break;
    }
    return built ? std::string(command.bytes, static_cast<std::size_t>(command.length))
                 : std::string("(none)");
}

} // namespace

TEST_F(HwTestCore, PotentiometerPositions) {
    const std::vector<std::pair<short, const char *>> cases = {
        {0, "OFF"}, {15, "MIN"}, {16, "16"}, {28, "28"}, {29, "MAX"}, {-1, ""},
        {1, ""},    {12, ""},    {14, ""},   {30, ""},   {100, ""},   {-32768, ""}};
    for (const auto &[level, text] : cases)
        EXPECT_EQ(potentiometerText(level).toStdString(), text) << level;
    EXPECT_EQ(inputText(InputFormat::Potentiometer, 29).toStdString(), "MAX");
}

TEST_F(HwTestCore, ValueTextsAtTheEdges) {
    // Numbers are never grouped, whatever the locale.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const struct {
        InputFormat format;
        short value;
        const char *text;
    } cases[] = {
        {InputFormat::Decimal, -5, "-5"},
        {InputFormat::Decimal, 12345, "12345"},
        {InputFormat::TimesTen, 12, "120"},
        {InputFormat::TimesTen, 32767, "327670"},
        {InputFormat::FuelCorrection, 95, "-50"},
        {InputFormat::FuelCorrection, 100, "0"},
        {InputFormat::FuelCorrection, -32768, "-328680"},
        {InputFormat::Tenths, 25, "2.5"},
        {InputFormat::Tenths, 0, "0.0"},
        {InputFormat::Tenths, -5, "-0.5"},
        {InputFormat::Tenths, 1234, "123.4"},
        {InputFormat::DigitalInputs, 10, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(inputText(c.format, c.value).toStdString(), c.text) << c.value;
    QLocale::setDefault(QLocale::c());
}

TEST_F(HwTestCore, DigitalInputBitsAndLabels) {
    // 0x0A lights bits 1 and 3 only; every listed bit of a negative value (the sign bit set) counts.
    std::vector<int> lit;
    for (const DigitalInput &input : digitalInputs(StoveModel::Water))
        if (digitalInputOn(0x0A, input.bit)) lit.push_back(input.bit);
    EXPECT_EQ(lit, (std::vector<int>{1, 3}));
    EXPECT_TRUE(digitalInputOn(-32768, 15));
    EXPECT_TRUE(digitalInputOn(-1, 7));
    EXPECT_FALSE(digitalInputOn(-1, 16));
    EXPECT_TRUE(digitalInputs(StoveModel::Basic).isEmpty());

    std::vector<std::string> water, air;
    for (const DigitalInput &input : digitalInputs(StoveModel::Water))
        water.push_back(digitalInputLabel(input).toStdString());
    for (const DigitalInput &input : digitalInputs(StoveModel::AirDucted))
        air.push_back(digitalInputLabel(input).toStdString());
    EXPECT_EQ(water,
              (std::vector<std::string>{"Depressimetro\n(INP-G)", "Pellet thermostat\n(INP-D)", "Fluxstate",
                                        "External thermostat", "Heat thermostat\n(INP-T)"}));
    EXPECT_EQ(air[2], "External thermostat\nchannel 2");
}

TEST_F(HwTestCore, ControlValuesOnTheWire) {
    const auto row = [](StoveModel model, OutputId id) { return *findOutputRow(model, id); };
    // A digital output is on for any value but 0; the LED takes its state; 100 % is its own command.
    EXPECT_EQ(wire(outputCommand(StoveModel::Basic, row(StoveModel::Basic, OutputId::Cochlea), 300)),
              "COCLEAON\r");
    EXPECT_EQ(wire(outputCommand(StoveModel::Basic, row(StoveModel::Basic, OutputId::Led), 3)), "LEDGR\r");
    EXPECT_EQ(wire(outputCommand(StoveModel::Basic, row(StoveModel::Basic, OutputId::FanEnvironment), 100)),
              "VENT1ON\r");
    EXPECT_EQ(wire(outputCommand(StoveModel::Basic, row(StoveModel::Basic, OutputId::SmokesExtractor), 5)),
              "EFUMI005\r");
    EXPECT_EQ(wire(outputCommand(StoveModel::Water, row(StoveModel::Water, OutputId::Free), 1)),
              "OUT07001\r");
    EXPECT_EQ(wire(outputCommand(StoveModel::Water, row(StoveModel::Water, OutputId::FanEnvironment), 300)),
              "OUT06300\r");
    EXPECT_EQ(wire(outputCommand(StoveModel::AirDucted, row(StoveModel::AirDucted, OutputId::Channel2), 50)),
              "OUT04050\r");
    EXPECT_EQ(wire(*allOutputsOff(StoveModel::Basic)), "OUTOFF\r");
    EXPECT_EQ(wire(*allOutputsOff(StoveModel::AirDucted)), "OUT10000\r");
    EXPECT_FALSE(allOutputsOff(StoveModel::Unknown));
}

TEST_F(HwTestCore, StepAttemptsShareOneCounter) {
    std::vector<int> waits;
    int failuresLeft = 0;
    const StepAttempts::Attempt attempt = [&](int wait) {
        waits.push_back(wait);
        if (failuresLeft > 0) {
            --failuresLeft;
            return false;
        }
        return true;
    };

    // Answered at once: the waits still grow from value to value.
    StepAttempts answered;
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(answered.send(attempt));
    EXPECT_EQ(waits, (std::vector<int>{75, 100, 125, 150}));

    // Two failures, then success; the next value starts where the counter stands.
    waits.clear();
    failuresLeft = 2;
    StepAttempts flaky;
    EXPECT_TRUE(flaky.send(attempt));
    EXPECT_TRUE(flaky.send(attempt));
    EXPECT_EQ(waits, (std::vector<int>{75, 100, 125, 150}));

    // A silent board: four attempts for the first value, then one for each later value.
    waits.clear();
    failuresLeft = 100;
    StepAttempts silent;
    EXPECT_FALSE(silent.send(attempt));
    EXPECT_FALSE(silent.send(attempt));
    EXPECT_FALSE(silent.send(attempt));
    EXPECT_EQ(waits, (std::vector<int>{75, 100, 125, 150, 175, 200}));
    EXPECT_EQ(silent.made(), 6);

    // An ended test makes no attempt at all.
    waits.clear();
    StepAttempts ended;
    EXPECT_FALSE(ended.send(attempt, [] { return false; }));
    EXPECT_TRUE(waits.empty());
}
