// Faults on demand with a fixed seed, and the control channel.
#include "board.h"
#include "faults.h"
#include "kit.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace stovesim;
using namespace stovesim::test;
using namespace std::chrono_literals;

namespace {

Exchange answered(const std::string &label, const std::string &reply) {
    Exchange e;
    e.label = label;
    e.request = wire(label + "\r");
    e.reply = wire(reply);
    return e;
}

} // namespace

TEST(Faults, RatesMatchTheProbabilitiesAndRepeatWithTheSeed) {
    FaultConfig c;
    c.seed = 42;
    c.drop = 0.2;
    c.corrupt = 0.1;
    c.noise = 0.3;
    FaultInjector a(c), b(c);
    int dropped = 0, corrupted = 0, noisy = 0;
    const Exchange ex = answered("READGENP01", "P01=018\r");
    for (int i = 0; i < 10000; ++i) {
        auto oa = a.apply(ex);
        auto ob = b.apply(ex);
        ASSERT_EQ(oa.bytes, ob.bytes);
        if (!oa.bytes) {
            ++dropped;
            continue;
        }
        if (oa.note.find("corrupted") != std::string::npos) {
            ++corrupted;
            // Exactly one byte differs (after the stray bytes, if any).
            const Bytes &got = *oa.bytes;
            const Bytes tail(got.end() - 8, got.end());
            int diff = 0;
            for (std::size_t k = 0; k < 8; ++k)
                diff += tail[k] != (*ex.reply)[k];
            EXPECT_EQ(diff, 1);
        }
        if (oa.note.find("noise") != std::string::npos) {
            ++noisy;
            EXPECT_GE(oa.bytes->size(), 9u);
            EXPECT_LE(oa.bytes->size(), 12u);
        }
    }
    EXPECT_NEAR(dropped, 2000, 200);
    EXPECT_NEAR(corrupted, 800, 120); // of the 8000 not dropped
    EXPECT_NEAR(noisy, 2400, 200);

    FaultInjector same(c);
    c.seed = 43;
    FaultInjector other(c);
    int differences = 0;
    for (int i = 0; i < 100; ++i)
        differences += other.apply(ex).bytes != same.apply(ex).bytes;
    EXPECT_GT(differences, 0);
}

TEST(Faults, LostRequestsKeepTheReplyFaultsOfTheSeed) {
    FaultConfig c;
    c.seed = 7;
    c.drop = 0.5;
    FaultInjector plain(c);
    c.lose = 0.25;
    FaultInjector losing(c), again(c);
    const Exchange ex = answered("WRGENP01020", "P01=020\r");
    int lost = 0;
    for (int i = 0; i < 4000; ++i) {
        const bool l = losing.loses("WRGENP01020");
        ASSERT_EQ(l, again.loses("WRGENP01020"));
        lost += l;
        ASSERT_EQ(losing.apply(ex).bytes, plain.apply(ex).bytes);
    }
    EXPECT_NEAR(lost, 1000, 120);
    c.only = "SAVEPAR";
    FaultInjector only(c);
    for (int i = 0; i < 100; ++i)
        EXPECT_FALSE(only.loses("WRGENP01020"));
}

TEST(Faults, DelayAndJitterBounds) {
    FaultConfig c;
    c.delayMs = 50;
    c.jitterMs = 20;
    FaultInjector f(c);
    Millis lo = 1h, hi = 0ms;
    for (int i = 0; i < 2000; ++i) {
        auto o = f.apply(answered("MODELLO", "x"));
        lo = std::min(lo, o.delay);
        hi = std::max(hi, o.delay);
    }
    EXPECT_EQ(lo, 50ms);
    EXPECT_EQ(hi, 70ms);
}

TEST(Control, ParametersBanksModesAndErrors) {
    Board water(Model::Water);
    EXPECT_EQ(water.control("get gen 1"), "ok gen 1 18 range 0..99");
    EXPECT_EQ(water.control("set gen 1 150"), "ok gen 1 150"); // out of range on purpose
    EXPECT_EQ(water.ask("READGENP01\r"), "P01=150\r");
    EXPECT_EQ(water.control("get tec 5"), "ok tec 5 128 range 0..255");
    EXPECT_EQ(water.control("bank 2"), "ok bank 2");
    EXPECT_EQ(water.control("bank"), "ok bank 2");
    EXPECT_EQ(water.control("get gen 1"), "ok gen 1 18 range 0..99");
    EXPECT_EQ(water.control("defaults"), "ok factory values (not stored)");
    EXPECT_EQ(water.control("bank"), "ok bank 1");
    for (const char *bad : {"get gen 19", "set gen 1 1000", "bank 9", "frobnicate", "power 9", "alarm x",
                            "input t9 3", "speed -1"})
        EXPECT_EQ(water.control(bad).rfind("error", 0), 0u) << bad;
    EXPECT_EQ(water.control(""), "");
    EXPECT_TRUE(control(water.engine, "quit", water.now).quit);

    Board basic(Model::Basic);
    EXPECT_EQ(basic.control("status").rfind("ok mode normal model basic bank 1 state 8", 0), 0u);
    basic.ask("TESTON\r");
    EXPECT_EQ(basic.control("status").rfind("ok mode test", 0), 0u);
    EXPECT_EQ(basic.control("reboot"), "ok normal mode");
    EXPECT_FALSE(basic.ask("READT1\r")); // test mode left
    basic.control("start");
    EXPECT_EQ(basic.monitor(3)[1], 10);
    basic.control("reboot");
    EXPECT_EQ(basic.monitor(3)[1], 8); // a restarted board has the stove off
    // Speed: four simulated minutes of resistance ignition in four seconds.
    EXPECT_EQ(basic.control("speed 60"), "ok speed 60");
    basic.control("start");
    basic.wait(4s + 100ms);
    EXPECT_EQ(basic.monitor(3)[1], 11);
}

TEST(Control, OutputsFollowTheTestCommands) {
    Board basic(Model::Basic);
    EXPECT_EQ(basic.control("outputs"), "ok outputs 0 0 0 0 0 0 0 0 0 0 led 0");
    basic.ask("TESTON\r");
    basic.ask("RESISTENCEON\r");
    basic.ask("EFUMI250\r");
    basic.ask("VVENT45\r");
    basic.ask("LEDR\r");
    EXPECT_EQ(basic.control("outputs"), "ok outputs 1 0 0 0 0 250 45 0 0 0 led 2");
    Board water(Model::Water);
    water.ask("TESTON\r");
    water.ask("OUT06300\r");
    water.ask("OUT03001\r");
    EXPECT_EQ(water.control("outputs"), "ok outputs 0 0 0 1 0 0 300 0 0 0 led 0");
    water.ask("OUT10000\r");
    EXPECT_EQ(water.control("outputs"), "ok outputs 0 0 0 0 0 0 0 0 0 0 led 0");
}

TEST(Control, SaveAndDumpFlashWriteFiles) {
    const auto flash = scratch("flash.bin");
    EngineConfig c = Board::configFor(Model::Basic, scratch("state.txt"));
    {
        Board basic(c);
        basic.control("set gen 1 33");
        basic.control("set tec 9 255"); // the reset register is not acted on by "save"
        EXPECT_EQ(basic.control("save"), "ok stored");
        EXPECT_EQ(basic.control("dump-flash " + flash.string()), "ok " + flash.string());
        EXPECT_EQ(basic.control("dump-flash /nonexistent/dir/x.bin").rfind("error", 0), 0u);
    }
    EXPECT_EQ(Board(c).ask("READGENP01\r"), "P01=033\r");
    EXPECT_EQ(std::filesystem::file_size(flash), 0x100000u);
    c.statePath = "/nonexistent/dir/state.txt";
    Board unwritable(c);
    EXPECT_EQ(unwritable.control("save").rfind("error", 0), 0u);
    EXPECT_EQ(unwritable.ask("SAVEPAR\r"), "SAVEPAR\r"); // the board still stores in its own memory
}
