#include "olecolor.h"

namespace kavro {
namespace {

// The classic desktop scheme's values; the program draws the same on every desktop theme.
constexpr COLORREF kSystemColors[31] = {
    rgb(200, 200, 200), rgb(0, 0, 0),       rgb(153, 180, 209), rgb(191, 205, 219), rgb(240, 240, 240),
    rgb(255, 255, 255), rgb(100, 100, 100), rgb(0, 0, 0),       rgb(0, 0, 0),       rgb(0, 0, 0),
    rgb(180, 180, 180), rgb(244, 247, 252), rgb(171, 171, 171), rgb(0, 120, 215),   rgb(255, 255, 255),
    rgb(240, 240, 240), rgb(160, 160, 160), rgb(109, 109, 109), rgb(0, 0, 0),       rgb(0, 0, 0),
    rgb(255, 255, 255), rgb(105, 105, 105), rgb(227, 227, 227), rgb(0, 0, 0),       rgb(255, 255, 225),
    rgb(0, 0, 0),       rgb(0, 102, 204),   rgb(185, 209, 234), rgb(215, 228, 242), rgb(0, 120, 215),
    rgb(240, 240, 240),
};

} // namespace

COLORREF systemColor(int index)
{
    return index >= 0 && index < 31 ? kSystemColors[index] : rgb(0, 0, 0);
}

HRESULT translateColor(OLE_COLOR color, COLORREF* out)
{
    if (!out)
        return E_POINTER;
    switch (color >> 24) {
    case 0x00: *out = color & 0x00FFFFFFu; return S_OK;
    case 0x80: {
        uint32_t index = color & 0x00FFFFFFu;
        if (index >= 31 || index == 25)
            return E_INVALIDARG;
        *out = kSystemColors[index];
        return S_OK;
    }
    case 0x02: // palette-relative RGB: the colour itself on a true-colour surface
        *out = color & 0x00FFFFFFu;
        return S_OK;
    default: return E_INVALIDARG;
    }
}

COLORREF colorOrDefault(OLE_COLOR color, COLORREF fallback)
{
    COLORREF c;
    return SUCCEEDED(translateColor(color, &c)) ? c : fallback;
}

} // namespace kavro
