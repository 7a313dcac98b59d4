// Measurement logs for the log tool's tests, written by the panel's own log text code.
#pragma once

#include "KalvixCtrl.h"

#include <filesystem>
#include <string>
#include <vector>

// The device's 15 frequencies (divider 1), as the panel logs them.
extern const float TestLogFrequencies[15];

// A record with every field set from `count` (distinct per field and per spectrum).
SpectrumRecord MakeTestRecord(uint32_t count);
// The header block and one row per record, exactly as the panel writes them.
std::string TestLogText(const std::vector<SpectrumRecord>& records, int divider = 1);
// A fresh file of this name under the test's scratch folder holding `text`.
std::filesystem::path WriteScratchFile(const std::string& name, const std::string& text);
// The same for a name in any script, written through the wide API on Windows.
std::filesystem::path WriteScratchFile(const std::u8string& name, const std::string& text);
// The path as UTF-8 text, as the log tool takes file names.
std::string Utf8Path(const std::filesystem::path& path);
std::string ReadWholeFile(const std::filesystem::path& path);
