// The practice document's members: values, validity, event, the three ways of clearing, progress
// while saving and loading, and the catalog folder.
#include "support/document_fixture.h"
#include "kavro_document.h"
#include "settings/settings.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kavrodoc;
using namespace doctest;

namespace {

int32_t countOf(IAimingCollection* c)
{
    int32_t n = -1;
    c->get_Count(&n);
    return n;
}

ComPtr<IAimingCollection> aimingsOf(IKavroDocument* d)
{
    ComPtr<IAimingCollection> c;
    EXPECT_EQ(d->get_Aimings(c.put()), S_OK);
    return c;
}

bool valid(IKavroDocument* d)
{
    VARIANT_BOOL v = 0;
    EXPECT_EQ(d->get_Valid(&v), S_OK);
    return v == VARIANT_TRUE;
}

} // namespace

TEST(Document, ValuesAreABagThatRefusesWhatCannotBeStored)
{
    auto doc = CKavroDocument::create();
    Variant v(int32_t(5));
    EXPECT_EQ(doc->get_Value(QStringLiteral("missing"), &v), S_OK);
    EXPECT_TRUE(v.isEmpty());
    EXPECT_EQ(doc->put_Value(QStringLiteral("_steadiness_diam"), Variant(2.5f)), S_OK);
    EXPECT_EQ(doc->get_Value(QStringLiteral("_steadiness_diam"), &v), S_OK);
    EXPECT_EQ(v, Variant(2.5f));
    EXPECT_EQ(doc->get_Value(QStringLiteral("_Steadiness_diam"), &v), S_OK); // names are exact
    EXPECT_TRUE(v.isEmpty());

    // One value that cannot be written must not make every later save fail.
    EXPECT_EQ(doc->put_Value(QStringLiteral("bad"), Variant::null()), E_INVALIDARG);
    auto unstorable = ProgressSink::create();
    EXPECT_EQ(doc->putref_Value(QStringLiteral("bad"), Variant::fromObject(unstorable->identity())), E_INVALIDARG);
    EXPECT_EQ(doc->get_Value(QStringLiteral("bad"), &v), S_OK);
    EXPECT_TRUE(v.isEmpty());

    EXPECT_EQ(doc->put_Value(QStringLiteral("_steadiness_diam"), Variant()), S_OK);
    EXPECT_EQ(doc->get_Value(QStringLiteral("_steadiness_diam"), &v), S_OK);
    EXPECT_TRUE(v.isEmpty());
    EXPECT_EQ(doc->get_Value(QStringLiteral("x"), nullptr), E_POINTER);
}

TEST(Document, ValidNeedsAnEventAndEventComesFromTheCollection)
{
    auto doc = CKavroDocument::create();
    EXPECT_FALSE(valid(doc.get()));
    ComPtr<IEventParams> e;
    EXPECT_EQ(doc->get_Event(e.put()), E_FAIL);
    EXPECT_EQ(doc->put_Event(nullptr), E_INVALIDARG);
    auto ar10 = event("AR10");
    ASSERT_EQ(doc->put_Event(ar10.get()), S_OK);
    EXPECT_TRUE(valid(doc.get()));
    ASSERT_EQ(doc->get_Event(e.put()), S_OK);
    EXPECT_TRUE(sameObject(e.get(), ar10.get()));
    e = nullptr;
    ASSERT_EQ(aimingsOf(doc.get())->get_Event(e.put()), S_OK);
    EXPECT_TRUE(sameObject(e.get(), ar10.get()));
    int32_t version = 0;
    EXPECT_EQ(doc->get_FileVersion(&version), S_OK);
    EXPECT_EQ(version, 10);
    EXPECT_EQ(doc->get_Valid(nullptr), E_POINTER);
}

TEST(Document, ClearingReplacesTheCollection)
{
    auto doc = syntheticPractice();
    doc->put_FileName(QStringLiteral("/somewhere/kept.kavro"));
    auto before = aimingsOf(doc.get());
    ASSERT_EQ(countOf(before.get()), 4);

    ASSERT_EQ(doc->ClearSightingShots(), S_OK);
    auto matchOnly = aimingsOf(doc.get());
    EXPECT_FALSE(sameObject(matchOnly.get(), before.get()));
    EXPECT_EQ(countOf(matchOnly.get()), 3);
    EXPECT_EQ(countOf(before.get()), 4); // holders of the old collection keep it whole
    EXPECT_TRUE(valid(doc.get()));

    ASSERT_EQ(doc->ClearShots(), S_OK);
    auto empty = aimingsOf(doc.get());
    EXPECT_EQ(countOf(empty.get()), 0);
    EXPECT_TRUE(valid(doc.get())); // the event stays

    ASSERT_EQ(doc->Clear(), S_OK);
    EXPECT_EQ(countOf(aimingsOf(doc.get()).get()), 0);
    EXPECT_FALSE(valid(doc.get())); // no event any more
    QString text;
    doc->get_ShooterName(&text);
    EXPECT_TRUE(text.isEmpty());
    doc->get_FileName(&text);
    EXPECT_EQ(text, QStringLiteral("/somewhere/kept.kavro"));
    Variant v;
    doc->get_Value(QStringLiteral("v_i4"), &v);
    EXPECT_TRUE(v.isEmpty());
}

TEST(Document, ProgressIsPassedOnWhileSavingAndLoading)
{
    QTemporaryDir dir;
    auto doc = syntheticPractice();
    auto sink = ProgressSink::create();
    uint32_t cookie = 0;
    ASSERT_EQ(adviseSink(doc.get(), _IKavroDocumentEvents::iid, sink->identity(), &cookie), S_OK);
    doc->put_FileName(dir.filePath(QStringLiteral("p.kavro")));
    ASSERT_EQ(doc->Save(), S_OK);
    using Calls = std::vector<std::pair<int32_t, int32_t>>;
    EXPECT_EQ(sink->calls, (Calls{{1, 4}, {2, 4}, {3, 4}, {4, 4}}));
    sink->calls.clear();
    ASSERT_EQ(doc->Load(), S_OK);
    EXPECT_EQ(sink->calls, (Calls{{1, 4}, {2, 4}, {3, 4}, {4, 4}}));
    ASSERT_EQ(unadviseSink(doc.get(), _IKavroDocumentEvents::iid, cookie), S_OK);
}

TEST(Document, CatalogPathFromTheMachineSettingsElseTheHomeFolder)
{
    QTemporaryDir config;
    qputenv("KAVRO_SYSTEM_CONFIG", config.path().toUtf8());
    auto doc = CKavroDocument::create();
    QString path;
    ASSERT_EQ(doc->get_CatalogPath(&path), S_OK);
    EXPECT_EQ(path, QDir::homePath() + QStringLiteral("/Kavro catalog/"));
    EXPECT_EQ(doc->get_CatalogPath(nullptr), E_POINTER);

    SettingsKey key;
    ASSERT_EQ(SettingsKey::create(SettingsRoot::LocalMachine, QStringLiteral("Software\\Kavro"), &key), S_OK);
    ASSERT_EQ(key.writeString(QStringLiteral("InstallDir2"), QStringLiteral("/srv/Schießstand")), S_OK);
    doc->get_CatalogPath(&path);
    EXPECT_EQ(path, QStringLiteral("/srv/Schießstand/"));
    // A separator of its own is not doubled.
    for (const char* written : {"/srv/c/", "/srv/c//"}) {
        key.writeString(QStringLiteral("InstallDir2"), QString::fromLatin1(written));
        doc->get_CatalogPath(&path);
        EXPECT_EQ(path, QStringLiteral("/srv/c/")) << written;
    }
    // Whatever its type, the value is read as text.
    key.writeBinary(QStringLiteral("InstallDir2"), QByteArray("/bin/ary\0junk", 13));
    doc->get_CatalogPath(&path);
    EXPECT_EQ(path, QStringLiteral("/bin/ary/"));
    // Too long for the buffer, or empty: the default.
    key.writeString(QStringLiteral("InstallDir2"), QString(300, QLatin1Char('a')));
    doc->get_CatalogPath(&path);
    EXPECT_EQ(path, QDir::homePath() + QStringLiteral("/Kavro catalog/"));
    key.writeString(QStringLiteral("InstallDir2"), QString());
    doc->get_CatalogPath(&path);
    EXPECT_EQ(path, QDir::homePath() + QStringLiteral("/Kavro catalog/"));
    qunsetenv("KAVRO_SYSTEM_CONFIG");
}
