// Text panels and level bars.
#include "LevelBarGeometry.h"
#include "Surface.h"
#include "Widgets.h"

#include <utility>

namespace {

TextPanel* TextPanelAt(WidgetSet& widgets, int32_t index)
{
    return index >= 0 && index < TextPanelCount ? &widgets.Texts[index] : nullptr;
}

LevelBar* LevelBarAt(WidgetSet& widgets, int32_t index)
{
    return index >= 0 && index < LevelBarCount ? &widgets.Bars[index] : nullptr;
}

bool Created(const TextPanel& p)
{
    return p.DrawSurface && p.Width != 0 && p.Height != 0;
}

bool Created(const LevelBar& b)
{
    return b.DrawSurface && b.Width != 0 && b.Height != 0;
}

bool Untouched(const TextPanel& p)
{
    return !p.DrawSurface && p.Width == 0 && p.Height == 0;
}

bool Untouched(const LevelBar& b)
{
    return !b.DrawSurface && b.Width == 0 && b.Height == 0;
}

void DrawPanelText(HWND owner, const TextPanel& p, const char* text)
{
    HDC dc = p.DrawSurface.Dc();
    FillMenuColour(dc, p.Width, p.Height);
    if (text) {
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, TRANSPARENT);
        RECT box{0, 0, p.Width, p.Height};
        DrawTextA(dc, text, -1, &box, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_NOCLIP);
    }
    InvalidateWidget(owner, p.X, p.Y, p.Width, p.Height);
}

void DrawEmptyBar(const LevelBar& b)
{
    HDC dc = b.DrawSurface.Dc();
    FillMenuColour(dc, static_cast<int32_t>(b.Width), static_cast<int32_t>(b.Height));
    RECT edge{0, 0, static_cast<LONG>(b.Width), static_cast<LONG>(b.Height)};
    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
}

void DrawBar(const LevelBar& b, const LevelBarShape& shape)
{
    LOGBRUSH brush{BS_SOLID, shape.Clipped ? RGB(255, 0, 0) : RGB(0, 0, 255), 0};
    OwnedPen pen(ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT, shape.PenWidth, &brush, 0, nullptr));
    HDC dc = b.DrawSurface.Dc();
    ScopedSelection selected(dc, pen.Get());
    MoveToEx(dc, static_cast<int>(shape.X), static_cast<int>(shape.Top), nullptr);
    LineTo(dc, static_cast<int>(shape.X), static_cast<int>(shape.Bottom));
}

} // namespace

void CreateTextPanel(WidgetSet& widgets, HWND owner, int32_t index, int32_t x, int32_t y, int32_t width,
                     int32_t height, const char* text, int32_t fontHeight, const char* fontFace)
{
    TextPanel* p = TextPanelAt(widgets, index);
    if (!p || !Untouched(*p))
        return;
    TextPanel made{};
    made.X = x;
    made.Y = y;
    made.Width = width;
    made.Height = height;
    made.DrawSurface = OffscreenSurface(owner, width, height);
    if (!made.DrawSurface)
        return;
    made.DrawSurface.KeepFontSelected(MakeOwnedFont(fontHeight, fontFace, DEFAULT_CHARSET));
    *p = std::move(made);
    DrawPanelText(owner, *p, text);
}

void SetTextPanelText(WidgetSet& widgets, HWND owner, int32_t index, const char* text)
{
    TextPanel* p = TextPanelAt(widgets, index);
    if (!p || !Created(*p))
        return;
    DrawPanelText(owner, *p, text);
}

void CreateLevelBar(WidgetSet& widgets, HWND owner, int32_t index, int32_t x, int32_t y, uint32_t width,
                    uint32_t height, uint32_t fullScale)
{
    LevelBar* b = LevelBarAt(widgets, index);
    if (!b || !Untouched(*b))
        return;
    if (width > INT32_MAX || height > INT32_MAX)
        return;
    LevelBar made{};
    made.X = x;
    made.Y = y;
    made.Width = width;
    made.Height = height;
    made.FullScale = fullScale;
    made.DrawSurface = OffscreenSurface(owner, static_cast<int32_t>(width), static_cast<int32_t>(height));
    if (!made.DrawSurface)
        return;
    *b = std::move(made);
    DrawEmptyBar(*b);
    InvalidateWidget(owner, b->X, b->Y, static_cast<int32_t>(b->Width), static_cast<int32_t>(b->Height));
}

void SetLevelBar(WidgetSet& widgets, HWND owner, int32_t index, uint32_t maximum, uint32_t minimum)
{
    LevelBar* b = LevelBarAt(widgets, index);
    if (!b || !Created(*b))
        return;
    DrawEmptyBar(*b);
    LevelBarShape shape = LevelBarShapeFor(b->Width, b->Height, b->FullScale, maximum, minimum);
    if (shape.Drawn)
        DrawBar(*b, shape);
    InvalidateWidget(owner, b->X, b->Y, static_cast<int32_t>(b->Width), static_cast<int32_t>(b->Height));
}
