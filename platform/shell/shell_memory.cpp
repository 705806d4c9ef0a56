#include "shell_interfaces.h"

#include <cstdlib>
#include <cstring>

namespace kavro::shell {

QString StrRetToString(STRRET* ret)
{
    if (!ret || !ret->pOleStr)
        return {};
    QString text = QString::fromUtf16(ret->pOleStr);
    ShellFree(ret->pOleStr);
    ret->pOleStr = nullptr;
    return text;
}

HRESULT StringToStrRet(const QString& text, STRRET* out)
{
    if (!out)
        return E_POINTER;
    const size_t bytes = (static_cast<size_t>(text.size()) + 1) * sizeof(char16_t);
    auto* copy = static_cast<char16_t*>(ShellAlloc(bytes));
    if (!copy)
        return E_OUTOFMEMORY;
    std::memcpy(copy, text.utf16(), bytes);
    out->uType = STRRET_WSTR;
    out->pOleStr = copy;
    return S_OK;
}

GlobalBlock* GlobalAllocZeroed(size_t size)
{
    auto* block = static_cast<GlobalBlock*>(std::calloc(1, sizeof(GlobalBlock)));
    if (!block)
        return nullptr;
    block->bytes = static_cast<uint8_t*>(std::calloc(size ? size : 1, 1));
    if (!block->bytes) {
        std::free(block);
        return nullptr;
    }
    block->size = size;
    return block;
}

void GlobalFree(GlobalBlock* block)
{
    if (!block)
        return;
    std::free(block->bytes);
    std::free(block);
}

void ReleaseStgMedium(STGMEDIUM* medium)
{
    if (!medium)
        return;
    if (medium->pUnkForRelease)
        medium->pUnkForRelease->Release();
    else if (medium->tymed == TYMED_HGLOBAL)
        GlobalFree(medium->hGlobal);
    *medium = STGMEDIUM{};
}

uint16_t RegisterClipboardFormat(const QString& name)
{
    // Every module keeps its own copy of this code, and a data object made in one is read in
    // another: the number comes from the name alone (FNV-1a of the case-folded UTF-16 text, as
    // Windows matches format names without regard to case), never from the order of registration.
    uint32_t hash = 2166136261u;
    for (const QChar c : name.toCaseFolded()) {
        hash = (hash ^ (c.unicode() & 0xFF)) * 16777619u;
        hash = (hash ^ (c.unicode() >> 8)) * 16777619u;
    }
    return static_cast<uint16_t>(0xC000 + hash % 0x4000);
}

} // namespace kavro::shell
