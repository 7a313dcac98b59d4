// The main window's self-drawn widgets: two graph panels, two text panels and two level bars.
// Each draws into off-screen surfaces; the window's paint handling only copies the finished
// pictures (PaintWidgets), so updating them for every batch of spectra does not flicker.
// Everything here runs on the main window's thread and reports nothing: a create for a widget
// that exists, or an update for one that does not, does nothing.
#pragma once

#include <windows.h>

#include "DpiScale.h"
#include "GdiOwners.h"
#include "ScaleLimits.h"

#include <cstdint>

struct GraphPanel {
    OffscreenSurface PlotSurface;  // (width - 20) x (height - 30): the plot
    OffscreenSurface FrameSurface; // width x height: the whole panel as shown
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    double HeldUpper = 0; // last accepted Y limits, before margin and rounding
    double HeldLower = 0;
    int32_t TitleFontHeight = 0; // the fonts' heights at the panel's scale
    int32_t LabelFontHeight = 0;
};

struct TextPanel {
    OffscreenSurface DrawSurface; // keeps the panel's font selected
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};

struct LevelBar {
    OffscreenSurface DrawSurface;
    int32_t X = 0;
    int32_t Y = 0;
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint32_t FullScale = 0; // the level at the top of the bar
};

constexpr int32_t GraphPanelCount = 2;  // 0 module, 1 phase
constexpr int32_t TextPanelCount = 2;   // 0 status values, 1 module and phase table
constexpr int32_t LevelBarCount = 2;    // 0 CH-A, 1 CH-B

// The widget registry of one window. A new set holds no widget; the set owns the surfaces and
// fonts of the widgets created in it and frees them when it goes or when ReleaseWidgets empties
// it. It can be moved, not copied.
struct WidgetSet {
    GraphPanel Graphs[GraphPanelCount];
    TextPanel Texts[TextPanelCount];
    LevelBar Bars[LevelBarCount];
};

// PaintWidgets from WM_PAINT with the paint context (level bars, graph panels, text panels,
// each at its place); ReleaseWidgets when the window is destroyed leaves the set empty, so a
// later window can create its widgets in it again.
void PaintWidgets(const WidgetSet& widgets, HDC dc);
void ReleaseWidgets(WidgetSet& widgets);

// What one drawing of a graph shows: PointCount X values (Hz) and Y values, the X unit written
// under the axis (none for null), the number of Y divisions, the fixed scale (used when
// FixedMin < FixedMax, else the scale follows the values), the data colour and the axes' kinds.
// The Y unit is not drawn: the panel title names it.
struct GraphView {
    const float* X;
    const char* XUnit;
    const float* Y;
    int32_t PointCount;
    int32_t YDivisions;
    float FixedMax;
    float FixedMin;
    COLORREF Colour;
    bool XLogarithmic;
    bool YLogarithmic;
};

// Graph panels. The owner is the window the panel is shown in; its rectangle there is
// invalidated (without erasing) after every completed drawing. A null owner draws for the
// screen and invalidates nothing. The panel's place and size are in the owner's pixels; its
// title and labels are written in fonts of their 96-DPI heights times textScale.
void CreateGraphPanel(WidgetSet& widgets, HWND owner, int32_t index, const char* title, int32_t x, int32_t y,
                      int32_t width, int32_t height, DpiScale textScale = {});
void DrawGraph(WidgetSet& widgets, HWND owner, int32_t index, const GraphView& view);
// RoundScaleLimit (ScaleLimits.h) widens and rounds one scale limit.

// Text panels: the text is drawn left-aligned from the top, several lines, '&' shown as itself.
// A null text leaves only the background.
void CreateTextPanel(WidgetSet& widgets, HWND owner, int32_t index, int32_t x, int32_t y, int32_t width,
                     int32_t height, const char* text, int32_t fontHeight, const char* fontFace);
void SetTextPanelText(WidgetSet& widgets, HWND owner, int32_t index, const char* text);

// Level bars: a vertical bar from minimum to maximum on a scale of fullScale, blue inside the
// range and red when the signal reaches either end.
void CreateLevelBar(WidgetSet& widgets, HWND owner, int32_t index, int32_t x, int32_t y, uint32_t width,
                    uint32_t height, uint32_t fullScale);
void SetLevelBar(WidgetSet& widgets, HWND owner, int32_t index, uint32_t maximum, uint32_t minimum);
