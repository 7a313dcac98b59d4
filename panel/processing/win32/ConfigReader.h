// Reading one section of the operator's configuration table file.
#pragma once

#include "ConfigParse.h"

#include <cstdint>

// Opens the file shared for reading (never for writing), reads it whole and parses `count`
// values of `type` behind `key` with `pattern`. Returns ConfigReadOk or a negative code:
// -1 empty or size unknown, -2 not opened, -3 no memory, -4 not read, -5 key missing, -6 too
// few values. The file is closed on every path.
int32_t ReadConfigSection(const char* fileName, void* destination, int32_t count, const char* key,
                          const char* pattern, int32_t type);
