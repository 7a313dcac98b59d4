// Replay through the whole library: a log recorded the way the control panel records, played back
// by the software device and logged again the same way, gives the same rows, text for text.
#include "LogReader.h"
#include "LoggingOverDevice.h"

#include <set>

namespace {

// The rows of a log file as written, without the header.
std::vector<std::string> RowsOf(const std::string& path)
{
    const std::string text = ReadBytes(path);
    std::vector<std::string> rows;
    const size_t titles = text.find("\tCount");
    if (titles == std::string::npos)
        return rows;
    for (size_t at = text.find("\r\n", titles) + 2; at < text.size();) {
        const size_t end = text.find("\r\n", at);
        rows.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? text.size() : end + 2;
    }
    return rows;
}

// The distinct GPIO states, battery levels and error words a log's rows hold.
struct Variety {
    std::set<uint16_t> gpio, battery, errors;
};

Variety VarietyOf(const std::string& path)
{
    LogStream log;
    std::string error;
    EXPECT_TRUE(log.Open(path, error)) << error;
    Variety variety;
    SpectrumRecord record;
    while (log.Next(record)) {
        variety.gpio.insert(record.GPIOStatus);
        variety.battery.insert(record.BatteryLevel);
        variety.errors.insert(record.SysErrors);
    }
    EXPECT_EQ(log.ProblemCount(), 0u);
    return variety;
}

class ReplayOverDevice : public LoggingOverDevice {
protected:
    void TearDown() override
    {
        KalvixEmulatorControl(0, KALVIX_EMU_REPLAY, 0, nullptr, 0);
        LoggingOverDevice::TearDown();
    }
    int32_t Replay(const std::string& path, int32_t loop)
    {
        std::string text = path;
        return KalvixEmulatorControl(0, KALVIX_EMU_REPLAY, loop, text.data(), static_cast<uint32_t>(text.size() + 1));
    }
};

TEST_F(ReplayOverDevice, ReplayedLogIsLoggedAgainRowForRow)
{
    // The object measured with noise; an input line and the battery change during the run (the
    // battery below its low mark, so the error word changes too).
    ASSERT_EQ(KalvixEmulatorControl(0, KALVIX_EMU_NOISE_PPM, 2000, nullptr, 0), 0);
    ASSERT_EQ(KalvixEmulatorControl(0, KALVIX_EMU_BATTERY_MV, 4000, nullptr, 0), 0);
    bool gpioChanged = false, batteryChanged = false;
    const std::string first = Record(400, [&](size_t delivered) {
        if (delivered >= 120 && !gpioChanged)
            gpioChanged = KalvixEmulatorControl(0, KALVIX_EMU_GPIO_INPUTS, 0x06, nullptr, 0) == 0;
        if (delivered >= 250 && !batteryChanged)
            batteryChanged = KalvixEmulatorControl(0, KALVIX_EMU_BATTERY_MV, 3400, nullptr, 0) == 0;
    });
    const std::vector<std::string> recorded = RowsOf(first);
    ASSERT_GE(recorded.size(), 400u);
    const Variety variety = VarietyOf(first);
    ASSERT_GE(variety.gpio.size(), 2u);
    ASSERT_GE(variety.battery.size(), 2u);
    ASSERT_GE(variety.errors.size(), 2u);

    // The device's world now differs in every respect the rows show.
    ASSERT_EQ(Replay(first, 0), 0);
    SetObject({50.0, 300.0, 1e-6});
    ASSERT_EQ(KalvixEmulatorControl(0, KALVIX_EMU_GPIO_INPUTS, 0, nullptr, 0), 0);
    ASSERT_EQ(KalvixEmulatorControl(0, KALVIX_EMU_BATTERY_MV, 3900, nullptr, 0), 0);
    const std::string second = Record(recorded.size());
    const std::vector<std::string> replayed = RowsOf(second);
    ASSERT_EQ(replayed.size(), recorded.size());
    size_t differing = 0;
    for (size_t k = 0; k < recorded.size(); ++k)
        if (replayed[k] != recorded[k] && ++differing <= 3)
            ADD_FAILURE() << "row " << k << "\nrecorded: " << recorded[k] << "\nreplayed: " << replayed[k];
    EXPECT_EQ(differing, 0u);
}

} // namespace
