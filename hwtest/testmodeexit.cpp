#include "hwtest/testmodeexit.h"

#include "hwtest/outputs.h"

#include <chrono>

namespace hwtest {

LeaveResult switchOffAndLeave(BoardLink &link, StoveModel model, const BoardLink::Proceed &proceed) {
    LeaveResult result;
    const std::optional<OutputCommand> off = allOutputsOff(model);
    result.outputsOff =
        !off || link.transact(
                    retry::allOff, [&off](int wait) { return sendOutputCommand(*off, wait); }, proceed);
    result.left = link.transact(
        retry::testOff, [](int wait) { return sendTestModeCommand(TestModeCommand::Leave, wait); }, proceed);
    return result;
}

TestModeExit::TestModeExit(BoardLink &link, int periodMs) : m_link(link), m_periodMs(periodMs) {}

TestModeExit::~TestModeExit() {
    stop();
}

void TestModeExit::start(StoveModel model) {
    if (m_thread.joinable()) return;
    m_stop = false; // no thread runs: nothing else reads it now
    m_thread = std::thread([this, model] { repeat(model); });
}

void TestModeExit::stop() {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void TestModeExit::repeat(StoveModel model) {
    const auto proceed = [this] {
        std::lock_guard lock(m_mutex);
        return !m_stop;
    };
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            if (m_wake.wait_for(lock, std::chrono::milliseconds(m_periodMs), [this] { return m_stop; }))
                return;
        }
        if (switchOffAndLeave(m_link, model, proceed).left) {
            emit left();
            return;
        }
    }
}

} // namespace hwtest
