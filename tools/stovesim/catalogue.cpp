// Parameter tables of the three board models, as the board firmware holds them.
#include "catalogue.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace stovesim {
namespace {

// BASIC: 34 general and 7 technical entries (technical 4 is a flags word, bits 0..3).
const ParamDef kBasic[] = {
    {"PG1", 0, 1, 255, {0, 99, 18}, {0, 99, 18}, 160, "Maximum ignition time"},
    {"PG2", 0, 2, 255, {0, 255, 4}, {0, 255, 4}, 161, "Time flame stabilization"},
    {"PG3", 0, 3, 255, {0, 255, 45}, {0, 255, 45}, 162, "Duration elapsed between cleanings"},
    {"PG4", 0, 4, 255, {0, 99, 50}, {0, 99, 50}, 163, "Duration of burner cleaning"},
    {"PG5", 0, 5, 255, {0, 255, 120}, {0, 255, 120}, 164, "Alarms delay"},
    {"PG6", 0, 6, 255, {0, 255, 60}, {0, 255, 60}, 165, "Minimum starting temperature"},
    {"PG7", 0, 7, 255, {0, 255, 250}, {0, 255, 250}, 166, "Max temp. threshold heat exchanger"},
    {"PG8", 0, 8, 255, {0, 255, 50}, {0, 255, 50}, 167, "Threshold temperature shutdown"},
    {"PG9", 0, 9, 255, {0, 255, 70}, {0, 255, 70}, 168, "Min temp. threshold heat exchanger"},
    {"PG10", 0, 10, 255, {0, 255, 3}, {0, 255, 3}, 169, "Fuel manual load time"},
    {"PG11", 0, 11, 255, {0, 2, 2}, {0, 2, 2}, 232, "Management extractor mode "},
    {"PG18", 0, 18, 255, {0, 99, 1}, {0, 99, 1}, 172, "Operation smoke extractor (off)"},
    {"PG19", 0, 19, 255, {0, 99, 4}, {0, 99, 4}, 173, "Ignition resistance (before loading)"},
    {"PG21", 0, 21, 255, {1, 99, 2}, {1, 99, 2}, 174, "Cochlea cycles number for power raising"},
    {"PG22", 0, 22, 255, {0, 99, 2}, {0, 99, 2}, 260, ""},
    {"PG24", 0, 24, 255, {0, 999, 40}, {0, 999, 40}, 175, "Total cochlea time"},
    {"PG25", 0, 25, 255, {0, 999, 13}, {0, 999, 13}, 176, "Cochlea ON time (load)"},
    {"PG26", 0, 26, 255, {0, 999, 12}, {0, 999, 12}, 177, "Cochlea ON time (boot)"},
    {"PG27", 0, 27, 255, {0, 999, 10}, {0, 999, 10}, 178, "Cochlea ON time (cleaning burner)"},
    {"PG28", 0, 28, 255, {0, 999, 11}, {0, 999, 11}, 179, "Cochlea ON time (work power 1)"},
    {"PG29", 0, 29, 255, {0, 999, 13}, {0, 999, 13}, 180, "Cochlea ON time (work power 2)"},
    {"PG30", 0, 30, 255, {0, 999, 15}, {0, 999, 15}, 181, "Cochlea ON time (work power 3)"},
    {"PG31", 0, 31, 255, {0, 999, 17}, {0, 999, 17}, 182, "Cochlea ON time (work power 4)"},
    {"PG32", 0, 32, 255, {0, 999, 18}, {0, 999, 18}, 183, "Cochlea ON time (work power 5)"},
    {"PG33", 0, 33, 255, {5, 250, 45}, {0, 900, 300}, 184, "Smoke depressure (boot)"},
    {"PG34", 0, 34, 255, {5, 250, 45}, {0, 900, 300}, 185, "Smoke depressure (startup)"},
    {"PG35", 0, 35, 255, {5, 250, 45}, {0, 900, 300}, 186, "Smoke depressure (cleaning burner)"},
    {"PG36", 0, 36, 255, {5, 250, 39}, {0, 900, 220}, 187, "Smoke depressure (power 1)"},
    {"PG37", 0, 37, 255, {5, 250, 43}, {0, 900, 280}, 188, "Smoke depressure (power 2)"},
    {"PG38", 0, 38, 255, {5, 250, 47}, {0, 900, 330}, 189, "Smoke depressure (power 3)"},
    {"PG39", 0, 39, 255, {5, 250, 55}, {0, 900, 400}, 190, "Smoke depressure (power 4)"},
    {"PG40", 0, 40, 255, {5, 250, 61}, {0, 900, 500}, 191, "Smoke depressure (power 5)"},
    {"PG46", 0, 46, 255, {0, 200, 50}, {0, 200, 50}, 210, "Extractor rounds -4"},
    {"PG53", 0, 53, 255, {0, 200, 50}, {0, 200, 50}, 217, "Extractor rounds +4"},
    {"PT1", 1, 1, 255, {1, 5, 1}, {1, 5, 1}, 5, "Delta Temperature Control"},
    {"PT2", 1, 2, 255, {0, 5, 0}, {0, 5, 0}, 6, "Delta Temperature Control (OFF)"},
    {"PT3", 1, 3, 255, {0, 5, 1}, {0, 5, 1}, 7, "Attempts ignition"},
    {"PT4", 1, 4, 0, {0, 1, 0}, {0, 1, 0}, 8, "Reignition from blackout"},
    {"PT5", 1, 4, 1, {0, 1, 1}, {0, 1, 1}, 9, "Enable fuel correction"},
    {"PT6", 1, 4, 2, {0, 1, 1}, {0, 1, 1}, 18, "Enable cochlea brake"},
    {"PT7", 1, 4, 3, {0, 1, 0}, {0, 1, 0}, 259, ""},
};
// WATER: 66 general and 14 technical entries (technical 5 is a flags word, bits 0..5 and 7).
const ParamDef kWater[] = {
    {"PG1", 0, 1, 255, {0, 99, 18}, {0, 99, 18}, 160, "Maximum ignition time"},
    {"PG2", 0, 2, 255, {0, 255, 4}, {0, 255, 4}, 161, "Time flame stabilization"},
    {"PG3", 0, 3, 255, {0, 255, 45}, {0, 255, 45}, 162, "Duration elapsed between cleanings"},
    {"PG4", 0, 4, 255, {0, 99, 50}, {0, 99, 50}, 163, "Duration of burner cleaning"},
    {"PG5", 0, 5, 255, {0, 255, 120}, {0, 255, 120}, 164, "Alarms delay"},
    {"PG6", 0, 6, 255, {0, 99, 60}, {0, 99, 60}, 165, "Minimum starting temperature"},
    {"PG7", 0, 7, 255, {0, 255, 250}, {0, 255, 250}, 166, "Max temp. threshold heat exchanger"},
    {"PG8", 0, 8, 255, {0, 1, 0}, {0, 1, 0}, 197, "Mode off stove"},
    {"PG9", 0, 9, 255, {0, 99, 50}, {0, 99, 50}, 167, "Threshold temperature shutdown"},
    {"PG10", 0, 10, 255, {0, 99, 70}, {0, 99, 70}, 168, "Min temp. threshold heat exchanger"},
    {"PG11", 0, 11, 255, {0, 255, 3}, {0, 255, 3}, 169, "Fuel manual load time"},
    {"PG12", 0, 12, 255, {0, 9, 3}, {0, 10, 5}, 198, "Antifreeze temperature water"},
    {"PG13", 0, 13, 255, {0, 99, 40}, {0, 99, 40}, 199, "Minimum water temperature"},
    {"PG14", 0, 14, 255, {0, 99, 80}, {0, 99, 80}, 200, "Maximum water temperature"},
    {"PG15", 0, 15, 255, {0, 99, 5}, {0, 99, 5}, 201, "Minimum water pressure"},
    {"PG16", 0, 16, 255, {0, 99, 15}, {0, 99, 15}, 202, "Maximum water pressure"},
    {"PG17", 0, 17, 255, {0, 99, 15}, {0, 99, 15}, 203, "Delay of critical alerts"},
    {"PG18", 0, 18, 255, {0, 2, 2}, {0, 2, 2}, 232, "Management extractor mode "},
    {"PG20", 0, 20, 255, {0, 30, 0}, {0, 30, 0}, 204, "Operation Service (X 1000)"},
    {"PG21", 0, 21, 255, {0, 99, 1}, {0, 99, 1}, 172, "Operation smoke extractor (off)"},
    {"PG25", 0, 25, 255, {0, 99, 4}, {0, 99, 4}, 173, "Ignition resistance (before loading)"},
    {"PG26", 0, 26, 255, {0, 1, 1}, {0, 1, 1}, 205, "Mode fan power"},
    {"PG27", 0, 27, 255, {1, 99, 2}, {1, 99, 2}, 174, "Cochlea cycles number for power raising"},
    {"PG30", 0, 30, 255, {0, 99, 40}, {0, 99, 40}, 175, "Total cochlea time"},
    {"PG31", 0, 31, 255, {0, 99, 13}, {0, 99, 13}, 176, "Cochlea ON time (load)"},
    {"PG32", 0, 32, 255, {0, 99, 12}, {0, 99, 12}, 177, "Cochlea ON time (boot)"},
    {"PG33", 0, 33, 255, {0, 99, 10}, {0, 99, 10}, 178, "Cochlea ON time (cleaning burner)"},
    {"PG34", 0, 34, 255, {0, 99, 11}, {0, 99, 11}, 179, "Cochlea ON time (work power 1)"},
    {"PG35", 0, 35, 255, {0, 99, 13}, {0, 99, 13}, 180, "Cochlea ON time (work power 2)"},
    {"PG36", 0, 36, 255, {0, 99, 15}, {0, 99, 15}, 181, "Cochlea ON time (work power 3)"},
    {"PG37", 0, 37, 255, {0, 99, 17}, {0, 99, 17}, 182, "Cochlea ON time (work power 4)"},
    {"PG38", 0, 38, 255, {0, 99, 18}, {0, 99, 18}, 183, "Cochlea ON time (work power 5)"},
    {"PG39", 0, 39, 255, {5, 250, 45}, {0, 900, 300}, 184, "Smoke depressure (boot)"},
    {"PG40", 0, 40, 255, {5, 250, 45}, {0, 900, 300}, 185, "Smoke depressure (startup)"},
    {"PG41", 0, 41, 255, {5, 250, 45}, {0, 900, 300}, 186, "Smoke depressure (cleaning burner)"},
    {"PG42", 0, 42, 255, {5, 250, 39}, {0, 900, 220}, 187, "Smoke depressure (power 1)"},
    {"PG43", 0, 43, 255, {5, 250, 43}, {0, 900, 280}, 188, "Smoke depressure (power 2)"},
    {"PG44", 0, 44, 255, {5, 250, 47}, {0, 900, 330}, 189, "Smoke depressure (power 3)"},
    {"PG45", 0, 45, 255, {5, 250, 55}, {0, 900, 400}, 190, "Smoke depressure (power 4)"},
    {"PG46", 0, 46, 255, {5, 250, 61}, {0, 900, 500}, 191, "Smoke depressure (power 5)"},
    {"PG47", 0, 47, 255, {0, 100, 75}, {0, 100, 75}, 192, "Speed fan environment (power 1)"},
    {"PG48", 0, 48, 255, {0, 100, 80}, {0, 100, 80}, 193, "Speed fan environment (power 2)"},
    {"PG49", 0, 49, 255, {0, 100, 85}, {0, 100, 85}, 194, "Speed fan environment (power 3)"},
    {"PG50", 0, 50, 255, {0, 100, 90}, {0, 100, 90}, 195, "Speed fan environment (power 4)"},
    {"PG51", 0, 51, 255, {0, 100, 100}, {0, 100, 100}, 196, "Speed fan environment (power 5)"},
    {"PG52", 0, 52, 255, {0, 60, 50}, {0, 60, 50}, 210, "Extractor rounds -4"},
    {"PG53", 0, 53, 255, {0, 60, 35}, {0, 60, 35}, 211, "Extractor rounds -3"},
    {"PG54", 0, 54, 255, {0, 60, 20}, {0, 60, 20}, 212, "Extractor rounds -2"},
    {"PG55", 0, 55, 255, {0, 60, 5}, {0, 60, 5}, 213, "Extractor rounds -1"},
    {"PG56", 0, 56, 255, {0, 60, 5}, {0, 60, 5}, 214, "Extractor rounds +1"},
    {"PG57", 0, 57, 255, {0, 60, 20}, {0, 60, 20}, 215, "Extractor rounds +2"},
    {"PG58", 0, 58, 255, {0, 60, 35}, {0, 60, 35}, 216, "Extractor rounds +3"},
    {"PG59", 0, 59, 255, {0, 60, 50}, {0, 60, 50}, 217, "Extractor rounds +4"},
    {"PG60", 0, 60, 255, {0, 10, 8}, {0, 10, 8}, 218, "Cochlea ON time -4"},
    {"PG61", 0, 61, 255, {0, 10, 6}, {0, 10, 6}, 219, "Cochlea ON time -3  "},
    {"PG62", 0, 62, 255, {0, 10, 4}, {0, 10, 4}, 220, "Cochlea ON time -2  "},
    {"PG63", 0, 63, 255, {0, 10, 2}, {0, 10, 2}, 221, "Cochlea ON time -1  "},
    {"PG64", 0, 64, 255, {0, 10, 2}, {0, 10, 2}, 222, "Cochlea ON time +1  "},
    {"PG65", 0, 65, 255, {0, 10, 4}, {0, 10, 4}, 223, "Cochlea ON time +2  "},
    {"PG66", 0, 66, 255, {0, 10, 6}, {0, 10, 6}, 224, "Cochlea ON time +3  "},
    {"PG67", 0, 67, 255, {0, 10, 8}, {0, 10, 8}, 225, "Cochlea ON time +4  "},
    {"PG68", 0, 68, 255, {0, 255, 130}, {0, 255, 130}, 234, "Smoke temp. cochlea corr. (power 1)"},
    {"PG69", 0, 69, 255, {0, 255, 160}, {0, 255, 160}, 235, "Smoke temp. cochlea corr. (power 2)"},
    {"PG70", 0, 70, 255, {0, 255, 190}, {0, 255, 190}, 236, "Smoke temp. cochlea corr. (power 3)"},
    {"PG71", 0, 71, 255, {0, 255, 220}, {0, 255, 220}, 237, "Smoke temp. cochlea corr. (power 4)"},
    {"PG72", 0, 72, 255, {0, 255, 250}, {0, 255, 250}, 238, "Smoke temp. cochlea corr. (power 5)"},
    {"PT1", 1, 1, 255, {0, 1, 0}, {0, 1, 0}, 8, "Reignition from blackout"},
    {"PT2", 1, 2, 255, {0, 5, 4}, {0, 5, 4}, 10, "Delta water temperature control"},
    {"PT3", 1, 3, 255, {1, 5, 1}, {1, 5, 1}, 7, "Attempts ignition"},
    {"PT4", 1, 4, 255, {0, 99, 0}, {0, 99, 0}, 11, "Time lamp"},
    {"PT5", 1, 5, 0, {0, 1, 0}, {0, 1, 0}, 12, "Enable depressimeter"},
    {"PT6", 1, 5, 1, {0, 1, 0}, {0, 1, 0}, 13, "Enable pellet thermostat "},
    {"PT7", 1, 5, 2, {0, 1, 0}, {0, 1, 0}, 14, "Enable external thermostat"},
    {"PT8", 1, 5, 3, {0, 1, 0}, {0, 1, 0}, 15, "Activate room fan"},
    {"PT9", 1, 5, 4, {0, 1, 0}, {0, 1, 0}, 16, "Enable puffer"},
    {"PT10", 1, 5, 5, {0, 1, 0}, {0, 1, 0}, 17, "Enable SMS Modem"},
    {"PT11", 1, 5, 7, {0, 1, 1}, {0, 1, 1}, 18, "Enable cochlea brake"},
    {"PT12", 1, 6, 255, {0, 30, 15}, {0, 30, 15}, 6, "Delta Temperature Control (OFF)"},
    {"PT13", 1, 7, 255, {1, 99, 5}, {1, 99, 5}, 19, "Time ON Pump(puffer)"},
    {"PT14", 1, 8, 255, {0, 1, 0}, {0, 1, 0}, 239, "Enable smoke temp. cochlea corr."},
};
// AIR - DUCTED: 63 general and 12 technical entries (technical 5 is a flags word).
const ParamDef kAir[] = {
    {"PG1", 0, 1, 255, {0, 99, 18}, {0, 99, 18}, 160, "Maximum ignition time"},
    {"PG2", 0, 2, 255, {0, 255, 4}, {0, 255, 4}, 161, "Time flame stabilization"},
    {"PG3", 0, 3, 255, {0, 255, 45}, {0, 255, 45}, 162, "Duration elapsed between cleanings"},
    {"PG4", 0, 4, 255, {0, 99, 50}, {0, 99, 50}, 163, "Duration of burner cleaning"},
    {"PG5", 0, 5, 255, {0, 255, 120}, {0, 255, 120}, 164, "Alarms delay"},
    {"PG6", 0, 6, 255, {0, 99, 60}, {0, 99, 60}, 165, "Minimum starting temperature"},
    {"PG7", 0, 7, 255, {0, 255, 250}, {0, 255, 250}, 166, "Max temp. threshold heat exchanger"},
    {"PG8", 0, 8, 255, {0, 99, 50}, {0, 99, 50}, 167, "Threshold temperature shutdown"},
    {"PG9", 0, 9, 255, {0, 99, 70}, {0, 99, 70}, 168, "Min temp. threshold heat exchanger"},
    {"PG10", 0, 10, 255, {0, 255, 3}, {0, 255, 3}, 169, "Fuel manual load time"},
    {"PG11", 0, 11, 255, {0, 2, 2}, {0, 2, 2}, 232, "Management extractor mode "},
    {"PG13", 0, 13, 255, {0, 1, 1}, {0, 1, 1}, 206, "Operation mode channel 1"},
    {"PG14", 0, 14, 255, {0, 1, 1}, {0, 1, 1}, 207, "Operation mode channel 2"},
    {"PG15", 0, 15, 255, {0, 30, 0}, {0, 30, 0}, 204, "Operation Service (X 1000)"},
    {"PG16", 0, 16, 255, {0, 99, 1}, {0, 99, 1}, 172, "Operation smoke extractor (off)"},
    {"PG19", 0, 19, 255, {0, 99, 4}, {0, 99, 4}, 173, "Ignition resistance (before loading)"},
    {"PG20", 0, 20, 255, {0, 1, 1}, {0, 1, 1}, 205, "Mode fan power"},
    {"PG21", 0, 21, 255, {0, 100, 25}, {0, 100, 25}, 208, "Minimum channelized speed"},
    {"PG22", 0, 22, 255, {0, 100, 75}, {0, 100, 75}, 209, "Maximum channelized speed"},
    {"PG23", 0, 23, 255, {1, 99, 2}, {1, 99, 2}, 174, "Cochlea cycles number for power raising"},
    {"PG26", 0, 26, 255, {0, 99, 40}, {0, 99, 40}, 175, "Total cochlea time"},
    {"PG27", 0, 27, 255, {0, 99, 13}, {0, 99, 13}, 176, "Cochlea ON time (load)"},
    {"PG28", 0, 28, 255, {0, 99, 12}, {0, 99, 12}, 177, "Cochlea ON time (boot)"},
    {"PG29", 0, 29, 255, {0, 99, 10}, {0, 99, 10}, 178, "Cochlea ON time (cleaning burner)"},
    {"PG30", 0, 30, 255, {0, 99, 11}, {0, 99, 11}, 179, "Cochlea ON time (work power 1)"},
    {"PG31", 0, 31, 255, {0, 99, 13}, {0, 99, 13}, 180, "Cochlea ON time (work power 2)"},
    {"PG32", 0, 32, 255, {0, 99, 15}, {0, 99, 15}, 181, "Cochlea ON time (work power 3)"},
    {"PG33", 0, 33, 255, {0, 99, 17}, {0, 99, 17}, 182, "Cochlea ON time (work power 4)"},
    {"PG34", 0, 34, 255, {0, 99, 18}, {0, 99, 18}, 183, "Cochlea ON time (work power 5)"},
    {"PG35", 0, 35, 255, {5, 250, 45}, {0, 900, 300}, 184, "Smoke depressure (boot)"},
    {"PG36", 0, 36, 255, {5, 250, 45}, {0, 900, 300}, 185, "Smoke depressure (startup)"},
    {"PG37", 0, 37, 255, {5, 250, 45}, {0, 900, 300}, 186, "Smoke depressure (cleaning burner)"},
    {"PG38", 0, 38, 255, {5, 250, 39}, {0, 900, 220}, 187, "Smoke depressure (power 1)"},
    {"PG39", 0, 39, 255, {5, 250, 43}, {0, 900, 280}, 188, "Smoke depressure (power 2)"},
    {"PG40", 0, 40, 255, {5, 250, 47}, {0, 900, 330}, 189, "Smoke depressure (power 3)"},
    {"PG41", 0, 41, 255, {5, 250, 55}, {0, 900, 400}, 190, "Smoke depressure (power 4)"},
    {"PG42", 0, 42, 255, {5, 250, 61}, {0, 900, 500}, 191, "Smoke depressure (power 5)"},
    {"PG43", 0, 43, 255, {0, 100, 75}, {0, 100, 75}, 192, "Speed fan environment (power 1)"},
    {"PG44", 0, 44, 255, {0, 100, 80}, {0, 100, 80}, 193, "Speed fan environment (power 2)"},
    {"PG45", 0, 45, 255, {0, 100, 85}, {0, 100, 85}, 194, "Speed fan environment (power 3)"},
    {"PG46", 0, 46, 255, {0, 100, 90}, {0, 100, 90}, 195, "Speed fan environment (power 4)"},
    {"PG47", 0, 47, 255, {0, 100, 100}, {0, 100, 100}, 196, "Speed fan environment (power 5)"},
    {"PG48", 0, 48, 255, {0, 60, 50}, {0, 60, 50}, 210, "Extractor rounds -4"},
    {"PG49", 0, 49, 255, {0, 60, 35}, {0, 60, 35}, 211, "Extractor rounds -3"},
    {"PG50", 0, 50, 255, {0, 60, 20}, {0, 60, 20}, 212, "Extractor rounds -2"},
    {"PG51", 0, 51, 255, {0, 60, 5}, {0, 60, 5}, 213, "Extractor rounds -1"},
    {"PG52", 0, 52, 255, {0, 60, 5}, {0, 60, 5}, 214, "Extractor rounds +1"},
    {"PG53", 0, 53, 255, {0, 60, 20}, {0, 60, 20}, 215, "Extractor rounds +2"},
    {"PG54", 0, 54, 255, {0, 60, 35}, {0, 60, 35}, 216, "Extractor rounds +3"},
    {"PG55", 0, 55, 255, {0, 60, 50}, {0, 60, 50}, 217, "Extractor rounds +4"},
    {"PG56", 0, 56, 255, {0, 10, 8}, {0, 10, 8}, 218, "Cochlea ON time -4"},
    {"PG57", 0, 57, 255, {0, 10, 6}, {0, 10, 6}, 219, "Cochlea ON time -3  "},
    {"PG58", 0, 58, 255, {0, 10, 4}, {0, 10, 4}, 220, "Cochlea ON time -2  "},
    {"PG59", 0, 59, 255, {0, 10, 2}, {0, 10, 2}, 221, "Cochlea ON time -1  "},
    {"PG60", 0, 60, 255, {0, 10, 2}, {0, 10, 2}, 222, "Cochlea ON time +1  "},
    {"PG61", 0, 61, 255, {0, 10, 4}, {0, 10, 4}, 223, "Cochlea ON time +2  "},
    {"PG62", 0, 62, 255, {0, 10, 6}, {0, 10, 6}, 224, "Cochlea ON time +3  "},
    {"PG63", 0, 63, 255, {0, 10, 8}, {0, 10, 8}, 225, "Cochlea ON time +4  "},
    {"PG64", 0, 64, 255, {0, 255, 130}, {0, 255, 130}, 234, "Smoke temp. cochlea corr. (power 1)"},
    {"PG65", 0, 65, 255, {0, 255, 160}, {0, 255, 160}, 235, "Smoke temp. cochlea corr. (power 2)"},
    {"PG66", 0, 66, 255, {0, 255, 190}, {0, 255, 190}, 236, "Smoke temp. cochlea corr. (power 3)"},
    {"PG67", 0, 67, 255, {0, 255, 220}, {0, 255, 220}, 237, "Smoke temp. cochlea corr. (power 4)"},
    {"PG68", 0, 68, 255, {0, 255, 250}, {0, 255, 250}, 238, "Smoke temp. cochlea corr. (power 5)"},
    {"PT1", 1, 1, 255, {1, 5, 1}, {1, 5, 1}, 5, "Delta Temperature Control"},
    {"PT2", 1, 2, 255, {0, 5, 0}, {0, 5, 0}, 6, "Delta Temperature Control (OFF)"},
    {"PT3", 1, 3, 255, {1, 5, 1}, {1, 5, 1}, 7, "Attempts ignition"},
    {"PT4", 1, 4, 255, {0, 99, 0}, {0, 99, 0}, 11, "Time lamp"},
    {"PT5", 1, 5, 0, {0, 1, 0}, {0, 1, 0}, 12, "Enable depressimeter"},
    {"PT6", 1, 5, 1, {0, 1, 0}, {0, 1, 0}, 13, "Enable pellet thermostat "},
    {"PT7", 1, 5, 2, {0, 1, 0}, {0, 1, 0}, 14, "Enable external thermostat"},
    {"PT8", 1, 5, 3, {0, 1, 0}, {0, 1, 0}, 8, "Reignition from blackout"},
    {"PT9", 1, 5, 4, {0, 1, 0}, {0, 1, 0}, 239, "Enable smoke temp. cochlea corr."},
    {"PT10", 1, 5, 5, {0, 1, 0}, {0, 1, 0}, 17, "Enable SMS Modem"},
    {"PT11", 1, 5, 7, {0, 1, 1}, {0, 1, 1}, 18, "Enable cochlea brake"},
    {"PT12", 1, 6, 255, {0, 2, 2}, {0, 2, 2}, 20, "Enable channel 1 and 2"},
};

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

} // namespace

bool parseModel(std::string_view text, Model &model) {
    const std::string name = lowered(text);
    if (name == "basic" || name == "standard") {
        model = Model::Basic;
    } else if (name == "water") {
        model = Model::Water;
    } else if (name == "air" || name == "air-duct" || name == "air - ducted" || name == "air-ducted" ||
               name == "airduct") {
        model = Model::AirDucted;
    } else {
        return false;
    }
    return true;
}

std::string_view modelKeyword(Model model) {
    switch (model) {
    case Model::Basic:
        return "basic";
    case Model::Water:
        return "water";
    case Model::AirDucted:
        return "air";
    }
    return "water";
}

std::string_view boardModelName(Model model) {
    switch (model) {
    case Model::Basic:
        return "BASIC";
    case Model::Water:
        return "WATER";
    case Model::AirDucted:
        return "AIR-DUCT";
    }
    return "WATER";
}

std::span<const ParamDef> catalogue(Model model) {
    switch (model) {
    case Model::Basic:
        return kBasic;
    case Model::Water:
        return kWater;
    case Model::AirDucted:
        return kAir;
    }
    return {};
}

namespace {

struct Index {
    std::array<const ParamDef *, 300> settings{};
    std::array<std::array<bool, 100>, 2> present{};
};

const Index &index(Model model) {
    static const std::array<Index, 3> all = [] {
        std::array<Index, 3> out{};
        for (int m = 0; m < 3; ++m) {
            for (const ParamDef &def : catalogue(static_cast<Model>(m + 1))) {
                out[m].present[def.table][def.index] = true;
                if (def.bit == 255 && def.textId >= 0 && def.textId < 300 && !out[m].settings[def.textId])
                    out[m].settings[def.textId] = &def;
            }
        }
        return out;
    }();
    return all[static_cast<int>(model) - 1];
}

} // namespace

const ParamDef *findSetting(Model model, int textId) {
    return textId >= 0 && textId < 300 ? index(model).settings[textId] : nullptr;
}

bool inCatalogue(Model model, int table, int idx) {
    return table >= 0 && table < 2 && idx >= 0 && idx < 100 && index(model).present[table][idx];
}

} // namespace stovesim
