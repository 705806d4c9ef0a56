// The frame's print commands: preview and printing share one page list, the page setup starts
// with the report's margins, and the print target tool builds, previews and prints its page.
#include "doc_helpers.h"
#include "support/info_shooting.h"
#include "kavro_doc.h"
#include "page_setup_dialog.h"
#include "support/practice_builder.h"
#include "print_support.h"
#include "print_target_dialog.h"
#include "report_printing.h"
#include "view_registry.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintPreviewWidget>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace kavro::print;
using namespace printtest;

namespace {

const trainertest::TestEnvironment environment;

void toPdf(QPrinter& printer, const QString& path)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setResolution(300);
    printer.setPageSize(QPageSize(QPageSize::A4));
}

struct DialogAnswer {
    explicit DialogAnswer(bool print)
    {
        setPrintDialogHook([print](QPrinter&) { return print; });
    }
    ~DialogAnswer() { setPrintDialogHook(nullptr); }
};

} // namespace

TEST(ReportPrinting, IsTheProgramsPrinting)
{
    EXPECT_NE(dynamic_cast<kavro::print::CReportPrinting*>(reportPrinting()), nullptr);
}

TEST(ReportPrinting, PreviewAndPrintGiveTheSamePages)
{
    CKavroDoc doc;
    infotest::start(doc);
    infotest::shoot(doc, charttest::realPracticeSpecs(60));
    QTemporaryDir dir;
    kavro::print::CReportPrinting printing;
    toPdf(printing.printer(), dir.filePath("report.pdf"));
    std::unique_ptr<QWidget> widget(printing.CreatePreview(doc, nullptr));
    auto* preview = qobject_cast<QPrintPreviewWidget*>(widget.get());
    ASSERT_NE(preview, nullptr);
    preview->resize(800, 1000);
    preview->show();
    preview->updatePreview();
    QApplication::processEvents();
    const int shown = preview->pageCount();
    EXPECT_EQ(shown, int(printing.pages().size()));
    EXPECT_GE(shown, 3);
    printing.ShowPage(preview, 1);
    EXPECT_EQ(preview->currentPage(), 2);
    printing.ShowPage(preview, -5);
    EXPECT_EQ(preview->currentPage(), 1);

    {
        DialogAnswer print(true);
        printing.Print(doc, nullptr);
    }
    EXPECT_EQ(pdfPageCount(dir.filePath("report.pdf")), shown);
    // The PDF tells whose practice it holds.
    const QString title = pdfInfoField(dir.filePath("report.pdf"), "Title");
    EXPECT_EQ(title, reportTitle(doc));
    EXPECT_TRUE(title.startsWith("Anna, Air Rifle 10 Meters") && title.count(", ") == 2) << title.toStdString();

    // Page setup's margins lay the report out again, and the open preview follows.
    printing.SetMargins({2000, 9000, 2000, 9000});
    printing.RefreshPreview(preview);
    EXPECT_GT(int(printing.pages().size()), shown);
    EXPECT_EQ(preview->pageCount(), int(printing.pages().size()));

    // A cancelled dialog prints nothing.
    QFile::remove(dir.filePath("report.pdf"));
    {
        DialogAnswer cancel(false);
        printing.Print(doc, nullptr);
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("report.pdf")));
}

// The words of a printed report's text layer: each one outside the pictures and charts is a
// word of the text cell it lies in. Ring numbers that a zoomed target picture clips away are not
// in the file, where a viewer's search and copy would find them among the header and the table.
TEST(ReportPrinting, TheTextLayerHoldsOnlyTheWordsShown)
{
    const struct {
        const char* event;
        int shots;
    } cases[] = {{"AR10", 60}, {"AP10", 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.event);
        CKavroDoc doc;
        infotest::start(doc, c.event);
        infotest::shoot(doc, charttest::realPracticeSpecs(c.shots));
        QTemporaryDir dir;
        const QString pdf = dir.filePath("report.pdf");
        kavro::print::CReportPrinting printing;
        toPdf(printing.printer(), pdf);
        {
            DialogAnswer print(true);
            printing.Print(doc, nullptr);
        }
        const auto& pages = printing.pages();
        ASSERT_EQ(pdfPageCount(pdf), int(pages.size()));
        const double toPoints = 72.0 / printing.printer().resolution();
        auto box = [toPoints](const kavro::GdiRect& r) {
            return QRectF(r.left * toPoints, r.top * toPoints, r.width() * toPoints, r.height() * toPoints);
        };
        if (std::string(c.event) == "AR10") {
            const QString screens = QStringLiteral(KAVRO_BIN_DIR "/../screens");
            QDir().mkpath(screens);
            EXPECT_TRUE(savePagePng(pdf, 1, screens + "/report_text_layer_ar10.png"));
        }
        for (int page = 1; page <= int(pages.size()); ++page) {
            const std::vector<PdfWord> words = pdfWords(pdf, page);
            ASSERT_FALSE(words.empty());
            for (const PdfWord& word : words) {
                bool inPicture = false, inCell = false;
                for (const auto& cell : pages[size_t(page - 1)].cells) {
                    const QRectF r = box(cell->rect);
                    if (auto* t = dynamic_cast<const CPrintoutTextCell*>(cell.get()))
                        inCell |= r.adjusted(-2, -2, 2, 2).contains(word.box.center())
                            && t->text.split(QRegularExpression("\\s+")).contains(word.text);
                    else
                        inPicture |= r.contains(word.box.center());
                }
                EXPECT_TRUE(inPicture || inCell) << "page " << page << ": \"" << word.text.toStdString() << "\" at "
                                                 << word.box.left() << ", " << word.box.top();
            }
        }
    }
}

TEST(ReportPrinting, TheSelectedShotPrintsOnAPageOfItsOwn)
{
    CKavroDoc doc;
    infotest::start(doc);
    infotest::shoot(doc, charttest::realPracticeSpecs(8));
    QTemporaryDir dir;
    kavro::print::CReportPrinting printing;
    toPdf(printing.printer(), dir.filePath("shot.pdf"));
    DialogAnswer print(true);
    printing.PrintShot(doc, nullptr); // nothing selected: nothing printed
    EXPECT_FALSE(QFile::exists(dir.filePath("shot.pdf")));
    ComPtr<IShotCollection> match;
    ASSERT_TRUE(doc.GetMatchShots(&match));
    doc.SetSelectedShot(shotAt(match.get(), 3).get(), nullptr);
    printing.PrintShot(doc, nullptr);
    EXPECT_EQ(pdfPageCount(dir.filePath("shot.pdf")), 1);
    EXPECT_TRUE(pdfText(dir.filePath("shot.pdf"), 1).contains("Shot number 3 of 8"));
}

TEST(ReportPrinting, PageSetupStartsWithTwentyAndFifteenMillimetres)
{
    kavro::print::CReportPrinting printing;
    EXPECT_EQ(printing.margins(), (ReportMargins{2000, 1500, 2000, 1500}));
    CPageSetupDialog dialog(printing.printer(), printing.margins());
    EXPECT_EQ(dialog.margins(), (ReportMargins{2000, 1500, 2000, 1500}));
    QDir().mkpath(QStringLiteral(KAVRO_BIN_DIR "/../screens"));
    dialog.grab().save(QStringLiteral(KAVRO_BIN_DIR "/../screens/page_setup_dialog.png"));
    auto spins = dialog.findChildren<QDoubleSpinBox*>();
    ASSERT_EQ(spins.size(), 4);
    EXPECT_DOUBLE_EQ(spins[0]->value(), 20.0);
    EXPECT_DOUBLE_EQ(spins[2]->value(), 15.0);
    spins[0]->setValue(12.5);
    EXPECT_EQ(dialog.margins().left, 1250);
    auto* paper = dialog.findChild<QComboBox*>("paper");
    paper->setCurrentIndex(paper->findText(QPageSize::name(QPageSize::Letter)));
    dialog.apply(printing.printer());
    EXPECT_EQ(printing.printer().pageLayout().pageSize().id(), QPageSize::Letter);
}

namespace {

constexpr double kMmPerPoint = 25.4 / 72;

struct PdfCircle {
    QPointF centre; // mm
    double diameter; // mm, to the outer edge of its line
};

// The circles a page paints and its largest rectangle outline, from the drawing coordinates.
std::vector<PdfCircle> circlesOf(const std::vector<PdfPath>& paths, QRectF* card)
{
    std::vector<PdfCircle> circles;
    *card = QRectF();
    for (const PdfPath& p : paths)
        for (const PdfPath::Subpath& s : p.subpaths) {
            if (s.points.size() < 4)
                continue;
            QPointF low = s.points.front(), high = low;
            for (const QPointF& q : s.points) {
                low = QPointF(std::min(low.x(), q.x()), std::min(low.y(), q.y()));
                high = QPointF(std::max(high.x(), q.x()), std::max(high.y(), q.y()));
            }
            const QRectF box(low, high);
            if (!s.curved) {
                if (p.stroked && box.width() * box.height() > card->width() * card->height())
                    *card = box;
                continue;
            }
            const double r = (box.width() + box.height()) / 4;
            circles.push_back({box.center() * kMmPerPoint, (2 * r + (p.stroked ? p.lineWidth : 0)) * kMmPerPoint});
        }
    *card = QRectF(card->topLeft() * kMmPerPoint, card->bottomRight() * kMmPerPoint);
    return circles;
}

void selectEvent(CPrintTargetDlg& dialog, const QString& shortName)
{
    for (int i = 0; i < dialog.events()->count(); ++i) {
        QString name;
        dialog.events()->item(i)->data(Qt::UserRole).value<IEventParams*>()->get_ShortName(&name);
        if (name == shortName)
            return dialog.events()->setCurrentRow(i);
    }
    ADD_FAILURE() << "no event " << shortName.toStdString();
}

} // namespace

// A paper target is true to size for the distance it is printed for: the outer edge of every ring
// lies within 0.05 mm of the event's ring diameter scaled by that distance, and the rings are
// centred on the card, whatever the event, the distance, the card and the printer's resolution.
TEST(PrintTargetTool, EveryRingPrintsTrueToSizeOnTheCardsCentre)
{
    const struct {
        const char* event;
        double distance;
        int type;
        int dpi;
    } cases[] = {
        {"AR10", 10, 1, 1200}, {"AR10", 12.25, 1, 1200}, {"AR10", 5, 0, 600},    {"AR10", 2.5, 3, 1200},
        {"AP10", 10, 1, 1200}, {"AP10", 7.5, 2, 600},    {"SBR50", 10, 1, 1200}, {"SBR50", 50, 1, 600},
    };
    QPrinter printer(QPrinter::HighResolution);
    CPrintTargetDlg dialog(printer, "practice.kavro");
    DialogAnswer print(true);
    const QString screens = QStringLiteral(KAVRO_BIN_DIR "/../screens");
    QDir().mkpath(screens);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.event << " at " << c.distance << " m, card " << c.type << ", " << c.dpi
                                        << " dpi");
        const QString pdf = screens + QStringLiteral("/paper_target_%1.pdf").arg(c.event);
        toPdf(printer, pdf);
        printer.setResolution(c.dpi);
        selectEvent(dialog, c.event);
        dialog.typeBox()->setCurrentIndex(c.type);
        dialog.distanceBox()->setValue(c.distance);
        ASSERT_TRUE(dialog.PrintPage());
        QRectF card;
        const std::vector<PdfCircle> circles = circlesOf(pdfPaths(pdf, 1), &card);
        ASSERT_FALSE(circles.empty());
        ASSERT_FALSE(card.isEmpty());
        float w = 0, h = 0;
        kavro::print::cardSize(kavro::print::CardType(c.type), &w, &h);
        // The outline is the thinnest line, on the card's outermost device pixels.
        EXPECT_NEAR(card.width(), w, 2 * 25.4 / c.dpi);
        EXPECT_NEAR(card.height(), h, 2 * 25.4 / c.dpi);

        IEventParams* event = dialog.request().event;
        ComPtr<ITargetParams> target;
        ASSERT_TRUE(SUCCEEDED(event->get_Target(1, target.put())));
        float eventDistance = 0;
        event->get_Distance(&eventDistance);
        for (int ring = 1; ring <= 10; ++ring) {
            float d = 0;
            target->get_Ring(ring, &d);
            if (!(d > 0))
                continue;
            const double wanted = d * c.distance / eventDistance;
            const PdfCircle& nearest = *std::min_element(circles.begin(), circles.end(), [&](auto& a, auto& b) {
                return std::fabs(a.diameter - wanted) < std::fabs(b.diameter - wanted);
            });
            EXPECT_NEAR(nearest.diameter, wanted, 0.05) << "ring " << ring;
            EXPECT_NEAR(nearest.centre.x(), card.center().x(), 0.05) << "ring " << ring;
            EXPECT_NEAR(nearest.centre.y(), card.center().y(), 0.05) << "ring " << ring;
        }
        if (std::string(c.event) == "AP10") {
            EXPECT_TRUE(savePagePng(pdf, 1, screens + "/paper_target_ap10.png"));
        }
    }
}

// The distance the tool takes: a number of 1 to 500 m; anything else is refused, never read as
// another distance.
TEST(PrintTargetTool, TheDistanceReadsOnlyAsTyped)
{
    const struct {
        const char* text;
        float metres; // 0: refused
    } cases[] = {
        {"10", 10},  {"1", 1},      {"500", 500},  {" 12.25 ", 12.25f}, {"7.5", 7.5f}, {"0", 0},
        {"0.99", 0}, {"500.01", 0}, {"100000", 0}, {"-5", 0},           {"5m", 0},     {"abc", 0},
        {"", 0},     {"-", 0},      {"nan", 0},    {"inf", 0},
    };
    for (const auto& c : cases) {
        const std::optional<float> read = readTargetDistance(c.text, QLocale::c());
        EXPECT_EQ(read.value_or(0), c.metres) << '"' << c.text << '"';
    }
    // Typed as the interface's language writes it, or as the C locale does.
    EXPECT_EQ(readTargetDistance("12,5", QLocale(QLocale::German)).value_or(0), 12.5f);
    EXPECT_EQ(readTargetDistance("12.5", QLocale(QLocale::German)).value_or(0), 12.5f);
}

// What the edit shows is what prints: a text that is no distance stays as typed, and Print and
// Enter refuse it at the edit instead of printing the last distance that read. The tool opens on
// the practice's event.
TEST(PrintTargetTool, ARefusedDistanceStaysInTheEditAndIsNeverPrinted)
{
    CKavroDoc doc;
    infotest::start(doc, "AP10");
    ComPtr<IEventParams> event;
    ASSERT_TRUE(doc.GetEvent(&event));
    QPrinter printer(QPrinter::HighResolution);
    QTemporaryDir dir;
    const QString pdf = dir.filePath("target.pdf");
    toPdf(printer, pdf);
    CPrintTargetDlg dialog(printer, "practice.kavro", event.get());
    QString name;
    ASSERT_TRUE(dialog.events()->currentItem());
    dialog.request().event->get_ShortName(&name);
    EXPECT_EQ(name, "AP10");
    EXPECT_NE(dialog.events()->currentRow(), 0); // not the list's first

    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QLineEdit* edit = dialog.distanceBox()->findChild<QLineEdit*>();
    ASSERT_TRUE(edit);
    DialogAnswer print(true);
    for (const char* typed : {"0", "-5", "100000", "ten"}) {
        SCOPED_TRACE(typed);
        dialog.typeBox()->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, typed);
        EXPECT_EQ(edit->text(), typed);
        EXPECT_FALSE(dialog.PrintPage());
        EXPECT_FALSE(QFile::exists(pdf));
        EXPECT_TRUE(dialog.distanceBox()->hasFocus());
        EXPECT_EQ(edit->text(), typed);
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(edit->text(), typed);
    }
    edit->selectAll();
    QTest::keyClicks(edit, "12.5");
    EXPECT_TRUE(dialog.PrintPage());
    EXPECT_TRUE(pdfText(pdf, 1).contains("(12.50m)"));
}

TEST(PrintTargetTool, BuildsPreviewsAndPrintsItsPage)
{
    QPrinter printer(QPrinter::HighResolution);
    QTemporaryDir dir;
    const QString screens = QStringLiteral(KAVRO_BIN_DIR "/../screens");
    QDir().mkpath(screens);
    toPdf(printer, screens + "/print_target_tool.pdf");
    CPrintTargetDlg dialog(printer, "practice.kavro");
    ASSERT_GT(dialog.events()->count(), 5);
    EXPECT_EQ(dialog.typeBox()->currentIndex(), 1);
    EXPECT_DOUBLE_EQ(dialog.distanceBox()->value(), 10.0);
    EXPECT_TRUE(dialog.ringsBox()->isChecked());
    EXPECT_TRUE(dialog.clipBox()->isChecked());
    // The distance takes 1..500 m.
    dialog.distanceBox()->setValue(0.2);
    EXPECT_DOUBLE_EQ(dialog.distanceBox()->value(), 1.0);
    dialog.distanceBox()->setValue(900);
    EXPECT_DOUBLE_EQ(dialog.distanceBox()->value(), 500.0);
    dialog.distanceBox()->setValue(10);

    for (int i = 0; i < dialog.events()->count(); ++i) {
        dialog.events()->setCurrentRow(i);
        if (dialog.request().event && dialog.BuildTargetPage())
            break;
    }
    ASSERT_TRUE(dialog.page());
    dialog.setExpanded(true);
    EXPECT_TRUE(dialog.expanded());
    dialog.show();
    QApplication::processEvents();
    dialog.grab().save(screens + "/print_target_tool.png");
    // Another card type discards the page; the preview builds the new one.
    const kavro::GdiRect card = dialog.page()->cells.back()->rect;
    dialog.typeBox()->setCurrentIndex(3);
    EXPECT_FALSE(dialog.page());
    dialog.repaint();
    ASSERT_TRUE(dialog.page());
    EXPECT_LT(dialog.page()->cells.back()->rect.width(), card.width());

    DialogAnswer print(true);
    EXPECT_TRUE(dialog.PrintPage());
    EXPECT_EQ(pdfPageCount(screens + "/print_target_tool.pdf"), 1);
    EXPECT_TRUE(savePagePng(screens + "/print_target_tool.pdf", 1, screens + "/print_target_tool_page.png"));

    // Enter in the edit with a distance that does not read beeps and keeps the tool open at the
    // edit, with the text as typed.
    toPdf(printer, dir.filePath("target.pdf"));
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QLineEdit* distanceEdit = dialog.distanceBox()->findChild<QLineEdit*>();
    ASSERT_TRUE(distanceEdit);
    for (QWidget* target : {static_cast<QWidget*>(distanceEdit), static_cast<QWidget*>(&dialog)}) {
        dialog.distanceBox()->setFocus();
        distanceEdit->setText(QStringLiteral("0"));
        QTest::keyClick(target, Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), 0);
        EXPECT_EQ(distanceEdit->text(), QStringLiteral("0"));
        EXPECT_TRUE(dialog.distanceBox()->hasFocus());
    }

    // A typed distance is taken as typed and printed with two decimals; the arrows step to the
    // next tenth.
    distanceEdit->selectAll();
    QTest::keyClicks(distanceEdit, QStringLiteral("12.25"));
    EXPECT_DOUBLE_EQ(dialog.distanceBox()->value(), 12.25);
    ASSERT_TRUE(dialog.BuildTargetPage());
    bool labelled = false;
    for (const auto& cell : dialog.page()->cells)
        if (auto* t = dynamic_cast<CPrintoutTextCell*>(cell.get()))
            labelled |= t->text.endsWith(" (12.25m)");
    EXPECT_TRUE(labelled);
    QTest::keyClick(distanceEdit, Qt::Key_Up);
    EXPECT_DOUBLE_EQ(dialog.distanceBox()->value(), 12.3);
    QTest::keyClick(distanceEdit, Qt::Key_Down);
    QTest::keyClick(distanceEdit, Qt::Key_Down);
    EXPECT_DOUBLE_EQ(dialog.distanceBox()->value(), 12.1);
    distanceEdit->selectAll();
    QTest::keyClicks(distanceEdit, QStringLiteral("12.5"));

    // Collapsed, the tool shows nothing of the preview.
    QLabel* previewLabel = nullptr;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        if (label->text() == QStringLiteral("Preview"))
            previewLabel = label;
    ASSERT_TRUE(previewLabel);
    EXPECT_TRUE(previewLabel->isVisible());
    dialog.setExpanded(false);
    EXPECT_FALSE(previewLabel->isVisible());

    // Enter closes the tool with its settings; it does not print again.
    QTest::keyClick(distanceEdit, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(dialog.distanceBox()->value(), 12.5);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(QFile::exists(dir.filePath("target.pdf")));
}
