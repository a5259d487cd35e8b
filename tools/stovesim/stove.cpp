#include "stove.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace stovesim {
namespace {

constexpr double kAmbient = 18.0;

// First-order approach of `value` towards `target` with time constant `tau` seconds.
void approach(double &value, double target, double tau, double dt) {
    value += (target - value) * std::min(1.0, dt / tau);
}

int rounded(double v) {
    return static_cast<int>(std::lround(v));
}

} // namespace

Stove::Stove(Model model, const ParameterStore &params) : m_model(model), m_params(params) {}

void Stove::setTestMode(bool on) {
    m_test = on;
    m_outputs.fill(0);
    m_led = 0;
    if (on) {
        enter(StoveState::Test);
    } else if (m_state == StoveState::Test) {
        enter(StoveState::Off);
    }
}

void Stove::setOutput(int channel, int value) {
    if (channel == All) {
        allOutputs(value != 0);
    } else if (channel >= 0 && channel < kChannels) {
        m_outputs[channel] = std::clamp(value, 0, 300);
    }
}

void Stove::allOutputs(bool on) {
    for (int c = 0; c < All; ++c)
        m_outputs[c] = on ? (c == Extractor ? 300 : c == Fan || c == 3 || c == 4 ? 100 : 1) : 0;
    if (m_model != Model::AirDucted && on) m_outputs[3] = m_outputs[4] = 1;
    m_led = on ? 3 : 0;
}

int Stove::output(int channel) const {
    return channel >= 0 && channel < All ? m_outputs[channel] : 0;
}

void Stove::powerCycle() {
    setTestMode(false);
    enter(StoveState::Off);
}

bool Stove::start() {
    if (m_test || m_alarm != 0) return false;
    if (m_state != StoveState::Off && m_state != StoveState::Cooling) return m_state != StoveState::PowerOff;
    m_sinceStart = 0;
    enter(StoveState::Ignition);
    return true;
}

void Stove::stop() {
    switch (m_state) {
    case StoveState::Ignition:
    case StoveState::FuelLoad:
    case StoveState::Stabilisation:
    case StoveState::On:
    case StoveState::Cleaning:
        enter(StoveState::PowerOff);
        break;
    default:
        break;
    }
}

void Stove::setPower(int power) {
    m_power = std::clamp(power, 1, 5);
}

void Stove::raiseAlarm(int code) {
    m_alarm = std::clamp(code, 0, 99);
    if (m_alarm != 0) stop();
}

void Stove::enter(StoveState state) {
    m_state = state;
    m_inState = 0;
    if (state == StoveState::On) m_sinceCleaning = 0;
}

bool Stove::burning() const {
    return m_state == StoveState::Stabilisation || m_state == StoveState::On ||
           m_state == StoveState::Cleaning;
}

void Stove::advance(double seconds) {
    // Steps of at most one simulated second keep the automaton's thresholds exact enough; very long
    // jumps take bigger steps so that the cost stays bounded.
    const double stepSize = std::max(1.0, seconds / 100000.0);
    while (seconds > 0) {
        const double dt = std::min(seconds, stepSize);
        step(dt);
        seconds -= dt;
    }
}

void Stove::step(double dt) {
    m_inState += dt;
    const auto minutes = [this](int id, int fallback) { return 60.0 * m_params.setting(id, fallback); };
    const double smoke = input(T2);
    switch (m_state) {
    case StoveState::Ignition:
    case StoveState::FuelLoad:
        m_sinceStart += dt;
        if (m_sinceStart >= minutes(setting::MaxIgnitionTime, 18)) {
            m_alarm = 4; // ignition failure
            enter(StoveState::PowerOff);
        } else if (m_state == StoveState::Ignition &&
                   m_inState >= minutes(setting::ResistanceBeforeLoad, 4)) {
            enter(StoveState::FuelLoad);
        } else if (m_state == StoveState::FuelLoad &&
                   smoke >= m_params.setting(setting::MinStartingTemperature, 60)) {
            enter(StoveState::Stabilisation);
        }
        break;
    case StoveState::Stabilisation:
        if (m_inState >= minutes(setting::FlameStabilisation, 4)) enter(StoveState::On);
        break;
    case StoveState::On:
        m_sinceCleaning += dt;
        if (m_params.setting(setting::BetweenCleanings, 45) > 0 &&
            m_sinceCleaning >= minutes(setting::BetweenCleanings, 45))
            enter(StoveState::Cleaning);
        break;
    case StoveState::Cleaning:
        if (m_inState >= m_params.setting(setting::CleaningDuration, 50)) enter(StoveState::On);
        break;
    case StoveState::PowerOff:
        if (smoke <= m_params.setting(setting::ShutdownThreshold, 50)) enter(StoveState::Cooling);
        break;
    case StoveState::Cooling:
        if (m_inState >= minutes(setting::ExtractorAfterOff, 1)) enter(StoveState::Off);
        break;
    default:
        break;
    }

    // Temperatures.
    double smokeTarget = m_room;
    if (m_test) {
        if (m_outputs[Resistance]) smokeTarget = 220; // the igniter heats the burner and the smoke probe
    } else {
        switch (m_state) {
        case StoveState::Ignition:
            smokeTarget = 45;
            break;
        case StoveState::FuelLoad:
            smokeTarget = 100;
            break;
        case StoveState::Stabilisation:
        case StoveState::Cleaning:
            smokeTarget = 120;
            break;
        case StoveState::On:
            smokeTarget = 110 + 20 * m_power;
            break;
        default:
            break;
        }
    }
    approach(m_smoke, smokeTarget, m_test && m_outputs[Resistance] ? 60 : 90, dt);
    approach(m_room, burning() ? 22 + m_power : kAmbient, 1800, dt);
    const double waterMax = m_params.setting(setting::MaxWaterTemperature, 80);
    approach(m_water, burning() ? std::min(waterMax, 50.0 + 6 * m_power) : kAmbient + 2, 600, dt);
    approach(m_encoder, extractorTarget(), 2, dt);
    approach(m_average, rawInput(Pressure), 10, dt);
}

int Stove::extractorTarget() const {
    if (m_test) return m_outputs[Extractor];
    int id = 0;
    switch (m_state) {
    case StoveState::Ignition:
        id = setting::DepressureBoot;
        break;
    case StoveState::FuelLoad:
    case StoveState::Stabilisation:
        id = setting::DepressureStartup;
        break;
    case StoveState::On:
        id = setting::DepressurePower1 + m_power - 1;
        break;
    case StoveState::Cleaning:
        id = setting::DepressureCleaning;
        break;
    case StoveState::PowerOff:
    case StoveState::Cooling:
        return 250;
    default:
        return 0;
    }
    const int raw = m_params.setting(id, 45);
    // Standard management: the raw value is a speed (rpm / 10 - 50); HUBA: a pressure target.
    return m_params.hubaActive() ? 100 + raw / 5 : raw + 50;
}

int Stove::setPoint() const {
    if (m_test || extractorTarget() == 0) return 0;
    if (!m_params.hubaActive()) return extractorTarget();
    int id = setting::DepressureStartup;
    if (m_state == StoveState::Ignition) id = setting::DepressureBoot;
    if (m_state == StoveState::On) id = setting::DepressurePower1 + m_power - 1;
    if (m_state == StoveState::Cleaning) id = setting::DepressureCleaning;
    if (m_state == StoveState::PowerOff || m_state == StoveState::Cooling) return 900;
    return m_params.setting(id, 300) + 100;
}

int Stove::cochleaTenths() const {
    if (m_test) return m_outputs[Cochlea] ? m_params.setting(setting::CochleaLoad, 13) : 0;
    switch (m_state) {
    case StoveState::FuelLoad:
        return m_params.setting(setting::CochleaLoad, 13);
    case StoveState::Stabilisation:
        return m_params.setting(setting::CochleaBoot, 12);
    case StoveState::On:
        return m_params.setting(setting::CochleaPower1 + m_power - 1, 15);
    case StoveState::Cleaning:
        return m_params.setting(setting::CochleaCleaning, 10);
    default:
        return 0;
    }
}

int Stove::fanPercent() const {
    if (m_test) return m_outputs[Fan];
    if (m_state == StoveState::Stabilisation) return 20;
    if (m_state != StoveState::On && m_state != StoveState::Cleaning) return 0;
    if (m_model == Model::AirDucted) return m_params.setting(setting::FanPower1 + m_power - 1, 20 * m_power);
    return std::min(100, 20 * m_power);
}

bool Stove::heatingPump() const {
    if (m_model != Model::Water) return false;
    if (m_test) return m_outputs[HeatingPump] != 0;
    return input(T3) >= m_params.setting(setting::MinWaterTemperature, 40);
}

int Stove::channelSpeed(int channel) const {
    if (m_model != Model::AirDucted) return 0;
    if (m_test) return m_outputs[channel];
    return burning() ? m_params.setting(209, 75) : 0; // maximum channelled speed
}

int Stove::digitalInputs() const {
    int bits = 1 << 3 | 1 << 7;         // pellet and heat thermostats closed: no overheating
    if (m_encoder > 50) bits |= 1 << 1; // the depressure switch closes while the extractor draws
    if (heatingPump()) bits |= 1 << 4;  // WATER: water flows
    return bits;
}

int Stove::rawInput(int number) const {
    switch (number) {
    case T1:
        return rounded(m_room);
    case T2:
        return rounded(m_smoke);
    case T3:
        return m_model == Model::Water ? rounded(m_water) : rounded(m_room + (burning() ? 8 : 0));
    case Pot:
        return m_model == Model::Basic ? 20 : 0;
    case Pressure:
        // WATER: the water pressure sensor in tenths of a bar; otherwise the smoke depressure.
        if (m_model == Model::Water) return 12 + (heatingPump() ? 3 : 0);
        return rounded(m_encoder * 0.4);
    case Encoder:
        return rounded(m_encoder);
    case Digital:
        return digitalInputs();
    case FuelCorrection:
        return 95;
    default:
        return 0;
    }
}

int Stove::input(int number) const {
    if (number == 8) number = Pressure;
    if (number >= 1 && number < static_cast<int>(m_overrides.size()) && m_overrides[number])
        return *m_overrides[number];
    return rawInput(number);
}

bool Stove::overrideInput(int number, std::optional<int> value) {
    if (number == 8) number = Pressure;
    if (number < 1 || number >= static_cast<int>(m_overrides.size()) || number == 8) return false;
    m_overrides[number] = value;
    return true;
}

int Stove::stateWord() const {
    if (m_test) return static_cast<int>(StoveState::Test);
    if (m_state == StoveState::On) return 13 + 32 * (m_power == 5 ? 2 : 1);
    return static_cast<int>(m_state);
}

bool Stove::monitor(int index, std::array<int, 3> &v) const {
    if (index < 1 || index > monitorCount()) return false;
    const bool active = m_state != StoveState::Off && m_state != StoveState::Test;
    const int depressure = m_model == Model::Water ? rounded(m_encoder * 0.4) : input(Pressure);
    const int average = m_model == Model::Water ? depressure : rounded(m_average);
    switch (index) {
    case 1:
        v = {input(T2), input(T1), active ? m_power : 0};
        break;
    case 2:
        v = {fanPercent(), input(Encoder), cochleaTenths()};
        break;
    case 3:
        if (m_model == Model::Basic)
            v = {input(Pot), stateWord(), input(FuelCorrection)};
        else
            v = {input(T3), stateWord(), input(Digital)};
        break;
    case 4:
        if (m_model == Model::Water)
            v = {setPoint(), input(Encoder), input(Pressure)};
        else if (m_model == Model::AirDucted)
            v = {setPoint(), input(Encoder), channelSpeed(3)};
        else
            v = {setPoint(), input(Encoder), 0};
        break;
    case 5:
        if (m_model == Model::Water)
            v = {(heatingPump() ? 1 << 3 : 0) | (m_test && m_outputs[SanitaryPump] ? 1 << 4 : 0), depressure,
                 average};
        else if (m_model == Model::AirDucted)
            v = {channelSpeed(4), depressure, average};
        else
            v = {0, depressure, average};
        break;
    default:
        v = {m_alarm, 0, 0};
        break;
    }
    return true;
}

std::string Stove::describe() const {
    char buf[200];
    std::snprintf(buf, sizeof buf, "state %d power %d smoke %d room %d probe3 %d encoder %d alarm %d test %d",
                  stateWord(), m_power, input(T2), input(T1), input(T3), input(Encoder), m_alarm,
                  m_test ? 1 : 0);
    return buf;
}

} // namespace stovesim
