// The hbctl program as a script runs it: its output, its exit status and what reaches the board,
// against the simulator, a scripted board and a scripted proxy.
#include "app/texts.h"
#include "child_process.h"
#include "defaults.h"
#include "helpers.h"
#include "monitor/monitorvalues.h"
#include "monitor/recording.h"
#include "parameters/catalogue.h"
#include "parameters/parameterfile.h"
#include "simboard.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

using hbtest::readFile;
using hbtest::ScriptedBoard;
using hbtest::Simulator;
using hbtest::writeFile;

namespace {

struct Result {
    int exit = -1;
    QString out;
    QString err;
};

// Runs hbctl with the link at 19200 baud (reads that time out last half as long as at 9600; the
// exchanges are the same).
Result hbctl(const QStringList &arguments) {
    QProcess process;
    process.start(QStringLiteral(HB_HBCTL), QStringList{"--baud", "19200"} + arguments);
    process.waitForFinished(110000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

QJsonObject json(const Result &r) {
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

// The exit status and standard error of a run, as one text: "2 hbctl: ...\n", "0 " for a clean run.
QString status(const Result &r) {
    return QString::number(r.exit) + ' ' + r.err;
}

// The file that hbctl writes for what the simulator holds now: each row's board value as the row
// shows it, in the group the board's selector chooses.
QByteArray fileOfBoard(Simulator &sim, StoveModel model, const QString &firmware) {
    const int selector = *groupSelectorPosition(model);
    const ParameterDescriptor &s = descriptor(model, selector);
    const bool huba = sim.boardValue(s.table, s.boardIndex) == 2;
    QList<double> values;
    for (int i = 0; i < parameterCount(model); ++i) {
        const ParameterDescriptor &d = descriptor(model, i);
        values.append(rowValue(d, huba, std::int16_t(sim.boardValue(d.table, d.boardIndex))));
    }
    return paramfile::format(model, firmware, huba, values);
}

using admintest::pattern;

// A firmware file for the boot loader with these records.
QByteArray firmwareFile(const std::vector<admintest::Block> &records) {
    return QByteArray::fromStdString(admintest::motFile(records));
}

// The program area (sectors 0 and 1) of the simulator's flash now, and after erasing it and writing
// the records.
admintest::Bytes programArea(Simulator &sim) {
    const admintest::Bytes flash = sim.flash();
    return admintest::Bytes(flash.begin(), flash.begin() + std::min<std::ptrdiff_t>(flash.size(), 0x20000));
}
admintest::Bytes programmed(const std::vector<admintest::Block> &records) {
    admintest::Bytes image(0x20000, 0xFF);
    for (const admintest::Block &r : records)
        std::copy(r.data.begin(), r.data.end(), image.begin() + r.address);
    return image;
}

// The requests the simulator received, without their CR.
QStringList requests(const Simulator &sim) {
    QStringList out;
    for (const std::string &request : sim.requests())
        out.append(QString::fromLatin1(request.data(), qsizetype(request.size())).remove('\r'));
    return out;
}

} // namespace

class HbctlTest : public QObject {
    Q_OBJECT

    hbtest::CleanSlate *sandbox = nullptr;
    QString path(const char *name) const { return sandbox->workPath() + '/' + name; }

private slots:
    void initTestCase() { useDefaultTexts(); }
    void init() { sandbox = new hbtest::CleanSlate; }
    void cleanup() {
        delete sandbox;
        sandbox = nullptr;
    }

    // Bad command lines and ports: one line on standard error, status 2; a port that does not open
    // or a silent board: status 3. With --json the error is also on standard output.
    void usageAndLinkErrors() {
        const struct {
            QStringList arguments;
            int exit;
            QString error;
        } cases[] = {
            {{}, 2, "no command given (hbctl --help)"},
            {{"frobnicate"}, 2, "unknown command \"frobnicate\" (hbctl --help)"},
            {{"params"}, 2, "unknown command \"params\" (hbctl --help)"},
            {{"identify", "--store"}, 2, "identify takes no option --store"},
            {{"params", "read", "-o"}, 2, "Missing value after '-o'. (hbctl --help)"},
            {{"params", "write"}, 2, "usage: hbctl params write FILE.prm [--store] [--allow-link-stop]"},
            {{"--baud", "1200", "identify"}, 2, "bad baud rate 1200 (9600, 19200, 38400, 57600 or 115200)"},
            {{"--delay", "5", "identify"}, 2, "bad delay 5 (10..32767 ms)"},
            {{"--port", "COM17", "identify"},
             2,
             "unknown port COM17 (COM1..COM16 or the path of a serial device)"},
            {{"--port", "/nonexistent/tty", "identify"},
             2,
             "unknown port /nonexistent/tty (COM1..COM16 or the path of a serial device)"},
            {{"--proxy", "10.0.0.256", "identify"}, 2, "bad proxy address 10.0.0.256 (A.B.C.D)"},
            {{"monitor", "--interval", "0"}, 2, "bad interval 0 (whole seconds, 1..3599)"},
            {{"monitor", "--duration", "5x"}, 2, "bad duration 5x (seconds, or a number with s, m or h)"},
            {{"monitor", "--max-silence", "0"}, 2, "bad max-silence 0 (whole seconds, 1..3600)"},
            {{"flash", "fw.mot"},
             2,
             "flash needs --board MODEL (Basic, Text Panel Water/Air, Touch Panel Water/Air)"},
            {{"flash", "fw.mot", "--board", "WATER"},
             2,
             "unknown board model WATER (Basic, Text Panel Water/Air, Touch Panel Water/Air)"},
            {{"--port", "COM2", "identify"}, 3, "Error opening serial COM2"},
        };
        for (const auto &c : cases) {
            const Result r = hbctl(c.arguments);
            QCOMPARE(status(r), QString::number(c.exit) + " hbctl: " + c.error + "\n");
            QVERIFY(r.out.isEmpty());
        }
        const Result r = hbctl({"--json", "--port", "COM17", "identify"});
        QCOMPARE(json(r).value("exit").toInt(), 2);
        QVERIFY(json(r).value("error").toString().startsWith("unknown port COM17"));

        const Result help = hbctl({"--help"});
        QCOMPARE(help.exit, 0);
        QVERIFY(help.out.contains("params diff FILE.prm"));
        QVERIFY(help.out.contains("Exit status:"));

        Simulator silent({"--no-pacing", "--silent-after", "0"});
        QVERIFY(silent.ok());
        const Result s = hbctl({"identify"});
        QCOMPARE(status(s),
                 QStringLiteral("3 hbctl: Communication error with the board (COM1). Make sure: the card is "
                                "powered; the board is connected; to disable the technical parameter "
                                "\"enable sms modem\".\n"));
    }

    // The identity as the window shows it, on a COM port, on a device path and through a proxy.
    void identifyByPortPathAndProxy() {
        Simulator sim({"--model", "water", "--no-pacing", "--firmware", "01.23", "--revision", "150911"});
        QVERIFY(sim.ok());
        Result r = hbctl({"identify"});
        QCOMPARE(r.exit, 0);
        QCOMPARE(r.out, QStringLiteral("Model       WATER\nFW Version  1.23\nRevision    15/09/11\n"));
        QVERIFY(r.err.isEmpty());

        hbtest::unbindAllPorts();
        const QString path = QString::fromStdString(sim.path());
        r = hbctl({"--json", "--port", path, "identify"});
        QCOMPARE(r.exit, 0);
        const QJsonObject o = json(r);
        QCOMPARE(o.value("model").toString(), QStringLiteral("WATER"));
        QCOMPARE(o.value("firmware").toString(), QStringLiteral("1.23"));
        QCOMPARE(o.value("revision").toString(), QStringLiteral("15/09/11"));
        QCOMPARE(o.value("identity").toString(), QStringLiteral("WATER      01.23150911"));
        QCOMPARE(o.value("port").toString(), path);

        // Through the proxy server, which serves the simulator's terminal as whatever port is asked.
        hbsupport::ChildProcess proxy(HB_PYROPROXY, {"--device", sim.path(), "--port", "0"});
        const std::string listening = proxy.waitForError(" on 127.0.0.1:").value_or("");
        QVERIFY2(!listening.empty(), proxy.errorText().c_str());
        qputenv("PYROLINK_PROXY_PORT", QByteArray::fromStdString(listening.substr(listening.rfind(':') + 1)));
        r = hbctl({"--proxy", "127.0.0.1", "--port", "COM3", "identify"});
        qunsetenv("PYROLINK_PROXY_PORT");
        QCOMPARE(r.exit, 0);
        QVERIFY(r.out.startsWith("Model       WATER\n"));
        QVERIFY(proxy.waitForError("opened COM3 at 19200 baud"));
    }

    // A file read from the board writes back and compares equal; the board stores it on --store.
    void readWriteDiffRoundTrip() {
        Simulator sim({"--model", "basic", "--no-pacing"}, {.transcript = true});
        QVERIFY(sim.ok());
        QVERIFY(sim.control("set gen 1 30").starts_with("ok"));
        QVERIFY(sim.control("set tec 4 5").starts_with("ok"));
        const QByteArray expected = fileOfBoard(sim, StoveModel::Basic, "2.07");
        const QString file = path("board.prm");
        Result r = hbctl({"params", "read", "-o", file});
        QCOMPARE(r.exit, 0);
        QVERIFY(r.out.isEmpty());
        QVERIFY(r.err.isEmpty()); // not a terminal: no progress
        QCOMPARE(readFile(file), expected);
        QVERIFY(expected.contains("\r\nPG1=30\r\n"));
        QVERIFY(expected.contains("HUBA=1\r\n"));
        // One read per board parameter: the flags word PT4..PT7 once.
        QCOMPARE(requests(sim).filter("READ").size(), 34 + 4);

        QVERIFY(sim.control("set gen 1 10").starts_with("ok"));
        QVERIFY(sim.control("set tec 4 0").starts_with("ok"));
        r = hbctl({"--json", "params", "write", file, "--store"});
        QCOMPARE(r.exit, 0);
        QCOMPARE(json(r).value("written").toInt(), 38);
        QVERIFY(json(r).value("stored").toBool());
        QCOMPARE(sim.boardValue(0, 1), 30);
        QCOMPARE(sim.boardValue(1, 4), 5);
        const QStringList sent = requests(sim);
        QCOMPARE(sent.filter("WR").size(), 38);
        QCOMPARE(sent.last(), QStringLiteral("SAVEPAR"));

        r = hbctl({"params", "diff", file});
        QCOMPARE(r.exit, 0);
        QVERIFY(r.out.isEmpty());
    }

    // Only the rows that differ, with both values and the unit; status 1. A terminal sees a progress
    // bar with the time left.
    void diffListsChangedRows() {
        Simulator sim({"--model", "basic", "--no-pacing"});
        QVERIFY(sim.ok());
        QByteArray content = fileOfBoard(sim, StoveModel::Basic, "2.07");
        content.replace("\r\nPG1=18\r\n", "\r\nPG1=25\r\n");
        content.replace("\r\nPG24=4.0\r\n", "\r\nPG24=5.5\r\n");
        content.replace("\r\nPT5=1\r\n", "\r\nPT5=0\r\n");
        content.replace("\r\nPG3=45\r\n", "\r\n"); // a row the file lacks is not compared
        const QString file = path("changed.prm");
        writeFile(file, content);
        Result r = hbctl({"--json", "params", "diff", file});
        QCOMPARE(r.exit, 1);
        QVERIFY(r.err.isEmpty());
        const QJsonObject o = json(r);
        QCOMPARE(o.value("compared").toInt(), 40);
        QCOMPARE(o.value("notInFile").toInt(), 1);
        const QJsonArray different = o.value("different").toArray();
        QCOMPARE(different.size(), 3);
        QCOMPARE(different[0].toObject(), (QJsonObject{{"code", "PG1"},
                                                       {"name", "Maximum ignition time"},
                                                       {"file", 25},
                                                       {"board", 18},
                                                       {"unit", "[min]"}}));
        QCOMPARE(different[1].toObject().value("code").toString(), QStringLiteral("PG24"));
        QCOMPARE(different[1].toObject().value("board").toDouble(), 4.0);
        QCOMPARE(different[2].toObject().value("code").toString(), QStringLiteral("PT5"));

        // On a terminal (script gives hbctl one): the same rows as text, and the progress bar.
        QProcess script;
        script.start("script",
                     {"-qec", QStringList{HB_HBCTL, "--baud", "19200", "params", "diff", file}.join(' '),
                      "/dev/null"});
        QVERIFY(script.waitForFinished(110000));
        QCOMPARE(script.exitCode(), 1);
        const QString screen = QString::fromLocal8Bit(script.readAllStandardOutput());
        QVERIFY2(screen.contains(QRegularExpression("Reading \\[#+\\] 41/41  0:00 left")),
                 qPrintable(screen));
        QVERIFY(screen.contains(QRegularExpression("\nPG1 +Maximum ignition time +25 +18 +\\[min\\]\r\n")));
        QVERIFY(screen.contains(QRegularExpression("\nPG24 +Total cochlea time +5.5 +4.0 +\\[sec\\]\r\n")));
        QVERIFY(screen.contains("40 of 41 parameters compared, 3 different"));
    }

    // Nothing reaches the board from a file that does not pass: another model, unreadable, a row
    // missing, a value out of range, or the SMS modem switched on without consent. A file with no
    // value to compare is refused by diff.
    void writeRefusesBadFiles() {
        Simulator sim({"--model", "air", "--no-pacing"}, {.transcript = true});
        QVERIFY(sim.ok());
        const QByteArray good = fileOfBoard(sim, StoveModel::AirDucted, "2.07");
        const QString file = path("bad.prm");
        const struct {
            QByteArray content;
            QString error;
        } cases[] = {
            {"MODEL=BASIC\r\nPG1=18\r\n",
             file + ": The selected file is not compatible with the board connected "
                    "(file BASIC, board AIR - DUCTED)"},
            {QByteArray(good).replace("PG5=120\r\n", ""), file + ": PG5 Alarms delay wrong"},
            {QByteArray(good).replace("PG1=18\r\n", "PG1=150\r\n"),
             file + ": PG1=150 (Maximum ignition time) is outside 0..99"},
            {QByteArray(good).replace("PT10=0\r\n", "PT10=1\r\n"),
             file + ": PT10 (Enable SMS Modem) = 1 stops the board answering on this link; add "
                    "--allow-link-stop "
                    "to write it"},
            {QByteArray(good).replace("HUBA=1", "HUBA=0"),
             file + ": HUBA=0 does not match PG11=2 (Management extractor mode)"},
            {QByteArray("PG1=3\n\0\x01", 8), "Impossible to read file " + file},
        };
        for (const auto &c : cases) {
            writeFile(file, c.content);
            const Result r = hbctl({"params", "write", file, "--store"});
            QCOMPARE(status(r), "2 hbctl: " + c.error + "\n");
        }
        const Result missing = hbctl({"params", "diff", path("none.prm")});
        QCOMPARE(status(missing), "2 hbctl: Impossible to read file " + path("none.prm") + "\n");
        // A file with no value for any of the board's parameters has nothing to compare: status 2,
        // not "no differences".
        for (const QByteArray &empty :
             {QByteArray("MODEL=AIR - DUCTED\r\nHUBA=1\r\n"), QByteArray("PG99=1\r\n")}) {
            writeFile(file, empty);
            const Result r = hbctl({"--json", "params", "diff", file});
            QCOMPARE(status(r), "2 hbctl: " + file +
                                    ": no value for any parameter of the AIR - DUCTED board, nothing to "
                                    "compare\n");
        }
        QVERIFY(!requests(sim).isEmpty());
        for (const QString &request : requests(sim))
            QCOMPARE(request, QStringLiteral("MODELLO"));
    }

    // A value the board does not confirm: every other parameter is still written, nothing is
    // stored, status 4 naming it. A board that does not confirm storing: status 4.
    void boardRefusalsAreNotStored() {
        ScriptedBoard board;
        board.setResponder([&](const std::string &c, int) -> std::optional<std::string> {
            if (c == "MODELLO") return "BASIC      02.07240315\r";
            if (c == "SAVEPAR") return c + "\r";
            if (c.rfind("WRGENP05", 0) == 0) return "P05=000\r"; // refused: the old value echoed
            if (c.rfind("WR", 0) == 0 && c.size() == 11)
                return std::string("P").append(c, 6, 2).append("=").append(c, 8, 3).append("\r");
            return std::nullopt;
        });
        const QString file = path("defaults.prm");
        writeFile(file, paramfile::format(StoveModel::Basic, "2.07", true,
                                          catalogueDefaults(StoveModel::Basic, true)));
        Result r = hbctl({"params", "write", file, "--store"});
        QCOMPARE(status(r),
                 QStringLiteral("4 hbctl: One or more parameters are not correctly set: PG5 (1 of 38 board "
                                "parameters); nothing stored\n"));
        std::vector<std::string> commands = board.commands();
        QCOMPARE(std::count(commands.begin(), commands.end(), "WRGENP05120"), 5); // all its attempts
        QCOMPARE(
            std::count_if(commands.begin(), commands.end(), [](auto &c) { return c.rfind("WR", 0) == 0; }),
            37 + 5);
        QCOMPARE(std::count(commands.begin(), commands.end(), "SAVEPAR"), 0);

        board.setResponder([&](const std::string &c, int) -> std::optional<std::string> {
            if (c == "MODELLO") return "BASIC      02.07240315\r";
            if (c.rfind("WR", 0) == 0 && c.size() == 11)
                return std::string("P").append(c, 6, 2).append("=").append(c, 8, 3).append("\r");
            return std::nullopt;
        });
        board.clear();
        r = hbctl({"params", "write", file, "--store"});
        QCOMPARE(status(r), QStringLiteral("4 hbctl: Non-response error (SAVEPAR)\n"));
        commands = board.commands();
        QCOMPARE(commands.back(), std::string("SAVEPAR"));
    }
    // The recording of the debug page: its header and column lines, one data line per interval with
    // every column filled, and the same values as JSON lines. --duration ends it after that many
    // intervals; SIGTERM ends an endless one cleanly, and a second recording appends its header.
    void monitorRecordsAsThePage() {
        Simulator sim({"--model", "basic", "--no-pacing", "--alarm", "2"});
        QVERIFY(sim.ok());
        const QString csv = path("rec.csv");
        Result r = hbctl({"--json", "monitor", "--interval", "1", "--duration", "3", "--csv", csv});
        QCOMPARE(status(r), QStringLiteral("0 "));
        const QStringList header = recordingHeader(StoveModel::Basic).split('\n');
        const int columns = recordingColumns(StoveModel::Basic).size();
        QStringList lines = QString::fromUtf8(readFile(csv)).split('\n');
        QCOMPARE(lines.size(), 2 + 3 + 1); // the last one empty: every line ends with a line feed
        QCOMPARE(lines.mid(0, 2), header.mid(0, 2));
        const QStringList json = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(json.size(), 3);
        QDateTime previous;
        for (int i = 0; i < 3; ++i) {
            const QStringList items = lines[2 + i].split(';');
            QCOMPARE(items.size(), columns + 1);
            QVERIFY(items.last().isEmpty());
            const QDateTime stamp = QDateTime::fromString(items[0], "dd/MM/yyyy@hh:mm:ss");
            QVERIFY2(stamp.isValid(), qPrintable(items[0]));
            if (previous.isValid()) QCOMPARE(previous.secsTo(stamp), 1);
            previous = stamp;
            QCOMPARE(items[columns - 1], alarmText(2));
            const QJsonObject o = QJsonDocument::fromJson(json[i].toUtf8()).object();
            QCOMPARE(o.value("time").toString(), stamp.toString(Qt::ISODate));
            const QJsonObject values = o.value("values").toObject();
            QCOMPARE(values.size(), columns - 1);
            QCOMPARE(values.value("Alarms").toString(), alarmText(2));
            QCOMPARE(values.value("Stove Automa Status").toString(), items[8]);
            QVERIFY(o.value("state").isDouble());
        }

        QProcess endless;
        endless.start(HB_HBCTL, {"--baud", "19200", "monitor", "--interval", "1", "--csv", csv});
        QVERIFY(endless.waitForReadyRead(60000));
        endless.terminate();
        QVERIFY(endless.waitForFinished(10000));
        QCOMPARE(endless.exitStatus(), QProcess::NormalExit);
        QCOMPARE(endless.exitCode(), 0);
        // Not JSON: the table, headed by the line's stamp.
        const QString table = QString::fromLocal8Bit(endless.readAllStandardOutput());
        QVERIFY2(table.contains(
                     QRegularExpression(R"(^\d\d/\d\d/\d{4}@\d\d:\d\d:\d\d\n  Smoke Temperature +\d+ )")),
                 qPrintable(table));
        lines = QString::fromUtf8(readFile(csv)).split('\n');
        QVERIFY(lines.size() >= 2 + 3 + 2 + 1 + 1);
        QCOMPARE(lines.mid(5, 2), header.mid(0, 2));
        QVERIFY(lines.last().isEmpty());
        QCOMPARE(lines[lines.size() - 2].split(';').size(), columns + 1);

        const QString unwritable = path("none/rec.csv");
        r = hbctl({"monitor", "--csv", unwritable});
        QCOMPARE(status(r), "2 hbctl: Impossible to write to file " + unwritable + "\n");
    }

    // The board falls silent during a recording (its SMS modem enabled): the values it no longer
    // sends become empty fields and "--" in the table, and after --max-silence the run ends with
    // the link status.
    void monitorEndsWhenTheBoardFallsSilent() {
        Simulator sim({"--model", "water", "--no-pacing"});
        QVERIFY(sim.ok());
        const QString csv = path("silent.csv");
        QProcess monitor;
        monitor.start(HB_HBCTL,
                      {"--baud", "19200", "monitor", "--interval", "1", "--max-silence", "8", "--csv", csv});
        const auto dataLines = [&] {
            QStringList lines = QString::fromUtf8(readFile(csv)).split('\n', Qt::SkipEmptyParts);
            lines.removeIf([](const QString &line) { return !line.contains('@'); });
            return lines;
        };
        QTRY_VERIFY_WITH_TIMEOUT(dataLines().size() >= 2, 30000);
        QVERIFY(sim.control("set tec 5 160").starts_with("ok"));
        QVERIFY(monitor.waitForFinished(60000));
        QCOMPARE(monitor.exitStatus(), QProcess::NormalExit);
        QCOMPARE(monitor.exitCode(), 3);
        QCOMPARE(QString::fromLocal8Bit(monitor.readAllStandardError()),
                 QStringLiteral("hbctl: Non-response error (COM1): no monitor value for 8 s\n"));

        const QStringList lines = dataLines();
        const int columns = recordingColumns(StoveModel::Water).size();
        QVERIFY(lines.size() >= 2 + 5);
        for (const QString &line : lines)
            QCOMPARE(line.count(';'), columns);
        QVERIFY2(!lines[0].section(';', 1, 1).isEmpty(), qPrintable(lines[0]));
        // The last line came more than five seconds after the board's last value: nothing in it.
        QCOMPARE(lines.last(), lines.last().left(19) + QString(columns, ';'));
        const QString table = QString::fromLocal8Bit(monitor.readAllStandardOutput());
        QVERIFY2(table.contains(QRegularExpression(R"(\n  Smoke Temperature +\d+ )")), qPrintable(table));
        QVERIFY2(table.contains(QRegularExpression(R"(\n  Smoke Temperature +-- +Air Temperature +--\n)")),
                 qPrintable(table));
    }

    // A panel in its boot loader and a Basic board in normal mode, whose parameters are saved first
    // and which is switched into its loader by text commands: the program area reads back as the
    // erased flash with the file's records. What lies above the board's verification limit is
    // written but not read back, and the report says so.
    void flashProgramsAndVerifies() {
        const std::vector<admintest::Block> records{{0x000000, pattern(32, 1)},
                                                    {0x000020, pattern(32, 2)},
                                                    {0x0041F8, pattern(16, 3)},
                                                    {0x010000, pattern(64, 4)},
                                                    {0x014000, pattern(16, 5)}};
        const QString file = path("fw.mot");
        writeFile(file, firmwareFile(records));
        {
            Simulator panel({"--model", "water", "--bootloader", "--no-pacing"});
            QVERIFY(panel.ok());
            const Result r = hbctl({"--json", "flash", file, "--board", "text panel WATER/AIR"});
            QCOMPARE(status(r), QStringLiteral("0 "));
            const QJsonObject o = json(r);
            QCOMPARE(o.value("records").toInt(), 5);
            QCOMPARE(o.value("bytes").toInt(), 160);
            QCOMPARE(o.value("readBackEqual").toInt(), 80);
            QCOMPARE(o.value("notReadBack").toInt(), 80);
            QCOMPARE(o.value("notReadBackFrom").toString(), QStringLiteral("0x010000"));
            QCOMPARE(o.value("notReadBackTo").toString(), QStringLiteral("0x01400F"));
            QCOMPARE(o.value("verified"), QJsonValue(false));
            QCOMPARE(programArea(panel), programmed(records));
        }
        Simulator basic({"--model", "basic", "--no-pacing"});
        QVERIFY(basic.ok());
        const QByteArray parameters = fileOfBoard(basic, StoveModel::Basic, "2.07");
        const QString backup = path("before.prm");
        const Result r = hbctl({"flash", file, "--board", "basic", "--backup", backup});
        QCOMPARE(status(r), QStringLiteral("0 "));
        QCOMPARE(r.out,
                 QStringLiteral("Operation completed successfully! Enabled, reboot the board. 5 records; 160 "
                                "bytes written: 144 read back equal, 16 not read back "
                                "(0x014000-0x01400F)\n"));
        QCOMPARE(readFile(backup), parameters);
        QVERIFY(basic.control("status").starts_with("ok mode bootloader"));
        QCOMPARE(programArea(basic), programmed(records));

        // The store's reply lost: the board went into its boot loader all the same, and the probe
        // that follows the unconfirmed switch finds it there.
        Simulator lostReply({"--model", "basic", "--no-pacing", "--drop", "1", "--only", "SAVEPAR"});
        QVERIFY(lostReply.ok());
        QCOMPARE(status(hbctl({"flash", file, "--board", "basic"})), QStringLiteral("0 "));
        QCOMPARE(programArea(lostReply), programmed(records));
    }

    // A file that fails the check reaches no board (status 2, the line and the reason named), nor
    // does a Basic update aimed at another model; a board that does not answer gives status 3; a
    // record that reads back different gives status 4 with the error count and the first differing
    // address.
    void flashRefusals() {
        Simulator water({"--model", "water", "--no-pacing"}, {.transcript = true});
        QVERIFY(water.ok());
        const QString file = path("bad.mot");
        const QByteArray good = firmwareFile({{0x000100, pattern(16, 5)}});
        const QByteArray end = "S804000000FB\r\n";
        const struct {
            QByteArray content;
            QString error;
            QStringList options = {};
        } cases[] = {
            {QByteArray(good).replace("S0030000FC", "S00600004844521B"), "The line S0030000FC is missing."},
            {QByteArray(good).replace("S804000000FB", "S9030000FC"), "The line S804000000FB is missing."},
            {QByteArray(good).replace("S214", "S215"), "Line 2 is not a valid S2 record."},
            {good + QByteArray(1025, 'S'), "Line 4 is too long for an S-record."},
            {good + QByteArray(1, '\0'),
             "The file is not a text file of S-records, or is larger than 8 MiB."},
            {"S0030000FC\r\nS1130000000102030405060708090A0B0C0D0E0F74\r\n" + end,
             "Line 2 is a data record the boot loader does not take: it takes S2 records only."},
            {QByteArray(good).replace(end, "S30800001000010203E1\r\n" + end),
             "Line 3 is a data record the boot loader does not take: it takes S2 records only."},
            {"S0030000FC\r\nS5030000FC\r\n" + end, "The file has no S2 record with data to write."},
            {firmwareFile({{0x000100, pattern(16, 5)}, {0x000200, pattern(8, 6)}, {0x000108, pattern(4, 7)}}),
             "Line 4 writes 0x000108-0x00010B, already written by line 2."},
            {firmwareFile({{0x000100, pattern(16, 5)}, {0x00010F, pattern(4, 7)}}),
             "Line 3 writes 0x00010F, already written by line 2."},
            {firmwareFile({{0x01FFFE, pattern(4, 5)}}),
             "Line 2 writes 0x01FFFE-0x020001, outside the flash the update erases (0x000000-0x01FFFF)."},
            {firmwareFile({{0x080000, pattern(4, 5)}}),
             "Line 2 writes 0x080000-0x080003, outside the flash the update erases (0x000000-0x01FFFF, "
             "0x0F0000-0x0FFFFF).",
             {"--eeprom"}},
        };
        for (const auto &c : cases) {
            writeFile(file, c.content);
            const Result r = hbctl(QStringList{"flash", file, "--board", "text"} + c.options);
            QCOMPARE(status(r), "2 hbctl: " + file + ": " + c.error + "\n");
        }
        Result r = hbctl({"flash", path("none.mot"), "--board", "text"});
        QCOMPARE(status(r), "2 hbctl: Impossible to read file " + path("none.mot") + "\n");
        QVERIFY(requests(water).isEmpty());

        writeFile(file, good);
        r = hbctl({"flash", file, "--board", "Basic"});
        QCOMPARE(status(r), QStringLiteral("2 hbctl: the board on COM1 is WATER, not for a Basic board\n"));
        for (const QString &request : requests(water))
            QCOMPARE(request, QStringLiteral("MODELLO"));

        {
            Simulator silent({"--model", "water", "--bootloader", "--no-pacing", "--silent-after", "0"});
            QVERIFY(silent.ok());
            r = hbctl({"flash", file, "--board", "text"});
            QCOMPARE(r.exit, 3);
            QCOMPARE(r.err, "hbctl: " + textAt(Text::BoardUnreachableBootLoader) + " (COM1)\n");
        }

        // A worn flash cell keeps its bits set where the record clears them.
        Simulator loader({"--model", "water", "--bootloader", "--no-pacing"});
        QVERIFY(loader.ok());
        QCOMPARE(hbtest::control(loader, "wear 0x100"), QStringLiteral("ok wear 0x100"));
        writeFile(file, firmwareFile({{0x000100, admintest::Bytes(8, 0x0F)}}));
        r = hbctl({"flash", file, "--board", "TEXT"});
        QCOMPARE(status(r),
                 QStringLiteral("4 hbctl: Operation failed! 8 bytes written: 7 read back equal, 0 not read "
                                "back; Writing error counter: 1; First differing address: 0x000100\n"));
    }
};

QTEST_GUILESS_MAIN(HbctlTest)
#include "tst_hbctl.moc"
