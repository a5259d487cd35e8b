#include "board/serialthread.h"

#include "board/transactions.h"
#include "ui/stovemodel.h"

#include <chrono>

SerialThread::SerialThread() : QThread(nullptr) {}

SerialThread::~SerialThread() {
    requestStop();
    wait();
}

void SerialThread::setMode(int mode) {
    pollMode.store(mode);
    std::lock_guard lock(wakeMutex);
    wake.notify_all();
}

void SerialThread::requestStop() {
    stopRequested.store(true);
    std::lock_guard lock(wakeMutex);
    wake.notify_all();
}

QVector<unsigned short> SerialThread::inputsFor(int model) {
    switch (model) {
    case 1:
        return {1, 2, 4, 6, 8, 9};
    case 2:
        return {1, 2, 3, 5, 6, 7};
    case 3:
        return {1, 2, 3, 6, 8, 7};
    default:
        return {};
    }
}

int SerialThread::indexCountFor(int model) {
    switch (model) {
    case 1:
        return 6;
    case 2:
    case 3:
        return 5;
    default:
        return 0;
    }
}

void SerialThread::run() {
    while (!stopping()) {
        const int mode = pollMode.load();
        const int model = currentModel.load();
        if (mode == 1 && !inputsFor(model).isEmpty()) {
            pollInputs(model);
        } else if (mode == 2 && indexCountFor(model) > 0) {
            pollMonitor(model);
        } else {
            // Idle, or no model known: nothing to send until something changes.
            idleWait();
        }
    }
}

void SerialThread::pollInputs(int model) {
    for (unsigned short input : inputsFor(model)) {
        for (int attempt = 1; attempt <= 7; ++attempt) {
            if (stopping()) return;
            short value = 0;
            linkMutex.lock();
            const int ok = readInput(input, &value, (attempt + 1) * 50);
            linkMutex.unlock();
            if (ok) {
                emit testhwinputRead(static_cast<short>(input), value);
                break;
            }
        }
    }
}

void SerialThread::pollMonitor(int model) {
    const int count = indexCountFor(model);
    for (int index = 1; index <= count; ++index) {
        for (int attempt = 1; attempt <= 7; ++attempt) {
            if (stopping()) return;
            short first = 0, second = 0, third = 0;
            linkMutex.lock();
            const int ok = readDebugValues(static_cast<unsigned short>(index), &first, &second, &third,
                                           attempt * 50 + 25);
            linkMutex.unlock();
            if (ok) {
                emit debugRead(static_cast<short>(index), first, second, third);
                break;
            }
        }
    }
}

void SerialThread::idleWait() {
    using namespace std::chrono_literals;
    const int mode = pollMode.load();
    const int model = currentModel.load();
    std::unique_lock lock(wakeMutex);
    // currentModel is set by the window without a wake-up, so the pause stays short.
    wake.wait_for(lock, 50ms,
                  [&] { return stopping() || pollMode.load() != mode || currentModel.load() != model; });
}
