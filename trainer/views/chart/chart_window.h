#pragma once
// The chart windows: a white child window that paints one chart engine, and the advanced one that
// also tells which series lies under the mouse and reports clicks on it.
#include "chart_impl.h"

#include <QWidget>
#include <functional>

namespace kavro::charts {

class CChartWindow : public QWidget {
public:
    explicit CChartWindow(QWidget* parent = nullptr);

    CChartImpl& chart() { return chart_; }
    const CChartImpl& chart() const { return chart_; }
    // Makes the chart's fonts for the interface language again.
    void OnCreate();
    // The request a paint of the window makes.
    ChartDrawRequest screenRequest(QPainter* painter) const;
    // Called after every resize (the views place their boxes on the chart).
    std::function<void()> onResized;
    // The height at the top that boxes over the chart cover; the chart is drawn below it, in the
    // rest of the window as if that were all of it.
    void setCoveredTop(int height);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CChartImpl chart_;
    int coveredTop_ = 0;
};

class CAdvancedChartWindow : public CChartWindow {
public:
    explicit CAdvancedChartWindow(QWidget* parent = nullptr);

    // The series under a point of the window, if any.
    std::optional<int> seriesAt(QPoint point) const;
    // Called with the series id when a series is clicked.
    std::function<void(int)> onSeriesClicked;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};

} // namespace kavro::charts
