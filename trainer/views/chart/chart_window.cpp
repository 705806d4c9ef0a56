#include "chart_window.h"

#include "res_strings.h"
#include "ui_text.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace kavro::charts {

namespace {
constexpr uint32_t kVerticalCaptionFace = 61223;
}

CChartWindow::CChartWindow(QWidget* parent) : QWidget(parent)
{
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    setAutoFillBackground(true);
    OnCreate();
}

void CChartWindow::OnCreate()
{
    chart_.OnCreate(96, uiLanguageId() & 0x3FF, LoadResString(kVerticalCaptionFace));
}

ChartDrawRequest CChartWindow::screenRequest(QPainter* painter) const
{
    ChartDrawRequest r;
    r.painter = painter;
    r.rect = {0, std::min(coveredTop_, height()), width(), height()};
    return r;
}

void CChartWindow::setCoveredTop(int height)
{
    height = std::max(0, height);
    if (height == coveredTop_)
        return;
    coveredTop_ = height;
    update();
}

void CChartWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // Labels of values beyond the ranges may stand outside the chart's rectangle; never under the
    // boxes.
    if (coveredTop_ > 0)
        painter.setClipRect(QRect(0, coveredTop_, width(), std::max(0, height() - coveredTop_)));
    chart_.Draw(screenRequest(&painter));
}

void CChartWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (onResized)
        onResized();
}

CAdvancedChartWindow::CAdvancedChartWindow(QWidget* parent) : CChartWindow(parent)
{
    setMouseTracking(true);
}

std::optional<int> CAdvancedChartWindow::seriesAt(QPoint point) const
{
    ChartDrawRequest r = screenRequest(nullptr);
    r.hitPoint = GdiPoint{point.x(), point.y()};
    return chart().Draw(r);
}

void CAdvancedChartWindow::mouseMoveEvent(QMouseEvent* event)
{
    setCursor(seriesAt(event->position().toPoint()) ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void CAdvancedChartWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const std::optional<int> id = seriesAt(event->position().toPoint());
    if (!id)
        return;
    setCursor(Qt::PointingHandCursor);
    if (onSeriesClicked)
        onSeriesClicked(*id);
}

} // namespace kavro::charts
