#include "PanelRules.h"

#include <cstring>

uint32_t GainCode(int32_t selectionA, int32_t selectionB)
{
    return (static_cast<uint32_t>(selectionA) & 3u) | ((static_cast<uint32_t>(selectionB) & 3u) << 2);
}

uint16_t SpectraPerPollFor(uint32_t divider)
{
    if (divider == 0 || divider >= 48)
        return 1;
    return static_cast<uint16_t>(50 / divider);
}

uint32_t GpioMask(const bool levelDown[3], const bool directionDown[3])
{
    static constexpr uint32_t LevelBits[3] = {0x04, 0x02, 0x01};
    static constexpr uint32_t DirectionBits[3] = {0x20, 0x10, 0x08};
    uint32_t mask = 0;
    for (int line = 0; line < 3; ++line) {
        if (levelDown[line])
            mask |= LevelBits[line];
        if (directionDown[line])
            mask |= DirectionBits[line];
    }
    return mask;
}

bool GpioLineHigh(uint32_t status, int line)
{
    return line >= 1 && line <= 3 && ((status >> (3 - line)) & 1u) != 0;
}

bool IsErrorText(const char* text)
{
    return text && std::strncmp(text, "ERRO", 4) == 0;
}

bool ReportsDeviceLoss(const char* text)
{
    if (!text)
        return false;
    // Characters 0..12 must all be there before 9..12 are compared.
    for (int i = 0; i < 13; ++i)
        if (text[i] == '\0')
            return false;
    return std::strncmp(text + 9, "0031", 4) == 0;
}
