// Thinning of long lines before drawing: consecutive points that fall into one pixel column are
// reduced to their first, lowest, highest and last point, so a line of millions of points keeps
// every peak and is drawn at the cost of a few points per column.
#pragma once

#include "render/Scene.h"

#include <vector>

// Points in pixels; a point with a NaN coordinate is a break and stays one (repeats collapse).
std::vector<Point> ReducePerColumn(const std::vector<Point>& points);

// A band between an upper and a lower edge (pixels, same x for both): per column the topmost
// upper and the bottommost lower point are kept. Returns closed polygons, one per stretch without
// a break (a NaN in any coordinate).
std::vector<std::vector<Point>> BandPolygons(const std::vector<Point>& upper, const std::vector<Point>& lower);
