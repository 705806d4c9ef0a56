#pragma once
// Item IDs in the byte layout our shell keeps: each item is a uint16 size cb (counting
// itself), a uint32 kind and the name in UTF-16 with its terminating null, so cb = 2 x (name
// length) + 8; a list is items back to back ending with a uint16 0. Lists live in memory from
// the shell allocator (malloc here) and are freed with FreeItemIdList.
//
// Lists built by these routines are well formed. A list that arrives from elsewhere (another
// process, a file) is checked with CheckedItemIdListSize before any other routine touches it.
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace kavro::shell {

struct ItemId; // opaque: the bytes of one item or of a whole list
using ItemIdList = ItemId;

// The kind of every item our shell and its folders make: a named item.
constexpr uint32_t kNamedItemKind = 1;
// The desktop's one child; every absolute ID below the desktop begins with it.
inline constexpr char kComputerItemName[] = "Computer";

void* ShellAlloc(size_t bytes);
void ShellFree(void* p);

// A one-item list: the item and the list's terminator. Null when memory runs out.
ItemIdList* MakeItemId(uint32_t kind, const QString& name);
// The item after `item`, or null when `item` is the terminator (or null).
const ItemId* NextItemId(const ItemId* item);
// The sum of the items' cb plus 2 for the terminator; 0 for a null list.
size_t ItemIdListSize(const ItemIdList* list);
ItemIdList* CloneItemIdList(const ItemIdList* list);
// A new list holding the items of `first` and then those of `second` (either may be null).
ItemIdList* ConcatItemIdLists(const ItemIdList* first, const ItemIdList* second);
void FreeItemIdList(ItemIdList* list);
// ConcatItemIdLists, then frees `first`.
ItemIdList* AppendItemId(ItemIdList* first, const ItemIdList* second);

// The item's size, kind and name (the name's terminator is not part of it).
uint16_t ItemIdSize(const ItemId* item);
uint32_t ItemIdKind(const ItemId* item);
QString ItemIdName(const ItemId* item);

// The names of a list's items, in order.
QStringList ItemIdListNames(const ItemIdList* list);

// The list's size as ItemIdListSize counts it when the `bytes` available hold one well-formed
// list: every cb at least 8, even, within the bytes, the name's terminator at the item's end,
// and the terminator present. 0 otherwise.
size_t CheckedItemIdListSize(const void* bytes, size_t available);

} // namespace kavro::shell
