#include "ObjectModel.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double TwoPi = 6.283185307179586;
}

Impedance ObjectImpedance(const ObjectUnderTest& object, double hz)
{
    const double w = TwoPi * hz;
    const Impedance parallel = object.parallelOhm / Impedance(1.0, w * object.parallelOhm * object.parallelFarad);
    return Impedance(object.seriesOhm, 0.0) + parallel;
}

Impedance TrueShuntImpedance(double hz)
{
    const double w = TwoPi * hz;
    return ShuntOhm / Impedance(1.0, w * ShuntOhm * ShuntStrayFarad);
}

Impedance LeadImpedance(double hz)
{
    return Impedance(LeadOhm, TwoPi * hz * LeadHenry);
}

Impedance ReportedImpedance(const ObjectUnderTest& object, double hz, Impedance loadedShunt,
                            Impedance loadedComp, bool compensate, bool measureLeads)
{
    // The device measures the ratio of the voltages across object and shunt and multiplies it
    // by the shunt value it was given; a wrong shunt table scales the result accordingly.
    const Impedance actual = measureLeads ? LeadImpedance(hz) : ObjectImpedance(object, hz) + LeadImpedance(hz);
    const Impedance trueShunt = TrueShuntImpedance(hz);
    const Impedance scale = std::abs(loadedShunt) > 0.0 ? loadedShunt / trueShunt : Impedance(1.0, 0.0);
    Impedance reported = actual * scale;
    if (compensate && !measureLeads)
        reported -= loadedComp;
    return reported;
}

ChannelLevels ComputeChannelLevels(double objectModule, uint8_t gainCodes, uint8_t excitation, bool tenX)
{
    // 12-bit converters centred at mid-scale: the signal swings around 2048 within 0..4095.
    static constexpr double MidScale = 2048.0;
    static constexpr double FullScale = 4095.0;
    static const double gainFactor[4] = {1.0, 2.0, 4.0, 8.0};
    const double drive = 1900.0 * excitation / 255.0;
    const double share = objectModule / (objectModule + ShuntOhm);
    const double ampA = drive * gainFactor[gainCodes & 3] * share;
    const double ampB = drive * gainFactor[(gainCodes >> 2) & 3] * (1.0 - share) * (tenX ? 10.0 : 1.0);
    const auto level = [](double v) { return static_cast<uint16_t>(std::lround(std::clamp(v, 0.0, FullScale))); };
    ChannelLevels levels{};
    levels.maxA = level(MidScale + ampA);
    levels.minA = level(MidScale - ampA);
    levels.maxB = level(MidScale + ampB);
    levels.minB = level(MidScale - ampB);
    levels.clipped = ampA >= MidScale - 1.0 || ampB >= MidScale - 1.0;
    return levels;
}

uint32_t NextRandom(NoiseSource& noise)
{
    uint64_t x = noise.state;
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    noise.state = x;
    return static_cast<uint32_t>(x >> 32);
}

double NextGaussian(NoiseSource& noise)
{
    // Sum of twelve uniforms: close enough to normal for measurement noise.
    double sum = 0.0;
    for (int i = 0; i < 12; ++i)
        sum += NextRandom(noise) / 4294967296.0;
    return sum - 6.0;
}
