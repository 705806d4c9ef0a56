#pragma once
// The catalog's item IDs: the shell's item-ID lists with one named item per tree level.
#include "kavrons.h"
#include "shell/item_id.h"

#include <cstdint>

namespace kavro::catalog {

using shell::AppendItemId;
using shell::CheckedItemIdListSize;
using shell::CloneItemIdList;
using shell::ConcatItemIdLists;
using shell::FreeItemIdList;
using shell::ItemId;
using shell::ItemIdKind;
using shell::ItemIdList;
using shell::ItemIdListNames;
using shell::ItemIdListSize;
using shell::ItemIdName;
using shell::ItemIdSize;
using shell::MakeItemId;
using shell::NextItemId;
using shell::ShellAlloc;
using shell::ShellFree;

constexpr uint32_t kCatalogItemKind = shell::kNamedItemKind;

// The catalog's absolute ID. Our shell has no "My Computer" folder; its place as the first item
// is held by an item named "Computer", followed by the catalog's own item, so that every
// absolute catalog ID still has the two leading items that readers skip.
ItemIdList* GetCatalogRootIdList();

} // namespace kavro::catalog
