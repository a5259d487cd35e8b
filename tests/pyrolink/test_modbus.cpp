// Modbus RTU holding registers: CRC-16/MODBUS check values, exact frames and reply scanning against
// a scripted peer, and round trips against a third-party slave (pymodbus) on a pty pair.
#include "crc16_modbus.h"
#include "link_fixture.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace linktest;

namespace {

Bytes withCrc(Bytes frame) {
    const std::uint16_t crc = pyrolink::crc16Modbus(frame.data(), frame.size());
    frame.push_back(std::uint8_t(crc));
    frame.push_back(std::uint8_t(crc >> 8));
    return frame;
}

} // namespace

TEST(Crc16Modbus, PublishedCheckValues) {
    const char *check = "123456789";
    EXPECT_EQ(pyrolink::crc16Modbus(reinterpret_cast<const std::uint8_t *>(check), 9), 0x4B37);
    const Bytes request = bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x01});
    EXPECT_EQ(pyrolink::crc16Modbus(request.data(), request.size()), 0x0A84);
    EXPECT_EQ(pyrolink::crc16Modbus(nullptr, 0), 0xFFFF);
}

class ModbusScripted : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        ASSERT_EQ(OpenComm(0, 19200, 0, 200, 0, 20), 0);
    }
};

TEST_F(ModbusScripted, ReadSendsExactFrameAndTakesBigEndianValues) {
    script(peer, 8, {withCrc(bytes({0x01, 0x03, 0x04, 0x12, 0x34, 0xFF, 0xFE}))});
    short values[2] = {};
    EXPECT_EQ(ReadWRegMBus(1, 0, 2, values), 1);
    EXPECT_EQ(values[0], 0x1234);
    EXPECT_EQ(values[1], -2);
    peer.stop();
    EXPECT_EQ(peer.received(), withCrc(bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x02})));

    peer.clearReceived();
    script(peer, 8, {withCrc(bytes({0x01, 0x03, 0x02, 0x00, 0x07}))});
    EXPECT_EQ(ReadWRegMBus(1, 0, 1, values), 1);
    peer.stop();
    EXPECT_EQ(peer.received(), bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}));
}

TEST_F(ModbusScripted, ScanSkipsNoiseAndOtherSlavesButNotABadCrc) {
    // Noise and another slave's answer before ours: skipped.
    Bytes reply = bytes({0x00, 0x55});
    const Bytes other = withCrc(bytes({0x02, 0x03, 0x02, 0x11, 0x11}));
    const Bytes mine = withCrc(bytes({0x05, 0x03, 0x02, 0x22, 0x22}));
    reply.insert(reply.end(), other.begin(), other.end());
    reply.insert(reply.end(), mine.begin(), mine.end());
    script(peer, 8, {reply});
    short value = 0;
    EXPECT_EQ(ReadWRegMBus(5, 0x10, 1, &value), 1);
    EXPECT_EQ(value, 0x2222);
    peer.stop();

    // The first matching position decides: a corrupted frame is not rescued by a later good one,
    // and the exchange is tried three times.
    Bytes bad = mine;
    bad[4] ^= 0x01;
    bad.insert(bad.end(), mine.begin(), mine.end());
    peer.clearReceived();
    script(peer, 8, {bad, bad, bad});
    value = 0;
    EXPECT_EQ(ReadWRegMBus(5, 0x10, 1, &value), 0);
    EXPECT_EQ(value, 0);
    peer.stop();
    EXPECT_EQ(peer.received().size(), 24u);
}

TEST_F(ModbusScripted, BroadcastAcceptsAnySlave) {
    script(peer, 8,
           {withCrc(bytes({0x01, 0x03, 0x02, 0x00, 0x01})), withCrc(bytes({0x09, 0x03, 0x02, 0xAB, 0xCD}))});
    short value = 0;
    EXPECT_EQ(ReadWRegMBus(0, 0, 1, &value), 1);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(ReadWRegMBus(0, 0, 1, &value), 1);
    EXPECT_EQ(value, short(0xABCD));
}

TEST_F(ModbusScripted, WriteSendsExactFrameAndChecksTheEcho) {
    const Bytes echo = withCrc(bytes({0x11, 0x10, 0x00, 0x01, 0x00, 0x02}));
    script(peer, 13, {bytes({0x11, 0x10, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00}), echo});
    short values[2] = {0x000A, 0x0102};
    EXPECT_EQ(WriteWRegMBus(0x11, 1, 2, values), 1);
    peer.stop();
    const Bytes request = withCrc(bytes({0x11, 0x10, 0x00, 0x01, 0x00, 0x02, 0x04, 0x00, 0x0A, 0x01, 0x02}));
    Bytes twice = request;
    twice.insert(twice.end(), request.begin(), request.end());
    EXPECT_EQ(peer.received(), twice);
}

TEST_F(ModbusScripted, OversizedCountsAreRefusedWithoutTraffic) {
    std::vector<short> values(200, 0);
    EXPECT_EQ(ReadWRegMBus(1, 0, 126, values.data()), 0);
    EXPECT_EQ(ReadWRegMBus(1, 0, 0, values.data()), 0);
    EXPECT_EQ(ReadWRegMBus(1, 0, -1, values.data()), 0);
    EXPECT_EQ(WriteWRegMBus(1, 0, 124, values.data()), 0);
    EXPECT_EQ(WriteWRegMBus(1, 0, 0, values.data()), 0);
    EXPECT_TRUE(peer.readUntilQuiet(50ms, 200ms).empty());
}

TEST_F(ModbusScripted, ByteCountNeverCopiesPastTheRegistersAsked) {
    // A slave claiming 250 data bytes for a one-register read: only one value is stored.
    Bytes reply = bytes({0x01, 0x03, 0xFA, 0x12, 0x34});
    reply = withCrc(reply);
    script(peer, 8, {reply});
    short values[2] = {0, 0x7777};
    EXPECT_EQ(ReadWRegMBus(1, 0, 1, values), 1);
    EXPECT_EQ(values[0], 0x1234);
    EXPECT_EQ(values[1], 0x7777);
}

TEST(ModbusClosed, NothingWithoutAnOpenPort) {
    short value = 0;
    EXPECT_EQ(ReadWRegMBus(1, 0, 1, &value), 0);
    EXPECT_EQ(WriteWRegMBus(1, 0, 1, &value), 0);
}

// ---- Against a third-party slave ---------------------------------------------------------------

namespace {

std::string python() {
    for (const char *candidate : {"/usr/bin/python3", "/usr/local/bin/python3"})
        if (access(candidate, X_OK) == 0) return candidate;
    return "python3";
}

bool commandOk(const std::string &command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

pid_t spawn(const std::vector<std::string> &args, int stdoutFd) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (stdoutFd >= 0) dup2(stdoutFd, STDOUT_FILENO);
        std::vector<char *> argv;
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void terminate(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

} // namespace

class ModbusThirdParty : public ::testing::Test {
protected:
    void SetUp() override {
        // A missing peer fails by name: a skipped case would hide a missing install step.
        const std::string py = python();
        if (!commandOk(py + " -c 'import pymodbus, serial, serial_asyncio'"))
            GTEST_FAIL() << "the Modbus slave needs " << py << " with pymodbus, serial and serial_asyncio "
                         << "(python3-pymodbus, python3-serial, python3-serial-asyncio)";
        if (!commandOk("command -v socat"))
            GTEST_FAIL() << "socat, which joins the Modbus slave by a pty pair, is not installed";

        char templ[] = "/tmp/pyrolink-modbus-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir = templ;
        const std::string ours = dir + "/ours";
        const std::string theirs = dir + "/theirs";
        socat = spawn({"socat", "pty,raw,echo=0,link=" + ours, "pty,raw,echo=0,link=" + theirs}, -1);
        for (int i = 0; i < 100 && !(std::filesystem::exists(ours) && std::filesystem::exists(theirs)); ++i)
            std::this_thread::sleep_for(20ms);
        ASSERT_TRUE(std::filesystem::exists(theirs));

        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        slave =
            spawn({py, (std::filesystem::path(__FILE__).parent_path() / "modbus_slave.py").string(), theirs},
                  pipeFds[1]);
        close(pipeFds[1]);
        // Wait for "ready" (imports take a moment on a loaded machine).
        std::string out;
        pollfd p{pipeFds[0], POLLIN, 0};
        for (int waited = 0; out.find("ready") == std::string::npos && waited < 20000; waited += 100) {
            if (poll(&p, 1, 100) > 0) {
                char buf[64];
                const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
                if (n <= 0) break;
                out.append(buf, std::size_t(n));
            }
        }
        close(pipeFds[0]);
        ASSERT_NE(out.find("ready"), std::string::npos) << "the Modbus slave did not start";

        setenv("PYROLINK_COM1", ours.c_str(), 1);
        ASSERT_EQ(OpenComm(0, 19200, 0, 500, 0, 50), 0);
    }

    void TearDown() override {
        CloseComm();
        terminate(slave);
        terminate(socat);
        if (!dir.empty()) std::filesystem::remove_all(dir);
    }

    std::string dir;
    pid_t socat = -1;
    pid_t slave = -1;
};

TEST_F(ModbusThirdParty, ReadAndWriteRoundTrips) {
    short values[125] = {};
    ASSERT_EQ(ReadWRegMBus(1, 0, 3, values), 1);
    EXPECT_EQ(values[0], 1000);
    EXPECT_EQ(values[1], 1001);
    EXPECT_EQ(values[2], 1002);

    short written[4] = {-1, 0x1234, 0, 32767};
    ASSERT_EQ(WriteWRegMBus(1, 10, 4, written), 1);
    short back[4] = {};
    ASSERT_EQ(ReadWRegMBus(1, 10, 4, back), 1);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(back[i], written[i]) << i;

    // The largest single read the protocol allows; the slave holds 100 registers.
    ASSERT_EQ(ReadWRegMBus(1, 0, 100, values), 1);
    EXPECT_EQ(values[99], 1099);
    EXPECT_EQ(values[10], -1);
}

TEST_F(ModbusThirdParty, ExceptionRepliesFail) {
    short values[20] = {};
    // Beyond slave 2's ten registers: the slave answers with an exception (function 0x83).
    EXPECT_EQ(ReadWRegMBus(2, 5, 20, values), 0);
    EXPECT_EQ(WriteWRegMBus(2, 9, 5, values), 0);
    // The link keeps working afterwards.
    ASSERT_EQ(ReadWRegMBus(2, 0, 2, values), 1);
    EXPECT_EQ(values[0], 2000);
}

TEST_F(ModbusThirdParty, OnlyTheAddressedSlaveAnswers) {
    short value = 0;
    ASSERT_EQ(ReadWRegMBus(2, 3, 1, &value), 1);
    EXPECT_EQ(value, 2003);
    ASSERT_EQ(ReadWRegMBus(1, 3, 1, &value), 1);
    EXPECT_EQ(value, 1003);
    value = 0;
    EXPECT_EQ(ReadWRegMBus(7, 3, 1, &value), 0); // no such slave: silence
    EXPECT_EQ(value, 0);
}
