#include "hwtest/outputs.h"

#include "app/texts.h"
#include "board/transactions.h"

namespace hwtest {

namespace {
using C = OutputControl;
using Id = OutputId;

// The BASIC board's loads and analogue outputs, and the channels of the other boards.
enum BasicOutput : unsigned short {
    ResistanceLoad = 1,
    ExtractorOutput = 2,
    CochleaLoad = 3,
    FanOutput = 4,
    LedLoad = 5,
    AllLoads = 10
};
enum Channel : unsigned short {
    ResistanceChannel = 0,
    CochleaChannel = 1,
    PumpOrChannel1 = 3,
    PumpOrChannel2 = 4,
    ExtractorChannel = 5,
    FanChannel = 6,
    FreeChannel = 7,
    AllChannels = 10
};
constexpr int kExtractorMaximum = 300;
constexpr int kPercentMaximum = 100;
} // namespace

QList<OutputRow> outputRows(StoveModel model) {
    switch (model) {
    case StoveModel::Basic:
        return {{Id::Resistance, C::Digital, ResistanceLoad, 0, false, Text::Resistance},
                {Id::SmokesExtractor, C::Analogue, ExtractorOutput, kExtractorMaximum, false,
                 Text::SmokesExtractor},
                {Id::Cochlea, C::Digital, CochleaLoad, 0, false, Text::CochleaMotor},
                {Id::FanEnvironment, C::Analogue, FanOutput, kPercentMaximum, true, Text::FanEnvironment},
                {Id::Led, C::LedGroup, LedLoad, 0, false, Text::Led}};
    case StoveModel::Water:
        return {{Id::Resistance, C::Digital, ResistanceChannel, 0, false, Text::Resistance},
                {Id::SmokesExtractor, C::Analogue, ExtractorChannel, kExtractorMaximum, false,
                 Text::SmokesExtractor},
                {Id::Cochlea, C::Digital, CochleaChannel, 0, false, Text::CochleaMotor},
                {Id::FanEnvironment, C::Analogue, FanChannel, kPercentMaximum, true, Text::FanEnvironment},
                {Id::HeatingPump, C::Digital, PumpOrChannel1, 0, false, Text::HeatingPump},
                {Id::SanitaryPump, C::Digital, PumpOrChannel2, 0, false, Text::SanitaryPump},
                {Id::Free, C::Digital, FreeChannel, 0, false, Text::Free}};
    case StoveModel::AirDucted:
        return {{Id::Resistance, C::Digital, ResistanceChannel, 0, false, Text::Resistance},
                {Id::SmokesExtractor, C::Analogue, ExtractorChannel, kExtractorMaximum, false,
                 Text::SmokesExtractor},
                {Id::Cochlea, C::Digital, CochleaChannel, 0, false, Text::CochleaMotor},
                {Id::FanEnvironment, C::Analogue, FanChannel, kPercentMaximum, true, Text::FanEnvironment},
                {Id::Channel1, C::Analogue, PumpOrChannel1, kPercentMaximum, true, Text::Channel1},
                {Id::Channel2, C::Analogue, PumpOrChannel2, kPercentMaximum, true, Text::Channel2},
                {Id::Free, C::Digital, FreeChannel, 0, false, Text::Free}};
    case StoveModel::Unknown:
        break;
    }
    return {};
}

QString outputKey(OutputId id) {
    switch (id) {
    case OutputId::Resistance:
        return QStringLiteral("resistance");
    case OutputId::SmokesExtractor:
        return QStringLiteral("smokesExtractor");
    case OutputId::Cochlea:
        return QStringLiteral("cochlea");
    case OutputId::FanEnvironment:
        return QStringLiteral("fanEnvironment");
    case OutputId::Led:
        return QStringLiteral("led");
    case OutputId::HeatingPump:
        return QStringLiteral("heatingPump");
    case OutputId::SanitaryPump:
        return QStringLiteral("sanitaryPump");
    case OutputId::Channel1:
        return QStringLiteral("channel1");
    case OutputId::Channel2:
        return QStringLiteral("channel2");
    case OutputId::Free:
        break;
    }
    return QStringLiteral("free");
}

QString outputLabel(const OutputRow &row) {
    return textAt(row.text);
}

OutputCommand outputCommand(StoveModel model, const OutputRow &row, int value) {
    // Levels travel as unsigned 16-bit numbers; the controls never go below 0.
    const auto level = static_cast<unsigned short>(value < 0 ? 0 : value);
    const unsigned short onOff = value != 0 ? 1 : 0;
    if (model != StoveModel::Basic)
        return {OutputCommand::Kind::Channel, row.target, row.control == C::Digital ? onOff : level};
    switch (row.control) {
    case C::Digital:
        return {OutputCommand::Kind::Load, row.target, onOff};
    case C::LedGroup:
        return {OutputCommand::Kind::Load, row.target, level};
    case C::Analogue:
        break;
    }
    return {OutputCommand::Kind::AnalogueOutput, row.target, level};
}

std::optional<OutputCommand> allOutputsOff(StoveModel model) {
    switch (model) {
    case StoveModel::Basic:
        return OutputCommand{OutputCommand::Kind::Load, AllLoads, 0};
    case StoveModel::Water:
    case StoveModel::AirDucted:
        return OutputCommand{OutputCommand::Kind::Channel, AllChannels, 0};
    case StoveModel::Unknown:
        break;
    }
    return std::nullopt;
}

int sendOutputCommand(const OutputCommand &command, int wait) {
    switch (command.kind) {
    case OutputCommand::Kind::Load:
        return setLoad(command.target, command.value, wait);
    case OutputCommand::Kind::AnalogueOutput:
        return setAnalogOutput(command.target, command.value, wait);
    case OutputCommand::Kind::Channel:
        break;
    }
    return setChannel(command.target, command.value, wait);
}

int sendTestModeCommand(TestModeCommand command, int wait) {
    return sendControlCommand(static_cast<unsigned short>(command), wait);
}

const RetryPolicy &manualPolicy(OutputControl control) {
    return control == C::Analogue ? retry::analogueOutput : retry::digitalOutput;
}

QList<AutomaticStep> automaticSequence(StoveModel model) {
    const QList<int> onOff{1, 0};
    const QList<int> percents{20, 50, 100, 0};
    const QList<int> extractor{100, 200, 300, 0};
    const QList<int> leds{static_cast<int>(LedState::Green), static_cast<int>(LedState::Red),
                          static_cast<int>(LedState::Yellow), static_cast<int>(LedState::Off)};
    switch (model) {
    case StoveModel::Basic:
        return {{Id::Resistance, onOff},
                {Id::SmokesExtractor, extractor},
                {Id::Cochlea, onOff},
                {Id::FanEnvironment, percents},
                {Id::Led, leds}};
    case StoveModel::Water:
        // The fan gets the extractor's levels: the board receives 200 and 300 while the slider of
        // 0..100 shows its maximum.
        return {{Id::Resistance, onOff},  {Id::SmokesExtractor, extractor},
                {Id::Cochlea, onOff},     {Id::FanEnvironment, extractor},
                {Id::HeatingPump, onOff}, {Id::SanitaryPump, onOff},
                {Id::Free, onOff}};
    case StoveModel::AirDucted:
        return {{Id::Resistance, onOff},  {Id::SmokesExtractor, percents},
                {Id::Cochlea, onOff},     {Id::FanEnvironment, percents},
                {Id::Channel1, percents}, {Id::Channel2, percents},
                {Id::Free, onOff}};
    case StoveModel::Unknown:
        break;
    }
    return {};
}

bool StepAttempts::send(const Attempt &attempt, const std::function<bool()> &proceed) {
    for (;;) {
        if (proceed && !proceed()) return false;
        const bool ok = attempt((m_n + kWaitBase) * kWaitStep);
        ++m_n;
        if (ok) return true;
        if (m_n > kLastRetry) return false;
    }
}

} // namespace hwtest
