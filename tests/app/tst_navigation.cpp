// Page navigation of the main window: every button that changes the page, the keyboard and the close
// confirmation.
#include "app/settings.h"
#include "app/texts.h"
#include "helpers.h"
#include "parameters/parameterspage.h"
#include "program.h"

#include <QLineEdit>
#include <QStackedWidget>
#include <QTimeEdit>
#include <QToolButton>
#include <pyrolink.h>

using hbtest::BoxAnswerer;
using hbtest::click;
using hbtest::ScriptedBoard;

class NavigationTest : public QObject {
    Q_OBJECT

    hbtest::CleanSlate *sandbox = nullptr;
    ScriptedBoard *board = nullptr;
    hbsupport::Program *program = nullptr;
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
        // The board confirms the commands of test mode and leaves every read unanswered.
        board->setResponder([](const std::string &c, int) -> std::optional<std::string> {
            if (c == "MODELLO") return std::string("BASIC      02.00990101\r");
            if (c.rfind("READ", 0) == 0 || c.rfind("DEBUG", 0) == 0) return std::nullopt;
            return c + "\r";
        });
        program = new hbsupport::Program;
        thread = &program->thread();
        window = &program->window();
        window->show();
    }
    void cleanup() {
        delete program;
        delete board;
        delete sandbox;
    }

    void boardPagesAndModes() {
        BoxAnswerer answerer;
        const struct {
            const char *button;
            Page page;
            PollMode mode;
        } steps[] = {{"testHWToolButton", Page::TestHw, PollMode::Inputs},
                     {"homeBTest", Page::Home, PollMode::Idle},
                     {"parametersToolButton", Page::Parameters, PollMode::Idle},
                     {"homeBPar", Page::Home, PollMode::Idle},
                     {"debugToolButton", Page::Debug, PollMode::Monitor},
                     {"parBDebug", Page::Parameters, PollMode::Idle},
                     {"homeBPar", Page::Home, PollMode::Idle},
                     {"debugToolButton", Page::Debug, PollMode::Monitor},
                     {"homeBDebug", Page::Home, PollMode::Idle}};
        for (const auto &step : steps) {
            click(*window, step.button);
            QCOMPARE(page(), step.page);
            QCOMPARE(thread->mode(), step.mode);
        }
        QVERIFY(answerer.seen.empty());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void setupAndAdminPages() {
        click(*window, "setupToolButton");
        QCOMPARE(page(), Page::Setup);
        click(*window, "homeBSetup");
        QCOMPARE(page(), Page::Home);
        auto *password = hbtest::child<QLineEdit>(*window, "pswdLineEdit");
        password->setText("typed before");
        click(*window, "configToolButton");
        QCOMPARE(page(), Page::Authentication);
        QVERIFY(password->text().isEmpty());
        click(*window, "authCancelToolButton");
        QCOMPARE(page(), Page::Home);
        click(*window, "configToolButton");
        password->setText("wrong");
        click(*window, "authConfirmToolButton");
        QCOMPARE(page(), Page::Authentication); // a wrong password stays on the authentication page
        QVERIFY(password->text().isEmpty());
        // Leaving the administration page clears its results and file name.
        hbtest::child<QStackedWidget>(*window, "stackedWidget")
            ->setCurrentIndex(int(Page::BoardConfiguration));
        hbtest::child<QLabel>(*window, "confirmationParDefLabel")->setText("x");
        hbtest::child<QLabel>(*window, "confirmationUpdateFWLabel")->setText("y");
        hbtest::child<QLineEdit>(*window, "motFileLineEdit")->setText("z.mot");
        click(*window, "homeBAdmin");
        QCOMPARE(page(), Page::Home);
        QVERIFY(hbtest::labelText(*window, "confirmationParDefLabel").isEmpty());
        QVERIFY(hbtest::labelText(*window, "confirmationUpdateFWLabel").isEmpty());
        QVERIFY(hbtest::child<QLineEdit>(*window, "motFileLineEdit")->text().isEmpty());
    }

    void keys() {
        click(*window, "configToolButton");
        auto *password = hbtest::child<QLineEdit>(*window, "pswdLineEdit");
        password->setText("abc");
        QTest::keyClick(window, Qt::Key_Return);
        QCOMPARE(password->text(), QStringLiteral("abc")); // Return does not check
        QTest::keyClick(window, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(password->text().isEmpty()); // the check ran
        QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(page(), Page::Home);
        // Escape elsewhere changes nothing; the function keys choose the highlight colour on any page.
        click(*window, "setupToolButton");
        QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(page(), Page::Setup);
        const auto highlight = [&] {
            const QColor colour = window->findChild<ParametersPage *>()->highlight();
            return QList<int>{colour.red(), colour.green(), colour.blue()};
        };
        QCOMPARE(highlight(), (QList<int>{237, 46, 41}));
        QTest::keyClick(window, Qt::Key_F10);
        QCOMPARE(highlight(), (QList<int>{255, 0, 0}));
        QTest::keyClick(window, Qt::Key_F11);
        QCOMPARE(highlight(), (QList<int>{255, 0, 0}));
        QTest::keyClick(window, Qt::Key_F2);
        QCOMPARE(highlight(), (QList<int>{244, 4, 32}));
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
        QVERIFY(!program->link().isOpen());
    }

    void closeWhilePolling() {
        // Every poll waits for its read time-out; the commands that leave test mode are confirmed.
        BoxAnswerer answerer;
        click(*window, "testHWToolButton");
        QCOMPARE(thread->mode(), PollMode::Inputs);
        QTest::qWait(120);
        QVERIFY(board->commands().size() >= 2);
        QElapsedTimer clock;
        clock.start();
        answerer.queue(QMessageBox::Yes);
        QVERIFY(window->close());
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(thread->isFinished());
        QCOMPARE(board->commands().back(), std::string("TESTOFF"));
        QVERIFY(!program->link().isOpen());
        const std::size_t sent = board->commands().size();
        QTest::qWait(150);
        QCOMPARE(board->commands().size(), sent);
    }
};

QTEST_MAIN(NavigationTest)
#include "tst_navigation.moc"
