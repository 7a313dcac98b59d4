// The whole of a file that is small by nature (a saved fit, a font), read in bounded memory: a
// file larger than its limit (or one that never ends, as /dev/zero) is refused once the limit is
// passed. Paths are UTF-8 (wide on Windows).
#pragma once

#include <cstddef>
#include <string>

enum class SmallFileRead { Read, CannotOpen, CannotRead, TooLarge };

SmallFileRead ReadSmallFile(const std::string& path, size_t limit, std::string& bytes);
