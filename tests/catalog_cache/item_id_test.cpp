// Catalog item IDs and the notices that carry them.
#include "catalog_notice.h"
#include "catalog_root.h"

#include <QByteArray>

#include <gtest/gtest.h>

using namespace kavro::catalog;

namespace {

QByteArray bytesOf(const ItemIdList* list)
{
    return QByteArray(reinterpret_cast<const char*>(list), qsizetype(ItemIdListSize(list)));
}

struct Freed {
    ItemIdList* p;
    ~Freed() { FreeItemIdList(p); }
};

TEST(ItemIdTest, ItemsAndListsHaveTheShellLayout)
{
    Freed a{MakeItemId(1, QStringLiteral("Air Rifle"))};
    // cb = 2 x 9 + 8 = 26, kind 1, UTF-16 name with its null, then the list's terminator.
    QByteArray expected("\x1a\x00\x01\x00\x00\x00", 6);
    for (char c : QByteArray("Air Rifle"))
        expected.append(c).append('\0');
    expected.append("\0\0\0\0", 4);
    EXPECT_EQ(bytesOf(a.p), expected);
    EXPECT_EQ(ItemIdListSize(a.p), 28u);
    EXPECT_EQ(ItemIdListSize(nullptr), 0u);

    Freed b{MakeItemId(1, QStringLiteral("Zoë"))};
    Freed ab{ConcatItemIdLists(a.p, b.p)};
    EXPECT_EQ(ItemIdListSize(ab.p), 26u + 14u + 2u);
    const ItemId* second = NextItemId(ab.p);
    EXPECT_EQ(ItemIdSize(second), 14);
    EXPECT_EQ(ItemIdKind(second), 1u);
    EXPECT_EQ(ItemIdName(second), QStringLiteral("Zoë"));
    EXPECT_EQ(ItemIdSize(NextItemId(second)), 0);
    EXPECT_EQ(NextItemId(NextItemId(second)), nullptr);
    EXPECT_EQ(ItemIdListNames(ab.p), (QStringList{QStringLiteral("Air Rifle"), QStringLiteral("Zoë")}));

    Freed clone{CloneItemIdList(ab.p)};
    EXPECT_EQ(bytesOf(clone.p), bytesOf(ab.p));
    ItemIdList* appended = AppendItemId(CloneItemIdList(a.p), b.p); // frees its first argument
    Freed keep{appended};
    EXPECT_EQ(bytesOf(appended), bytesOf(ab.p));

    Freed empty{MakeItemId(1, QString())};
    EXPECT_EQ(ItemIdSize(empty.p), 8);
    EXPECT_EQ(ItemIdName(empty.p), QString());
    // cb has 16 bits: a name too long for it is refused.
    EXPECT_EQ(MakeItemId(1, QString(40000, QLatin1Char('x'))), nullptr);

    Freed root{GetCatalogRootIdList()};
    EXPECT_EQ(ItemIdListNames(root.p), (QStringList{QStringLiteral("Computer"), QStringLiteral("Kavro Catalog")}));
}

TEST(ItemIdTest, ListsFromElsewhereAreCheckedBeforeUse)
{
    Freed a{MakeItemId(1, QStringLiteral("Anna"))};
    const QByteArray good = bytesOf(a.p);
    EXPECT_EQ(CheckedItemIdListSize(good.constData(), size_t(good.size())), size_t(good.size()));
    EXPECT_EQ(CheckedItemIdListSize(good.constData(), size_t(good.size()) - 1), 0u); // no terminator
    QByteArray odd = good;
    odd[0] = 15;
    EXPECT_EQ(CheckedItemIdListSize(odd.constData(), size_t(odd.size())), 0u);
    QByteArray tiny = good;
    tiny[0] = 6; // shorter than an item with an empty name
    EXPECT_EQ(CheckedItemIdListSize(tiny.constData(), size_t(tiny.size())), 0u);
    QByteArray unterminated = good;
    unterminated[qsizetype(ItemIdSize(a.p)) - 2] = 'x'; // the name's null
    EXPECT_EQ(CheckedItemIdListSize(unterminated.constData(), size_t(unterminated.size())), 0u);
    QByteArray huge = good;
    huge[1] = char(0x7F);
    EXPECT_EQ(CheckedItemIdListSize(huge.constData(), size_t(huge.size())), 0u);
    EXPECT_EQ(CheckedItemIdListSize(nullptr, 10), 0u);
}

TEST(ItemIdTest, NoticesCarryTheEventAndTheAbsoluteList)
{
    Freed root{GetCatalogRootIdList()};
    Freed event{MakeItemId(1, QStringLiteral("Air Rifle"))};
    Freed ids{ConcatItemIdLists(root.p, event.p)};
    const QByteArray message = encodeShellNotice(SHCNE_MKDIR, ids.p);
    EXPECT_EQ(message.left(4), QByteArray("\x08\0\0\0", 4));
    CatalogNotice notice;
    ASSERT_TRUE(decodeShellNotice(message, &notice));
    EXPECT_EQ(notice.event, uint32_t(SHCNE_MKDIR));
    EXPECT_EQ(notice.names,
              (QStringList{QStringLiteral("Computer"), QStringLiteral("Kavro Catalog"), QStringLiteral("Air Rifle")}));
    EXPECT_FALSE(decodeShellNotice(message.left(message.size() - 1), &notice));
    EXPECT_FALSE(decodeShellNotice(message + "x", &notice));
    EXPECT_FALSE(decodeShellNotice(QByteArray("\x08\0\0", 3), &notice));
}

} // namespace
