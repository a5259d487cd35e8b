// FRL frequency sensors and VEXA I/O modules against a scripted peer on a pty: exact requests,
// check bytes, the start-byte scan, address echo and broadcast rules.
#include "link_fixture.h"

using namespace linktest;

namespace {

// The bytes followed by their 8-bit sum.
Bytes sum(std::initializer_list<int> values) {
    Bytes b = bytes(values);
    b.push_back(sum8(b));
    return b;
}

Bytes twice(const Bytes &b) {
    return cat(b, b);
}

// Eight 16-bit values `high`, `first` + i after `head`.
Bytes eight(Bytes head, int high, int first) {
    for (int i = 0; i < 8; ++i)
        head.insert(head.end(), {std::uint8_t(high), std::uint8_t(first + i)});
    return head;
}

class Devices : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        ASSERT_EQ(OpenComm(0, 19200, 0, 150, 0, 20), 0);
    }
};

} // namespace

TEST_F(Devices, VexaModules) {
    const Bytes good = sum({'?', 5, 'N', 0x42}), asked = sum({'?', 5, 'N'});
    Bytes bad = good;
    bad[4] ^= 0xFF;
    unsigned char v = 0x99, on = 1, off = 0, array[32] = {};
    short w = 0;
    // Stray bytes before the reply are skipped.
    script(peer, 4, {cat(bytes({0x00, 0x13, 0x7E}), good)});
    EXPECT_EQ((ints{ReadConfVEXA(5, &v), v}), (ints{1, 0x42}));
    EXPECT_EQ(sent(), bytes({0x3F, 0x05, 0x4E, 0x92}));
    // A wrong check byte fails although a good reply follows; a reply cut short is never taken.
    for (const Bytes &reply : {cat(bad, good), bytes({0, 0, 0, 0, '?', 5}), bytes({'?', 5, 'N'})}) {
        v = 0x99;
        script(peer, 4, {reply, reply, reply});
        EXPECT_EQ((ints{ReadConfVEXA(5, &v), v}), (ints{0, 0x99})) << hex(reply);
        EXPECT_EQ(sent(), cat(twice(asked), asked));
    }
    // Another module's reply fails and the retry is taken; a broadcast takes any module.
    script(peer, 4, {sum({'?', 6, 'N', 0x01}), sum({'?', 5, 'N', 0x02}), sum({'?', 9, 'N', 0x09})});
    EXPECT_EQ((ints{ReadConfVEXA(5, &v), v, ReadConfVEXA(0, &v), v}), (ints{1, 0x02, 1, 0x09}));
    EXPECT_EQ(sent(), cat(twice(asked), sum({'?', 0, 'N'})));
    // A new address needs its echo and K; a broadcast takes any address byte.
    v = 7;
    script(peer, 5, {sum({'?', 7, 'S', 'X'}), sum({'?', 7, 'S', 'K'}), sum({'?', 1, 'S', 'K'})});
    EXPECT_EQ((ints{SetConfVEXA(3, &v), SetConfVEXA(0, &v)}), (ints{1, 1}));
    EXPECT_EQ(sent(), cat(twice(sum({'?', 3, 'S', 7})), sum({'?', 0, 'S', 7})));
    // Inputs and bit variables.
    Bytes bits = bytes({'?', 2, 'R', 'B'});
    for (int i = 0; i < 32; ++i)
        bits.push_back(std::uint8_t(i * 3));
    script(peer, 5, {sum({'?', 2, 'R', 'I', 0xA5, 0x5A}), cat(bits, {sum8(bits)})});
    EXPECT_EQ((ints{ReadDigInpVEXA(2, array), array[0], array[1], ReadVBVEXA(2, array), array[0], array[31]}),
              (ints{1, 0xA5, 0x5A, 1, 0, 93}));
    EXPECT_EQ(sent(), cat(sum({'?', 2, 'R', 'I'}), sum({'?', 2, 'R', 'B'})));
    script(peer, 7, {sum({'?', 2, 'W', 'B', 'S', 17, 'K'}), sum({'?', 2, 'W', 'B', 'R', 17, 'K'})});
    EXPECT_EQ((ints{WriteVBVEXA(2, 17, &on), WriteVBVEXA(2, 17, &off)}), (ints{1, 1}));
    EXPECT_EQ(sent(), cat(sum({'?', 2, 'W', 'B', 'S', 17}), sum({'?', 2, 'W', 'B', 'R', 17})));
    // Words travel least significant byte first.
    script(peer, 6, {sum({'?', 2, 'R', 'W', 4, 0x34, 0x12})});
    EXPECT_EQ((ints{ReadVWVEXA(2, 4, &w), w}), (ints{1, 0x1234}));
    EXPECT_EQ(sent(), sum({'?', 2, 'R', 'W', 4}));
    w = short(0xBEEF);
    script(peer, 8, {sum({'?', 2, 'W', 'W', 4, 'K'})});
    EXPECT_EQ(WriteVWVEXA(2, 4, &w), 1);
    EXPECT_EQ(sent(), sum({'?', 2, 'W', 'W', 4, 0xEF, 0xBE}));
    script(peer, 5, {sum({'?', 2, 'W', 'I', 'K'})});
    EXPECT_EQ(ResetVEXA(2), 1);
    EXPECT_EQ(sent(), sum({'?', 2, 'W', 'I'}));
}

TEST_F(Devices, VexaAdvancedAddressingRepeatsTheAddressLast) {
    unsigned char v = 0;
    short w = 0;
    script(peer, 5, {sum({'?', 4, 'N', 0x33, 4})});
    EXPECT_EQ((ints{ReadConfVEXAAdv(4, &v), v}), (ints{1, 0x33}));
    EXPECT_EQ(sent(), sum({'?', 4, 'N', 4}));
    // A new address: byte 4 must carry it too.
    v = 8;
    script(peer, 6, {sum({'?', 8, 'S', 'K', 4}), sum({'?', 8, 'S', 'K', 8})});
    EXPECT_EQ(SetConfVEXAAdv(4, &v), 1);
    EXPECT_EQ(sent(), twice(sum({'?', 4, 'S', 8, 4})));
    script(peer, 7, {sum({'?', 4, 'R', 'W', 1, 0x02, 0x01, 4})});
    EXPECT_EQ((ints{ReadVWVEXAAdv(4, 1, &w), w}), (ints{1, 0x0102}));
    EXPECT_EQ(sent(), sum({'?', 4, 'R', 'W', 1, 4}));
    // The echo of a word write must carry the address.
    w = 0x0A0B;
    script(peer, 9, {sum({'?', 4, 'W', 'W', 1, 'K', 5}), sum({'?', 4, 'W', 'W', 1, 'K', 4})});
    EXPECT_EQ(WriteVWVEXAAdv(4, 1, &w), 1);
    EXPECT_EQ(sent(), twice(sum({'?', 4, 'W', 'W', 1, 0x0B, 0x0A, 4})));
}

TEST_F(Devices, FrlSensors) {
    short f[8] = {};
    unsigned char address = 0;
    // Four readings, most significant byte first; address 0 takes only a reply from address 0.
    const Bytes from3 = bytes({'?', 3, 0, 9, 0, 9, 0, 9, 0, 9}),
                from0 = bytes({'?', 0, 0, 7, 0, 7, 0, 7, 0, 7});
    script(peer, 2, {bytes({'?', 3, 0, 1, 0, 2, 0, 3, 0x12, 0x34}), from3, from3, from0});
    EXPECT_EQ((ints{ReadFreqFRL(3, &f[0], &f[1], &f[2], &f[3]), f[0], f[3]}), (ints{1, 1, 0x1234}));
    EXPECT_EQ((ints{ReadFreqFRL(0, &f[0], &f[1], &f[2], &f[3]), f[0], f[3]}), (ints{1, 7, 7}));
    EXPECT_EQ(sent(), cat(bytes({'?', 3}), cat(twice(bytes({'?', 0})), bytes({'?', 0}))));
    // Eight channels: address 0 is a broadcast here.
    script(peer, 2, {eight(bytes({0x00, '?', 5}), 1, 0)});
    EXPECT_EQ(ReadFreqFRL2(0, &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6], &f[7]), 1);
    EXPECT_EQ((ints{f[0], f[7]}), (ints{0x0100, 0x0107}));
    EXPECT_EQ(sent(), bytes({'?', 0}));
    Bytes checked = eight(bytes({'?', 6, 'R', 'F'}), 0, 10);
    checked.push_back(sum8(checked));
    script(peer, 5, {checked});
    EXPECT_EQ((ints{ReadFreqFRL3(6, f), f[0], f[7]}), (ints{1, 10, 17}));
    EXPECT_EQ(sent(), sum({'?', 6, 'R', 'F'}));
    // Configuration: a broadcast's first reply gives the address; another device's reply fails.
    script(peer, 2, {bytes({0x00, 'N', 12}), bytes({'N', 13}), bytes({'N', 12})});
    EXPECT_EQ((ints{ReadConfFRL2(0, &address), address, ReadConfFRL2(12, &address), address}),
              (ints{1, 12, 1, 12}));
    EXPECT_EQ(sent(), cat(bytes({'N', 0}), twice(bytes({'N', 12}))));
    address = 21;
    script(peer, 3, {bytes({'S', 20}), bytes({'S', 21})});
    EXPECT_EQ(SetConfFRL2(12, &address), 1);
    EXPECT_EQ(sent(), twice(bytes({'S', 12, 21})));
}

TEST(DevicesClosed, NothingWithoutAnOpenPort) {
    unsigned char value = 0;
    short word = 0;
    EXPECT_EQ(ReadConfVEXA(1, &value), 0);
    EXPECT_EQ(ReadVWVEXA(1, 0, &word), 0);
    EXPECT_EQ(ResetVEXA(1), 0);
    EXPECT_EQ(ReadConfFRL2(1, &value), 0);
}
