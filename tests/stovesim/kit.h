// Helpers of the simulator's tests, free of the engine so that the program-level tests build without
// it: a scratch folder, and boot-loader frames put together by hand (independently of the
// simulator's own encoder).
#pragma once

#include <cstdint>
#include <filesystem>
#include <numeric>
#include <string>
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

} // namespace stovesim::test
