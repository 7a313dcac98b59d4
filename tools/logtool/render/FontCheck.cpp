#include "FontCheck.h"

#include <fmt/format.h>

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

namespace {

constexpr uint32_t Tag(std::string_view name)
{
    return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 | uint32_t(uint8_t(name[2])) << 8 |
           uint32_t(uint8_t(name[3]));
}

constexpr int MostComponentDepth = 16;

// A stretch of the file [begin, end); every read is proven inside it first.
struct Region {
    uint64_t begin = 0, end = 0;
    bool Holds(uint64_t offset, uint64_t length) const
    {
        return offset >= begin && offset <= end && length <= end - offset;
    }
};

class FontChecker {
public:
    explicit FontChecker(std::span<const unsigned char> data) : data_(data) {}

    FontCheckResult Run()
    {
        FontCheckResult result;
        if (CheckAll())
            result.usable = true;
        result.problem = problem_;
        result.glyphCount = glyphCount_;
        return result;
    }

private:
    uint16_t U16(uint64_t at) const { return uint16_t(data_[at] << 8 | data_[at + 1]); }
    int16_t S16(uint64_t at) const { return static_cast<int16_t>(U16(at)); }
    uint32_t U32(uint64_t at) const { return uint32_t(U16(at)) << 16 | U16(at + 2); }

    bool Fail(std::string problem)
    {
        problem_ = std::move(problem);
        return false;
    }
    // Proves [offset, offset + length) lies inside `region`, else fails with `what`.
    bool Need(const Region& region, uint64_t offset, uint64_t length, const char* what)
    {
        return region.Holds(offset, length) || Fail(fmt::format("{} lies outside its table or the file", what));
    }

    bool CheckAll()
    {
        const Region file{0, data_.size()};
        if (!file.Holds(0, 12))
            return Fail("too short for a font");
        uint64_t start = 0;
        if (U32(0) == Tag("ttcf")) {
            if (!file.Holds(0, 16) || U32(8) == 0)
                return Fail("a font collection without fonts");
            const uint32_t version = U32(4);
            if (version != 0x00010000 && version != 0x00020000)
                return Fail("a font collection of an unknown version");
            start = U32(12);
        }
        if (!Need(file, start, 12, "the table directory"))
            return false;
        const uint32_t kind = U32(start);
        if (kind == Tag("OTTO"))
            return Fail("the font has PostScript (CFF) outlines; a TrueType font is needed");
        if (kind != 0x00010000 && kind != Tag("true"))
            return Fail("not a TrueType font");
        directory_ = start + 12;
        tableCount_ = U16(start + 4);
        if (!Need(file, directory_, 16ull * tableCount_, "the table directory"))
            return false;

        for (const std::string_view required : {"cmap", "head", "hhea", "hmtx", "maxp", "loca", "glyf"})
            if (!Table(Tag(required)))
                return problem_.empty() && Fail(fmt::format("the table {} is missing", required));
        return CheckMetrics() && CheckGlyphs() && CheckCharacterMap() && CheckKerning();
    }

    // The first table of that tag (as the rasteriser finds it), inside the file; nullopt when
    // there is none or it does not fit (then problem_ says so).
    std::optional<Region> Table(uint32_t tag)
    {
        for (uint32_t i = 0; i < tableCount_; ++i) {
            const uint64_t record = directory_ + 16ull * i;
            if (U32(record) != tag)
                continue;
            const Region table{U32(record + 8), uint64_t(U32(record + 8)) + U32(record + 12)};
            if (!Region{0, data_.size()}.Holds(table.begin, table.end - table.begin)) {
                Fail(fmt::format("the table {:c}{:c}{:c}{:c} ends beyond the file", char(tag >> 24), char(tag >> 16),
                                 char(tag >> 8), char(tag)));
                return std::nullopt;
            }
            return table;
        }
        return std::nullopt;
    }

    bool CheckMetrics()
    {
        const Region head = *Table(Tag("head")), maxp = *Table(Tag("maxp")), hhea = *Table(Tag("hhea")),
                     hmtx = *Table(Tag("hmtx"));
        if (!Need(head, head.begin, 54, "head") || !Need(maxp, maxp.begin, 6, "maxp") ||
            !Need(hhea, hhea.begin, 36, "hhea"))
            return false;
        const uint16_t unitsPerEm = U16(head.begin + 18);
        if (unitsPerEm < 16 || unitsPerEm > 16384)
            return Fail(fmt::format("{} units per em (a font has 16 to 16384)", unitsPerEm));
        longOffsets_ = U16(head.begin + 50);
        if (longOffsets_ > 1)
            return Fail("the glyph location format is neither short nor long");
        glyphCount_ = U16(maxp.begin + 4);
        if (glyphCount_ == 0)
            return Fail("the font has no glyphs");
        const uint32_t metrics = U16(hhea.begin + 34);
        if (metrics == 0 || metrics > glyphCount_)
            return Fail("the number of horizontal metrics does not suit the number of glyphs");
        return Need(hmtx, hmtx.begin, 4ull * metrics + 2ull * (glyphCount_ - metrics), "hmtx");
    }

    bool CheckGlyphs()
    {
        const Region loca = *Table(Tag("loca")), glyf = *Table(Tag("glyf"));
        const uint64_t entry = longOffsets_ ? 4 : 2;
        if (!Need(loca, loca.begin, entry * (glyphCount_ + 1ull), "loca"))
            return false;
        auto location = [&](uint32_t index) {
            const uint64_t at = loca.begin + entry * index;
            return glyf.begin + (longOffsets_ ? uint64_t(U32(at)) : 2ull * U16(at));
        };
        glyphs_.resize(glyphCount_);
        for (uint32_t glyph = 0; glyph < glyphCount_; ++glyph) {
            glyphs_[glyph] = {location(glyph), location(glyph + 1)};
            if (glyphs_[glyph].end < glyphs_[glyph].begin || glyphs_[glyph].end > glyf.end)
                return Fail(fmt::format("glyph {} lies outside the glyf table", glyph));
        }
        depth_.assign(glyphCount_, Unvisited);
        for (uint32_t glyph = 0; glyph < glyphCount_; ++glyph)
            if (!CheckGlyph(glyph, 0))
                return false;
        return true;
    }

    static constexpr int Unvisited = -1, OnPath = -2;

    bool CheckGlyph(uint32_t glyph, int depth)
    {
        if (depth_[glyph] == OnPath)
            return Fail(fmt::format("glyph {} is made of itself", glyph));
        if (depth_[glyph] != Unvisited)
            return depth + depth_[glyph] <= MostComponentDepth ||
                   Fail(fmt::format("glyph {} nests components deeper than {}", glyph, MostComponentDepth));
        const Region outline = glyphs_[glyph];
        if (outline.begin == outline.end) {
            depth_[glyph] = 0;
            return true;
        }
        if (!Need(outline, outline.begin, 10, "a glyph header"))
            return false;
        if (S16(outline.begin + 2) > S16(outline.begin + 6) || S16(outline.begin + 4) > S16(outline.begin + 8))
            return Fail(fmt::format("glyph {} has a box turned inside out", glyph));
        const int16_t contours = S16(outline.begin);
        if (contours >= 0) {
            depth_[glyph] = 0;
            return CheckSimpleGlyph(glyph, outline, contours);
        }
        depth_[glyph] = OnPath;
        int deepest = 0;
        uint64_t at = outline.begin + 10;
        for (bool more = true; more;) {
            if (!Need(outline, at, 4, "a glyph component"))
                return false;
            const uint16_t flags = U16(at);
            const uint16_t component = U16(at + 2);
            at += 4 + ((flags & 2) ? ((flags & 1) ? 4 : 2) : 0);
            at += (flags & 8) ? 2 : (flags & 0x40) ? 4 : (flags & 0x80) ? 8 : 0;
            if (!Need(outline, at, 0, "a glyph component"))
                return false;
            if (component < glyphCount_) {
                if (depth + 1 > MostComponentDepth)
                    return Fail(fmt::format("glyph {} nests components deeper than {}", glyph, MostComponentDepth));
                if (!CheckGlyph(component, depth + 1))
                    return false;
                deepest = std::max(deepest, depth_[component] + 1);
            }
            more = flags & 0x20;
        }
        depth_[glyph] = deepest;
        return true;
    }

    bool CheckSimpleGlyph(uint32_t glyph, const Region& outline, int16_t contours)
    {
        if (contours == 0)
            return true;
        const uint64_t ends = outline.begin + 10;
        if (!Need(outline, ends, 2ull * contours + 2, "a glyph's contours"))
            return false;
        for (int16_t i = 1; i < contours; ++i)
            if (U16(ends + 2ull * i) < U16(ends + 2ull * (i - 1)))
                return Fail(fmt::format("glyph {}: its contours end out of order", glyph));
        const uint32_t points = U16(ends + 2ull * (contours - 1)) + 1u;
        uint64_t at = ends + 2ull * contours;
        at += 2 + U16(at);   // the instructions
        uint64_t coordinateBytes = 0;
        for (uint32_t point = 0; point < points;) {
            if (!Need(outline, at, 1, "a glyph's point flags"))
                return false;
            const uint8_t flags = data_[at++];
            uint32_t repeat = 1;
            if (flags & 8) {
                if (!Need(outline, at, 1, "a glyph's point flags"))
                    return false;
                repeat += data_[at++];
            }
            repeat = std::min(repeat, points - point);
            const uint32_t x = (flags & 2) ? 1 : (flags & 16) ? 0 : 2;
            const uint32_t y = (flags & 4) ? 1 : (flags & 32) ? 0 : 2;
            coordinateBytes += uint64_t(repeat) * (x + y);
            point += repeat;
        }
        return Need(outline, at, coordinateBytes, "a glyph's coordinates");
    }

    // The character map the rasteriser picks (the last Unicode one) and every read its lookup
    // can make.
    bool CheckCharacterMap()
    {
        const Region cmap = *Table(Tag("cmap"));
        if (!Need(cmap, cmap.begin, 4, "cmap"))
            return false;
        const uint16_t maps = U16(cmap.begin + 2);
        if (!Need(cmap, cmap.begin + 4, 8ull * maps, "cmap's list"))
            return false;
        std::optional<uint64_t> chosen;
        for (uint16_t i = 0; i < maps; ++i) {
            const uint64_t record = cmap.begin + 4 + 8ull * i;
            const uint16_t platform = U16(record), encoding = U16(record + 2);
            if (platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10)))
                chosen = cmap.begin + U32(record + 4);
        }
        if (!chosen)
            return Fail("the font has no Unicode character map");
        const uint64_t map = *chosen;
        if (!Need(cmap, map, 2, "the character map"))
            return false;
        switch (const uint16_t format = U16(map)) {
        case 0:
            return Need(cmap, map, 4, "the character map") && Need(cmap, map, std::max<uint16_t>(U16(map + 2), 6), "the character map");
        case 6:
            return Need(cmap, map, 10, "the character map") && Need(cmap, map + 10, 2ull * U16(map + 8), "the character map");
        case 4:
            return CheckSegmentMap(cmap, map);
        case 12:
        case 13:
            return Need(cmap, map, 16, "the character map") && Need(cmap, map + 16, 12ull * U32(map + 12), "the character map");
        default:
            return Fail(fmt::format("its character map has format {}, which this program does not read", format));
        }
    }

    bool CheckSegmentMap(const Region& cmap, uint64_t map)
    {
        if (!Need(cmap, map, 14, "the character map"))
            return false;
        const uint32_t segments = U16(map + 6) / 2;
        if (segments == 0)
            return Fail("the character map has no segments");
        if (!Need(cmap, map + 14, 8ull * segments + 2, "the character map's segments"))
            return false;
        // The binary search starts at rangeShift and steps by halves of searchRange; the last
        // segment it can reach must exist.
        uint64_t reach = U16(map + 12) >> 1;
        uint32_t step = U16(map + 8) >> 1;
        for (uint32_t i = 0, steps = std::min<uint32_t>(U16(map + 10), 32); i < steps; ++i) {
            step >>= 1;
            reach += step;
        }
        if (reach >= segments)
            return Fail("the character map's search fields do not suit its segments");
        const uint64_t starts = map + 16 + 2ull * segments, rangeOffsets = map + 16 + 6ull * segments;
        for (uint32_t i = 0; i < segments; ++i) {
            const uint16_t first = U16(starts + 2ull * i), last = U16(map + 14 + 2ull * i);
            const uint64_t at = rangeOffsets + 2ull * i;
            if (U16(at) != 0 && last >= first && !Need(cmap, at + U16(at), 2ull * (last - first) + 2, "a character map glyph list"))
                return false;
        }
        return true;
    }

    // Pair kerning: GPOS when the font has one (the kern table is then not read), else kern.
    bool CheckKerning()
    {
        const auto gpos = Table(Tag("GPOS"));
        if (gpos)
            return CheckPositioning(*gpos);
        const auto kern = problem_.empty() ? Table(Tag("kern")) : std::nullopt;
        if (!kern)
            return problem_.empty();
        const Region& table = *kern;
        if (!Need(table, table.begin, 4, "kern"))
            return false;
        if (U16(table.begin + 2) == 0)
            return true;
        if (!Need(table, table.begin, 12, "kern"))
            return false;
        return U16(table.begin + 8) != 1 || Need(table, table.begin + 18, 6ull * U16(table.begin + 10), "kern's pairs");
    }

    // The largest coverage index a coverage table can give (-1 for none), after proving its
    // records readable.
    std::optional<int64_t> CoverageReach(const Region& gpos, uint64_t coverage)
    {
        if (!Need(gpos, coverage, 4, "a GPOS coverage table"))
            return std::nullopt;
        const uint16_t format = U16(coverage), count = U16(coverage + 2);
        if (format == 1)
            return Need(gpos, coverage + 4, 2ull * count, "a GPOS coverage table") ? std::optional<int64_t>(count - 1)
                                                                                    : std::nullopt;
        if (format != 2)
            return -1;
        if (!Need(gpos, coverage + 4, 6ull * count, "a GPOS coverage table"))
            return std::nullopt;
        int64_t reach = -1;
        for (uint16_t i = 0; i < count; ++i) {
            const uint64_t range = coverage + 4 + 6ull * i;
            if (U16(range + 2) >= U16(range))
                reach = std::max<int64_t>(reach, int64_t(U16(range + 4)) + U16(range + 2) - U16(range));
        }
        return reach;
    }

    bool CheckClassTable(const Region& gpos, uint64_t table)
    {
        if (!Need(gpos, table, 2, "a GPOS class table"))
            return false;
        switch (U16(table)) {
        case 1:
            return Need(gpos, table, 6, "a GPOS class table") && Need(gpos, table + 6, 2ull * U16(table + 4), "a GPOS class table");
        case 2:
            return Need(gpos, table, 4, "a GPOS class table") && Need(gpos, table + 4, 6ull * U16(table + 2), "a GPOS class table");
        default:
            return true;
        }
    }

    bool CheckPairSubtable(const Region& gpos, uint64_t subtable)
    {
        if (!Need(gpos, subtable, 8, "a GPOS pair table"))
            return false;
        const auto reach = CoverageReach(gpos, subtable + U16(subtable + 2));
        if (!reach)
            return false;
        if (*reach < 0 || U16(subtable + 4) != 4 || U16(subtable + 6) != 0)
            return true;
        if (U16(subtable) == 1) {
            if (!Need(gpos, subtable, 10, "a GPOS pair table"))
                return false;
            const uint16_t sets = U16(subtable + 8);
            if (*reach >= sets)
                return Fail("a GPOS pair table covers more glyphs than it has pair sets");
            if (!Need(gpos, subtable + 10, 2ull * sets, "a GPOS pair table"))
                return false;
            for (uint16_t i = 0; i < sets; ++i) {
                const uint64_t set = subtable + U16(subtable + 10 + 2ull * i);
                if (!Need(gpos, set, 2, "a GPOS pair set") || !Need(gpos, set + 2, 4ull * U16(set), "a GPOS pair set"))
                    return false;
            }
            return true;
        }
        if (U16(subtable) == 2) {
            if (!Need(gpos, subtable, 16, "a GPOS class pair table"))
                return false;
            return CheckClassTable(gpos, subtable + U16(subtable + 8)) &&
                   CheckClassTable(gpos, subtable + U16(subtable + 10)) &&
                   Need(gpos, subtable + 16, 2ull * U16(subtable + 12) * U16(subtable + 14), "a GPOS class pair table");
        }
        return true;
    }

    bool CheckPositioning(const Region& gpos)
    {
        if (!Need(gpos, gpos.begin, 4, "GPOS"))
            return false;
        if (U16(gpos.begin) != 1 || U16(gpos.begin + 2) != 0)
            return true;   // a version the rasteriser leaves unread
        if (!Need(gpos, gpos.begin, 10, "GPOS"))
            return false;
        const uint64_t list = gpos.begin + U16(gpos.begin + 8);
        if (!Need(gpos, list, 2, "GPOS's lookups") || !Need(gpos, list + 2, 2ull * U16(list), "GPOS's lookups"))
            return false;
        for (uint16_t i = 0, lookups = U16(list); i < lookups; ++i) {
            const uint64_t lookup = list + U16(list + 2 + 2ull * i);
            if (!Need(gpos, lookup, 6, "a GPOS lookup"))
                return false;
            if (U16(lookup) != 2)
                continue;
            const uint16_t subtables = U16(lookup + 4);
            if (!Need(gpos, lookup + 6, 2ull * subtables, "a GPOS lookup"))
                return false;
            for (uint16_t s = 0; s < subtables; ++s)
                if (!CheckPairSubtable(gpos, lookup + U16(lookup + 6 + 2ull * s)))
                    return false;
        }
        return true;
    }

    std::span<const unsigned char> data_;
    std::string problem_;
    uint64_t directory_ = 0;
    uint32_t tableCount_ = 0;
    uint32_t glyphCount_ = 0;
    uint16_t longOffsets_ = 0;
    std::vector<Region> glyphs_;
    std::vector<int> depth_;   // per glyph: Unvisited, OnPath, or the depth of components below it
};

} // namespace

FontCheckResult CheckTrueTypeFont(std::span<const unsigned char> data)
{
    return FontChecker(data).Run();
}
