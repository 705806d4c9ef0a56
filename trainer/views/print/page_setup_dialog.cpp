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
    m_paper = new QComboBox(this);
    m_paper->setObjectName(QStringLiteral("paper"));
    for (QPageSize::PageSizeId id : kPapers)
        m_paper->addItem(QPageSize::name(id), int(id));
    const int current = m_paper->findData(int(printer.pageLayout().pageSize().id()));
    m_paper->setCurrentIndex(current >= 0 ? current : 0);
    paperForm->addRow(LoadResString(IDS_PAGE_SETUP_PAPER), m_paper);
    layout->addLayout(paperForm);

    auto* group = new QGroupBox(LoadResString(IDS_PAGE_SETUP_MARGINS), this);
    auto* form = new QFormLayout(group);
    m_left = millimetres(group);
    m_right = millimetres(group);
    m_top = millimetres(group);
    m_bottom = millimetres(group);
    form->addRow(LoadResString(IDS_PAGE_SETUP_LEFT), m_left);
    form->addRow(LoadResString(IDS_PAGE_SETUP_RIGHT), m_right);
    form->addRow(LoadResString(IDS_PAGE_SETUP_TOP), m_top);
    form->addRow(LoadResString(IDS_PAGE_SETUP_BOTTOM), m_bottom);
    layout->addWidget(group);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMargins(margins);
}

void CPageSetupDialog::setMargins(const ReportMargins& m)
{
    m_left->setValue(m.left / 100.0);
    m_right->setValue(m.right / 100.0);
    m_top->setValue(m.top / 100.0);
    m_bottom->setValue(m.bottom / 100.0);
}

ReportMargins CPageSetupDialog::margins() const
{
    auto hundredths = [](const QDoubleSpinBox* b) { return int(std::lround(b->value() * 100)); };
    return {hundredths(m_left), hundredths(m_top), hundredths(m_right), hundredths(m_bottom)};
}

QPageSize CPageSetupDialog::pageSize() const
{
    return QPageSize(QPageSize::PageSizeId(m_paper->currentData().toInt()));
}

void CPageSetupDialog::apply(QPrinter& printer) const
{
    printer.setPageSize(pageSize());
}

} // namespace kavro::print
