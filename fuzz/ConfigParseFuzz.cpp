// The configuration reader on any file text, key, conversion and destination type: values land
// only inside a destination of exactly `count` elements, never more than asked for, and a section
// read reports success exactly when it found them all.
#include "ConfigParse.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const char* const patterns[] = {"%f", "%lf", "%g", "%u", "%hu", "%d", "%i", "%x", "%lX", "%s", "%31s",
                                           "%c", "%", "", "x%dy", "%%f"};
    static const char* const keys[] = {"SHUNT\r\n", "COMP\r\n", "DAC\r\n", "PHASES\r\n", "SHUNT", "X"};
    FuzzInput input(data, size);
    const int32_t type = static_cast<int32_t>(input.Below(7)) - (input.Take<uint8_t>() == 0xFF ? 1 : 0);
    const char* pattern = patterns[input.Below(sizeof patterns / sizeof *patterns)];
    const char* key = keys[input.Below(sizeof keys / sizeof *keys)];
    const int32_t count = static_cast<int32_t>(input.Below(80)) - 2;
    const int32_t stride = static_cast<int32_t>(input.Below(40));
    const std::string text = input.Rest();
    const auto file = ExactCopy(text.data(), text.size()); // not terminated
    const char* chars = reinterpret_cast<const char*>(file.get());

    const size_t element = type == DstStrPtr ? static_cast<size_t>(stride) : ConfigElementSize(type);
    const size_t room = count > 0 ? static_cast<size_t>(count) * element : 0;
    auto destination = ExactCopy(std::string(room, '\x55').data(), room);

    const int32_t values = ParseConfigValues(chars, text.size(), pattern, ConfigSeparators, destination.get(), count, stride, type);
    FUZZ_CHECK(values >= 0 && values <= (count > 0 ? count : 0));
    if (type == DstStrPtr)
        for (int32_t i = 0; i < values; ++i)
            FUZZ_CHECK(std::memchr(destination.get() + static_cast<size_t>(i) * element, 0, element) != nullptr);

    const int32_t section = ParseConfigSection(chars, text.size(), destination.get(), count, key, pattern, type);
    FUZZ_CHECK(section == ConfigReadOk || section == ConfigKeyMissing || section == ConfigTooFewValues);
    if (text.find(key) == std::string::npos)
        FUZZ_CHECK(section == ConfigKeyMissing);
    return 0;
}
