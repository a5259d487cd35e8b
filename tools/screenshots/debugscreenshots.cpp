// Renders the debug page of the main window for each stove model, offscreen, with a simulated stove
// running and a recording going: hb_debug_screenshots <stovesim> <output folder>. Writes
// debug-basic.png, debug-water.png and debug-air.png. Run it from the project root so that the
// "lang" folder is found.
#include "app/session.h"
#include "app/settings.h"
#include "app/texts.h"
#include "board/boardlink.h"
#include "board/serialthread.h"
#include "ui/hearthbench.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>
#include <cstdio>

namespace {

QByteArray control(QProcess &simulator, const QByteArray &command) {
    simulator.write(command + '\n');
    for (int i = 0; i < 50 && !simulator.canReadLine(); ++i)
        simulator.waitForReadyRead(100);
    return simulator.readLine().trimmed();
}

// Starts the simulated stove and lets it run until it burns, then slows it to real time.
bool bringToBurning(QProcess &simulator) {
    control(simulator, "start");
    for (int i = 0; i < 400; ++i) {
        if (control(simulator, "status").contains(" state 45 ")) {
            control(simulator, "speed 1");
            control(simulator, "power 4");
            return true;
        }
        QThread::msleep(100);
    }
    return false;
}

bool renderModel(const QString &stovesim, const QString &model, const QString &file,
                 const QString &recording) {
    QProcess simulator;
    simulator.start(stovesim, {QStringLiteral("--model"), model, QStringLiteral("--no-pacing"),
                               QStringLiteral("--speed"), QStringLiteral("90")});
    if (!simulator.waitForStarted(5000) || !simulator.waitForReadyRead(5000)) {
        std::fprintf(stderr, "hb_debug_screenshots: the simulator did not start\n");
        return false;
    }
    qputenv("PYROLINK_COM1", simulator.readLine().trimmed());
    if (!bringToBurning(simulator)) std::fprintf(stderr, "hb_debug_screenshots: the stove did not start\n");

    bool saved = false;
    BoardLink link;
    Session session(link);
    SerialThread thread(link);
    {
        HearthBench window(session, &thread);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            std::fprintf(stderr, "hb_debug_screenshots: not exposed\n");
        window.findChild<QToolButton *>(QStringLiteral("debugToolButton"))->click();
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
        window.findChild<QToolButton *>(QStringLiteral("registrationToolButton"))->click();
        QTest::qWait(4300);
        saved = window.grab().save(file);
        if (!saved) std::fprintf(stderr, "hb_debug_screenshots: cannot write %s\n", qPrintable(file));
        thread.requestStop();
        thread.wait();
    }
    simulator.kill();
    simulator.waitForFinished(3000);
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
