#include "item_id.h"

#include <QtEndian>

#include <cstdlib>
#include <cstring>

namespace kavro::shell {
namespace {

constexpr size_t kItemHeader = 6; // cb and kind

uint16_t readU16(const uint8_t* p)
{
    return qFromLittleEndian<quint16>(p);
}

uint32_t readU32(const uint8_t* p)
{
    return qFromLittleEndian<quint32>(p);
}

const uint8_t* bytesOf(const ItemId* item)
{
    return reinterpret_cast<const uint8_t*>(item);
}

} // namespace

void* ShellAlloc(size_t bytes)
{
    return std::malloc(bytes ? bytes : 1);
}

void ShellFree(void* p)
{
    std::free(p);
}

ItemIdList* MakeItemId(uint32_t kind, const QString& name)
{
    // cb is 16 bits: longer names cannot be held.
    const size_t cb = 2 * static_cast<size_t>(name.size()) + 8;
    if (cb > 0xFFFF)
        return nullptr;
    auto* p = static_cast<uint8_t*>(ShellAlloc(cb + 2));
    if (!p)
        return nullptr;
    qToLittleEndian<quint16>(static_cast<quint16>(cb), p);
    qToLittleEndian<quint32>(kind, p + 2);
    qToLittleEndian<quint16>(name.utf16(), name.size(), p + kItemHeader);
    std::memset(p + cb - 2, 0, 4); // the name's null and the list's terminator
    return reinterpret_cast<ItemIdList*>(p);
}

uint16_t ItemIdSize(const ItemId* item)
{
    return item ? readU16(bytesOf(item)) : 0;
}

const ItemId* NextItemId(const ItemId* item)
{
    const uint16_t cb = ItemIdSize(item);
    if (cb == 0)
        return nullptr;
    return reinterpret_cast<const ItemId*>(bytesOf(item) + cb);
}

size_t ItemIdListSize(const ItemIdList* list)
{
    if (!list)
        return 0;
    size_t size = 2;
    for (const ItemId* item = list; ItemIdSize(item) != 0; item = NextItemId(item))
        size += ItemIdSize(item);
    return size;
}

ItemIdList* CloneItemIdList(const ItemIdList* list)
{
    return ConcatItemIdLists(list, nullptr);
}

ItemIdList* ConcatItemIdLists(const ItemIdList* first, const ItemIdList* second)
{
    const size_t a = first ? ItemIdListSize(first) - 2 : 0;
    const size_t b = second ? ItemIdListSize(second) - 2 : 0;
    auto* p = static_cast<uint8_t*>(ShellAlloc(a + b + 2));
    if (!p)
        return nullptr;
    if (a)
        std::memcpy(p, first, a);
    if (b)
        std::memcpy(p + a, second, b);
    p[a + b] = p[a + b + 1] = 0;
    return reinterpret_cast<ItemIdList*>(p);
}

void FreeItemIdList(ItemIdList* list)
{
    ShellFree(list);
}

ItemIdList* AppendItemId(ItemIdList* first, const ItemIdList* second)
{
    ItemIdList* joined = ConcatItemIdLists(first, second);
    FreeItemIdList(first);
    return joined;
}

uint32_t ItemIdKind(const ItemId* item)
{
    return ItemIdSize(item) >= kItemHeader ? readU32(bytesOf(item) + 2) : 0;
}

QString ItemIdName(const ItemId* item)
{
    const uint16_t cb = ItemIdSize(item);
    if (cb < kItemHeader + 2)
        return {};
    const size_t units = (cb - kItemHeader) / 2 - 1;
    QString name(static_cast<qsizetype>(units), Qt::Uninitialized);
    qFromLittleEndian<quint16>(bytesOf(item) + kItemHeader, static_cast<qsizetype>(units), name.data());
    return name;
}

QStringList ItemIdListNames(const ItemIdList* list)
{
    QStringList names;
    for (const ItemId* item = list; ItemIdSize(item) != 0; item = NextItemId(item))
        names.append(ItemIdName(item));
    return names;
}

size_t CheckedItemIdListSize(const void* bytes, size_t available)
{
    if (!bytes)
        return 0;
    const auto* p = static_cast<const uint8_t*>(bytes);
    size_t at = 0;
    for (;;) {
        if (available - at < 2)
            return 0;
        const uint16_t cb = readU16(p + at);
        if (cb == 0)
            return at + 2;
        if (cb < kItemHeader + 2 || cb % 2 != 0 || cb > available - at)
            return 0;
        if (readU16(p + at + cb - 2) != 0)
            return 0;
        at += cb;
    }
}

} // namespace kavro::shell
