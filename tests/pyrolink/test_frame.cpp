// The frame protocol and memory operations against a scripted board on a pty.
#include "link_fixture.h"
#include "test_controller_peer.h"

#include <atomic>
#include <cstring>
#include <future>
#include <set>

using namespace linktest;
using testsupport::frameBytes;

namespace {

std::uint32_t addressOf(const Bytes &f) {
    return (std::uint32_t(f[6]) << 24) | (std::uint32_t(f[7]) << 16) | (std::uint32_t(f[8]) << 8) | f[9];
}

// A memory board: 64 KiB answering read, write, flash-write and the access checks. Requests
// are taken whole from the byte stream; `tamper` may change a reply before it goes out.
struct MemoryBoard {
    Bytes memory = Bytes(65536, 0);
    std::vector<Bytes> requests;
    std::function<bool(const Bytes &request, Bytes &reply)> tamper; // false = stay silent
    std::set<int> refuseChecks;                                     // commands answered with silence

    void attach(PtyPeer &peer) {
        peer.serve([this](PtyPeer &p, Bytes &pending) {
            for (;;) {
                while (!pending.empty() && pending[0] != 0x55)
                    pending.erase(pending.begin());
                if (pending.size() < 11) return;
                int length = pending[5];
                int command = pending[4];
                bool hasData = command == 0x01 || command == 0x04 || command == 0x05;
                std::size_t size = hasData ? 12 + length : 11;
                if (pending.size() < size) return;
                Bytes request(pending.begin(), pending.begin() + static_cast<long>(size));
                pending.erase(pending.begin(), pending.begin() + static_cast<long>(size));
                requests.push_back(request);
                std::uint32_t at = addressOf(request) & 0xFFFF;
                Bytes reply;
                if (command == 0x00) {
                    Bytes data(memory.begin() + at, memory.begin() + at + length);
                    reply = frameBytes(request[3], 0x00, length, addressOf(request), data);
                } else if (command == 0x01 || command == 0x04) {
                    std::copy(request.begin() + 11, request.begin() + 11 + length, memory.begin() + at);
                    reply = frameBytes(request[3], command, length, addressOf(request));
                } else if (!refuseChecks.count(command)) {
                    reply = frameBytes(request[3], command, length, addressOf(request));
                }
                if (tamper && !tamper(request, reply)) continue;
                if (!reply.empty()) p.write(reply);
            }
        });
    }
};

class FrameTest : public LinkTest {
protected:
    void open(short t1 = 80, short t3 = 10) { ASSERT_EQ(OpenComm(0, 115200, 0, t1, 0, t3), 0); }
    MemoryBoard board;
};

} // namespace

TEST_F(FrameTest, ReadSplitsIntoChunksOf127AtIncreasingAddresses) {
    for (int i = 0; i < 300; ++i)
        board.memory[0x1000 + i] = static_cast<std::uint8_t>(i * 7);
    board.attach(peer);
    open();
    unsigned char out[300] = {};
    ASSERT_EQ(ReadBytes(1, 0x1000, 300, out), 1);
    ASSERT_EQ(board.requests.size(), 3u);
    EXPECT_EQ(hex(board.requests[0]), "55 AA 00 01 00 7F 00 00 10 00 8F");
    EXPECT_EQ(board.requests[1][5], 127);
    EXPECT_EQ(addressOf(board.requests[1]), 0x107Fu);
    EXPECT_EQ(board.requests[2][5], 46);
    EXPECT_EQ(addressOf(board.requests[2]), 0x10FEu);
    EXPECT_EQ(0, std::memcmp(out, board.memory.data() + 0x1000, 300));
}

TEST_F(FrameTest, WriteAndFlashWriteSendDataWithChecksum) {
    board.attach(peer);
    open();
    const unsigned char data[3] = {0x10, 0x20, 0x30};
    ASSERT_EQ(WriteBytes(2, 0x41F8, 3, data), 1);
    ASSERT_EQ(WriteBytesFlash(2, 0x80A0, 3, data), 1);
    ASSERT_EQ(board.requests.size(), 2u);
    EXPECT_EQ(hex(board.requests[0]), "55 AA 00 02 01 03 00 00 41 F8 3E 10 20 30 60");
    EXPECT_EQ(hex(board.requests[1]), "55 AA 00 02 04 03 00 00 80 A0 28 10 20 30 60");
    Bytes big(400);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i);
    ASSERT_EQ(WriteBytesFlash(1, 0x2000, 400, big.data()), 1);
    EXPECT_EQ(board.requests.size(), 2u + 4u);
    EXPECT_EQ(Bytes(board.memory.begin() + 0x2000, board.memory.begin() + 0x2000 + 400), big);
}

TEST_F(FrameTest, CountZeroOrClosedPortSendsNothing) {
    board.attach(peer);
    unsigned char buf[4];
    EXPECT_EQ(ReadBytes(1, 0, 4, buf), 0); // not open
    open();
    EXPECT_EQ(ReadBytes(1, 0, 0, buf), 0);
    EXPECT_EQ(ReadBytes(1, 0, -5, buf), 0);
    EXPECT_EQ(WriteBytes(1, 0, 0, buf), 0);
    EXPECT_EQ(WriteBytesFlash(1, 0, 0, buf), 0);
    std::this_thread::sleep_for(30ms);
    EXPECT_TRUE(board.requests.empty());
}

TEST_F(FrameTest, NoiseBeforeTheReplyIsSkipped) {
    board.memory[5] = 0xAB;
    board.tamper = [](const Bytes &, Bytes &reply) {
        reply.insert(reply.begin(), {0x00, 0x13});
        return true;
    };
    board.attach(peer);
    open();
    unsigned char v = 0;
    EXPECT_EQ(ReadBytes(1, 5, 1, &v), 1);
    EXPECT_EQ(v, 0xAB);
}

TEST_F(FrameTest, BadHeaderChecksumFailsEvenIfAGoodFrameFollows) {
    std::atomic<int> served{0};
    board.tamper = [&](const Bytes &, Bytes &reply) {
        if (served++ == 0) {
            Bytes bad = reply;
            bad[10] ^= 0xFF;
            bad.insert(bad.end(), reply.begin(), reply.end());
            reply = bad;
        }
        return true;
    };
    board.attach(peer);
    open();
    unsigned char buf[4];
    EXPECT_EQ(ReadBytes(1, 0, 4, buf), 1);
    EXPECT_EQ(board.requests.size(), 2u); // the first attempt failed, the second succeeded
}

TEST_F(FrameTest, WrongCommandEchoOrDataChecksumFailsTheAttempt) {
    board.tamper = [](const Bytes &, Bytes &reply) {
        reply[4] = 0x04;
        reply[10] = 0;
        unsigned s = 0;
        for (int i = 0; i < 10; ++i)
            s += reply[i];
        reply[10] = static_cast<std::uint8_t>(s);
        return true;
    };
    board.attach(peer);
    open();
    const unsigned char data[2] = {1, 2};
    EXPECT_EQ(WriteBytes(1, 0x100, 2, data), 0);
    EXPECT_EQ(board.requests.size(), 3u);

    board.requests.clear();
    board.tamper = [](const Bytes &request, Bytes &reply) {
        if (request[4] == 0x00) reply.back() ^= 0x01;
        return true;
    };
    unsigned char buf[8];
    EXPECT_EQ(ReadBytes(1, 0, 8, buf), 0);
    EXPECT_EQ(board.requests.size(), 3u);
}

TEST_F(FrameTest, ReplyLengthZeroOrLargerThanAskedIsRefusedWithoutOverrun) {
    board.tamper = [](const Bytes &request, Bytes &reply) {
        Bytes data(100, 0x5A);
        reply = frameBytes(request[3], 0x00, request[1] == 0 ? 100 : 0, addressOf(request), data);
        return true;
    };
    board.attach(peer);
    open();
    unsigned char buf[4] = {};
    EXPECT_EQ(ReadBytes(1, 0, 4, buf), 0);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(board.requests.size(), 3u);
}

TEST_F(FrameTest, ExVariantsCheckAccessFirst) {
    board.refuseChecks = {0x14};
    board.attach(peer);
    open(40, 10);
    unsigned char buf[4];
    EXPECT_EQ(ReadBytesEx(1, 0, 4, buf), -1);
    ASSERT_EQ(board.requests.size(), 3u);
    for (auto &r : board.requests)
        EXPECT_EQ(r[4], 0x14); // no read request followed
    board.requests.clear();
    const unsigned char data[200] = {};
    EXPECT_EQ(WriteBytesEx(1, 0x300, 200, data), 1);
    ASSERT_EQ(board.requests.size(), 4u);
    EXPECT_EQ(hex(board.requests[0]), "55 AA 00 01 15 7F 00 00 03 00 97");
    EXPECT_EQ(board.requests[1][4], 0x01);
    EXPECT_EQ(board.requests[2][4], 0x15);
    EXPECT_EQ(board.requests[2][5], 73);
    board.refuseChecks.clear();
    board.tamper = [](const Bytes &request, Bytes &) { return request[4] != 0x00; };
    EXPECT_EQ(ReadBytesEx(1, 0, 4, buf), -2);
}

TEST_F(FrameTest, EraseSendsTheExactFrameAndWaitsFourToFiveSeconds) {
    board.attach(peer);
    open();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DelOneSect(1, 10), 1);
    double took = msSince(start);
    ASSERT_EQ(board.requests.size(), 1u);
    EXPECT_EQ(hex(board.requests[0]), "55 AA 00 01 05 02 00 00 00 00 07 00 0A 0A");
    EXPECT_GE(took, 4000);
    EXPECT_LT(took, 5300);
}

TEST_F(FrameTest, PollModeCollectsAReplyArrivingInPieces) {
    board.memory[0] = 0x42;
    board.tamper = [](const Bytes &, Bytes &reply) {
        reply.clear(); // answered below, in pieces
        return true;
    };
    board.attach(peer);
    open(/*t1=*/120, /*t3=*/-1);
    auto feeder = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(20ms);
        Bytes f = frameBytes(1, 0, 1, 0, {0x42});
        peer.write(Bytes(f.begin(), f.begin() + 5));
        std::this_thread::sleep_for(60ms); // less than t1
        peer.write(Bytes(f.begin() + 5, f.end()));
    });
    unsigned char v = 0;
    EXPECT_EQ(ReadBytes(1, 0, 1, &v), 1);
    EXPECT_EQ(v, 0x42);
    feeder.get();
}

TEST_F(FrameTest, PollModeGivesUpAfterT1OfSilence) {
    board.tamper = [](const Bytes &, Bytes &) { return false; };
    board.attach(peer);
    open(/*t1=*/100, /*t3=*/-1);
    unsigned char v = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadBytes(1, 0, 1, &v), 0);
    double took = msSince(start);
    EXPECT_EQ(board.requests.size(), 3u);
    EXPECT_GE(took, 3 * 95);
    EXPECT_LT(took, 3 * 100 + 250);
}

TEST_F(FrameTest, PeerHangingUpMidTransferEndsIt) {
    std::atomic<int> n{0};
    board.tamper = [&](const Bytes &, Bytes &) { return n++ < 1; };
    board.attach(peer);
    open(500, 100);
    auto closer = std::async(std::launch::async, [&] {
        while (n.load() < 2)
            std::this_thread::sleep_for(1ms);
        peer.hangUp();
    });
    Bytes out(300);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadBytes(1, 0, 300, out.data()), 0);
    EXPECT_LT(msSince(start), 2500);
    closer.get();
}

TEST_F(FrameTest, NoiseFloodDoesNotOverrunTheReceiveBuffer) {
    board.tamper = [](const Bytes &, Bytes &reply) {
        reply = Bytes(1000, 0x55); // sync bytes without end
        return true;
    };
    board.attach(peer);
    open(50, 10);
    unsigned char buf[127];
    EXPECT_EQ(ReadBytes(1, 0, 127, buf), 0);
}
