#include "ConfigurationText.h"

#include "AfeRecord.h"
#include "RecordLayouts.h"

#include <cstddef>
#include <cstring>

void ComputeMeasurementFrequencies(const DeviceConfiguration& configuration, uint16_t divider, float* frequencies)
{
    for (size_t i = 0; i < MeasurementFrequencyCount; ++i) {
        const int32_t product = static_cast<int32_t>(configuration.FrequencyCodes[i]) * 1000;
        frequencies[i] = static_cast<float>(product) / static_cast<float>(divider);
    }
}

void FormatFrequencyList(TextSink& sink, const float* frequencies)
{
    for (size_t i = 0; i < MeasurementFrequencyCount; ++i)
        Print(sink, "{:>11.2f}Hz\n", frequencies[i]);
}

void FormatConfigurationView(TextSink& sink, const uint8_t* afeArea, const DeviceConfiguration& configuration)
{
    int32_t shuntCount = 0;
    std::memcpy(&shuntCount, afeArea + offsetof(AfeRecordHead, SHUNTCount), sizeof shuntCount);

    constexpr size_t values = 2 * MeasurementFrequencyCount;
    Print(sink,
          "Analog Front End Data:\r\n\r\n"
          "Description={}\r\nAFEType=0x{:02X}\r\nSHUNTType=0x{:02X}\r\nSHUNTCount={}\r\n\r\n"
          "Current Configuration Data:\r\n\r\n"
          "Shunt(re...im...)=\t{:.2f}\r\nComp(re...im...)=\t{:.2f}\r\n",
          AfeDescription(afeArea), afeArea[offsetof(AfeRecordHead, AFEType)], afeArea[offsetof(AfeRecordHead, SHUNTType)],
          shuntCount, fmt::join(configuration.Shunt, configuration.Shunt + values, ", "),
          fmt::join(configuration.Comp, configuration.Comp + values, ", "));
}
