// The stovesim program over real pseudo-terminals: start-up line, symlink, repeated opens of the
// slave, empty standard input, pacing, transcript, state file, flash dump, erase timing, faults,
// and clean shutdown. (The control channel on standard input is what the page tests drive the
// simulator with.)
#include "kit.h"
#include "pty_peer.h"
#include "simulator.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <thread>

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using stovesim::test::frame;
using stovesim::test::scratch;

namespace {

int msLeft(Clock::time_point deadline) {
    return int(std::max<long long>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
}

using Sim = hbsupport::Simulator;

// The client side, as the link library uses it: open the slave, raw mode, write, read.
class Port {
public:
    explicit Port(const std::string &path) : m_fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        termios tio{};
        tcgetattr(m_fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(m_fd, TCSANOW, &tio);
        tcflush(m_fd, TCIFLUSH);
    }
    ~Port() {
        if (m_fd >= 0) close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }
    void send(const Bytes &b) { ASSERT_EQ(write(m_fd, b.data(), b.size()), ssize_t(b.size())); }
    // Reads until `count` bytes came or `timeout` passed.
    Bytes read(std::size_t count, std::chrono::milliseconds timeout = 1s) {
        Bytes out;
        for (const auto deadline = Clock::now() + timeout; out.size() < count && msLeft(deadline) > 0;) {
            pollfd p{m_fd, POLLIN, 0};
            std::uint8_t buf[512];
            const ssize_t n = poll(&p, 1, msLeft(deadline)) > 0
                                  ? ::read(m_fd, buf, std::min(sizeof buf, count - out.size()))
                                  : 0;
            if (n > 0) out.insert(out.end(), buf, buf + n);
        }
        return out;
    }
    std::string ask(const std::string &request, std::size_t expected,
                    std::chrono::milliseconds timeout = 1s) {
        send(Bytes(request.begin(), request.end()));
        const Bytes r = read(expected, timeout);
        return std::string(r.begin(), r.end());
    }

private:
    int m_fd;
};

} // namespace

TEST(Program, PrintsTheSlavePathMakesTheLinkAndSurvivesRepeatedOpensWithEmptyStdin) {
    const auto link = scratch("board");
    Sim sim({"--model", "air - ducted", "--no-pacing", "--link", link.string()});
    ASSERT_EQ(sim.path().rfind("/dev/pts/", 0), 0u) << sim.path();
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.path());
    sim.closeControl();
    std::this_thread::sleep_for(200ms); // the closed standard input has been seen
    for (int i = 0; i < 20; ++i) {
        Port port(link.string());
        ASSERT_TRUE(port.ok());
        EXPECT_EQ(port.ask("MODELLO\r", 23), "AIR-DUCT   02.07240315\r") << "open " << i;
    }
    EXPECT_EQ(sim.stop(SIGINT), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(Program, UnknownOptionsAreRefused) {
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"--model", "pellet"}, {"--drop", "2"}})
        EXPECT_EQ(Sim(args).stop(0), 2); // signal 0: just wait
}

TEST(Program, PacingAtWireSpeed) {
    Sim paced({"--model", "water", "--baud", "9600"});
    Port port(paced.path());
    const auto start = Clock::now();
    EXPECT_EQ(port.ask("MODELLO\r", 23).size(), 23u);
    // 23 bytes of 10 bits at 9600 baud take 24 ms on the wire.
    EXPECT_GE(Clock::now() - start, 20ms);
}

TEST(Program, TranscriptHasOneLinePerRequestAndReply) {
    const auto log = scratch("transcript.log");
    {
        Sim sim({"--model", "water", "--no-pacing", "--log", log.string()});
        Port port(sim.path());
        port.ask("MODELLO\r", 23);
        port.ask("DEBUG09\r", 12, 200ms);
        EXPECT_EQ(sim.stop(SIGTERM), 0);
    }
    std::ifstream in(log);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l.substr(l.size() > 12 && l[2] == ':' ? 12 : 0));
    EXPECT_EQ(lines, (std::vector<std::string>{" RX MODELLO\\r", " TX WATER      02.07240315\\r",
                                               " RX DEBUG09\\r", " TX (none)"}));
}

TEST(Program, StateFileKeepsStoredParametersAcrossRuns) {
    const auto state = scratch("state.txt");
    {
        Sim sim({"--model", "water", "--no-pacing", "--state", state.string()});
        Port port(sim.path());
        EXPECT_EQ(port.ask("WRBANP02222\r", 8), "P02=222\r");
        EXPECT_EQ(port.ask("WRGENP03060\r", 8), "P03=060\r");
        EXPECT_EQ(port.ask("SAVEPAR\r", 8), "SAVEPAR\r");
        EXPECT_EQ(sim.stop(SIGTERM), 0);
    }
    Sim again({"--model", "water", "--no-pacing", "--state", state.string()});
    EXPECT_EQ(Port(again.path()).ask("READGENP03\r", 8), "P03=060\r");
}

TEST(Program, BootLoaderEraseTimingAndFlashDump) {
    const auto dump = scratch("flash.bin");
    {
        Sim sim({"--model", "basic", "--bootloader", "--no-pacing", "--dump-flash", dump.string()});
        Port port(sim.path());
        const auto start = Clock::now();
        port.send(frame(0x05, 0, 2, {0x00, 0x00}));
        const Bytes reply = port.read(11, 4s);
        const auto took = Clock::now() - start;
        ASSERT_EQ(reply.size(), 11u);
        EXPECT_EQ(reply[4], 0x05);
        EXPECT_GE(took, 1s);
        EXPECT_LE(took, 3s + 500ms);
        port.send(frame(0x04, 0x41F8, 4, {0xDE, 0xAD, 0xBE, 0xEF}));
        EXPECT_EQ(port.read(11).size(), 11u);
        EXPECT_EQ(sim.stop(SIGTERM), 0);
    }
    std::ifstream in(dump, std::ios::binary);
    const Bytes image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(image.size(), 0x100000u);
    EXPECT_EQ(Bytes(image.begin() + 0x41F8, image.begin() + 0x41FD), Bytes({0xDE, 0xAD, 0xBE, 0xEF, 0xFF}));
}

TEST(Program, FaultsFromTheCommandLine) {
    Sim sim({"--model", "water", "--no-pacing", "--silent-after", "2", "--drop", "1", "--only", "DEBUG"});
    Port port(sim.path());
    EXPECT_EQ(port.ask("DEBUG01\r", 12, 200ms), ""); // dropped
    EXPECT_EQ(port.ask("MODELLO\r", 23).size(), 23u);
    EXPECT_EQ(port.ask("READGENP01\r", 8, 300ms), ""); // silent after two answers
    // A lost request is one the board never carried out: no answer, and the parameter keeps its value.
    Sim losing({"--model", "water", "--no-pacing", "--lose", "1", "--only", "WRGENP"});
    Port lossy(losing.path());
    EXPECT_EQ(lossy.ask("WRGENP01020\r", 8, 300ms), "");
    EXPECT_EQ(lossy.ask("READGENP01\r", 8), "P01=018\r");
    Sim delayed({"--model", "water", "--no-pacing", "--delay", "150"});
    Port slow(delayed.path());
    slow.send(Bytes{'M', 'O', 'D', 'E', 'L', 'L', 'O', '\r'});
    EXPECT_EQ(slow.read(23, 100ms).size(), 0u);
    EXPECT_EQ(slow.read(23, 1s).size(), 23u);
}

TEST(Program, ServesAnExistingSerialDevice) {
    // A pty pair stands in for the null-modem cable: stovesim opens the slave as its device, the
    // test is the far end on the master.
    testsupport::PtyPeer cable;
    Sim sim({"--model", "basic", "--device", cable.slavePath(), "--baud", "19200"});
    EXPECT_EQ(sim.path(), cable.slavePath());
    cable.write(std::string("MODELLO\r"));
    const auto reply = cable.read(23, 2000ms);
    EXPECT_EQ(std::string(reply.begin(), reply.end()), "BASIC      02.07240315\r");
    // The far end goes away: the simulator ends with an error instead of spinning.
    cable.hangUp();
    EXPECT_EQ(sim.stop(0), 1);
}
