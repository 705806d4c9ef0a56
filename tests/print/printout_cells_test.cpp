// Printout cells on an image: what each draws, where, and what it leaves alone.
#include "printout_cells.h"
#include "target_pictures.h"

#include "gdi/metafile_recorder.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace kavro;
using namespace kavro::print;

namespace {

QImage draw(const PrintoutPage& page, int w = 200, int h = 100)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    DrawPrintoutPage(page, &painter);
    return image;
}

int darkPixels(const QImage& image, QRect area = {})
{
    if (area.isNull())
        area = image.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += qGray(image.pixel(x, y)) < 128;
    return n;
}

} // namespace

TEST(PrintoutCells, EmptyOrDisabledCellsAreNeverDrawn)
{
    PrintoutPage page;
    auto* bar = page.add<CPrintoutBarCell>();
    bar->background = 0;
    bar->rect = {10, 10, 10, 50}; // no width
    auto* outline = page.add<CPrintoutRectangleCell>();
    outline->rect = {20, 20, 80, 80};
    outline->enabled = false;
    auto* white = page.add<CPrintoutBarCell>();
    white->rect = {0, 0, 200, 100}; // the default background is "none"
    EXPECT_EQ(darkPixels(draw(page)), 0);
    bar->SetSize(30, 5);
    EXPECT_EQ(bar->rect, (GdiRect{10, 10, 40, 15}));
    EXPECT_EQ(darkPixels(draw(page)), 150);
}

TEST(PrintoutCells, TextMeasuresWrapsAndKeepsItsInsets)
{
    CPrintoutTextCell cell;
    cell.font = GdiFont{-20, 400, "Arial"};
    cell.text = "Stability of aiming";
    const TextSize one = cell.Measure(0);
    EXPECT_GT(one.width, 100);
    const TextSize wrapped = cell.Measure(one.width / 2);
    EXPECT_GE(wrapped.height, 2 * one.height - 2);
    cell.insetX = 4;
    cell.insetY = 3;
    const TextSize inset = cell.Measure(0);
    EXPECT_EQ(inset.width, one.width + 8);
    EXPECT_EQ(inset.height, one.height + 6);
    cell.enabled = false;
    EXPECT_EQ(cell.Measure(0).width, 0);

    PrintoutPage page;
    auto* text = page.add<CPrintoutTextCell>();
    text->font = cell.font;
    text->text = "WWW";
    text->format = DT_RIGHT | DT_SINGLELINE;
    text->rect = {0, 0, 200, 40};
    const QImage image = draw(page);
    EXPECT_EQ(darkPixels(image, QRect(0, 0, 100, 40)), 0); // right-aligned
    EXPECT_GT(darkPixels(image, QRect(100, 0, 100, 40)), 20);
}

TEST(PrintoutCells, AMetafileKeepsItsProportionsInACellOfAnotherShape)
{
    MetafileRecorder rec;
    rec.setFrame({0, 0, 100, 50});
    rec.fillRect({0, 0, 100, 50}, 0);
    PrintoutPage page;
    auto* cell = page.add<CPrintoutMetaCell>();
    cell->metafile = rec.finish();
    cell->rect = {0, 0, 200, 200}; // square: the 2:1 drawing is centred, 200 x 100
    EXPECT_EQ(cell->fittedRect(), (GdiRect{0, 50, 200, 150}));
    const QImage image = draw(page, 200, 200);
    EXPECT_EQ(darkPixels(image), 200 * 100);
    cell->rect = {0, 0, 400, 100}; // wide: 200 x 100 in the middle
    EXPECT_EQ(cell->fittedRect(), (GdiRect{100, 0, 300, 100}));
}

TEST(PrintoutCells, ThePageClipsWhatOverhangs)
{
    PrintoutPage page;
    page.clip = {0, 0, 100, 100};
    auto* bar = page.add<CPrintoutBarCell>();
    bar->background = 0;
    bar->rect = {50, 0, 200, 10};
    EXPECT_EQ(darkPixels(draw(page)), 50 * 10);
}

TEST(PrintoutCells, TheFiveTargetSchematicMarksTheNearestTarget)
{
    // The third target was nearest and was hit: white with a black outline.
    Metafile hit = DrawFiveTargetSchematic(3, 3);
    std::vector<rec::Ellipse> circles;
    std::vector<rec::SelectBrush> brushes;
    for (const MetafileRecord& r : hit.records()) {
        if (auto* e = std::get_if<rec::Ellipse>(&r))
            circles.push_back(*e);
        if (auto* b = std::get_if<rec::SelectBrush>(&r))
            brushes.push_back(*b);
    }
    ASSERT_EQ(circles.size(), 1u);
    EXPECT_EQ(circles[0].box, (GdiRect{6925, 1925, 8075, 3075}));
    EXPECT_EQ(brushes.back().brush, GdiBrush::solid(0xFFFFFF));
    // Missed it: black.
    Metafile miss = DrawFiveTargetSchematic(-1, 5);
    for (const MetafileRecord& r : miss.records()) {
        if (auto* e = std::get_if<rec::Ellipse>(&r)) {
            EXPECT_EQ(e->box.left, 11925);
        }
    }
    const rec::SelectBrush* last = nullptr;
    for (const MetafileRecord& r : miss.records())
        if (auto* b = std::get_if<rec::SelectBrush>(&r))
            last = b;
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->brush, GdiBrush::solid(0));
    // No area: the frame of the row only.
    size_t ellipses = 0;
    const Metafile none = DrawFiveTargetSchematic(0, 0);
    for (const MetafileRecord& r : none.records())
        ellipses += std::holds_alternative<rec::Ellipse>(r);
    EXPECT_EQ(ellipses, 0u);
}
