#pragma once
// The program's texts by a plain id, for code that keeps string ids as ints, and the interface language.
#include "res_strings.h"

#include <QString>

// Texts the frame asks for by the ids of its resources rather than by a string of its own.
namespace TextId {
inline constexpr int ProgramTitle = 128; // the main window's title and the desktop entry's name
inline constexpr int IdleStatus = 57345; // the status bar while nothing else is said
} // namespace TextId

inline QString uiText(int id)
{
    return kavro::LoadResString(static_cast<uint32_t>(id));
}

// Menu captions have no string id of their own: they are keyed by the menu resource and the
// command (or, for a sub-menu, its position), apart from the dialog texts.
constexpr uint32_t menuTextId(uint16_t menu, uint16_t item)
{
    return ((0x8000u | menu) << 16) | item;
}

// The LANGID of the interface language (1033 English).
int uiLanguageId();
