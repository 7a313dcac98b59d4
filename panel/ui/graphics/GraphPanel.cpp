// Graph panels: the frame with its title, and the plot with grid, axes, labels and the data
// line, painted from the plan that PlanGraph computes.
#include "GraphPlan.h"
#include "Surface.h"
#include "Widgets.h"

#include <utility>

namespace {

constexpr COLORREF PlotBackground = RGB(0, 0, 0);
constexpr COLORREF GridColour = RGB(127, 127, 127);
constexpr COLORREF AxisColour = RGB(255, 255, 255);
constexpr COLORREF LabelColour = RGB(255, 255, 255);
constexpr int32_t TitleFontHeight96 = 13;  // cell height
constexpr int32_t LabelFontHeight96 = -11; // character height: 8 points at 96 dots per inch

constexpr UINT CentredText = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP;
constexpr UINT RightText = DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP;

bool PanelCreated(const GraphPanel& p)
{
    return p.FrameSurface && p.Width != 0 && p.Height != 0;
}

GraphPanel* PanelAt(WidgetSet& widgets, int32_t index)
{
    return index >= 0 && index < GraphPanelCount ? &widgets.Graphs[index] : nullptr;
}

// The grid pen sets every other pixel; PS_ALTERNATE needs a cosmetic pen made by ExtCreatePen.
OwnedPen MakeGridPen()
{
    LOGBRUSH brush{BS_SOLID, GridColour, 0};
    return OwnedPen(ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &brush, 0, nullptr));
}

OwnedFont MakeFont(int32_t height, const char* face)
{
    return MakeOwnedFont(height, face, DEFAULT_CHARSET);
}

void Line(HDC dc, int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

void Text(HDC dc, const char* text, int32_t left, int32_t top, int32_t right, int32_t bottom, UINT format)
{
    RECT rect{left, top, right, bottom};
    DrawTextA(dc, text, -1, &rect, format);
}

void FillPlot(HDC dc, const PlotGeometry& g)
{
    RECT rect{0, 0, g.Pw, g.Ph};
    OwnedBrush black(CreateSolidBrush(PlotBackground));
    FillRect(dc, &rect, black.Get());
}

void DrawAxes(HDC dc, const PlotGeometry& g)
{
    OwnedPen pen(CreatePen(PS_SOLID, 1, AxisColour));
    ScopedSelection selected(dc, pen.Get());
    Line(dc, DataLeft, DataTop, DataLeft, g.Ph - 26);
    Line(dc, GridLeft, g.Ph - 30, g.Pw - 10, g.Ph - 30);
}

void CopyPlotToFrame(HWND owner, const GraphPanel& p, const PlotGeometry& g)
{
    BitBlt(p.FrameSurface.Dc(), PlotLeft, PlotTop, g.Pw, g.Ph, p.PlotSurface.Dc(), 0, 0, SRCCOPY);
    InvalidateWidget(owner, p.X, p.Y, p.Width, p.Height);
}

void DrawFrame(const GraphPanel& p, const char* title)
{
    HDC dc = p.FrameSurface.Dc();
    FillMenuColour(dc, p.Width, p.Height);
    RECT outer{0, 0, p.Width, p.Height};
    DrawEdge(dc, &outer, EDGE_RAISED, BF_RECT);
    RECT inner{8, 18, p.Width - 8, p.Height - 8};
    DrawEdge(dc, &inner, EDGE_SUNKEN, BF_RECT);
    if (!title)
        return;
    OwnedFont font = MakeFont(p.TitleFontHeight, "Tahoma");
    ScopedSelection selected(dc, font.Get());
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    Text(dc, title, 10, 0, p.Width - 10, 20, CentredText);
}

void DrawEmptyGrid(HDC dc, const PlotGeometry& g)
{
    OwnedPen grid = MakeGridPen();
    ScopedSelection selected(dc, grid.Get());
    int32_t ym = (g.Ph - 40) / 2 + 10;
    int32_t xc = (g.Pw - 60) / 2 + 50;
    Line(dc, GridLeft, DataTop, g.Pw - 10, DataTop);
    Line(dc, GridLeft, ym, g.Pw - 10, ym);
    Line(dc, xc, DataTop, xc, g.Ph - 26);
    Line(dc, g.Pw - 11, DataTop, g.Pw - 11, g.Ph - 26);
}

void DrawEmptyLabels(HDC dc, const PlotGeometry& g, OwnedFont font)
{
    ScopedSelection selected(dc, font.Get());
    SetTextColor(dc, LabelColour);
    SetBkMode(dc, TRANSPARENT);
    int32_t half = (g.Ph - 40) / 2;
    Text(dc, "1", 1, 3, 47, 17, RightText);
    Text(dc, "0.5", 1, half + 3, 47, half + 17, RightText);
    Text(dc, "0", 1, g.Ph - 37, 47, g.Ph - 23, RightText);
    int32_t xh = (g.Pw - 60) / 2;
    Text(dc, "0", 38, g.Ph - 26, 64, g.Ph - 12, CentredText);
    Text(dc, "0.5", xh + 38, g.Ph - 26, xh + 64, g.Ph - 12, CentredText);
    Text(dc, "1", g.Pw - 26, g.Ph - 26, g.Pw, g.Ph - 12, CentredText);
}

// The empty plot of a new panel: four grid lines and the labels 0, 0.5 and 1 on both axes.
void DrawEmptyPlot(HDC dc, const PlotGeometry& g, OwnedFont labelFont)
{
    FillPlot(dc, g);
    DrawEmptyGrid(dc, g);
    DrawEmptyLabels(dc, g, std::move(labelFont));
    DrawAxes(dc, g);
}

void DrawGridAndLabels(HDC dc, const PlotGeometry& g, const GraphPlan& plan, const char* xUnit)
{
    for (const GridLine& x : plan.XLines) {
        Line(dc, x.Pixel, DataTop, x.Pixel, g.Ph - 26);
        if (x.Labelled)
            Text(dc, x.Label, x.Pixel - 15, g.Ph - 26, x.Pixel + 11, g.Ph - 12, CentredText);
    }
    if (xUnit)
        Text(dc, xUnit, DataLeft, g.Ph - 14, g.Pw - 10, g.Ph, CentredText);
    for (const GridLine& y : plan.YLines) {
        if (y.Line)
            Line(dc, GridLeft, y.Pixel, g.Pw - 10, y.Pixel);
        if (y.Labelled)
            Text(dc, y.Label, 1, y.Pixel - 7, 47, y.Pixel + 7, RightText);
    }
}

void DrawData(HDC dc, const GraphPlan& plan, COLORREF colour)
{
    OwnedPen pen(CreatePen(PS_SOLID, 1, colour));
    ScopedSelection penSelected(dc, pen.Get());
    ScopedSelection hollow(dc, GetStockObject(NULL_BRUSH));
    for (size_t i = 0; i < plan.Points.size(); ++i) {
        const PlotPoint& p = plan.Points[i];
        if (i == 0)
            MoveToEx(dc, p.X, p.Y, nullptr);
        else
            LineTo(dc, p.X, p.Y);
        Rectangle(dc, p.X - 2, p.Y - 2, p.X + 3, p.Y + 3); // hollow; keeps the line's position
    }
}

// The whole plot of a drawable plan: background, grid and labels, data line, axes.
void DrawPlot(HDC dc, const PlotGeometry& g, const GraphPlan& plan, const char* xUnit, COLORREF colour,
              OwnedFont font)
{
    FillPlot(dc, g);
    OwnedPen grid = MakeGridPen();
    ScopedSelection gridSelected(dc, grid.Get());
    ScopedSelection fontSelected(dc, font.Get());
    SetTextColor(dc, LabelColour);
    SetBkMode(dc, TRANSPARENT);
    DrawGridAndLabels(dc, g, plan, xUnit);
    DrawData(dc, plan, colour);
    DrawAxes(dc, g);
}

} // namespace

void CreateGraphPanel(WidgetSet& widgets, HWND owner, int32_t index, const char* title, int32_t x, int32_t y,
                      int32_t width, int32_t height, DpiScale textScale)
{
    GraphPanel* p = PanelAt(widgets, index);
    if (!p || PanelCreated(*p))
        return;
    PlotGeometry g = PlotGeometryFor(width, height);
    if (g.Pw <= 0 || g.Ph <= 0)
        return; // no room for a plot: the panel stays uncreated
    GraphPanel made{};
    made.X = x;
    made.Y = y;
    made.Width = width;
    made.Height = height;
    made.HeldUpper = HeldUpperStart;
    made.HeldLower = HeldLowerStart;
    made.TitleFontHeight = ScaleFontHeight(textScale, TitleFontHeight96);
    made.LabelFontHeight = ScaleFontHeight(textScale, LabelFontHeight96);
    made.FrameSurface = OffscreenSurface(owner, width, height);
    if (made.FrameSurface)
        made.PlotSurface = OffscreenSurface(owner, g.Pw, g.Ph);
    if (!made.FrameSurface || !made.PlotSurface)
        return; // whatever was made goes with the record
    *p = std::move(made);
    DrawFrame(*p, title);
    DrawEmptyPlot(p->PlotSurface.Dc(), g, MakeFont(p->LabelFontHeight, "Arial"));
    CopyPlotToFrame(owner, *p, g);
}

void DrawGraph(WidgetSet& widgets, HWND owner, int32_t index, const GraphView& view)
{
    GraphPanel* p = PanelAt(widgets, index);
    if (!p || !PanelCreated(*p))
        return;
    PlotGeometry g = PlotGeometryFor(p->Width, p->Height);
    GraphInput input{view.X, view.Y, view.PointCount, view.YDivisions, view.FixedMax, view.FixedMin,
                     view.XLogarithmic, view.YLogarithmic};
    HeldLimits held{p->HeldUpper, p->HeldLower};
    GraphPlan plan = PlanGraph(input, g, held);
    p->HeldUpper = held.Upper;
    p->HeldLower = held.Lower;
    if (!plan.Drawable)
        return; // the panel keeps its last complete picture
    DrawPlot(p->PlotSurface.Dc(), g, plan, view.XUnit, view.Colour, MakeFont(p->LabelFontHeight, "Arial"));
    CopyPlotToFrame(owner, *p, g);
}
