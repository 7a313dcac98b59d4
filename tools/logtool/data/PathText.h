// File paths as the log tool holds them, UTF-8 strings, to and from std::filesystem paths (on
// Windows a path is wide text, so a name in any script opens). Text that is not valid UTF-8 (or
// UTF-16) is converted with replacement characters, never with an exception.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

std::filesystem::path PathFromUtf8(const std::string& text);
std::string PathToUtf8(const std::filesystem::path& path);
// The last part of a UTF-8 path ("Messung_März.txt" of "C:\\Daten\\Messung_März.txt").
std::string FileNameOf(const std::string& path);

#ifdef _WIN32
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
#endif
