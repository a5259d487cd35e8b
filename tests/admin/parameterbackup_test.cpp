// The copy of a board's parameters taken before a firmware update, against the simulator.
#include "admin/parameterbackup.h"
#include "parameters/catalogue.h"
#include "parameters/parameterfile.h"
#include "simboard.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <set>

using admintest::Simulator;

using admintest::Link;

TEST(ParameterCopy, ReadsEveryRegisterOnceIntoAParameterFile) {
    Simulator board({"--model", "water", "--no-pacing"}, admintest::kWithTranscript);
    ASSERT_TRUE(board.ok());
    const StoveModel model = StoveModel::Water;
    // A whole value away from its factory value, and the group selector off HUBA.
    const ParameterDescriptor &whole = descriptor(model, 0);
    ASSERT_NE(whole.wholeValue, 0);
    admintest::setValue(board, whole.table, whole.boardIndex, activeRange(whole, false).minimum + 1);
    const ParameterDescriptor &selector = descriptor(model, *groupSelectorPosition(model));
    admintest::setValue(board, selector.table, selector.boardIndex, 0);

    std::set<std::pair<int, int>> registers;
    for (int i = 0; i < parameterCount(model); ++i)
        registers.emplace(descriptor(model, i).table, descriptor(model, i).boardIndex);
    Link link;
    ASSERT_TRUE(link.opened);
    int steps = 0, lastDone = 0, lastTotal = 0;
    backup::Progress progress;
    progress.step = [&](int done, int total) {
        ++steps;
        lastDone = done;
        lastTotal = total;
    };
    const auto content = backup::readParameterFile(link.link, model, QStringLiteral(" 2.07"), true, progress);
    ASSERT_TRUE(content);
    EXPECT_EQ(admintest::textsOf(board).size(), registers.size());
    EXPECT_EQ(steps, static_cast<int>(registers.size()));
    EXPECT_EQ(lastDone, lastTotal);

    const auto lines = paramfile::parse(*content);
    ASSERT_TRUE(lines);
    // MODEL, HUBA and one line per row (FIRMWARE is no line the reader classifies).
    ASSERT_EQ(lines->size(), 2 + parameterCount(model));
    EXPECT_EQ(std::get<paramfile::ModelLine>(lines->at(0)).name, QStringLiteral("WATER"));
    EXPECT_EQ(std::get<paramfile::HubaLine>(lines->at(1)).value, 0);
    for (int i = 0; i < parameterCount(model); ++i) {
        const ParameterDescriptor &d = descriptor(model, i);
        const auto &line = std::get<paramfile::ValueLine>(lines->at(2 + i));
        EXPECT_EQ(line.displayNumber, d.displayNumber);
        const auto raw = static_cast<std::int16_t>(board.boardValue(d.table, d.boardIndex));
        EXPECT_DOUBLE_EQ(line.value, rowValue(d, false, raw)) << parameterCode(d).toStdString();
    }
    EXPECT_TRUE(content->contains("FIRMWARE=2.07\r\n"));
}

TEST(ParameterCopy, SilentBoardOrStopGivesNoCopy) {
    Simulator board({"--model", "water", "--no-pacing", "--silent-after", "2"}, admintest::kWithTranscript);
    ASSERT_TRUE(board.ok());
    Link link;
    ASSERT_TRUE(link.opened);
    // Stopped before the first read: nothing sent.
    backup::Progress stop;
    stop.cancelled = [] { return true; };
    EXPECT_FALSE(backup::readParameterFile(link.link, StoveModel::Water, QString(), true, stop));
    EXPECT_TRUE(admintest::textsOf(board).empty());
    // Two answers, then the third register is tried five times and the copy is abandoned.
    EXPECT_FALSE(backup::readParameterFile(link.link, StoveModel::Water, QString(), true, {}));
    const auto texts = admintest::textsOf(board);
    ASSERT_EQ(texts.size(), 7u);
    EXPECT_EQ(std::set<std::string>(texts.begin() + 2, texts.end()).size(), 1u);
}

TEST(ParameterCopy, NamesCarryModelAndDateAndNeverReplaceACopy) {
    QTemporaryDir dir;
    const QString first = backup::backupPath(dir.path(), StoveModel::AirDucted, QDate(2025, 3, 4));
    EXPECT_EQ(first, dir.filePath(QStringLiteral("backup (air - ducted) 2025-03-04.prm")));
    QFile(first).open(QIODevice::WriteOnly);
    EXPECT_EQ(backup::backupPath(dir.path(), StoveModel::AirDucted, QDate(2025, 3, 4)),
              dir.filePath(QStringLiteral("backup (air - ducted) 2025-03-04 (2).prm")));
}
