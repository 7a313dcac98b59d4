// The shapes and text of a laid-out figure: grid, bands, series, axes, ticks, titles, legend.
#pragma once

#include "Figure.h"
#include "FigureLayout.h"
#include "render/Scene.h"

Scene DrawFigure(const Figure& figure, const FigureLayout& layout);
// LayoutFigure, then DrawFigure.
Scene DrawFigure(const Figure& figure);
