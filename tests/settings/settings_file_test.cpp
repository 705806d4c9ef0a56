#include "support/settings_fixture.h"

#include <QDir>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

mode_t modeOf(const QString& path)
{
    struct stat st { };
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st.st_mode & 07777;
}

TEST_F(SettingsTest, FileTextHasTheDocumentedLayout)
{
    SettingsKey key;
    ASSERT_EQ(SettingsKey::create(SettingsRoot::CurrentUser,
                                  QStringLiteral("software\\Kavro\\Kavro Professional\\Options"), &key),
              S_OK);
    ASSERT_EQ(key.writeDword(QStringLiteral("ReplaySpeed"), 10), S_OK);
    ASSERT_EQ(key.writeString(QStringLiteral("Say"), QStringLiteral("a\"b\\c\nd")), S_OK);
    ASSERT_EQ(key.writeBinary(QStringLiteral("TraceColors"), QByteArray("\x2c\x00\xff", 3)), S_OK);
    ASSERT_EQ(key.writeString(QString(), QStringLiteral("")), S_OK);
    EXPECT_EQ(readAll(userFile()),
              QByteArray("[software]\n\n"
                         "[software\\Kavro]\n\n"
                         "[software\\Kavro\\Kavro Professional]\n\n"
                         "[software\\Kavro\\Kavro Professional\\Options]\n"
                         "\"ReplaySpeed\"=dword:0000000a\n"
                         "\"Say\"=\"a\\\"b\\\\c\\nd\"\n"
                         "\"TraceColors\"=hex:2c,00,ff\n"
                         "@=\"\"\n\n"));

    // The per-user folder is private; nothing but the file and its lock is left beside it.
    EXPECT_EQ(modeOf(userFolder), mode_t(0700));
    EXPECT_EQ(modeOf(userFile()), mode_t(0600));
    EXPECT_EQ(QDir(userFolder).entryList(QDir::Files | QDir::Hidden), (QStringList{"user.reg", "user.reg.lock"}));
}

TEST_F(SettingsTest, MalformedLinesAreSkippedAndTheRestReads)
{
    static const char raw[] = "\"orphan\"=dword:00000001\n" // before any section
                              "; a comment\r\n"
                              "[Kavro]\r\n"
                              "\"good\"=dword:0000002A\r\n"
                              "\"short\" = dword:7\n"
                              "\"toolong\"=dword:123456789\n"
                              "\"nothex\"=dword:0000000g\n"
                              "\"badescape\"=\"a\\qb\"\n"
                              "\"unterminated\"=\"abc\n"
                              "\"trailing\"=\"abc\" junk\n"
                              "\"badhex\"=hex:01,,02\n"
                              "\"bighex\"=hex:100\n"
                              "\"expand\"=hex(2):41,00\n"
                              "\"removed\"=-\n"
                              "\"noequals\" \"x\"\n"
                              "garbage \xff\xfe\x00 line\n"
                              "\"text\"=\"fine \\x41\"\n"
                              "\"bin\"=hex:DE, ad ,0\n"
                              "\"dup\"=dword:00000001\n"
                              "\"DUP\"=dword:00000002\n"
                              "[Kavro\\Broken\n"
                              "\"lost\"=dword:00000001\n"
                              "[kavro\\Sub]\n"
                              "@=\"default\"\n";
    const QByteArray text(raw, sizeof raw - 1);
    writeAll(userFile(), text);

    SettingsKey key;
    SettingsKey sub;
    ASSERT_EQ(SettingsKey::open(SettingsRoot::CurrentUser, QStringLiteral("Kavro"), &key), S_OK);
    QStringList names;
    ASSERT_EQ(key.valueNames(&names), S_OK);
    EXPECT_EQ(names, (QStringList{"good", "short", "text", "bin", "dup"}));
    uint32_t d = 0;
    EXPECT_EQ(key.readDword(QStringLiteral("good"), &d), S_OK);
    EXPECT_EQ(d, 42u);
    EXPECT_EQ(key.readDword(QStringLiteral("short"), &d), S_OK);
    EXPECT_EQ(d, 7u);
    EXPECT_EQ(key.readDword(QStringLiteral("dup"), &d), S_OK);
    EXPECT_EQ(d, 2u);
    QString s;
    EXPECT_EQ(key.readString(QStringLiteral("text"), &s), S_OK);
    EXPECT_EQ(s, QStringLiteral("fine A"));
    QByteArray b;
    EXPECT_EQ(key.readBinary(QStringLiteral("bin"), &b), S_OK);
    EXPECT_EQ(b, QByteArray("\xde\xad\x00", 3));
    EXPECT_EQ(key.subKeyNames(&names), S_OK);
    EXPECT_EQ(names, (QStringList{"Broken", "Sub"})) << "a header without its \"]\" still names its key";
    EXPECT_EQ(key.openSub(QStringLiteral("broken"), &sub), S_OK);
    EXPECT_EQ(sub.readDword(QStringLiteral("lost"), &d), S_OK);
    ASSERT_EQ(key.openSub(QStringLiteral("sub"), &sub), S_OK);
    EXPECT_EQ(sub.readString(QString(), &s), S_OK);
    EXPECT_EQ(s, QStringLiteral("default"));

    // Reading, and creating a key that exists, leave the file as it was.
    ASSERT_EQ(SettingsKey::create(SettingsRoot::CurrentUser, QStringLiteral("KAVRO\\SUB"), &sub), S_OK);
    EXPECT_EQ(readAll(userFile()), text);
}

TEST_F(SettingsTest, AWriteKeepsEveryLineItCouldNotRead)
{
    // The options under a header that lost its "]" (after the byte order mark of an editor),
    // beside lines that nothing can read.
    static const char raw[] = "\xef\xbb\xbf[software\\Kavro\\Kavro Professional\\Options\n"
                              "; noted by hand\n"
                              "\"ReplaySpeed\"=dword:00000032\n"
                              "\"Broken\"=dword:zz\n"
                              "[software\\Kavro\\Kavro Professional]\n"
                              "\"EventName\"=\"AR10\"\n"
                              "[bad\x01key]\n"
                              "\"hidden\"=dword:00000001\n"
                              "\xff\xfe not text\r\n";
    const QByteArray text(raw, sizeof raw - 1);
    writeAll(userFile(), text);
    const QString appPath = QStringLiteral("software\\Kavro\\Kavro Professional");
    SettingsKey app;
    ASSERT_EQ(SettingsKey::open(SettingsRoot::CurrentUser, appPath, &app), S_OK);
    // Two writes: the second must not double what the first kept.
    ASSERT_EQ(app.writeString(QStringLiteral("ShooterName"), QStringLiteral("Ann")), S_OK);
    ASSERT_EQ(app.writeString(QStringLiteral("ShooterName"), QStringLiteral("Bob")), S_OK);
    const QByteArray written = readAll(userFile());
    for (const QByteArray& line : text.split('\n')) {
        if (!line.isEmpty() && !line.contains("[software")) {
            EXPECT_EQ(written.count(line), 1) << line.toStdString();
        }
    }

    moveUserRootToCopy();
    SettingsKey options;
    ASSERT_EQ(SettingsKey::open(SettingsRoot::CurrentUser, appPath + QStringLiteral("\\Options"), &options), S_OK);
    uint32_t d = 0;
    EXPECT_EQ(options.readDword(QStringLiteral("ReplaySpeed"), &d), S_OK);
    EXPECT_EQ(d, 50u);
    ASSERT_EQ(SettingsKey::open(SettingsRoot::CurrentUser, appPath, &app), S_OK);
    QString s;
    EXPECT_EQ(app.readString(QStringLiteral("ShooterName"), &s), S_OK);
    EXPECT_EQ(s, QStringLiteral("Bob"));
    EXPECT_EQ(app.readString(QStringLiteral("EventName"), &s), S_OK);
    EXPECT_EQ(s, QStringLiteral("AR10"));
    QStringList names;
    EXPECT_EQ(app.valueNames(&names), S_OK);
    EXPECT_EQ(names, (QStringList{"EventName", "ShooterName"})) << "nothing below the unusable header is taken";
}

TEST_F(SettingsTest, UnreadableFileActsEmptyAndOutlivesAWrite)
{
    QByteArray noise;
    for (int i = 0; i < 4096; ++i)
        noise.append(char((i * 7919 + 13) & 0xFF));
    writeAll(userFile(), noise);

    SettingsKey key;
    ASSERT_EQ(SettingsKey::open(SettingsRoot::CurrentUser, QString(), &key), S_OK);
    QStringList names;
    ASSERT_EQ(key.subKeyNames(&names), S_OK);
    EXPECT_TRUE(names.isEmpty());
    EXPECT_EQ(SettingsKey::open(SettingsRoot::CurrentUser, QStringLiteral("Kavro"), &key), kNotFound);
    EXPECT_EQ(readAll(userFile()), noise);

    ASSERT_EQ(SettingsKey::create(SettingsRoot::CurrentUser, QStringLiteral("Kavro"), &key), S_OK);
    ASSERT_EQ(key.writeDword(QStringLiteral("v"), 1), S_OK);
    const QByteArray written = readAll(userFile());
    for (const QByteArray& line : noise.split('\n')) {
        if (!line.trimmed().isEmpty()) {
            EXPECT_TRUE(written.contains(line));
        }
    }
    moveUserRootToCopy();
    uint32_t v = 0;
    ASSERT_EQ(SettingsKey::open(SettingsRoot::CurrentUser, QStringLiteral("Kavro"), &key), S_OK);
    EXPECT_EQ(key.readDword(QStringLiteral("v"), &v), S_OK);
    EXPECT_EQ(v, 1u);
}

TEST_F(SettingsTest, EnvironmentChoosesTheFilesAtEachOpen)
{
    EXPECT_EQ(settingsFilePath(SettingsRoot::CurrentUser), userFile());
    EXPECT_EQ(settingsFilePath(SettingsRoot::LocalMachine), machineFile());

    const QByteArray savedHome = qgetenv("HOME");
    const QByteArray savedXdg = qgetenv("XDG_CONFIG_HOME");
    unsetenv("KAVRO_CONFIG_HOME");
    unsetenv("KAVRO_SYSTEM_CONFIG");
    setenv("XDG_CONFIG_HOME", QFile::encodeName(tempPath() + "/xdg").constData(), 1);
    EXPECT_EQ(settingsFilePath(SettingsRoot::CurrentUser), tempPath() + "/xdg/Kavro/user.reg");
    EXPECT_EQ(settingsFilePath(SettingsRoot::LocalMachine), QStringLiteral("/etc/xdg/Kavro/machine.reg"));

    SettingsKey key;
    ASSERT_EQ(SettingsKey::create(SettingsRoot::CurrentUser, QStringLiteral("Kavro"), &key), S_OK);
    EXPECT_TRUE(QFile::exists(tempPath() + "/xdg/Kavro/user.reg"));

    setenv("HOME", QFile::encodeName(tempPath() + "/home").constData(), 1);
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(settingsFilePath(SettingsRoot::CurrentUser), tempPath() + "/home/.config/Kavro/user.reg");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(settingsFilePath(SettingsRoot::CurrentUser), tempPath() + "/home/.config/Kavro/user.reg");
    EXPECT_EQ(SettingsKey::open(SettingsRoot::CurrentUser, QStringLiteral("Kavro"), &key), kNotFound);

    setenv("HOME", savedHome.constData(), 1);
    if (savedXdg.isNull())
        unsetenv("XDG_CONFIG_HOME");
    else
        setenv("XDG_CONFIG_HOME", savedXdg.constData(), 1);
}

// Write refusal is checked in a child that cannot write the folder (root gives up its rights).
TEST_F(SettingsTest, ReadOnlyMachineRootReadsButRefusesWrites)
{
    SettingsKey key;
    ASSERT_EQ(SettingsKey::create(SettingsRoot::LocalMachine, QStringLiteral("Software\\Kavro"), &key), S_OK);
    ASSERT_EQ(key.writeString(QStringLiteral("InstallDir2"), QStringLiteral("/data/catalog/")), S_OK);
    EXPECT_EQ(modeOf(machineFolder), mode_t(0755));
    EXPECT_EQ(modeOf(machineFile()), mode_t(0644));
    ASSERT_EQ(::chmod(QFile::encodeName(tempPath()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(machineFolder).constData(), 0555), 0);
    ASSERT_EQ(::unlink(QFile::encodeName(machineFile() + ".lock").constData()), 0);
    const QByteArray before = readAll(machineFile());

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(10);
        SettingsKey k;
        if (SettingsKey::open(SettingsRoot::LocalMachine, QStringLiteral("software\\kavro"), &k) != S_OK)
            _exit(11);
        QString dir;
        if (k.readString(QStringLiteral("installdir2"), &dir) != S_OK || dir != QStringLiteral("/data/catalog/"))
            _exit(12);
        if (k.writeString(QStringLiteral("InstallDir2"), QStringLiteral("/elsewhere/")) != E_ACCESSDENIED)
            _exit(13);
        if (SettingsKey::create(SettingsRoot::LocalMachine, QStringLiteral("Software\\New"), &k) != E_ACCESSDENIED)
            _exit(14);
        // Opening an existing key for writing needs no write.
        if (SettingsKey::create(SettingsRoot::LocalMachine, QStringLiteral("Software\\Kavro"), &k) != S_OK)
            _exit(15);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ::chmod(QFile::encodeName(machineFolder).constData(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readAll(machineFile()), before);
}

} // namespace
