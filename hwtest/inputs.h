// The board inputs the hardware test page shows: the rows of each stove model and the text of a
// value as the polling thread reads it. No widgets here.
#pragma once

#include "app/textentries.h"
#include "board/stovemodel.h"

#include <QList>
#include <QString>

#include <optional>

namespace hwtest {

// How a value read from the board is shown.
enum class InputFormat {
    Decimal,        // the value as read
    Potentiometer,  // potentiometerText of the level, and a dial at the raw value
    TimesTen,       // value x 10 (the encoder reports tens of revolutions per minute)
    FuelCorrection, // (value - 100) x 10: the board sends 100 for no correction
    Tenths,         // value / 10 with exactly one decimal
    DigitalInputs,  // a bit field, one indicator per listed bit
};

// One input of a model, in the order the page lists them.
struct InputRow {
    unsigned short input; // the input number of the polling thread's reports
    InputFormat format;
    Text text; // text-table entry of its label (Text::None for the digital inputs)
};

// One listed bit of the digital inputs (input 7).
struct DigitalInput {
    int bit; // 0 = least significant
    // The label: the text-table entry and what follows it on the label.
    Text text;
    enum class Suffix { None, PinG, PinD, PinT, LowerChannel2 } suffix;
};

// The number of the digital-inputs bit field.
inline constexpr unsigned short kDigitalInputsNumber = DigitalInputsInput;

// The model's inputs in page order; none for an unknown model.
QList<InputRow> inputRows(StoveModel model);
// The row of `input`; none when the model does not list it.
std::optional<InputRow> findInputRow(StoveModel model, short input);
// The model's digital inputs in page order; none when the model has no digital inputs.
QList<DigitalInput> digitalInputs(StoveModel model);

QString inputLabel(const InputRow &row);
QString digitalInputLabel(const DigitalInput &input);

// The text shown for a value; empty for the digital inputs (they are pictures).
QString inputText(InputFormat format, short value);
// The potentiometer level as the stove's panel shows it: 0 "OFF", 15 "MIN", 16..28 the number,
// 29 "MAX"; every other level is not a position of the knob and shows nothing.
QString potentiometerText(short level);
// True when the digital input's bit is set in the value read.
bool digitalInputOn(short value, int bit);

} // namespace hwtest
