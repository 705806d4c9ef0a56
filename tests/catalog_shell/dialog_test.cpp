// The trainer's way into the catalog: the lookup through our shell, the shooter names, and the
// catalog dialog returning a document's path.
#include "fake_browser.h"
#include "shell_fixture.h"

#include "catalog_dialog.h"
#include "catalog_lookup.h"
#include "kavro_view.h"
#include "shell/shell_browser_window.h"
#include "start_practice_dialog.h"

#include <QComboBox>

#include <QDir>
#include <QFile>
#include <QPushButton>

using namespace shelltest;
using namespace kavro::trainer;

namespace {

class CatalogDialogTest : public ShellCatalogTest {
protected:
    void SetUp() override
    {
        ShellCatalogTest::SetUp();
        startIndexing();
        rifle_ = eventName("AR10");
        pistol_ = eventName("AP10");
        doc_ = save(QStringLiteral("a.kavro"), cattest::practice("AR10", QStringLiteral("Anna")));
        save(QStringLiteral("b.kavro"), cattest::practice("AP10", QStringLiteral("Anna")));
        save(QStringLiteral("c.kavro"), cattest::practice("AP10", QStringLiteral("Bob")));
        rescan();
    }
    QString rifle_, pistol_, doc_;
};

TEST_F(CatalogDialogTest, TheCatalogIsFoundUnderComputerAndGivesItsShooters)
{
    ComPtr<IShellFolder> catalog;
    IdList absolute;
    ASSERT_TRUE(FindCatalogFolder(&catalog, &absolute));
    EXPECT_EQ(ItemIdListNames(absolute.get()),
              (QStringList{QStringLiteral("Computer"), QStringLiteral("Kavro Catalog")}));
    EXPECT_EQ(ILGetSize(absolute.get()), 2u * 8 + 2 * (8 + 13) + 2);

    bool found = false;
    QStringList names = CatalogShooterNames(&found);
    EXPECT_TRUE(found);
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("Anna"), QStringLiteral("Bob")}));
}

TEST_F(CatalogDialogTest, TheStartPracticeDialogListsTheCatalogsShootersOnceOnItsFirstDropDown)
{
    QStringList messages;
    kavro::practice::CStartPracticeDlg::setMessageHook(
        [&](const QString& text, QMessageBox::Icon) { messages << text; });
    kavro::practice::CStartPracticeDlg dialog(nullptr, {}, QStringLiteral("Zed"));
    QComboBox* shooters = dialog.shooterCombo();
    dialog.fillShooterList();
    QStringList names;
    for (int i = 0; i < shooters->count(); ++i)
        names << shooters->itemText(i);
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("Anna"), QStringLiteral("Bob")}));
    EXPECT_EQ(shooters->currentText(), QStringLiteral("Zed"));
    // No sensor is attached here, which the dialog says too; the catalog was found.
    EXPECT_FALSE(messages.contains(QStringLiteral("Unable to start catalog service")));

    // A second drop-down does not enumerate again: what the service indexes later reaches the
    // list through its notices.
    save(QStringLiteral("d.kavro"), cattest::practice("AR10", QStringLiteral("Cid")));
    rescan();
    dialog.fillShooterList();
    EXPECT_EQ(shooters->count(), 2);
    kavro::practice::CStartPracticeDlg::setMessageHook(nullptr);
}

TEST_F(CatalogDialogTest, OpeningAPreselectedShootersDocumentReturnsItsPath)
{
    CCatalogDlg dialog;
    dialog.setPreselection(rifle_, QStringLiteral("Anna"));
    dialog.setEventNamer(
        [this](const QString& name) { return name == rifle_ ? QStringLiteral("Rifle (shown)") : QString(); });
    dialog.initDialog();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    auto* view = static_cast<KavroView*>(dialog.viewHost()->view());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(ItemIdListNames(dialog.viewHost()->shownFolder()).last(), QStringLiteral("Anna"));
    EXPECT_EQ(dialog.tree()->currentItem()->parent()->text(0), QStringLiteral("Rifle (shown)"));
    EXPECT_FALSE(dialog.openButton()->isEnabled());

    view->list()->selectionModel()->select(view->model()->index(0, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(dialog.chosenFile(), doc_);
    EXPECT_TRUE(dialog.openButton()->isEnabled());

    dialog.show();
    QCoreApplication::processEvents();
    QDir().mkpath(QStringLiteral(KAVRO_BIN_DIR "/../screens"));
    dialog.grab().save(QStringLiteral(KAVRO_BIN_DIR "/../screens/catalog_dialog.png"));

    view->activate();
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.chosenFile(), doc_);
    EXPECT_TRUE(launcher_.opened.isEmpty());
}

TEST_F(CatalogDialogTest, AFolderInTheViewOpensInTheDialogAndARestrictedTreeShowsOneEvent)
{
    CCatalogDlg dialog;
    dialog.setEventRestriction(pistol_);
    dialog.initDialog();
    QCoreApplication::processEvents();
    QTreeWidgetItem* top = dialog.tree()->topLevelItem(0);
    ASSERT_NE(top, nullptr);
    ASSERT_EQ(top->childCount(), 1);
    EXPECT_EQ(top->child(0)->text(0), pistol_);

    dialog.tree()->setCurrentItem(top->child(0));
    QCoreApplication::processEvents();
    auto* view = static_cast<KavroView*>(dialog.viewHost()->view());
    ASSERT_NE(view, nullptr);
    view->list()->setCurrentIndex(view->model()->index(0, 0));
    view->activate();
    QCoreApplication::processEvents();
    EXPECT_EQ(ItemIdListNames(dialog.viewHost()->shownFolder()).last(), QStringLiteral("Anna"));
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    // Notices start the delayed rebuild; the rebuild shows the same folder again.
    dialog.onShellChange();
    dialog.onShellChange();
    EXPECT_TRUE(dialog.refreshPending());
    dialog.refresh();
    QCoreApplication::processEvents();
    EXPECT_FALSE(dialog.refreshPending());
    EXPECT_EQ(ItemIdListNames(dialog.viewHost()->shownFolder()).last(), QStringLiteral("Anna"));
}

TEST_F(CatalogDialogTest, ARebuildShowsNewFoldersDropsGoneOnesAndKeepsWhatWasExpanded)
{
    CCatalogDlg dialog;
    dialog.setPreselection(rifle_, QStringLiteral("Anna"));
    dialog.initDialog();
    QCoreApplication::processEvents();
    QTreeWidgetItem* top = dialog.tree()->topLevelItem(0);
    auto child = [](QTreeWidgetItem* item, const QString& text) -> QTreeWidgetItem* {
        for (int i = 0; item && i < item->childCount(); ++i)
            if (item->child(i)->text(0) == text)
                return item->child(i);
        return nullptr;
    };
    auto names = [](QTreeWidgetItem* item) {
        QStringList out;
        for (int i = 0; item && i < item->childCount(); ++i)
            out << item->child(i)->text(0);
        return out;
    };
    QTreeWidgetItem* pistol = child(top, pistol_);
    ASSERT_NE(pistol, nullptr);
    pistol->setExpanded(true);
    ASSERT_EQ(names(pistol), (QStringList{QStringLiteral("Anna"), QStringLiteral("Bob")}));

    save(QStringLiteral("d.kavro"), cattest::practice("AP10", QStringLiteral("Cid")));
    QFile::remove(homeCatalogPath() + QStringLiteral("c.kavro"));
    rescan();
    dialog.refresh();
    QCoreApplication::processEvents();
    EXPECT_EQ(child(dialog.tree()->topLevelItem(0), pistol_), pistol);
    EXPECT_TRUE(pistol->isExpanded());
    EXPECT_EQ(names(pistol), (QStringList{QStringLiteral("Anna"), QStringLiteral("Cid")}));
    ASSERT_NE(dialog.tree()->currentItem(), nullptr);
    EXPECT_EQ(dialog.tree()->currentItem()->text(0), QStringLiteral("Anna"));
    EXPECT_EQ(ItemIdListNames(dialog.viewHost()->shownFolder()).last(), QStringLiteral("Anna"));
    EXPECT_NE(dialog.viewHost()->view(), nullptr);
}

// Both trees miss every notice of a new event (the indexer sends none), and catch up from the
// catalog's change counter when their window is activated.
TEST_F(CatalogDialogTest, ATreeThatMissedItsNoticesCatchesUpWhenItsWindowIsActivated)
{
    CCatalogDlg dialog;
    dialog.initDialog();
    ShellBrowserWindow browser;
    IdList catalogId(catalogIdList({}));
    ShellTreeItem* browserCatalog = browser.tree()->findItem(catalogId.get());
    ASSERT_NE(browserCatalog, nullptr);
    browserCatalog->setExpanded(true);
    auto shows = [](QTreeWidgetItem* item, const QString& text) {
        for (int i = 0; i < item->childCount(); ++i)
            if (item->child(i)->text(0) == text)
                return true;
        return false;
    };
    const struct {
        QWidget* window;
        QTreeWidgetItem* catalog;
    } trees[] = {{&dialog, dialog.tree()->topLevelItem(0)}, {&browser, browserCatalog}};
    // Opening a view prepares the catalog, which is announced as a change: heard before the save.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 300);
    if (dialog.refreshPending())
        dialog.refresh();
    const QString smallBore = eventName("SBR50");
    indexer_->setNoticeSink({});
    save(QStringLiteral("e.kavro"), cattest::practice("SBR50", QStringLiteral("Dan")));
    rescan();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 300);
    for (const auto& tree : trees) {
        EXPECT_FALSE(shows(tree.catalog, smallBore));
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(tree.window, &activate);
        EXPECT_TRUE(waitUntil([&] { return shows(tree.catalog, smallBore); }, 5000))
            << tree.window->metaObject()->className();
    }
}

TEST_F(CatalogDialogTest, TreeFoldersShowTheirOpenIconWhileExpanded)
{
    CCatalogDlg dialog;
    dialog.initDialog();
    QTreeWidgetItem* top = dialog.tree()->topLevelItem(0);
    ASSERT_NE(top, nullptr);
    ASSERT_GT(top->childCount(), 0);
    auto looks = [](QTreeWidgetItem* item, QIcon::State state) {
        return item->icon(0).pixmap(16, 16, QIcon::Normal, state).toImage();
    };
    for (int i = 0; i < top->childCount(); ++i) {
        QTreeWidgetItem* event = top->child(i);
        SCOPED_TRACE(event->text(0).toStdString());
        EXPECT_NE(looks(event, QIcon::On), looks(event, QIcon::Off));
        event->setExpanded(true);
        for (int j = 0; j < event->childCount(); ++j)
            EXPECT_NE(looks(event->child(j), QIcon::On), looks(event->child(j), QIcon::Off));
    }
}

TEST_F(CatalogDialogTest, AShooterWithoutAFolderLeavesItsEventSelected)
{
    CCatalogDlg dialog;
    dialog.setPreselection(pistol_, QStringLiteral("Newcomer"));
    dialog.initDialog();
    QCoreApplication::processEvents();
    ASSERT_NE(dialog.tree()->currentItem(), nullptr);
    EXPECT_EQ(dialog.tree()->currentItem()->text(0), pistol_);
    EXPECT_EQ(ItemIdListNames(dialog.viewHost()->shownFolder()).last(), pistol_);
}

TEST_F(CatalogDialogTest, AnotherFolderOrARebuildDropsTheChoiceOfTheViewBefore)
{
    CCatalogDlg dialog;
    dialog.setPreselection(rifle_, QStringLiteral("Anna"));
    dialog.initDialog();
    QCoreApplication::processEvents();
    auto choose = [&] {
        auto* view = static_cast<KavroView*>(dialog.viewHost()->view());
        ASSERT_NE(view, nullptr);
        view->list()->selectionModel()->select(view->model()->index(0, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        ASSERT_EQ(dialog.chosenFile(), doc_);
        ASSERT_TRUE(dialog.openButton()->isEnabled());
    };
    choose();
    QTreeWidgetItem* anna = dialog.tree()->currentItem();
    dialog.tree()->setCurrentItem(anna->parent());
    QCoreApplication::processEvents();
    EXPECT_EQ(ItemIdListNames(dialog.viewHost()->shownFolder()).last(), rifle_);
    EXPECT_TRUE(dialog.chosenFile().isEmpty());
    EXPECT_FALSE(dialog.openButton()->isEnabled());

    dialog.tree()->setCurrentItem(anna);
    QCoreApplication::processEvents();
    choose();
    dialog.refresh();
    QCoreApplication::processEvents();
    EXPECT_EQ(ItemIdListNames(dialog.viewHost()->shownFolder()).last(), QStringLiteral("Anna"));
    EXPECT_TRUE(dialog.chosenFile().isEmpty());
    EXPECT_FALSE(dialog.openButton()->isEnabled());
}

} // namespace
