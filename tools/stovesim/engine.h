// The board's protocol engine, independent of any transport: bytes from the service link go in,
// complete requests come out with the reply the board gives (or none) and how long after the
// request it is due. It owns the parameter memory, the stove model and the flash memory.
#pragma once

#include "catalogue.h"
#include "flash.h"
#include "params.h"
#include "stove.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace stovesim {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

enum class Mode { Normal, Test, BootLoader };

struct EngineConfig {
    Model model = Model::Water;
    std::string firmware = "02.07";  // five characters in the identity
    std::string revision = "240315"; // three two-character fields
    bool bootLoader = false;
    std::string statePath; // empty: the stored parameters live only as long as the process
    double speed = 1.0;    // simulated seconds per real second
    int alarm = 0;
};

// One complete request and the board's answer to it.
struct Exchange {
    Bytes request;
    std::string label; // request text without CR; boot-loader frames as "#" + command in hex
    std::optional<Bytes> reply;
    Millis delay{0};   // the reply is due this long after the request (sector erase)
    bool lost = false; // lost on the way (a fault): the board neither acted on it nor answered
};

class Engine {
public:
    explicit Engine(const EngineConfig &config);

    // Feeds bytes received at `now`; appends every request they complete.
    void receive(std::span<const std::uint8_t> bytes, Clock::time_point now, std::vector<Exchange> &out);
    // Runs the stove model up to `now`.
    void advance(Clock::time_point now);
    // Asked for every complete request (by its label) before the board acts on it: true loses it,
    // as a request garbled on the line that the board does not recognise.
    using RequestFilter = std::function<bool(const std::string &label)>;
    void setRequestFilter(RequestFilter filter) { m_requestLost = std::move(filter); }

    Mode mode() const { return m_mode; }
    Model model() const { return m_config.model; }
    // A board whose SMS modem is enabled stops answering on the service link.
    bool modemSilenced() const;

    // Control actions (the simulator's control channel).
    void reboot(bool intoBootLoader);  // parameters reloaded from the stored copy, test mode left
    void saveParameters() { store(); } // as the store command, without acting on the hidden registers
    ParameterStore &parameters() { return m_ram; }
    const ParameterStore &storedParameters() const { return m_stored; }
    Stove &stove() { return m_stove; }
    Flash &flash() { return m_flash; }
    const EngineConfig &config() const { return m_config; }
    void setSpeed(double speed) { m_config.speed = speed; }
    // Result of the last state-file save or load ("" when fine).
    const std::string &stateError() const { return m_stateError; }

    Bytes identity() const;

private:
    void receiveLine(std::uint8_t byte, Clock::time_point now, std::vector<Exchange> &out);
    void receiveFrames(Clock::time_point now, std::vector<Exchange> &out);
    std::optional<Bytes> command(const std::string &line);
    std::optional<Bytes> testCommand(const std::string &line);
    std::optional<Bytes> frame(const Bytes &request, Millis &delay, Clock::time_point now);
    void store();
    void loadState();

    bool lost(const std::string &label) const { return m_requestLost && m_requestLost(label); }

    EngineConfig m_config;
    RequestFilter m_requestLost;
    ParameterStore m_ram;
    ParameterStore m_stored;
    Stove m_stove;
    Flash m_flash;
    Mode m_mode = Mode::Normal;
    std::string m_stateError;

    Bytes m_pending;
    bool m_overflow = false;
    Clock::time_point m_lastByte{};
    Clock::time_point m_lastAdvance{};
    bool m_advanced = false;
    Clock::time_point m_busyUntil{}; // sector erase in progress: the boot loader hears nothing
    bool m_enterBootLoader = false;
};

// A numeric reply field `width` characters wide ("045", "-45" for 3; "07", "-7" for 2); values are
// clamped to what fits.
std::string field(int value, int width);
// Printable form of wire bytes for logs: "\r", "\n", "\\", "\xHH".
std::string escape(std::span<const std::uint8_t> bytes);

} // namespace stovesim
