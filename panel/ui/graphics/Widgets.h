// The main window's self-drawn widgets: two graph panels, two text panels and two level bars.
// Each draws into off-screen surfaces; the window's paint handling only copies the finished
// pictures (PaintWidgets), so updating them for every batch of spectra does not flicker.
// Everything here runs on the main window's thread and reports nothing: a create for a widget
// that exists, or an update for one that does not, does nothing.
#pragma once

#include <windows.h>

#include "ScaleLimits.h"

#include <cstdint>

// An off-screen drawing surface: a memory device context with its bitmap selected.
struct Surface {
    HDC Dc;
    HBITMAP Bitmap;
    HGDIOBJ FormerBitmap; // what the context held before, put back on release
};

struct GraphPanel {
    Surface PlotSurface;  // (width - 20) x (height - 30): the plot
    Surface FrameSurface; // width x height: the whole panel as shown
    int32_t X;
    int32_t Y;
    int32_t Width;
    int32_t Height;
    double HeldUpper;     // last accepted Y limits, before margin and rounding
    double HeldLower;
};

struct TextPanel {
    Surface DrawSurface;
    int32_t X;
    int32_t Y;
    int32_t Width;
    int32_t Height;
    HFONT Font;           // kept selected in the surface
};

struct LevelBar {
    Surface DrawSurface;
    int32_t X;
    int32_t Y;
    uint32_t Width;
    uint32_t Height;
    uint32_t FullScale;   // the level at the top of the bar
};

constexpr int32_t GraphPanelCount = 2;  // 0 module, 1 phase
constexpr int32_t TextPanelCount = 2;   // 0 status values, 1 module and phase table
constexpr int32_t LevelBarCount = 2;    // 0 CH-A, 1 CH-B

// The widget registry, zero until the widgets are created.
extern GraphPanel GraphPanels[GraphPanelCount];
extern TextPanel TextPanels[TextPanelCount];
extern LevelBar LevelBars[LevelBarCount];

// Registry. ResetWidgets once before any widget is created; PaintWidgets from WM_PAINT with the
// paint context (level bars, graph panels, text panels, each at its place); ReleaseWidgets when
// the window is destroyed.
void ResetWidgets();
void PaintWidgets(HDC dc);
void ReleaseWidgets();

// Graph panels. The owner is the window the panel is shown in; its rectangle there is
// invalidated (without erasing) after every completed drawing. A null owner draws for the
// screen and invalidates nothing.
void CreateGraphPanel(HWND owner, int32_t index, const char* title, int32_t x, int32_t y, int32_t width, int32_t height);
void DrawGraph(HWND owner, int32_t index, const float* xValues, const char* xUnit, const float* yValues,
               const char* yUnit, int32_t yDivisions, int32_t pointCount, float fixedMax, float fixedMin,
               COLORREF colour, int32_t xLogarithmic, int32_t yLogarithmic);
// RoundScaleLimit (ScaleLimits.h) widens and rounds one scale limit.

// Text panels: the text is drawn left-aligned from the top, several lines, '&' shown as itself.
// A null text leaves only the background.
void CreateTextPanel(HWND owner, int32_t index, int32_t x, int32_t y, int32_t width, int32_t height,
                     const char* text, int32_t fontHeight, const char* fontFace);
void SetTextPanelText(HWND owner, int32_t index, const char* text);

// Level bars: a vertical bar from minimum to maximum on a scale of fullScale, blue inside the
// range and red when the signal reaches either end.
void CreateLevelBar(HWND owner, int32_t index, int32_t x, int32_t y, uint32_t width, uint32_t height, uint32_t fullScale);
void SetLevelBar(HWND owner, int32_t index, uint32_t maximum, uint32_t minimum);
