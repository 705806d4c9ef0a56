#pragma once
// Page setup: the paper and the report's margins in millimetres. The report is laid out for
// portrait pages, so the orientation is not offered.
#include "report.h"

#include <QDialog>
#include <QPageSize>

class QComboBox;
class QDoubleSpinBox;
class QPrinter;

namespace kavro::print {

class CPageSetupDialog final : public QDialog {
public:
    CPageSetupDialog(const QPrinter& printer, const ReportMargins& margins, QWidget* parent = nullptr);

    ReportMargins margins() const;
    void setMargins(const ReportMargins& margins);
    QPageSize pageSize() const;
    // Gives the printer the chosen paper.
    void apply(QPrinter& printer) const;

private:
    QComboBox* m_paper;
    QDoubleSpinBox* m_left;
    QDoubleSpinBox* m_right;
    QDoubleSpinBox* m_top;
    QDoubleSpinBox* m_bottom;
};

} // namespace kavro::print
