// Helpers shared by the simulator's tests and its benchmark, free of the engine so that the
// program-level tests build without it: a scratch folder, boot-loader frames put together by hand
// (independently of the simulator's own encoder), and the simulator started on pipes (the
// benchmark drives its control channel).
#pragma once

#include <cstdint>
#include <filesystem>
#include <numeric>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace stovesim::test {

// A file name in a scratch folder of this test process; the folder goes when the process ends.
inline std::filesystem::path scratch(const std::string &name) {
    static const struct Folder {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("stovesim-test-" + std::to_string(getpid()));
        ~Folder() { std::filesystem::remove_all(path); }
    } folder;
    std::filesystem::create_directories(folder.path);
    auto p = folder.path / name;
    std::filesystem::remove(p);
    return p;
}

// A boot-loader request to node 1: header with its checksum, then the data with theirs, if any.
inline std::vector<std::uint8_t> frame(std::uint8_t command, std::uint32_t address, std::uint8_t length,
                                       const std::vector<std::uint8_t> &data = {}) {
    std::vector<std::uint8_t> f = {0x55, 0xAA, 0x00, 0x01, command, length};
    for (int shift = 24; shift >= 0; shift -= 8)
        f.push_back(static_cast<std::uint8_t>(address >> shift));
    f.push_back(static_cast<std::uint8_t>(std::accumulate(f.begin(), f.end(), 0u)));
    if (!data.empty()) {
        f.insert(f.end(), data.begin(), data.end());
        f.push_back(static_cast<std::uint8_t>(std::accumulate(data.begin(), data.end(), 0u)));
    }
    return f;
}

// A child process with pipes on its standard input and output; pid -1 when it could not start.
struct Child {
    pid_t pid = -1;
    int in = -1, out = -1;
};

// Starts `program` with `args`. Descriptors of the caller (a pty master in particular) do not live
// on in the child.
inline Child spawn(const std::string &program, std::vector<std::string> args) {
    int in[2], out[2];
    if (pipe(in) != 0) return {};
    if (pipe(out) != 0) {
        close(in[0]);
        close(in[1]);
        return {};
    }
    // Names the program when it cannot run; composed before fork, after which the child only writes.
    const std::string failure = "cannot run " + program + "\n";
    Child c;
    c.pid = fork();
    if (c.pid < 0) {
        for (int fd : {in[0], in[1], out[0], out[1]})
            close(fd);
        return {};
    }
    if (c.pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        for (int fd = 3; fd < 1024; ++fd)
            close(fd);
        std::vector<char *> argv;
        std::string exe = program;
        argv.push_back(exe.data());
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, failure.data(), failure.size());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    c.in = in[1];
    c.out = out[0];
    return c;
}

} // namespace stovesim::test
