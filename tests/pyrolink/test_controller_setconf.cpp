// SetConf marks every node configured for the rest of the process, so it has its own program.
#include "test_controller_peer.h"

#include "pyrolink.h"

#include <gtest/gtest.h>

using namespace testsupport;

TEST(SetConf, ConfiguresEveryNodeWithoutTrafficAndKeepsTheAreaTable) {
    PtyPeer peer;
    FakeController ctrl;
    peer.bindCom(1);
    ASSERT_EQ(OpenComm(0, 19200, 1, 150, 0, 20), 0);
    ctrl.areas[0x0A] = 0x8000; // word variables
    ctrl.attach(peer);

    char text[80] = "x";
    short w = 0x0102;
    EXPECT_EQ(GetVerSW(50, text), 0);
    EXPECT_EQ(WriteVW(50, 1, &w), 0);
    ASSERT_EQ(ReadConf(51), 0);

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
    peer.stop();
    ASSERT_GE(ctrl.requests.size(), 2u);
    const auto &r = ctrl.requests;
    EXPECT_EQ(r[r.size() - 2].raw, frameBytes(50, 0x01, 2, 2, {0x01, 0x02}));
    EXPECT_EQ(r[r.size() - 1].raw, frameBytes(51, 0x01, 2, 0x8002, {0x01, 0x02}));
    CloseComm();
}
