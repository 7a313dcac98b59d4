#include "TestLogs.h"

#include "LogFormat.h"
#include "TextFormat.h"

#include <cstdio>
#include <fstream>
#include <sstream>

const float TestLogFrequencies[15] = {1000,  2000,  3000,   4000,   7000,   12000,  19000,  32000,
                                      52000, 85000, 139000, 228000, 373000, 611000, 1000000};

SpectrumRecord MakeTestRecord(uint32_t count)
{
    SpectrumRecord record{};
    record.marker = 0xFF03;
    record.tag = 0x01DD;
    record.MeasCount = count;
    record.ProcPeriod = 1000 + count % 7;
    record.MaxChA = static_cast<uint16_t>(2000 + count % 13);
    record.MinChA = static_cast<uint16_t>(1600 + count % 11);
    record.MaxChB = static_cast<uint16_t>(2300 + count % 5);
    record.MinChB = static_cast<uint16_t>(1700 + count % 3);
    record.SysErrors = static_cast<uint16_t>(count * 37 & 0xFFFF);
    record.GPIOStatus = static_cast<uint16_t>(count & 0x07);
    record.BatteryLevel = static_cast<uint16_t>(3900 + count % 200);
    record.ChargerStatus = static_cast<uint16_t>(count & 1);
    for (int i = 0; i < 15; ++i) {
        record.Module[i] = 1000.0f / (1.0f + i * 0.25f) + static_cast<float>(count % 100) * 0.01f;
        record.Phase[i] = -3.0f * (i + 1) - static_cast<float>(count % 10) * 0.01f;
    }
    return record;
}

std::string TestLogText(const std::vector<SpectrumRecord>& records, int divider)
{
    static const float Zero[30] = {};
    std::string text(8192, '\0');
    TextSink sink = MakeTextSink(text.data(), text.size());
    LogHeaderData header{"test.txt", {2026, 12, 10, 7, 30, 0}, "Kalvix test device", "KX1", "AFE test head",
                         divider, 90, "1x", "10x", 0, 0, 0, 0, TestLogFrequencies, Zero, Zero};
    FormatLogHeader(sink, header);
    text.resize(sink.length);
    for (const SpectrumRecord& record : records) {
        char row[512];
        TextSink rowSink = MakeTextSink(row, sizeof row);
        FormatLogRow(rowSink, record);
        text.append(row, rowSink.length);
    }
    return text;
}

std::filesystem::path WriteScratchFile(const std::string& name, const std::string& text)
{
    const auto folder = std::filesystem::temp_directory_path() / "kalvix-logtool-tests";
    std::filesystem::create_directories(folder);
    const auto path = folder / name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    return path;
}

std::filesystem::path WriteScratchFile(const std::u8string& name, const std::string& text)
{
    const auto folder = std::filesystem::temp_directory_path() / "kalvix-logtool-tests";
    std::filesystem::create_directories(folder);
    const auto path = folder / std::filesystem::path(name);
#ifdef _WIN32
    std::FILE* file = _wfopen(path.c_str(), L"wb");
#else
    std::FILE* file = std::fopen(path.c_str(), "wb");
#endif
    if (file) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    return path;
}

std::string Utf8Path(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}
