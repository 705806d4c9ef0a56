// Zoom levels tied to the rings and to the event's own zoom values, zoom to a rectangle and to
// fit, and hit testing of breaches.
#include "event_log.h"
#include "hit_test.h"

#include <QLocale>
#include <clocale>

using namespace kt;
using kavro::target::hitTest;

namespace {

GdiRect square(int32_t side) // 0.01 mm
{
    return {-side / 2, -side / 2, -side / 2 + side, -side / 2 + side};
}

struct Zoomed {
    ComPtr<CTarget> target = makeTarget();
    ComPtr<IEventParams> event;

    explicit Zoomed(const char* name, bool rings = true) : event(makeEvent(name))
    {
        if (rings)
            putRings(event.get());
        target->put_Event(event.get());
    }
    GdiRect view() const { return target->state().visibleRect; }
    float zoom() const
    {
        float z = -1;
        target->get_Zoom(&z);
        return z;
    }
};

} // namespace

TEST(TargetZoom, LevelsAreStoredLimitedAndShowTheirRing)
{
    Zoomed z("TGT-Z1");
    EXPECT_EQ(z.target->put_Zoom(9.5f), S_OK);
    EXPECT_EQ(z.zoom(), 9.0f);
    EXPECT_EQ(z.view(), square(400)); // Ring(9)

    EXPECT_EQ(z.target->put_Zoom(0.5f), S_OK);
    EXPECT_EQ(z.zoom(), 0.0f);
    EXPECT_EQ(z.view(), (GdiRect{-5000, -5000, 5000, 5000})); // the whole form

    // Between Ring(2) = 40 and Ring(3) = 30.
    EXPECT_EQ(z.target->put_Zoom(2.5f), S_OK);
    EXPECT_EQ(z.view(), square(3500));
    EXPECT_EQ(z.zoom(), 2.5f);

    EXPECT_EQ(z.target->put_Zoom(10.5f), E_INVALIDARG);
    EXPECT_EQ(z.target->put_Zoom(-0.1f), E_INVALIDARG);
    EXPECT_EQ(z.target->put_Zoom(std::nanf("")), E_INVALIDARG);
    EXPECT_EQ(z.zoom(), 2.5f);
    EXPECT_EQ(z.view(), square(3500));
}

TEST(TargetZoom, AnAbsentRingMovesToTheNextAndIsNoInterpolationBound)
{
    Zoomed z("TGT-Z2");
    putRing(z.event.get(), 3, 0);
    z.target->put_Zoom(3.0f);
    EXPECT_EQ(z.zoom(), 4.0f);
    EXPECT_EQ(z.view(), square(2000));
    z.target->put_Zoom(2.5f); // Ring(3) absent: Ring(2) alone
    EXPECT_EQ(z.view(), square(4000));

    // No ring from the level in: nothing changes.
    Zoomed none("TGT-Z3", false);
    none.target->put_Zoom(5.0f);
    EXPECT_EQ(none.view(), (GdiRect{-5000, -5000, 5000, 5000}));
}

TEST(TargetZoom, EventZoomValuesWinAndAreKeyedInTheCLocale)
{
    Zoomed z("TGT-Z4");
    // A user's locale with a decimal comma must not change the key.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::string cBefore = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");

    z.event->put_Value(QStringLiteral("_zoom_2.5"), Variant(12.0f));
    z.target->put_Zoom(2.5f);
    EXPECT_EQ(z.view(), square(1200));

    z.event->put_Value(QStringLiteral("_zoom_2.5"), Variant());
    z.event->put_Value(QStringLiteral("_zoom_2"), Variant(QStringLiteral("8")));
    z.target->put_Zoom(2.0f);
    EXPECT_EQ(z.view(), square(800));
    z.target->put_Zoom(0.0f);
    z.target->put_Zoom(2.5f); // falls back to the whole level
    EXPECT_EQ(z.view(), square(800));

    // A value that is no positive number leaves the rings in charge.
    z.event->put_Value(QStringLiteral("_zoom_2"), Variant(-3.0f));
    z.target->put_Zoom(2.0f);
    EXPECT_EQ(z.view(), square(4000));

    std::setlocale(LC_NUMERIC, cBefore.c_str());
    QLocale::setDefault(before);
}

TEST(TargetZoom, ZoomToRefusesViewsBelowTheSmallestExtent)
{
    // Without rings the tenth of the form's smaller side is the least: absent rings do not lower it.
    Zoomed z("TGT-Z5", false);
    const GdiRect form = z.view();
    EXPECT_EQ(z.target->ZoomTo(0, 0, 9.99f, 20), E_INVALIDARG);
    EXPECT_EQ(z.target->ZoomTo(0, 0, 20, 9.99f), E_INVALIDARG);
    EXPECT_EQ(z.target->ZoomTo(0, 0, -20, 20), E_INVALIDARG);
    EXPECT_EQ(z.target->ZoomTo(0, 0, std::nanf(""), 20), E_INVALIDARG);
    EXPECT_EQ(z.view(), form);
    EXPECT_EQ(z.target->ZoomTo(-1.005f, 2.5f, 10, 12.25f), S_OK);
    EXPECT_EQ(z.view(), (GdiRect{-100, 250, 900, 1475})); // -100.5 rounds to even

    // A ring below the tenth lowers it.
    putRing(z.event.get(), 9, 4);
    EXPECT_EQ(z.target->ZoomTo(0, 0, 4, 4), S_OK);
    EXPECT_EQ(z.target->ZoomTo(0, 0, 3.9f, 4), E_INVALIDARG);

    // Without an event there is nothing to zoom.
    auto bare = makeTarget();
    EXPECT_EQ(bare->ZoomTo(0, 0, 1, 1), S_OK);
    EXPECT_EQ(bare->ZoomToFit(VARIANT_TRUE), S_OK);
}

TEST(TargetZoom, ZoomToFitTakesTheSmallestRingAroundTracesAndBreaches)
{
    Zoomed z("TGT-Z6");
    // Trace x in -40..40, breach at (10, -10), calibre 4.5: half extents 42.25 and 12.25.
    auto aiming = makeAiming(horizontalLine(), 40, {10, -10});
    z.target->Add(aiming.get());
    EXPECT_EQ(z.target->ZoomToFit(VARIANT_FALSE), S_OK);
    EXPECT_EQ(z.view(), (GdiRect{-4225, -1500, 4225, 1500})); // no ring is wide enough; Ring(3) high enough
    z.target->ZoomToFit(VARIANT_TRUE);
    EXPECT_EQ(z.view(), (GdiRect{-4225, -4225, 4225, 4225}));

    // Without traces only the breach counts: Ring(3) both ways.
    z.target->put_DisplayTrace(VARIANT_FALSE);
    z.target->ZoomToFit(VARIANT_FALSE);
    EXPECT_EQ(z.view(), square(3000));
}

TEST(TargetZoom, AutoZoomFollowsAddAndDisplayTrace)
{
    Zoomed z("TGT-Z7");
    z.target->put_AutoZoom(VARIANT_TRUE);
    z.target->Add(makeAiming({{0, 0}, {1, 1}, {2, 0}}, 1, {5, 5}).get());
    EXPECT_EQ(z.view(), square(1600)); // 5 + 2.25 fits Ring(5) = 16
    z.target->put_DisplayTrace(VARIANT_FALSE);
    EXPECT_EQ(z.view(), square(1600));
    z.target->Add(makeAiming({{0, 0}, {1, 1}}, 0, {-14, 0}).get());
    EXPECT_EQ(z.view(), (GdiRect{-2000, -800, 2000, 800}));
}

TEST(TargetHit, BreachEdgesAndTheTopmostBreach)
{
    Zoomed z("TGT-H1");
    auto lower = makeAiming({{0, 0}, {1, 0}}, 0, {10, -10});
    auto upper = makeAiming({{0, 0}, {1, 0}}, 0, {11, -10});
    z.target->Add(lower.get());
    z.target->Add(upper.get());

    // Radius 2.25 mm around (11, -10): exactly on the edge hits, one hundredth beyond does not.
    auto hit = hitTest(z.target->state(), {1325, -1000});
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->shot.get(), shotOf(upper.get()).get());
    EXPECT_EQ(hit->offset, (GdiPoint{-225, 0}));
    EXPECT_FALSE(hitTest(z.target->state(), {1326, -1000}));
    // Where both overlap the later aiming, drawn on top, wins; left of it only the lower one.
    EXPECT_EQ(hitTest(z.target->state(), {1050, -1000})->shot.get(), shotOf(upper.get()).get());
    EXPECT_EQ(hitTest(z.target->state(), {776, -1000})->shot.get(), shotOf(lower.get()).get());
    EXPECT_FALSE(hitTest(z.target->state(), {774, -1000}));
    // 1.59^2 + 1.59^2 = 5.0562 <= 5.0625, 1.60^2 * 2 = 5.12 > 5.0625.
    EXPECT_TRUE(hitTest(z.target->state(), {1100 + 159, -1000 + 159}));
    EXPECT_FALSE(hitTest(z.target->state(), {1100 + 160, -1000 + 160}));

    z.target->put_Selectable(VARIANT_FALSE);
    EXPECT_FALSE(hitTest(z.target->state(), {1100, -1000}));
}

TEST(TargetHit, APendingCorrectionIsTheOnlyShotHitAtItsNewPlace)
{
    Zoomed z("TGT-H2");
    auto a = makeAiming({{0, 0}, {1, 0}}, 0, {10, -10});
    auto b = makeAiming({{0, 0}, {1, 0}}, 0, {-10, 10});
    z.target->Add(a.get());
    z.target->Add(b.get());
    auto shot = shotOf(a.get());

    // Ignored while dragging is off; a NULL shot is refused only when it is on.
    EXPECT_EQ(z.target->SetShotCorrection(shot.get(), 5, 0), S_OK);
    EXPECT_FALSE(z.target->state().mouse.dragShot);
    z.target->put_Dragable(VARIANT_TRUE);
    EXPECT_EQ(z.target->SetShotCorrection(nullptr, 5, 0), E_INVALIDARG);
    EXPECT_EQ(z.target->SetShotCorrection(shot.get(), 5, 0), S_OK);

    EXPECT_FALSE(hitTest(z.target->state(), {1000, -1000})); // its old place
    EXPECT_FALSE(hitTest(z.target->state(), {-1000, 1000})); // any other shot
    auto hit = hitTest(z.target->state(), {1600, -1000});
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->shot.get(), shot.get());
    EXPECT_EQ(hit->offset, (GdiPoint{-100, 0}));
    EXPECT_TRUE(hitTest(z.target->state(), {1725, -1000}));
    EXPECT_FALSE(hitTest(z.target->state(), {1726, -1000}));

    // Switching dragging off lets the correction go.
    z.target->put_Dragable(VARIANT_FALSE);
    EXPECT_TRUE(hitTest(z.target->state(), {1000, -1000}));
}

TEST(TargetSelection, SelectingPutsTheAimingOnTopAndClearsForForeignShots)
{
    Zoomed z("TGT-S1");
    auto a = makeAiming({{0, 0}, {1, 0}}, 0, {10, -10});
    auto b = makeAiming({{0, 0}, {1, 0}}, 0, {-10, 10});
    auto c = makeAiming({{0, 0}, {1, 0}}, 0, {0, 0});
    z.target->Add(a.get());
    z.target->Add(b.get());
    z.target->Add(c.get());

    EXPECT_EQ(z.target->put_SelectedShot(shotOf(a.get()).get()), S_OK);
    ComPtr<IAiming> item;
    z.target->get_Item(3, item.put());
    EXPECT_EQ(item.get(), a.get()); // exchanged with the last entry
    item = nullptr;
    z.target->get_Item(1, item.put());
    EXPECT_EQ(item.get(), c.get());
    ComPtr<IAiming> selected;
    z.target->get_SelectedAiming(selected.put());
    EXPECT_EQ(selected.get(), a.get());

    // A shot of no shown aiming clears the selection.
    auto foreign = makeAiming({{0, 0}, {1, 0}}, 0, {0, 0});
    z.target->put_SelectedShot(shotOf(foreign.get()).get());
    ComPtr<IShot> none;
    z.target->get_SelectedShot(none.put());
    EXPECT_FALSE(none);
}
