// The hardware test page against scripted boards and the simulator: the exact commands of every
// control and of the automatic test per model, the inputs shown, test mode entered and left, the
// automatic test ended by leaving the page or closing the window, what the page shows and does when
// the board does not confirm a command, and a board that falls silent on this page and the debug page.
#include "helpers.h"

#include "Resources/resourcebundle.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/texts.h"
#include "board/boardlink.h"
#include "board/serialthread.h"
#include "hwtest/testhwpage.h"
#include "monitor/debugpage.h"
#include "program.h"

#include <QDial>
#include <QGroupBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QToolButton>

#include <regex>

using namespace hbtest;
using Commands = std::vector<std::string>;

Q_DECLARE_METATYPE(StoveModel)

namespace {

// A board in test mode: echoes the BASIC board's commands and TESTON/TESTOFF, answers OUTiivvv as
// the WATER and AIR - DUCTED boards do, and leaves everything else unanswered.
std::optional<std::string> testModeReply(const std::string &c) {
    static const std::regex echoed(
        "TESTON|TESTOFF|RESISTENCEO(N|FF)|COCLEAO(N|FF)|LED(G|R|GR|OFF)|OUTO(N|FF)|"
        "EFUMI[0-9]{3}|VVENT[0-9]{2}|VENT1ON");
    static const std::regex channel("OUT([0-9]{2})[0-9]([0-9]{2})");
    std::smatch m;
    if (std::regex_match(c, m, channel))
        // Appended, not "O" + std::string: GCC 12 at -O3 takes that for an overlapping copy.
        return std::string("O").append(m.str(1)).append(c.substr(5) != "000" ? "=1" : "=0").append(m.str(2)) +
               "\r";
    if (std::regex_match(c, echoed)) return c + "\r";
    return std::nullopt;
}

Commands repeated(const std::string &command, int times) {
    return Commands(static_cast<std::size_t>(times), command);
}

Commands joined(std::initializer_list<Commands> parts) {
    Commands all;
    for (const Commands &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

QString toString(const Commands &commands) {
    QStringList list;
    for (const std::string &c : commands)
        list << QString::fromStdString(c);
    return list.join(QLatin1Char(' '));
}

// The faster line settings: the shorter byte time-out of 19200 baud halves the reads that wait for
// a reply that does not come.
constexpr LinkSettings kFastLine{0, 19200, 20};

// A page built for `model`, linked to a scripted board on COM1.
struct PageOnBoard {
    explicit PageOnBoard(StoveModel model) : session(link), page(session) {
        board.setResponder([](const std::string &c, int) { return testModeReply(c); });
        link.open(kFastLine);
        session.setModel(model);
        page.build();
        page.applyTexts();
        page.show();
    }
    template <typename T> T *find(const QString &name) const {
        T *widget = page.findChild<T *>(name);
        if (widget == nullptr) qFatal("no widget %s", qPrintable(name));
        return widget;
    }
    QString field(int input) const {
        return find<QLineEdit>(QStringLiteral("inputField%1").arg(input))->text();
    }
    QAbstractButton *button(const char *name) const { return find<QAbstractButton>(QLatin1String(name)); }
    QSlider *slider(const char *key) const {
        return find<QSlider>(QLatin1String(key) + QStringLiteral("Slider"));
    }
    QSpinBox *spinBox(const char *key) const {
        return find<QSpinBox>(QLatin1String(key) + QStringLiteral("SpinBox"));
    }
    // Drags a slider to `value` and lets it go.
    void drag(const char *key, int value) const {
        QSlider *s = slider(key);
        s->setSliderDown(true);
        s->setValue(value / 2);
        s->setValue(value);
        s->setSliderDown(false);
    }
    // Types a value into a spin box and finishes the edit.
    void type(const char *key, int value) const {
        spinBox(key)->setValue(value);
        QTest::keyClick(spinBox(key), Qt::Key_Return);
    }
    ScriptedBoard board;
    BoardLink link;
    Session session;
    TestHwPage page;
};

// The window on a scripted WATER board that answers everything until it is made silent.
struct WindowOnBoard {
    WindowOnBoard() {
        QSettings().setValue(settingkeys::baudRate, kFastLine.baudRate);
        QApplication::setQuitOnLastWindowClosed(false);
        board.setResponder([this](const std::string &c, int) -> std::optional<std::string> {
            static const std::map<std::string, std::string> inputs = {
                {"READT1", "T1=021\r"}, {"READT2", "T2=022\r"}, {"READT3", "T3=023\r"},
                {"READPR", "PR=025\r"}, {"READEN", "EN=006\r"}, {"READIN", "IN=010\r"}};
            if (c == "MODELLO") return "WATER" + std::string(6, ' ') + "02.07240315\r";
            if (silent) return std::nullopt;
            if (c.size() == 7 && c.rfind("DEBUG", 0) == 0) return c.substr(5, 2) + "020021003\r";
            if (const auto input = inputs.find(c); input != inputs.end()) return input->second;
            return testModeReply(c);
        });
        window.show();
    }
    CleanSlate slate;
    ScriptedBoard board;
    std::atomic<bool> silent{false};
    hbsupport::Program program;
    HearthBench &window = program.window();
    SerialThread &thread = program.thread();
};

} // namespace

class TestHwPageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        setApplicationIdentity();
        loadResourceBundle();
        useDefaultTexts();
    }
    void init() { unbindAllPorts(); }

    // Each model shows its own inputs in their formats.
    void inputsPerModel() {
        PageOnBoard basic(StoveModel::Basic);
        auto *dial = basic.find<QDial>(QStringLiteral("potentiometerDial"));
        basic.page.testhwinputSlot(6, 12);
        basic.page.testhwinputSlot(9, 95);
        basic.page.testhwinputSlot(4, 29);
        QCOMPARE(basic.field(4), QStringLiteral("MAX"));
        QCOMPARE(dial->value(), 29);
        basic.page.testhwinputSlot(4, 12); // no position of the knob: empty, the dial at its minimum
        QCOMPARE(basic.field(4), QString());
        QCOMPARE(dial->value(), 24);
        QCOMPARE(basic.field(6), QStringLiteral("120"));
        QCOMPARE(basic.field(9), QStringLiteral("-50"));
        QVERIFY(basic.page.findChildren<QLabel *>(QRegularExpression(QStringLiteral("^digitalInputBit")))
                    .isEmpty());

        const auto bits = [](const PageOnBoard &p) {
            QList<int> on;
            for (int bit : {1, 3, 4, 5, 7})
                if (showsIcon(p.find<QLabel>(QStringLiteral("digitalInputBit%1").arg(bit)), "digitalinput"))
                    on << bit;
            return on;
        };
        PageOnBoard water(StoveModel::Water);
        water.page.testhwinputSlot(5, 25);
        water.page.testhwinputSlot(7, 0x0A);
        QCOMPARE(water.field(5), QStringLiteral("2.5"));
        QCOMPARE(bits(water), (QList<int>{1, 3}));

        PageOnBoard air(StoveModel::AirDucted);
        air.page.testhwinputSlot(8, 12);
        QCOMPARE(air.field(8), QStringLiteral("12"));
        air.page.testhwinputSlot(7, static_cast<short>(0xFF7F)); // every bit but 7
        QCOMPARE(bits(air), (QList<int>{1, 3, 4, 5}));
    }

    void labelsInBothLanguages() {
        PageOnBoard water(StoveModel::Water);
        const auto text = [&](const char *name) { return water.find<QLabel>(QLatin1String(name))->text(); };
        QCOMPARE(text("digitalInputLabel1"), QStringLiteral("Depressimetro\n(INP-G)"));
        QCOMPARE(water.button("automaticTestButton")->text(), QStringLiteral("Automatic"));
        QVERIFY(loadLanguageFile(QStringLiteral(HB_SOURCE_DIR "/lang/Italiano.lng")));
        water.page.applyTexts();
        QCOMPARE(text("heatingPumpLabel"), QStringLiteral("Pompa riscaldamento"));
        QCOMPARE(text("digitalInputLabel7"), QStringLiteral("Termostato riscaldamento\n(INP-T)"));
        QCOMPARE(text("inputLabel5"), QStringLiteral("WPX 250"));
        QCOMPARE(water.button("automaticTestButton")->text(), QStringLiteral("Automatico"));
        useDefaultTexts();
    }

    void manualControlsBasic() {
        PageOnBoard p(StoveModel::Basic);
        p.button("resistanceButton")->click();
        p.button("resistanceButton")->click();
        p.button("cochleaButton")->click();
        // Dragging sends nothing until the slider is let go, then the value at release.
        p.slider("smokesExtractor")->setSliderDown(true);
        p.slider("smokesExtractor")->setValue(60);
        p.slider("smokesExtractor")->setValue(120);
        QCOMPARE(p.spinBox("smokesExtractor")->value(), 120);
        QCOMPARE(p.board.commands().size(), 3u);
        p.slider("smokesExtractor")->setSliderDown(false);
        // A spin box is sent when its edit is finished; the slider follows it.
        p.spinBox("fanEnvironment")->setValue(100);
        QCOMPARE(p.slider("fanEnvironment")->value(), 100);
        QCOMPARE(p.board.commands().size(), 4u);
        QTest::keyClick(p.spinBox("fanEnvironment"), Qt::Key_Return);
        p.type("fanEnvironment", 7);
        // The LED group: at most one on; switching it off sends LEDOFF.
        QAbstractButton *green = p.button("greenLedButton");
        QAbstractButton *red = p.button("redLedButton");
        QAbstractButton *yellow = p.button("yellowLedButton");
        green->click();
        red->click();
        QVERIFY(!green->isChecked() && red->isChecked());
        red->click();
        QVERIFY(!green->isChecked() && !red->isChecked() && !yellow->isChecked());
        yellow->click();
        green->click();
        QVERIFY(green->isChecked() && !yellow->isChecked());
        QCOMPARE(toString(p.board.commands()),
                 toString({"RESISTENCEON", "RESISTENCEOFF", "COCLEAON", "EFUMI120", "VENT1ON", "VVENT07",
                           "LEDG", "LEDR", "LEDOFF", "LEDGR", "LEDG"}));
    }

    void manualControlsChannels() {
        PageOnBoard water(StoveModel::Water);
        for (const char *name : {"resistanceButton", "cochleaButton", "heatingPumpButton",
                                 "sanitaryPumpButton", "freeButton", "freeButton"})
            water.button(name)->click();
        water.drag("smokesExtractor", 250);
        water.type("fanEnvironment", 60);
        QCOMPARE(toString(water.board.commands()),
                 toString({"OUT00001", "OUT01001", "OUT03001", "OUT04001", "OUT07001", "OUT07000", "OUT05250",
                           "OUT06060"}));

        PageOnBoard air(StoveModel::AirDucted);
        air.drag("channel1", 40);
        air.type("channel2", 100);
        air.drag("fanEnvironment", 30);
        air.type("smokesExtractor", 300);
        air.button("resistanceButton")->click();
        air.button("cochleaButton")->click();
        air.button("freeButton")->click();
        QCOMPARE(toString(air.board.commands()), toString({"OUT03040", "OUT04100", "OUT06030", "OUT05300",
                                                           "OUT00001", "OUT01001", "OUT07001"}));
        QVERIFY(air.page.findChild<QAbstractButton *>(QStringLiteral("heatingPumpButton")) == nullptr);
    }

    // A command the board never confirms, or answers with something else, puts the control back to
    // what the board last confirmed, and the page says which output failed.
    void failedCommandsRestoreTheControls() {
        PageOnBoard p(StoveModel::Basic);
        QLabel *status = p.find<QLabel>(QStringLiteral("outputStatusLabel"));
        p.drag("smokesExtractor", 100);
        p.button("greenLedButton")->click();
        p.board.clear();
        p.board.setResponder([](const std::string &, int) { return std::nullopt; });
        p.button("resistanceButton")->click();
        QVERIFY(!p.button("resistanceButton")->isChecked());
        QCOMPARE(status->text(), QStringLiteral("Resistance: the board did not confirm the command. The "
                                                "control shows the state the board last confirmed."));
        p.drag("smokesExtractor", 30);
        QCOMPARE(p.slider("smokesExtractor")->value(), 100);
        QCOMPARE(p.spinBox("smokesExtractor")->value(), 100);
        p.button("redLedButton")->click();
        QVERIFY(p.button("greenLedButton")->isChecked() && !p.button("redLedButton")->isChecked());
        QVERIFY(status->text().startsWith(QStringLiteral("Led:")));
        QCOMPARE(
            toString(p.board.commands()),
            toString(joined({repeated("RESISTENCEON", 4), repeated("EFUMI030", 3), repeated("LEDR", 4)})));
        // Each attempt waits longer for its reply: 75, 100, 125 ms (buttons) and 100, 150 ms (sliders).
        const auto arrivals = p.board.arrivals();
        const int least[] = {0, 75, 100, 125, 0, 100, 150};
        for (std::size_t i = 1; i < std::size(least); ++i)
            QVERIFY2(gapMs(arrivals, i) >= least[i] - gapSlackMs, qPrintable(QString::number(i)));
        // The next confirmed command clears the note.
        p.board.setResponder([](const std::string &c, int) { return testModeReply(c); });
        p.button("resistanceButton")->click();
        QVERIFY(p.button("resistanceButton")->isChecked());
        QCOMPARE(status->text(), QString());

        // A channel board that answers with another level has not taken the value.
        PageOnBoard water(StoveModel::Water);
        water.board.setResponder([](const std::string &c, int) -> std::optional<std::string> {
            if (c == "OUT05250") return std::string("O05=140\r");
            return testModeReply(c);
        });
        water.drag("smokesExtractor", 250);
        QCOMPARE(water.slider("smokesExtractor")->value(), 0);
        QVERIFY(water.find<QLabel>(QStringLiteral("outputStatusLabel"))
                    ->text()
                    .startsWith(QStringLiteral("Smokes Extractor:")));
    }

    void automaticSequence_data() {
        QTest::addColumn<StoveModel>("model");
        QTest::addColumn<QString>("expected");
        const auto onOff = [](const std::string &on, const std::string &off) {
            // The button's own slot repeats each state once the control shows it.
            return joined({repeated(on, 2), repeated(off, 2)});
        };
        QTest::newRow("BASIC") << StoveModel::Basic
                               << toString(joined({onOff("RESISTENCEON", "RESISTENCEOFF"),
                                                   {"EFUMI100", "EFUMI200", "EFUMI300", "EFUMI000"},
                                                   onOff("COCLEAON", "COCLEAOFF"),
                                                   {"VVENT20", "VVENT50", "VENT1ON", "VVENT00"},
                                                   {"LEDG", "LEDR", "LEDGR", "LEDOFF"}}));
        QTest::newRow("WATER") << StoveModel::Water
                               << toString(joined({onOff("OUT00001", "OUT00000"),
                                                   {"OUT05100", "OUT05200", "OUT05300", "OUT05000"},
                                                   onOff("OUT01001", "OUT01000"),
                                                   {"OUT06100", "OUT06200", "OUT06300", "OUT06000"},
                                                   onOff("OUT03001", "OUT03000"),
                                                   onOff("OUT04001", "OUT04000"),
                                                   onOff("OUT07001", "OUT07000")}));
        QTest::newRow("AIR - DUCTED") << StoveModel::AirDucted
                                      << toString(joined({onOff("OUT00001", "OUT00000"),
                                                          {"OUT05020", "OUT05050", "OUT05100", "OUT05000"},
                                                          onOff("OUT01001", "OUT01000"),
                                                          {"OUT06020", "OUT06050", "OUT06100", "OUT06000"},
                                                          {"OUT03020", "OUT03050", "OUT03100", "OUT03000"},
                                                          {"OUT04020", "OUT04050", "OUT04100", "OUT04000"},
                                                          onOff("OUT07001", "OUT07000")}));
    }
    void automaticSequence() {
        QFETCH(StoveModel, model);
        QFETCH(QString, expected);
        PageOnBoard p(model);
        QSignalSpy fanSlider(p.slider("fanEnvironment"), &QSlider::valueChanged);
        QSignalSpy fanSpinBox(p.spinBox("fanEnvironment"), &QSpinBox::valueChanged);
        QSignalSpy extractor(p.slider("smokesExtractor"), &QSlider::valueChanged);
        p.button("automaticTestButton")->click();
        QCOMPARE(toString(p.board.commands()), expected);
        // The controls showed each value; the fan's 0..100 slider stops at 100 while the WATER board
        // gets 200 and 300.
        const auto values = [](const QSignalSpy &spy) {
            QList<int> list;
            for (const QList<QVariant> &call : spy)
                list << call.at(0).toInt();
            return list;
        };
        QCOMPARE(values(extractor), model == StoveModel::AirDucted ? (QList<int>{20, 50, 100, 0})
                                                                   : (QList<int>{100, 200, 300, 0}));
        QCOMPARE(values(fanSlider),
                 model == StoveModel::Water ? (QList<int>{100, 0}) : (QList<int>{20, 50, 100, 0}));
        QCOMPARE(values(fanSpinBox), values(fanSlider));
        QCOMPARE(p.slider("fanEnvironment")->toolTip(),
                 model == StoveModel::Basic ? QString() : QStringLiteral("0%"));
        QVERIFY(p.button("automaticTestButton")->isEnabled());
        QVERIFY(!p.page.automaticTestRunning());
        QVERIFY(!p.button("resistanceButton")->isChecked());
    }

    // A value the board does not confirm ends the automatic test: the page names it, and every
    // output is switched off (the simulator took the value but its answer was lost).
    void automaticTestStopsAtAFailedStep() {
        Simulator simulator({"--model", "water", "--no-pacing", "--drop", "1", "--only", "OUT05300"},
                            {.transcript = true});
        QVERIFY(simulator.ok());
        BoardLink link;
        QCOMPARE(link.open(kFastLine), 0);
        Session session(link);
        session.setModel(StoveModel::Water);
        TestHwPage page(session);
        page.build();
        page.applyTexts();
        page.enterTestMode();
        page.automaticTestHW();
        QCOMPARE(page.findChild<QLabel *>(QStringLiteral("outputStatusLabel"))->text(),
                 QStringLiteral("Automatic test stopped at Smokes Extractor, value 300: the board did not "
                                "confirm it."));
        QCOMPARE(control(simulator, "outputs"), QStringLiteral("ok outputs 0 0 0 0 0 0 0 0 0 0 led 0"));
        QCOMPARE(page.findChild<QSlider *>(QStringLiteral("smokesExtractorSlider"))->value(), 0);
        // The step's attempt counter leaves 300 two attempts; the all-off follows at once.
        const std::vector<std::string> requests = simulator.requests();
        const auto from = std::find(requests.begin(), requests.end(), "OUT05200\r");
        QCOMPARE(toString(Commands(from, requests.end())),
                 toString({"OUT05200\r", "OUT05300\r", "OUT05300\r", "OUT10000\r"}));
    }

    void testModeEntryAndExit_data() {
        QTest::addColumn<StoveModel>("model");
        QTest::addColumn<QString>("allOff");
        QTest::newRow("BASIC") << StoveModel::Basic << QStringLiteral("OUTOFF");
        QTest::newRow("WATER") << StoveModel::Water << QStringLiteral("OUT10000");
        QTest::newRow("AIR - DUCTED") << StoveModel::AirDucted << QStringLiteral("OUT10000");
        QTest::newRow("unknown") << StoveModel::Unknown << QString();
    }
    void testModeEntryAndExit() {
        QFETCH(StoveModel, model);
        QFETCH(QString, allOff);
        const std::string off = allOff.toStdString();
        const bool known = model != StoveModel::Unknown;
        PageOnBoard p(model);
        p.page.enterTestMode();
        p.page.leaveTestMode();
        QCOMPARE(toString(p.board.commands()),
                 toString(known ? Commands{"TESTON", off, off, "TESTOFF"} : Commands{"TESTON", "TESTOFF"}));
        if (known) {
            // Outputs left on and values shown before: entering again brings every control to rest
            // and empties the fields; only the all-off command reaches the board.
            p.button("resistanceButton")->click();
            p.drag("smokesExtractor", 100);
            if (model == StoveModel::Basic) p.button("greenLedButton")->click();
            p.page.testhwinputSlot(1, 21);
            p.page.testhwinputSlot(model == StoveModel::Water ? 5 : 8, 33);
            p.board.clear();
            p.page.enterTestMode();
            QCOMPARE(toString(p.board.commands()), toString({"TESTON", off}));
            QVERIFY(!p.button("resistanceButton")->isChecked());
            QCOMPARE(p.slider("smokesExtractor")->value(), 0);
            QCOMPARE(p.spinBox("smokesExtractor")->value(), 0);
            if (model == StoveModel::Basic) QVERIFY(!p.button("greenLedButton")->isChecked());
            for (const QLineEdit *field :
                 p.page.findChildren<QLineEdit *>(QRegularExpression(QStringLiteral("^inputField"))))
                QVERIFY2(field->text().isEmpty(), qPrintable(field->objectName()));
        }
        // A board that does not answer: every command gets all its attempts, and one box each time
        // says what the board did not confirm and what to do.
        BoxAnswerer answerer;
        p.board.setResponder([](const std::string &, int) { return std::nullopt; });
        p.board.clear();
        p.page.enterTestMode();
        p.page.leaveTestMode();
        QCOMPARE(toString(p.board.commands()),
                 toString(known ? joined({repeated("TESTON", 4), repeated(off, 6), repeated("TESTOFF", 3)})
                                : joined({repeated("TESTON", 4), repeated("TESTOFF", 3)})));
        const QString outputs = known
                                    ? QStringLiteral("The board did not confirm switching every output off: "
                                                     "some outputs may still be on.\n")
                                    : QString();
        QCOMPARE(answerer.shown(),
                 (QStringList{"critical Test HW: The board did not confirm entering test mode (TESTON).\n" +
                                  outputs +
                                  "\nCheck the cable and that the board is powered, then leave the hardware "
                                  "test and enter it again.",
                              "critical Test HW: " + outputs +
                                  "The board did not confirm leaving test mode (TESTOFF).\n\nThe stove may "
                                  "still be in test mode. Check the cable and that the board is powered. The "
                                  "program keeps trying to leave test mode until it is closed."}));
        // The page goes on trying, and takes the board out of test mode once it answers again.
        QVERIFY(p.page.testModeMayBeOn());
        p.board.clear();
        p.board.setResponder([](const std::string &c, int) { return testModeReply(c); });
        QTRY_VERIFY_WITH_TIMEOUT(!p.page.testModeMayBeOn(), 20000);
        const Commands last = p.board.commands();
        QCOMPARE(toString(Commands(last.end() - (known ? 2 : 1), last.end())),
                 toString(known ? Commands{off, "TESTOFF"} : Commands{"TESTOFF"}));
        QCOMPARE(answerer.seen.size(), 2u);
    }

    void automaticTestEndsWhenTestModeIsLeft() {
        PageOnBoard p(StoveModel::Water);
        // The board does not answer the first output: its attempts are still going on when the page
        // is left, which the window handles meanwhile.
        bool stillRunning = false, buttonWasDisabled = false;
        std::atomic<bool> posted{false};
        std::size_t commandsWhenLeft = 0;
        p.board.setResponder([&](const std::string &c, int) -> std::optional<std::string> {
            if (c == "OUT00001" && !posted.exchange(true)) {
                QMetaObject::invokeMethod(
                    &p.page,
                    [&] {
                        buttonWasDisabled = !p.button("automaticTestButton")->isEnabled();
                        p.page.automaticTestHW(); // a second run does not start
                        stillRunning = p.page.automaticTestRunning();
                        commandsWhenLeft = p.board.commands().size();
                        p.page.leaveTestMode();
                    },
                    Qt::QueuedConnection);
            }
            if (c == "OUT00001") return std::nullopt;
            return testModeReply(c);
        });
        p.page.automaticTestHW();
        QTest::qWait(300);
        QVERIFY(stillRunning);
        QVERIFY(buttonWasDisabled);
        QVERIFY(commandsWhenLeft >= 1 && commandsWhenLeft < 4);
        const Commands commands = p.board.commands();
        const auto first = std::count(commands.begin(), commands.end(), std::string("OUT00001"));
        QVERIFY(first >= 1 && first < 4);
        QCOMPARE(toString(commands),
                 toString(joined({repeated("OUT00001", static_cast<int>(first)), {"OUT10000", "TESTOFF"}})));
        QVERIFY(!p.page.automaticTestRunning());
        QVERIFY(p.button("automaticTestButton")->isEnabled());
        QVERIFY(!p.button("resistanceButton")->isChecked()); // the ended step never showed its value
    }

    void windowEndsTheAutomaticTest() {
        CleanSlate slate;
        QSettings().setValue(settingkeys::baudRate, kFastLine.baudRate);
        QApplication::setQuitOnLastWindowClosed(false);
        hbsupport::Program program({"--model", "water", "--no-pacing"}, {.transcript = true});
        QVERIFY(program.ok());
        Simulator &simulator = program.simulator();
        HearthBench &window = program.window();
        window.show();
        auto *stack = window.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
        auto *automatic = window.findChild<QAbstractButton *>(QStringLiteral("automaticTestButton"));
        // The test's last step (the free output) never came; every output is off, test mode left.
        const auto endedEarly = [&] {
            const std::vector<std::string> requests = simulator.requests();
            QVERIFY(std::find(requests.begin(), requests.end(), "OUT07001\r") == requests.end());
            QCOMPARE(control(simulator, "outputs"), QStringLiteral("ok outputs 0 0 0 0 0 0 0 0 0 0 led 0"));
            QVERIFY(control(simulator, "status").startsWith(QStringLiteral("ok mode normal")));
        };

        // Leaving the page while the test runs.
        window.findChild<QAbstractButton *>(QStringLiteral("testHWToolButton"))->click();
        QCOMPARE(stack->currentIndex(), static_cast<int>(Page::TestHw));
        QTimer::singleShot(
            700, &window, [&] { window.findChild<QAbstractButton *>(QStringLiteral("homeBTest"))->click(); });
        automatic->click();
        QCOMPARE(stack->currentIndex(), static_cast<int>(Page::Home));
        QCOMPARE(program.thread().mode(), PollMode::Idle);
        QVERIFY(automatic->isEnabled());
        endedEarly();

        // Closing the window while the test runs.
        window.findChild<QAbstractButton *>(QStringLiteral("testHWToolButton"))->click();
        QVERIFY(control(simulator, "status").startsWith(QStringLiteral("ok mode test")));
        BoxAnswerer answerer(QMessageBox::Yes);
        QTimer::singleShot(700, &window, [&] { window.close(); });
        automatic->click();
        QCOMPARE(answerer.seen.size(), 1u);
        QVERIFY(!window.isVisible());
        QVERIFY(program.thread().isFinished());
        QVERIFY(!program.link().isOpen());
        endedEarly();
    }

    // Closing the window while the board may be in test mode: a board that does not confirm leaving
    // it gets another round on Retry, and Close closes the window anyway.
    void closingRetriesLeavingTestMode() {
        WindowOnBoard w;
        click(w.window, "testHWToolButton");
        QCOMPARE(w.window.currentPage(), Page::TestHw);
        w.silent = true;
        w.board.clear();
        BoxAnswerer answerer;
        answerer.queue(QMessageBox::Yes);
        answerer.queue(QMessageBox::Retry);
        answerer.queue(QMessageBox::Close);
        w.window.close();
        QVERIFY(!w.window.isVisible());
        QVERIFY(w.thread.isFinished());
        QCOMPARE(answerer.seen.size(), 3u);
        QCOMPARE(answerer.seen[2].text, answerer.seen[1].text);
        QVERIFY(answerer.seen[1].text.endsWith(QStringLiteral(
            "TESTOFF).\n\nRetry, or close anyway and switch the stove off at its main switch.")));
        QCOMPARE(w.board.count("OUT10000"), 6);
        QCOMPARE(w.board.count("TESTOFF"), 6);
    }

    // A board that falls silent greys the values of the page that polls it, with a note, until it
    // answers again: on the debug page and on this one.
    void boardSilenceShownOnBothPages() {
        WindowOnBoard w;
        auto *debug = w.window.findChild<DebugPage *>();
        auto *testHw = w.window.findChild<TestHwPage *>();
        const auto silenceShown = [](const QWidget *page, const char *values) {
            return !page->findChild<QLabel *>(QStringLiteral("boardSilentLabel"))->isHidden() &&
                   !page->findChild<QGroupBox *>(QLatin1String(values))->isEnabled();
        };
        click(w.window, "debugToolButton");
        auto *smoke = debug->findChild<QLineEdit *>(QStringLiteral("tSmoke"));
        QTRY_COMPARE_WITH_TIMEOUT(smoke->text(), QStringLiteral("20"), 10000);
        QVERIFY(!silenceShown(debug, "debugGB"));
        w.silent = true;
        QTRY_VERIFY_WITH_TIMEOUT(silenceShown(debug, "debugGB"), 60000);
        QCOMPARE(smoke->text(), QStringLiteral("20")); // kept, but no longer shown as live
        QCOMPARE(debug->findChild<QLabel *>(QStringLiteral("boardSilentLabel"))->text(),
                 QStringLiteral("The board does not answer: the values shown are not live."));
        w.silent = false;
        QTRY_VERIFY_WITH_TIMEOUT(!silenceShown(debug, "debugGB") &&
                                     debug->findChild<QGroupBox *>(QStringLiteral("debugGB"))->isEnabled(),
                                 20000);

        click(w.window, "homeBDebug");
        click(w.window, "testHWToolButton");
        auto *probe = testHw->findChild<QLineEdit *>(QStringLiteral("inputField1"));
        QTRY_COMPARE_WITH_TIMEOUT(probe->text(), QStringLiteral("21"), 10000);
        w.silent = true;
        QTRY_VERIFY_WITH_TIMEOUT(silenceShown(testHw, "inputGroupBox"), 60000);
        w.silent = false;
        QTRY_VERIFY_WITH_TIMEOUT(
            !testHw->findChild<QLabel *>(QStringLiteral("boardSilentLabel"))->isVisible() &&
                testHw->findChild<QGroupBox *>(QStringLiteral("inputGroupBox"))->isEnabled(),
            20000);
    }
};

QTEST_MAIN(TestHwPageTest)
#include "tst_testhwpage.moc"
