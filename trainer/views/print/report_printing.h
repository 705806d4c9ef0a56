#pragma once
// The frame's print commands: the report laid out once for the current printer and shared by the
// preview and printing; page setup; the print target tool; printing the selected shot.
#include "report.h"
#include "view_registry.h"

#include <QPointer>
#include <QPrinter>
#include <functional>
#include <memory>

class QPrintPreviewWidget;

namespace kavro::print {

class CReportPrinting final : public ::CFramePrinting {
public:
    CReportPrinting();
    ~CReportPrinting() override;

    void Print(CKavroDoc& doc, QWidget* parent) override;
    void PageSetup(QWidget* parent) override;
    void PrintTarget(CKavroDoc& doc, QWidget* parent) override;
    void PrintShot(CKavroDoc& doc, QWidget* parent) override;
    QWidget* CreatePreview(CKavroDoc& doc, QWidget* parent) override;
    void ShowPage(QWidget* preview, int step) override;
    void RefreshPreview(QWidget* preview) override;

    // True when pages exist or were built for the current printer.
    bool PrintReport(CKavroDoc& doc);
    void ClearReport() { pages_.clear(); }
    // Drops the printer and the pages laid out for it; the next use makes a new printer.
    void EndPrinter();
    // Prints the built report, pages from..to (1-based; 0: to the last).
    bool PrintPages(CKavroDoc& doc, int from, int to);
    const PrintoutPages& pages() const { return pages_; }
    // Made on first use: the program registers its printing before the application exists.
    QPrinter& printer();
    const ReportMargins& margins() const { return margins_; }
    void SetMargins(const ReportMargins& margins);

private:
    void failed(QWidget* parent);

    std::unique_ptr<QPrinter> printer_;
    ReportMargins margins_;
    PrintoutPages pages_;
    CKavroDoc* previewDoc_ = nullptr;
    QPointer<QPrintPreviewWidget> preview_;
};

// The print dialog for pages 1..pages, all chosen; true to print.
bool askPrinter(QPrinter& printer, QWidget* parent, int pages);
// Answers the print dialogs instead of the user (tests): true prints, false cancels.
void setPrintDialogHook(std::function<bool(QPrinter&)> hook);

// The job name of a practice: its file's name, else "Untitled".
QString jobName(CKavroDoc& doc);
// Names the print job of a report of the practice: its job name, or its title when the printer
// writes a PDF.
void nameDocument(QPrinter& printer, CKavroDoc& doc);

} // namespace kavro::print
