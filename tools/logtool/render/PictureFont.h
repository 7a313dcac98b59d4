// The font of the PNG pictures: where it is found, loading it, measuring and drawing text with
// it (superscripts, upright or turned a quarter to the left).
#pragma once

#include "Raster.h"
#include "Scene.h"

#include <memory>
#include <string>
#include <string_view>

constexpr const char* PictureFontFileName = "DejaVuSans.ttf";

// The program's directory, where the font travels with it; the front sets it at start.
void SetPictureFontSearchDirectory(const std::string& directory);

// The font file to use: the file KALVIX_LOG_FONT names, else DejaVuSans.ttf in the directory set
// above, else beside the running program (Linux), else the one the build was made with. False
// with an error saying where it looked.
bool FindPictureFont(std::string& path, std::string& error);

class PictureFont {
public:
    PictureFont();
    ~PictureFont();
    PictureFont(const PictureFont&) = delete;
    PictureFont& operator=(const PictureFont&) = delete;

    bool Load(const std::string& path, std::string& error);
    // Advance width of `markup` at `size` pixels per em.
    double TextWidth(std::string_view markup, double size) const;
    void Draw(RgbImage& image, const SceneText& text) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
