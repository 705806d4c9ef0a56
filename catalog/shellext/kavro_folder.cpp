#include "kavro_folder.h"

#include "catalog_menu.h"
#include "com/classregistry.h"
#include "com/oledate.h"
#include "kavro_view.h"
#include "kavrodoc.h"

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>

namespace kavro::catalog {

namespace {

constexpr uint32_t kFixedFolderAttributes = SFGAO_FOLDER | SFGAO_BROWSABLE | SFGAO_CANLINK;
constexpr uint32_t kShooterFolderAttributes = kFixedFolderAttributes | SFGAO_CANRENAME;
constexpr uint32_t kCatalogFolderAttributes = SFGAO_HASSUBFOLDER | SFGAO_FOLDER | SFGAO_BROWSABLE | SFGAO_DROPTARGET;

class IconExtractor final : public ComObject<IconExtractor, IExtractIcon> {
public:
    IconExtractor(int icon, int openIcon) : icon_(icon), openIcon_(openIcon) { }
    HRESULT GetIconLocation(uint32_t flags, QString* file, int* index, uint32_t* outFlags) override
    {
        if (!file || !index || !outFlags)
            return E_POINTER;
        *file = thisModuleFolder() + QStringLiteral("/libkavrons.so");
        *index = (flags & GIL_OPENICON) && openIcon_ > 0 ? openIcon_ : icon_;
        *outFlags = GIL_PERINSTANCE;
        return S_OK;
    }
    HRESULT Extract(const QString&, int) override { return S_FALSE; }

private:
    int icon_, openIcon_;
};

bool hasFolderChild(const CatalogNode* node)
{
    for (const auto& c : node->children)
        if (c->folder)
            return true;
    return false;
}

} // namespace

QString documentDisplayName(double oleDate, const QLocale& locale)
{
    DateFields f;
    if (!dateToFields(oleDate, &f))
        return {};
    const QDate date(f.year, f.month, f.day);
    const QTime time(f.hour, f.minute, f.second);
    // Some locales' short time still has seconds (the C locale's does): they are cut from the format.
    static const QRegularExpression seconds(QStringLiteral("[:.]?s{1,2}"));
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    timeFormat.remove(seconds);
    return locale.toString(date, QLocale::ShortFormat) + QLatin1Char(' ') + locale.toString(time, timeFormat.trimmed());
}

HRESULT KavroFolder::GetClassID(CLSID* out)
{
    if (!out)
        return E_POINTER;
    *out = clsid;
    return S_OK;
}

HRESULT KavroFolder::Initialize(LPCITEMIDLIST absolute)
{
    pidl_ = IdList::copy(absolute);
    nodeGeneration_ = ~uint64_t(0);
    return absolute && !pidl_ ? E_OUTOFMEMORY : S_OK;
}

HRESULT KavroFolder::GetChangeCount(uint64_t* out)
{
    if (!out)
        return E_POINTER;
    *out = CCatalog::instance().changeCounter();
    return S_OK;
}

const CatalogNode* KavroFolder::ownNode() const
{
    const CCatalog& catalog = CCatalog::instance();
    if (nodeGeneration_ != catalog.generation()) {
        node_ = catalog.find(pidl_.get());
        nodeGeneration_ = catalog.generation();
    }
    return node_;
}

const CatalogNode* KavroFolder::childNode(LPCITEMIDLIST relative) const
{
    const CatalogNode* node = ownNode();
    if (!node || ItemIdSize(relative) == 0)
        return nullptr;
    return node->child(ItemIdName(relative));
}

HRESULT KavroFolder::EnumObjects(QWidget*, uint32_t, IEnumIDList** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CCatalog& catalog = CCatalog::instance();
    catalog.Refresh();
    std::vector<IdList> ids;
    std::lock_guard g(catalog.lock());
    if (const CatalogNode* node = catalog.find(pidl_.get())) {
        ids.reserve(node->children.size());
        for (const auto& child : node->children) {
            IdList id(MakeItemId(kCatalogItemKind, child->name));
            if (!id)
                return E_OUTOFMEMORY;
            ids.push_back(std::move(id));
        }
    }
    *out = CEnumIDList::create(std::move(ids)).detach();
    return S_OK;
}

HRESULT KavroFolder::BindToObject(LPCITEMIDLIST pidl, IUnknown*, const IID& iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid != IShellFolder::iid)
        return E_NOINTERFACE;
    if (!pidl)
        return E_INVALIDARG;
    IdList absolute(ILCombine(pidl_.get(), pidl));
    if (!absolute)
        return E_OUTOFMEMORY;
    return KavroFolder::create(absolute.get())->QueryInterface(iid, out);
}

namespace {

// The catalog's order of two children of one folder; either may be missing (null).
int compareNodes(const CatalogNode* a, const CatalogNode* b)
{
    auto byName = [](const CatalogNode* x, const CatalogNode* y) {
        const int order = x->name.compare(y->name, Qt::CaseInsensitive);
        return order < 0 ? -1 : order > 0 ? 1 : 0;
    };
    if (a && b) {
        if (a->folder && b->folder)
            return byName(a, b);
        if (a->folder != b->folder)
            return a->folder ? -1 : 1;
        if (a->fileVersion != 0 || b->fileVersion != 0)
            return a->date > b->date ? -1 : a->date < b->date ? 1 : 0;
        return byName(a, b);
    }
    return a ? 1 : b ? -1 : 0;
}

} // namespace

HRESULT KavroFolder::CompareIDs(intptr_t, LPCITEMIDLIST first, LPCITEMIDLIST second)
{
    std::lock_guard g(CCatalog::instance().lock());
    return compareResult(compareNodes(childNode(first), childNode(second)));
}

void KavroFolder::sortChildIds(std::vector<IdList>* ids) const
{
    // Each item's node is looked up once, not at every comparison of a sort of thousands.
    std::vector<std::pair<const CatalogNode*, IdList>> keyed;
    keyed.reserve(ids->size());
    std::lock_guard g(CCatalog::instance().lock());
    for (IdList& id : *ids) {
        const CatalogNode* node = childNode(id.get());
        keyed.emplace_back(node, std::move(id));
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return compareNodes(a.first, b.first) < 0; });
    ids->clear();
    for (auto& entry : keyed)
        ids->push_back(std::move(entry.second));
}

HRESULT KavroFolder::CreateViewObject(QWidget*, const IID& iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IShellView::iid)
        return KavroView::create(this, pidl_.get())->QueryInterface(iid, out);
    if (iid == IContextMenu::iid && pidl_) {
        ComPtr<CContextMenu> menu;
        HRESULT hr = CContextMenu::bind(pidl_.get(), &menu);
        return FAILED(hr) ? hr : menu->QueryInterface(iid, out);
    }
    return E_NOINTERFACE;
}

HRESULT KavroFolder::GetAttributesOf(uint32_t count, LPCITEMIDLIST* ids, uint32_t* inOut)
{
    if (!inOut || (count && !ids))
        return E_POINTER;
    std::lock_guard g(CCatalog::instance().lock());
    if (count == 0) {
        *inOut &= kCatalogFolderAttributes;
        return S_OK;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const CatalogNode* node = childNode(ids[i]);
        uint32_t attributes = 0;
        if (node && node->folder) {
            attributes = node->fixed ? kFixedFolderAttributes : kShooterFolderAttributes;
            if (hasFolderChild(node))
                attributes |= SFGAO_HASSUBFOLDER;
        }
        *inOut &= attributes;
    }
    return S_OK;
}

HRESULT KavroFolder::GetUIObjectOf(QWidget*, uint32_t count, LPCITEMIDLIST* ids, const IID& iid, uint32_t*, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (count != 1 || !ids)
        return E_NOTIMPL;
    if (iid == IExtractIcon::iid) {
        std::lock_guard g(CCatalog::instance().lock());
        const CatalogNode* node = childNode(ids[0]);
        if (!node || node->icon <= 0)
            return E_NOTIMPL;
        return IconExtractor::create(node->icon, node->openIcon)->QueryInterface(iid, out);
    }
    if (iid == IContextMenu::iid) {
        IdList absolute(ILCombine(pidl_.get(), ids[0]));
        ComPtr<CContextMenu> menu;
        HRESULT hr = absolute ? CContextMenu::bind(absolute.get(), &menu) : E_OUTOFMEMORY;
        return FAILED(hr) ? hr : menu->QueryInterface(iid, out);
    }
    return E_NOTIMPL;
}

HRESULT KavroFolder::GetDisplayNameOf(LPCITEMIDLIST pidl, uint32_t flags, STRRET* out)
{
    if (!out)
        return E_POINTER;
    QString name;
    {
        std::lock_guard g(CCatalog::instance().lock());
        const CatalogNode* node = childNode(pidl);
        if (!node)
            return E_INVALIDARG;
        if (node->folder || node->fileVersion == 0 || (flags & SHGDN_FORPARSING))
            name = node->name;
        else
            name = documentDisplayName(node->date, QLocale::system());
    }
    return StringToStrRet(name, out);
}

namespace {
DocumentRemover& documentRemover()
{
    static DocumentRemover remover;
    return remover;
}

bool removeDocumentFile(const QString& path)
{
    return documentRemover() ? documentRemover()(path) : QFile::remove(path);
}
} // namespace

void setDocumentRemover(DocumentRemover remover)
{
    documentRemover() = std::move(remover);
}

HRESULT renameShooterDocuments(const QStringList& paths, const QString& shooter, QStringList* underBothNames)
{
    HRESULT result = S_OK;
    for (const QString& path : paths) {
        ComPtr<IKavroDocument> doc;
        QString folder;
        HRESULT hr = createInstance(kavrodoc::CLSID_KavroDocument, &doc);
        if (SUCCEEDED(hr))
            hr = doc->put_FileName(path);
        if (SUCCEEDED(hr))
            hr = doc->Load();
        if (SUCCEEDED(hr))
            hr = doc->put_ShooterName(shooter);
        if (SUCCEEDED(hr))
            hr = doc->get_CatalogPath(&folder);
        if (SUCCEEDED(hr))
            hr = doc->SaveUnique(folder);
        QString saved;
        if (SUCCEEDED(hr))
            hr = doc->get_FileName(&saved);
        // The old file goes only once the new one is written, and never when both are the same.
        if (SUCCEEDED(hr) && saved != path && !removeDocumentFile(path)) {
            hr = E_ACCESSDENIED;
            // One practice under two shooters would count twice in the catalog.
            if (!removeDocumentFile(saved) && underBothNames)
                underBothNames->append(path);
        }
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    return result;
}

HRESULT KavroFolder::SetNameOf(QWidget*, LPCITEMIDLIST pidl, const QString& name, uint32_t, LPITEMIDLIST* out)
{
    if (out)
        *out = nullptr;
    QStringList paths;
    {
        std::lock_guard g(CCatalog::instance().lock());
        const CatalogNode* node = childNode(pidl);
        if (!node || !node->isShooterFolder())
            return E_INVALIDARG;
        paths = documentPathsBelow(node);
    }
    if (name.isEmpty())
        return E_INVALIDARG;
    underBothNames_.clear();
    const HRESULT hr = renameShooterDocuments(paths, name, &underBothNames_);
    if (out) {
        *out = MakeItemId(kCatalogItemKind, name);
        if (!*out)
            return E_OUTOFMEMORY;
    }
    return hr;
}

HRESULT CEnumIDList::Next(uint32_t count, LPITEMIDLIST* out, uint32_t* fetched)
{
    if (!out)
        return E_POINTER;
    if (count > 1 && !fetched)
        return E_INVALIDARG;
    return giveNext(count, out, fetched, [](const IdList& id, LPITEMIDLIST& slot) {
        slot = ILClone(id.get());
        return slot != nullptr;
    });
}

KAVRO_REGISTER_CLASS(KavroFolder, "Kavro.CatalogFolder.1");
// Shown under "Computer" with the catalog's name.
[[maybe_unused]] static const bool kavroCatalogJunction
    = kavro::registerShellJunction(kavro::catalog::KavroFolder::clsid, kavro::catalog::kCatalogRootName);

} // namespace kavro::catalog
