// A program started for a test, a benchmark or a tool (the simulator, the proxy server), with its
// standard output and standard error read line by line, and its standard input empty or written to.
// Terminated (SIGTERM, then SIGKILL) when destroyed.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace hbsupport {

class ChildProcess {
public:
    // Empty: the program reads the end of its input at once; Pipe: writeInput() feeds it.
    enum class Input { Empty, Pipe };

    ChildProcess(const std::string &program, const std::vector<std::string> &args,
                 Input input = Input::Empty);
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
    // Writes `text` to the program's standard input (Input::Pipe); false when it could not.
    bool writeInput(const std::string &text);
    // The program sees the end of its standard input.
    void closeInput();
    // Everything written to standard error so far.
    std::string errorText();
    // Sends `sig` and waits for the exit: the exit status, 128 + signal, or -1 after `timeout`.
    int stop(int sig, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Resident memory in KiB (VmRSS), 0 when unknown.
    long residentKiB() const;

private:
    pid_t m_pid = -1;
    int m_in = -1, m_out = -1, m_err = -1;
    std::string m_outText, m_errText;
    std::size_t m_errSeen = 0;
};

} // namespace hbsupport
