#include "chart_impl.h"

#include "com/numeric.h"
#include "gdi/painter_canvas.h"
#include "gdi/text_layout.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace kavro::charts {
namespace {

constexpr COLORREF kSilver = 0xC0C0C0;
constexpr COLORREF kGrey = 0x808080;
constexpr COLORREF kBlack = 0;
constexpr COLORREF kWhite = 0xFFFFFF; // the chart window's background and the paper's
constexpr uint32_t kLabelFormat = DT_SINGLELINE | DT_NOPREFIX | DT_LEFT | DT_TOP;

bool intersects(const GdiRect& a, const GdiRect& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

GdiRect inflated(const GdiRect& r, int d)
{
    return {r.left - d, r.top - d, r.right + d, r.bottom + d};
}

// The size of a one-line text in a font, in device units.
struct TextSize {
    int width = 0;
    int height = 0;
};

TextSize textSize(const QFont& font, const QString& text)
{
    if (text.isEmpty())
        return {};
    GdiRect r = measureText(font, text, GdiRect{}, kLabelFormat | DT_CALCRECT);
    return {static_cast<int>(r.width()), static_cast<int>(r.height())};
}

// A span that maps: an axis whose ends coincide (one shot, constant data) gets a small one.
double spanOf(double min, double max)
{
    double span = max - min;
    if (span == 0 || !std::isfinite(span))
        span = std::max(std::fabs(min) * 1e-6, 1e-6);
    return span;
}

// The device offset of v along an axis of `extent` units from its minimum.
int64_t offsetOf(int32_t extent, double v, double min, double max)
{
    // The difference is taken in double precision: OLE dates lose seconds in a float.
    const double ratio = (v - min) / spanOf(min, max);
    const float scaled = static_cast<float>(extent) * static_cast<float>(ratio);
    return roundSaturated(scaled);
}

void clipTo(GdiCanvas& canvas, const GdiRect& box)
{
    canvas.beginPath();
    canvas.rectangle(box);
    canvas.endPath();
    canvas.selectClipPath(ClipMode::Copy);
}

} // namespace

int seriesThickness(int widthTenthsPt, int dpiY)
{
    int w = MulDiv(widthTenthsPt, dpiY, 720);
    return w > 0 ? w : 1;
}

CChartImpl::CChartImpl()
{
    OnCreate();
}

CChartImpl::~CChartImpl()
{
    Clear();
}

bool CChartImpl::AddSeries(int id, COLORREF color, int width, bool printable)
{
    ChartSeries s;
    s.id = id;
    s.color = color;
    s.width = width;
    s.printable = printable;
    series_.push_back(std::move(s));
    return true;
}

ChartSeries* CChartImpl::FindSeries(int id)
{
    for (ChartSeries& s : series_)
        if (s.id == id)
            return &s;
    return nullptr;
}

const ChartSeries* CChartImpl::FindSeries(int id) const
{
    return const_cast<CChartImpl*>(this)->FindSeries(id);
}

bool CChartImpl::SetSeriesVisible(int id, bool visible)
{
    ChartSeries* s = FindSeries(id);
    if (s)
        s->visible = visible;
    return s != nullptr;
}

bool CChartImpl::SetSeriesWidth(int id, int width)
{
    ChartSeries* s = FindSeries(id);
    if (s)
        s->width = width;
    return s != nullptr;
}

bool CChartImpl::SetSeriesColor(int id, COLORREF color)
{
    ChartSeries* s = FindSeries(id);
    if (s)
        s->color = color;
    return s != nullptr;
}

bool CChartImpl::SetSeriesName(int id, const QString& name)
{
    ChartSeries* s = FindSeries(id);
    if (s)
        s->name = name;
    return s != nullptr;
}

bool CChartImpl::ClearSeries(int id)
{
    ChartSeries* s = FindSeries(id);
    if (s)
        s->points.clear();
    return s != nullptr;
}

bool CChartImpl::AddPoint(int id, double x, double y)
{
    ChartSeries* s = FindSeries(id);
    if (s)
        s->points.emplace_back(x, y);
    return s != nullptr;
}

void CChartImpl::RemoveAllSeries()
{
    series_.clear();
}

bool CChartImpl::AddMarker(double x, double y, const QString& label, bool gridLine)
{
    markers_.push_back({x, y, label, gridLine});
    return true;
}

void CChartImpl::ClearMarkers()
{
    markers_.clear();
}

bool CChartImpl::AddBand(int id, double x, double y, double width, double height, int outlineWidth,
                         COLORREF outlineColor, bool filled, COLORREF fillColor)
{
    ChartBand b;
    b.id = id;
    b.x = x;
    b.y = y;
    b.width = width;
    b.height = height;
    b.outlineWidth = outlineWidth;
    b.outlineColor = outlineColor;
    b.filled = filled;
    b.fillColor = fillColor;
    bands_.push_back(b);
    return true;
}

void CChartImpl::ClearBands()
{
    bands_.clear();
}

void CChartImpl::Clear()
{
    RemoveAllSeries();
    ClearMarkers();
    ClearBands();
}

ChartFonts CChartImpl::MakeFonts(int dpi, int primaryLanguage, const QString& verticalFace)
{
    ChartFonts f;
    // The desktop's default GUI font: 8 points.
    f.label = GdiFont{-MulDiv(8, dpi, 72), 400, QStringLiteral("Arial")};
    f.caption = f.label;
    const bool cjk = primaryLanguage == 4 || primaryLanguage == 17 || primaryLanguage == 18;
    if (!cjk)
        f.caption.weight = 700;
    f.verticalCaption = f.caption;
    f.verticalCaption.face = verticalFace.isEmpty() ? QStringLiteral("Arial") : verticalFace;
    return f;
}

void CChartImpl::OnCreate(int dpi, int primaryLanguage, const QString& verticalFace)
{
    fonts_ = MakeFonts(dpi, primaryLanguage, verticalFace);
}

CChartImpl::MarkerKind CChartImpl::KindOf(const ChartMarker& m) const
{
    if (m.x == 0 || m.x == yAxisAt)
        return MarkerKind::VerticalAxis;
    if (m.y == 0 || m.y == xAxisAt)
        return MarkerKind::HorizontalAxis;
    return MarkerKind::Free;
}

GdiPoint CChartImpl::Map(const GdiRect& plot, double x, double y) const
{
    return {clampCoordinate(plot.left + offsetOf(plot.right - plot.left - 1, x, xMin, xMax)),
            clampCoordinate(plot.bottom - offsetOf(plot.bottom - plot.top - 1, y, yMin, yMax))};
}

bool CChartImpl::drawn(const ChartSeries& s, bool printing) const
{
    return !printing || s.printable;
}

struct CChartImpl::Metrics {
    ChartFonts fonts;
    QFont label, caption, vertical;
    ChartLayout layout;
    GdiRect drawable;
    TextSize xCaption, yCaption;
};

namespace {

// Where a marker's label goes around its mapped position (the tick's side of step placement).
GdiRect labelRect(CChartImpl::MarkerKind kind, GdiPoint p, TextSize size, int ptX, int ptY)
{
    switch (kind) {
    case CChartImpl::MarkerKind::VerticalAxis: {
        const int left = p.x + 2 * ptX;
        const int top = p.y - size.height / 2;
        return {left, top, left + size.width, top + size.height};
    }
    case CChartImpl::MarkerKind::HorizontalAxis: {
        const int left = p.x - size.width / 2;
        const int top = p.y + 2 * ptY;
        return {left, top, left + size.width, top + size.height};
    }
    case CChartImpl::MarkerKind::Free: break;
    }
    return {p.x, p.y, p.x + size.width, p.y + size.height};
}

void grow(const GdiRect& label, const GdiRect& plot, int extraX, int extraY, ChartLayout& l)
{
    if (label.left < plot.left)
        l.growLeft = std::max(l.growLeft, plot.left - label.left + extraX);
    if (label.right > plot.right)
        l.growRight = std::max(l.growRight, label.right - plot.right + extraX);
    if (label.top < plot.top)
        l.growTop = std::max(l.growTop, plot.top - label.top + extraY);
    if (label.bottom > plot.bottom)
        l.growBottom = std::max(l.growBottom, label.bottom - plot.bottom + extraY);
}

} // namespace

// The caption boxes for a plot area: x caption above the horizontal axis from the left, y caption
// left of the vertical axis from the top (moved up rather than below the plot).
static GdiRect xCaptionRect(const GdiRect& plot, int axisY, TextSize size, int h)
{
    const int left = plot.left + h / 3;
    return {left, axisY - size.height, left + size.width, axisY};
}

static GdiRect yCaptionRect(const GdiRect& plot, int axisX, TextSize size, int h)
{
    // Turned text: its line height is the box's width, its advance the box's height.
    int top = plot.top + h / 3;
    int bottom = top + size.width;
    if (bottom > plot.bottom) {
        top -= bottom - plot.bottom;
        bottom = plot.bottom;
    }
    return {axisX - size.height, top, axisX, bottom};
}

CChartImpl::Metrics CChartImpl::measure(const ChartDrawRequest& r) const
{
    Metrics m;
    m.fonts = r.fonts ? *r.fonts : fonts_;
    m.label = makeFont(m.fonts.label);
    m.caption = makeFont(m.fonts.caption);
    m.vertical = makeFont(m.fonts.verticalCaption);
    ChartLayout& l = m.layout;

    const QFontMetrics fm(m.label);
    l.lineHeight = fm.height() + std::max(0, fm.leading());
    const int h = l.lineHeight;
    l.ptX = MulDiv(1, r.dpiX, 72);
    l.ptY = MulDiv(1, r.dpiY, 72);

    l.thick = MulDiv(minLineWidth, r.dpiY, 720);
    bool named = false;
    for (const ChartSeries& s : series_) {
        if (!drawn(s, r.printing))
            continue;
        l.thick = std::max(l.thick, MulDiv(s.width, r.dpiY, 720));
        named = named || !s.name.isEmpty();
    }
    l.thick = std::max(l.thick, 0);

    GdiRect base{r.rect.left + r.marginLeft, r.rect.top + r.marginTop, r.rect.right - r.marginRight,
                 r.rect.bottom - r.marginBottom};
    if (r.legend && named) {
        l.legendStrip = {base.left, base.top, base.right, base.top + h};
        base.top += h;
    }
    m.drawable = inflated(r.rect, h / 2);

    for (const ChartMarker& marker : markers_) {
        if (marker.label.isEmpty())
            continue;
        const MarkerKind kind = KindOf(marker);
        const GdiRect box
            = labelRect(kind, Map(base, marker.x, marker.y), textSize(m.label, marker.label), l.ptX, l.ptY);
        if (intersects(box, m.drawable))
            grow(box, base, 2 * l.ptX, 2 * l.ptY, l);
    }
    m.xCaption = textSize(m.caption, xCaption);
    m.yCaption = textSize(m.vertical, yCaption);
    const GdiPoint axes = Map(base, yAxisAt, xAxisAt);
    if (!xCaption.isEmpty()) {
        const GdiRect box = xCaptionRect(base, axes.y, m.xCaption, h);
        if (intersects(box, m.drawable))
            grow(box, base, 0, 0, l);
    }
    if (!yCaption.isEmpty()) {
        const GdiRect box = yCaptionRect(base, axes.x, m.yCaption, h);
        if (intersects(box, m.drawable))
            grow(box, base, 0, 0, l);
    }

    l.drawArea = {base.left + l.growLeft, base.top + l.growTop, base.right - l.growRight, base.bottom - l.growBottom};
    // A window too small for its labels still gets a plot of one unit rather than an inverted one.
    l.drawArea.right = std::max(l.drawArea.right, l.drawArea.left + 1);
    l.drawArea.bottom = std::max(l.drawArea.bottom, l.drawArea.top + 1);
    l.plot = {l.drawArea.left + l.thick / 2, l.drawArea.top, l.drawArea.right - l.thick / 2, l.drawArea.bottom};
    l.plot.right = std::max(l.plot.right, l.plot.left + 1);
    placeLabels(m);
    return m;
}

void CChartImpl::placeLabels(Metrics& m) const
{
    ChartLayout& l = m.layout;
    const GdiPoint axes = Map(l.plot, yAxisAt, xAxisAt);
    if (!xCaption.isEmpty())
        l.labels.push_back(
            {ChartLabel::Role::XCaption, xCaptionRect(l.plot, axes.y, m.xCaption, l.lineHeight), xCaption});
    if (!yCaption.isEmpty())
        l.labels.push_back(
            {ChartLabel::Role::YCaption, yCaptionRect(l.plot, axes.x, m.yCaption, l.lineHeight), yCaption});
    // Text over text cannot be read, so of two labels that meet only the first placed is kept. The
    // horizontal axis goes first: every chart's x axis is its time or spread, the values a reader
    // looks up first.
    for (const MarkerKind kind : {MarkerKind::HorizontalAxis, MarkerKind::VerticalAxis, MarkerKind::Free})
        for (const ChartMarker& marker : markers_) {
            if (marker.label.isEmpty() || KindOf(marker) != kind)
                continue;
            const GdiRect box
                = labelRect(kind, Map(l.plot, marker.x, marker.y), textSize(m.label, marker.label), l.ptX, l.ptY);
            if (!intersects(box, m.drawable))
                continue;
            const bool covers = std::any_of(l.labels.begin(), l.labels.end(),
                                            [&](const ChartLabel& placed) { return intersects(box, placed.box); });
            if (!covers)
                l.labels.push_back({ChartLabel::Role::Marker, box, marker.label});
        }
}

COLORREF CChartImpl::backgroundAt(const GdiRect& plot, const GdiRect& box) const
{
    const int x = (box.left + box.right) / 2, y = (box.top + box.bottom) / 2;
    COLORREF colour = kWhite;
    if (x < plot.left || x > plot.right || y < plot.top || y > plot.bottom)
        return colour;
    for (const ChartBand& b : bands_) {
        if (b.id >= 1 || b.hidden || !b.filled)
            continue;
        const GdiRect r = bandRect(plot, b);
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            colour = b.fillColor;
    }
    return colour;
}

GdiRect CChartImpl::bandRect(const GdiRect& plot, const ChartBand& b) const
{
    const double x0 = b.width == 0 ? xMin : b.x, x1 = b.width == 0 ? xMax : b.x + b.width;
    const double y0 = b.height == 0 ? yMin : b.y, y1 = b.height == 0 ? yMax : b.y + b.height;
    const GdiPoint p0 = Map(plot, x0, y1), p1 = Map(plot, x1, y0);
    return GdiRect{p0.x, p0.y, p1.x, p1.y}.normalized();
}

ChartLayout CChartImpl::Layout(const ChartDrawRequest& request) const
{
    return measure(request).layout;
}

std::optional<int> CChartImpl::Draw(const ChartDrawRequest& r) const
{
    if (series_.empty())
        return std::nullopt;
    const Metrics m = measure(r);
    const ChartLayout& l = m.layout;
    const GdiRect& plot = l.plot;
    const int h = l.lineHeight;

    if (r.hitPoint) {
        const GdiPoint p = *r.hitPoint;
        if (p.x < plot.left + h / 2 || p.x >= plot.right - h / 2 || p.y < plot.top || p.y >= plot.bottom)
            return std::nullopt;
        for (const ChartSeries& s : series_) {
            if (!s.visible || s.points.size() < 2)
                continue;
            const int reach = seriesThickness(s.width, r.dpiY) / 2 + 1;
            GdiPoint a = Map(plot, s.points[0].first, s.points[0].second);
            for (size_t i = 1; i < s.points.size(); ++i) {
                const GdiPoint b = Map(plot, s.points[i].first, s.points[i].second);
                const bool vertical = a.x == b.x, horizontal = a.y == b.y;
                if (vertical && std::abs(p.x - a.x) <= reach && p.y >= std::min(a.y, b.y) && p.y <= std::max(a.y, b.y))
                    return s.id;
                if (horizontal && std::abs(p.y - a.y) <= reach && p.x >= std::min(a.x, b.x)
                    && p.x <= std::max(a.x, b.x))
                    return s.id;
                a = b;
            }
        }
        return std::nullopt;
    }
    if (!r.painter)
        return std::nullopt;

    PainterCanvas canvas(r.painter);
    canvas.setBkMode(BkMode::Transparent);
    canvas.selectFont(m.fonts.label);

    if (!l.legendStrip.isEmpty() && !r.printing) {
        clipTo(canvas, l.legendStrip);
        canvas.setTextColor(kBlack);
        int x = l.legendStrip.left + 2;
        const int top = l.legendStrip.top;
        for (const ChartSeries& s : series_) {
            if (!drawn(s, r.printing) || s.name.isEmpty())
                continue;
            canvas.fillRect({x + h / 5, top + h / 5, x + h - h / 5, top + h - h / 5}, s.color);
            x += h;
            const TextSize size = textSize(m.label, s.name);
            GdiRect box{x, top, x + size.width, top + h};
            canvas.drawText(s.name, &box, kLabelFormat | DT_VCENTER);
            x += size.width + 2 * h / 3;
        }
        canvas.restoreClip();
    }

    clipTo(canvas, {plot.left, plot.top, plot.right + 1, plot.bottom + 1});
    for (const ChartBand& b : bands_) {
        if (b.id >= 1 || b.hidden)
            continue;
        canvas.selectPen(GdiPen::inside(b.outlineWidth, b.outlineColor));
        canvas.selectBrush(b.filled ? GdiBrush::solid(b.fillColor) : GdiBrush::null());
        canvas.rectangle(bandRect(plot, b));
    }
    canvas.selectPen(GdiPen{PenStyle::Dot, 0, kSilver, false});
    for (const ChartMarker& marker : markers_) {
        if (!marker.gridLine)
            continue;
        const GdiPoint p = Map(plot, marker.x, marker.y);
        const MarkerKind kind = KindOf(marker);
        if (kind == MarkerKind::VerticalAxis) {
            const GdiPoint line[] = {{plot.left, p.y}, {plot.right, p.y}};
            canvas.polyline(line);
        } else if (kind == MarkerKind::HorizontalAxis) {
            const GdiPoint line[] = {{p.x, plot.top}, {p.x, plot.bottom}};
            canvas.polyline(line);
        }
    }
    canvas.restoreClip();

    const GdiPoint axes = Map(plot, yAxisAt, xAxisAt);
    canvas.selectFont(m.fonts.label);
    canvas.selectPen(GdiPen::solid(0, kBlack));
    canvas.setTextColor(kBlack);
    for (const ChartMarker& marker : markers_) {
        const GdiPoint p = Map(plot, marker.x, marker.y);
        const MarkerKind kind = KindOf(marker);
        // Ticks follow their labels' rule: a printed chart is a metafile played without a clip, so a
        // tick of a value far outside the range would land on the cells around the chart.
        if (kind == MarkerKind::VerticalAxis) {
            const GdiPoint tick[] = {{p.x + l.ptX, p.y}, {p.x - 2 * l.ptX, p.y}};
            if (intersects({tick[1].x, p.y, tick[0].x + 1, p.y + 1}, m.drawable))
                canvas.polyline(tick);
        } else if (kind == MarkerKind::HorizontalAxis) {
            const GdiPoint tick[] = {{p.x, p.y + l.ptY}, {p.x, p.y - 2 * l.ptY}};
            if (intersects({p.x, tick[1].y, p.x + 1, tick[0].y + 1}, m.drawable))
                canvas.polyline(tick);
        }
    }
    const GdiPoint horizontal[] = {{plot.left, axes.y}, {plot.right, axes.y}};
    const GdiPoint vertical[] = {{axes.x, plot.top}, {axes.x, plot.bottom}};
    canvas.polyline(horizontal);
    canvas.polyline(vertical);

    clipTo(canvas, l.drawArea);
    std::vector<GdiPoint> mapped;
    for (const ChartSeries& s : series_) {
        if (!s.visible || !drawn(s, r.printing) || s.points.size() < 2)
            continue;
        const int w = seriesThickness(s.width, r.dpiY);
        mapped.clear();
        for (const auto& [x, y] : s.points)
            mapped.push_back(Map(plot, x, y));
        if (mapped.size() == 2 && mapped[0].x == mapped[1].x) {
            const int left = mapped[0].x - w / 2;
            canvas.fillRect(
                {left, std::min(mapped[0].y, mapped[1].y), left + w, std::max(mapped[0].y, mapped[1].y) + 1}, s.color);
            continue;
        }
        if (mapped.size() == 2 && mapped[0].y == mapped[1].y && !r.printing) {
            const int top = mapped[0].y - w / 2;
            canvas.fillRect({std::min(mapped[0].x, mapped[1].x), top, std::max(mapped[0].x, mapped[1].x) + 1, top + w},
                            s.color);
            continue;
        }
        canvas.selectPen(GdiPen::solid(w, s.color));
        canvas.polyline(mapped);
    }
    canvas.restoreClip();

    // Texts last, each on the chart's own background: a curve crossing one passes under it.
    for (const ChartLabel& label : l.labels) {
        GdiRect box = label.box;
        canvas.fillRect(box, backgroundAt(plot, box));
        switch (label.role) {
        case ChartLabel::Role::XCaption:
            canvas.selectFont(m.fonts.caption);
            canvas.setTextColor(kGrey);
            canvas.drawText(label.text, &box, kLabelFormat);
            break;
        case ChartLabel::Role::YCaption: {
            // Turned text has no GDI-canvas form; it is the one thing drawn on the painter itself.
            QPainter* p = r.painter;
            p->save();
            p->setFont(m.vertical);
            p->setPen(toQColor(kGrey));
            p->translate(box.left, box.bottom);
            p->rotate(-90);
            p->drawText(QRectF(0, 0, m.yCaption.width, m.yCaption.height),
                        Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, label.text);
            p->restore();
            break;
        }
        case ChartLabel::Role::Marker:
            canvas.selectFont(m.fonts.label);
            canvas.setTextColor(kBlack);
            canvas.drawText(label.text, &box, kLabelFormat);
            break;
        }
    }
    return std::nullopt;
}

} // namespace kavro::charts
