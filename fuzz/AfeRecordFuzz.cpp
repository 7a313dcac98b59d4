// The AFE record from any memory image: read over a bus that may fail, the size and CRC check,
// the shunt table check and the interpolation onto any measurement frequencies. A record whose
// size and CRC are made right on purpose lets the input reach the interpolation often.
#include "AfeCrc16.h"
#include "AfeRecord.h"
#include "FuzzInput.h"

#include <cmath>
#include <vector>

namespace {

// An AFE memory behind the I2C bus: a 16-bit address counter set by two-byte writes.
struct Memory {
    const uint8_t* bytes;
    uint32_t address;
    uint32_t failAfter; // transfers that succeed before one fails
    uint32_t transfers;
};

const char* Transfer(void* context, uint32_t count, uint32_t slave, uint32_t write, uint8_t* data)
{
    auto& memory = *static_cast<Memory*>(context);
    FUZZ_CHECK(count >= 1 && count <= AfeBlockSize && slave == AfeI2cAddress);
    if (memory.transfers++ == memory.failAfter)
        return "ERROR: I2C Slave did not respond.";
    if (write) {
        FUZZ_CHECK(count == 2);
        memory.address = static_cast<uint32_t>(data[0] << 8 | data[1]);
        return nullptr;
    }
    for (uint32_t i = 0; i < count; ++i, ++memory.address)
        data[i] = memory.address < AfeAreaSize ? memory.bytes[memory.address] : 0xFF;
    return nullptr;
}

void NoWait(void*, uint32_t) {}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const uint8_t flags = input.Take<uint8_t>();
    const uint16_t sizeField = input.Take<uint16_t>();
    float freqs[15];
    for (float& f : freqs)
        f = input.Take<float>();
    const uint32_t failAfter = input.Take<uint8_t>();

    std::vector<uint8_t> image(AfeAreaSize, flags & 1 ? 0xFF : 0x00);
    const std::string rest = input.Rest();
    // The input from offset 1000 on (the size field onwards) when asked, else from the start.
    const size_t at = flags & 2 ? offsetof(AfeRecordHead, size) : 0;
    std::memcpy(image.data() + at, rest.data(), std::min(rest.size(), AfeAreaSize - at));
    if (flags & 16) {
        // A shunt table the checks accept: rising positive frequencies, positive modules, finite
        // phases, each still taken from the input.
        float frequency = 1.0f;
        for (size_t i = 0; i < AfeShuntPointCount; ++i) {
            const size_t point = offsetof(AfeRecordHead, shunt) + i * sizeof(ShuntPoint);
            float values[3];
            std::memcpy(values, image.data() + point, sizeof values);
            frequency *= 1.0f + std::fabs(std::fmod(std::isfinite(values[0]) ? values[0] : 1.0f, 20.0f)) + 0.01f;
            values[0] = frequency;
            values[1] = 1e-3f + std::fabs(std::fmod(std::isfinite(values[1]) ? values[1] : 1.0f, 1e7f));
            values[2] = std::fmod(std::isfinite(values[2]) ? values[2] : 0.0f, 360.0f);
            std::memcpy(image.data() + point, values, sizeof values);
        }
    }
    if (flags & 4) {
        const uint16_t recordSize = static_cast<uint16_t>(AfeMinRecordSize + sizeField % (AfeMaxRecordSize - AfeMinRecordSize + 1));
        image[offsetof(AfeRecordHead, size)] = static_cast<uint8_t>(recordSize);
        image[offsetof(AfeRecordHead, size) + 1] = static_cast<uint8_t>(recordSize >> 8);
        const uint16_t crc = AfeCrc16(image.data(), static_cast<uint16_t>(recordSize - 1));
        image[recordSize - 1] = static_cast<uint8_t>(crc);
        image[recordSize] = static_cast<uint8_t>(crc >> 8);
    }

    // Read over the bus into an area of exactly its size.
    Memory memory{image.data(), 0, flags & 8 ? failAfter : UINT32_MAX, 0};
    const I2cBus bus{&memory, Transfer, NoWait};
    const auto area = ExactCopy(image.data(), AfeAreaSize);
    const char* errorText = nullptr;
    const int32_t read = ReadAfeImage(area.get(), bus, &errorText);
    FUZZ_CHECK(read == AfeRecordOk || read == AfeAddressWriteFailed || read == AfeBlockReadFailed);
    FUZZ_CHECK((read == AfeRecordOk) == (errorText == nullptr));
    if (read == AfeRecordOk)
        FUZZ_CHECK(std::memcmp(area.get(), image.data(), 4) == 0);

    const auto record = ExactCopy(image.data(), AfeAreaSize);
    uint16_t storedCrc = 0;
    const int32_t check = CheckAfeRecord(record.get(), &storedCrc);
    const uint16_t recordSize = static_cast<uint16_t>(image[offsetof(AfeRecordHead, size)] |
                                                      image[offsetof(AfeRecordHead, size) + 1] << 8);
    if (recordSize < AfeMinRecordSize || recordSize > AfeMaxRecordSize)
        FUZZ_CHECK(check == AfeSizeError);
    else
        FUZZ_CHECK((check == AfeRecordOk) == (storedCrc == AfeCrc16(image.data(), static_cast<uint16_t>(recordSize - 1))));
    if (flags & 4)
        FUZZ_CHECK(check == AfeRecordOk);
    FUZZ_CHECK(AfeDescription(record.get()).size() <= AfeDescriptionLimit);

    const auto frequencies = ExactCopy(freqs, sizeof freqs);
    float out[30];
    const int32_t result = InterpolateShunt(record.get(), out, reinterpret_cast<const float*>(frequencies.get()));
    FUZZ_CHECK(result == 0 || result == -2 || result == -3 || result == -4);
    if (!ShuntTableUsable(record.get()))
        FUZZ_CHECK(result == -3);
    else if (flags & 16)
        FUZZ_CHECK(result != -4); // a finite table always gives a phase spline
    if (result == 0)
        for (const float value : out)
            FUZZ_CHECK(std::isfinite(value));
    return 0;
}
