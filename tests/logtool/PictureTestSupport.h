// Shared by the picture tests: the reference spectrum as plot curves, a model curve, a scratch
// directory, PNG decoding and a tag-balance check of SVG text.
#pragma once

#include "figure/Figure.h"
#include "figure/ImpedanceFigures.h"
#include "render/Raster.h"

#include <filesystem>
#include <string>
#include <vector>

// two-zarc-synthetic.csv as markers, labelled by its file name.
PlotCurve ReferenceCurve();
// The reference's true model, R0 + two Zarc arcs, at `frequencies`, as a line.
PlotCurve TwoZarcModel(const std::vector<double>& frequencies);

// A fresh directory under the system's temporary directory, removed with everything in it.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const;   // UTF-8 path of a file in it
    std::vector<std::string> Names() const;            // what it holds, sorted

private:
    std::filesystem::path path_;
};

// A PNG file decoded to RGB; width 0 when it does not decode.
RgbImage ReadPng(const std::string& path);
std::string ReadText(const std::string& path);

// Empty when every element of `svg` is closed in order (start tags, end tags, self-closing
// tags; the XML declaration skipped), else what is wrong.
std::string SvgTagBalanceProblem(const std::string& svg);
size_t CountOccurrences(const std::string& text, const std::string& what);

// The font the tests draw with: found in the directory of the build's font file.
void UseTestFont();

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value);
    ~ScopedEnvironment();

private:
    std::string name_;
    bool hadValue_ = false;
    std::string oldValue_;
};
