#include "child_process.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

using Clock = std::chrono::steady_clock;

ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &args) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return;
    }
    std::vector<std::string> words = args;
    words.insert(words.begin(), program);
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    m_pid = fork();
    if (m_pid == 0) {
        // Standard input is left empty and closed; the pipes replace output and error. Every other
        // descriptor of the test (a pty master, a socket) is close-on-exec or closed here.
        const int null = open("/dev/null", O_RDONLY);
        dup2(null, 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd = 3; fd < 1024; ++fd)
            close(fd);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    m_out = out[0];
    m_err = err[0];
    if (m_pid < 0) {
        close(m_out);
        close(m_err);
        m_out = m_err = -1;
    }
}

ChildProcess::~ChildProcess() {
    if (m_pid > 0 && stop(SIGTERM, std::chrono::seconds(2)) < 0) stop(SIGKILL);
    if (m_out >= 0) close(m_out);
    if (m_err >= 0) close(m_err);
}

void ChildProcess::drain(int fd, std::string &into, int timeoutMs) {
    if (fd < 0) return;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return;
    char buf[4096];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) into.append(buf, std::size_t(n));
    // Keep what a long-running child logs bounded.
    if (into.size() > (1u << 20)) into.erase(0, into.size() - (1u << 19));
}

std::optional<std::string> ChildProcess::outputLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (const auto nl = m_outText.find('\n'); nl != std::string::npos) {
            std::string line = m_outText.substr(0, nl);
            m_outText.erase(0, nl + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return std::nullopt;
        drain(m_out, m_outText, int(left.count()));
    }
}

std::optional<std::string> ChildProcess::waitForError(const std::string &text,
                                                      std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (const auto at = m_errText.find(text, m_errSeen); at != std::string::npos) {
            const auto begin = m_errText.rfind('\n', at);
            const auto end = m_errText.find('\n', at);
            const std::size_t from = begin == std::string::npos ? 0 : begin + 1;
            m_errSeen = end == std::string::npos ? m_errText.size() : end;
            return m_errText.substr(from, m_errSeen - from);
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return std::nullopt;
        drain(m_err, m_errText, int(left.count()));
    }
}

std::string ChildProcess::errorText() {
    drain(m_err, m_errText, 0);
    return m_errText;
}

int ChildProcess::stop(int sig, std::chrono::milliseconds timeout) {
    if (m_pid <= 0) return -1;
    kill(m_pid, sig);
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

long ChildProcess::residentKiB() const {
    std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
    std::string word;
    while (status >> word)
        if (word == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    return 0;
}

} // namespace testsupport
