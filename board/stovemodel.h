// Stove board models, the board's identity text and the names of the serial ports.
#pragma once

#include <QList>
#include <QString>

// The stove board type the board reports in its identity.
enum class StoveModel : int { Unknown = 0, Basic = 1, Water = 2, AirDucted = 3 };

// The models a board can be, in code order (Unknown excluded).
inline constexpr StoveModel kKnownModels[] = {StoveModel::Basic, StoveModel::Water, StoveModel::AirDucted};

// The model's number in tables indexed by model (0 for Unknown).
constexpr int modelIndex(StoveModel model) {
    return static_cast<int>(model);
}

// The model whose accepted names contain `name` (letter case ignored), else Unknown.
StoveModel modelFromName(const QString &name);
// The long name, or the two-line name ("AIR -\nDUCT.") when `twoLines` is set.
QString modelName(StoveModel model, bool twoLines);

// The board's inputs, numbered as its input reads are. 5 and 8 read the same sensor: the WATER
// board's water pressure, the depressure on the others.
enum BoardInput : unsigned short {
    ProbeT1 = 1,
    ProbeT2 = 2,
    ProbeT3 = 3,
    PotentiometerInput = 4,
    PressureSensorInput = 5,
    EncoderInput = 6,
    DigitalInputsInput = 7,
    PressureInput = 8,
    FuelCorrectionInput = 9,
};

// What the polling thread reads from a board of this model: its inputs in polling order (the
// hardware test page shows one row per polled input, in this order) ...
QList<unsigned short> polledInputs(StoveModel model);
// ... and the number of its monitor indexes: 1..count are polled; 0 for Unknown.
int monitorIndexCount(StoveModel model);

// The number of serial ports the program offers: "COM1".."COM16".
inline constexpr int kPortCount = 16;
// "COM<index+1>".
QString comPortName(int index);
// 0..15 for exactly "COM1".."COM16", -1 for anything else.
int comPortIndex(const QString &name);

// The identity text the board returns to MODELLO: model name, firmware version, revision.
inline constexpr int kIdentityLength = 22;
// Shorter texts cannot identify a board.
inline constexpr int kIdentityUsableLength = 21;

// The fields of an identity text.
struct Identity {
    QString name;     // characters 0..9, blanks stripped
    QString version;  // characters 11..15, a leading '0' shown as a blank
    QString revision; // "%0/%1/%2" of characters 16..17, 18..19, 20..21
};

// The identity text as received: up to 22 bytes, cut at the first NUL.
QString identityText(const char *reply, int length);
// True when the text is long enough to identify the board.
bool identityUsable(const QString &text);
// Splits a usable identity text into its fields; missing characters give empty fields.
Identity parseIdentity(const QString &text);
