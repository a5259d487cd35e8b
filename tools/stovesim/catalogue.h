// The simulated board's own knowledge of its parameter tables: which general and technical indexes
// exist on each stove model, their raw ranges (standard and HUBA extractor management) and their
// factory defaults. Bit entries share one flags word on the board.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace stovesim {

enum class Model { Basic = 1, Water = 2, AirDucted = 3 };

// Parses "basic", "standard", "water", "air", "air-duct", "air - ducted" (any case).
bool parseModel(std::string_view text, Model &model);
std::string_view modelKeyword(Model model);   // "basic", "water", "air"
std::string_view boardModelName(Model model); // the name the board reports: BASIC, WATER, AIR-DUCT

struct RawRange {
    int minimum;
    int maximum;
    int defaultValue;
};

struct ParamDef {
    const char *code;   // PGn / PTn
    std::uint8_t table; // 0 general, 1 technical
    std::uint8_t index; // board index
    std::uint8_t bit;   // 0..7 for bit entries of a flags word, 255 for whole values
    RawRange standard;  // extractor management NOR/ENC
    RawRange huba;      // extractor management HUBA
    int textId;         // identifies the setting independently of its index on each model
    const char *name;
};

std::span<const ParamDef> catalogue(Model model);
// Fast look-ups over the catalogue (built once): the whole-value entry of a setting, and whether a
// board index exists at all.
const ParamDef *findSetting(Model model, int textId);
bool inCatalogue(Model model, int table, int index);

// Text identifiers of the settings the stove automaton uses.
namespace setting {
constexpr int MaxIgnitionTime = 160;    // minutes
constexpr int FlameStabilisation = 161; // minutes
constexpr int BetweenCleanings = 162;   // minutes
constexpr int CleaningDuration = 163;   // seconds
constexpr int MinStartingTemperature = 165;
constexpr int ShutdownThreshold = 167;    // smoke temperature that ends the power-off phase
constexpr int ExtractorAfterOff = 172;    // minutes of cooling
constexpr int ResistanceBeforeLoad = 173; // minutes
constexpr int CochleaLoad = 176;          // tenths of a second
constexpr int CochleaBoot = 177;
constexpr int CochleaCleaning = 178;
constexpr int CochleaPower1 = 179; // ..183 for powers 1..5
constexpr int DepressureBoot = 184;
constexpr int DepressureStartup = 185;
constexpr int DepressureCleaning = 186;
constexpr int DepressurePower1 = 187; // ..191
constexpr int FanPower1 = 192;        // ..196 (AIR - DUCTED)
constexpr int MinWaterTemperature = 199;
constexpr int MaxWaterTemperature = 200;
constexpr int ExtractorMode = 232; // 0 NOR, 1 ENC, 2 HUBA
constexpr int SmsModem = 17;
} // namespace setting

} // namespace stovesim
