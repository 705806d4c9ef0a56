#include "catalog_lookup.h"

#include "kavrons.h"
#include "shell/shell_folder_tree.h"

namespace kavro::trainer {

using namespace kavro::shell;

namespace {

// Each child ID of `folder` with its attributes (folders and subfolders asked for).
template <class Visit> void forEachChild(IShellFolder* folder, uint32_t flags, Visit&& visit)
{
    ComPtr<IEnumIDList> items;
    if (!folder || FAILED(folder->EnumObjects(nullptr, flags, items.put())) || !items)
        return;
    LPITEMIDLIST next = nullptr;
    while (items->Next(1, &next, nullptr) == S_OK) {
        IdList child(next);
        LPCITEMIDLIST one = child.get();
        uint32_t attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
        if (FAILED(folder->GetAttributesOf(1, &one, &attributes)))
            attributes = 0;
        if (!visit(child, attributes))
            return;
    }
}

} // namespace

bool FindCatalogFolder(ComPtr<IShellFolder>* folder, IdList* absolute)
{
    if (!folder || !absolute)
        return false;
    *folder = nullptr;
    absolute->reset();
    IdList computer(ComputerIdList());
    ComPtr<IShellFolder> drives;
    if (!computer || FAILED(BindToFolder(computer.get(), drives.put())) || !drives)
        return false;
    const QString wanted = QString::fromLatin1(kavro::catalog::kCatalogRootName);
    bool found = false;
    forEachChild(drives.get(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, [&](const IdList& child, uint32_t attributes) {
        if (!(attributes & SFGAO_FOLDER) || displayNameOf(drives.get(), child.get(), SHGDN_NORMAL) != wanted)
            return true;
        ComPtr<IShellFolder> bound;
        if (FAILED(drives->BindToObject(child.get(), nullptr, IShellFolder::iid, bound.putVoid())) || !bound)
            return false;
        IdList joined(ILCombine(computer.get(), child.get()));
        if (!joined)
            return false;
        *folder = bound;
        *absolute = std::move(joined);
        found = true;
        return false;
    });
    return found;
}

QStringList CatalogShooterNames(bool* found)
{
    ComPtr<IShellFolder> catalog;
    IdList absolute;
    const bool have = FindCatalogFolder(&catalog, &absolute);
    if (found)
        *found = have;
    QStringList names;
    if (!have)
        return names;
    forEachChild(catalog.get(), SHCONTF_FOLDERS, [&](const IdList& event, uint32_t attributes) {
        if ((attributes & SFGAO_FOLDER) && (attributes & SFGAO_HASSUBFOLDER)) {
            ComPtr<IShellFolder> eventFolder;
            catalog->BindToObject(event.get(), nullptr, IShellFolder::iid, eventFolder.putVoid());
            forEachChild(eventFolder.get(), SHCONTF_FOLDERS, [&](const IdList& shooter, uint32_t) {
                const QString name = displayNameOf(eventFolder.get(), shooter.get(), SHGDN_NORMAL);
                if (!names.contains(name))
                    names << name;
                return true;
            });
        }
        return true;
    });
    return names;
}

} // namespace kavro::trainer
