// Port slots, opening, the raw exchange and the read time-outs, against a pty peer.
#include "link_fixture.h"

#include <atomic>
#include <cstdlib>
#include <future>

using namespace linktest;

TEST_F(LinkTest, OpenRefusesBadPortAndBaudBeforeTouchingTheDevice) {
    EXPECT_EQ(OpenComm(16, 9600, 0, 100, 0, 10), -1);
    EXPECT_EQ(OpenComm(-1, 9600, 0, 100, 0, 10), -1);
    EXPECT_EQ(OpenComm(0, 4800, 0, 100, 0, 10), -2);
    EXPECT_EQ(OpenComm(0, 9601, 0, 100, 0, 10), -2);
    // Nothing was opened: writes fail.
    const unsigned char b = 'x';
    EXPECT_EQ(WriteComm(&b, 1), 0);
    for (int baud : {9600, 19200, 38400, 57600, 115200}) {
        EXPECT_EQ(OpenComm(0, baud, 0, 100, 0, 10), 0) << baud;
        CloseComm();
    }
}

TEST_F(LinkTest, OpenReportsMissingDevice) {
    setenv("PYROLINK_COM7", "/nonexistent/tty", 1);
    EXPECT_EQ(OpenComm(6, 9600, 0, 100, 0, 10), -3);
    setenv("PYROLINK_COM7", "/dev/null", 1); // exists but is no serial line
    EXPECT_EQ(OpenComm(6, 9600, 0, 100, 0, 10), -3);
    unsetenv("PYROLINK_COM7");
}

TEST_F(LinkTest, WriteSendsExactBytesAndRefusesBadArguments) {
    ASSERT_EQ(OpenComm(0, 9600, 0, 100, 0, 10), 0);
    const unsigned char cmd[] = {'M', 'O', 'D', 'E', 'L', 'L', 'O', '\r'};
    EXPECT_EQ(WriteComm(cmd, 8), 1);
    EXPECT_EQ(peer.read(8), Bytes(cmd, cmd + 8));
    EXPECT_EQ(WriteComm(cmd, 0), 0);
    EXPECT_EQ(WriteComm(cmd, -3), 0);
    EXPECT_EQ(WriteComm(nullptr, 4), 0);
    CloseComm();
    EXPECT_EQ(WriteComm(cmd, 8), 0);
    EXPECT_TRUE(peer.readUntilQuiet(30ms, 100ms).empty());
}

TEST_F(LinkTest, ReadWithZeroCountLeavesGotUntouched) {
    ASSERT_EQ(OpenComm(0, 9600, 0, 100, 0, 10), 0);
    unsigned char buf[4];
    unsigned int got = 12345;
    EXPECT_EQ(ReadComm(buf, 0, &got), 0);
    EXPECT_EQ(ReadComm(nullptr, 4, &got), 0);
    EXPECT_EQ(got, 12345u);
}

TEST_F(LinkTest, ReadEndsWhenCountArrives) {
    ASSERT_EQ(OpenComm(0, 9600, 0, 2000, 0, 500), 0);
    peer.write(std::string("P01=123\r"));
    unsigned char buf[8];
    unsigned int got = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadComm(buf, 8, &got), 1);
    EXPECT_EQ(got, 8u);
    EXPECT_LT(msSince(start), 400);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), 8), "P01=123\r");
}

TEST_F(LinkTest, ReadEndsAtTotalTimeoutWhenNothingArrives) {
    ASSERT_EQ(OpenComm(0, 9600, 0, 150, 0, 20), 0);
    unsigned char buf[24];
    unsigned int got = 99;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadComm(buf, 24, &got), 1);
    double took = msSince(start);
    EXPECT_EQ(got, 0u);
    // The interval timer only starts with a first byte: the total constant decides.
    EXPECT_GE(took, 145);
    EXPECT_LT(took, 400);
}

TEST_F(LinkTest, ReadEndsWhenGapAfterAByteExceedsInterval) {
    ASSERT_EQ(OpenComm(0, 9600, 0, 3000, 0, 60), 0);
    unsigned char buf[24];
    unsigned int got = 0;
    // The clock starts before the writer, so a late start of this thread cannot shorten the gap.
    auto start = std::chrono::steady_clock::now();
    auto writer = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(50ms);
        peer.write(std::string("abc"));
    });
    EXPECT_EQ(ReadComm(buf, 24, &got), 1);
    double took = msSince(start);
    writer.get();
    EXPECT_EQ(got, 3u);
    EXPECT_GE(took, 50 + 55);
    EXPECT_LT(took, 1000);
}

TEST_F(LinkTest, ReadTotalUsesMultiplierTimesCount) {
    ASSERT_EQ(OpenComm(0, 9600, 0, 40, 10, 0), 0); // 10 ms per byte + 40 ms
    unsigned char buf[12];
    unsigned int got = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadComm(buf, 12, &got), 1);
    double took = msSince(start);
    EXPECT_GE(took, 155);
    EXPECT_LT(took, 450);
}

TEST_F(LinkTest, PollModeReturnsAtOnceWithWhatIsBuffered) {
    ASSERT_EQ(OpenComm(0, 9600, 0, 100, 0, -1), 0);
    unsigned char buf[16];
    unsigned int got = 7;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadComm(buf, 16, &got), 1);
    EXPECT_EQ(got, 0u);
    EXPECT_LT(msSince(start), 20);
    peer.write(bytes({1, 2, 3}));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(ReadComm(buf, 16, &got), 1);
    EXPECT_EQ(got, 3u);
}

TEST_F(LinkTest, HangUpFailsTheReadPromptly) {
    ASSERT_EQ(OpenComm(0, 9600, 0, 3000, 0, 1000), 0);
    auto closer = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(50ms);
        peer.hangUp();
    });
    unsigned char buf[8];
    unsigned int got = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadComm(buf, 8, &got), 0);
    EXPECT_LT(msSince(start), 1500);
    closer.get();
}

TEST_F(LinkTest, ClearCommDrainsOrGivesUpAfterThreeReads) {
    EXPECT_EQ(ClearComm(), 0); // not open
    ASSERT_EQ(OpenComm(0, 9600, 0, 30, 0, 10), 0);
    EXPECT_EQ(ClearComm(), 1);

    peer.write(std::string("stale"));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(ClearComm(), 1); // first read takes the stale bytes, the second finds nothing
    unsigned char buf[8];
    unsigned int got = 0;
    EXPECT_EQ(ReadComm(buf, 8, &got), 1);
    EXPECT_EQ(got, 0u);

    // A peer that never stops sending: three reads all bring data.
    std::atomic<bool> run{true};
    auto chatter = std::async(std::launch::async, [&] {
        while (run) {
            peer.write(bytes({0x55}));
            std::this_thread::sleep_for(3ms);
        }
    });
    EXPECT_EQ(ClearComm(), 0);
    run = false;
    chatter.get();
}

TEST_F(LinkTest, ActivePortSwitchKeepsEachSlot) {
    PtyPeer second;
    second.bindCom(4);
    ASSERT_EQ(OpenComm(0, 9600, 1, 100, 0, 10), 0);
    ASSERT_EQ(OpenComm(3, 19200, 2, 100, 0, 10), 0); // port 3 is now active
    const unsigned char a = 'A', b = 'B';
    EXPECT_EQ(WriteComm(&b, 1), 1);
    EXPECT_EQ(second.read(1), bytes({'B'}));
    SetActiveComm(0);
    EXPECT_EQ(WriteComm(&a, 1), 1);
    EXPECT_EQ(peer.read(1), bytes({'A'}));
    SetActiveComm(3);
    CloseComm();
    EXPECT_EQ(WriteComm(&b, 1), 0);
    SetActiveComm(0);
    EXPECT_EQ(WriteComm(&a, 1), 1); // slot 0 is still open
    EXPECT_EQ(peer.read(1), bytes({'A'}));
    SetActiveComm(99); // ignored: outside the table
    EXPECT_EQ(WriteComm(&a, 1), 1);
}

TEST_F(LinkTest, ReopenAfterCloseWorksOnTheSameDevice) {
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(OpenComm(0, 115200, 0, 100, 0, 10), 0) << i;
        CloseComm();
    }
    CloseComm(); // closing a closed port does nothing
}

TEST_F(LinkTest, CtsOnAPseudoTerminal) {
    short cts = 5;
    // Never opened in this process position: no device behind the working handle.
    EXPECT_EQ(ReadCts(nullptr), 0);
    ASSERT_EQ(OpenComm(0, 9600, 0, 100, 0, 10), 0);
    // A pty has no modem lines: the query is refused and the result reads 0.
    int r = ReadCts(&cts);
    if (r == 0) {
        EXPECT_EQ(cts, 0);
    }
    EXPECT_EQ(SetCts(1), 1);
    EXPECT_EQ(SetCts(0), 1);
    CloseComm();
    EXPECT_EQ(SetCts(1), 0);
}
