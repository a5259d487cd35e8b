#include "hwtest/inputs.h"

#include "app/texts.h"

namespace hwtest {

namespace {
using F = InputFormat;
using S = DigitalInput::Suffix;

// How the page shows an input of `model`: the board's input numbers mean the same on every model,
// except for the probe on input 3 and the encoder's label.
std::optional<InputRow> rowOf(StoveModel model, unsigned short input) {
    switch (input) {
    case ProbeT1:
        return InputRow{input, F::Decimal, Text::EnvironmentProbe};
    case ProbeT2:
        return InputRow{input, F::Decimal, Text::SmokesProbe};
    case ProbeT3:
        return InputRow{input, F::Decimal,
                        model == StoveModel::Water ? Text::WaterProbe : Text::ProbeChannel1};
    case PotentiometerInput:
        return InputRow{input, F::Potentiometer, Text::PotentiometerInput};
    case PressureSensorInput:
        return InputRow{input, F::Tenths, Text::PressureSensor};
    case EncoderInput:
        return InputRow{input, F::TimesTen,
                        model == StoveModel::Basic ? Text::EncoderCurrent : Text::Encoder};
    case DigitalInputsInput:
        return InputRow{input, F::DigitalInputs, Text::None};
    case PressureInput:
        return InputRow{input, F::Decimal, Text::InstantaneousPressure};
    case FuelCorrectionInput:
        return InputRow{input, F::FuelCorrection, Text::FuelCorrection};
    default:
        break;
    }
    return std::nullopt;
}
} // namespace

QList<InputRow> inputRows(StoveModel model) {
    // One row per input the polling thread reads, in its order.
    QList<InputRow> rows;
    for (unsigned short input : polledInputs(model))
        if (const std::optional<InputRow> row = rowOf(model, input)) rows.append(*row);
    return rows;
}

std::optional<InputRow> findInputRow(StoveModel model, short input) {
    for (const InputRow &row : inputRows(model))
        if (row.input == input) return row;
    return std::nullopt;
}

QList<DigitalInput> digitalInputs(StoveModel model) {
    switch (model) {
    case StoveModel::Water:
        return {{1, Text::Depressimeter, S::PinG},
                {3, Text::PelletThermostat, S::PinD},
                {4, Text::Fluxstate, S::None},
                {5, Text::ExternalThermostat, S::None},
                {7, Text::HeatThermostat, S::PinT}};
    case StoveModel::AirDucted:
        return {{1, Text::Depressimeter, S::PinG},
                {3, Text::PelletThermostat, S::PinD},
                {4, Text::ExternalThermostat, S::LowerChannel2},
                {5, Text::ExternalThermostat, S::None},
                {7, Text::HeatThermostat, S::PinT}};
    case StoveModel::Basic:
    case StoveModel::Unknown:
        break;
    }
    return {};
}

QString inputLabel(const InputRow &row) {
    return textAt(row.text);
}

QString digitalInputLabel(const DigitalInput &input) {
    const QString text = textAt(input.text);
    // The pin names of the board's connector are the same in every language.
    switch (input.suffix) {
    case S::PinG:
        return text + QStringLiteral("\n(INP-G)");
    case S::PinD:
        return text + QStringLiteral("\n(INP-D)");
    case S::PinT:
        return text + QStringLiteral("\n(INP-T)");
    case S::LowerChannel2:
        return text + QStringLiteral("\n") + textAt(Text::Channel2).toLower();
    case S::None:
        break;
    }
    return text;
}

QString inputText(InputFormat format, short value) {
    const int v = value;
    switch (format) {
    case F::Decimal:
        return QString::number(v);
    case F::Potentiometer:
        return potentiometerText(value);
    case F::TimesTen:
        return QString::number(v * 10);
    case F::FuelCorrection:
        return QString::number((v - 100) * 10);
    case F::Tenths:
        return QString::number(v / 10.0, 'f', 1);
    case F::DigitalInputs:
        break;
    }
    return {};
}

QString potentiometerText(short level) {
    // The knob's positions: off, minimum, the steps between, maximum.
    constexpr short kOff = 0, kMinimum = 15, kMaximum = 29;
    if (level == kOff) return QStringLiteral("OFF");
    if (level == kMinimum) return QStringLiteral("MIN");
    if (level == kMaximum) return QStringLiteral("MAX");
    if (level > kMinimum && level < kMaximum) return QString::number(level);
    return {};
}

bool digitalInputOn(short value, int bit) {
    constexpr int kBits = 16;
    if (bit < 0 || bit >= kBits) return false;
    return ((static_cast<unsigned short>(value) >> bit) & 1U) != 0;
}

} // namespace hwtest
