#include "language_table.h"

#include <array>

namespace kavro {

namespace {

constexpr std::array kLanguages{
    InterfaceLanguage{32809, 1033, nullptr, "en", false, QLocale::English, QLocale::UnitedStates},
    InterfaceLanguage{32876, 1025, "ara", "en", true, QLocale::Arabic, QLocale::SaudiArabia},
    InterfaceLanguage{32893, 1028, "cht", "en", false, QLocale::Chinese, QLocale::Taiwan},
    InterfaceLanguage{32812, 2052, "chs", "en", false, QLocale::Chinese, QLocale::China},
    InterfaceLanguage{32880, 1031, "deu", "deu", false, QLocale::German, QLocale::Germany},
    InterfaceLanguage{32877, 1034, "esp", "en", false, QLocale::Spanish, QLocale::Spain},
    InterfaceLanguage{32878, 1036, "fra", "en", false, QLocale::French, QLocale::France},
    InterfaceLanguage{32892, 1038, "hun", "en", false, QLocale::Hungarian, QLocale::Hungary},
    InterfaceLanguage{32879, 1040, "ita", "en", false, QLocale::Italian, QLocale::Italy},
    InterfaceLanguage{32811, 1041, "jpn", "en", false, QLocale::Japanese, QLocale::Japan},
    InterfaceLanguage{32813, 1042, "kor", "en", false, QLocale::Korean, QLocale::SouthKorea},
    InterfaceLanguage{32881, 1043, "nl", "en", false, QLocale::Dutch, QLocale::Netherlands},
    InterfaceLanguage{32890, 1044, "nor", "en", false, QLocale::NorwegianBokmal, QLocale::Norway},
    InterfaceLanguage{32889, 1045, "pol", "en", false, QLocale::Polish, QLocale::Poland},
    InterfaceLanguage{32891, 1046, "bra", "en", false, QLocale::Portuguese, QLocale::Brazil},
    InterfaceLanguage{32810, 1049, "rus", "rus", false, QLocale::Russian, QLocale::Russia},
    InterfaceLanguage{32894, 1054, "tha", "en", false, QLocale::Thai, QLocale::Thailand},
    InterfaceLanguage{32884, 1055, "trk", "trk", false, QLocale::Turkish, QLocale::Turkey},
    InterfaceLanguage{32885, 1066, "vit", "vit", false, QLocale::Vietnamese, QLocale::Vietnam},
};

constexpr int kChinese = 4;

} // namespace

std::span<const InterfaceLanguage> interfaceLanguages()
{
    return kLanguages;
}

const InterfaceLanguage* findInterfaceLanguage(int langId)
{
    const int primary = primaryLanguageOf(langId);
    for (const InterfaceLanguage& l : kLanguages) {
        if (primaryLanguageOf(l.langId) != primary)
            continue;
        if (primary == kChinese && subLanguageOf(l.langId) != subLanguageOf(langId))
            continue;
        return &l;
    }
    return nullptr;
}

const InterfaceLanguage* findLanguageCommand(uint32_t command)
{
    for (const InterfaceLanguage& l : kLanguages)
        if (l.command == command)
            return &l;
    return nullptr;
}

int langIdOfLocale(const QLocale& locale)
{
    if (locale.language() == QLocale::Chinese) {
        // Hong Kong, Singapore and Macao have sublanguages of their own, which the table lacks.
        switch (locale.territory()) {
        case QLocale::Taiwan: return 1028;
        case QLocale::China: return 2052;
        case QLocale::HongKong: return 3076;
        case QLocale::Singapore: return 4100;
        case QLocale::Macao: return 5124;
        default: return locale.script() == QLocale::TraditionalHanScript ? 1028 : 2052;
        }
    }
    for (const InterfaceLanguage& l : kLanguages)
        if (l.language == locale.language())
            return l.langId;
    return 0;
}

QString stringTableFileName(const InterfaceLanguage& language)
{
    return language.suffix ? QStringLiteral("kavro%1.strings").arg(QLatin1String(language.suffix)) : QString();
}

} // namespace kavro
