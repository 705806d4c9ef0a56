#pragma once
// OLE_COLOR: 0x00BBGGRR for plain colours, 0x800000nn for the system colour number nn.
#include "hresult.h"

namespace kavro {

// The COLORREF (0x00BBGGRR) an OLE_COLOR stands for; E_INVALIDARG for an unknown system colour
// or a colour form we do not draw (palette indices).
HRESULT translateColor(OLE_COLOR color, COLORREF* out);

// translateColor with a fallback for invalid input.
COLORREF colorOrDefault(OLE_COLOR color, COLORREF fallback);

constexpr COLORREF rgb(int r, int g, int b)
{
    return static_cast<COLORREF>((r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16);
}
constexpr int redOf(COLORREF c)
{
    return c & 0xFF;
}
constexpr int greenOf(COLORREF c)
{
    return (c >> 8) & 0xFF;
}
constexpr int blueOf(COLORREF c)
{
    return (c >> 16) & 0xFF;
}

// System colour numbers used by name elsewhere.
enum SystemColor : int {
    COLOR_SCROLLBAR = 0,
    COLOR_BACKGROUND = 1,
    COLOR_ACTIVECAPTION = 2,
    COLOR_INACTIVECAPTION = 3,
    COLOR_MENU = 4,
    COLOR_WINDOW = 5,
    COLOR_WINDOWFRAME = 6,
    COLOR_MENUTEXT = 7,
    COLOR_WINDOWTEXT = 8,
    COLOR_CAPTIONTEXT = 9,
    COLOR_ACTIVEBORDER = 10,
    COLOR_INACTIVEBORDER = 11,
    COLOR_APPWORKSPACE = 12,
    COLOR_HIGHLIGHT = 13,
    COLOR_HIGHLIGHTTEXT = 14,
    COLOR_BTNFACE = 15,
    COLOR_BTNSHADOW = 16,
    COLOR_GRAYTEXT = 17,
    COLOR_BTNTEXT = 18,
    COLOR_INACTIVECAPTIONTEXT = 19,
    COLOR_BTNHIGHLIGHT = 20,
    COLOR_3DDKSHADOW = 21,
    COLOR_3DLIGHT = 22,
    COLOR_INFOTEXT = 23,
    COLOR_INFOBK = 24,
    COLOR_HOTLIGHT = 26,
    COLOR_GRADIENTACTIVECAPTION = 27,
    COLOR_GRADIENTINACTIVECAPTION = 28,
    COLOR_MENUHILIGHT = 29,
    COLOR_MENUBAR = 30,
};

// The COLORREF of a system colour number.
COLORREF systemColor(int index);

} // namespace kavro
