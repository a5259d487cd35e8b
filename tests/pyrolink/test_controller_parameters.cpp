// Parameter descriptors, storing parameters, program download, keypad and function addresses
// against a scripted controller on a pty.
#include "test_controller_peer.h"

#include "pyrolink.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace testsupport;

namespace {

Bytes be32(std::uint32_t v) {
    return {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
}

Bytes descriptor(std::uint16_t name, std::uint32_t valueAddress, std::uint16_t type, std::uint8_t attrHigh,
                 std::uint8_t attrLow, std::uint32_t limit1, std::uint32_t limit2) {
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
    Parameters() : ControllerTest(0x00200000u) {}
    // Opens the port; types 1 and 3 also configure `node` and forget that traffic.
    void open(short type, signed char node) {
        ControllerTest::open(type);
        if (HasFatalFailure()) return;
        if (type == 1 || type == 3) {
            ASSERT_EQ(ReadConf(node), 0);
            restart();
        }
    }
    // Name number n (1-based) -> entry pointer -> text address -> text.
    void name(int number, const std::string &text) {
        const std::uint32_t pointer = 0x00300000u + std::uint32_t(number) * 0x100u;
        const std::uint32_t textAddress = pointer + 0x40;
        ctrl.poke32(areaOf(21) + std::uint32_t(number - 1) * 4u, pointer);
        ctrl.poke32(pointer + 4, textAddress);
        Bytes t(text.begin(), text.end());
        t.resize(80, 0);
        ctrl.poke(textAddress, t);
    }
    void TearDown() override {
        ControllerTest::TearDown();
        if (!dir.empty()) std::filesystem::remove_all(dir);
    }
    std::string file(const std::string &fileName, std::size_t size) {
        if (dir.empty()) {
            char templ[] = "/tmp/pyrolink-download-XXXXXX";
            dir = mkdtemp(templ);
        }
        const std::string path = dir + "/" + fileName;
        std::ofstream out(path, std::ios::binary);
        for (std::size_t i = 0; i < size; ++i)
            out.put(char(i * 7));
        return path;
    }
    std::string dir;
};

} // namespace

TEST_F(Parameters, CountStopsAtTheEndMarker) {
    open(1, 20);
    ctrl.poke(areaOf(20), descriptor(1, 0x500, 0, 0, 0, 0, 0));
    ctrl.poke(areaOf(20) + 32, descriptor(2, 0, 0, 0, 0, 0, 0));
    Bytes end = descriptor(0, 0, 0, 0, 0, 0, 0);
    end[2] = 0; // bytes 0-3 all zero end the table
    end[20] = 0x55;
    ctrl.poke(areaOf(20) + 64, end);
    EXPECT_EQ(GetNumParGen(20), 2);
    auto r = requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[2].raw, frameBytes(20, 0x00, 32, areaOf(20) + 64));

    restart();
    ctrl.poke(areaOf(19), end);
    EXPECT_EQ(GetNumParAx(20), 0);
    EXPECT_EQ(GetNumParGen(77), 0); // unconfigured node: no traffic
    EXPECT_EQ(requests().size(), 1u);
}

TEST_F(Parameters, GeneralParameterValuesByTypeWithNameLimitsAndAttributes) {
    open(1, 21);
    ctrl.poke(areaOf(20), descriptor(3, 0x4000, 0, 0xAB, 0xCD, 0xFFFFFF9C, 1000));
    ctrl.poke(areaOf(20) + 32, descriptor(1, 0x4010, 3, 0, 1, 0, 0));
    ctrl.poke(areaOf(20) + 64, descriptor(2, 0x4020, 1, 0, 0, 0, 0));
    ctrl.poke16(0x4000, 0xFFFE);
    ctrl.poke(0x4010, {0x80});
    ctrl.poke32(0x4020, 0x12345678);
    name(3, "Boiler temperature");
    name(1, "Pump delay");
    name(2, "Hours");

    char text[80];
    int value = 0, limit1 = 0, limit2 = 0;
    short type = -1, high = 0, low = 0;
    ASSERT_EQ(GetParGen(21, 0, text, &value, &type, &limit1, &limit2, &high, &low), 1);
    EXPECT_STREQ(text, "Boiler temperature");
    EXPECT_EQ(value, -2);
    EXPECT_EQ(type, 0);
    EXPECT_EQ(limit1, -100);
    EXPECT_EQ(limit2, 1000);
    EXPECT_EQ(high, 0xAB);
    EXPECT_EQ(low, 0xCD);
    ASSERT_EQ(GetParGen(21, 1, text, &value, &type, &limit1, &limit2, &high, &low), 1);
    EXPECT_EQ(value, -128);
    EXPECT_EQ(type, 3);
    EXPECT_STREQ(text, "Pump delay");
    ASSERT_EQ(GetParGen(21, 2, text, &value, &type, &limit1, &limit2, &high, &low), 1);
    EXPECT_EQ(value, 0x12345678);
    EXPECT_STREQ(text, "Hours");
}

TEST_F(Parameters, MissingValueAddressReturnsMinusOneAndLeavesOutputs) {
    open(1, 22);
    ctrl.poke(areaOf(20), descriptor(1, 0, 0, 1, 2, 3, 4));
    ctrl.poke(areaOf(19), descriptor(1, 0, 1, 1, 2, 3, 4));
    char text[80] = "untouched";
    int value = 11, limit1 = 12, limit2 = 13;
    short type = 14, high = 15, low = 16;
    EXPECT_EQ(GetParGen(22, 0, text, &value, &type, &limit1, &limit2, &high, &low), -1);
    EXPECT_EQ(GetParAx(22, 0, 1, text, &value, &type, &limit1, &limit2, &high, &low), -1);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(value, 11);
    EXPECT_EQ(type, 14);
    EXPECT_EQ(limit1, 12);
    EXPECT_EQ(low, 16);
    int v = 5;
    EXPECT_EQ(SetParGen(22, 0, &v), -1);
    EXPECT_EQ(SetParAx(22, 0, 2, &v), -1);
    EXPECT_EQ(requests().size(), 4u); // descriptor reads only
}

TEST_F(Parameters, AxisValuesLiveInTheAxisBlock) {
    open(1, 23);
    // Descriptor value address origin + 6: axis 2's value is at value area + 640 + 6.
    ctrl.poke(areaOf(19) + 32, descriptor(1, areaOf(24) + 6, 1, 0, 0, 0, 0));
    ctrl.poke(areaOf(19) + 64, descriptor(1, areaOf(24) + 8, 3, 0, 0, 0, 0));
    ctrl.poke32(areaOf(12) + 640 + 6, 0xCAFEBABE);
    name(1, "Axis speed");
    char text[80];
    int value = 0, limit1 = 0, limit2 = 0;
    short type = 0, high = 0, low = 0;
    ASSERT_EQ(GetParAx(23, 1, 2, text, &value, &type, &limit1, &limit2, &high, &low), 1);
    EXPECT_EQ(value, int(0xCAFEBABE));
    EXPECT_STREQ(text, "Axis speed");
    // Byte values exist only among general parameters.
    EXPECT_EQ(GetParAx(23, 2, 2, text, &value, &type, &limit1, &limit2, &high, &low), 0);
    int v = 0x01020304;
    EXPECT_EQ(SetParAx(23, 1, 3, &v), 1);
    EXPECT_EQ(SetParAx(23, 2, 3, &v), 0);
    EXPECT_EQ(ctrl.peek(areaOf(12) + 960 + 6, 4), bytes({1, 2, 3, 4}));
}

TEST_F(Parameters, SetParGenWritesTheWidthOfTheType) {
    open(1, 24);
    ctrl.poke(areaOf(20), descriptor(1, 0x6000, 0, 0, 0, 0, 0));
    ctrl.poke(areaOf(20) + 32, descriptor(1, 0x6010, 3, 0, 0, 0, 0));
    ctrl.poke(areaOf(20) + 64, descriptor(1, 0x6020, 7, 0, 0, 0, 0));
    int v = 0x12345678;
    EXPECT_EQ(SetParGen(24, 0, &v), 1);
    EXPECT_EQ(SetParGen(24, 1, &v), 1);
    EXPECT_EQ(SetParGen(24, 2, &v), 0); // unknown type
    const auto r = requests();
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[1].raw, frameBytes(24, 0x01, 2, 0x6000, {0x56, 0x78}));
    EXPECT_EQ(r[3].raw, frameBytes(24, 0x01, 1, 0x6010, {0x78}));
}

TEST_F(Parameters, StoreParameters) {
    open(1, 25);
    EXPECT_EQ(MemoPar(25), 1);
    const auto r = requests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].raw, frameBytes(25, 0x0C, 0, areaOf(14)));
}

TEST_F(Parameters, RamDownloadWritesHeaderContentAndStartRequest) {
    open(1, 26);
    const std::string path = file("sub\\PART1.ISO", 1000);
    ASSERT_EQ(LoadFileISORam(26, path.c_str()), 1);
    const std::uint32_t base = areaOf(14);
    Bytes header = {'P', 'A', 'R', 'T', '1', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 0x00, 0x00, 0x03, 0xE8};
    EXPECT_EQ(ctrl.peek(base, 16), header);
    Bytes content;
    for (int i = 0; i < 1000; ++i)
        content.push_back(std::uint8_t(i * 7));
    EXPECT_EQ(ctrl.peek(base + 16, 1000), content);
    const auto r = requests();
    ASSERT_EQ(r.size(), 1u + 8u + 1u); // header, 1000 bytes in 127-byte frames, start
    EXPECT_EQ(r[0].raw, frameBytes(26, 0x01, 16, base, header));
    Bytes start(header.begin(), header.begin() + 12);
    for (std::uint8_t b : be32(base + 16))
        start.push_back(b);
    for (std::uint8_t b : be32(1000))
        start.push_back(b);
    EXPECT_EQ(r.back().raw, frameBytes(26, 0x0D, 20, base, start));
    EXPECT_EQ(r.back().raw.size(), 32u);
}

TEST_F(Parameters, DownloadNamesAndTargets) {
    open(1, 27);
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
    EXPECT_EQ(r.back().raw, frameBytes(27, 0x0B, 0, areaOf(14)));

    // A file that cannot be opened: nothing is sent.
    restart();
    EXPECT_EQ(LoadFileISORam(27, (dir + "/missing.iso").c_str()), 0);
    EXPECT_EQ(LoadFileISORam(77, file("OTHER.ISO", 4).c_str()), 0); // unconfigured node
    EXPECT_TRUE(requests().empty());
}

TEST_F(Parameters, KeyMasksPerControllerType) {
    open(0, 28);
    EXPECT_EQ(WriteKey(28, 10), 1);
    EXPECT_EQ(WriteKey(28, 25), 0);
    EXPECT_EQ(WriteKey(28, -1), 0);
    auto r = requests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].raw, frameBytes(28, 0x11, 6, 10, {0x80, 0x00, 0x00, 0x00, 0x00, 0x31}));
    CloseComm();

    ASSERT_EQ(OpenComm(0, 19200, 1, 150, 0, 20), 0);
    restart();
    EXPECT_EQ(WriteKey(28, 10), 1);
    EXPECT_EQ(WriteKey(28, 4), 1);
    r = requests();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].data, bytes({0x00, 0x80, 0x00, 0x00, 0x00, 0x31}));
    EXPECT_EQ(r[1].data, bytes({0x00, 0x00, 0x80, 0x00, 0x20, 0x00}));
    CloseComm();

    ASSERT_EQ(OpenComm(0, 19200, 2, 150, 0, 20), 0);
    restart();
    EXPECT_EQ(WriteKey(28, 1), 0);
    EXPECT_EQ(WriteKeyEx(28, 1), -1);
    EXPECT_TRUE(requests().empty());
}

TEST_F(Parameters, KeyCheckBeforeTheKey) {
    open(3, 29);
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
    open(2, 30);
    ctrl.functionAddress = 0x89ABCDEF;
    int address = 0;
    ASSERT_EQ(GetAddrFun(30, "Main", &address), 1);
    EXPECT_EQ(address, int(0x89ABCDEF));
    auto r = requests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].raw, frameBytes(30, 0x13, 5, 0, {'M', 'a', 'i', 'n', 0}));

    // 243 characters and the NUL fill the transmit buffer exactly; one more does not fit.
    restart();
    const std::string longest(243, 'f');
    EXPECT_EQ(GetAddrFun(30, longest.c_str(), &address), 1);
    const std::string tooLong(244, 'f');
    address = 7;
    EXPECT_EQ(GetAddrFun(30, tooLong.c_str(), &address), 0);
    EXPECT_EQ(address, 7);
    r = requests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].raw.size(), 256u);
    EXPECT_EQ(r[0].length, 244);
}
