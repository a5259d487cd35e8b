// The program as main() assembles it, for tests, benchmarks and tools: the board link, the session,
// the polling thread and the main window. Given simulator arguments, it runs on the simulator, which
// starts first (bound to COM1 unless told otherwise) and goes last. Destroying the window stops the
// polling thread and closes the link.
#pragma once

#include "app/session.h"
#include "board/boardlink.h"
#include "board/serialthread.h"
#include "simulator.h"
#include "ui/hearthbench.h"

#include <QAbstractButton>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace hbsupport {

class Program {
public:
    Program() = default;
    explicit Program(std::vector<std::string> simulatorArguments, SimulatorOptions options = {})
        : m_simulator(std::in_place, std::move(simulatorArguments), std::move(options)) {}
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    HearthBench &window() { return m_window; }
    Session &session() { return m_session; }
    SerialThread &thread() { return m_thread; }
    BoardLink &link() { return m_link; }
    // The simulator, when the program was given its arguments.
    Simulator &simulator() { return *m_simulator; }
    // True when there is no simulator or it started.
    bool ok() const { return !m_simulator || m_simulator->ok(); }

    // Clicks the window's button called `name`; false when there is none.
    bool click(const char *name) {
        auto *button = m_window.findChild<QAbstractButton *>(QLatin1String(name));
        if (button != nullptr) button->click();
        return button != nullptr;
    }

private:
    std::optional<Simulator> m_simulator;
    BoardLink m_link;
    Session m_session{m_link};
    SerialThread m_thread{m_link};
    HearthBench m_window{m_session, &m_thread};
};

} // namespace hbsupport
