// Renders the debug page of the main window for each stove model, offscreen, with a simulated stove
// running and a recording going: hb_debug_screenshots <stovesim> <output folder>. Writes
// debug-basic.png, debug-water.png and debug-air.png. Run it from the project root so that the
// "lang" folder is found.
#include "app/settings.h"
#include "app/texts.h"
#include "program.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
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
    program.click("debugToolButton");
    window.findChild<QTimeEdit *>(QStringLiteral("gapSecondsTimeEdit"))->setTime(QTime(0, 0, 2));

    // The save dialog of the recording gets a file of the temporary folder.
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            dialog->selectFile(recording);
            static_cast<QDialog *>(dialog)->accept();
        }
    });
    answerer.start(20);
    program.click("registrationToolButton");
    QTest::qWait(4300);
    const bool saved = window.grab().save(file);
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
        std::fprintf(stderr, "usage: hb_debug_screenshots <stovesim> <output folder>\n");
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
    for (const char *model : {"basic", "water", "air"}) {
        const QString name = QLatin1String(model);
        if (!renderModel(arguments.at(1), name, out.filePath(QStringLiteral("debug-%1.png").arg(name)),
                         QDir(scratch.path()).filePath(name + QStringLiteral(".csv"))))
            result = 1;
    }
    return result;
}
