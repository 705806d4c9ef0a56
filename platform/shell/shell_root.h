#pragma once
// The root of our shell: the desktop, whose one child is "Computer" (the catalog's item IDs
// begin with it), whose children are the namespace junctions registered by the modules of the
// class registry. A junction is bound by creating its folder class and initialising it with its
// absolute ID.
#include "shell_interfaces.h"

namespace kavro::shell {

HRESULT SHGetDesktopFolder(IShellFolder** out);
// The absolute ID of "Computer" (one item); free it with ILFree.
LPITEMIDLIST ComputerIdList();
// Binds the desktop to an absolute folder ID (an empty list gives the desktop itself).
HRESULT BindToFolder(LPCITEMIDLIST absolute, IShellFolder** out);

// The item-ID list routines under the shell's names.
inline LPITEMIDLIST ILClone(LPCITEMIDLIST list)
{
    return CloneItemIdList(list);
}
inline LPITEMIDLIST ILCombine(LPCITEMIDLIST first, LPCITEMIDLIST second)
{
    return ConcatItemIdLists(first, second);
}
inline void ILFree(LPITEMIDLIST list)
{
    FreeItemIdList(list);
}
inline size_t ILGetSize(LPCITEMIDLIST list)
{
    return ItemIdListSize(list);
}
inline LPCITEMIDLIST ILNext(LPCITEMIDLIST item)
{
    return NextItemId(item);
}
// True for the same size and the same bytes.
bool ILIsEqual(LPCITEMIDLIST first, LPCITEMIDLIST second);
// The list without its last item (null for a list of one item or none).
LPITEMIDLIST ILCloneParent(LPCITEMIDLIST list);
// A copy of the list's last item as a one-item list.
LPITEMIDLIST ILCloneLast(LPCITEMIDLIST list);
// The list's first item alone.
LPITEMIDLIST ILCloneFirst(LPCITEMIDLIST list);
int ILCount(LPCITEMIDLIST list);
// True when `list` begins with every item of `prefix` (equal lists included).
bool ILIsPrefix(LPCITEMIDLIST prefix, LPCITEMIDLIST list);

// Holds one item-ID list and frees it.
class IdList {
public:
    IdList() = default;
    explicit IdList(LPITEMIDLIST adopt) : p_(adopt) { }
    IdList(const IdList& o) : p_(ILClone(o.p_)) { }
    IdList(IdList&& o) noexcept : p_(o.release()) { }
    IdList& operator=(IdList o)
    {
        std::swap(p_, o.p_);
        return *this;
    }
    ~IdList() { ILFree(p_); }
    static IdList copy(LPCITEMIDLIST list) { return IdList(ILClone(list)); }
    LPCITEMIDLIST get() const { return p_; }
    LPITEMIDLIST release()
    {
        LPITEMIDLIST p = p_;
        p_ = nullptr;
        return p;
    }
    void reset(LPITEMIDLIST adopt = nullptr)
    {
        ILFree(p_);
        p_ = adopt;
    }
    LPITEMIDLIST* put()
    {
        reset();
        return &p_;
    }
    explicit operator bool() const { return p_ != nullptr; }

private:
    LPITEMIDLIST p_ = nullptr;
};

} // namespace kavro::shell
