#include "frame_layout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(FrameLayoutRect, AWindowFromAScreenThatIsGoneComesBack)
{
    const QList<QRect> screens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    EXPECT_EQ(clampToScreens(QRect(100, 100, 800, 600), screens), QRect(100, 100, 800, 600));
    EXPECT_EQ(clampToScreens(QRect(5000, 3000, 800, 600), screens), QRect(1120, 480, 800, 600));
    EXPECT_EQ(clampToScreens(QRect(3000, 100, 800, 600), screens), QRect(2400, 100, 800, 600));
    EXPECT_EQ(clampToScreens(QRect(-50, -50, 4000, 3000), screens), QRect(0, 0, 1920, 1080));
}

TEST(FrameLayoutRect, AFirstStartOpensALargeWindowOnTheScreen)
{
    EXPECT_EQ(defaultFrameRect(QRect(0, 0, 1600, 1000)), QRect(200, 125, 1200, 750));
    EXPECT_EQ(defaultFrameRect(QRect(1920, 30, 1920, 1050)), QRect(2160, 161, 1440, 787));
    // A small screen: the readable minimum wins over three quarters, but never exceeds the screen.
    EXPECT_EQ(defaultFrameRect(QRect(0, 0, 1280, 800)), QRect(128, 50, 1024, 700));
    EXPECT_EQ(defaultFrameRect(QRect(0, 0, 800, 600)), QRect(0, 0, 800, 600));
}

class FrameLayoutStore : public ::testing::Test {
protected:
    void SetUp() override { qputenv("KAVRO_CONFIG_HOME", dir.path().toUtf8()); }
    SettingsKey root()
    {
        SettingsKey k;
        SettingsKey::create(SettingsRoot::CurrentUser, QStringLiteral("software\\Kavro\\Kavro Professional"), &k);
        return k;
    }
    QTemporaryDir dir;
};

TEST_F(FrameLayoutStore, RoundTrip)
{
    FrameLayout l;
    l.zoomed = true;
    l.windowRect = QRect(30, 40, 900, 700);
    l.toolBar = false;
    l.statusBar = false;
    l.splitterPos = 321;
    l.barState = QByteArray("\x00\x01state", 7);
    saveFrameLayout(root(), l);
    const FrameLayout back = loadFrameLayout(root());
    EXPECT_TRUE(back.zoomed);
    EXPECT_EQ(back.windowRect, l.windowRect);
    EXPECT_FALSE(back.toolBar);
    EXPECT_FALSE(back.statusBar);
    EXPECT_EQ(back.splitterPos, 321);
    EXPECT_EQ(back.barState, l.barState);
}

TEST_F(FrameLayoutStore, HostileValuesGiveDefaults)
{
    root().writeBinary(QStringLiteral("WindowRect"), QByteArray(15, 'x'));
    root().writeDword(QStringLiteral("SplitterPos"), 0xFFFFFFFFu);
    root().writeString(QStringLiteral("ToolBar"), QStringLiteral("no"));
    const FrameLayout l = loadFrameLayout(root());
    EXPECT_FALSE(l.windowRect);
    EXPECT_EQ(l.splitterPos, 250);
    EXPECT_TRUE(l.toolBar);
}

TEST_F(FrameLayoutStore, AnUnreadableSettingsFileGivesDefaults)
{
    QFile f(dir.path() + QStringLiteral("/user.reg"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    static const char garbage[] = "\xff\xfe garbage [[[ \"unterminated\n=\x01\x02";
    f.write(garbage, sizeof garbage - 1);
    f.close();
    const FrameLayout l = loadFrameLayout(root());
    EXPECT_FALSE(l.zoomed);
    EXPECT_FALSE(l.windowRect);
    EXPECT_EQ(l.splitterPos, 250);
    EXPECT_TRUE(l.statusBar);
}

} // namespace
