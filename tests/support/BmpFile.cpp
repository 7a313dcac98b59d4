#include "BmpFile.h"

#include <cstdio>

bool SaveBmp(const Picture& picture, const std::string& path)
{
    if (picture.Pixels.empty())
        return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    BITMAPFILEHEADER fileHeader{};
    BITMAPINFOHEADER header{};
    const uint32_t imageSize = static_cast<uint32_t>(picture.Pixels.size() * 4);
    fileHeader.bfType = 0x4D42; // "BM"
    fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
    fileHeader.bfSize = fileHeader.bfOffBits + imageSize;
    header.biSize = sizeof header;
    header.biWidth = picture.Width;
    header.biHeight = -picture.Height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = imageSize;
    const bool written = std::fwrite(&fileHeader, sizeof fileHeader, 1, file) == 1 &&
                         std::fwrite(&header, sizeof header, 1, file) == 1 &&
                         std::fwrite(picture.Pixels.data(), 4, picture.Pixels.size(), file) == picture.Pixels.size();
    return std::fclose(file) == 0 && written;
}
