// FRL frequency sensors and VEXA I/O modules against a scripted peer on a pty: exact requests,
// check bytes, the start-byte scan, address echo and broadcast rules.
#include "link_fixture.h"

using namespace linktest;

namespace {

// The bytes followed by their 8-bit sum.
Bytes sum(Bytes b) {
    unsigned s = 0;
    for (std::uint8_t x : b)
        s += x;
    b.push_back(std::uint8_t(s));
    return b;
}

class Devices : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        ASSERT_EQ(OpenComm(0, 19200, 0, 150, 0, 20), 0);
    }
};

} // namespace

TEST_F(Devices, ReadConfVexaSendsCheckedRequestAndFindsReplyAfterStrayBytes) {
    script(peer, 4, {cat(bytes({0x00, 0x13, 0x7E}), sum(bytes({'?', 5, 'N', 0x42})))});
    unsigned char value = 0;
    EXPECT_EQ(ReadConfVEXA(5, &value), 1);
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(sent(), bytes({0x3F, 0x05, 0x4E, 0x92}));
}

TEST_F(Devices, WrongCheckByteFailsEvenWhenAGoodReplyFollows) {
    const Bytes good = sum(bytes({'?', 5, 'N', 0x42}));
    Bytes bad = good;
    bad[4] ^= 0xFF;
    script(peer, 4, {cat(bad, good), cat(bad, good), cat(bad, good)});
    unsigned char value = 0x99;
    EXPECT_EQ(ReadConfVEXA(5, &value), 0);
    EXPECT_EQ(value, 0x99);
    EXPECT_EQ(sent().size(), 12u); // three attempts
}

TEST_F(Devices, VexaAddressEchoAndBroadcast) {
    // A reply from module 6 to a request for module 5 fails; module 5's on the retry is taken.
    script(peer, 4, {sum(bytes({'?', 6, 'N', 0x01})), sum(bytes({'?', 5, 'N', 0x02}))});
    unsigned char value = 0;
    EXPECT_EQ(ReadConfVEXA(5, &value), 1);
    EXPECT_EQ(value, 0x02);
    peer.stop();

    // Broadcast: any module's reply counts.
    script(peer, 4, {sum(bytes({'?', 9, 'N', 0x09}))});
    EXPECT_EQ(ReadConfVEXA(0, &value), 1);
    EXPECT_EQ(value, 0x09);
}

TEST_F(Devices, SetConfVexaNeedsNewAddressAndK) {
    unsigned char newAddress = 7;
    script(peer, 5, {sum(bytes({'?', 7, 'S', 'X'})), sum(bytes({'?', 7, 'S', 'K'}))});
    EXPECT_EQ(SetConfVEXA(3, &newAddress), 1);
    EXPECT_EQ(sent(), cat(sum(bytes({'?', 3, 'S', 7})), sum(bytes({'?', 3, 'S', 7}))));

    peer.clearReceived();
    // Broadcast accepts the module's reply whatever its address byte.
    script(peer, 5, {sum(bytes({'?', 1, 'S', 'K'}))});
    EXPECT_EQ(SetConfVEXA(0, &newAddress), 1);
}

TEST_F(Devices, VexaInputsBitsAndWords) {
    unsigned char inputs[2] = {};
    script(peer, 5, {sum(bytes({'?', 2, 'R', 'I', 0xA5, 0x5A}))});
    EXPECT_EQ(ReadDigInpVEXA(2, inputs), 1);
    EXPECT_EQ(inputs[0], 0xA5);
    EXPECT_EQ(inputs[1], 0x5A);
    EXPECT_EQ(sent(), sum(bytes({'?', 2, 'R', 'I'})));

    peer.clearReceived();
    Bytes vb = bytes({'?', 2, 'R', 'B'});
    for (int i = 0; i < 32; ++i)
        vb.push_back(std::uint8_t(i * 3));
    script(peer, 5, {sum(vb)});
    unsigned char bits[32] = {};
    EXPECT_EQ(ReadVBVEXA(2, bits), 1);
    EXPECT_EQ(bits[0], 0);
    EXPECT_EQ(bits[31], 93);
    peer.stop();

    peer.clearReceived();
    unsigned char on = 1, off = 0;
    script(peer, 7,
           {sum(bytes({'?', 2, 'W', 'B', 'S', 17, 'K'})), sum(bytes({'?', 2, 'W', 'B', 'R', 17, 'K'}))});
    EXPECT_EQ(WriteVBVEXA(2, 17, &on), 1);
    EXPECT_EQ(WriteVBVEXA(2, 17, &off), 1);
    EXPECT_EQ(sent(), cat(sum(bytes({'?', 2, 'W', 'B', 'S', 17})), sum(bytes({'?', 2, 'W', 'B', 'R', 17}))));

    peer.clearReceived();
    short word = 0;
    script(peer, 6, {sum(bytes({'?', 2, 'R', 'W', 4, 0x34, 0x12}))});
    EXPECT_EQ(ReadVWVEXA(2, 4, &word), 1);
    EXPECT_EQ(word, 0x1234); // least significant byte first
    EXPECT_EQ(sent(), sum(bytes({'?', 2, 'R', 'W', 4})));

    peer.clearReceived();
    word = short(0xBEEF);
    script(peer, 8, {sum(bytes({'?', 2, 'W', 'W', 4, 'K'}))});
    EXPECT_EQ(WriteVWVEXA(2, 4, &word), 1);
    EXPECT_EQ(sent(), sum(bytes({'?', 2, 'W', 'W', 4, 0xEF, 0xBE})));

    peer.clearReceived();
    script(peer, 5, {sum(bytes({'?', 2, 'W', 'I', 'K'}))});
    EXPECT_EQ(ResetVEXA(2), 1);
    EXPECT_EQ(sent(), sum(bytes({'?', 2, 'W', 'I'})));
}

TEST_F(Devices, VexaAdvancedAddressing) {
    unsigned char value = 0;
    script(peer, 5, {sum(bytes({'?', 4, 'N', 0x33, 4}))});
    EXPECT_EQ(ReadConfVEXAAdv(4, &value), 1);
    EXPECT_EQ(value, 0x33);
    EXPECT_EQ(sent(), sum(bytes({'?', 4, 'N', 4})));

    peer.clearReceived();
    unsigned char newAddress = 8;
    // Byte 4 must carry the new address too.
    script(peer, 6, {sum(bytes({'?', 8, 'S', 'K', 4})), sum(bytes({'?', 8, 'S', 'K', 8}))});
    EXPECT_EQ(SetConfVEXAAdv(4, &newAddress), 1);
    EXPECT_EQ(sent(), cat(sum(bytes({'?', 4, 'S', 8, 4})), sum(bytes({'?', 4, 'S', 8, 4}))));

    peer.clearReceived();
    short word = 0;
    script(peer, 7, {sum(bytes({'?', 4, 'R', 'W', 1, 0x02, 0x01, 4}))});
    EXPECT_EQ(ReadVWVEXAAdv(4, 1, &word), 1);
    EXPECT_EQ(word, 0x0102);
    EXPECT_EQ(sent(), sum(bytes({'?', 4, 'R', 'W', 1, 4})));

    peer.clearReceived();
    word = 0x0A0B;
    script(peer, 9, {sum(bytes({'?', 4, 'W', 'W', 1, 'K', 5})), sum(bytes({'?', 4, 'W', 'W', 1, 'K', 4}))});
    EXPECT_EQ(WriteVWVEXAAdv(4, 1, &word), 1);
    EXPECT_EQ(sent(), cat(sum(bytes({'?', 4, 'W', 'W', 1, 0x0B, 0x0A, 4})),
                          sum(bytes({'?', 4, 'W', 'W', 1, 0x0B, 0x0A, 4}))));
}

TEST_F(Devices, FrlReadingsAreBigEndianAndAddressZeroIsNotABroadcast) {
    short f[4] = {};
    script(peer, 2, {bytes({'?', 3, 0, 1, 0, 2, 0, 3, 0x12, 0x34})});
    EXPECT_EQ(ReadFreqFRL(3, &f[0], &f[1], &f[2], &f[3]), 1);
    EXPECT_EQ(f[0], 1);
    EXPECT_EQ(f[3], 0x1234);
    EXPECT_EQ(sent(), bytes({'?', 3}));

    peer.clearReceived();
    // Address 0 takes only a reply that carries address 0.
    const Bytes from3 = bytes({'?', 3, 0, 9, 0, 9, 0, 9, 0, 9});
    const Bytes from0 = bytes({'?', 0, 0, 7, 0, 7, 0, 7, 0, 7});
    script(peer, 2, {from3, from3, from0});
    EXPECT_EQ(ReadFreqFRL(0, &f[0], &f[1], &f[2], &f[3]), 1);
    EXPECT_EQ(f[0], 7);
    EXPECT_EQ(sent().size(), 6u);
}

TEST_F(Devices, FrlEightChannelsAndCheckedForm) {
    short f[8] = {};
    Bytes reply = bytes({0x00, '?', 5});
    for (int i = 0; i < 8; ++i) {
        reply.push_back(0x01);
        reply.push_back(std::uint8_t(i));
    }
    script(peer, 2, {reply});
    // Address 0 is a broadcast here: device 5's reply is taken.
    EXPECT_EQ(ReadFreqFRL2(0, &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6], &f[7]), 1);
    EXPECT_EQ(f[7], 0x0107);
    peer.stop();

    peer.clearReceived();
    Bytes checked = bytes({'?', 6, 'R', 'F'});
    for (int i = 0; i < 8; ++i) {
        checked.push_back(0x00);
        checked.push_back(std::uint8_t(10 + i));
    }
    script(peer, 5, {sum(checked)});
    short values[8] = {};
    EXPECT_EQ(ReadFreqFRL3(6, values), 1);
    EXPECT_EQ(values[0], 10);
    EXPECT_EQ(values[7], 17);
    EXPECT_EQ(sent(), sum(bytes({'?', 6, 'R', 'F'})));
}

TEST_F(Devices, FrlConfiguration) {
    unsigned char address = 0;
    // Broadcast: the first 'N' reply gives the responding device's address.
    script(peer, 2, {bytes({0x00, 'N', 12})});
    EXPECT_EQ(ReadConfFRL2(0, &address), 1);
    EXPECT_EQ(address, 12);
    EXPECT_EQ(sent(), bytes({'N', 0}));

    peer.clearReceived();
    script(peer, 2, {bytes({'N', 13}), bytes({'N', 12})});
    EXPECT_EQ(ReadConfFRL2(12, &address), 1);
    EXPECT_EQ(sent().size(), 4u);

    peer.clearReceived();
    unsigned char newAddress = 21;
    script(peer, 3, {bytes({'S', 20}), bytes({'S', 21})});
    EXPECT_EQ(SetConfFRL2(12, &newAddress), 1);
    EXPECT_EQ(sent(), bytes({'S', 12, 21, 'S', 12, 21}));
}

TEST_F(Devices, TruncatedReplyFailsWithoutReadingPastIt) {
    // The start byte arrives with too few bytes after it: never accepted.
    script(peer, 4,
           {bytes({0x00, 0x00, 0x00, 0x00, '?', 5}), bytes({0, 0, 0, 0, 0, '?'}), bytes({'?', 5, 'N'})});
    unsigned char value = 0x55;
    EXPECT_EQ(ReadConfVEXA(5, &value), 0);
    EXPECT_EQ(value, 0x55);
}

TEST(DevicesClosed, NothingWithoutAnOpenPort) {
    unsigned char value = 0;
    short word = 0;
    EXPECT_EQ(ReadConfVEXA(1, &value), 0);
    EXPECT_EQ(ReadVWVEXA(1, 0, &word), 0);
    EXPECT_EQ(ResetVEXA(1), 0);
    EXPECT_EQ(ReadConfFRL2(1, &value), 0);
}
