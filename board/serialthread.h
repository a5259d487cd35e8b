// The polling thread: while the hardware test page or the debug page is shown it reads the board's
// inputs or monitor indexes and reports each value through a queued signal.
#pragma once

#include "board/stovemodel.h"

#include <QThread>
#include <QVector>

#include <atomic>
#include <condition_variable>
#include <mutex>

class BoardLink;

enum class PollMode : int { Idle = 0, Inputs = 1, Monitor = 2 };

class SerialThread : public QThread {
    Q_OBJECT

public:
    explicit SerialThread(BoardLink &link);
    ~SerialThread() override;

    // Takes effect before the next transaction attempt: a cycle of the previous mode is abandoned.
    void setMode(PollMode mode);
    PollMode mode() const { return m_mode.load(); }
    // The model whose inputs and indexes are polled; nothing is sent while it is Unknown.
    void setModel(StoveModel model);

    // Asks the loop to end after the transaction in flight; wait() for it afterwards. The link may be
    // closed only once the thread has stopped.
    void requestStop();

    // The inputs polled in input mode and the monitor index count, for a board model.
    static QVector<unsigned short> inputsFor(StoveModel model);
    static int indexCountFor(StoveModel model);

signals:
    void testhwinputRead(short input, short val);
    void debugRead(short index, short tripletta1, short tripletta2, short tripletta3);

protected:
    void run() override;

private:
    bool stopping() const { return m_stop.load(); }
    void pollInputs(StoveModel model);
    void pollMonitor(StoveModel model);
    // Sleeps while idle until the mode or model changes or a stop is requested.
    void idleWait();
    void wakeUp();

    BoardLink &m_link;
    std::atomic<PollMode> m_mode{PollMode::Idle};
    std::atomic<StoveModel> m_model{StoveModel::Unknown};
    std::atomic<bool> m_stop{false};
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
};
