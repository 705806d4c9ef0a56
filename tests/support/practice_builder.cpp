#include "support/practice_builder.h"

#include "doc_helpers.h"

#include "com/classregistry.h"

#include <gtest/gtest.h>

namespace trainertest {

namespace {
constexpr DATE kMorning = 45123.375;
}

TestEnvironment::TestEnvironment()
{
    qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR));
    qputenv("KAVRO_CONFIG_HOME", dir_.path().toUtf8());
    qputenv("KAVRO_SYSTEM_CONFIG", (dir_.path() + QStringLiteral("/machine")).toUtf8());
    qputenv("HOME", dir_.path().toUtf8()); // the catalog folder lives under it
    // A frame of a test listens here, never where the user's trainer and listeners meet.
    qputenv("KAVRO_LIVE_SOCKET", (dir_.path() + QStringLiteral("/kavro-live")).toUtf8());
}

ComPtr<IEventParams> event(const char* shortName)
{
    static ComPtr<IEventManager> manager = [] {
        ComPtr<IEventManager> m;
        createInstance(kavrodoc::CLSID_EventManager, &m);
        return m;
    }();
    ComPtr<IEventParams> e;
    EXPECT_EQ(manager->FindByShortName(QString::fromLatin1(shortName), e.put()), S_OK) << shortName;
    return e;
}

void startPractice(CKavroDoc& doc, const char* eventShortName)
{
    ASSERT_TRUE(doc.NewDocument(event(eventShortName).get(), QStringLiteral("Anna"), 0, QString(), 0));
}

ComPtr<IAiming> addAiming(CKavroDoc& doc, bool match, int shots, int firstTime, bool sameTime)
{
    ComPtr<IEventParams> e;
    EXPECT_TRUE(doc.GetEvent(&e));
    ComPtr<IAiming> a;
    EXPECT_EQ(createInstance(kavrodoc::CLSID_Aiming, &a), S_OK);
    ComPtr<IAimingAttr> attr;
    a->get_Attr(attr.put());
    attr->put_SampleRate(100);
    attr->put_Event(e.get());
    attr->put_Match(toVariantBool(match));
    attr->put_EnterTime(kMorning + firstTime / 86400.0);
    ComPtr<IAimingTrace> trace;
    a->get_Trace(trace.put());
    trace->put_WrapEnabled(VARIANT_FALSE);
    for (int k = 0; k < shots; ++k) {
        for (int i = 0; i < 150; ++i)
            trace->Add(float(i % 7) - 3.0f + k, float(i % 5) - 2.0f);
        ComPtr<IShot> s;
        EXPECT_EQ(a->AddShot(VARIANT_FALSE, s.put()), S_OK);
        s->put_ShotTime(kMorning + (sameTime ? firstTime : firstTime + k) / 86400.0);
        doc.AddShot(s.get(), a.get());
    }
    return a;
}

ComPtr<IShot> listShot(CKavroDoc& doc, int index)
{
    ComPtr<IShotCollection> list;
    EXPECT_TRUE(doc.includeSightings() ? doc.GetShots(&list) : doc.GetMatchShots(&list));
    return shotAt(list.get(), index);
}

int listIndex(CKavroDoc& doc, IShot* shot)
{
    ComPtr<IShotCollection> list;
    if (!(doc.includeSightings() ? doc.GetShots(&list) : doc.GetMatchShots(&list)))
        return 0;
    for (int i = 1, n = countOf(list.get()); i <= n; ++i)
        if (shotAt(list.get(), i).get() == shot)
            return i;
    return 0;
}

} // namespace trainertest
