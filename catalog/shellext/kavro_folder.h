#pragma once
// The catalog's folder class: the shell shows the catalog through it under "Computer" as
// "Kavro Catalog", with event folders, shooter folders and documents below.
#include "catalog_tree.h"
#include "com/snapshot_enumerator.h"
#include "shell/shell_interfaces.h"
#include "shell/shell_root.h"

#include <functional>
#include <vector>

namespace kavro::catalog {

using namespace kavro::shell;

class KavroFolder final : public ComObject<KavroFolder, IShellFolder, IPersistFolder, IFolderChangeCount> {
public:
    static constexpr CLSID clsid = Guid::parse("87CE75DB-8B5D-44E3-B2EE-E1254218F616");

    KavroFolder() = default;
    explicit KavroFolder(LPCITEMIDLIST absolute) : pidl_(IdList::copy(absolute)) { }

    // IPersistFolder
    HRESULT GetClassID(CLSID* out) override;
    HRESULT Initialize(LPCITEMIDLIST absolute) override;

    // IShellFolder
    HRESULT ParseDisplayName(QWidget*, const QString&, uint32_t*, LPITEMIDLIST*, uint32_t*) override
    {
        return E_NOTIMPL;
    }
    HRESULT EnumObjects(QWidget* owner, uint32_t flags, IEnumIDList** out) override;
    HRESULT BindToObject(LPCITEMIDLIST pidl, IUnknown* bindContext, const IID& iid, void** out) override;
    HRESULT BindToStorage(LPCITEMIDLIST, IUnknown*, const IID&, void**) override { return E_NOTIMPL; }
    HRESULT CompareIDs(intptr_t param, LPCITEMIDLIST first, LPCITEMIDLIST second) override;
    HRESULT CreateViewObject(QWidget* owner, const IID& iid, void** out) override;
    HRESULT GetAttributesOf(uint32_t count, LPCITEMIDLIST* ids, uint32_t* inOut) override;
    HRESULT GetUIObjectOf(QWidget* owner, uint32_t count, LPCITEMIDLIST* ids, const IID& iid, uint32_t* reserved,
                          void** out) override;
    HRESULT GetDisplayNameOf(LPCITEMIDLIST pidl, uint32_t flags, STRRET* out) override;
    HRESULT SetNameOf(QWidget* owner, LPCITEMIDLIST pidl, const QString& name, uint32_t flags,
                      LPITEMIDLIST* out) override;

    // IFolderChangeCount
    HRESULT GetChangeCount(uint64_t* out) override;

    LPCITEMIDLIST absolute() const { return pidl_.get(); }
    // This folder's child named by the first item of `relative`; null when there is none. The
    // catalog's lock must be held while the node is used.
    const CatalogNode* childNode(LPCITEMIDLIST relative) const;
    // Sorts relative IDs of this folder's children as CompareIDs orders them (stable).
    void sortChildIds(std::vector<IdList>* ids) const;
    // The documents the last SetNameOf left under both names (their old paths).
    const QStringList& documentsUnderBothNames() const { return underBothNames_; }

private:
    // This folder's node, found again only after the tree was rebuilt.
    const CatalogNode* ownNode() const;

    IdList pidl_;
    mutable const CatalogNode* node_ = nullptr;
    mutable uint64_t nodeGeneration_ = ~uint64_t(0);
    QStringList underBothNames_;
};

// The enumerator of a folder's items: clones of one-item IDs in list order.
class CEnumIDList final : public SnapshotEnumerator<CEnumIDList, IEnumIDList, IdList> {
public:
    using SnapshotEnumerator::SnapshotEnumerator;
    HRESULT Next(uint32_t count, LPITEMIDLIST* out, uint32_t* fetched) override;
};

// The date and time a document shows as its name: the locale's short date and short time.
QString documentDisplayName(double oleDate, const QLocale& locale);

// Gives a shooter folder a new name: each of its documents is saved again under the new shooter
// name with a unique name in the catalog folder, and its old file deleted once the new one is
// written. S_OK when every document moved; else the first failure. A document whose old file
// cannot be deleted loses its new copy again, so that it keeps its old file only; when even that
// copy cannot be deleted, its old path goes into `underBothNames` (may be null).
HRESULT renameShooterDocuments(const QStringList& paths, const QString& shooter, QStringList* underBothNames = nullptr);

// Deletes one document file for a renaming. Tests put a remover in place that fails as a folder
// that cannot be written does, which no permission bit can make fail for root; null puts the
// file system's back.
using DocumentRemover = std::function<bool(const QString& path)>;
void setDocumentRemover(DocumentRemover remover);

} // namespace kavro::catalog
