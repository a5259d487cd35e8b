// Command transactions against a scripted board on a pseudo-terminal: the exact command bytes, the
// reply checks and the failure paths.
#include "board/commands.h"
#include "board/transactions.h"
#include "helpers.h"

#include <pyrolink.h>

using hbtest::replyTo;
using hbtest::ScriptedBoard;
using testsupport::Bytes;

namespace {
std::string wire(const ScriptedBoard &board) {
    const Bytes got = board.received();
    return std::string(got.begin(), got.end());
}
constexpr int wait = 40;
} // namespace

class TransactionTest : public QObject {
    Q_OBJECT

private:
    ScriptedBoard *board = nullptr;

    void openLink() { QCOMPARE(OpenComm(0, 9600, 0, 60, 0, 2), 0); }

private slots:
    void init() {
        hbtest::unbindAllPorts();
        board = new ScriptedBoard(1);
        openLink();
    }
    void cleanup() {
        CloseComm();
        delete board;
        board = nullptr;
    }

    void formatDigitsPadsAndTruncates() {
        char buffer[8] = {};
        formatDigits(buffer, 1234, 3);
        QCOMPARE(QByteArray(buffer, 3), QByteArray("234"));
        formatDigits(buffer, -5, 3);
        QCOMPARE(QByteArray(buffer, 3), QByteArray("000"));
        formatDigits(buffer, 7, 2);
        QCOMPARE(QByteArray(buffer, 2), QByteArray("07"));
        formatDigits(buffer, 0, 4);
        QCOMPARE(QByteArray(buffer, 4), QByteArray("0000"));
    }

    // The commands of the hardware test as the simulator, which knows them independently, confirms
    // them in test mode.
    void outputCommandsTheBoardKnows() {
        CloseComm();
        hbtest::Simulator sim({"--model", "basic", "--no-pacing"});
        QVERIFY(sim.ok());
        openLink();
        QCOMPARE(sendControlCommand(1, wait), 1); // TESTON
        const int loads[][2] = {{1, 1}, {1, 7}, {3, 1}, {3, 0}, {5, 1}, {5, 2}, {5, 3}, {5, 4}, {10, 1}, {10, 0}};
        for (const auto &load : loads)
            QVERIFY2(setLoad(static_cast<unsigned short>(load[0]), static_cast<unsigned short>(load[1]), wait) == 1,
                     qPrintable(QStringLiteral("load %1 state %2").arg(load[0]).arg(load[1])));
        QCOMPARE(setAnalogOutput(4, 100, wait), 1);
        QCOMPARE(setAnalogOutput(4, 7, wait), 1);
        QCOMPARE(setAnalogOutput(2, 45, wait), 1);
        QCOMPARE(sendControlCommand(0, wait), 1); // TESTOFF
        QCOMPARE(sendControlCommand(2, wait), 1); // SAVEPAR
    }

    void badSelectorsSendNothing() {
        board->setResponder([](const std::string &c, int) { return c + "\r"; });
        short value = 0;
        QCOMPARE(sendControlCommand(3, wait), 0);
        QCOMPARE(setLoad(2, 1, wait), 0);
        QCOMPARE(readInput(0, &value, wait), 0);
        QCOMPARE(readInput(10, &value, wait), 0);
        QCOMPARE(setAnalogOutput(3, 10, wait), 0);
        QCOMPARE(writeParameter(2, 1, 1, wait), 0);
        QCOMPARE(readParameter(2, 1, &value, wait), 0);
        QTest::qWait(60);
        QVERIFY(board->received().empty());
    }

    void echoWithoutCarriageReturnFails() {
        board->setResponder(replyTo("TESTON", "TESTON"));
        QCOMPARE(sendControlCommand(1, wait), 0);
        board->setResponder(replyTo("TESTON", "TESTOX\r"));
        QCOMPARE(sendControlCommand(1, wait), 0);
    }

    void inputs_data() {
        QTest::addColumn<int>("input");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("T1 blank-padded") << 1 << "READT1"
                                         << "T1= 25\r" << 1 << 25;
        QTest::newRow("T1 without CR") << 1 << "READT1"
                                       << "T1=025" << 0 << 0;
        QTest::newRow("T1 wrong letters") << 1 << "READT1"
                                          << "T2=025\r" << 0 << 0;
        QTest::newRow("T2") << 2 << "READT2"
                            << "T2=-12\r" << 1 << -12;
        QTest::newRow("T3") << 3 << "READT3"
                            << "T3=100\r" << 1 << 100;
        QTest::newRow("potentiometer two digits") << 4 << "READPOT"
                                                  << "SET=29\r" << 1 << 29;
        QTest::newRow("potentiometer three digits") << 4 << "READPOT"
                                                    << "SET=290\r" << 0 << 0;
        QTest::newRow("pressure 5") << 5 << "READPR"
                                    << "PR=250\r" << 1 << 250;
        QTest::newRow("encoder") << 6 << "READEN"
                                 << "EN=012\r" << 1 << 12;
        QTest::newRow("digital inputs") << 7 << "READIN"
                                        << "IN=170\r" << 1 << 170;
        QTest::newRow("pressure 8") << 8 << "READPR"
                                    << "PR=007\r" << 1 << 7;
        QTest::newRow("fuel correction") << 9 << "READPCC"
                                         << "SCC=95\r" << 1 << 95;
        QTest::newRow("digits stop at letter") << 1 << "READT1"
                                               << "T1=2x5\r" << 1 << 2;
    }
    void inputs() {
        QFETCH(int, input);
        QFETCH(QString, command);
        QFETCH(QString, reply);
        QFETCH(int, ok);
        QFETCH(int, value);
        board->setResponder(replyTo(command.toStdString(), reply.toStdString()));
        short got = -999;
        QCOMPARE(readInput(static_cast<unsigned short>(input), &got, wait), ok);
        QCOMPARE(QString::fromStdString(wire(*board)), command + QLatin1Char('\r'));
        QCOMPARE(int(got), ok ? value : -999); // untouched on failure
    }

    void identityNeedsExactly23Bytes() {
        char text[24];
        const std::string id = "WATER      01.23150911";
        board->setResponder(replyTo("MODELLO", id + "\r"));
        QCOMPARE(readIdentity(text, wait), 1);
        QCOMPARE(QByteArray(text), QByteArray::fromStdString(id));
        QCOMPARE(QByteArray::fromStdString(wire(*board)), QByteArray("MODELLO\r"));
        board->setResponder(replyTo("MODELLO", id));
        QCOMPARE(readIdentity(text, wait), 0);
        board->setResponder(replyTo("MODELLO", id + "\r\r"));
        QCOMPARE(readIdentity(text, wait), 0);
        board->setResponder(replyTo("MODELLO", std::string(22, 'x') + "?"));
        QCOMPARE(readIdentity(text, wait), 1);
    }

    void bankUsesLastDigit() {
        board->setResponder(replyTo("WRBANP02222", "P02=222\r"));
        QCOMPARE(writeBank(12, wait), 1);
        QCOMPARE(QByteArray::fromStdString(wire(*board)), QByteArray("WRBANP02222\r"));
        board->setResponder(replyTo("WRBANP02222", "P02=220\r"));
        QCOMPARE(writeBank(2, wait), 0);
    }

    void debugValues() {
        board->setResponder(replyTo("DEBUG03", "03123-45  7\r"));
        short a = 0, b = 0, c = 0;
        QCOMPARE(readDebugValues(3, &a, &b, &c, wait), 1);
        QCOMPARE(QByteArray::fromStdString(wire(*board)), QByteArray("DEBUG03\r"));
        QCOMPARE(int(a), 123);
        QCOMPARE(int(b), -45);
        QCOMPARE(int(c), 7);
        board->setResponder(replyTo("DEBUG03", "04123-45  7\r"));
        QCOMPARE(readDebugValues(3, &a, &b, &c, wait), 0);
        board->setResponder(replyTo("DEBUG03", "03123-45  7x"));
        QCOMPARE(readDebugValues(3, &a, &b, &c, wait), 0);
        board->clear();
        board->setResponder(nullptr);
        QCOMPARE(readDebugValues(123, &a, &b, &c, wait), 0);
        QCOMPARE(QByteArray::fromStdString(wire(*board)), QByteArray("DEBUG23\r"));
    }

    void channelReply() {
        const std::string command = "OUT05300";
        board->setResponder(replyTo(command, "O05=000?"));
        QCOMPARE(setChannel(5, 300, wait), 1);
        QCOMPARE(QByteArray::fromStdString(wire(*board)), QByteArray("OUT05300\r"));
        board->setResponder(replyTo(command, "O05=100\r"));
        QCOMPARE(setChannel(5, 300, wait), 1);
        board->setResponder(replyTo(command, "O05=200x"));
        QCOMPARE(setChannel(5, 300, wait), 0);
        board->setResponder(replyTo(command, "O06=000x"));
        QCOMPARE(setChannel(5, 300, wait), 0);
        board->setResponder(replyTo(command, "O05=010x"));
        QCOMPARE(setChannel(5, 300, wait), 0);
    }

    void writeParameterChecksValue() {
        board->setResponder(replyTo("WRGENP07045", "P07=045\r"));
        QCOMPARE(writeParameter(0, 7, 45, wait), 1);
        QCOMPARE(QByteArray::fromStdString(wire(*board)), QByteArray("WRGENP07045\r"));
        board->setResponder(replyTo("WRGENP07045", "P07= 45\r"));
        QCOMPARE(writeParameter(0, 7, 45, wait), 1);
        board->setResponder(replyTo("WRGENP07045", "P07=046\r"));
        QCOMPARE(writeParameter(0, 7, 45, wait), 0);
        board->setResponder(replyTo("WRGENP07045", "P08=045\r"));
        QCOMPARE(writeParameter(0, 7, 45, wait), 0);
        // A negative value is sent as 000 and can never be confirmed.
        board->clear();
        board->setResponder(replyTo("WRTECP09000", "P09=000\r"));
        QCOMPARE(writeParameter(1, 9, -5, wait), 0);
        QCOMPARE(QByteArray::fromStdString(wire(*board)), QByteArray("WRTECP09000\r"));
    }

    void readParameterParses() {
        board->setResponder(replyTo("READTECP12", "P12=-07\r"));
        short value = 0;
        QCOMPARE(readParameter(1, 12, &value, wait), 1);
        QCOMPARE(int(value), -7);
        QCOMPARE(QByteArray::fromStdString(wire(*board)), QByteArray("READTECP12\r"));
        board->setResponder(replyTo("READTECP12", "P12=007"));
        value = 99;
        QCOMPARE(readParameter(1, 12, &value, wait), 0);
        QCOMPARE(int(value), 99);
    }

    void parameterWaitIsSplit() {
        // A third of the wait passes before the command is written.
        board->setResponder(replyTo("READGENP01", "P01=001\r"));
        short value = 0;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(readParameter(0, 1, &value, 300), 1);
        const auto arrivals = board->arrivals();
        QCOMPARE(arrivals.size(), std::size_t(1));
        QVERIFY(clock.elapsed() >= 300);
        // Arrival after ~100 ms: the command was not written at once.
        const qint64 total = clock.elapsed();
        const auto sinceArrival = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      ScriptedBoard::Clock::now() - arrivals.front().at)
                                      .count();
        QVERIFY2(total - sinceArrival >= 95, qPrintable(QString::number(total - sinceArrival)));
    }

    void lateReplyIsDrained() {
        // A reply arriving after the read belongs to no one: the next transaction discards it.
        board->setResponder([](const std::string &c, int earlier) -> std::optional<std::string> {
            if (c == "READT1" && earlier == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(250));
                return std::string("T1=001\r");
            }
            if (c == "READT2") return std::string("T2=002\r");
            return std::nullopt;
        });
        short value = 0;
        QCOMPARE(readInput(1, &value, 10), 0);
        QTest::qWait(300);
        QCOMPARE(readInput(2, &value, wait), 1);
        QCOMPARE(int(value), 2);
    }

    void closedLinkFails() {
        CloseComm();
        board->setResponder([](const std::string &c, int) { return c + "\r"; });
        QCOMPARE(sendControlCommand(1, 5), 0);
        openLink();
    }
};

QTEST_GUILESS_MAIN(TransactionTest)
#include "tst_transactions.moc"
