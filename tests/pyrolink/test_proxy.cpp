// The link over the TCP proxy, against a scripted proxy on 127.0.0.1:1996.
#include "link_fixture.h"
#include "tcp_peer.h"

#include <arpa/inet.h>
#include <future>
#include <netinet/in.h>
#include <sys/socket.h>

using namespace linktest;
using testsupport::TcpPeer;

namespace {

Bytes readReply(int index, const Bytes &data) {
    Bytes r(5 + data.size());
    r[0] = 0x02;
    r[1] = static_cast<std::uint8_t>(index);
    r[2] = 0x00;
    r[3] = static_cast<std::uint8_t>(data.size());
    r[4] = static_cast<std::uint8_t>(data.size() >> 8);
    std::copy(data.begin(), data.end(), r.begin() + 5);
    return r;
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
    // Opens port 2 through the proxy; the proxy answers the open request.
    void openThroughProxy() {
        auto answer = std::async(std::launch::async, [&] {
            EXPECT_TRUE(proxy.accept());
            Bytes req = proxy.read(18);
            proxy.write(bytes({0x00, 0x02, 0x00}));
            return req;
        });
        ASSERT_EQ(OpenComm(2, 19200, 0, 100, 0, 20), 0);
        openRequest = answer.get();
    }
    TcpPeer proxy;
    Bytes openRequest;
};

} // namespace

TEST_F(ProxyTest, OpenSendsEighteenBytesLittleEndian) {
    openThroughProxy();
    EXPECT_EQ(hex(openRequest), "00 02 00 4B 00 00 64 00 00 00 00 00 00 00 14 00 00 00");
    EXPECT_EQ(proxy.connections(), 1);
}

TEST_F(ProxyTest, NegativeTimeoutsAreSignExtended) {
    auto answer = std::async(std::launch::async, [&] {
        proxy.accept();
        Bytes req = proxy.read(18);
        proxy.write(bytes({0x00, 0x05, 0x00, 0x99})); // further bytes are ignored
        return req;
    });
    ASSERT_EQ(OpenComm(5, 9600, 1, 300, 2, -1), 0);
    EXPECT_EQ(hex(answer.get()), "00 05 80 25 00 00 2C 01 00 00 02 00 00 00 FF FF FF FF");
}

TEST_F(ProxyTest, WrongOpenAnswerDropsTheConnection) {
    auto answer = std::async(std::launch::async, [&] {
        proxy.accept();
        proxy.read(18);
        proxy.write(bytes({0x00, 0x02, 0x01}));
    });
    EXPECT_EQ(OpenComm(2, 9600, 0, 100, 0, 20), -3);
    answer.get();
    // The library closed its socket: the proxy sees end of stream.
    EXPECT_TRUE(proxy.read(1, 500ms).empty());
    const unsigned char b = 1;
    EXPECT_EQ(WriteComm(&b, 1), 0);
}

// A proxy open that cannot connect, with diagnostics on: the open's result and what was shown.
static std::string failedConnectDiagnostics() {
    SetActiveComm(2);
    SetRemoteIP(127, 0, 0, 1);
    DoDebug(1);
    StderrCapture err;
    EXPECT_EQ(OpenComm(2, 9600, 0, 100, 0, 20), -10004);
    std::string text = err.text();
    DoDebug(0);
    SetRemoteIP(255, 255, 255, 255);
    return text;
}

// Nothing listens on 1996 outside the fixture.
TEST(ProxyUnreachable, ReportsConnectErrorWhenDebugging) {
    const std::string text = failedConnectDiagnostics();
    EXPECT_NE(text.find("PyroLink: connect() Error "), std::string::npos) << text;
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
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        fillers.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        connect(fillers.back(), reinterpret_cast<sockaddr *>(&a), sizeof a);
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

TEST(ProxyUnreachable, AllOnesAddressIsTheSerialDevice) {
    SetActiveComm(2);
    SetRemoteIP(255, 255, 255, 255);
    PtyPeer peer;
    peer.bindCom(3);
    EXPECT_EQ(OpenComm(2, 9600, 0, 100, 0, 20), 0);
    const unsigned char b = 0x42;
    EXPECT_EQ(WriteComm(&b, 1), 1);
    EXPECT_EQ(peer.read(1), bytes({0x42}));
    CloseComm();
}

TEST_F(ProxyTest, NoAddressSetUsesTheSerialDevice) {
    SetRemoteIP(255, 255, 255, 255);
    setenv("PYROLINK_COM3", "/nonexistent/tty", 1);
    EXPECT_EQ(OpenComm(2, 9600, 0, 100, 0, 20), -3);
    EXPECT_FALSE(proxy.accept(100ms));
}

TEST_F(ProxyTest, SecondOpenWhileConnectedFailsAndCloseRecovers) {
    openThroughProxy();
    EXPECT_EQ(OpenComm(2, 9600, 0, 100, 0, 20), -10006);
    // The failed open cleared the open flag; closing still drops the connection so the link
    // can be opened again.
    CloseComm();
    EXPECT_TRUE(proxy.read(1, 500ms).empty());
    openThroughProxy();
}

TEST_F(ProxyTest, BadPortKeepsTheConnectionUp) {
    auto accepted = std::async(std::launch::async, [&] { return proxy.accept(); });
    EXPECT_EQ(OpenComm(16, 9600, 0, 100, 0, 20), -1);
    EXPECT_TRUE(accepted.get());
    EXPECT_EQ(OpenComm(2, 9600, 0, 100, 0, 20), -10006);
    CloseComm();
    openThroughProxy();
}

TEST_F(ProxyTest, WriteSendsCountAndDataAndChecksTheEchoedCount) {
    openThroughProxy();
    auto answer = std::async(std::launch::async, [&] {
        Bytes req = proxy.read(12);
        proxy.write(bytes({0x01, 0x02, 0x00, 0x08, 0x00}));
        Bytes req2 = proxy.read(6);
        proxy.write(bytes({0x01, 0x02, 0x00, 0x01, 0x00})); // one byte short
        return req;
    });
    const unsigned char cmd[] = {'M', 'O', 'D', 'E', 'L', 'L', 'O', '\r'};
    EXPECT_EQ(WriteComm(cmd, 8), 1);
    EXPECT_EQ(WriteComm(cmd, 2), 0);
    EXPECT_EQ(hex(answer.get()), "01 02 08 00 4D 4F 44 45 4C 4C 4F 0D");
}

TEST_F(ProxyTest, OversizeWriteSendsNothing) {
    openThroughProxy();
    Bytes big(16381, 0x11);
    EXPECT_EQ(WriteComm(big.data(), 16381), 0);
    EXPECT_TRUE(proxy.read(1, 200ms).empty());
}

TEST_F(ProxyTest, ReadCopiesAtMostTheRequestedCount) {
    openThroughProxy();
    Bytes data(300);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i);
    auto answer = std::async(std::launch::async, [&] {
        Bytes req = proxy.read(2);
        proxy.write(readReply(2, data));
        return req;
    });
    unsigned char buf[255];
    unsigned int got = 0;
    EXPECT_EQ(ReadComm(buf, 255, &got), 1);
    EXPECT_EQ(hex(answer.get()), "02 02");
    EXPECT_EQ(got, 255u);
    EXPECT_EQ(Bytes(buf, buf + 255), Bytes(data.begin(), data.begin() + 255));
}

TEST_F(ProxyTest, ReplySplitOverSeveralReceivesIsReassembled) {
    openThroughProxy();
    auto answer = std::async(std::launch::async, [&] {
        proxy.read(2);
        Bytes r = readReply(2, {'P', '0', '1', '=', '1', '2', '3', '\r'});
        proxy.write(Bytes(r.begin(), r.begin() + 3));
        std::this_thread::sleep_for(50ms);
        proxy.write(Bytes(r.begin() + 3, r.begin() + 7));
        std::this_thread::sleep_for(50ms);
        proxy.write(Bytes(r.begin() + 7, r.end()));
    });
    unsigned char buf[24];
    unsigned int got = 0;
    EXPECT_EQ(ReadComm(buf, 24, &got), 1);
    answer.get();
    EXPECT_EQ(got, 8u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), got), "P01=123\r");
}

TEST_F(ProxyTest, ShortAndWrongReadRepliesFailButKeepTheConnection) {
    openThroughProxy();
    DoDebug(1);
    StderrCapture err;
    auto answer = std::async(std::launch::async, [&] {
        proxy.read(2);
        proxy.write(bytes({0x02, 0x02, 0x00, 0x00}));
        proxy.read(2);
        proxy.write(bytes({0x02, 0x03, 0x00, 0x00, 0x00}));
        proxy.read(2);
        proxy.write(readReply(2, {0x41}));
    });
    unsigned char buf[8];
    unsigned int got = 0;
    EXPECT_EQ(ReadComm(buf, 8, &got), 0);
    EXPECT_EQ(ReadComm(buf, 8, &got), 0);
    EXPECT_EQ(ReadComm(buf, 8, &got), 1);
    answer.get();
    EXPECT_EQ(got, 1u);
    std::string text = err.text();
    EXPECT_NE(text.find("PyroLink: ProxyReadComm answer too short\n"), std::string::npos) << text;
    EXPECT_NE(text.find("PyroLink: ProxyReadComm wrong answer\n"), std::string::npos) << text;
}

TEST_F(ProxyTest, ProxyClosingMidExchangeFailsAtOnce) {
    openThroughProxy();
    auto answer = std::async(std::launch::async, [&] {
        proxy.read(2);
        proxy.closeClient();
    });
    unsigned char buf[8];
    unsigned int got = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadComm(buf, 8, &got), 0);
    EXPECT_LT(msSince(start), 1000);
    answer.get();
}

TEST_F(ProxyTest, SilentProxyIsGivenUpOnAfterTheReplyTimeout) {
    openThroughProxy();
    unsigned char buf[8];
    unsigned int got = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadComm(buf, 8, &got), 0);
    double took = msSince(start);
    EXPECT_GE(took, 4900);
    EXPECT_LT(took, 6500);
}

TEST_F(ProxyTest, CloseSendsCloseRequestAndErrorsAreShownEvenWithoutDebug) {
    openThroughProxy();
    auto answer = std::async(std::launch::async, [&] {
        Bytes req = proxy.read(2);
        proxy.write(bytes({0x03}));
        return req;
    });
    CloseComm();
    EXPECT_EQ(hex(answer.get()), "03 02");
    EXPECT_TRUE(proxy.read(1, 300ms).empty()); // socket closed by the library
    const unsigned char b = 0;
    EXPECT_EQ(WriteComm(&b, 1), 0);

    openThroughProxy();
    proxy.closeClient();
    StderrCapture err;
    CloseComm();
    std::string text = err.text();
    EXPECT_TRUE(text.find("PyroLink: ProxyCloseComm recv() error") != std::string::npos ||
                text.find("PyroLink: ProxyCloseComm send() error") != std::string::npos)
        << text;
    // The slot is closed and a fresh open connects again.
    openThroughProxy();
}

TEST_F(ProxyTest, NotConnectedIsReportedOncePerConnectionAttempt) {
    DoDebug(1);
    StderrCapture err;
    unsigned char buf[4];
    unsigned int got = 0;
    EXPECT_EQ(ReadComm(buf, 4, &got), 0);
    EXPECT_EQ(WriteComm(buf, 4), 0);
    EXPECT_EQ(ReadComm(buf, 4, &got), 0);
    std::string text = err.text();
    std::size_t first = text.find("NOT CONNECTED");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(text.find("NOT CONNECTED", first + 1), std::string::npos) << text;
}

TEST_F(ProxyTest, FramesRunOverTheProxy) {
    openThroughProxy();
    // A board behind the proxy: the read request returns a complete read reply frame.
    auto answer = std::async(std::launch::async, [&] {
        Bytes write = proxy.read(4 + 11);
        proxy.write(bytes({0x01, 0x02, 0x00, 11, 0}));
        proxy.read(2);
        Bytes f = {0x55, 0xAA, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x41, 0xF8};
        unsigned s = 0;
        for (auto b : f)
            s += b;
        f.push_back(static_cast<std::uint8_t>(s));
        f.push_back(0x77);
        f.push_back(0x77);
        proxy.write(readReply(2, f));
        return write;
    });
    unsigned char v = 0;
    EXPECT_EQ(ReadBytes(1, 0x41F8, 1, &v), 1);
    EXPECT_EQ(v, 0x77);
    EXPECT_EQ(hex(answer.get()), "01 02 0B 00 55 AA 00 01 00 01 00 00 41 F8 3A");
}
