// Parsing the sections of an operator's configuration table file ("SHUNT", "COMP", "DAC",
// "PHASES"): a key line followed by numbers separated by blanks, tabs and line ends.
#pragma once

#include <cstddef>
#include <cstdint>

// Destination type of the value parser.
enum ConfigValueType : int32_t {
    DstBytePtr = 0,   // 8-bit values
    DstShortPtr = 1,  // 16-bit values
    DstLongPtr = 2,   // 32-bit values
    DstFloatPtr = 3,  // single precision
    DstDoublePtr = 4, // double precision
    DstStrPtr = 5,    // texts, each in `stride` bytes (terminated, cut to fit)
};

// Result codes of reading a section.
enum ConfigReadResult : int32_t {
    ConfigReadOk = 0,
    ConfigFileEmpty = -1,
    ConfigFileNotOpened = -2,
    ConfigNoMemory = -3,
    ConfigFileNotRead = -4,
    ConfigKeyMissing = -5,
    ConfigTooFewValues = -6,
};

// The key lines of the four sections; each one also ends the section before it.
inline constexpr const char* ConfigSectionKeys[] = {"SHUNT\r\n", "COMP\r\n", "DAC\r\n", "PHASES\r\n"};
inline constexpr char ConfigSeparators[] = " \t\r\n";

// Size in bytes of one destination element (0 for texts and unknown types).
size_t ConfigElementSize(int32_t type);

// Reads up to `count` values from text[0 .. length-1], one per run of characters between
// separators (any character of `separators`), using the conversion of `pattern` ("%f", "%u",
// "%d", "%x", "%s", ...). A run that does not begin with a value yields none. Value k goes to
// destination + k * element size, or k * stride for texts. Returns the number stored; 0 for an
// unknown type or conversion, and for texts with a stride below 2.
int32_t ParseConfigValues(const char* text, size_t length, const char* pattern, const char* separators,
                          void* destination, int32_t count, int32_t stride, int32_t type);

// Finds the first occurrence of key in text[0 .. length-1] and parses `count` values from the
// section behind it, which ends at the next section key (of ConfigSectionKeys or key itself) or at
// the end of the text. Returns ConfigReadOk, ConfigKeyMissing or ConfigTooFewValues.
int32_t ParseConfigSection(const char* text, size_t length, void* destination, int32_t count,
                           const char* key, const char* pattern, int32_t type);
