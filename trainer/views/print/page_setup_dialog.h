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
    QComboBox* paper_;
    QDoubleSpinBox* left_;
    QDoubleSpinBox* right_;
    QDoubleSpinBox* top_;
    QDoubleSpinBox* bottom_;
};

} // namespace kavro::print
