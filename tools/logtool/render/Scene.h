// A figure placed on its canvas: shapes and text in pixel coordinates (y downwards), in drawing
// order, which the SVG and PNG writers turn into files. Series shapes are marked as such so
// that each series becomes one element (one SVG <path>).
#pragma once

#include "Color.h"

#include <string>
#include <variant>
#include <vector>

struct Point {
    double x = 0, y = 0;
};

struct PixelRect {
    double left = 0, top = 0, right = 0, bottom = 0;
    double Width() const { return right - left; }
    double Height() const { return bottom - top; }
};

constexpr int NoClip = -1;

// A line through `points`; a point with a NaN coordinate breaks it in two.
struct SceneStroke {
    std::vector<Point> points;
    Color color;
    double width = 1;
    int clip = NoClip;       // index into Scene::clips
    bool series = false;
};

// Filled circles of one radius.
struct SceneMarkers {
    std::vector<Point> centres;
    double radius = 3;
    Color color;
    int clip = NoClip;
    bool series = false;
};

// A filled polygon, possibly see-through (error bands, frames, the legend's box).
struct SceneFill {
    std::vector<Point> polygon;
    Color color;
    double opacity = 1;
    int clip = NoClip;
    Color outline;           // drawn 1 px wide when outlineWidth > 0
    double outlineWidth = 0;
};

enum class TextAnchor { Start, Middle, End };

// Text whose baseline starts, centres or ends at (x, y); turned a quarter to the left when
// `vertical` (reading upwards, as a y-axis title).
struct SceneText {
    std::string markup;      // "^{..}" marks a superscript
    double x = 0, y = 0;
    double size = 12;
    TextAnchor anchor = TextAnchor::Start;
    bool vertical = false;
    Color color;
};

using SceneItem = std::variant<SceneStroke, SceneMarkers, SceneFill, SceneText>;

struct Scene {
    int width = 0, height = 0;
    Color background{255, 255, 255};
    std::vector<PixelRect> clips;
    std::vector<SceneItem> items;
};

// Whether every coordinate the writers would put in a file is finite: texts, fills, markers,
// clips, and stroke points other than the NaN breaks. Values near the limits of a double can make
// a layout overflow; such a scene is refused rather than written with "nan" in it.
bool SceneIsFinite(const Scene& scene);
