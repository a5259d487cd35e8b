// Helpers of the administration tests: the simulator as a child process with its control channel and
// transcript, the requests it received decoded from that transcript, firmware files written by hand
// or by srec_cat, and flash images.
#pragma once

#include "board/boardlink.h"
#include "kit.h"

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <poll.h>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
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

// Undoes the transcript's escapes (\r, \n, \\, \xHH).
inline Bytes unescape(const std::string &text) {
    Bytes out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out.push_back(static_cast<std::uint8_t>(text[i]));
            continue;
        }
        const char c = text[++i];
        if (c == 'r') {
            out.push_back('\r');
        } else if (c == 'n') {
            out.push_back('\n');
        } else if (c == 'x' && i + 2 < text.size()) {
            out.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(static_cast<std::uint8_t>(c));
        }
    }
    return out;
}

// The simulator on a pty bound to COM1, with a transcript; stopped (SIGTERM) when it goes.
class SimBoard {
public:
    // With `transcript`, requests() reads back what the board received.
    explicit SimBoard(std::vector<std::string> args, bool transcript = true) {
        static int serial = 0;
        if (transcript) {
            m_log = stovesim::test::scratch("sim" + std::to_string(++serial) + ".log").string();
            args.insert(args.end(), {"--log", m_log});
        }
        m_child = stovesim::test::spawn(HB_STOVESIM, args);
        m_path = readLine();
        if (!m_path.empty()) setenv("PYROLINK_COM1", m_path.c_str(), 1);
    }
    ~SimBoard() {
        if (m_child.pid > 0) {
            kill(m_child.pid, SIGTERM);
            waitpid(m_child.pid, nullptr, 0);
        }
        close(m_child.in);
        close(m_child.out);
    }
    SimBoard(const SimBoard &) = delete;
    SimBoard &operator=(const SimBoard &) = delete;

    bool ok() const { return !m_path.empty(); }

    // One control command; its one-line answer.
    std::string control(const std::string &command) {
        const std::string line = command + "\n";
        if (write(m_child.in, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return {};
        return readLine();
    }

    // A board register's value ("ok gen 1 18 range 0..99"), and setting it.
    int value(int table, int index) {
        std::istringstream reply(control((table == 0 ? "get gen " : "get tec ") + std::to_string(index)));
        std::string ok, name;
        int number = -1, value = -1;
        reply >> ok >> name >> number >> value;
        return value;
    }
    void set(int table, int index, int value) {
        control((table == 0 ? "set gen " : "set tec ") + std::to_string(index) + " " + std::to_string(value));
    }

    // The whole flash as the board holds it now (1 MiB, byte i = address i).
    Bytes flash() {
        static int serial = 0;
        const std::string file =
            stovesim::test::scratch("flash" + std::to_string(++serial) + ".bin").string();
        if (control("dump-flash " + file).rfind("ok", 0) != 0) return {};
        std::ifstream in(file, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    // Every request received so far, in order.
    std::vector<Request> requests() const {
        std::vector<Request> out;
        std::ifstream in(m_log);
        std::string line;
        while (std::getline(in, line)) {
            // "hh:mm:ss.mmm RX <bytes>"
            const std::size_t at = line.find(" RX ");
            if (at != std::string::npos) out.push_back({unescape(line.substr(at + 4))});
        }
        return out;
    }
    std::vector<Request> frames(int command) const {
        std::vector<Request> out;
        for (const Request &r : requests())
            if (r.isFrame() && r.command() == command) out.push_back(r);
        return out;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const Request &r : requests())
            if (!r.isFrame()) out.push_back(r.text());
        return out;
    }
    int count(const std::string &text) const {
        int n = 0;
        for (const std::string &t : texts())
            n += t == text;
        return n;
    }

private:
    std::string readLine() {
        std::string line;
        char c;
        for (;;) {
            pollfd fd{m_child.out, POLLIN, 0};
            if (poll(&fd, 1, 10000) <= 0 || read(m_child.out, &c, 1) != 1) return {};
            if (c == '\n') return line;
            line += c;
        }
    }

    stovesim::test::Child m_child;
    std::string m_path;
    std::string m_log;
};

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
