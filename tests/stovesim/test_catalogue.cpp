// The simulator's parameter tables against the program's catalogue: two transcriptions of the
// boards' tables that must agree on every index, raw range (both groups) and factory value.
#include "board.h"
#include "parameters/catalogue.h"

#include <cstdio>

using namespace stovesim::test;

namespace {

// "READGENPii\r" for a negative value, else "WRGENPiivvv\r" (TEC for the technical table).
std::string request(const ParameterDescriptor &d, int value = -1) {
    char buf[24];
    const char *table = d.table == 0 ? "GEN" : "TEC";
    if (value < 0)
        std::snprintf(buf, sizeof buf, "READ%sP%02d\r", table, d.boardIndex);
    else
        std::snprintf(buf, sizeof buf, "WR%sP%02d%03d\r", table, d.boardIndex, value);
    return buf;
}

std::string echo(const ParameterDescriptor &d, int value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "P%02d=%03d\r", d.boardIndex, value);
    return buf;
}

} // namespace

TEST(Catalogue, SimulatorAndProgramAgreeOnEveryParameter) {
    for (const StoveModel model : kKnownModels) {
        SCOPED_TRACE(int(model));
        const auto simModel = stovesim::Model(int(model));
        const int count = parameterCount(model);
        EXPECT_EQ(stovesim::catalogue(simModel).size(), std::size_t(count));
        const ParameterDescriptor &selector = descriptor(model, groupSelectorPosition(model).value());
        // Factory values are those of the standard group; bit entries make up one flags word.
        Board board(simModel);
        const ParameterDescriptor *flagsWord = nullptr;
        int flags = 0;
        for (int i = 0; i < count; ++i) {
            const ParameterDescriptor &d = descriptor(model, i);
            if (!d.wholeValue) {
                flags |= d.ranges[0].defaultValue << d.bit;
                flagsWord = &d;
            } else {
                EXPECT_EQ(board.ask(request(d)), echo(d, d.ranges[0].defaultValue))
                    << parameterCode(d).toStdString();
            }
        }
        ASSERT_NE(flagsWord, nullptr);
        EXPECT_EQ(board.ask(request(*flagsWord)), echo(*flagsWord, flags));
        // The HUBA group while the selector holds 2 (its factory value), the standard one at 0. A
        // refused value leaves the last one (the maximum just written) in place.
        for (int group : {1, 0}) {
            Board b(simModel);
            if (group == 0) {
                ASSERT_EQ(b.ask(request(selector, 0)), echo(selector, 0));
            }
            for (int i = 0; i < count; ++i) {
                const ParameterDescriptor &d = descriptor(model, i);
                if (!d.wholeValue || &d == &selector) continue;
                SCOPED_TRACE(parameterCode(d).toStdString());
                const int lo = d.ranges[group].minimum, hi = d.ranges[group].maximum;
                EXPECT_EQ(b.ask(request(d, lo)), echo(d, lo));
                EXPECT_EQ(b.ask(request(d, hi)), echo(d, hi));
                for (int outside : {lo - 1, hi + 1}) {
                    if (outside >= 0 && outside <= 999) {
                        EXPECT_EQ(b.ask(request(d, outside)), echo(d, hi));
                    }
                }
            }
        }
    }
}
