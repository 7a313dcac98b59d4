#include "SvgWriter.h"

#include "PlotText.h"
#include "data/NumberText.h"

#include <fmt/format.h>

#include <cmath>
#include <iterator>

namespace {

constexpr const char* FontFamily = "DejaVu Sans, Verdana, Arial, sans-serif";

class SvgText {
public:
    SvgText& operator<<(std::string_view text)
    {
        out_ += text;
        return *this;
    }
    SvgText& operator<<(double value)
    {
        const double rounded = std::round(value * 100) / 100;
        AppendCompact(out_, rounded == 0 ? 0.0 : rounded);
        return *this;
    }
    SvgText& operator<<(int value) { return *this << std::string_view(std::to_string(value)); }
    SvgText& operator<<(Color color)
    {
        fmt::format_to(std::back_inserter(out_), "#{:02x}{:02x}{:02x}", color.red, color.green, color.blue);
        return *this;
    }
    // Text content: valid UTF-8 (a malformed byte becomes U+FFFD), markup characters escaped.
    SvgText& Escaped(std::string_view raw)
    {
        for (char c : EncodeUtf8(DecodeUtf8(raw))) {
            switch (c) {
            case '&': out_ += "&amp;"; break;
            case '<': out_ += "&lt;"; break;
            case '>': out_ += "&gt;"; break;
            case '"': out_ += "&quot;"; break;
            case '\'': out_ += "&apos;"; break;
            default:
                // Control characters are not allowed in XML 1.0.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t')
                    out_ += c;
            }
        }
        return *this;
    }
    std::string Take() { return std::move(out_); }

private:
    std::string out_;
};

void ClipAttribute(SvgText& svg, int clip)
{
    if (clip != NoClip)
        svg << " clip-path=\"url(#clip" << clip << ")\"";
}

void WritePoints(SvgText& svg, const std::vector<Point>& points)
{
    bool first = true;
    for (const Point& point : points) {
        if (!first)
            svg << " ";
        svg << point.x << "," << point.y;
        first = false;
    }
}

void WriteItem(SvgText& svg, const SceneStroke& stroke)
{
    if (stroke.series) {
        // One path, broken where the line is.
        svg << "<path fill=\"none\" stroke=\"" << stroke.color << "\" stroke-width=\"" << stroke.width
            << "\" stroke-linejoin=\"round\" stroke-linecap=\"round\"";
        ClipAttribute(svg, stroke.clip);
        svg << " d=\"";
        bool pen = false;
        for (const Point& point : stroke.points) {
            if (std::isnan(point.x) || std::isnan(point.y)) {
                pen = false;
                continue;
            }
            svg << (pen ? "L" : "M") << point.x << "," << point.y;
            pen = true;
        }
        svg << "\"/>\n";
        return;
    }
    size_t start = 0;
    while (start < stroke.points.size()) {
        size_t end = start;
        while (end < stroke.points.size() && !std::isnan(stroke.points[end].x) && !std::isnan(stroke.points[end].y))
            ++end;
        if (end - start >= 2) {
            svg << "<polyline fill=\"none\" stroke=\"" << stroke.color << "\" stroke-width=\"" << stroke.width << "\"";
            ClipAttribute(svg, stroke.clip);
            svg << " points=\"";
            WritePoints(svg, {stroke.points.begin() + start, stroke.points.begin() + end});
            svg << "\"/>\n";
        }
        start = end + 1;
    }
}

void WriteItem(SvgText& svg, const SceneMarkers& markers)
{
    if (!markers.series) {
        for (const Point& centre : markers.centres)
            svg << "<circle cx=\"" << centre.x << "\" cy=\"" << centre.y << "\" r=\"" << markers.radius
                << "\" fill=\"" << markers.color << "\"/>\n";
        return;
    }
    svg << "<path fill=\"" << markers.color << "\" stroke=\"none\"";
    ClipAttribute(svg, markers.clip);
    svg << " d=\"";
    const double r = markers.radius;
    for (const Point& centre : markers.centres)
        svg << "M" << centre.x - r << "," << centre.y << "a" << r << "," << r << " 0 1,0 " << 2 * r << ",0a" << r
            << "," << r << " 0 1,0 " << -2 * r << ",0z";
    svg << "\"/>\n";
}

void WriteItem(SvgText& svg, const SceneFill& fill)
{
    svg << "<polygon fill=\"" << fill.color << "\"";
    if (fill.opacity < 1)
        svg << " fill-opacity=\"" << fill.opacity << "\"";
    if (fill.outlineWidth > 0)
        svg << " stroke=\"" << fill.outline << "\" stroke-width=\"" << fill.outlineWidth << "\"";
    ClipAttribute(svg, fill.clip);
    svg << " points=\"";
    WritePoints(svg, fill.polygon);
    svg << "\"/>\n";
}

void WriteItem(SvgText& svg, const SceneText& text)
{
    static const char* const Anchors[] = {"start", "middle", "end"};
    svg << "<text x=\"" << text.x << "\" y=\"" << text.y << "\" font-size=\"" << text.size << "\" fill=\""
        << text.color << "\" text-anchor=\"" << Anchors[static_cast<int>(text.anchor)] << "\"";
    if (text.vertical)
        svg << " transform=\"rotate(-90 " << text.x << " " << text.y << ")\"";
    svg << ">";
    bool raised = false;
    for (const TextRun& run : SplitTextRuns(text.markup)) {
        // dy moves the baseline for the rest of the text, so a superscript moves it back after.
        const double lift = SuperscriptRaise * text.size;
        if (run.superscript) {
            svg << "<tspan dy=\"" << -lift << "\" font-size=\"" << SuperscriptScale * text.size << "\">";
            svg.Escaped(run.text) << "</tspan>";
            raised = true;
        } else {
            svg << "<tspan";
            if (raised)
                svg << " dy=\"" << lift << "\"";
            svg << ">";
            svg.Escaped(run.text) << "</tspan>";
            raised = false;
        }
    }
    svg << "</text>\n";
}

} // namespace

std::string RenderSvg(const Scene& scene)
{
    SvgText svg;
    svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" << scene.width << "\" height=\""
        << scene.height << "\" viewBox=\"0 0 " << scene.width << " " << scene.height << "\" font-family=\""
        << FontFamily << "\">\n";
    if (!scene.clips.empty()) {
        svg << "<defs>\n";
        for (size_t i = 0; i < scene.clips.size(); ++i) {
            const PixelRect& clip = scene.clips[i];
            svg << "<clipPath id=\"clip" << static_cast<int>(i) << "\"><rect x=\"" << clip.left << "\" y=\"" << clip.top
                << "\" width=\"" << clip.Width() << "\" height=\"" << clip.Height() << "\"/></clipPath>\n";
        }
        svg << "</defs>\n";
    }
    svg << "<rect width=\"100%\" height=\"100%\" fill=\"" << scene.background << "\"/>\n";
    for (const SceneItem& item : scene.items)
        std::visit([&](const auto& shape) { WriteItem(svg, shape); }, item);
    svg << "</svg>\n";
    return svg.Take();
}
