// Opening the link and detecting the stove model: a silent board, boards with usual and unusual
// identities and ports that do not open; the setup page's port scan.
#include "app/settings.h"
#include "app/texts.h"
#include "board/serialthread.h"
#include "helpers.h"
#include "parameters/parameterspage.h"
#include "program.h"
#include "tcp_peer.h"

#include <QGroupBox>
#include <QProgressBar>
#include <QToolButton>
#include <pyrolink.h>

using hbtest::BoxAnswerer;
using hbtest::click;
using hbtest::labelText;
using hbtest::replyTo;
using hbtest::ScriptedBoard;

namespace {
const QString communicationError = QStringLiteral(
    "Communication error with the board.\nMake sure:\n - the card is powered;\n - the board is connected;\n"
    " - to disable the technical parameter \"enable sms modem\".");
// Notes when a progress window (a top-level widget with a progress bar) first painted.
class PaintWatch : public QObject {
public:
    PaintWatch() { QApplication::instance()->installEventFilter(this); }
    ~PaintWatch() override { QApplication::instance()->removeEventFilter(this); }
    std::optional<hbtest::ScriptedBoard::Clock::time_point> first;

protected:
    bool eventFilter(QObject *object, QEvent *event) override {
        auto *widget = qobject_cast<QWidget *>(object);
        if (event->type() == QEvent::Paint && !first && widget != nullptr && widget->isWindow() &&
            widget->findChild<QProgressBar *>() != nullptr)
            first = hbtest::ScriptedBoard::Clock::now();
        return false;
    }
};
// Whether a detection built the model's pages.
bool pagesBuilt(hbsupport::Program &program) {
    return program.window().findChild<ParametersPage *>()->isBuilt();
}
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

    void silentBoardGivesCommunicationError() {
        ScriptedBoard board(1);
        hbsupport::Program program;
        BoxAnswerer answerer;
        // The progress window of the detection exists while the box is shown, but out of its way.
        int progressWindows = 0;
        answerer.onBox = [&] {
            for (QWidget *top : QApplication::topLevelWidgets()) {
                if (top->findChild<QProgressBar *>() == nullptr || top == &program.window()) continue;
                ++progressWindows;
                QCOMPARE(top->windowTitle(), QStringLiteral("Research stove model in progress..."));
                QVERIFY(top->isHidden());
            }
        };
        // The progress window has painted before the first identity request goes out.
        PaintWatch paints;
        click(program.window(), "testHWToolButton");
        QCOMPARE(progressWindows, 1);
        QVERIFY(paints.first.has_value());
        QVERIFY(!board.arrivals().empty());
        QVERIFY(*paints.first <= board.arrivals().front().at);
        QCOMPARE(answerer.seen.size(), std::size_t(1));
        const hbtest::SeenBox &box = answerer.seen.front();
        QCOMPARE(box.text, communicationError);
        QCOMPARE(box.title, QStringLiteral("Hearth Bench"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QVERIFY(!box.hadParent);
        QVERIFY(!box.cursorOverridden);
        QCOMPARE(program.window().currentPage(), Page::Home);
        QVERIFY(!pagesBuilt(program));
        QVERIFY(QApplication::overrideCursor() == nullptr);

        // Four attempts with waits of 75, 100, 125 and 150 ms.
        const auto arrivals = board.arrivals();
        QCOMPARE(board.commands(), std::vector<std::string>(4, "MODELLO"));
        for (std::size_t n = 1; n < 4; ++n) {
            const auto gap = hbtest::gapMs(arrivals, n);
            const int waitMs = int(n + 2) * 25;
            QVERIFY2(gap >= waitMs - hbtest::gapSlackMs && gap < waitMs + 1200,
                     qPrintable(QString::number(gap)));
        }
        // No model: the polling thread sends nothing.
        QTest::qWait(300);
        QCOMPARE(board.arrivals().size(), std::size_t(4));
    }

    void identityEdgeCases_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<StoveModel>("model");
        QTest::addColumn<QStringList>("shown"); // model, version, revision
        QTest::newRow("lower-case water") << QByteArray("water      01.23150911\r") << StoveModel::Water
                                          << QStringList{"WATER", " 1.23", "15/09/11"};
        QTest::newRow("air two-line") << QByteArray("AIR-DUCT   10.05010203\r") << StoveModel::AirDucted
                                      << QStringList{"AIR -\nDUCT.", "10.05", "01/02/03"};
        QTest::newRow("standard is basic") << QByteArray("Standard   02.00990101\r") << StoveModel::Basic
                                           << QStringList{"BASIC", " 2.00", "99/01/01"};
        QTest::newRow("cut at 21") << QByteArray("BASIC      02.001201x\0z\r", 23) << StoveModel::Basic
                                   << QStringList{"BASIC", " 2.00", "12/01/x"};
        QTest::newRow("cut at 20") << QByteArray("BASIC      02.001201\0xz\r", 23) << StoveModel::Unknown
                                   << QStringList();
        QTest::newRow("short reply") << QByteArray("BASIC      02.00120\r") << StoveModel::Unknown
                                     << QStringList();
    }
    void identityEdgeCases() {
        QFETCH(QByteArray, reply);
        QFETCH(StoveModel, model);
        QFETCH(QStringList, shown);
        ScriptedBoard board(1);
        board.setResponder(replyTo("MODELLO", reply.toStdString()));
        hbsupport::Program program;
        BoxAnswerer answerer;
        click(program.window(), "parametersToolButton");
        QCOMPARE(program.session().model(), model);
        if (shown.isEmpty()) {
            QCOMPARE(answerer.seen.size(), std::size_t(1));
            QCOMPARE(answerer.seen.front().text, communicationError);
            QCOMPARE(program.window().currentPage(), Page::Home);
            return;
        }
        QVERIFY(answerer.seen.empty());
        QCOMPARE(program.window().currentPage(), Page::Parameters);
        QCOMPARE((QStringList{labelText(program.window(), "modelValue"),
                              labelText(program.window(), "versionValue"),
                              labelText(program.window(), "revisionValueDebug")}),
                 shown);
    }

    // An unknown model shows the page without content and is detected again at the next entry; a
    // known one only once, also after the setup page closed the link.
    void detectionRepeatsUntilTheModelIsKnown() {
        ScriptedBoard board(1);
        // The board confirms the test-mode commands that the page sends even without a model.
        const auto answering = [](std::string identity) {
            return [identity](const std::string &c, int) -> std::optional<std::string> {
                if (c == "MODELLO") return identity;
                if (c == "TESTON" || c == "TESTOFF") return c + "\r";
                return std::nullopt;
            };
        };
        board.setResponder(answering("OVEN       01.00010101\r"));
        hbsupport::Program program;
        BoxAnswerer answerer;
        click(program.window(), "testHWToolButton");
        QCOMPARE(program.session().model(), StoveModel::Unknown);
        QCOMPARE(program.window().currentPage(), Page::TestHw);
        QCOMPARE(labelText(program.window(), "modelValue"), QStringLiteral("UNKNOWN"));
        QVERIFY(!pagesBuilt(program));
        board.setResponder(answering("BASIC      02.00990101\r"));
        click(program.window(), "homeBTest");
        click(program.window(), "parametersToolButton");
        QVERIFY(pagesBuilt(program));
        click(program.window(), "homeBPar");
        click(program.window(), "setupToolButton");
        QVERIFY(!program.link().isOpen());
        click(program.window(), "homeBSetup");
        click(program.window(), "parametersToolButton");
        QVERIFY(program.link().isOpen());
        QCOMPARE(program.window().currentPage(), Page::Parameters);
        QCOMPARE(board.count("MODELLO"), 2);
        QVERIFY(answerer.seen.empty());
    }

    void languageSwitchRefreshesBuiltPages() {
        sandbox->installShippedLanguages();
        ScriptedBoard board(1);
        board.setResponder(replyTo("MODELLO", "WATER      01.00990101\r"));
        hbsupport::Program program;
        BoxAnswerer answerer;
        click(program.window(), "parametersToolButton");
        QVERIFY(pagesBuilt(program));
        auto shows = [&](const QString &text) {
            for (QLabel *label :
                 hbtest::child<QGroupBox>(program.window(), "parametersGB")->findChildren<QLabel *>())
                if (label->text() == text) return true;
            return false;
        };
        QVERIFY(shows(QStringLiteral("Maximum ignition time")));
        hbtest::activate(program.window(), "languageComboBox", "Italiano");
        QVERIFY(shows(QStringLiteral("Tempo massimo accensione")));
        QVERIFY(!shows(QStringLiteral("Maximum ignition time")));
        useDefaultTexts();
    }

    void portThatDoesNotOpen() {
        QSettings().setValue("com", 20);
        hbsupport::Program program;
        QCOMPARE(hbtest::child<QComboBox>(program.window(), "comComboBox")->currentIndex(), -1);
        BoxAnswerer answerer;
        click(program.window(), "parametersToolButton");
        // Tried by the detection and again by the re-open; each failure has its own box.
        QCOMPARE(answerer.seen.size(), std::size_t(2));
        for (const hbtest::SeenBox &box : answerer.seen) {
            QCOMPARE(box.text, QStringLiteral("Error opening serial COM21"));
            QCOMPARE(box.icon, QMessageBox::Critical);
        }
        QCOMPARE(program.window().currentPage(), Page::Home);
        QVERIFY(!program.link().isOpen());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // Every opening of the link carries the stored settings: the read time-out "delay" (capped to the
    // library's 16-bit argument), 2 ms byte time-outs at 9600 baud and 1 ms otherwise; the setup
    // page's scan tries each port at 9600 baud with 1 ms time-outs. Seen in the open requests that a
    // proxy receives.
    void linkSettingsReachThePort() {
        testsupport::TcpPeer proxy;
        QVERIFY2(proxy.listening(), "port 1996 is taken");
        proxy.serve([](testsupport::TcpPeer &peer, testsupport::Bytes &pending) {
            // Open requests (18 bytes) are accepted, close requests (1 byte) confirmed.
            while (!pending.empty()) {
                if (pending[0] == 0x00 && pending.size() >= 18) {
                    peer.write({0x00, pending[1], 0x00});
                    pending.erase(pending.begin(), pending.begin() + 18);
                } else if (pending[0] == 0x03) {
                    peer.write({0x03});
                    pending.erase(pending.begin());
                } else {
                    return;
                }
            }
        });
        SetRemoteIP(127, 0, 0, 1);
        const auto opened = [&](const char *hex) {
            QByteArray expected = QByteArray::fromHex(hex);
            const testsupport::Bytes got = proxy.received();
            const QByteArray wire(reinterpret_cast<const char *>(got.data()), int(got.size()));
            return wire.contains(expected);
        };
        BoardLink link;
        QSettings settings;
        settings.setValue("com", 3);
        settings.setValue("baudRate", 9600);
        settings.setValue("delay", 250);
        QCOMPARE(link.open(readLinkSettings()), 0);
        QVERIFY(opened("0003802500 00fa000000 0200000002000000"));
        settings.setValue("baudRate", 38400);
        settings.setValue("delay", 100000);
        QCOMPARE(link.open(readLinkSettings()), 0);
        QVERIFY(opened("0003009600 00ff7f0000 0100000001000000"));
        const QList<int> ports = link.scanPorts();
        QCOMPARE(ports.size(), 16);
        for (int port = 0; port < 16; ++port)
            QVERIFY2(opened(QByteArray("00") + QByteArray::number(port, 16).rightJustified(2, '0') +
                            "8025000001000000 0100000001000000"),
                     qPrintable(QString::number(port)));
        QVERIFY(!link.isOpen());
        SetRemoteIP(255, 255, 255, 255);
        proxy.stop();
    }

    void portScanListsOpenPorts() {
        testsupport::PtyPeer second, fifth, twelfth;
        second.bindCom(2);
        fifth.bindCom(5);
        twelfth.bindCom(12);
        QSettings().setValue("com", 4);
        hbsupport::Program program;
        click(program.window(), "setupToolButton");
        QComboBox *box = hbtest::child<QComboBox>(program.window(), "comComboBox");
        QCOMPARE((QStringList{box->itemText(0), box->itemText(1), box->itemText(2)}),
                 (QStringList{"COM2", "COM5", "COM12"}));
        QCOMPARE(box->count(), 3);
        QCOMPARE(box->currentText(), QStringLiteral("COM5"));
        // A stored port that is not listed leaves the box without selection.
        QSettings().setValue("com", 0);
        click(program.window(), "homeBSetup");
        click(program.window(), "setupToolButton");
        QCOMPARE(box->currentIndex(), -1);
        // The scan leaves every port closed.
        QCOMPARE(ClearComm(), 0);
    }
};

QTEST_MAIN(DetectionTest)
#include "tst_detection.moc"
