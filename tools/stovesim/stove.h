// A small physical model of the stove behind the board: the automaton of the running stove
// (off, ignition, fuel load, flame stabilisation, on, cleaning, power off, cooling), temperatures,
// extractor and fan speeds, pumps and thermostats, plus the outputs driven by hand in test mode.
// Time is simulated seconds, advanced by the caller.
#pragma once

#include "params.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace stovesim {

// Input numbers follow the board's read commands: 1 READT1, 2 READT2, 3 READT3, 4 READPOT,
// 5 READPR, 6 READEN, 7 READIN, 9 READPCC.
enum Input { T1 = 1, T2 = 2, T3 = 3, Pot = 4, Pressure = 5, Encoder = 6, Digital = 7, FuelCorrection = 9 };

enum class StoveState {
    Off = 8,
    Cooling = 9,
    Ignition = 10,
    FuelLoad = 11,
    Stabilisation = 12,
    On = 13,
    Cleaning = 14,
    PowerOff = 15,
    Test = 19,
};

class Stove {
public:
    static constexpr int kChannels = 11; // 0..9 single outputs, 10 = all outputs
    // Output channels (the BASIC board's named outputs map onto the same numbers).
    enum Channel {
        Resistance = 0,
        Cochlea = 1,
        HeatingPump = 3,
        Channel1 = 3,
        SanitaryPump = 4,
        Channel2 = 4,
        Extractor = 5,
        Fan = 6,
        Free = 7,
        All = 10
    };

    Stove(Model model, const ParameterStore &params);

    void advance(double seconds);

    // Hand-driven outputs (test mode).
    void setTestMode(bool on);
    bool testMode() const { return m_test; }
    void setOutput(int channel, int value);
    void allOutputs(bool on);
    int output(int channel) const;
    void setLed(int state) { m_led = state; } // 0 off, 1 green, 2 red, 3 both
    int led() const { return m_led; }

    // The board restarts: outputs off, the automaton back to off (temperatures carry on cooling).
    void powerCycle();

    // Panel actions.
    bool start();
    void stop();
    void setPower(int power);
    int power() const { return m_power; }
    void raiseAlarm(int code);
    int alarm() const { return m_alarm; }

    StoveState state() const { return m_state; }
    int stateWord() const;

    int input(int number) const;
    // Fixes an input at a value until cleared with std::nullopt.
    bool overrideInput(int number, std::optional<int> value);
    // The three values of a monitor index (1..6 on BASIC, 1..5 otherwise).
    bool monitor(int index, std::array<int, 3> &values) const;
    int monitorCount() const { return m_model == Model::Basic ? 6 : 5; }

    std::string describe() const;

private:
    void step(double dt);
    void enter(StoveState state);
    int cochleaTenths() const;
    int extractorTarget() const; // rpm / 10
    int fanPercent() const;
    int setPoint() const;
    int digitalInputs() const;
    bool heatingPump() const;
    int channelSpeed(int channel) const;
    int rawInput(int number) const;
    bool burning() const;

    Model m_model;
    const ParameterStore &m_params;
    bool m_test = false;
    std::array<int, kChannels> m_outputs{};
    int m_led = 0;
    StoveState m_state = StoveState::Off;
    double m_inState = 0;    // seconds in the current state
    double m_sinceStart = 0; // seconds since ignition began
    double m_sinceCleaning = 0;
    int m_power = 3;
    int m_alarm = 0;
    double m_smoke = 20, m_room = 18, m_water = 20, m_encoder = 0, m_average = 0;
    std::array<std::optional<int>, 10> m_overrides{};
};

} // namespace stovesim
