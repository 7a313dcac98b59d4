#include "ConfigurationText.h"

#include "AfeRecord.h"
#include "RecordLayouts.h"

#include <cstddef>
#include <cstring>

namespace {

void PutValueRow(TextSink& sink, const float* values)
{
    for (size_t i = 0; i < 2 * MeasurementFrequencyCount; ++i) {
        if (i > 0)
            PutText(sink, ", ");
        PutFixed(sink, values[i], 0, 2);
    }
}

} // namespace

void ComputeMeasurementFrequencies(const DeviceConfiguration& configuration, uint16_t divider, float* frequencies)
{
    for (size_t i = 0; i < MeasurementFrequencyCount; ++i) {
        const int32_t product = static_cast<int32_t>(configuration.FrequencyCodes[i]) * 1000;
        frequencies[i] = static_cast<float>(product) / static_cast<float>(divider);
    }
}

void FormatFrequencyList(TextSink& sink, const float* frequencies)
{
    for (size_t i = 0; i < MeasurementFrequencyCount; ++i) {
        PutFixed(sink, frequencies[i], 11, 2);
        PutText(sink, "Hz\n");
    }
}

void FormatConfigurationView(TextSink& sink, const uint8_t* afeArea, const DeviceConfiguration& configuration)
{
    int32_t shuntCount = 0;
    std::memcpy(&shuntCount, afeArea + offsetof(AfeRecordHead, SHUNTCount), sizeof shuntCount);

    PutText(sink, "Analog Front End Data:\r\n\r\nDescription=");
    PutText(sink, AfeDescription(afeArea));
    PutText(sink, "\r\nAFEType=0x");
    PutHex(sink, afeArea[offsetof(AfeRecordHead, AFEType)], 2);
    PutText(sink, "\r\nSHUNTType=0x");
    PutHex(sink, afeArea[offsetof(AfeRecordHead, SHUNTType)], 2);
    PutText(sink, "\r\nSHUNTCount=");
    PutInt(sink, shuntCount);
    PutText(sink, "\r\n\r\nCurrent Configuration Data:\r\n\r\nShunt(re...im...)=\t");
    PutValueRow(sink, configuration.Shunt);
    PutText(sink, "\r\nComp(re...im...)=\t");
    PutValueRow(sink, configuration.Comp);
    PutText(sink, "\r\n");
}
