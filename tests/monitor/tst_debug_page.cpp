// The debug page against the simulator: live values per model, the stove automaton's states, the
// recording with its clock, its file and its failures, and the question when leaving the page.
#include "Resources/resourcebundle.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/texts.h"
#include "board/boardlink.h"
#include "board/detection.h"
#include "board/serialthread.h"
#include "helpers.h"
#include "monitor/debugpage.h"
#include "monitor/recording.h"
#include "ui/hearthbench.h"

#include <QDial>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QThread>
#include <QTimeEdit>
#include <QToolButton>

using namespace hbtest;

namespace {

// Answers the save dialog of a recording with `answer` (cancels it when empty) and records what it
// offered.
class SaveDialogAnswerer : public QObject {
public:
    struct Offer {
        QString title, proposed, filters;
    };
    SaveDialogAnswerer() {
        connect(&timer, &QTimer::timeout, this, &SaveDialogAnswerer::poll);
        timer.start(15);
    }
    QString answer;
    std::vector<Offer> seen;

private:
    void poll() {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible() || dialog->property("hbAnswered").toBool()) return;
        dialog->setProperty("hbAnswered", true);
        seen.push_back(
            {dialog->windowTitle(), dialog->selectedFiles().value(0), dialog->nameFilters().join('|')});
        if (answer.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(answer);
            static_cast<QDialog *>(dialog)->accept(); // validates the name as the Save button does
        }
    }
    QTimer timer;
};

// One line of the simulator's control channel.
QString control(Simulator &simulator, const QByteArray &command) {
    simulator.process.write(command + '\n');
    QElapsedTimer clock;
    clock.start();
    while (!simulator.process.canReadLine() && clock.elapsed() < 5000)
        simulator.process.waitForReadyRead(50);
    return QString::fromLocal8Bit(simulator.process.readLine()).trimmed();
}

QStringList fileLines(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList dataLines(const QString &path) {
    QStringList lines = fileLines(path);
    lines.removeIf([](const QString &line) { return !line.contains(QLatin1Char('@')); });
    return lines;
}

QDateTime stampOf(const QString &line) {
    return QDateTime::fromString(line.section(QLatin1Char(';'), 0, 0), QStringLiteral("dd/MM/yyyy@hh:mm:ss"));
}

bool showsPicture(const QLabel *label, const char *name) {
    return label != nullptr &&
           label->pixmap().toImage() ==
               QPixmap(QStringLiteral(":/icons/Resources/%1.png").arg(QLatin1String(name))).toImage();
}

// A debug page with its board link, session and polling thread; the simulator on COM1.
class Rig {
public:
    explicit Rig(const QString &model, const QStringList &extra = {})
        : simulator(QStringList{QStringLiteral("--model"), model, QStringLiteral("--no-pacing")} + extra) {}
    ~Rig() {
        thread.requestStop();
        thread.wait();
        link.close();
    }
    // Opens the link, detects the model and builds the page, as the first page entry does.
    bool detect() {
        if (!simulator.ok() || link.open(LinkSettings{}) != 0) return false;
        const auto identity = readBoardIdentity(link);
        if (!identity) return false;
        session.setModel(modelFromName(identity->left(10).trimmed()));
        page.showIdentity(session.model(), *identity);
        page.build();
        page.clearDebugValues();
        return true;
    }
    void poll() {
        QObject::connect(&thread, &SerialThread::debugRead, &page, &DebugPage::debugSlot);
        thread.setModel(session.model());
        thread.setMode(PollMode::Monitor);
        thread.start();
    }
    template <typename T = QLineEdit> T *widget(const char *name) {
        return page.findChild<T *>(QLatin1String(name));
    }
    QString text(const char *name) {
        const QLineEdit *field = widget(name);
        return field != nullptr ? field->text() : QStringLiteral("<no field %1>").arg(QLatin1String(name));
    }
    QToolButton *recordButton() { return widget<QToolButton>("registrationToolButton"); }
    void setGap(int seconds) {
        widget<QTimeEdit>("gapSecondsTimeEdit")->setTime(QTime(0, 0).addSecs(seconds));
    }

    CleanSlate slate;
    Simulator simulator;
    BoardLink link;
    Session session{link};
    DebugPage page{session};
    SerialThread thread{link};
};

} // namespace

class DebugPageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        loadResourceBundle();
        setApplicationIdentity();
    }
    void init() { useDefaultTexts(); }

    void liveValuesPerModel_data() {
        QTest::addColumn<QString>("model");
        QTest::newRow("basic") << QStringLiteral("basic");
        QTest::newRow("water") << QStringLiteral("water");
        QTest::newRow("air") << QStringLiteral("air");
    }
    void liveValuesPerModel() {
        QFETCH(QString, model);
        Rig rig(model);
        for (const char *command : {"input t1 21", "input t2 145", "input t3 55", "input en 123",
                                    "input in 0x22", "input pot 40", "input pcc 90"})
            QCOMPARE(control(rig.simulator, command).left(2), QStringLiteral("ok"));
        QVERIFY(rig.detect());
        const QList<QLineEdit *> fields = rig.widget<QGroupBox>("debugGB")->findChildren<QLineEdit *>();
        QCOMPARE(fields.size(), model == QLatin1String("water") ? 14 : 15);
        for (QLineEdit *field : fields)
            QVERIFY2(field->text().isEmpty(), qPrintable(field->objectName()));
        rig.poll();
        // Every field filled once a whole cycle arrived (the alarm field stays empty without alarm).
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(fields.begin(), fields.end(),
                                             [](QLineEdit *f) {
                                                 return !f->text().isEmpty() ||
                                                        f->objectName() == QLatin1String("alarmDisplaying");
                                             }),
                                 10000);
        QCOMPARE(rig.text("tSmoke"), QStringLiteral("145"));
        QCOMPARE(rig.text("tAir"), QStringLiteral("21"));
        QCOMPARE(rig.text("envFanSpeed"), QStringLiteral("OFF"));
        QCOMPARE(rig.text("smokeExtrFan"), QStringLiteral("123"));
        QCOMPARE(rig.text("cochlea"), QStringLiteral("0.0"));
        QCOMPARE(rig.text("stStove"), QStringLiteral("8"));
        QCOMPARE(rig.text("stoveStatus"), QStringLiteral("Stove Off"));
        QCOMPARE(rig.text("encoder"), QStringLiteral("1230"));
        QCOMPARE(rig.widget<QLabel>("roundsLevelLabel")->text(), QStringLiteral("Huba Set"));
        rig.session.setHubaMode(false);
        QCOMPARE(rig.widget<QLabel>("roundsLevelLabel")->text(), QStringLiteral("Encoder Set"));

        if (model == QLatin1String("basic")) {
            QCOMPARE(rig.text("potentiometer"), QStringLiteral("40"));
            QCOMPARE(rig.widget<QDial>("potentiometerDial")->value(), 40);
            QCOMPARE(rig.text("fuelCorr"), QStringLiteral("-100"));
            QCOMPARE(rig.widget<QDial>("fuelCorrDial")->value(), -100);
            QCOMPARE(rig.text("alarmDisplaying"), QString());
        } else {
            QCOMPARE(rig.text(model == QLatin1String("water") ? "waterProbe" : "probeChannel1"),
                     QStringLiteral("55"));
            // Inputs 0x22: the depressure switch and the external thermostat.
            QVERIFY(showsPicture(rig.widget<QLabel>("depressimeter"), "digitalinput"));
            QVERIFY(showsPicture(rig.widget<QLabel>("externalThermostat"), "digitalinput"));
            QVERIFY(showsPicture(rig.widget<QLabel>("pelletThermostat"), "digitalinputoff"));
            QVERIFY(showsPicture(rig.widget<QLabel>("heatThermostat"), "digitalinputoff"));
            QCOMPARE(rig.widget<QLabel>("depressimeterLabel")->text(),
                     QStringLiteral("Depressimetro\n(INP-G)"));
        }
        if (model == QLatin1String("water")) {
            // The heating pump runs with the water above its minimum, and then the pressure rises.
            QTRY_VERIFY(showsPicture(rig.widget<QLabel>("heatingPump"), "greenled"));
            QVERIFY(showsPicture(rig.widget<QLabel>("sanitaryPump"), "ledoff"));
            QVERIFY(showsPicture(rig.widget<QLabel>("fluxstate"), "digitalinputoff"));
            QCOMPARE(rig.text("wpx250"), QStringLiteral("1.5"));
        }
        if (model == QLatin1String("air")) {
            QVERIFY(showsPicture(rig.widget<QLabel>("externalThermostatChannel2"), "digitalinputoff"));
            QCOMPARE(rig.widget<QLabel>("externalThermostatChannel2Label")->text(),
                     QStringLiteral("External thermostat\nchannel 2"));
            QCOMPARE(rig.text("channel1"), QStringLiteral("0"));
        }

        // Entering the page again starts from empty fields and inputs off.
        rig.thread.setMode(PollMode::Idle);
        QTest::qWait(600);
        rig.page.clearDebugValues();
        for (QLineEdit *field : fields)
            QVERIFY2(field->text().isEmpty(), qPrintable(field->objectName()));
        if (model != QLatin1String("basic"))
            QVERIFY(showsPicture(rig.widget<QLabel>("depressimeter"), "digitalinputoff"));
    }

    // The listed cases through the page's own widgets, without a board.
    void debugSlotEdgeCases() {
        CleanSlate slate;
        BoardLink link;
        Session session(link);
        session.setModel(StoveModel::Basic);
        DebugPage basic(session);
        basic.build();
        const auto text = [&](const char *name) {
            return basic.findChild<QLineEdit *>(QLatin1String(name))->text();
        };
        basic.debugSlot(2, 100, 0, 25);
        QCOMPARE(text("envFanSpeed"), QStringLiteral("MAX"));
        QCOMPARE(text("smokeExtrFan"), QStringLiteral("OFF"));
        QCOMPARE(text("cochlea"), QStringLiteral("2.5"));
        basic.debugSlot(3, 40, 77, 100);
        QCOMPARE(text("stStove"), QStringLiteral("13"));
        QCOMPARE(text("stoveStatus"), QStringLiteral("Stove On (maximum efficiency)"));
        QCOMPARE(text("fuelCorr"), QStringLiteral("0"));
        basic.debugSlot(3, 40, 7, 90);
        QCOMPARE(text("stStove"), QStringLiteral("7"));
        QCOMPARE(text("stoveStatus"), QString());
        QCOMPARE(text("fuelCorr"), QStringLiteral("-100"));
        basic.debugSlot(4, 35, 12, 0);
        QCOMPARE(text("roundsLevel"), QStringLiteral("35"));
        session.setHubaMode(false);
        basic.debugSlot(4, 35, 12, 0);
        QCOMPARE(text("roundsLevel"), QStringLiteral("350"));
        QCOMPARE(text("encoder"), QStringLiteral("120"));
        basic.debugSlot(6, 6, 0, 0);
        QCOMPARE(text("alarmDisplaying"), QStringLiteral("Encoder alarm"));
        basic.debugSlot(6, 0, 0, 0);
        QCOMPARE(text("alarmDisplaying"), QString());
        // Indexes outside the model's range change nothing.
        basic.debugSlot(7, 1, 2, 3);
        basic.debugSlot(0, 1, 2, 3);
        QCOMPARE(text("tSmoke"), QString());

        session.setModel(StoveModel::Water);
        DebugPage water(session);
        water.build();
        water.debugSlot(5, 0x10, 5, 6);
        QVERIFY(showsPicture(water.findChild<QLabel *>(QStringLiteral("heatingPump")), "ledoff"));
        QVERIFY(showsPicture(water.findChild<QLabel *>(QStringLiteral("sanitaryPump")), "greenled"));
        QCOMPARE(water.findChild<QLineEdit *>(QStringLiteral("averagePressureReading"))->text(),
                 QStringLiteral("6"));
        water.debugSlot(6, 1, 2, 3);
        for (const QLineEdit *field :
             water.findChild<QGroupBox *>(QStringLiteral("debugGB"))->findChildren<QLineEdit *>())
            QVERIFY(field->text().isEmpty() || field->objectName().contains(QLatin1String("Pressure")));
    }

    // The simulated stove runs through its automaton, from ignition to full power, then an alarm
    // turns it off: the monitor shows every state on the way. The test lets the simulated time run
    // fast between states and holds it while the page catches up, so no short state is missed.
    void automatonStates() {
        Rig rig(QStringLiteral("basic"));
        QVERIFY(rig.detect());
        QStringList seen;
        QObject::connect(rig.widget("stoveStatus"), &QLineEdit::textChanged, [&](const QString &state) {
            if (seen.isEmpty() || seen.last() != state) seen.append(state);
        });
        const auto stateWord = [&] {
            static const QRegularExpression word(QStringLiteral(" state (\\d+) "));
            return word.match(control(rig.simulator, "status")).captured(1).toInt();
        };
        const auto hold = [&] {
            QVERIFY(control(rig.simulator, "speed 0.001").startsWith(QLatin1String("ok")));
        };
        const auto runToNextState = [&] {
            const int from = stateWord();
            QVERIFY(control(rig.simulator, "speed 300").startsWith(QLatin1String("ok")));
            QTRY_VERIFY_WITH_TIMEOUT(stateWord() != from, 20000);
            hold();
        };
        const auto shows = [&](const char *state) {
            QTRY_COMPARE_WITH_TIMEOUT(rig.text("stoveStatus"), QLatin1String(state), 10000);
        };
        hold();
        rig.poll();
        shows("Stove Off");
        QVERIFY(control(rig.simulator, "start").startsWith(QLatin1String("ok")));
        shows("Resistance Ignition");
        for (const char *next : {"Fuel Load", "Flame Stabilization", "Stove On (modulation)"}) {
            runToNextState();
            shows(next);
        }
        QVERIFY(!rig.text("cochlea").startsWith(QLatin1String("0.0")));
        QVERIFY(control(rig.simulator, "power 5").startsWith(QLatin1String("ok")));
        shows("Stove On (maximum efficiency)");
        QVERIFY(control(rig.simulator, "alarm 2").startsWith(QLatin1String("ok")));
        shows("Stove Power Off");
        QCOMPARE(rig.text("alarmDisplaying"), QStringLiteral("Smoke sensor alarm"));
        runToNextState();
        shows("Stove On Cooling");
        runToNextState();
        shows("Stove Off");
        QCOMPARE(seen, QStringList({QStringLiteral("Stove Off"), QStringLiteral("Resistance Ignition"),
                                    QStringLiteral("Fuel Load"), QStringLiteral("Flame Stabilization"),
                                    QStringLiteral("Stove On (modulation)"),
                                    QStringLiteral("Stove On (maximum efficiency)"),
                                    QStringLiteral("Stove Power Off"), QStringLiteral("Stove On Cooling"),
                                    QStringLiteral("Stove Off")}));
    }

    // A recording started just before midnight: the dialog's offer, the controls, one line a second
    // stamped by the recording's own clock into the next day, the live values in the lines.
    void recordingAcrossMidnight() {
        Rig rig(QStringLiteral("water"));
        QCOMPARE(control(rig.simulator, "input t2 145").left(2), QStringLiteral("ok"));
        QVERIFY(rig.detect());
        rig.poll();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.text("averagePressureReading").isEmpty(), 10000);
        const QDateTime start(QDate(2024, 2, 28), QTime(23, 59, 58, 500));
        rig.page.setWallClock([start] { return start; });
        rig.setGap(1);
        SaveDialogAnswerer dialog;
        dialog.answer = QDir::current().filePath(QStringLiteral("night.csv"));
        BoxAnswerer boxes;
        rig.recordButton()->click();
        QVERIFY(rig.page.isRecording());
        QCOMPARE(dialog.seen.size(), std::size_t{1});
        QCOMPARE(dialog.seen[0].title, QStringLiteral("Save as"));
        QCOMPARE(dialog.seen[0].proposed,
                 QDir::current().filePath(QStringLiteral("log/WATER_28_02_24_23_59.csv")));
        QCOMPARE(dialog.seen[0].filters, QStringLiteral("Files (*.csv)"));
        QVERIFY(rig.recordButton()->isChecked());
        QCOMPARE(rig.recordButton()->toolTip(), QStringLiteral("Stop"));
        QVERIFY(!rig.widget<QTimeEdit>("recCounterTimeEdit")->isHidden());
        QVERIFY(!rig.widget<QTimeEdit>("gapSecondsTimeEdit")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(rig.widget<QLabel>("recStatusLabel")->text(), QStringLiteral("RECORD"),
                                  2000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.widget<QLabel>("recStatusLabel")->text(), QString(), 2000);

        QTRY_VERIFY_WITH_TIMEOUT(dataLines(dialog.answer).size() >= 3, 6000);
        const int shownSeconds = rig.widget<QTimeEdit>("recCounterTimeEdit")->time().second();
        QVERIFY2(shownSeconds >= 2 && shownSeconds <= 4, qPrintable(QString::number(shownSeconds)));
        rig.recordButton()->click();
        QVERIFY(!rig.page.isRecording());
        QCOMPARE(rig.recordButton()->toolTip(), QStringLiteral("Record"));
        QVERIFY(rig.widget<QTimeEdit>("recCounterTimeEdit")->isHidden());
        QVERIFY(rig.widget<QTimeEdit>("gapSecondsTimeEdit")->isEnabled());
        const qsizetype written = dataLines(dialog.answer).size();
        QTest::qWait(1300);
        QCOMPARE(dataLines(dialog.answer).size(), written); // nothing after the stop
        QVERIFY(boxes.seen.empty());

        const QStringList lines = fileLines(dialog.answer);
        QCOMPARE(lines.value(0), QStringLiteral("MODEL=WATER"));
        QCOMPARE(lines.value(1), recordingColumns(StoveModel::Water).join(QLatin1Char(';')));
        QCOMPARE(lines.value(1).split(QLatin1Char(';')).size(), 21);
        QCOMPARE(lines.value(2).left(20), QStringLiteral("28/02/2024@23:59:59;"));
        QCOMPARE(lines.value(3).left(20), QStringLiteral("29/02/2024@00:00:00;"));
        QCOMPARE(lines.value(4).left(20), QStringLiteral("29/02/2024@00:00:01;"));
        for (qsizetype i = 2; i < lines.size(); ++i) {
            const QStringList items = lines.at(i).split(QLatin1Char(';'));
            QCOMPARE(items.size(), 22); // 20 values after the stamp, and the empty part after the last ';'
            QCOMPARE(items.last(), QString());
            QCOMPARE(items.at(1), rig.text("tSmoke"));
            QCOMPARE(items.at(8), QStringLiteral("Stove Off"));
            QCOMPARE(stampOf(lines.at(i)), start.addSecs(i - 1).addMSecs(-500));
        }
    }

    // Lines never skipped nor repeated when the event loop is held up; a second recording into the
    // same file appends to it.
    void busyMachineAndAppending() {
        CleanSlate slate;
        BoardLink link;
        Session session(link);
        session.setModel(StoveModel::AirDucted);
        DebugPage page(session);
        page.build();
        page.debugSlot(1, 150, 20, 3);
        const QDateTime start(QDate(2024, 6, 1), QTime(12, 0, 0));
        page.setWallClock([start] { return start; });
        page.findChild<QTimeEdit *>(QStringLiteral("gapSecondsTimeEdit"))->setTime(QTime(0, 0, 1));
        SaveDialogAnswerer dialog;
        dialog.answer = QDir::current().filePath(QStringLiteral("busy.csv"));
        page.toggleRec(true);
        QVERIFY(page.isRecording());
        QThread::msleep(3400); // the window thread is busy: three ticks are due when it returns
        QTest::qWait(200);
        QStringList lines = dataLines(dialog.answer);
        QCOMPARE(lines.size(), 3);
        for (qsizetype i = 0; i < lines.size(); ++i)
            QCOMPARE(lines.at(i), recordingStamp(start.addSecs(i + 1)) + QStringLiteral(";150;20;3;"));
        QTRY_COMPARE_WITH_TIMEOUT(dataLines(dialog.answer).size(), 4, 1500);
        page.toggleRec(false);

        page.debugSlot(1, 151, 20, 3);
        page.toggleRec(true);
        QTRY_COMPARE_WITH_TIMEOUT(dataLines(dialog.answer).size(), 5, 2000);
        page.stopRecording();
        lines = fileLines(dialog.answer);
        QCOMPARE(lines.size(), 9);
        QCOMPARE(lines.at(0), QStringLiteral("MODEL=AIR - DUCTED"));
        QCOMPARE(lines.at(6), QStringLiteral("MODEL=AIR - DUCTED"));
        QCOMPARE(lines.at(7), lines.at(1));
        QCOMPARE(lines.at(8), recordingStamp(start.addSecs(1)) + QStringLiteral(";151;20;3;"));
    }

    // Cancelling the dialog or a file that takes nothing: no recording, the button back to idle.
    void startFailures() {
        CleanSlate slate;
        BoardLink link;
        Session session(link);
        session.setModel(StoveModel::Basic);
        DebugPage page(session);
        page.build();
        auto *button = page.findChild<QToolButton *>(QStringLiteral("registrationToolButton"));
        SaveDialogAnswerer dialog;
        BoxAnswerer boxes;
        button->click();
        QCOMPARE(dialog.seen.size(), std::size_t{1});
        QVERIFY(!page.isRecording());
        QVERIFY(!button->isChecked());
        QVERIFY(boxes.seen.empty());

        dialog.answer = QStringLiteral("/dev/full");
        button->click();
        QVERIFY(!page.isRecording());
        QVERIFY(!button->isChecked());
        QCOMPARE(button->toolTip(), QStringLiteral("Record"));
        QVERIFY(page.findChild<QTimeEdit *>(QStringLiteral("gapSecondsTimeEdit"))->isEnabled());
        QVERIFY(page.findChild<QTimeEdit *>(QStringLiteral("recCounterTimeEdit"))->isHidden());
        QCOMPARE(boxes.seen.size(), std::size_t{1});
        QCOMPARE(boxes.seen[0].icon, QMessageBox::Critical);
        QCOMPARE(boxes.seen[0].title, QCoreApplication::applicationName());
        QCOMPARE(boxes.seen[0].text,
                 QStringLiteral("Impossible to write to file /dev/full\nThe recording has not started."));
        QVERIFY(!boxes.seen[0].hadParent);
        QTest::qWait(1200);
        QCOMPARE(boxes.seen.size(), std::size_t{1}); // no timer runs behind it
    }

    // The file becomes unwritable during a recording: one message while it is open, the lost lines
    // counted and reported at the stop, the recording going on once the file is back.
    void writeFailure() {
        CleanSlate slate;
        BoardLink link;
        Session session(link);
        session.setModel(StoveModel::Water);
        DebugPage page(session);
        page.build();
        page.findChild<QTimeEdit *>(QStringLiteral("gapSecondsTimeEdit"))->setTime(QTime(0, 0, 1));
        const QString path = QDir::current().filePath(QStringLiteral("lost.csv"));
        const QString moved = path + QStringLiteral(".first");
        SaveDialogAnswerer dialog;
        dialog.answer = path;
        BoxAnswerer boxes;
        // While the box is open, more lines fall due; then the file comes back.
        boxes.onBox = [&] {
            if (boxes.seen.size() != 1) return;
            QTest::qWait(2500);
            QVERIFY(QDir().rmdir(path));
        };
        page.toggleRec(true);
        QTRY_COMPARE_WITH_TIMEOUT(dataLines(path).size(), 1, 2000);
        QVERIFY(QFile::rename(path, moved));
        QVERIFY(QDir().mkdir(path));
        QTRY_COMPARE_WITH_TIMEOUT(boxes.seen.size(), std::size_t{1}, 3000);
        QCOMPARE(boxes.seen[0].text, QStringLiteral("Impossible to write to file ") + path);
        QTRY_VERIFY_WITH_TIMEOUT(!dataLines(path).isEmpty(), 4000);
        QVERIFY(page.isRecording());
        page.stopRecording();
        QCOMPARE(boxes.seen.size(), std::size_t{2});
        // The count is exactly the gap in the stamps.
        const qint64 lost = stampOf(dataLines(moved).last()).secsTo(stampOf(dataLines(path).first())) - 1;
        QVERIFY(lost >= 2);
        QCOMPARE(boxes.seen[1].icon, QMessageBox::Warning);
        QCOMPARE(boxes.seen[1].text,
                 QStringLiteral("Lines not written to the file %1: %2").arg(path).arg(lost));
        QVERIFY(!page.isRecording());
    }

    // The window asks before leaving the debug page while recording, by either button.
    void leavingThePageAsks() {
        CleanSlate slate;
        Simulator simulator(
            {QStringLiteral("--model"), QStringLiteral("water"), QStringLiteral("--no-pacing")});
        QVERIFY(simulator.ok());
        BoardLink link;
        Session session(link);
        SerialThread thread(link);
        HearthBench window(session, &thread);
        window.show();
        BoxAnswerer boxes(QMessageBox::No);
        SaveDialogAnswerer dialog;
        dialog.answer = QDir::current().filePath(QStringLiteral("leave.csv"));
        window.findChild<QToolButton *>(QStringLiteral("debugToolButton"))->click();
        QCOMPARE(window.currentPage(), Page::Debug);
        auto *page = window.findChild<DebugPage *>();
        window.findChild<QTimeEdit *>(QStringLiteral("gapSecondsTimeEdit"))->setTime(QTime(0, 0, 1));
        window.findChild<QToolButton *>(QStringLiteral("registrationToolButton"))->click();
        QVERIFY(page->isRecording());
        for (const char *leave : {"homeBDebug", "parBDebug"}) {
            window.findChild<QAbstractButton *>(QLatin1String(leave))->click();
            QCOMPARE(window.currentPage(), Page::Debug);
            QVERIFY(page->isRecording());
            QCOMPARE(thread.mode(), PollMode::Monitor);
        }
        QCOMPARE(boxes.seen.size(), std::size_t{2});
        QCOMPARE(boxes.seen[0].informative,
                 QStringLiteral("Data recording will be interrupted.\nDo you want to continue?"));
        QCOMPARE(boxes.seen[0].defaultButton, QMessageBox::No);
        QTRY_VERIFY_WITH_TIMEOUT(dataLines(dialog.answer).size() >= 1, 3000);
        boxes.queue(QMessageBox::Yes);
        window.findChild<QAbstractButton *>(QStringLiteral("parBDebug"))->click();
        QCOMPARE(window.currentPage(), Page::Parameters);
        QVERIFY(!page->isRecording());
        QVERIFY(!window.findChild<QToolButton *>(QStringLiteral("registrationToolButton"))->isChecked());
        QCOMPARE(thread.mode(), PollMode::Idle);
        const qsizetype written = dataLines(dialog.answer).size();
        QTest::qWait(1300);
        QCOMPARE(dataLines(dialog.answer).size(), written);
    }
};

QTEST_MAIN(DebugPageTest)
#include "tst_debug_page.moc"
