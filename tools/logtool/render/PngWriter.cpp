#include "PngWriter.h"

#include <stb_image_write.h>

#include <climits>

namespace {

const PixelRect& ClipOf(const Scene& scene, int clip, const PixelRect& canvas)
{
    return clip >= 0 && static_cast<size_t>(clip) < scene.clips.size() ? scene.clips[clip] : canvas;
}

void AppendBytes(void* context, void* data, int size)
{
    auto* bytes = static_cast<std::vector<unsigned char>*>(context);
    const auto* first = static_cast<const unsigned char*>(data);
    bytes->insert(bytes->end(), first, first + size);
}

} // namespace

RgbImage RasteriseScene(const Scene& scene, const PictureFont& font)
{
    RgbImage image(scene.width, scene.height, scene.background);
    const PixelRect canvas = CanvasRect(image);
    for (const SceneItem& item : scene.items) {
        if (const auto* stroke = std::get_if<SceneStroke>(&item)) {
            StrokePolyline(image, stroke->points, stroke->width, stroke->color, ClipOf(scene, stroke->clip, canvas));
        } else if (const auto* markers = std::get_if<SceneMarkers>(&item)) {
            FillCircles(image, markers->centres, markers->radius, markers->color, ClipOf(scene, markers->clip, canvas));
        } else if (const auto* fill = std::get_if<SceneFill>(&item)) {
            const PixelRect& clip = ClipOf(scene, fill->clip, canvas);
            FillPolygon(image, fill->polygon, fill->color, fill->opacity, clip);
            if (fill->outlineWidth > 0 && !fill->polygon.empty()) {
                std::vector<Point> outline = fill->polygon;
                outline.push_back(outline.front());
                StrokePolyline(image, outline, fill->outlineWidth, fill->outline, clip);
            }
        } else if (const auto* text = std::get_if<SceneText>(&item)) {
            font.Draw(image, *text);
        }
    }
    return image;
}

bool EncodePng(const RgbImage& image, std::vector<unsigned char>& png, std::string& error)
{
    png.clear();
    if (image.width <= 0 || image.height <= 0 || image.width > INT_MAX / 3) {
        error = "a picture of " + std::to_string(image.width) + " x " + std::to_string(image.height) +
                " pixels cannot be written";
        return false;
    }
    if (!stbi_write_png_to_func(AppendBytes, &png, image.width, image.height, 3, image.pixels.data(), image.width * 3)) {
        error = "the PNG encoder failed";
        return false;
    }
    return true;
}

bool RenderPng(const Scene& scene, std::vector<unsigned char>& png, std::string& error)
{
    std::string fontPath;
    PictureFont font;
    if (!FindPictureFont(fontPath, error) || !font.Load(fontPath, error))
        return false;
    return EncodePng(RasteriseScene(scene, font), png, error);
}
