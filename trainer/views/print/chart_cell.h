#pragma once
// A chart of an analysis view on a printed page: a copy of the chart taken when the page is laid
// out, drawn through the chart engine with printing on at the device's resolution.
#include "chart_impl.h"
#include "printout_cells.h"

namespace kavro::print {

class CPrintoutChartCell final : public CPrintoutCell {
public:
    // Copies what the chart holds, so the page stays as laid out while the view goes on.
    void SetChart(const charts::CChartImpl& chart);
    void Draw(QPainter* painter) const override;
    // What Draw asks of the chart (a null painter: the layout alone).
    charts::ChartDrawRequest request(QPainter* painter) const;

    charts::ChartFonts fonts;
    int dpiX = 600, dpiY = 600;
    const charts::CChartImpl& chart() const { return *chart_; }

private:
    std::shared_ptr<charts::CChartImpl> chart_ = std::make_shared<charts::CChartImpl>();
};

// True when the chart has a curve or a bar to print.
bool hasPrintedCurves(const charts::CChartImpl& chart);

} // namespace kavro::print
