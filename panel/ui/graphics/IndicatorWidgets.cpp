// Text panels and level bars.
#include "LevelBarGeometry.h"
#include "Surface.h"
#include "Widgets.h"

namespace {

TextPanel* TextPanelAt(int32_t index)
{
    return index >= 0 && index < TextPanelCount ? &TextPanels[index] : nullptr;
}

LevelBar* LevelBarAt(int32_t index)
{
    return index >= 0 && index < LevelBarCount ? &LevelBars[index] : nullptr;
}

bool Created(const TextPanel& p)
{
    return SurfaceExists(p.DrawSurface) && p.Width != 0 && p.Height != 0;
}

bool Created(const LevelBar& b)
{
    return SurfaceExists(b.DrawSurface) && b.Width != 0 && b.Height != 0;
}

bool Untouched(const TextPanel& p)
{
    return !SurfaceExists(p.DrawSurface) && p.Width == 0 && p.Height == 0;
}

bool Untouched(const LevelBar& b)
{
    return !SurfaceExists(b.DrawSurface) && b.Width == 0 && b.Height == 0;
}

void DrawPanelText(HWND owner, const TextPanel& p, const char* text)
{
    HDC dc = p.DrawSurface.Dc;
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
    HDC dc = b.DrawSurface.Dc;
    FillMenuColour(dc, static_cast<int32_t>(b.Width), static_cast<int32_t>(b.Height));
    RECT edge{0, 0, static_cast<LONG>(b.Width), static_cast<LONG>(b.Height)};
    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
}

} // namespace

void CreateTextPanel(HWND owner, int32_t index, int32_t x, int32_t y, int32_t width, int32_t height,
                     const char* text, int32_t fontHeight, const char* fontFace)
{
    TextPanel* p = TextPanelAt(index);
    if (!p || !Untouched(*p))
        return;
    TextPanel made{};
    made.X = x;
    made.Y = y;
    made.Width = width;
    made.Height = height;
    if (!CreateSurface(owner, width, height, made.DrawSurface))
        return;
    made.Font = CreateFontA(fontHeight, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, fontFace);
    if (made.Font)
        SelectObject(made.DrawSurface.Dc, made.Font); // released with the surface's context
    *p = made;
    DrawPanelText(owner, *p, text);
}

void SetTextPanelText(HWND owner, int32_t index, const char* text)
{
    TextPanel* p = TextPanelAt(index);
    if (!p || !Created(*p))
        return;
    DrawPanelText(owner, *p, text);
}

void CreateLevelBar(HWND owner, int32_t index, int32_t x, int32_t y, uint32_t width, uint32_t height, uint32_t fullScale)
{
    LevelBar* b = LevelBarAt(index);
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
    if (!CreateSurface(owner, static_cast<int32_t>(width), static_cast<int32_t>(height), made.DrawSurface))
        return;
    *b = made;
    DrawEmptyBar(*b);
    InvalidateWidget(owner, b->X, b->Y, static_cast<int32_t>(b->Width), static_cast<int32_t>(b->Height));
}

void SetLevelBar(HWND owner, int32_t index, uint32_t maximum, uint32_t minimum)
{
    LevelBar* b = LevelBarAt(index);
    if (!b || !Created(*b))
        return;
    DrawEmptyBar(*b);
    LevelBarShape shape = LevelBarShapeFor(b->Width, b->Height, b->FullScale, maximum, minimum);
    if (shape.Drawn) {
        LOGBRUSH brush{BS_SOLID, shape.Clipped ? RGB(255, 0, 0) : RGB(0, 0, 255), 0};
        HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT, shape.PenWidth, &brush, 0, nullptr);
        HDC dc = b->DrawSurface.Dc;
        HGDIOBJ former = SelectObject(dc, pen);
        MoveToEx(dc, static_cast<int>(shape.X), static_cast<int>(shape.Top), nullptr);
        LineTo(dc, static_cast<int>(shape.X), static_cast<int>(shape.Bottom));
        SelectObject(dc, former);
        DeleteObject(pen);
    }
    InvalidateWidget(owner, b->X, b->Y, static_cast<int32_t>(b->Width), static_cast<int32_t>(b->Height));
}
