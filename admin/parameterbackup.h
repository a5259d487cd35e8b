// A copy of a board's parameters taken before its firmware is replaced, so that a failed or
// incompatible update can be undone: every catalogue row read from the board and written as an
// ordinary parameter file (".prm") that the parameters page loads back.
#pragma once

#include "board/boardlink.h"
#include "board/stovemodel.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <functional>
#include <optional>

namespace backup {

struct Progress {
    // After each register read: how many of how many.
    std::function<void(int done, int total)> step;
    // Asked before each read; true abandons the copy.
    std::function<bool()> cancelled;
};

// Reads the model's parameters (each board register once, with the View-all retry policy) and
// returns the parameter-file text. The range group follows the board's own group selector where the
// model has one, else `hubaMode`. Nothing when a read fails for good or the copy is abandoned.
std::optional<QByteArray> readParameterFile(BoardLink &link, StoveModel model, const QString &firmware,
                                            bool hubaMode, const Progress &progress);

// "<folder>/backup (<model>) <yyyy-MM-dd>.prm"; " (2)", " (3)"... before the extension when that
// name is taken, so an earlier copy is never overwritten.
QString backupPath(const QString &folder, StoveModel model, QDate date);

} // namespace backup
