// The tracking picture: one panel per fitted parameter, its value against time, with a band of
// plus and minus one standard error. Long recordings are drawn as lines thinned per pixel column,
// so every peak stays visible.
#pragma once

#include "Figure.h"
#include "data/TrackSeries.h"

#include <string>
#include <vector>

Figure MakeTrackFigure(const std::vector<TrackSeries>& series, const std::string& title);
