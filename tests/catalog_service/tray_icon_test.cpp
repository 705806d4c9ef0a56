// The tray icon's pictures and its state, on a desktop without a tray (offscreen).
#include "tray_icon.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

using namespace kavro::catalog;

namespace {

QImage picture(TrayState state)
{
    return trayStateIcon(state).pixmap(32, 32).toImage();
}

TEST(TrayIconTest, EachStateHasAPictureOfItsOwnAndNoTrayMeansNoIcon)
{
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    const QImage idle = picture(TrayState::Idle), scanning = picture(TrayState::Scanning),
                 change = picture(TrayState::ChangeSeen);
    ASSERT_FALSE(idle.isNull());
    EXPECT_NE(idle, scanning);
    EXPECT_NE(idle, change);
    EXPECT_NE(scanning, change);
    // Drawn, not empty: the target's black centre is there.
    EXPECT_EQ(idle.pixelColor(16, 16), QColor(Qt::black));
    EXPECT_EQ(idle.pixelColor(0, 0).alpha(), 0);
    // For review, not compared.
    QDir().mkpath(QStringLiteral(KAVRO_BIN_DIR "/../screens"));
    idle.save(QStringLiteral(KAVRO_BIN_DIR "/../screens/kavrocls-idle.png"));
    scanning.save(QStringLiteral(KAVRO_BIN_DIR "/../screens/kavrocls-scanning.png"));
    change.save(QStringLiteral(KAVRO_BIN_DIR "/../screens/kavrocls-change.png"));

    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    TrayIcon tray(QStringLiteral("/tmp/"));
    tray.postStatus(TrayState::Scanning, 3); // queued; harmless without a tray
    QCoreApplication::processEvents();
    EXPECT_TRUE(tray.findChildren<QSystemTrayIcon*>().isEmpty());
}

} // namespace
