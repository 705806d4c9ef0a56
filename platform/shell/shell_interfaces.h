#pragma once
// The shell's folder, view, browser, context-menu and data-object interfaces, as the catalog's
// folder and its hosts use them. Windows become QWidgets, menus QMenus; everything else keeps
// the shape, the flags and the answers a shell namespace extension is written against.
#include "com/persist.h"
#include "com/unknown.h"
#include "item_id.h"

#include <QRect>
#include <QString>

#include <cstddef>
#include <cstdint>

class QMenu;
class QWidget;

namespace kavro::shell {

using ITEMIDLIST = ItemIdList;
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;

// Attributes (GetAttributesOf).
constexpr uint32_t SFGAO_CANLINK = 0x4;
constexpr uint32_t SFGAO_CANRENAME = 0x10;
constexpr uint32_t SFGAO_DROPTARGET = 0x100;
constexpr uint32_t SFGAO_BROWSABLE = 0x8000000;
constexpr uint32_t SFGAO_FOLDER = 0x20000000;
constexpr uint32_t SFGAO_HASSUBFOLDER = 0x80000000;

// Display name forms (GetDisplayNameOf).
constexpr uint32_t SHGDN_NORMAL = 0;
constexpr uint32_t SHGDN_INFOLDER = 1;
constexpr uint32_t SHGDN_FORPARSING = 0x8000;

// Enumeration flags (EnumObjects).
constexpr uint32_t SHCONTF_FOLDERS = 0x20;
constexpr uint32_t SHCONTF_NONFOLDERS = 0x40;

// A display name: the UTF-16 text from the shell allocator; StrRetToString takes it over.
constexpr uint32_t STRRET_WSTR = 0;
struct STRRET {
    uint32_t uType = STRRET_WSTR;
    char16_t* pOleStr = nullptr;
};
QString StrRetToString(STRRET* ret);
// A STRRET holding a copy of `text`; E_OUTOFMEMORY when the allocator fails.
HRESULT StringToStrRet(const QString& text, STRRET* out);

struct IEnumIDList : IUnknown {
    static constexpr Guid iid = Guid::parse("74DE05A3-70BF-4743-94DF-C9CE4CE70DC9");
    virtual HRESULT Next(uint32_t count, LPITEMIDLIST* out, uint32_t* fetched) = 0;
    virtual HRESULT Skip(uint32_t count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumIDList** out) = 0;
};

struct IShellFolder : IUnknown {
    static constexpr Guid iid = Guid::parse("8B8B81BC-3FE5-4A2E-9D2C-E220DC459335");
    virtual HRESULT ParseDisplayName(QWidget* owner, const QString& name, uint32_t* eaten, LPITEMIDLIST* out,
                                     uint32_t* attributes)
        = 0;
    virtual HRESULT EnumObjects(QWidget* owner, uint32_t flags, IEnumIDList** out) = 0;
    virtual HRESULT BindToObject(LPCITEMIDLIST pidl, IUnknown* bindContext, const IID& iid, void** out) = 0;
    virtual HRESULT BindToStorage(LPCITEMIDLIST pidl, IUnknown* bindContext, const IID& iid, void** out) = 0;
    // The order in the low 16 bits of a success code: 0, 1, or 0xFFFF for -1.
    virtual HRESULT CompareIDs(intptr_t param, LPCITEMIDLIST first, LPCITEMIDLIST second) = 0;
    virtual HRESULT CreateViewObject(QWidget* owner, const IID& iid, void** out) = 0;
    virtual HRESULT GetAttributesOf(uint32_t count, LPCITEMIDLIST* ids, uint32_t* inOut) = 0;
    virtual HRESULT GetUIObjectOf(QWidget* owner, uint32_t count, LPCITEMIDLIST* ids, const IID& iid,
                                  uint32_t* reserved, void** out)
        = 0;
    virtual HRESULT GetDisplayNameOf(LPCITEMIDLIST pidl, uint32_t flags, STRRET* out) = 0;
    virtual HRESULT SetNameOf(QWidget* owner, LPCITEMIDLIST pidl, const QString& name, uint32_t flags,
                              LPITEMIDLIST* out)
        = 0;
};

// The order CompareIDs reported: -1, 0 or 1.
inline int shortFromCompare(HRESULT hr)
{
    return static_cast<int16_t>(static_cast<uint32_t>(hr) & 0xFFFF);
}
inline HRESULT compareResult(int order)
{
    return static_cast<HRESULT>(static_cast<uint16_t>(static_cast<int16_t>(order)));
}

struct IPersistFolder : IPersist {
    static constexpr Guid iid = Guid::parse("69C67428-0E30-493F-B89D-DCE6E44DCBC2");
    using Base = IPersist;
    virtual HRESULT Initialize(LPCITEMIDLIST absolute) = 0;
};

// A number the folder's source raises on every change below the folder (the catalog's change
// counter). Windows that show folders without a view of their own compare it to learn of changes
// whose notices they missed.
struct IFolderChangeCount : IUnknown {
    static constexpr Guid iid = Guid::parse("2A859C8A-5018-42DA-A750-DA47E926DC48");
    virtual HRESULT GetChangeCount(uint64_t* out) = 0;
};

// View modes and flags (FOLDERSETTINGS).
constexpr uint32_t FVM_LIST = 3;
constexpr uint32_t FVM_DETAILS = 4;
constexpr uint32_t FWF_AUTOARRANGE = 0x1;
constexpr uint32_t FWF_SINGLESEL = 0x40;
constexpr uint32_t FWF_NOSUBFOLDERS = 0x80;
struct FOLDERSETTINGS {
    uint32_t ViewMode = FVM_LIST;
    uint32_t fFlags = 0;
};

// Which items GetItemObject takes.
constexpr uint32_t SVGIO_SELECTION = 1;
constexpr uint32_t SVGIO_ALLVIEW = 2;

struct IShellBrowser;

struct IShellView : IUnknown {
    static constexpr Guid iid = Guid::parse("B57F1E4E-717E-45EF-B5CC-00E613DAA0DA");
    virtual HRESULT GetWindow(QWidget** out) = 0;
    virtual HRESULT CreateViewWindow(IShellView* previous, const FOLDERSETTINGS* settings, IShellBrowser* browser,
                                     const QRect& rect, QWidget** out)
        = 0;
    virtual HRESULT DestroyViewWindow() = 0;
    virtual HRESULT GetCurrentInfo(FOLDERSETTINGS* out) = 0;
    virtual HRESULT UIActivate(uint32_t state) = 0;
    virtual HRESULT Refresh() = 0;
    virtual HRESULT GetItemObject(uint32_t which, const IID& iid, void** out) = 0;
};

// BrowseObject flags.
constexpr uint32_t SBSP_ABSOLUTE = 0x0;
constexpr uint32_t SBSP_RELATIVE = 0x2000;
constexpr uint32_t SBSP_PARENT = 0x4000;
// GetControlWindow: the browser's folder tree.
constexpr uint32_t FCW_TREE = 3;

struct IShellBrowser : IUnknown {
    static constexpr Guid iid = Guid::parse("67D687D1-C66A-43F2-BCB6-83064DFE904E");
    virtual HRESULT GetWindow(QWidget** out) = 0;
    virtual HRESULT BrowseObject(LPCITEMIDLIST pidl, uint32_t flags) = 0;
    // E_NOTIMPL (and a null window) when the browser has no such control.
    virtual HRESULT GetControlWindow(uint32_t id, QWidget** out) = 0;
    virtual HRESULT SendControlMsg(uint32_t id, uint32_t message) = 0;
};

// OnStateChange.
constexpr uint32_t CDBOSC_SELCHANGE = 2;

struct ICommDlgBrowser : IUnknown {
    static constexpr Guid iid = Guid::parse("F81573B3-FDA0-4542-92ED-62E1392D57D6");
    // S_OK when the host handled the default command; S_FALSE lets the view do it.
    virtual HRESULT OnDefaultCommand(IShellView* view) = 0;
    virtual HRESULT OnStateChange(IShellView* view, uint32_t change) = 0;
    // S_OK to list the item.
    virtual HRESULT IncludeObject(IShellView* view, LPCITEMIDLIST pidl) = 0;
};

// QueryContextMenu flags.
constexpr uint32_t CMF_NORMAL = 0;
constexpr uint32_t CMF_DEFAULTONLY = 1;
constexpr uint32_t CMF_EXPLORE = 4;

struct CMINVOKECOMMANDINFO {
    QWidget* owner = nullptr;
    const char* verbString = nullptr; // a verb given by name; else `verb` is the command offset
    uint32_t verb = 0;
};

struct IContextMenu : IUnknown {
    static constexpr Guid iid = Guid::parse("6F3BDD81-08A5-41A5-81E8-A7C68105E1E1");
    // Adds its commands at `index` with ids from `first`; the result's code is the highest offset
    // used plus 1. Each action carries its command id as its data.
    virtual HRESULT QueryContextMenu(QMenu* menu, uint32_t index, uint32_t first, uint32_t last, uint32_t flags) = 0;
    virtual HRESULT InvokeCommand(const CMINVOKECOMMANDINFO* info) = 0;
    virtual HRESULT GetCommandString(uintptr_t command, uint32_t type, QString* out) = 0;
};

// Data transfer: formats, media and the clipboard format registry of this process.
constexpr uint32_t DVASPECT_CONTENT = 1;
constexpr uint32_t TYMED_HGLOBAL = 1;
constexpr uint32_t DATADIR_GET = 1;
constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064u);
constexpr HRESULT DV_E_TYMED = static_cast<HRESULT>(0x80040069u);
constexpr HRESULT DATA_S_SAMEFORMATETC = 0x00040130;

struct FORMATETC {
    uint16_t cfFormat = 0;
    void* ptd = nullptr;
    uint32_t dwAspect = DVASPECT_CONTENT;
    int32_t lindex = -1;
    uint32_t tymed = TYMED_HGLOBAL;
};

// Global memory: a zero-filled block with its size.
struct GlobalBlock {
    size_t size = 0;
    uint8_t* bytes = nullptr;
};
GlobalBlock* GlobalAllocZeroed(size_t size);
void GlobalFree(GlobalBlock* block);

struct STGMEDIUM {
    uint32_t tymed = 0;
    GlobalBlock* hGlobal = nullptr;
    IUnknown* pUnkForRelease = nullptr;
};
void ReleaseStgMedium(STGMEDIUM* medium);

// The same number (0xC000 to 0xFFFF) for the same name, in every module and process.
uint16_t RegisterClipboardFormat(const QString& name);
inline constexpr char CFSTR_SHELLIDLIST[] = "Shell IDList Array";

struct IEnumFORMATETC : IUnknown {
    static constexpr Guid iid = Guid::parse("E53A928A-46EE-4D91-9070-7E802183E8ED");
    virtual HRESULT Next(uint32_t count, FORMATETC* out, uint32_t* fetched) = 0;
    virtual HRESULT Skip(uint32_t count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumFORMATETC** out) = 0;
};

struct IDataObject : IUnknown {
    static constexpr Guid iid = Guid::parse("E4B29B05-D9B6-4F68-B228-CCFFC635A802");
    virtual HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT GetDataHere(const FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT QueryGetData(const FORMATETC* format) = 0;
    virtual HRESULT GetCanonicalFormatEtc(const FORMATETC* in, FORMATETC* out) = 0;
    virtual HRESULT SetData(const FORMATETC* format, STGMEDIUM* medium, BOOL release) = 0;
    virtual HRESULT EnumFormatEtc(uint32_t direction, IEnumFORMATETC** out) = 0;
    virtual HRESULT DAdvise(const FORMATETC* format, uint32_t flags, IUnknown* sink, uint32_t* connection) = 0;
    virtual HRESULT DUnadvise(uint32_t connection) = 0;
    virtual HRESULT EnumDAdvise(IUnknown** out) = 0;
};

// Icon location flags.
constexpr uint32_t GIL_OPENICON = 0x1;
constexpr uint32_t GIL_PERINSTANCE = 0x2;

struct IExtractIcon : IUnknown {
    static constexpr Guid iid = Guid::parse("FC81F5BC-3B4F-41BD-82A1-CFBAFDAE19D4");
    virtual HRESULT GetIconLocation(uint32_t flags, QString* file, int* index, uint32_t* outFlags) = 0;
    // S_FALSE: the caller takes the icon from the file's icon set itself.
    virtual HRESULT Extract(const QString& file, int index) = 0;
};

} // namespace kavro::shell
