// hbctl: the board operations of Hearth Bench without a window, for scripts, remote shells and
// production lines. One program, subcommands; the same link, detection and parameter sequences as
// the window.
#include "app/settings.h"
#include "app/texts.h"
#include "commands.h"

#include <QCoreApplication>
#include <QHash>

#include <cstdio>

const QList<Command> &commands() {
    static const QList<Command> table{
        {{QStringLiteral("identify")},
         {},
         QStringLiteral("model, firmware version and revision of the board"),
         {},
         0,
         &identify},
        {{QStringLiteral("params"), QStringLiteral("read")},
         QStringLiteral("[-o FILE.prm]"),
         QStringLiteral("all parameters of the board into a parameter file, or as a table"),
         {QStringLiteral("output")},
         0,
         &paramsRead},
        {{QStringLiteral("params"), QStringLiteral("write")},
         QStringLiteral("FILE.prm [--store] [--allow-link-stop]"),
         QStringLiteral("the file's parameters to the board (Set all), then stored with --store"),
         {QStringLiteral("store"), QStringLiteral("allow-link-stop")},
         1,
         &paramsWrite},
        {{QStringLiteral("params"), QStringLiteral("diff")},
         QStringLiteral("FILE.prm"),
         QStringLiteral("the parameters whose file value differs from the board's"),
         {},
         1,
         &paramsDiff},
        {{QStringLiteral("monitor")},
         QStringLiteral("[--interval S] [--csv FILE] [--duration D] [--max-silence S]"),
         QStringLiteral(
             "the board's live values as the monitor page shows them, recorded as it records them"),
         {QStringLiteral("interval"), QStringLiteral("csv"), QStringLiteral("duration"),
          QStringLiteral("max-silence")},
         0,
         &monitor},
        {{QStringLiteral("flash")},
         QStringLiteral("FILE.mot --board MODEL [--eeprom] [--backup FILE.prm]"),
         QStringLiteral(
             "update the board's firmware through its boot loader, read back up to the board's limit"),
         {QStringLiteral("board"), QStringLiteral("eeprom"), QStringLiteral("backup")},
         1,
         &flash},
    };
    return table;
}

namespace {

const QStringList kLinkOptions{QStringLiteral("port"), QStringLiteral("proxy"), QStringLiteral("baud"),
                               QStringLiteral("delay"), QStringLiteral("json")};
const QHash<QString, QString> kShortNames{{QStringLiteral("p"), QStringLiteral("port")},
                                          {QStringLiteral("b"), QStringLiteral("baud")},
                                          {QStringLiteral("d"), QStringLiteral("delay")},
                                          {QStringLiteral("o"), QStringLiteral("output")}};

QString helpText() {
    QString text = QStringLiteral(
        "hbctl - Hearth Bench without a window: identify a stove board, read, write and compare its\n"
        "parameters, watch and record its live values, update its firmware.\n\n"
        "Usage: hbctl [OPTIONS] COMMAND [ARGUMENTS]\n\n"
        "Commands:\n");
    for (const Command &c : commands()) {
        QString line = QStringLiteral("  ") + c.words.join(QLatin1Char(' '));
        if (!c.synopsis.isEmpty()) line += QLatin1Char(' ') + c.synopsis;
        text += line + QLatin1Char('\n');
        text += QStringLiteral("        ") + c.summary + QLatin1Char('\n');
    }
    text += QStringLiteral(
        "\nOptions:\n"
        "  -p, --port PORT     COM1..COM16 (default COM1) or the path of a serial device\n"
        "      --proxy A.B.C.D through the TCP serial proxy at this address (port 1996);\n"
        "                      PORT is then the proxy's COM port\n"
        "  -b, --baud RATE     9600 (default), 19200, 38400, 57600 or 115200\n"
        "  -d, --delay MS      read time-out of the link, 10..32767 ms (default 20)\n"
        "      --json          results as JSON on standard output\n"
        "  -o, --output FILE   params read: write the parameters to FILE (.prm)\n"
        "      --store         params write: store the parameters permanently on the board\n"
        "      --allow-link-stop\n"
        "                      params write: write \"Enable SMS Modem\" = 1, after which the board\n"
        "                      no longer answers on this link\n"
        "      --interval S    monitor: one line every S seconds, 1..3599 (default 10)\n"
        "      --csv FILE      monitor: append the lines to FILE in the recording format\n"
        "                      (a \"MODEL=\" line and the column line first)\n"
        "      --duration D    monitor: stop after D of recording: seconds, or a number with s, m\n"
        "                      or h (\"90\", \"15m\", \"2h\"); else until interrupted (Ctrl+C)\n"
        "      --max-silence S monitor: end with status 3 when the board has sent no value for S\n"
        "                      seconds, 1..3600 (default 30); a value not sent again for 5 s is\n"
        "                      shown as missing (--, null, an empty field)\n"
        "      --board MODEL   flash: Basic, \"Text Panel Water/Air\" or \"Touch Panel Water/Air\"\n"
        "                      (any letter case; also basic, text, touch)\n"
        "      --eeprom        flash: erase the data area (sectors 10 and 11) too\n"
        "      --backup FILE   flash: save the board's parameters to FILE (.prm) first; the\n"
        "                      board must then answer in normal mode\n"
        "  -h, --help          this text\n"
        "      --version       the program's version\n\n"
        "Progress goes to standard error when it is a terminal; errors are one line on standard error.\n\n"
        "Exit status:\n"
        "  0  done (params diff: no differences)\n"
        "  1  params diff: the file and the board differ\n"
        "  2  usage or bad input: unknown command, option or port, unreadable file, file of another\n"
        "     model or not passing the check (a missing or out-of-range value), params diff: a file\n"
        "     with no value to compare; nothing was written\n"
        "  3  link: the port does not open, the board is silent or is no known model, the boot\n"
        "     loader does not answer; monitor: the board stopped answering (--max-silence)\n"
        "  4  the board refused a value or did not confirm storing; flash: the board did not\n"
        "     confirm its switch into the boot loader, an erase or a write failed, the read-back\n"
        "     differs (the error count and the first differing address are named), or the update\n"
        "     was interrupted\n");
    return text;
}

void addOptions(QCommandLineParser &parser) {
    const auto valued = [&](const QStringList &names, const char *value) {
        parser.addOption(QCommandLineOption(names, QString(), QString::fromLatin1(value)));
    };
    const auto flag = [&](const QStringList &names) { parser.addOption(QCommandLineOption(names)); };
    valued({QStringLiteral("p"), QStringLiteral("port")}, "port");
    valued({QStringLiteral("proxy")}, "address");
    valued({QStringLiteral("b"), QStringLiteral("baud")}, "rate");
    valued({QStringLiteral("d"), QStringLiteral("delay")}, "ms");
    flag({QStringLiteral("json")});
    flag({QStringLiteral("h"), QStringLiteral("help")});
    flag({QStringLiteral("version")});
    valued({QStringLiteral("o"), QStringLiteral("output")}, "file");
    flag({QStringLiteral("store")});
    flag({QStringLiteral("allow-link-stop")});
    valued({QStringLiteral("interval")}, "seconds");
    valued({QStringLiteral("csv")}, "file");
    valued({QStringLiteral("duration")}, "duration");
    valued({QStringLiteral("max-silence")}, "seconds");
    valued({QStringLiteral("board")}, "model");
    valued({QStringLiteral("backup")}, "file");
    flag({QStringLiteral("eeprom")});
}

// The command whose words start the positional arguments, longest first.
const Command *findCommand(const QStringList &positional) {
    const Command *found = nullptr;
    for (const Command &c : commands())
        if (positional.mid(0, c.words.size()) == c.words && (!found || c.words.size() > found->words.size()))
            found = &c;
    return found;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    setApplicationIdentity();
    QCoreApplication::setApplicationName(QStringLiteral("hbctl"));
    useDefaultTexts();

    QCommandLineParser parser;
    addOptions(parser);
    Context context{parser, {}, false, {}};
    if (!parser.parse(QCoreApplication::arguments())) {
        context.json = QCoreApplication::arguments().contains(QStringLiteral("--json"));
        return fail(context, ExitUsage, parser.errorText() + QStringLiteral(" (hbctl --help)"));
    }
    context.json = parser.isSet(QStringLiteral("json"));
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(helpText().toLocal8Bit().constData(), stdout);
        return ExitOk;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        printLine(QStringLiteral("hbctl %1").arg(QString::fromLatin1(applicationVersion)));
        return ExitOk;
    }

    const QStringList positional = parser.positionalArguments();
    const Command *command = findCommand(positional);
    if (command == nullptr)
        return fail(context, ExitUsage,
                    positional.isEmpty() ? QStringLiteral("no command given (hbctl --help)")
                                         : QStringLiteral("unknown command \"%1\" (hbctl --help)")
                                               .arg(positional.join(QLatin1Char(' '))));
    const QString name = command->words.join(QLatin1Char(' '));
    for (const QString &option : parser.optionNames()) {
        const QString longName = kShortNames.value(option, option);
        if (!kLinkOptions.contains(longName) && !command->options.contains(longName))
            return fail(context, ExitUsage, QStringLiteral("%1 takes no option --%2").arg(name, longName));
    }
    context.arguments = positional.mid(command->words.size());
    if (context.arguments.size() != command->files)
        return fail(context, ExitUsage,
                    QStringLiteral("usage: hbctl %1 %2").arg(name, command->synopsis).trimmed());

    QString error;
    const auto link = parseLinkOptions(parser, &error);
    if (!link) return fail(context, ExitUsage, error);
    context.link = *link;
    return command->run(context);
}
