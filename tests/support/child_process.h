// A program started for a test or a benchmark (the simulator, the proxy server), with its standard
// output and standard error read line by line. Terminated (SIGTERM, then SIGKILL) when destroyed.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

class ChildProcess {
public:
    ChildProcess(const std::string &program, const std::vector<std::string> &args);
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool running() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    // The next line of standard output, or nothing after `timeout`.
    std::optional<std::string> outputLine(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Waits for a line of standard error that contains `text` and returns it.
    std::optional<std::string> waitForError(const std::string &text,
                                            std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Everything written to standard error so far.
    std::string errorText();
    // Sends `sig` and waits for the exit: the exit status, 128 + signal, or -1 after `timeout`.
    int stop(int sig, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Resident memory in KiB (VmRSS), 0 when unknown.
    long residentKiB() const;

private:
    pid_t m_pid = -1;
    int m_out = -1, m_err = -1;
    std::string m_outText, m_errText;
    std::size_t m_errSeen = 0;
};

} // namespace testsupport
