// A scene as SVG text: one <path> per series (its line, or its markers as circles), other lines
// as <polyline>, fills as <polygon>, text as <text> with escaped content; numbers with '.'.
#pragma once

#include "Scene.h"

#include <string>

std::string RenderSvg(const Scene& scene);
