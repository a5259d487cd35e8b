// The program's one link to the stove board. The link library keeps one process-wide port state and
// takes no locks, so every use of it goes through this object, which serialises the window thread
// and the polling thread: each single transaction attempt holds the link for its own duration only.
#pragma once

#include "board/retrypolicy.h"

#include <QList>

#include <atomic>
#include <functional>
#include <mutex>

// The line settings the program opens the link with.
struct LinkSettings {
    int com = 0;
    int baudRate = 9600;
    int delay = 20; // read time-out in milliseconds
    // Per-byte and inter-byte read time-out: 2 ms at 9600 baud, 1 ms otherwise.
    short byteTimeout() const { return baudRate == 9600 ? 2 : 1; }
};

class BoardLink {
public:
    // One transaction attempt given its wait time in milliseconds; non-zero on success.
    using Attempt = std::function<int(int wait)>;
    // Asked before each attempt; false abandons the remaining ones.
    using Proceed = std::function<bool()>;

    BoardLink() = default;
    ~BoardLink();
    BoardLink(const BoardLink &) = delete;
    BoardLink &operator=(const BoardLink &) = delete;

    // Opens the port as controller type 0 with the read time-out `delay` and the byte time-outs of
    // the baud rate, closing it first if it is open; returns the library's result (0 success,
    // negative codes on failure).
    int open(const LinkSettings &settings);
    // Closes the port if it is open.
    void close();
    bool isOpen() const { return m_open.load(); }
    // Closes the link and returns the port indexes (0..15) that can be opened.
    QList<int> scanPorts();

    // Runs `attempt` with the policy's wait times until it succeeds or the attempts run out.
    bool transact(const RetryPolicy &policy, const Attempt &attempt, const Proceed &proceed = {});

    // Runs `work` while holding the link: one memory command, or a short sequence that must not be
    // interleaved with polling.
    template <typename Work> auto exclusive(Work &&work) {
        std::lock_guard lock(m_mutex);
        return work();
    }

private:
    std::mutex m_mutex;
    std::atomic<bool> m_open{false};
};
