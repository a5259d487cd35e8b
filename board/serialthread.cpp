#include "board/serialthread.h"

#include "board/boardlink.h"
#include "board/transactions.h"

#include <algorithm>
#include <chrono>

namespace {
// Seven attempts per input (waits 100 .. 400 ms) and per monitor index (75 .. 375 ms).
constexpr RetryPolicy kInputPolicy{1, 7, 50, 50};
constexpr RetryPolicy kMonitorPolicy{1, 7, 25, 50};
} // namespace

SerialThread::SerialThread(BoardLink &link, PollBackOff backOff)
    : QThread(nullptr), m_link(link), m_backOff(backOff), m_nextBackOff(backOff.first) {}

SerialThread::~SerialThread() {
    requestStop();
    wait();
}

void SerialThread::wakeUp() {
    std::lock_guard lock(m_wakeMutex);
    m_wake.notify_all();
}

void SerialThread::setMode(PollMode mode) {
    m_mode.store(mode);
    ++m_changes;
    wakeUp();
}

void SerialThread::setModel(StoveModel model) {
    m_model.store(model);
    ++m_changes;
    wakeUp();
}

void SerialThread::requestStop() {
    m_stop.store(true);
    wakeUp();
}

void SerialThread::run() {
    unsigned seen = m_changes.load();
    while (!stopping()) {
        // Every mode or model set (a page entered or left, a board detected) starts afresh.
        const unsigned changes = m_changes.load();
        if (changes != seen) resetSilence();
        seen = changes;
        const PollMode mode = m_mode.load();
        const StoveModel model = m_model.load();
        Cycle cycle = Cycle::Abandoned;
        if (mode == PollMode::Inputs && !polledInputs(model).isEmpty()) {
            cycle = pollInputs(model);
        } else if (mode == PollMode::Monitor && monitorIndexCount(model) > 0) {
            cycle = pollMonitor(model);
        } else {
            // Idle, or no model known: nothing to send until something changes. Every change
            // wakes the thread; the bound only limits the cost of a wake-up lost to a race.
            constexpr int kIdleCheckMs = 200;
            waitForChange(changes, kIdleCheckMs);
        }
        if (cycle == Cycle::Answered) {
            m_nextBackOff = m_backOff.first;
        } else if (cycle == Cycle::Unanswered) {
            // Reads that fail at once (a closed or vanished port) would otherwise start the next
            // cycle at once, for ever.
            waitForChange(changes, m_nextBackOff);
            m_nextBackOff = std::min(m_nextBackOff * 2, m_backOff.longest);
        }
    }
}

void SerialThread::noteRead(bool answered, int perCycle) {
    if (answered) {
        m_unansweredInARow = 0;
        if (m_silent) {
            m_silent = false;
            emit boardSilent(false);
        }
        return;
    }
    if (++m_unansweredInARow >= perCycle && !m_silent) {
        m_silent = true;
        emit boardSilent(true);
    }
}

void SerialThread::resetSilence() {
    m_unansweredInARow = 0;
    m_nextBackOff = m_backOff.first;
    if (m_silent) {
        m_silent = false;
        emit boardSilent(false);
    }
}

template <typename Attempt, typename Answered>
SerialThread::Cycle SerialThread::pollCycle(PollMode mode, int count, const RetryPolicy &policy,
                                            Attempt attempt, Answered answered) {
    const auto current = [this, mode] { return !stopping() && m_mode.load() == mode; };
    bool anyAnswered = false;
    for (int i = 0; i < count; ++i) {
        if (!current()) return Cycle::Abandoned;
        const bool ok = m_link.transact(
            policy, [&](int wait) { return attempt(i, wait); }, current);
        if (ok) answered(i);
        if (!ok && !current()) return Cycle::Abandoned; // the attempts were cut short, not refused
        noteRead(ok, count);
        anyAnswered = anyAnswered || ok;
    }
    return anyAnswered ? Cycle::Answered : Cycle::Unanswered;
}

SerialThread::Cycle SerialThread::pollInputs(StoveModel model) {
    const QList<unsigned short> inputs = polledInputs(model);
    short value = 0;
    return pollCycle(
        PollMode::Inputs, static_cast<int>(inputs.size()), kInputPolicy,
        [&](int i, int wait) { return readInput(inputs[i], &value, wait); },
        [&](int i) { emit testhwinputRead(static_cast<short>(inputs[i]), value); });
}

SerialThread::Cycle SerialThread::pollMonitor(StoveModel model) {
    short first = 0, second = 0, third = 0;
    return pollCycle(
        PollMode::Monitor, monitorIndexCount(model), kMonitorPolicy,
        [&](int i, int wait) {
            return readDebugValues(static_cast<unsigned short>(i + 1), &first, &second, &third, wait);
        },
        [&](int i) { emit debugRead(static_cast<short>(i + 1), first, second, third); });
}

void SerialThread::waitForChange(unsigned seen, int ms) {
    std::unique_lock lock(m_wakeMutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(ms),
                    [&] { return stopping() || m_changes.load() != seen; });
}
