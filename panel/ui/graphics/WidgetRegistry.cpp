// The drawn widgets of one window: copied to the window on every paint and released at window
// destruction.
#include "Widgets.h"

namespace {

void Copy(HDC dc, const OffscreenSurface& s, int32_t x, int32_t y, int32_t width, int32_t height)
{
    if (s && width != 0 && height != 0)
        BitBlt(dc, x, y, width, height, s.Dc(), 0, 0, SRCCOPY);
}

} // namespace

void PaintWidgets(const WidgetSet& widgets, HDC dc)
{
    for (const LevelBar& b : widgets.Bars)
        Copy(dc, b.DrawSurface, b.X, b.Y, static_cast<int32_t>(b.Width), static_cast<int32_t>(b.Height));
    for (const GraphPanel& p : widgets.Graphs)
        Copy(dc, p.FrameSurface, p.X, p.Y, p.Width, p.Height);
    for (const TextPanel& p : widgets.Texts)
        Copy(dc, p.DrawSurface, p.X, p.Y, p.Width, p.Height);
}

// Member by member: graph panels, then text panels, then level bars, each freeing its surfaces
// (and a text panel's font) as OffscreenSurface does.
void ReleaseWidgets(WidgetSet& widgets)
{
    widgets = WidgetSet{};
}
