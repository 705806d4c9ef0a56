#include "catalog_root.h"

namespace kavro::catalog {

ItemIdList* GetCatalogRootIdList()
{
    ItemIdList* computer = MakeItemId(kCatalogItemKind, QString::fromLatin1(shell::kComputerItemName));
    ItemIdList* catalog = MakeItemId(kCatalogItemKind, QString::fromLatin1(kCatalogRootName));
    ItemIdList* root = computer && catalog ? ConcatItemIdLists(computer, catalog) : nullptr;
    FreeItemIdList(computer);
    FreeItemIdList(catalog);
    return root;
}

} // namespace kavro::catalog
