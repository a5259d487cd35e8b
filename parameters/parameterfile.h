// Parameter files (".prm"): the shown values of a model's rows as text lines, written and read
// without any widget. The window code supplies the values and applies what the reader finds.
#pragma once

#include "board/stovemodel.h"
#include "parameters/setall.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <variant>

namespace paramfile {

// Limits for reading: a file written by the program has at most 3 + 80 short lines.
constexpr qsizetype kMaxFileBytes = 64 * 1024;
constexpr qsizetype kMaxLineChars = 256;
constexpr qsizetype kMaxLines = 1024;

// The file text: "MODEL=", "FIRMWARE=", "HUBA=" and one "code=value" line per row, each value in
// fixed notation with the decimals of the row's active range group. `values` holds one shown
// value per catalogue position (parameterCount of the model). Lines end with CR LF.
QByteArray format(StoveModel model, const QString &firmware, bool hubaMode, const QList<double> &values);

// Writes `content` to `path`: into a new file that replaces `path` only when complete, so a failure
// midway never leaves a truncated file; only when the folder refuses new files is an existing file
// written in place. True when everything was written.
bool writeFile(const QString &path, const QByteArray &content);

// Model name as it appears in files and dialogs (long form; "unknown" for Unknown).
QString modelLongName(StoveModel model);
// Default file name "par<sep>default (<model>).prm"; saving uses the lower-case model name.
QString defaultFileName(StoveModel model, bool lowerCaseModel);

// What one line of a file asks for, in file order.
struct ModelLine {
    QString name; // text after the last "="
};
struct HubaLine {
    int value;
};
struct ValueLine {
    int table; // 0 "PG", 1 "PT"
    int displayNumber;
    double value; // the value text as a "." decimal number, 0 if it is not one
};
using Line = std::variant<ModelLine, HubaLine, ValueLine>;

// Classifies one line (line end already removed). Lines of no known form give nothing.
std::optional<Line> parseLine(const QString &line);

// Splits file content into lines (CR LF, LF or CR) and classifies them. Refuses (nothing) a file
// over kMaxFileBytes, with a line over kMaxLineChars or more than kMaxLines lines, or holding NUL
// or other control bytes that no text file has.
std::optional<QList<Line>> parse(const QByteArray &content);

// True when the "MODEL=" text names `model` (letter case ignored).
bool modelMatches(const QString &name, StoveModel model);

// Loads the lines of a file into a model's rows, in file order, as the page does: a "MODEL=" line
// naming the model selects the standard range group (false), "HUBA=1" the HUBA group (true); a
// value line gives the value of the row with its code (codes the model lacks are skipped). Stops
// at a "MODEL=" line naming another model and returns false; rows set before it keep their values.
bool applyLines(StoveModel model, const QList<Line> &lines,
                const std::function<void(bool hubaMode)> &selectGroup,
                const std::function<void(int position, double value)> &setValue);

// A file's values as a model's rows, as loading it into the page leaves them, without widgets.
struct FileRows {
    bool sameModel = true; // false: a "MODEL=" line names another model (nothing else is valid)
    bool hubaMode = false; // the range group after the file's lines
    QList<RowValue> rows;  // one per row of the model; empty where the file has no value
    // Rows whose value lies outside the row's range in the group in effect when it was loaded or
    // at a later group switch (the page would limit them to the range), in row order.
    QList<int> outOfRange;
};
// Values are rounded to the decimals of the row's group, as the page's boxes hold them.
// `hubaMode` is the group before the first line.
FileRows fileRows(StoveModel model, const QList<Line> &lines, bool hubaMode);

} // namespace paramfile
