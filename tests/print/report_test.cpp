// The printed report of a 60-shot practice written to PDF and read back with poppler: what is on
// which page, how many pages, and the sections the options choose.
#include "app_options.h"
#include "chart_cell.h"
#include "doc_helpers.h"
#include "support/info_shooting.h"
#include "info_page_model.h"
#include "info_statistics.h"
#include "kavro_doc.h"
#include "support/practice_builder.h"
#include "print_support.h"
#include "report.h"
#include "target_pictures.h"

#include <QDir>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kavro::print;
using namespace printtest;
using kavro::GdiRect;

namespace {

const trainertest::TestEnvironment environment;

struct Practice {
    CKavroDoc doc;
    Practice(int shots = 60, const char* event = "AR10")
    {
        infotest::start(doc, event);
        infotest::shoot(doc, charttest::realPracticeSpecs(shots));
        doc.document()->put_Value("_comments", Variant("Morning practice, calm air."));
    }
};

ReportSections only(bool ReportSections::*field)
{
    ReportSections s{false, false, false, false, false, false, false, false};
    s.*field = true;
    return s;
}

const QString kTitles[] = {"Coordination", "Shift", "Speed", "Intervals", "Probability"};

size_t cellsOf(const PrintoutPages& pages, auto pred)
{
    size_t n = 0;
    for (const auto& p : pages)
        for (const auto& c : p.cells)
            n += pred(c.get());
    return n;
}

} // namespace

TEST(Report, SixtyShotsToPdfWithEverySection)
{
    Practice p;
    // Kept with the screenshots for review.
    const QString screens = QStringLiteral(KAVRO_BIN_DIR "/../screens");
    QDir().mkpath(screens);
    const QString pdf = screens + "/report_60_shots.pdf";
    const PageGeometry g = pdfGeometry(pdf, 300);
    const auto pages = PrintReport(p.doc, g, ReportSections{});
    ASSERT_TRUE(pages);
    ASSERT_GE(pages->size(), 3u);
    ASSERT_TRUE(writePdf(pdf, 300, *pages));
    EXPECT_EQ(pdfPageCount(pdf), int(pages->size()));

    QString event;
    p.doc.GetEventDisplayName(&event);
    for (int page = 1; page <= int(pages->size()); ++page) {
        const QString text = pdfText(pdf, page);
        EXPECT_TRUE(text.contains("Anna")) << page; // every page's header
        EXPECT_TRUE(text.contains(event)) << page;
        EXPECT_TRUE(text.contains("KAVRO Shooter Training System")) << page;
    }
    // Each section title on the page the layout put it.
    const QString first = pdfText(pdf, 1);
    EXPECT_TRUE(first.contains("Morning practice")); // comments beside the shots
    const int info = pageWithText(*pages, "Number of match shots");
    ASSERT_GT(info, 0);
    EXPECT_TRUE(pdfText(pdf, info).contains("Number of match shots"));
    const auto s = kavro::info::documentStatistics(p.doc);
    const int result = pageWithText(*pages, QString("integer %1").arg(s->resultInt));
    ASSERT_GT(result, 0);
    EXPECT_TRUE(pdfText(pdf, result).simplified().contains(QString("integer %1").arg(s->resultInt)));
    // The series: six of ten shots, each titled with its number and results.
    const int series = pageWithText(*pages, "#1 ");
    ASSERT_GE(series, info);
    EXPECT_TRUE(pdfText(pdf, series).contains("#1 "));
    const int last = pageWithText(*pages, "#6 ");
    ASSERT_GE(last, series);
    EXPECT_TRUE(pdfText(pdf, last).contains("#6 "));
    EXPECT_FALSE(hasText(*pages, "#7 "));
    int previous = last;
    for (const QString& title : kTitles) {
        const int page = pageWithText(*pages, title);
        ASSERT_GT(page, 0) << title.toStdString();
        EXPECT_GE(page, previous) << title.toStdString(); // in the report's order
        previous = page;
        EXPECT_TRUE(pdfText(pdf, page).contains(title)) << title.toStdString() << " on page " << page;
    }
    // One picture of the match shots, one per series (and the sighting series), and six charts (the probability view prints both of its).
    EXPECT_GE(cellsOf(*pages, [](auto* c) { return dynamic_cast<const CPrintoutPictureCell*>(c) != nullptr; }), 7u);
    EXPECT_EQ(cellsOf(*pages, [](auto* c) { return dynamic_cast<const CPrintoutChartCell*>(c) != nullptr; }), 6u);
}

TEST(Report, EachOptionOffRemovesItsSection)
{
    Practice p(20);
    const PageGeometry g = computePageGeometry(2480, 3508, 300, 300, 0, 0, {});
    const auto all = PrintReport(p.doc, g, ReportSections{});
    ASSERT_TRUE(all);
    struct Case {
        bool ReportSections::*field;
        QString text;
    };
    const Case cases[] = {{&ReportSections::genInfo, "Number of match shots"},
                          {&ReportSections::allShots, "Morning practice"},
                          {&ReportSections::series, "#1 "},
                          {&ReportSections::coordination, "Coordination"},
                          {&ReportSections::shift, "Shift"},
                          {&ReportSections::speed, "Speed"},
                          {&ReportSections::intervals, "Intervals"},
                          {&ReportSections::probability, "Probability"}};
    for (const Case& c : cases) {
        EXPECT_TRUE(hasText(*all, c.text)) << c.text.toStdString();
        ReportSections without;
        without.*(c.field) = false;
        const auto pages = PrintReport(p.doc, g, without);
        ASSERT_TRUE(pages);
        EXPECT_FALSE(hasText(*pages, c.text)) << c.text.toStdString();
        const auto alone = PrintReport(p.doc, g, only(c.field));
        EXPECT_TRUE(hasText(*alone, c.text)) << c.text.toStdString();
    }
    // Nothing chosen: one page with its header and page number only.
    const auto none = PrintReport(p.doc, g, ReportSections{false, false, false, false, false, false, false, false});
    ASSERT_TRUE(none);
    ASSERT_EQ(none->size(), 1u);
    EXPECT_EQ(cellsOf(*none, [](auto* c) { return dynamic_cast<const CPrintoutTextCell*>(c) == nullptr; }),
              1u); // the rule
}

TEST(Report, TwoTargetEventsLeaveOutShiftProbabilityAndDecimalResults)
{
    Practice p(10, "BTLN");
    const PageGeometry g = computePageGeometry(2480, 3508, 300, 300, 0, 0, {});
    const auto pages = PrintReport(p.doc, g, ReportSections{});
    ASSERT_TRUE(pages);
    EXPECT_FALSE(hasText(*pages, "Shift"));
    EXPECT_FALSE(hasText(*pages, "Probability"));
    EXPECT_TRUE(hasText(*pages, "integer "));
    EXPECT_FALSE(hasText(*pages, "fractional "));
    EXPECT_FALSE(hasText(*pages, "Diametrical dispersion"));
    // Each shot row of the series shows the five targets instead of its number.
    size_t schematics = 0;
    for (const auto& page : *pages)
        for (const auto& c : page.cells)
            schematics += dynamic_cast<const CPrintoutMetaCell*>(c.get()) != nullptr;
    EXPECT_EQ(schematics, 10u + 2u); // ten match shots and two sighting shots
}

TEST(Report, ABlockTallerThanAPageGetsAPageOfItsOwn)
{
    Practice p(20);
    // A wide, low sheet: a chart (half the content width high) is taller than any page.
    const PageGeometry g = computePageGeometry(3000, 700, 150, 150, 0, 0, {1000, 500, 1000, 500});
    ReportSections charts{false, false, false, true, true, true, true, true};
    const auto pages = PrintReport(p.doc, g, charts);
    ASSERT_TRUE(pages);
    // The first chart fits below the first header only clipped; every further one starts a page.
    ASSERT_EQ(pages->size(), 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(pageWithText(*pages, kTitles[i]), i + 1);
    for (const PrintoutPage& page : *pages)
        EXPECT_EQ(page.clip, g.content); // what overhangs is clipped to the page
}

TEST(Report, TheShotPageShowsTheSelectedShotOfItsSeries)
{
    Practice p(12);
    const PageGeometry g = computePageGeometry(2480, 3508, 300, 300, 0, 0, {});
    EXPECT_FALSE(BuildShotPage(p.doc, g)); // nothing selected
    ComPtr<IShotCollection> match;
    ASSERT_TRUE(p.doc.GetMatchShots(&match));
    p.doc.SetSelectedShot(shotAt(match.get(), 5).get(), nullptr);
    const auto pages = BuildShotPage(p.doc, g);
    ASSERT_TRUE(pages);
    ASSERT_EQ(pages->size(), 1u);
    EXPECT_TRUE(hasText(*pages, "Shot number 5 of 12"));
}

TEST(Report, PageGeometryKeepsTheMarginsBeyondTheDevicesEdges)
{
    // A4 at 600 dpi: 20 mm = 472 units, 15 mm = 354.
    PageGeometry g = computePageGeometry(4960, 7016, 600, 600, 0, 0, {});
    EXPECT_EQ(g.content, (GdiRect{472, 354, 4960 - 472, 7016 - 354}));
    // An edge of 5 mm (118 units) the device cannot print on is part of the margin.
    g = computePageGeometry(4960, 7016, 600, 600, 118, 118, {});
    EXPECT_EQ(g.printable, (GdiRect{118, 118, 4960 - 118, 7016 - 118}));
    EXPECT_EQ(g.content, (GdiRect{472, 354, 4960 - 472, 7016 - 354}));
    // A margin inside the edge gives way to it.
    g = computePageGeometry(4960, 7016, 600, 600, 500, 500, {});
    EXPECT_EQ(g.content, (GdiRect{500, 500, 4960 - 500, 7016 - 500}));
}

TEST(Report, AllShotsPictureZoomShowsTheWholeFormOfATwoTargetEvent)
{
    // The biathlon form is four times as wide as it is high: a square view of its width would
    // shrink the five plates into a quarter of the picture.
    Practice biathlon(10, "BTLN");
    ComPtr<IEventParams> event;
    ComPtr<IShotCollection> match;
    ASSERT_TRUE(biathlon.doc.GetEvent(&event));
    ASSERT_TRUE(biathlon.doc.GetMatchShots(&match));
    ComPtr<ITargetParams> form;
    ASSERT_TRUE(SUCCEEDED(event->get_Target(1, form.put())) && form);
    float w = 0, h = 0;
    form->get_FormWidth(&w);
    form->get_FormHeight(&h);
    ASSERT_NE(w, h);
    EXPECT_EQ(GetShotsZoom(event.get(), match.get(), true), QSizeF(w / 2, h / 2));

    // One target: the smallest ring holding every breach, the same both ways.
    Practice ring(20);
    ASSERT_TRUE(ring.doc.GetEvent(&event));
    ASSERT_TRUE(ring.doc.GetMatchShots(&match));
    ASSERT_TRUE(SUCCEEDED(event->get_Target(1, form.put())) && form);
    const QSizeF zoom = GetShotsZoom(event.get(), match.get(), false);
    EXPECT_EQ(zoom.width(), zoom.height());
    float extent = 0;
    for (int i = 1, n = countOf(match.get()); i <= n; ++i) {
        float x = 0, y = 0;
        shotAt(match.get(), i)->get_BreachX(&x);
        shotAt(match.get(), i)->get_BreachY(&y);
        extent = std::max({extent, std::fabs(x) + 2.25f, std::fabs(y) + 2.25f}); // half the 4.5 mm calibre
    }
    bool isRing = false;
    for (int r = 1; r <= 9; ++r) {
        float d = 0;
        form->get_Ring(r, &d);
        isRing |= float(zoom.width()) == d / 2;
    }
    EXPECT_TRUE(isRing) << zoom.width();
    EXPECT_GE(zoom.width(), extent);
}

TEST(Report, BiathlonStandingAndProneKeepTheirProportionsOnThePage)
{
    CKavroDoc doc;
    infotest::start(doc, "BTLN");
    std::vector<charttest::AimingSpec> specs = charttest::realPracticeSpecs(10);
    for (size_t i = 0; i < specs.size(); ++i)
        specs[i].subTarget = i % 2 ? 2 : 1;
    infotest::shoot(doc, specs);
    doc.document()->put_Value("_comments", Variant("Wind from the left, calm when prone."));
    const QString screens = QStringLiteral(KAVRO_BIN_DIR "/../screens");
    QDir().mkpath(screens);
    const QString pdf = screens + "/report_biathlon_standing_prone.pdf";
    const PageGeometry g = pdfGeometry(pdf, 300);
    auto pages = PrintReport(doc, g, ReportSections{});
    ASSERT_TRUE(pages);
    ASSERT_TRUE(writePdf(pdf, 300, *pages));
    for (int page = 1; page <= int(pages->size()); ++page)
        EXPECT_TRUE(savePagePng(pdf, page, screens + QString("/report_biathlon_standing_prone_%1.png").arg(page)));
    EXPECT_TRUE(pdfText(pdf, 1).simplified().contains("Wind from the left, calm when prone."));

    // The shot's own page too: every target picture lies on the content and keeps the proportions
    // of the form it shows.
    ComPtr<IShotCollection> match;
    ASSERT_TRUE(doc.GetMatchShots(&match));
    doc.SetSelectedShot(shotAt(match.get(), 2).get(), nullptr);
    auto shotPage = BuildShotPage(doc, g);
    ASSERT_TRUE(shotPage);
    pages->push_back(std::move(shotPage->front()));
    size_t pictures = 0;
    for (const PrintoutPage& page : *pages)
        for (const auto& c : page.cells)
            if (auto* p = dynamic_cast<const CPrintoutPictureCell*>(c.get())) {
                ++pictures;
                const GdiRect& r = p->rect;
                EXPECT_TRUE(r.left >= g.content.left && r.right <= g.content.right && r.top >= g.content.top
                            && r.bottom <= g.content.bottom)
                    << r.left << "," << r.top << "," << r.right << "," << r.bottom;
                int32_t w = 0, h = 0;
                p->picture->get_Width(&w);
                p->picture->get_Height(&h);
                EXPECT_NEAR(double(r.width()) / double(r.height()), double(w) / h, 0.01 * w / h);
            }
    EXPECT_GE(pictures, 2u + 1u + 1u); // standing and prone, the series, the shot
}

TEST(Report, ShotPageHeaderTextsKeepToTheirPlaces)
{
    struct Case {
        const char* event;
        QString shooter;
        const char* screen; // kept for review when set
    };
    const QString longName = "Maximiliane Alexandra Konstantina von Hohenzollern-Sigmaringen und Thurn-Taxis";
    const Case cases[] = {{"SPF", "Anna", "shot_page_spf"},
                          {"N4TL15", "Anna", nullptr},
                          {"MRF-22-10", longName, nullptr},
                          {"AR10", longName + " " + longName, nullptr}};
    QTemporaryDir dir;
    const QString screens = QStringLiteral(KAVRO_BIN_DIR "/../screens");
    QDir().mkpath(screens);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event);
        CKavroDoc doc;
        infotest::start(doc, c.event);
        doc.document()->put_ShooterName(c.shooter);
        infotest::shoot(doc, charttest::realPracticeSpecs(12));
        ComPtr<IShotCollection> match;
        ASSERT_TRUE(doc.GetMatchShots(&match));
        doc.SetSelectedShot(shotAt(match.get(), 5).get(), nullptr);
        const QString pdf = c.screen ? screens + "/" + c.screen + ".pdf" : dir.filePath("shot.pdf");
        const PageGeometry g = pdfGeometry(pdf, 300);
        const auto pages = BuildShotPage(doc, g);
        ASSERT_TRUE(pages);
        ASSERT_TRUE(writePdf(pdf, 300, *pages));
        if (c.screen) {
            EXPECT_TRUE(savePagePng(pdf, 1, screens + "/" + c.screen + ".png"));
        }
        const auto rule = std::find_if(pages->front().cells.begin(), pages->front().cells.end(),
                                       [](const auto& cell) { return dynamic_cast<CPrintoutBarCell*>(cell.get()); });
        ASSERT_NE(rule, pages->front().cells.end());
        const double toPt = 72.0 / g.dpiY;
        std::vector<PdfWord> header;
        for (const PdfWord& w : pdfWords(pdf, 1))
            if (w.box.bottom() <= (*rule)->rect.top * toPt + 1)
                header.push_back(w);
        QString text;
        for (const PdfWord& w : header)
            text += w.text + " ";
        EXPECT_TRUE(text.contains("Shot number 5 of 12")) << text.toStdString();
        EXPECT_TRUE(text.contains("KAVRO Shooter Training System")) << text.toStdString();
        for (size_t i = 0; i < header.size(); ++i) {
            const QRectF& a = header[i].box;
            EXPECT_GE(a.left(), g.content.left * toPt - 0.5) << header[i].text.toStdString();
            EXPECT_LE(a.right(), g.content.right * toPt + 0.5) << header[i].text.toStdString();
            // Lines may touch: their boxes hold the fonts' whole ascent and descent.
            for (size_t j = i + 1; j < header.size(); ++j)
                EXPECT_FALSE(a.adjusted(0, 1, 0, -1).intersects(header[j].box.adjusted(0, 1, 0, -1)))
                    << header[i].text.toStdString() << " over " << header[j].text.toStdString();
        }
        // The brand line is the one italic text of the page.
        const QStringList fonts = pdfFontNames(pdf);
        EXPECT_EQ(fonts.filter("Italic").size(), 1) << fonts.join(' ').toStdString();
    }
}

TEST(Report, PrintedChartsKeepToTheirCells)
{
    Practice p;
    const PageGeometry g = computePageGeometry(2480, 3508, 300, 300, 0, 0, {});
    const auto pages = PrintReport(p.doc, g, ReportSections{false, false, false, true, true, true, true, true});
    ASSERT_TRUE(pages);
    size_t cells = 0;
    for (const PrintoutPage& page : *pages)
        for (const auto& cell : page.cells) {
            auto* c = dynamic_cast<const CPrintoutChartCell*>(cell.get());
            if (!c)
                continue;
            SCOPED_TRACE(cells++);
            // Nothing the chart draws lies beyond its cell.
            const int margin = 150;
            const QRect inner(margin, margin, int(c->rect.width()), int(c->rect.height()));
            QImage image(inner.width() + 2 * margin, inner.height() + 2 * margin, QImage::Format_Grayscale8);
            image.fill(Qt::white);
            {
                QPainter painter(&image);
                painter.translate(margin - c->rect.left, margin - c->rect.top);
                c->Draw(&painter);
            }
            int outside = 0;
            for (int y = 0; y < image.height(); ++y) {
                const uchar* line = image.constScanLine(y);
                for (int x = 0; x < image.width(); ++x)
                    outside += line[x] < 224 && !inner.contains(x, y);
            }
            EXPECT_EQ(outside, 0);
        }
    EXPECT_EQ(cells, 6u);

    // One shot has no intervals to chart, and no such section.
    Practice one(1);
    const auto single = PrintReport(one.doc, g, only(&ReportSections::intervals));
    ASSERT_TRUE(single);
    EXPECT_FALSE(hasText(*single, "Intervals"));
}

TEST(Report, BiathlonSeriesShowEachShotOnItsOwnTargetAndTheChartsBothPositions)
{
    CKavroDoc doc;
    infotest::start(doc, "BTLN");
    infotest::shoot(doc, infotest::biathlonSpecs());
    QTemporaryDir dir;
    const QString pdf = dir.filePath("biathlon.pdf");
    const int dpi = 300;
    const PageGeometry g = pdfGeometry(pdf, dpi);
    const auto pages = PrintReport(doc, g, ReportSections{});
    ASSERT_TRUE(pages);
    ASSERT_TRUE(writePdf(pdf, dpi, *pages));
    const double toPt = 72.0 / dpi;
    auto dark = [](const QImage& image) {
        qint64 n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += qGray(image.pixel(x, y)) < 128;
        return double(n) / std::max<qint64>(1, qint64(image.width()) * image.height());
    };

    // Every shot row: its number under "#", where it went on the five targets under "Result"
    // (between the number and the next column).
    std::vector<int> numbers;
    int rowsWithResult = 0;
    for (int page = 1; page <= int(pages->size()); ++page) {
        std::vector<PdfWord> words = pdfWords(pdf, page);
        std::sort(words.begin(), words.end(),
                  [](const PdfWord& a, const PdfWord& b) { return a.box.top() < b.box.top(); });
        const QImage image = pdfPageImage(pdf, page, dpi);
        std::vector<QRectF> heads, times;
        for (const PdfWord& w : words)
            if (w.text == "#")
                heads.push_back(w.box);
        for (const QRectF& head : heads)
            for (const PdfWord& w : words)
                if (w.text == "Time" && std::fabs(w.box.top() - head.top()) < 1)
                    times.push_back(w.box);
        ASSERT_EQ(heads.size(), times.size());
        for (size_t h = 0; h < heads.size(); ++h) {
            const double end = h + 1 < heads.size() ? heads[h + 1].top() : 1e9;
            for (const PdfWord& w : words) {
                const QRectF& b = w.box;
                if (std::fabs(b.left() - heads[h].left()) > 1 || b.top() < heads[h].bottom() || b.top() >= end)
                    continue;
                numbers.push_back(w.text.toInt());
                const QRect between(int(b.right() / toPt) + 2, int(b.top() / toPt),
                                    int((times[h].left() - b.right()) / toPt) - 4, int(b.height() / toPt));
                rowsWithResult += dark(image.copy(between)) * between.width() * between.height() > 50;
            }
        }
    }
    const std::vector<int> expected = {1, 1, 1, 2, 3, 4, 5, 1, 2, 3, 4, 5, 1, 2, 3, 4, 5, 1, 2, 3, 4, 5};
    EXPECT_EQ(numbers, expected);
    EXPECT_EQ(rowsWithResult, int(expected.size()));

    // A series' picture shows the plates of its own position, as the pictures of all standing and
    // all prone shots do: across the plates' middle a prone plate shows its inner ring, a
    // standing one is black throughout.
    auto crossings = [](const QImage& image) {
        int most = 0;
        for (int y = image.height() / 2 - 2; y <= image.height() / 2 + 2; ++y) {
            int n = 0;
            for (int x = 1; x < image.width(); ++x)
                n += (qGray(image.pixel(x, y)) < 128) != (qGray(image.pixel(x - 1, y)) < 128);
            most = std::max(most, n);
        }
        return most;
    };
    std::vector<int> pictures;
    for (size_t p = 0; p < pages->size(); ++p)
        for (const auto& c : (*pages)[p].cells)
            if (auto* picture = dynamic_cast<const CPrintoutPictureCell*>(c.get())) {
                const GdiRect& r = picture->rect;
                pictures.push_back(
                    crossings(pdfPageImage(pdf, int(p) + 1, dpi, QRect(r.left, r.top, r.width(), r.height()))));
            }
    ASSERT_EQ(pictures.size(), 2u + 2u + 4u); // standing and prone, two sighting series, four stages
    const int standing = pictures[0], prone = pictures[1];
    ASSERT_GT(prone, standing + 10);
    for (size_t i = 2; i < pictures.size(); ++i) {
        const bool isProne = i == 5 || i == 7;
        EXPECT_EQ(pictures[i] > (standing + prone) / 2, isProne) << "series picture " << i - 1 << ": " << pictures[i];
    }

    // The coordination chart's scale marks both positions' plates.
    const int coordination = pageWithText(*pages, "Coordination");
    ASSERT_GT(coordination, 0);
    const QString text = pdfText(pdf, coordination);
    EXPECT_TRUE(text.contains("Standing")) << text.toStdString();
    EXPECT_TRUE(text.contains("Prone")) << text.toStdString();
}

TEST(Report, AllMissedPracticeHasAResultOfNoughtAndNoEmptyCharts)
{
    CKavroDoc doc;
    infotest::start(doc);
    std::vector<charttest::AimingSpec> specs = charttest::realPracticeSpecs(10);
    for (charttest::AimingSpec& s : specs)
        s.missed = true;
    infotest::shoot(doc, specs);
    QTemporaryDir dir;
    const QString pdf = dir.filePath("missed.pdf");
    const PageGeometry g = pdfGeometry(pdf, 300);
    const auto pages = PrintReport(doc, g, ReportSections{});
    ASSERT_TRUE(pages);
    ASSERT_TRUE(writePdf(pdf, 300, *pages));
    QString text;
    for (int page = 1; page <= int(pages->size()); ++page)
        text += pdfText(pdf, page).simplified() + " ";

    // Ten shots that all missed score nothing: a result, not a figure that is not available.
    const kavro::info::InfoPageModel info = kavro::info::BuildInfoPage(doc, kavro::info::computeColumns(doc));
    struct Case {
        const char* id;
        const char* label;
        QString page, printed;
    };
    const Case cases[] = {{"idResultInt", "integer ", "0", "0"},
                          {"idResultFractional", "fractional ", "0.0", "0.0"},
                          {"idResultAverage", "average ", "0.000", "0.0"}};
    for (const Case& c : cases) {
        EXPECT_EQ(info.text(c.id).trimmed(), c.page) << c.id;
        EXPECT_TRUE(text.contains(c.label + c.printed + " ")) << c.label << " in " << text.toStdString();
    }
    // The intervals' bars of missed shots have no height: nothing to chart, no section.
    EXPECT_FALSE(text.contains("Intervals")) << text.toStdString();
}
