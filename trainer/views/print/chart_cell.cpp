#include "chart_cell.h"

#include <algorithm>
#include <cmath>

namespace kavro::print {

void CPrintoutChartCell::SetChart(const charts::CChartImpl& from)
{
    auto c = std::make_shared<charts::CChartImpl>();
    c->xMin = from.xMin;
    c->xMax = from.xMax;
    c->yMin = from.yMin;
    c->yMax = from.yMax;
    c->xAxisAt = from.xAxisAt;
    c->yAxisAt = from.yAxisAt;
    c->minLineWidth = from.minLineWidth;
    c->xCaption = from.xCaption;
    c->yCaption = from.yCaption;
    for (const charts::ChartSeries& s : from.series()) {
        c->AddSeries(s.id, s.color, s.width, s.printable);
        charts::ChartSeries* copy = c->FindSeries(s.id);
        if (!copy)
            continue;
        copy->visible = s.visible;
        copy->name = s.name;
        copy->points = s.points;
    }
    // An axis label of a value beyond the range would print beyond the chart.
    for (const charts::ChartMarker& m : from.markers()) {
        const charts::CChartImpl::MarkerKind kind = from.KindOf(m);
        if ((kind == charts::CChartImpl::MarkerKind::VerticalAxis && (m.y < from.yMin || m.y > from.yMax))
            || (kind == charts::CChartImpl::MarkerKind::HorizontalAxis && (m.x < from.xMin || m.x > from.xMax)))
            continue;
        c->AddMarker(m.x, m.y, m.label, m.gridLine);
    }
    // Hidden bands are not drawn: they need no copy.
    for (const charts::ChartBand& b : from.bands())
        if (!b.hidden)
            c->AddBand(b.id, b.x, b.y, b.width, b.height, b.outlineWidth, b.outlineColor, b.filled, b.fillColor);
    chart_ = std::move(c);
}

bool hasPrintedCurves(const charts::CChartImpl& chart)
{
    // A series whose points all coincide (the bar of a missed shot) draws nothing.
    for (const charts::ChartSeries& s : chart.series())
        if (s.visible && s.printable
            && std::any_of(s.points.begin(), s.points.end(), [&](const auto& p) { return p != s.points.front(); }))
            return true;
    return false;
}

void CPrintoutChartCell::HoldCurves()
{
    charts::CChartImpl& c = *chart_;
    double lo = c.yMin, hi = c.yMax;
    for (const charts::ChartSeries& s : c.series())
        if (s.visible && s.printable)
            for (const auto& [x, y] : s.points) {
                lo = std::min(lo, y);
                hi = std::max(hi, y);
            }
    if (lo >= c.yMin && hi <= c.yMax)
        return;
    // Labels at a step that keeps about as many of them as the fixed range had, on multiples of it.
    const double span = hi - lo;
    double step = 2;
    for (double m = 1; span / step > 6; m *= 10)
        for (double f : {2.0, 5.0, 10.0})
            if (span / step > 6)
                step = f * m;
    c.yMin = std::floor(lo / step) * step;
    c.yMax = std::ceil(hi / step) * step;
    std::vector<charts::ChartMarker> kept;
    for (const charts::ChartMarker& m : c.markers())
        if (c.KindOf(m) != charts::CChartImpl::MarkerKind::VerticalAxis)
            kept.push_back(m);
    c.ClearMarkers();
    for (const charts::ChartMarker& m : kept)
        c.AddMarker(m.x, m.y, m.label, m.gridLine);
    for (double v = c.yMin; v <= c.yMax; v += step)
        if (v != c.xAxisAt)
            c.AddMarker(c.yAxisAt, v, QString::number(v), true);
}

void CPrintoutChartCell::Draw(QPainter* painter) const
{
    charts::ChartDrawRequest r;
    r.painter = painter;
    r.rect = rect;
    r.marginLeft = r.marginTop = r.marginRight = r.marginBottom = 0;
    r.legend = false;
    r.printing = true;
    r.dpiX = dpiX;
    r.dpiY = dpiY;
    r.fonts = &fonts;
    chart_->Draw(r);
}

} // namespace kavro::print
