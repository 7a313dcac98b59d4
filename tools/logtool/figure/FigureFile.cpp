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

bool WriteFigure(const Figure& figure, const std::string& path, std::string& error)
{
    const PictureFormat format = PictureFormatOf(path);
    if (format == PictureFormat::Unknown) {
        error = "the picture's name must end in .png or .svg: " + path;
        return false;
    }
    if (figure.width < 16 || figure.height < 16 || figure.width > 20000 || figure.height > 20000) {
        error = "a picture must be 16 to 20000 pixels wide and high";
        return false;
    }
    const Scene scene = DrawFigure(figure);
    if (!SceneIsFinite(scene)) {
        error = "the values are too large to draw: the picture's coordinates overflow (" + path + " not written)";
        return false;
    }
    if (format == PictureFormat::Svg)
        return WriteFileAtomically(path, RenderSvg(scene), error);
    std::vector<unsigned char> png;
    if (!RenderPng(scene, png, error))
        return false;
    return WriteFileAtomically(path, std::string(png.begin(), png.end()), error);
}
