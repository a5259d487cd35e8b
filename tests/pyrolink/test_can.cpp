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
Bytes frameFrom(int id, const Bytes &data) {
    return withXor(cat(bytes({0x81, (id >> 3) & 0xFF, (id << 5) & 0xFF, int(data.size())}), data));
}

const Bytes kAck = bytes({0x80, 0x80});

// The acknowledgement of a sent frame and the node's SDO answer `data` from identifier `id`.
Bytes sdoAnswer(int id, const Bytes &data) {
    return cat(kAck, frameFrom(id, data));
}

// Answers each adapter command with the next scripted reply (empty = silence).
void script(PtyPeer &peer, std::vector<Bytes> replies) {
    const auto commandSize = [](const Bytes &pending) -> std::size_t {
        if (pending.empty() || (pending[0] == 0x80 && pending.size() < 4)) return 0;
        const std::size_t size = pending[0] == 0x80   ? 5u + pending[3]
                                 : pending[0] == 0x85 ? 5
                                 : pending[0] == 0x86 ? 14
                                 : pending[0] == 0x87 ? 6
                                                      : 2;
        return pending.size() >= size ? size : 0;
    };
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

TEST_F(Can, WriteMsgPacksIdentifierAndXorAndTakesOnlyItsAcknowledgement) {
    unsigned char data[9] = {0xAA, 0x55};
    EXPECT_EQ(WriteMsgCan(0x10, 9, data), 0); // too long: nothing sent
    EXPECT_TRUE(peer.readUntilQuiet(50ms, 200ms).empty());
    script(peer, {kAck, bytes({0x80, 0x81}), kAck});
    EXPECT_EQ(WriteMsgCan(0x123, 2, data), 1);
    // A complete but wrong answer fails at once, without a second try.
    EXPECT_EQ(WriteMsgCan(0x10, 1, data), 0);
    EXPECT_EQ(sent(), cat(bytes({0x80, 0x24, 0x60, 0x02, 0xAA, 0x55, 0x39}),
                          withXor(bytes({0x80, 0x02, 0x00, 0x01, 0xAA}))));
}

TEST_F(Can, NmtCommands) {
    script(peer, {kAck, kAck, kAck, kAck, kAck});
    EXPECT_EQ((ints{StartRemoteNode(5), StopRemoteNode(5), EnterPreOperational(0), ResetNode(127),
                    ResetCommunication(1)}),
              ints(5, 1));
    Bytes expected = bytes({0x80, 0x00, 0x00, 0x02, 0x01, 0x05, 0x86});
    for (const auto &[command, node] :
         std::vector<std::pair<int, int>>{{0x02, 5}, {0x80, 0}, {0x81, 127}, {0x82, 1}})
        expected = cat(expected, withXor(bytes({0x80, 0, 0, 2, command, node})));
    EXPECT_EQ(sent(), expected);
}

TEST_F(Can, SdoDownloadSpecifiersConfirmationAndAbort) {
    const Bytes confirmation = sdoAnswer(0x585, bytes({0x60, 0x00, 0x20, 0x01, 0, 0, 0, 0}));
    script(peer, {confirmation, confirmation, confirmation});
    unsigned char data[4] = {0x11, 0x22, 0x33, 0x44};
    // Size 3: specifier 0x23, four data bytes with the bytes past the size zero.
    EXPECT_EQ((ints{WriteSDO(5, 0x2000, 1, 3, data), WriteSDO(5, 0x2000, 1, 1, data),
                    WriteSDO_Wait(5, 0x2000, 1, 2, data, 20)}),
              (ints{1, 1, 1}));
    const Bytes frames = sent();
    ASSERT_EQ(frames.size(), 3u * 13u);
    EXPECT_EQ(Bytes(frames.begin(), frames.begin() + 13),
              withXor(bytes({0x80, 0xC0, 0xA0, 0x08, 0x23, 0x00, 0x20, 0x01, 0x11, 0x22, 0x33, 0x00})));
    EXPECT_EQ(frames[13 + 4], 0x2F);
    EXPECT_EQ(frames[26 + 4], 0x2B);
    EXPECT_EQ(frames[26 + 10], 0x00);

    // Abort: the code lands in the caller's data, result -1. A confirmation for another object or
    // from another node is no confirmation.
    script(peer, {sdoAnswer(0x585, bytes({0x80, 0x00, 0x20, 0x01, 0x11, 0x00, 0x09, 0x06})),
                  sdoAnswer(0x585, bytes({0x60, 0x01, 0x20, 0x01, 0, 0, 0, 0})),
                  sdoAnswer(0x586, bytes({0x60, 0x00, 0x20, 0x01, 0, 0, 0, 0}))});
    EXPECT_EQ(WriteSDO(5, 0x2000, 1, 4, data), -1);
    EXPECT_EQ(Bytes(data, data + 4), bytes({0x11, 0x00, 0x09, 0x06}));
    EXPECT_EQ((ints{WriteSDO(5, 0x2000, 1, 4, data), WriteSDO(5, 0x2000, 1, 4, data)}), (ints{0, 0}));
}

TEST_F(Can, SdoUploadSizesAndRefusals) {
    const auto answer = [](std::initializer_list<int> head) {
        Bytes d = bytes(head);
        d.resize(8, 0);
        return sdoAnswer(0x583, d);
    };
    script(peer, {answer({0x4B, 0x18, 0x10, 0x02, 0x34, 0x12}), answer({0x47, 0x18, 0x10, 0x02, 1, 2, 3}),
                  answer({0x80, 0x18, 0x10, 0x02, 0x00, 0x00, 0x02, 0x06}),
                  answer({0x43, 0x18, 0x10, 0x02, 1, 2, 3, 4}), answer({0x4F, 0x18, 0x10, 0x02, 9})});
    unsigned char size = 0;
    unsigned char data[4] = {};
    EXPECT_EQ((ints{ReadSDO(3, 0x1018, 2, &size, data), size, data[0], data[1]}), (ints{1, 2, 0x34, 0x12}));
    EXPECT_EQ(ReadSDO(3, 0x1018, 2, &size, data), 0); // three-byte uploads are not taken
    EXPECT_EQ((ints{ReadSDO(3, 0x1018, 2, &size, data), data[2], data[3]}), (ints{-1, 0x02, 0x06})); // abort
    EXPECT_EQ((ints{ReadSDO_Wait(3, 0x1018, 2, &size, data, 10), size, data[3]}), (ints{1, 4, 4}));
    EXPECT_EQ((ints{ReadSDO(3, 0x1018, 2, &size, data), size}), (ints{1, 1}));
    const Bytes frames = sent();
    ASSERT_EQ(frames.size(), 5u * 13u);
    EXPECT_EQ(Bytes(frames.begin(), frames.begin() + 13),
              withXor(bytes({0x80, 0xC0, 0x60, 0x08, 0x40, 0x18, 0x10, 0x02, 0, 0, 0, 0})));
}

TEST_F(Can, ReceivedFrameAcrossSeveralReadsAndBadInput) {
    const Bytes frame = frameFrom(0x7FF, bytes({1, 2, 3}));
    peer.write(Bytes(frame.begin(), frame.begin() + 2));
    std::thread later([&] {
        std::this_thread::sleep_for(60ms);
        peer.write(Bytes(frame.begin() + 2, frame.end()));
    });
    short id = 0;
    unsigned char length = 0;
    unsigned char data[8] = {};
    EXPECT_EQ((ints{ReadMsgCan(&id, &length, data), id, length, data[2]}), (ints{1, 0x7FF, 3, 3}));
    later.join();

    Bytes bad = frameFrom(0x100, bytes({9}));
    bad.back() ^= 1;
    peer.write(bad);
    data[0] = 0;
    // The identifier and length come before the check.
    EXPECT_EQ((ints{ReadMsgCan(&id, &length, data), id, length, data[0]}), (ints{0, 0x100, 1, 0}));

    peer.write(bytes({0x80, 0x80}));
    EXPECT_EQ(ReadMsgCan(&id, &length, data), 0); // not a received frame
    EXPECT_EQ(ClearComm(), 1);                    // drops the unread second byte
    peer.write(bytes({0x81, 0x00, 0x00, 0x09}));
    EXPECT_EQ(ReadMsgCan(&id, &length, data), 0); // length above 8
}

TEST_F(Can, StartStopAndConfiguration) {
    script(peer, {bytes({0x87, 0x87}), bytes({0x86, 0x86}), bytes({0x82, 0x82}), bytes({0x83, 0x00}),
                  bytes({0x83, 0x83}), withXor(bytes({0x84, 1, 2, 3, 4})), bytes({0x85, 0x85}),
                  bytes({0x84, 1, 2, 3, 4, 0x00})});
    short pair[2] = {0x181, 0x182};
    short quad[4] = {0x201, 0x202, 0x203, 0x7FF};
    unsigned char c[4] = {};
    // Stop: the first answer is wrong, the second try taken; the last configuration has a wrong check.
    EXPECT_EQ((ints{StartCan(0x080, pair, 0x000, quad), StopCan(), ReadConfCan(&c[0], &c[1], &c[2], &c[3]),
                    c[0], c[3], SetConfCan(0x1C, 0x03, 0x7F), ReadConfCan(&c[0], &c[1], &c[2], &c[3])}),
              (ints{1, 1, 1, 1, 4, 1, 0}));
    Bytes expected = withXor(bytes({0x87, 0x10, 0x00, 0x00, 0x00}));
    expected =
        cat(expected,
            withXor(bytes({0x86, 0x30, 0x20, 0x30, 0x40, 0x40, 0x20, 0x40, 0x40, 0x40, 0x60, 0xFF, 0xE0})));
    expected = cat(expected, bytes({0x82, 0x82, 0x83, 0x83, 0x83, 0x83, 0x84, 0x84}));
    expected = cat(cat(expected, withXor(bytes({0x85, 0x1C, 0x03, 0x7F}))), bytes({0x84, 0x84}));
    EXPECT_EQ(sent(), expected);
}

TEST(CanWithoutAdapter, EveryAdapterOperationNeedsOpenSerCan) {
    PtyPeer peer;
    peer.bindCom(1);
    ASSERT_EQ(OpenComm(0, 115200, 0, 100, 0, 20), 0);
    unsigned char data[8] = {};
    short ids[4] = {};
    short id = 0;
    unsigned char length = 0, size = 0;
    EXPECT_EQ((ints{WriteMsgCan(1, 1, data), ReadMsgCan(&id, &length, data), StartCan(1, ids, 2, ids),
                    StopCan(), ReadConfCan(&data[0], &data[1], &data[2], &data[3]), SetConfCan(1, 2, 3),
                    WriteSDO(1, 0x1000, 0, 4, data), ReadSDO(1, 0x1000, 0, &size, data), StartRemoteNode(1)}),
              ints(9, 0));
    CloseComm();
    // CloseComm clears the adapter flag: a plain reopen does not bring it back.
    ASSERT_EQ(OpenSerCan(0, 115200, 0, 100, 0, 20), 0);
    CloseComm();
    ASSERT_EQ(OpenComm(0, 115200, 0, 100, 0, 20), 0);
    EXPECT_EQ(StopCan(), 0);
    CloseComm();
    EXPECT_TRUE(peer.readUntilQuiet(50ms, 200ms).empty());
}
