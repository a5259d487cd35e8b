// Renders the debug page of the main window for each stove model, offscreen, with a simulated stove
// running and a recording going: hb_debug_screenshots <stovesim> <output folder>. Writes
// debug-basic.png, debug-water.png and debug-air.png, and debug-trend.png: the WATER page with its
// trend window over the stove's ignition, the board silent for a while. Run it from the project root
// so that the "lang" folder is found.
#include "app/session.h"
#include "app/settings.h"
#include "app/texts.h"
#include "graphs/brokenline.h"
#include "graphs/serieslists.h"
#include "graphs/trendview.h"
#include "monitor/debugpage.h"
#include "monitor/trendwindow.h"
#include "program.h"
#include "ui/hearthbench.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeEdit>
#include <QTimer>
#include <QtTest/QTest>
#include <cstdio>

namespace {

// Starts the simulated stove and lets it run until it burns, then slows it to real time.
bool bringToBurning(hbsupport::Simulator &simulator) {
    simulator.control("start");
    for (int i = 0; i < 400; ++i) {
        if (simulator.control("status").find(" state 45 ") != std::string::npos) {
            simulator.control("speed 1");
            simulator.control("power 4");
            return true;
        }
        QThread::msleep(100);
    }
    return false;
}

// Enters the debug page and starts a recording every 2 s into `recording` (the save dialog
// answered with that file).
void startRecording(hbsupport::Program &program, const QString &recording) {
    program.click("debugToolButton");
    program.window().findChild<QTimeEdit *>(QStringLiteral("gapSecondsTimeEdit"))->setTime(QTime(0, 0, 2));
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            dialog->selectFile(recording);
            static_cast<QDialog *>(dialog)->accept();
        }
    });
    answerer.start(20);
    program.click("registrationToolButton");
}

bool renderModel(const QString &stovesim, const QString &model, const QString &file,
                 const QString &recording) {
    hbsupport::Program program({"--model", model.toStdString(), "--no-pacing", "--speed", "90"},
                               {.program = stovesim.toStdString()});
    if (!program.ok()) {
        std::fprintf(stderr, "hb_debug_screenshots: the simulator did not start\n");
        return false;
    }
    if (!bringToBurning(program.simulator()))
        std::fprintf(stderr, "hb_debug_screenshots: the stove did not start\n");

    HearthBench &window = program.window();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) std::fprintf(stderr, "hb_debug_screenshots: not exposed\n");
    startRecording(program, recording);
    QTest::qWait(4300);
    const bool saved = window.grab().save(file);
    if (!saved) std::fprintf(stderr, "hb_debug_screenshots: cannot write %s\n", qPrintable(file));
    return saved;
}

// The WATER page and its trend window over the stove's ignition (the simulated stove 30 times faster
// than real time), the board silent for a few seconds on the way; both windows in one picture.
bool renderTrend(const QString &stovesim, const QString &file, const QString &recording) {
    hbsupport::Program program({"--model", "water", "--no-pacing", "--speed", "30"},
                               {.program = stovesim.toStdString()});
    if (!program.ok()) {
        std::fprintf(stderr, "hb_debug_screenshots: the simulator did not start\n");
        return false;
    }
    HearthBench &window = program.window();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) std::fprintf(stderr, "hb_debug_screenshots: not exposed\n");
    startRecording(program, recording);
    TrendWindow *trend = window.findChild<DebugPage *>()->trendWindow();
    trend->pageButton()->click();
    graphs::TrendView *view = trend->view();
    // A few series: the temperatures, the extractor, the state and the heating pump.
    for (int column : {2, 3, 5, 8, 9, 10, 11, 12, 13, 14, 15, 17, 18, 19})
        emit view->lists()->viewedList()->itemActivated(view->series()[column]->listEntry());
    QTest::qWait(3000);
    hbsupport::Simulator &simulator = program.simulator();
    simulator.control("start");
    QTest::qWait(20000);
    // The board stops answering (its SMS modem enabled), then answers again.
    simulator.control("set tec 5 160");
    QTest::qWait(7000);
    simulator.control("set tec 5 128");
    QTest::qWait(20000);
    view->setSpan(graphs::TrendView::Span::All);
    QTest::qWait(600);
    const QPointF at(view->view()->viewport()->width() * 0.8, 200);
    QMouseEvent move(QEvent::MouseMove, at, view->view()->viewport()->mapToGlobal(at), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view->view()->viewport(), &move);
    const QImage page = window.grab().toImage();
    const QImage graphs = trend->grab().toImage();
    QImage both(std::max(page.width(), graphs.width()), page.height() + graphs.height(),
                QImage::Format_RGB32);
    both.fill(QColor(0xe0, 0xe0, 0xe0));
    QPainter painter(&both);
    painter.drawImage((both.width() - page.width()) / 2, 0, page);
    painter.drawImage((both.width() - graphs.width()) / 2, page.height(), graphs);
    painter.end();
    const bool saved = both.save(file);
    if (!saved) std::fprintf(stderr, "hb_debug_screenshots: cannot write %s\n", qPrintable(file));
    return saved;
}

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    setApplicationIdentity();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: hb_debug_screenshots <stovesim> <output folder> [trend]\n");
        return 2;
    }
    // Private settings and a private folder for the recordings: the pictures show the defaults.
    QTemporaryDir scratch;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.path());
    if (!loadLanguageFile(languageFilePath(QString::fromLatin1(defaultLanguage)))) useDefaultTexts();

    // Any message box (none is expected) is closed so that rendering never waits for a user.
    QTimer boxCloser;
    QObject::connect(&boxCloser, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "hb_debug_screenshots: closed a message box: %s\n", qPrintable(box->text()));
            box->reject();
        }
    });
    boxCloser.start(50);

    const QDir out(arguments.at(2));
    int result = 0;
    // "trend" as a third argument renders the trend picture only.
    const bool trendOnly = arguments.size() > 3 && arguments.at(3) == QLatin1String("trend");
    for (const char *model : {"basic", "water", "air"}) {
        if (trendOnly) break;
        const QString name = QLatin1String(model);
        if (!renderModel(arguments.at(1), name, out.filePath(QStringLiteral("debug-%1.png").arg(name)),
                         QDir(scratch.path()).filePath(name + QStringLiteral(".csv"))))
            result = 1;
    }
    if (!renderTrend(arguments.at(1), out.filePath(QStringLiteral("debug-trend.png")),
                     QDir(scratch.path()).filePath(QStringLiteral("trend.csv"))))
        result = 1;
    return result;
}
