// The stovesim program over real pseudo-terminals: start-up line, symlink, repeated opens of the
// slave, closed standard input, control channel, pacing, transcript, state file, flash dump, erase
// timing, faults, and clean shutdown.
#include "kit.h"
#include "pty_peer.h"
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using stovesim::test::frame;
using stovesim::test::scratch;

namespace {

// One running simulator with pipes on its standard input and output.
class Sim {
public:
    explicit Sim(std::vector<std::string> args, bool keepStdin = true) {
        const stovesim::test::Child child = stovesim::test::spawn(STOVESIM_PATH, std::move(args));
        if (child.pid < 0) throw std::runtime_error("cannot start the simulator");
        m_pid = child.pid;
        m_in = child.in;
        m_out = child.out;
        if (!keepStdin) closeStdin();
        path = line(5s).value_or("");
    }
    ~Sim() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_in >= 0) close(m_in);
        close(m_out);
    }
    void closeStdin() {
        close(m_in);
        m_in = -1;
    }
    std::optional<std::string> line(std::chrono::milliseconds timeout = 2s) {
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            if (auto nl = m_buffer.find('\n'); nl != std::string::npos) {
                std::string l = m_buffer.substr(0, nl);
                m_buffer.erase(0, nl + 1);
                return l;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return std::nullopt;
            pollfd p{m_out, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char buf[256];
            const ssize_t n = read(m_out, buf, sizeof buf);
            if (n <= 0) return std::nullopt;
            m_buffer.append(buf, static_cast<std::size_t>(n));
        }
    }
    std::optional<std::string> control(const std::string &command) {
        const std::string l = command + "\n";
        if (write(m_in, l.data(), l.size()) != static_cast<ssize_t>(l.size())) return std::nullopt;
        return line();
    }
    // Waits for the process to end; its exit status, or -1 on time-out.
    int wait(std::chrono::milliseconds timeout = 5s) {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }
    void signal(int sig) { kill(m_pid, sig); }

    std::string path;

private:
    pid_t m_pid = -1;
    int m_in = -1, m_out = -1;
    std::string m_buffer;
};

// The client side, as the link library uses it: open the slave, raw mode, write, read.
class Port {
public:
    explicit Port(const std::string &path) {
        m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd >= 0) {
            termios tio{};
            tcgetattr(m_fd, &tio);
            cfmakeraw(&tio);
            tcsetattr(m_fd, TCSANOW, &tio);
            tcflush(m_fd, TCIFLUSH);
        }
    }
    ~Port() {
        if (m_fd >= 0) close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }
    void send(const Bytes &b) { ASSERT_EQ(write(m_fd, b.data(), b.size()), static_cast<ssize_t>(b.size())); }
    void send(const std::string &s) { send(Bytes(s.begin(), s.end())); }
    // Reads until `count` bytes came or `timeout` passed.
    Bytes read(std::size_t count, std::chrono::milliseconds timeout = 1s) {
        Bytes out;
        const auto deadline = Clock::now() + timeout;
        while (out.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) break;
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            std::uint8_t buf[512];
            const ssize_t n = ::read(m_fd, buf, std::min(sizeof buf, count - out.size()));
            if (n > 0) out.insert(out.end(), buf, buf + n);
        }
        return out;
    }
    std::string ask(const std::string &request, std::size_t expected,
                    std::chrono::milliseconds timeout = 1s) {
        send(request);
        Bytes r = read(expected, timeout);
        return std::string(r.begin(), r.end());
    }

private:
    int m_fd = -1;
};

} // namespace

TEST(Program, PrintsTheSlavePathFirstAndSurvivesRepeatedOpens) {
    Sim sim({"--model", "water", "--no-pacing"});
    ASSERT_EQ(sim.path.rfind("/dev/pts/", 0), 0u) << sim.path;
    for (int i = 0; i < 20; ++i) {
        Port port(sim.path);
        ASSERT_TRUE(port.ok());
        EXPECT_EQ(port.ask("MODELLO\r", 23), "WATER      02.07240315\r") << "open " << i;
    }
}

TEST(Program, KeepsRunningWithStandardInputClosed) {
    Sim sim({"--model", "basic", "--no-pacing"}, false);
    std::this_thread::sleep_for(200ms);
    Port port(sim.path);
    EXPECT_EQ(port.ask("READGENP01\r", 8), "P01=018\r");
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.wait(), 0);
}

TEST(Program, SymlinkMadeAndRemoved) {
    const auto link = scratch("board");
    Sim sim({"--model", "air - ducted", "--no-pacing", "--link", link.string()});
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.path);
    Port port(link.string());
    EXPECT_EQ(port.ask("MODELLO\r", 23).substr(0, 10), "AIR-DUCT  ");
    sim.signal(SIGINT);
    EXPECT_EQ(sim.wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(Program, ControlChannel) {
    Sim sim({"--model", "basic", "--no-pacing"});
    EXPECT_EQ(sim.control("status").value_or("").rfind("ok mode normal model basic", 0), 0u);
    EXPECT_EQ(sim.control("alarm 3"), "ok alarm 3");
    Port port(sim.path);
    EXPECT_EQ(port.ask("DEBUG06\r", 12), "06003000000\r");
    EXPECT_EQ(sim.control("set gen 1 42"), "ok gen 1 42");
    EXPECT_EQ(port.ask("READGENP01\r", 8), "P01=042\r");
    EXPECT_EQ(sim.control("bootloader"), "ok bootloader mode");
    EXPECT_EQ(port.ask("MODELLO\r", 23, 300ms), "");
    EXPECT_EQ(sim.control("normal"), "ok normal mode");
    EXPECT_EQ(port.ask("READGENP01\r", 8), "P01=018\r"); // the unsaved change went with the reboot
    EXPECT_EQ(sim.control("quit"), "ok bye");
    EXPECT_EQ(sim.wait(), 0);
}

TEST(Program, UnknownOptionsAreRefused) {
    Sim bad({"--model", "pellet"});
    EXPECT_EQ(bad.wait(), 2);
    Sim worse({"--drop", "2"});
    EXPECT_EQ(worse.wait(), 2);
}

TEST(Program, PacingAtWireSpeed) {
    Sim paced({"--model", "water", "--baud", "9600"});
    Port port(paced.path);
    auto start = Clock::now();
    EXPECT_EQ(port.ask("MODELLO\r", 23).size(), 23u);
    // 23 bytes of 10 bits at 9600 baud take 24 ms on the wire.
    EXPECT_GE(Clock::now() - start, 20ms);
}

TEST(Program, TranscriptHasOneLinePerRequestAndReply) {
    const auto log = scratch("transcript.log");
    {
        Sim sim({"--model", "water", "--no-pacing", "--log", log.string()});
        Port port(sim.path);
        port.ask("MODELLO\r", 23);
        port.ask("DEBUG09\r", 12, 200ms);
        sim.signal(SIGTERM);
        EXPECT_EQ(sim.wait(), 0);
    }
    std::ifstream in(log);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(12), " RX MODELLO\\r");
    EXPECT_EQ(lines[1].substr(12), " TX WATER      02.07240315\\r");
    EXPECT_EQ(lines[2].substr(12), " RX DEBUG09\\r");
    EXPECT_EQ(lines[3].substr(12), " TX (none)");
    EXPECT_EQ(lines[0][2], ':');
}

TEST(Program, StateFileKeepsStoredParametersAcrossRuns) {
    const auto state = scratch("state.txt");
    {
        Sim sim({"--model", "water", "--no-pacing", "--state", state.string()});
        Port port(sim.path);
        EXPECT_EQ(port.ask("WRBANP02222\r", 8), "P02=222\r");
        EXPECT_EQ(port.ask("WRGENP03060\r", 8), "P03=060\r");
        EXPECT_EQ(port.ask("SAVEPAR\r", 8), "SAVEPAR\r");
        sim.signal(SIGTERM);
        EXPECT_EQ(sim.wait(), 0);
    }
    Sim again({"--model", "water", "--no-pacing", "--state", state.string()});
    Port port(again.path);
    EXPECT_EQ(port.ask("READGENP03\r", 8), "P03=060\r");
}

TEST(Program, BootLoaderEraseTimingAndFlashDump) {
    const auto dump = scratch("flash.bin");
    {
        Sim sim({"--model", "basic", "--bootloader", "--no-pacing", "--dump-flash", dump.string()});
        Port port(sim.path);
        port.send(frame(0x05, 0, 2, {0x00, 0x00}));
        const auto start = Clock::now();
        const Bytes reply = port.read(11, 4s);
        const auto took = Clock::now() - start;
        ASSERT_EQ(reply.size(), 11u);
        EXPECT_EQ(reply[4], 0x05);
        EXPECT_GE(took, 1s);
        EXPECT_LE(took, 3s + 200ms);
        port.send(frame(0x04, 0x41F8, 4, {0xDE, 0xAD, 0xBE, 0xEF}));
        EXPECT_EQ(port.read(11).size(), 11u);
        port.send(frame(0x00, 0x41F8, 4));
        const Bytes data = port.read(16);
        ASSERT_EQ(data.size(), 16u);
        EXPECT_EQ(Bytes(data.begin() + 11, data.begin() + 15), Bytes({0xDE, 0xAD, 0xBE, 0xEF}));
        EXPECT_EQ(sim.control("quit"), "ok bye");
        EXPECT_EQ(sim.wait(), 0);
    }
    std::ifstream in(dump, std::ios::binary);
    std::vector<char> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(image.size(), 0x100000u);
    EXPECT_EQ(static_cast<std::uint8_t>(image[0x41F8]), 0xDE);
    EXPECT_EQ(static_cast<std::uint8_t>(image[0x41FB]), 0xEF);
    EXPECT_EQ(static_cast<std::uint8_t>(image[0x41FC]), 0xFF);
}

TEST(Program, BasicSwitchesToTheBootLoaderByParameter) {
    Sim sim({"--model", "basic", "--no-pacing"});
    Port port(sim.path);
    EXPECT_EQ(port.ask("WRTECP08250\r", 8), "P08=250\r");
    EXPECT_EQ(port.ask("SAVEPAR\r", 8), "SAVEPAR\r");
    port.send(frame(0x00, 0x41F8, 32));
    EXPECT_EQ(port.read(44).size(), 44u);
}

TEST(Program, FaultsFromTheCommandLine) {
    Sim sim({"--model", "water", "--no-pacing", "--silent-after", "2", "--drop", "1", "--only", "DEBUG"});
    Port port(sim.path);
    EXPECT_EQ(port.ask("DEBUG01\r", 12, 200ms), ""); // dropped
    EXPECT_EQ(port.ask("MODELLO\r", 23).size(), 23u);
    EXPECT_EQ(port.ask("READGENP01\r", 8, 300ms), ""); // silent after two answers
    Sim delayed({"--model", "water", "--no-pacing", "--delay", "150"});
    Port slow(delayed.path);
    slow.send(std::string("MODELLO\r"));
    EXPECT_EQ(slow.read(23, 100ms).size(), 0u);
    EXPECT_EQ(slow.read(23, 1s).size(), 23u);
}

TEST(Program, ServesAnExistingSerialDevice) {
    // A pty pair stands in for the null-modem cable: stovesim opens the slave as its device, the
    // test is the far end on the master.
    testsupport::PtyPeer cable;
    Sim sim({"--model", "basic", "--device", cable.slavePath(), "--baud", "19200"});
    EXPECT_EQ(sim.path, cable.slavePath());
    cable.write(std::string("MODELLO\r"));
    const auto reply = cable.read(23, 2000ms);
    EXPECT_EQ(std::string(reply.begin(), reply.end()), "BASIC      02.07240315\r");
    // The far end goes away: the simulator ends with an error instead of spinning.
    cable.hangUp();
    EXPECT_EQ(sim.wait(), 1);
}
