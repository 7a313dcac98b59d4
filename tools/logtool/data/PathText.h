// File paths as the log tool holds them, UTF-8 strings, to and from std::filesystem paths (on
// Windows a path is wide text, so a name in any script opens).
#pragma once

#include <filesystem>
#include <string>

std::filesystem::path PathFromUtf8(const std::string& text);
std::string PathToUtf8(const std::filesystem::path& path);
