#include "command_line.h"

#include <gtest/gtest.h>

namespace {

CommandLine parse(std::initializer_list<const char*> args)
{
    QStringList l;
    for (const char* a : args)
        l.append(QString::fromUtf8(a));
    return ParseCommandLine(l);
}

TEST(CommandLine, NothingGivenDoesNothing)
{
    const CommandLine cl = parse({});
    EXPECT_EQ(cl.action, CommandLine::Nothing);
    EXPECT_FALSE(cl.automation);
}

TEST(CommandLine, AnAbsolutePathIsAFileAndAKnownSlashNameIsASwitch)
{
    CommandLine cl = parse({"/home/x.kavro"});
    EXPECT_EQ(cl.action, CommandLine::OpenFile);
    EXPECT_EQ(cl.fileName, QStringLiteral("/home/x.kavro"));

    cl = parse({"/Regserver"});
    EXPECT_EQ(cl.action, CommandLine::Register);
    EXPECT_TRUE(cl.fileName.isEmpty());

    // A file that happens to be named like a switch needs a path that does not look like one.
    cl = parse({"/n"});
    EXPECT_EQ(cl.action, CommandLine::NewPractice);
    cl = parse({"/nx"});
    EXPECT_EQ(cl.action, CommandLine::OpenFile);
    EXPECT_EQ(cl.fileName, QStringLiteral("/nx"));
}

TEST(CommandLine, SwitchNamesIgnoreCase)
{
    EXPECT_EQ(parse({"-REGSERVER"}).action, CommandLine::Register);
    EXPECT_EQ(parse({"/REGISTER"}).action, CommandLine::Register);
    EXPECT_EQ(parse({"-unRegServer"}).action, CommandLine::Unregister);
    EXPECT_EQ(parse({"/Unregister"}).action, CommandLine::Unregister);
    EXPECT_EQ(parse({"-N"}).action, CommandLine::NewPractice);
    EXPECT_EQ(parse({"-newpractice"}).action, CommandLine::NewPractice);
    EXPECT_TRUE(parse({"-embedding"}).automation);
    EXPECT_TRUE(parse({"/Automation"}).automation);
}

TEST(CommandLine, UnknownSwitchesAreIgnoredAndTheFileStillOpens)
{
    const CommandLine cl = parse({"--verbose", "practice.kavro", "-x"});
    EXPECT_EQ(cl.action, CommandLine::OpenFile);
    EXPECT_EQ(cl.fileName, QStringLiteral("practice.kavro"));
}

TEST(CommandLine, OnlyTheFirstFileCounts)
{
    const CommandLine cl = parse({"a.kavro", "b.kavro"});
    EXPECT_EQ(cl.fileName, QStringLiteral("a.kavro"));
}

TEST(CommandLine, ANewPracticeTakesTwoHints)
{
    CommandLine cl = parse({"-n", "AR10", "Anna", "extra"});
    EXPECT_EQ(cl.action, CommandLine::NewPractice);
    EXPECT_EQ(cl.practiceHint1, QStringLiteral("AR10"));
    EXPECT_EQ(cl.practiceHint2, QStringLiteral("Anna"));
    EXPECT_TRUE(cl.fileName.isEmpty());

    // Arguments before the switch were file names at the time they were read.
    cl = parse({"a.kavro", "-n", "AR10"});
    EXPECT_EQ(cl.action, CommandLine::NewPractice);
    EXPECT_EQ(cl.fileName, QStringLiteral("a.kavro"));
    EXPECT_EQ(cl.practiceHint1, QStringLiteral("AR10"));
}

TEST(CommandLine, TheLastActionSwitchWins)
{
    EXPECT_EQ(parse({"-Register", "-Unregister"}).action, CommandLine::Unregister);
    const CommandLine cl = parse({"-Embedding", "file.kavro"});
    EXPECT_TRUE(cl.automation);
    EXPECT_EQ(cl.action, CommandLine::OpenFile);
}

TEST(CommandLine, ALoneDashIsAnIgnoredSwitch)
{
    EXPECT_EQ(parse({"-"}).action, CommandLine::Nothing);
    EXPECT_EQ(parse({"/"}).action, CommandLine::OpenFile); // the root folder: a path
}

} // namespace
