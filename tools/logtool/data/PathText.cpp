#include "PathText.h"

#include "Utf8Text.h"

#include <vector>

#ifdef _WIN32
// UTF-16 as Windows holds text: code points beyond the first 65536 as pairs of surrogates.
std::wstring WideFromUtf8(std::string_view text)
{
    std::wstring wide;
    for (char32_t point : DecodeUtf8(text)) {
        if (point >= 0xD800 && point <= 0xDFFF)
            point = 0xFFFD;
        if (point < 0x10000) {
            wide += static_cast<wchar_t>(point);
        } else {
            point -= 0x10000;
            wide += static_cast<wchar_t>(0xD800 + (point >> 10));
            wide += static_cast<wchar_t>(0xDC00 + (point & 0x3FF));
        }
    }
    return wide;
}

// A surrogate without its partner becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view text)
{
    std::vector<char32_t> points;
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = static_cast<char16_t>(text[i]);
        const char32_t next = i + 1 < text.size() ? static_cast<char16_t>(text[i + 1]) : 0;
        if (unit >= 0xD800 && unit < 0xDC00 && next >= 0xDC00 && next <= 0xDFFF) {
            points.push_back(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
            ++i;
        } else {
            points.push_back(unit);   // EncodeUtf8 makes a lone surrogate U+FFFD
        }
    }
    return EncodeUtf8(points);
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
