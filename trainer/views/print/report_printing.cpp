#include "report_printing.h"

#include "kavro_doc.h"
#include "message_box.h"
#include "page_setup_dialog.h"
#include "print_strings.h"
#include "print_target_dialog.h"
#include "printer_output.h"
#include "res_strings.h"

#include <QApplication>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrintPreviewWidget>

namespace kavro::print {

namespace {

std::function<bool(QPrinter&)>& printDialogHook()
{
    static std::function<bool(QPrinter&)> hook;
    return hook;
}

} // namespace

QString jobName(CKavroDoc& doc)
{
    QString file;
    if (doc.GetFileName(&file) && !file.isEmpty())
        return QFileInfo(file).fileName();
    return LoadResString(IDS_UNTITLED);
}

namespace {

// The printing object lives as long as the program, but its printer and pages belong to the
// application's print support and fonts: they go when the application goes, not after it.
void endWithApplication()
{
    if (auto* printing = dynamic_cast<CReportPrinting*>(::reportPrinting()))
        printing->EndPrinter();
}

} // namespace

void nameDocument(QPrinter& printer, CKavroDoc& doc)
{
    // A print queue lists the job by its file; a PDF keeps the name as its title, which should
    // tell whose practice it is.
    printer.setDocName(printer.outputFormat() == QPrinter::PdfFormat ? reportTitle(doc) : jobName(doc));
}

CReportPrinting::CReportPrinting() = default;

QPrinter& CReportPrinting::printer()
{
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        qAddPostRoutine(endWithApplication);
    }
    return *printer_;
}

void CReportPrinting::EndPrinter()
{
    pages_.clear();
    printer_.reset();
}
CReportPrinting::~CReportPrinting() = default;

void setPrintDialogHook(std::function<bool(QPrinter&)> hook)
{
    printDialogHook() = std::move(hook);
}

bool askPrinter(QPrinter& printer, QWidget* parent, int pages)
{
    if (printDialogHook())
        return printDialogHook()(printer);
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setMinMax(1, pages);
    dialog.setPrintRange(QAbstractPrintDialog::AllPages);
    return dialog.exec() == QDialog::Accepted;
}

void CReportPrinting::SetMargins(const ReportMargins& margins)
{
    margins_ = margins;
    pages_.clear();
}

bool CReportPrinting::PrintReport(CKavroDoc& doc)
{
    if (!pages_.empty())
        return true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto pages = kavro::print::PrintReport(doc, printerGeometry(printer(), margins_), ReportSections::fromOptions());
    QApplication::restoreOverrideCursor();
    if (!pages || pages->empty())
        return false;
    pages_ = std::move(*pages);
    return true;
}

bool CReportPrinting::PrintPages(CKavroDoc& doc, int from, int to)
{
    nameDocument(printer(), doc);
    return printPages(printer(), pages_, from, to);
}

void CReportPrinting::failed(QWidget* parent)
{
    KavroMessageBox(parent, LoadResString(IDS_PRINT_FAILED), QMessageBox::Critical);
}

void CReportPrinting::Print(CKavroDoc& doc, QWidget* parent)
{
    if (!PrintReport(doc))
        return failed(parent);
    if (!askPrinter(printer(), parent, int(pages_.size())))
        return;
    // The chosen printer may have another paper: the pages follow it, and so does an open preview.
    pages_.clear();
    if (!PrintReport(doc))
        return failed(parent);
    if (preview_)
        preview_->updatePreview();
    const bool range = printer().printRange() == QPrinter::PageRange;
    if (!PrintPages(doc, range ? printer().fromPage() : 1, range ? printer().toPage() : 0))
        failed(parent);
}

void CReportPrinting::PageSetup(QWidget* parent)
{
    CPageSetupDialog dialog(printer(), margins_, QApplication::activeWindow() ? QApplication::activeWindow() : parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    dialog.apply(printer());
    SetMargins(dialog.margins());
    if (preview_)
        RefreshPreview(preview_);
}

void CReportPrinting::PrintTarget(CKavroDoc& doc, QWidget* parent)
{
    ComPtr<IEventParams> event;
    doc.GetEvent(&event);
    CPrintTargetDlg dialog(printer(), jobName(doc), event.get(), parent);
    dialog.exec();
}

void CReportPrinting::PrintShot(CKavroDoc& doc, QWidget* parent)
{
    ComPtr<IShot> shot;
    if (!doc.GetSelectedShot(&shot))
        return;
    if (!askPrinter(printer(), parent, 1))
        return;
    // The shot's page takes the report's place.
    pages_.clear();
    auto page = BuildShotPage(doc, printerGeometry(printer(), margins_));
    nameDocument(printer(), doc);
    if (!page || !printPages(printer(), *page))
        failed(parent);
    if (preview_)
        RefreshPreview(preview_);
}

QWidget* CReportPrinting::CreatePreview(CKavroDoc& doc, QWidget* parent)
{
    if (!PrintReport(doc)) {
        failed(parent);
        return nullptr;
    }
    auto* preview = new QPrintPreviewWidget(&printer(), parent);
    preview_ = preview;
    previewDoc_ = &doc;
    QObject::connect(preview, &QPrintPreviewWidget::paintRequested, preview, [this](QPrinter* printer) {
        if (pages_.empty() && previewDoc_)
            PrintReport(*previewDoc_);
        paintPages(*printer, pages_);
    });
    preview->fitInView();
    return preview;
}

void CReportPrinting::ShowPage(QWidget* preview, int step)
{
    if (auto* p = qobject_cast<QPrintPreviewWidget*>(preview))
        p->setCurrentPage(std::clamp(p->currentPage() + step, 1, std::max(1, p->pageCount())));
}

void CReportPrinting::RefreshPreview(QWidget* preview)
{
    pages_.clear();
    auto* p = qobject_cast<QPrintPreviewWidget*>(preview);
    if (!p || !previewDoc_)
        return;
    if (!PrintReport(*previewDoc_))
        failed(p);
    p->updatePreview();
}

} // namespace kavro::print

// The program prints through this one object.
[[maybe_unused]] static const bool kPrintingRegistered
    = registerReportPrinting(std::make_unique<kavro::print::CReportPrinting>());
