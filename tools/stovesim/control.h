// The control channel: one text command per line steers the simulated board while it runs
// (alarms, inputs, reboot, modes, parameter tables). Every command answers one line, starting
// with "ok" or "error".
#pragma once

#include "engine.h"

#include <string>
#include <string_view>

namespace stovesim {

struct ControlResult {
    std::string reply;
    bool quit = false;
};

ControlResult control(Engine &engine, std::string_view line, Clock::time_point now);

// Writes the flash image (byte i = address i) to `path`; false on an I/O error.
bool writeFlashImage(const Flash &flash, const std::string &path);

std::string_view controlHelp();

} // namespace stovesim
