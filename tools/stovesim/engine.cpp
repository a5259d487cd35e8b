#include "engine.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace stovesim {
namespace {

constexpr std::size_t kMaxLine = 32; // longer lines are not commands of this board
constexpr std::size_t kMaxFrame = 11 + 255 + 1;
constexpr Millis kLineGap{2000};   // a half-typed line older than this is forgotten
constexpr Millis kFrameGap{500};   // so is a partial boot-loader frame
constexpr Millis kEraseTime{2000}; // sector erase: the reply follows this long after the request

bool digits(const std::string &s, std::size_t from, std::size_t count) {
    if (s.size() < from + count) return false;
    for (std::size_t i = from; i < from + count; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

int number(const std::string &s, std::size_t from, std::size_t count) {
    return std::stoi(s.substr(from, count));
}

Bytes text(const std::string &s) {
    return Bytes(s.begin(), s.end());
}

// Reply bytes from pieces (avoids chains of string temporaries).
Bytes reply(std::initializer_list<std::string_view> pieces) {
    Bytes out;
    for (std::string_view p : pieces)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::uint8_t sum(const std::uint8_t *p, std::size_t n) {
    unsigned s = 0;
    for (std::size_t i = 0; i < n; ++i)
        s += p[i];
    return static_cast<std::uint8_t>(s);
}

bool commandCarriesData(std::uint8_t command) {
    return command == 0x01 || command == 0x04 || command == 0x05;
}

Bytes header(std::uint8_t node, std::uint8_t command, std::uint8_t length, std::uint32_t address) {
    Bytes h = {0x55,
               0xAA,
               0x00,
               node,
               command,
               length,
               static_cast<std::uint8_t>(address >> 24),
               static_cast<std::uint8_t>(address >> 16),
               static_cast<std::uint8_t>(address >> 8),
               static_cast<std::uint8_t>(address)};
    h.push_back(sum(h.data(), h.size()));
    return h;
}

std::string fixed(std::string s, std::size_t width) {
    s.resize(width, ' ');
    return s;
}

} // namespace

std::string field(int value, int width) {
    int limit = 1; // 10 to the power width - 1: a negative value keeps one place for its sign
    for (int i = 1; i < width; ++i)
        limit *= 10;
    char buf[16];
    if (value < 0)
        std::snprintf(buf, sizeof buf, "-%0*d", width - 1, -std::max(value, 1 - limit));
    else
        std::snprintf(buf, sizeof buf, "%0*d", width, std::min(value, limit * 10 - 1));
    return buf;
}

std::string escape(std::span<const std::uint8_t> bytes) {
    std::string out;
    for (std::uint8_t b : bytes) {
        if (b == '\r') {
            out += "\\r";
        } else if (b == '\n') {
            out += "\\n";
        } else if (b == '\\') {
            out += "\\\\";
        } else if (b >= 0x20 && b < 0x7F) {
            out += static_cast<char>(b);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", b);
            out += buf;
        }
    }
    return out;
}

Engine::Engine(const EngineConfig &config)
    : m_config(config), m_ram(config.model), m_stored(config.model), m_stove(config.model, m_ram) {
    loadState();
    m_ram = m_stored;
    m_mode = config.bootLoader ? Mode::BootLoader : Mode::Normal;
    if (config.alarm) m_stove.raiseAlarm(config.alarm);
}

void Engine::loadState() {
    if (m_config.statePath.empty()) return;
    std::ifstream in(m_config.statePath, std::ios::binary);
    if (!in) return; // first run: factory values
    std::string content(1 << 20, '\0');
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(in.gcount()));
    if (!m_stored.parse(content))
        m_stateError = "state file " + m_config.statePath + " ignored: not a valid store";
}

void Engine::store() {
    m_stored = m_ram;
    if (m_config.statePath.empty()) return;
    const std::string temp = m_config.statePath + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << m_stored.serialize();
        if (!out.flush()) {
            m_stateError = "cannot write " + temp;
            return;
        }
    }
    if (std::rename(temp.c_str(), m_config.statePath.c_str()) != 0) {
        m_stateError = "cannot replace " + m_config.statePath;
        return;
    }
    m_stateError.clear();
}

void Engine::reboot(bool intoBootLoader) {
    m_ram = m_stored;
    m_stove.powerCycle();
    m_mode = intoBootLoader ? Mode::BootLoader : Mode::Normal;
    m_pending.clear();
    m_overflow = false;
    m_busyUntil = {};
}

bool Engine::modemSilenced() const {
    return m_mode != Mode::BootLoader && m_config.model != Model::Basic && m_ram.flag(setting::SmsModem);
}

Bytes Engine::identity() const {
    std::string id = fixed(std::string(boardModelName(m_config.model)), 10) + " " +
                     fixed(m_config.firmware, 5) + fixed(m_config.revision, 6) + "\r";
    return text(id);
}

void Engine::advance(Clock::time_point now) {
    if (!m_advanced || now < m_lastAdvance) {
        m_advanced = true;
        m_lastAdvance = now;
        return;
    }
    const double seconds = std::chrono::duration<double>(now - m_lastAdvance).count() * m_config.speed;
    m_lastAdvance = now;
    if (seconds > 0) m_stove.advance(seconds);
}

void Engine::receive(std::span<const std::uint8_t> bytes, Clock::time_point now, std::vector<Exchange> &out) {
    advance(now);
    const Millis gap = m_mode == Mode::BootLoader ? kFrameGap : kLineGap;
    if (!m_pending.empty() && now - m_lastByte > gap) {
        out.push_back({m_pending, "(incomplete)", std::nullopt, Millis{0}});
        m_pending.clear();
        m_overflow = false;
    }
    if (!bytes.empty()) m_lastByte = now;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (m_mode != Mode::BootLoader) {
            receiveLine(bytes[i], now, out);
            continue;
        }
        if (now < m_busyUntil) return; // erasing: the boot loader is deaf
        const std::size_t room = 4 * kMaxFrame - m_pending.size();
        const std::size_t take = std::min(room, bytes.size() - i);
        if (take == 0) return;
        m_pending.insert(m_pending.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i),
                         bytes.begin() + static_cast<std::ptrdiff_t>(i + take));
        receiveFrames(now, out);
        i += take - 1;
    }
}

void Engine::receiveLine(std::uint8_t byte, Clock::time_point now, std::vector<Exchange> &out) {
    if (byte == '\n' && m_pending.empty()) return; // tolerate CR LF from terminals
    if (byte != '\r') {
        if (m_pending.size() < kMaxLine)
            m_pending.push_back(byte);
        else
            m_overflow = true;
        return;
    }
    Exchange ex;
    ex.request = m_pending;
    ex.request.push_back('\r');
    ex.label.assign(m_pending.begin(), m_pending.end());
    const bool overflow = m_overflow;
    m_pending.clear();
    m_overflow = false;
    ex.lost = !overflow && lost(ex.label);
    if (!overflow && !ex.lost && !modemSilenced()) ex.reply = command(ex.label);
    out.push_back(std::move(ex));
    if (m_enterBootLoader) {
        m_enterBootLoader = false;
        reboot(true);
    }
    (void)now;
}

std::optional<Bytes> Engine::command(const std::string &line) {
    const bool test = m_mode == Mode::Test;
    if (line == "MODELLO") return identity();
    if (line == "TESTON" || line == "TESTOFF") {
        const bool on = line == "TESTON";
        m_mode = on ? Mode::Test : Mode::Normal;
        if (on || m_stove.testMode()) m_stove.setTestMode(on);
        return text(line + "\r");
    }
    if (line == "SAVEPAR") {
        if (m_ram.resetRequested()) m_ram.restoreDefaults();
        const bool boot = m_ram.bootRequested();
        m_ram.clearRequests();
        store();
        if (boot) m_enterBootLoader = true;
        return text(line + "\r");
    }
    // READGENPii / READTECPii
    if (line.size() == 10 && (line.starts_with("READGENP") || line.starts_with("READTECP")) &&
        digits(line, 8, 2)) {
        const Table table = line[4] == 'G' ? Table::General : Table::Technical;
        const int index = number(line, 8, 2);
        int value = 0;
        if (!m_ram.read(table, index, value)) return std::nullopt;
        return reply({"P", std::string_view(line).substr(8, 2), "=", field(value, 3), "\r"});
    }
    // WRGENPiivvv / WRTECPiivvv: the stored value is echoed; a refused value leaves the old one.
    if (line.size() == 11 && (line.starts_with("WRGENP") || line.starts_with("WRTECP")) &&
        digits(line, 6, 5)) {
        const Table table = line[2] == 'G' ? Table::General : Table::Technical;
        const int index = number(line, 6, 2);
        if (!m_ram.exists(table, index)) return std::nullopt;
        m_ram.write(table, index, number(line, 8, 3));
        int value = 0;
        m_ram.read(table, index, value);
        return reply({"P", std::string_view(line).substr(6, 2), "=", field(value, 3), "\r"});
    }
    // WRBANP0dddd: the four digits are the same bank number 1..4.
    if (line.size() == 11 && line.starts_with("WRBANP0") && digits(line, 7, 4)) {
        const char d = line[7];
        if (line[8] != d || line[9] != d || line[10] != d || !m_ram.selectBank(d - '0')) return std::nullopt;
        return reply({"P0", std::string(1, d), "=", std::string(3, d), "\r"});
    }
    if (line.size() == 7 && line.starts_with("DEBUG") && digits(line, 5, 2)) {
        std::array<int, 3> v{};
        if (test || !m_stove.monitor(number(line, 5, 2), v)) return std::nullopt;
        return reply(
            {std::string_view(line).substr(5, 2), field(v[0], 3), field(v[1], 3), field(v[2], 3), "\r"});
    }
    if (test) return testCommand(line);
    return std::nullopt;
}

std::optional<Bytes> Engine::testCommand(const std::string &line) {
    static const struct {
        const char *command;
        int input;
        const char *prefix;
        bool twoDigits;
    } reads[] = {
        {"READT1", T1, "T1=", false},       {"READT2", T2, "T2=", false},
        {"READT3", T3, "T3=", false},       {"READPOT", Pot, "SET=", true},
        {"READPR", Pressure, "PR=", false}, {"READEN", Encoder, "EN=", false},
        {"READIN", Digital, "IN=", false},  {"READPCC", FuelCorrection, "SCC=", true},
    };
    for (const auto &r : reads) {
        if (line == r.command) {
            const int v = m_stove.input(r.input);
            return reply({r.prefix, field(v, r.twoDigits ? 2 : 3), "\r"});
        }
    }
    const Bytes echo = text(line + "\r");
    if (m_config.model == Model::Basic) {
        static const struct {
            const char *command;
            int channel;
            int value;
        } loads[] = {
            {"RESISTENCEON", Stove::Resistance, 1},
            {"RESISTENCEOFF", Stove::Resistance, 0},
            {"COCLEAON", Stove::Cochlea, 1},
            {"COCLEAOFF", Stove::Cochlea, 0},
            {"OUTON", Stove::All, 1},
            {"OUTOFF", Stove::All, 0},
            {"VENT1ON", Stove::Fan, 100},
        };
        for (const auto &l : loads) {
            if (line == l.command) {
                m_stove.setOutput(l.channel, l.value);
                return echo;
            }
        }
        static const char *const leds[] = {"LEDOFF", "LEDG", "LEDR", "LEDGR"};
        for (int state = 0; state < 4; ++state) {
            if (line == leds[state]) {
                m_stove.setLed(state);
                return echo;
            }
        }
        if (line.size() == 8 && line.starts_with("EFUMI") && digits(line, 5, 3)) {
            m_stove.setOutput(Stove::Extractor, number(line, 5, 3));
            return echo;
        }
        if (line.size() == 7 && line.starts_with("VVENT") && digits(line, 5, 2)) {
            m_stove.setOutput(Stove::Fan, number(line, 5, 2));
            return echo;
        }
        return std::nullopt;
    }
    // OUTiivvv: channel ii (10 = all outputs); the reply carries the on/off state and the last two digits.
    if (line.size() == 8 && line.starts_with("OUT") && digits(line, 3, 5)) {
        const int channel = number(line, 3, 2);
        const int value = number(line, 5, 3);
        if (channel > Stove::All) return std::nullopt;
        m_stove.setOutput(channel, value);
        return reply({"O", std::string_view(line).substr(3, 2), "=", value > 0 ? "1" : "0",
                      std::string_view(line).substr(6, 2), "\r"});
    }
    return std::nullopt;
}

void Engine::receiveFrames(Clock::time_point now, std::vector<Exchange> &out) {
    for (;;) {
        // Skip to the next sync pair; what lies before it is line noise.
        std::size_t start = 0;
        while (start < m_pending.size() &&
               !(m_pending[start] == 0x55 && (start + 1 == m_pending.size() || m_pending[start + 1] == 0xAA)))
            ++start;
        if (start > 0) {
            out.push_back({Bytes(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(start)),
                           "(noise)", std::nullopt, Millis{0}});
            m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(start));
        }
        if (m_pending.size() < 11) return;
        if (sum(m_pending.data(), 10) != m_pending[10]) {
            // Not a frame after all: drop the false sync byte and look again.
            out.push_back(
                {Bytes(m_pending.begin(), m_pending.begin() + 1), "(bad header)", std::nullopt, Millis{0}});
            m_pending.erase(m_pending.begin());
            continue;
        }
        const std::uint8_t cmd = m_pending[4];
        const std::size_t length = m_pending[5];
        const std::size_t total = commandCarriesData(cmd) ? 11 + length + 1 : 11;
        if (m_pending.size() < total) return;
        Exchange ex;
        ex.request.assign(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(total));
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(total));
        char label[8];
        std::snprintf(label, sizeof label, "#%02X", cmd);
        ex.label = label;
        if (commandCarriesData(cmd) && sum(ex.request.data() + 11, length) != ex.request[11 + length]) {
            ex.label += " (bad data checksum)";
        } else if (lost(ex.label)) {
            ex.lost = true;
        } else {
            ex.reply = frame(ex.request, ex.delay, now);
        }
        out.push_back(std::move(ex));
        if (now < m_busyUntil) {
            m_pending.clear();
            return;
        }
    }
}

std::optional<Bytes> Engine::frame(const Bytes &request, Millis &delay, Clock::time_point now) {
    const std::uint8_t node = request[3];
    const std::uint8_t cmd = request[4];
    const std::uint8_t length = request[5];
    const std::uint32_t address = static_cast<std::uint32_t>(request[6]) << 24 |
                                  static_cast<std::uint32_t>(request[7]) << 16 |
                                  static_cast<std::uint32_t>(request[8]) << 8 | request[9];
    const std::span<const std::uint8_t> data(request.data() + 11, commandCarriesData(cmd) ? length : 0);
    switch (cmd) {
    case 0x00: { // read
        Bytes content;
        if (!m_flash.read(address, length, content)) return std::nullopt;
        Bytes reply = header(node, cmd, length, address);
        if (length == 0) return reply;
        reply.insert(reply.end(), content.begin(), content.end());
        reply.push_back(sum(content.data(), content.size()));
        return reply;
    }
    case 0x04: // flash write
        if (!m_flash.program(address, data)) return std::nullopt;
        return header(node, cmd, length, address);
    case 0x05: // sector erase: data 0x00, sector
        if (length != 2 || data[0] != 0x00 || !m_flash.erase(data[1])) return std::nullopt;
        delay = kEraseTime;
        m_busyUntil = now + kEraseTime;
        return header(node, cmd, length, address);
    case 0x14: // may `length` bytes be read / written at `address`?
        if (address >= Flash::kAddressSpace || length > Flash::kAddressSpace - address) return std::nullopt;
        return header(node, cmd, length, address);
    case 0x15:
        if (!m_flash.mapped(address, length)) return std::nullopt;
        return header(node, cmd, length, address);
    default:
        return std::nullopt;
    }
}

} // namespace stovesim
