// The link over the TCP proxy, against a scripted proxy on 127.0.0.1:1996.
#include "link_fixture.h"
#include "tcp_peer.h"

#include <arpa/inet.h>
#include <future>
#include <netinet/in.h>
#include <sys/socket.h>

using namespace linktest;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

const Bytes kOpened = bytes({0x00, 0x02, 0x00}); // the answer to an open of port 2

Bytes readReply(int index, const Bytes &data) {
    return cat(bytes({0x02, index, 0x00, int(data.size() & 0xFF), int(data.size() >> 8)}), data);
}

class ProxyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(proxy.listening()) << "port 1996 is taken";
        SetActiveComm(2);
        SetRemoteIP(127, 0, 0, 1);
    }
    void TearDown() override {
        proxy.stop();
        auto closer = std::async(std::launch::async, [&] {
            if (!proxy.read(2, 1000ms).empty()) proxy.write(bytes({0x03}));
        });
        CloseComm();
        closer.get();
        SetRemoteIP(255, 255, 255, 255);
        DoDebug(0);
    }
    // Answers each message of the library (open, write, read, close) with the next reply.
    void script(std::vector<Bytes> replies) {
        proxy.serve(
            [replies = std::move(replies), next = std::size_t(0)](TcpPeer &p, Bytes &pending) mutable {
                for (;;) {
                    const std::size_t size = pending.empty()      ? 0
                                             : pending[0] == 0x00 ? 18
                                             : pending[0] != 0x01 ? 2
                                             : pending.size() < 4 ? 0
                                                                  : 4u + (pending[2] | (pending[3] << 8));
                    if (size == 0 || pending.size() < size) return;
                    pending.erase(pending.begin(), pending.begin() + long(size));
                    if (next < replies.size()) p.write(replies[next++]);
                }
            });
    }
    // Stops the scripted proxy and returns (as hex) what the library sent it.
    std::string sent() {
        proxy.stop();
        return hex(proxy.received());
    }
    void openThroughProxy() {
        script({kOpened});
        ASSERT_EQ(OpenComm(2, 19200, 0, 100, 0, 20), 0);
        proxy.stop();
    }
    TcpPeer proxy;
};

// A proxy open that cannot connect, with diagnostics on: what was shown.
std::string failedConnectDiagnostics() {
    SetActiveComm(2);
    SetRemoteIP(127, 0, 0, 1);
    DoDebug(1);
    CaptureStderr();
    EXPECT_EQ(OpenComm(2, 9600, 0, 100, 0, 20), -10004);
    const std::string text = GetCapturedStderr();
    DoDebug(0);
    SetRemoteIP(255, 255, 255, 255);
    return text;
}

} // namespace

TEST_F(ProxyTest, OpenSendsEighteenBytesLittleEndian) {
    script({kOpened});
    EXPECT_EQ(OpenComm(2, 19200, 0, 100, 0, 20), 0);
    EXPECT_EQ(sent(), "00 02 00 4B 00 00 64 00 00 00 00 00 00 00 14 00 00 00");
    EXPECT_EQ(proxy.connections(), 1);
}

TEST_F(ProxyTest, NegativeTimeoutsAreSignExtendedAndFurtherAnswerBytesIgnored) {
    script({bytes({0x00, 0x05, 0x00, 0x99})});
    EXPECT_EQ(OpenComm(5, 9600, 1, 300, 2, -1), 0);
    EXPECT_EQ(sent(), "00 05 80 25 00 00 2C 01 00 00 02 00 00 00 FF FF FF FF");
}

TEST_F(ProxyTest, WrongOpenAnswerDropsTheConnection) {
    script({bytes({0x00, 0x02, 0x01}), kOpened});
    EXPECT_EQ(OpenComm(2, 9600, 0, 100, 0, 20), -3);
    const unsigned char b = 1;
    EXPECT_EQ(WriteComm(&b, 1), 0);
    EXPECT_EQ(OpenComm(2, 9600, 0, 100, 0, 20), 0); // a fresh connection, not "already connected"
    EXPECT_EQ(proxy.connections(), 2);
}

TEST_F(ProxyTest, OpenWhileConnectedFailsAndCloseRecovers) {
    script({kOpened, kOpened});
    EXPECT_EQ(OpenComm(2, 9600, 0, 100, 0, 20), 0);
    EXPECT_EQ(OpenComm(2, 9600, 0, 100, 0, 20), -10006);
    CloseComm(); // the failed open cleared the open flag; closing still drops the connection
    // A bad port number connects first and keeps the connection up.
    EXPECT_EQ(OpenComm(16, 9600, 0, 100, 0, 20), -1);
    EXPECT_EQ(OpenComm(2, 9600, 0, 100, 0, 20), -10006);
    CloseComm();
    EXPECT_EQ(OpenComm(2, 9600, 0, 100, 0, 20), 0);
    EXPECT_EQ(proxy.connections(), 3);
    proxy.stop();
    EXPECT_EQ(proxy.received().size(), 2 * 18u); // two open requests, no close request
}

// Nothing listens on 1996 outside the fixture.
TEST(ProxyUnreachable, ReportsConnectErrorWhenDebugging) {
    const std::string text = failedConnectDiagnostics();
    EXPECT_NE(text.find("PyroLink: connect() Error 111\n"), std::string::npos) << text; // refused
    EXPECT_NE(text.find("PyroLink: ProxyOpenComm OpenProxy() error"), std::string::npos) << text;
}

// A listener whose queue is already full never answers a further connection attempt: the
// diagnostic names the time-out, not the success of the wait that ended it.
TEST(ProxyUnreachable, ReportsConnectTimeoutWhenDebugging) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr *>(&a), size), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    getsockname(listener, reinterpret_cast<sockaddr *>(&a), &size);
    int fillers[3];
    for (int &fd : fillers) {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    }
    std::this_thread::sleep_for(100ms);
    setenv("PYROLINK_PROXY_PORT", std::to_string(ntohs(a.sin_port)).c_str(), 1);
    const std::string text = failedConnectDiagnostics();
    unsetenv("PYROLINK_PROXY_PORT");
    for (int fd : fillers)
        close(fd);
    close(listener);
    EXPECT_NE(text.find("PyroLink: connect() Error 110\n"), std::string::npos) << text;
}

TEST_F(ProxyTest, AllOnesAddressIsTheSerialDevice) {
    SetRemoteIP(255, 255, 255, 255);
    PtyPeer peer;
    peer.bindCom(3);
    EXPECT_EQ(OpenComm(2, 9600, 0, 100, 0, 20), 0);
    const unsigned char b = 0x42;
    EXPECT_EQ(WriteComm(&b, 1), 1);
    EXPECT_EQ(peer.read(1), bytes({0x42}));
    CloseComm();
    setenv("PYROLINK_COM3", "/nonexistent/tty", 1);
    EXPECT_EQ(OpenComm(2, 9600, 0, 100, 0, 20), -3);
    unsetenv("PYROLINK_COM3");
    EXPECT_FALSE(proxy.accept(100ms));
}

TEST_F(ProxyTest, WriteSendsCountAndDataAndChecksTheEchoedCount) {
    script({kOpened, bytes({0x01, 0x02, 0x00, 0x08, 0x00}), bytes({0x01, 0x02, 0x00, 0x01, 0x00})});
    ASSERT_EQ(OpenComm(2, 19200, 0, 100, 0, 20), 0);
    const unsigned char cmd[] = "MODELLO\r";
    EXPECT_EQ(WriteComm(cmd, 8), 1);
    EXPECT_EQ(WriteComm(cmd, 2), 0); // the echoed count is one short
    const Bytes big(16381, 0x11);
    EXPECT_EQ(WriteComm(big.data(), int(big.size())), 0); // oversize: nothing sent
    EXPECT_EQ(sent().substr(18 * 3), "01 02 08 00 4D 4F 44 45 4C 4C 4F 0D 01 02 02 00 4D 4F");
}

TEST_F(ProxyTest, ReadRepliesAreReassembledAndCopiedUpToTheCount) {
    openThroughProxy();
    Bytes data(300), request;
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t(i);
    unsigned char buf[255];
    unsigned int got = 0;
    auto proxySide = std::async(std::launch::async, [&] {
        request = proxy.read(2);
        proxy.write(readReply(2, data));
        proxy.read(2);
        const Bytes r = readReply(2, {'P', '0', '1', '=', '1', '2', '3', '\r'});
        const int cuts[] = {0, 3, 7, int(r.size())}; // in three pieces
        for (int i = 0; i < 3; ++i) {
            proxy.write(Bytes(r.begin() + cuts[i], r.begin() + cuts[i + 1]));
            std::this_thread::sleep_for(50ms);
        }
    });
    EXPECT_EQ(ReadComm(buf, 255, &got), 1);
    EXPECT_EQ(got, 255u);
    EXPECT_EQ(Bytes(buf, buf + 255), Bytes(data.begin(), data.begin() + 255));
    EXPECT_EQ(ReadComm(buf, 24, &got), 1);
    proxySide.get();
    EXPECT_EQ(hex(request), "02 02");
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), got), "P01=123\r");
}

// The proxy's device is read only on request, under the proxy's time-outs: a drain that asked would
// wait them out. It drops what reached the socket and sends nothing.
TEST_F(ProxyTest, DrainAsksTheProxyNothing) {
    EXPECT_EQ(DrainComm(), 0); // not linked
    openThroughProxy();
    proxy.write(readReply(2, {'x'})); // an answer that came after the library gave up on it
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(DrainComm(), 1);
    EXPECT_TRUE(proxy.read(1, 200ms).empty());
}

TEST_F(ProxyTest, ShortAndWrongReadRepliesFailButKeepTheConnection) {
    script({kOpened, bytes({0x02, 0x02, 0x00, 0x00}), bytes({0x02, 0x03, 0x00, 0x00, 0x00}),
            readReply(2, {0x41})});
    ASSERT_EQ(OpenComm(2, 19200, 0, 100, 0, 20), 0);
    DoDebug(1);
    CaptureStderr();
    unsigned char buf[8];
    unsigned int got = 0;
    EXPECT_EQ((ints{ReadComm(buf, 8, &got), ReadComm(buf, 8, &got), ReadComm(buf, 8, &got), int(got)}),
              (ints{0, 0, 1, 1}));
    const std::string text = GetCapturedStderr();
    EXPECT_NE(text.find("PyroLink: ProxyReadComm answer too short\n"), std::string::npos) << text;
    EXPECT_NE(text.find("PyroLink: ProxyReadComm wrong answer\n"), std::string::npos) << text;
}

TEST_F(ProxyTest, ProxyClosingOrSilentFailsTheRead) {
    openThroughProxy();
    unsigned char buf[8];
    unsigned int got = 0;
    auto start = std::chrono::steady_clock::now();
    auto proxySide = std::async(std::launch::async, [&] {
        proxy.read(2);
        proxy.closeClient();
    });
    EXPECT_EQ(ReadComm(buf, 8, &got), 0);
    EXPECT_LT(msSince(start), 1000);
    proxySide.get();
    CloseComm();
    // A silent proxy is given up on after the reply time-out (5 s).
    openThroughProxy();
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadComm(buf, 8, &got), 0);
    const double took = msSince(start);
    EXPECT_GE(took, 4900);
    EXPECT_LT(took, 9000);
}

TEST_F(ProxyTest, CloseSendsCloseRequestAndErrorsAreShownEvenWithoutDebug) {
    script({kOpened, bytes({0x03})});
    ASSERT_EQ(OpenComm(2, 19200, 0, 100, 0, 20), 0);
    CloseComm();
    EXPECT_EQ(sent().substr(18 * 3), "03 02");
    const unsigned char b = 0;
    EXPECT_EQ(WriteComm(&b, 1), 0);

    openThroughProxy();
    proxy.closeClient();
    CaptureStderr();
    CloseComm();
    const std::string text = GetCapturedStderr();
    EXPECT_TRUE(text.find("PyroLink: ProxyCloseComm recv() error") != std::string::npos ||
                text.find("PyroLink: ProxyCloseComm send() error") != std::string::npos)
        << text;
    openThroughProxy(); // the slot is closed and a fresh open connects again
}

TEST_F(ProxyTest, NotConnectedIsReportedOncePerConnectionAttempt) {
    DoDebug(1);
    CaptureStderr();
    unsigned char buf[4];
    unsigned int got = 0;
    EXPECT_EQ(ReadComm(buf, 4, &got), 0);
    EXPECT_EQ(WriteComm(buf, 4), 0);
    EXPECT_EQ(ReadComm(buf, 4, &got), 0);
    const std::string text = GetCapturedStderr();
    const std::size_t first = text.find("NOT CONNECTED");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(text.find("NOT CONNECTED", first + 1), std::string::npos) << text;
}
