// Modbus RTU holding registers: CRC-16/MODBUS check values, exact frames and reply scanning against
// a scripted peer, and round trips against a third-party slave (pymodbus) on a pty pair.
#include "child_process.h"
#include "crc16_modbus.h"
#include "link_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

using namespace linktest;
using hbsupport::ChildProcess;

namespace {

Bytes withCrc(std::initializer_list<int> values) {
    Bytes frame = bytes(values);
    const std::uint16_t crc = pyrolink::crc16Modbus(frame.data(), frame.size());
    return cat(frame, {std::uint8_t(crc), std::uint8_t(crc >> 8)});
}

class ModbusScripted : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        ASSERT_EQ(OpenComm(0, 19200, 0, 200, 0, 20), 0);
    }
};

} // namespace

TEST(Crc16Modbus, PublishedCheckValues) {
    const char *check = "123456789";
    EXPECT_EQ(pyrolink::crc16Modbus(reinterpret_cast<const std::uint8_t *>(check), 9), 0x4B37);
    const Bytes request = bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x01});
    EXPECT_EQ(pyrolink::crc16Modbus(request.data(), request.size()), 0x0A84);
    EXPECT_EQ(pyrolink::crc16Modbus(nullptr, 0), 0xFFFF);
}

TEST_F(ModbusScripted, ExactFramesAndReplyChecks) {
    short v[2] = {};
    script(peer, 8, {withCrc({0x01, 0x03, 0x04, 0x12, 0x34, 0xFF, 0xFE})});
    EXPECT_EQ((ints{ReadWRegMBus(1, 0, 2, v), v[0], v[1]}), (ints{1, 0x1234, -2}));
    EXPECT_EQ(sent(), withCrc({0x01, 0x03, 0x00, 0x00, 0x00, 0x02}));
    // A slave claiming 250 data bytes for one register: one value is stored.
    v[1] = 0x7777;
    script(peer, 8, {withCrc({0x01, 0x03, 0xFA, 0x12, 0x34})});
    EXPECT_EQ((ints{ReadWRegMBus(1, 0, 1, v), v[0], v[1]}), (ints{1, 0x1234, 0x7777}));
    EXPECT_EQ(sent(), bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}));

    // Noise and another slave's answer are skipped; but the first matching position decides: a
    // corrupted frame is not rescued by a later good one, and the exchange is tried three times.
    const Bytes mine = withCrc({0x05, 0x03, 0x02, 0x22, 0x22}),
                request = withCrc({0x05, 0x03, 0x00, 0x10, 0x00, 0x01});
    Bytes bad = mine;
    bad[4] ^= 0x01;
    bad = cat(bad, mine);
    script(peer, 8,
           {cat(cat(bytes({0x00, 0x55}), withCrc({0x02, 0x03, 0x02, 0x11, 0x11})), mine), bad, bad, bad});
    EXPECT_EQ((ints{ReadWRegMBus(5, 0x10, 1, v), v[0]}), (ints{1, 0x2222}));
    v[0] = 0;
    EXPECT_EQ((ints{ReadWRegMBus(5, 0x10, 1, v), v[0]}), (ints{0, 0}));
    EXPECT_EQ(sent(), cat(cat(request, request), cat(request, request)));

    // A broadcast accepts any slave.
    script(peer, 8, {withCrc({0x01, 0x03, 0x02, 0x00, 0x01}), withCrc({0x09, 0x03, 0x02, 0xAB, 0xCD})});
    EXPECT_EQ((ints{ReadWRegMBus(0, 0, 1, v), v[0], ReadWRegMBus(0, 0, 1, v), v[0]}),
              (ints{1, 1, 1, short(0xABCD)}));

    EXPECT_EQ(sent().size(), 16u);

    // A write checks the echo.
    const Bytes write = withCrc({0x11, 0x10, 0x00, 0x01, 0x00, 0x02, 0x04, 0x00, 0x0A, 0x01, 0x02});
    script(peer, 13,
           {bytes({0x11, 0x10, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00}),
            withCrc({0x11, 0x10, 0x00, 0x01, 0x00, 0x02})});
    v[0] = 0x000A;
    v[1] = 0x0102;
    EXPECT_EQ(WriteWRegMBus(0x11, 1, 2, v), 1);
    EXPECT_EQ(sent(), cat(write, write));

    // Counts beyond one frame or below one are refused without traffic.
    std::vector<short> many(200, 0);
    EXPECT_EQ((ints{ReadWRegMBus(1, 0, 126, many.data()), ReadWRegMBus(1, 0, 0, many.data()),
                    ReadWRegMBus(1, 0, -1, many.data()), WriteWRegMBus(1, 0, 124, many.data()),
                    WriteWRegMBus(1, 0, 0, many.data())}),
              (ints{0, 0, 0, 0, 0}));
    EXPECT_TRUE(peer.readUntilQuiet(50ms, 200ms).empty());
}

TEST(ModbusClosed, NothingWithoutAnOpenPort) {
    short value = 0;
    EXPECT_EQ(ReadWRegMBus(1, 0, 1, &value), 0);
    EXPECT_EQ(WriteWRegMBus(1, 0, 1, &value), 0);
}

// ---- Against a third-party slave ---------------------------------------------------------------

class ModbusThirdParty : public ::testing::Test {
protected:
    void SetUp() override {
        // A missing peer fails by name: a skipped case would hide a missing install step. The
        // system's Python comes first: it has Debian's Modbus packages.
        std::string py = "python3";
        for (const char *candidate : {"/usr/local/bin/python3", "/usr/bin/python3"})
            if (access(candidate, X_OK) == 0) py = candidate;
        const auto commandOk = [](const std::string &command) {
            return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
        };
        if (!commandOk(py + " -c 'import pymodbus, serial, serial_asyncio'"))
            GTEST_FAIL() << "the Modbus slave needs " << py << " with pymodbus, serial and serial_asyncio "
                         << "(python3-pymodbus, python3-serial, python3-serial-asyncio)";
        if (!commandOk("command -v socat"))
            GTEST_FAIL() << "socat, which joins the Modbus slave by a pty pair, is not installed";

        char templ[] = "/tmp/pyrolink-modbus-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir = templ;
        const std::string ours = dir + "/ours", theirs = dir + "/theirs";
        socat = std::make_unique<ChildProcess>(
            "socat",
            std::vector<std::string>{"pty,raw,echo=0,link=" + ours, "pty,raw,echo=0,link=" + theirs});
        for (int i = 0; i < 500 && !(std::filesystem::exists(ours) && std::filesystem::exists(theirs)); ++i)
            std::this_thread::sleep_for(20ms);
        ASSERT_TRUE(std::filesystem::exists(theirs));
        slave = std::make_unique<ChildProcess>(py, std::vector<std::string>{MODBUS_SLAVE_SCRIPT, theirs});
        // Imports take a moment on a loaded machine.
        ASSERT_EQ(slave->outputLine(20s).value_or(""), "ready")
            << "the Modbus slave did not start: " << slave->errorText();
        setenv("PYROLINK_COM1", ours.c_str(), 1);
        ASSERT_EQ(OpenComm(0, 19200, 0, 500, 0, 50), 0);
    }

    void TearDown() override {
        CloseComm();
        slave.reset();
        socat.reset();
        if (!dir.empty()) std::filesystem::remove_all(dir);
    }

    std::string dir;
    std::unique_ptr<ChildProcess> socat, slave;
};

TEST_F(ModbusThirdParty, ReadAndWriteRoundTrips) {
    short values[125] = {};
    ASSERT_EQ(ReadWRegMBus(1, 0, 3, values), 1);
    EXPECT_EQ(std::vector<short>(values, values + 3), std::vector<short>({1000, 1001, 1002}));
    short written[4] = {-1, 0x1234, 0, 32767};
    ASSERT_EQ(WriteWRegMBus(1, 10, 4, written), 1);
    short back[4] = {};
    ASSERT_EQ(ReadWRegMBus(1, 10, 4, back), 1);
    EXPECT_EQ(std::vector<short>(back, back + 4), std::vector<short>(written, written + 4));
    // The largest single read the protocol allows; the slave holds 100 registers.
    ASSERT_EQ(ReadWRegMBus(1, 0, 100, values), 1);
    EXPECT_EQ(values[99], 1099);
    EXPECT_EQ(values[10], -1);
}

TEST_F(ModbusThirdParty, ExceptionRepliesFailAndOnlyTheAddressedSlaveAnswers) {
    short values[20] = {};
    // Beyond slave 2's ten registers: the slave answers with an exception (function 0x83).
    EXPECT_EQ(ReadWRegMBus(2, 5, 20, values), 0);
    EXPECT_EQ(WriteWRegMBus(2, 9, 5, values), 0);
    // The link keeps working afterwards.
    ASSERT_EQ(ReadWRegMBus(2, 0, 2, values), 1);
    EXPECT_EQ(values[0], 2000);
    short value = 0;
    ASSERT_EQ(ReadWRegMBus(2, 3, 1, &value), 1);
    EXPECT_EQ(value, 2003);
    ASSERT_EQ(ReadWRegMBus(1, 3, 1, &value), 1);
    EXPECT_EQ(value, 1003);
    value = 0;
    EXPECT_EQ(ReadWRegMBus(7, 3, 1, &value), 0); // no such slave: silence
    EXPECT_EQ(value, 0);
}
