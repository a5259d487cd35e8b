// The text-table entries of the hardware test page's labels and captions.
#pragma once

namespace hwtest::entry {

enum Entry : int {
    testHw = 2,
    channel1 = 37,
    channel2 = 38,
    probeChannel1 = 39,
    inputs = 52,
    releases = 53,
    environmentProbe = 67,
    smokesProbe = 68,
    potentiometerInput = 69,
    resistance = 70,
    smokesExtractor = 71,
    cochleaMotor = 72,
    fanEnvironment = 73,
    led = 74,
    model = 96,
    firmwareVersion = 97,
    revision = 98,
    automatic = 121,
    encoderCurrent = 131,
    fuelCorrection = 132,
    waterProbe = 137,
    depressimetro = 138,
    pelletThermostat = 139,
    externalThermostat = 140,
    fluxstate = 141,
    heatThermostat = 142,
    heatingPump = 143,
    sanitaryPump = 144,
    free = 145,
    instantaneousPressure = 248,
    // Entries of the hardware test beyond the numbered ones.
    encoder = 306,
    pressureSensor = 307, // the WATER board's water-pressure sensor, by its type name
    // What the board did not confirm, and what to do about it.
    outputNotConfirmed = 324,  // %1 the output's label
    automaticStepFailed = 325, // %1 the output's label, %2 the value
    testOnNotConfirmed = 326,
    allOffNotConfirmed = 327,
    testOffNotConfirmed = 328,
    adviceOnThePage = 329,
    adviceAfterLeaving = 330,
    adviceOnClosing = 331,
    boardSilent = 332,
};

} // namespace hwtest::entry
