#include "Surface.h"

bool CreateSurface(HWND owner, int32_t width, int32_t height, Surface& surface)
{
    surface = {};
    if (width <= 0 || height <= 0)
        return false;
    HDC screen = GetDC(owner);
    if (!screen)
        return false;
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = dc ? CreateCompatibleBitmap(screen, width, height) : nullptr;
    ReleaseDC(owner, screen);
    if (!bitmap) {
        if (dc)
            DeleteDC(dc);
        return false;
    }
    surface.Dc = dc;
    surface.Bitmap = bitmap;
    surface.FormerBitmap = SelectObject(dc, bitmap);
    return true;
}

void ReleaseSurface(Surface& surface)
{
    if (surface.Dc) {
        if (surface.FormerBitmap)
            SelectObject(surface.Dc, surface.FormerBitmap);
        DeleteDC(surface.Dc);
    }
    if (surface.Bitmap)
        DeleteObject(surface.Bitmap);
    surface = {};
}

bool SurfaceExists(const Surface& surface)
{
    return surface.Dc != nullptr;
}

void InvalidateWidget(HWND owner, int32_t x, int32_t y, int32_t width, int32_t height)
{
    if (!owner)
        return;
    RECT rect{x, y, x + width, y + height};
    InvalidateRect(owner, &rect, FALSE);
}

void FillMenuColour(HDC dc, int32_t width, int32_t height)
{
    RECT rect{0, 0, width, height};
    FillRect(dc, &rect, GetSysColorBrush(COLOR_MENU));
}
