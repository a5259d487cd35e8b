// The board simulator (tools/stovesim) as a child process, for tests, benchmarks and tools. It prints
// the path of its pseudo-terminal first, which is bound to PYROLINK_COM<com> so that the link library
// opens it as that port; its standard input is its control channel; with a transcript, requests()
// reads back what the board received.
#pragma once

#include "child_process.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace hbsupport {

struct SimulatorOptions {
    // The port the link library finds the simulator on (PYROLINK_COM<com>); 0 binds none.
    int com = 1;
    // Keeps a transcript of every request and reply, for requests().
    bool transcript = false;
    // The simulator program; empty: the one built with this library.
    std::string program = {};
};

class Simulator {
public:
    explicit Simulator(std::vector<std::string> args, SimulatorOptions options = {});
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // True when the simulator started and printed its pseudo-terminal's path.
    bool ok() const { return !m_path.empty(); }
    const std::string &path() const { return m_path; }
    pid_t pid() const { return m_child.pid(); }

    // One line on the control channel; its one-line answer (empty when none came).
    std::string control(const std::string &line);
    // The raw value the board holds for a parameter (table 0 general, 1 technical); -1 if none.
    int boardValue(int table, int index);
    // The whole flash as the board holds it now (byte i at address i); empty when the dump failed.
    std::vector<std::uint8_t> flash();
    // Every request received so far, in order, with its bytes as they came (needs the transcript).
    std::vector<std::string> requests() const;

    // Ends the simulator with `sig` (0: waits for it to end): its exit status, 128 + the signal, or
    // -1 after `timeout`.
    int stop(int sig, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        return m_child.stop(sig, timeout);
    }
    // The simulator sees the end of its standard input (it goes on serving).
    void closeControl() { m_child.closeInput(); }
    // What it wrote to standard error so far.
    std::string errorText() { return m_child.errorText(); }

private:
    std::string m_folder; // for the transcript and flash dumps; removed with the simulator
    std::string m_transcript;
    ChildProcess m_child;
    std::string m_path;
};

} // namespace hbsupport
