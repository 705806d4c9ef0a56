#include "page_setup_dialog.h"

#include "print_strings.h"
#include "res_strings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPrinter>
#include <QVBoxLayout>

namespace kavro::print {

namespace {

const QPageSize::PageSizeId kPapers[]
    = {QPageSize::A4, QPageSize::Letter, QPageSize::Legal, QPageSize::A5, QPageSize::A3, QPageSize::B5};

QDoubleSpinBox* millimetres(QWidget* parent)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(0, 100);
    box->setDecimals(1);
    box->setSingleStep(1);
    box->setSuffix(QStringLiteral(" mm"));
    return box;
}

} // namespace

CPageSetupDialog::CPageSetupDialog(const QPrinter& printer, const ReportMargins& margins, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(LoadResString(IDS_PAGE_SETUP_CAPTION));
    auto* layout = new QVBoxLayout(this);
    auto* paperForm = new QFormLayout;
    paper_ = new QComboBox(this);
    paper_->setObjectName(QStringLiteral("paper"));
    for (QPageSize::PageSizeId id : kPapers)
        paper_->addItem(QPageSize::name(id), int(id));
    const int current = paper_->findData(int(printer.pageLayout().pageSize().id()));
    paper_->setCurrentIndex(current >= 0 ? current : 0);
    paperForm->addRow(LoadResString(IDS_PAGE_SETUP_PAPER), paper_);
    layout->addLayout(paperForm);

    auto* group = new QGroupBox(LoadResString(IDS_PAGE_SETUP_MARGINS), this);
    auto* form = new QFormLayout(group);
    left_ = millimetres(group);
    right_ = millimetres(group);
    top_ = millimetres(group);
    bottom_ = millimetres(group);
    form->addRow(LoadResString(IDS_PAGE_SETUP_LEFT), left_);
    form->addRow(LoadResString(IDS_PAGE_SETUP_RIGHT), right_);
    form->addRow(LoadResString(IDS_PAGE_SETUP_TOP), top_);
    form->addRow(LoadResString(IDS_PAGE_SETUP_BOTTOM), bottom_);
    layout->addWidget(group);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMargins(margins);
}

void CPageSetupDialog::setMargins(const ReportMargins& m)
{
    left_->setValue(m.left / 100.0);
    right_->setValue(m.right / 100.0);
    top_->setValue(m.top / 100.0);
    bottom_->setValue(m.bottom / 100.0);
}

ReportMargins CPageSetupDialog::margins() const
{
    auto hundredths = [](const QDoubleSpinBox* b) { return int(std::lround(b->value() * 100)); };
    return {hundredths(left_), hundredths(top_), hundredths(right_), hundredths(bottom_)};
}

QPageSize CPageSetupDialog::pageSize() const
{
    return QPageSize(QPageSize::PageSizeId(paper_->currentData().toInt()));
}

void CPageSetupDialog::apply(QPrinter& printer) const
{
    printer.setPageSize(pageSize());
}

} // namespace kavro::print
