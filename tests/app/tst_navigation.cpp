// Page navigation of the main window: every sender of change(), the keyboard, the close
// confirmation and leaving the debug page while recording.
#include "app/settings.h"
#include "app/texts.h"
#include "board/serialthread.h"
#include "helpers.h"
#include "ui/hearthbench.h"
#include "ui_hearthbench.h"

#include <QLineEdit>
#include <QTimeEdit>
#include <QToolButton>
#include <pyrolink.h>

using hbtest::BoxAnswerer;
using hbtest::ScriptedBoard;

class NavigationTest : public QObject {
    Q_OBJECT

    hbtest::CleanSlate *sandbox = nullptr;
    ScriptedBoard *board = nullptr;
    SerialThread *thread = nullptr;
    HearthBench *window = nullptr;
    Ui::HearthBenchClass *ui = nullptr;

    int page() const { return ui->stackedWidget->currentIndex(); }

private slots:
    void initTestCase() {
        setApplicationIdentity();
        useDefaultTexts();
    }
    void init() {
        sandbox = new hbtest::CleanSlate;
        board = new ScriptedBoard(1);
        board->setResponder(hbtest::replyTo("MODELLO", "BASIC      02.00990101\r"));
        thread = new SerialThread;
        window = new HearthBench(thread);
        ui = window->form();
        window->show();
    }
    void cleanup() {
        delete window;
        delete thread;
        delete board;
        delete sandbox;
    }

    void boardPagesAndModes() {
        BoxAnswerer answerer;
        ui->testHWToolButton->click();
        QCOMPARE(page(), 2);
        QCOMPARE(thread->mode(), 1);
        ui->homeBTest->click();
        QCOMPARE(page(), 0);
        QCOMPARE(thread->mode(), 0);
        ui->parametersToolButton->click();
        QCOMPARE(page(), 3);
        QCOMPARE(thread->mode(), 0);
        ui->homeBPar->click();
        QCOMPARE(page(), 0);
        ui->debugToolButton->click();
        QCOMPARE(page(), 4);
        QCOMPARE(thread->mode(), 2);
        QVERIFY(ui->gapSecondsTimeEdit->isEnabled());
        QVERIFY(ui->elapsedTimeLabel->isHidden());
        QVERIFY(ui->recCounterTimeEdit->isHidden());
        ui->parBDebug->click();
        QCOMPARE(page(), 3);
        QCOMPARE(thread->mode(), 0);
        ui->homeBPar->click();
        ui->debugToolButton->click();
        ui->homeBDebug->click();
        QCOMPARE(page(), 0);
        QCOMPARE(thread->mode(), 0);
        QVERIFY(answerer.seen.empty());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void setupAndAdminPages() {
        ui->setupToolButton->click();
        QCOMPARE(page(), 1);
        ui->homeBSetup->click();
        QCOMPARE(page(), 0);
        ui->pswdLineEdit->setText("typed before");
        ui->configToolButton->click();
        QCOMPARE(page(), 5);
        QVERIFY(ui->pswdLineEdit->text().isEmpty());
        QVERIFY(ui->pswdLineEdit->hasFocus() || QApplication::focusWidget() == ui->pswdLineEdit ||
                !window->isActiveWindow());
        ui->authCancelToolButton->click();
        QCOMPARE(page(), 0);
        ui->configToolButton->click();
        ui->pswdLineEdit->setText("wrong");
        ui->authConfirmToolButton->click();
        QCOMPARE(page(), 5); // a wrong password stays on the authentication page
        QVERIFY(ui->pswdLineEdit->text().isEmpty());
        ui->stackedWidget->setCurrentIndex(6);
        ui->confirmationParDefLabel->setText("x");
        ui->confirmationUpdateFWLabel->setText("y");
        ui->motFileLineEdit->setText("z.mot");
        ui->homeBAdmin->click();
        QCOMPARE(page(), 0);
        QVERIFY(ui->confirmationParDefLabel->text().isEmpty());
        QVERIFY(ui->confirmationUpdateFWLabel->text().isEmpty());
        QVERIFY(ui->motFileLineEdit->text().isEmpty());
    }

    void keypadEnterVersusReturn() {
        ui->configToolButton->click();
        QCOMPARE(page(), 5);
        ui->pswdLineEdit->setText("abc");
        QTest::keyClick(window, Qt::Key_Return);
        QCOMPARE(page(), 5);
        QCOMPARE(ui->pswdLineEdit->text(), QStringLiteral("abc")); // Return does not check
        QTest::keyClick(window, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(ui->pswdLineEdit->text().isEmpty()); // the check ran
        QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(page(), 0);
        // Escape elsewhere changes nothing.
        ui->setupToolButton->click();
        QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(page(), 1);
    }

    void functionKeysSetHighlight() {
        const unsigned short expected[10][3] = {{237, 46, 41}, {244, 4, 32},  {250, 8, 1},  {237, 23, 36},
                                                {244, 68, 20}, {246, 18, 32}, {247, 5, 40}, {245, 16, 7},
                                                {254, 81, 27}, {255, 0, 0}};
        for (int k = 9; k >= 0; --k) {
            QTest::keyClick(window, Qt::Key(Qt::Key_F1 + k));
            for (int c = 0; c < 3; ++c)
                QCOMPARE(window->highlight()[c], expected[k][c]);
        }
        ui->setupToolButton->click();
        QTest::keyClick(window, Qt::Key_F10);
        QCOMPARE(window->highlight()[0], 255);
        QCOMPARE(window->highlight()[1], 0);
        QTest::keyClick(window, Qt::Key_F11);
        QCOMPARE(window->highlight()[0], 255);
    }

    void leavingDebugWhileRecording() {
        BoxAnswerer answerer;
        ui->debugToolButton->click();
        QCOMPARE(page(), 4);
        window->recording = true;
        answerer.queue(QMessageBox::No);
        ui->homeBDebug->click();
        QCOMPARE(answerer.seen.size(), std::size_t(1));
        QCOMPARE(answerer.seen.back().informative,
                 QStringLiteral("Data recording will be interrupted.\nDo you want to continue?"));
        QCOMPARE(answerer.seen.back().defaultButton, QMessageBox::No);
        QVERIFY(!answerer.seen.back().cursorOverridden);
        QCOMPARE(page(), 4);
        QVERIFY(window->isRecording());
        QCOMPARE(thread->mode(), 2);
        answerer.queue(QMessageBox::Yes);
        ui->homeBDebug->click();
        QCOMPARE(answerer.seen.size(), std::size_t(2));
        QCOMPARE(page(), 0);
        QVERIFY(!window->isRecording());
        QCOMPARE(thread->mode(), 0);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void closeAsksFirst() {
        BoxAnswerer answerer;
        answerer.queue(QMessageBox::No);
        QVERIFY(!window->close());
        QCOMPARE(answerer.seen.size(), std::size_t(1));
        QCOMPARE(answerer.seen.back().informative, QStringLiteral("Do you want to quit?"));
        QCOMPARE(answerer.seen.back().defaultButton, QMessageBox::Yes);
        QVERIFY(window->isVisible());
        QVERIFY(thread->isRunning());
        answerer.queue(QMessageBox::Yes);
        QVERIFY(window->close());
        QVERIFY(!thread->isRunning());
        QVERIFY(!window->isPortOpen());
    }

    void closeWhilePolling() {
        // The board answers only MODELLO: every poll waits for its read time-out.
        BoxAnswerer answerer;
        ui->testHWToolButton->click();
        QCOMPARE(page(), 2);
        QCOMPARE(thread->mode(), 1);
        QTest::qWait(120);
        QVERIFY(board->commands().size() >= 2);
        QElapsedTimer clock;
        clock.start();
        answerer.queue(QMessageBox::Yes);
        QVERIFY(window->close());
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(thread->isFinished());
        QVERIFY(!window->isPortOpen());
        const std::size_t sent = board->commands().size();
        QTest::qWait(150);
        QCOMPARE(board->commands().size(), sent);
        // The link is closed: no transaction can reach the board any more.
        QCOMPARE(ClearComm(), 0);
    }
};

QTEST_MAIN(NavigationTest)
#include "tst_navigation.moc"
