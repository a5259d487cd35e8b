// Renders the pages of the main window to PNG files, offscreen, after the model detection against
// the simulator: hb_screenshots <stovesim> <output folder> [model]. Run it from the project root so
// that the "lang" folder is found. Last, the "Compare with board" dialog for a parameter file that
// differs from the board in three rows.
#include "app/session.h"
#include "app/settings.h"
#include "app/texts.h"
#include "board/boardlink.h"
#include "board/serialthread.h"
#include "parameters/catalogue.h"
#include "parameters/comparedialog.h"
#include "parameters/parameterfile.h"
#include "parameters/parameterspage.h"
#include "ui/hearthbench.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>
#include <cstdio>

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    setApplicationIdentity();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: hb_screenshots <stovesim> <output folder> [basic|water|air]\n");
        return 2;
    }
    const QString model = arguments.value(3, QStringLiteral("water"));

    // Private settings: the pictures show the defaults, never the user's own choices.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    if (!loadLanguageFile(languageFilePath(QString::fromLatin1(defaultLanguage)))) useDefaultTexts();

    QProcess simulator;
    simulator.start(arguments.at(1), {QStringLiteral("--model"), model, QStringLiteral("--no-pacing")});
    if (!simulator.waitForStarted(5000) || !simulator.waitForReadyRead(5000)) {
        std::fprintf(stderr, "hb_screenshots: the simulator did not start\n");
        return 1;
    }
    qputenv("PYROLINK_COM1", simulator.readLine().trimmed());

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
    BoardLink link;
    Session session(link);
    SerialThread thread(link);
    {
        HearthBench window(session, &thread);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            std::fprintf(stderr, "hb_screenshots: window not exposed\n");
        window.findChild<QToolButton *>(QStringLiteral("testHWToolButton"))->click();
        window.findChild<QToolButton *>(QStringLiteral("homeBTest"))->click();
        auto *stack = window.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
        const char *names[] = {
            "home", "setup", "testhw", "parameters", "debug", "authentication", "boardConfiguration"};
        const QDir out(arguments.at(2));
        for (int page = 0; page < 7; ++page) {
            stack->setCurrentIndex(page);
            QTest::qWait(100);
            const QString file = out.filePath(QStringLiteral("%1.png").arg(QLatin1String(names[page])));
            if (!window.grab().save(file)) {
                std::fprintf(stderr, "hb_screenshots: cannot write %s\n", qPrintable(file));
                result = 1;
            }
        }

        // The file: what the board holds (asked on the simulator's control channel), three rows
        // changed.
        stack->setCurrentIndex(3);
        auto *parameters = window.findChild<ParametersPage *>();
        const StoveModel stove = session.model();
        QList<double> values;
        for (int i = 0; i < parameterCount(stove); ++i) {
            const ParameterDescriptor &d = descriptor(stove, i);
            simulator.write(
                QStringLiteral("get %1 %2\n").arg(d.table ? "tec" : "gen").arg(d.boardIndex).toLatin1());
            while (!simulator.canReadLine() && simulator.waitForReadyRead(2000)) {
            }
            const int raw = QString::fromLatin1(simulator.readLine()).section(QLatin1Char(' '), 3, 3).toInt();
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

        thread.requestStop();
        thread.wait();
    }
    simulator.kill();
    simulator.waitForFinished(3000);
    return result;
}
