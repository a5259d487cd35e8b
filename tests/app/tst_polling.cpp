// The polling thread against a scripted board: inputs per model, monitor indexes, retry waits,
// mode changes within one transaction, queued delivery and a prompt cooperative stop.
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
    bool allOnMainThread = true;
public slots:
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

bool waitFor(const std::function<bool()> &condition, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > ms) return false;
        QTest::qWait(10);
    }
    return true;
}

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
        // No per-byte read time-out: the drain before each command then costs only the constant.
        QCOMPARE(OpenComm(0, 9600, 0, 20, 0, 2), 0);
        link = new BoardLink;
        thread = new SerialThread(*link);
        receiver = new Receiver;
        connect(thread, &SerialThread::testhwinputRead, receiver, &Receiver::onInput);
        connect(thread, &SerialThread::debugRead, receiver, &Receiver::onDebug);
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

    void inputListsPerModel_data() {
        QTest::addColumn<StoveModel>("model");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QList<int>>("inputs");
        QTest::newRow("basic") << StoveModel::Basic
                               << QStringList{"READT1", "READT2", "READPOT", "READEN", "READPR", "READPCC"}
                               << QList<int>{1, 2, 4, 6, 8, 9};
        QTest::newRow("water") << StoveModel::Water
                               << QStringList{"READT1", "READT2", "READT3", "READPR", "READEN", "READIN"}
                               << QList<int>{1, 2, 3, 5, 6, 7};
        QTest::newRow("air") << StoveModel::AirDucted
                             << QStringList{"READT1", "READT2", "READT3", "READEN", "READPR", "READIN"}
                             << QList<int>{1, 2, 3, 6, 8, 7};
    }
    void inputListsPerModel() {
        QFETCH(StoveModel, model);
        QFETCH(QStringList, commands);
        QFETCH(QList<int>, inputs);
        startThread(model, PollMode::Inputs);
        QVERIFY(waitFor([&] { return receiver->inputs.size() >= 12; }));
        QStringList expected = commands + commands;
        QStringList got;
        for (const std::string &c : firstN(board->commands(), 12))
            got.append(QString::fromStdString(c));
        QCOMPARE(got, expected);
        const QList<int> values = {1, 2, 4,
                                   6, 5, 9}; // what the replies above carry for inputs 1, 2, 4, 6, 8, 9
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(receiver->inputs.at(i).first, inputs.at(i));
            if (model == StoveModel::Basic) QCOMPARE(receiver->inputs.at(i).second, values.at(i));
        }
        QVERIFY(receiver->allOnMainThread);
    }

    void monitorIndexesPerModel_data() {
        QTest::addColumn<StoveModel>("model");
        QTest::addColumn<int>("count");
        QTest::newRow("basic") << StoveModel::Basic << 6;
        QTest::newRow("water") << StoveModel::Water << 5;
        QTest::newRow("air") << StoveModel::AirDucted << 5;
    }
    void monitorIndexesPerModel() {
        QFETCH(StoveModel, model);
        QFETCH(int, count);
        startThread(model, PollMode::Monitor);
        QVERIFY(waitFor([&] { return receiver->monitor.size() >= count + 1; }));
        const auto commands = board->commands();
        for (int i = 0; i < count; ++i) {
            QCOMPARE(QString::fromStdString(commands.at(std::size_t(i))),
                     QStringLiteral("DEBUG0%1").arg(i + 1));
            QCOMPARE(receiver->monitor.at(i), (QList<int>{i + 1, 1, 2, 3}));
        }
        QCOMPARE(QString::fromStdString(commands.at(std::size_t(count))), QStringLiteral("DEBUG01"));
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
        QVERIFY(waitFor([&] { return !board->commands().empty(); }, 2000));
    }

    void inputRetryWaits() {
        // READT1 is answered only at its seventh attempt.
        board->setResponder([](const std::string &c, int earlier) -> std::optional<std::string> {
            if (c == "READT1" && earlier < 6) return std::nullopt;
            return boardReply(c);
        });
        startThread(StoveModel::Water, PollMode::Inputs);
        QVERIFY(waitFor([&] { return receiver->inputs.size() >= 2; }));
        const auto arrivals = board->arrivals();
        for (int n = 0; n < 7; ++n)
            QCOMPARE(arrivals.at(std::size_t(n)).command, std::string("READT1"));
        QCOMPARE(arrivals.at(7).command, std::string("READT2"));
        for (int n = 1; n < 7; ++n) {
            const auto gap = hbtest::gapMs(arrivals, std::size_t(n));
            const int waitMs = (n + 1) * 50;
            QVERIFY2(gap >= waitMs - 2 && gap < waitMs + 250,
                     qPrintable(QStringLiteral("attempt %1: %2 ms").arg(n).arg(gap)));
        }
        QCOMPARE(receiver->inputs.at(0), (QPair<int, int>(1, 1)));
        QCOMPARE(receiver->inputs.at(1).first, 2);
    }

    void inputSkippedAfterSevenFailures() {
        board->setResponder([](const std::string &c, int) -> std::optional<std::string> {
            if (c == "READT2") return std::nullopt;
            return boardReply(c);
        });
        startThread(StoveModel::Water, PollMode::Inputs);
        QVERIFY(waitFor([&] { return receiver->inputs.size() >= 2; }, 8000));
        QCOMPARE(receiver->inputs.at(1).first, 3);
        int t2 = 0;
        for (const std::string &c : board->commands())
            t2 += c == "READT2";
        QCOMPARE(t2, 7);
    }

    void monitorRetryWaits() {
        board->setResponder([](const std::string &c, int earlier) -> std::optional<std::string> {
            if (c == "DEBUG01" && earlier < 3) return std::nullopt;
            return boardReply(c);
        });
        startThread(StoveModel::AirDucted, PollMode::Monitor);
        QVERIFY(waitFor([&] { return receiver->monitor.size() >= 1; }));
        const auto arrivals = board->arrivals();
        for (int n = 1; n < 4; ++n) {
            const auto gap = hbtest::gapMs(arrivals, std::size_t(n));
            const int waitMs = n * 50 + 25;
            QVERIFY2(gap >= waitMs - 2 && gap < waitMs + 250,
                     qPrintable(QStringLiteral("attempt %1: %2 ms").arg(n).arg(gap)));
        }
        QCOMPARE(receiver->monitor.size() >= 1, true);
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
        QVERIFY(waitFor([&] { return board->commands().size() >= 2; }));
        const std::size_t before = board->commands().size();
        thread->setMode(PollMode::Monitor);
        QVERIFY(waitFor([&] { return receiver->monitor.size() >= 1; }));
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

    void stopsPromptlyDuringTransaction() {
        board->setResponder([](const std::string &, int) { return std::nullopt; });
        startThread(StoveModel::Water, PollMode::Inputs);
        QVERIFY(waitFor([&] { return !board->commands().empty(); }));
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
