// The six drawn widgets of the main window: zeroed at window creation, copied to the window on
// every paint and released at window destruction.
#include "Surface.h"
#include "Widgets.h"

GraphPanel GraphPanels[GraphPanelCount];
TextPanel TextPanels[TextPanelCount];
LevelBar LevelBars[LevelBarCount];

namespace {

void Copy(HDC dc, const Surface& s, int32_t x, int32_t y, int32_t width, int32_t height)
{
    if (SurfaceExists(s) && width != 0 && height != 0)
        BitBlt(dc, x, y, width, height, s.Dc, 0, 0, SRCCOPY);
}

} // namespace

void ResetWidgets()
{
    for (GraphPanel& p : GraphPanels)
        p = {};
    for (TextPanel& p : TextPanels)
        p = {};
    for (LevelBar& b : LevelBars)
        b = {};
}

void PaintWidgets(HDC dc)
{
    for (const LevelBar& b : LevelBars)
        Copy(dc, b.DrawSurface, b.X, b.Y, static_cast<int32_t>(b.Width), static_cast<int32_t>(b.Height));
    for (const GraphPanel& p : GraphPanels)
        Copy(dc, p.FrameSurface, p.X, p.Y, p.Width, p.Height);
    for (const TextPanel& p : TextPanels)
        Copy(dc, p.DrawSurface, p.X, p.Y, p.Width, p.Height);
}

void ReleaseWidgets()
{
    for (GraphPanel& p : GraphPanels) {
        ReleaseSurface(p.FrameSurface);
        ReleaseSurface(p.PlotSurface);
        p = {};
    }
    // The font is put out of the text panel's context with the context itself, then deleted.
    for (TextPanel& p : TextPanels) {
        ReleaseSurface(p.DrawSurface);
        if (p.Font)
            DeleteObject(p.Font);
        p = {};
    }
    for (LevelBar& b : LevelBars) {
        ReleaseSurface(b.DrawSurface);
        b = {};
    }
}
