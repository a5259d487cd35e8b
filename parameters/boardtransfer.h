// Parameter exchanges with the board under their retry policies. Each attempt is one command
// transaction holding the link only for its own duration, so the polling thread can get in between.
#pragma once

#include "board/boardlink.h"
#include "board/retrypolicy.h"

#include <cstdint>

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

bool readBoardParameter(BoardLink &link, int table, int index, std::int16_t *value,
                        const RetryPolicy &policy);
bool writeBoardParameter(BoardLink &link, int table, int index, std::int16_t value,
                         const RetryPolicy &policy);
// A flags word read before some of its bits are written back with the others unchanged. A reply
// carries no check, and one altered on the line can still parse (a digit turned into another, or
// into a character that ends the number early), so a word is taken only when two reads agree: the
// bits the user did not touch are never written back from a garbled reply. The reads share the
// policy's attempts.
bool readFlagsWord(BoardLink &link, int table, int index, std::int16_t *value, const RetryPolicy &policy);
// "SAVEPAR": the board stores its parameters permanently.
bool storeBoardParameters(BoardLink &link, const RetryPolicy &policy);
bool selectBoardBank(BoardLink &link, int bank, const RetryPolicy &policy);
