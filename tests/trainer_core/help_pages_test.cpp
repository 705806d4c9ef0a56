// The help pages under data/help: every command of the main window has its place in the English
// help, and the translated help has the same pages and places.
#include "language_table.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace kavro;

namespace {

QString helpDir(const QString& root, const QString& lang)
{
    return root + QLatin1Char('/') + lang;
}

const QString kSources = QStringLiteral(KAVRO_TEST_SOURCE_DIR "/../data/help");
const QString kInstalled = QStringLiteral(KAVRO_BIN_DIR "/help");

// page file name -> the ids of its anchors
std::map<QString, std::set<uint32_t>> anchorsOf(const QString& folder)
{
    std::map<QString, std::set<uint32_t>> pages;
    const QRegularExpression anchor(QStringLiteral("\\bid=\"(\\d+)\""));
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.html")}, QDir::Files)) {
        QFile f(folder + QLatin1Char('/') + name);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        QStringDecoder decode(QStringDecoder::Utf8);
        const QString text = decode(f.readAll());
        EXPECT_FALSE(decode.hasError()) << name.toStdString() << " is not UTF-8";
        EXPECT_TRUE(text.contains(QStringLiteral("<meta charset=\"utf-8\">"))) << name.toStdString();
        auto& ids = pages[name];
        for (auto it = anchor.globalMatch(text); it.hasNext();)
            EXPECT_TRUE(ids.insert(it.next().captured(1).toUInt()).second)
                << name.toStdString() << " repeats an anchor";
    }
    return pages;
}

TEST(HelpPages, EveryCommandOfTheMainWindowHasItsPlaceInEnglish)
{
    const uint32_t commands[]
        = {32772, 57601, 32773, 32774, 57603, 57611, 57607, 57609, 57606, 32853, 32854, 32852, 57612, 57665,
           32776, 32777, 32778, 32779, 32780, 32784, 32785, 32786, 32787, 32871, 32783, 32781, 32782, 32886,
           59392, 59393, 32796, 32875, 32797, 32874, 32873, 32798, 32799, 57666, 57664, 32815, 32808, 32814,
           57682, 32788, 32789, 32790, 32791, 32792, 32793, 32794, 32795, 32888, 32883};
    std::set<uint32_t> all;
    const auto pages = anchorsOf(helpDir(kSources, QStringLiteral("en")));
    ASSERT_TRUE(pages.count(QStringLiteral("index.html")));
    for (const auto& [page, ids] : pages)
        for (uint32_t id : ids)
            EXPECT_TRUE(all.insert(id).second) << id << " has places on two pages";
    for (uint32_t id : commands)
        EXPECT_TRUE(all.count(id)) << "no help for command " << id;
    for (const InterfaceLanguage& l : interfaceLanguages())
        EXPECT_TRUE(all.count(l.command)) << "no help for language command " << l.command;
}

TEST(HelpPages, TranslatedHelpHasThePagesAndPlacesOfEnglishAndIsInstalled)
{
    const auto english = anchorsOf(helpDir(kSources, QStringLiteral("en")));
    std::set<QString> helpFolders;
    for (const InterfaceLanguage& l : interfaceLanguages())
        helpFolders.insert(QString::fromLatin1(l.help));
    EXPECT_EQ(helpFolders, (std::set<QString>{"en", "deu", "rus", "trk", "vit"}));
    for (const QString& lang : helpFolders) {
        EXPECT_EQ(anchorsOf(helpDir(kSources, lang)), english) << lang.toStdString();
        for (const auto& [page, ids] : english) {
            QFile source(helpDir(kSources, lang) + QLatin1Char('/') + page);
            QFile installed(helpDir(kInstalled, lang) + QLatin1Char('/') + page);
            ASSERT_TRUE(source.open(QIODevice::ReadOnly) && installed.open(QIODevice::ReadOnly))
                << lang.toStdString() << "/" << page.toStdString();
            EXPECT_EQ(source.readAll(), installed.readAll()) << lang.toStdString() << "/" << page.toStdString();
        }
    }
}

} // namespace
