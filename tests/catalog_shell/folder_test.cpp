// The catalog folder over a cache indexed from saved practices: its tree, order, names,
// attributes, enumeration, rename, and what it does with a cache it cannot trust.
#include "shell_fixture.h"

#include "cache_format.h"
#include "com/oledate.h"

#include <QLocale>

using namespace shelltest;

namespace {

TEST_F(ShellCatalogTest, TopLevelHoldsTheFixedEventsAndOtherOnlyWithAFileThatIsNoDocument)
{
    startIndexing();
    rescan();
    auto root = folder();
    EXPECT_EQ(childNames(root.get()), (QStringList{QStringLiteral("Air Pistol"), QStringLiteral("Air Rifle")}));

    writeFile(QStringLiteral("notes.txt"), "not a practice");
    rescan();
    EXPECT_EQ(childNames(root.get()),
              (QStringList{QStringLiteral("Other"), QStringLiteral("Air Pistol"), QStringLiteral("Air Rifle")}));
    EXPECT_EQ(childNames(folder({QStringLiteral("Other")}).get()),
              QStringList{homeCatalogPath() + QStringLiteral("notes.txt")});
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ShellCatalogTest, DocumentsAreFiledByEventAndShooterAndSortNewestFirst)
{
    startIndexing();
    auto older = cattest::practice("AR10", QStringLiteral("Anna"));
    older.enterTime = 45000.25;
    auto newer = cattest::practice("AR10", QStringLiteral("Anna"));
    newer.enterTime = 45100.5;
    const QString a = save(QStringLiteral("a.kavro"), older);
    const QString b = save(QStringLiteral("b.kavro"), newer);
    save(QStringLiteral("c.kavro"), cattest::practice("AP10", QStringLiteral("bob")));
    rescan();

    const QString rifle = eventName("AR10"), pistol = eventName("AP10");
    auto root = folder();
    const QStringList top = childNames(root.get());
    EXPECT_TRUE(top.contains(rifle) && top.contains(pistol)) << top.join(QLatin1Char('|')).toStdString();

    auto anna = folder({rifle, QStringLiteral("Anna")});
    const QStringList docs = childNames(anna.get());
    ASSERT_EQ(docs.size(), 2);
    IdList first = item(docs[0]), second = item(docs[1]);
    IdList olderId = item(a), newerId = item(b);
    EXPECT_EQ(shortFromCompare(anna->CompareIDs(0, newerId.get(), olderId.get())), -1);
    EXPECT_EQ(shortFromCompare(anna->CompareIDs(0, olderId.get(), newerId.get())), 1);
    EXPECT_EQ(shortFromCompare(anna->CompareIDs(0, olderId.get(), olderId.get())), 0);

    // Event folders by name without regard to case; a folder before a document; unknown items last.
    IdList airPistol = item(QStringLiteral("Air Pistol")), airRifle = item(QStringLiteral("air rifle"));
    IdList upperRifle = item(QStringLiteral("Air Rifle"));
    EXPECT_EQ(shortFromCompare(root->CompareIDs(0, airPistol.get(), upperRifle.get())), -1);
    EXPECT_EQ(shortFromCompare(root->CompareIDs(0, upperRifle.get(), airPistol.get())), 1);
    EXPECT_EQ(shortFromCompare(root->CompareIDs(0, airRifle.get(), upperRifle.get())),
              -1); // only the second is a child
    IdList ghost = item(QStringLiteral("ghost"));
    EXPECT_EQ(shortFromCompare(root->CompareIDs(0, ghost.get(), airRifle.get())), 0);
}

TEST_F(ShellCatalogTest, DisplayNamesShowDateAndTimeWithoutSecondsAndThePathForParsing)
{
    startIndexing();
    auto spec = cattest::practice("AR10", QStringLiteral("Anna"));
    spec.enterTime = 45123.0 + (13 * 3600 + 7 * 60 + 42) / 86400.0; // 2023-07-16 13:07:42
    const QString path = save(QStringLiteral("a.kavro"), spec);
    rescan();

    EXPECT_EQ(documentDisplayName(spec.enterTime, QLocale(QLocale::English, QLocale::UnitedStates)),
              QStringLiteral("7/16/23 1:07 PM"));
    EXPECT_EQ(documentDisplayName(spec.enterTime, QLocale(QLocale::German, QLocale::Germany)),
              QStringLiteral("16.07.23 13:07"));
    EXPECT_EQ(documentDisplayName(spec.enterTime, QLocale::c()), QStringLiteral("16 Jul 2023 13:07"));

    auto anna = folder({eventName("AR10"), QStringLiteral("Anna")});
    childNames(anna.get());
    IdList id = item(path);
    STRRET ret;
    ASSERT_EQ(anna->GetDisplayNameOf(id.get(), SHGDN_NORMAL, &ret), S_OK);
    const double date = cache_.RecordAt(cache_.FindRecordByPath(path)).date;
    EXPECT_EQ(StrRetToString(&ret), documentDisplayName(date, QLocale::system()));
    ASSERT_EQ(anna->GetDisplayNameOf(id.get(), SHGDN_FORPARSING, &ret), S_OK);
    EXPECT_EQ(StrRetToString(&ret), path);

    // Folders show their names; an item that is not there has none.
    auto rifle = folder({eventName("AR10")});
    IdList shooter = item(QStringLiteral("Anna"));
    ASSERT_EQ(rifle->GetDisplayNameOf(shooter.get(), SHGDN_NORMAL, &ret), S_OK);
    EXPECT_EQ(StrRetToString(&ret), QStringLiteral("Anna"));
    IdList ghost = item(QStringLiteral("ghost"));
    EXPECT_EQ(rifle->GetDisplayNameOf(ghost.get(), SHGDN_NORMAL, &ret), E_INVALIDARG);
}

TEST_F(ShellCatalogTest, AttributesOfFoldersAndDocuments)
{
    startIndexing();
    const QString path = save(QStringLiteral("a.kavro"), cattest::practice("AR10", QStringLiteral("Anna")));
    rescan();
    const QString rifle = eventName("AR10");
    auto root = folder();
    childNames(root.get());
    auto attributesOf = [](IShellFolder* f, const QStringList& names) {
        std::vector<IdList> ids;
        std::vector<LPCITEMIDLIST> raw;
        for (const QString& n : names) {
            ids.push_back(item(n));
            raw.push_back(ids.back().get());
        }
        uint32_t attributes = 0xFFFFFFFF;
        EXPECT_EQ(f->GetAttributesOf(static_cast<uint32_t>(raw.size()), raw.data(), &attributes), S_OK);
        return attributes;
    };
    EXPECT_EQ(attributesOf(root.get(), {}), 0xA8000100u);
    EXPECT_EQ(attributesOf(root.get(), {rifle}), 0xA8000004u); // has a shooter folder
    EXPECT_EQ(attributesOf(root.get(), {QStringLiteral("Air Pistol")}), 0x28000004u);
    auto event = folder({rifle});
    EXPECT_EQ(attributesOf(event.get(), {QStringLiteral("Anna")}), 0x28000014u);
    auto anna = folder({rifle, QStringLiteral("Anna")});
    EXPECT_EQ(attributesOf(anna.get(), {path}), 0u);
    EXPECT_EQ(attributesOf(root.get(), {rifle, QStringLiteral("Air Pistol")}), 0x28000004u);
}

TEST_F(ShellCatalogTest, EnumeratorNextSkipAndReset)
{
    startIndexing();
    rescan();
    ComPtr<IEnumIDList> items;
    ASSERT_EQ(folder()->EnumObjects(nullptr, 0, items.put()), S_OK);
    LPITEMIDLIST out[3] = {};
    uint32_t fetched = 99;
    EXPECT_EQ(items->Next(2, out, nullptr), E_INVALIDARG);
    EXPECT_EQ(items->Next(3, out, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(ItemIdName(out[0]), QStringLiteral("Air Pistol"));
    EXPECT_EQ(ItemIdName(out[1]), QStringLiteral("Air Rifle"));
    ILFree(out[0]);
    ILFree(out[1]);
    EXPECT_EQ(items->Next(1, out, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(items->Reset(), S_OK);
    EXPECT_EQ(items->Skip(1), S_OK);
    EXPECT_EQ(items->Next(1, out, nullptr), S_OK);
    EXPECT_EQ(ItemIdName(out[0]), QStringLiteral("Air Rifle"));
    ILFree(out[0]);
    EXPECT_EQ(items->Reset(), S_OK);
    EXPECT_EQ(items->Skip(3), S_FALSE);
    EXPECT_EQ(items->Next(1, out, &fetched), S_FALSE);
}

TEST_F(ShellCatalogTest, RenamingAShooterFolderSavesItsDocumentsAgainAndReportsOneThatCannotBe)
{
    startIndexing();
    const QString a = save(QStringLiteral("a.kavro"), cattest::practice("AR10", QStringLiteral("Bob")));
    const QString b = save(QStringLiteral("b.kavro"), cattest::practice("AR10", QStringLiteral("Bob"), 2, 0));
    rescan();
    const QString rifle = eventName("AR10");
    auto event = folder({rifle});
    childNames(event.get());
    IdList bob = item(QStringLiteral("Bob"));

    LPITEMIDLIST renamed = nullptr;
    ASSERT_EQ(event->SetNameOf(nullptr, bob.get(), QStringLiteral("Robert \"Bobby\" Ray"), 0, &renamed), S_OK);
    IdList newId(renamed);
    EXPECT_EQ(ItemIdName(newId.get()), QStringLiteral("Robert \"Bobby\" Ray"));
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_FALSE(QFile::exists(b));
    rescan();
    EXPECT_EQ(childNames(event.get()), QStringList{QStringLiteral("Robert \"Bobby\" Ray")});
    const QStringList moved = childNames(folder({rifle, QStringLiteral("Robert \"Bobby\" Ray")}).get());
    ASSERT_EQ(moved.size(), 2);
    for (const QString& path : moved) {
        ComPtr<IKavroDocument> doc = cattest::makePractice(cattest::practice("AR10", QString()));
        doc->put_FileName(path);
        ASSERT_EQ(doc->Load(), S_OK);
        QString shooter;
        doc->get_ShooterName(&shooter);
        EXPECT_EQ(shooter, QStringLiteral("Robert \"Bobby\" Ray"));
    }

    // A document that went since the cache was read cannot be saved again: the failure is
    // reported and the other document still moves.
    QFile::remove(moved[0]);
    IdList robert = item(QStringLiteral("Robert \"Bobby\" Ray"));
    EXPECT_TRUE(FAILED(event->SetNameOf(nullptr, robert.get(), QStringLiteral("Rob"), 0, nullptr)));
    EXPECT_FALSE(QFile::exists(moved[1]));
    rescan();
    EXPECT_EQ(childNames(folder({rifle, QStringLiteral("Rob")}).get()).size(), 1);

    // Event folders keep their names.
    IdList fixed = item(rifle);
    EXPECT_EQ(folder()->SetNameOf(nullptr, fixed.get(), QStringLiteral("x"), 0, nullptr), E_INVALIDARG);
}

TEST_F(ShellCatalogTest, AHostileCacheLeavesTheFolderEmptyWithTheMessage)
{
    startIndexing();
    save(QStringLiteral("a.kavro"), cattest::practice("AR10", QStringLiteral("Anna")));
    rescan();
    // The header's format mark made wrong behind the service's back.
    {
        QFile f(cachePath());
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        uint8_t six[4] = {6, 0, 0, 0};
        f.write(reinterpret_cast<const char*>(six), 4);
    }
    EXPECT_TRUE(childNames(folder().get()).isEmpty());
    ASSERT_FALSE(messages_.empty());
    EXPECT_EQ(messages_.back().text, QStringLiteral("Invalid cache version or corrupted"));
    EXPECT_EQ(messages_.back().caption, QStringLiteral("kavrons"));
    // Nothing below can be looked up either.
    EXPECT_TRUE(childNames(folder({eventName("AR10")}).get()).isEmpty());
}

TEST_F(ShellCatalogTest, AServiceThatDoesNotStartLeavesTheFolderEmpty)
{
    // No service runs and the one started never comes up within the wait, which the event loop
    // runs out.
    EXPECT_TRUE(childNames(folder().get()).isEmpty());
    EXPECT_TRUE(CCatalog::instance().preparing());
    EXPECT_TRUE(waitUntil([&] { return !messages_.empty(); }));
    EXPECT_FALSE(CCatalog::instance().preparing());
    ASSERT_EQ(launcher_.starts.size(), 1u);
    EXPECT_TRUE(launcher_.starts[0].program.endsWith(QStringLiteral("/kavrocls")));
    EXPECT_TRUE(launcher_.starts[0].args.isEmpty());
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text, QStringLiteral("Unable to init catalog"));
    EXPECT_EQ(messages_[0].caption, launcher_.starts[0].program);
}

} // namespace
