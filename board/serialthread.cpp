#include "board/serialthread.h"

#include "board/boardlink.h"
#include "board/transactions.h"

#include <chrono>

namespace {
// Seven attempts per input (waits 100 .. 400 ms) and per monitor index (75 .. 375 ms).
constexpr RetryPolicy kInputPolicy{1, 7, 50, 50};
constexpr RetryPolicy kMonitorPolicy{1, 7, 25, 50};
} // namespace

SerialThread::SerialThread(BoardLink &link) : QThread(nullptr), m_link(link) {}

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
    wakeUp();
}

void SerialThread::setModel(StoveModel model) {
    m_model.store(model);
    wakeUp();
}

void SerialThread::requestStop() {
    m_stop.store(true);
    wakeUp();
}

QVector<unsigned short> SerialThread::inputsFor(StoveModel model) {
    switch (model) {
    case StoveModel::Basic:
        return {1, 2, 4, 6, 8, 9};
    case StoveModel::Water:
        return {1, 2, 3, 5, 6, 7};
    case StoveModel::AirDucted:
        return {1, 2, 3, 6, 8, 7};
    case StoveModel::Unknown:
        break;
    }
    return {};
}

int SerialThread::indexCountFor(StoveModel model) {
    switch (model) {
    case StoveModel::Basic:
        return 6;
    case StoveModel::Water:
    case StoveModel::AirDucted:
        return 5;
    case StoveModel::Unknown:
        break;
    }
    return 0;
}

void SerialThread::run() {
    while (!stopping()) {
        const PollMode mode = m_mode.load();
        const StoveModel model = m_model.load();
        if (mode == PollMode::Inputs && !inputsFor(model).isEmpty())
            pollInputs(model);
        else if (mode == PollMode::Monitor && indexCountFor(model) > 0)
            pollMonitor(model);
        else
            idleWait(); // idle, or no model known: nothing to send until something changes
    }
}

void SerialThread::pollInputs(StoveModel model) {
    const auto current = [this] { return !stopping() && m_mode.load() == PollMode::Inputs; };
    for (unsigned short input : inputsFor(model)) {
        if (!current()) return;
        short value = 0;
        if (m_link.transact(
                kInputPolicy, [&](int wait) { return readInput(input, &value, wait); }, current))
            emit testhwinputRead(static_cast<short>(input), value);
    }
}

void SerialThread::pollMonitor(StoveModel model) {
    const auto current = [this] { return !stopping() && m_mode.load() == PollMode::Monitor; };
    const int count = indexCountFor(model);
    for (int index = 1; index <= count; ++index) {
        if (!current()) return;
        short first = 0, second = 0, third = 0;
        const auto attempt = [&](int wait) {
            return readDebugValues(static_cast<unsigned short>(index), &first, &second, &third, wait);
        };
        if (m_link.transact(kMonitorPolicy, attempt, current))
            emit debugRead(static_cast<short>(index), first, second, third);
    }
}

void SerialThread::idleWait() {
    using namespace std::chrono_literals;
    const PollMode mode = m_mode.load();
    const StoveModel model = m_model.load();
    std::unique_lock lock(m_wakeMutex);
    // Every change wakes the thread; the bound only limits the cost of a wake-up lost to a race.
    m_wake.wait_for(lock, 200ms,
                    [&] { return stopping() || m_mode.load() != mode || m_model.load() != model; });
}
