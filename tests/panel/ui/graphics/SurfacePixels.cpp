#include "SurfacePixels.h"

#include "BmpFile.h"
#include "Picture.h"
#include "ScratchFiles.h"
#include "Widgets.h"

COLORREF PixelAt(const OffscreenSurface& surface, int32_t x, int32_t y)
{
    return GetPixel(surface.Dc(), x, y);
}

std::vector<uint32_t> PixelsOf(const OffscreenSurface& surface, int32_t width, int32_t height)
{
    return CopyPicture(surface.Dc(), 0, 0, width, height).Pixels;
}

int32_t CountColour(const OffscreenSurface& surface, COLORREF colour, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    int32_t n = 0;
    for (int32_t y = top; y < bottom; ++y)
        for (int32_t x = left; x < right; ++x)
            n += PixelAt(surface, x, y) == colour;
    return n;
}

std::string SaveBitmap(const OffscreenSurface& surface, int32_t width, int32_t height, const char* fileName)
{
    const std::string path = TestFolder() + fileName;
    return SaveBmp(CopyPicture(surface.Dc(), 0, 0, width, height), path) ? path : std::string{};
}

COLORREF MenuColour()
{
    return GetSysColor(COLOR_MENU);
}
