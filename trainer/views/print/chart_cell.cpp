#include "chart_cell.h"

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

void CPrintoutChartCell::Draw(QPainter* painter) const
{
    chart_->Draw(request(painter));
}

charts::ChartDrawRequest CPrintoutChartCell::request(QPainter* painter) const
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
    return r;
}

} // namespace kavro::print
