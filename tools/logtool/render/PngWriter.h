// A scene as a PNG picture: rasterised with anti-aliasing, its text drawn with the picture font,
// encoded by stb_image_write.
#pragma once

#include "PictureFont.h"
#include "Raster.h"
#include "Scene.h"

#include <string>
#include <vector>

RgbImage RasteriseScene(const Scene& scene, const PictureFont& font);
bool EncodePng(const RgbImage& image, std::vector<unsigned char>& png, std::string& error);
// Finds and loads the font, rasterises and encodes; false with an error (no font, ...).
bool RenderPng(const Scene& scene, std::vector<unsigned char>& png, std::string& error);
