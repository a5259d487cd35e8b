// A scripted TCP peer on the loopback interface (by default the proxy port 1996): accepts the
// library's connection, records every byte and answers as the test says.
#pragma once

#include "pty_peer.h"

#include <atomic>

namespace testsupport {

class TcpPeer {
public:
    explicit TcpPeer(std::uint16_t port = 1996);
    ~TcpPeer();
    TcpPeer(const TcpPeer &) = delete;
    TcpPeer &operator=(const TcpPeer &) = delete;

    bool listening() const { return m_listen >= 0; }
    // Waits for the client; false after `timeout`.
    bool accept(std::chrono::milliseconds timeout = 2000ms);
    bool connected() const { return m_client >= 0; }
    Bytes read(std::size_t count, std::chrono::milliseconds timeout = 2000ms);
    void write(const Bytes &data);
    void closeClient();
    // Accepts (repeatedly) and runs `handler` for every chunk that arrives, on a background thread.
    void serve(std::function<void(TcpPeer &, Bytes &pending)> handler);
    void stop();
    Bytes received() const;
    int connections() const { return m_connections.load(); }

private:
    int m_listen = -1;
    int m_client = -1;
    int m_stopPipe[2] = {-1, -1};
    mutable std::mutex m_mutex;
    Bytes m_received;
    std::thread m_thread;
    bool m_serving = false;
    std::atomic<int> m_connections{0};
};

} // namespace testsupport
