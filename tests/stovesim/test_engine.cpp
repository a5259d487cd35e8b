// The board's ASCII command set, byte for byte: identity, parameter requests, banks, storage,
// test mode, monitor and the stove automaton. (The parameter tables themselves are checked against
// the program's catalogue in test_catalogue.cpp.)
#include "board.h"
#include "kit.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>

using namespace stovesim;
using namespace stovesim::test;
using namespace std::chrono_literals;

TEST(Identity, TwentyThreeBytesPerModel) {
    EXPECT_EQ(Board(Model::Basic).ask("MODELLO\r"), "BASIC      02.07240315\r");
    EXPECT_EQ(Board(Model::Water).ask("MODELLO\r"), "WATER      02.07240315\r");
    EXPECT_EQ(Board(Model::AirDucted).ask("MODELLO\r"), "AIR-DUCT   02.07240315\r");
    EngineConfig c;
    c.firmware = "01.23";
    c.revision = "150911";
    EXPECT_EQ(Board(c).ask("MODELLO\r"), "WATER      01.23150911\r");
    // Texts of the wrong length are cut or blank-padded so the reply keeps its 23 bytes.
    c.firmware = "1.5";
    c.revision = "2024010199";
    EXPECT_EQ(Board(c).ask("MODELLO\r"), "WATER      1.5  202401\r");
}

TEST(Parameters, UnknownIndexesAndMalformedRequestsStaySilentAndFlagsTakeAnyByte) {
    Board basic(Model::Basic);
    for (const char *request :
         {"READGENP00\r", "READGENP12\r", "READTECP05\r", "WRGENP12001\r", "READGENP1\r", "READGENP0A\r",
          "WRGENP0104\r", "WRGENP01-45\r", "readgenp01\r", "READGENP01 \r"})
        EXPECT_FALSE(basic.ask(request)) << request; // BASIC has no general 12 and no technical 5
    expectReplies(basic, {{"READGENP01\r", "P01=018\r"},
                          {"WRTECP04083\r", "P04=083\r"},   // a flags word takes any byte
                          {"WRTECP04256\r", "P04=083\r"}}); // but no more
}

TEST(Storage, SaveParPersistsBanksAndRebootReloads) {
    const auto path = scratch("store.txt");
    EngineConfig c = Board::configFor(Model::AirDucted, path);
    {
        Board board(c);
        expectReplies(board, {{"WRGENP01020\r", "P01=020\r"},
                              {"WRBANP04444\r", "P04=444\r"},
                              {"WRGENP05077\r", "P05=077\r"},
                              {"SAVEPAR\r", "SAVEPAR\r"},
                              {"WRGENP05030\r", "P05=030\r"}});
        board.engine.reboot(false); // the unsaved change is lost
        EXPECT_EQ(board.ask("READGENP05\r"), "P05=077\r");
    }
    Board again(c);
    expectReplies(again, {{"READGENP05\r", "P05=077\r"}, // bank 4 still selected
                          {"WRBANP01111\r", "P01=111\r"},
                          {"READGENP01\r", "P01=020\r"},
                          {"READGENP05\r", "P05=120\r"}});
    std::ifstream in(path);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "stovesim-parameters 1");
}

TEST(Storage, StateFileOfAnotherModelOrGarbageIsIgnored) {
    const auto path = scratch("other.txt");
    EngineConfig c = Board::configFor(Model::Basic, path);
    {
        Board basic(c);
        basic.ask("WRGENP01020\r");
        basic.ask("SAVEPAR\r");
    }
    c.model = Model::Water;
    Board water(c);
    EXPECT_EQ(water.ask("READGENP01\r"), "P01=018\r");
    EXPECT_FALSE(water.engine.stateError().empty());

    ParameterStore store(Model::Water);
    for (const char *bad : {"stovesim-parameters 1\nmodel water\nvalue 1 gen 3 1000\n",
                            "stovesim-parameters 1\nmodel water\nvalue 1 gen 19 1\n", // no general 19
                            "model water\nvalue 1 gen 3 10\n",                        // no header
                            "stovesim-parameters 1\nmodel water\nbank 7\n"})
        EXPECT_FALSE(store.parse(bad)) << bad;
    EXPECT_TRUE(store.parse("stovesim-parameters 1\nmodel water\nbank 3\nvalue 3 gen 3 10\n"));
    EXPECT_EQ(store.bank(), 3);
    int v = 0;
    ASSERT_TRUE(store.read(Table::General, 3, v));
    EXPECT_EQ(v, 10);
}

TEST(Banks, FourParameterSetsOnWaterAndAir) {
    for (Model model : {Model::Water, Model::AirDucted}) {
        Board board(model);
        expectReplies(board, {{"WRGENP01030\r", "P01=030\r"},
                              {"WRBANP03333\r", "P03=333\r"},
                              {"READGENP01\r", "P01=018\r"},
                              {"WRGENP01040\r", "P01=040\r"},
                              {"WRBANP01111\r", "P01=111\r"},
                              {"READGENP01\r", "P01=030\r"},
                              {"WRBANP03333\r", "P03=333\r"},
                              {"READGENP01\r", "P01=040\r"},
                              {"WRBANP05555\r", silent},
                              {"WRBANP00000\r", silent},
                              {"WRBANP01234\r", silent},
                              {"WRBANP12222\r", silent}});
    }
    EXPECT_FALSE(Board(Model::Basic).ask("WRBANP02222\r"));
}

TEST(Storage, HiddenRegistersActOnTheNextStore) {
    // Technical 9 = 255 restores and stores the factory values; any other value does nothing.
    for (int value : {255, 254}) {
        Board board(Model::Water);
        board.ask("WRGENP01030\r");
        board.ask("SAVEPAR\r");
        board.ask(value == 255 ? "WRTECP09255\r" : "WRTECP09254\r");
        EXPECT_EQ(board.ask("READGENP01\r"), "P01=030\r"); // nothing happens before the store
        board.ask("SAVEPAR\r");
        board.engine.reboot(false);
        EXPECT_EQ(board.ask("READGENP01\r"), value == 255 ? "P01=018\r" : "P01=030\r");
        EXPECT_EQ(board.ask("READTECP09\r"), "P09=000\r");
    }
    // Technical 8 = 250 on BASIC: store, echo, then the boot loader.
    Board basic(Model::Basic);
    EXPECT_EQ(basic.ask("WRTECP08250\r"), "P08=250\r");
    EXPECT_EQ(basic.engine.mode(), Mode::Normal);
    EXPECT_EQ(basic.ask("SAVEPAR\r"), "SAVEPAR\r");
    EXPECT_EQ(basic.engine.mode(), Mode::BootLoader);
    EXPECT_FALSE(basic.ask("MODELLO\r"));
    basic.engine.reboot(false);
    EXPECT_EQ(basic.ask("READTECP08\r"), "P08=000\r"); // the request is not kept
    // On WATER technical 8 is an ordinary 0..1 setting.
    Board water(Model::Water);
    EXPECT_EQ(water.ask("WRTECP08250\r"), "P08=000\r");
    water.ask("SAVEPAR\r");
    EXPECT_EQ(water.engine.mode(), Mode::Normal);
}

TEST(SmsModem, EnablingItSilencesTheBoard) {
    Board water(Model::Water);
    EXPECT_EQ(water.ask("WRTECP05160\r"), "P05=160\r"); // bit 5 + bit 7
    EXPECT_FALSE(water.ask("MODELLO\r"));
    EXPECT_FALSE(water.ask("WRTECP05128\r"));
    EXPECT_EQ(water.control("set tec 5 128"), "ok tec 5 128");
    EXPECT_TRUE(water.ask("MODELLO\r"));
    // BASIC has no modem bit: bit 5 of its flags word is just stored.
    Board basic(Model::Basic);
    EXPECT_EQ(basic.ask("WRTECP04032\r"), "P04=032\r");
    EXPECT_TRUE(basic.ask("MODELLO\r"));
}

TEST(TestMode, OutputCommandsEchoOnlyInTestModeAndOnTheirModels) {
    Board basic(Model::Basic);
    EXPECT_FALSE(basic.ask("RESISTENCEON\r"));
    EXPECT_FALSE(basic.ask("READT1\r"));
    expectReplies(basic, {{"TESTON\r", "TESTON\r"},
                          {"RESISTENCEON\r", "RESISTENCEON\r"},
                          {"EFUMI300\r", "EFUMI300\r"},
                          {"VVENT07\r", "VVENT07\r"},
                          {"OUT05300\r", silent}, // the channel form belongs to WATER and AIR - DUCTED
                          {"EFUMI30\r", silent},
                          {"VVENT100\r", silent},
                          {"LEDY\r", silent},
                          {"TESTOFF\r", "TESTOFF\r"},
                          {"COCLEAON\r", silent}});
    for (Model model : {Model::Water, Model::AirDucted}) {
        Board board(model);
        EXPECT_FALSE(board.ask("OUT05300\r"));
        board.ask("TESTON\r");
        expectReplies(board, {{"OUT05300\r", "O05=100\r"},
                              {"OUT05000\r", "O05=000\r"},
                              {"OUT00001\r", "O00=101\r"},
                              {"OUT06123\r", "O06=123\r"},
                              {"OUT10000\r", "O10=000\r"},
                              {"OUT11000\r", silent},
                              {"RESISTENCEON\r", silent}});
    }
}

TEST(TestMode, InputRepliesAndFixedInputs) {
    Board basic(Model::Basic);
    basic.ask("TESTON\r");
    const struct {
        const char *input, *request, *reply;
    } inputs[] = {{"t1 25", "READT1\r", "T1=025\r"},   {"t1 -5", "READT1\r", "T1=-05\r"},
                  {"pot 29", "READPOT\r", "SET=29\r"}, {"pcc 95", "READPCC\r", "SCC=95\r"},
                  {"in 0x0A", "READIN\r", "IN=010\r"}, {"t1 auto", "READT1\r", "T1=018\r"}};
    for (const auto &i : inputs) {
        EXPECT_EQ(basic.control(std::string("input ") + i.input).rfind("ok input", 0), 0u);
        EXPECT_EQ(basic.ask(i.request), i.reply);
    }
}

TEST(TestMode, InputsFollowTheOutputs) {
    Board water(Model::Water);
    water.ask("TESTON\r");
    auto value = [&](const char *req) { return std::stoi(water.ask(req)->substr(3, 3)); };
    const int cold = value("READT2\r");
    water.ask("OUT00001\r"); // resistance on
    water.waitSimulated(60);
    const int warm = value("READT2\r");
    EXPECT_GT(warm, cold + 50);
    water.ask("OUT00000\r");
    water.waitSimulated(120);
    EXPECT_LT(value("READT2\r"), warm);

    EXPECT_EQ(value("READIN\r") & 0x12, 0); // no draught, no water flow
    water.ask("OUT05200\r");                // extractor
    water.ask("OUT03001\r");                // heating pump
    water.waitSimulated(10);
    EXPECT_EQ(value("READIN\r") & 0x12, 0x12);
    EXPECT_NEAR(value("READEN\r"), 200, 2);
    water.ask("OUT10000\r"); // everything off
    water.waitSimulated(20);
    EXPECT_EQ(value("READIN\r") & 0x12, 0);
    EXPECT_LT(value("READEN\r"), 5);
}

TEST(Monitor, RepliesAndSilences) {
    Board water(Model::Water);
    EXPECT_EQ(water.ask("DEBUG05\r").value_or("").size(), 12u);
    for (const char *request : {"DEBUG06\r", "DEBUG00\r", "DEBUG1\r"})
        EXPECT_FALSE(water.ask(request)) << request; // DEBUG06 belongs to BASIC
    water.ask("TESTON\r");
    EXPECT_FALSE(water.ask("DEBUG01\r")); // normal mode only
    Board basic(Model::Basic);
    EXPECT_EQ(basic.ask("DEBUG06\r"), "06000000000\r");
    EXPECT_EQ(basic.monitor(3)[1], 8); // stove off
}

TEST(Monitor, AutomatonRunsThroughItsStates) {
    Board board(Model::Water);
    auto state = [&] { return board.monitor(3)[1]; };
    EXPECT_EQ(state(), 8);
    EXPECT_EQ(board.control("start"), "ok starting");
    EXPECT_EQ(state(), 10); // resistance ignition
    EXPECT_EQ(board.monitor(1)[2], 3);
    board.waitSimulated(4 * 60 + 1);    // ignition resistance before loading: 4 min
    EXPECT_EQ(state(), 11);             // fuel load
    EXPECT_EQ(board.monitor(2)[2], 13); // cochlea load time 1.3 s
    for (int i = 0; i < 600 && state() == 11; ++i)
        board.waitSimulated(1);
    EXPECT_EQ(state(), 12); // flame stabilisation once the smoke is hot enough
    EXPECT_GE(board.monitor(1)[0], 60);
    board.waitSimulated(4 * 60 + 1);
    EXPECT_EQ(state(), 13 + 32);        // on, modulating
    EXPECT_EQ(board.monitor(2)[2], 15); // work power 3
    board.control("power 5");
    EXPECT_EQ(state(), 13 + 64); // maximum efficiency
    board.waitSimulated(45 * 60);
    EXPECT_EQ(state(), 14); // burner cleaning every 45 min
    board.waitSimulated(51);
    EXPECT_EQ(state() & 31, 13);
    board.control("stop");
    EXPECT_EQ(state(), 15); // power off until the smoke cools below 50
    for (int i = 0; i < 3600 && state() == 15; ++i)
        board.waitSimulated(1);
    EXPECT_EQ(state(), 9); // cooling
    EXPECT_LE(board.monitor(1)[0], 50);
    board.waitSimulated(61);
    EXPECT_EQ(state(), 8);
}

TEST(Monitor, AlarmsIgnitionFailureAndSetPoint) {
    Board basic(Model::Basic);
    basic.control("start");
    EXPECT_EQ(basic.monitor(4)[0], 45 + 100); // HUBA: the boot depressure, shown raw + 100
    basic.ask("WRGENP11000\r");
    EXPECT_EQ(basic.monitor(4)[0], 45 + 50); // speed: (45 + 50) x 10 rpm
    basic.waitSimulated(10);
    EXPECT_EQ(basic.control("alarm 2"), "ok alarm 2");
    EXPECT_EQ(basic.ask("DEBUG06\r"), "06002000000\r");
    EXPECT_EQ(basic.monitor(3)[1], 15);
    EXPECT_EQ(basic.control("start").rfind("error", 0), 0u);
    basic.control("alarm 0");
    EXPECT_EQ(basic.ask("DEBUG06\r"), "06000000000\r");

    EngineConfig c = Board::configFor(Model::Basic);
    c.alarm = 5;
    EXPECT_EQ(Board(c).ask("DEBUG06\r"), "06005000000\r");

    // The smoke stays cold: ignition failure after the maximum ignition time (18 min).
    Board cold(Model::Basic);
    cold.control("input t2 25");
    cold.control("start");
    cold.waitSimulated(18 * 60 + 1);
    EXPECT_EQ(cold.monitor(6)[0], 4);
    EXPECT_EQ(cold.monitor(3)[1], 9); // the cold smoke ends power-off at once
}

TEST(Lines, FramingRules) {
    Board board(Model::Water);
    // Several requests in one chunk, each answered; CR LF from a terminal.
    auto out = board.send(wire("MODELLO\rREADGENP01\rREADGENP02\r\nREADGENP03\r\n"));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(text(*out[1].reply), "P01=018\r");
    EXPECT_EQ(text(*out[3].reply), "P03=045\r");
    // A line that is too long, or has garbage before the command, gets no answer.
    EXPECT_FALSE(board.ask(std::string(100, 'A') + "\r"));
    EXPECT_FALSE(board.ask("XMODELLO\r"));
    EXPECT_TRUE(board.ask("MODELLO\r"));
    // A half line is forgotten after a pause.
    board.send(wire("REA"));
    board.wait(3s);
    EXPECT_EQ(board.ask("DGENP01\r"), std::nullopt);
    board.send(wire("READ"));
    board.wait(100ms);
    EXPECT_EQ(board.ask("GENP01\r"), "P01=018\r");
}
