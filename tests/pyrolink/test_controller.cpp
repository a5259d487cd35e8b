// Controller configuration, typed memory access, variable families, status and I/O against a
// scripted controller on a pty.
#include "link_fixture.h"

#include <cstring>

using namespace linktest;

namespace {

class Controller : public ControllerTest {};

} // namespace

TEST_F(Controller, ReadConfRefusesBadNodesAndEverythingFailsOnAClosedPort) {
    open(1);
    for (int node : {100, 0, 150, -1}) // 150 arrives as -106
        EXPECT_EQ(ReadConf(static_cast<signed char>(node)), -7) << node;
    EXPECT_TRUE(requests().empty());
    CloseComm();
    short w = 0;
    char text[80];
    EXPECT_EQ((ints{ReadConf(3), ReadMW(1, 0, &w), ReadMWEx(1, 0, &w), GetVerSW(1, text), ReadStatus(1, &w)}),
              (ints{-6, 0, -1, 0, 0}));
}

TEST_F(Controller, ReadConfAsksTheAreasOfItsTypeAndBoundsTheIdentity) {
    // Every code but the CNC status (0x04), which no type asks for.
    const std::vector<std::uint8_t> all = {0x49, 0x06, 0x07, 0x09, 0x0A, 0x0B, 0x1B, 0x1C, 0x24,
                                           0x25, 0x26, 0x47, 0x4E, 0x4F, 0x50, 0x51, 0x52, 0x53,
                                           0x4C, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59};
    const struct {
        short type;
        std::vector<std::uint8_t> codes;
    } types[] = {{0, {0x49, 0x06, 0x07, 0x09, 0x0A, 0x0B, 0x24, 0x25, 0x26}}, {1, all}, {2, {}}}; // 3 as 1
    ctrl.identity = std::string(120, 'X');
    for (const auto &t : types) {
        SCOPED_TRACE(t.type);
        open(t.type);
        const signed char node = static_cast<signed char>(2 + t.type);
        ASSERT_EQ(ReadConf(node), 0);
        char text[128];
        std::memset(text, 'Z', sizeof text);
        EXPECT_EQ(GetVerSW(node, text), 1);
        EXPECT_EQ(std::string(text), std::string(79, 'X'));
        EXPECT_EQ(text[80], 'Z');
        const auto r = requests();
        ASSERT_EQ(r.size(), 1 + t.codes.size());
        EXPECT_EQ(r[0].raw, frameBytes(node, 0x09, 0, 0));
        for (std::size_t i = 0; i < t.codes.size(); ++i)
            EXPECT_EQ(r[i + 1].raw, frameBytes(node, 0x0A, 0, t.codes[i])) << i;
        CloseComm();
    }
}

TEST_F(Controller, ReadConfTakesAddressesFromTheRightBytes) {
    configure(1, 1);
    // Ordinary codes carry the address in bytes 4-7, with a decoy in 0-3: a status read goes to the
    // status area. A negative node uses entry 1 but sends its own byte.
    short status = 0;
    ctrl.poke16(areaOf(0x49), 0x1234);
    EXPECT_EQ((ints{ReadStatus(1, &status), status, ReadStatus(-1, &status)}), (ints{1, 0x1234, 1}));
    // The download area (code 0x50) carries its address in bytes 0-3.
    EXPECT_EQ(MemoPar(1), 1);
    const auto r = requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[1].raw, frameBytes(0xFF, 0x00, 2, areaOf(0x49)));
    EXPECT_EQ(r[2].raw, frameBytes(1, 0x0C, 0, areaOf(0x50)));
}

TEST_F(Controller, ReadConfFailsWhenAnAreaIsNotAnswered) {
    open(0);
    ctrl.silentCommands = {0x0A};
    EXPECT_EQ(ReadConf(7), -6);
    EXPECT_EQ(requests().size(), 4u); // identity, then three tries of the first area
    char text[80];
    EXPECT_EQ(GetVerSW(7, text), 0); // still unconfigured
}

TEST_F(Controller, UnconfiguredNodeRefusesFamiliesWithoutTraffic) {
    open(1);
    short w = 1;
    unsigned char b = 1, bits[16] = {};
    EXPECT_EQ((ints{ReadVW(77, 0, &w), WriteVB(77, 0, &b), WriteStatus(77, &w), WriteAnOut(77, 0, &w),
                    WriteDigOut(77, bits), ReadDigInp(77, bits)}),
              (ints{0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(requests().empty());
}

TEST_F(Controller, RawTypedReadsAndWritesAreBigEndian) {
    open(1);
    ctrl.poke(0x2000, {0xFE, 0xDC, 0xBA, 0x98});
    unsigned char b = 0;
    short w = 0;
    int l = 0;
    EXPECT_EQ((ints{ReadMB(9, 0x2000, &b), b, ReadMW(9, 0x2000, &w), w, ReadML(9, 0x2000, &l), l}),
              (ints{1, 0xFE, 1, short(0xFEDC), 1, int(0xFEDCBA98)}));
    w = 0x0102;
    l = 0x0A0B0C0D;
    b = 0x77;
    EXPECT_EQ((ints{WriteMW(9, 0x3000, &w), WriteML(9, 0x3004, &l), WriteMB(9, 0x3008, &b)}),
              (ints{1, 1, 1}));
    const auto r = requests();
    ASSERT_EQ(r.size(), 6u);
    EXPECT_EQ(r[0].raw, frameBytes(9, 0x00, 1, 0x2000));
    EXPECT_EQ(r[1].raw, frameBytes(9, 0x00, 2, 0x2000));
    EXPECT_EQ(r[2].raw, frameBytes(9, 0x00, 4, 0x2000));
    EXPECT_EQ(r[3].raw, frameBytes(9, 0x01, 2, 0x3000, {0x01, 0x02}));
    EXPECT_EQ(r[4].raw, frameBytes(9, 0x01, 4, 0x3004, {0x0A, 0x0B, 0x0C, 0x0D}));
    EXPECT_EQ(r[5].raw, frameBytes(9, 0x01, 1, 0x3008, {0x77}));
}

TEST_F(Controller, ExFormsCheckAccessFirst) {
    open(1);
    short w = 5;
    ctrl.silentCommands = {0x14};
    EXPECT_EQ(ReadMWEx(1, 0x40, &w), -1);
    auto r = requests();
    ASSERT_EQ(r.size(), 3u); // three checks, no read
    EXPECT_EQ(r[0].raw, frameBytes(1, 0x14, 2, 0x40));

    ctrl.silentCommands = {0x01};
    restart();
    int l = 7;
    EXPECT_EQ(WriteMLEx(1, 0x40, &l), -2);
    r = requests();
    ASSERT_EQ(r.size(), 4u); // the check, then three writes
    EXPECT_EQ(r[0].raw, frameBytes(1, 0x15, 4, 0x40));

    ctrl.silentCommands.clear();
    restart();
    unsigned char b = 9;
    EXPECT_EQ((ints{WriteMBEx(1, 0x41, &b), ReadMBEx(1, 0x41, &b), b}), (ints{1, 1, 9}));
}

TEST_F(Controller, VariableFamiliesAddressTheirAreas) {
    configure(1, 10);
    ctrl.poke16(areaOf(0x0A) + 6, 0x0A0B);
    short w = 0;
    int l = 0x11223344;
    unsigned char b = 0;
    // A braced list runs the calls in order.
    const int results[] = {ReadVW(10, 3, &w),        WriteVL(10, 2, &l),     WriteVLAX(10, 1, &l),
                           WriteVWAXEx(10, 300, &w), WriteMWPers(10, 7, &w), WriteMLParGen(10, 8, &l),
                           WriteMWParAx(10, 2, &w),  WriteSysL(10, 3, &l),   WriteSysB(10, 3, &b),
                           WritePidEnabled(10, &b),  ReadStatusCNC(10, &b)};
    EXPECT_EQ(std::vector<int>(std::begin(results), std::end(results)), ints(11, 1));
    EXPECT_EQ(w, 0x0A0B);
    // Each request as the configuration code whose area it addresses, offset and length. The CNC
    // status area was never asked for: its base stays 0 (code -256 here).
    ints seen;
    for (const Request &q : requests())
        seen.insert(seen.end(), {int(q.address - ctrl.areaBase) / 0x1000,
                                 int(q.address - ctrl.areaBase) % 0x1000, q.length});
    EXPECT_EQ(seen, (ints{0x0A, 6,    2, 0x0B, 8,    4,  0x26, 4,    4, 0x25, 600,  2, 0x47, 7,    2, 0x4F, 8,
                          4,    0x4E, 2, 2,    0x53, 12, 4,    0x51, 3, 1,    0x4C, 0, 1,    -256, 0, 1}));
}

TEST_F(Controller, BitVariablesReadNonZeroAsOneAndWriteFF) {
    configure(1, 11);
    ctrl.poke(areaOf(0x09) + 5, {0x40});
    unsigned char v = 0, three = 3, zero = 0, nine = 9;
    EXPECT_EQ((ints{ReadVB(11, 5, &v), v, WriteVBAXEx(11, 0x100, &three), WriteVB(11, 6, &zero),
                    ReadVBAX(11, 7, &nine), nine}),
              (ints{1, 1, 1, 1, 1, 0}));
    const auto r = requests();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[1].raw, frameBytes(11, 0x01, 1, areaOf(0x24) + 0x100, {0xFF}));
    EXPECT_EQ(r[2].raw, frameBytes(11, 0x01, 1, areaOf(0x09) + 6, {0x00}));
    EXPECT_EQ(r[3].address, areaOf(0x24) + 7);
}

TEST_F(Controller, OutputBitsFollowTheWiringOrderExceptOnTypeThree) {
    configure(1, 12);
    const std::uint32_t outputs = areaOf(0x07);
    unsigned char logical[8] = {0x01};
    EXPECT_EQ(WriteDigOut(12, logical), 1);
    EXPECT_EQ(ctrl.peek(outputs, 8), bytes({0x80, 0, 0, 0, 0, 0, 0, 0}));
    // Logical bit 31 is raw bit 30, logical 32 is raw 39 (second block).
    unsigned char more[8] = {0, 0, 0, 0x80, 0x01, 0, 0, 0};
    EXPECT_EQ(WriteDigOut(12, more), 1);
    EXPECT_EQ(ctrl.peek(outputs, 8), bytes({0, 0, 0, 0x40, 0x80, 0, 0, 0}));
    // Reading maps back: raw bit 0 (mapping entry 1) is logical bit 22.
    ctrl.poke(outputs, {0x01, 0, 0, 0, 0, 0, 0, 0});
    unsigned char back[16] = {};
    EXPECT_EQ(ReadDigOut(12, back), 1);
    EXPECT_EQ(Bytes(back, back + 8), bytes({0, 0, 0x40, 0, 0, 0, 0, 0}));
    // 128-bit forms: logical bit 96 is raw bit 103.
    unsigned char wide[16] = {};
    wide[12] = 0x01;
    EXPECT_EQ(WriteDigOutEx(12, wide), 1);
    EXPECT_EQ(ctrl.peek(outputs + 12, 1), bytes({0x80}));
    EXPECT_EQ(ReadDigOutEx(12, back), 1);
    EXPECT_EQ(Bytes(back, back + 16), Bytes(wide, wide + 16));
    CloseComm();

    configure(3, 13);
    unsigned char same[8] = {0x01, 0, 0, 0, 0, 0, 0, 0x80};
    EXPECT_EQ(WriteDigOut(13, same), 1);
    EXPECT_EQ(ctrl.peek(outputs, 8), Bytes(same, same + 8));
    EXPECT_EQ(ReadDigOut(13, back), 1);
    EXPECT_EQ(Bytes(back, back + 8), Bytes(same, same + 8));
}

TEST_F(Controller, TypeZeroKeepsOneBytePerInputAndOutputOthersPackThem) {
    configure(0, 14);
    Bytes perByte(128, 0);
    perByte[0] = 1;
    perByte[9] = 0x80;
    perByte[63] = 2;
    perByte[127] = 1;
    ctrl.poke(areaOf(0x06), perByte);
    ctrl.poke(areaOf(0x07), perByte);
    unsigned char bits[16] = {};
    EXPECT_EQ(ReadDigInp(14, bits), 1);
    EXPECT_EQ(Bytes(bits, bits + 8), bytes({0x01, 0x02, 0, 0, 0, 0, 0, 0x80}));
    EXPECT_EQ(ReadDigOut(14, bits), 1); // no mapping on type 0 reads
    EXPECT_EQ(Bytes(bits, bits + 8), bytes({0x01, 0x02, 0, 0, 0, 0, 0, 0x80}));
    EXPECT_EQ(ReadDigInpEx(14, bits), 1);
    EXPECT_EQ(bits[15], 0x80);
    EXPECT_EQ(requests()[0].raw, frameBytes(14, 0x00, 64, areaOf(0x06)));
    CloseComm();

    configure(1, 15);
    ctrl.poke(areaOf(0x06), {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(ReadDigInp(15, bits), 1);
    EXPECT_EQ(Bytes(bits, bits + 8), bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(requests()[0].raw, frameBytes(15, 0x00, 8, areaOf(0x06)));
}

TEST_F(Controller, AnalogueChannelRanges) {
    configure(1, 16);
    short v = 0;
    EXPECT_EQ(
        (ints{ReadAnInp(16, 2, &v), ReadAnInp(16, -1, &v), ReadAnOut(16, 8, &v), WriteAnOut(16, 8, &v)}),
        (ints{0, 0, 0, 0}));
    EXPECT_TRUE(requests().empty());
    restart();
    ctrl.poke16(areaOf(0x1B) + 2, 0x0123);
    EXPECT_EQ((ints{ReadAnInp(16, 1, &v), v}), (ints{1, 0x0123}));
    v = 0x0456;
    EXPECT_EQ((ints{WriteAnOut(16, 7, &v), ReadAnOut(16, 7, &v)}), (ints{1, 1}));
    auto r = requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[1].raw, frameBytes(16, 0x01, 2, areaOf(0x1C) + 14, {0x04, 0x56}));
    CloseComm();

    configure(3, 17); // 64 analogue inputs
    EXPECT_EQ((ints{ReadAnInp(17, 2, &v), ReadAnInp(17, 63, &v), ReadAnInp(17, 64, &v)}), (ints{1, 1, 0}));
    EXPECT_EQ(accesses(requests()), (ints{areaOf(0x1B) + 4, 2, areaOf(0x1B) + 126, 2}));
}
