// Helpers of the administration tests: the requests the simulator received, decoded from its
// transcript; firmware files written by hand or by srec_cat, and flash images.
#pragma once

#include "board/boardlink.h"
#include "kit.h"
#include "simulator.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace admintest {

using Bytes = std::vector<std::uint8_t>;

// One request as the simulator's transcript recorded it.
struct Request {
    Bytes bytes;
    bool isFrame() const { return bytes.size() >= 11 && bytes[0] == 0x55 && bytes[1] == 0xAA; }
    int command() const { return bytes[4]; }
    int length() const { return bytes[5]; }
    std::uint32_t address() const {
        return std::uint32_t{bytes[6]} << 24 | std::uint32_t{bytes[7]} << 16 | std::uint32_t{bytes[8]} << 8 |
               bytes[9];
    }
    // The sector of an erase request.
    int sector() const { return bytes.size() > 12 ? bytes[12] : -1; }
    std::string text() const { return std::string(bytes.begin(), bytes.end()); }
};

inline constexpr int kRead = 0x00, kWriteFlash = 0x04, kErase = 0x05;

using hbsupport::Simulator;
// The simulator as these tests start it: on COM1, with the transcript the functions below decode.
inline const hbsupport::SimulatorOptions kWithTranscript{.transcript = true};

// Every request the simulator received so far, in order.
inline std::vector<Request> requestsOf(const Simulator &board) {
    std::vector<Request> out;
    for (const std::string &request : board.requests())
        out.push_back({Bytes(request.begin(), request.end())});
    return out;
}
inline std::vector<Request> framesOf(const Simulator &board, int command) {
    std::vector<Request> out;
    for (const Request &r : requestsOf(board))
        if (r.isFrame() && r.command() == command) out.push_back(r);
    return out;
}
inline std::vector<std::string> textsOf(const Simulator &board) {
    std::vector<std::string> out;
    for (const Request &r : requestsOf(board))
        if (!r.isFrame()) out.push_back(r.text());
    return out;
}
inline int countOf(const Simulator &board, const std::string &text) {
    const std::vector<std::string> all = textsOf(board);
    return int(std::count(all.begin(), all.end(), text));
}
// Sets a board register (table 0 general, 1 technical) through the control channel.
inline void setValue(Simulator &board, int table, int index, int value) {
    board.control((table == 0 ? "set gen " : "set tec ") + std::to_string(index) + " " +
                  std::to_string(value));
}

// The link as the program opens it for an update, at 38400 baud (1 ms byte time-outs).
struct Link {
    Link() { opened = link.open(LinkSettings{0, 38400, 20}) == 0; }
    BoardLink link;
    bool opened = false;
};

// An S2 record line with its checksum.
inline std::string s2Line(std::uint32_t address, const Bytes &data) {
    Bytes fields = {static_cast<std::uint8_t>(data.size() + 4), static_cast<std::uint8_t>(address >> 16),
                    static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
    fields.insert(fields.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (auto b : fields)
        sum += b;
    fields.push_back(static_cast<std::uint8_t>(~sum));
    std::string line = "S2";
    char hex[3];
    for (auto b : fields) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    return line;
}

struct Block {
    std::uint32_t address;
    Bytes data;
};

// A firmware file with the header and end lines around the given records.
inline std::string motFile(const std::vector<Block> &blocks) {
    std::string text = "S0030000FC\r\n";
    for (const Block &b : blocks)
        text += s2Line(b.address, b.data) + "\r\n";
    return text + "S804000000FB\r\n";
}

// Reproducible bytes that are never all 0xFF.
inline Bytes pattern(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    Bytes out(size);
    for (auto &b : out)
        b = static_cast<std::uint8_t>(gen() % 255);
    return out;
}

inline void writeFile(const std::string &path, const std::string &content) {
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs srec_cat on a binary file with options for the input (before "-o") and for the Motorola
// output; the output file's text, or nothing when it did not run.
inline std::optional<std::string> srecCat(const Bytes &image, const std::string &input,
                                          const std::string &output) {
    static int serial = 0;
    const std::string stem = stovesim::test::scratch("srec" + std::to_string(++serial)).string();
    writeFile(stem + ".bin", std::string(image.begin(), image.end()));
    const std::string command =
        "srec_cat '" + stem + ".bin' -binary " + input + " -o '" + stem + ".mot' -motorola " + output;
    if (std::system(command.c_str()) != 0) return std::nullopt;
    return readFile(stem + ".mot");
}

// srec_cat's input options for a file the boot loader takes, at `offset`: the empty header and an end
// record with start address 0; the output then needs only "-address-length=3" (S2 records).
inline std::string loaderInput(std::uint32_t offset) {
    return "-offset " + std::to_string(offset) + " -header '' -execution-start-address=0";
}

} // namespace admintest
