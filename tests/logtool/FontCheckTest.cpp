// A damaged font is refused by name before the rasteriser reads it; a sound one is untouched.
#include "data/PathText.h"
#include "figure/FigureFile.h"
#include "render/FontCheck.h"
#include "PictureTestSupport.h"
#include "TestLogs.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ReadFont()
{
    const std::string text = ReadText(KALVIX_LOG_FONT_FILE);
    return Bytes(text.begin(), text.end());
}

uint32_t Read32(const Bytes& font, size_t at)
{
    return uint32_t(font[at]) << 24 | uint32_t(font[at + 1]) << 16 | uint32_t(font[at + 2]) << 8 | font[at + 3];
}

void Write16(Bytes& font, size_t at, uint32_t value)
{
    font[at] = static_cast<unsigned char>(value >> 8);
    font[at + 1] = static_cast<unsigned char>(value);
}

// Where the table of that tag starts (the tests' font is a plain TrueType file).
size_t TableAt(const Bytes& font, const char* tag)
{
    const size_t tables = size_t(font[4]) << 8 | font[5];
    for (size_t i = 0; i < tables; ++i)
        if (std::string(font.begin() + 12 + 16 * i, font.begin() + 16 + 16 * i) == tag)
            return Read32(font, 12 + 16 * i + 8);
    ADD_FAILURE() << "no table " << tag;
    return 0;
}

// The outline of glyph `glyph` (long loca offsets, as the tests' font has).
size_t GlyphAt(const Bytes& font, uint32_t glyph)
{
    return TableAt(font, "glyf") + Read32(font, TableAt(font, "loca") + 4 * glyph);
}

} // namespace

TEST(FontCheck, DamagedFontsAreRefusedWithWhatIsWrong)
{
    const Bytes sound = ReadFont();
    const FontCheckResult good = CheckTrueTypeFont(sound);
    ASSERT_TRUE(good.usable) << good.problem;
    ASSERT_GT(good.glyphCount, 1000u);
    ASSERT_EQ(Read32(sound, 0), 0x00010000u);

    const struct {
        const char* what;
        std::function<void(Bytes&)> damage;
        const char* problem;
    } cases[] = {
        {"empty", [](Bytes& f) { f.clear(); }, "too short"},
        {"cut in half", [](Bytes& f) { f.resize(f.size() / 2); }, "ends beyond the file"},
        {"PostScript outlines", [](Bytes& f) { f[0] = 'O', f[1] = 'T', f[2] = 'T', f[3] = 'O'; }, "CFF"},
        {"no font at all", [](Bytes& f) { f[0] = 'G'; }, "not a TrueType font"},
        {"a directory of 65535 tables", [](Bytes& f) { Write16(f, 4, 0xFFFF); }, "table directory"},
        {"no units per em", [](Bytes& f) { Write16(f, TableAt(f, "head") + 18, 0); }, "units per em"},
        {"more metrics than glyphs", [](Bytes& f) { Write16(f, TableAt(f, "hhea") + 34, 0xFFFF); }, "horizontal metrics"},
        {"a glyph ending before it starts",
         [](Bytes& f) { std::fill_n(f.begin() + TableAt(f, "loca") + 4 * 40, 4, 0xFF); }, "glyph 39 lies outside"},
        {"a glyph made of itself",
         [](Bytes& f) {
             const size_t at = GlyphAt(f, 36);
             Write16(f, at, 0xFFFF);           // a composite
             Write16(f, at + 10, 0x0002);      // byte arguments, no more components
             Write16(f, at + 12, 36);          // its component: glyph 36
         },
         "glyph 36 is made of itself"},
        {"a glyph box turned inside out", [](Bytes& f) { Write16(f, GlyphAt(f, 36) + 6, 0x8000); }, "inside out"},
        {"contours ending out of order",
         [](Bytes& f) {
             const size_t at = GlyphAt(f, 36);
             ASSERT_GT(f[at + 1], 1) << "glyph 36 should have two contours or more";
             Write16(f, at + 10, 0xFFF0);
         },
         "out of order"},
        {"a glyph's points beyond it",
         [](Bytes& f) {
             const size_t at = GlyphAt(f, 36);
             for (size_t i = 0; i < f[at + 1]; ++i)
                 Write16(f, at + 10 + 2 * i, 0xFFF0 + i);
         },
         "glyph's"},
        {"a character map beyond its table",
         [](Bytes& f) {
             const size_t cmap = TableAt(f, "cmap");
             for (size_t i = 0; i < (size_t(f[cmap + 2]) << 8 | f[cmap + 3]); ++i)
                 std::fill_n(f.begin() + cmap + 4 + 8 * i + 4, 4, 0x7F);
         },
         "character map lies outside"},
        {"a GPOS lookup list beyond its table", [](Bytes& f) { Write16(f, TableAt(f, "GPOS") + 8, 0xFFF0); }, "GPOS"},
    };
    for (const auto& c : cases) {
        Bytes font = sound;
        c.damage(font);
        const FontCheckResult result = CheckTrueTypeFont(font);
        EXPECT_FALSE(result.usable) << c.what;
        EXPECT_NE(result.problem.find(c.problem), std::string::npos) << c.what << ": " << result.problem;
    }
}

TEST(FontCheck, APngWithADamagedFontFailsNamingTheFontAndWritesNothing)
{
    ScratchDirectory scratch;
    Bytes font = ReadFont();
    font.resize(font.size() / 3);
    const std::string fontPath = scratch.File("damaged.ttf");
    std::ofstream(PathFromUtf8(fontPath), std::ios::binary).write(reinterpret_cast<const char*>(font.data()),
                                                                  static_cast<std::streamsize>(font.size()));
    const ScopedEnvironment damagedFont("KALVIX_LOG_FONT", fontPath);
    std::string error;
    EXPECT_FALSE(WriteFigure(MakeBodeFigure({ReferenceCurve()}, ""), scratch.File("bode.png"), error));
    EXPECT_NE(error.find(fontPath + " cannot be used"), std::string::npos) << error;
    EXPECT_EQ(scratch.Names(), std::vector<std::string>{"damaged.ttf"});
}
