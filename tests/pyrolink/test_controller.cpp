// Controller configuration, typed memory access, variable families, status and I/O against a
// scripted controller on a pty.
#include "test_controller_peer.h"

#include "pyrolink.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testsupport;

namespace {

class Controller : public ControllerTest {
protected:
    Controller() : ControllerTest(0x00100000u) {}
    // Configures `node` and forgets the configuration traffic.
    void configure(signed char node) {
        ASSERT_EQ(ReadConf(node), 0);
        restart();
    }
};

} // namespace

TEST_F(Controller, ReadConfRefusesBadNodesWithoutTraffic) {
    open(1);
    EXPECT_EQ(ReadConf(static_cast<signed char>(100)), -7);
    EXPECT_EQ(ReadConf(0), -7);
    EXPECT_EQ(ReadConf(static_cast<signed char>(150)), -7); // arrives as -106
    EXPECT_EQ(ReadConf(-1), -7);
    EXPECT_TRUE(requests().empty());
    CloseComm();
    EXPECT_EQ(ReadConf(3), -6);
}

TEST_F(Controller, ReadConfTypeZeroAsksNineAreas) {
    open(0);
    ASSERT_EQ(ReadConf(2), 0);
    const auto r = requests();
    ASSERT_EQ(r.size(), 10u);
    EXPECT_EQ(r[0].raw, frameBytes(2, 0x09, 0, 0));
    const std::uint8_t expected[9] = {0x49, 0x06, 0x07, 0x09, 0x0A, 0x0B, 0x24, 0x25, 0x26};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(r[std::size_t(i) + 1].raw, frameBytes(2, 0x0A, 0, expected[i])) << i;
    char text[80] = {};
    EXPECT_EQ(GetVerSW(2, text), 1);
    EXPECT_STREQ(text, "TESTCTRL V2.10");
}

TEST_F(Controller, ReadConfTypeOneAsksAllButCncStatusAndTakesAddressesFromTheRightBytes) {
    open(1);
    ASSERT_EQ(ReadConf(4), 0);
    auto r = requests();
    ASSERT_EQ(r.size(), 26u);
    for (int e = 0; e < 25; ++e)
        EXPECT_EQ(r[std::size_t(e) + 1].address, kAreaCodes[e]);
    // Addresses in bytes 4-7 for ordinary codes (the decoy in 0-3 must not be taken): a status
    // read goes to the status area.
    restart();
    short status = 0;
    ctrl.poke16(areaOf(0), 0x1234);
    EXPECT_EQ(ReadStatus(4, &status), 1);
    EXPECT_EQ(status, 0x1234);
    // The download area (code 0x50) carries its address in bytes 0-3.
    EXPECT_EQ(MemoPar(4), 1);
    r = requests();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].raw, frameBytes(4, 0x0C, 0, areaOf(14)));
}

TEST_F(Controller, ReadConfNeverAsksTheCncStatusArea) {
    open(3);
    ctrl.areas[0x04] = 0x00777000;
    configure(5);
    // Entry 25 (code 0x04) is not requested by any type: it keeps its previous value, 0.
    unsigned char cnc = 0;
    ctrl.poke(0, {0x5A});
    EXPECT_EQ(ReadStatusCNC(5, &cnc), 1);
    EXPECT_EQ(cnc, 0x5A);
    EXPECT_EQ(requests()[0].address, 0u);
}

TEST_F(Controller, ReadConfTypeTwoOnlyIdentifiesAndBoundsTheIdentity) {
    open(2);
    ctrl.identity = std::string(120, 'X');
    ASSERT_EQ(ReadConf(6), 0);
    EXPECT_EQ(requests().size(), 1u);
    char text[128];
    std::memset(text, 'Z', sizeof text);
    EXPECT_EQ(GetVerSW(6, text), 1);
    EXPECT_EQ(std::strlen(text), 79u);
    EXPECT_EQ(text[80], 'Z');
}

TEST_F(Controller, ReadConfFailsWhenAnAreaIsNotAnswered) {
    open(0);
    ctrl.silentCommands = {0x0A};
    EXPECT_EQ(ReadConf(7), -6);
    const auto r = requests();
    EXPECT_EQ(r.size(), 4u); // identity, then three tries of the first area
    char text[80];
    EXPECT_EQ(GetVerSW(7, text), 0); // still unconfigured
}

TEST_F(Controller, UnconfiguredNodeRefusesFamiliesWithoutTraffic) {
    open(1);
    short w = 1;
    int l = 1;
    unsigned char b = 1;
    unsigned char bits[16] = {};
    EXPECT_EQ(ReadVW(77, 0, &w), 0);
    EXPECT_EQ(WriteVW(77, 0, &w), 0);
    EXPECT_EQ(WriteVL(77, 0, &l), 0);
    EXPECT_EQ(WriteVB(77, 0, &b), 0);
    EXPECT_EQ(WriteStatus(77, &w), 0);
    EXPECT_EQ(WriteMLPers(77, 0, &l), 0);
    EXPECT_EQ(WriteSysW(77, 0, &w), 0);
    EXPECT_EQ(WriteAnOut(77, 0, &w), 0);
    EXPECT_EQ(WriteDigOut(77, bits), 0);
    EXPECT_EQ(ReadDigInp(77, bits), 0);
    EXPECT_EQ(WriteVWAXEx(77, 0, &w), 0);
    EXPECT_TRUE(requests().empty());
}

TEST_F(Controller, RawTypedReadsAndWritesAreBigEndian) {
    open(1);
    ctrl.poke(0x2000, {0xFE, 0xDC, 0xBA, 0x98});
    unsigned char b = 0;
    short w = 0;
    int l = 0;
    EXPECT_EQ(ReadMB(9, 0x2000, &b), 1);
    EXPECT_EQ(ReadMW(9, 0x2000, &w), 1);
    EXPECT_EQ(ReadML(9, 0x2000, &l), 1);
    EXPECT_EQ(b, 0xFE);
    EXPECT_EQ(w, short(0xFEDC));
    EXPECT_EQ(l, int(0xFEDCBA98));
    w = 0x0102;
    l = 0x0A0B0C0D;
    b = 0x77;
    EXPECT_EQ(WriteMW(9, 0x3000, &w), 1);
    EXPECT_EQ(WriteML(9, 0x3004, &l), 1);
    EXPECT_EQ(WriteMB(9, 0x3008, &b), 1);
    const auto r = requests();
    ASSERT_EQ(r.size(), 6u);
    EXPECT_EQ(r[0].raw, frameBytes(9, 0x00, 1, 0x2000));
    EXPECT_EQ(r[1].raw, frameBytes(9, 0x00, 2, 0x2000));
    EXPECT_EQ(r[2].raw, frameBytes(9, 0x00, 4, 0x2000));
    EXPECT_EQ(r[3].raw, frameBytes(9, 0x01, 2, 0x3000, {0x01, 0x02}));
    EXPECT_EQ(r[4].raw, frameBytes(9, 0x01, 4, 0x3004, {0x0A, 0x0B, 0x0C, 0x0D}));
    EXPECT_EQ(r[5].raw, frameBytes(9, 0x01, 1, 0x3008, {0x77}));
    EXPECT_EQ(ctrl.peek(0x3000, 9), bytes({1, 2, 0, 0, 0x0A, 0x0B, 0x0C, 0x0D, 0x77}));
}

TEST_F(Controller, RepliesAfterNoiseAreTakenButABadHeaderChecksumIsNot) {
    open(1);
    ctrl.noise = bytes({0x00, 0x13});
    ctrl.poke16(0x10, 0x4321);
    short w = 0;
    EXPECT_EQ(ReadMW(1, 0x10, &w), 1);
    EXPECT_EQ(w, 0x4321);
    // Noise holding a broken sync pair: the first pair decides and the attempt fails.
    ctrl.noise = bytes({0x55, 0xAA, 0, 0, 0, 0, 0, 0, 0, 0, 0x01});
    restart();
    w = 0;
    EXPECT_EQ(ReadMW(1, 0x10, &w), 0);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(requests().size(), 3u);
}

TEST_F(Controller, ExFormsCheckAccessFirst) {
    open(1);
    short w = 5;
    ctrl.silentCommands = {0x14};
    EXPECT_EQ(ReadMWEx(1, 0x40, &w), -1);
    auto r = requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].raw, frameBytes(1, 0x14, 2, 0x40));

    ctrl.silentCommands = {0x01};
    restart();
    int l = 7;
    EXPECT_EQ(WriteMLEx(1, 0x40, &l), -2);
    r = requests();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].raw, frameBytes(1, 0x15, 4, 0x40));

    ctrl.silentCommands.clear();
    restart();
    unsigned char b = 9;
    EXPECT_EQ(WriteMBEx(1, 0x41, &b), 1);
    EXPECT_EQ(ReadMBEx(1, 0x41, &b), 1);
    EXPECT_EQ(b, 9);
}

TEST_F(Controller, VariableFamiliesAddressTheirAreas) {
    open(1);
    configure(10);
    ctrl.poke16(areaOf(4) + 6, 0x0A0B);
    short w = 0;
    int l = 0;
    unsigned char b = 0;
    EXPECT_EQ(ReadVW(10, 3, &w), 1);
    EXPECT_EQ(w, 0x0A0B);
    l = 0x11223344;
    EXPECT_EQ(WriteVL(10, 2, &l), 1);
    EXPECT_EQ(WriteVLAX(10, 1, &l), 1);
    EXPECT_EQ(WriteVWAXEx(10, 300, &w), 1);
    EXPECT_EQ(WriteMWPers(10, 7, &w), 1);
    EXPECT_EQ(WriteMLParGen(10, 8, &l), 1);
    EXPECT_EQ(WriteMWParAx(10, 2, &w), 1);
    EXPECT_EQ(WriteSysL(10, 3, &l), 1);
    EXPECT_EQ(WriteSysB(10, 3, &b), 1);
    EXPECT_EQ(WritePidEnabled(10, &b), 1);
    const auto r = requests();
    ASSERT_EQ(r.size(), 10u);
    EXPECT_EQ(r[0].raw, frameBytes(10, 0x00, 2, areaOf(4) + 6));
    EXPECT_EQ(r[1].address, areaOf(5) + 8);
    EXPECT_EQ(r[2].address, areaOf(10) + 4);
    EXPECT_EQ(r[3].address, areaOf(9) + 600);
    EXPECT_EQ(r[4].address, areaOf(11) + 7);
    EXPECT_EQ(r[5].address, areaOf(13) + 8);
    EXPECT_EQ(r[6].address, areaOf(12) + 2);
    EXPECT_EQ(r[7].address, areaOf(17) + 12);
    EXPECT_EQ(r[8].address, areaOf(15) + 3);
    EXPECT_EQ(r[9].address, areaOf(18));
    EXPECT_EQ(r[9].length, 1);
}

TEST_F(Controller, BitVariablesReadNonZeroAsOneAndWriteFF) {
    open(1);
    configure(11);
    ctrl.poke(areaOf(3) + 5, {0x40});
    unsigned char v = 0;
    EXPECT_EQ(ReadVB(11, 5, &v), 1);
    EXPECT_EQ(v, 1);
    v = 3;
    EXPECT_EQ(WriteVBAXEx(11, 0x100, &v), 1);
    v = 0;
    EXPECT_EQ(WriteVB(11, 6, &v), 1);
    v = 9;
    EXPECT_EQ(ReadVBAX(11, 7, &v), 1);
    EXPECT_EQ(v, 0);
    const auto r = requests();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[1].raw, frameBytes(11, 0x01, 1, areaOf(8) + 0x100, {0xFF}));
    EXPECT_EQ(r[2].raw, frameBytes(11, 0x01, 1, areaOf(3) + 6, {0x00}));
    EXPECT_EQ(r[3].address, areaOf(8) + 7);
}

TEST_F(Controller, NegativeNodeUsesEntryOneButSendsItsOwnByte) {
    open(1);
    configure(1);
    short w = 0;
    EXPECT_EQ(ReadStatus(-1, &w), 1);
    const auto r = requests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].node, 0xFF);
    EXPECT_EQ(r[0].address, areaOf(0));
}

TEST_F(Controller, OutputBitMappingPerType) {
    open(1);
    configure(12);
    unsigned char logical[8] = {0x01};
    EXPECT_EQ(WriteDigOut(12, logical), 1);
    EXPECT_EQ(ctrl.peek(areaOf(2), 8), bytes({0x80, 0, 0, 0, 0, 0, 0, 0}));
    // Logical bit 31 is raw bit 30, logical 32 is raw 39 (second block).
    unsigned char more[8] = {0, 0, 0, 0x80, 0x01, 0, 0, 0};
    EXPECT_EQ(WriteDigOut(12, more), 1);
    EXPECT_EQ(ctrl.peek(areaOf(2), 8), bytes({0, 0, 0, 0x40, 0x80, 0, 0, 0}));
    // Reading maps back: raw bit 0 (mapping entry 1) is logical bit 22.
    ctrl.poke(areaOf(2), {0x01, 0, 0, 0, 0, 0, 0, 0});
    unsigned char back[8] = {};
    EXPECT_EQ(ReadDigOut(12, back), 1);
    EXPECT_EQ(Bytes(back, back + 8), bytes({0, 0, 0x40, 0, 0, 0, 0, 0}));

    // 128-bit forms: logical bit 96 is raw bit 103.
    unsigned char wide[16] = {};
    wide[12] = 0x01;
    EXPECT_EQ(WriteDigOutEx(12, wide), 1);
    EXPECT_EQ(ctrl.peek(areaOf(2) + 12, 1), bytes({0x80}));
    unsigned char wideBack[16] = {};
    EXPECT_EQ(ReadDigOutEx(12, wideBack), 1);
    EXPECT_EQ(Bytes(wideBack, wideBack + 16), Bytes(wide, wide + 16));
}

TEST_F(Controller, TypeThreeOutputsAreUnmapped) {
    open(3);
    configure(13);
    unsigned char logical[8] = {0x01, 0, 0, 0, 0, 0, 0, 0x80};
    EXPECT_EQ(WriteDigOut(13, logical), 1);
    EXPECT_EQ(ctrl.peek(areaOf(2), 8), Bytes(logical, logical + 8));
    unsigned char back[8] = {};
    EXPECT_EQ(ReadDigOut(13, back), 1);
    EXPECT_EQ(Bytes(back, back + 8), Bytes(logical, logical + 8));
}

TEST_F(Controller, TypeZeroKeepsOneBytePerInputAndOutput) {
    open(0);
    configure(14);
    Bytes perByte(64, 0);
    perByte[0] = 1;
    perByte[9] = 0x80;
    perByte[63] = 2;
    ctrl.poke(areaOf(1), perByte);
    unsigned char bits[8] = {};
    EXPECT_EQ(ReadDigInp(14, bits), 1);
    EXPECT_EQ(Bytes(bits, bits + 8), bytes({0x01, 0x02, 0, 0, 0, 0, 0, 0x80}));
    ctrl.poke(areaOf(2), perByte);
    unsigned char outs[8] = {};
    EXPECT_EQ(ReadDigOut(14, outs), 1); // no mapping on type 0 reads
    EXPECT_EQ(Bytes(outs, outs + 8), bytes({0x01, 0x02, 0, 0, 0, 0, 0, 0x80}));
    Bytes wide(128, 0);
    wide[127] = 1;
    ctrl.poke(areaOf(1), wide);
    unsigned char wideBits[16] = {};
    EXPECT_EQ(ReadDigInpEx(14, wideBits), 1);
    EXPECT_EQ(wideBits[15], 0x80);
    EXPECT_EQ(wideBits[0], 0x00);
    const auto r = requests();
    EXPECT_EQ(r[0].raw, frameBytes(14, 0x00, 64, areaOf(1)));
}

TEST_F(Controller, OtherTypesReadEightPackedInputBytes) {
    open(1);
    configure(15);
    ctrl.poke(areaOf(1), {1, 2, 3, 4, 5, 6, 7, 8});
    unsigned char bits[8] = {};
    EXPECT_EQ(ReadDigInp(15, bits), 1);
    EXPECT_EQ(Bytes(bits, bits + 8), bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(requests()[0].raw, frameBytes(15, 0x00, 8, areaOf(1)));
}

TEST_F(Controller, AnalogueChannelRanges) {
    open(1);
    configure(16);
    short v = 0;
    EXPECT_EQ(ReadAnInp(16, 2, &v), 0);
    EXPECT_EQ(ReadAnInp(16, -1, &v), 0);
    EXPECT_EQ(ReadAnOut(16, 8, &v), 0);
    EXPECT_EQ(WriteAnOut(16, 8, &v), 0);
    EXPECT_TRUE(requests().empty());
    ctrl.attach(peer);
    ctrl.poke16(areaOf(6) + 2, 0x0123);
    EXPECT_EQ(ReadAnInp(16, 1, &v), 1);
    EXPECT_EQ(v, 0x0123);
    v = 0x0456;
    EXPECT_EQ(WriteAnOut(16, 7, &v), 1);
    EXPECT_EQ(ReadAnOut(16, 7, &v), 1);
    const auto r = requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[1].raw, frameBytes(16, 0x01, 2, areaOf(7) + 14, {0x04, 0x56}));
}

TEST_F(Controller, TypeThreeHasSixtyFourAnalogueInputs) {
    open(3);
    configure(17);
    short v = 0;
    ctrl.poke16(areaOf(6) + 4, 0x7FFF);
    EXPECT_EQ(ReadAnInp(17, 2, &v), 1);
    EXPECT_EQ(v, 0x7FFF);
    EXPECT_EQ(ReadAnInp(17, 63, &v), 1);
    EXPECT_EQ(ReadAnInp(17, 64, &v), 0);
    const auto r = requests();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].address, areaOf(6) + 4);
    EXPECT_EQ(r[1].address, areaOf(6) + 126);
}

TEST(ControllerClosed, EverythingFailsQuietly) {
    short w = 0;
    unsigned char b = 0;
    char text[80];
    EXPECT_EQ(ReadMW(1, 0, &w), 0);
    EXPECT_EQ(WriteMB(1, 0, &b), 0);
    EXPECT_EQ(ReadMWEx(1, 0, &w), -1);
    EXPECT_EQ(GetVerSW(1, text), 0);
    EXPECT_EQ(ReadStatus(1, &w), 0);
}
