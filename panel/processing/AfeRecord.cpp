#include "AfeRecord.h"

#include "AfeCrc16.h"
#include "NumberParse.h"
#include "Spline.h"
#include "TextFormat.h"

#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr uint32_t AfeAddressWaitMs = 20;
constexpr uint32_t AfeBlockStartWaitMs = 10;
constexpr uint32_t AfeBlockWaitMs = 2;
constexpr double RadiansPerDegree = 0.017453292519943393;
constexpr double MaxHardwareVersion = 1.021;
constexpr double MaxSoftwareVersion = 1.301;

uint16_t ReadU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

ShuntPoint ReadShuntPoint(const uint8_t* record, size_t index)
{
    ShuntPoint point;
    std::memcpy(&point, record + offsetof(AfeRecordHead, shunt) + index * sizeof(ShuntPoint), sizeof point);
    return point;
}

void Wait(const I2cBus& bus, uint32_t milliseconds)
{
    if (bus.Wait)
        bus.Wait(bus.context, milliseconds);
}

} // namespace

int32_t ReadAfeImage(uint8_t* area, const I2cBus& bus, const char** errorText)
{
    *errorText = nullptr;
    Wait(bus, AfeAddressWaitMs);
    uint8_t address[2] = {0, 0};
    if (const char* text = bus.Transfer(bus.context, sizeof address, AfeI2cAddress, 1, address)) {
        *errorText = text;
        return AfeAddressWriteFailed;
    }
    Wait(bus, AfeBlockStartWaitMs);

    // The memory's address counter runs on from block to block.
    size_t offset = 0;
    while (offset < AfeAreaSize) {
        const size_t n = AfeAreaSize - offset < AfeBlockSize ? AfeAreaSize - offset : AfeBlockSize;
        Wait(bus, AfeBlockWaitMs);
        if (const char* text = bus.Transfer(bus.context, static_cast<uint32_t>(n), AfeI2cAddress, 0, area + offset)) {
            *errorText = text;
            return AfeBlockReadFailed;
        }
        if (area[offset] == 0xFF && area[offset + 1] == 0xFF && area[offset + 2] == 0xFF && area[offset + 3] == 0xFF)
            break;
        offset += n;
    }
    return AfeRecordOk;
}

int32_t CheckAfeRecord(const uint8_t* area, uint16_t* storedCrc)
{
    const uint16_t size = ReadU16(area + offsetof(AfeRecordHead, size));
    if (size < AfeMinRecordSize || size > AfeMaxRecordSize)
        return AfeSizeError;
    const uint16_t stored = ReadU16(area + size - 1);
    if (storedCrc)
        *storedCrc = stored;
    if (stored != AfeCrc16(area, static_cast<uint16_t>(size - 1)))
        return AfeCrcOrInterpolationError;
    return AfeRecordOk;
}

bool ShuntTableUsable(const uint8_t* record)
{
    float previousFrequency = 0.0f;
    for (size_t i = 0; i < AfeShuntPointCount; ++i) {
        const ShuntPoint point = ReadShuntPoint(record, i);
        if (!std::isfinite(point.frequency) || !(point.frequency > 0.0f))
            return false;
        if (!std::isfinite(point.module) || !(point.module > 0.0f))
            return false;
        if (!std::isfinite(point.phase))
            return false;
        if (i > 0 && !(point.frequency > previousFrequency))
            return false;
        previousFrequency = point.frequency;
    }
    return true;
}

int32_t InterpolateShunt(const uint8_t* record, float* out, const float* freqs)
{
    constexpr int32_t knots = static_cast<int32_t>(AfeShuntPointCount);
    constexpr size_t targets = 15;

    // t, y, p for the knots, v and the module for the targets: 93 doubles.
    std::vector<double> storage;
    try {
        storage.assign(3 * AfeShuntPointCount + 2 * targets, 0.0);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    double* t = storage.data();
    double* y = t + AfeShuntPointCount;
    double* p = y + AfeShuntPointCount;
    double* v = p + AfeShuntPointCount;
    double* module = v + targets;

    // No logarithm of a table or a frequency that has none.
    if (!ShuntTableUsable(record))
        return -3;
    for (size_t i = 0; i < targets; ++i) {
        if (!std::isfinite(freqs[i]) || !(freqs[i] > 0.0f))
            return -2;
    }

    for (size_t i = 0; i < AfeShuntPointCount; ++i) {
        const ShuntPoint point = ReadShuntPoint(record, i);
        t[i] = std::log10(static_cast<double>(point.frequency));
        y[i] = std::log10(static_cast<double>(point.module));
        p[i] = static_cast<double>(point.phase);
        if (i < targets)
            v[i] = std::log10(static_cast<double>(freqs[i]));
    }

    const std::vector<double> m = SplineSecondDerivatives(knots, t, y, SplineEndNoCubic, 0.0, SplineEndNoCubic, 0.0);
    if (m.empty())
        return -3;
    for (size_t j = 0; j < targets; ++j) {
        double slope, curvature;
        module[j] = std::pow(10.0, SplineEvaluate(knots, t, y, m.data(), v[j], slope, curvature));
    }

    const std::vector<double> ph = SplineSecondDerivatives(knots, t, p, SplineEndNoCubic, 0.0, SplineEndNoCubic, 0.0);
    if (ph.empty())
        return -4;
    float result[2 * targets];
    for (size_t j = 0; j < targets; ++j) {
        double slope, curvature;
        const double phase = SplineEvaluate(knots, t, p, ph.data(), v[j], slope, curvature);
        const double a = phase * RadiansPerDegree;
        result[j] = static_cast<float>(std::cos(a) * module[j]);
        result[targets + j] = static_cast<float>(std::sin(a) * module[j]);
        // Far extrapolation can leave the single-precision range; such a table is not loaded.
        if (!std::isfinite(result[j]) || !std::isfinite(result[targets + j]))
            return -3;
    }
    std::memcpy(out, result, sizeof result);
    return 0;
}

void ResetAfeArea(uint8_t* area)
{
    std::memset(area, 0, AfeAreaSize);
    std::memcpy(area, AfeDisconnectedText, sizeof AfeDisconnectedText);
}

std::string_view AfeDescription(const uint8_t* area)
{
    const char* text = reinterpret_cast<const char*>(area);
    const void* zero = std::memchr(text, 0, AfeDescriptionLimit);
    const size_t length = zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : AfeDescriptionLimit;
    return std::string_view(text, length);
}

DeviceVersions ReadDeviceVersions(const char* identification, size_t size)
{
    DeviceVersions versions{0.0f, 0.0f};
    const char* end = identification + BoundedLength(identification, size);
    const std::string_view text(identification, static_cast<size_t>(end - identification));
    const size_t at = text.find("HW:v");
    if (at == std::string_view::npos)
        return versions;

    // "HW:v%f SW:v%f ": %f skips blanks before its number, a blank in the pattern any run of them.
    const char* p = SkipBlanks(identification + at + 4, end);
    float hw;
    p = ReadFloat(p, end, hw);
    if (!p)
        return versions;
    versions.HWVersionNr = hw;
    p = SkipBlanks(p, end);
    if (end - p < 4 || std::memcmp(p, "SW:v", 4) != 0)
        return versions;
    float sw;
    if (ReadFloat(SkipBlanks(p + 4, end), end, sw))
        versions.SWVersionNr = sw;
    return versions;
}

bool DeviceVersionSupported(const DeviceVersions& versions)
{
    return !(static_cast<double>(versions.HWVersionNr) > MaxHardwareVersion ||
             static_cast<double>(versions.SWVersionNr) > MaxSoftwareVersion);
}
