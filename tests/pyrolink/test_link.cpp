// Port slots, opening, the raw exchange and the read time-outs, against a pty peer.
#include "link_fixture.h"

#include <atomic>
#include <cstdlib>
#include <future>

using namespace linktest;

TEST_F(LinkTest, OpenRefusesBadPortBaudAndDevice) {
    for (int port : {16, -1})
        EXPECT_EQ(OpenComm(port, 9600, 0, 100, 0, 10), -1) << port;
    for (int baud : {4800, 9601})
        EXPECT_EQ(OpenComm(0, baud, 0, 100, 0, 10), -2) << baud;
    const unsigned char b = 'x';
    EXPECT_EQ(WriteComm(&b, 1), 0); // nothing was opened
    for (int baud : {9600, 19200, 38400, 57600, 115200}) {
        EXPECT_EQ(OpenComm(0, baud, 0, 100, 0, 10), 0) << baud;
        CloseComm();
    }
    CloseComm();                                                   // closing a closed port does nothing
    for (const char *device : {"/nonexistent/tty", "/dev/null"}) { // missing; no serial line
        setenv("PYROLINK_COM7", device, 1);
        EXPECT_EQ(OpenComm(6, 9600, 0, 100, 0, 10), -3) << device;
    }
    unsetenv("PYROLINK_COM7");
}

TEST_F(LinkTest, WriteSendsExactBytesAndBadArgumentsAreRefused) {
    ASSERT_EQ(OpenComm(0, 9600, 0, 100, 0, 10), 0);
    const unsigned char cmd[] = "MODELLO\r";
    EXPECT_EQ(WriteComm(cmd, 8), 1);
    EXPECT_EQ(peer.read(8), Bytes(cmd, cmd + 8));
    EXPECT_EQ(WriteComm(cmd, 0), 0);
    EXPECT_EQ(WriteComm(cmd, -3), 0);
    EXPECT_EQ(WriteComm(nullptr, 4), 0);
    unsigned char buf[4];
    unsigned int got = 12345;
    EXPECT_EQ(ReadComm(buf, 0, &got), 0);
    EXPECT_EQ(ReadComm(nullptr, 4, &got), 0);
    EXPECT_EQ(got, 12345u);
    CloseComm();
    EXPECT_EQ(WriteComm(cmd, 8), 0);
    EXPECT_TRUE(peer.readUntilQuiet(30ms, 100ms).empty());
}

TEST_F(LinkTest, ReadTimeouts) {
    // t1 is the total constant, t2 the total per byte, t3 the interval after a byte (-1: poll mode).
    // The peer sends `text` `delay` ms after the clock started. Upper bounds are generous: the
    // machine may be busy.
    const struct {
        const char *what;
        short t1, t2, t3;
        int count;
        const char *text;
        int delayMs;
        double atLeast, below;
    } cases[] = {
        {"ends when the count arrives", 2000, 0, 500, 8, "P01=123\r", 0, 0, 1000},
        {"silence: the interval waits for a first byte", 150, 0, 20, 24, "", 0, 145, 1500},
        {"ends at the gap after the last byte", 3000, 0, 60, 24, "abc", 50, 50 + 55, 2000},
        {"total of 10 ms per byte and 40 ms", 40, 10, 0, 12, "", 0, 155, 1500},
        {"poll mode returns at once", 1000, 0, -1, 16, "", 0, 0, 500},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(OpenComm(0, 9600, 0, c.t1, c.t2, c.t3), 0);
        unsigned char buf[24];
        unsigned int got = 99;
        // The clock starts before the writer, so a late start of that thread cannot shorten a gap.
        const auto start = std::chrono::steady_clock::now();
        auto writer = std::async(std::launch::async, [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(c.delayMs));
            peer.write(std::string(c.text));
        });
        EXPECT_EQ(ReadComm(buf, c.count, &got), 1);
        const double took = msSince(start);
        writer.get();
        EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), std::min(got, 24u)), c.text);
        EXPECT_GE(took, c.atLeast);
        EXPECT_LT(took, c.below);
        CloseComm();
    }
    // Poll mode hands over what is buffered.
    ASSERT_EQ(OpenComm(0, 9600, 0, 1000, 0, -1), 0);
    peer.write(bytes({1, 2, 3}));
    std::this_thread::sleep_for(50ms);
    unsigned char buf[16];
    unsigned int got = 0;
    EXPECT_EQ(ReadComm(buf, 16, &got), 1);
    EXPECT_EQ(got, 3u);
}

TEST_F(LinkTest, HangUpFailsTheReadPromptly) {
    ASSERT_EQ(OpenComm(0, 9600, 0, 3000, 0, 1000), 0);
    const auto start = std::chrono::steady_clock::now();
    auto closer = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(50ms);
        peer.hangUp();
    });
    unsigned char buf[8];
    unsigned int got = 0;
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
    EXPECT_EQ(ClearComm(), 1); // the first read takes the stale bytes, the second finds nothing
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

TEST_F(LinkTest, DrainCommDropsWhatArrivedWithoutWaitingOrSending) {
    EXPECT_EQ(DrainComm(), 0); // not open
    // A read time-out of 3 s: a drain that waited for a quiet line would last that long.
    ASSERT_EQ(OpenComm(0, 9600, 0, 3000, 0, 1000), 0);
    peer.write(std::string("T1=001\r"));
    std::this_thread::sleep_for(50ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DrainComm(), 1);
    EXPECT_EQ(DrainComm(), 1); // a quiet line too
    EXPECT_LT(msSince(start), 1500);
    // What comes afterwards is kept, and read under the port's own time-outs.
    peer.write(std::string("T1=002\r"));
    unsigned char buf[24];
    unsigned int got = 0;
    EXPECT_EQ(ReadComm(buf, 7, &got), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), got), "T1=002\r");
    EXPECT_TRUE(sent().empty());
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

TEST_F(LinkTest, CtsNeedsAnOpenPort) {
    EXPECT_EQ(ReadCts(nullptr), 0);
    ASSERT_EQ(OpenComm(0, 9600, 0, 100, 0, 10), 0);
    // A pty has no modem lines: a refused query reads 0.
    short cts = 5;
    if (ReadCts(&cts) == 0) {
        EXPECT_EQ(cts, 0);
    }
    EXPECT_EQ(SetCts(1), 1);
    CloseComm();
    EXPECT_EQ(SetCts(1), 0);
}
