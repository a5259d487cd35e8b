#include "monitor/monitorvalues.h"

#include "app/texts.h"

#include <algorithm>
#include <array>

namespace {

using F = MonitorField;

// The states of the stove automaton that have a text, with their text entries.
struct StateRow {
    int state;
    Text entry;
};
constexpr StateRow kStateTexts[] = {
    {4, Text::StoveCalibration}, {5, Text::CheckBlackoutAlarm},     {6, Text::ManualFuelLoad},
    {8, Text::StoveOff},         {9, Text::StoveOnCooling},         {10, Text::ResistanceIgnition},
    {11, Text::FuelLoad},        {12, Text::FlameStabilization},    {14, Text::StoveCleaning},
    {15, Text::StovePowerOff},   {16, Text::StoveCleaningPowerOff}, {18, Text::StoveInStandby},
    {19, Text::StoveInTest},     {20, Text::StovePowerOff}};
constexpr int kStateOn = 13;
constexpr int kSubStateModulation = 1;
constexpr int kSubStateMaximumEfficiency = 2;
constexpr int kStateBits = 5;
constexpr int kStateMask = (1 << kStateBits) - 1;
constexpr int kSubStateMask = 0xFF;

// Alarm codes 1..8 and their text entries.
constexpr Text kAlarmEntries[] = {
    Text::EndFuelAlarm,  Text::SmokeSensorAlarm, Text::EnvironmentProbeAlarm, Text::IgnitionFailureAlarm,
    Text::BlackoutAlarm, Text::EncoderAlarm,     Text::ElectricAlarm,         Text::HubaAlarm};

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
        return record(field, item);
    }
    Decoding &value(F field, const QString &text) { return value(field, text, text); }
    // A value shown with a dial as well.
    Decoding &dial(F field, int value) {
        m_result.shown.append({field, number(value), value});
        return record(field, number(value));
    }
    // An on/off picture, recorded as "0" or "1".
    Decoding &indicator(F field, int on) {
        m_result.shown.append({field, QString(), on});
        return record(field, number(on));
    }
    // A shown value that the recording leaves out.
    Decoding &shownOnly(F field, const QString &text) {
        m_result.shown.append({field, text, 0});
        return *this;
    }
    Decoding &record(F field, const QString &item) {
        m_result.recorded.append({field, item});
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

// Every model's values in the order of its triplets' items (the recording's columns), each with its
// cell on the page. The object names are those of the BASIC form's own widgets, kept for tools and
// tests.
using S = FieldShape;
constexpr bool kRecorded = true;
constexpr bool kShownOnly = false;

// The first two triplets (temperatures, power, speeds, cochlea time) are the same on every model.
constexpr MonitorFieldDef kCommonFields[] = {
    {F::SmokeTemperature, kRecorded, 0, 0, S::Value, "tSmoke", {Text::SmokeTemperature}},
    {F::AirTemperature, kRecorded, 0, 1, S::Value, "tAir", {Text::AirTemperature}},
    {F::Power, kRecorded, 0, 2, S::Value, "potenz", {Text::Power}},
    {F::FanSpeed, kRecorded, 1, 0, S::Value, "envFanSpeed", {Text::EnvironmentFanSpeed}},
    {F::ExtractorSpeed, kRecorded, 1, 1, S::Value, "smokeExtrFan", {Text::SmokeExtractorSpeed}},
    {F::CochleaTime, kRecorded, 1, 2, S::Value, "cochlea", {Text::CochleaOnTime}},
};

// A model's table: the common fields, then the model's own.
template <std::size_t N>
constexpr std::array<MonitorFieldDef, std::size(kCommonFields) + N>
afterCommonFields(const MonitorFieldDef (&own)[N]) {
    std::array<MonitorFieldDef, std::size(kCommonFields) + N> all{};
    std::copy(std::begin(kCommonFields), std::end(kCommonFields), all.begin());
    std::copy(std::begin(own), std::end(own), all.begin() + std::size(kCommonFields));
    return all;
}

constexpr auto kBasicFields = afterCommonFields({
    {F::Potentiometer, kRecorded, 2, 0, S::ValueWithDial, "potentiometer", {Text::Potentiometer}},
    {F::StateNumber, kShownOnly, 2, 1, S::Value, "stStove", {Text::StoveStatus}},
    {F::StateText, kRecorded, 2, 2, S::Wide, "stoveStatus", {Text::StoveStatus}},
    {F::FuelCorrection, kRecorded, 3, 0, S::ValueWithDial, "fuelCorr", {Text::FuelCorrection}},
    {F::SetPoint, kRecorded, 3, 1, S::Value, "roundsLevel", {Text::EncoderSet}},
    {F::EncoderCurrent, kRecorded, 3, 2, S::Value, "encoder", {Text::EncoderCurrent}},
    {F::InstantPressure, kRecorded, 4, 0, S::Value, "currentPressureReading", {Text::InstantaneousPressure}},
    {F::AveragePressure, kRecorded, 4, 1, S::Value, "averagePressureReading", {Text::AveragePressure}},
    {F::Alarm, kRecorded, 4, 2, S::Wide, "alarmDisplaying", {Text::Alarms}},
});

constexpr auto kWaterFields = afterCommonFields({
    {F::WaterProbe, kRecorded, 2, 2, S::Value, "waterProbe", {Text::WaterProbe}},
    {F::StateNumber, kShownOnly, 2, 0, S::Value, "stStove", {Text::StoveStatus}},
    {F::StateText, kRecorded, 2, 1, S::Wide, "stoveStatus", {Text::StoveStatus}},
    {F::Depressimeter, kRecorded, 4, 2, S::Indicator, "depressimeter", {Text::Depressimeter}, "INP-G"},
    {F::PelletThermostat,
     kRecorded,
     5,
     0,
     S::Indicator,
     "pelletThermostat",
     {Text::PelletThermostat},
     "INP-D"},
    {F::Fluxstate, kRecorded, 5, 1, S::Indicator, "fluxstate", {Text::Fluxstate}},
    {F::ExternalThermostat, kRecorded, 5, 2, S::Indicator, "externalThermostat", {Text::ExternalThermostat}},
    {F::HeatThermostat, kRecorded, 6, 0, S::Indicator, "heatThermostat", {Text::HeatThermostat}, "INP-T"},
    {F::SetPoint, kRecorded, 3, 0, S::Value, "roundsLevel", {Text::EncoderSet}},
    {F::EncoderCurrent, kRecorded, 3, 1, S::Value, "encoder", {Text::EncoderCurrent}},
    {F::Wpx250, kRecorded, 3, 2, S::Value, "wpx250", {.literal = "wpx 250"}},
    {F::HeatingPump, kRecorded, 6, 1, S::Lamp, "heatingPump", {Text::HeatingPump}},
    {F::SanitaryPump, kRecorded, 6, 2, S::Lamp, "sanitaryPump", {Text::SanitaryPump}},
    {F::InstantPressure, kRecorded, 4, 0, S::Value, "currentPressureReading", {Text::InstantaneousPressure}},
    {F::AveragePressure, kRecorded, 4, 1, S::Value, "averagePressureReading", {Text::AveragePressure}},
});

constexpr auto kAirDuctedFields = afterCommonFields({
    {F::ProbeChannel1, kRecorded, 2, 2, S::Value, "probeChannel1", {Text::ProbeChannel1}},
    {F::StateNumber, kShownOnly, 2, 0, S::Value, "stStove", {Text::StoveStatus}},
    {F::StateText, kRecorded, 2, 1, S::Wide, "stoveStatus", {Text::StoveStatus}},
    {F::Depressimeter, kRecorded, 5, 0, S::Indicator, "depressimeter", {Text::Depressimeter}, "INP-G"},
    {F::PelletThermostat,
     kRecorded,
     5,
     1,
     S::Indicator,
     "pelletThermostat",
     {Text::PelletThermostat},
     "INP-D"},
    {F::ExternalThermostatChannel2,
     kRecorded,
     5,
     2,
     S::Indicator,
     "externalThermostatChannel2",
     {Text::ExternalThermostat, Text::Channel2}},
    {F::ExternalThermostat, kRecorded, 6, 0, S::Indicator, "externalThermostat", {Text::ExternalThermostat}},
    {F::HeatThermostat, kRecorded, 6, 1, S::Indicator, "heatThermostat", {Text::HeatThermostat}, "INP-T"},
    {F::SetPoint, kRecorded, 3, 2, S::Value, "roundsLevel", {Text::EncoderSet}},
    {F::EncoderCurrent, kRecorded, 4, 0, S::Value, "encoder", {Text::EncoderCurrent}},
    {F::Channel1, kRecorded, 3, 0, S::Value, "channel1", {Text::Channel1}},
    {F::Channel2, kRecorded, 3, 1, S::Value, "channel2", {Text::Channel2}},
    {F::InstantPressure, kRecorded, 4, 1, S::Value, "currentPressureReading", {Text::InstantaneousPressure}},
    {F::AveragePressure, kRecorded, 4, 2, S::Value, "averagePressureReading", {Text::AveragePressure}},
});

} // namespace

std::span<const MonitorFieldDef> monitorFields(StoveModel model) {
    switch (model) {
    case StoveModel::Basic:
        return kBasicFields;
    case StoveModel::Water:
        return kWaterFields;
    case StoveModel::AirDucted:
        return kAirDuctedFields;
    case StoveModel::Unknown:
        break;
    }
    return {};
}

std::optional<MonitorFieldDef> monitorField(StoveModel model, MonitorField field) {
    for (const MonitorFieldDef &def : monitorFields(model))
        if (def.field == field) return def;
    return std::nullopt;
}

QString fieldName(const FieldName &name) {
    if (name.literal != nullptr) return QString::fromLatin1(name.literal);
    QString text = textAt(name.entry);
    if (name.lowerSuffix != Text::None) text += QLatin1Char(' ') + textAt(name.lowerSuffix).toLower();
    return text;
}

QList<MonitorFieldDef> recordedFields(StoveModel model) {
    QList<MonitorFieldDef> fields;
    for (const MonitorFieldDef &def : monitorFields(model))
        if (def.recorded) fields.append(def);
    return fields;
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
        if (subState == kSubStateModulation) return textAt(Text::StoveOnModulation);
        if (subState == kSubStateMaximumEfficiency) return textAt(Text::StoveOnMaximumEfficiency);
        return textAt(Text::StoveOn);
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

QString DecodedTriplet::fragment() const {
    QString items;
    for (const RecordedItem &item : recorded)
        items += item.text + QLatin1Char(';');
    return items;
}

void RecordFields::set(int index, const DecodedTriplet &decoded) {
    if (index >= 1 && index <= kIndexes) m_items[static_cast<std::size_t>(index - 1)] = decoded.recorded;
}

void RecordFields::forget(int index) {
    if (index >= 1 && index <= kIndexes) m_items[static_cast<std::size_t>(index - 1)].clear();
}

void RecordFields::forgetAll() {
    for (QList<RecordedItem> &items : m_items)
        items.clear();
}

bool RecordFields::has(int index) const {
    return index >= 1 && index <= kIndexes && !m_items[static_cast<std::size_t>(index - 1)].isEmpty();
}

QString RecordFields::joined(StoveModel model) const {
    // Each column takes its own value: a value missing leaves its item empty, never a gap that the
    // next values would slide into.
    QString values;
    for (const MonitorFieldDef &def : recordedFields(model)) {
        for (const QList<RecordedItem> &items : m_items) {
            const auto it = std::find_if(items.cbegin(), items.cend(),
                                         [&](const RecordedItem &item) { return item.field == def.field; });
            if (it != items.cend()) {
                values += it->text;
                break;
            }
        }
        values += QLatin1Char(';');
    }
    return values;
}
