// Parameter exchanges with the board under their retry policies. Each attempt is one command
// transaction holding linkMutex only for its own duration, so the polling thread can get in between.
#pragma once

#include <cstdint>

// Attempts t = first..last with the wait time base + step * t milliseconds; stops at the first
// success.
struct RetryPolicy {
    int first;
    int last;
    int base;
    int step;
    int wait(int t) const { return base + step * t; }
};

namespace retry {
inline constexpr RetryPolicy detectHuba{1, 3, 175, 50}; // 225, 275, 325
inline constexpr RetryPolicy viewOne{1, 7, 175, 50};    // 225 .. 525
inline constexpr RetryPolicy viewAll{1, 5, 150, 75};    // 225 .. 525
inline constexpr RetryPolicy setWhole{1, 5, 250, 50};   // 300 .. 500
inline constexpr RetryPolicy readFlags{1, 7, 175, 50};  // 225 .. 525
inline constexpr RetryPolicy writeFlags{0, 5, 250, 50}; // 250 .. 500
inline constexpr RetryPolicy setAll{1, 5, 250, 50};     // 300 .. 500
inline constexpr RetryPolicy storeOnce{0, 0, 700, 0};   // 700
inline constexpr RetryPolicy bank{0, 5, 275, 25};       // 275 .. 400
inline constexpr RetryPolicy bankStore{0, 5, 625, 75};  // 625 .. 1000
} // namespace retry

bool readBoardParameter(int table, int index, std::int16_t *value, const RetryPolicy &policy);
bool writeBoardParameter(int table, int index, std::int16_t value, const RetryPolicy &policy);
// "SAVEPAR": the board stores its parameters permanently.
bool storeBoardParameters(const RetryPolicy &policy);
bool selectBoardBank(int bank, const RetryPolicy &policy);
