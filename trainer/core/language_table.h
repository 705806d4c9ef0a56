#pragma once
// The interface languages the program offers: Language-menu command, LANGID, the file of its
// string table and the folder of its help pages.
#include <QLocale>
#include <QString>

#include <cstdint>
#include <span>

namespace kavro {

constexpr int kEnglishLangId = 1033;

struct InterfaceLanguage {
    uint32_t command; // Language-menu command id
    int langId;
    const char* suffix; // string table "kavro<suffix>.strings"; null for the built-in English
    const char* help; // folder of the help pages under help/
    bool rightToLeft;
    QLocale::Language language;
    QLocale::Territory territory;
};

std::span<const InterfaceLanguage> interfaceLanguages();

constexpr int primaryLanguageOf(int langId)
{
    return langId & 0x3FF;
}
constexpr int subLanguageOf(int langId)
{
    return langId >> 10;
}

// The table's entry for a LANGID: by its primary language, and for Chinese also by its
// sublanguage (1 Traditional, 2 Simplified; the others have none). Null when not in the table.
const InterfaceLanguage* findInterfaceLanguage(int langId);
const InterfaceLanguage* findLanguageCommand(uint32_t command);

// The LANGID standing for a locale of the system (0 when the language has none here).
int langIdOfLocale(const QLocale& locale);

// The file name of a language's string table, e.g. "kavrodeu.strings".
QString stringTableFileName(const InterfaceLanguage& language);

} // namespace kavro
