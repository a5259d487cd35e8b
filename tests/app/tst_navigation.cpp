// Page navigation of the main window: every sender of change(), the keyboard and the close
// confirmation.
#include "app/settings.h"
#include "app/texts.h"
#include "board/serialthread.h"
#include "helpers.h"
#include "program.h"
#include "ui/hearthbench.h"

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
    hbtest::Program *program = nullptr;
    SerialThread *thread = nullptr;
    HearthBench *window = nullptr;

    Page page() const { return window->currentPage(); }

private slots:
    void initTestCase() {
        setApplicationIdentity();
        useDefaultTexts();
    }
    void init() {
        sandbox = new hbtest::CleanSlate;
        board = new ScriptedBoard(1);
        board->setResponder(hbtest::replyTo("MODELLO", "BASIC      02.00990101\r"));
        program = new hbtest::Program;
        thread = &program->thread;
        window = &program->window;
        window->show();
    }
    void cleanup() {
        delete program;
        delete board;
        delete sandbox;
    }

    void boardPagesAndModes() {
        BoxAnswerer answerer;
        hbtest::child<QToolButton>(*window, "testHWToolButton")->click();
        QCOMPARE(page(), Page::TestHw);
        QCOMPARE(thread->mode(), PollMode::Inputs);
        hbtest::child<QToolButton>(*window, "homeBTest")->click();
        QCOMPARE(page(), Page::Home);
        QCOMPARE(thread->mode(), PollMode::Idle);
        hbtest::child<QToolButton>(*window, "parametersToolButton")->click();
        QCOMPARE(page(), Page::Parameters);
        QCOMPARE(thread->mode(), PollMode::Idle);
        hbtest::child<QToolButton>(*window, "homeBPar")->click();
        QCOMPARE(page(), Page::Home);
        hbtest::child<QToolButton>(*window, "debugToolButton")->click();
        QCOMPARE(page(), Page::Debug);
        QCOMPARE(thread->mode(), PollMode::Monitor);
        QVERIFY(hbtest::child<QTimeEdit>(*window, "gapSecondsTimeEdit")->isEnabled());
        QVERIFY(hbtest::child<QLabel>(*window, "elapsedTimeLabel")->isHidden());
        QVERIFY(hbtest::child<QTimeEdit>(*window, "recCounterTimeEdit")->isHidden());
        hbtest::child<QPushButton>(*window, "parBDebug")->click();
        QCOMPARE(page(), Page::Parameters);
        QCOMPARE(thread->mode(), PollMode::Idle);
        hbtest::child<QToolButton>(*window, "homeBPar")->click();
        hbtest::child<QToolButton>(*window, "debugToolButton")->click();
        hbtest::child<QToolButton>(*window, "homeBDebug")->click();
        QCOMPARE(page(), Page::Home);
        QCOMPARE(thread->mode(), PollMode::Idle);
        QVERIFY(answerer.seen.empty());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void setupAndAdminPages() {
        hbtest::child<QToolButton>(*window, "setupToolButton")->click();
        QCOMPARE(page(), Page::Setup);
        hbtest::child<QToolButton>(*window, "homeBSetup")->click();
        QCOMPARE(page(), Page::Home);
        hbtest::child<QLineEdit>(*window, "pswdLineEdit")->setText("typed before");
        hbtest::child<QToolButton>(*window, "configToolButton")->click();
        QCOMPARE(page(), Page::Authentication);
        QVERIFY(hbtest::child<QLineEdit>(*window, "pswdLineEdit")->text().isEmpty());
        QVERIFY(hbtest::child<QLineEdit>(*window, "pswdLineEdit")->hasFocus() ||
                QApplication::focusWidget() == hbtest::child<QLineEdit>(*window, "pswdLineEdit") ||
                !window->isActiveWindow());
        hbtest::child<QToolButton>(*window, "authCancelToolButton")->click();
        QCOMPARE(page(), Page::Home);
        hbtest::child<QToolButton>(*window, "configToolButton")->click();
        hbtest::child<QLineEdit>(*window, "pswdLineEdit")->setText("wrong");
        hbtest::child<QToolButton>(*window, "authConfirmToolButton")->click();
        QCOMPARE(page(), Page::Authentication); // a wrong password stays on the authentication page
        QVERIFY(hbtest::child<QLineEdit>(*window, "pswdLineEdit")->text().isEmpty());
        hbtest::child<QStackedWidget>(*window, "stackedWidget")
            ->setCurrentIndex(int(Page::BoardConfiguration));
        hbtest::child<QLabel>(*window, "confirmationParDefLabel")->setText("x");
        hbtest::child<QLabel>(*window, "confirmationUpdateFWLabel")->setText("y");
        hbtest::child<QLineEdit>(*window, "motFileLineEdit")->setText("z.mot");
        hbtest::child<QToolButton>(*window, "homeBAdmin")->click();
        QCOMPARE(page(), Page::Home);
        QVERIFY(hbtest::child<QLabel>(*window, "confirmationParDefLabel")->text().isEmpty());
        QVERIFY(hbtest::child<QLabel>(*window, "confirmationUpdateFWLabel")->text().isEmpty());
        QVERIFY(hbtest::child<QLineEdit>(*window, "motFileLineEdit")->text().isEmpty());
    }

    void keypadEnterVersusReturn() {
        hbtest::child<QToolButton>(*window, "configToolButton")->click();
        QCOMPARE(page(), Page::Authentication);
        hbtest::child<QLineEdit>(*window, "pswdLineEdit")->setText("abc");
        QTest::keyClick(window, Qt::Key_Return);
        QCOMPARE(page(), Page::Authentication);
        QCOMPARE(hbtest::child<QLineEdit>(*window, "pswdLineEdit")->text(),
                 QStringLiteral("abc")); // Return does not check
        QTest::keyClick(window, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(hbtest::child<QLineEdit>(*window, "pswdLineEdit")->text().isEmpty()); // the check ran
        QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(page(), Page::Home);
        // Escape elsewhere changes nothing.
        hbtest::child<QToolButton>(*window, "setupToolButton")->click();
        QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(page(), Page::Setup);
    }

    void functionKeysSetHighlight() {
        const int expected[10][3] = {{237, 46, 41}, {244, 4, 32}, {250, 8, 1},  {237, 23, 36}, {244, 68, 20},
                                     {246, 18, 32}, {247, 5, 40}, {245, 16, 7}, {254, 81, 27}, {255, 0, 0}};
        for (int k = 9; k >= 0; --k) {
            QTest::keyClick(window, Qt::Key(Qt::Key_F1 + k));
            const Rgb colour = program->session.highlight();
            QCOMPARE((QList<int>{colour.red, colour.green, colour.blue}),
                     (QList<int>{expected[k][0], expected[k][1], expected[k][2]}));
        }
        hbtest::child<QToolButton>(*window, "setupToolButton")->click();
        QTest::keyClick(window, Qt::Key_F10);
        QCOMPARE(program->session.highlight().red, 255);
        QCOMPARE(program->session.highlight().green, 0);
        QTest::keyClick(window, Qt::Key_F11);
        QCOMPARE(program->session.highlight().red, 255);
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
        QVERIFY(!program->link.isOpen());
    }

    void closeWhilePolling() {
        // The board leaves input reads unanswered, so every poll waits for its read time-out; it
        // confirms the commands that leave test mode.
        board->setResponder([](const std::string &c, int) -> std::optional<std::string> {
            if (c == "MODELLO") return std::string("BASIC      02.00990101\r");
            if (c.rfind("READ", 0) == 0) return std::nullopt;
            return c + "\r";
        });
        BoxAnswerer answerer;
        hbtest::child<QToolButton>(*window, "testHWToolButton")->click();
        QCOMPARE(page(), Page::TestHw);
        QCOMPARE(thread->mode(), PollMode::Inputs);
        QTest::qWait(120);
        QVERIFY(board->commands().size() >= 2);
        QElapsedTimer clock;
        clock.start();
        answerer.queue(QMessageBox::Yes);
        QVERIFY(window->close());
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(thread->isFinished());
        const std::vector<std::string> commands = board->commands();
        QCOMPARE(commands.back(), std::string("TESTOFF"));
        QVERIFY(!program->link.isOpen());
        const std::size_t sent = board->commands().size();
        QTest::qWait(150);
        QCOMPARE(board->commands().size(), sent);
        // The link is closed: no transaction can reach the board any more.
        QCOMPARE(ClearComm(), 0);
    }
};

QTEST_MAIN(NavigationTest)
#include "tst_navigation.moc"
