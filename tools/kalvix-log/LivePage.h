// The live view's page, built into the program from live-page/ (its HTML, script and style, and
// uPlot's script and style from live-page/node_modules), and the routes that serve it.
#pragma once

#include "live/HttpReply.h"

#include <span>
#include <vector>

// Made at build time by cmake/EmbedFiles.cmake.
std::span<const EmbeddedAsset> LivePageAssets();

// "/" (the page), its scripts ("/app.js" and the modules it imports), "/style.css", "/favicon.svg",
// "/uPlot.iife.min.js", "/uPlot.min.css".
std::vector<HttpRoute> LivePageRoutes();
