// The link over a TCP proxy (port 1996) that owns the serial port and forwards its bytes.
// Messages carry multi-byte numbers least significant byte first.
//
// Time-outs: connecting waits at most 3 s and every reply at most 5 s for its first bytes; a
// reply that arrives in several pieces is reassembled up to the length its header announces,
// waiting at most 1 s for each further piece. A dead proxy therefore never freezes the caller.
#include "link.h"

#include "pyrolink.h"
#include "result_codes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pyrolink {
namespace {

constexpr std::uint16_t kProxyPort = 1996;
constexpr int kConnectTimeoutMs = 3000;
constexpr int kReplyTimeoutMs = 5000;
constexpr int kPieceTimeoutMs = 1000;
constexpr int kMaxReadData = 16379;
constexpr int kMaxWriteData = 16380;
constexpr int kReplyCapacity = 16384;

Socket g_socket = kInvalidSocket;
int g_reportNotConnected = 1;
std::uint8_t g_message[kReplyCapacity + 8];

// The proxy listens on 1996. Tests run their own proxy on a free port and name it in
// PYROLINK_PROXY_PORT; anything but a port number 1..65535 there leaves 1996.
std::uint16_t proxyPort() {
    const char *text = std::getenv("PYROLINK_PROXY_PORT");
    if (!text || !*text) return kProxyPort;
    char *end = nullptr;
    const long port = std::strtol(text, &end, 10);
    return *end == '\0' && port > 0 && port <= 65535 ? static_cast<std::uint16_t>(port) : kProxyPort;
}

void alwaysMessage(const char *text) {
    showMessage("PyroLink", text);
}

bool linked() {
    const PortSlot &w = state().work;
    return w.proxyConnected == 1 && w.proxyPortIndex != -1 && w.open == 1;
}

// Bytes still waiting from an earlier exchange (a late reply) would be taken for the answer to
// the next request; drop them first.
void discardStale() {
    std::uint8_t scrap[512];
    while (socketBackend.receive(g_socket, scrap, sizeof scrap, 0) > 0) {
    }
}

// A reply that never came: its first receive failed (error, time-out or the proxy closed).
constexpr int kNoReply = -1;

// Collects one reply into `buffer`. `needed(buffer, have)` says how many bytes the reply has in
// all once its header is known (or at least how many are needed to know). Returns the bytes
// received, or kNoReply.
template <typename Needed> int receiveReply(std::uint8_t *buffer, int capacity, Needed needed) {
    int have = socketBackend.receive(g_socket, buffer, capacity, kReplyTimeoutMs);
    if (have <= 0) return kNoReply;
    for (;;) {
        int want = needed(buffer, have);
        if (want > capacity) want = capacity;
        if (have >= want) return have;
        int n = socketBackend.receive(g_socket, buffer + have, want - have, kPieceTimeoutMs);
        if (n <= 0) return have;
        have += n;
    }
}

int openProxy() {
    LinkState &s = state();
    g_reportNotConnected = 1;
    if (s.work.proxyConnected) {
        debugMessage("Proxy already active");
        return kProxyAlreadyActive;
    }
    if (s.work.proxyAddress == kNoProxy) {
        debugMessage("Tried to open remote with address 255.255.255.255");
        return kProxyNoAddress;
    }
    setField(&PortSlot::proxyConnected, 0);
    if (!socketBackend.startup()) {
        debugMessage("WSAStartup Error");
        return kProxyStartupFailed;
    }
    Socket sock = socketBackend.create();
    if (sock == kInvalidSocket) {
        debugMessage("socket() returns INVALID_SOCKET Error");
        socketBackend.cleanup();
        return kProxyNoSocket;
    }
    if (!socketBackend.setReuseAddress(sock)) {
        debugMessage("setsockopt() Error");
        socketBackend.close(sock);
        socketBackend.cleanup();
        return kProxyOptionRefused;
    }
    if (!socketBackend.connect(sock, s.work.proxyAddress, proxyPort(), kConnectTimeoutMs)) {
        char text[64];
        std::snprintf(text, sizeof text, "connect() Error %d", socketBackend.lastError());
        debugMessage(text);
        socketBackend.close(sock);
        socketBackend.cleanup();
        return kProxyConnectFailed;
    }
    g_socket = sock;
    setField(&PortSlot::proxyConnected, 1);
    return kProxyDone;
}

int closeProxy() {
    LinkState &s = state();
    if (!s.work.proxyConnected) {
        debugMessage("Proxy alredy closed");
        return kProxyAlreadyClosed;
    }
    if (s.work.proxyAddress == kNoProxy) {
        debugMessage("Invalid proxy address 255.255.255.255");
        return kProxyNoAddress;
    }
    if (g_socket == kInvalidSocket) {
        debugMessage("INVALID_SOCKET before closing it");
        return kProxyInvalidSocket;
    }
    socketBackend.close(g_socket);
    g_socket = kInvalidSocket;
    socketBackend.cleanup();
    setField(&PortSlot::proxyPortIndex, -1);
    setField(&PortSlot::proxyConnected, 0);
    return kProxyDone;
}

int le16(const std::uint8_t *p) {
    return p[0] | (p[1] << 8);
}

void putLe32(std::uint8_t *p, std::int32_t v) {
    std::uint32_t u = static_cast<std::uint32_t>(v);
    p[0] = static_cast<std::uint8_t>(u);
    p[1] = static_cast<std::uint8_t>(u >> 8);
    p[2] = static_cast<std::uint8_t>(u >> 16);
    p[3] = static_cast<std::uint8_t>(u >> 24);
}

// Whether a read or write may go to the proxy; the first call after the link was lost says why.
bool linkedForTransfer(const char *notConnected) {
    if (linked()) return true;
    if (g_reportNotConnected) debugMessage(notConnected);
    g_reportNotConnected = 0;
    return false;
}

// 1 for a good reply; a short or wrong one is reported with the caller's text.
int replyAccepted(ProxyReply result, const char *tooShort, const char *wrong) {
    if (result == ProxyReply::TooShort) debugMessage(tooShort);
    if (result == ProxyReply::Wrong) debugMessage(wrong);
    return result == ProxyReply::Ok ? 1 : 0;
}

} // namespace

int proxyReadReplySize(const std::uint8_t *message, int have) {
    if (have < 5) return 5;
    int announced = le16(message + 3);
    return 5 + (announced > kMaxReadData ? 0 : announced);
}

ProxyReply checkReadReply(const std::uint8_t *message, int size, std::uint8_t index, unsigned char *buffer,
                          int count, unsigned int *got) {
    if (size < 5) return ProxyReply::TooShort;
    if (message[0] != 0x02 || message[1] != index || message[2] != 0x00) return ProxyReply::Wrong;
    int announced = le16(message + 3);
    if (announced > kMaxReadData) return ProxyReply::Oversize;
    // Copy only what both the caller asked for and actually arrived.
    int copy = announced < count ? announced : count;
    if (copy > size - 5) copy = size - 5;
    if (copy > 0) std::memcpy(buffer, message + 5, static_cast<size_t>(copy));
    if (got) *got = static_cast<unsigned int>(copy);
    return ProxyReply::Ok;
}

ProxyReply checkWriteReply(const std::uint8_t *message, int size, std::uint8_t index, int count) {
    if (size < 5) return ProxyReply::TooShort;
    if (message[0] != 0x01 || message[1] != index || message[2] != 0x00) return ProxyReply::Wrong;
    return le16(message + 3) == count ? ProxyReply::Ok : ProxyReply::Mismatch;
}

namespace {

int proxyOpen(int port, int baud, short controllerType, short t1, short t2, short t3) {
    LinkState &s = state();
    if (port >= 0 && port < kPortCount) s.active = port;
    setField(&PortSlot::open, 0);
    setField(&PortSlot::controllerType, static_cast<std::int16_t>(controllerType));

    int r = openProxy();
    if (r != kProxyDone) {
        debugMessage("ProxyOpenComm OpenProxy() error");
        return r + kProxyOpenOffset;
    }
    if (port < 0 || port >= kPortCount) return kOpenBadPort;
    setField(&PortSlot::proxyPortIndex, port);

    if (s.debug) {
        char text[160];
        std::snprintf(text, sizeof text, "Opening COM%d \r\n        Vel=%d  T1=%d  T2=%d  T3=%d\r\n",
                      port + 1, baud, t1, t2, t3);
        debugMessage(text);
    }

    std::uint8_t request[18];
    request[0] = 0x00;
    request[1] = static_cast<std::uint8_t>(port);
    putLe32(request + 2, baud);
    putLe32(request + 6, t1);
    putLe32(request + 10, t2);
    putLe32(request + 14, t3);
    discardStale();
    if (!socketBackend.sendAll(g_socket, request, sizeof request)) {
        debugMessage("ProxyOpenComm send() error");
        closeProxy();
        return kOpenNoDevice;
    }
    std::uint8_t reply[1024];
    int n = receiveReply(reply, sizeof reply, [](const std::uint8_t *, int) { return 3; });
    if (n == kNoReply) {
        debugMessage("ProxyOpenComm recv() error");
        closeProxy();
        return kOpenNoDevice;
    }
    if (n < 3 || reply[0] != 0x00 || reply[1] != static_cast<std::uint8_t>(port) || reply[2] != 0x00) {
        debugMessage("ProxyOpenComm got wrong answer");
        closeProxy();
        return kOpenNoDevice;
    }
    setField(&PortSlot::open, 1);
    return kOpenDone;
}

void proxyClose() {
    if (!linked()) {
        // A connection left without an open port (a failed or refused open) could otherwise never
        // be closed again, and every later open would fail with "Proxy already active".
        if (state().work.proxyConnected) closeProxy();
        return;
    }
    const std::uint8_t request[2] = {0x03, static_cast<std::uint8_t>(state().work.proxyPortIndex)};
    discardStale();
    if (!socketBackend.sendAll(g_socket, request, sizeof request)) {
        alwaysMessage("ProxyCloseComm send() error");
    } else {
        std::uint8_t reply[64];
        if (receiveReply(reply, sizeof reply, [](const std::uint8_t *, int) { return 1; }) == kNoReply)
            alwaysMessage("ProxyCloseComm recv() error");
    }
    closeProxy();
    // The connection is gone whatever the proxy answered, so the slot is closed on every path.
    setField(&PortSlot::open, 0);
    setField(&PortSlot::canOpen, 0);
}

int proxyRead(unsigned char *buffer, int count, unsigned int *got) {
    if (!linkedForTransfer("ProxyReadComm NOT CONNECTED")) return 0;
    if (!buffer || count <= 0) return 0;
    if (count > kMaxReadData) count = kMaxReadData;
    const std::uint8_t index = static_cast<std::uint8_t>(state().work.proxyPortIndex);
    const std::uint8_t request[2] = {0x02, index};
    discardStale();
    if (!socketBackend.sendAll(g_socket, request, sizeof request)) {
        debugMessage("ProxyReadComm send() error");
        return 0;
    }
    int n = receiveReply(g_message, kReplyCapacity, proxyReadReplySize);
    if (n == kNoReply) {
        debugMessage("ProxyReadComm recv() error");
        return 0;
    }
    return replyAccepted(checkReadReply(g_message, n, index, buffer, count, got),
                         "ProxyReadComm answer too short", "ProxyReadComm wrong answer");
}

int proxyWrite(const unsigned char *data, int count) {
    if (!linkedForTransfer("ProxyWriteComm NOT CONNECTED")) return 0;
    if (count > kMaxWriteData || count < 0 || (count > 0 && !data)) return 0;
    const std::uint8_t index = static_cast<std::uint8_t>(state().work.proxyPortIndex);
    g_message[0] = 0x01;
    g_message[1] = index;
    g_message[2] = static_cast<std::uint8_t>(count);
    g_message[3] = static_cast<std::uint8_t>(count >> 8);
    if (count > 0) std::memcpy(g_message + 4, data, static_cast<size_t>(count));
    discardStale();
    if (!socketBackend.sendAll(g_socket, g_message, count + 4)) {
        debugMessage("ProxyWriteComm send() error");
        closeProxy();
        return 0;
    }
    std::uint8_t reply[64];
    int n = receiveReply(reply, sizeof reply, [](const std::uint8_t *, int) { return 5; });
    if (n == kNoReply) {
        debugMessage("ProxyWriteComm recv() error");
        return 0;
    }
    return replyAccepted(checkWriteReply(reply, n, index, count), "ProxyWriteComm answer too short",
                         "ProxyWriteComm wrong answer");
}

// Proxy replies take milliseconds to come; a short nap between looks keeps the receiver calm.
void proxyWaitInput(int) {
    sleepMs(1);
}

// What reached this machine is on the socket; bytes the proxy's device holds come with the next
// read request, and asking for them here would make the proxy wait out its read time-outs.
int proxyDiscard() {
    if (!linked()) return 0;
    discardStale();
    return 1;
}

} // namespace

const Transport proxyTransport = {proxyOpen, proxyClose, proxyWrite, proxyRead, proxyWaitInput, proxyDiscard};

} // namespace pyrolink

extern "C" PYROLINK_API void SetRemoteIP(int a, int b, int c, int d) {
    std::uint32_t address = ((static_cast<std::uint32_t>(a) * 256u + static_cast<std::uint32_t>(b)) * 256u +
                             static_cast<std::uint32_t>(c)) *
                                256u +
                            static_cast<std::uint32_t>(d);
    pyrolink::setField(&pyrolink::PortSlot::proxyAddress, address);
    pyrolink::setField(&pyrolink::PortSlot::transport, address == pyrolink::kNoProxy
                                                           ? &pyrolink::serialTransport
                                                           : &pyrolink::proxyTransport);
}
