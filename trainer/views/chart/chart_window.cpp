#include "chart_window.h"

#include "res_strings.h"
#include "ui_text.h"

#include <QMouseEvent>
#include <QPainter>

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
    m_chart.OnCreate(96, uiLanguageId() & 0x3FF, LoadResString(kVerticalCaptionFace));
}

ChartDrawRequest CChartWindow::screenRequest(QPainter* painter) const
{
    ChartDrawRequest r;
    r.painter = painter;
    r.rect = {0, 0, width(), height()};
    return r;
}

void CChartWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_chart.Draw(screenRequest(&painter));
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
