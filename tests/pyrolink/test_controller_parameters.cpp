// Parameter descriptors, program download, keypad and function addresses against a scripted
// controller on a pty.
#include "link_fixture.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace linktest;

namespace {

constexpr std::uint8_t kAxisDescriptors = 0x54, kGeneralDescriptors = 0x55, kNames = 0x56, kAxisOrigin = 0x59,
                       kAxisValues = 0x4E, kDownload = 0x50;

Bytes descriptor(std::uint16_t name, std::uint32_t valueAddress, std::uint16_t type,
                 std::uint8_t attrHigh = 0, std::uint8_t attrLow = 0, std::uint32_t limit1 = 0,
                 std::uint32_t limit2 = 0) {
    Bytes d(32, 0);
    d[0] = std::uint8_t(name >> 8);
    d[1] = std::uint8_t(name);
    d[2] = 0xEE; // not interpreted
    std::memcpy(&d[4], be32(valueAddress).data(), 4);
    d[8] = std::uint8_t(type >> 8);
    d[9] = std::uint8_t(type);
    d[12] = attrHigh;
    d[13] = attrLow;
    std::memcpy(&d[16], be32(limit1).data(), 4);
    std::memcpy(&d[20], be32(limit2).data(), 4);
    return d;
}

class Parameters : public ControllerTest {
protected:
    // Descriptor `index` of a table.
    void describe(std::uint8_t table, int index, const Bytes &d) {
        ctrl.poke(areaOf(table) + 32u * index, d);
    }
    // Name number n (1-based) -> entry pointer -> text address -> text.
    void name(int number, const std::string &label) {
        const std::uint32_t pointer = 0x00300000u + std::uint32_t(number) * 0x100u;
        ctrl.poke(areaOf(kNames) + std::uint32_t(number - 1) * 4u, be32(pointer));
        ctrl.poke(pointer + 4, be32(pointer + 0x40));
        Bytes t(label.begin(), label.end());
        t.resize(80, 0);
        ctrl.poke(pointer + 0x40, t);
    }
    void TearDown() override {
        ControllerTest::TearDown();
        if (!dir.empty()) std::filesystem::remove_all(dir);
    }
    // A file of `size` bytes i * 7.
    std::string file(const std::string &fileName, std::size_t size) {
        if (dir.empty()) {
            char templ[] = "/tmp/pyrolink-download-XXXXXX";
            dir = mkdtemp(templ);
        }
        std::ofstream out(dir + "/" + fileName, std::ios::binary);
        for (std::size_t i = 0; i < size; ++i)
            out.put(char(i * 7));
        return dir + "/" + fileName;
    }
    // GetParGen (no axis) or GetParAx of `node`: the result, then value, type, limits and attributes.
    ints get(signed char node, short index, short axis = -1) {
        const int r = axis < 0
                          ? GetParGen(node, index, text, &value, &type, &limit1, &limit2, &high, &low)
                          : GetParAx(node, index, axis, text, &value, &type, &limit1, &limit2, &high, &low);
        return {r, value, type, limit1, limit2, high, low};
    }
    std::string dir;
    char text[80] = "untouched";
    int value = 11, limit1 = 12, limit2 = 13;
    short type = 14, high = 15, low = 16;
};

} // namespace

TEST_F(Parameters, CountStopsAtTheEndMarker) {
    configure(1, 20);
    describe(kGeneralDescriptors, 0, descriptor(1, 0x500, 0));
    describe(kGeneralDescriptors, 1, descriptor(2, 0, 0));
    Bytes end(32, 0x55);
    std::fill(end.begin(), end.begin() + 4, 0); // bytes 0-3 all zero end the table
    describe(kGeneralDescriptors, 2, end);
    EXPECT_EQ(GetNumParGen(20), 2);
    auto r = requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[2].raw, frameBytes(20, 0x00, 32, areaOf(kGeneralDescriptors) + 64));

    restart();
    describe(kAxisDescriptors, 0, end);
    EXPECT_EQ((ints{GetNumParAx(20), GetNumParGen(77)}), (ints{0, 0})); // 77 is unconfigured: no traffic
    EXPECT_EQ(requests().size(), 1u);
}

TEST_F(Parameters, GeneralParameterValuesByTypeWithNameLimitsAndAttributes) {
    configure(1, 21);
    describe(kGeneralDescriptors, 0, descriptor(3, 0x4000, 0, 0xAB, 0xCD, 0xFFFFFF9C, 1000));
    describe(kGeneralDescriptors, 1, descriptor(1, 0x4010, 3));
    describe(kGeneralDescriptors, 2, descriptor(2, 0x4020, 1));
    ctrl.poke16(0x4000, 0xFFFE);
    ctrl.poke(0x4010, {0x80});
    ctrl.poke(0x4020, be32(0x12345678));
    name(3, "Boiler temperature");
    name(1, "Pump delay");
    name(2, "Hours");
    EXPECT_EQ(get(21, 0), (ints{1, -2, 0, -100, 1000, 0xAB, 0xCD}));
    EXPECT_STREQ(text, "Boiler temperature");
    EXPECT_EQ(get(21, 1), (ints{1, -128, 3, 0, 0, 0, 0}));
    EXPECT_STREQ(text, "Pump delay");
    EXPECT_EQ(get(21, 2), (ints{1, 0x12345678, 1, 0, 0, 0, 0}));
    EXPECT_STREQ(text, "Hours");
}

TEST_F(Parameters, MissingValueAddressReturnsMinusOneAndLeavesOutputs) {
    configure(1, 22);
    describe(kGeneralDescriptors, 0, descriptor(1, 0, 0, 1, 2, 3, 4));
    describe(kAxisDescriptors, 0, descriptor(1, 0, 1, 1, 2, 3, 4));
    EXPECT_EQ(get(22, 0), (ints{-1, 11, 14, 12, 13, 15, 16}));
    EXPECT_EQ(get(22, 0, 1), (ints{-1, 11, 14, 12, 13, 15, 16}));
    EXPECT_STREQ(text, "untouched");
    int v = 5;
    EXPECT_EQ((ints{SetParGen(22, 0, &v), SetParAx(22, 0, 2, &v)}), (ints{-1, -1}));
    EXPECT_EQ(requests().size(), 4u); // descriptor reads only
}

TEST_F(Parameters, AxisValuesLiveInTheAxisBlock) {
    configure(1, 23);
    // Descriptor value address origin + 6: axis 2's value is at value area + 640 + 6.
    describe(kAxisDescriptors, 1, descriptor(1, areaOf(kAxisOrigin) + 6, 1));
    describe(kAxisDescriptors, 2, descriptor(1, areaOf(kAxisOrigin) + 8, 3));
    ctrl.poke(areaOf(kAxisValues) + 640 + 6, be32(0xCAFEBABE));
    name(1, "Axis speed");
    EXPECT_EQ(get(23, 1, 2)[1], int(0xCAFEBABE));
    EXPECT_STREQ(text, "Axis speed");
    // Byte values exist only among general parameters.
    int v = 0x01020304;
    EXPECT_EQ((ints{get(23, 2, 2)[0], SetParAx(23, 1, 3, &v), SetParAx(23, 2, 3, &v)}), (ints{0, 1, 0}));
    EXPECT_EQ(ctrl.peek(areaOf(kAxisValues) + 960 + 6, 4), bytes({1, 2, 3, 4}));
}

TEST_F(Parameters, SetParGenWritesTheWidthOfTheType) {
    configure(1, 24);
    describe(kGeneralDescriptors, 0, descriptor(1, 0x6000, 0));
    describe(kGeneralDescriptors, 1, descriptor(1, 0x6010, 3));
    describe(kGeneralDescriptors, 2, descriptor(1, 0x6020, 7));
    int v = 0x12345678;
    EXPECT_EQ((ints{SetParGen(24, 0, &v), SetParGen(24, 1, &v), SetParGen(24, 2, &v)}),
              (ints{1, 1, 0})); // type 7: unknown
    const auto r = requests();
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[1].raw, frameBytes(24, 0x01, 2, 0x6000, {0x56, 0x78}));
    EXPECT_EQ(r[3].raw, frameBytes(24, 0x01, 1, 0x6010, {0x78}));
}

TEST_F(Parameters, RamDownloadWritesHeaderContentAndStartRequest) {
    configure(1, 26);
    ASSERT_EQ(LoadFileISORam(26, file("sub\\PART1.ISO", 1000).c_str()), 1);
    const std::uint32_t base = areaOf(kDownload);
    const Bytes header = {'P', 'A', 'R', 'T', '1', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 0x00, 0x00, 0x03, 0xE8};
    EXPECT_EQ(ctrl.peek(base, 16), header);
    Bytes content;
    for (int i = 0; i < 1000; ++i)
        content.push_back(std::uint8_t(i * 7));
    EXPECT_EQ(ctrl.peek(base + 16, 1000), content);
    const auto r = requests();
    ASSERT_EQ(r.size(), 1u + 8u + 1u); // header, 1000 bytes in 127-byte frames, start
    EXPECT_EQ(r[0].raw, frameBytes(26, 0x01, 16, base, header));
    const Bytes start = cat(cat(Bytes(header.begin(), header.begin() + 12), be32(base + 16)), be32(1000));
    EXPECT_EQ(r.back().raw, frameBytes(26, 0x0D, 20, base, start));
}

TEST_F(Parameters, DownloadNamesAndTargets) {
    configure(1, 27);
    // Twelve characters without extension: used as they are.
    ASSERT_EQ(LoadFileISORamEx(27, file("ABCDEFGHIJKL", 3).c_str(), 0x00500000), 1);
    EXPECT_EQ(ctrl.peek(0x00500000, 16),
              bytes({'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 0, 0, 0, 3}));
    auto r = requests();
    EXPECT_EQ(r.back().command, 0x0D);
    EXPECT_EQ(r.back().address, 0x00500000u);
    EXPECT_EQ(Bytes(r.back().data.begin() + 12, r.back().data.begin() + 16), be32(0x00500010));

    // Flash: the start request goes to the download area.
    restart();
    ASSERT_EQ(LoadFileISOFlash(27, file("LOADER.X", 130).c_str()), 1);
    r = requests();
    ASSERT_EQ(r.size(), 4u); // header, 127 + 3 bytes, start
    EXPECT_EQ(r[0].data, bytes({'L', 'O', 'A', 'D', 'E', 'R', ' ', ' ', ' ', ' ', ' ', ' ', 0, 0, 0, 130}));
    EXPECT_EQ(r.back().raw, frameBytes(27, 0x0B, 0, areaOf(kDownload)));

    // A file that cannot be opened, or an unconfigured node: nothing is sent.
    restart();
    EXPECT_EQ((ints{LoadFileISORam(27, (dir + "/missing.iso").c_str()),
                    LoadFileISORam(77, file("A.ISO", 4).c_str())}),
              (ints{0, 0}));
    EXPECT_TRUE(requests().empty());
}

TEST_F(Parameters, KeyMasksPerControllerTypeAndTheCheckBeforeTheKey) {
    const struct {
        short type, key;
        Bytes data; // empty: refused without traffic
    } keys[] = {{0, 10, {0x80, 0x00, 0x00, 0x00, 0x00, 0x31}},
                {0, 25, {}},
                {0, -1, {}},
                {1, 10, {0x00, 0x80, 0x00, 0x00, 0x00, 0x31}},
                {1, 4, {0x00, 0x00, 0x80, 0x00, 0x20, 0x00}},
                {2, 1, {}}};
    for (const auto &k : keys) {
        SCOPED_TRACE(k.key);
        configure(k.type, 28);
        EXPECT_EQ(WriteKey(28, k.key), k.data.empty() ? 0 : 1);
        const Bytes expected =
            k.data.empty() ? Bytes() : frameBytes(28, 0x11, 6, std::uint32_t(k.key), k.data);
        const auto r = requests();
        EXPECT_EQ(r.empty() ? Bytes() : r[0].raw, expected);
        EXPECT_LE(r.size(), 1u);
        CloseComm();
    }
    configure(2, 28);
    EXPECT_EQ(WriteKeyEx(28, 1), -1);
    CloseComm();

    configure(3, 29);
    ctrl.silentCommands = {0x16};
    EXPECT_EQ(WriteKeyEx(29, 15), -1);
    auto r = requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].raw, frameBytes(29, 0x16, 6, 15));
    ctrl.silentCommands = {0x11};
    restart();
    EXPECT_EQ(WriteKeyEx(29, 15), -2);
    EXPECT_EQ(requests().size(), 4u);
    ctrl.silentCommands.clear();
    restart();
    EXPECT_EQ(WriteKeyEx(29, 15), 1);
    r = requests();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].raw, frameBytes(29, 0x11, 6, 15, {0x00, 0x00, 0x00, 0x01, 0x00, 0x36}));
}

TEST_F(Parameters, FunctionAddressQuery) {
    open(2);
    ctrl.functionAddress = 0x89ABCDEF;
    int address = 0;
    ASSERT_EQ(GetAddrFun(30, "Main", &address), 1);
    EXPECT_EQ(address, int(0x89ABCDEF));
    auto r = requests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].raw, frameBytes(30, 0x13, 5, 0, {'M', 'a', 'i', 'n', 0}));

    // 243 characters and the NUL fill the transmit buffer exactly; one more does not fit.
    restart();
    EXPECT_EQ(GetAddrFun(30, std::string(243, 'f').c_str(), &address), 1);
    address = 7;
    EXPECT_EQ(GetAddrFun(30, std::string(244, 'f').c_str(), &address), 0);
    EXPECT_EQ(address, 7);
    r = requests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].raw.size(), 256u);
    EXPECT_EQ(r[0].length, 244);
}
