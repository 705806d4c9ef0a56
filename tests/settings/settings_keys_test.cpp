#include "support/settings_fixture.h"

namespace {

QStringList subKeys(const SettingsKey& key)
{
    QStringList names;
    EXPECT_EQ(key.subKeyNames(&names), S_OK);
    return names;
}

TEST_F(SettingsTest, SubKeysAreCreatedAlongThePathAndListedInNameOrder)
{
    SettingsKey root;
    ASSERT_EQ(SettingsKey::create(SettingsRoot::CurrentUser, QStringLiteral("\\Kavro\\\\"), &root), S_OK);
    EXPECT_EQ(root.path(), QStringLiteral("Kavro"));
    SettingsKey leaf;
    ASSERT_EQ(root.createSub(QStringLiteral("zeta\\deep\\er"), &leaf), S_OK);
    EXPECT_EQ(leaf.path(), QStringLiteral("Kavro\\zeta\\deep\\er"));
    SettingsKey k;
    ASSERT_EQ(root.createSub(QStringLiteral("Alpha"), &k), S_OK);
    ASSERT_EQ(root.createSub(QStringLiteral("beta"), &k), S_OK);

    // Empty keys persist through the file.
    moveUserRootToCopy();
    ASSERT_EQ(SettingsKey::open(SettingsRoot::CurrentUser, QStringLiteral("kavro"), &root), S_OK);
    EXPECT_EQ(subKeys(root), (QStringList{"Alpha", "beta", "zeta"}));
    EXPECT_EQ(root.openSub(QStringLiteral("ZETA\\Deep"), &k), S_OK);
    EXPECT_EQ(subKeys(k), QStringList{QStringLiteral("er")});
    EXPECT_TRUE(subKeys(leaf).isEmpty());
}

TEST_F(SettingsTest, DeleteSubKeyRefusesKeysWithChildrenAndDeleteTreeRemovesAll)
{
    SettingsKey root;
    ASSERT_EQ(SettingsKey::create(SettingsRoot::CurrentUser, QStringLiteral("Kavro"), &root), S_OK);
    SettingsKey cal;
    ASSERT_EQ(root.createSub(QStringLiteral("Calibration\\Sensor1"), &cal), S_OK);
    ASSERT_EQ(cal.writeString(QStringLiteral("scale"), QStringLiteral("1.000000")), S_OK);
    SettingsKey keep;
    ASSERT_EQ(root.createSub(QStringLiteral("Options"), &keep), S_OK);
    ASSERT_EQ(keep.writeDword(QStringLiteral("FiringPoint"), 3), S_OK);

    EXPECT_EQ(root.deleteSubKey(QStringLiteral("Calibration")), E_ACCESSDENIED);
    EXPECT_EQ(root.deleteSubKey(QString()), E_INVALIDARG);
    ASSERT_EQ(root.deleteTree(QStringLiteral("CALIBRATION")), S_OK);
    EXPECT_EQ(subKeys(root), QStringList{QStringLiteral("Options")});

    // A handle to a deleted key neither reads nor brings the key back by writing.
    QString s;
    EXPECT_EQ(cal.readString(QStringLiteral("scale"), &s), kNotFound);
    EXPECT_EQ(cal.writeString(QStringLiteral("scale"), QStringLiteral("0")), kNotFound);
    SettingsKey again;
    EXPECT_EQ(cal.createSub(QStringLiteral("x"), &again), kNotFound);
    EXPECT_EQ(root.openSub(QStringLiteral("Calibration"), &again), kNotFound);
    EXPECT_FALSE(readAll(userFile()).contains("Calibration"));

    ASSERT_EQ(root.createSub(QStringLiteral("Empty"), &again), S_OK);
    ASSERT_EQ(root.deleteSubKey(QStringLiteral("empty")), S_OK);
    EXPECT_EQ(subKeys(root), QStringList{QStringLiteral("Options")});
    uint32_t d = 0;
    EXPECT_EQ(keep.readDword(QStringLiteral("FiringPoint"), &d), S_OK);
    EXPECT_EQ(d, 3u);

    // With no path, deleteTree empties the key but keeps it.
    ASSERT_EQ(root.writeDword(QStringLiteral("v"), 1), S_OK);
    ASSERT_EQ(root.deleteTree(QString()), S_OK);
    EXPECT_TRUE(subKeys(root).isEmpty());
    QStringList values;
    EXPECT_EQ(root.valueNames(&values), S_OK);
    EXPECT_TRUE(values.isEmpty());
    EXPECT_EQ(SettingsKey::open(SettingsRoot::CurrentUser, QStringLiteral("Kavro"), &again), S_OK);
}

TEST_F(SettingsTest, RootsAreSeparateFiles)
{
    SettingsKey machine;
    ASSERT_EQ(SettingsKey::create(SettingsRoot::LocalMachine, QStringLiteral("Software\\Kavro"), &machine), S_OK);
    ASSERT_EQ(machine.writeString(QStringLiteral("InstallDir2"), QStringLiteral("/srv/Kavro catalog/")), S_OK);
    SettingsKey user;
    EXPECT_EQ(SettingsKey::open(SettingsRoot::CurrentUser, QStringLiteral("Software\\Kavro"), &user), kNotFound);
    EXPECT_EQ(readAll(machineFile()),
              QByteArray("[Software]\n\n[Software\\Kavro]\n\"InstallDir2\"=\"/srv/Kavro catalog/\"\n\n"));
    EXPECT_EQ(machine.root(), SettingsRoot::LocalMachine);
}

} // namespace
