#include "PictureFont.h"

#include "FontCheck.h"
#include "PlotText.h"
#include "data/PathText.h"
#include "data/SmallFile.h"

#include <stb_truetype.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

namespace {

std::string& SearchDirectory()
{
    static std::string directory;
    return directory;
}

bool Readable(const std::string& path)
{
    std::error_code error;
    const auto status = std::filesystem::status(PathFromUtf8(path), error);
    return !error && std::filesystem::is_regular_file(status) && std::ifstream(PathFromUtf8(path), std::ios::binary).good();
}

std::string InDirectory(const std::string& directory, const char* name)
{
    return PathToUtf8(PathFromUtf8(directory) / name);
}

// KALVIX_LOG_FONT as UTF-8 (on Windows read wide, so a font in a folder of any name is found).
std::string NamedFont()
{
#ifdef _WIN32
    const wchar_t* named = _wgetenv(L"KALVIX_LOG_FONT");
    return named ? Utf8FromWide(named) : "";
#else
    const char* named = std::getenv("KALVIX_LOG_FONT");
    return named ? named : "";
#endif
}

} // namespace

void SetPictureFontSearchDirectory(const std::string& directory)
{
    SearchDirectory() = directory;
}

bool FindPictureFont(std::string& path, std::string& error)
{
    if (const std::string named = NamedFont(); !named.empty()) {
        if (Readable(named)) {
            path = named;
            return true;
        }
        error = "the font KALVIX_LOG_FONT names cannot be read: " + named;
        return false;
    }
    std::vector<std::string> candidates;
    if (!SearchDirectory().empty())
        candidates.push_back(InDirectory(SearchDirectory(), PictureFontFileName));
#ifdef __linux__
    std::error_code linkError;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", linkError);
    if (!linkError)
        candidates.push_back(PathToUtf8(program.parent_path() / PictureFontFileName));
#endif
#ifdef KALVIX_LOG_FONT_PATH
    candidates.push_back(KALVIX_LOG_FONT_PATH);
#endif
    std::string tried;
    for (const std::string& candidate : candidates) {
        if (Readable(candidate)) {
            path = candidate;
            return true;
        }
        tried += (tried.empty() ? "" : ", ") + candidate;
    }
    error = "no font for the PNG picture (looked for " + (tried.empty() ? std::string("none") : tried) +
            "); set KALVIX_LOG_FONT to a TrueType font file, or write an SVG picture, which needs none";
    return false;
}

struct PictureFont::State {
    std::vector<unsigned char> data;
    stbtt_fontinfo info{};
    uint32_t glyphCount = 0;

    // The glyph of a character; glyph 0 (the font's "missing" glyph) for characters the font
    // lacks or maps beyond its glyphs.
    int Glyph(char32_t c) const
    {
        const int glyph = stbtt_FindGlyphIndex(&info, static_cast<int>(c));
        return glyph > 0 && static_cast<uint32_t>(glyph) < glyphCount ? glyph : 0;
    }
};

PictureFont::PictureFont() : state_(std::make_unique<State>()) {}
PictureFont::~PictureFont() = default;

bool PictureFont::Load(const std::string& path, std::string& error)
{
    std::string bytes;
    const SmallFileRead read = ReadSmallFile(path, LargestFontBytes, bytes);
    if (read != SmallFileRead::Read) {
        error = read == SmallFileRead::CannotOpen ? "cannot open the font " + path
                : read == SmallFileRead::CannotRead ? "cannot read the font " + path
                : "the font " + path + " is larger than " + std::to_string(LargestFontBytes >> 20) + " MiB";
        return false;
    }
    std::vector<unsigned char>& data = state_->data;
    data.assign(bytes.begin(), bytes.end());
    const FontCheckResult check = CheckTrueTypeFont(data);
    const int offset = check.usable ? stbtt_GetFontOffsetForIndex(data.data(), 0) : -1;
    if (offset < 0 || !stbtt_InitFont(&state_->info, data.data(), offset)) {
        error = "the font " + path + " cannot be used: " + (check.usable ? "not a TrueType font" : check.problem);
        data.clear();
        return false;
    }
    state_->glyphCount = check.glyphCount;
    return true;
}

double PictureFont::TextWidth(std::string_view markup, double size) const
{
    if (state_->data.empty())
        return EstimateTextWidth(markup, size);
    double width = 0;
    for (const TextRun& run : SplitTextRuns(markup)) {
        const float scale = stbtt_ScaleForMappingEmToPixels(&state_->info, static_cast<float>(
                                                                run.superscript ? size * SuperscriptScale : size));
        int previous = -1;
        for (char32_t c : DecodeUtf8(run.text)) {
            const int glyph = state_->Glyph(c);
            int advance = 0, bearing = 0;
            stbtt_GetGlyphHMetrics(&state_->info, glyph, &advance, &bearing);
            if (previous >= 0)
                width += scale * stbtt_GetGlyphKernAdvance(&state_->info, previous, glyph);
            width += scale * advance;
            previous = glyph;
        }
    }
    return width;
}

void PictureFont::Draw(RgbImage& image, const SceneText& text) const
{
    if (state_->data.empty())
        return;
    // The text is drawn upright into a coverage buffer first, then copied (turned or not).
    const double width = TextWidth(text.markup, text.size);
    const int bufferWidth = static_cast<int>(std::ceil(width)) + 4;
    const int baseline = static_cast<int>(std::ceil(1.15 * text.size)) + 1;
    const int bufferHeight = baseline + static_cast<int>(std::ceil(0.35 * text.size)) + 2;
    std::vector<float> coverage(static_cast<size_t>(bufferWidth) * bufferHeight, 0.0f);
    double pen = 2;
    for (const TextRun& run : SplitTextRuns(text.markup)) {
        const float scale = stbtt_ScaleForMappingEmToPixels(
            &state_->info, static_cast<float>(run.superscript ? text.size * SuperscriptScale : text.size));
        const int lift = run.superscript ? static_cast<int>(std::lround(SuperscriptRaise * text.size)) : 0;
        int previous = -1;
        for (char32_t c : DecodeUtf8(run.text)) {
            const int glyph = state_->Glyph(c);
            if (previous >= 0)
                pen += scale * stbtt_GetGlyphKernAdvance(&state_->info, previous, glyph);
            const float shift = static_cast<float>(pen - std::floor(pen));
            int glyphWidth = 0, glyphHeight = 0, offsetX = 0, offsetY = 0;
            // A glyph whose box is far larger than the text (a damaged outline) is not drawn.
            int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
            stbtt_GetGlyphBitmapBoxSubpixel(&state_->info, glyph, scale, scale, shift, 0, &x0, &y0, &x1, &y1);
            const bool sensible = x0 <= x1 && y0 <= y1 && x1 - x0 <= 4 * bufferHeight + 64 && y1 - y0 <= 4 * bufferHeight + 64;
            unsigned char* bitmap = sensible ? stbtt_GetGlyphBitmapSubpixel(&state_->info, scale, scale, shift, 0, glyph,
                                                                            &glyphWidth, &glyphHeight, &offsetX, &offsetY)
                                             : nullptr;
            const int originX = static_cast<int>(std::floor(pen)) + offsetX;
            const int originY = baseline - lift + offsetY;
            for (int y = 0; y < glyphHeight; ++y)
                for (int x = 0; x < glyphWidth; ++x) {
                    const int u = originX + x, v = originY + y;
                    if (u < 0 || v < 0 || u >= bufferWidth || v >= bufferHeight)
                        continue;
                    float& value = coverage[static_cast<size_t>(v) * bufferWidth + u];
                    value = std::min(1.0f, value + bitmap[y * glyphWidth + x] / 255.0f);
                }
            stbtt_FreeBitmap(bitmap, nullptr);
            int advance = 0, bearing = 0;
            stbtt_GetGlyphHMetrics(&state_->info, glyph, &advance, &bearing);
            pen += scale * advance;
            previous = glyph;
        }
    }
    const double anchorOffset = text.anchor == TextAnchor::Start ? 0 : text.anchor == TextAnchor::Middle ? 0.5 * width : width;
    const int anchorU = static_cast<int>(std::lround(2 + anchorOffset));
    const int anchorX = static_cast<int>(std::lround(text.x)), anchorY = static_cast<int>(std::lround(text.y));
    for (int v = 0; v < bufferHeight; ++v)
        for (int u = 0; u < bufferWidth; ++u) {
            const float value = coverage[static_cast<size_t>(v) * bufferWidth + u];
            if (value <= 0)
                continue;
            if (text.vertical)
                BlendPixel(image, anchorX + (v - baseline), anchorY + (anchorU - u), text.color, value);
            else
                BlendPixel(image, anchorX + (u - anchorU), anchorY + (v - baseline), text.color, value);
        }
}
