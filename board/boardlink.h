// The program's one link to the stove board. The link library keeps one process-wide port state and
// takes no locks, so every use of it goes through this object, which serialises the window thread
// and the polling thread: each single transaction attempt holds the link for its own duration only.
//
// It also keeps late replies away from the next command. A transaction drops what has already
// arrived before it writes; that suffices while the line is settled, i.e. every command sent got
// its one reply, read by its own transaction. After a failed attempt (its reply may still be on the
// way), after opening the port and after memory commands (whose replies are not checked here) the
// next attempts first wait for the line to fall quiet: a full drain (ClearComm), which lasts the
// port's read time-out (delay + 255 byte time-outs: 530 ms at 9600 baud) when nothing comes.
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

    // Runs one transaction attempt with `wait` while holding the link, after the full drains the
    // line is owed; a full drain that fails (bytes keep coming) fails the attempt before it sends.
    bool attempt(const Attempt &attempt, int wait);
    // Runs `attempt` with the policy's wait times until it succeeds or the attempts run out.
    bool transact(const RetryPolicy &policy, const Attempt &attempt, const Proceed &proceed = {});

    // Runs `work` while holding the link: one memory command, or a short sequence that must not be
    // interleaved with polling. Its replies are unknown here, so the line is unsettled afterwards.
    template <typename Work> auto exclusive(Work &&work) {
        std::lock_guard lock(m_mutex);
        m_drainsOwed = kDrainsAfterFailure;
        return work();
    }

private:
    // A failed attempt's reply may come late, while the next attempt waits: that one may then take
    // it for its own and succeed while its own reply is still on the way. So the two attempts after
    // a failure both start with a full drain, as every attempt did before drains were tracked.
    static constexpr int kDrainsAfterFailure = 2;
    // After opening, only bytes from before (a board's start-up, an earlier session) can be there.
    static constexpr int kDrainsAfterOpen = 1;

    std::mutex m_mutex;
    std::atomic<bool> m_open{false};
    int m_drainsOwed = kDrainsAfterOpen; // full drains still owed; guarded by m_mutex
};
