// Device versions read from any identification bytes, terminated or not: nothing is read past
// them, a text without "HW:v" gives no versions, and the versions read are those the text holds.
#include "AfeRecord.h"
#include "FuzzInput.h"
#include "TextFormat.h"

#include <cmath>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto text = ExactCopy(data, size);
    const char* chars = reinterpret_cast<const char*>(text.get());
    const DeviceVersions versions = ReadDeviceVersions(chars, size);
    const std::string_view view(chars, BoundedLength(chars, size));
    if (view.find("HW:v") == std::string_view::npos)
        FUZZ_CHECK(versions.HWVersionNr == 0.0f && versions.SWVersionNr == 0.0f);
    if (view.find("SW:v") == std::string_view::npos)
        FUZZ_CHECK(versions.SWVersionNr == 0.0f);
    DeviceVersionSupported(versions);
    return 0;
}
