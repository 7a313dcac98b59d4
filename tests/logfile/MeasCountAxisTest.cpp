#include "MeasCountAxis.h"

#include <gtest/gtest.h>

#include <vector>

TEST(MeasCountAxis, WrapsContinueAndOtherDropsRestart)
{
    constexpr uint32_t Top = 4294967295u;
    constexpr uint64_t Wrap = 1ull << 32;
    struct Step {
        uint32_t measCount;
        uint64_t count, lost;
        bool wrapped, restarted;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"in order", {{5, 5, 0, false, false}, {6, 6, 0, false, false}, {9, 9, 2, false, false}}},
        {"wrap", {{Top - 1, Top - 1, 0, false, false}, {Top, Top, 0, false, false}, {0, Wrap, 0, true, false},
                  {1, Wrap + 1, 0, false, false}}},
        {"wrap with spectra lost", {{Top - 5, Top - 5, 0, false, false}, {4, Wrap + 4, 9, true, false}}},
        {"widest wrap", {{Top, Top, 0, false, false}, {(1u << 20) - 1, Wrap + (1u << 20) - 1, (1u << 20) - 1, true, false}}},
        {"one step too wide", {{Top, Top, 0, false, false}, {1u << 20, 1u << 20, 0, false, true}}},
        {"twice", {{Top, Top, 0, false, false}, {0, Wrap, 0, true, false}, {Top, Wrap + Top, Top - 1, false, false},
                   {3, 2 * Wrap + 3, 3, true, false}}},
        {"restart", {{100, 100, 0, false, false}, {0, 0, 0, false, true}, {1, 1, 0, false, false}}},
        {"same count again", {{7, 7, 0, false, false}, {7, 7, 0, false, true}}},
        {"restart after a wrap starts the axis again",
         {{Top, Top, 0, false, false}, {2, Wrap + 2, 2, true, false}, {1, 1, 0, false, true}}},
    };
    for (const Case& c : cases) {
        MeasCountAxis axis;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& want = c.steps[i];
            const MeasCountStep step = AdvanceMeasCount(axis, want.measCount);
            EXPECT_EQ(step.count, want.count) << c.name << " " << i;
            EXPECT_EQ(step.lost, want.lost) << c.name << " " << i;
            EXPECT_EQ(step.wrapped, want.wrapped) << c.name << " " << i;
            EXPECT_EQ(step.restarted, want.restarted) << c.name << " " << i;
        }
    }
}
