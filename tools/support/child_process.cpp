#include "child_process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace hbsupport {
namespace {

using Clock = std::chrono::steady_clock;

// Reads what `fd` has within `timeoutMs` into `into`, kept bounded for a long-running child; false
// at the end of the stream.
bool drain(int fd, std::string &into, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    char buf[4096];
    if (fd < 0 || poll(&p, 1, timeoutMs) <= 0) return fd >= 0;
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) into.append(buf, std::size_t(n));
    if (into.size() > (1u << 20)) into.erase(0, into.size() - (1u << 19));
    return n > 0 || (n < 0 && errno == EINTR);
}

// Drains `fd` into `text` until `find` returns something, the stream ends or `timeout` passes.
template <typename Find>
std::optional<std::string> until(int fd, std::string &text, std::chrono::milliseconds timeout, Find find) {
    for (const auto deadline = Clock::now() + timeout;;) {
        if (std::optional<std::string> found = find()) return found;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !drain(fd, text, int(left.count()))) return std::nullopt;
    }
}

} // namespace

ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &args, Input input) {
    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
    const auto closeAll = [&] {
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            if (fd >= 0) close(fd);
    };
    if ((input == Input::Pipe && pipe2(in, O_CLOEXEC) != 0) || pipe2(out, O_CLOEXEC) != 0 ||
        pipe2(err, O_CLOEXEC) != 0) {
        closeAll();
        return;
    }
    // A write to a program that has ended fails instead of ending the caller.
    if (input == Input::Pipe) std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> words = args;
    words.insert(words.begin(), program);
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    m_pid = fork();
    if (m_pid == 0) {
        // Standard input is empty or a pipe; pipes replace output and error; every other descriptor
        // of the caller (a pty master, a socket) is closed.
        dup2(in[0] >= 0 ? in[0] : open("/dev/null", O_RDONLY), 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd = 3; fd < 1024; ++fd)
            close(fd);
        std::signal(SIGPIPE, SIG_DFL);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    if (m_pid < 0) {
        closeAll();
        return;
    }
    if (in[0] >= 0) close(in[0]);
    close(out[1]);
    close(err[1]);
    m_in = in[1];
    m_out = out[0];
    m_err = err[0];
}

ChildProcess::~ChildProcess() {
    if (m_pid > 0 && stop(SIGTERM, std::chrono::seconds(2)) < 0) stop(SIGKILL);
    closeInput();
    if (m_out >= 0) close(m_out);
    if (m_err >= 0) close(m_err);
}

std::optional<std::string> ChildProcess::outputLine(std::chrono::milliseconds timeout) {
    return until(m_out, m_outText, timeout, [this]() -> std::optional<std::string> {
        const auto nl = m_outText.find('\n');
        if (nl == std::string::npos) return std::nullopt;
        std::string line = m_outText.substr(0, nl);
        m_outText.erase(0, nl + 1);
        return line;
    });
}

std::optional<std::string> ChildProcess::waitForError(const std::string &text,
                                                      std::chrono::milliseconds timeout) {
    return until(m_err, m_errText, timeout, [&]() -> std::optional<std::string> {
        const auto at = m_errText.find(text, m_errSeen);
        if (at == std::string::npos) return std::nullopt;
        const auto begin = m_errText.rfind('\n', at);
        const std::size_t from = begin == std::string::npos ? 0 : begin + 1;
        m_errSeen = std::min(m_errText.find('\n', at), m_errText.size());
        return m_errText.substr(from, m_errSeen - from);
    });
}

bool ChildProcess::writeInput(const std::string &text) {
    std::size_t done = 0;
    while (m_in >= 0 && done < text.size()) {
        const ssize_t n = write(m_in, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return m_in >= 0;
}

void ChildProcess::closeInput() {
    if (m_in >= 0) close(m_in);
    m_in = -1;
}

std::string ChildProcess::errorText() {
    drain(m_err, m_errText, 0);
    return m_errText;
}

int ChildProcess::stop(int sig, std::chrono::milliseconds timeout) {
    if (m_pid <= 0) return -1;
    kill(m_pid, sig);
    for (const auto deadline = Clock::now() + timeout; Clock::now() < deadline;) {
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
    long kib = 0;
    for (std::string word; status >> word;)
        if (word == "VmRSS:" && status >> kib) return kib;
    return 0;
}

} // namespace hbsupport
