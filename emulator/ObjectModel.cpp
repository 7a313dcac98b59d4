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
    static const double gainFactor[4] = {1.0, 2.0, 4.0, 8.0};
    const double drive = 3900.0 * excitation / 255.0;
    const double share = objectModule / (objectModule + ShuntOhm);
    const double ampA = drive * gainFactor[gainCodes & 3] * share;
    const double ampB = drive * gainFactor[(gainCodes >> 2) & 3] * (1.0 - share) * (tenX ? 10.0 : 1.0);
    const auto clip = [](double v) { return std::clamp(v, 0.0, 65535.0); };
    ChannelLevels levels{};
    levels.maxA = static_cast<uint16_t>(clip(32768.0 + ampA));
    levels.minA = static_cast<uint16_t>(clip(32768.0 - ampA));
    levels.maxB = static_cast<uint16_t>(clip(32768.0 + ampB));
    levels.minB = static_cast<uint16_t>(clip(32768.0 - ampB));
    levels.clipped = ampA >= 32767.0 || ampB >= 32767.0;
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
