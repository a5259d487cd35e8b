// The polling thread: while the hardware test page or the debug page is shown it reads the board's
// inputs or monitor indexes and reports each value through a queued signal. A board that does not
// answer costs little: after a cycle without any answer the thread waits before the next one.
#pragma once

#include "board/retrypolicy.h"
#include "board/stovemodel.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>

class BoardLink;

enum class PollMode : int { Idle = 0, Inputs = 1, Monitor = 2 };

// The polling thread's wait after a cycle without any answer: `first` ms, doubled after every
// further such cycle up to `longest` ms; the first answer starts again from `first`.
struct PollBackOff {
    int first = 500;
    int longest = 2000;
};

class SerialThread : public QThread {
    Q_OBJECT

public:
    explicit SerialThread(BoardLink &link, PollBackOff backOff = {});
    ~SerialThread() override;

    // Takes effect before the next transaction attempt: a cycle of the previous mode is abandoned.
    void setMode(PollMode mode);
    PollMode mode() const { return m_mode.load(); }
    // The model whose inputs and indexes are polled; nothing is sent while it is Unknown.
    void setModel(StoveModel model);

    // Asks the loop to end after the transaction in flight; wait() for it afterwards. The link may be
    // closed only once the thread has stopped.
    void requestStop();

signals:
    void testhwinputRead(short input, short val);
    void debugRead(short index, short tripletta1, short tripletta2, short tripletta3);
    // True once a whole cycle's worth of reads in a row went unanswered, false at the next answer;
    // emitted on the change only. A mode or model change starts afresh (false if it was true).
    void boardSilent(bool silent);

protected:
    void run() override;

private:
    // How a cycle went: abandoned by a mode change or stop, or completed with or without answers.
    enum class Cycle { Abandoned, Answered, Unanswered };

    bool stopping() const { return m_stop.load(); }
    Cycle pollInputs(StoveModel model);
    Cycle pollMonitor(StoveModel model);
    // One cycle of `count` transactions while `mode` stays set: `attempt(i, wait)` is one attempt of
    // transaction i, `answered(i)` follows each confirmed one.
    template <typename Attempt, typename Answered>
    Cycle pollCycle(PollMode mode, int count, const RetryPolicy &policy, Attempt attempt, Answered answered);
    // Notes whether one read was answered; `perCycle` is the number of reads in a cycle.
    void noteRead(bool answered, int perCycle);
    void resetSilence();
    // Sleeps until the mode or model is set again (`seen` is the count of sets before) or a stop is
    // requested, or `ms` have passed.
    void waitForChange(unsigned seen, int ms);
    void wakeUp();

    BoardLink &m_link;
    const PollBackOff m_backOff;
    // Used by the polling thread only.
    int m_unansweredInARow = 0;
    bool m_silent = false;
    int m_nextBackOff = 0;
    std::atomic<PollMode> m_mode{PollMode::Idle};
    std::atomic<StoveModel> m_model{StoveModel::Unknown};
    std::atomic<unsigned> m_changes{0}; // counts the mode and model sets
    std::atomic<bool> m_stop{false};
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
};
