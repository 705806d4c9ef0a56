// Our shell's root: junctions registered by the modules beside the program, binding through
// Computer, item-ID list routines, and which notices a registration hears.
#include "catalog_lookup.h"
#include "com/classregistry.h"
#include "shell/shell_execute.h"
#include "shell/shell_notify.h"
#include "shell/shell_root.h"

#include <gtest/gtest.h>

using namespace kavro;
using namespace kavro::shell;
using kavro::shell::ItemIdListNames;
using kavro::shell::ItemIdName;

namespace {

constexpr CLSID kCatalogFolderClass = Guid::parse("87CE75DB-8B5D-44E3-B2EE-E1254218F616");
constexpr CLSID kLookAlikeClass = Guid::parse("BF34306A-AA5B-41B1-9255-DC33A69AADC5");

class ShellRootTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        qputenv("KAVRO_MODULE_DIR", KAVRO_BIN_DIR);
        // A junction of this program whose name differs from the catalog's only in case.
        registerShellJunction(kLookAlikeClass, "kavro catalog");
    }
    static IdList list(const QStringList& names) { return IdList(folderFromArguments(names)); }
};

TEST_F(ShellRootTest, TheCatalogModuleRegistersItsJunctionUnderComputer)
{
    bool seen = false;
    for (const ShellJunction& j : registeredShellJunctions())
        if (j.name == QStringLiteral("Kavro Catalog")) {
            EXPECT_EQ(j.clsid, kCatalogFolderClass);
            seen = true;
        }
    EXPECT_TRUE(seen);

    ComPtr<IShellFolder> desktop;
    ASSERT_EQ(SHGetDesktopFolder(desktop.put()), S_OK);
    IdList computer(ComputerIdList());
    ComPtr<IShellFolder> drives;
    ASSERT_EQ(BindToFolder(computer.get(), drives.put()), S_OK);
    ComPtr<IEnumIDList> items;
    ASSERT_EQ(drives->EnumObjects(nullptr, SHCONTF_FOLDERS, items.put()), S_OK);
    QStringList names;
    LPITEMIDLIST next = nullptr;
    while (items->Next(1, &next, nullptr) == S_OK) {
        IdList id(next);
        names << ItemIdName(id.get());
    }
    EXPECT_TRUE(names.contains(QStringLiteral("Kavro Catalog")));
    EXPECT_TRUE(names.contains(QStringLiteral("kavro catalog")));

    // The catalog's folder, created from the module loaded beside the program.
    ComPtr<IShellFolder> catalog;
    IdList path = list({QStringLiteral("Computer"), QStringLiteral("Kavro Catalog")});
    ASSERT_EQ(BindToFolder(path.get(), catalog.put()), S_OK);
    auto persist = catalog.query<IPersistFolder>();
    ASSERT_TRUE(persist);
    CLSID clsid;
    persist->GetClassID(&clsid);
    EXPECT_EQ(clsid, kCatalogFolderClass);
    IdList elsewhere = list({QStringLiteral("Computer"), QStringLiteral("Nowhere")});
    EXPECT_TRUE(FAILED(BindToFolder(elsewhere.get(), catalog.put())));
}

TEST_F(ShellRootTest, TheLookupTakesOnlyTheExactName)
{
    ComPtr<IShellFolder> catalog;
    IdList absolute;
    ASSERT_TRUE(kavro::trainer::FindCatalogFolder(&catalog, &absolute));
    EXPECT_EQ(ItemIdListNames(absolute.get()),
              (QStringList{QStringLiteral("Computer"), QStringLiteral("Kavro Catalog")}));
    CLSID clsid;
    catalog.query<IPersistFolder>()->GetClassID(&clsid);
    EXPECT_EQ(clsid, kCatalogFolderClass);
}

TEST_F(ShellRootTest, AClipboardFormatsNumberDependsOnItsNameAlone)
{
    // Registered after others here, first in another module: the same number either way.
    const uint16_t other = RegisterClipboardFormat(QStringLiteral("Some other format"));
    const uint16_t list = RegisterClipboardFormat(QStringLiteral("Shell IDList Array"));
    EXPECT_EQ(list, 0xF775); // FNV-1a of the case-folded name's UTF-16LE bytes, reckoned apart
    EXPECT_EQ(RegisterClipboardFormat(QStringLiteral("shell idlist array")), list);
    EXPECT_NE(other, list);
    EXPECT_GE(other, 0xC000);
}

TEST_F(ShellRootTest, ListSizesPrefixesAndParents)
{
    EXPECT_EQ(ILGetSize(nullptr), 0u);
    IdList one = list({QStringLiteral("abc")});
    EXPECT_EQ(ILGetSize(one.get()), 8u + 6 + 2);
    IdList abc = list({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    IdList ab = list({QStringLiteral("a"), QStringLiteral("b")});
    IdList ax = list({QStringLiteral("a"), QStringLiteral("bx")});
    EXPECT_TRUE(ILIsPrefix(ab.get(), abc.get()));
    EXPECT_TRUE(ILIsPrefix(abc.get(), abc.get()));
    EXPECT_FALSE(ILIsPrefix(abc.get(), ab.get()));
    EXPECT_FALSE(ILIsPrefix(ax.get(), abc.get()));
    IdList parent(ILCloneParent(abc.get()));
    EXPECT_TRUE(ILIsEqual(parent.get(), ab.get()));
    IdList last(ILCloneLast(abc.get()));
    EXPECT_EQ(ItemIdListNames(last.get()), QStringList{QStringLiteral("c")});
    EXPECT_EQ(ILCloneParent(one.get()), nullptr);
    EXPECT_FALSE(ILIsEqual(ab.get(), ax.get()));

    // A registration hears its folder's items; below them only when recursive.
    IdList abcd = list({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")});
    EXPECT_TRUE(noticeConcerns(ab.get(), false, abc.get()));
    EXPECT_TRUE(noticeConcerns(ab.get(), false, ab.get()));
    EXPECT_FALSE(noticeConcerns(ab.get(), false, abcd.get()));
    EXPECT_TRUE(noticeConcerns(ab.get(), true, abcd.get()));
    EXPECT_FALSE(noticeConcerns(ax.get(), true, abcd.get()));
}

} // namespace
