#include "Surface.h"

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
