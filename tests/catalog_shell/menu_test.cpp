// The catalog's context menu per node kind, its commands, and the data object's block and answers.
#include "shell_fixture.h"

#include "catalog_menu.h"

#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <QtEndian>

using namespace shelltest;

namespace {

class MenuTest : public ShellCatalogTest {
protected:
    void SetUp() override
    {
        ShellCatalogTest::SetUp();
        startIndexing();
        rifle_ = eventName("AR10");
        doc_ = save(QStringLiteral("a.kavro"), cattest::practice("AR10", QStringLiteral("Jo \"Ace\" O'Neil")));
        rescan();
        childNames(folder().get());
    }
    ComPtr<IContextMenu> menuOf(const QStringList& path)
    {
        QStringList parent = path;
        const QString last = parent.takeLast();
        auto f = folder(parent);
        IdList id = item(last);
        LPCITEMIDLIST one = id.get();
        ComPtr<IContextMenu> menu;
        EXPECT_EQ(f->GetUIObjectOf(nullptr, 1, &one, IContextMenu::iid, nullptr, menu.putVoid()), S_OK);
        return menu;
    }
    // The menu's texts with their command ids.
    static QStringList entries(QMenu& menu)
    {
        QStringList out;
        for (QAction* a : menu.actions())
            out << QStringLiteral("%1=%2").arg(a->text()).arg(a->data().toUInt());
        return out;
    }
    HRESULT invoke(IContextMenu* menu, uint32_t offset)
    {
        CMINVOKECOMMANDINFO info;
        info.verb = offset;
        return menu->InvokeCommand(&info);
    }

    QString rifle_, doc_;
    const QString shooter_ = QStringLiteral("Jo \"Ace\" O'Neil");
};

TEST_F(MenuTest, EachKindOfNodeHasItsCommands)
{
    QMenu menu;
    menu.addAction(QStringLiteral("Host"));
    auto document = menuOf({rifle_, shooter_, doc_});
    EXPECT_EQ(document->QueryContextMenu(&menu, 0, 10, 100, CMF_NORMAL), 3);
    EXPECT_EQ(entries(menu),
              (QStringList{QStringLiteral("Open=11"), QStringLiteral("Delete=12"), QStringLiteral("Host=0")}));
    EXPECT_EQ(menu.defaultAction(), menu.actions()[0]);

    QMenu folderMenu;
    auto shooter = menuOf({rifle_, shooter_});
    EXPECT_EQ(shooter->QueryContextMenu(&folderMenu, 0, 0, 100, CMF_EXPLORE), 4);
    EXPECT_EQ(entries(folderMenu),
              (QStringList{QStringLiteral("Open=1"), QStringLiteral("New practice=2"), QStringLiteral("Delete=3")}));

    QMenu defaultOnly;
    auto event = menuOf({rifle_});
    EXPECT_EQ(event->QueryContextMenu(&defaultOnly, 0, 0, 100, CMF_DEFAULTONLY), 3);
    EXPECT_EQ(entries(defaultOnly), (QStringList{QStringLiteral("Open=1"), QStringLiteral("Delete=2")}));

    // The catalog folder's own menu; a name that is no node has none.
    ComPtr<IContextMenu> own;
    EXPECT_EQ(folder()->CreateViewObject(nullptr, IContextMenu::iid, own.putVoid()), S_OK);
    IdList ghost = item(QStringLiteral("ghost"));
    LPCITEMIDLIST one = ghost.get();
    ComPtr<IContextMenu> none;
    EXPECT_TRUE(FAILED(folder()->GetUIObjectOf(nullptr, 1, &one, IContextMenu::iid, nullptr, none.putVoid())));
    EXPECT_FALSE(none);
    // Two items at once give no menu.
    IdList a = item(rifle_), b = item(QStringLiteral("Air Pistol"));
    LPCITEMIDLIST two[] = {a.get(), b.get()};
    EXPECT_EQ(folder()->GetUIObjectOf(nullptr, 2, two, IContextMenu::iid, nullptr, none.putVoid()), E_NOTIMPL);
}

TEST_F(MenuTest, NewPracticeStartsTheTrainerWithTheNamesAsArguments)
{
    QMenu menu;
    auto shooter = menuOf({rifle_, shooter_});
    shooter->QueryContextMenu(&menu, 0, 0, 100, CMF_NORMAL);
    ASSERT_EQ(invoke(shooter.get(), 2), S_OK);
    ASSERT_EQ(launcher_.starts.size(), 1u);
    EXPECT_TRUE(launcher_.starts[0].program.endsWith(QStringLiteral("/kavropro")));
    EXPECT_EQ(launcher_.starts[0].args, (QStringList{QStringLiteral("-n"), rifle_, shooter_}));

    QMenu eventMenu;
    auto event = menuOf({rifle_});
    event->QueryContextMenu(&eventMenu, 0, 0, 100, CMF_NORMAL);
    ASSERT_EQ(invoke(event.get(), 2), S_OK);
    ASSERT_EQ(launcher_.starts.size(), 2u);
    EXPECT_EQ(launcher_.starts[1].args, (QStringList{QStringLiteral("-n"), rifle_, QString()}));
}

TEST_F(MenuTest, OpenOpensTheDocumentOrABrowserOnTheFolder)
{
    QMenu menu;
    auto document = menuOf({rifle_, shooter_, doc_});
    document->QueryContextMenu(&menu, 0, 0, 100, CMF_NORMAL);
    CMINVOKECOMMANDINFO byName;
    byName.verbString = "open";
    ASSERT_EQ(document->InvokeCommand(&byName), S_OK);
    EXPECT_EQ(launcher_.opened, QStringList{doc_});

    QMenu folderMenu;
    auto shooter = menuOf({rifle_, shooter_});
    shooter->QueryContextMenu(&folderMenu, 0, 0, 100, CMF_NORMAL);
    ASSERT_EQ(invoke(shooter.get(), 1), S_OK);
    ASSERT_EQ(launcher_.starts.size(), 1u);
    EXPECT_TRUE(launcher_.starts[0].program.endsWith(QStringLiteral("/kavro-catalog")));
    EXPECT_EQ(launcher_.starts[0].args,
              (QStringList{QStringLiteral("Computer"), QStringLiteral("Kavro Catalog"), rifle_, shooter_}));
}

TEST_F(MenuTest, DeleteAsksAndRemovesExactlyTheDocuments)
{
    // A file whose name begins with the document's path is not the document.
    writeFile(QStringLiteral("a.kavro.bak"), "keep me");
    const QString second = save(QStringLiteral("sub/b.kavro"), cattest::practice("AR10", shooter_, 1, 0));
    rescan();
    childNames(folder().get());

    QMenu menu;
    auto document = menuOf({rifle_, shooter_, doc_});
    document->QueryContextMenu(&menu, 0, 0, 100, CMF_NORMAL);
    answer_ = false;
    ASSERT_EQ(invoke(document.get(), 2), S_OK);
    EXPECT_EQ(questions_, QStringList{QStringLiteral("Do you want to delete those items?")});
    EXPECT_TRUE(QFile::exists(doc_));

    answer_ = true;
    ASSERT_EQ(invoke(document.get(), 2), S_OK);
    EXPECT_FALSE(QFile::exists(doc_));
    EXPECT_TRUE(QFile::exists(homeCatalogPath() + QStringLiteral("a.kavro.bak")));
    EXPECT_TRUE(QFile::exists(second));

    // A folder's delete takes every document below it (as the tree shows it once refreshed).
    rescan();
    childNames(folder().get());
    QMenu folderMenu;
    auto event = menuOf({rifle_});
    event->QueryContextMenu(&folderMenu, 0, 0, 100, CMF_NORMAL);
    ASSERT_EQ(invoke(event.get(), 3), S_OK);
    EXPECT_FALSE(QFile::exists(second));
    EXPECT_TRUE(QFile::exists(homeCatalogPath() + QStringLiteral("a.kavro.bak")));
}

// The bytes of a list of kind-1 items, built here independently of the item routines.
QByteArray listBytes(const QStringList& names)
{
    QByteArray out;
    for (const QString& name : names) {
        const int cb = 2 * static_cast<int>(name.size()) + 8;
        QByteArray one(cb, '\0');
        qToLittleEndian<quint16>(static_cast<quint16>(cb), one.data());
        qToLittleEndian<quint32>(1u, one.data() + 2);
        for (int i = 0; i < name.size(); ++i)
            qToLittleEndian<quint16>(name[i].unicode(), one.data() + 6 + 2 * i);
        out += one;
    }
    return out + QByteArray(2, '\0');
}

TEST_F(MenuTest, TheIdListArrayOfTwoDocumentsByteForByte)
{
    IdList folderId(catalogIdList({rifle_, shooter_}));
    std::vector<IdList> items;
    items.push_back(item(QStringLiteral("/c/one.kavro")));
    items.push_back(item(QStringLiteral("/c/two.kavro")));
    auto data = CKavroDataObject::create(folderId.get(), std::move(items));

    const QByteArray folderBytes
        = listBytes({QStringLiteral("Computer"), QStringLiteral("Kavro Catalog"), rifle_, shooter_});
    const QByteArray one = listBytes({QStringLiteral("/c/one.kavro")});
    const QByteArray two = listBytes({QStringLiteral("/c/two.kavro")});
    QByteArray expected(16, '\0');
    qToLittleEndian<quint32>(2u, expected.data());
    qToLittleEndian<quint32>(16u, expected.data() + 4);
    qToLittleEndian<quint32>(static_cast<quint32>(16 + folderBytes.size()), expected.data() + 8);
    qToLittleEndian<quint32>(static_cast<quint32>(16 + folderBytes.size() + one.size()), expected.data() + 12);
    expected += folderBytes + one + two;

    FORMATETC format;
    format.cfFormat = RegisterClipboardFormat(QStringLiteral("Shell IDList Array"));
    STGMEDIUM medium;
    ASSERT_EQ(data->GetData(&format, &medium), S_OK);
    EXPECT_EQ(medium.tymed, TYMED_HGLOBAL);
    EXPECT_EQ(medium.pUnkForRelease, nullptr);
    ASSERT_EQ(medium.hGlobal->size, static_cast<size_t>(expected.size()) + 1);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(medium.hGlobal->bytes), expected.size()), expected);
    EXPECT_EQ(medium.hGlobal->bytes[expected.size()], 0);
    ReleaseStgMedium(&medium);

    // A drag carries the same block and the documents as URIs for other programs.
    std::unique_ptr<QMimeData> mime(catalogMimeData(data.get(), {QStringLiteral("/c/one.kavro")}));
    EXPECT_EQ(mime->data(QString::fromLatin1(kShellIdListMime)), expected);
    EXPECT_EQ(mime->urls(), QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/c/one.kavro"))});
}

TEST_F(MenuTest, TheDataObjectAnswersForItsOneFormat)
{
    IdList folderId(catalogIdList({rifle_}));
    std::vector<IdList> items;
    items.push_back(item(shooter_));
    auto data = CKavroDataObject::create(folderId.get(), std::move(items));
    FORMATETC format;
    format.cfFormat = RegisterClipboardFormat(QStringLiteral("Shell IDList Array"));
    EXPECT_EQ(data->QueryGetData(&format), S_OK);
    FORMATETC file = format;
    file.tymed = 2; // a file, not global memory
    EXPECT_EQ(data->QueryGetData(&file), DV_E_TYMED);
    FORMATETC other = format;
    other.cfFormat = RegisterClipboardFormat(QStringLiteral("Other format"));
    EXPECT_EQ(data->QueryGetData(&other), DV_E_FORMATETC);
    STGMEDIUM medium;
    EXPECT_EQ(data->GetData(&other, &medium), E_INVALIDARG);
    EXPECT_EQ(data->SetData(&format, &medium, 0), E_NOTIMPL);
    EXPECT_EQ(data->GetDataHere(&format, &medium), E_NOTIMPL);

    FORMATETC canonical;
    canonical.ptd = &canonical;
    EXPECT_EQ(data->GetCanonicalFormatEtc(&format, &canonical), DATA_S_SAMEFORMATETC);
    EXPECT_EQ(canonical.ptd, nullptr);

    ComPtr<IEnumFORMATETC> formats;
    EXPECT_EQ(data->EnumFormatEtc(2, formats.put()), E_NOTIMPL);
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, formats.put()), S_OK);
    FORMATETC got[2];
    uint32_t fetched = 0;
    EXPECT_EQ(formats->Next(2, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(got[0].cfFormat, format.cfFormat);
    EXPECT_EQ(got[0].tymed, TYMED_HGLOBAL);
    EXPECT_EQ(got[0].lindex, -1);
    EXPECT_EQ(got[0].dwAspect, DVASPECT_CONTENT);
    EXPECT_EQ(formats->Skip(1), S_FALSE);
    EXPECT_EQ(formats->Reset(), S_OK);
    EXPECT_EQ(formats->Skip(1), S_OK);
}

} // namespace
