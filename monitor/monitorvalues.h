// The board's monitor triplets decoded: what the debug page shows for each value and the CSV
// fragment each index contributes to a recording line.
#pragma once

#include "board/stovemodel.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>

// Every value the monitor shows, over all models.
enum class MonitorField {
    SmokeTemperature,
    AirTemperature,
    Power,
    FanSpeed,
    ExtractorSpeed,
    CochleaTime,
    Potentiometer,
    StateNumber,
    StateText,
    FuelCorrection,
    SetPoint,
    EncoderCurrent,
    InstantPressure,
    AveragePressure,
    Alarm,
    WaterProbe,
    ProbeChannel1,
    Wpx250,
    Channel1,
    Channel2,
    // Digital inputs and pump lamps: on/off pictures.
    Depressimeter,
    PelletThermostat,
    Fluxstate,
    ExternalThermostatChannel2,
    ExternalThermostat,
    HeatThermostat,
    HeatingPump,
    SanitaryPump,
};

// One shown value: `text` for a field, `number` for a dial or an indicator (0 off, 1 on).
struct ShownValue {
    MonitorField field;
    QString text;
    int number = 0;
};

// A triplet decoded for one model and index.
struct DecodedTriplet {
    QList<ShownValue> shown;
    // The index's items, each followed by ';'.
    QString fragment;
};

// The plain name of a value, as a recording's column title names it (the screen labels add the
// input codes). The set point is titled "Encoder Set" in either range group.
QString recordingTitle(MonitorField field);
// The values a recording line holds for a model, in column order after the date.
QList<MonitorField> recordedFields(StoveModel model);

// "OFF" for 0, "MAX" for 100, else the number and "%".
QString fanSpeedText(short value);
// "OFF" for 0, else the number.
QString extractorSpeedText(short value);
// The state of the stove automaton in the current language; empty for states without a text.
QString stoveStateText(short word);
// The number shown beside the state text: the state's low five bits.
int stoveStateNumber(short word);
// The alarm's text in the current language; empty for codes without one (0 = no alarm).
QString alarmText(short code);
// x / 10 with exactly one decimal and '.' as the decimal point.
QString tenthsText(int value);

// Decodes one triplet; nothing for an index the model does not have. `hubaMode` selects the
// set-point scaling of index 4 (the HUBA set point is shown as read, the encoder's in rpm).
std::optional<DecodedTriplet> decodeTriplet(StoveModel model, int index, short t1, short t2, short t3,
                                            bool hubaMode);

// The latest fragment of every monitor index, which a recording line writes as they stand.
class RecordFields {
public:
    static constexpr int kIndexes = 6;

    // Replaces the fragment of index 1..kIndexes; other indexes are ignored.
    void set(int index, const QString &fragment);
    QString at(int index) const;
    // The values of a recording line: the fragments of the model's indexes in order.
    QString joined(StoveModel model) const;

private:
    std::array<QString, kIndexes> m_fragments;
};
