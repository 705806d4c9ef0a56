#pragma once
// The interface language of the program: chosen at start from the "Locale" setting, switched from
// the Language menu, kept on exit. It owns the string table in use (see res_strings.h), the help
// folder of the language and the right-to-left flag.
#include "language_table.h"
#include "string_table.h"
#include "settings/settings.h"

#include <QObject>
#include <QString>

#include <memory>

class QTranslator;
class QWidget;

namespace kavro {

class LanguageModule : public QObject {
    Q_OBJECT
public:
    static LanguageModule& instance();

    // Start: the language of root's "Locale" value, else of the system locale. A language the
    // program lacks, or whose table cannot be read, silently becomes English (1033). Call it once
    // the application object exists, so a right-to-left language lays out the application.
    void LoadLanguageResources(const SettingsKey& root);
    // Exit: writes "Locale" into root and goes back to the built-in English table.
    void SaveLocale(const SettingsKey& root);

    enum class SwitchResult { Switched, Unchanged, Failed };
    // Run-time switch: on success the table, help and layout direction follow the language and
    // languageChanged is emitted; on failure nothing changes.
    SwitchResult switchTo(int langId);

    int langId() const { return langId_; }
    bool isRightToLeft() const { return rightToLeft_; }
    Qt::LayoutDirection layoutDirection() const;
    // The decimal mark of the interface language, for numbers shown beside its texts.
    QChar decimalMark() const;
    // The folder of the language's help pages, with its trailing "/".
    QString helpFolder() const;

    // Where the string tables and help pages are looked for: by default the folders "lang" and
    // "help" beside the program.
    void setLanguageFolder(const QString& folder) { languageFolder_ = folder; }
    QString languageFolder() const { return languageFolder_; }
    void setHelpRoot(const QString& folder) { helpRoot_ = folder; }
    // The user's own locale, whose dates and times English keeps: by default the system's.
    void setUserLocale(const QLocale& locale) { userLocale_ = locale; }

signals:
    // Everything that carries text reloads it; windows follow layoutDirection() when
    // `directionChanged` (the switch has already applied it to every top-level window).
    void languageChanged(bool directionChanged);

private:
    LanguageModule();
    ~LanguageModule() override;
    bool loadTableFor(const InterfaceLanguage& language, std::shared_ptr<const StringTable>* out) const;
    const InterfaceLanguage& language() const;
    void applyLocale() const;
    void applyDirection() const;
    // Qt's own dialogs and buttons (colour, print, page setup, message-box buttons) speak the
    // interface language when Qt has a translation for it.
    void applyQtTranslation(int langId);

    int langId_ = kEnglishLangId;
    bool rightToLeft_ = false;
    QString help_ = QStringLiteral("en");
    QString languageFolder_;
    QString helpRoot_;
    QLocale userLocale_ = QLocale::system();
    std::unique_ptr<QTranslator> qtTranslator_;
};

// Language-menu command handler: switches, or tells the user why it could not. True when the
// language in use is the one asked for.
bool SwitchLanguage(uint32_t command, QWidget* parent);

// Gives a window the layout direction of the interface language (and with `repaint`, redraws it).
void ApplyRtlLayout(QWidget* window, bool repaint);

} // namespace kavro
