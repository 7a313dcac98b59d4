#include "Clipboard.h"
#include "ClipboardExport.h"
#include "ClipboardText.h"
#include "GlobalCtrl.h"
#include "TestFiles.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

struct ClipboardFixture : ::testing::Test {
    std::unique_ptr<GlobalCtrl, void (*)(GlobalCtrl*)> ctrl{CreateGlobalCtrl(nullptr), FreeGlobalCtrl};
    std::unique_ptr<SpectrumRecord, void (*)(SpectrumRecord*)> records{CreateDataBuff(), FreeDataBuff};

    void SetUp() override
    {
        for (int i = 0; i < 15; ++i)
            ctrl->Frequencies[i] = 1000.0f * static_cast<float>(1 << i) / 7.0f;
    }

    std::string Expected() const
    {
        std::string text;
        for (int i = 0; i < 15; ++i)
            text += Printf("%12.2f\t%12.2f\t%7.2f\r\n", ctrl->Frequencies[i], records.get()[0].Module[i],
                           records.get()[0].Phase[i]);
        return text;
    }
};

} // namespace

TEST_F(ClipboardFixture, ImpedanceTableIsReadBackFromTheClipboard)
{
    ctrl->Frequencies[0] = 1000.0f;
    for (int i = 0; i < 15; ++i) {
        records.get()[0].Module[i] = 1234.5f + 111.125f * i;
        records.get()[0].Phase[i] = -12.25f + 1.5f * i;
    }
    records.get()[1].Module[0] = 9999.0f; // only the first record counts
    ASSERT_EQ(CopyImpedanceToClipboard(ctrl.get(), records.get()), 0);
    const std::string text = ClipboardText();
    EXPECT_EQ(text, Expected());
    EXPECT_EQ(text.size(), 525u);
    EXPECT_EQ(text.substr(0, 35), "     1000.00\t     1234.50\t -12.25\r\n");
}

TEST_F(ClipboardFixture, BeforeAnyMeasurementTheTableHoldsFrequenciesAndZeros)
{
    ASSERT_EQ(CopyImpedanceToClipboard(ctrl.get(), records.get()), 0);
    const std::string text = ClipboardText();
    EXPECT_EQ(text, Expected());
    EXPECT_NE(text.find("\t        0.00\t   0.00\r\n"), std::string::npos);
}

TEST_F(ClipboardFixture, ValuesWiderThanTheFieldsAreCutAtTheBlock)
{
    for (int i = 0; i < 15; ++i)
        records.get()[0].Module[i] = 1.0e12f;
    ASSERT_EQ(CopyImpedanceToClipboard(ctrl.get(), records.get()), 0);
    const std::string text = ClipboardText();
    EXPECT_EQ(text.size(), ImpedanceTextSize - 1);
    EXPECT_EQ(text, Expected().substr(0, ImpedanceTextSize - 1));

    char small[10];
    EXPECT_EQ(FormatImpedanceText(small, sizeof small, ctrl->Frequencies, records.get()[0]), 9u);
    EXPECT_EQ(std::string(small), Expected().substr(0, 9));
}
