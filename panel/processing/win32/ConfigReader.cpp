#include "ConfigReader.h"

#include "KernelOwners.h"

#include <windows.h>

#include <cstdint>
#include <new>
#include <stdexcept>
#include <vector>

int32_t ReadConfigSection(const char* fileName, void* destination, int32_t count, const char* key,
                          const char* pattern, int32_t type)
{
    // Closed on every way out.
    const OwnedFile opened(CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!opened)
        return ConfigFileNotOpened;
    const HANDLE file = opened.Get();

    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0)
        return ConfigFileEmpty;
    if (static_cast<unsigned long long>(size.QuadPart) >= SIZE_MAX)
        return ConfigNoMemory;

    const size_t length = static_cast<size_t>(size.QuadPart);
    std::vector<char> text;
    try {
        text.assign(length + 1, '\0');
    } catch (const std::bad_alloc&) {
        return ConfigNoMemory;
    } catch (const std::length_error&) {
        return ConfigNoMemory;
    }

    // ReadFile takes at most 4 GiB - 1 at a time.
    size_t done = 0;
    while (done < length) {
        const size_t left = length - done;
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD dwRead = 0;
        if (!ReadFile(file, text.data() + done, chunk, &dwRead, nullptr))
            return ConfigFileNotRead;
        if (dwRead == 0)
            break; // the file became shorter; use what is there
        done += dwRead;
    }
    text[done] = '\0';

    return ParseConfigSection(text.data(), done, destination, count, key, pattern, type);
}
