#include "language_module.h"

#include "app_registry.h"
#include "message_box.h"
#include "res_strings.h"
#include "string_module.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QWidget>

#include "storage/file/atomic_file.h"

namespace kavro {

namespace {

const QString kLocaleValue = QStringLiteral("Locale");
// A string table is a few hundred kilobytes at most; a larger file is not one of ours.
constexpr int64_t kMaxTableBytes = 16 * 1024 * 1024;

} // namespace

LanguageModule& LanguageModule::instance()
{
    static LanguageModule module;
    return module;
}

LanguageModule::LanguageModule()
    : languageFolder_(GetProgramDirectory() + QStringLiteral("lang/")),
      helpRoot_(GetProgramDirectory() + QStringLiteral("help/"))
{
}

LanguageModule::~LanguageModule() = default;

bool LanguageModule::loadTableFor(const InterfaceLanguage& language, std::shared_ptr<const StringTable>* out) const
{
    if (!language.suffix) {
        out->reset(); // the built-in English
        return true;
    }
    QByteArray bytes;
    QString folder = languageFolder_;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (FAILED(readWholeFile(folder + stringTableFileName(language), &bytes, kMaxTableBytes)))
        return false;
    auto table = std::make_shared<StringTable>();
    // A damaged table would show a mixture of languages; treat it as not installed properly.
    if (!parseStringTable(bytes, table.get()))
        return false;
    *out = std::move(table);
    return true;
}

const InterfaceLanguage& LanguageModule::language() const
{
    const InterfaceLanguage* language = findInterfaceLanguage(langId_);
    return language ? *language : *findInterfaceLanguage(kEnglishLangId);
}

void LanguageModule::applyLocale() const
{
    // English, chosen or fallen back to, keeps the user's own dates and times; every other
    // language brings its own. The same rule on every start and switch, so a first start shows
    // what all later ones do. Only the user-facing locale: the numeric C locale of the process
    // stays as it is, so number text in files and settings is read and written the same way in
    // every language.
    const InterfaceLanguage& l = language();
    QLocale::setDefault(l.suffix ? QLocale(l.language, l.territory) : userLocale_);
}

QChar LanguageModule::decimalMark() const
{
    // The mark the language's own texts are written with ("10,0" in German); Arabic writes its
    // numbers with Western digits and the point.
    const InterfaceLanguage& l = language();
    return QLocale(l.language, l.territory).decimalPoint() == QStringLiteral(",") ? QLatin1Char(',') : QLatin1Char('.');
}

void LanguageModule::applyQtTranslation(int langId)
{
    if (qtTranslator_) {
        QCoreApplication::removeTranslator(qtTranslator_.get());
        qtTranslator_.reset();
    }
    const InterfaceLanguage* language = findInterfaceLanguage(langId);
    if (!language || !language->suffix || !QCoreApplication::instance())
        return; // Qt speaks English by itself
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QLocale(language->language, language->territory), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return; // no translation installed: English rather than nothing
    QCoreApplication::installTranslator(translator.get());
    qtTranslator_ = std::move(translator);
}

Qt::LayoutDirection LanguageModule::layoutDirection() const
{
    return rightToLeft_ ? Qt::RightToLeft : Qt::LeftToRight;
}

void LanguageModule::applyDirection() const
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    QApplication::setLayoutDirection(layoutDirection());
    for (QWidget* window : QApplication::topLevelWidgets())
        ApplyRtlLayout(window, true);
}

void LanguageModule::LoadLanguageResources(const SettingsKey& root)
{
    uint32_t stored = 0;
    int langId = root.isValid() && SUCCEEDED(root.readDword(kLocaleValue, &stored)) ? static_cast<int>(stored & 0xFFFF)
                                                                                    : langIdOfLocale(QLocale::system());
    langId_ = langId;
    help_ = QStringLiteral("en");
    const bool wasRightToLeft = rightToLeft_;
    rightToLeft_ = false;
    exchangeStringTable(nullptr);

    const InterfaceLanguage* language = findInterfaceLanguage(langId);
    std::shared_ptr<const StringTable> table;
    if (language && !language->suffix) {
        // English in any of its variants: the built-in texts.
    } else if (language && loadTableFor(*language, &table)) {
        exchangeStringTable(std::move(table));
        help_ = QString::fromLatin1(language->help);
        rightToLeft_ = language->rightToLeft;
    } else {
        langId_ = kEnglishLangId;
    }
    applyLocale();
    applyQtTranslation(langId_);
    if (wasRightToLeft != rightToLeft_)
        applyDirection();
}

void LanguageModule::SaveLocale(const SettingsKey& root)
{
    if (root.isValid())
        root.writeDword(kLocaleValue, static_cast<uint32_t>(langId_));
    exchangeStringTable(nullptr);
}

LanguageModule::SwitchResult LanguageModule::switchTo(int langId)
{
    if (langId == langId_)
        return SwitchResult::Unchanged;
    const InterfaceLanguage* language = findInterfaceLanguage(langId);
    std::shared_ptr<const StringTable> table;
    if (!language || !loadTableFor(*language, &table))
        return SwitchResult::Failed;

    const bool directionChanged = rightToLeft_ != language->rightToLeft;
    exchangeStringTable(std::move(table));
    langId_ = langId;
    help_ = QString::fromLatin1(language->help);
    rightToLeft_ = language->rightToLeft;
    applyLocale();
    applyQtTranslation(langId);
    if (directionChanged)
        applyDirection();
    emit languageChanged(directionChanged);
    return SwitchResult::Switched;
}

QString LanguageModule::helpFolder() const
{
    QString root = helpRoot_;
    if (!root.isEmpty() && !root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    return root + help_ + QLatin1Char('/');
}

bool SwitchLanguage(uint32_t command, QWidget* parent)
{
    const InterfaceLanguage* language = findLanguageCommand(command);
    auto& module = LanguageModule::instance();
    if (language && module.switchTo(language->langId) != LanguageModule::SwitchResult::Failed)
        return true;
    KavroMessageBox(parent, LoadResString(IDS_LANGUAGE_SWITCH_FAILED), QMessageBox::Critical);
    return false;
}

void ApplyRtlLayout(QWidget* window, bool repaint)
{
    if (!window)
        return;
    window->setLayoutDirection(LanguageModule::instance().layoutDirection());
    if (repaint)
        window->update();
}

} // namespace kavro
