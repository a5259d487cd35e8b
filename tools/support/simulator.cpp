#include "simulator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace hbsupport {
namespace {

// A folder of its own below the system's temporary folder; empty when it could not be made.
std::string makeFolder() {
    std::string path = (std::filesystem::temp_directory_path() / "hb-simulator-XXXXXX").string();
    return mkdtemp(path.data()) != nullptr ? path : std::string();
}

std::vector<std::string> withTranscript(std::vector<std::string> args, const std::string &transcript) {
    if (!transcript.empty()) args.insert(args.end(), {"--log", transcript});
    return args;
}

// Undoes the transcript's escapes (\r, \n, \\, \xHH).
std::string unescape(const std::string &text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'r') {
            out += '\r';
        } else if (c == 'n') {
            out += '\n';
        } else if (c == 'x' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

Simulator::Simulator(std::vector<std::string> args, SimulatorOptions options)
    : m_folder(makeFolder()),
      m_transcript(options.transcript && !m_folder.empty() ? m_folder + "/transcript.log" : std::string()),
      m_child(options.program.empty() ? std::string(HB_STOVESIM_PROGRAM) : options.program,
              withTranscript(std::move(args), m_transcript), ChildProcess::Input::Pipe),
      // A loaded machine may take a while to start it.
      m_path(m_child.outputLine(std::chrono::seconds(10)).value_or(std::string())) {
    if (m_path.empty()) {
        std::fprintf(stderr, "the simulator printed no pseudo-terminal path: %s\n",
                     m_child.errorText().c_str());
        return;
    }
    if (options.com > 0) setenv(("PYROLINK_COM" + std::to_string(options.com)).c_str(), m_path.c_str(), 1);
}

Simulator::~Simulator() {
    // Ended before its folder goes: it may still be writing the transcript.
    if (m_child.running() && m_child.stop(SIGTERM, std::chrono::seconds(2)) < 0) m_child.stop(SIGKILL);
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

std::string Simulator::control(const std::string &line) {
    if (!m_child.writeInput(line + "\n")) return {};
    return m_child.outputLine(std::chrono::seconds(10)).value_or(std::string());
}

int Simulator::boardValue(int table, int index) {
    // "ok gen 1 18 range 0..99"
    std::istringstream reply(control((table == 0 ? "get gen " : "get tec ") + std::to_string(index)));
    std::string ok, name;
    int number = -1, value = -1;
    reply >> ok >> name >> number >> value;
    return ok == "ok" && reply ? value : -1;
}

std::vector<std::uint8_t> Simulator::flash() {
    const std::string file = m_folder + "/flash.bin";
    if (m_folder.empty() || control("dump-flash " + file).rfind("ok", 0) != 0) return {};
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> image{std::istreambuf_iterator<char>(in), {}};
    in.close();
    std::filesystem::remove(file);
    return image;
}

std::vector<std::string> Simulator::requests() const {
    std::vector<std::string> out;
    std::ifstream in(m_transcript);
    for (std::string line; std::getline(in, line);) {
        // "hh:mm:ss.mmm RX <bytes>"
        const std::size_t at = line.find(" RX ");
        if (at != std::string::npos) out.push_back(unescape(line.substr(at + 4)));
    }
    return out;
}

} // namespace hbsupport
