// The log tool on recordings of the software device measuring a known object, logged the way the
// control panel logs: the fitted circuit gives back the object, and tracking finds the moment
// the object changed.
#include "AfeProcessing.h"
#include "fit/Circuit.h"
#include "Commands.h"
#include "Dividers.h"
#include "fit/Fit.h"
#include "LogReader.h"
#include "LoggingOverDevice.h"
#include "ObjectModel.h"
#include "data/Spectrum.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

class LogToolOverDevice : public LoggingOverDevice {};

// The complex mean of every spectrum of a log.
Spectrum MeanSpectrum(const std::string& path)
{
    LogStream log;
    std::string error;
    EXPECT_TRUE(log.Open(path, error)) << error;
    Spectrum mean;
    mean.frequency.assign(log.Header().frequencies, log.Header().frequencies + 15);
    mean.impedance.assign(15, {});
    SpectrumRecord record;
    size_t count = 0;
    while (log.Next(record)) {
        for (int k = 0; k < 15; ++k)
            mean.impedance[k] += ImpedanceFromPolar(record.Module[k], record.Phase[k]);
        ++count;
    }
    EXPECT_EQ(log.ProblemCount(), 0u);
    for (auto& z : mean.impedance)
        z /= static_cast<double>(count);
    return mean;
}

TEST_F(LogToolOverDevice, FitGivesBackTheObjectAndItsLeads)
{
    struct Case {
        int noisePpm;
        double tolerance;
    } cases[] = {{0, 0.001}, {2000, 0.01}};
    for (const Case& c : cases) {
        ASSERT_EQ(KalvixEmulatorControl(0, KALVIX_EMU_NOISE_PPM, c.noisePpm, nullptr, 0), 0);
        for (const auto& entry : FolderEntries(folder.path))
            std::remove(folder.File(entry).c_str());
        const Spectrum spectrum = MeanSpectrum(Record(100));

        Circuit circuit;
        std::string error;
        ASSERT_TRUE(ParseCircuit("R0-L0-p(R1,C1)", circuit, error)) << error;
        FitResult fit;
        ASSERT_TRUE(FitCircuit(circuit, spectrum, FitOptions{}, fit, error)) << error;
        const double expected[] = {Object.seriesOhm + LeadOhm, LeadHenry, Object.parallelOhm, Object.parallelFarad};
        // The leads' inductance turns the phase by about 1.4 degree at the top frequency, where
        // the log's 0.01-degree steps alone make 0.7%: it is held to 1% at any noise.
        for (size_t p = 0; p < 4; ++p) {
            const double tolerance = p == 1 ? std::max(c.tolerance, 0.01) : c.tolerance;
            EXPECT_NEAR(fit.values[p], expected[p], tolerance * expected[p])
                << circuit.parameterNames[p] << " at noise " << c.noisePpm << " ppm";
        }
    }
}

TEST_F(LogToolOverDevice, TrackFindsTheMomentTheObjectChanged)
{
    uint32_t changedFrom = 0, changedBy = 0;
    const std::string log = Record(300, [&](size_t delivered) {
        if (delivered < 150 || changedBy)
            return;
        changedFrom = NextMeasCount();
        SetObject({Object.seriesOhm, 1.2 * Object.parallelOhm, Object.parallelFarad});
        changedBy = NextMeasCount();
    });
    ASSERT_GT(changedBy, 0u);
    const std::string table = folder.File("track.csv");
    testing::internal::CaptureStderr();
    ASSERT_EQ(RunTrackCommand({log, "--circuit", "R0-L0-p(R1,C1)", "-o", table}), 0);
    testing::internal::GetCapturedStderr();

    std::ifstream file(table);
    std::string row;
    std::getline(file, row);
    ASSERT_EQ(row.rfind("MeasCount,time_s,R0,R0_stderr,L0,L0_stderr,R1,R1_stderr,", 0), 0u) << row;
    uint32_t firstChanged = UINT32_MAX, rows = 0;
    while (std::getline(file, row)) {
        std::vector<std::string> fields;
        std::istringstream items(row);
        for (std::string item; std::getline(items, item, ',');)
            fields.push_back(item);
        ASSERT_EQ(fields.back().substr(0, 2), "ok") << row;
        const uint32_t count = static_cast<uint32_t>(std::stoul(fields[0]));
        EXPECT_DOUBLE_EQ(std::stod(fields[1]), count * 2 / 1000.0);
        const double r1 = std::stod(fields[6]);
        const bool changed = r1 > 1.1 * Object.parallelOhm;
        EXPECT_NEAR(r1, (changed ? 1.2 : 1.0) * Object.parallelOhm, 0.02 * Object.parallelOhm) << count;
        if (changed && firstChanged == UINT32_MAX)
            firstChanged = count;
        EXPECT_EQ(changed, firstChanged != UINT32_MAX) << "R1 went back at MeasCount " << count;
        ++rows;
    }
    EXPECT_GE(rows, 300u);
    EXPECT_GE(firstChanged, changedFrom);
    EXPECT_LE(firstChanged, changedBy);
}

} // namespace
