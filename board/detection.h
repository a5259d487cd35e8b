// Reading the board's identity (MODELLO): the first step of every session with a board.
#pragma once

#include "board/boardlink.h"
#include "board/stovemodel.h"

#include <QString>

#include <optional>

// Four attempts waiting 75, 100, 125 and 150 ms.
inline constexpr RetryPolicy kIdentityPolicy{0, 3, 75, 25};

// The identity text of the board on the open link, or nothing when the board did not answer or its
// answer is too short to identify it.
std::optional<QString> readBoardIdentity(BoardLink &link);
