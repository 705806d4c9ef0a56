// The mouse on the offscreen window: clicks select, breaches are dragged, bands zoom, Ctrl pans,
// double clicks zoom; each producing its events in order. The event's form is 100 mm square in
// a 200 x 200 window: pixel (100 + 2x, 100 + 2y) is the plane point (x, y) mm.
#include "event_log.h"
#include "target_widget.h"

#include <QTest>

using namespace kt;

namespace {

QPoint at(float x, float y)
{
    return QPoint(100 + int(2 * x), 100 + int(2 * y));
}

struct Window {
    ComPtr<CTarget> target = makeTarget();
    ComPtr<EventLog> log = EventLog::create();
    QWidget* widget = nullptr;
    ComPtr<IAiming> aiming = makeAiming(horizontalLine(), 40, {10, -10});
    ComPtr<IShot> shot = shotOf(aiming.get());

    explicit Window(const char* eventName)
    {
        EXPECT_EQ(target->CreateWidget(nullptr, &widget), S_OK);
        widget->resize(200, 200);
        widget->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(widget));
        target->put_Event(makeEvent(eventName).get());
        target->put_DefaultBackground(VARIANT_FALSE);
        target->Add(aiming.get());
        log->attach(target.get());
    }
    ~Window() { delete widget; }

    void press(QPoint p, Qt::KeyboardModifiers mods = {}) { QTest::mousePress(widget, Qt::LeftButton, mods, p); }
    void release(QPoint p, Qt::KeyboardModifiers mods = {}) { QTest::mouseRelease(widget, Qt::LeftButton, mods, p); }
    void move(QPoint p) { QTest::mouseMove(widget, p); }
    ComPtr<IShot> selected()
    {
        ComPtr<IShot> s;
        target->get_SelectedShot(s.put());
        return s;
    }
    GdiRect view() const { return target->state().visibleRect; }
    Qt::CursorShape cursor() const { return widget->cursor().shape(); }
};

using Events = std::vector<std::string>;

int differing(const QImage& a, const QImage& b, const QRect& area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

} // namespace

TEST(TargetMouse, ClicksSelectAndReportWhereTheyFell)
{
    Window w("TGT-M1");
    w.press(at(10, -10));
    w.release(at(10, -10));
    EXPECT_EQ(w.log->take(), (Events{"LeftClick 10.00 -10.00", "SelectionChanged"}));
    EXPECT_EQ(w.selected().get(), w.shot.get());

    // The selected shot again: only the click.
    w.press(at(11, -10));
    w.release(at(11, -10));
    EXPECT_EQ(w.log->take(), (Events{"LeftClick 11.00 -10.00"}));

    // A right click on the empty target clears the selection.
    QTest::mouseClick(w.widget, Qt::RightButton, {}, at(-20, 20));
    EXPECT_EQ(w.log->take(), (Events{"RightClick -20.00 20.00", "SelectionChanged"}));
    EXPECT_FALSE(w.selected());
    QTest::mouseClick(w.widget, Qt::MiddleButton, {}, at(1, 2));
    EXPECT_EQ(w.log->take(), (Events{"MiddleClick 1.00 2.00"}));

    // While the user may not select, clicks only report, right clicks included.
    w.target->put_SelectedShot(w.shot.get());
    w.target->put_Selectable(VARIANT_FALSE);
    QTest::mouseClick(w.widget, Qt::RightButton, {}, at(-20, 20));
    w.press(at(-20, 20));
    w.release(at(-20, 20));
    EXPECT_EQ(w.log->take(), (Events{"RightClick -20.00 20.00", "LeftClick -20.00 20.00"}));
    EXPECT_EQ(w.selected().get(), w.shot.get());
}

TEST(TargetMouse, ADraggedBreachKeepsItsGrabOffsetAndShowsFeedback)
{
    Window w("TGT-M2");
    w.target->put_Dragable(VARIANT_TRUE);
    const QImage before = w.widget->grab().toImage();

    w.press(at(11, -10)); // 1 mm right of the breach's centre
    EXPECT_EQ(w.cursor(), Qt::ClosedHandCursor);
    w.move(at(16, -10));
    const QImage during = w.widget->grab().toImage();
    w.release(at(16, -10));
    EXPECT_EQ(w.log->take(),
              (Events{"LeftClick 11.00 -10.00", "SelectionChanged", "StartDrag 10.00 -10.00", "Drag 15.00 -10.00",
                      "EndDrag 15.00 -10.00"}));

    // The circle around the new place (15, -10) mm = (130, 80) px inverts what lies under it,
    // and goes with the drag.
    const QRect circle(126, 74, 9, 11);
    EXPECT_GT(differing(during, before, circle), 4);
    EXPECT_EQ(differing(w.widget->grab().toImage(), before, circle), 0);

    // The correction stays pending: the breach is grabbed at its new place and moves on from it.
    w.press(at(15.5f, -10));
    w.move(at(20.5f, -10));
    w.release(at(20.5f, -10));
    EXPECT_EQ(
        w.log->take(),
        (Events{"LeftClick 15.50 -10.00", "StartDrag 15.00 -10.00", "Drag 20.00 -10.00", "EndDrag 20.00 -10.00"}));
    // Its old place is empty now: a band starts there instead.
    w.press(at(10, -10));
    w.release(at(10, -10));
    EXPECT_EQ(w.log->take(), (Events{"LeftClick 10.00 -10.00", "SelectionChanged"}));
}

TEST(TargetMouse, ADropOutsideTheWindowAbortsTheDrag)
{
    Window w("TGT-M3");
    w.target->put_Dragable(VARIANT_TRUE);
    w.press(at(10, -10));
    w.move(QPoint(-30, 80)); // outside: no Drag
    w.release(QPoint(-30, 80));
    EXPECT_EQ(w.log->take(),
              (Events{"LeftClick 10.00 -10.00", "SelectionChanged", "StartDrag 10.00 -10.00", "DragAborted"}));
    EXPECT_FALSE(w.target->state().mouse.dragging);
}

TEST(TargetMouse, AHostThatClearsDuringADragEndsItOnce)
{
    Window w("TGT-M4");
    w.target->put_Dragable(VARIANT_TRUE);
    w.log->onEvent = [&](const std::string& name) {
        if (name == "StartDrag")
            w.target->Clear();
    };
    w.press(at(10, -10));
    w.move(at(20, -10));
    w.release(at(20, -10));
    EXPECT_EQ(w.log->take(),
              (Events{"LeftClick 10.00 -10.00", "SelectionChanged", "StartDrag 10.00 -10.00", "DragAborted"}));
    int32_t count = -1;
    w.target->get_Count(&count);
    EXPECT_EQ(count, 0);
}

TEST(TargetMouse, ABandZoomsOnlyWhenLargeEnough)
{
    Window w("TGT-M5");
    const GdiRect form = w.view();
    w.press(at(-40, -40));
    w.move(at(-39, -39));
    EXPECT_EQ(w.cursor(), Qt::CrossCursor);
    w.release(at(-39, -39)); // 1 mm, below the tenth of the form
    EXPECT_EQ(w.view(), form);
    EXPECT_EQ(w.log->take(), (Events{"LeftClick -40.00 -40.00"}));

    w.press(at(40, 0));
    w.move(at(0, 20));
    w.move(at(-40, -40));
    w.release(at(-40, -40));
    EXPECT_EQ(w.view(), (GdiRect{-4000, -4000, 4000, 0}));
    EXPECT_EQ(w.log->take(), (Events{"LeftClick 40.00 0.00", "ZoomChanged"}));
}

TEST(TargetMouse, CtrlPansWithinTheForm)
{
    Window w("TGT-M6");
    // 20 mm in 200 px: 10 px per mm, pixel 100 is the view's centre.
    ASSERT_EQ(w.target->ZoomTo(-10, -10, 20, 20), S_OK);
    w.press(QPoint(100, 100), Qt::ControlModifier);
    QTest::mouseMove(w.widget, QPoint(80, 90));
    EXPECT_EQ(w.view(), (GdiRect{-800, -900, 1200, 1100}));
    EXPECT_EQ(w.cursor(), Qt::ClosedHandCursor);
    // The grabbed spot stays under the pointer: a further move shifts from there.
    QTest::mouseMove(w.widget, QPoint(70, 90));
    EXPECT_EQ(w.view(), (GdiRect{-700, -900, 1300, 1100}));
    w.release(QPoint(70, 90), Qt::ControlModifier);
    EXPECT_TRUE(w.log->take().empty());

    // At the form's right edge the view stops.
    ASSERT_EQ(w.target->ZoomTo(30, -10, 20, 20), S_OK);
    w.press(QPoint(100, 100), Qt::ControlModifier);
    QTest::mouseMove(w.widget, QPoint(50, 100));
    EXPECT_EQ(w.view(), (GdiRect{3000, -1000, 5000, 1000}));
    QTest::mouseMove(w.widget, QPoint(150, 100));
    EXPECT_EQ(w.view(), (GdiRect{2500, -1000, 4500, 1000}));
    w.release(QPoint(150, 100), Qt::ControlModifier);

    // Wider than the form: no horizontal move at all, the vertical one still.
    ASSERT_EQ(w.target->ZoomTo(-60, -10, 120, 20), S_OK);
    w.press(QPoint(100, 100), Qt::ControlModifier);
    QTest::mouseMove(w.widget, QPoint(90, 99));
    EXPECT_EQ(w.view().left, -6000);
    EXPECT_EQ(w.view().right, 6000);
    EXPECT_GT(w.view().top, -1000);
    w.release(QPoint(90, 99), Qt::ControlModifier);
}

TEST(TargetMouse, ADoubleClickOnTheEmptyTargetZoomsToItsDistance)
{
    Window w("TGT-M7");
    QTest::mouseDClick(w.widget, Qt::LeftButton, {}, at(-12, 16)); // 20 mm from the centre
    const Events events = w.log->take();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[events.size() - 2], "DblClick -12.00 16.00");
    EXPECT_EQ(events.back(), "ZoomChanged");
    EXPECT_EQ(w.view(), (GdiRect{-2000, -2000, 2000, 2000}));

    // Too near the centre for a view: no zoom, no ZoomChanged.
    w.target->ZoomTo(-50, -50, 100, 100);
    QTest::mouseDClick(w.widget, Qt::LeftButton, {}, QPoint(102, 100));
    EXPECT_EQ(w.log->take().back(), "DblClick 1.00 0.00");
    EXPECT_EQ(w.view(), (GdiRect{-5000, -5000, 5000, 5000}));
}
