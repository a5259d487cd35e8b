// SetConf marks every node configured for the rest of the process, so it has its own program.
#include "link_fixture.h"

using namespace linktest;

TEST_F(ControllerTest, SetConfConfiguresEveryNodeWithoutTrafficAndKeepsTheAreaTable) {
    open(1);
    char text[80] = "x";
    short w = 0x0102;
    EXPECT_EQ(GetVerSW(50, text), 0);
    EXPECT_EQ(WriteVW(50, 1, &w), 0);
    ASSERT_EQ(ReadConf(51), 0);
    restart();

    SetConf();
    // Node 50 was never read: empty identity, area bases 0.
    EXPECT_EQ(GetVerSW(50, text), 1);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(WriteVW(50, 1, &w), 1);
    // Node 51 keeps what ReadConf found.
    EXPECT_EQ(GetVerSW(51, text), 1);
    EXPECT_STREQ(text, "TESTCTRL V2.10");
    EXPECT_EQ(WriteVW(51, 1, &w), 1);
    EXPECT_EQ(GetVerSW(0, text), 0);
    EXPECT_EQ(GetVerSW(static_cast<signed char>(100), text), 0);
    const auto r = requests();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].raw, frameBytes(50, 0x01, 2, 2, {0x01, 0x02}));
    EXPECT_EQ(r[1].raw, frameBytes(51, 0x01, 2, areaOf(0x0A) + 2, {0x01, 0x02}));
}
