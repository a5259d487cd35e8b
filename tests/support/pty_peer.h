// A scripted peer on the far side of a pseudo-terminal. The code under test opens the slave path
// (through PYROLINK_COM<n> for the link library); the test reads what arrived on the master side
// and answers. Every byte received is recorded.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

Bytes bytes(std::initializer_list<int> values);
std::string hex(const Bytes &data);

class PtyPeer {
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    const std::string &slavePath() const { return m_slavePath; }
    // Points PYROLINK_COM<comNumber> at this pty (comNumber 1..16).
    void bindCom(int comNumber) const;

    // Reads exactly `count` bytes, or fewer if `timeout` passes first.
    Bytes read(std::size_t count, std::chrono::milliseconds timeout = 2000ms);
    // Reads what arrives until `quiet` passes without a byte (or `timeout` in all).
    Bytes readUntilQuiet(std::chrono::milliseconds quiet = 50ms, std::chrono::milliseconds timeout = 2000ms);
    void write(const Bytes &data);
    void write(const std::string &text);

    // Runs `handler` on a background thread for every chunk that arrives: it gets the bytes
    // received and not yet consumed, erases what it used, and may write replies. Stops at stop()
    // or destruction.
    void serve(std::function<void(PtyPeer &, Bytes &pending)> handler);
    void stop();

    // Everything received so far (also while serving).
    Bytes received() const;
    void clearReceived();
    // Closes the master side: the slave sees a hang-up.
    void hangUp();

private:
    int m_master = -1;
    int m_slaveKeep = -1; // keeps the slave side alive between opens by the code under test
    std::string m_slavePath;
    mutable std::mutex m_mutex;
    Bytes m_received;
    std::thread m_thread;
    int m_stopPipe[2] = {-1, -1};
    bool m_serving = false;
};

} // namespace testsupport
