// Stove board models, the board's identity text and the names of the serial ports.
#pragma once

#include <QString>
#include <atomic>

// Integer code of the stove board type: 0 unknown, 1 BASIC, 2 WATER, 3 AIR - DUCTED.
using StoveModel = int;

// The model of the connected board: 0 at start, set by every successful identity read. Read by the
// polling thread at the start of each cycle, hence atomic.
extern std::atomic<int> currentModel;

StoveModel modelFromName(const QString &name);
// The long name, or the two-line name ("AIR -\nDUCT.") when `twoLines` is set.
QString modelName(StoveModel model, bool twoLines);

// "COM1".."COM16" for 0..15 (any index gives "COM<index+1>").
QString comPortName(int index);
// 0..15 for exactly "COM1".."COM16", -1 for anything else.
int comPortIndex(const QString &name);

// The fields of the 22-character identity text the board returns to MODELLO.
struct Identity {
    QString name;     // characters 0..9, blanks stripped
    QString version;  // characters 11..15, a leading '0' shown as a blank
    QString revision; // "%0/%1/%2" of characters 16..17, 18..19, 20..21
};

// The identity text as received: up to 22 bytes, cut at the first NUL.
QString identityText(const char *reply, int length);
// True when the text is long enough (at least 21 characters) to identify the board.
bool identityUsable(const QString &text);
// Splits a usable identity text into its fields; missing characters give empty fields.
Identity parseIdentity(const QString &text);
