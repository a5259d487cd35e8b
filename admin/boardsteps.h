// The administrator panel's text-command steps on a board in normal mode: the factory reset of its
// parameters, and the switch of a Basic board into its boot loader. Each writes a hidden technical
// register that the board acts on when it next stores its parameters ("SAVEPAR").
#pragma once

#include "board/boardlink.h"
#include "board/retrypolicy.h"

namespace boardsteps {

// Technical register 9 = 255: restore the factory values.
inline constexpr int kResetIndex = 9;
inline constexpr short kResetValue = 255;
inline constexpr RetryPolicy kResetWrite{0, 5, 275, 25}; // 275 .. 400 ms
// Technical register 8 = 250 (Basic boards): restart into the boot loader.
inline constexpr int kBootLoaderIndex = 8;
inline constexpr short kBootLoaderValue = 250;
inline constexpr RetryPolicy kBootLoaderWrite{0, 4, 300, 25}; // 300 .. 400 ms
// "SAVEPAR" after either write.
inline constexpr RetryPolicy kStore{0, 5, 700, 0}; // 6 x 700 ms
// The value that withdraws a request: the registers read 0 on a board with nothing pending.
inline constexpr short kNoRequest = 0;

enum class StepOutcome {
    Done,        // the write and the store were both confirmed
    Failed,      // not confirmed; the request was withdrawn (the register cleared, confirmed)
    RequestLeft, // not confirmed, and neither was the withdrawal: the board may still act on the
                 // request at its next store, whoever sends it
};

// Writes the register, then stores; the store is sent even when the write failed. When the two
// were not both confirmed, the register is written back to kNoRequest: a write that reached the
// board with its reply lost would otherwise wait there for the next "SAVEPAR" (a parameter stored
// days later would then wipe the board's settings, or restart it into its boot loader).
StepOutcome resetParameters(BoardLink &link);
StepOutcome switchToBootLoader(BoardLink &link);

} // namespace boardsteps
