// The control's members: their defaults, ranges and results.
#include "target_support.h"

using namespace kt;

TEST(TargetMembers, FlagsSwitchOnOnlyWithMinusOne)
{
    auto t = makeTarget();
    VARIANT_BOOL v = 0;
    ASSERT_EQ(t->put_Match(1), S_OK);
    t->get_Match(&v);
    EXPECT_EQ(v, VARIANT_FALSE);
    t->put_Match(VARIANT_TRUE);
    t->get_Match(&v);
    EXPECT_EQ(v, VARIANT_TRUE);
    t->put_DisplayTrace(2);
    t->get_DisplayTrace(&v);
    EXPECT_EQ(v, VARIANT_FALSE);
    t->put_Dragable(VARIANT_TRUE);
    t->get_Dragable(&v);
    EXPECT_EQ(v, VARIANT_TRUE);
}

TEST(TargetMembers, Defaults)
{
    auto t = makeTarget();
    VARIANT_BOOL v = 0;
    OLE_COLOR c = 0;
    float f = 0;
    int32_t n = -1;
    QString s;
    t->get_DisplayBreach(&v);
    EXPECT_EQ(v, VARIANT_TRUE);
    t->get_Dragable(&v);
    EXPECT_EQ(v, VARIANT_FALSE);
    t->get_AutoZoom(&v);
    EXPECT_EQ(v, VARIANT_FALSE);
    t->get_TraceColor(&c);
    EXPECT_EQ(c, rgb(64, 192, 32));
    t->get_TraceAfterShotColor(&c);
    EXPECT_EQ(c, rgb(255, 0, 0));
    t->get_BackColor(&c);
    EXPECT_EQ(c, rgb(255, 255, 255));
    t->get_TraceHeadingLength(&f);
    EXPECT_FLOAT_EQ(f, 0.1f);
    t->get_TraceThickness(&f);
    EXPECT_FLOAT_EQ(f, -1.0f);
    t->get_ReplaySpeed(&n);
    EXPECT_EQ(n, 100);
    t->get_SubTarget(&n);
    EXPECT_EQ(n, 1);
    t->get_Count(&n);
    EXPECT_EQ(n, 0);
    t->get_ReplayLabel(&s);
    EXPECT_EQ(s, "REPLAY");
    t->get_ReplayPausedLabel(&s);
    EXPECT_EQ(s, "REPLAY PAUSED");
    ComPtr<IEventParams> event;
    EXPECT_EQ(t->get_Event(event.put()), E_INVALIDARG);
}

TEST(TargetMembers, AimingListKeepsEachAimingOnce)
{
    auto t = makeTarget();
    auto a = makeAiming(horizontalLine(), 40, {0, 0});
    EXPECT_EQ(t->Add(nullptr), E_INVALIDARG);
    EXPECT_EQ(t->Add(a.get()), S_OK);
    EXPECT_EQ(t->Add(a.get()), S_OK);
    int32_t count = 0;
    t->get_Count(&count);
    EXPECT_EQ(count, 1);

    ComPtr<IAiming> item;
    EXPECT_EQ(t->get_Item(0, item.put()), E_INVALIDARG);
    EXPECT_EQ(t->get_Item(2, item.put()), E_INVALIDARG);
    EXPECT_EQ(t->get_Item(1, item.put()), S_OK);
    EXPECT_TRUE(sameObject(item.get(), a.get()));

    t->put_Label(1, "one");
    t->Clear();
    t->get_Count(&count);
    EXPECT_EQ(count, 0);
    QString label;
    t->get_Label(1, &label);
    EXPECT_TRUE(label.isEmpty());
}

TEST(TargetMembers, ArgumentRanges)
{
    auto t = makeTarget();
    QString text;
    EXPECT_EQ(t->get_Label(3, &text), E_INVALIDARG);
    EXPECT_EQ(t->put_Label(3, "x"), E_INVALIDARG);
    EXPECT_EQ(t->get_Label(0, &text), E_INVALIDARG);
    EXPECT_EQ(t->put_Label(2, "two"), S_OK);
    EXPECT_EQ(t->get_Label(2, &text), S_OK);
    EXPECT_EQ(text, "two");

    EXPECT_EQ(t->put_ReplaySpeed(9), E_INVALIDARG);
    EXPECT_EQ(t->put_ReplaySpeed(301), E_INVALIDARG);
    EXPECT_EQ(t->put_ReplaySpeed(10), S_OK);
    EXPECT_EQ(t->put_ReplaySpeed(300), S_OK);

    EXPECT_EQ(t->put_TraceHeadingLength(-0.1f), E_INVALIDARG);
    EXPECT_EQ(t->put_TraceHeadingLength(std::nanf("")), E_INVALIDARG);
    EXPECT_EQ(t->put_Zoom(10.5f), E_INVALIDARG);
    EXPECT_EQ(t->put_Zoom(-1), E_INVALIDARG);
    float zoom = -1;
    t->put_Zoom(9.5f), t->get_Zoom(&zoom);
    EXPECT_EQ(zoom, 9.0f);
    t->put_Zoom(0.5f), t->get_Zoom(&zoom);
    EXPECT_EQ(zoom, 0.0f);

    EXPECT_EQ(t->put_Event(nullptr), E_INVALIDARG);
    EXPECT_EQ(t->get_SelectedAiming(nullptr), E_INVALIDARG);
    EXPECT_EQ(t->get_ReplayAiming(nullptr), E_INVALIDARG);
    EXPECT_EQ(t->get_ElementCount(nullptr), E_POINTER);
    ComPtr<ITargetElement> element;
    EXPECT_EQ(t->Elements(1, element.put()), E_INVALIDARG);
    EXPECT_EQ(t->AddElement(elementRectangle, 0, 0, 1, 1, nullptr), E_POINTER);
}

TEST(TargetMembers, EventSetsTheFormAndTheView)
{
    auto t = makeTarget();
    auto event = makeEvent("TGT-FORM", 170.5f);
    ASSERT_EQ(t->put_Event(event.get()), S_OK);
    float left = 0, width = 0;
    t->get_VisibleLeft(&left);
    t->get_VisibleWidth(&width);
    // -round(17050 * 0.5) = -8525 (halves to even: 8525 is exact).
    EXPECT_FLOAT_EQ(left, -85.25f);
    EXPECT_FLOAT_EQ(width, 170.5f);
    QString name;
    t->get_EventShortName(&name);
    EXPECT_EQ(name, "TGT-FORM");
}

TEST(TargetMembers, EventShortNameSelectsInstalledEventsAndKeepsTheEventOtherwise)
{
    auto t = makeTarget();
    ASSERT_EQ(t->put_EventShortName("AR10"), S_OK);
    ComPtr<IEventParams> event;
    ASSERT_EQ(t->get_Event(event.put()), S_OK);
    QString name;
    event->get_ShortName(&name);
    EXPECT_EQ(name, "AR10");

    EXPECT_EQ(t->put_EventShortName("NO-SUCH-EVENT"), S_OK);
    ComPtr<IEventParams> still;
    ASSERT_EQ(t->get_Event(still.put()), S_OK);
    EXPECT_EQ(still.get(), event.get());
    t->get_EventShortName(&name);
    EXPECT_EQ(name, "NO-SUCH-EVENT");
}

TEST(TargetMembers, ElementsAreMadeAndListed)
{
    auto t = makeTarget();
    ComPtr<ITargetElement> element;
    ASSERT_EQ(t->AddElement(elementEllipse, -1, -2, 3, 4, element.put()), S_OK);
    float height = 0;
    element->get_Height(&height);
    EXPECT_FLOAT_EQ(height, 4);
    int32_t count = 0;
    t->get_ElementCount(&count);
    EXPECT_EQ(count, 1);
    ComPtr<ITargetElement> first;
    ASSERT_EQ(t->Elements(1, first.put()), S_OK);
    EXPECT_EQ(first.get(), element.get());
    t->ClearElements();
    t->get_ElementCount(&count);
    EXPECT_EQ(count, 0);
}

TEST(TargetMembers, ValueBrowsingOffersTheInstalledEvents)
{
    auto t = makeTarget();
    ComPtr<IEventManager> manager;
    ASSERT_EQ(createInstance(kavrodoc::CLSID_EventManager, &manager), S_OK);
    int32_t count = 0;
    manager->get_Count(&count);
    ASSERT_GT(count, 0);

    std::vector<QString> texts;
    std::vector<uint32_t> cookies;
    ASSERT_EQ(t->GetPredefinedStrings(dispidEventShortName, &texts, &cookies), S_OK);
    ASSERT_EQ(texts.size(), size_t(count));
    EXPECT_EQ(cookies.front(), 1u);
    EXPECT_EQ(cookies.back(), uint32_t(count));

    Variant value;
    EXPECT_EQ(t->GetPredefinedValue(dispidEventShortName, 0, &value), E_INVALIDARG);
    EXPECT_EQ(t->GetPredefinedValue(dispidEventShortName, uint32_t(count) + 1, &value), E_INVALIDARG);
    ASSERT_EQ(t->GetPredefinedValue(dispidEventShortName, 2, &value), S_OK);
    EXPECT_EQ(value.vt(), VT_BSTR);
    EXPECT_EQ(value.bstr(), texts[1]);

    t->put_EventShortName(texts[1]);
    QString display;
    ASSERT_EQ(t->GetDisplayString(dispidEventShortName, &display), S_OK);
    EXPECT_EQ(display, texts[1]);
    EXPECT_EQ(t->GetDisplayString(dispidMatch, &display), E_NOTIMPL);
}

namespace {

class CountingSink final : public ComObject<CountingSink, _ITargetEvents> {
public:
    int aborted = 0;
    HRESULT SelectionChanged() override { return S_OK; }
    HRESULT ZoomChanged() override { return S_OK; }
    HRESULT LeftClick(float, float) override { return S_OK; }
    HRESULT MiddleClick(float, float) override { return S_OK; }
    HRESULT RightClick(float, float) override { return S_OK; }
    HRESULT DblClick(float, float) override { return S_OK; }
    HRESULT StartDrag(IAiming*, IShot*, float, float) override { return S_OK; }
    HRESULT Drag(IAiming*, IShot*, float, float) override { return S_OK; }
    HRESULT EndDrag(IAiming*, IShot*, float, float) override { return S_OK; }
    HRESULT DragAborted(IAiming*, IShot*) override { return ++aborted, S_OK; }
    HRESULT StartReplay() override { return S_OK; }
    HRESULT ReplayPositionChanged() override { return S_OK; }
    HRESULT EndReplay() override { return S_OK; }
    HRESULT PauseReplay() override { return S_OK; }
};

} // namespace

TEST(TargetMembers, SinksAreAdvisedAndClearWithoutADragFiresNothing)
{
    auto t = makeTarget();
    auto sink = CountingSink::create();
    uint32_t cookie = 0;
    ASSERT_EQ(adviseSink(t->identity(), _ITargetEvents::iid, sink->identity(), &cookie), S_OK);
    t->Clear();
    t->put_Dragable(VARIANT_TRUE);
    t->put_Dragable(VARIANT_FALSE);
    EXPECT_EQ(sink->aborted, 0);
    EXPECT_EQ(unadviseSink(t->identity(), _ITargetEvents::iid, cookie), S_OK);
}

TEST(TargetModule, ClassIsCreatedByItsId)
{
    ComPtr<ITarget> target;
    ASSERT_EQ(createInstance(kavrogui::CLSID_Target, &target), S_OK);
    EXPECT_EQ(kavro::classIdFromProgId(kavrogui::ProgId_Target), kavrogui::CLSID_Target);
}
