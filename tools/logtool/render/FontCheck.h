// A TrueType font file checked before the rasteriser touches it. The rasteriser trusts every
// offset and count in the file; this check walks the same structures it reads (the table
// directory, head, hhea, hmtx, maxp, the character map it picks, loca, every glyph outline with
// its components, kern and GPOS pair kerning) and proves each read lies inside the file, so a
// damaged or hostile font is refused by name instead of crashing the picture code.
#pragma once

#include <cstdint>
#include <span>
#include <string>

struct FontCheckResult {
    bool usable = false;
    std::string problem;      // what is wrong, when not usable ("table glyf ends beyond the file")
    uint32_t glyphCount = 0;  // from maxp: glyph indices at or beyond it must not be used
};

FontCheckResult CheckTrueTypeFont(std::span<const unsigned char> data);

// Fonts larger than this are refused before they are read whole.
constexpr uint64_t LargestFontBytes = 64ull << 20;
