// Opening the link and detecting the stove model: against the simulator, a silent board, boards
// with unusual identities and ports that do not open; the setup page's port scan.
#include "app/settings.h"
#include "app/texts.h"
#include "board/serialthread.h"
#include "helpers.h"
#include "ui/hearthbench.h"
#include "ui_hearthbench.h"

#include <QProgressBar>
#include <QToolButton>
#include <pyrolink.h>

using hbtest::BoxAnswerer;
using hbtest::replyTo;
using hbtest::ScriptedBoard;

namespace {
const QString communicationError = QStringLiteral(
    "Communication error with the board.\nMake sure:\n - the card is powered;\n - the board is connected;\n"
    " - to disable the technical parameter \"enable sms modem\".");
} // namespace

class DetectionTest : public QObject {
    Q_OBJECT

    hbtest::CleanSlate *sandbox = nullptr;

private slots:
    void initTestCase() {
        setApplicationIdentity();
        useDefaultTexts();
    }
    void init() { sandbox = new hbtest::CleanSlate; }
    void cleanup() { delete sandbox; }

    void detectsWaterOnSimulator() {
        hbtest::Simulator simulator(
            {"--model", "water", "--no-pacing", "--firmware", "01.23", "--revision", "150911"});
        QVERIFY(simulator.ok());
        SerialThread thread;
        HearthBench window(&thread);
        BoxAnswerer answerer;
        window.form()->testHWToolButton->click();
        QVERIFY(answerer.seen.empty());
        QCOMPARE(currentModel.load(), 2);
        QCOMPARE(window.form()->stackedWidget->currentIndex(), 2);
        QVERIFY(window.isPortOpen());
        QVERIFY(window.arePagesBuilt());
        QCOMPARE(thread.mode(), 1);
        QCOMPARE(window.form()->modelValue->text(), QStringLiteral("WATER"));
        QCOMPARE(window.form()->versionValue->text(), QStringLiteral(" 1.23"));
        QCOMPARE(window.form()->revisionValue->text(), QStringLiteral("15/09/11"));
        QCOMPARE(window.form()->modelValueDebug->text(), QStringLiteral("WATER"));
        QCOMPARE(window.form()->revisionValueDebug->text(), QStringLiteral("15/09/11"));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void silentBoardGivesCommunicationError() {
        ScriptedBoard board(1);
        SerialThread thread;
        HearthBench window(&thread);
        BoxAnswerer answerer;
        // The progress window of the detection exists while the box is shown, but out of its way.
        int progressWindows = 0;
        answerer.onBox = [&] {
            for (QWidget *top : QApplication::topLevelWidgets()) {
                auto *bar = top->findChild<QProgressBar *>();
                if (bar == nullptr || top == &window) continue;
                ++progressWindows;
                QCOMPARE(top->windowTitle(), QStringLiteral("Research stove model in progress..."));
                QCOMPARE(top->size(), QSize(348, 51));
                QCOMPARE(bar->geometry(), QRect(10, 10, 340, 40));
                QCOMPARE(bar->maximum(), 3);
                QVERIFY(top->isHidden());
            }
        };
        window.form()->testHWToolButton->click();
        QCOMPARE(progressWindows, 1);
        QCOMPARE(answerer.seen.size(), std::size_t(1));
        const hbtest::SeenBox &box = answerer.seen.front();
        QCOMPARE(box.text, communicationError);
        QCOMPARE(box.title, QStringLiteral("Hearth Bench"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QVERIFY(!box.hadParent);
        QVERIFY(!box.cursorOverridden);
        QCOMPARE(window.form()->stackedWidget->currentIndex(), 0);
        QVERIFY(window.isPortOpen());
        QVERIFY(!window.arePagesBuilt());
        QCOMPARE(thread.mode(), 1);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        // The progress window is gone once the entry is over.
        QTest::qWait(20);
        for (QWidget *top : QApplication::topLevelWidgets())
            QVERIFY(top == &window || top->findChild<QProgressBar *>() == nullptr || !top->isVisible());

        // Four attempts with waits of 75, 100, 125 and 150 ms.
        const auto arrivals = board.arrivals();
        QCOMPARE(arrivals.size(), std::size_t(4));
        for (int n = 1; n < 4; ++n) {
            QCOMPARE(arrivals.at(std::size_t(n)).command, std::string("MODELLO"));
            const auto gap = hbtest::gapMs(arrivals, std::size_t(n));
            const int waitMs = (n + 2) * 25;
            QVERIFY2(gap >= waitMs - 2 && gap < waitMs + 1200, qPrintable(QString::number(gap)));
        }
        // No model: the polling thread sends nothing.
        QTest::qWait(300);
        QCOMPARE(board.arrivals().size(), std::size_t(4));
    }

    void identityEdgeCases_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("model");
        QTest::addColumn<bool>("usable");
        QTest::addColumn<QString>("modelText");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("revision");
        QTest::newRow("lower-case water") << QByteArray("water      01.23150911\r") << 2 << true << "WATER"
                                          << " 1.23"
                                          << "15/09/11";
        QTest::newRow("air two-line") << QByteArray("AIR-DUCT   10.05010203\r") << 3 << true << "AIR -\nDUCT."
                                      << "10.05"
                                      << "01/02/03";
        QTest::newRow("standard is basic") << QByteArray("Standard   02.00990101\r") << 1 << true << "BASIC"
                                           << " 2.00"
                                           << "99/01/01";
        QTest::newRow("cut at 21") << QByteArray("BASIC      02.001201x\0z\r", 23) << 1 << true << "BASIC"
                                   << " 2.00"
                                   << "12/01/x";
        QTest::newRow("cut at 20") << QByteArray("BASIC      02.001201\0xz\r", 23) << 0 << false << ""
                                   << ""
                                   << "";
        QTest::newRow("short reply") << QByteArray("BASIC      02.00120\r") << 0 << false << ""
                                     << ""
                                     << "";
    }
    void identityEdgeCases() {
        QFETCH(QByteArray, reply);
        QFETCH(int, model);
        QFETCH(bool, usable);
        QFETCH(QString, modelText);
        QFETCH(QString, version);
        QFETCH(QString, revision);
        ScriptedBoard board(1);
        board.setResponder(replyTo("MODELLO", reply.toStdString()));
        SerialThread thread;
        HearthBench window(&thread);
        BoxAnswerer answerer;
        window.form()->parametersToolButton->click();
        QCOMPARE(currentModel.load(), model);
        if (usable) {
            QVERIFY(answerer.seen.empty());
            QCOMPARE(window.form()->stackedWidget->currentIndex(), 3);
            QCOMPARE(window.form()->modelValue->text(), modelText);
            QCOMPARE(window.form()->versionValue->text(), version);
            QCOMPARE(window.form()->revisionValueDebug->text(), revision);
        } else {
            QCOMPARE(answerer.seen.size(), std::size_t(1));
            QCOMPARE(answerer.seen.front().text, communicationError);
            QCOMPARE(window.form()->stackedWidget->currentIndex(), 0);
        }
    }

    void unknownModelShowsPageWithoutContent() {
        ScriptedBoard board(1);
        board.setResponder(replyTo("MODELLO", "OVEN       01.00010101\r"));
        SerialThread thread;
        HearthBench window(&thread);
        BoxAnswerer answerer;
        window.form()->testHWToolButton->click();
        QVERIFY(answerer.seen.empty());
        QCOMPARE(currentModel.load(), 0);
        QCOMPARE(window.form()->stackedWidget->currentIndex(), 2);
        QCOMPARE(window.form()->modelValue->text(), QStringLiteral("UNKNOWN"));
        QVERIFY(!window.arePagesBuilt());
        // The next entry tries the detection again.
        window.form()->homeBTest->click();
        window.form()->testHWToolButton->click();
        int identities = 0;
        for (const std::string &c : board.commands())
            identities += c == "MODELLO";
        QCOMPARE(identities, 2);
    }

    void modelDetectedOnlyOnce() {
        ScriptedBoard board(1);
        board.setResponder(replyTo("MODELLO", "BASIC      02.00990101\r"));
        SerialThread thread;
        HearthBench window(&thread);
        BoxAnswerer answerer;
        window.form()->parametersToolButton->click();
        QVERIFY(window.arePagesBuilt());
        window.form()->homeBPar->click();
        // The setup page closes the link; the next board page opens it again without MODELLO.
        window.form()->setupToolButton->click();
        QCOMPARE(window.form()->stackedWidget->currentIndex(), 1);
        QVERIFY(!window.isPortOpen());
        window.form()->homeBSetup->click();
        window.form()->parametersToolButton->click();
        QVERIFY(window.isPortOpen());
        QCOMPARE(window.form()->stackedWidget->currentIndex(), 3);
        int identities = 0;
        for (const std::string &c : board.commands())
            identities += c == "MODELLO";
        QCOMPARE(identities, 1);
        QVERIFY(answerer.seen.empty());
    }

    void languageSwitchRefreshesBuiltPages() {
        QFile english(QStringLiteral(HB_SOURCE_DIR "/lang/English.lng"));
        QFile italian(QStringLiteral(HB_SOURCE_DIR "/lang/Italiano.lng"));
        QVERIFY(english.open(QIODevice::ReadOnly) && italian.open(QIODevice::ReadOnly));
        sandbox->writeLanguage("English.lng", english.readAll());
        sandbox->writeLanguage("Italiano.lng", italian.readAll());
        ScriptedBoard board(1);
        board.setResponder(replyTo("MODELLO", "WATER      01.00990101\r"));
        SerialThread thread;
        HearthBench window(&thread);
        BoxAnswerer answerer;
        window.form()->parametersToolButton->click();
        QVERIFY(window.arePagesBuilt());
        auto shows = [&](const QString &text) {
            for (QLabel *label : window.form()->parametersGB->findChildren<QLabel *>())
                if (label->text() == text) return true;
            return false;
        };
        QVERIFY(shows(QStringLiteral("Maximum ignition time")));
        QComboBox *languages = window.form()->languageComboBox;
        languages->setCurrentIndex(languages->findText("Italiano"));
        emit languages->textActivated("Italiano");
        QVERIFY(shows(QStringLiteral("Tempo massimo accensione")));
        QVERIFY(!shows(QStringLiteral("Maximum ignition time")));
        useDefaultTexts();
    }

    void portThatDoesNotOpen() {
        QSettings().setValue("com", 20);
        SerialThread thread;
        HearthBench window(&thread);
        QCOMPARE(window.form()->comComboBox->currentIndex(), -1);
        BoxAnswerer answerer;
        window.form()->parametersToolButton->click();
        // Tried by the detection and again by the re-open; each failure has its own box.
        QCOMPARE(answerer.seen.size(), std::size_t(2));
        for (const hbtest::SeenBox &box : answerer.seen) {
            QCOMPARE(box.text, QStringLiteral("Error opening serial COM21"));
            QCOMPARE(box.title, QStringLiteral("Hearth Bench"));
            QCOMPARE(box.icon, QMessageBox::Critical);
        }
        QCOMPARE(window.form()->stackedWidget->currentIndex(), 0);
        QVERIFY(!window.isPortOpen());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void portScanListsOpenPorts() {
        testsupport::PtyPeer second, fifth, twelfth;
        second.bindCom(2);
        fifth.bindCom(5);
        twelfth.bindCom(12);
        QSettings().setValue("com", 4);
        SerialThread thread;
        HearthBench window(&thread);
        window.form()->setupToolButton->click();
        QCOMPARE(window.form()->stackedWidget->currentIndex(), 1);
        QComboBox *box = window.form()->comComboBox;
        QCOMPARE(box->count(), 3);
        QCOMPARE(box->itemText(0), QStringLiteral("COM2"));
        QCOMPARE(box->itemText(1), QStringLiteral("COM5"));
        QCOMPARE(box->itemText(2), QStringLiteral("COM12"));
        QCOMPARE(box->currentText(), QStringLiteral("COM5"));
        // A stored port that is not listed leaves the box without selection.
        QSettings().setValue("com", 0);
        window.form()->homeBSetup->click();
        window.form()->setupToolButton->click();
        QCOMPARE(box->currentIndex(), -1);
        // The scan leaves every port closed.
        QCOMPARE(ClearComm(), 0);
    }
};

QTEST_MAIN(DetectionTest)
#include "tst_detection.moc"
