// Drawing, painting and updating leave no GDI object behind and every context holds what it held
// before; releasing the widgets frees everything they made, also after the set was moved.
#include "GdiLedger.h"
#include "WidgetFixture.h"

#include <cmath>
#include <utility>
#include <vector>

namespace {

constexpr int Repeats = 40;

// Two memory contexts and two bitmaps per graph panel, context, bitmap and font per text panel,
// context and bitmap per level bar.
constexpr size_t HeldBySixWidgets = 2 * 4 + 2 * 3 + 2 * 2;

void CreateSixWidgets(WidgetSet& widgets)
{
    CreateGraphPanel(widgets, nullptr, 0, "MODULE (ohm)", 500, 10, 585, 300);
    CreateGraphPanel(widgets, nullptr, 1, "PHASE (degree)", 500, 340, 585, 300);
    CreateTextPanel(widgets, nullptr, 1, 120, 402, 200, 248, nullptr, -12, "Courier New");
    CreateLevelBar(widgets, nullptr, 0, 350, 542, 40, 108, 4095);
    CreateLevelBar(widgets, nullptr, 1, 400, 542, 40, 108, 4095);
    CreateTextPanel(widgets, nullptr, 0, 350, 382, 130, 140, "MeasCount:\nProcPeriod[us]:", 13, "Tahoma");
}

struct Spectrum {
    std::vector<float> X;
    std::vector<float> Y;
};

Spectrum Frequencies(bool logarithmic, float value)
{
    Spectrum s;
    for (int i = 0; i < 15; ++i) {
        s.X.push_back(logarithmic ? static_cast<float>(1000 * std::pow(10.0, 3.0 * i / 14)) : 1000.0f * (i + 1));
        s.Y.push_back(value + static_cast<float>(i % 3));
    }
    return s;
}

void Draw(WidgetSet& widgets, int32_t index, const Spectrum& s, float fixedMax, float fixedMin, bool logarithmic)
{
    DrawGraph(widgets, nullptr, index,
              {.X = s.X.data(), .XUnit = "Hz", .Y = s.Y.data(), .PointCount = static_cast<int32_t>(s.X.size()),
               .YDivisions = 10, .FixedMax = fixedMax, .FixedMin = fixedMin, .Colour = RGB(0, 255, 0),
               .XLogarithmic = logarithmic, .YLogarithmic = logarithmic});
}

// The objects a surface's context holds: pen, brush, font and bitmap.
struct Selected {
    HGDIOBJ Pen, Brush, Font, Bitmap;
    bool operator==(const Selected&) const = default;
};

Selected SelectedIn(const OffscreenSurface& s)
{
    HDC dc = s.Dc();
    return {GetCurrentObject(dc, OBJ_PEN), GetCurrentObject(dc, OBJ_BRUSH), GetCurrentObject(dc, OBJ_FONT),
            GetCurrentObject(dc, OBJ_BITMAP)};
}

// Graph frames and plots first, then the text panels, then the level bars.
std::vector<Selected> SelectedInAll(const WidgetSet& widgets)
{
    std::vector<Selected> all;
    for (const GraphPanel& p : widgets.Graphs)
        all.insert(all.end(), {SelectedIn(p.FrameSurface), SelectedIn(p.PlotSurface)});
    for (const TextPanel& p : widgets.Texts)
        all.push_back(SelectedIn(p.DrawSurface));
    for (const LevelBar& b : widgets.Bars)
        all.push_back(SelectedIn(b.DrawSurface));
    return all;
}

// What a context holds once its widget is made: the stock pen, brush and font (a text panel its
// own font) and the surface's bitmap.
std::vector<Selected> SelectedWhenMade(const WidgetSet& widgets)
{
    const Selected stock{GetStockObject(BLACK_PEN), GetStockObject(WHITE_BRUSH), GetStockObject(SYSTEM_FONT), nullptr};
    auto with = [](Selected s, const OffscreenSurface& surface) {
        s.Bitmap = surface.Bitmap();
        if (surface.KeptFont())
            s.Font = surface.KeptFont();
        return s;
    };
    std::vector<Selected> all;
    for (const GraphPanel& p : widgets.Graphs)
        all.insert(all.end(), {with(stock, p.FrameSurface), with(stock, p.PlotSurface)});
    for (const TextPanel& p : widgets.Texts)
        all.push_back(with(stock, p.DrawSurface));
    for (const LevelBar& b : widgets.Bars)
        all.push_back(with(stock, b.DrawSurface));
    return all;
}

struct Step {
    const char* what;
    void (*run)(WidgetSet& widgets);
};

const Step Steps[] = {
    {"linear graph", [](WidgetSet& w) { Draw(w, 1, Frequencies(false, -40), 0, 0, false); }},
    {"linear graph, fixed scale", [](WidgetSet& w) { Draw(w, 1, Frequencies(false, 1), 90, -90, false); }},
    {"logarithmic graph", [](WidgetSet& w) { Draw(w, 0, Frequencies(true, 1000), 0, 0, true); }},
    {"logarithmic graph, fixed scale", [](WidgetSet& w) { Draw(w, 0, Frequencies(true, 50), 1e5f, 10, true); }},
    {"graph of equal frequencies", [](WidgetSet& w) {
         Spectrum s = Frequencies(false, 1);
         s.X.assign(15, 5000.0f);
         Draw(w, 1, s, 0, 0, false);
     }},
    {"graph of zeros", [](WidgetSet& w) { Draw(w, 0, Frequencies(true, 0), 0, 0, true); }},
    {"graph of no panel", [](WidgetSet& w) { Draw(w, 2, Frequencies(false, 1), 0, 0, false); }},
    {"table text", [](WidgetSet& w) { SetTextPanelText(w, nullptr, 1, "   1000.00     12.50\r\n   2000.00    -45.25"); }},
    {"status text", [](WidgetSet& w) { SetTextPanelText(w, nullptr, 0, "MeasCount: 12\n&"); }},
    {"no text", [](WidgetSet& w) { SetTextPanelText(w, nullptr, 0, nullptr); }},
    {"level in range", [](WidgetSet& w) { SetLevelBar(w, nullptr, 0, 3000, 1000); }},
    {"level clipped", [](WidgetSet& w) { SetLevelBar(w, nullptr, 1, 5000, 0); }},
    {"no level", [](WidgetSet& w) { SetLevelBar(w, nullptr, 1, 1000, 1000); }},
    {"widgets created again", [](WidgetSet& w) { CreateSixWidgets(w); }},
    {"widgets of no place", [](WidgetSet& w) {
         CreateGraphPanel(w, nullptr, 2, "NONE", 0, 0, 300, 200);
         CreateTextPanel(w, nullptr, -1, 0, 0, 50, 50, "none", 13, "Tahoma");
         CreateLevelBar(w, nullptr, 2, 0, 0, 40, 108, 4095);
     }},
    {"painted", [](WidgetSet& w) {
         OffscreenSurface target(nullptr, 1100, 700);
         PaintWidgets(w, target.Dc());
     }},
};

} // namespace

using GdiBalance = WidgetTest;

TEST_F(GdiBalance, EveryStepLeavesTheHeldObjectsAndSelectionsAsTheyWere)
{
    const DWORD reportedBefore = ReportedGdiObjects();
    {
        GdiLedger ledger;
        ASSERT_TRUE(ledger.Open());
        CreateSixWidgets(widgets);
        ASSERT_EQ(ledger.Live(), HeldBySixWidgets) << ledger.LiveKinds();
        ASSERT_NE(widgets.Texts[0].DrawSurface.KeptFont(), nullptr);
        ASSERT_NE(widgets.Texts[1].DrawSurface.KeptFont(), nullptr);
        const std::vector<Selected> selected = SelectedWhenMade(widgets);
        ASSERT_TRUE(SelectedInAll(widgets) == selected);

        for (const Step& step : Steps) {
            for (int i = 0; i < Repeats; ++i)
                step.run(widgets);
            EXPECT_EQ(ledger.Live(), HeldBySixWidgets) << step.what << ": " << ledger.LiveKinds();
            EXPECT_TRUE(SelectedInAll(widgets) == selected) << step.what;
        }
        if (reportedBefore) { // Wine reports none
            EXPECT_EQ(ReportedGdiObjects(), reportedBefore + HeldBySixWidgets);
        }

        ReleaseWidgets(widgets);
        EXPECT_EQ(ledger.Live(), 0u) << ledger.LiveKinds();
        EXPECT_EQ(ledger.ForeignDeletions(), 0);
        EXPECT_EQ(ledger.RefusedDeletions(), 0);
    }
    if (reportedBefore) {
        EXPECT_EQ(ReportedGdiObjects(), reportedBefore);
    }
}

// A set moved into another frees its objects once, from where it went; a set moved over a
// full one frees the former widgets first.
TEST_F(GdiBalance, MovedSetsFreeEverythingOnce)
{
    GdiLedger ledger;
    ASSERT_TRUE(ledger.Open());
    struct Case {
        const char* what;
        void (*run)(WidgetSet& widgets);
    };
    const Case cases[] = {
        {"moved into a new set", [](WidgetSet& w) {
             WidgetSet taken = std::move(w);
             EXPECT_EQ(w.Graphs[0].FrameSurface.Dc(), nullptr);
             EXPECT_NE(taken.Graphs[0].FrameSurface.Dc(), nullptr);
         }},
        {"moved over a full set", [](WidgetSet& w) {
             WidgetSet other;
             CreateSixWidgets(other);
             other = std::move(w);
         }},
        {"released through its owner", [](WidgetSet& w) { ReleaseWidgets(w); }},
        {"a text panel's font replaced", [](WidgetSet& w) {
             w.Texts[0].DrawSurface.KeepFontSelected(MakeOwnedFont(20, "Arial", DEFAULT_CHARSET));
             ReleaseWidgets(w);
         }},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < 5; ++i) {
            CreateSixWidgets(widgets);
            ASSERT_EQ(ledger.Live(), HeldBySixWidgets) << c.what;
            c.run(widgets);
            ReleaseWidgets(widgets);
            EXPECT_EQ(ledger.Live(), 0u) << c.what << ": " << ledger.LiveKinds();
        }
    }
    EXPECT_EQ(ledger.ForeignDeletions(), 0);
    EXPECT_EQ(ledger.RefusedDeletions(), 0);
}
