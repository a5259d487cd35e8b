// The proxy server between the link library and the simulated board: the library's own proxy
// transport over pyroproxy to stovesim on a pty, and the server's behaviour towards clients that
// vanish, come second, stay quiet, send garbage or oversize messages, or come from an address not
// allowed.
#include "pty_peer.h"
#include "pyrolink.h"
#include "simulator.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using hbsupport::ChildProcess;
using testsupport::Bytes;

namespace {

// The simulator on a pty and the proxy server serving it on a free port, which the library is
// pointed at.
class ProxyRig : public ::testing::Test {
protected:
    void start(std::vector<std::string> simArgs, std::vector<std::string> proxyArgs = {}) {
        simArgs.push_back("--no-pacing");
        sim = std::make_unique<hbsupport::Simulator>(simArgs, hbsupport::SimulatorOptions{.com = 0});
        const std::string pty = sim->path();
        ASSERT_FALSE(pty.empty()) << "the simulator did not start";
        proxyArgs.insert(proxyArgs.end(), {"--device", pty, "--port", "0"});
        proxy = std::make_unique<ChildProcess>(PYROPROXY_PATH, proxyArgs);
        const std::string line = proxy->waitForError(" on 127.0.0.1:").value_or("");
        ASSERT_FALSE(line.empty()) << proxy->errorText();
        port = std::stoi(line.substr(line.rfind(':') + 1));
        setenv("PYROLINK_PROXY_PORT", std::to_string(port).c_str(), 1);
        SetActiveComm(0);
        SetRemoteIP(127, 0, 0, 1);
    }
    void TearDown() override {
        CloseComm();
        SetRemoteIP(255, 255, 255, 255);
        unsetenv("PYROLINK_PROXY_PORT");
    }

    // One text command as the program sends it; the reply as it came, once `expected` bytes are
    // there or 2 s passed.
    std::string ask(const std::string &command, std::size_t expected) {
        ClearComm();
        if (!WriteComm(reinterpret_cast<const unsigned char *>(command.data()), int(command.size())))
            return "";
        std::string reply;
        const auto deadline = std::chrono::steady_clock::now() + 2s;
        while (reply.size() < expected && std::chrono::steady_clock::now() < deadline) {
            unsigned char buf[24];
            unsigned int got = 0;
            if (!ReadComm(buf, sizeof buf, &got)) break;
            reply.append(reinterpret_cast<char *>(buf), got);
        }
        return reply;
    }

    // A client of our own on the proxy port.
    int connectRaw() {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
        return fd;
    }
    static void sendRaw(int fd, const Bytes &b) { (void)!send(fd, b.data(), b.size(), MSG_NOSIGNAL); }
    // What the server sent until it closed the connection (nothing more after `timeout`).
    static std::string untilClosed(int fd, std::chrono::milliseconds timeout = 3s) {
        std::string text;
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, int(timeout.count())) <= 0) return text + "<open>";
            char buf[256];
            const ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0) return text;
            text.append(buf, std::size_t(n));
        }
    }

    std::unique_ptr<hbsupport::Simulator> sim;
    std::unique_ptr<ChildProcess> proxy;
    int port = 0;
};

const Bytes kOpen = {0x00, 0x00, 0x80, 0x25, 0, 0, 0x2C, 0x01, 0, 0, 0, 0, 0, 0, 0x14, 0, 0, 0};

TEST_F(ProxyRig, ModelAndParametersThroughTheProxy) {
    start({"--model", "water"});
    ASSERT_EQ(OpenComm(0, 9600, 0, 200, 2, 20), 0);
    EXPECT_EQ(ask("MODELLO\r", 23), "WATER      02.07240315\r");
    EXPECT_EQ(ask("READGENP01\r", 8), "P01=018\r");
    EXPECT_EQ(ask("WRGENP01020\r", 8), "P01=020\r");
    EXPECT_EQ(ask("READGENP01\r", 8), "P01=020\r");
    CloseComm();
    EXPECT_TRUE(proxy->waitForError("opened COM1 at 9600 baud, t1 200 t2 2 t3 20"));
    EXPECT_TRUE(proxy->waitForError("closed COM1"));
    EXPECT_EQ(proxy->stop(SIGTERM), 0);
    EXPECT_NE(proxy->errorText().find("stopping on a signal"), std::string::npos);
}

TEST_F(ProxyRig, BootLoaderFramesThroughTheProxy) {
    start({"--model", "basic", "--bootloader"});
    ASSERT_EQ(OpenComm(0, 9600, 0, 300, 0, 20), 0);
    // Three frames of 127, 127 and 46 bytes; flash programming only clears bits.
    unsigned char before[300], pattern[200], after[300];
    ASSERT_EQ(ReadBytes(1, 0x10000, 300, before), 1);
    for (int i = 0; i < 200; ++i)
        pattern[i] = static_cast<unsigned char>(0x5A ^ i);
    ASSERT_EQ(WriteBytesFlash(1, 0x10000, 200, pattern), 1);
    ASSERT_EQ(ReadBytes(1, 0x10000, 300, after), 1);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(after[i], i < 200 ? (before[i] & pattern[i]) : before[i]) << "at " << i;
}

TEST_F(ProxyRig, ClientsThatVanishLeaveTheServerReady) {
    start({"--model", "basic"});
    int fd = connectRaw(); // gone in the middle of a write request
    sendRaw(fd, kOpen);
    sendRaw(fd, {0x01, 0x00, 0x08, 0x00, 'M', 'O'});
    close(fd);
    EXPECT_TRUE(proxy->waitForError("connection closed")) << proxy->errorText();
    fd = connectRaw(); // gone while the server waits for the board
    sendRaw(fd, kOpen);
    sendRaw(fd, {0x02, 0x00});
    close(fd);
    ASSERT_EQ(OpenComm(0, 9600, 0, 200, 2, 20), 0) << proxy->errorText();
    EXPECT_EQ(ask("MODELLO\r", 23), "BASIC      02.07240315\r");
}

// A client at work keeps the slot however long it works: every newcomer meanwhile is told BUSY
// and closed. The refusals cost one log line and, when the period ends or the server stops, one
// line with their count.
TEST_F(ProxyRig, BusyClientKeepsTheSlotAndRefusalsAreLoggedOncePerPeriod) {
    start({"--model", "water"}, {"--idle-timeout", "2"});
    ASSERT_EQ(OpenComm(0, 9600, 0, 200, 2, 20), 0);
    int refused = 0;
    for (const auto end = std::chrono::steady_clock::now() + 4s; std::chrono::steady_clock::now() < end;) {
        ASSERT_EQ(ask("READGENP01\r", 8), "P01=018\r") << proxy->errorText();
        const int fd = connectRaw();
        ASSERT_EQ(untilClosed(fd), "BUSY pyroproxy is serving another client\n");
        close(fd);
        ++refused;
    }
    ASSERT_GE(refused, 2);
    EXPECT_EQ(proxy->stop(SIGTERM), 0);
    const std::string log = proxy->errorText();
    EXPECT_EQ(log.find("idle for"), std::string::npos) << log;
    std::size_t lines = 0;
    for (std::size_t at = log.find("refused 127.0.0.1:"); at != std::string::npos;
         at = log.find("refused 127.0.0.1:", at + 1))
        ++lines;
    EXPECT_EQ(lines, 1u) << log;
    EXPECT_NE(log.find(": busy with 127.0.0.1:"), std::string::npos);
    EXPECT_NE(log.find("refused " + std::to_string(refused - 1) +
                       " more connections in the last 10 s (the last "
                       "127.0.0.1:"),
              std::string::npos)
        << log;
}

// A connection that never opens a port is closed after the idle time on its own. A client with its
// port open may stay quiet while nobody else asks for the slot, and gives it up to the next client
// once it has been quiet that long; its own next request then fails.
TEST_F(ProxyRig, QuietClientsGiveUpTheSlot) {
    start({"--model", "water"}, {"--idle-timeout", "1"});
    int fd = connectRaw();
    EXPECT_EQ(untilClosed(fd, 10s), "");
    close(fd);
    EXPECT_TRUE(proxy->waitForError("sent nothing for ")) << proxy->errorText();

    ASSERT_EQ(OpenComm(0, 9600, 0, 200, 2, 20), 0) << proxy->errorText();
    std::this_thread::sleep_for(2500ms);
    EXPECT_EQ(ask("MODELLO\r", 23), "WATER      02.07240315\r");
    std::this_thread::sleep_for(1500ms);
    fd = connectRaw();
    sendRaw(fd, kOpen);
    EXPECT_EQ(untilClosed(fd, 1s), std::string("\x00\x00\x00", 3) + "<open>");
    EXPECT_TRUE(proxy->waitForError(", the slot goes to 127.0.0.1:")) << proxy->errorText();
    EXPECT_EQ(ask("MODELLO\r", 23), "");
    close(fd);
}

TEST_F(ProxyRig, GarbageAndOversizeMessagesCloseThatConnectionOnly) {
    start({"--model", "water"});
    int fd = connectRaw();
    sendRaw(fd, {0x7F, 0x00, 0x01});
    EXPECT_EQ(untilClosed(fd), "");
    close(fd);
    EXPECT_TRUE(proxy->waitForError("malformed message"));

    // A write announcing more than any client sends, followed by a stream of bytes: the server
    // stops at the header and holds no more memory than before.
    const long before = proxy->residentKiB();
    fd = connectRaw();
    sendRaw(fd, kOpen);
    Bytes flood(1 << 20, 0x41);
    flood[0] = 0x01, flood[1] = 0x00, flood[2] = 0xFF, flood[3] = 0xFF;
    for (int i = 0; i < 8; ++i)
        sendRaw(fd, flood);
    EXPECT_EQ(untilClosed(fd), std::string("\x00\x00\x00", 3));
    close(fd);
    EXPECT_TRUE(proxy->waitForError("oversize message"));
    EXPECT_LT(proxy->residentKiB() - before, 1024);

    ASSERT_EQ(OpenComm(0, 9600, 0, 200, 2, 20), 0);
    EXPECT_EQ(ask("MODELLO\r", 23), "WATER      02.07240315\r");
}

TEST_F(ProxyRig, AddressNotAllowedIsRefused) {
    start({"--model", "water"}, {"--allow", "127.0.0.2,10.0.0.0/8"});
    EXPECT_EQ(OpenComm(0, 9600, 0, 200, 2, 20), -3);
    EXPECT_TRUE(proxy->waitForError("refused 127.0.0.1:"));
    EXPECT_NE(proxy->errorText().find("address not allowed"), std::string::npos);
}

} // namespace
