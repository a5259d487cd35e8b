#include "monitor/monitorvalues.h"

#include "app/texts.h"

namespace {

using F = MonitorField;

// The states of the stove automaton that have a text, with their text entries.
struct StateRow {
    int state;
    int entry;
};
constexpr StateRow kStateTexts[] = {{4, 107},  {5, 105},  {6, 106},  {8, 108},  {9, 109},
                                    {10, 110}, {11, 111}, {12, 112}, {14, 114}, {15, 115},
                                    {16, 116}, {18, 118}, {19, 119}, {20, 115}};
constexpr int kStateOn = 13;
constexpr int kSubStateModulation = 1;
constexpr int kSubStateMaximumEfficiency = 2;
constexpr int kStateBits = 5;
constexpr int kStateMask = (1 << kStateBits) - 1;
constexpr int kSubStateMask = 0xFF;

// Alarm codes 1..8 and their text entries.
constexpr int kAlarmEntries[] = {240, 241, 242, 243, 244, 245, 246, 250};

// The input bits of index 3 on WATER and AIR - DUCTED, and the pump bits of WATER's index 5.
constexpr int kDepressimeterBit = 1;
constexpr int kPelletThermostatBit = 3;
constexpr int kFourthInputBit = 4; // "Fluxstate" on WATER, the channel-2 thermostat on AIR - DUCTED
constexpr int kExternalThermostatBit = 5;
constexpr int kHeatThermostatBit = 7;
constexpr int kHeatingPumpBit = 3;
constexpr int kSanitaryPumpBit = 4;

constexpr int kFanStopped = 0;
constexpr int kFanMaximum = 100;
// Fuel correction: the board sends 100 for no correction, steps of ten.
constexpr int kFuelCorrectionZero = 100;
constexpr int kTimesTen = 10;

int bit(short value, int n) {
    return (static_cast<unsigned>(value) & 0xFFu) >> n & 1u;
}

QString number(int value) {
    return QString::number(value);
}

// Builds the shown values and the fragment of one triplet together, so that they cannot disagree.
class Decoding {
public:
    // A value shown as `text` and recorded as `item`.
    Decoding &value(F field, const QString &text, const QString &item) {
        m_result.shown.append({field, text, 0});
        return record(item);
    }
    Decoding &value(F field, const QString &text) { return value(field, text, text); }
    // A value shown with a dial as well.
    Decoding &dial(F field, int value) {
        m_result.shown.append({field, number(value), value});
        return record(number(value));
    }
    // An on/off picture, recorded as "0" or "1".
    Decoding &indicator(F field, int on) {
        m_result.shown.append({field, QString(), on});
        return record(number(on));
    }
    // A shown value that the recording leaves out.
    Decoding &shownOnly(F field, const QString &text) {
        m_result.shown.append({field, text, 0});
        return *this;
    }
    Decoding &record(const QString &item) {
        m_result.fragment += item + QLatin1Char(';');
        return *this;
    }
    DecodedTriplet take() { return std::move(m_result); }

private:
    DecodedTriplet m_result;
};

void decodeTemperatures(Decoding &d, short t1, short t2, short t3) {
    d.value(F::SmokeTemperature, number(t1)).value(F::AirTemperature, number(t2)).value(F::Power, number(t3));
}

void decodeSpeeds(Decoding &d, short t1, short t2, short t3) {
    d.value(F::FanSpeed, fanSpeedText(t1), number(t1))
        .value(F::ExtractorSpeed, extractorSpeedText(t2), number(t2))
        .value(F::CochleaTime, tenthsText(t3));
}

void decodeState(Decoding &d, short word) {
    d.shownOnly(F::StateNumber, number(stoveStateNumber(word))).value(F::StateText, stoveStateText(word));
}

void decodeInputs(Decoding &d, StoveModel model, short inputs) {
    d.indicator(F::Depressimeter, bit(inputs, kDepressimeterBit))
        .indicator(F::PelletThermostat, bit(inputs, kPelletThermostatBit))
        .indicator(model == StoveModel::Water ? F::Fluxstate : F::ExternalThermostatChannel2,
                   bit(inputs, kFourthInputBit))
        .indicator(F::ExternalThermostat, bit(inputs, kExternalThermostatBit))
        .indicator(F::HeatThermostat, bit(inputs, kHeatThermostatBit));
}

void decodeSetPoint(Decoding &d, short t1, short t2, bool hubaMode) {
    d.value(F::SetPoint, number(hubaMode ? t1 : t1 * kTimesTen))
        .value(F::EncoderCurrent, number(t2 * kTimesTen));
}

void decodePressures(Decoding &d, short t2, short t3) {
    d.value(F::InstantPressure, number(t2)).value(F::AveragePressure, number(t3));
}

void decodeBasic(Decoding &d, int index, short t1, short t2, short t3, bool hubaMode) {
    switch (index) {
    case 3:
        d.dial(F::Potentiometer, t1);
        decodeState(d, t2);
        d.dial(F::FuelCorrection, (t3 - kFuelCorrectionZero) * kTimesTen);
        break;
    case 4:
        decodeSetPoint(d, t1, t2, hubaMode);
        break;
    case 5:
        decodePressures(d, t2, t3);
        break;
    case 6:
        d.value(F::Alarm, alarmText(t1));
        break;
    }
}

// WATER and AIR - DUCTED: a probe, the state and the inputs at index 3; the set point and a model's
// own value at index 4; the pumps (WATER) or channel 2 (AIR - DUCTED) with the pressures at index 5.
void decodeWaterOrAirDucted(Decoding &d, StoveModel model, int index, short t1, short t2, short t3,
                            bool hubaMode) {
    const bool water = model == StoveModel::Water;
    switch (index) {
    case 3:
        d.value(water ? F::WaterProbe : F::ProbeChannel1, number(t1));
        decodeState(d, t2);
        decodeInputs(d, model, t3);
        break;
    case 4:
        decodeSetPoint(d, t1, t2, hubaMode);
        if (water)
            d.value(F::Wpx250, tenthsText(t3));
        else
            d.value(F::Channel1, number(t3));
        break;
    case 5:
        if (water)
            d.indicator(F::HeatingPump, bit(t1, kHeatingPumpBit))
                .indicator(F::SanitaryPump, bit(t1, kSanitaryPumpBit));
        else
            d.value(F::Channel2, number(t1));
        decodePressures(d, t2, t3);
        break;
    }
}

} // namespace

QString recordingTitle(MonitorField field) {
    switch (field) {
    case F::SmokeTemperature:
        return textAt(122);
    case F::AirTemperature:
        return textAt(123);
    case F::Power:
        return textAt(124);
    case F::FanSpeed:
        return textAt(125);
    case F::ExtractorSpeed:
        return textAt(126);
    case F::CochleaTime:
        return textAt(127);
    case F::Potentiometer:
        return textAt(128);
    case F::StateNumber:
    case F::StateText:
        return textAt(129);
    case F::FuelCorrection:
        return textAt(132);
    case F::SetPoint:
        return textAt(130);
    case F::EncoderCurrent:
        return textAt(131);
    case F::InstantPressure:
        return textAt(248);
    case F::AveragePressure:
        return textAt(249);
    case F::Alarm:
        return textAt(251);
    case F::WaterProbe:
        return textAt(137);
    case F::ProbeChannel1:
        return textAt(39);
    case F::Wpx250:
        return QStringLiteral("wpx 250");
    case F::Channel1:
        return textAt(37);
    case F::Channel2:
        return textAt(38);
    case F::Depressimeter:
        return textAt(138);
    case F::PelletThermostat:
        return textAt(139);
    case F::Fluxstate:
        return textAt(141);
    case F::ExternalThermostatChannel2:
        return textAt(140) + QLatin1Char(' ') + textAt(38).toLower();
    case F::ExternalThermostat:
        return textAt(140);
    case F::HeatThermostat:
        return textAt(142);
    case F::HeatingPump:
        return textAt(143);
    case F::SanitaryPump:
        return textAt(144);
    }
    return QString();
}

QList<MonitorField> recordedFields(StoveModel model) {
    const QList<F> common = {F::SmokeTemperature, F::AirTemperature, F::Power,
                             F::FanSpeed,         F::ExtractorSpeed, F::CochleaTime};
    switch (model) {
    case StoveModel::Basic:
        return common + QList<F>{F::Potentiometer,  F::StateText,       F::FuelCorrection,  F::SetPoint,
                                 F::EncoderCurrent, F::InstantPressure, F::AveragePressure, F::Alarm};
    case StoveModel::Water:
        return common + QList<F>{F::WaterProbe,       F::StateText,      F::Depressimeter,
                                 F::PelletThermostat, F::Fluxstate,      F::ExternalThermostat,
                                 F::HeatThermostat,   F::SetPoint,       F::EncoderCurrent,
                                 F::Wpx250,           F::HeatingPump,    F::SanitaryPump,
                                 F::InstantPressure,  F::AveragePressure};
    case StoveModel::AirDucted:
        return common + QList<F>{F::ProbeChannel1,
                                 F::StateText,
                                 F::Depressimeter,
                                 F::PelletThermostat,
                                 F::ExternalThermostatChannel2,
                                 F::ExternalThermostat,
                                 F::HeatThermostat,
                                 F::SetPoint,
                                 F::EncoderCurrent,
                                 F::Channel1,
                                 F::Channel2,
                                 F::InstantPressure,
                                 F::AveragePressure};
    case StoveModel::Unknown:
        break;
    }
    return {};
}

QString fanSpeedText(short value) {
    if (value == kFanStopped) return QStringLiteral("OFF");
    if (value == kFanMaximum) return QStringLiteral("MAX");
    return number(value) + QLatin1Char('%');
}

QString extractorSpeedText(short value) {
    return value == 0 ? QStringLiteral("OFF") : number(value);
}

int stoveStateNumber(short word) {
    return word & kStateMask;
}

QString stoveStateText(short word) {
    const int state = stoveStateNumber(word);
    if (state == kStateOn) {
        // The sub-state sits above the state bits; the word is signed, so shift it as such.
        const int subState = (word >> kStateBits) & kSubStateMask;
        if (subState == kSubStateModulation) return textAt(117);
        if (subState == kSubStateMaximumEfficiency) return textAt(120);
        return textAt(113);
    }
    for (const StateRow &row : kStateTexts)
        if (row.state == state) return textAt(row.entry);
    return QString();
}

QString alarmText(short code) {
    constexpr int count = static_cast<int>(std::size(kAlarmEntries));
    if (code < 1 || code > count) return QString();
    return textAt(kAlarmEntries[code - 1]);
}

QString tenthsText(int value) {
    const int magnitude = value < 0 ? -value : value;
    return QStringLiteral("%1%2.%3")
        .arg(value < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 10)
        .arg(magnitude % 10);
}

std::optional<DecodedTriplet> decodeTriplet(StoveModel model, int index, short t1, short t2, short t3,
                                            bool hubaMode) {
    if (index < 1 || index > monitorIndexCount(model)) return std::nullopt;
    Decoding d;
    if (index == 1)
        decodeTemperatures(d, t1, t2, t3);
    else if (index == 2)
        decodeSpeeds(d, t1, t2, t3);
    else if (model == StoveModel::Basic)
        decodeBasic(d, index, t1, t2, t3, hubaMode);
    else
        decodeWaterOrAirDucted(d, model, index, t1, t2, t3, hubaMode);
    return d.take();
}

void RecordFields::set(int index, const QString &fragment) {
    if (index >= 1 && index <= kIndexes) m_fragments[static_cast<std::size_t>(index - 1)] = fragment;
}

QString RecordFields::at(int index) const {
    if (index < 1 || index > kIndexes) return QString();
    return m_fragments[static_cast<std::size_t>(index - 1)];
}

QString RecordFields::joined(StoveModel model) const {
    QString values;
    const int count = monitorIndexCount(model);
    for (int index = 1; index <= count && index <= kIndexes; ++index)
        values += m_fragments[static_cast<std::size_t>(index - 1)];
    return values;
}
