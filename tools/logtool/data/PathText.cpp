#include "PathText.h"

#ifdef _WIN32
#include <windows.h>

std::wstring WideFromUtf8(std::string_view text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string Utf8FromWide(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    std::string utf8(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    return utf8;
}

std::filesystem::path PathFromUtf8(const std::string& text)
{
    return std::filesystem::path(WideFromUtf8(text));
}

std::string PathToUtf8(const std::filesystem::path& path)
{
    return Utf8FromWide(path.native());
}
#else
// Paths are bytes here, taken as they come.
std::filesystem::path PathFromUtf8(const std::string& text)
{
    return std::filesystem::path(text);
}

std::string PathToUtf8(const std::filesystem::path& path)
{
    return path.native();
}
#endif

std::string FileNameOf(const std::string& path)
{
    return PathToUtf8(PathFromUtf8(path).filename());
}
