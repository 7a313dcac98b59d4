#include "FigureFile.h"

#include "FigureDrawing.h"
#include "data/PathText.h"
#include "render/PngWriter.h"
#include "render/SvgWriter.h"
#include "data/AtomicFile.h"

#include <algorithm>

namespace {

std::string LowerExtension(const std::string& path)
{
    std::string extension = PathToUtf8(PathFromUtf8(path).extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return extension;
}

} // namespace

PictureFormat PictureFormatOf(const std::string& path)
{
    const std::string extension = LowerExtension(path);
    return extension == ".png" ? PictureFormat::Png : extension == ".svg" ? PictureFormat::Svg : PictureFormat::Unknown;
}

bool RenderFigure(const Figure& figure, PictureFormat format, std::string& bytes, std::string& error)
{
    if (format == PictureFormat::Unknown) {
        error = "a picture is PNG or SVG";
        return false;
    }
    if (figure.width < 16 || figure.height < 16 || figure.width > 20000 || figure.height > 20000) {
        error = "a picture must be 16 to 20000 pixels wide and high";
        return false;
    }
    const Scene scene = DrawFigure(figure);
    if (!SceneIsFinite(scene)) {
        error = "the values are too large to draw: the picture's coordinates overflow";
        return false;
    }
    if (format == PictureFormat::Svg) {
        bytes = RenderSvg(scene);
        return true;
    }
    std::vector<unsigned char> png;
    if (!RenderPng(scene, png, error))
        return false;
    bytes.assign(png.begin(), png.end());
    return true;
}

bool WriteFigure(const Figure& figure, const std::string& path, std::string& error)
{
    const PictureFormat format = PictureFormatOf(path);
    if (format == PictureFormat::Unknown) {
        error = "the picture's name must end in .png or .svg: " + path;
        return false;
    }
    std::string bytes;
    return RenderFigure(figure, format, bytes, error) && WriteFileAtomically(path, bytes, error);
}
