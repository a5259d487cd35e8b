// The built-in parameter catalogue of the three stove models: which general and technical
// parameters each board has, their ranges, units and scalings, and how the parameter pages are
// laid out. Read-only data plus pure conversions; no widgets, no board traffic.
#pragma once

#include "app/textentries.h"
#include "board/stovemodel.h"

#include <QString>

#include <cstdint>
#include <optional>

// One of the two range groups of an entry (standard and HUBA). Raw board units.
struct ParameterRange {
    std::int32_t minimum;
    std::int32_t maximum;
    std::int32_t defaultValue; // catalogue data only; the board restores its own defaults
    std::int32_t decimals;     // decimal places shown: 0 or 1
    std::int32_t textIndex;    // name in the text table
    std::int32_t unit;         // unit code, see unitLabel
    std::int32_t scale;        // scale code, see toDisplay / toRaw
};

struct ParameterDescriptor {
    std::int32_t position;
    std::uint16_t table;     // 0 general (PG, READGENP/WRGENP), 1 technical (PT, READTECP/WRTECP)
    std::int32_t boardIndex; // two-digit index sent to the board
    std::int32_t displayNumber;
    std::uint8_t keepsLink;   // 0: value 1 stops the board talking on the service link
    std::uint8_t keepsGroup;  // 0: the group selector that decides hubaMode
    std::uint8_t positive;    // 0: the shown value is negated
    std::uint8_t wholeValue;  // 0: one bit of a flags word
    std::int32_t bit;         // bit number of a bit entry, 255 for whole values
    ParameterRange ranges[2]; // 0 standard, 1 HUBA
};

constexpr int kCatalogueEntries = 80; // per model; every per-row widget array has this many places
constexpr int kMaxParameterPages = 5;
constexpr int kNoBit = 255;

// Resolves a text-table entry (the names and the unit labels built from translated words need it):
// textAt, or a table of the test's own.
using TextLookup = QString (*)(Text);

int layoutValue(StoveModel model, const QString &key);
int parameterCount(StoveModel model);
// Entry at `position` of the model's block; an all-zero entry outside the catalogue.
const ParameterDescriptor &descriptor(StoveModel model, int position);
const ParameterRange &activeRange(const ParameterDescriptor &d, bool hubaMode);

QString unitLabel(int unit, const TextLookup &text);
double toDisplay(int scale, std::int16_t raw, bool positive);
std::int16_t toRaw(int scale, double shown, bool positive);

// Shown range of an entry in the given group: bounds swap for negated entries.
struct DisplayRange {
    double lo;
    double hi;
};
DisplayRange displayRange(const ParameterDescriptor &d, bool hubaMode);
// The value an entry shows for raw board value `raw`: the scaled value, or 0/2^bit for bit entries.
double shownValue(const ParameterDescriptor &d, bool hubaMode, std::int16_t raw);
// The value a row holds for raw board value `raw`: the scaled value, or 0/1 for bit entries (the
// state of its bit, as the row's 0..1 box shows it).
double rowValue(const ParameterDescriptor &d, bool hubaMode, std::int16_t raw);
// A row value as text: fixed notation with the decimals of the active group, "." as decimal point,
// no grouping, never "-0".
QString valueText(const ParameterDescriptor &d, bool hubaMode, double value);

QString parameterCode(const ParameterDescriptor &d);
// The name of an entry in the given group: its name text, or its code where that text is empty
// (two BASIC entries name texts that only a language file may fill).
QString parameterName(const ParameterDescriptor &d, bool hubaMode, const TextLookup &text);
// First position with this table and display number, or nothing.
std::optional<int> findByCode(StoveModel model, int table, int displayNumber);
// First position of the group selector, or nothing.
std::optional<int> groupSelectorPosition(StoveModel model);
