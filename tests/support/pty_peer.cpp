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

Bytes bytes(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

std::string hex(const Bytes &data) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", data[i]);
        out += buf;
    }
    return out;
}

PtyPeer::PtyPeer() {
    int slave = -1;
    char name[256] = {};
    if (openpty(&m_master, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    m_slaveKeep = slave;
    m_slavePath = name;
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    if (pipe(m_stopPipe) != 0) throw std::runtime_error("pipe failed");
}

PtyPeer::~PtyPeer() {
    stop();
    if (m_master >= 0) close(m_master);
    if (m_slaveKeep >= 0) close(m_slaveKeep);
    close(m_stopPipe[0]);
    close(m_stopPipe[1]);
}

void PtyPeer::bindCom(int comNumber) const {
    std::string key = "PYROLINK_COM" + std::to_string(comNumber);
    setenv(key.c_str(), m_slavePath.c_str(), 1);
}

Bytes PtyPeer::read(std::size_t count, std::chrono::milliseconds timeout) {
    Bytes out;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{m_master, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        std::uint8_t buf[512];
        std::size_t want = std::min(sizeof buf, count - out.size());
        ssize_t n = ::read(m_master, buf, want);
        if (n > 0) {
            out.insert(out.end(), buf, buf + n);
            std::lock_guard lock(m_mutex);
            m_received.insert(m_received.end(), buf, buf + n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            break;
        }
    }
    return out;
}

Bytes PtyPeer::readUntilQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds timeout) {
    Bytes out;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{m_master, POLLIN, 0};
        int wait = static_cast<int>(std::min(left, quiet).count());
        if (poll(&p, 1, wait) <= 0) {
            if (!out.empty() || left <= quiet) break;
            continue;
        }
        std::uint8_t buf[512];
        ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            out.insert(out.end(), buf, buf + n);
            std::lock_guard lock(m_mutex);
            m_received.insert(m_received.end(), buf, buf + n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            break;
        }
    }
    return out;
}

void PtyPeer::write(const Bytes &data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(m_master, data.data() + done, data.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
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
            if (!(p[0].revents & POLLIN)) {
                if (p[0].revents & (POLLHUP | POLLERR)) usleep(1000);
                continue;
            }
            std::uint8_t buf[512];
            ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0) continue;
            {
                std::lock_guard lock(m_mutex);
                m_received.insert(m_received.end(), buf, buf + n);
            }
            pending.insert(pending.end(), buf, buf + n);
            handler(*this, pending);
        }
    });
}

void PtyPeer::stop() {
    if (!m_serving) return;
    char c = 'x';
    (void)!::write(m_stopPipe[1], &c, 1);
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
    m_master = -1;
    if (m_slaveKeep >= 0) close(m_slaveKeep);
    m_slaveKeep = -1;
}

} // namespace testsupport
