// The polling thread: while the hardware test page or the debug page is shown it reads the board's
// inputs (mode 1) or monitor indexes (mode 2) and reports each value through a queued signal.
#pragma once

#include <QThread>
#include <QVector>
#include <atomic>
#include <condition_variable>
#include <mutex>

class SerialThread : public QThread {
    Q_OBJECT

public:
    SerialThread();
    ~SerialThread() override;

    // 0 idle, 1 input mode, 2 monitor mode; takes effect at the start of the next cycle.
    void setMode(int mode);
    int mode() const { return pollMode.load(); }

    // Asks the loop to end after the transaction in flight; wait() for it afterwards. The link may be
    // closed only once the thread has stopped.
    void requestStop();

    // The inputs polled in input mode and the monitor index count, for a board model.
    static QVector<unsigned short> inputsFor(int model);
    static int indexCountFor(int model);

signals:
    void testhwinputRead(short input, short val);
    void debugRead(short index, short tripletta1, short tripletta2, short tripletta3);

protected:
    void run() override;

private:
    bool stopping() const { return stopRequested.load(); }
    void pollInputs(int model);
    void pollMonitor(int model);
    // Sleeps while idle until the mode changes or a stop is requested (bounded, so a missed wake-up
    // costs at most one short pause).
    void idleWait();

    std::atomic<int> pollMode{0};
    std::atomic<bool> stopRequested{false};
    std::mutex wakeMutex;
    std::condition_variable wake;
};
