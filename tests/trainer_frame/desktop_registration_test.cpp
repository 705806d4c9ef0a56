#include "desktop_registration.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class DesktopRegistration : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("XDG_DATA_HOME", dir.path().toUtf8());
        qputenv("KAVRO_CONFIG_HOME", dir.path().toUtf8());
    }
    void TearDown() override { qunsetenv("XDG_DATA_HOME"); }
    QString file(const QString& relative) const { return dir.path() + QLatin1Char('/') + relative; }
    QTemporaryDir dir;
};

TEST_F(DesktopRegistration, RegisterWritesTheEntryMimeTypeAndIconsAndIsIdempotent)
{
    const QString program = QStringLiteral("/opt/Kavro Pro/bin/kavropro");
    ASSERT_TRUE(RegisterWithDesktop(program).ok);
    const QByteArray entry = readAll(file(QStringLiteral("applications/kavropro.desktop")));
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(entry.contains("\nExec=\"/opt/Kavro Pro/bin/kavropro\" %f\n")) << entry.constData();
    EXPECT_TRUE(entry.contains("\nMimeType=application/x-kavro;\n"));
    EXPECT_TRUE(entry.contains("\nIcon=kavropro\n"));
    const QByteArray mime = readAll(file(QStringLiteral("mime/packages/kavropro.xml")));
    EXPECT_TRUE(mime.contains("<mime-type type=\"application/x-kavro\">"));
    EXPECT_TRUE(mime.contains("<glob pattern=\"*.kavro\"/>"));
    EXPECT_TRUE(readAll(file(QStringLiteral("icons/hicolor/scalable/apps/kavropro.svg"))).contains("<svg"));
    EXPECT_TRUE(
        readAll(file(QStringLiteral("icons/hicolor/scalable/mimetypes/application-x-kavro.svg"))).contains("<svg"));

    ASSERT_TRUE(RegisterWithDesktop(program).ok);
    EXPECT_EQ(readAll(file(QStringLiteral("applications/kavropro.desktop"))), entry);
}

// The desktop's own tools read what we register: the entry validates, and the MIME database
// built from our package knows a practice as a compound file.
TEST_F(DesktopRegistration, TheDesktopToolsAcceptTheEntryAndTheMimePackage)
{
    const QString validate = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    const QString updateMime = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
    if (validate.isEmpty() || updateMime.isEmpty())
        GTEST_SKIP() << "desktop-file-utils or shared-mime-info is not installed";
    ASSERT_TRUE(RegisterWithDesktop(QStringLiteral("/opt/Kavro Pro/bin/kavropro")).ok);
    QProcess p;
    p.start(validate, {file(QStringLiteral("applications/kavropro.desktop"))});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardOutput().constData();
    EXPECT_EQ(p.readAllStandardOutput(), QByteArray());

    // Only our package, in a folder of its own, so the system's types play no part.
    QTemporaryDir mime;
    ASSERT_TRUE(QDir().mkpath(mime.filePath(QStringLiteral("packages"))));
    ASSERT_TRUE(QFile::copy(file(QStringLiteral("mime/packages/kavropro.xml")),
                            mime.filePath(QStringLiteral("packages/kavropro.xml"))));
    p.start(updateMime, {mime.path()});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    EXPECT_TRUE(readAll(mime.filePath(QStringLiteral("subclasses")))
                    .contains("application/x-kavro application/x-ole-storage\n"));
    EXPECT_TRUE(readAll(mime.filePath(QStringLiteral("globs2"))).contains(":application/x-kavro:*.kavro"));
}

TEST_F(DesktopRegistration, UnregisterRemovesOnlyOurFilesAndMayRunTwice)
{
    ASSERT_TRUE(RegisterWithDesktop(QStringLiteral("/usr/bin/kavropro")).ok);
    QDir().mkpath(file(QStringLiteral("applications")));
    QFile other(file(QStringLiteral("applications/other.desktop")));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    ASSERT_TRUE(UnregisterFromDesktop().ok);
    for (const QString& relative : desktopRegistrationFiles())
        EXPECT_FALSE(QFile::exists(file(relative))) << relative.toStdString();
    EXPECT_TRUE(QFile::exists(file(QStringLiteral("applications/other.desktop"))));
    EXPECT_TRUE(UnregisterFromDesktop().ok);
}

TEST_F(DesktopRegistration, ARelativeDataHomeIsIgnored)
{
    qputenv("XDG_DATA_HOME", "relative/share");
    EXPECT_EQ(desktopDataHome(), QDir::homePath() + QStringLiteral("/.local/share"));
}

TEST(DesktopExec, QuotingFollowsTheDesktopEntryRules)
{
    EXPECT_EQ(quoteDesktopExecArgument(QStringLiteral("/usr/bin/kavropro")), QStringLiteral("/usr/bin/kavropro"));
    EXPECT_EQ(quoteDesktopExecArgument(QStringLiteral("/a b/k")), QStringLiteral("\"/a b/k\""));
    EXPECT_EQ(quoteDesktopExecArgument(QStringLiteral("/a$b\"c/k")), QStringLiteral("\"/a\\$b\\\"c/k\""));
    EXPECT_EQ(quoteDesktopExecArgument(QStringLiteral("/100%/k")), QStringLiteral("/100%%/k"));
}

// The program itself: a switch typed in capitals registers and exits, and needs no display.
TEST_F(DesktopRegistration, TheProgramRegistersWithoutAWindow)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
    env.insert(QStringLiteral("KAVRO_CONFIG_HOME"), dir.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")); // fails if a window were made
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KAVRO_PROGRAM), {QStringLiteral("/REGSERVER")});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    EXPECT_TRUE(QFile::exists(file(QStringLiteral("applications/kavropro.desktop"))));
    EXPECT_TRUE(
        readAll(file(QStringLiteral("applications/kavropro.desktop"))).contains(QByteArray("Exec=") + KAVRO_PROGRAM));

    p.start(QStringLiteral(KAVRO_PROGRAM), {QStringLiteral("-unregserver")});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("applications/kavropro.desktop"))));

    p.start(QStringLiteral(KAVRO_PROGRAM), {QStringLiteral("-Embedding")});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(p.readAllStandardError().count('\n'), 1);
}

} // namespace
