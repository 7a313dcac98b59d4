// The picture font damaged by the input (byte edits at chosen places, and a cut), then checked:
// a font the check passes must be safe for the rasteriser, so every glyph is measured, outlined,
// kerned and drawn under the sanitizers. A read outside the file is a finding.
#include "render/FontCheck.h"
#include "FuzzInput.h"

#include <stb_truetype.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace {

const std::vector<unsigned char>& SoundFont()
{
    static const std::vector<unsigned char> font = [] {
        std::ifstream file(KALVIX_FUZZ_FONT, std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }();
    return font;
}

void UseEveryGlyph(const std::vector<unsigned char>& font, uint32_t glyphCount)
{
    stbtt_fontinfo info{};
    FUZZ_CHECK(stbtt_InitFont(&info, font.data(), stbtt_GetFontOffsetForIndex(font.data(), 0)));
    const float scale = stbtt_ScaleForMappingEmToPixels(&info, 14.0f);
    for (char32_t c = 0; c < 0x3000; c += 7)
        FUZZ_CHECK(stbtt_FindGlyphIndex(&info, static_cast<int>(c)) >= 0);
    for (uint32_t glyph = 0; glyph < glyphCount; ++glyph) {
        int advance = 0, bearing = 0, x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        stbtt_GetGlyphHMetrics(&info, static_cast<int>(glyph), &advance, &bearing);
        stbtt_GetGlyphKernAdvance(&info, static_cast<int>(glyph), static_cast<int>((glyph * 31) % glyphCount));
        stbtt_vertex* vertices = nullptr;
        stbtt_GetGlyphShape(&info, static_cast<int>(glyph), &vertices);
        stbtt_FreeShape(&info, vertices);
        stbtt_GetGlyphBitmapBox(&info, static_cast<int>(glyph), scale, scale, &x0, &y0, &x1, &y1);
        // Outlines are read whole above; drawing every eighth glyph keeps runs quick. The
        // picture code skips glyphs with boxes this large too.
        if (glyph % 8 != 0 || x1 - x0 > 200 || y1 - y0 > 200)
            continue;
        int width = 0, height = 0;
        unsigned char* bitmap = stbtt_GetGlyphBitmap(&info, scale, scale, static_cast<int>(glyph), &width, &height,
                                                     nullptr, nullptr);
        stbtt_FreeBitmap(bitmap, nullptr);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<unsigned char> font = SoundFont();
    FUZZ_CHECK(!font.empty());
    FuzzInput input(data, size);
    // The first word picks the cut (0: none); then each edit is a place and a byte. Most places
    // fall in the first 64 KiB, where the directory, the maps and the kerning tables are.
    const uint32_t cut = input.Take<uint32_t>();
    if (cut != 0)
        font.resize(std::min<size_t>(font.size(), cut % (font.size() + 1)));
    while (input.Left() >= 5 && !font.empty()) {
        const uint32_t place = input.Take<uint32_t>();
        const size_t at = (place & 0x80000000u) ? place % font.size() : place % std::min<size_t>(font.size(), 65536);
        font[at] = input.Take<uint8_t>();
    }
    const FontCheckResult result = CheckTrueTypeFont(font);
    if (!result.usable) {
        FUZZ_CHECK(!result.problem.empty());
        return 0;
    }
    UseEveryGlyph(font, result.glyphCount);
    return 0;
}
