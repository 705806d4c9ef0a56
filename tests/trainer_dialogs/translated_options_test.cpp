// The settings tree in every interface language: each translated line template has to carry the
// values the English one carries, or the line would vanish from the tree or show raw placeholders.
#include "app_options.h"
#include "language_module.h"
#include "language_table.h"
#include "options_dialog.h"
#include "options_tree_model.h"

#include <QDir>
#include <QTreeView>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace kavro::trainer {
namespace {

// Every line of the tree, depth first, as "row/row/...: text".
QStringList linesOf(const OptionsTreeModel& model, const QModelIndex& parent = {}, const QString& path = {})
{
    QStringList out;
    for (int r = 0; r < model.rowCount(parent); ++r) {
        const QModelIndex i = model.index(r, 0, parent);
        const QString here = path + QString::number(r) + QLatin1Char('/');
        out.append(here + QStringLiteral(": ") + model.data(i).toString());
        out += linesOf(model, i, here);
    }
    return out;
}

QString shapeOf(const QString& line)
{
    return line.section(QStringLiteral(": "), 0, 0);
}

TEST(TranslatedOptions, EveryLanguageBuildsTheWholeTreeWithItsValuesFilledIn)
{
    auto& module = LanguageModule::instance();
    const QString savedFolder = module.languageFolder();
    const QLocale savedLocale;
    module.setLanguageFolder(QStringLiteral(KAVRO_BIN_DIR "/lang"));
    ASSERT_NE(module.switchTo(kEnglishLangId), LanguageModule::SwitchResult::Failed);

    AppOptions options;
    options.ReplaySpeed = 73;
    const QStringList english = linesOf(OptionsTreeModel(options));
    ASSERT_GT(english.size(), 60);
    const QRegularExpression unfilled(QStringLiteral("%\\d+!|%[-.\\d]*[dsifr]\\b"));
    const QString screens = QStringLiteral(KAVRO_BIN_DIR "/../screens");
    QDir().mkpath(screens);

    for (const InterfaceLanguage& l : interfaceLanguages()) {
        if (!l.suffix)
            continue;
        ASSERT_EQ(module.switchTo(l.langId), LanguageModule::SwitchResult::Switched) << l.suffix;
        OptionsTreeModel model(options);
        const QStringList lines = linesOf(model);
        ASSERT_EQ(lines.size(), english.size()) << l.suffix;
        int differing = 0;
        for (qsizetype k = 0; k < lines.size(); ++k) {
            EXPECT_EQ(shapeOf(lines[k]), shapeOf(english[k])) << l.suffix;
            const QString text = lines[k].section(QStringLiteral(": "), 1);
            EXPECT_FALSE(text.trimmed().isEmpty()) << l.suffix << " " << lines[k].toStdString();
            EXPECT_FALSE(text.contains(unfilled)) << l.suffix << " " << text.toStdString();
            differing += lines[k] != english[k];
        }
        EXPECT_GT(differing, english.size() * 3 / 4) << l.suffix << " is mostly English";
        const QModelIndex speed = model.findString(61233);
        ASSERT_TRUE(speed.isValid()) << l.suffix;
        EXPECT_TRUE(model.data(speed).toString().contains(QStringLiteral("73"))) << l.suffix;

        if (QByteArrayView(l.suffix) == "deu" || QByteArrayView(l.suffix) == "ara"
            || QByteArrayView(l.suffix) == "jpn") {
            COptionsDlg dlg(options);
            dlg.resize(640, 1500);
            dlg.tree()->expandAll();
            dlg.grab().save(screens + QStringLiteral("/options_") + QString::fromLatin1(l.suffix)
                            + QStringLiteral(".png"));
        }
    }
    EXPECT_EQ(module.switchTo(kEnglishLangId), LanguageModule::SwitchResult::Switched);
    module.setLanguageFolder(savedFolder);
    QLocale::setDefault(savedLocale);
}

} // namespace
} // namespace kavro::trainer
