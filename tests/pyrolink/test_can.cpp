// Serial-to-CAN adapter and CANopen services against a scripted adapter on a pty: identifier
// packing, XOR check bytes, reply checks, SDO specifiers and aborts, NMT commands.
#include "link_fixture.h"

using namespace linktest;

namespace {

Bytes withXor(Bytes b) {
    std::uint8_t x = 0;
    for (std::uint8_t v : b)
        x ^= v;
    b.push_back(x);
    return b;
}

// A frame as the adapter reports it: 0x81, identifier left-aligned in 16 bits, length, data, XOR.
Bytes received(int id, const Bytes &data) {
    Bytes b = bytes({0x81, (id >> 3) & 0xFF, (id << 5) & 0xFF, int(data.size())});
    b.insert(b.end(), data.begin(), data.end());
    return withXor(b);
}

const Bytes kAck = bytes({0x80, 0x80});

// Size of the adapter command at the start of `pending`, or 0 while incomplete.
std::size_t commandSize(const Bytes &pending) {
    if (pending.empty()) return 0;
    std::size_t size = 0;
    switch (pending[0]) {
    case 0x80:
        if (pending.size() < 4) return 0;
        size = 5u + pending[3];
        break;
    case 0x85:
        size = 5;
        break;
    case 0x86:
        size = 14;
        break;
    case 0x87:
        size = 6;
        break;
    default:
        size = 2;
        break;
    }
    return pending.size() >= size ? size : 0;
}

// Answers each adapter command with the next scripted reply (empty = silence).
void script(PtyPeer &peer, std::vector<Bytes> replies) {
    scriptRequests(peer, commandSize, std::move(replies));
}

class Can : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        ASSERT_EQ(OpenSerCan(0, 115200, 0, 150, 0, 20), 0);
    }
};

} // namespace

TEST_F(Can, WriteMsgPacksIdentifierAndXorCheck) {
    script(peer, {kAck});
    unsigned char data[2] = {0xAA, 0x55};
    EXPECT_EQ(WriteMsgCan(0x123, 2, data), 1);
    EXPECT_EQ(sent(), bytes({0x80, 0x24, 0x60, 0x02, 0xAA, 0x55, 0x39}));
}

TEST_F(Can, WriteMsgRefusesLongFramesAndWrongAcknowledgements) {
    unsigned char data[9] = {};
    EXPECT_EQ(WriteMsgCan(0x10, 9, data), 0);
    EXPECT_TRUE(peer.readUntilQuiet(50ms, 200ms).empty());

    // A complete but wrong answer fails at once, without a second try.
    script(peer, {bytes({0x80, 0x81}), kAck});
    EXPECT_EQ(WriteMsgCan(0x10, 1, data), 0);
    EXPECT_EQ(sent().size(), 6u);
}

TEST_F(Can, NmtCommands) {
    script(peer, {kAck, kAck, kAck, kAck, kAck});
    EXPECT_EQ(StartRemoteNode(5), 1);
    EXPECT_EQ(StopRemoteNode(5), 1);
    EXPECT_EQ(EnterPreOperational(0), 1);
    EXPECT_EQ(ResetNode(127), 1);
    EXPECT_EQ(ResetCommunication(1), 1);
    Bytes expected = bytes({0x80, 0x00, 0x00, 0x02, 0x01, 0x05, 0x86});
    expected = cat(expected, withXor(bytes({0x80, 0, 0, 2, 0x02, 5})));
    expected = cat(expected, withXor(bytes({0x80, 0, 0, 2, 0x80, 0})));
    expected = cat(expected, withXor(bytes({0x80, 0, 0, 2, 0x81, 127})));
    expected = cat(expected, withXor(bytes({0x80, 0, 0, 2, 0x82, 1})));
    EXPECT_EQ(sent(), expected);
}

TEST_F(Can, SdoDownloadSpecifiersConfirmationAndAbort) {
    // Size 3: specifier 0x23, four data bytes with a zero fourth.
    script(peer, {cat(kAck, received(0x585, bytes({0x60, 0x00, 0x20, 0x01, 0, 0, 0, 0})))});
    unsigned char data[4] = {0x11, 0x22, 0x33, 0x44};
    EXPECT_EQ(WriteSDO(5, 0x2000, 1, 3, data), 1);
    EXPECT_EQ(sent(),
              withXor(bytes({0x80, 0xC0, 0xA0, 0x08, 0x23, 0x00, 0x20, 0x01, 0x11, 0x22, 0x33, 0x00})));

    peer.clearReceived();
    script(peer, {cat(kAck, received(0x585, bytes({0x60, 0x00, 0x20, 0x01, 0, 0, 0, 0}))),
                  cat(kAck, received(0x585, bytes({0x60, 0x00, 0x20, 0x01, 0, 0, 0, 0})))});
    EXPECT_EQ(WriteSDO(5, 0x2000, 1, 1, data), 1);
    EXPECT_EQ(WriteSDO_Wait(5, 0x2000, 1, 2, data, 20), 1);
    const Bytes sentFrames = sent();
    ASSERT_EQ(sentFrames.size(), 26u);
    EXPECT_EQ(sentFrames[4], 0x2F);
    EXPECT_EQ(sentFrames[13 + 4], 0x2B);
    EXPECT_EQ(sentFrames[13 + 10], 0x00); // bytes past the size are zero

    // Abort: the code lands in the caller's data, result -1.
    script(peer, {cat(kAck, received(0x585, bytes({0x80, 0x00, 0x20, 0x01, 0x11, 0x00, 0x09, 0x06})))});
    EXPECT_EQ(WriteSDO(5, 0x2000, 1, 4, data), -1);
    EXPECT_EQ(data[0], 0x11);
    EXPECT_EQ(data[3], 0x06);
    peer.stop();

    // A confirmation for another object or from another node is no confirmation.
    script(peer, {cat(kAck, received(0x585, bytes({0x60, 0x01, 0x20, 0x01, 0, 0, 0, 0}))),
                  cat(kAck, received(0x586, bytes({0x60, 0x00, 0x20, 0x01, 0, 0, 0, 0})))});
    EXPECT_EQ(WriteSDO(5, 0x2000, 1, 4, data), 0);
    EXPECT_EQ(WriteSDO(5, 0x2000, 1, 4, data), 0);
}

TEST_F(Can, SdoUploadSizesAndRefusals) {
    script(peer, {cat(kAck, received(0x583, bytes({0x4B, 0x18, 0x10, 0x02, 0x34, 0x12, 0, 0}))),
                  cat(kAck, received(0x583, bytes({0x47, 0x18, 0x10, 0x02, 1, 2, 3, 0}))),
                  cat(kAck, received(0x583, bytes({0x80, 0x18, 0x10, 0x02, 0x00, 0x00, 0x02, 0x06}))),
                  cat(kAck, received(0x583, bytes({0x43, 0x18, 0x10, 0x02, 1, 2, 3, 4}))),
                  cat(kAck, received(0x583, bytes({0x4F, 0x18, 0x10, 0x02, 9, 0, 0, 0})))});
    unsigned char size = 0;
    unsigned char data[4] = {};
    EXPECT_EQ(ReadSDO(3, 0x1018, 2, &size, data), 1);
    EXPECT_EQ(size, 2);
    EXPECT_EQ(data[0], 0x34);
    EXPECT_EQ(data[1], 0x12);
    EXPECT_EQ(ReadSDO(3, 0x1018, 2, &size, data), 0); // three-byte uploads are not taken
    EXPECT_EQ(ReadSDO(3, 0x1018, 2, &size, data), -1);
    EXPECT_EQ(data[2], 0x02);
    EXPECT_EQ(data[3], 0x06);
    EXPECT_EQ(ReadSDO_Wait(3, 0x1018, 2, &size, data, 10), 1);
    EXPECT_EQ(size, 4);
    EXPECT_EQ(data[3], 4);
    EXPECT_EQ(ReadSDO(3, 0x1018, 2, &size, data), 1);
    EXPECT_EQ(size, 1);
    const Bytes frames = sent();
    ASSERT_EQ(frames.size(), 5u * 13u);
    EXPECT_EQ(Bytes(frames.begin(), frames.begin() + 13),
              withXor(bytes({0x80, 0xC0, 0x60, 0x08, 0x40, 0x18, 0x10, 0x02, 0, 0, 0, 0})));
}

TEST_F(Can, ReceivedFrameAcrossSeveralReadsAndBadCheck) {
    const Bytes frame = received(0x7FF, bytes({1, 2, 3}));
    peer.write(Bytes(frame.begin(), frame.begin() + 2));
    std::thread later([&] {
        std::this_thread::sleep_for(60ms);
        peer.write(Bytes(frame.begin() + 2, frame.end()));
    });
    short id = 0;
    unsigned char length = 0;
    unsigned char data[8] = {};
    EXPECT_EQ(ReadMsgCan(&id, &length, data), 1);
    later.join();
    EXPECT_EQ(id, 0x7FF);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(data[2], 3);

    Bytes bad = received(0x100, bytes({9}));
    bad.back() ^= 1;
    peer.write(bad);
    data[0] = 0;
    EXPECT_EQ(ReadMsgCan(&id, &length, data), 0);
    EXPECT_EQ(id, 0x100); // identifier and length come before the check
    EXPECT_EQ(length, 1);
    EXPECT_EQ(data[0], 0);

    peer.write(bytes({0x80, 0x80}));
    EXPECT_EQ(ReadMsgCan(&id, &length, data), 0); // not a received frame
    EXPECT_EQ(ClearComm(), 1);                    // drops the unread second byte
    peer.write(bytes({0x81, 0x00, 0x00, 0x09}));
    EXPECT_EQ(ReadMsgCan(&id, &length, data), 0); // length above 8
}

TEST_F(Can, StartStopAndConfiguration) {
    script(peer, {bytes({0x87, 0x87}), bytes({0x86, 0x86}), bytes({0x82, 0x82}), bytes({0x83, 0x00}),
                  bytes({0x83, 0x83})});
    short pair[2] = {0x181, 0x182};
    short quad[4] = {0x201, 0x202, 0x203, 0x7FF};
    EXPECT_EQ(StartCan(0x080, pair, 0x000, quad), 1);
    EXPECT_EQ(StopCan(), 1); // first answer wrong, second try taken
    Bytes expected = withXor(bytes({0x87, 0x10, 0x00, 0x00, 0x00}));
    expected =
        cat(expected,
            withXor(bytes({0x86, 0x30, 0x20, 0x30, 0x40, 0x40, 0x20, 0x40, 0x40, 0x40, 0x60, 0xFF, 0xE0})));
    expected = cat(expected, bytes({0x82, 0x82, 0x83, 0x83, 0x83, 0x83}));
    EXPECT_EQ(sent(), expected);

    peer.clearReceived();
    script(peer,
           {withXor(bytes({0x84, 1, 2, 3, 4})), bytes({0x85, 0x85}), cat(bytes({0x84, 1, 2, 3, 4}), {0x00})});
    unsigned char c[4] = {};
    EXPECT_EQ(ReadConfCan(&c[0], &c[1], &c[2], &c[3]), 1);
    EXPECT_EQ(c[0], 1);
    EXPECT_EQ(c[3], 4);
    EXPECT_EQ(SetConfCan(0x1C, 0x03, 0x7F), 1);
    EXPECT_EQ(ReadConfCan(&c[0], &c[1], &c[2], &c[3]), 0); // wrong check byte
    EXPECT_EQ(sent(),
              cat(cat(bytes({0x84, 0x84}), withXor(bytes({0x85, 0x1C, 0x03, 0x7F}))), bytes({0x84, 0x84})));
}

TEST(CanWithoutAdapter, EveryAdapterOperationNeedsOpenSerCan) {
    PtyPeer peer;
    peer.bindCom(1);
    ASSERT_EQ(OpenComm(0, 115200, 0, 100, 0, 20), 0);
    unsigned char data[8] = {};
    short ids[4] = {};
    short id = 0;
    unsigned char length = 0, size = 0;
    EXPECT_EQ(WriteMsgCan(1, 1, data), 0);
    EXPECT_EQ(ReadMsgCan(&id, &length, data), 0);
    EXPECT_EQ(StartCan(1, ids, 2, ids), 0);
    EXPECT_EQ(StopCan(), 0);
    EXPECT_EQ(ReadConfCan(&data[0], &data[1], &data[2], &data[3]), 0);
    EXPECT_EQ(SetConfCan(1, 2, 3), 0);
    EXPECT_EQ(WriteSDO(1, 0x1000, 0, 4, data), 0);
    EXPECT_EQ(ReadSDO(1, 0x1000, 0, &size, data), 0);
    EXPECT_EQ(StartRemoteNode(1), 0);
    CloseComm();

    // CloseComm clears the adapter flag: a plain reopen does not bring it back.
    ASSERT_EQ(OpenSerCan(0, 115200, 0, 100, 0, 20), 0);
    CloseComm();
    ASSERT_EQ(OpenComm(0, 115200, 0, 100, 0, 20), 0);
    EXPECT_EQ(StopCan(), 0);
    CloseComm();
    EXPECT_TRUE(peer.readUntilQuiet(50ms, 200ms).empty());
}
