// The event manager lives only while someone holds it. Documents, aiming collections and aiming
// attributes hold it, so documents loaded one after another share their event objects. This
// program holds no manager of its own, unlike the other document tests.
#include "kavrodoc.h"
#include "com/classregistry.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

[[maybe_unused]] const bool eventsFromTheBinFolder = qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR));

ComPtr<IKavroDocument> newDocument()
{
    ComPtr<IKavroDocument> doc;
    EXPECT_EQ(createInstance(kavrodoc::CLSID_KavroDocument, &doc), S_OK);
    return doc;
}

// A saved practice of one match aiming of AR10; every object made here is gone on return.
void saveOneAiming(const QString& path)
{
    ComPtr<IEventParams> ar10;
    {
        ComPtr<IEventManager> manager;
        ASSERT_EQ(createInstance(kavrodoc::CLSID_EventManager, &manager), S_OK);
        ASSERT_EQ(manager->FindByShortName(QStringLiteral("AR10"), ar10.put()), S_OK);
    }
    auto doc = newDocument();
    ASSERT_EQ(doc->put_Event(ar10.get()), S_OK);
    ComPtr<IAimingCollection> aimings;
    doc->get_Aimings(aimings.put());
    ComPtr<IAiming> missed;
    ASSERT_EQ(aimings->AddMissed(VARIANT_TRUE, missed.put()), S_OK);
    doc->put_FileName(path);
    ASSERT_EQ(doc->Save(), S_OK);
}

ComPtr<IEventParams> eventOf(IKavroDocument* doc)
{
    ComPtr<IEventParams> e;
    EXPECT_EQ(doc->get_Event(e.put()), S_OK);
    return e;
}

TEST(EventManagerLifetime, DocumentsLoadedOneAfterAnotherShareTheirEvents)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("one.kavro"));
    saveOneAiming(path);

    auto first = newDocument();
    first->put_FileName(path);
    ASSERT_EQ(first->Load(), S_OK);
    auto second = newDocument();
    second->put_FileName(path);
    ASSERT_EQ(second->Load(), S_OK);
    EXPECT_TRUE(sameObject(eventOf(first.get()).get(), eventOf(second.get()).get()));

    // So an aiming of one may join the other.
    ComPtr<IAimingCollection> from, to;
    first->get_Aimings(from.put());
    second->get_Aimings(to.put());
    ComPtr<IAiming> aiming;
    ASSERT_EQ(from->get_Item(1, aiming.put()), S_OK);
    EXPECT_EQ(to->Add(aiming.get()), S_OK);
    ComPtr<IShotCollection> shots;
    ASSERT_EQ(to->Shots(VARIANT_TRUE, shots.put()), S_OK);
    int32_t count = 0;
    shots->get_Count(&count);
    EXPECT_EQ(count, 2);

    // The manager the documents hold is the one every creation hands out.
    ComPtr<IEventManager> manager;
    ASSERT_EQ(createInstance(kavrodoc::CLSID_EventManager, &manager), S_OK);
    ComPtr<IEventParams> ar10;
    ASSERT_EQ(manager->FindByShortName(QStringLiteral("AR10"), ar10.put()), S_OK);
    EXPECT_TRUE(sameObject(ar10.get(), eventOf(first.get()).get()));
}

TEST(EventManagerLifetime, AimingsAndTheirAttributesHoldTheManagerToo)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("one.kavro"));
    saveOneAiming(path);

    // A collection and an aiming on their own, without any document.
    ComPtr<IAimingCollection> collection;
    ASSERT_EQ(createInstance(kavrodoc::CLSID_AimingCollection, &collection), S_OK);
    ComPtr<IAiming> aiming;
    ASSERT_EQ(createInstance(kavrodoc::CLSID_Aiming, &aiming), S_OK);
    ComPtr<IAimingAttr> attr;
    aiming->get_Attr(attr.put());

    auto doc = newDocument();
    doc->put_FileName(path);
    ASSERT_EQ(doc->Load(), S_OK);
    const ComPtr<IEventParams> loaded = eventOf(doc.get());
    doc = nullptr;

    ComPtr<IEventManager> manager;
    ASSERT_EQ(createInstance(kavrodoc::CLSID_EventManager, &manager), S_OK);
    ComPtr<IEventParams> ar10;
    ASSERT_EQ(manager->FindByShortName(QStringLiteral("AR10"), ar10.put()), S_OK);
    EXPECT_TRUE(sameObject(ar10.get(), loaded.get())) << "the lone collection and attributes kept the manager";
}

} // namespace
