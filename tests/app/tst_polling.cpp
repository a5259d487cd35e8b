// The polling thread against a scripted board: inputs and monitor indexes per model, retry waits,
// mode changes within one transaction, queued delivery, a prompt cooperative stop, and the wait after
// cycles without any answer.
#include "board/boardlink.h"
#include "board/serialthread.h"
#include "helpers.h"

#include <pyrolink.h>

using hbtest::ScriptedBoard;
using namespace std::chrono_literals;

namespace {
std::optional<std::string> boardReply(const std::string &c) {
    static const std::map<std::string, std::string> replies = {
        {"READT1", "T1=001\r"}, {"READT2", "T2=002\r"}, {"READT3", "T3=003\r"}, {"READPOT", "SET=04\r"},
        {"READPR", "PR=005\r"}, {"READEN", "EN=006\r"}, {"READIN", "IN=007\r"}, {"READPCC", "SCC=09\r"},
    };
    auto it = replies.find(c);
    if (it != replies.end()) return it->second;
    if (c.size() == 7 && c.rfind("DEBUG", 0) == 0) return c.substr(5, 2) + "001002003\r";
    return std::nullopt;
}

// Receives the thread's signals on the test's thread and notes where they ran.
class Receiver : public QObject {
    Q_OBJECT
public:
    QList<QPair<int, int>> inputs;
    QList<QList<int>> monitor;
    QList<bool> silent;
    bool allOnMainThread = true;
public slots:
    void onSilent(bool on) { silent.append(on); }
    void onInput(short input, short value) {
        allOnMainThread =
            allOnMainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
        inputs.append({input, value});
    }
    void onDebug(short index, short a, short b, short c) {
        allOnMainThread =
            allOnMainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
        monitor.append({index, a, b, c});
    }
};

std::vector<std::string> firstN(const std::vector<std::string> &all, std::size_t n) {
    return std::vector<std::string>(all.begin(), all.begin() + std::min(n, all.size()));
}
} // namespace

class PollingTest : public QObject {
    Q_OBJECT

    ScriptedBoard *board = nullptr;
    BoardLink *link = nullptr;
    SerialThread *thread = nullptr;
    Receiver *receiver = nullptr;

    void startThread(StoveModel model, PollMode mode) {
        thread->setModel(model);
        thread->setMode(mode);
        thread->start();
    }

private slots:
    void init() {
        hbtest::unbindAllPorts();
        board = new ScriptedBoard(1);
        board->setResponder([](const std::string &c, int) { return boardReply(c); });
        // No per-byte read time-out: a read that waits for a silent board costs only the constant.
        QCOMPARE(OpenComm(0, 9600, 0, 20, 0, 2), 0);
        link = new BoardLink;
        thread = new SerialThread(*link);
        receiver = new Receiver;
        connect(thread, &SerialThread::testhwinputRead, receiver, &Receiver::onInput);
        connect(thread, &SerialThread::debugRead, receiver, &Receiver::onDebug);
        connect(thread, &SerialThread::boardSilent, receiver, &Receiver::onSilent);
    }
    void cleanup() {
        thread->requestStop();
        QVERIFY(thread->wait(3000));
        delete thread;
        delete receiver;
        delete link;
        CloseComm();
        delete board;
    }

    // One input cycle per model: its reads in order and the inputs they are delivered as; then the
    // monitor's indexes.
    void cyclesPerModel_data() {
        QTest::addColumn<StoveModel>("model");
        QTest::addColumn<QStringList>("reads");
        QTest::addColumn<QList<int>>("inputs");
        QTest::addColumn<int>("indexes");
        QTest::newRow("basic") << StoveModel::Basic
                               << QStringList{"READT1", "READT2", "READPOT", "READEN", "READPR", "READPCC"}
                               << QList<int>{1, 2, 4, 6, 8, 9} << 6;
        QTest::newRow("water") << StoveModel::Water
                               << QStringList{"READT1", "READT2", "READT3", "READPR", "READEN", "READIN"}
                               << QList<int>{1, 2, 3, 5, 6, 7} << 5;
        QTest::newRow("air") << StoveModel::AirDucted
                             << QStringList{"READT1", "READT2", "READT3", "READEN", "READPR", "READIN"}
                             << QList<int>{1, 2, 3, 6, 8, 7} << 5;
    }
    void cyclesPerModel() {
        QFETCH(StoveModel, model);
        QFETCH(QStringList, reads);
        QFETCH(QList<int>, inputs);
        QFETCH(int, indexes);
        startThread(model, PollMode::Inputs);
        QTRY_VERIFY_WITH_TIMEOUT(receiver->inputs.size() >= 12, 5000);
        QStringList got;
        for (const std::string &c : firstN(board->commands(), 12))
            got.append(QString::fromStdString(c));
        QCOMPARE(got, reads + reads);
        for (int i = 0; i < 6; ++i) // the replies above carry the input's number, 5 for a pressure
            QCOMPARE(receiver->inputs.at(i), (QPair<int, int>(inputs[i], inputs[i] == 8 ? 5 : inputs[i])));

        board->clear();
        thread->setMode(PollMode::Monitor);
        QTRY_VERIFY_WITH_TIMEOUT(receiver->monitor.size() >= indexes + 1, 5000);
        auto commands = board->commands();
        commands.erase(commands.begin(), std::find(commands.begin(), commands.end(), std::string("DEBUG01")));
        for (int i = 0; i <= indexes; ++i)
            QCOMPARE(QString::fromStdString(commands.at(std::size_t(i))),
                     QStringLiteral("DEBUG0%1").arg(i % indexes + 1));
        for (int i = 0; i < indexes; ++i)
            QCOMPARE(receiver->monitor.at(i), (QList<int>{i + 1, 1, 2, 3}));
        QVERIFY(receiver->allOnMainThread);
    }

    void nothingSentWithoutModeOrModel() {
        startThread(StoveModel::Water, PollMode::Idle);
        QTest::qWait(250);
        QVERIFY(board->commands().empty());
        thread->setModel(StoveModel::Unknown);
        thread->setMode(PollMode::Inputs);
        QTest::qWait(250);
        thread->setMode(PollMode::Monitor);
        QTest::qWait(250);
        QVERIFY(board->commands().empty());
        // A model becoming known starts the polling without another mode change.
        thread->setModel(StoveModel::Water);
        QTRY_VERIFY_WITH_TIMEOUT(!board->commands().empty(), 2000);
    }

    // Every failed attempt waits longer: inputs 100, 150 .. 350 ms and give up after the seventh;
    // the monitor 75, 125, 175 ms.
    void retryWaits() {
        // READT1 is answered at its seventh attempt, READT2 never, DEBUG01 at its fourth.
        board->setResponder([](const std::string &c, int earlier) -> std::optional<std::string> {
            if ((c == "READT1" && earlier < 6) || c == "READT2" || (c == "DEBUG01" && earlier < 3))
                return std::nullopt;
            return boardReply(c);
        });
        startThread(StoveModel::Water, PollMode::Inputs);
        QTRY_VERIFY_WITH_TIMEOUT(receiver->inputs.size() >= 2, 10000);
        // The attempts of the first run of `command`; the gaps between them base, base + step, ...
        const auto attempts = [&](const std::string &command, int base, int step) {
            const auto arrivals = board->arrivals();
            std::size_t at = 0, n = 0;
            while (at < arrivals.size() && arrivals[at].command != command)
                ++at;
            for (n = at + 1; n < arrivals.size() && arrivals[n].command == command; ++n) {
                const auto gap = hbtest::gapMs(arrivals, n);
                const auto waitMs = base + step * int(n - at - 1);
                [&] {
                    QVERIFY2(gap >= waitMs - hbtest::gapSlackMs && gap < waitMs + 1000,
                             qPrintable(QStringLiteral("%1: %2 ms").arg(command.c_str()).arg(gap)));
                }();
            }
            return int(n - at);
        };
        QCOMPARE(attempts("READT1", 100, 50), 7);
        QCOMPARE(attempts("READT2", 100, 50), 7);
        QCOMPARE(receiver->inputs.at(0), (QPair<int, int>(1, 1)));
        QCOMPARE(receiver->inputs.at(1).first, 3); // input 2 skipped
        thread->setMode(PollMode::Monitor);
        QTRY_VERIFY_WITH_TIMEOUT(receiver->monitor.size() >= 1, 5000);
        QCOMPARE(attempts("DEBUG01", 75, 50), 4);
        QCOMPARE(receiver->monitor.at(0).at(0), 1);
    }

    // Leaving a page stops its polling within the transaction in flight, also while every read
    // fails through its retries.
    void modeChangeStopsTheCycle() {
        board->setResponder([](const std::string &c, int) -> std::optional<std::string> {
            if (c.rfind("READ", 0) == 0) return std::nullopt;
            return boardReply(c);
        });
        startThread(StoveModel::Water, PollMode::Inputs);
        QTRY_VERIFY_WITH_TIMEOUT(board->commands().size() >= 2, 5000);
        const std::size_t before = board->commands().size();
        thread->setMode(PollMode::Monitor);
        QTRY_VERIFY_WITH_TIMEOUT(receiver->monitor.size() >= 1, 5000);
        const auto commands = board->commands();
        const auto debug = std::find(commands.begin(), commands.end(), std::string("DEBUG01"));
        QVERIFY(debug != commands.end());
        QVERIFY2(
            std::size_t(debug - commands.begin()) <= before + 1,
            qPrintable(QStringLiteral("%1 reads after the change").arg(debug - commands.begin() - before)));
        thread->setMode(PollMode::Idle);
        QTest::qWait(100);
        const std::size_t idle = board->commands().size();
        QTest::qWait(300);
        QCOMPARE(board->commands().size(), idle);
    }

    // A cycle without any answer is followed by a wait, 500 ms and then 1 s, seen on the line as a
    // gap after the last attempt of the cycle; the board is reported silent once, then answering
    // again at its first answer.
    void backsOffWhileTheBoardIsSilent() {
        board->setResponder([](const std::string &, int) { return std::nullopt; });
        const QList<bool> &silent = receiver->silent;
        startThread(StoveModel::Water, PollMode::Monitor); // 5 indexes, 7 attempts each
        QTRY_VERIFY_WITH_TIMEOUT(board->commands().size() >= 71, 90000);
        const auto arrivals = board->arrivals();
        for (std::size_t n : {35, 70})
            QCOMPARE(arrivals.at(n).command, std::string("DEBUG01"));
        // The last attempt waits 375 ms for its reply; the wait after the cycle comes on top.
        QVERIFY2(hbtest::gapMs(arrivals, 35) >= 375 + 500 - hbtest::gapSlackMs,
                 qPrintable(QString::number(hbtest::gapMs(arrivals, 35))));
        QVERIFY2(hbtest::gapMs(arrivals, 70) >= 375 + 1000 - hbtest::gapSlackMs,
                 qPrintable(QString::number(hbtest::gapMs(arrivals, 70))));
        QCOMPARE(silent, QList<bool>{true});
        board->setResponder([](const std::string &c, int) { return boardReply(c); });
        QTRY_VERIFY_WITH_TIMEOUT(!receiver->monitor.isEmpty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(silent.size() == 2, 5000);
        QCOMPARE(silent, (QList<bool>{true, false}));
    }

    // Reads that fail at once (the port closed under the thread) end in a wait, which a page change
    // or a stop ends at once: the wait here is a minute long.
    void backOffEndsAtAModeChangeOrStop() {
        delete thread;
        thread = new SerialThread(*link, PollBackOff{60000, 60000});
        connect(thread, &SerialThread::debugRead, receiver, &Receiver::onDebug);
        connect(thread, &SerialThread::boardSilent, receiver, &Receiver::onSilent);
        const QList<bool> &silent = receiver->silent;
        startThread(StoveModel::Water, PollMode::Inputs);
        QTRY_VERIFY_WITH_TIMEOUT(board->commands().size() >= 6, 5000);
        const auto closePort = [this] { link->exclusive([] { return (CloseComm(), 0); }); };
        closePort();
        QTRY_VERIFY_WITH_TIMEOUT(silent.size() == 1, 5000);
        QTest::qWait(200);
        QCOMPARE(link->exclusive([] { return OpenComm(0, 9600, 0, 20, 0, 2); }), 0);
        thread->setMode(PollMode::Monitor);
        QTRY_VERIFY_WITH_TIMEOUT(!receiver->monitor.isEmpty(), 10000);
        QCOMPARE(silent, (QList<bool>{true, false})); // the new page starts afresh
        closePort();
        QTRY_VERIFY_WITH_TIMEOUT(silent.size() == 3, 5000);
        QTest::qWait(200);
        thread->requestStop();
        QVERIFY(thread->wait(10000));
    }

    void stopsPromptlyDuringTransaction() {
        board->setResponder([](const std::string &, int) { return std::nullopt; });
        startThread(StoveModel::Water, PollMode::Inputs);
        QTRY_VERIFY_WITH_TIMEOUT(!board->commands().empty(), 5000);
        QElapsedTimer clock;
        clock.start();
        thread->requestStop();
        QVERIFY(thread->wait(3000));
        QVERIFY(clock.elapsed() < 1000);
        const std::size_t sent = board->commands().size();
        QTest::qWait(200);
        QCOMPARE(board->commands().size(), sent);
    }
};

QTEST_GUILESS_MAIN(PollingTest)
#include "tst_polling.moc"
