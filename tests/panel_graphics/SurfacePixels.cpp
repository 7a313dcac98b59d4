#include "SurfacePixels.h"

#include "Widgets.h"

#include <cstdio>

COLORREF PixelAt(const Surface& surface, int32_t x, int32_t y)
{
    return GetPixel(surface.Dc, x, y);
}

std::vector<uint32_t> PixelsOf(const Surface& surface, int32_t width, int32_t height)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    // GetDIBits wants the bitmap out of any context; borrow it and put it back.
    HBITMAP spare = CreateCompatibleBitmap(surface.Dc, 1, 1);
    SelectObject(surface.Dc, spare);
    GetDIBits(surface.Dc, surface.Bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    SelectObject(surface.Dc, surface.Bitmap);
    DeleteObject(spare);
    return pixels;
}

int32_t CountColour(const Surface& surface, COLORREF colour, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    int32_t n = 0;
    for (int32_t y = top; y < bottom; ++y)
        for (int32_t x = left; x < right; ++x)
            n += PixelAt(surface, x, y) == colour;
    return n;
}

std::string SaveBitmap(const Surface& surface, int32_t width, int32_t height, const char* fileName)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return {};
    std::string target(path, n);
    target = target.substr(0, target.find_last_of("\\/") + 1) + fileName;

    std::vector<uint32_t> pixels = PixelsOf(surface, width, height);
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER head{};
    head.biSize = sizeof(head);
    head.biWidth = width;
    head.biHeight = height; // bottom-up rows
    head.biPlanes = 1;
    head.biBitCount = 24;
    head.biCompression = BI_RGB;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(head);
    file.bfSize = file.bfOffBits + rowBytes * static_cast<uint32_t>(height);
    FILE* out = std::fopen(target.c_str(), "wb");
    if (!out)
        return {};
    std::fwrite(&file, sizeof(file), 1, out);
    std::fwrite(&head, sizeof(head), 1, out);
    std::vector<uint8_t> row(rowBytes, 0);
    for (int32_t y = height - 1; y >= 0; --y) {
        for (int32_t x = 0; x < width; ++x) {
            uint32_t p = pixels[static_cast<size_t>(y) * width + x];
            row[x * 3] = static_cast<uint8_t>(p);
            row[x * 3 + 1] = static_cast<uint8_t>(p >> 8);
            row[x * 3 + 2] = static_cast<uint8_t>(p >> 16);
        }
        std::fwrite(row.data(), 1, row.size(), out);
    }
    bool ok = std::fclose(out) == 0;
    return ok ? target : std::string{};
}

COLORREF MenuColour()
{
    return GetSysColor(COLOR_MENU);
}
