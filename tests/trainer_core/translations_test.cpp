// The string sources under data/lang: English areas with unique ids, translations that match
// English id for id and placeholder for placeholder, and complete tables for the areas that the
// translation has reached.
#include "language_module.h"
#include "language_table.h"
#include "res_strings.h"
#include "string_module.h"
#include "string_table.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <set>

using namespace kavro;

namespace {

QString langSourceDir()
{
    return QStringLiteral(KAVRO_TEST_SOURCE_DIR "/../data/lang");
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString describe(const QList<StringTableProblem>& problems)
{
    QString out;
    for (const auto& p : problems)
        out += QStringLiteral("line %1: %2; ").arg(p.line).arg(p.what);
    return out;
}

// area name ("core") -> its table, for one language folder
std::map<QString, StringTable> readAreas(const QString& folder)
{
    std::map<QString, StringTable> areas;
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.strings")}, QDir::Files)) {
        QList<StringTableProblem> problems;
        StringTable& t = areas[QFileInfo(name).completeBaseName()];
        EXPECT_TRUE(parseStringTable(readFile(folder + QLatin1Char('/') + name), &t, &problems))
            << (folder + QLatin1Char('/') + name + QStringLiteral(": ") + describe(problems)).toStdString();
    }
    return areas;
}

QStringList translatedAreas()
{
    QStringList areas;
    for (const QByteArray& line : readFile(langSourceDir() + QStringLiteral("/translated-areas.txt")).split('\n'))
        if (!line.trimmed().isEmpty() && !line.startsWith('#'))
            areas.append(QString::fromUtf8(line.trimmed()));
    return areas;
}

QStringList languageSuffixes()
{
    QStringList out;
    for (const InterfaceLanguage& l : interfaceLanguages())
        if (l.suffix)
            out.append(QString::fromLatin1(l.suffix));
    return out;
}

TEST(Translations, EnglishIdsAreUniqueAcrossAreasAndAllCompiledIn)
{
    const auto english = readAreas(langSourceDir() + QStringLiteral("/en"));
    ASSERT_TRUE(english.count(QStringLiteral("core")));
    std::map<uint32_t, QString> owner;
    for (const auto& [area, table] : english)
        for (const auto& [id, text] : table) {
            const auto [it, fresh] = owner.emplace(id, area);
            EXPECT_TRUE(fresh) << "id " << id << " in " << area.toStdString() << " and " << it->second.toStdString();
        }

    QStringList compiled;
    for (const auto& [name, bytes] : englishStringSources()) {
        compiled.append(name);
        EXPECT_EQ(bytes, readFile(langSourceDir() + QStringLiteral("/en/") + name)) << name.toStdString();
    }
    EXPECT_EQ(compiled,
              QDir(langSourceDir() + QStringLiteral("/en"))
                  .entryList({QStringLiteral("*.strings")}, QDir::Files, QDir::Name));
    EXPECT_EQ(englishStringTable().size(), owner.size());
}

TEST(Translations, EveryEntryMatchesEnglishIdAndPlaceholders)
{
    const auto english = readAreas(langSourceDir() + QStringLiteral("/en"));
    const QStringList known = languageSuffixes();
    for (const QString& lang : QDir(langSourceDir()).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (lang == QStringLiteral("en"))
            continue;
        EXPECT_TRUE(known.contains(lang)) << "no such interface language: " << lang.toStdString();
        for (const auto& [area, table] : readAreas(langSourceDir() + QLatin1Char('/') + lang)) {
            const auto en = english.find(area);
            ASSERT_NE(en, english.end()) << lang.toStdString() << " has an area English lacks: " << area.toStdString();
            for (const auto& [id, text] : table) {
                const auto source = en->second.find(id);
                if (source == en->second.end()) {
                    ADD_FAILURE() << lang.toStdString() << "/" << area.toStdString() << ": id " << id
                                  << " is not in English";
                    continue;
                }
                EXPECT_EQ(placeholdersOf(text), placeholdersOf(source->second))
                    << lang.toStdString() << "/" << area.toStdString() << " id " << id << ": " << text.toStdString();
                EXPECT_FALSE(text.trimmed().isEmpty() && !source->second.trimmed().isEmpty())
                    << lang.toStdString() << " id " << id << " is empty";
            }
        }
    }
}

TEST(Translations, TranslatedAreasAreCompleteInEveryLanguage)
{
    const auto english = readAreas(langSourceDir() + QStringLiteral("/en"));
    const QStringList areas = translatedAreas();
    ASSERT_TRUE(areas.contains(QStringLiteral("core")));
    for (const QString& lang : languageSuffixes()) {
        const auto tables = readAreas(langSourceDir() + QLatin1Char('/') + lang);
        for (const QString& area : areas) {
            const auto en = english.find(area);
            ASSERT_NE(en, english.end()) << "listed area without English: " << area.toStdString();
            const auto translated = tables.find(area);
            ASSERT_NE(translated, tables.end()) << lang.toStdString() << " lacks " << area.toStdString();
            for (const auto& [id, text] : en->second)
                EXPECT_TRUE(translated->second.count(id))
                    << lang.toStdString() << "/" << area.toStdString() << " lacks id " << id;
        }
    }
}

TEST(Translations, EveryBuiltTableLoadsAndSpeaksItsLanguage)
{
    auto& module = LanguageModule::instance();
    const QString savedFolder = module.languageFolder();
    const QLocale savedLocale;
    module.setLanguageFolder(QStringLiteral(KAVRO_BIN_DIR "/lang"));
    for (const InterfaceLanguage& l : interfaceLanguages()) {
        if (!l.suffix)
            continue;
        StringTable table;
        QList<StringTableProblem> problems;
        EXPECT_TRUE(parseStringTable(readFile(QStringLiteral(KAVRO_BIN_DIR "/lang/") + stringTableFileName(l)), &table,
                                     &problems))
            << l.suffix << ": " << describe(problems).toStdString();
        EXPECT_EQ(module.switchTo(l.langId), LanguageModule::SwitchResult::Switched) << l.suffix;
        EXPECT_NE(LoadResString(IDS_LANGUAGE_SWITCH_FAILED), englishResString(IDS_LANGUAGE_SWITCH_FAILED)) << l.suffix;
    }
    EXPECT_EQ(module.switchTo(kEnglishLangId), LanguageModule::SwitchResult::Switched);
    module.setLanguageFolder(savedFolder);
    QLocale::setDefault(savedLocale);
}

} // namespace
