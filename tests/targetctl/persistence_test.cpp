// The persisted properties: their order, their stored form and their round trip.
#include "target_support.h"

#include "support/map_property_bag.h"

#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_forms.h"

using namespace kt;

namespace {

using MapBag = kavro::testing::MapPropertyBag;

// Every persisted property away from its default.
void setEveryProperty(ITarget* t)
{
    t->put_EventShortName("AR10");
    t->put_DisplayTrace(VARIANT_FALSE);
    t->put_AutoZoom(VARIANT_FALSE);
    t->put_ReplaySpeed(250);
    t->put_Dragable(VARIANT_TRUE);
    t->put_Match(VARIANT_FALSE);
    t->put_ReplayMarkColor(rgb(1, 2, 3));
    t->put_SightingMarkColor(rgb(4, 5, 6));
    t->put_DisplayBreach(VARIANT_FALSE);
    t->put_DisplayReplayMark(VARIANT_FALSE);
    t->put_Label(1, QString::fromUtf8("Schütze"));
    t->put_Zoom(2.5f);
    t->put_TraceHeadingLength(0.25f);
    t->put_TraceHeadingColor(rgb(7, 8, 9));
    t->put_TraceColor(rgb(10, 11, 12));
    t->put_TraceAfterShotColor(rgb(13, 14, 15));
    t->put_Selectable(VARIANT_FALSE);
    t->put_ShadeLabel(VARIANT_FALSE);
    t->put_LabelColor(rgb(16, 17, 18));
    t->put_DefaultBackground(VARIANT_FALSE);
    t->put_ReplayLabel("RUNNING");
    t->put_ReplayPausedLabel("HALTED");
    t->put_TraceThickness(0.75f);
    t->put_BreachColor(rgb(19, 20, 21));
    t->put_SelectedBreachColor(rgb(22, 23, 24));
    t->put_SubTarget(2);
    t->put_BackColor(rgb(25, 26, 27));
}

void expectEveryProperty(ITarget* t)
{
    QString s;
    VARIANT_BOOL v = 0;
    OLE_COLOR c = 0;
    float f = 0;
    int32_t n = 0;
    t->get_EventShortName(&s);
    EXPECT_EQ(s, "AR10");
    ComPtr<IEventParams> event;
    EXPECT_EQ(t->get_Event(event.put()), S_OK);
    t->get_DisplayTrace(&v);
    EXPECT_EQ(v, VARIANT_FALSE);
    t->get_ReplaySpeed(&n);
    EXPECT_EQ(n, 250);
    t->get_Dragable(&v);
    EXPECT_EQ(v, VARIANT_TRUE);
    t->get_Match(&v);
    EXPECT_EQ(v, VARIANT_FALSE);
    t->get_ReplayMarkColor(&c);
    EXPECT_EQ(c, rgb(1, 2, 3));
    t->get_SightingMarkColor(&c);
    EXPECT_EQ(c, rgb(4, 5, 6));
    t->get_DisplayBreach(&v);
    EXPECT_EQ(v, VARIANT_FALSE);
    t->get_DisplayReplayMark(&v);
    EXPECT_EQ(v, VARIANT_FALSE);
    t->get_Label(1, &s);
    EXPECT_EQ(s, QString::fromUtf8("Schütze"));
    t->get_Zoom(&f);
    EXPECT_EQ(f, 2.5f);
    t->get_TraceHeadingLength(&f);
    EXPECT_EQ(f, 0.25f);
    t->get_TraceHeadingColor(&c);
    EXPECT_EQ(c, rgb(7, 8, 9));
    t->get_TraceColor(&c);
    EXPECT_EQ(c, rgb(10, 11, 12));
    t->get_TraceAfterShotColor(&c);
    EXPECT_EQ(c, rgb(13, 14, 15));
    t->get_Selectable(&v);
    EXPECT_EQ(v, VARIANT_FALSE);
    t->get_ShadeLabel(&v);
    EXPECT_EQ(v, VARIANT_FALSE);
    t->get_LabelColor(&c);
    EXPECT_EQ(c, rgb(16, 17, 18));
    t->get_DefaultBackground(&v);
    EXPECT_EQ(v, VARIANT_FALSE);
    t->get_ReplayLabel(&s);
    EXPECT_EQ(s, "RUNNING");
    t->get_ReplayPausedLabel(&s);
    EXPECT_EQ(s, "HALTED");
    t->get_TraceThickness(&f);
    EXPECT_EQ(f, 0.75f);
    t->get_BreachColor(&c);
    EXPECT_EQ(c, rgb(19, 20, 21));
    t->get_SelectedBreachColor(&c);
    EXPECT_EQ(c, rgb(22, 23, 24));
    t->get_SubTarget(&n);
    EXPECT_EQ(n, 2);
    t->get_BackColor(&c);
    EXPECT_EQ(c, rgb(25, 26, 27));
}

} // namespace

TEST(TargetPersistence, StreamRoundTripOfEveryProperty)
{
    auto saved = makeTarget();
    setEveryProperty(saved.get());
    EXPECT_EQ(saved->IsDirty(), S_OK);
    auto stream = MemoryStream::create();
    ASSERT_EQ(saved->Save(stream.get(), 1), S_OK);
    EXPECT_EQ(saved->IsDirty(), S_FALSE);

    auto loaded = makeTarget();
    stream->Seek(0, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(loaded->Load(stream.get()), S_OK);
    expectEveryProperty(loaded.get());
    EXPECT_EQ(loaded->IsDirty(), S_FALSE);

    uint64_t size = 0;
    ASSERT_EQ(loaded->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size, uint64_t(stream->bytes().size()));
}

TEST(TargetPersistence, StreamBeginsWithVersionExtentAndTheShortName)
{
    auto t = makeTarget();
    t->put_EventShortName("AR10");
    auto stream = MemoryStream::create();
    ASSERT_EQ(t->Save(stream.get(), 0), S_OK);
    stream->Seek(0, STREAM_SEEK_SET, nullptr);
    int32_t version = 0;
    uint32_t cx = 0, cy = 0;
    readValue(stream.get(), &version);
    readValue(stream.get(), &cx);
    readValue(stream.get(), &cy);
    EXPECT_EQ(version, 1);
    EXPECT_EQ(cx, 5080u);
    EXPECT_EQ(cy, 5080u);
    Variant name, displayTrace, autoZoom, speed;
    ASSERT_EQ(readVariant(stream.get(), &name), S_OK);
    EXPECT_EQ(name, Variant("AR10"));
    readVariant(stream.get(), &displayTrace);
    EXPECT_EQ(displayTrace, Variant::fromBool(true));
    readVariant(stream.get(), &autoZoom);
    EXPECT_EQ(autoZoom, Variant::fromBool(false));
    readVariant(stream.get(), &speed);
    EXPECT_EQ(speed, Variant(int32_t(100)));
}

TEST(TargetPersistence, BadStreamsChangeNothing)
{
    auto saved = makeTarget();
    setEveryProperty(saved.get());
    auto good = MemoryStream::create();
    saved->Save(good.get(), 0);

    QByteArray newer = good->bytes();
    newer[0] = 2;
    auto t = makeTarget();
    auto newerStream = MemoryStream::create(newer);
    EXPECT_EQ(t->Load(newerStream.get()), E_FAIL);

    auto cut = MemoryStream::create(good->bytes().left(good->bytes().size() - 3));
    EXPECT_EQ(t->Load(cut.get()), E_FAIL);
    int32_t speed = 0;
    t->get_ReplaySpeed(&speed);
    EXPECT_EQ(speed, 100);
}

TEST(TargetPersistence, PropertyBagRoundTripAndNames)
{
    auto saved = makeTarget();
    setEveryProperty(saved.get());
    auto bag = MapBag::create();
    ASSERT_EQ(saved->Save(bag.get(), 1, 1), S_OK);
    ASSERT_EQ(bag->order.size(), 29u);
    EXPECT_EQ(bag->order[0], "_cx");
    EXPECT_EQ(bag->order[2], "EventShortName");
    EXPECT_EQ(bag->order.back(), "BackColor");
    // The ReplayLabel text goes under "ReplayPaused".
    EXPECT_EQ(bag->values["ReplayPaused"], Variant("RUNNING"));

    auto loaded = makeTarget();
    ASSERT_EQ(loaded->Load(bag.get()), S_OK);
    expectEveryProperty(loaded.get());
}

TEST(TargetPersistence, PropertyBagKeepsDefaultsForMissingNamesAndRefusesBadValues)
{
    auto bag = MapBag::create();
    bag->values["ReplaySpeed"] = Variant("150"); // text converts
    auto t = makeTarget();
    ASSERT_EQ(t->Load(bag.get()), S_OK);
    int32_t speed = 0;
    t->get_ReplaySpeed(&speed);
    EXPECT_EQ(speed, 150);
    VARIANT_BOOL match = 0;
    t->get_Match(&match);
    EXPECT_EQ(match, VARIANT_TRUE);

    bag->values["Match"] = Variant::fromBool(false);
    bag->values["ReplaySpeed"] = Variant(int32_t(500));
    EXPECT_EQ(t->Load(bag.get()), E_FAIL);
    t->get_Match(&match);
    EXPECT_EQ(match, VARIANT_TRUE); // nothing of the refused load stays
}
