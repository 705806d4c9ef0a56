#include "about_dialog.h"
#include "app_registry.h"
#include "support/settings_fixture.h"
#include "help.h"
#include "language_module.h"
#include "res_strings.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <thread>

using namespace kavro;

namespace {

constexpr int kGerman = 1031;
constexpr int kArabic = 1025;

// Stands in for the desktop's browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

// Each test starts in English with the language tables and help pages of a temporary folder.
class LanguageTest : public SettingsTest {
protected:
    void SetUp() override
    {
        SettingsTest::SetUp();
        savedLocale_ = QLocale();
        module().setLanguageFolder(tempPath() + QStringLiteral("/lang"));
        module().setHelpRoot(tempPath() + QStringLiteral("/help"));
        writeAll(tempPath() + QStringLiteral("/lang/kavrodeu.strings"),
                 "# German\n128\tKAVRO Professional DE\n61300\tSprachwechsel fehlgeschlagen.\n");
        writeAll(tempPath() + QStringLiteral("/lang/kavroara.strings"), "128\tKAVRO AR\n");
        startWith(kEnglishLangId);
    }
    void TearDown() override
    {
        module().setUserLocale(QLocale::system());
        startWith(kEnglishLangId);
        QLocale::setDefault(savedLocale_);
        SettingsTest::TearDown();
    }

    static LanguageModule& module() { return LanguageModule::instance(); }

    void startWith(int langId)
    {
        const SettingsKey root = OpenAppRegistryKey();
        ASSERT_EQ(root.writeDword(QStringLiteral("Locale"), static_cast<uint32_t>(langId)), S_OK);
        module().LoadLanguageResources(root);
    }

    void writePage(const QString& lang, const QString& name, const QByteArray& html)
    {
        writeAll(tempPath() + QStringLiteral("/help/") + lang + QLatin1Char('/') + name, html);
    }

private:
    QLocale savedLocale_;
};

TEST_F(LanguageTest, EnglishOfAnyCountryKeepsTheBuiltInTextsAndTheUsersLocale)
{
    module().setUserLocale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    startWith(2057);
    EXPECT_EQ(module().langId(), 2057);
    EXPECT_EQ(LoadResString(IDS_APP_TITLE), QStringLiteral("KAVRO Professional"));
    EXPECT_EQ(QLocale().territory(), QLocale::UnitedKingdom) << "thread locale left alone";
    EXPECT_FALSE(module().isRightToLeft());
}

TEST_F(LanguageTest, LanguagesThatTheProgramLacksFallBackToEnglishAtStart)
{
    // Chinese of Hong Kong (no table), a language absent from the menu, and German whose table
    // is missing or damaged: silently English, which keeps the user's locale as every start in
    // English does (the next start finds English stored).
    for (int langId : {3076, 1032, kGerman, kGerman}) {
        if (langId == kGerman && !QFile::exists(tempPath() + QStringLiteral("/lang/kavrodeu.strings.bak")))
            QFile::rename(tempPath() + QStringLiteral("/lang/kavrodeu.strings"),
                          tempPath() + QStringLiteral("/lang/kavrodeu.strings.bak"));
        else if (langId == kGerman)
            writeAll(tempPath() + QStringLiteral("/lang/kavrodeu.strings"), "128 no tab\n");
        module().setUserLocale(QLocale(QLocale::Hungarian, QLocale::Hungary));
        startWith(langId);
        EXPECT_EQ(module().langId(), kEnglishLangId) << langId;
        EXPECT_EQ(LoadResString(IDS_APP_TITLE), QStringLiteral("KAVRO Professional")) << langId;
        EXPECT_EQ(QLocale().language(), QLocale::Hungarian) << langId;
        EXPECT_EQ(module().helpFolder(), tempPath() + QStringLiteral("/help/en/"));
    }
}

TEST_F(LanguageTest, AStoredLanguageIsLoadedWithItsHelpAndLocale)
{
    startWith(kGerman);
    EXPECT_EQ(module().langId(), kGerman);
    EXPECT_EQ(LoadResString(IDS_APP_TITLE), QStringLiteral("KAVRO Professional DE"));
    EXPECT_EQ(LoadResString(dialogTextId(IDD_ABOUTBOX, 0)), QStringLiteral("About KAVRO Professional"))
        << "an id the table lacks falls back to English";
    EXPECT_EQ(QLocale().language(), QLocale::German);
    EXPECT_EQ(module().helpFolder(), tempPath() + QStringLiteral("/help/deu/"));

    // Austrian German uses the same table; Traditional Chinese has its own.
    startWith(3079);
    EXPECT_EQ(module().langId(), 3079);
    EXPECT_EQ(LoadResString(IDS_APP_TITLE), QStringLiteral("KAVRO Professional DE"));
}

TEST_F(LanguageTest, ExitStoresTheLanguageAndReturnsToTheBuiltInTexts)
{
    startWith(kGerman);
    const SettingsKey root = OpenAppRegistryKey();
    ASSERT_EQ(root.deleteValue(QStringLiteral("Locale")), S_OK);
    module().SaveLocale(root);
    uint32_t stored = 0;
    ASSERT_EQ(root.readDword(QStringLiteral("Locale"), &stored), S_OK);
    EXPECT_EQ(stored, 1031u);
    EXPECT_EQ(LoadResString(IDS_APP_TITLE), QStringLiteral("KAVRO Professional"));
}

TEST_F(LanguageTest, SwitchingToGermanReloadsTextsWithoutTouchingTheLayout)
{
    QWidget window;
    window.show();
    QSignalSpy changed(&module(), &LanguageModule::languageChanged);
    ASSERT_TRUE(SwitchLanguage(32880, &window));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_FALSE(changed.first().first().toBool());
    EXPECT_EQ(LoadResString(IDS_APP_TITLE), QStringLiteral("KAVRO Professional DE"));
    EXPECT_FALSE(window.testAttribute(Qt::WA_SetLayoutDirection));
    EXPECT_EQ(QApplication::layoutDirection(), Qt::LeftToRight);

    // The same language again does nothing at all.
    EXPECT_EQ(module().switchTo(kGerman), LanguageModule::SwitchResult::Unchanged);
    EXPECT_TRUE(SwitchLanguage(32880, &window));
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(LanguageTest, QtsOwnDialogsSpeakTheInterfaceLanguage)
{
    const QString qtTranslations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFile::exists(qtTranslations + QStringLiteral("/qtbase_de.qm")))
        GTEST_SKIP() << "Qt's translations are not installed in " << qtTranslations.toStdString();
    const auto cancelText = [] {
        QMessageBox box(QMessageBox::NoIcon, QString(), QString(), QMessageBox::Ok | QMessageBox::Cancel);
        return box.button(QMessageBox::Cancel)->text();
    };
    ASSERT_EQ(cancelText(), QStringLiteral("Cancel"));
    ASSERT_EQ(module().switchTo(kGerman), LanguageModule::SwitchResult::Switched);
    EXPECT_EQ(cancelText(), QStringLiteral("Abbrechen"));
    ASSERT_EQ(module().switchTo(kEnglishLangId), LanguageModule::SwitchResult::Switched);
    EXPECT_EQ(cancelText(), QStringLiteral("Cancel"));
    // A start in the stored language has them too.
    startWith(kGerman);
    EXPECT_EQ(cancelText(), QStringLiteral("Abbrechen"));
}

TEST_F(LanguageTest, ArabicLaysOutEveryWindowRightToLeftAndEnglishTakesItBack)
{
    QWidget window;
    auto* child = new QLabel(QStringLiteral("x"), &window);
    window.show();
    QSignalSpy changed(&module(), &LanguageModule::languageChanged);

    ASSERT_EQ(module().switchTo(kArabic), LanguageModule::SwitchResult::Switched);
    EXPECT_TRUE(module().isRightToLeft());
    EXPECT_TRUE(changed.last().first().toBool());
    EXPECT_EQ(QApplication::layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(window.layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(child->layoutDirection(), Qt::RightToLeft);
    QWidget later; // windows made afterwards follow as well
    EXPECT_EQ(later.layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(LoadResString(IDS_APP_TITLE), QStringLiteral("KAVRO AR"));

    ASSERT_EQ(module().switchTo(kEnglishLangId), LanguageModule::SwitchResult::Switched);
    EXPECT_FALSE(module().isRightToLeft());
    EXPECT_TRUE(changed.last().first().toBool());
    EXPECT_EQ(QApplication::layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(window.layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(child->layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(later.layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(LoadResString(IDS_APP_TITLE), QStringLiteral("KAVRO Professional"));
}

TEST_F(LanguageTest, AFailedSwitchTellsTheUserAndKeepsTheLanguage)
{
    ASSERT_EQ(module().switchTo(kArabic), LanguageModule::SwitchResult::Switched);
    QSignalSpy changed(&module(), &LanguageModule::languageChanged);

    QString text, caption;
    Qt::LayoutDirection direction = Qt::LeftToRight;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                text = box->text();
                caption = box->windowTitle();
                direction = box->layoutDirection();
                modal = box->windowModality() == Qt::ApplicationModal;
                box->accept();
            }
    });
    EXPECT_FALSE(SwitchLanguage(32812, nullptr)); // Simplified Chinese: no table installed
    EXPECT_EQ(text,
              QStringLiteral("Unable to switch language. Please make sure all the files were installed properly."));
    EXPECT_EQ(caption, QStringLiteral("KAVRO AR"));
    EXPECT_EQ(direction, Qt::RightToLeft);
    EXPECT_TRUE(modal);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(module().langId(), kArabic);
    EXPECT_TRUE(module().isRightToLeft());
    EXPECT_EQ(LoadResString(IDS_APP_TITLE), QStringLiteral("KAVRO AR"));

    EXPECT_EQ(module().switchTo(3076), LanguageModule::SwitchResult::Failed);
    EXPECT_EQ(module().switchTo(1032), LanguageModule::SwitchResult::Failed);
    EXPECT_EQ(module().langId(), kArabic);
}

TEST_F(LanguageTest, TextsReadOnOtherThreadsDuringSwitchesAreWholeTexts)
{
    std::atomic<bool> stop{false};
    std::atomic<int> odd{0};
    std::thread reader([&] {
        while (!stop) {
            const QString t = LoadResString(IDS_APP_TITLE);
            if (t != QStringLiteral("KAVRO Professional DE") && t != QStringLiteral("KAVRO Professional"))
                ++odd;
        }
    });
    for (int i = 0; i < 200; ++i)
        module().switchTo(i % 2 ? kEnglishLangId : kGerman);
    stop = true;
    reader.join();
    EXPECT_EQ(odd, 0);
}

TEST_F(LanguageTest, LocalesOfTheSystemMapToTheTablesLanguages)
{
    EXPECT_EQ(langIdOfLocale(QLocale(QLocale::German, QLocale::Switzerland)), 1031);
    EXPECT_EQ(langIdOfLocale(QLocale(QLocale::Chinese, QLocale::Taiwan)), 1028);
    EXPECT_EQ(langIdOfLocale(QLocale(QLocale::Chinese, QLocale::China)), 2052);
    EXPECT_EQ(langIdOfLocale(QLocale(QLocale::Chinese, QLocale::HongKong)), 3076);
    EXPECT_EQ(langIdOfLocale(QLocale(QLocale::Greek, QLocale::Greece)), 0);
    EXPECT_EQ(findInterfaceLanguage(3076), nullptr);
    EXPECT_EQ(findInterfaceLanguage(1028)->command, 32893u);
    EXPECT_EQ(findInterfaceLanguage(2070)->langId, 1046) << "Portuguese of Portugal uses the Brazilian table";
}

TEST_F(LanguageTest, HelpOpensThePageOfACommandInTheLanguagesFolder)
{
    writePage(QStringLiteral("en"), QStringLiteral("index.html"), "<html>contents</html>");
    writePage(QStringLiteral("en"), QStringLiteral("file.html"), "<h2 id=\"57601\">Open</h2><p id=\"5760\">");
    writePage(QStringLiteral("deu"), QStringLiteral("datei.html"),
              "<h2 id=\"57601\">\xC3\x96"
              "ffnen</h2>");

    const QString en = tempPath() + QStringLiteral("/help/en/");
    EXPECT_EQ(helpUrlForCommand(57601),
              QUrl(QUrl::fromLocalFile(en + QStringLiteral("file.html")).toString() + QStringLiteral("#57601")));
    EXPECT_EQ(helpUrlForCommand(5760).fileName(), QStringLiteral("file.html"));
    EXPECT_EQ(helpUrlForCommand(576), QUrl::fromLocalFile(en + QStringLiteral("index.html")));

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    EXPECT_TRUE(ShowHelpForCommand(57601));
    ASSERT_TRUE(module().switchTo(kGerman) == LanguageModule::SwitchResult::Switched);
    EXPECT_TRUE(ShowHelpForCommand(57601));
    EXPECT_FALSE(ShowHelpContents()) << "the German help has no contents page";
    EXPECT_FALSE(ShowHelpForCommand(1)) << "nothing to open";
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(catcher.opened.size(), 2);
    EXPECT_EQ(catcher.opened[1].fileName(), QStringLiteral("datei.html"));
    EXPECT_EQ(catcher.opened[1].fragment(), QStringLiteral("57601"));
}

TEST_F(LanguageTest, PlainF1InADialogOpensTheHelpContents)
{
    writePage(QStringLiteral("en"), QStringLiteral("index.html"), "<html>contents</html>");
    InstallDialogHelpKey(qApp);
    InstallDialogHelpKey(qApp); // once is enough: a second filter would open the help twice

    QDialog dialog;
    auto* edit = new QLineEdit(&dialog);
    QWidget window; // not a dialog: the main window serves F1 through its own command
    auto* other = new QLineEdit(&window);

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    const auto press = [](QWidget* to, Qt::KeyboardModifiers mods, bool repeat = false) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_F1, mods, QString(), repeat);
        QApplication::sendEvent(to, &key);
    };
    press(edit, Qt::NoModifier);
    press(edit, Qt::KeypadModifier);
    press(edit, Qt::ShiftModifier);
    press(edit, Qt::ControlModifier);
    press(edit, Qt::AltModifier);
    press(edit, Qt::NoModifier, true);
    press(other, Qt::NoModifier);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    ASSERT_EQ(catcher.opened.size(), 2);
    EXPECT_EQ(catcher.opened[0], QUrl::fromLocalFile(tempPath() + QStringLiteral("/help/en/index.html")));
}

TEST_F(LanguageTest, TheAboutBoxShowsVersionAndBuildTimeInTheLanguage)
{
    CAboutDlg about;
    QDir().mkpath(QStringLiteral(KAVRO_BIN_DIR "/../screens"));
    about.grab().save(QStringLiteral(KAVRO_BIN_DIR "/../screens/about_box.png"));
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About KAVRO Professional"));
    const auto* version = about.findChild<QLabel*>(QStringLiteral("version"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), QStringLiteral("KAVRO Professional, version ") + programVersionText());
    EXPECT_TRUE(programVersionText().contains(
        QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+, \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d$"))))
        << programVersionText().toStdString();

    writeAll(tempPath() + QStringLiteral("/lang/kavroara.strings"), "6554616\t%%s 100%% %s\n");
    ASSERT_EQ(module().switchTo(kArabic), LanguageModule::SwitchResult::Switched);
    CAboutDlg rtl;
    EXPECT_EQ(rtl.layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(rtl.findChild<QLabel*>(QStringLiteral("version"))->text(),
              QStringLiteral("%s 100% ") + programVersionText());
}

} // namespace

#include "language_test.moc"
