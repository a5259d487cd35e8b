// The frame protocol and memory operations against a scripted board on a pty.
#include "link_fixture.h"

#include <atomic>
#include <future>

using namespace linktest;

namespace {

class FrameTest : public LinkTest {
protected:
    void open(short t1 = 80, short t3 = 10) {
        ASSERT_EQ(OpenComm(0, 115200, 0, t1, 0, t3), 0);
        board.attach(peer);
    }
    // Stops the board and returns (and forgets) the requests it saw.
    std::vector<Request> requests() {
        peer.stop();
        return std::exchange(board.requests, {});
    }
    FakeController board;
};

} // namespace

TEST_F(FrameTest, MemoryMovesInChunksOf127WithChecksums) {
    Bytes data(400);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t(i * 7);
    board.poke(0x1000, data);
    open();
    unsigned char out[300] = {};
    ASSERT_EQ(ReadBytes(1, 0x1000, 300, out), 1);
    EXPECT_EQ(Bytes(out, out + 300), Bytes(data.begin(), data.begin() + 300));
    const unsigned char three[3] = {0x10, 0x20, 0x30};
    ASSERT_EQ(WriteBytes(2, 0x41F8, 3, three), 1);
    ASSERT_EQ(WriteBytesFlash(2, 0x80A0, 3, three), 1);
    ASSERT_EQ(WriteBytesFlash(1, 0x2000, 400, data.data()), 1);
    EXPECT_EQ(board.peek(0x2000, 400), data);
    const auto r = requests();
    EXPECT_EQ(accesses(r), (ints{0x1000, 127, 0x107F, 127, 0x10FE, 46, 0x41F8, 3, 0x80A0, 3, 0x2000, 127,
                                 0x207F, 127, 0x20FE, 127, 0x217D, 19}));
    ASSERT_EQ(r.size(), 9u);
    EXPECT_EQ(hex(r[0].raw), "55 AA 00 01 00 7F 00 00 10 00 8F");
    EXPECT_EQ(hex(r[3].raw), "55 AA 00 02 01 03 00 00 41 F8 3E 10 20 30 60");
    EXPECT_EQ(hex(r[4].raw), "55 AA 00 02 04 03 00 00 80 A0 28 10 20 30 60");
}

TEST_F(FrameTest, CountBelowOneOrClosedPortSendsNothing) {
    unsigned char buf[4];
    EXPECT_EQ(ReadBytes(1, 0, 4, buf), 0); // not open
    open();
    EXPECT_EQ(ReadBytes(1, 0, 0, buf), 0);
    EXPECT_EQ(ReadBytes(1, 0, -5, buf), 0);
    EXPECT_EQ(WriteBytes(1, 0, 0, buf), 0);
    EXPECT_EQ(WriteBytesFlash(1, 0, 0, buf), 0);
    std::this_thread::sleep_for(30ms);
    EXPECT_TRUE(requests().empty());
}

TEST_F(FrameTest, BadRepliesFailTheAttemptWithoutOverrun) {
    int served = 0;
    const struct {
        const char *what;
        std::function<void(const Request &, Bytes &)> tamper;
        bool write;
        int result;
        std::size_t attempts; // 0: not counted (the flood keeps the board busy writing)
    } cases[] = {
        {"noise before the reply",
         [](const Request &, Bytes &r) {
             r.insert(r.begin(), {0x00, 0x13});
         },
         false, 1, 1},
        {"a bad header checksum, then a good frame",
         [&](const Request &, Bytes &r) {
             Bytes bad = r;
             bad[10] ^= 0xFF;
             if (served++ == 0) r = cat(bad, r);
         },
         false, 1, 2},
        {"a wrong command echo",
         [](const Request &, Bytes &r) {
             r[4] = 0x04;
             r[10] = sum8(Bytes(r.begin(), r.begin() + 10));
         },
         true, 0, 3},
        {"a bad data checksum", [](const Request &, Bytes &r) { r.back() ^= 1; }, false, 0, 3},
        {"more data than asked, or none",
         [&](const Request &q, Bytes &r) {
             r = frameBytes(q.node, 0, served++ % 2 ? 0 : 100, q.address, Bytes(100, 0x5A));
         },
         false, 0, 3},
        {"a flood of sync bytes", [](const Request &, Bytes &r) { r = Bytes(1000, 0x55); }, false, 0, 0},
    };
    board.poke(0, {0xAB, 0xCD, 0xEF, 0x01});
    ASSERT_EQ(OpenComm(0, 115200, 0, 80, 0, 10), 0);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        served = 0;
        board.tamper = c.tamper;
        board.attach(peer);
        unsigned char buf[4] = {};
        const unsigned char data[2] = {1, 2};
        EXPECT_EQ(c.write ? WriteBytes(1, 0x100, 2, data) : ReadBytes(1, 0, 4, buf), c.result);
        EXPECT_EQ(buf[0], c.result && !c.write ? 0xAB : 0); // a failed read leaves the buffer alone
        const std::size_t attempts = requests().size();
        EXPECT_EQ(c.attempts ? attempts : 0, c.attempts);
    }
}

TEST_F(FrameTest, ExVariantsCheckEveryChunkFirst) {
    board.silentCommands = {0x14};
    open(40, 10);
    unsigned char buf[4];
    EXPECT_EQ(ReadBytesEx(1, 0, 4, buf), -1);
    auto r = requests();
    ASSERT_EQ(r.size(), 3u);
    for (const Request &q : r)
        EXPECT_EQ(q.command, 0x14); // no read request followed
    board.attach(peer);
    const unsigned char data[200] = {};
    EXPECT_EQ(WriteBytesEx(1, 0x300, 200, data), 1);
    r = requests();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(hex(r[0].raw), "55 AA 00 01 15 7F 00 00 03 00 97");
    EXPECT_EQ(r[1].command, 0x01);
    EXPECT_EQ(r[2].command, 0x15);
    EXPECT_EQ(r[2].length, 73);
    board.silentCommands = {0x00};
    board.attach(peer);
    EXPECT_EQ(ReadBytesEx(1, 0, 4, buf), -2);
}

TEST_F(FrameTest, EraseSendsTheExactFrameAndWaitsFourAndAHalfSeconds) {
    open();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DelOneSect(1, 10), 1);
    const double took = msSince(start);
    const auto r = requests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(hex(r[0].raw), "55 AA 00 01 05 02 00 00 00 00 07 00 0A 0A");
    EXPECT_GE(took, 4000);
    EXPECT_LT(took, 8000); // one attempt
}

TEST_F(FrameTest, PollModeCollectsAReplyInPiecesAndGivesUpAfterT1OfSilence) {
    board.silentCommands = {0x00}; // answered below, in pieces
    open(/*t1=*/1000, /*t3=*/-1);
    auto feeder = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(20ms);
        const Bytes f = frameBytes(1, 0, 1, 0, {0x42});
        peer.write(Bytes(f.begin(), f.begin() + 5));
        std::this_thread::sleep_for(100ms); // well within t1
        peer.write(Bytes(f.begin() + 5, f.end()));
    });
    unsigned char v = 0;
    EXPECT_EQ(ReadBytes(1, 0, 1, &v), 1);
    EXPECT_EQ(v, 0x42);
    feeder.get();
    EXPECT_EQ(requests().size(), 1u);
    CloseComm();

    open(/*t1=*/100, /*t3=*/-1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadBytes(1, 0, 1, &v), 0);
    const double took = msSince(start);
    EXPECT_EQ(requests().size(), 3u);
    EXPECT_GE(took, 3 * 95);
    EXPECT_LT(took, 3 * 100 + 1500);
}

TEST_F(FrameTest, PeerHangingUpMidTransferEndsIt) {
    std::atomic<int> n{0};
    board.tamper = [&](const Request &, Bytes &reply) {
        if (n++ >= 1) reply.clear();
    };
    open(500, 100);
    auto closer = std::async(std::launch::async, [&] {
        while (n.load() < 2)
            std::this_thread::sleep_for(1ms);
        peer.hangUp();
    });
    Bytes out(300);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadBytes(1, 0, 300, out.data()), 0);
    EXPECT_LT(msSince(start), 2500);
    closer.get();
}
