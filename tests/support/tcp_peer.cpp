#include "tcp_peer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

TcpPeer::TcpPeer(std::uint16_t port) {
    m_listen = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(m_listen, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || listen(m_listen, 4) != 0) {
        close(m_listen);
        m_listen = -1;
    }
    if (pipe(m_stopPipe) != 0) throw std::runtime_error("pipe failed");
}

TcpPeer::~TcpPeer() {
    stop();
    closeClient();
    if (m_listen >= 0) close(m_listen);
    close(m_stopPipe[0]);
    close(m_stopPipe[1]);
}

bool TcpPeer::accept(std::chrono::milliseconds timeout) {
    pollfd p{m_listen, POLLIN, 0};
    if (m_listen < 0 || poll(&p, 1, int(timeout.count())) <= 0) return false;
    closeClient();
    m_client = ::accept(m_listen, nullptr, nullptr);
    if (m_client < 0) return false;
    int one = 1;
    setsockopt(m_client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ++m_connections;
    return true;
}

Bytes TcpPeer::read(std::size_t count, std::chrono::milliseconds timeout) {
    Bytes out;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_client >= 0 && out.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{m_client, POLLIN, 0};
        if (left.count() <= 0) break;
        if (poll(&p, 1, int(left.count())) <= 0) continue;
        std::uint8_t buf[4096];
        const ssize_t n = recv(m_client, buf, std::min(sizeof buf, count - out.size()), 0);
        if (n <= 0) break;
        out.insert(out.end(), buf, buf + n);
        std::lock_guard lock(m_mutex);
        m_received.insert(m_received.end(), buf, buf + n);
    }
    return out;
}

void TcpPeer::write(const Bytes &data) {
    if (m_client >= 0 && !data.empty()) (void)!send(m_client, data.data(), data.size(), MSG_NOSIGNAL);
}

void TcpPeer::closeClient() {
    if (m_client >= 0) close(m_client);
    m_client = -1;
}

void TcpPeer::serve(std::function<void(TcpPeer &, Bytes &)> handler) {
    stop();
    m_serving = true;
    m_thread = std::thread([this, handler] {
        Bytes pending;
        for (;;) {
            const int fd = m_client >= 0 ? m_client : m_listen;
            pollfd p[2] = {{fd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
            if (poll(p, 2, -1) < 0 && errno != EINTR) return;
            if (p[1].revents) {
                char c;
                (void)!::read(m_stopPipe[0], &c, 1);
                return;
            }
            if (!p[0].revents) continue;
            if (fd == m_listen) {
                accept(std::chrono::milliseconds(0));
                pending.clear();
                continue;
            }
            std::uint8_t buf[4096];
            const ssize_t n = recv(m_client, buf, sizeof buf, 0);
            if (n <= 0) {
                closeClient();
                continue;
            }
            {
                std::lock_guard lock(m_mutex);
                m_received.insert(m_received.end(), buf, buf + n);
            }
            pending.insert(pending.end(), buf, buf + n);
            handler(*this, pending);
        }
    });
}

void TcpPeer::stop() {
    if (!m_serving) return;
    (void)!::write(m_stopPipe[1], "x", 1);
    if (m_thread.joinable()) m_thread.join();
    m_serving = false;
}

Bytes TcpPeer::received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

} // namespace testsupport
