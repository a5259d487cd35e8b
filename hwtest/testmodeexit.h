// Taking the board out of test mode, and going on trying in the background after a failure: a
// technician who leaves the hardware test with the line down must not leave the stove in test mode
// once the line is back.
#pragma once

#include "board/boardlink.h"
#include "board/stovemodel.h"

#include <QObject>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace hwtest {

// What the board confirmed of leaving test mode.
struct LeaveResult {
    bool outputsOff = false; // all outputs off (always true for an unknown model: none is sent)
    bool left = false;       // "TESTOFF"
};

// Switches every output off, then takes the board out of test mode, each command with its own
// attempts. `proceed` (when given) is asked before every attempt.
LeaveResult switchOffAndLeave(BoardLink &link, StoveModel model, const BoardLink::Proceed &proceed = {});

// Repeats switchOffAndLeave every few seconds on a thread of its own until the board confirms
// leaving test mode or the repetition is stopped.
class TestModeExit : public QObject {
    Q_OBJECT

public:
    static constexpr int kPeriodMs = 3000;

    explicit TestModeExit(BoardLink &link, int periodMs = kPeriodMs);
    ~TestModeExit() override;
    TestModeExit(const TestModeExit &) = delete;
    TestModeExit &operator=(const TestModeExit &) = delete;

    // Starts repeating (the first round after one period); a repetition already running goes on.
    void start(StoveModel model);
    // Ends the repetition; returns once the attempt in flight is over, and nothing is sent after.
    void stop();
    bool running() const { return m_thread.joinable(); }

signals:
    // The board confirmed leaving test mode; emitted on the repeating thread, just before it ends.
    void left();

private:
    void repeat(StoveModel model);

    BoardLink &m_link;
    const int m_periodMs;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false; // guarded by m_mutex
};

} // namespace hwtest
