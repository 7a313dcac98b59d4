// Writing a figure to a file, PNG or SVG by the name's extension (.png, .svg, either case). The
// picture goes to a temporary file beside the target, renamed onto it once complete, so a
// failure never leaves half a picture (nor harms an existing file of that name).
#pragma once

#include "Figure.h"

#include <string>

enum class PictureFormat { Png, Svg, Unknown };

PictureFormat PictureFormatOf(const std::string& path);
// The figure as the bytes of a PNG or SVG file; false with an error (unknown format, no font for
// a PNG, a size out of range).
bool RenderFigure(const Figure& figure, PictureFormat format, std::string& bytes, std::string& error);
// False with an error (unknown extension, no font for a PNG, cannot write) and no file written.
bool WriteFigure(const Figure& figure, const std::string& path, std::string& error);
