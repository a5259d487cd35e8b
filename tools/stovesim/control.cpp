#include "control.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <vector>

namespace stovesim {
namespace {

bool integer(const std::string &text, int &value) {
    int base = 10;
    std::string_view digits = text;
    if (digits.starts_with("0x") || digits.starts_with("0X")) {
        base = 16;
        digits.remove_prefix(2);
    }
    if (digits.empty()) return false;
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    return ec == std::errc() && ptr == digits.data() + digits.size();
}

bool table(const std::string &word, Table &t) {
    if (word == "gen" || word == "general") {
        t = Table::General;
    } else if (word == "tec" || word == "technical") {
        t = Table::Technical;
    } else {
        return false;
    }
    return true;
}

// Input names as in the board's read commands.
int inputNumber(const std::string &name) {
    static const struct {
        const char *name;
        int number;
    } names[] = {{"t1", T1},
                 {"t2", T2},
                 {"t3", T3},
                 {"pot", Pot},
                 {"pr", Pressure},
                 {"pressure", Pressure},
                 {"en", Encoder},
                 {"encoder", Encoder},
                 {"in", Digital},
                 {"digital", Digital},
                 {"pcc", FuelCorrection},
                 {"fuel", FuelCorrection}};
    for (const auto &n : names)
        if (name == n.name) return n.number;
    return 0;
}

const char *modeName(Mode mode) {
    switch (mode) {
    case Mode::Normal:
        return "normal";
    case Mode::Test:
        return "test";
    case Mode::BootLoader:
        return "bootloader";
    }
    return "normal";
}

std::string error(const std::string &what) {
    return "error " + what;
}

} // namespace

std::string_view controlHelp() {
    return "commands: help | quit | status | outputs | start | stop | power N | alarm CODE | input NAME "
           "VALUE|auto | "
           "get gen|tec INDEX | set gen|tec INDEX VALUE | bank [N] | save | defaults | reboot | bootloader | "
           "normal | speed X | dump-flash FILE | wear ADDRESS";
}

bool writeFlashImage(const Flash &flash, const std::string &path) {
    const Bytes image = flash.image();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(image.data()), static_cast<std::streamsize>(image.size()));
    return static_cast<bool>(out.flush());
}

ControlResult control(Engine &engine, std::string_view line, Clock::time_point now) {
    engine.advance(now);
    const std::vector<std::string_view> split = words(line);
    const std::vector<std::string> w(split.begin(), split.end());
    ControlResult r;
    if (w.empty() || w[0].front() == '#') return r; // blank lines and comments answer nothing
    const std::string &cmd = w[0];
    Stove &stove = engine.stove();
    ParameterStore &params = engine.parameters();
    int a = 0, b = 0;
    Table t{};

    if (cmd == "help") {
        r.reply = "ok " + std::string(controlHelp());
    } else if (cmd == "quit" || cmd == "exit") {
        r.reply = "ok bye";
        r.quit = true;
    } else if (cmd == "status" || cmd == "state") {
        r.reply = std::string("ok mode ") + modeName(engine.mode()) + " model " +
                  std::string(modelKeyword(engine.model())) + " bank " + std::to_string(params.bank()) +
                  (engine.modemSilenced() ? " modem on" : "") + " " + stove.describe();
    } else if (cmd == "outputs" && w.size() == 1) {
        r.reply = "ok outputs";
        // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict) on " " + std::to_string(...).
        for (int channel = 0; channel < Stove::All; ++channel)
            r.reply.append(" ").append(std::to_string(stove.output(channel)));
        r.reply.append(" led ").append(std::to_string(stove.led()));
    } else if (cmd == "start") {
        r.reply = stove.start() ? "ok starting" : error("cannot start (alarm, test mode or powering off)");
    } else if (cmd == "stop") {
        stove.stop();
        r.reply = "ok stopping";
    } else if (cmd == "power" && w.size() == 2 && integer(w[1], a) && a >= 1 && a <= 5) {
        stove.setPower(a);
        r.reply = "ok power " + std::to_string(a);
    } else if (cmd == "alarm" && w.size() == 2 && integer(w[1], a) && a >= 0 && a <= 99) {
        stove.raiseAlarm(a);
        r.reply = "ok alarm " + std::to_string(a);
    } else if (cmd == "input" && w.size() == 3 && inputNumber(w[1])) {
        if (w[2] == "auto") {
            stove.overrideInput(inputNumber(w[1]), std::nullopt);
            r.reply = "ok input " + w[1] + " auto";
        } else if (integer(w[2], a) && a >= -99 && a <= 999) {
            stove.overrideInput(inputNumber(w[1]), a);
            r.reply = "ok input " + w[1] + " " + std::to_string(a);
        } else {
            r.reply = error("bad input value");
        }
    } else if (cmd == "get" && w.size() == 3 && table(w[1], t) && integer(w[2], a)) {
        int value = 0;
        if (!params.read(t, a, value)) {
            r.reply = error("no such parameter");
        } else {
            int lo = 0, hi = 0;
            params.range(t, a, lo, hi);
            r.reply = "ok " + w[1] + " " + std::to_string(a) + " " + std::to_string(value) + " range " +
                      std::to_string(lo) + ".." + std::to_string(hi);
        }
    } else if (cmd == "set" && w.size() == 4 && table(w[1], t) && integer(w[2], a) && integer(w[3], b)) {
        // No range check: a trainer may put the board into states the program must cope with.
        r.reply = params.force(t, a, b) ? "ok " + w[1] + " " + std::to_string(a) + " " + std::to_string(b)
                                        : error("no such parameter or value outside 0..999");
    } else if (cmd == "bank" && w.size() == 1) {
        r.reply = "ok bank " + std::to_string(params.bank());
    } else if (cmd == "bank" && w.size() == 2 && integer(w[1], a)) {
        r.reply = params.selectBank(a) ? "ok bank " + std::to_string(a) : error("no such bank on this model");
    } else if (cmd == "save") {
        params.clearRequests();
        engine.saveParameters();
        r.reply = engine.stateError().empty() ? "ok stored" : error(engine.stateError());
    } else if (cmd == "defaults") {
        params.restoreDefaults();
        r.reply = "ok factory values (not stored)";
    } else if (cmd == "reboot" || cmd == "normal") {
        engine.reboot(false);
        r.reply = "ok normal mode";
    } else if (cmd == "bootloader") {
        engine.reboot(true);
        r.reply = "ok bootloader mode";
    } else if (cmd == "speed" && w.size() == 2) {
        double speed = 0;
        auto [ptr, ec] = std::from_chars(w[1].data(), w[1].data() + w[1].size(), speed);
        if (ec != std::errc() || ptr != w[1].data() + w[1].size() || !(speed > 0 && speed <= 100000)) {
            r.reply = error("bad speed");
        } else {
            engine.setSpeed(speed);
            r.reply = "ok speed " + w[1];
        }
    } else if (cmd == "wear" && w.size() == 2 && integer(w[1], a) && a >= 0) {
        r.reply = engine.flash().wear(static_cast<std::uint32_t>(a)) ? "ok wear " + w[1]
                                                                     : error("no flash at " + w[1]);
    } else if (cmd == "dump-flash" && w.size() == 2) {
        r.reply = writeFlashImage(engine.flash(), w[1]) ? "ok " + w[1] : error("cannot write " + w[1]);
    } else {
        r.reply = error("unknown command (try help)");
    }
    return r;
}

} // namespace stovesim
