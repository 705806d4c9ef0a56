#include "res_strings.h"
#include "string_module.h"
#include "string_table.h"

#include <gtest/gtest.h>

using namespace kavro;

namespace {

TEST(StringTable, ReadsEntriesEscapesAndComments)
{
    StringTable t;
    QList<StringTableProblem> problems;
    EXPECT_TRUE(parseStringTable("\xEF\xBB\xBF# comment\n\n"
                                 "1\tone\r\n"
                                 "2\tline\\nnext\\tcol \\\\n\n"
                                 "3\t\n"
                                 "4\t\xC3\xBC# not a comment\n"
                                 "4294967295\tlast",
                                 &t, &problems));
    EXPECT_TRUE(problems.isEmpty());
    ASSERT_EQ(t.size(), 5u);
    EXPECT_EQ(t[1], QStringLiteral("one"));
    EXPECT_EQ(t[2], QStringLiteral("line\nnext\tcol \\n"));
    EXPECT_EQ(t[3], QString());
    EXPECT_EQ(t[4], QStringLiteral("\u00FC# not a comment"));
    EXPECT_EQ(t[4294967295u], QStringLiteral("last"));
}

TEST(StringTable, ReportsEveryBadLineAndKeepsTheRest)
{
    StringTable t;
    QList<StringTableProblem> problems;
    EXPECT_FALSE(parseStringTable("1 no tab\n"
                                  "x1\tnot a number\n"
                                  "4294967296\ttoo big\n"
                                  "\tno id\n"
                                  "5\tbad \\q escape\n"
                                  "6\ttrailing \\\n"
                                  "7\t\xFF\xFE\n"
                                  "8\tkept\n"
                                  "8\ttwice\n",
                                  &t, &problems));
    ASSERT_EQ(problems.size(), 8);
    EXPECT_EQ(problems.first().line, 1);
    EXPECT_EQ(problems.last().line, 9);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[8], QStringLiteral("kept"));
}

TEST(StringTable, PlaceholdersAreTheConversionsInOrder)
{
    EXPECT_EQ(placeholdersOf(QStringLiteral("%i seconds or %i shot(s) left")), (QStringList{"%i", "%i"}));
    EXPECT_EQ(placeholdersOf(QStringLiteral("%-3.1f%% at %s, %3.1f %lu %u")),
              (QStringList{"%-3.1f", "%s", "%3.1f", "%lu", "%u"}));
    EXPECT_EQ(placeholdersOf(QStringLiteral("Frequency while in %1!d! %s Hz, %2")), (QStringList{"%1!d!", "%s", "%2"}));
    EXPECT_EQ(placeholdersOf(QStringLiteral("100%% sure, 50%")), QStringList());
    EXPECT_EQ(placeholdersOf(QStringLiteral("Enter a number from %1 to %2.")), (QStringList{"%1", "%2"}));
    EXPECT_EQ(placeholdersOf(QStringLiteral("%2.%1.f %3.1f")), (QStringList{"%2", "%1.f", "%3.1f"}));
    EXPECT_EQ(placeholdersOf(QStringLiteral("%1에서 %2 사이, %1s")), (QStringList{"%1", "%2", "%1s"}));
}

TEST(BuiltInStrings, EnglishIsCompiledInAndUnknownIdsAreEmpty)
{
    EXPECT_EQ(LoadResString(IDS_APP_TITLE), QStringLiteral("KAVRO Professional"));
    EXPECT_EQ(LoadResString(dialogTextId(IDD_ABOUTBOX, 0)), QStringLiteral("About KAVRO Professional"));
    EXPECT_TRUE(LoadResString(1).isNull());
}

TEST(BuiltInStrings, ACurrentTableWinsAndMissingIdsFallBackToEnglish)
{
    auto table = std::make_shared<StringTable>();
    (*table)[IDS_APP_TITLE] = QStringLiteral("Titel");
    EXPECT_EQ(exchangeStringTable(table), nullptr);
    EXPECT_EQ(LoadResString(IDS_APP_TITLE), QStringLiteral("Titel"));
    EXPECT_EQ(LoadResString(IDS_LANGUAGE_SWITCH_FAILED), englishResString(IDS_LANGUAGE_SWITCH_FAILED));
    EXPECT_FALSE(LoadResString(IDS_LANGUAGE_SWITCH_FAILED).isEmpty());
    EXPECT_EQ(exchangeStringTable(nullptr), table);
    EXPECT_EQ(LoadResString(IDS_APP_TITLE), QStringLiteral("KAVRO Professional"));
}

} // namespace
