// The catalog view offscreen: list and report modes, columns, order, activation, the context
// menu's selection rule and data objects; and the browser window around it.
#include "fake_browser.h"
#include "shell_fixture.h"

#include "catalog_menu.h"
#include "kavro_view.h"
#include "shell/shell_browser_window.h"
#include "shell/shell_notify.h"

#include <QDir>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QTimer>

using namespace shelltest;

namespace {

class ViewTest : public ShellCatalogTest {
protected:
    void SetUp() override
    {
        ShellCatalogTest::SetUp();
        startIndexing();
        rifle_ = eventName("AR10");
        auto older = cattest::practice("AR10", QStringLiteral("Anna"), 3, 1);
        older.enterTime = 45000.25;
        older.position = QStringLiteral("standing");
        older.comments = QStringLiteral("windy");
        auto newer = cattest::practice("AR10", QStringLiteral("Anna"), 2, 0);
        newer.enterTime = 45100.5;
        older_ = save(QStringLiteral("older.kavro"), older);
        newer_ = save(QStringLiteral("newer.kavro"), newer);
        save(QStringLiteral("p.kavro"), cattest::practice("AP10", QStringLiteral("Bob")));
        rescan();
        browser_ = FakeBrowser::create();
    }
    void TearDown() override
    {
        if (view_)
            view_->DestroyViewWindow();
        view_ = nullptr;
        ShellCatalogTest::TearDown();
    }
    KavroView* open(const QStringList& path)
    {
        auto f = folder(path);
        ComPtr<IShellView> view;
        EXPECT_EQ(f->CreateViewObject(nullptr, IShellView::iid, view.putVoid()), S_OK);
        FOLDERSETTINGS settings;
        settings.ViewMode = 2;
        settings.fFlags = FWF_SINGLESEL;
        QWidget* window = nullptr;
        EXPECT_EQ(view->CreateViewWindow(nullptr, &settings, browser_.get(), QRect(0, 0, 500, 300), &window), S_OK);
        EXPECT_NE(window, nullptr);
        view_ = view;
        return static_cast<KavroView*>(view.get());
    }
    QString text(KavroView* view, int row, int column)
    {
        return view->model()->data(view->model()->index(row, column), Qt::DisplayRole).toString();
    }
    void select(KavroView* view, std::initializer_list<int> rows)
    {
        view->list()->selectionModel()->clearSelection();
        for (int row : rows)
            view->list()->selectionModel()->select(view->model()->index(row, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    QString rifle_, older_, newer_;
    ComPtr<FakeBrowser> browser_;
    ComPtr<IShellView> view_;
};

TEST_F(ViewTest, TopLevelIsAListAndAShooterFolderAFiveColumnReportNewestFirst)
{
    KavroView* top = open({});
    EXPECT_FALSE(top->reportMode());
    EXPECT_TRUE(top->list()->isHeaderHidden());
    EXPECT_TRUE(top->list()->isColumnHidden(1));
    // The fixed folders and the two events of the documents, by name without regard to case.
    QStringList expected{QStringLiteral("Air Pistol"), QStringLiteral("Air Rifle"), eventName("AP10"), rifle_};
    std::sort(expected.begin(), expected.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    QStringList shown;
    for (int r = 0; r < top->model()->rowCount(); ++r)
        shown << text(top, r, 0);
    EXPECT_EQ(shown, expected);
    top->DestroyViewWindow();

    KavroView* anna = open({rifle_, QStringLiteral("Anna")});
    EXPECT_TRUE(anna->reportMode());
    EXPECT_FALSE(anna->list()->isHeaderHidden());
    QStringList headers;
    for (int c = 0; c < anna->model()->columnCount(); ++c) {
        EXPECT_FALSE(anna->list()->isColumnHidden(c));
        headers << anna->model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    EXPECT_EQ(headers,
              (QStringList{QStringLiteral("Date & time"), QStringLiteral("Position"), QStringLiteral("Shot count"),
                           QStringLiteral("Result"), QStringLiteral("Comments")}));
    // At least their chosen widths, and never so narrow that a date, a position or a title is cut.
    const QFontMetrics fm(anna->list()->font());
    QHeaderView* header = anna->list()->header();
    EXPECT_GE(header->sectionSize(0), 125);
    EXPECT_GE(header->sectionSize(2), 40);
    for (int c = 0; c < 4; ++c) {
        EXPECT_GT(header->sectionSize(c), fm.horizontalAdvance(headers[c])) << c;
        for (int r = 0; r < anna->model()->rowCount(); ++r)
            EXPECT_GT(header->sectionSize(c), fm.horizontalAdvance(text(anna, r, c))) << c << ' ' << r;
    }
    ASSERT_EQ(anna->model()->rowCount(), 2);
    EXPECT_EQ(ItemIdName(anna->model()->idAt(0)), newer_);
    const CacheRecord older = cache_.RecordAt(cache_.FindRecordByPath(older_));
    EXPECT_EQ(text(anna, 1, 0), documentDisplayName(older.date, QLocale::system()));
    EXPECT_EQ(text(anna, 1, 1), QStringLiteral("standing"));
    EXPECT_EQ(text(anna, 1, 2), QStringLiteral("3"));
    EXPECT_EQ(text(anna, 1, 3), QString::number(older.resultSum));
    EXPECT_EQ(text(anna, 1, 4), QStringLiteral("windy"));
    EXPECT_EQ(anna->model()->data(anna->model()->index(1, 2), Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
              Qt::AlignRight);
    FOLDERSETTINGS kept;
    anna->GetCurrentInfo(&kept);
    EXPECT_EQ(kept.ViewMode, 2u);
    EXPECT_EQ(kept.fFlags, FWF_SINGLESEL);
}

// A view never stays stale: notices lost while its thread was busy, or a change it heard of by no
// notice at all (seen when its window is activated), refill it from the catalog.
TEST_F(ViewTest, AViewThatMissedItsNoticesCatchesUpWithTheCatalog)
{
    struct Case {
        const char* shooter;
        bool busy; // notices lost while the view is busy; else no notice, the window activated
    };
    const QString pistol = eventName("AP10");
    for (const Case& c : {Case{"Cleo", true}, Case{"Dora", false}}) {
        SCOPED_TRACE(c.shooter);
        KavroView* view = open({rifle_});
        const int before = view->model()->rowCount();
        if (c.busy) {
            // Notices about another folder fill the view's queue before the one that concerns it.
            IdList elsewhere(catalogIdList({pistol, QStringLiteral("Bob")}));
            for (int i = 0; i < 100; ++i)
                ASSERT_EQ(SHChangeNotify(SHCNE_UPDATEITEM, elsewhere.get()), S_OK);
        } else {
            indexer_->setNoticeSink({});
        }
        save(QStringLiteral("%1.kavro").arg(QLatin1String(c.shooter)),
             cattest::practice("AR10", QString::fromLatin1(c.shooter)));
        rescan();
        if (!c.busy) {
            QEvent activated(QEvent::WindowActivate);
            QCoreApplication::sendEvent(view->list(), &activated);
        }
        for (int i = 0; i < 50 && view->model()->rowCount() == before; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(view->model()->rowCount(), before + 1);
        view->DestroyViewWindow();
        view_ = nullptr;
    }
}

TEST_F(ViewTest, AViewOutlivesTheWindowItsHostDestroyed)
{
    KavroView* anna = open({rifle_, QStringLiteral("Anna")});
    delete anna->list(); // as the host's window does with its children when it goes first
    QWidget* window = nullptr;
    EXPECT_EQ(anna->GetWindow(&window), E_FAIL);
    EXPECT_EQ(anna->DestroyViewWindow(), S_OK);
    view_ = nullptr;
}

TEST_F(ViewTest, ActivationBrowsesIntoFoldersAndOpensDocuments)
{
    KavroView* event = open({rifle_});
    select(event, {0});
    event->activate();
    EXPECT_EQ(browser_->browsed, QStringList{QStringLiteral("Anna@2000")});
    event->DestroyViewWindow();

    KavroView* anna = open({rifle_, QStringLiteral("Anna")});
    select(anna, {1});
    anna->activate();
    EXPECT_EQ(launcher_.opened, QStringList{older_});
}

TEST_F(ViewTest, AShooterFolderIsRenamedInPlace)
{
    KavroView* event = open({rifle_});
    const QModelIndex anna = event->model()->index(0, 0);
    EXPECT_TRUE(event->model()->flags(anna) & Qt::ItemIsEditable);
    EXPECT_FALSE(event->model()->flags(event->model()->index(0, 1)) & Qt::ItemIsEditable);
    EXPECT_TRUE(event->model()->setData(anna, QStringLiteral("Anneli"), Qt::EditRole));
    EXPECT_FALSE(QFile::exists(older_));
    EXPECT_FALSE(QFile::exists(newer_));
    EXPECT_TRUE(messages_.empty());
    event->DestroyViewWindow();

    KavroView* top = open({});
    EXPECT_FALSE(top->model()->flags(top->model()->index(0, 0)) & Qt::ItemIsEditable);
    top->DestroyViewWindow();
    KavroView* docs = open({rifle_, QStringLiteral("Anna")});
    EXPECT_FALSE(docs->model()->flags(docs->model()->index(0, 0)) & Qt::ItemIsEditable);
}

TEST_F(ViewTest, AShooterFolderDifferingOnlyInCaseAppearsInAnOpenEventView)
{
    KavroView* event = open({rifle_});
    ASSERT_EQ(event->model()->rowCount(), 1);
    save(QStringLiteral("upper.kavro"), cattest::practice("AR10", QStringLiteral("ANNA")));
    rescan();
    waitUntil([&] { return event->model()->rowCount() >= 2; });
    QStringList names;
    for (int r = 0; r < event->model()->rowCount(); ++r)
        names << ItemIdName(event->model()->idAt(r));
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("ANNA"), QStringLiteral("Anna")}));
}

TEST_F(ViewTest, ARenamingThatCannotDeleteTheOldFilesSaysWhereEachPracticeNowIs)
{
    struct Case {
        const char* name;
        bool newCopiesRemovable;
        bool bothNames;
    } cases[] = {
        {"the new copies go again", true, false},
        {"the new copies stay too", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList before = QDir(homeCatalogPath()).entryList(QDir::Files);
        setDocumentRemover([&](const QString& path) {
            return c.newCopiesRemovable && path != older_ && path != newer_ && QFile::remove(path);
        });
        messages_.clear();
        KavroView* event = open({rifle_});
        EXPECT_FALSE(event->model()->setData(event->model()->index(0, 0), QStringLiteral("Anneli"), Qt::EditRole));
        setDocumentRemover(nullptr);
        EXPECT_TRUE(QFile::exists(older_));
        EXPECT_TRUE(QFile::exists(newer_));
        const QStringList after = QDir(homeCatalogPath()).entryList(QDir::Files);
        EXPECT_EQ(after.size(), before.size() + (c.bothNames ? 2 : 0));
        ASSERT_EQ(messages_.size(), 1u);
        const QString& text = messages_[0].text;
        EXPECT_EQ(text.contains(QStringLiteral("they keep their old files")), !c.bothNames) << text.toStdString();
        EXPECT_EQ(text.contains(QStringLiteral("under both \"Anna\" and \"Anneli\"")), c.bothNames);
        EXPECT_EQ(text.contains(older_) && text.contains(newer_), c.bothNames);
        event->DestroyViewWindow();
    }
}

TEST_F(ViewTest, ACommonDialogHostLeavesOutWhatItExcludesAndHearsOfSelections)
{
    browser_->commonDialog = true;
    browser_->excluded = {QStringLiteral("Air Pistol")};
    KavroView* top = open({});
    QStringList names;
    for (int r = 0; r < top->model()->rowCount(); ++r)
        names << ItemIdName(top->model()->idAt(r));
    EXPECT_FALSE(names.contains(QStringLiteral("Air Pistol")));
    EXPECT_EQ(names.size(), 3);
    select(top, {0});
    EXPECT_GE(browser_->selectionChanges, 1);
}

TEST_F(ViewTest, ContextMenuOnlyForOneItemOrTheFolderItself)
{
    KavroView* anna = open({rifle_, QStringLiteral("Anna")});
    ComPtr<IContextMenu> menu;
    EXPECT_EQ(anna->selectionMenu(&menu), S_OK); // nothing selected: the folder's own
    select(anna, {0});
    EXPECT_EQ(anna->selectionMenu(&menu), S_OK);
    select(anna, {0, 1});
    EXPECT_EQ(anna->selectionMenu(&menu), S_FALSE);
    EXPECT_FALSE(menu);
}

TEST_F(ViewTest, ItemObjectsAreDataObjectsOfTheSelectionOrOfEverything)
{
    KavroView* anna = open({rifle_, QStringLiteral("Anna")});
    select(anna, {1});
    ComPtr<IDataObject> data;
    ASSERT_EQ(anna->GetItemObject(SVGIO_SELECTION, IDataObject::iid, data.putVoid()), S_OK);
    auto* selection = static_cast<CKavroDataObject*>(data.get());
    ASSERT_EQ(selection->items().size(), 1u);
    EXPECT_EQ(ItemIdName(selection->items()[0].get()), older_);
    EXPECT_EQ(
        ItemIdListNames(selection->folder()),
        (QStringList{QStringLiteral("Computer"), QStringLiteral("Kavro Catalog"), rifle_, QStringLiteral("Anna")}));
    ASSERT_EQ(anna->GetItemObject(SVGIO_ALLVIEW, IDataObject::iid, data.putVoid()), S_OK);
    EXPECT_EQ(static_cast<CKavroDataObject*>(data.get())->items().size(), 2u);
    EXPECT_EQ(anna->GetItemObject(3, IDataObject::iid, data.putVoid()), E_NOINTERFACE);
    EXPECT_EQ(anna->GetItemObject(SVGIO_ALLVIEW, IContextMenu::iid, data.putVoid()), E_NOINTERFACE);
}

TEST_F(ViewTest, TheBrowserWindowShowsTheTreeAndTheFoldersView)
{
    ShellBrowserWindow window;
    IdList anna(catalogIdList({rifle_, QStringLiteral("Anna")}));
    ASSERT_EQ(window.browseTo(anna.get()), S_OK);
    QCoreApplication::processEvents();
    ASSERT_NE(window.viewHost()->view(), nullptr);
    auto* view = static_cast<KavroView*>(window.viewHost()->view());
    EXPECT_TRUE(view->reportMode());
    EXPECT_EQ(view->model()->rowCount(), 2);
    ASSERT_NE(window.tree()->currentItem(), nullptr);
    EXPECT_EQ(window.tree()->currentItem()->text(0), QStringLiteral("Anna"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Anna"));
    window.show();
    QCoreApplication::processEvents();
    QDir().mkpath(QStringLiteral(KAVRO_BIN_DIR "/../screens"));
    window.grab().save(QStringLiteral(KAVRO_BIN_DIR "/../screens/catalog_browser.png"));

    window.up();
    QCoreApplication::processEvents();
    EXPECT_EQ(ItemIdListNames(window.shownFolder()).last(), rifle_);
    window.back();
    QCoreApplication::processEvents();
    EXPECT_EQ(ItemIdListNames(window.shownFolder()).last(), QStringLiteral("Anna"));

    // Computer has no view of its own: the pane stays empty.
    window.tree()->setCurrentItem(window.tree()->topLevelItem(0));
    QCoreApplication::processEvents();
    EXPECT_EQ(window.viewHost()->view(), nullptr);
    EXPECT_FALSE(window.viewHost()->placeholder()->isHidden());
}

TEST_F(ViewTest, TheBrowserWindowsTreeFollowsTheServicesNotices)
{
    ShellBrowserWindow window;
    IdList anna(catalogIdList({rifle_, QStringLiteral("Anna")}));
    ASSERT_EQ(window.browseTo(anna.get()), S_OK);
    QCoreApplication::processEvents();
    QTreeWidgetItem* shown = window.tree()->currentItem();
    ASSERT_NE(shown, nullptr);
    QTreeWidgetItem* catalog = shown->parent()->parent();
    auto names = [](QTreeWidgetItem* item) {
        QStringList out;
        for (int i = 0; item && i < item->childCount(); ++i)
            out << item->child(i)->text(0);
        return out;
    };
    const QString pistol = eventName("AP10");
    const QString other = eventName("SP1");
    ASSERT_TRUE(names(catalog).contains(pistol));
    ASSERT_FALSE(names(catalog).contains(other));

    // A new event and a new shooter come, and the only practice of another event goes.
    save(QStringLiteral("n1.kavro"), cattest::practice("SP1", QStringLiteral("Dan")));
    save(QStringLiteral("n2.kavro"), cattest::practice("AR10", QStringLiteral("Cid")));
    QFile::remove(homeCatalogPath() + QStringLiteral("p.kavro"));
    rescan();
    auto follows
        = [&] { return names(catalog).contains(other) && names(shown->parent()).contains(QStringLiteral("Cid")); };
    EXPECT_TRUE(waitUntil(follows)) << names(catalog).join(QLatin1Char(',')).toStdString();
    EXPECT_FALSE(names(catalog).contains(pistol));
    EXPECT_EQ(window.tree()->currentItem(), shown);
    EXPECT_TRUE(shown->parent()->isExpanded());
}

TEST_F(ShellCatalogTest, AViewStaysLiveWhileTheServiceStartsAndFillsOnceItRuns)
{
    save(QStringLiteral("a.kavro"), cattest::practice("AR10", QStringLiteral("Anna")));
    CCatalog::instance().setServiceWaitMs(60000);
    // The started service comes up a while later, on this thread's event loop.
    launcher_.onStart = [this] {
        QTimer::singleShot(300, [this] {
            startIndexing();
            rescan();
        });
    };
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);

    auto browser = FakeBrowser::create();
    ComPtr<IShellView> view = openView(folder().get(), browser.get());
    ASSERT_TRUE(view);
    auto* catalogView = static_cast<KavroView*>(view.get());
    EXPECT_EQ(catalogView->model()->rowCount(), 0);
    EXPECT_TRUE(catalogView->preparingText()->isVisibleTo(catalogView->list()));

    ASSERT_TRUE(waitUntil([&] { return catalogView->model()->rowCount() > 0; }, 30000));
    EXPECT_GT(ticks, 0);
    EXPECT_FALSE(catalogView->preparingText()->isVisibleTo(catalogView->list()));
    QStringList names;
    for (int r = 0; r < catalogView->model()->rowCount(); ++r)
        names << ItemIdName(catalogView->model()->idAt(r));
    EXPECT_TRUE(names.contains(eventName("AR10")));
    EXPECT_EQ(launcher_.starts.size(), 1u);
    EXPECT_TRUE(messages_.empty());
    view->DestroyViewWindow();
}

} // namespace
