// A full paint reuses the pictures of the face and of the aimings' traces that the previous paint
// made; whatever changed in between, through the control or behind its back in the documents, the
// window must look exactly as a new control with the same settings draws it.
#include "target_support.h"

#include "gdi/metafile.h"

#include <QWidget>
#include <functional>

using namespace kt;

namespace {

struct Step {
    const char* what;
    std::function<void(ITarget*)> control; // replayed on every new control
    std::function<void()> documents; // done once: the objects are shared
    QSize size;
};

QImage paint(ITarget* target, QWidget* widget, QSize size)
{
    widget->resize(size);
    target->Refresh();
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

std::vector<Sample> circles(int count, float radius)
{
    std::vector<Sample> samples;
    for (int i = 0; i < count; ++i)
        samples.push_back({radius * std::cos(i * 0.05f) + 1.0f, radius * std::sin(i * 0.07f) - 0.5f});
    return samples;
}

} // namespace

TEST(TargetKeptLayers, EveryChangeShowsAsANewControlDrawsIt)
{
    const ComPtr<IAiming> finished = makeAiming(circles(400, 3.0f), 300, {1.0f, -1.5f});
    const ComPtr<IAiming> live = makeAiming(circles(200, 6.0f), -1, {}, false);
    ComPtr<IShot> shot;
    finished->Shot(1, shot.put());
    ComPtr<IAimingTrace> liveTrace;
    live->get_Trace(liveTrace.put());
    const ComPtr<IEventParams> plain = makeEvent("TGT-K1", 120.0f);

    const QSize wide(240, 200), tall(150, 260);
    const std::vector<Step> steps = {
        {"first paint",
         [&](ITarget* t) {
             t->put_EventShortName("AR10");
             t->Add(finished.get());
             t->Add(live.get());
         },
         {},
         wide},
        {"zoom", [](ITarget* t) { t->ZoomTo(-12, -12, 24, 24); }, {}, wide},
        {"own background",
         [](ITarget* t) {
             t->put_DefaultBackground(VARIANT_FALSE);
             t->put_BackColor(rgb(0, 128, 255));
         },
         {},
         wide},
        {"another background colour", [](ITarget* t) { t->put_BackColor(rgb(255, 240, 200)); }, {}, wide},
        {"no score rings", [](ITarget* t) { t->put_DisplayScoreRings(VARIANT_FALSE); }, {}, wide},
        {"element with the face",
         [](ITarget* t) {
             ComPtr<ITargetElement> e;
             t->AddElement(elementEllipse, -6, -6, 12, 12, e.put());
             e->put_Value(QStringLiteral("_bs"), Variant(QStringLiteral("1")));
             e->put_Fill(VARIANT_TRUE);
             e->put_BodyColor(rgb(255, 0, 255));
         },
         {},
         wide},
        {"element recoloured behind the control's back",
         [](ITarget* t) {
             ComPtr<ITargetElement> e;
             t->Elements(1, e.put());
             e->put_BodyColor(rgb(0, 160, 0));
         },
         {},
         wide},
        {"selected shot", [&](ITarget* t) { t->put_SelectedShot(shot.get()); }, {}, wide},
        {"shot hidden in the document", {}, [&] { shot->put_Hidden(VARIANT_TRUE); }, wide},
        {"trace colour", [](ITarget* t) { t->put_TraceColor(rgb(0, 0, 255)); }, {}, wide},
        {"live trace grows", {}, [&] { liveTrace->Add(-4.0f, 4.0f); }, wide},
        {"resize", {}, {}, tall},
        {"thicker traces", [](ITarget* t) { t->put_TraceThickness(1.5f); }, {}, tall},
        {"event", [&](ITarget* t) { t->put_Event(plain.get()); }, {}, tall},
    };

    auto kept = makeTarget();
    QWidget* keptWidget = nullptr;
    ASSERT_EQ(kept->CreateWidget(nullptr, &keptWidget), S_OK);
    QImage previous;
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(steps[i].what);
        if (steps[i].documents)
            steps[i].documents();
        if (steps[i].control)
            steps[i].control(kept.get());
        const QImage shown = paint(kept.get(), keptWidget, steps[i].size);

        auto fresh = makeTarget();
        QWidget* freshWidget = nullptr;
        ASSERT_EQ(fresh->CreateWidget(nullptr, &freshWidget), S_OK);
        for (size_t k = 0; k <= i; ++k)
            if (steps[k].control)
                steps[k].control(fresh.get());
        const QImage expected = paint(fresh.get(), freshWidget, steps[i].size);
        delete freshWidget;

        EXPECT_EQ(shown, expected);
        EXPECT_NE(shown, previous); // every step changes the picture, or it tests nothing
        // Painting again without a change shows the same, the second time from the kept layers.
        for (int again = 0; again < 2; ++again)
            EXPECT_EQ(paint(kept.get(), keptWidget, steps[i].size), shown);
        previous = shown;
    }
    delete keptWidget;
}

// Printing and exports take the picture as drawings: the face stays the event's own vector picture
// however often the window was painted.
TEST(TargetKeptLayers, MetafilesHoldTheVectorFace)
{
    auto t = makeTarget();
    QWidget* widget = nullptr;
    ASSERT_EQ(t->CreateWidget(nullptr, &widget), S_OK);
    t->put_EventShortName("AR10");
    t->Add(makeAiming(circles(300, 3.0f), 200, {1.0f, -1.0f}).get());
    paint(t.get(), widget, {200, 200});
    paint(t.get(), widget, {200, 200});

    ComPtr<IUnknown> image;
    ASSERT_EQ(t->GetImage(VARIANT_TRUE, image.put()), S_OK);
    ComPtr<IPicture> picture;
    image.as(&picture);
    auto* exported = dynamic_cast<Picture*>(picture.get());
    ASSERT_TRUE(exported && exported->metafile());
    int faces = 0, bitmaps = 0, traces = 0;
    for (const MetafileRecord& r : exported->metafile()->records()) {
        if (const auto* p = std::get_if<rec::DrawPicture>(&r)) {
            int16_t type = PICTYPE_NONE;
            p->picture->get_Type(&type);
            faces += type == PICTYPE_ENHMETAFILE;
            bitmaps += type == PICTYPE_BITMAP;
        }
        traces += std::holds_alternative<rec::Polyline>(r);
    }
    EXPECT_EQ(faces, 1);
    EXPECT_EQ(bitmaps, 0);
    EXPECT_GT(traces, 0);
    delete widget;
}
