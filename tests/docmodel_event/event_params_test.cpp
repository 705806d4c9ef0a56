#include "event_file.h"
#include "event_manager.h"
#include "event_params.h"
#include "target_params.h"
#include "event_test_support.h"
#include "com/classregistry.h"
#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_forms.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace kavrodoc;
using kavro::MemoryStream;

namespace {

ComPtr<IEventParams> newEvent(const QString& shortName)
{
    ComPtr<IEventParams> e = CEventParams::create();
    e->put_ShortName(shortName);
    return e;
}

QByteArray saved(IEventParams* e)
{
    auto s = MemoryStream::create();
    EXPECT_EQ(ComPtr<IEventParams>(e).query<IPersistStreamInit>()->Save(s.get(), 1), S_OK);
    return s->bytes();
}

TEST(EventParams, PutRulesAndTargets)
{
    auto e = newEvent(QStringLiteral("X"));
    EXPECT_EQ(e->put_Caliber(0.05f), E_INVALIDARG);
    EXPECT_EQ(e->put_DisplayCaliber(0.05f), E_INVALIDARG);
    EXPECT_EQ(e->put_Caliber(0.1f), S_OK);
    EXPECT_EQ(e->put_Distance(1.9f), E_INVALIDARG);
    EXPECT_EQ(e->put_Distance(1000.5f), E_INVALIDARG);
    EXPECT_EQ(e->put_Distance(2), S_OK);
    EXPECT_EQ(e->put_Distance(1000), S_OK);
    int32_t v = 0;
    e->get_MaxShotsPerAiming(&v);
    EXPECT_EQ(v, -1);
    e->get_MaxShotsPerSerie(&v);
    EXPECT_EQ(v, 10);

    e->get_TargetCount(&v);
    EXPECT_EQ(v, 1);
    ComPtr<ITargetParams> t1, t2, t1again, t4;
    ASSERT_EQ(e->get_Target(1, t1.put()), S_OK);
    ASSERT_EQ(e->get_Target(2, t2.put()), S_OK);
    EXPECT_NE(t1.get(), t2.get());
    EXPECT_EQ(e->get_Target(4, t4.put()), E_INVALIDARG);
    EXPECT_EQ(e->get_Target(0, t4.put()), E_INVALIDARG);
    EXPECT_EQ(e->get_Target(1, t1again.put()), S_OK);
    EXPECT_EQ(t1again.get(), t1.get());
    ITargetParams* notNull = t1.get();
    EXPECT_EQ(e->get_Target(1, &notNull), E_POINTER);
    e->get_TargetCount(&v);
    EXPECT_EQ(v, 2);
    EXPECT_EQ(e->Update(), S_OK);
}

TEST(EventParams, StreamExactRoundTripAndVersions)
{
    auto e = newEvent(QStringLiteral("AB"));
    e->put_Name(QStringLiteral("N"));
    e->put_Caliber(4.5f);
    e->put_MaxShotsPerSerie(5);
    ComPtr<ITargetParams> t;
    e->get_Target(2, t.put());
    e->put_Value(QStringLiteral("tags"), Variant("issf"));
    QByteArray bytes = saved(e.get());
    QByteArray head = QByteArray::fromHex("04000000"
                                          "04000000 4e00 0000"
                                          "06000000 4100 4200 0000"
                                          "00009040"
                                          "00000000"
                                          "00000000"
                                          "ffffffff"
                                          "00000000"
                                          "05000000"
                                          "02000000");
    ASSERT_EQ(bytes.left(head.size()).toHex(), head.toHex());
    uint8_t id[16];
    CLSID_TargetParams.toBytes(id);
    EXPECT_EQ(bytes.mid(head.size(), 16), QByteArray(reinterpret_cast<const char*>(id), 16));

    ComPtr<IEventParams> copy = CEventParams::create();
    ASSERT_EQ(copy.query<IPersistStreamInit>()->Load(MemoryStream::create(bytes).get()), S_OK);
    EXPECT_EQ(saved(copy.get()), bytes);

    QByteArray v5 = bytes;
    v5[0] = 5;
    EXPECT_EQ(copy.query<IPersistStreamInit>()->Load(MemoryStream::create(v5).get()), E_FAIL);

    // Version 2: no MaxShotsPerSerie, one target without a count.
    auto s = MemoryStream::create();
    kavro::writeValue<int32_t>(s.get(), 2);
    kavro::writeBstr(s.get(), QStringLiteral("Old"));
    kavro::writeBstr(s.get(), QStringLiteral("OLD"));
    for (float f : {5.6f, 5.6f, 50.0f})
        kavro::writeValue(s.get(), f);
    kavro::writeValue<int32_t>(s.get(), 1);
    kavro::writeValue<int32_t>(s.get(), 0);
    ComPtr<ITargetParams> oldTarget = CTargetParams::create();
    oldTarget->put_FormWidth(250);
    kavro::writeObject(s.get(), oldTarget.get());
    kavro::writeValue<int32_t>(s.get(), 0);
    ComPtr<IEventParams> old = CEventParams::create();
    ASSERT_EQ(old.query<IPersistStreamInit>()->Load(MemoryStream::create(s->bytes()).get()), S_OK);
    int32_t serie = 0;
    old->get_MaxShotsPerSerie(&serie);
    EXPECT_EQ(serie, 10);
    ComPtr<ITargetParams> first;
    old->get_Target(1, first.put());
    float width = 0;
    first->get_FormWidth(&width);
    EXPECT_EQ(width, 250);

    // A target stored under another class id is refused.
    QByteArray wrong = bytes;
    wrong[head.size()] = static_cast<char>(wrong[head.size()] ^ 1);
    EXPECT_EQ(copy.query<IPersistStreamInit>()->Load(MemoryStream::create(wrong).get()), E_FAIL);
}

TEST(EventParams, SaveNeedsAUsableShortName)
{
    EventsFolder folder;
    EXPECT_EQ(newEvent(QString())->Save(), E_UNEXPECTED);
    for (const char* bad : {"../AR10", "a/b", "a\\b", ".."})
        EXPECT_EQ(newEvent(QString::fromLatin1(bad))->Save(), E_INVALIDARG) << bad;
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(QDir(folder.path() + QStringLiteral("/..")).entryList({QStringLiteral("*.evl")}).isEmpty());
}

TEST(EventParams, SaveWritesTheFileOverAReadOnlyOne)
{
    EventsFolder folder;
    auto e = newEvent(QStringLiteral("T1"));
    e->put_Caliber(4.5f);
    ASSERT_EQ(e->Save(), S_OK);
    QString path = folder.path() + QStringLiteral("/T1.evl");
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    e->put_Caliber(5.6f);
    ASSERT_EQ(e->Save(), S_OK);
    Guid stamp;
    QByteArray contents;
    ASSERT_EQ(readEventFile(path, &stamp, &contents), S_OK);
    EXPECT_EQ(stamp, CLSID_EventParams);
    uint8_t id[16];
    CLSID_EventParams.toBytes(id);
    EXPECT_EQ(contents.left(16), QByteArray(reinterpret_cast<const char*>(id), 16));
    EXPECT_EQ(contents.mid(16), saved(e.get()));
}

TEST(EventFile, LargeStreamsAndForeignFiles)
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("big.evl"));
    QByteArray big(70000, 'x');
    for (int i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7);
    ASSERT_EQ(writeEventFile(path, CLSID_EventParams, big), S_OK);
    Guid stamp;
    QByteArray back;
    ASSERT_EQ(readEventFile(path, &stamp, &back), S_OK);
    EXPECT_EQ(back, big);

    // Cut anywhere, the file is refused, or read whole when only sector padding was cut.
    QFile whole(path);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    for (qsizetype cut : {qsizetype(600), qsizetype(1000), bytes.size() - 700, bytes.size() - 1}) {
        QFile part(dir.filePath(QStringLiteral("cut.evl")));
        ASSERT_TRUE(part.open(QIODevice::WriteOnly | QIODevice::Truncate));
        part.write(bytes.left(cut));
        part.close();
        QByteArray got;
        HRESULT hr = readEventFile(part.fileName(), &stamp, &got);
        EXPECT_TRUE(FAILED(hr) || got == big) << cut;
    }

    QFile junk(dir.filePath(QStringLiteral("junk.evl")));
    junk.open(QIODevice::WriteOnly);
    junk.write(QByteArray(1024, 'j'));
    junk.close();
    EXPECT_TRUE(FAILED(readEventFile(junk.fileName(), &stamp, &back)));
}

class EventManagerTest : public ::testing::Test {
protected:
    static ComPtr<IEventManager> manager()
    {
        ComPtr<IEventManager> m;
        EXPECT_EQ(createInstance(CLSID_EventManager, &m), S_OK);
        return m;
    }
};

TEST_F(EventManagerTest, OneInstanceLoadsTheFolderOnceInNameOrder)
{
    EventsFolder folder;
    for (const char* file : {"b", "a", "c"}) {
        auto e = newEvent(QString::fromLatin1(file));
        e->put_Name(QStringLiteral("shared name"));
        e->put_Value(QStringLiteral("file"), Variant(file));
        ASSERT_EQ(e->Save(), S_OK);
        QFile::rename(folder.path() + "/" + file + ".evl", folder.path() + "/" + file + "x.evl");
    }
    // All three files hold different short names; give two of them the same one.
    auto dup = newEvent(QStringLiteral("a"));
    dup->put_Value(QStringLiteral("file"), Variant("z"));
    ASSERT_EQ(dup->Save(), S_OK);
    QFile::rename(folder.path() + "/a.evl", folder.path() + "/zz.evl");
    QFile(folder.path() + "/broken.evl").open(QIODevice::WriteOnly);

    auto m1 = manager();
    auto m2 = manager();
    EXPECT_TRUE(sameObject(m1.get(), m2.get()));
    int32_t count = 0;
    m1->get_Count(&count);
    EXPECT_EQ(count, 4);
    ComPtr<IEventParams> found;
    ASSERT_EQ(m1->FindByShortName(QStringLiteral("a"), found.put()), S_OK);
    Variant file;
    found->get_Value(QStringLiteral("file"), &file);
    EXPECT_EQ(file.bstr(), QStringLiteral("a")); // ax.evl comes before zz.evl
    ComPtr<IEventParams> first;
    ASSERT_EQ(m1->get_Item(1, first.put()), S_OK);
    EXPECT_EQ(first.get(), found.get());
    ComPtr<IEventParams> none;
    EXPECT_EQ(m1->get_Item(5, none.put()), E_INVALIDARG);
    EXPECT_EQ(m1->Find(QStringLiteral("shared name"), none.put()), S_OK);
    EXPECT_EQ(none.get(), found.get());
}

TEST_F(EventManagerTest, SynonymsAreExactPieces)
{
    EventsFolder folder;
    auto m = manager();
    ComPtr<IEventParams> added;
    ASSERT_EQ(m->Add(QStringLiteral("AIR"), added.put()), S_OK);
    added->put_Value(QStringLiteral("synonym"), Variant("AR10,AR 10"));
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty()); // Add writes nothing
    ComPtr<IEventParams> found;
    EXPECT_EQ(m->FindByShortName(QStringLiteral("AR 10"), found.put()), S_OK);
    EXPECT_EQ(found.get(), added.get());
    found = nullptr;
    EXPECT_EQ(m->FindByShortName(QStringLiteral("AR10"), found.put()), S_OK);
    found = nullptr;
    EXPECT_EQ(m->FindByShortName(QStringLiteral(" AR10"), found.put()), S_FALSE);
    EXPECT_FALSE(found);
    EXPECT_EQ(m->FindByShortName(QStringLiteral("ar10"), found.put()), S_FALSE);
    EXPECT_EQ(m->FindByShortName(QStringLiteral("AR"), found.put()), S_FALSE);
    for (const char* partOrMore : {"AR 1", "R 10", "AR10,", "AR10,AR 10", ""})
        EXPECT_EQ(m->FindByShortName(QString::fromLatin1(partOrMore), found.put()), S_FALSE) << partOrMore;
    added->put_Value(QStringLiteral("synonym"), Variant("AR10,,AR 10"));
    EXPECT_EQ(m->FindByShortName(QString(), found.put()), S_OK) << "an empty piece names the event too";
    EXPECT_EQ(found.get(), added.get());
    found = nullptr;
    EXPECT_EQ(m->FindByShortName(QStringLiteral("AR10"), nullptr), E_POINTER);
    EXPECT_EQ(m->Find(QStringLiteral("nothing"), found.put()), S_FALSE);
}

TEST_F(EventManagerTest, EmptyFolderGivesAWorkingManager)
{
    EventsFolder folder;
    auto m = manager();
    int32_t count = -1;
    m->get_Count(&count);
    EXPECT_EQ(count, 0);
    ComPtr<IUnknown> items;
    EXPECT_EQ(m->get__NewEnum(items.put()), S_OK);
}

} // namespace
