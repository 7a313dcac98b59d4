#include "Scene.h"

#include <cmath>

namespace {

bool Finite(const Point& point)
{
    return std::isfinite(point.x) && std::isfinite(point.y);
}

bool AllFinite(const std::vector<Point>& points)
{
    for (const Point& point : points)
        if (!Finite(point))
            return false;
    return true;
}

struct ItemIsFinite {
    bool operator()(const SceneStroke& stroke) const
    {
        for (const Point& point : stroke.points)
            if (!Finite(point) && !std::isnan(point.x) && !std::isnan(point.y))
                return false;
        return std::isfinite(stroke.width);
    }
    bool operator()(const SceneMarkers& markers) const
    {
        return AllFinite(markers.centres) && std::isfinite(markers.radius);
    }
    bool operator()(const SceneFill& fill) const
    {
        return AllFinite(fill.polygon) && std::isfinite(fill.opacity) && std::isfinite(fill.outlineWidth);
    }
    bool operator()(const SceneText& text) const
    {
        return std::isfinite(text.x) && std::isfinite(text.y) && std::isfinite(text.size);
    }
};

} // namespace

bool SceneIsFinite(const Scene& scene)
{
    for (const PixelRect& clip : scene.clips)
        if (!Finite({clip.left, clip.top}) || !Finite({clip.right, clip.bottom}))
            return false;
    for (const SceneItem& item : scene.items)
        if (!std::visit(ItemIsFinite{}, item))
            return false;
    return true;
}
