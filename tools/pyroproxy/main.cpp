// pyroproxy: lets the link library reach a board on another machine. Owns one serial device and
// serves the library's open, write, read and close messages on a TCP port, to one client at a
// time. The device is driven by the library's own platform code, so a read through the proxy ends
// under the same time-outs as a read on a local port. A client that has gone quiet cannot keep the
// one slot from others, and refused connections cannot flood the log.
#include "platform.h"
#include "protocol.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace pyroproxy;
using pyrolink::serialBackend;

namespace {

constexpr std::uint16_t kDefaultPort = 1996;
// A read request takes at most this many bytes from the device (the largest read the library
// makes), and is answered within kReadCapMs: the library waits 5 s for a reply.
constexpr std::uint32_t kReadChunk = 255;
constexpr std::uint32_t kReadCapMs = 4000;
// A message begun but not finished within this time is given up with its connection.
constexpr int kPartialTimeoutMs = 10000;
constexpr int kDefaultIdleSeconds = 30;
constexpr int kMaxIdleSeconds = 86400;
// Refused connections are logged one line per period at most.
constexpr std::int64_t kRefusalLogPeriodMs = 10000;
constexpr char kBusy[] = "BUSY pyroproxy is serving another client\n";

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 's';
    (void)!write(g_signalPipe[1], &c, 1);
}

// One line on standard error, with the local time to the millisecond.
void logLine(const char *format, ...) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm t{};
    localtime_r(&now.tv_sec, &t);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &t);
    std::fprintf(stderr, "%s.%03ld pyroproxy: ", stamp, now.tv_nsec / 1000000);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

std::int64_t monotonicMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

struct Network {
    std::uint32_t address, mask; // host byte order
};

struct Options {
    std::string device;
    std::uint32_t bind = INADDR_LOOPBACK;
    std::uint16_t port = kDefaultPort;
    std::vector<Network> allow;
    std::int64_t idleMs = kDefaultIdleSeconds * 1000; // 0: a quiet client is never closed
    bool verbose = false;
};

const char kUsage[] =
    "usage: pyroproxy --device PATH [--port N] [--bind ADDRESS] [--allow ADDRESS[/BITS][,...]]\n"
    "                 [--idle-timeout SECONDS] [--verbose]\n"
    "Serves the link library's proxy messages for one serial device on TCP port 1996 (--port 0: any free\n"
    "port, logged). Binds 127.0.0.1 unless --bind is given; only clients on 127.0.0.0/8 may connect\n"
    "unless --allow lists the addresses or networks that may. A client that sent nothing for\n"
    "--idle-timeout seconds (default 30, 0 = never) is closed if it has no port open; one with its\n"
    "port open gives up the slot when another client connects. See tools/pyroproxy/README.md.\n";

[[noreturn]] void usage(const std::string &problem) {
    if (!problem.empty()) std::fprintf(stderr, "pyroproxy: %s\n", problem.c_str());
    std::fputs(kUsage, stderr);
    std::exit(2);
}

bool parseAddress(const std::string &text, std::uint32_t *address) {
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
    *address = ntohl(a.s_addr);
    return true;
}

// "a.b.c.d" or "a.b.c.d/bits", several separated by commas.
void parseAllow(const std::string &list, std::vector<Network> &out) {
    std::size_t from = 0;
    while (from <= list.size()) {
        const std::size_t comma = std::min(list.find(',', from), list.size());
        const std::string item = list.substr(from, comma - from);
        from = comma + 1;
        const std::size_t slash = item.find('/');
        int bits = 32;
        if (slash != std::string::npos) {
            const std::string b = item.substr(slash + 1);
            char *end = nullptr;
            bits = int(std::strtol(b.c_str(), &end, 10));
            if (b.empty() || *end || bits < 0 || bits > 32) usage("bad network: " + item);
        }
        std::uint32_t address = 0;
        if (!parseAddress(item.substr(0, slash), &address)) usage("bad address: " + item);
        const std::uint32_t mask = bits == 0 ? 0 : ~std::uint32_t(0) << (32 - bits);
        out.push_back({address & mask, mask});
    }
}

Options parse(int argc, char **argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) usage("missing value for " + a);
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (a == "--device") {
            o.device = value();
        } else if (a == "--port") {
            const std::string v = value();
            char *end = nullptr;
            const long port = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end || port < 0 || port > 65535) usage("bad port: " + v);
            o.port = static_cast<std::uint16_t>(port);
        } else if (a == "--bind") {
            const std::string v = value();
            if (!parseAddress(v, &o.bind)) usage("bad address: " + v);
        } else if (a == "--allow") {
            parseAllow(value(), o.allow);
        } else if (a == "--idle-timeout") {
            const std::string v = value();
            char *end = nullptr;
            const long seconds = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end || seconds < 0 || seconds > kMaxIdleSeconds)
                usage("bad idle time-out: " + v);
            o.idleMs = std::int64_t(seconds) * 1000;
        } else if (a == "--verbose") {
            o.verbose = true;
        } else {
            usage("unknown option " + a);
        }
    }
    if (o.device.empty()) usage("--device is required");
    if (o.allow.empty()) o.allow.push_back({INADDR_LOOPBACK & 0xFF000000u, 0xFF000000u});
    return o;
}

std::string addressText(const sockaddr_in &a) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(a.sin_port));
}

// Sends everything or fails; a client that stops reading for 5 s is given up.
bool sendAll(int fd, const std::uint8_t *data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = send(fd, data + done, size - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += std::size_t(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, 5000) <= 0) return false;
        } else {
            return false;
        }
    }
    return true;
}

// Refused connections: the first of a period is logged at once, the others of that period are
// counted and summed up in one line when it ends, so a client retrying in a loop (or a scan)
// costs one line per period rather than one per attempt.
class RefusalLog {
public:
    void refused(const std::string &peer, const std::string &why, std::int64_t now) {
        if (now >= m_periodEnd) {
            flush(now, true);
            logLine("refused %s: %s", peer.c_str(), why.c_str());
            m_periodEnd = now + kRefusalLogPeriodMs;
            return;
        }
        ++m_counted;
        m_last = peer + ": " + why;
    }
    // When the summary of the period is due; -1 while there is nothing to sum up.
    std::int64_t due() const { return m_counted > 0 ? m_periodEnd : -1; }
    // Logs the summary once it is due (or at once with `force`); the next period counts on, so a
    // lasting flood gives one line per period.
    void flush(std::int64_t now, bool force) {
        if (m_counted == 0 || (!force && now < m_periodEnd)) return;
        logLine("refused %d more connection%s in the last %lld s (the last %s)", m_counted,
                m_counted == 1 ? "" : "s", static_cast<long long>(kRefusalLogPeriodMs / 1000),
                m_last.c_str());
        m_counted = 0;
        m_periodEnd = now + kRefusalLogPeriodMs;
    }

private:
    std::int64_t m_periodEnd = 0;
    int m_counted = 0;
    std::string m_last;
};

class Server {
public:
    explicit Server(const Options &options) : m_options(options) {}
    ~Server() {
        m_refusals.flush(monotonicMs(), true);
        dropClient("server stopping");
        if (m_device != pyrolink::kInvalidHandle) serialBackend.close(m_device);
        if (m_listen >= 0) close(m_listen);
    }
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    bool start();
    void run();

private:
    void acceptClient();
    void refuse(int fd, const std::string &peer, const std::string &why, bool tellBusy);
    int pollTimeout() const;
    void expire();
    void receive();
    void handle(const std::uint8_t *message, std::size_t size);
    void handleOpen(const std::uint8_t *message);
    void reply(const std::uint8_t *bytes, std::size_t size);
    void dropClient(const char *why);
    bool deviceReady();
    void discardInput();
    void logBytes(const char *direction, const std::uint8_t *bytes, std::size_t size);

    const Options &m_options;
    int m_listen = -1;
    int m_client = -1;
    std::string m_peer;
    pyrolink::Handle m_device = pyrolink::kInvalidHandle;
    bool m_portOpen = false;
    std::uint8_t m_portIndex = 0;
    // One message in, one reply out: the only buffers, sized by the largest message of each way.
    std::uint8_t m_in[kMaxMessage];
    std::size_t m_have = 0;
    std::int64_t m_partialSince = 0;
    std::int64_t m_lastHeard = 0; // the client's last byte, or the end of its last reply
    RefusalLog m_refusals;
    std::uint8_t m_out[kReplyHeader + kReadChunk];
};

bool Server::start() {
    m_device = serialBackend.openPath(m_options.device.c_str());
    if (m_device == pyrolink::kInvalidHandle) {
        logLine("cannot open %s: %s", m_options.device.c_str(), std::strerror(errno));
        return false;
    }
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    int one = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(m_options.port);
    a.sin_addr.s_addr = htonl(m_options.bind);
    socklen_t size = sizeof a;
    if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr *>(&a), size) != 0 ||
        listen(m_listen, 4) != 0 || getsockname(m_listen, reinterpret_cast<sockaddr *>(&a), &size) != 0) {
        logLine("cannot listen on TCP port %u: %s", m_options.port, std::strerror(errno));
        return false;
    }
    logLine("serving %s on %s", m_options.device.c_str(), addressText(a).c_str());
    return true;
}

void Server::run() {
    for (;;) {
        pollfd fds[3] = {{g_signalPipe[0], POLLIN, 0}, {m_listen, POLLIN, 0}, {m_client, POLLIN, 0}};
        const int r = poll(fds, m_client >= 0 ? 3 : 2, pollTimeout());
        if (r < 0 && errno != EINTR) {
            logLine("poll failed: %s", std::strerror(errno));
            return;
        }
        if (fds[0].revents & POLLIN) {
            m_refusals.flush(monotonicMs(), true);
            logLine("stopping on a signal");
            return;
        }
        if (m_client >= 0 && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) receive();
        expire();
        if (fds[1].revents & POLLIN) acceptClient();
    }
}

// Until the next thing due: a message left incomplete, a client without a port open gone quiet,
// the summary of refused connections. -1: nothing is due.
int Server::pollTimeout() const {
    std::int64_t due = m_refusals.due();
    const auto earliest = [&](std::int64_t at) { due = due < 0 ? at : std::min(due, at); };
    if (m_client >= 0 && m_have > 0) earliest(m_partialSince + kPartialTimeoutMs);
    if (m_client >= 0 && !m_portOpen && m_options.idleMs > 0) earliest(m_lastHeard + m_options.idleMs);
    return due < 0 ? -1
                   : int(std::clamp<std::int64_t>(due - monotonicMs(), 0, std::numeric_limits<int>::max()));
}

// A connection without a port open is none of the library's: it sends its open request as soon as
// it connects, and closes the connection after a failed open or with the port. Such a connection
// that stays quiet is closed once the idle time passed. A client with its port open may stay quiet
// between operations for as long as nobody else asks for the slot (acceptClient).
void Server::expire() {
    const std::int64_t now = monotonicMs();
    m_refusals.flush(now, false);
    if (m_client >= 0 && m_have > 0 && now - m_partialSince >= kPartialTimeoutMs)
        dropClient("message left incomplete");
    if (m_client >= 0 && !m_portOpen && m_options.idleMs > 0 && now - m_lastHeard >= m_options.idleMs)
        dropClient(("sent nothing for " + std::to_string((now - m_lastHeard) / 1000) + " s").c_str());
}

void Server::acceptClient() {
    sockaddr_in a{};
    socklen_t size = sizeof a;
    const int fd = accept4(m_listen, reinterpret_cast<sockaddr *>(&a), &size, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    const std::string peer = addressText(a);
    const std::uint32_t address = ntohl(a.sin_addr.s_addr);
    bool allowed = false;
    for (const Network &n : m_options.allow)
        allowed = allowed || (address & n.mask) == n.address;
    if (!allowed) return refuse(fd, peer, "address not allowed", false);
    // The slot goes to the newcomer when its holder has been quiet for the idle time: a client
    // left open on a page or a machine that vanished must not lock everyone out.
    const std::int64_t now = monotonicMs();
    if (m_client >= 0 && m_have == 0 && m_options.idleMs > 0 && now - m_lastHeard >= m_options.idleMs)
        dropClient(("idle for " + std::to_string((now - m_lastHeard) / 1000) + " s, the slot goes to " + peer)
                       .c_str());
    if (m_client >= 0) return refuse(fd, peer, "busy with " + m_peer, true);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_client = fd;
    m_peer = peer;
    m_have = 0;
    m_portOpen = false;
    m_lastHeard = now;
    logLine("client %s connected", m_peer.c_str());
}

void Server::refuse(int fd, const std::string &peer, const std::string &why, bool tellBusy) {
    m_refusals.refused(peer, why, monotonicMs());
    if (tellBusy) sendAll(fd, reinterpret_cast<const std::uint8_t *>(kBusy), sizeof kBusy - 1);
    close(fd);
}

void Server::receive() {
    const ssize_t n = recv(m_client, m_in + m_have, sizeof m_in - m_have, 0);
    if (n == 0) return dropClient("disconnected");
    if (n < 0) {
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) return;
        return dropClient(std::strerror(errno));
    }
    m_lastHeard = monotonicMs();
    if (m_have == 0) m_partialSince = m_lastHeard;
    m_have += std::size_t(n);
    while (m_client >= 0 && m_have > 0) {
        const Frame f = frameMessage(m_in, m_have);
        if (f.framing == Framing::Incomplete) return;
        if (f.framing == Framing::Malformed) {
            logBytes("malformed message", m_in, m_have < 16 ? m_have : 16);
            return dropClient("malformed message");
        }
        if (f.framing == Framing::Oversize) return dropClient("oversize message");
        handle(m_in, f.size);
        if (m_client < 0) return; // gone before its reply: nothing left to keep
        std::memmove(m_in, m_in + f.size, m_have - f.size);
        m_have -= f.size;
        // A read may have kept the client waiting for seconds: it was not quiet meanwhile.
        m_lastHeard = m_partialSince = monotonicMs();
    }
}

void Server::handle(const std::uint8_t *message, std::size_t size) {
    if (m_options.verbose) logBytes("<-", message, size);
    const auto type = static_cast<MessageType>(message[0]);
    const std::uint8_t index = message[1];
    if (type == MessageType::Open) return handleOpen(message);
    if (type == MessageType::Close) {
        if (m_portOpen) logLine("client %s closed COM%d", m_peer.c_str(), m_portIndex + 1);
        m_portOpen = false;
        return reply(m_out, replyHeader(m_out, type, index, Status::Ok));
    }
    if (!m_portOpen || index != m_portIndex || !deviceReady())
        return reply(m_out, replyHeader(m_out, type, index, Status::Failed));
    if (type == MessageType::Write) {
        const std::uint16_t count = le16(message + 2);
        std::uint32_t written = 0;
        serialBackend.write(m_device, message + kWriteHeader, count, &written);
        return reply(m_out, replyHeader(m_out, type, index, Status::Ok, std::uint16_t(written)));
    }
    std::uint32_t got = 0;
    if (!serialBackend.read(m_device, m_out + kReplyHeader, kReadChunk, &got)) {
        // The device hung up or failed: answer the failure, and open it afresh for the next client.
        logLine("%s failed", m_options.device.c_str());
        serialBackend.close(m_device);
        m_device = pyrolink::kInvalidHandle;
        m_portOpen = false;
        return reply(m_out, replyHeader(m_out, type, index, Status::Failed));
    }
    replyHeader(m_out, type, index, Status::Ok, std::uint16_t(got));
    reply(m_out, kReplyHeader + got);
}

void Server::handleOpen(const std::uint8_t *message) {
    const OpenRequest r = decodeOpen(message);
    m_portOpen = false;
    bool ok = deviceReady() && serialBackend.configure(m_device, r.baud);
    if (ok) {
        discardInput();
        ok = serialBackend.setTimeouts(m_device, timeoutsFor(r, kReadChunk, kReadCapMs));
    }
    logLine("client %s %s COM%d at %d baud, t1 %d t2 %d t3 %d", m_peer.c_str(),
            ok ? "opened" : "could not open", r.index + 1, r.baud, r.t1, r.t2, r.t3);
    m_portOpen = ok;
    m_portIndex = r.index;
    reply(m_out, replyHeader(m_out, MessageType::Open, r.index, ok ? Status::Ok : Status::Failed));
}

void Server::reply(const std::uint8_t *bytes, std::size_t size) {
    if (m_options.verbose) logBytes("->", bytes, size);
    if (!sendAll(m_client, bytes, size)) dropClient("gone before its reply");
}

void Server::dropClient(const char *why) {
    if (m_client < 0) return;
    logLine("client %s: %s, connection closed", m_peer.c_str(), why);
    close(m_client);
    m_client = -1;
    m_have = 0;
    m_portOpen = false;
}

// The one device given at start; after it failed, the same path is opened again.
bool Server::deviceReady() {
    if (m_device == pyrolink::kInvalidHandle) m_device = serialBackend.openPath(m_options.device.c_str());
    if (m_device == pyrolink::kInvalidHandle) logLine("cannot open %s", m_options.device.c_str());
    return m_device != pyrolink::kInvalidHandle;
}

// A freshly opened port has an empty input queue; bytes left from an earlier client must not be
// taken for the new client's replies.
void Server::discardInput() {
    serialBackend.setTimeouts(m_device, pyrolink::ReadTimeouts{pyrolink::kMaxDword, 0, 0});
    std::uint32_t got = 0;
    for (int i = 0; i < 64; ++i)
        if (!serialBackend.read(m_device, m_out, sizeof m_out, &got) || got == 0) break;
}

void Server::logBytes(const char *direction, const std::uint8_t *bytes, std::size_t size) {
    std::string text;
    text.reserve(size * 3);
    char hex[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
        text += hex;
    }
    logLine("%s %s%s", m_peer.c_str(), direction, text.c_str());
}

} // namespace

int main(int argc, char **argv) {
    const Options options = parse(argc, argv);
    signal(SIGPIPE, SIG_IGN);
    if (pipe2(g_signalPipe, O_CLOEXEC) != 0) return 1;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    Server server(options);
    if (!server.start()) return 1;
    server.run();
    return 0;
}
