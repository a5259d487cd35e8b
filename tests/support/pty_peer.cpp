#include "pty_peer.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace testsupport {
namespace {

using Clock = std::chrono::steady_clock;

int msUntil(Clock::time_point deadline) {
    return int(std::max<long long>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
}

// Waits up to `waitMs` for bytes on `fd` and appends at most `max` of them to `out` and, under
// `mutex`, to `record`: the count, 0 when none came, -1 when the line failed.
long take(int fd, Bytes &out, std::size_t max, int waitMs, std::mutex &mutex, Bytes &record) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0) return 0;
    std::uint8_t buf[512];
    const ssize_t n = ::read(fd, buf, std::min(sizeof buf, max));
    if (n < 0) return errno == EAGAIN || errno == EINTR ? 0 : -1;
    out.insert(out.end(), buf, buf + n);
    std::lock_guard lock(mutex);
    record.insert(record.end(), buf, buf + n);
    return n;
}

} // namespace

Bytes bytes(std::initializer_list<int> values) {
    return Bytes(values.begin(), values.end());
}

std::string hex(const Bytes &data) {
    std::string out;
    char buf[4];
    for (std::uint8_t b : data) {
        std::snprintf(buf, sizeof buf, out.empty() ? "%02X" : " %02X", b);
        out += buf;
    }
    return out;
}

PtyPeer::PtyPeer() {
    char name[256] = {};
    if (openpty(&m_master, &m_slaveKeep, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    termios tio{};
    tcgetattr(m_slaveKeep, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_slaveKeep, TCSANOW, &tio);
    m_slavePath = name;
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    if (pipe(m_stopPipe) != 0) throw std::runtime_error("pipe failed");
}

PtyPeer::~PtyPeer() {
    hangUp();
    close(m_stopPipe[0]);
    close(m_stopPipe[1]);
}

void PtyPeer::bindCom(int comNumber) const {
    setenv(("PYROLINK_COM" + std::to_string(comNumber)).c_str(), m_slavePath.c_str(), 1);
}

Bytes PtyPeer::read(std::size_t count, std::chrono::milliseconds timeout) {
    Bytes out;
    for (const auto deadline = Clock::now() + timeout; out.size() < count && msUntil(deadline) > 0;)
        if (take(m_master, out, count - out.size(), msUntil(deadline), m_mutex, m_received) < 0) break;
    return out;
}

Bytes PtyPeer::readUntilQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds timeout) {
    Bytes out;
    for (const auto deadline = Clock::now() + timeout; msUntil(deadline) > 0;) {
        const int left = msUntil(deadline), wait = std::min(left, int(quiet.count()));
        const long n = take(m_master, out, 512, wait, m_mutex, m_received);
        if (n < 0 || (n == 0 && (!out.empty() || left <= quiet.count()))) break;
    }
    return out;
}

void PtyPeer::write(const Bytes &data) {
    for (std::size_t done = 0; done < data.size();) {
        const ssize_t n = ::write(m_master, data.data() + done, data.size() - done);
        if (n > 0) {
            done += std::size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{m_master, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            return;
        }
    }
}

void PtyPeer::write(const std::string &text) {
    write(Bytes(text.begin(), text.end()));
}

void PtyPeer::serve(std::function<void(PtyPeer &, Bytes &)> handler) {
    stop();
    m_serving = true;
    m_thread = std::thread([this, handler] {
        Bytes pending;
        for (;;) {
            pollfd p[2] = {{m_master, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
            if (poll(p, 2, -1) < 0 && errno != EINTR) return;
            if (p[1].revents) {
                char c;
                (void)!::read(m_stopPipe[0], &c, 1);
                return;
            }
            if (p[0].revents & POLLIN) {
                if (take(m_master, pending, 512, 0, m_mutex, m_received) > 0) handler(*this, pending);
            } else if (p[0].revents & (POLLHUP | POLLERR)) {
                usleep(1000);
            }
        }
    });
}

void PtyPeer::stop() {
    if (!m_serving) return;
    (void)!::write(m_stopPipe[1], "x", 1);
    if (m_thread.joinable()) m_thread.join();
    m_serving = false;
}

Bytes PtyPeer::received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

void PtyPeer::clearReceived() {
    std::lock_guard lock(m_mutex);
    m_received.clear();
}

void PtyPeer::hangUp() {
    stop();
    if (m_master >= 0) close(m_master);
    if (m_slaveKeep >= 0) close(m_slaveKeep);
    m_master = m_slaveKeep = -1;
}

} // namespace testsupport
