#include "catalog_menu.h"

#include "cache_format.h"
#include "catalog_tree.h"
#include "catalog_ui.h"
#include "com/classregistry.h"
#include "shell/shell_execute.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

namespace kavro::catalog {

namespace {
inline constexpr char kTrainerProgram[] = "kavropro";
}

HRESULT CContextMenu::bind(LPCITEMIDLIST absolute, ComPtr<CContextMenu>* out)
{
    CCatalog& catalog = CCatalog::instance();
    std::lock_guard g(catalog.lock());
    const CatalogNode* node = catalog.find(absolute);
    if (!node)
        return E_INVALIDARG;
    auto menu = CContextMenu::create(absolute);
    if (absolute && !menu->pidl_)
        return E_OUTOFMEMORY;
    menu->folder_ = node->folder;
    menu->renamable_ = node->isShooterFolder();
    *out = menu;
    return S_OK;
}

HRESULT CContextMenu::QueryContextMenu(QMenu* menu, uint32_t index, uint32_t first, uint32_t, uint32_t flags)
{
    if (!menu)
        return E_INVALIDARG;
    QAction* before = menu->actions().value(static_cast<qsizetype>(index));
    auto insert = [&](const char* text, int offset) {
        auto* action = new QAction(QString::fromLatin1(text), menu);
        action->setData(static_cast<uint32_t>(first + static_cast<uint32_t>(offset)));
        menu->insertAction(before, action);
        return action;
    };
    openOffset_ = 1;
    menu->setDefaultAction(insert("Open", openOffset_));
    if (!(flags & CMF_DEFAULTONLY) && folder_) {
        newPracticeOffset_ = 2;
        deleteOffset_ = 3;
        insert("New practice", newPracticeOffset_);
    } else {
        newPracticeOffset_ = -1;
        deleteOffset_ = 2;
    }
    insert("Delete", deleteOffset_);
    return static_cast<HRESULT>(deleteOffset_ + 1);
}

HRESULT CContextMenu::InvokeCommand(const CMINVOKECOMMANDINFO* info)
{
    if (!info)
        return E_INVALIDARG;
    const int offset = info->verbString ? openOffset_ : static_cast<int>(info->verb & 0xFFFF);
    if (info->verbString || offset == 1)
        return open();
    if (offset == newPracticeOffset_)
        return newPractice();
    if (offset == deleteOffset_)
        return remove(info->owner);
    return E_INVALIDARG;
}

HRESULT CContextMenu::open()
{
    if (folder_)
        return ShellExecuteOpenFolder(pidl_.get());
    const QStringList names = ItemIdListNames(pidl_.get());
    return names.isEmpty() ? E_FAIL : ShellExecuteOpenFile(names.last());
}

QStringList CContextMenu::newPracticeArguments() const
{
    // Computer, the catalog, then the event and perhaps the shooter.
    const QStringList names = ItemIdListNames(pidl_.get());
    const QString event = names.value(2);
    const QString shooter = names.size() > 3 ? names.value(3) : QString();
    return {QStringLiteral("-n"), event, shooter};
}

HRESULT CContextMenu::newPractice()
{
    if (!folder_)
        return E_FAIL;
    const QString program = QDir(thisModuleFolder()).filePath(QString::fromLatin1(kTrainerProgram));
    return shellLauncher().startProgram(program, newPracticeArguments()) ? S_OK : E_FAIL;
}

HRESULT CContextMenu::remove(QWidget* owner)
{
    if (!askCatalogQuestion(owner, QString::fromLatin1(kDeleteQuestion), QString::fromLatin1(kDeleteCaption)))
        return S_OK;
    QStringList paths;
    {
        CCatalog& catalog = CCatalog::instance();
        std::lock_guard g(catalog.lock());
        paths = documentPathsBelow(catalog.find(pidl_.get()));
    }
    HRESULT result = S_OK;
    for (const QString& path : paths)
        if (QFile::exists(path) && !QFile::remove(path))
            result = E_ACCESSDENIED;
    return result;
}

QByteArray buildCida(LPCITEMIDLIST folder, const std::vector<IdList>& items)
{
    const size_t n = items.size();
    size_t size = 4 * (n + 2) + ILGetSize(folder);
    for (const IdList& item : items)
        size += ILGetSize(item.get());
    QByteArray block(static_cast<qsizetype>(size), '\0');
    auto* bytes = reinterpret_cast<uint8_t*>(block.data());
    putU32(bytes, static_cast<uint32_t>(n));
    size_t at = 4 * (n + 2);
    auto place = [&](size_t slot, LPCITEMIDLIST list) {
        putU32(bytes + 4 + 4 * slot, static_cast<uint32_t>(at));
        const size_t cb = ILGetSize(list);
        if (cb)
            std::memcpy(bytes + at, list, cb);
        at += cb;
    };
    place(0, folder);
    for (size_t i = 0; i < n; ++i)
        place(i + 1, items[i].get());
    return block;
}

HRESULT CEnumFormatEtc::Next(uint32_t count, FORMATETC* out, uint32_t* fetched)
{
    if (!out)
        return E_POINTER;
    return giveNext(count, out, fetched, [](const FORMATETC& format, FORMATETC& slot) {
        slot = format;
        return true;
    });
}

CKavroDataObject::CKavroDataObject(LPCITEMIDLIST folder, std::vector<IdList> items)
    : folder_(IdList::copy(folder)), items_(std::move(items))
{
    FORMATETC format;
    format.cfFormat = RegisterClipboardFormat(QString::fromLatin1(CFSTR_SHELLIDLIST));
    formats_.push_back(format);
}

HRESULT CKavroDataObject::GetData(const FORMATETC* format, STGMEDIUM* medium)
{
    if (!format || !medium)
        return E_POINTER;
    if (format->cfFormat != formats_[0].cfFormat)
        return E_INVALIDARG;
    const QByteArray cida = buildCida(folder_.get(), items_);
    // One byte more than the contents, zero-filled.
    GlobalBlock* block = GlobalAllocZeroed(static_cast<size_t>(cida.size()) + 1);
    if (!block)
        return E_OUTOFMEMORY;
    std::memcpy(block->bytes, cida.constData(), static_cast<size_t>(cida.size()));
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

HRESULT CKavroDataObject::QueryGetData(const FORMATETC* format)
{
    if (!format)
        return E_POINTER;
    if (!(format->tymed & TYMED_HGLOBAL))
        return DV_E_TYMED;
    for (const FORMATETC& offered : formats_)
        if (offered.cfFormat == format->cfFormat && (offered.tymed & format->tymed))
            return S_OK;
    return DV_E_FORMATETC;
}

HRESULT CKavroDataObject::GetCanonicalFormatEtc(const FORMATETC*, FORMATETC* out)
{
    if (!out)
        return E_POINTER;
    out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT CKavroDataObject::EnumFormatEtc(uint32_t direction, IEnumFORMATETC** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (direction != DATADIR_GET)
        return E_NOTIMPL;
    return queryOut(CEnumFormatEtc::create(formats_).get(), out);
}

QMimeData* catalogMimeData(IDataObject* data, const QStringList& documentPaths)
{
    auto* mime = new QMimeData;
    FORMATETC format;
    format.cfFormat = RegisterClipboardFormat(QString::fromLatin1(CFSTR_SHELLIDLIST));
    STGMEDIUM medium;
    if (data && SUCCEEDED(data->GetData(&format, &medium))) {
        // The block without the allocation's spare byte.
        mime->setData(QString::fromLatin1(kShellIdListMime),
                      QByteArray(reinterpret_cast<const char*>(medium.hGlobal->bytes),
                                 static_cast<qsizetype>(medium.hGlobal->size - 1)));
        ReleaseStgMedium(&medium);
    }
    QList<QUrl> urls;
    for (const QString& path : documentPaths)
        urls << QUrl::fromLocalFile(path);
    if (!urls.isEmpty())
        mime->setUrls(urls);
    return mime;
}

} // namespace kavro::catalog
