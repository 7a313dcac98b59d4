#include "data/SpectrumThinning.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Spectrum n of the stream: MeasCount 10 + n, one frequency, Z = n - jn.
Spectrum Numbered(uint64_t n)
{
    return {{1000.0}, {{double(n), -double(n)}}, 10 + n, 100 + n};
}

struct Given {
    uint64_t measCount, spectra, lastMeasCount;
    double real;   // Z' of the kept spectrum or the block's mean
};

std::vector<Given> Thin(ThinningSettings settings, uint64_t count)
{
    SpectrumThinning thinning(settings);
    std::vector<Given> given;
    auto take = [&] {
        const ThinnedSpectrum kept = thinning.Take();
        given.push_back({kept.spectrum.measCount, kept.spectra, kept.lastMeasCount, kept.spectrum.impedance[0].real()});
        EXPECT_EQ(kept.spectrum.line, kept.spectrum.measCount + 90);
        EXPECT_DOUBLE_EQ(kept.spectrum.impedance[0].imag(), -kept.spectrum.impedance[0].real());
    };
    for (uint64_t n = 0; n < count; ++n) {
        thinning.Offer(Numbered(n));
        if (thinning.Ready())
            take();
    }
    if (thinning.FinishLastBlock())
        take();
    EXPECT_FALSE(thinning.FinishLastBlock());
    return given;
}

} // namespace

TEST(SpectrumThinning, KeepsEveryNthOrMeansBlocksWithTheShortLastOne)
{
    struct Case {
        ThinningSettings settings;
        uint64_t count;
        std::vector<Given> expected;
    };
    const Case cases[] = {
        {{1, 0}, 3, {{10, 1, 10, 0}, {11, 1, 11, 1}, {12, 1, 12, 2}}},
        {{3, 0}, 7, {{10, 1, 10, 0}, {13, 1, 13, 3}, {16, 1, 16, 6}}},
        {{1, 2}, 5, {{10, 2, 11, 0.5}, {12, 2, 13, 2.5}, {14, 1, 14, 4}}},
        {{1, 3}, 6, {{10, 3, 12, 1}, {13, 3, 15, 4}}},
        {{2, 2}, 7, {{10, 2, 12, 1}, {14, 2, 16, 5}}},       // every second, then blocks of two
        {{1, UINT64_MAX}, 4, {{10, 4, 13, 1.5}}},            // the mean of everything
        {{1, 2}, 0, {}},
        {{0, 0}, 2, {{10, 1, 10, 0}, {11, 1, 11, 1}}},       // 0 taken as 1
    };
    for (const Case& c : cases) {
        const std::vector<Given> given = Thin(c.settings, c.count);
        ASSERT_EQ(given.size(), c.expected.size()) << c.settings.every << "/" << c.settings.meanOf;
        for (size_t i = 0; i < given.size(); ++i) {
            EXPECT_EQ(given[i].measCount, c.expected[i].measCount) << i;
            EXPECT_EQ(given[i].spectra, c.expected[i].spectra) << i;
            EXPECT_EQ(given[i].lastMeasCount, c.expected[i].lastMeasCount) << i;
            EXPECT_DOUBLE_EQ(given[i].real, c.expected[i].real) << i;
        }
    }
}

TEST(SpectrumThinning, SaysWhichSpectrumStartsWhatComesNext)
{
    SpectrumThinning means({2, 2});
    using Step = SpectrumThinning::Step;
    const Step expected[] = {Step::Started, Step::Skipped, Step::Added, Step::Skipped, Step::Started};
    for (uint64_t n = 0; n < 5; ++n) {
        EXPECT_EQ(means.Offer(Numbered(n)), expected[n]) << n;
        if (means.Ready())
            means.Take();
    }
}
