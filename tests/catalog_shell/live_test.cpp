// A catalog view beside a running catalog service: the service's change notice about a new
// document below the view's folder refills the view. Runs against the wall clock.
#include "fake_browser.h"
#include "shell_fixture.h"

#include "cache_reader.h"
#include "catalog_service.h"
#include "catalog_dialog.h"
#include "kavro_view.h"
#include "shell/shell_browser_window.h"
#include "shell/shell_notify.h"
#include "support/spawn.h"

#include <chrono>
#include <csignal>

using namespace shelltest;
using namespace std::chrono_literals;

namespace {

class LiveViewTest : public ShellCatalogTest {
protected:
    void TearDown() override
    {
        service_.Stop();
        ShellCatalogTest::TearDown();
    }
    // Runs the event loop until `done` holds, for at most `limit`.
    template <class Done> bool waitFor(Done done, std::chrono::seconds limit = 60s)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }
    CatalogService service_;
};

TEST_F(LiveViewTest, ANewDocumentReportedByTheServiceRefillsTheView)
{
    save(QStringLiteral("a.kavro"), cattest::practice("AR10", QStringLiteral("Anna")));
    CatalogService::Options options;
    options.folder = homeCatalogPath();
    options.settleMs = 100;
    ASSERT_EQ(service_.Start(options), S_OK);
    const QString rifle = eventName("AR10");
    auto anna = folder({rifle, QStringLiteral("Anna")});
    ASSERT_TRUE(waitFor([&] { return childNames(anna.get()).size() == 1; }));

    auto browser = FakeBrowser::create();
    ComPtr<IShellView> view = openView(anna.get(), browser.get());
    ASSERT_TRUE(view);
    auto* catalogView = static_cast<KavroView*>(view.get());
    EXPECT_EQ(catalogView->model()->rowCount(), 1);

    const QString second = save(QStringLiteral("b.kavro"), cattest::practice("AR10", QStringLiteral("Anna"), 1, 0));
    EXPECT_TRUE(waitFor([&] { return catalogView->model()->rowCount() == 2; }));
    EXPECT_TRUE(messages_.empty());
    view->DestroyViewWindow();
}

// A fresh account: the catalog is browsed, in the browser window as kavro-catalog opens it,
// before the first practice is saved, so its folder does not exist yet. The trainer's first save
// makes it; the running service finds it and indexes the practice, and the browser's tree and
// view both show it.
TEST_F(LiveViewTest, OnAFreshAccountTheFirstSavedPracticeAppearsInTheOpenBrowser)
{
    ASSERT_TRUE(QDir(homeCatalogPath()).removeRecursively());
    CatalogService::Options options; // the catalog folder as the document model finds it
    options.settleMs = 100;
    options.folderRetryMs = 100;
    ASSERT_EQ(service_.Start(options), S_OK);
    ASSERT_EQ(service_.folder(), homeCatalogPath());
    ShellBrowserWindow window;
    IdList catalogId(catalogIdList({}));
    ASSERT_EQ(window.browseTo(catalogId.get()), S_OK);
    window.show();
    ShellTreeItem* catalogItem = window.tree()->findItem(catalogId.get());
    ASSERT_NE(catalogItem, nullptr);
    catalogItem->setExpanded(true); // looked into, and found empty
    ASSERT_TRUE(waitFor([&] { return window.viewHost()->view() != nullptr; }, 10s));
    auto* catalogView = static_cast<KavroView*>(window.viewHost()->view());
    const QString rifle = eventName("AR10");
    auto viewShows = [&](const QString& name) {
        for (int r = 0; r < catalogView->model()->rowCount(); ++r)
            if (catalogView->model()->data(catalogView->model()->index(r, 0), Qt::DisplayRole).toString() == name)
                return true;
        return false;
    };
    auto treeShows = [&](const QString& name) {
        for (int i = 0; i < catalogItem->childCount(); ++i)
            if (catalogItem->child(i)->text(0) == name)
                return true;
        return false;
    };
    EXPECT_FALSE(viewShows(rifle));
    EXPECT_FALSE(treeShows(rifle));

    // Saved as the trainer saves a new practice: under a unique name in the catalog folder, which
    // it makes when it is missing.
    ComPtr<IKavroDocument> doc = cattest::makePractice(cattest::practice("AR10", QStringLiteral("Anna")));
    QString catalog;
    ASSERT_EQ(doc->get_CatalogPath(&catalog), S_OK);
    ASSERT_EQ(catalog, homeCatalogPath());
    ASSERT_TRUE(QDir().mkpath(catalog));
    ASSERT_EQ(doc->SaveUnique(catalog), S_OK);
    EXPECT_TRUE(waitFor([&] { return viewShows(rifle) && treeShows(rifle); }, 30s))
        << "view " << viewShows(rifle) << ", tree " << treeShows(rifle);
    EXPECT_EQ(childNames(folder({rifle, QStringLiteral("Anna")}).get()).size(), 1);
    EXPECT_TRUE(messages_.empty());
}

// The cache deleted under the running service (a cleaner of the user's cache folder), and then
// the catalog opened: the view shows no message but says the catalog is being prepared, and
// shows the catalog and follows it once the service has made the cache anew.
TEST_F(LiveViewTest, ACacheDeletedUnderTheRunningServiceIsPreparedAgainWithoutAMessage)
{
    CCatalog::instance().setServiceWaitMs(60000);
    writeFile(QStringLiteral("notes.txt"), "shopping list");
    struct ServiceProcess {
        pid_t pid = -1;
        ~ServiceProcess()
        {
            if (pid > 0) {
                ::kill(pid, SIGCONT);
                ::kill(pid, SIGTERM);
                cattest::waitExit(pid, 20000);
            }
        }
    } service;
    service.pid = cattest::spawnProcess(QStringLiteral(KAVRO_BIN_DIR "/kavrocls"), {},
                                        {QStringLiteral("QT_QPA_PLATFORM=offscreen")})
                      .pid;
    ASSERT_GT(service.pid, 0);
    ASSERT_TRUE(waitFor([] {
        CatalogCacheReader reader;
        CacheSnapshot snap;
        return SUCCEEDED(reader.open()) && SUCCEEDED(reader.read(&snap, nullptr, kInfinite))
            && snap.header.nonDocuments == 1;
    }));
    // Held still, so that the view meets the cache gone before the service makes it again.
    ASSERT_EQ(::kill(service.pid, SIGSTOP), 0);
    ASSERT_TRUE(QDir(cacheDir()).removeRecursively());

    auto browser = FakeBrowser::create();
    ComPtr<IShellView> view = openView(folder().get(), browser.get());
    ASSERT_TRUE(view);
    auto* catalogView = static_cast<KavroView*>(view.get());
    auto shows = [&](const QString& name) {
        for (int r = 0; r < catalogView->model()->rowCount(); ++r)
            if (ItemIdName(catalogView->model()->idAt(r)) == name)
                return true;
        return false;
    };
    auto preparing = [&] { return catalogView->preparingText()->isVisibleTo(catalogView->list()); };
    const QString other = QString::fromLatin1(kOtherFolderName);
    view->Refresh(); // and again: the box came with every refresh
    EXPECT_TRUE(preparing());
    EXPECT_FALSE(shows(other));
    EXPECT_TRUE(messages_.empty());

    ASSERT_EQ(::kill(service.pid, SIGCONT), 0);
    EXPECT_TRUE(waitFor([&] { return shows(other) && !preparing(); }));
    // What the service records from then on reaches the view.
    const QString prone = eventName("SBR50");
    save(QStringLiteral("c.kavro"), cattest::practice("SBR50", QStringLiteral("Cleo")));
    EXPECT_TRUE(waitFor([&] { return shows(prone) && shows(other); }));
    EXPECT_FALSE(preparing());
    for (const Message& m : messages_)
        ADD_FAILURE() << "message: " << m.text.toStdString();
    view->DestroyViewWindow();
}

TEST_F(LiveViewTest, ABurstOfNoticesRebuildsTheDialogOnceTwoSecondsAfterTheLast)
{
    startIndexing();
    save(QStringLiteral("a.kavro"), cattest::practice("AR10", QStringLiteral("Anna")));
    rescan();
    kavro::trainer::CCatalogDlg dialog;
    dialog.initDialog();
    QCoreApplication::processEvents();
    const QString rifle = eventName("AR10");
    auto last = std::chrono::steady_clock::now();
    for (const char* name : {"x", "y", "z"}) {
        IdList id(catalogIdList({rifle, QString::fromLatin1(name)}));
        ASSERT_EQ(SHChangeNotify(SHCNE_MKDIR, id.get()), S_OK);
        last = std::chrono::steady_clock::now();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 300);
    }
    ASSERT_TRUE(waitFor([&] { return dialog.refreshPending(); }, 10s));
    ASSERT_TRUE(waitFor([&] { return dialog.refreshes() > 0; }, 20s));
    EXPECT_GE(std::chrono::steady_clock::now() - last, 1900ms);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 500);
    EXPECT_EQ(dialog.refreshes(), 1);
}

} // namespace
