// The board's ASCII command set, byte for byte: identity, parameter tables, banks, storage,
// test mode, monitor and the stove automaton.
#include "board.h"
#include "kit.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

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
    auto id = Board(c).ask("MODELLO\r");
    ASSERT_TRUE(id);
    ASSERT_EQ(id->size(), 23u);
    EXPECT_EQ(id->substr(11, 5), "01.23");
    EXPECT_EQ(id->substr(16, 6), "150911");
    // Texts of the wrong length are cut or blank-padded so the reply keeps its 23 bytes.
    c.firmware = "1.5";
    c.revision = "2024010199";
    EXPECT_EQ(Board(c).ask("MODELLO\r"), "WATER      1.5  202401\r");
}

TEST(Identity, ModelNamesAccepted) {
    Model m{};
    EXPECT_TRUE(parseModel("air - ducted", m));
    EXPECT_EQ(m, Model::AirDucted);
    EXPECT_TRUE(parseModel("AIR-DUCT", m));
    EXPECT_EQ(m, Model::AirDucted);
    EXPECT_TRUE(parseModel("Standard", m));
    EXPECT_EQ(m, Model::Basic);
    EXPECT_FALSE(parseModel("pellet", m));
}

TEST(Parameters, FactoryValues) {
    Board basic(Model::Basic), water(Model::Water), air(Model::AirDucted);
    expectReplies(basic, {{"READGENP01\r", "P01=018\r"},
                          {"READGENP11\r", "P11=002\r"}, // extractor management: HUBA
                          {"READGENP33\r", "P33=045\r"},
                          {"READGENP53\r", "P53=050\r"},
                          {"READTECP04\r", "P04=006\r"}}); // fuel correction and cochlea brake bits
    expectReplies(water, {{"READGENP12\r", "P12=003\r"},
                          {"READGENP72\r", "P72=250\r"},
                          {"READTECP05\r", "P05=128\r"}, // only the cochlea brake (bit 7)
                          {"READTECP07\r", "P07=005\r"}});
    EXPECT_EQ(air.ask("READGENP22\r"), "P22=075\r");
    EXPECT_EQ(air.ask("READTECP05\r"), "P05=128\r");
    EXPECT_EQ(air.ask("READTECP06\r"), "P06=002\r");
}

// Every board parameter of each model, as "G<index>" (general) or "T<index>" (technical): raw range
// of the standard group, "/" the HUBA group's where it differs, "=" the factory value; a flags word
// is "flags=" the byte its bit entries' factory values make up.
namespace {

struct TableRow {
    char table;
    int index;
    int low[2], high[2]; // [0] standard group, [1] HUBA group
    int factory;         // -1: not listed (the selector)
    bool flags;
};

std::vector<TableRow> rows(const std::string &spec) {
    std::vector<TableRow> out;
    std::istringstream in(spec);
    std::string item;
    while (in >> item) {
        TableRow r{};
        int n = 0;
        if (std::sscanf(item.c_str(), "%c%d:flags=%d%n", &r.table, &r.index, &r.factory, &n) == 3 &&
            n == static_cast<int>(item.size())) {
            r.flags = true;
        } else if (std::sscanf(item.c_str(), "%c%d:%d-%d/%d-%d=%d", &r.table, &r.index, &r.low[0], &r.high[0],
                               &r.low[1], &r.high[1], &r.factory) != 7) {
            EXPECT_EQ(std::sscanf(item.c_str(), "%c%d:%d-%d=%d", &r.table, &r.index, &r.low[0], &r.high[0],
                                  &r.factory),
                      5)
                << item;
            r.low[1] = r.low[0];
            r.high[1] = r.high[0];
        }
        out.push_back(r);
    }
    return out;
}

// READ... for value -1, else WR... with the value.
std::string request(const TableRow &r, int value = -1) {
    char buf[24];
    if (value < 0)
        std::snprintf(buf, sizeof buf, "READ%sP%02d\r", r.table == 'G' ? "GEN" : "TEC", r.index);
    else
        std::snprintf(buf, sizeof buf, "WR%sP%02d%03d\r", r.table == 'G' ? "GEN" : "TEC", r.index, value);
    return buf;
}

std::string echo(const TableRow &r, int value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "P%02d=%03d\r", r.index, value);
    return buf;
}

} // namespace

TEST(Parameters, EveryBoardParameterHasItsFactoryValueAndRawRange) {
    const struct {
        Model model;
        int selector; // general index of the extractor management (2 = HUBA, its factory value)
        const char *table;
    } models[] = {
        {Model::Basic, 11,
         "G1:0-99=18 G2:0-255=4 G3:0-255=45 G4:0-99=50 G5:0-255=120 G6:0-255=60 G7:0-255=250 "
         "G8:0-255=50 G9:0-255=70 G10:0-255=3 G11:0-2=2 G18:0-99=1 G19:0-99=4 G21:1-99=2 G22:0-99=2 "
         "G24:0-999=40 G25:0-999=13 G26:0-999=12 G27:0-999=10 G28:0-999=11 G29:0-999=13 G30:0-999=15 "
         "G31:0-999=17 G32:0-999=18 G33:5-250/0-900=45/300 G34:5-250/0-900=45/300 "
         "G35:5-250/0-900=45/300 G36:5-250/0-900=39/220 G37:5-250/0-900=43/280 G38:5-250/0-900=47/330 "
         "G39:5-250/0-900=55/400 G40:5-250/0-900=61/500 G46:0-200=50 G53:0-200=50 T1:1-5=1 T2:0-5=0 "
         "T3:0-5=1 T4:flags=6"},
        {Model::Water, 18,
         "G1:0-99=18 G2:0-255=4 G3:0-255=45 G4:0-99=50 G5:0-255=120 G6:0-99=60 G7:0-255=250 G8:0-1=0 "
         "G9:0-99=50 G10:0-99=70 G11:0-255=3 G12:0-9/0-10=3/5 G13:0-99=40 G14:0-99=80 G15:0-99=5 "
         "G16:0-99=15 G17:0-99=15 G18:0-2=2 G20:0-30=0 G21:0-99=1 G25:0-99=4 G26:0-1=1 G27:1-99=2 "
         "G30:0-99=40 G31:0-99=13 G32:0-99=12 G33:0-99=10 G34:0-99=11 G35:0-99=13 G36:0-99=15 "
         "G37:0-99=17 G38:0-99=18 G39:5-250/0-900=45/300 G40:5-250/0-900=45/300 "
         "G41:5-250/0-900=45/300 G42:5-250/0-900=39/220 G43:5-250/0-900=43/280 G44:5-250/0-900=47/330 "
         "G45:5-250/0-900=55/400 G46:5-250/0-900=61/500 G47:0-100=75 G48:0-100=80 G49:0-100=85 "
         "G50:0-100=90 G51:0-100=100 G52:0-60=50 G53:0-60=35 G54:0-60=20 G55:0-60=5 G56:0-60=5 "
         "G57:0-60=20 G58:0-60=35 G59:0-60=50 G60:0-10=8 G61:0-10=6 G62:0-10=4 G63:0-10=2 G64:0-10=2 "
         "G65:0-10=4 G66:0-10=6 G67:0-10=8 G68:0-255=130 G69:0-255=160 G70:0-255=190 G71:0-255=220 "
         "G72:0-255=250 T1:0-1=0 T2:0-5=4 T3:1-5=1 T4:0-99=0 T6:0-30=15 T7:1-99=5 T8:0-1=0 "
         "T5:flags=128"},
        {Model::AirDucted, 11,
         "G1:0-99=18 G2:0-255=4 G3:0-255=45 G4:0-99=50 G5:0-255=120 G6:0-99=60 G7:0-255=250 "
         "G8:0-99=50 G9:0-99=70 G10:0-255=3 G11:0-2=2 G13:0-1=1 G14:0-1=1 G15:0-30=0 G16:0-99=1 "
         "G19:0-99=4 G20:0-1=1 G21:0-100=25 G22:0-100=75 G23:1-99=2 G26:0-99=40 G27:0-99=13 "
         "G28:0-99=12 G29:0-99=10 G30:0-99=11 G31:0-99=13 G32:0-99=15 G33:0-99=17 G34:0-99=18 "
         "G35:5-250/0-900=45/300 G36:5-250/0-900=45/300 G37:5-250/0-900=45/300 G38:5-250/0-900=39/220 "
         "G39:5-250/0-900=43/280 G40:5-250/0-900=47/330 G41:5-250/0-900=55/400 G42:5-250/0-900=61/500 "
         "G43:0-100=75 G44:0-100=80 G45:0-100=85 G46:0-100=90 G47:0-100=100 G48:0-60=50 G49:0-60=35 "
         "G50:0-60=20 G51:0-60=5 G52:0-60=5 G53:0-60=20 G54:0-60=35 G55:0-60=50 G56:0-10=8 G57:0-10=6 "
         "G58:0-10=4 G59:0-10=2 G60:0-10=2 G61:0-10=4 G62:0-10=6 G63:0-10=8 G64:0-255=130 "
         "G65:0-255=160 G66:0-255=190 G67:0-255=220 G68:0-255=250 T1:1-5=1 T2:0-5=0 T3:1-5=1 "
         "T4:0-99=0 T6:0-2=2 T5:flags=128"},
    };
    for (const auto &m : models) {
        const std::vector<TableRow> all = rows(m.table);
        Board board(m.model);
        for (const TableRow &r : all)
            EXPECT_EQ(board.ask(request(r)), echo(r, r.factory)) << m.selector << " " << r.index;
        // Group 1 while the selector holds 2, group 0 once it holds 0. A refused value leaves the
        // last one (the maximum just written) in place.
        for (int group : {1, 0}) {
            Board b(m.model);
            if (group == 0) {
                char select[16];
                std::snprintf(select, sizeof select, "WRGENP%02d000\r", m.selector);
                ASSERT_TRUE(b.ask(select));
            }
            for (const TableRow &r : all) {
                if (r.flags || (r.table == 'G' && r.index == m.selector)) continue;
                const int lo = r.low[group], hi = r.high[group];
                EXPECT_EQ(b.ask(request(r, lo)), echo(r, lo)) << r.table << r.index;
                EXPECT_EQ(b.ask(request(r, hi)), echo(r, hi)) << r.table << r.index;
                // Just outside the range (where three digits can say it): refused.
                for (int outside : {lo - 1, hi + 1}) {
                    if (outside >= 0 && outside <= 999) {
                        EXPECT_EQ(b.ask(request(r, outside)), echo(r, hi)) << r.table << r.index;
                    }
                }
            }
        }
    }
}

TEST(Parameters, UnknownIndexesAndMalformedRequestsStaySilent) {
    Board basic(Model::Basic);
    expectReplies(basic, {{"READGENP00\r", silent},
                          {"READGENP12\r", silent}, // BASIC has no general 12
                          {"READTECP05\r", silent},
                          {"WRGENP12001\r", silent},
                          {"READGENP1\r", silent},
                          {"READGENP0A\r", silent},
                          {"WRGENP0104\r", silent},
                          {"WRGENP01-45\r", silent},
                          {"readgenp01\r", silent},
                          {"READGENP01 \r", silent},
                          {"READGENP01\r", "P01=018\r"}});
}

TEST(Parameters, WriteEchoesStoredValueAndRefusesOutOfRange) {
    Board water(Model::Water);
    expectReplies(water, {{"WRGENP07045\r", "P07=045\r"},
                          {"READGENP07\r", "P07=045\r"},
                          {"WRGENP07256\r", "P07=045\r"}, // 0..255: refused, old value echoed
                          {"WRGENP27000\r", "P27=002\r"}, // 1..99: 0 refused
                          {"WRGENP27099\r", "P27=099\r"},
                          {"WRGENP27100\r", "P27=099\r"}});
    // A flags word takes any byte.
    EXPECT_EQ(water.ask("WRTECP05083\r"), "P05=083\r");
    EXPECT_EQ(water.ask("WRTECP05256\r"), "P05=083\r");
}

TEST(Parameters, RangeGroupFollowsTheExtractorSelector) {
    Board basic(Model::Basic);
    // Selector 2 (HUBA): smoke depressure takes 0..900.
    EXPECT_EQ(basic.ask("WRGENP33900\r"), "P33=900\r");
    EXPECT_EQ(basic.ask("WRGENP33901\r"), "P33=900\r");
    EXPECT_EQ(basic.ask("WRGENP33000\r"), "P33=000\r");
    // Selector 0: 5..250.
    expectReplies(basic, {{"WRGENP11000\r", "P11=000\r"},
                          {"WRGENP33004\r", "P33=000\r"},
                          {"WRGENP33251\r", "P33=000\r"},
                          {"WRGENP33250\r", "P33=250\r"},
                          {"WRGENP11003\r", "P11=000\r"}}); // the selector itself is 0..2
    Board water(Model::Water);
    expectReplies(water, {{"WRGENP12010\r", "P12=010\r"}, // antifreeze 0..10 under HUBA
                          {"WRGENP18001\r", "P18=001\r"},
                          {"WRGENP12010\r", "P12=010\r"}, // stored before; a new 10 is refused now...
                          {"WRGENP12009\r", "P12=009\r"},
                          {"WRGENP12010\r", "P12=009\r"}}); // ...as here
}

TEST(Storage, SaveParPersistsAndRebootReloads) {
    const auto path = scratch("store.txt");
    EngineConfig c = Board::configFor(Model::Water, path);
    {
        Board board(c);
        EXPECT_EQ(board.ask("WRGENP01020\r"), "P01=020\r");
        EXPECT_EQ(board.ask("SAVEPAR\r"), "SAVEPAR\r");
        EXPECT_EQ(board.ask("WRGENP01030\r"), "P01=030\r");
        board.engine.reboot(false); // unsaved change lost
        EXPECT_EQ(board.ask("READGENP01\r"), "P01=020\r");
    }
    Board again(c);
    EXPECT_EQ(again.ask("READGENP01\r"), "P01=020\r");
    EXPECT_EQ(again.ask("READGENP02\r"), "P02=004\r");
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
    EXPECT_FALSE(store.parse("stovesim-parameters 1\nmodel water\nvalue 1 gen 3 1000\n"));
    EXPECT_FALSE(store.parse("stovesim-parameters 1\nmodel water\nvalue 1 gen 19 1\n")); // no general 19
    EXPECT_FALSE(store.parse("model water\nvalue 1 gen 3 10\n"));                        // no header
    EXPECT_FALSE(store.parse("stovesim-parameters 1\nmodel water\nbank 7\n"));
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
    Board basic(Model::Basic);
    EXPECT_FALSE(basic.ask("WRBANP02222\r"));
}

TEST(Banks, SelectionIsStored) {
    const auto path = scratch("banks.txt");
    EngineConfig c = Board::configFor(Model::AirDucted, path);
    {
        Board board(c);
        board.ask("WRBANP04444\r");
        board.ask("WRGENP05077\r");
        board.ask("SAVEPAR\r");
    }
    Board again(c);
    EXPECT_EQ(again.ask("READGENP05\r"), "P05=077\r");
    EXPECT_EQ(again.ask("WRBANP01111\r"), "P01=111\r");
    EXPECT_EQ(again.ask("READGENP05\r"), "P05=120\r");
}

TEST(Storage, ResetRegisterRestoresFactoryValues) {
    for (Model model : {Model::Basic, Model::Water}) {
        Board board(model);
        board.ask("WRGENP01030\r");
        board.ask("SAVEPAR\r");
        expectReplies(board, {{"WRTECP09255\r", "P09=255\r"},
                              {"READGENP01\r", "P01=030\r"}, // nothing happens before the store
                              {"SAVEPAR\r", "SAVEPAR\r"},
                              {"READGENP01\r", "P01=018\r"},
                              {"READTECP09\r", "P09=000\r"}});
        board.engine.reboot(false);
        EXPECT_EQ(board.ask("READGENP01\r"), "P01=018\r"); // the factory values were stored
    }
    // Any other value in the register does nothing.
    Board board(Model::Water);
    board.ask("WRGENP01030\r");
    board.ask("WRTECP09254\r");
    board.ask("SAVEPAR\r");
    EXPECT_EQ(board.ask("READGENP01\r"), "P01=030\r");
}

TEST(Storage, BasicBootRegisterEntersTheBootLoader) {
    Board basic(Model::Basic);
    EXPECT_EQ(basic.ask("WRTECP08250\r"), "P08=250\r");
    EXPECT_EQ(basic.engine.mode(), Mode::Normal);
    EXPECT_EQ(basic.ask("SAVEPAR\r"), "SAVEPAR\r");
    EXPECT_EQ(basic.engine.mode(), Mode::BootLoader);
    EXPECT_FALSE(basic.ask("MODELLO\r"));
    basic.engine.reboot(false);
    EXPECT_EQ(basic.ask("READTECP08\r"), "P08=000\r"); // the request is not kept
    EXPECT_TRUE(basic.ask("MODELLO\r"));
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

TEST(TestMode, BasicOutputsEchoOnlyInTestMode) {
    Board basic(Model::Basic);
    EXPECT_FALSE(basic.ask("RESISTENCEON\r"));
    EXPECT_FALSE(basic.ask("READT1\r"));
    EXPECT_EQ(basic.ask("TESTON\r"), "TESTON\r");
    for (const char *cmd : {"RESISTENCEON\r", "RESISTENCEOFF\r", "COCLEAON\r", "COCLEAOFF\r", "LEDG\r",
                            "LEDR\r", "LEDGR\r", "LEDOFF\r", "OUTON\r", "OUTOFF\r", "EFUMI300\r",
                            "EFUMI000\r", "VVENT07\r", "VVENT23\r", "VENT1ON\r"})
        EXPECT_EQ(basic.ask(cmd), cmd);
    expectReplies(basic, {{"OUT05300\r", silent}, // channel form belongs to WATER and AIR - DUCTED
                          {"EFUMI30\r", silent},
                          {"VVENT100\r", silent},
                          {"LEDY\r", silent},
                          {"TESTOFF\r", "TESTOFF\r"},
                          {"COCLEAON\r", silent}});
}

TEST(TestMode, ChannelRepliesOnWaterAndAir) {
    for (Model model : {Model::Water, Model::AirDucted}) {
        Board board(model);
        EXPECT_FALSE(board.ask("OUT05300\r"));
        board.ask("TESTON\r");
        expectReplies(board, {{"OUT05300\r", "O05=100\r"},
                              {"OUT05000\r", "O05=000\r"},
                              {"OUT00001\r", "O00=101\r"},
                              {"OUT06050\r", "O06=150\r"},
                              {"OUT06123\r", "O06=123\r"},
                              {"OUT10000\r", "O10=000\r"},
                              {"OUT11000\r", silent},
                              {"RESISTENCEON\r", silent},
                              {"OUTOFF\r", silent}});
    }
}

TEST(TestMode, InputReplyForms) {
    Board basic(Model::Basic);
    basic.ask("TESTON\r");
    const struct {
        const char *request;
        const char *prefix;
        std::size_t size;
    } forms[] = {{"READT1\r", "T1=", 7},   {"READT2\r", "T2=", 7},  {"READT3\r", "T3=", 7},
                 {"READPOT\r", "SET=", 7}, {"READPR\r", "PR=", 7},  {"READEN\r", "EN=", 7},
                 {"READIN\r", "IN=", 7},   {"READPCC\r", "SCC=", 7}};
    for (const auto &f : forms) {
        auto r = basic.ask(f.request);
        ASSERT_TRUE(r) << f.request;
        EXPECT_EQ(r->size(), f.size) << f.request;
        EXPECT_EQ(r->rfind(f.prefix, 0), 0u) << *r;
        EXPECT_EQ(r->back(), '\r');
    }
    EXPECT_EQ(basic.control("input t1 25"), "ok input t1 25");
    EXPECT_EQ(basic.ask("READT1\r"), "T1=025\r");
    basic.control("input t1 -5");
    EXPECT_EQ(basic.ask("READT1\r"), "T1=-05\r");
    basic.control("input pot 29");
    EXPECT_EQ(basic.ask("READPOT\r"), "SET=29\r");
    basic.control("input pcc 95");
    EXPECT_EQ(basic.ask("READPCC\r"), "SCC=95\r");
    basic.control("input in 0x0A");
    EXPECT_EQ(basic.ask("READIN\r"), "IN=010\r");
    basic.control("input t1 auto");
    EXPECT_EQ(basic.ask("READT1\r"), "T1=018\r");
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

TEST(Monitor, ReplyShapeAndModes) {
    Board water(Model::Water);
    for (int i = 1; i <= 5; ++i) {
        char req[16];
        std::snprintf(req, sizeof req, "DEBUG%02d\r", i);
        auto r = water.ask(req);
        ASSERT_TRUE(r) << req;
        ASSERT_EQ(r->size(), 12u);
        EXPECT_EQ(r->substr(0, 2), std::string(req + 5, 2));
        EXPECT_EQ(r->back(), '\r');
    }
    EXPECT_FALSE(water.ask("DEBUG06\r"));
    EXPECT_FALSE(water.ask("DEBUG00\r"));
    EXPECT_FALSE(water.ask("DEBUG1\r"));
    water.ask("TESTON\r");
    EXPECT_FALSE(water.ask("DEBUG01\r"));
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

TEST(Monitor, AlarmsStopTheStove) {
    Board basic(Model::Basic);
    basic.control("start");
    basic.waitSimulated(10);
    EXPECT_EQ(basic.control("alarm 2"), "ok alarm 2");
    EXPECT_EQ(basic.ask("DEBUG06\r"), "06002000000\r");
    EXPECT_EQ(basic.monitor(3)[1], 15);
    EXPECT_NE(basic.control("start").rfind("error", 0), std::string::npos);
    basic.control("alarm 0");
    EXPECT_EQ(basic.ask("DEBUG06\r"), "06000000000\r");

    EngineConfig c;
    c.model = Model::Basic;
    c.alarm = 5;
    EXPECT_EQ(Board(c).ask("DEBUG06\r"), "06005000000\r");
}

TEST(Monitor, IgnitionFailureWhenTheSmokeStaysCold) {
    Board basic(Model::Basic);
    basic.control("input t2 25");
    basic.control("start");
    basic.waitSimulated(18 * 60 + 1);
    EXPECT_EQ(basic.monitor(6)[0], 4);
    EXPECT_EQ(basic.monitor(3)[1], 9); // the cold smoke ends power-off at once
}

TEST(Monitor, SetPointFollowsTheManagementMode) {
    Board basic(Model::Basic);
    basic.control("start");
    EXPECT_EQ(basic.monitor(4)[0], 45 + 100); // HUBA: the boot depressure, shown raw + 100
    basic.ask("WRGENP11000\r");
    EXPECT_EQ(basic.monitor(4)[0], 45 + 50); // speed: (45 + 50) x 10 rpm
}

TEST(Lines, FramingRules) {
    Board board(Model::Water);
    // Several requests in one chunk, each answered.
    auto out = board.send(wire("MODELLO\rREADGENP01\r"));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(text(*out[1].reply), "P01=018\r");
    // CR LF from a terminal.
    out = board.send(wire("READGENP02\r\nREADGENP03\r\n"));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(text(*out[1].reply), "P03=045\r");
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
