#include "live/live_path.h"
#include "live/live_wire.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kavro::live;

TEST(LiveWire, BreachAndResultAsTheListenerReadsThem)
{
    // -12.35 mm is -247 in 1/20 mm (0xFF09 in the low half), 7.5 mm is 150 in the high half.
    EXPECT_EQ(packPoint(-12.35, 7.5), 0x0096FF09u);
    EXPECT_EQ(packPoint(-12.35, 7.5), 9895689u);
    EXPECT_EQ(shotResultParam(10.4f), 104);
    EXPECT_EQ(shotResultParam(0.0), 0);
    EXPECT_EQ(formatLine(Message::Shot, 104, 9895689), QByteArray("KAVRO:SHOT 104 9895689\n"));
    EXPECT_EQ(formatLine(Message::State, 5, 0), QByteArray("KAVRO:STATE 5 0\n"));
    EXPECT_EQ(formatLine(Message::Trigger, -3, 0), QByteArray("KAVRO:TRIGGER -3 0\n"));
    EXPECT_EQ(formatLine(Message::HeartBeat, 0, 0), QByteArray("KAVRO:HEARTBEAT 0 0\n"));
}

TEST(LiveWire, HalvesRoundToEvenAfterTheFloatStep)
{
    // 0.025 mm x 20 = 0.5 -> 0; 0.075 x 20 = 1.5 -> 2.
    EXPECT_EQ(wireCoordinate(0.025), 0);
    EXPECT_EQ(wireCoordinate(0.075), 2);
    EXPECT_EQ(wireCoordinate(-0.075), -2);
}

TEST(LiveWire, PointsFarOffTheTargetSaturateInsteadOfWrapping)
{
    EXPECT_EQ(wireCoordinate(5000.0), 32767);
    EXPECT_EQ(wireCoordinate(-5000.0), -32768);
    EXPECT_EQ(wireCoordinate(std::nan("")), 0);
    EXPECT_EQ(packPoint(5000.0, -5000.0), 0x80007FFFu);
    EXPECT_EQ(shotResultParam(1e30), INT32_MAX);
}

TEST(LiveWire, RegistrationLines)
{
    EXPECT_EQ(parseRegister("KAVRO:REGISTER 3"), 3);
    EXPECT_EQ(parseRegister("KAVRO:REGISTER 0"), 0);
    EXPECT_EQ(parseRegister("KAVRO:REGISTER -7"), -7);
    EXPECT_FALSE(parseRegister("KAVRO:REGISTER"));
    EXPECT_FALSE(parseRegister("KAVRO:REGISTER "));
    EXPECT_FALSE(parseRegister("KAVRO:REGISTER 3x"));
    EXPECT_FALSE(parseRegister("KAVRO:REGISTER 1 2"));
    EXPECT_FALSE(parseRegister("KAVRO:REGISTER 99999999999"));
    EXPECT_FALSE(parseRegister("kavro:register 3"));
    EXPECT_EQ(registeredLine(3), QByteArray("KAVRO:REGISTERED 3\n"));
    EXPECT_TRUE(wantsMessage(1, Message::Shot));
    EXPECT_FALSE(wantsMessage(1, Message::Point));
    EXPECT_FALSE(wantsMessage(7, Message::Trigger));
    EXPECT_TRUE(wantsMessage(3, Message::Trigger));
    EXPECT_FALSE(wantsMessage(0, Message::State));
}

TEST(LivePath, EnvironmentThenRuntimeFolderThenPrivateFallback)
{
    QTemporaryDir dir;
    QString path;
    ASSERT_EQ(resolveSocketPath("/x/sock", "/run/user/1", dir.path() + "/f", &path), S_OK);
    EXPECT_EQ(path, QString("/x/sock"));
    ASSERT_EQ(resolveSocketPath({}, "/run/user/1", dir.path() + "/f", &path), S_OK);
    EXPECT_EQ(path, QString("/run/user/1/kavro-live"));
    // A relative runtime folder is not trusted.
    ASSERT_EQ(resolveSocketPath({}, "run", dir.path() + "/f", &path), S_OK);
    EXPECT_EQ(path, dir.path() + "/f/kavro-live");
    struct stat st { };
    ASSERT_EQ(::stat(QFile::encodeName(dir.path() + "/f").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(LivePath, AFallbackFolderOthersCouldEnterOrALinkIsRefused)
{
    QTemporaryDir dir;
    const QString wide = dir.path() + "/wide";
    ASSERT_TRUE(QDir().mkdir(wide));
    ASSERT_EQ(::chmod(QFile::encodeName(wide).constData(), 0755), 0);
    QString path = "unchanged";
    EXPECT_EQ(resolveSocketPath({}, {}, wide, &path), E_ACCESSDENIED);
    EXPECT_EQ(path, QString("unchanged"));

    // A link planted by someone else to a folder of theirs.
    const QString target = dir.path() + "/target";
    ASSERT_TRUE(QDir().mkdir(target));
    ::chmod(QFile::encodeName(target).constData(), 0700);
    ASSERT_TRUE(QFile::link(target, dir.path() + "/link"));
    EXPECT_EQ(resolveSocketPath({}, {}, dir.path() + "/link", &path), E_ACCESSDENIED);
}
