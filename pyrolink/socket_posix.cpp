// TCP client sockets on POSIX systems. Every wait is bounded by the caller's time-out; sends
// never raise SIGPIPE when the proxy has gone away.
#include "platform.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pyrolink {
namespace {

int g_lastError = 0;

int fail() {
    g_lastError = errno;
    return 0;
}

int posixStartup() {
    return 1;
}
void posixCleanup() {}

Socket posixCreate() {
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) g_lastError = errno;
    return s < 0 ? kInvalidSocket : s;
}

int posixSetReuseAddress(Socket s) {
    int one = 1;
    return ::setsockopt(static_cast<int>(s), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) == 0 ? 1 : fail();
}

int posixConnect(Socket s, std::uint32_t address, std::uint16_t port, int timeoutMs) {
    int fd = static_cast<int>(s);
    int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(address);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        if (errno != EINPROGRESS) return fail();
        pollfd p{fd, POLLOUT, 0};
        int r;
        do {
            r = poll(&p, 1, timeoutMs);
        } while (r < 0 && errno == EINTR);
        if (r <= 0) {
            g_lastError = r == 0 ? ETIMEDOUT : errno;
            return 0;
        }
        // poll() succeeded, so errno says nothing about the connection: the cause is the
        // socket's pending error.
        int err = 0;
        socklen_t len = sizeof err;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return fail();
        if (err != 0 || !(p.revents & POLLOUT)) {
            g_lastError = err != 0 ? err : ECONNREFUSED;
            return 0;
        }
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return 1;
}

int posixSendAll(Socket s, const std::uint8_t *data, int count) {
    int fd = static_cast<int>(s);
    int done = 0;
    while (done < count) {
        ssize_t n = ::send(fd, data + done, static_cast<size_t>(count - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            int r = poll(&p, 1, 5000);
            if (r > 0) continue;
            if (r < 0 && errno == EINTR) continue;
            g_lastError = r == 0 ? ETIMEDOUT : errno;
            return 0;
        }
        return fail();
    }
    return 1;
}

int posixReceive(Socket s, std::uint8_t *buffer, int capacity, int timeoutMs) {
    int fd = static_cast<int>(s);
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        int r = poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            fail();
            return kReceiveFailed;
        }
        if (r == 0) return kReceiveTimedOut;
        ssize_t n = ::recv(fd, buffer, static_cast<size_t>(capacity), 0);
        if (n > 0) return static_cast<int>(n);
        if (n == 0) return kReceiveClosed;
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
        fail();
        return kReceiveFailed;
    }
}

void posixClose(Socket s) {
    ::close(static_cast<int>(s));
}

int posixLastError() {
    return g_lastError;
}

} // namespace

const SocketBackend socketBackend = {posixStartup,         posixCleanup, posixCreate,
                                     posixSetReuseAddress, posixConnect, posixSendAll,
                                     posixReceive,         posixClose,   posixLastError};

} // namespace pyrolink
