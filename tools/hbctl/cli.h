// What every subcommand of hbctl shares: exit codes, the command-line options of the link, output
// on standard output (text or JSON), one-line errors, the progress bar, and the board session.
#pragma once

#include "board/boardlink.h"
#include "board/stovemodel.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QSocketNotifier;

// The exit status of hbctl (documented in --help and README.md).
enum ExitCode {
    ExitOk = 0,
    ExitDifferences = 1, // params diff: the file and the board differ
    ExitUsage = 2,       // bad command line or bad input (port name, file)
    ExitLink = 3,        // the port does not open, the board is silent or not a known model
    ExitRefused = 4,     // the board refused a value or did not confirm storing
};

// Where and how the link is opened.
struct LinkOptions {
    int com = 0;    // port index 0..15
    QString name;   // as the user named it: "COM3", a device path
    QString device; // a device path, bound to the port index through the link library's environment
    std::optional<std::array<int, 4>> proxy;
    LinkSettings settings;
};

struct Context {
    QCommandLineParser &parser;
    QStringList arguments; // the command's own arguments (after its words)
    bool json = false;
    LinkOptions link;
};

// Prints "hbctl: <message>" on standard error (and, with --json, {"error", "exit"} on standard
// output); returns `code`.
int fail(const Context &context, ExitCode code, const QString &message);
// Standard output.
void printJson(const QJsonObject &object);
// One object on one line (JSON lines, for commands that report as they go).
void printJsonLine(const QJsonObject &object);
void printLine(const QString &line);
// A message for a person at a terminal (standard error, only when it is a terminal).
void note(const QString &line);

// Parses --port, --proxy, --baud and --delay; nothing (and `error` set) when one is wrong.
std::optional<LinkOptions> parseLinkOptions(const QCommandLineParser &parser, QString *error);

// The board on the open link, identified.
struct Board {
    BoardLink link;
    StoveModel model = StoveModel::Unknown;
    QString identity;
    QString modelText; // the long name in upper case, "UNKNOWN" for a model not known
    QString version;   // as the window shows it, without the blank of a leading zero
    QString revision;  // "dd/dd/dd"
};

// Opens the link and reads the identity, as the window's first page entry does. On failure the
// error has been reported and the exit code is returned.
std::optional<int> openBoard(const Context &context, Board &board, bool needKnownModel);
// The two steps of openBoard: the link alone (the error reported on failure), and the identity,
// false when the board does not answer.
std::optional<int> openLink(const Context &context, Board &board);
bool detectBoard(Board &board);
// Reports a board that does not answer, in the window's words; returns ExitLink.
int failSilent(const Context &context);
// Reports a board that answered with a model no catalogue knows; returns ExitLink.
int failUnknownModel(const Context &context, const Board &board);

// A progress bar with the time left on standard error, drawn only when it is a terminal. `unit`
// follows the counts ("bytes").
class Progress {
public:
    Progress(const QString &label, int total, const QString &unit = {});
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;
    void update(int done);

private:
    QString m_label;
    QString m_unit;
    int m_total;
    bool m_shown;
    QElapsedTimer m_clock;
};

// While it lives, SIGINT and SIGTERM do not kill the program inside a board exchange: they set a flag
// that long commands look at between exchanges, and wake the event loop to run the handler given.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // True once one of the signals arrived.
    static bool raised();
    // Runs `stop` on the event loop when a signal arrives.
    void onRaised(const std::function<void()> &stop);

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};
