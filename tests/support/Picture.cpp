#include "Picture.h"

uint32_t Picture::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= Width || y >= Height)
        return 0xFFFFFFFF;
    return Pixels[static_cast<size_t>(y) * Width + x];
}

Picture CopyPicture(HDC source, int x, int y, int width, int height)
{
    Picture picture;
    if (width <= 0 || height <= 0)
        return picture;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(source);
    if (!bitmap || !memory) {
        if (memory)
            DeleteDC(memory);
        if (bitmap)
            DeleteObject(bitmap);
        return picture;
    }
    HGDIOBJ former = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    const uint32_t* first = static_cast<const uint32_t*>(bits);
    picture.Width = width;
    picture.Height = height;
    picture.Pixels.assign(first, first + static_cast<size_t>(width) * height);
    for (uint32_t& pixel : picture.Pixels)
        pixel &= 0x00FFFFFF;
    SelectObject(memory, former);
    DeleteDC(memory);
    DeleteObject(bitmap);
    return picture;
}

std::vector<uint32_t> PixelsIn(const Picture& picture, RECT area)
{
    std::vector<uint32_t> pixels;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            pixels.push_back(picture.At(x, y));
    return pixels;
}

int CountPixels(const Picture& picture, RECT area, bool (*kind)(uint32_t))
{
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            n += kind(picture.At(x, y)) ? 1 : 0;
    return n;
}
