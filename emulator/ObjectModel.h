// What the emulated device measures: an object under test (a resistor in series with a parallel
// RC), seen through the AFE's reference shunt and the fixture's leads, and the channel levels
// that gains and excitation give.
#pragma once

#include <complex>
#include <cstdint>

using Impedance = std::complex<double>;

// The object under test: Rs + (Rp || C).
struct ObjectUnderTest {
    double seriesOhm = 100.0;
    double parallelOhm = 1000.0;
    double parallelFarad = 10e-9;
};

// The AFE's reference shunt: 1 kOhm with its stray capacitance.
constexpr double ShuntOhm = 1000.0;
constexpr double ShuntStrayFarad = 4.7e-12;
// The fixture's leads, which compensation removes: a little resistance and inductance.
constexpr double LeadOhm = 0.35;
constexpr double LeadHenry = 0.8e-6;

Impedance ObjectImpedance(const ObjectUnderTest& object, double hz);
Impedance TrueShuntImpedance(double hz);
Impedance LeadImpedance(double hz);

// What the device reports at one frequency. `loadedShunt` is the shunt value the host loaded
// for this frequency (zero: none loaded, the device then takes the shunt as exact); with
// `compensate` the loaded compensation value is subtracted; `measureLeads` reports the leads
// alone (the compensation measurement).
Impedance ReportedImpedance(const ObjectUnderTest& object, double hz, Impedance loadedShunt,
                            Impedance loadedComp, bool compensate, bool measureLeads);

// Channel extremes around mid-scale for the given gain codes (0..3 each), excitation level
// (0..255) and 10X, with the object's module at the lowest frequency. True when a channel clips.
struct ChannelLevels {
    uint16_t maxA, minA, maxB, minB;
    bool clipped;
};
ChannelLevels ComputeChannelLevels(double objectModule, uint8_t gainCodes, uint8_t excitation, bool tenX);

// Small deterministic noise source (xorshift), one per device.
struct NoiseSource {
    uint64_t state = 0x9E3779B97F4A7C15ull;
};
double NextGaussian(NoiseSource& noise); // mean 0, deviation 1
uint32_t NextRandom(NoiseSource& noise);
