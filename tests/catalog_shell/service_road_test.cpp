// The catalog's windows beside the real catalog service, in the order a user meets them: the
// window opens on a catalog whose service does not run, the catalog module (loaded from the
// build's bin folder, as kavro-catalog and kavropro load it) starts kavrocls, and practices are
// copied into and deleted from the catalog folder while the window is open. Runs against the
// wall clock. The module keeps its catalog for the life of the process, so each case runs in a
// process of its own (as ctest runs them).
#include "support/catalog_env.h"
#include "support/document_fixture.h"
#include "support/practice_maker.h"
#include "support/spawn.h"

#include "catalog_dialog.h"
#include "kavrons.h"
#include "res_strings.h"
#include "service_presence.h"
#include "shell/shell_browser_window.h"
#include "shell/shell_execute.h"
#include "start_practice_dialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

#include <csignal>

using namespace kavro;
using namespace kavro::shell;

namespace {

QString eventName(const char* shortName)
{
    QString name;
    doctest::event(shortName)->get_Name(&name);
    return name;
}

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

QStringList childTexts(QTreeWidgetItem* item)
{
    QStringList names;
    for (int i = 0; item && i < item->childCount(); ++i)
        names << item->child(i)->text(0);
    names.sort();
    return names;
}

QTreeWidgetItem* childNamed(QTreeWidgetItem* item, const QString& name)
{
    for (int i = 0; item && i < item->childCount(); ++i)
        if (item->child(i)->text(0) == name)
            return item->child(i);
    return nullptr;
}

// The rows a hosted catalog view lists, by their first column.
QStringList viewRows(ShellViewHost* host)
{
    QStringList rows;
    auto* list = qobject_cast<QAbstractItemView*>(host->viewWindow());
    for (int r = 0; list && r < list->model()->rowCount(); ++r)
        rows << list->model()->index(r, 0).data().toString();
    rows.sort();
    return rows;
}

// Enter on the view's row `name`, as the user presses it; false when the view has no such row.
bool pressEnterOn(ShellViewHost* host, const QString& name)
{
    auto* list = qobject_cast<QAbstractItemView*>(host->viewWindow());
    for (int r = 0; list && r < list->model()->rowCount(); ++r) {
        const QModelIndex index = list->model()->index(r, 0);
        if (index.data().toString() != name)
            continue;
        list->setFocus();
        list->setCurrentIndex(index);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(list, &press);
        return true;
    }
    return false;
}

class CatalogServiceRoadTest : public cattest::CatalogEnvTest {
protected:
    void SetUp() override
    {
        static bool ranBefore = false;
        if (ranBefore)
            GTEST_SKIP() << "the catalog module keeps the last case's catalog: run each case in its own process";
        ranBefore = true;
        CatalogEnvTest::SetUp();
        QDir().mkpath(homeCatalogPath());
        QDir().mkpath(madePath());
        QDir().mkpath(rootPath() + QStringLiteral("/config"));
        qputenv("HOME", QFile::encodeName(homePath()));
        qputenv("KAVRO_SYSTEM_CONFIG", QFile::encodeName(rootPath() + QStringLiteral("/config")));
        qputenv("KAVRO_CONFIG_HOME", QFile::encodeName(rootPath() + QStringLiteral("/config")));
        qputenv("KAVRO_MODULE_DIR", KAVRO_BIN_DIR);
        ASSERT_FALSE(catalog::isCatalogServiceRunning());
        // A message box of the catalog would wait for a click that never comes: it is noted and
        // closed.
        QObject::connect(&boxes_, &QTimer::timeout, &boxes_, [this] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    messages_ << box->text();
                    box->reject();
                }
        });
        boxes_.start(200);
    }
    void TearDown() override
    {
        boxes_.stop();
        const pid_t service = cattest::processHolding(runPath() + QStringLiteral("/kavro/KAVROCLSST"));
        if (service > 0)
            ::kill(service, SIGTERM);
        waitUntil([] { return !catalog::isCatalogServiceRunning(); }, 20000);
        EXPECT_TRUE(messages_.isEmpty()) << messages_.join(QLatin1Char('\n')).toStdString();
    }

    QString madePath() const { return rootPath() + QStringLiteral("/made/"); }
    // Practices are made outside the catalog and copied in, as a user copies them.
    void make(const QString& name, const char* event, const QString& shooter)
    {
        ASSERT_TRUE(cattest::savePractice(cattest::practice(event, shooter), madePath() + name));
    }
    void copyIn(const QStringList& names)
    {
        for (const QString& name : names)
            ASSERT_TRUE(QFile::copy(madePath() + name, homeCatalogPath() + name)) << name.toStdString();
    }
    void remove(const QStringList& names)
    {
        for (const QString& name : names)
            ASSERT_TRUE(QFile::remove(homeCatalogPath() + name)) << name.toStdString();
    }
    static IdList catalogId(const QStringList& below = {})
    {
        return IdList(folderFromArguments(
            QStringList{QString::fromLatin1(kComputerItemName), QString::fromLatin1(catalog::kCatalogRootName)}
            + below));
    }
    // Longer than the service's 5 s of settling after the last change, on a busy machine.
    static constexpr int kIndexed = 60000;
    QTimer boxes_;
    QStringList messages_;
};

const QString kAnna = QStringLiteral("Anna"), kBob = QStringLiteral("Bob"), kCarl = QStringLiteral("Carl");
const QString kFixedRifle = QStringLiteral("Air Rifle"), kFixedPistol = QStringLiteral("Air Pistol");

// kavro-catalog's window: its folder tree follows the folders the service indexes.
TEST_F(CatalogServiceRoadTest, TheBrowsersTreeFollowsWhatTheServiceItStartedIndexes)
{
    const QString rifle = eventName("AR10"), pistol = eventName("AP10");
    make(QStringLiteral("a.kavro"), "AR10", kAnna);
    make(QStringLiteral("b.kavro"), "AP10", kBob);
    make(QStringLiteral("c.kavro"), "AR10", kCarl);
    copyIn({QStringLiteral("a.kavro")});

    ShellBrowserWindow window;
    IdList root = catalogId();
    ASSERT_EQ(window.browseTo(root.get()), S_OK);
    window.show();
    ShellTreeItem* catalogItem = window.tree()->findItem(root.get());
    ASSERT_NE(catalogItem, nullptr);
    catalogItem->setExpanded(true);

    struct Step {
        QStringList copied, deleted;
        QStringList events; // the catalog's folders in the tree
        QStringList rifleShooters; // the rifle event's folders in the tree (expanded)
    };
    const Step steps[] = {
        {{}, {}, {kFixedPistol, kFixedRifle, rifle}, {kAnna}},
        {{QStringLiteral("b.kavro"), QStringLiteral("c.kavro")},
         {},
         {kFixedPistol, kFixedRifle, pistol, rifle},
         {kAnna, kCarl}},
        {{}, {QStringLiteral("a.kavro"), QStringLiteral("c.kavro")}, {kFixedPistol, kFixedRifle, pistol}, {}},
    };
    int n = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(n++);
        copyIn(step.copied);
        remove(step.deleted);
        auto rifleItem = [&] { return childNamed(catalogItem, rifle); };
        const bool followed = waitUntil(
            [&] {
                if (rifleItem())
                    rifleItem()->setExpanded(true);
                return childTexts(catalogItem) == sorted(step.events) && childTexts(rifleItem()) == step.rifleShooters;
            },
            kIndexed);
        EXPECT_TRUE(followed) << "tree " << childTexts(catalogItem).join(QLatin1Char(',')).toStdString() << " / "
                              << childTexts(rifleItem()).join(QLatin1Char(',')).toStdString();
    }
}

// The trainer's catalog dialog as "Open" and as "Open model" (on the open practice's shooter),
// each the first to reach the catalog, whose service it starts: it fills once the service runs,
// goes into a folder on Enter, and shows what the service indexes while it is open.
// "AR10" in a name stands for that event's folder, named by the event's name.
struct Opening {
    const char* name;
    uint32_t caption;
    QStringList preselected; // event and shooter of the open practice
    QString enteredRow; // pressed Enter on in the view, when not empty
    QStringList shown; // the folder then shown, below the catalog
    QStringList rifleShooters; // the rifle event's folders in the tree once "e.kavro" was copied in
    int rows; // and the rows of the shown folder's view
};

void PrintTo(const Opening& opening, std::ostream* out)
{
    *out << opening.name;
}

class CatalogDialogRoadTest : public CatalogServiceRoadTest, public ::testing::WithParamInterface<Opening> { };

TEST_P(CatalogDialogRoadTest, FillsNavigatesAndFollowsTheServiceItStarted)
{
    const Opening& opening = GetParam();
    const QString rifle = eventName("AR10");
    make(QStringLiteral("a.kavro"), "AR10", kAnna);
    make(QStringLiteral("e.kavro"), "AR10", opening.rifleShooters.last());
    copyIn({QStringLiteral("a.kavro")});

    trainer::CCatalogDlg dialog;
    dialog.setCaption(LoadResString(opening.caption));
    QStringList preselected = opening.preselected;
    preselected.replaceInStrings(QStringLiteral("AR10"), rifle);
    if (!preselected.isEmpty())
        dialog.setPreselection(preselected.value(0), preselected.value(1));
    dialog.show();
    QTreeWidgetItem* top = dialog.tree()->topLevelItem(0);
    ASSERT_NE(top, nullptr);
    auto rifleItem = [&] { return childNamed(top, rifle); };
    const QString entered = opening.enteredRow == QStringLiteral("AR10") ? rifle : opening.enteredRow;
    if (!entered.isEmpty()) {
        // Pressed as soon as the view lists it, as a user does.
        EXPECT_TRUE(waitUntil([&] { return viewRows(dialog.viewHost()).contains(entered); }, kIndexed));
        ASSERT_TRUE(pressEnterOn(dialog.viewHost(), entered));
    }
    QStringList shownNames = opening.shown;
    shownNames.replaceInStrings(QStringLiteral("AR10"), rifle);
    IdList shown = catalogId(shownNames);
    EXPECT_TRUE(waitUntil(
        [&] {
            return ILIsEqual(dialog.viewHost()->shownFolder(), shown.get()) && dialog.tree()->currentItem()
                && ILIsEqual(ShellFolderTree::shellItem(dialog.tree()->currentItem())->absolute.get(), shown.get());
        },
        kIndexed))
        << "shows " << ItemIdListNames(dialog.viewHost()->shownFolder()).join(QLatin1Char('/')).toStdString();

    copyIn({QStringLiteral("e.kavro")});
    const bool followed = waitUntil(
        [&] {
            if (rifleItem())
                rifleItem()->setExpanded(true);
            return childTexts(rifleItem()) == opening.rifleShooters
                && viewRows(dialog.viewHost()).size() == opening.rows;
        },
        kIndexed);
    EXPECT_TRUE(followed) << "tree " << childTexts(rifleItem()).join(QLatin1Char(',')).toStdString() << ", view "
                          << viewRows(dialog.viewHost()).join(QLatin1Char(',')).toStdString();
    dialog.reject();
}

INSTANTIATE_TEST_SUITE_P(
    Openings, CatalogDialogRoadTest,
    ::testing::Values(
        // Into the event's folder, where a new shooter's practice appears.
        Opening{
            "Open", 61220, {}, QStringLiteral("AR10"), {QStringLiteral("AR10")}, {kAnna, QStringLiteral("Dora")}, 2},
        // On the open practice's shooter, whose new practice appears.
        Opening{"OpenModel", 61221, {QStringLiteral("AR10"), kAnna}, {}, {QStringLiteral("AR10"), kAnna}, {kAnna}, 2}),
    [](const ::testing::TestParamInfo<Opening>& info) { return std::string(info.param.name); });

// The start-practice dialog's shooter list, dropped down while the service it started comes up,
// fills once the service has indexed the catalog, and follows it while the dialog is open.
TEST_F(CatalogServiceRoadTest, TheStartPracticeShooterListFillsAndFollowsTheServiceItStarted)
{
    make(QStringLiteral("a.kavro"), "AR10", kAnna);
    make(QStringLiteral("b.kavro"), "AP10", kBob);
    copyIn({QStringLiteral("a.kavro")});
    QStringList said;
    practice::CStartPracticeDlg::setMessageHook([&](const QString& text, QMessageBox::Icon) { said << text; });
    practice::CStartPracticeDlg dialog(nullptr, {}, QStringLiteral("Zed"));
    dialog.show();
    QComboBox* shooters = dialog.shooterCombo();
    auto listed = [&] {
        QStringList names;
        for (int i = 0; i < shooters->count(); ++i)
            names << shooters->itemText(i);
        names.sort();
        return names;
    };
    shooters->showPopup();
    shooters->hidePopup();
    EXPECT_TRUE(waitUntil([&] { return listed() == QStringList{kAnna}; }, kIndexed))
        << listed().join(QLatin1Char(',')).toStdString();
    copyIn({QStringLiteral("b.kavro")});
    EXPECT_TRUE(waitUntil(
        [&] {
            return listed() == (QStringList{kAnna, kBob});
        },
        kIndexed))
        << listed().join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(shooters->currentText(), QStringLiteral("Zed"));
    EXPECT_FALSE(said.contains(LoadResString(61493)));
    practice::CStartPracticeDlg::setMessageHook(nullptr);
}

} // namespace
