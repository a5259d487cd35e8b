// The board's monitor triplets decoded: what the debug page shows for each value and the items each
// index contributes to a recording line; and every model's values, with their place on the page and
// in the recording.
#pragma once

#include "app/textentries.h"
#include "board/stovemodel.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>
#include <span>

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

// How a value is shown on the debug page.
enum class FieldShape {
    Value,         // a read-only field beside its label
    ValueWithDial, // a field with a dial beside it
    Wide,          // a field over a whole cell, without a label
    Indicator,     // a digital-input picture
    Lamp,          // a pump lamp (LED pictures)
};

// A value's name: a text entry, optionally followed by a second entry in lower case (the
// channel-2 thermostat), or a fixed text.
struct FieldName {
    Text entry = Text::None;
    Text lowerSuffix = Text::None;
    const char *literal = nullptr;
};

// One value of a model's monitor: whether recordings have a column for it, its cell on the debug
// page (grid row, and cell 0..2 of the row, each a label and its widget), how it is shown there, its
// widget's object name, its name (the column title) and the board's code of an input, which the
// screen label adds.
struct MonitorFieldDef {
    MonitorField field;
    bool recorded;
    int row;
    int cell;
    FieldShape shape;
    const char *objectName;
    FieldName name;
    const char *inputCode = nullptr;
};

// The values of a model in the order of its triplets' items, which is the order of the recording's
// columns after the date; empty for an unknown model.
std::span<const MonitorFieldDef> monitorFields(StoveModel model);
// The value of a model, or nothing if the model does not show it.
std::optional<MonitorFieldDef> monitorField(StoveModel model, MonitorField field);
// A value's name in the current language: the plain name, as a recording's column title names it
// (the screen labels add the input codes). The set point is titled "Encoder Set" in either range
// group.
QString fieldName(const FieldName &name);
// The values a recording line holds for a model, in column order after the date.
QList<MonitorFieldDef> recordedFields(StoveModel model);

// One shown value: `text` for a field, `number` for a dial or an indicator (0 off, 1 on).
struct ShownValue {
    MonitorField field;
    QString text;
    int number = 0;
};

// One item of a recording line: the value's column and its text.
struct RecordedItem {
    MonitorField field;
    QString text;
};

// A triplet decoded for one model and index.
struct DecodedTriplet {
    QList<ShownValue> shown;
    // The index's items in column order.
    QList<RecordedItem> recorded;
    // The items, each followed by ';'.
    QString fragment() const;
};

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

// The latest values of every monitor index, which a recording line writes as they stand. A value
// that has not arrived (or was forgotten) still has its column: an empty item, so that no value ever
// moves under another column's title.
class RecordFields {
public:
    static constexpr int kIndexes = 6;

    // Replaces the values of index 1..kIndexes; other indexes are ignored.
    void set(int index, const DecodedTriplet &decoded);
    // The values of an index, or of every index, are missing until the board sends them again (the
    // board has stopped answering: what it last sent is no longer its state).
    void forget(int index);
    void forgetAll();
    bool has(int index) const;
    // The value items of a recording line of the model: one per column after the date, each
    // followed by ';'.
    QString joined(StoveModel model) const;

private:
    std::array<QList<RecordedItem>, kIndexes> m_items;
};
