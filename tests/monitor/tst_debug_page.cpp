// The debug page against the simulator: live values per model, the stove automaton's states, the
// recording with its clock, its file and its failures, the question when leaving the page, and the
// live trend with its window.
#include "Resources/resourcebundle.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/texts.h"
#include "board/boardlink.h"
#include "board/detection.h"
#include "board/serialthread.h"
#include "graphs/brokenline.h"
#include "graphs/graphicsdisplayer.h"
#include "graphs/livetrend.h"
#include "graphs/recording.h"
#include "graphs/seriestable.h"
#include "graphs/showgraphics.h"
#include "graphs/trendview.h"
#include "helpers.h"
#include "monitor/debugpage.h"
#include "monitor/recording.h"
#include "monitor/trendwindow.h"
#include "program.h"
#include "ui/hearthbench.h"

#include <QDial>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QStackedWidget>
#include <QThread>
#include <QTimeEdit>
#include <QToolButton>
#include <QWheelEvent>

using namespace hbtest;

namespace {

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

// A debug page of `model` without a board, with its boxes and file dialogs answered.
struct PageOnly {
    explicit PageOnly(StoveModel model) {
        session.setModel(model);
        page.build();
        page.findChild<QTimeEdit *>(QStringLiteral("gapSecondsTimeEdit"))->setTime(QTime(0, 0, 1));
    }
    CleanSlate slate;
    BoardLink link;
    Session session{link};
    DebugPage page{session};
    BoxAnswerer boxes;
    FileDialogAnswerer files;
};

// A debug page with its board link, session and polling thread; the simulator on COM1.
class Rig {
public:
    explicit Rig(const QString &model, const QStringList &extra = {}) : simulator(arguments(model, extra)) {}
    ~Rig() {
        thread.requestStop();
        thread.wait();
        board.link.close();
    }
    // Opens the link, detects the model and builds the page, as the first page entry does.
    bool detect() {
        if (!simulator.ok() || !board.detect()) return false;
        page.showIdentity(board.session.model(), board.session.identity());
        page.build();
        page.clearDebugValues();
        return true;
    }
    void poll() {
        QObject::connect(&thread, &SerialThread::debugRead, &page, &DebugPage::debugSlot);
        thread.setModel(board.session.model());
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
    QStringList texts(std::initializer_list<const char *> names) {
        QStringList all;
        for (const char *name : names)
            all << text(name);
        return all;
    }
    QToolButton *recordButton() { return widget<QToolButton>("registrationToolButton"); }
    static std::vector<std::string> arguments(const QString &model, const QStringList &extra) {
        std::vector<std::string> all{"--model", model.toStdString(), "--no-pacing"};
        for (const QString &argument : extra)
            all.push_back(argument.toStdString());
        return all;
    }
    void setGap(int seconds) {
        widget<QTimeEdit>("gapSecondsTimeEdit")->setTime(QTime(0, 0).addSecs(seconds));
    }

    CleanSlate slate;
    Simulator simulator;
    BoardSession board;
    DebugPage page{board.session};
    SerialThread thread{board.link};
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
        QCOMPARE(rig.texts({"tSmoke", "tAir", "envFanSpeed", "smokeExtrFan", "cochlea", "stStove",
                            "stoveStatus", "encoder"}),
                 (QStringList{"145", "21", "OFF", "123", "0.0", "8", "Stove Off", "1230"}));
        QCOMPARE(rig.widget<QLabel>("roundsLevelLabel")->text(), QStringLiteral("Huba Set"));
        rig.board.session.setHubaMode(false);
        QCOMPARE(rig.widget<QLabel>("roundsLevelLabel")->text(), QStringLiteral("Encoder Set"));

        if (model == QLatin1String("basic")) {
            QCOMPARE(rig.texts({"potentiometer", "fuelCorr", "alarmDisplaying"}),
                     (QStringList{"40", "-100", ""}));
            QCOMPARE(rig.widget<QDial>("potentiometerDial")->value(), 40);
            QCOMPARE(rig.widget<QDial>("fuelCorrDial")->value(), -100);
        } else {
            QCOMPARE(rig.text(model == QLatin1String("water") ? "waterProbe" : "probeChannel1"),
                     QStringLiteral("55"));
            // Inputs 0x22: the depressure switch and the external thermostat.
            QVERIFY(showsIcon(rig.widget<QLabel>("depressimeter"), "digitalinput"));
            QVERIFY(showsIcon(rig.widget<QLabel>("externalThermostat"), "digitalinput"));
            QVERIFY(showsIcon(rig.widget<QLabel>("pelletThermostat"), "digitalinputoff"));
            QVERIFY(showsIcon(rig.widget<QLabel>("heatThermostat"), "digitalinputoff"));
        }
        if (model == QLatin1String("water")) {
            // The heating pump runs with the water above its minimum, and then the pressure rises.
            QTRY_VERIFY(showsIcon(rig.widget<QLabel>("heatingPump"), "greenled"));
            QVERIFY(showsIcon(rig.widget<QLabel>("sanitaryPump"), "ledoff"));
            QVERIFY(showsIcon(rig.widget<QLabel>("fluxstate"), "digitalinputoff"));
            QCOMPARE(rig.text("wpx250"), QStringLiteral("1.5"));
        }
        if (model == QLatin1String("air")) {
            QVERIFY(showsIcon(rig.widget<QLabel>("externalThermostatChannel2"), "digitalinputoff"));
            QCOMPARE(rig.text("channel1"), QStringLiteral("0"));
        }

        // Entering the page again starts from empty fields and inputs off.
        rig.thread.setMode(PollMode::Idle);
        QTest::qWait(600);
        rig.page.clearDebugValues();
        for (QLineEdit *field : fields)
            QVERIFY2(field->text().isEmpty(), qPrintable(field->objectName()));
        if (model != QLatin1String("basic"))
            QVERIFY(showsIcon(rig.widget<QLabel>("depressimeter"), "digitalinputoff"));
    }

    // What the page adds to the decoding, without a board: the range group of the session.
    void debugSlotEdgeCases() {
        PageOnly basic(StoveModel::Basic);
        basic.page.debugSlot(4, 35, 12, 0);
        QCOMPARE(child<QLineEdit>(basic.page, "roundsLevel")->text(), QStringLiteral("35"));
        basic.session.setHubaMode(false);
        basic.page.debugSlot(4, 35, 12, 0);
        QCOMPARE(child<QLineEdit>(basic.page, "roundsLevel")->text(), QStringLiteral("350"));
    }

    // A recording started just before midnight and before the polling, on a board that never
    // answers one index: the dialog's offer and the controls; one line a second stamped by the
    // recording's own clock into the next day; every line with the column line's items, the values
    // of indexes not read empty in their own columns, which the graph viewer reads as missing values
    // (not zeros, not a damaged line); nothing after the stop.
    void recordingBeforeEveryIndexArrived_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("modelName");
        QTest::addColumn<QString>("silentIndex");
        QTest::addColumn<int>("firstColumn"); // the silent index's values, among the value columns
        QTest::addColumn<int>("lastColumn");
        QTest::newRow("basic: speeds") << "basic"
                                       << "BASIC"
                                       << "DEBUG02" << 3 << 5;
        QTest::newRow("water: state and inputs") << "water"
                                                 << "WATER"
                                                 << "DEBUG03" << 6 << 12;
        QTest::newRow("air: set point") << "air"
                                        << "AIR - DUCTED"
                                        << "DEBUG04" << 13 << 15;
    }
    void recordingBeforeEveryIndexArrived() {
        QFETCH(QString, model);
        QFETCH(QString, modelName);
        QFETCH(QString, silentIndex);
        QFETCH(int, firstColumn);
        QFETCH(int, lastColumn);
        Rig rig(model,
                {QStringLiteral("--drop"), QStringLiteral("1"), QStringLiteral("--only"), silentIndex});
        for (const char *command : {"input t1 21", "input t2 145"})
            QCOMPARE(control(rig.simulator, command).left(2), QStringLiteral("ok"));
        QVERIFY(rig.detect());
        const StoveModel stove = rig.board.session.model();
        const qsizetype columns = recordingColumns(stove).size();
        const QDateTime start(QDate(2024, 2, 28), QTime(23, 59, 58, 500));
        rig.page.setWallClock([start] { return start; });
        rig.setGap(1);
        FileDialogAnswerer dialog(QDir::current().filePath(QStringLiteral("early.csv")));
        BoxAnswerer boxes;
        QElapsedTimer clock;
        clock.start();
        rig.recordButton()->click();
        QVERIFY(rig.page.isRecording());
        QCOMPARE(dialog.seen.size(), std::size_t{1});
        QCOMPARE(dialog.seen[0].title, QStringLiteral("Save as"));
        QCOMPARE(dialog.seen[0].proposed,
                 QDir::current().filePath("log/" + modelName + "_28_02_24_23_59.csv"));
        QCOMPARE(dialog.seen[0].filters, QStringLiteral("Files (*.csv)"));
        QVERIFY(rig.recordButton()->isChecked());
        QCOMPARE(rig.recordButton()->toolTip(), QStringLiteral("Stop"));
        QVERIFY(!rig.widget<QTimeEdit>("recCounterTimeEdit")->isHidden());
        QVERIFY(!rig.widget<QTimeEdit>("gapSecondsTimeEdit")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(rig.widget<QLabel>("recStatusLabel")->text(), QStringLiteral("RECORD"),
                                  2000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.widget<QLabel>("recStatusLabel")->text(), QString(), 2000);
        // Nothing read yet: the first line is the stamp and an empty item per column.
        QTRY_VERIFY_WITH_TIMEOUT(!dataLines(dialog.answer).isEmpty(), 10000);
        QCOMPARE(dataLines(dialog.answer).first(),
                 "28/02/2024@23:59:59" + QString(columns, QLatin1Char(';')));
        rig.poll();
        const auto withValues = [&] {
            const QStringList lines = dataLines(dialog.answer);
            return std::count_if(lines.begin(), lines.end(),
                                 [](const QString &line) { return line.section(';', 1, 1) == "145"; });
        };
        QTRY_VERIFY_WITH_TIMEOUT(withValues() >= 2, 30000);
        const int shownSeconds = rig.widget<QTimeEdit>("recCounterTimeEdit")->time().second();
        QVERIFY2(shownSeconds >= 2 && shownSeconds <= clock.elapsed() / 1000,
                 qPrintable(QString::number(shownSeconds)));
        rig.recordButton()->click();
        QVERIFY(!rig.page.isRecording());
        QCOMPARE(rig.recordButton()->toolTip(), QStringLiteral("Record"));
        QVERIFY(rig.widget<QTimeEdit>("recCounterTimeEdit")->isHidden());
        QVERIFY(rig.widget<QTimeEdit>("gapSecondsTimeEdit")->isEnabled());
        const QStringList lines = dataLines(dialog.answer);
        QTest::qWait(1300);
        QCOMPARE(dataLines(dialog.answer).size(), lines.size()); // nothing after the stop
        QVERIFY(boxes.seen.empty());

        QCOMPARE(fileLines(dialog.answer).mid(0, 2),
                 (QStringList{"MODEL=" + modelName, recordingColumns(stove).join(QLatin1Char(';'))}));
        QVERIFY(lines.size() >= 3);
        QCOMPARE(lines[1].left(20), QStringLiteral("29/02/2024@00:00:00;"));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QCOMPARE(stampOf(lines[i]), start.addSecs(i + 1).addMSecs(-500));
            const QStringList items = lines[i].split(QLatin1Char(';'));
            QCOMPARE(items.size(), columns + 1);
            QCOMPARE(items.last(), QString());
            for (int column = firstColumn; column <= lastColumn; ++column)
                QCOMPARE(items.at(column + 1), QString());
            QVERIFY2(items.at(1).isEmpty() || (items.at(1) == "145" && items.at(2) == "21"),
                     qPrintable(lines[i]));
        }
        QCOMPARE(lines.last().section(';', 1, 2), QStringLiteral("145;21"));

        QFile file(dialog.answer);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto recorded = graphs::readRecording(file, graphs::RecordedModel(int(stove)));
        QVERIFY(recorded && recorded->size() == lines.size() && recorded->damagedLines() == 0);
        QVERIFY(!recorded->present(0, 0) && !recorded->present(firstColumn, recorded->size() - 1));
        // Lines without a decimal still give the interval.
        QCOMPARE(graphs::readRecordingInterval(dialog.answer).seconds, std::optional<qint64>(1));
    }

    // Lines never skipped nor repeated when the event loop is held up, but those that fell due
    // before the newest are written without values (they were read after those stamps); a second
    // recording into the same file appends to it; values forgotten (the board silent) are missing.
    void busyMachineAndAppending() {
        PageOnly rig(StoveModel::AirDucted);
        rig.page.debugSlot(1, 150, 20, 3);
        const QDateTime start(QDate(2024, 6, 1), QTime(12, 0, 0));
        rig.page.setWallClock([start] { return start; });
        rig.files.answer = QDir::current().filePath(QStringLiteral("busy.csv"));
        QElapsedTimer clock;
        clock.start();
        rig.page.toggleRec(true);
        QVERIFY(rig.page.isRecording());
        QThread::msleep(3400); // the window thread is busy: three ticks are due when it returns
        QTest::qWait(200);
        // One line per second passed, each stamp once, however late the ticks came; the values only
        // in the newest of those written at once (and in any written on time after it).
        const QString empty(20, QLatin1Char(';'));
        const QString values = QStringLiteral(";150;20;3") + QString(17, QLatin1Char(';'));
        QStringList lines = dataLines(rig.files.answer);
        QVERIFY2(lines.size() >= 3 && lines.size() <= clock.elapsed() / 1000, qPrintable(lines.join('\n')));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString stamp = recordingStamp(start.addSecs(i + 1));
            if (i < 2) QCOMPARE(lines.at(i), stamp + empty);
            if (i + 1 == lines.size()) QCOMPARE(lines.at(i), stamp + values);
            QVERIFY2(lines.at(i) == stamp + empty || lines.at(i) == stamp + values, qPrintable(lines.at(i)));
        }
        rig.page.toggleRec(false);

        const qsizetype first = lines.size();
        rig.page.forgetRecordedValues();
        rig.page.debugSlot(2, 100, 0, 25);
        rig.page.toggleRec(true);
        QTRY_VERIFY_WITH_TIMEOUT(dataLines(rig.files.answer).size() > first, 3000);
        rig.page.stopRecording();
        lines = fileLines(rig.files.answer);
        QCOMPARE(lines.at(0), QStringLiteral("MODEL=AIR - DUCTED"));
        QCOMPARE(lines.at(first + 2), QStringLiteral("MODEL=AIR - DUCTED"));
        QCOMPARE(lines.at(first + 3), lines.at(1));
        QCOMPARE(lines.at(first + 4), recordingStamp(start.addSecs(1)) + QStringLiteral(";;;;100;0;2.5") +
                                          QString(14, QLatin1Char(';')));
    }

    // Cancelling the dialog or a file that takes nothing: no recording, the button back to idle.
    void startFailures() {
        PageOnly rig(StoveModel::Basic);
        auto *button = rig.page.findChild<QToolButton *>(QStringLiteral("registrationToolButton"));
        button->click();
        QCOMPARE(rig.files.seen.size(), std::size_t{1});
        QVERIFY(!rig.page.isRecording() && !button->isChecked());
        QVERIFY(rig.boxes.seen.empty());

        rig.files.answer = QStringLiteral("/dev/full");
        button->click();
        QVERIFY(!rig.page.isRecording() && !button->isChecked());
        QCOMPARE(button->toolTip(), QStringLiteral("Record"));
        QVERIFY(rig.page.findChild<QTimeEdit *>(QStringLiteral("gapSecondsTimeEdit"))->isEnabled());
        QVERIFY(rig.page.findChild<QTimeEdit *>(QStringLiteral("recCounterTimeEdit"))->isHidden());
        QCOMPARE(rig.boxes.shown(), QStringList{"critical Hearth Bench: Impossible to write to file "
                                                "/dev/full\nThe recording has not started."});
        QVERIFY(!rig.boxes.seen[0].hadParent);
        QTest::qWait(1200);
        QCOMPARE(rig.boxes.seen.size(), std::size_t{1}); // no timer runs behind it
    }

    // The file becomes unwritable during a recording: one message while it is open, the lost lines
    // counted and reported at the stop, the recording going on once the file is back.
    void writeFailure() {
        PageOnly rig(StoveModel::Water);
        const QString path = QDir::current().filePath(QStringLiteral("lost.csv"));
        const QString moved = path + QStringLiteral(".first");
        rig.files.answer = path;
        // While the box is open, more lines fall due; then the file comes back.
        rig.boxes.onBox = [&] {
            if (rig.boxes.seen.size() != 1) return;
            QTest::qWait(2500);
            QVERIFY(QDir().rmdir(path));
        };
        rig.page.toggleRec(true);
        QTRY_COMPARE_WITH_TIMEOUT(dataLines(path).size(), 1, 2000);
        QVERIFY(QFile::rename(path, moved));
        QVERIFY(QDir().mkdir(path));
        QTRY_COMPARE_WITH_TIMEOUT(rig.boxes.seen.size(), std::size_t{1}, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(!dataLines(path).isEmpty(), 4000);
        QVERIFY(rig.page.isRecording());
        rig.page.stopRecording();
        QVERIFY(!rig.page.isRecording());
        // The count is exactly the gap in the stamps.
        const qint64 lost = stampOf(dataLines(moved).last()).secsTo(stampOf(dataLines(path).first())) - 1;
        QVERIFY(lost >= 2);
        QCOMPARE(rig.boxes.shown(),
                 (QStringList{"critical Hearth Bench: Impossible to write to file " + path,
                              QStringLiteral("warning Hearth Bench: Lines not written to the file %1: %2")
                                  .arg(path)
                                  .arg(lost)}));
    }

    // The window asks before leaving the debug page while recording, by either button.
    void leavingThePageAsks() {
        CleanSlate slate;
        hbsupport::Program program({"--model", "water", "--no-pacing"});
        QVERIFY(program.ok());
        HearthBench &window = program.window();
        const SerialThread &thread = program.thread();
        window.show();
        BoxAnswerer boxes(QMessageBox::No);
        FileDialogAnswerer dialog(QDir::current().filePath(QStringLiteral("leave.csv")));
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
        QCOMPARE(
            boxes.shown(),
            QStringList(
                2, "plain Hearth Bench:  | Data recording will be interrupted.\nDo you want to continue?"));
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

    // The trend of each model: the model's series, every triplet's values in its index's row at the
    // time it arrived, and the cursor read-out of the trend window at that time.
    void trendPerModel_data() { liveValuesPerModel_data(); }
    void trendPerModel() {
        QFETCH(QString, model);
        Rig rig(model);
        QCOMPARE(rig.simulator.control("input t2 145").substr(0, 2), std::string("ok"));
        QVERIFY(rig.detect());
        const StoveModel stove = rig.board.session.model();
        TrendWindow *window = rig.page.trendWindow();
        graphs::TrendView *view = window->view();
        const auto defs = graphs::seriesDefs(graphs::RecordedModel(int(stove)));
        QCOMPARE(view->series().size(), qsizetype(defs.size()));
        for (std::size_t c = 0; c < defs.size(); ++c)
            QCOMPARE(view->series()[qsizetype(c)]->name(), graphs::seriesName(defs[c]));
        QCOMPARE(window->windowTitle(), "Trend - " + modelName(stove, false));
        const MonitorTrend &trend = window->monitorTrend();
        int checked = 0, wrong = 0;
        qint64 previous = trend.now();
        rig.poll();
        // Runs after the page's slot for the same triplet.
        QObject::connect(
            &rig.thread, &SerialThread::debugRead, &rig.page, [&](short index, short t1, short t2, short t3) {
                const qint64 now = trend.now();
                const graphs::Recording &group = *trend.trend()->group(index - 1);
                const auto decoded = decodeTriplet(stove, index, t1, t2, t3, rig.board.session.hubaMode());
                const qsizetype last = group.size() - 1;
                bool right = last >= 0 && group.time(last) >= previous && group.time(last) <= now &&
                             group.columnCount() == decoded->recorded.size();
                for (int k = 0; right && k < group.columnCount(); ++k)
                    right = group.text(k, last) == decoded->recorded[k].text;
                wrong += right ? 0 : 1;
                ++checked;
                previous = now;
            });
        QTRY_VERIFY_WITH_TIMEOUT(checked >= 2 * monitorIndexCount(stove), 30000);
        QCOMPARE(wrong, 0);
        window->pageButton()->click();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        view->refresh();
        const graphs::Recording &first = *trend.trend()->group(0);
        const qint64 time = first.time(first.size() - 1);
        const QPoint at = view->view()->mapFromScene(QPointF(view->sceneX(time), 0));
        QMouseEvent move(QEvent::MouseMove, QPointF(at.x(), 100),
                         view->view()->viewport()->mapToGlobal(QPointF(at.x(), 100)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view->view()->viewport(), &move);
        QCOMPARE(view->view()->cursorReadout().heading,
                 first.dateTime(first.size() - 1).toString(QStringLiteral("dd/MM/yyyy h:mm:ss")));
        QCOMPARE(view->view()->cursorReadout().lines.at(0).first,
                 QStringLiteral("Smoke Temperature: 145 [°C]"));
    }

    // Following the newest values, the span buttons, zooming that stops following and the End key
    // that resumes it; a board that stops answering and a page that is left break every line.
    void trendFollowSpansAndGaps() {
        Rig rig(QStringLiteral("water"));
        QVERIFY(rig.detect());
        TrendWindow *window = rig.page.trendWindow();
        graphs::TrendView *view = window->view();
        rig.page.show();
        window->pageButton()->click();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        rig.poll();
        const graphs::LiveTrend &live = *window->monitorTrend().trend();
        QTRY_VERIFY_WITH_TIMEOUT(live.group(0)->size() >= 2, 15000);
        graphs::GraphView *graph = view->view();
        const double width = graph->viewport()->width() - 8;
        const auto endX = [&] {
            view->refresh();
            return graph->mapFromScene(QPointF(view->sceneX(*live.end()), 0)).x();
        };
        const auto scaleIs = [&](double seconds) {
            return qAbs(graph->horizontalScale() * seconds * graphs::kStep / width - 1) < 1e-6;
        };
        QVERIFY(view->isFollowing() && view->followButton()->isChecked());
        QVERIFY(scaleIs(300));
        QVERIFY(qAbs(endX() - width) <= 1);
        QTest::qWait(1200);
        QVERIFY(qAbs(endX() - width) <= 1); // it moved on with the time
        view->spanButton(graphs::TrendView::Span::TwoHours)->click();
        QVERIFY(scaleIs(7200) && qAbs(endX() - width) <= 1);
        view->spanButton(graphs::TrendView::Span::All)->click();
        QVERIFY(scaleIs((view->sceneX(*live.end()) - view->sceneX(*live.start())) / graphs::kStep));
        view->spanButton(graphs::TrendView::Span::FiveMinutes)->click();
        const QPoint middle = graph->viewport()->rect().center();
        QWheelEvent wheel(middle, graph->viewport()->mapToGlobal(middle), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(graph->viewport(), &wheel);
        QVERIFY(!view->isFollowing() && !view->followButton()->isChecked());
        const int scrolled = graph->horizontalScrollBar()->value();
        QTest::qWait(1200);
        QVERIFY(endX() > width + 2); // the newest values went on beyond the right edge
        QCOMPARE(graph->horizontalScrollBar()->value(), scrolled);
        QTest::keyClick(graph, Qt::Key_End);
        QVERIFY(view->isFollowing() && scaleIs(300) && qAbs(endX() - width) <= 1); // at the span chosen

        const auto lastIsGap = [&](int g) {
            const graphs::Recording &group = *live.group(g);
            return group.size() > 0 && !group.present(0, group.size() - 1);
        };
        const auto allGaps = [&] {
            for (int g = 0; g < live.groupCount(); ++g)
                if (!lastIsGap(g)) return false;
            return true;
        };
        QCOMPARE(rig.simulator.control("set tec 5 160").substr(0, 2), std::string("ok")); // the board silent
        QTRY_VERIFY_WITH_TIMEOUT(allGaps(), 10000);
        const qsizetype before = live.group(0)->size();
        QCOMPARE(rig.simulator.control("set tec 5 128").substr(0, 2), std::string("ok"));
        QTRY_VERIFY_WITH_TIMEOUT(live.group(0)->size() > before && !lastIsGap(0), 20000);
        // The smoke line breaks between the values before and after the silence.
        std::vector<QPointF> points;
        graphs::ColumnIndex index;
        const graphs::TimeScale scale(live.origin(), 1000, graphs::kStep);
        graphs::seriesPolyline(*live.group(0), 0, scale, {1, 0}, {-1, 500}, graphs::Shape::Linear,
                               {-1e9, 1e9}, graphs::Drawing::Full, index, points);
        const double lastBefore = double(scale.x(live.group(0)->time(before - 2)));
        const auto at =
            std::find_if(points.begin(), points.end(), [&](QPointF p) { return p.x() == lastBefore; });
        QVERIFY(at != points.end() && at + 1 != points.end() && graphs::isBreak(*(at + 1)));

        rig.page.hide(); // leaving the page
        QVERIFY(allGaps());
    }

    // The series chosen are kept per model; another model starts a new trend with its own series;
    // the trend window's texts in Italian.
    void trendSeriesModelsAndItalian() {
        PageOnly rig(StoveModel::Water);
        TrendWindow *window = rig.page.trendWindow();
        graphs::TrendView *view = window->view();
        rig.page.debugSlot(1, 150, 20, 3);
        QCOMPARE(window->monitorTrend().trend()->group(0)->size(), 1);
        QListWidget *shown = view->lists()->viewedList();
        emit shown->itemActivated(view->series()[1]->listEntry());
        emit shown->itemActivated(view->series()[7]->listEntry());
        QCOMPARE(QSettings().value(QStringLiteral("trendSeries/WATER")).toString(),
                 QStringLiteral("0,2,3,4,5,6,8,9,10,11,12,13,14,15,16,17,18,19"));
        rig.session.setModel(StoveModel::Basic);
        QCOMPARE(window->windowTitle(), QStringLiteral("Trend - BASIC"));
        QCOMPARE(view->series().size(), 14);
        QCOMPARE(shown->count(), 14);
        QCOMPARE(view->series()[13]->name(), QStringLiteral("Alarms"));
        QCOMPARE(window->monitorTrend().trend()->group(0)->size(), 0);
        rig.session.setModel(StoveModel::Water);
        QCOMPARE(shown->count(), 18);
        QCOMPARE(view->lists()->unviewedList()->item(0)->text(), QStringLiteral("Air Temperature [°C]"));

        rig.slate.installShippedLanguages();
        QVERIFY(loadLanguageFile(languageFilePath(QStringLiteral("Italiano"))));
        rig.page.applyTexts();
        QCOMPARE(window->windowTitle(), QStringLiteral("Andamento - WATER"));
        QCOMPARE(view->followButton()->text(), QStringLiteral("Segui"));
        QCOMPARE(shown->item(0)->text(), QStringLiteral("Temperatura fumi [°C]"));
        QCOMPARE(shown->count(), 18);
    }

    // While a recording runs, the lines written so far open in the graph viewer and the recording
    // goes on into the same file.
    void openInViewerWhileRecording() {
        PageOnly rig(StoveModel::Water);
        TrendWindow *window = rig.page.trendWindow();
        QAbstractButton *open = window->openInViewerButton();
        rig.files.answer = QDir::current().filePath(QStringLiteral("open.csv"));
        rig.page.debugSlot(1, 150, 20, 3);
        QVERIFY(!open->isEnabled());
        rig.page.toggleRec(true);
        QTRY_VERIFY_WITH_TIMEOUT(dataLines(rig.files.answer).size() >= 2 && open->isEnabled(), 4000);
        open->click();
        auto *opener = window->findChild<graphs::GraphicsOpener *>();
        QVERIFY(opener != nullptr);
        graphs::GraphicsDisplayer *viewer = nullptr;
        connect(opener, &graphs::GraphicsOpener::finished, this,
                [&](graphs::GraphicsDisplayer *opened) { viewer = opened; });
        QTRY_VERIFY_WITH_TIMEOUT(viewer != nullptr, 5000);
        const qsizetype shownLines = viewer->series().first()->sampleCount();
        QVERIFY(shownLines >= 2);
        QCOMPARE(viewer->series().first()->sample(0).value.toString(), QStringLiteral("150"));
        QTRY_VERIFY_WITH_TIMEOUT(dataLines(rig.files.answer).size() > shownLines, 3000);
        rig.page.stopRecording();
        QTRY_VERIFY_WITH_TIMEOUT(!open->isEnabled(), 2000);
        delete viewer;
        QVERIFY(rig.boxes.seen.empty());
    }
};

QTEST_MAIN(DebugPageTest)
#include "tst_debug_page.moc"
