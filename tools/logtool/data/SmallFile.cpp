#include "SmallFile.h"

#include "PathText.h"

#include <fstream>

SmallFileRead ReadSmallFile(const std::string& path, size_t limit, std::string& bytes)
{
    bytes.clear();
    std::ifstream file(PathFromUtf8(path), std::ios::binary);
    if (!file)
        return SmallFileRead::CannotOpen;
    bytes.resize(limit + 1);
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(file.gcount()));
    if (file.bad())
        return SmallFileRead::CannotRead;
    return bytes.size() > limit ? SmallFileRead::TooLarge : SmallFileRead::Read;
}
