// hbctl params read / write / diff: the parameters of the board against parameter files, through
// the same sequences as the window's View all, Set all and "Compare with board".
#include "app/texts.h"
#include "commands.h"
#include "parameters/boardrows.h"
#include "parameters/boardtransfer.h"
#include "parameters/catalogue.h"
#include "parameters/parameterfile.h"

#include <QFile>
#include <QJsonArray>

#include <algorithm>

namespace {

// Board errors name at most this many parameters.
constexpr int kNamedAtMost = 5;

QString rowName(StoveModel model, bool hubaMode, int position) {
    return parameterName(descriptor(model, position), hubaMode, textAt);
}

QString unitOf(StoveModel model, bool hubaMode, int position) {
    return unitLabel(activeRange(descriptor(model, position), hubaMode).unit, textAt);
}

QString codes(StoveModel model, const QList<int> &positions) {
    QStringList list;
    for (int i = 0; i < positions.size() && i < kNamedAtMost; ++i)
        list.append(parameterCode(descriptor(model, positions[i])));
    if (positions.size() > kNamedAtMost) list.append(QStringLiteral("..."));
    return list.join(QStringLiteral(", "));
}

// Prints rows of cells with the columns aligned (the last one unpadded).
void printTable(const QList<QStringList> &rows) {
    QList<qsizetype> widths;
    for (const QStringList &row : rows)
        for (int c = 0; c < row.size(); ++c) {
            if (c >= widths.size()) widths.append(0);
            widths[c] = std::max(widths[c], row[c].size());
        }
    for (const QStringList &row : rows) {
        QString line;
        for (int c = 0; c < row.size(); ++c)
            line += c + 1 < row.size() ? row[c].leftJustified(widths[c] + 2) : row[c];
        printLine(line);
    }
}

// Reads and splits a parameter file, bounded like the window's loader.
std::optional<QList<paramfile::Line>> readParameterFile(const Context &context, const QString &path,
                                                        int &exit) {
    QFile file(path);
    std::optional<QList<paramfile::Line>> lines;
    if (file.open(QIODevice::ReadOnly)) lines = paramfile::parse(file.read(paramfile::kMaxFileBytes + 1));
    if (!lines)
        exit = fail(context, ExitUsage, QStringLiteral("%1 %2").arg(textAt(Text::CannotReadFile), path));
    return lines;
}

// The file's values as the board's rows; a file of another model is refused.
std::optional<paramfile::FileRows> rowsOfFile(const Context &context, const Board &board,
                                              const QList<paramfile::Line> &lines, const QString &path,
                                              int &exit) {
    paramfile::FileRows rows = paramfile::fileRows(board.model, lines, false);
    if (rows.sameModel) return rows;
    QString named;
    for (const paramfile::Line &line : lines)
        if (const auto *m = std::get_if<paramfile::ModelLine>(&line); m && named.isEmpty()) named = m->name;
    exit = fail(context, ExitUsage,
                QStringLiteral("%1: %2 (file %3, board %4)")
                    .arg(path, textAt(Text::FileNotCompatible), named, board.modelText));
    return std::nullopt;
}

// A file whose "HUBA=" line disagrees with its own group selector holds values of one range group
// that writing would convert in the other (smoke depressure 1110 RPM would go out as 1010 Pa and
// reach the board cut to three digits): refused.
bool groupsAgree(const Context &context, StoveModel model, const paramfile::FileRows &file,
                 const QString &path, int &exit) {
    const auto selector = groupSelectorPosition(model);
    if (!selector || file.rows[*selector].empty || (file.rows[*selector].value == 2) == file.hubaMode)
        return true;
    const ParameterDescriptor &d = descriptor(model, *selector);
    exit = fail(context, ExitUsage,
                QStringLiteral("%1: HUBA=%2 does not match %3=%4 (%5)")
                    .arg(path, file.hubaMode ? QStringLiteral("1") : QStringLiteral("0"), parameterCode(d),
                         valueText(d, file.hubaMode, file.rows[*selector].value),
                         rowName(model, file.hubaMode, *selector).trimmed()));
    return false;
}

// The file read and checked against the identified board: readable, of the board's model, its
// range group agreeing with its selector. The file is read first, so a bad one costs no link.
std::optional<paramfile::FileRows> boardAndFile(const Context &context, Board &board, const QString &path,
                                                int &exit) {
    const auto lines = readParameterFile(context, path, exit);
    if (!lines) return std::nullopt;
    if (const auto failed = openBoard(context, board, true)) {
        exit = *failed;
        return std::nullopt;
    }
    auto file = rowsOfFile(context, board, *lines, path, exit);
    if (!file || !groupsAgree(context, board.model, *file, path, exit)) return std::nullopt;
    return file;
}

// Reads every row of the board, each flags word once. The first row the board does not answer
// ends the reading: a board gone silent would otherwise cost every row all its attempts.
std::optional<QList<RawValue>> readBoard(const Context &context, Board &board, int &exit) {
    std::optional<int> silent;
    QList<RawValue> raw;
    {
        Progress progress(QStringLiteral("Reading"), parameterCount(board.model));
        raw = readRows(
            board.link, board.model, FlagsWords::ReadOnce, [&](int) { return !silent; },
            [&](int row, const RawValue &value) {
                if (!value) silent = row;
                progress.update(row + 1);
            });
    }
    if (!silent) return raw;
    exit = fail(context, ExitLink,
                QStringLiteral("%1 (%2): no answer for %3")
                    .arg(textAt(Text::NoResponseError), context.link.name,
                         parameterCode(descriptor(board.model, *silent))));
    return std::nullopt;
}

} // namespace

int paramsRead(Context &context) {
    const QString output = context.parser.value(QStringLiteral("output"));
    Board board;
    if (const auto failed = openBoard(context, board, true)) return *failed;
    int exit = ExitOk;
    const auto raw = readBoard(context, board, exit);
    if (!raw) return exit;
    const StoveModel model = board.model;
    // The range group is the one the board's own selector chooses, as the window's first entry finds.
    const bool huba = boardHubaMode(model, *raw, true);
    QList<double> values;
    for (int i = 0; i < raw->size(); ++i)
        values.append(rowValue(descriptor(model, i), huba, *(*raw)[i]));
    if (!output.isEmpty() &&
        !paramfile::writeFile(output, paramfile::format(model, board.version, huba, values)))
        return fail(context, ExitUsage, QStringLiteral("%1 %2").arg(textAt(Text::FileWritingError), output));

    if (context.json) {
        QJsonArray parameters;
        for (int i = 0; i < values.size(); ++i)
            parameters.append(QJsonObject{{QStringLiteral("code"), parameterCode(descriptor(model, i))},
                                          {QStringLiteral("name"), rowName(model, huba, i)},
                                          {QStringLiteral("value"), values[i]},
                                          {QStringLiteral("unit"), unitOf(model, huba, i)}});
        printJson({{QStringLiteral("model"), board.modelText},
                   {QStringLiteral("firmware"), board.version},
                   {QStringLiteral("huba"), huba},
                   {QStringLiteral("file"), output.isEmpty() ? QJsonValue() : QJsonValue(output)},
                   {QStringLiteral("parameters"), parameters}});
    } else if (output.isEmpty()) {
        QList<QStringList> table;
        for (int i = 0; i < values.size(); ++i) {
            const ParameterDescriptor &d = descriptor(model, i);
            table.append({parameterCode(d), rowName(model, huba, i), valueText(d, huba, values[i]),
                          unitOf(model, huba, i)});
        }
        printTable(table);
    } else {
        note(QStringLiteral("%1 parameters of the %2 board saved to %3")
                 .arg(values.size())
                 .arg(board.modelText, output));
    }
    return ExitOk;
}

int paramsWrite(Context &context) {
    const QString path = context.arguments.value(0);
    Board board;
    int exit = ExitOk;
    auto file = boardAndFile(context, board, path, exit);
    if (!file) return exit;
    const StoveModel model = board.model;

    // The check of Set all: every row has a value, and a value that stops the service link needs
    // consent, given here on the command line. Nothing is written unless the whole file passes.
    const bool consent = context.parser.isSet(QStringLiteral("allow-link-stop"));
    QList<int> refusedConsent;
    const CheckResult check = checkRows(model, file->rows, file->hubaMode, [&](int i) {
        if (!consent) refusedConsent.append(i);
        return consent;
    });
    if (check.outcome == CheckResult::EmptyRow)
        return fail(context, ExitUsage,
                    QStringLiteral("%1: %2 %3 %4")
                        .arg(path, parameterCode(descriptor(model, check.emptyRow)),
                             rowName(model, file->hubaMode, check.emptyRow), textAt(Text::Wrong).toLower()));
    if (!file->outOfRange.isEmpty()) {
        const int i = file->outOfRange.first();
        const ParameterDescriptor &d = descriptor(model, i);
        const DisplayRange range = displayRange(d, file->hubaMode);
        return fail(context, ExitUsage,
                    QStringLiteral("%1: %2=%3 (%4) is outside %5..%6")
                        .arg(path, parameterCode(d), valueText(d, file->hubaMode, file->rows[i].value),
                             rowName(model, file->hubaMode, i), valueText(d, file->hubaMode, range.lo),
                             valueText(d, file->hubaMode, range.hi)));
    }
    if (check.outcome == CheckResult::Cancelled) {
        const int i = refusedConsent.first();
        return fail(context, ExitUsage,
                    QStringLiteral("%1: %2 (%3) = 1 stops the board answering on this link; "
                                   "add --allow-link-stop to write it")
                        .arg(path, parameterCode(descriptor(model, i)), rowName(model, file->hubaMode, i)));
    }

    QList<double> values;
    for (const RowValue &row : file->rows)
        values.append(row.value);
    const QList<BoardWrite> writes = composeWrites(model, values, check.hubaMode);
    QList<int> refused;
    {
        Progress progress(QStringLiteral("Writing"), static_cast<int>(writes.size()));
        writeBoardParameters(board.link, writes, {}, [&](int k, bool ok) {
            if (!ok) refused.append(writes[k].positions.first());
            progress.update(k + 1);
        });
    }
    // A partly written set is not stored: the board keeps its stored copy whole.
    if (!refused.isEmpty())
        return fail(context, ExitRefused,
                    QStringLiteral("%1: %2 (%3 of %4 board parameters); nothing stored")
                        .arg(textAt(Text::ParametersNotCorrectlySet), codes(model, refused))
                        .arg(refused.size())
                        .arg(writes.size()));
    const bool store = context.parser.isSet(QStringLiteral("store"));
    if (store && !storeBoardParameters(board.link, retry::storeOnce))
        return fail(context, ExitRefused, QStringLiteral("%1 (SAVEPAR)").arg(textAt(Text::NoResponseError)));

    if (context.json)
        printJson({{QStringLiteral("file"), path},
                   {QStringLiteral("model"), board.modelText},
                   {QStringLiteral("written"), static_cast<int>(writes.size())},
                   {QStringLiteral("stored"), store}});
    else
        note(QStringLiteral("%1 board parameters of the %2 board written from %3%4")
                 .arg(writes.size())
                 .arg(board.modelText, path,
                      store ? QStringLiteral(" and stored") : QStringLiteral(", not stored")));
    return ExitOk;
}

int paramsDiff(Context &context) {
    const QString path = context.arguments.value(0);
    Board board;
    int exit = ExitOk;
    const auto file = boardAndFile(context, board, path, exit);
    if (!file) return exit;
    // A file without a value for any of the board's parameters compares nothing: "no differences"
    // would be a claim about no parameter at all.
    if (std::all_of(file->rows.cbegin(), file->rows.cend(), [](const RowValue &row) { return row.empty; }))
        return fail(context, ExitUsage,
                    QStringLiteral("%1: no value for any parameter of the %2 board, nothing to compare")
                        .arg(path, board.modelText));
    const auto raw = readBoard(context, board, exit);
    if (!raw) return exit;
    const StoveModel model = board.model;
    const bool huba = file->hubaMode;
    const Comparison comparison = compareRows(model, file->rows, *raw, huba);

    if (context.json) {
        QJsonArray different;
        for (const RowDifference &d : comparison.differences) {
            const ParameterDescriptor &entry = descriptor(model, d.position);
            different.append(QJsonObject{{QStringLiteral("code"), parameterCode(entry)},
                                         {QStringLiteral("name"), rowName(model, huba, d.position)},
                                         {QStringLiteral("file"), d.value},
                                         {QStringLiteral("board"), d.board},
                                         {QStringLiteral("unit"), unitOf(model, huba, d.position)}});
        }
        printJson({{QStringLiteral("file"), path},
                   {QStringLiteral("model"), board.modelText},
                   {QStringLiteral("compared"), comparison.compared},
                   {QStringLiteral("notInFile"), comparison.withoutValue},
                   {QStringLiteral("different"), different}});
    } else {
        QList<QStringList> table;
        for (const RowDifference &d : comparison.differences) {
            const ParameterDescriptor &entry = descriptor(model, d.position);
            table.append({parameterCode(entry), rowName(model, huba, d.position),
                          valueText(entry, huba, d.value), valueText(entry, huba, d.board),
                          unitOf(model, huba, d.position)});
        }
        printTable(table);
        note(QStringLiteral("%1 of %2 parameters compared, %3 different")
                 .arg(comparison.compared)
                 .arg(parameterCount(model))
                 .arg(comparison.differences.size()));
    }
    return comparison.differences.isEmpty() ? ExitOk : ExitDifferences;
}
