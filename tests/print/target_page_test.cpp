// The print target tool's page: a paper target at true size for the event's own distance,
// measured on a 600 dpi rendering of the PDF.
#include "support/practice_builder.h"
#include "print_support.h"
#include "target_page.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace kavro::print;
using namespace printtest;

namespace {

const trainertest::TestEnvironment environment;

// Dark runs along the row through the image's centre, as (first, last) pixel columns.
std::vector<std::pair<int, int>> darkRuns(const QImage& image, int row)
{
    std::vector<std::pair<int, int>> runs;
    int start = -1;
    for (int x = 0; x < image.width(); ++x) {
        const bool dark = qGray(image.pixel(x, row)) < 128;
        if (dark && start < 0)
            start = x;
        if (!dark && start >= 0) {
            runs.emplace_back(start, x - 1);
            start = -1;
        }
    }
    return runs;
}

} // namespace

TEST(TargetPage, TheAirRifleTargetPrintsAtTrueSize)
{
    ComPtr<IEventParams> event = trainertest::event("AR10");
    ASSERT_TRUE(event);
    float eventDistance = 0;
    event->get_Distance(&eventDistance);
    // Kept with the screenshots for review.
    const QString screens = QStringLiteral(KAVRO_BIN_DIR "/../screens");
    QDir().mkpath(screens);
    const QString pdf = screens + "/print_target_ar10.pdf";
    const PageGeometry g = pdfGeometry(pdf, 600);
    TargetPageRequest r;
    r.event = event.get();
    r.distance = eventDistance;
    r.clip = false; // no card outline across the measuring row
    r.scoreRings = true;
    auto page = BuildTargetPage(r, g);
    ASSERT_TRUE(page);
    PrintoutPages pages;
    pages.push_back(std::move(*page));
    ASSERT_TRUE(writePdf(pdf, 600, pages));
    // A band across the middle of the sheet is enough, and keeps the image small.
    const int middle = int(g.paper.height() / 2);
    const QImage image = pdfPageImage(pdf, 1, 600, QRect(0, middle - 50, int(g.paper.width()), 101));
    ASSERT_FALSE(image.isNull());
    // Ring 1 is the outermost ring: the first and last dark pixels of the centre row are its
    // outer edge.
    const auto runs = darkRuns(image, 50);
    ASSERT_GE(runs.size(), 2u);
    const double outer = (runs.back().second - runs.front().first + 1) * 25.4 / 600;
    EXPECT_NEAR(outer, 45.5, 0.2);
}

TEST(TargetPage, TheCardAndItsLabelFollowTheType)
{
    ComPtr<IEventParams> event = trainertest::event("AR10");
    const PageGeometry g = computePageGeometry(4960, 7016, 600, 600, 0, 0, {});
    TargetPageRequest r;
    r.event = event.get();
    r.distance = 5;
    auto page = BuildTargetPage(r, g);
    ASSERT_TRUE(page);
    ASSERT_EQ(page->cells.size(), 3u); // target, label, cutting line
    auto* card = dynamic_cast<CPrintoutRectangleCell*>(page->cells[2].get());
    ASSERT_TRUE(card);
    EXPECT_NEAR(card->rect.width() * 25.4 / 600, 170, 0.1);
    auto* label = dynamic_cast<CPrintoutTextCell*>(page->cells[1].get());
    ASSERT_TRUE(label);
    EXPECT_TRUE(label->text.endsWith(" (5.00m)"));
    EXPECT_EQ(label->rect.bottom, card->rect.top);

    r.type = CardType::HomeTrainer;
    page = BuildTargetPage(r, g);
    card = dynamic_cast<CPrintoutRectangleCell*>(page->cells[2].get());
    EXPECT_NEAR(card->rect.width() * 25.4 / 600, 48, 0.1);
    EXPECT_NEAR(card->rect.height() * 25.4 / 600, 44, 0.1);
    auto* picture = dynamic_cast<CPrintoutPictureCell*>(page->cells[0].get());
    EXPECT_EQ(picture->clip, card->rect);

    // Half the distance: half the size.
    r.clip = false;
    page = BuildTargetPage(r, g);
    picture = dynamic_cast<CPrintoutPictureCell*>(page->cells[0].get());
    EXPECT_EQ(picture->clip, g.printable);
    const int64_t at5 = picture->rect.width();
    r.distance = 10;
    page = BuildTargetPage(r, g);
    EXPECT_NEAR(double(dynamic_cast<CPrintoutPictureCell*>(page->cells[0].get())->rect.width()), 2.0 * at5, 1.0);

    // Outside 1..500 m nothing is built.
    r.distance = 0.5f;
    EXPECT_FALSE(BuildTargetPage(r, g));
    r.distance = 501;
    EXPECT_FALSE(BuildTargetPage(r, g));
}
