#pragma once
// The program's texts by string id, in the interface language, falling back to the built-in
// English. Any thread may ask; a language switch replaces the table in one step.
#include "string_table.h"

#include <QString>

#include <cstdint>

namespace kavro {

// The text of `id` in the current language, else the English text, else an empty string.
QString LoadResString(uint32_t id);

// The built-in English text of `id` (empty when there is none).
QString englishResString(uint32_t id);

// A printf-style text of the string table filled with `args`. A translation whose conversions
// differ from the English text's is not trusted with the arguments: the English text serves.
template <class... Args> QString formatResString(uint32_t id, Args... args)
{
    QString pattern = LoadResString(id);
    const QString english = englishResString(id);
    if (placeholdersOf(pattern) != placeholdersOf(english))
        pattern = english;
    return QString::asprintf(pattern.toUtf8().constData(), args...);
}

// Texts of dialog templates (captions, labels, buttons) have no string id of their own: they are
// keyed by the dialog's resource id and the control's id, the caption being control 0.
constexpr uint32_t dialogTextId(uint16_t dialog, uint16_t control)
{
    return (static_cast<uint32_t>(dialog) << 16) | control;
}

// String ids of this library.
constexpr uint32_t IDS_APP_TITLE = 128; // also the caption of every message box
constexpr uint32_t IDS_LANGUAGE_SWITCH_FAILED = 61300;
constexpr uint16_t IDD_ABOUTBOX = 100;
constexpr uint16_t IDC_ABOUT_VERSION = 1016;

} // namespace kavro
