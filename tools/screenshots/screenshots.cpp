// Renders the pages of the main window to PNG files, offscreen, after the model detection against
// the simulator: hb_screenshots <stovesim> <output folder> [model [model-pages]]. Besides the seven
// pages it renders the model's own pictures (the hardware test page at work: testhw-<model>.png)
// and the "Compare with board" dialog for a parameter file that differs from the board in three
// rows; with "model-pages" only the model's own pictures. Run it from the project root so that the
// "lang" folder is found.
#include "app/settings.h"
#include "app/texts.h"
#include "parameters/catalogue.h"
#include "parameters/comparedialog.h"
#include "parameters/parameterfile.h"
#include "parameters/parameterspage.h"
#include "program.h"

#include <QAbstractSlider>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>
#include <cstdio>

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    setApplicationIdentity();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr,
                     "usage: hb_screenshots <stovesim> <output folder> [basic|water|air [model-pages]]\n");
        return 2;
    }
    const QString model = arguments.value(3, QStringLiteral("water"));
    const bool modelPagesOnly = arguments.value(4) == QLatin1String("model-pages");

    // Private settings: the pictures show the defaults, never the user's own choices.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    if (!loadLanguageFile(languageFilePath(QString::fromLatin1(defaultLanguage)))) useDefaultTexts();

    // Any message box (none is expected) is closed so that rendering never waits for a user.
    QTimer boxCloser;
    QObject::connect(&boxCloser, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "hb_screenshots: closed a message box: %s\n", qPrintable(box->text()));
            box->reject();
        }
    });
    boxCloser.start(50);

    int result = 0;
    {
        hbsupport::Program program({"--model", model.toStdString(), "--no-pacing"},
                                   {.program = arguments.at(1).toStdString()});
        if (!program.ok()) {
            std::fprintf(stderr, "hb_screenshots: the simulator did not start\n");
            return 1;
        }
        HearthBench &window = program.window();
        const Session &session = program.session();
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            std::fprintf(stderr, "hb_screenshots: window not exposed\n");
        const QDir out(arguments.at(2));
        const auto save = [&](const QString &name) {
            const QString file = out.filePath(name + QStringLiteral(".png"));
            if (!window.grab().save(file)) {
                std::fprintf(stderr, "hb_screenshots: cannot write %s\n", qPrintable(file));
                result = 1;
            }
        };

        program.click("testHWToolButton");
        program.click("homeBTest");
        auto *stack = window.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
        const char *names[] = {
            "home", "setup", "testhw", "parameters", "debug", "authentication", "boardConfiguration"};
        for (int page = 0; page < 7 && !modelPagesOnly; ++page) {
            stack->setCurrentIndex(page);
            QTest::qWait(100);
            save(QLatin1String(names[page]));
        }

        // The hardware test page at work: a few outputs on, the inputs as the polling thread reads them.
        program.click("testHWToolButton");
        if (auto *resistance = window.findChild<QAbstractButton *>(QStringLiteral("resistanceButton")))
            resistance->click();
        if (auto *extractor = window.findChild<QAbstractSlider *>(QStringLiteral("smokesExtractorSlider"))) {
            extractor->setSliderDown(true);
            extractor->setValue(150);
            extractor->setSliderDown(false);
        }
        if (auto *green = window.findChild<QAbstractButton *>(QStringLiteral("greenLedButton")))
            green->click();
        // Two polling cycles: every input shown, and the inputs that follow the outputs have moved.
        QSignalSpy inputsRead(&program.thread(), &SerialThread::testhwinputRead);
        const auto cycle = polledInputs(session.model()).size();
        if (!QTest::qWaitFor([&] { return inputsRead.count() >= 2 * cycle; }, 30000))
            std::fprintf(stderr, "hb_screenshots: the inputs were not all read\n");
        QTest::qWait(100);
        save(QStringLiteral("testhw-%1").arg(model));
        program.click("homeBTest");

        if (!modelPagesOnly) {
            // The file: what the board holds (asked on the simulator's control channel), three rows
            // changed.
            stack->setCurrentIndex(3);
            auto *parameters = window.findChild<ParametersPage *>();
            const StoveModel stove = session.model();
            QList<double> values;
            for (int i = 0; i < parameterCount(stove); ++i) {
                const ParameterDescriptor &d = descriptor(stove, i);
                const int raw = program.simulator().boardValue(d.table, d.boardIndex);
                values.append(rowValue(d, session.hubaMode(), static_cast<std::int16_t>(raw)));
            }
            values[0] += 7;
            values[2] -= 15;
            if (const auto bitRow = findByCode(stove, 1, 7))
                values[*bitRow] = 1 - values[*bitRow]; // PT7, a bit row
            const QString file = settingsDir.filePath(QStringLiteral("service.prm"));
            if (!paramfile::writeFile(
                    file, paramfile::format(stove, session.firmwareVersion(), session.hubaMode(), values)) ||
                !parameters->loadParametersFrom(file))
                result = 1;
            const QString comparePicture = out.filePath(QStringLiteral("compare.png"));
            QTimer dialogGrabber;
            QObject::connect(&dialogGrabber, &QTimer::timeout, [&] {
                auto *dialog = qobject_cast<CompareDialog *>(QApplication::activeModalWidget());
                if (dialog == nullptr || !dialog->isVisible()) return;
                QTest::qWait(100);
                if (!dialog->grab().save(comparePicture)) {
                    std::fprintf(stderr, "hb_screenshots: cannot write %s\n", qPrintable(comparePicture));
                    result = 1;
                }
                dialog->reject();
            });
            dialogGrabber.start(50);
            parameters->showComparison();
            dialogGrabber.stop();
        }
    }
    return result;
}
