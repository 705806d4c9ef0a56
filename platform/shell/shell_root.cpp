#include "shell_root.h"

#include "com/classregistry.h"
#include "com/snapshot_enumerator.h"

#include <cstring>

namespace kavro::shell {

bool ILIsEqual(LPCITEMIDLIST first, LPCITEMIDLIST second)
{
    const size_t size = ILGetSize(first);
    return size == ILGetSize(second) && (size == 0 || std::memcmp(first, second, size) == 0);
}

int ILCount(LPCITEMIDLIST list)
{
    int n = 0;
    for (LPCITEMIDLIST item = list; item && ItemIdSize(item) != 0; item = ILNext(item))
        ++n;
    return n;
}

bool ILIsPrefix(LPCITEMIDLIST prefix, LPCITEMIDLIST list)
{
    const size_t size = ILGetSize(prefix);
    const size_t items = size ? size - 2 : 0;
    return ILGetSize(list) >= items + 2 && (items == 0 || std::memcmp(prefix, list, items) == 0);
}

namespace {

// A list of the items [from, to) of `list`.
LPITEMIDLIST cloneRange(LPCITEMIDLIST list, int from, int to)
{
    LPITEMIDLIST result = nullptr;
    int index = 0;
    for (LPCITEMIDLIST item = list; item && ItemIdSize(item) != 0; item = ILNext(item), ++index) {
        if (index < from || index >= to)
            continue;
        const size_t cb = ItemIdSize(item);
        auto* one = static_cast<uint8_t*>(ShellAlloc(cb + 2));
        if (!one) {
            ILFree(result);
            return nullptr;
        }
        std::memcpy(one, item, cb);
        one[cb] = one[cb + 1] = 0;
        result = AppendItemId(result, reinterpret_cast<LPITEMIDLIST>(one));
        ShellFree(one);
        if (!result)
            return nullptr;
    }
    return result;
}

} // namespace

LPITEMIDLIST ILCloneParent(LPCITEMIDLIST list)
{
    const int n = ILCount(list);
    return n > 1 ? cloneRange(list, 0, n - 1) : nullptr;
}

LPITEMIDLIST ILCloneLast(LPCITEMIDLIST list)
{
    const int n = ILCount(list);
    return n > 0 ? cloneRange(list, n - 1, n) : nullptr;
}

LPITEMIDLIST ILCloneFirst(LPCITEMIDLIST list)
{
    return ILCount(list) > 0 ? cloneRange(list, 0, 1) : nullptr;
}

LPITEMIDLIST ComputerIdList()
{
    return MakeItemId(kNamedItemKind, QString::fromLatin1(kComputerItemName));
}

namespace {

// An enumerator over a fixed list of one-item IDs.
class NameEnum final : public SnapshotEnumerator<NameEnum, IEnumIDList, QString> {
public:
    using SnapshotEnumerator::SnapshotEnumerator;
    HRESULT Next(uint32_t count, LPITEMIDLIST* out, uint32_t* fetched) override
    {
        if (!out)
            return E_POINTER;
        return giveNext(count, out, fetched, [](const QString& name, LPITEMIDLIST& slot) {
            slot = MakeItemId(kNamedItemKind, name);
            return slot != nullptr;
        });
    }
};

// Folders of the root whose children are named items: the desktop ("Computer") and Computer
// (the junctions).
template <class Derived> class RootFolder : public ComObject<Derived, IShellFolder> {
public:
    HRESULT ParseDisplayName(QWidget*, const QString&, uint32_t*, LPITEMIDLIST*, uint32_t*) override
    {
        return E_NOTIMPL;
    }
    HRESULT BindToStorage(LPCITEMIDLIST, IUnknown*, const IID&, void**) override { return E_NOTIMPL; }
    HRESULT CreateViewObject(QWidget*, const IID&, void** out) override
    {
        if (out)
            *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetUIObjectOf(QWidget*, uint32_t, LPCITEMIDLIST*, const IID&, uint32_t*, void** out) override
    {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT SetNameOf(QWidget*, LPCITEMIDLIST, const QString&, uint32_t, LPITEMIDLIST*) override { return E_NOTIMPL; }
    HRESULT EnumObjects(QWidget*, uint32_t, IEnumIDList** out) override
    {
        const QStringList names = static_cast<Derived*>(this)->childNames();
        return queryOut(NameEnum::create(std::vector<QString>(names.begin(), names.end())).get(), out);
    }
    HRESULT CompareIDs(intptr_t, LPCITEMIDLIST a, LPCITEMIDLIST b) override
    {
        const int order = ItemIdName(a).compare(ItemIdName(b), Qt::CaseInsensitive);
        return compareResult(order < 0 ? -1 : order > 0 ? 1 : 0);
    }
    HRESULT GetAttributesOf(uint32_t count, LPCITEMIDLIST*, uint32_t* inOut) override
    {
        if (!inOut)
            return E_POINTER;
        *inOut &= count ? SFGAO_FOLDER | SFGAO_BROWSABLE | SFGAO_HASSUBFOLDER : SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
        return S_OK;
    }
    HRESULT GetDisplayNameOf(LPCITEMIDLIST pidl, uint32_t, STRRET* out) override
    {
        if (!pidl)
            return E_INVALIDARG;
        return StringToStrRet(ItemIdName(pidl), out);
    }
};

class ComputerFolder final : public RootFolder<ComputerFolder> {
public:
    HRESULT BindToObject(LPCITEMIDLIST pidl, IUnknown* context, const IID& iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (ILCount(pidl) == 0)
            return E_INVALIDARG;
        const QString name = ItemIdName(pidl);
        for (const ShellJunction& junction : registeredShellJunctions()) {
            if (junction.name != name)
                continue;
            ComPtr<IShellFolder> folder;
            HRESULT hr = CoCreateInstance(junction.clsid, nullptr, IShellFolder::iid, folder.putVoid());
            if (FAILED(hr))
                return hr;
            if (auto persist = folder.query<IPersistFolder>()) {
                IdList computer(ComputerIdList());
                IdList first(ILCloneFirst(pidl));
                IdList absolute(ILCombine(computer.get(), first.get()));
                if (!absolute)
                    return E_OUTOFMEMORY;
                persist->Initialize(absolute.get());
            }
            LPCITEMIDLIST rest = ILNext(pidl);
            if (ILCount(rest) > 0)
                return folder->BindToObject(rest, context, iid, out);
            return folder->QueryInterface(iid, out);
        }
        return E_INVALIDARG;
    }

    QStringList childNames()
    {
        QStringList names;
        for (const ShellJunction& junction : registeredShellJunctions())
            names << junction.name;
        return names;
    }
};

class DesktopFolder final : public RootFolder<DesktopFolder> {
public:
    HRESULT BindToObject(LPCITEMIDLIST pidl, IUnknown* context, const IID& iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (ILCount(pidl) == 0 || ItemIdName(pidl) != QLatin1String(kComputerItemName))
            return E_INVALIDARG;
        auto computer = ComputerFolder::create();
        LPCITEMIDLIST rest = ILNext(pidl);
        if (ILCount(rest) > 0)
            return computer->BindToObject(rest, context, iid, out);
        return computer->QueryInterface(iid, out);
    }

    QStringList childNames() { return {QString::fromLatin1(kComputerItemName)}; }
};

} // namespace

HRESULT SHGetDesktopFolder(IShellFolder** out)
{
    return queryOut(DesktopFolder::create().get(), out);
}

HRESULT BindToFolder(LPCITEMIDLIST absolute, IShellFolder** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    ComPtr<IShellFolder> desktop;
    HRESULT hr = SHGetDesktopFolder(desktop.put());
    if (FAILED(hr))
        return hr;
    if (ILCount(absolute) == 0)
        return desktop.copyTo(out);
    return desktop->BindToObject(absolute, nullptr, IShellFolder::iid, reinterpret_cast<void**>(out));
}

} // namespace kavro::shell
