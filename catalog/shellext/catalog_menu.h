#pragma once
// The catalog's context menu (Open, New practice, Delete) and its data object, which hands a
// selection out as a "Shell IDList Array" block.
#include "catalog_root.h"
#include "com/snapshot_enumerator.h"
#include "shell/shell_interfaces.h"
#include "shell/shell_root.h"

#include <QByteArray>
#include <QStringList>

#include <vector>

class QMimeData;

namespace kavro::catalog {

using namespace kavro::shell;

inline constexpr char kDeleteQuestion[] = "Do you want to delete those items?";
inline constexpr char kDeleteCaption[] = "Kavro catalog";

class CContextMenu final : public ComObject<CContextMenu, IContextMenu> {
public:
    // A menu for the node `absolute` names; E_INVALIDARG when it names none.
    static HRESULT bind(LPCITEMIDLIST absolute, ComPtr<CContextMenu>* out);

    HRESULT QueryContextMenu(QMenu* menu, uint32_t index, uint32_t first, uint32_t last, uint32_t flags) override;
    HRESULT InvokeCommand(const CMINVOKECOMMANDINFO* info) override;
    HRESULT GetCommandString(uintptr_t, uint32_t, QString*) override { return E_NOTIMPL; }

    // What "New practice" starts the trainer with: "-n", the event and the shooter.
    QStringList newPracticeArguments() const;

    explicit CContextMenu(LPCITEMIDLIST absolute) : pidl_(IdList::copy(absolute)) { }

private:
    HRESULT open();
    HRESULT newPractice();
    HRESULT remove(QWidget* owner);

    IdList pidl_;
    bool folder_ = false;
    bool renamable_ = false;
    int openOffset_ = -1;
    int newPracticeOffset_ = -1;
    int deleteOffset_ = -1;
};

// The "Shell IDList Array" block: the item count n, n + 1 offsets from the block's start (the
// folder's list, then each item's), the folder's absolute list and each item's list.
QByteArray buildCida(LPCITEMIDLIST folder, const std::vector<IdList>& items);

class CEnumFormatEtc final : public SnapshotEnumerator<CEnumFormatEtc, IEnumFORMATETC, FORMATETC> {
public:
    using SnapshotEnumerator::SnapshotEnumerator;
    HRESULT Next(uint32_t count, FORMATETC* out, uint32_t* fetched) override;
};

class CKavroDataObject final : public ComObject<CKavroDataObject, IDataObject> {
public:
    CKavroDataObject(LPCITEMIDLIST folder, std::vector<IdList> items);

    HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT GetDataHere(const FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT QueryGetData(const FORMATETC* format) override;
    HRESULT GetCanonicalFormatEtc(const FORMATETC* in, FORMATETC* out) override;
    HRESULT SetData(const FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(uint32_t direction, IEnumFORMATETC** out) override;
    HRESULT DAdvise(const FORMATETC*, uint32_t, IUnknown*, uint32_t*) override { return E_NOTIMPL; }
    HRESULT DUnadvise(uint32_t) override { return E_NOTIMPL; }
    HRESULT EnumDAdvise(IUnknown**) override { return E_NOTIMPL; }

    LPCITEMIDLIST folder() const { return folder_.get(); }
    const std::vector<IdList>& items() const { return items_; }

private:
    IdList folder_;
    std::vector<IdList> items_;
    std::vector<FORMATETC> formats_;
};

// The MIME type under which the block travels in a drag, and the drag's data: the block and,
// for other programs, the documents' paths as a URI list.
inline constexpr char kShellIdListMime[] = "application/x-qt-windows-mime;value=\"Shell IDList Array\"";
QMimeData* catalogMimeData(IDataObject* data, const QStringList& documentPaths);

} // namespace kavro::catalog
