#include "support/settings_fixture.h"

namespace {

const QString kAppKey = QStringLiteral("software\\Kavro\\Kavro Professional");

TEST_F(SettingsTest, EveryTypeSurvivesWriteAndFreshParse)
{
    SettingsKey key;
    ASSERT_EQ(SettingsKey::create(SettingsRoot::CurrentUser, kAppKey, &key), S_OK);

    const QString awkward = QStringLiteral("a \"quoted\" C:\\path\\ line1\nline2\r\ttab\x01 end ü€ \\n");
    const QByteArray zeros("\x00\x01\x00\xff\x80\x00", 6);
    ASSERT_EQ(key.writeDword(QStringLiteral("ReplaySpeed"), 100), S_OK);
    ASSERT_EQ(key.writeDword(QStringLiteral("Max"), 0xFFFFFFFFu), S_OK);
    ASSERT_EQ(key.writeDword(QStringLiteral("Zero"), 0), S_OK);
    ASSERT_EQ(key.writeString(QStringLiteral("Empty"), QString()), S_OK);
    ASSERT_EQ(key.writeString(QStringLiteral("Awkward"), awkward), S_OK);
    ASSERT_EQ(key.writeString(QStringLiteral("name \"with\" = \\ and\nnewline"), QStringLiteral("x")), S_OK);
    ASSERT_EQ(key.writeBinary(QStringLiteral("Zeros"), zeros), S_OK);
    ASSERT_EQ(key.writeBinary(QStringLiteral("NoBytes"), QByteArray()), S_OK);
    ASSERT_EQ(key.writeString(QString(), QStringLiteral("default")), S_OK);

    moveUserRootToCopy();
    SettingsKey again;
    ASSERT_EQ(SettingsKey::open(SettingsRoot::CurrentUser, kAppKey, &again), S_OK);
    uint32_t d = 1;
    EXPECT_EQ(again.readDword(QStringLiteral("ReplaySpeed"), &d), S_OK);
    EXPECT_EQ(d, 100u);
    EXPECT_EQ(again.readDword(QStringLiteral("Max"), &d), S_OK);
    EXPECT_EQ(d, 0xFFFFFFFFu);
    EXPECT_EQ(again.readDword(QStringLiteral("Zero"), &d), S_OK);
    EXPECT_EQ(d, 0u);
    QString s;
    EXPECT_EQ(again.readString(QStringLiteral("Empty"), &s), S_OK);
    EXPECT_TRUE(s.isEmpty());
    EXPECT_FALSE(s.isNull());
    EXPECT_EQ(again.readString(QStringLiteral("Awkward"), &s), S_OK);
    EXPECT_EQ(s, awkward);
    EXPECT_EQ(again.readString(QStringLiteral("name \"with\" = \\ and\nnewline"), &s), S_OK);
    EXPECT_EQ(s, QStringLiteral("x"));
    EXPECT_EQ(again.readString(QString(), &s), S_OK);
    EXPECT_EQ(s, QStringLiteral("default"));
    QByteArray b("junk");
    EXPECT_EQ(again.readBinary(QStringLiteral("Zeros"), &b), S_OK);
    EXPECT_EQ(b, zeros);
    EXPECT_EQ(again.readBinary(QStringLiteral("NoBytes"), &b), S_OK);
    EXPECT_TRUE(b.isEmpty());

    QStringList names;
    ASSERT_EQ(again.valueNames(&names), S_OK);
    EXPECT_EQ(names,
              (QStringList{"ReplaySpeed", "Max", "Zero", "Empty", "Awkward", "name \"with\" = \\ and\nnewline", "Zeros",
                           "NoBytes", ""}));
}

TEST_F(SettingsTest, ReadReportsTheStoredType)
{
    SettingsKey key;
    ASSERT_EQ(SettingsKey::create(SettingsRoot::CurrentUser, QStringLiteral("Options"), &key), S_OK);
    ASSERT_EQ(key.writeDword(QStringLiteral("d"), 7), S_OK);
    ASSERT_EQ(key.writeString(QStringLiteral("s"), QStringLiteral("7")), S_OK);
    ASSERT_EQ(key.writeBinary(QStringLiteral("b"), QByteArray("\x07", 1)), S_OK);

    SettingsValue v;
    ASSERT_EQ(key.queryValue(QStringLiteral("d"), &v), S_OK);
    EXPECT_EQ(v.type, REG_DWORD);
    EXPECT_EQ(v.dword, 7u);
    ASSERT_EQ(key.queryValue(QStringLiteral("s"), &v), S_OK);
    EXPECT_EQ(v.type, REG_SZ);
    EXPECT_EQ(v.string, QStringLiteral("7"));
    ASSERT_EQ(key.queryValue(QStringLiteral("b"), &v), S_OK);
    EXPECT_EQ(v.type, REG_BINARY);
    EXPECT_EQ(v.binary, QByteArray("\x07", 1));

    // A typed read of another type fails and leaves the output alone.
    uint32_t d = 99;
    EXPECT_EQ(key.readDword(QStringLiteral("s"), &d), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(d, 99u);
    QString s = QStringLiteral("kept");
    EXPECT_EQ(key.readString(QStringLiteral("b"), &s), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(s, QStringLiteral("kept"));
    QByteArray b;
    EXPECT_EQ(key.readBinary(QStringLiteral("d"), &b), DISP_E_TYPEMISMATCH);

    // Writing another type replaces the value, type and all.
    ASSERT_EQ(key.writeString(QStringLiteral("d"), QStringLiteral("now text")), S_OK);
    ASSERT_EQ(key.queryValue(QStringLiteral("d"), &v), S_OK);
    EXPECT_EQ(v.type, REG_SZ);
    EXPECT_EQ(key.setValue(QStringLiteral("x"), SettingsValue()), E_INVALIDARG);
}

TEST_F(SettingsTest, KeyAndValueNamesAreCaseInsensitiveAndKeepTheirCase)
{
    SettingsKey key;
    ASSERT_EQ(SettingsKey::create(SettingsRoot::CurrentUser, kAppKey, &key), S_OK);
    ASSERT_EQ(key.writeDword(QStringLiteral("SoundEnabled"), 1), S_OK);

    SettingsKey other;
    ASSERT_EQ(
        SettingsKey::open(SettingsRoot::CurrentUser, QStringLiteral("SOFTWARE\\kavro\\KAVRO PROFESSIONAL"), &other),
        S_OK);
    uint32_t d = 0;
    EXPECT_EQ(other.readDword(QStringLiteral("soundenabled"), &d), S_OK);
    EXPECT_EQ(d, 1u);
    // Rewriting under another spelling changes the one value, keeping its first spelling.
    ASSERT_EQ(other.writeDword(QStringLiteral("SOUNDENABLED"), 0), S_OK);
    ASSERT_EQ(SettingsKey::create(SettingsRoot::CurrentUser, QStringLiteral("SOFTWARE\\KAVRO"), &other), S_OK);

    QStringList names;
    ASSERT_EQ(key.valueNames(&names), S_OK);
    EXPECT_EQ(names, QStringList{QStringLiteral("SoundEnabled")});
    EXPECT_EQ(key.readDword(QStringLiteral("SoundEnabled"), &d), S_OK);
    EXPECT_EQ(d, 0u);
    SettingsKey root;
    ASSERT_EQ(SettingsKey::open(SettingsRoot::CurrentUser, QString(), &root), S_OK);
    ASSERT_EQ(root.subKeyNames(&names), S_OK);
    EXPECT_EQ(names, QStringList{QStringLiteral("software")});
    EXPECT_TRUE(
        readAll(userFile()).contains("[software\\Kavro\\Kavro Professional]\n\"SoundEnabled\"=dword:00000000\n"));
}

TEST_F(SettingsTest, MissingKeysAndValuesAreReported)
{
    SettingsKey key;
    EXPECT_EQ(SettingsKey::open(SettingsRoot::CurrentUser, kAppKey, &key), kNotFound);
    EXPECT_FALSE(key.isValid());
    EXPECT_FALSE(QFile::exists(userFile())); // a failed open writes nothing

    ASSERT_EQ(SettingsKey::create(SettingsRoot::CurrentUser, kAppKey, &key), S_OK);
    EXPECT_TRUE(key.isValid());
    SettingsKey sub;
    EXPECT_EQ(key.openSub(QStringLiteral("Options"), &sub), kNotFound);
    uint32_t d = 5;
    EXPECT_EQ(key.readDword(QStringLiteral("nothing"), &d), kNotFound);
    EXPECT_EQ(d, 5u);
    EXPECT_EQ(key.deleteValue(QStringLiteral("nothing")), kNotFound);
    EXPECT_EQ(key.deleteSubKey(QStringLiteral("nothing")), kNotFound);
    EXPECT_EQ(key.readDword(QStringLiteral("x"), nullptr), E_POINTER);
    EXPECT_EQ(SettingsKey::open(SettingsRoot::CurrentUser, kAppKey, nullptr), E_POINTER);

    SettingsKey unopened;
    EXPECT_EQ(unopened.writeDword(QStringLiteral("x"), 1), E_HANDLE);
    EXPECT_EQ(unopened.readDword(QStringLiteral("x"), &d), E_HANDLE);
    EXPECT_EQ(unopened.openSub(QStringLiteral("x"), &sub), E_HANDLE);

    EXPECT_EQ(SettingsKey::create(SettingsRoot::CurrentUser, QStringLiteral("bad\nname"), &key), E_INVALIDARG);
}

TEST_F(SettingsTest, DeletedValueIsGone)
{
    SettingsKey key;
    ASSERT_EQ(SettingsKey::create(SettingsRoot::CurrentUser, QStringLiteral("k"), &key), S_OK);
    ASSERT_EQ(key.writeDword(QStringLiteral("a"), 1), S_OK);
    ASSERT_EQ(key.writeDword(QStringLiteral("b"), 2), S_OK);
    ASSERT_EQ(key.deleteValue(QStringLiteral("A")), S_OK);
    uint32_t d = 0;
    EXPECT_EQ(key.readDword(QStringLiteral("a"), &d), kNotFound);
    EXPECT_EQ(key.readDword(QStringLiteral("b"), &d), S_OK);
    EXPECT_FALSE(readAll(userFile()).contains("\"a\""));
}

} // namespace
