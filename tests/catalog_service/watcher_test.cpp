// The watcher thread on a virtual clock: changes settle before one rescan.
#include "support/catalog_env.h"
#include "cache_reader.h"
#include "catalog_watcher.h"
#include "support/practice_maker.h"
#include "thread/virtual_clock.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

using namespace kavro;
using namespace kavro::catalog;
using namespace std::chrono_literals;

namespace {

class WatcherTest : public cattest::CatalogEnvTest {
protected:
    void SetUp() override
    {
        CatalogEnvTest::SetUp();
        ASSERT_EQ(cache_.open(cachePath()), S_OK);
    }
    void start(const QString& folder)
    {
        indexer_ = std::make_unique<CatalogIndexer>(cache_, folder, nullptr);
        watcher_ = std::make_unique<CatalogWatcher>(*indexer_, clock_);
        indexer_->setStopEvent(&watcher_->StopEvent());
        ASSERT_TRUE(watcher_->Start());
    }
    void TearDown() override
    {
        if (watcher_)
            watcher_->Shutdown();
    }
    void write(const QString& name, const QByteArray& bytes = "x")
    {
        QFile f(catalogPath() + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // Waits (in real time, bounded) for the rescan count to reach `n` and the thread to wait again
    // (for changes, or to look for a missing folder).
    bool rescansReach(int n)
    {
        for (int i = 0; i < 5000 && indexer_->rescans() < n; ++i)
            std::this_thread::sleep_for(2ms);
        if (indexer_->rescans() != n)
            return false;
        return watcher_->watchingFolder() ? watcher_->waitUntilIdle(10s) : watcher_->waitUntilLookingForFolder(10s);
    }
    bool has(const QString& name) const { return cache_.FindRecordByPath(catalogPath() + name) != 0; }

    VirtualClock clock_;
    CatalogCache cache_;
    std::unique_ptr<CatalogIndexer> indexer_;
    std::unique_ptr<CatalogWatcher> watcher_;
};

TEST_F(WatcherTest, ABurstOfChangesGivesOneRescanFiveSecondsAfterTheLast)
{
    QDir().mkpath(catalogPath() + QStringLiteral("old"));
    write(QStringLiteral("keep.txt"));
    write(QStringLiteral("gone.txt"));
    write(QStringLiteral("renamed.txt"));
    write(QStringLiteral("old/touched.txt"));
    ASSERT_TRUE(cattest::savePractice(cattest::practice("AR10", QStringLiteral("Anna")),
                                      catalogPath() + QStringLiteral("a.kavro")));
    start(catalogPath());
    ASSERT_TRUE(rescansReach(1)); // the first scan, with the watch armed before it
    EXPECT_EQ(cache_.LiveNonDocuments(), 4u);
    const size_t touchedBefore = cache_.FindRecordByPath(catalogPath() + QStringLiteral("old/touched.txt"));

    // The burst: add, touch, delete, rename, a new folder with a file in it.
    write(QStringLiteral("added.txt"));
    ASSERT_TRUE(watcher_->waitUntilSettling(10s));
    ASSERT_TRUE(clock_.waitForSleepers(1));
    clock_.advance(3000);
    struct timespec times[2] = {{0, UTIME_OMIT}, {777, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(catalogPath() + QStringLiteral("old/touched.txt")).constData(), times, 0);
    QFile::remove(catalogPath() + QStringLiteral("gone.txt"));
    QFile::rename(catalogPath() + QStringLiteral("renamed.txt"), catalogPath() + QStringLiteral("now.txt"));
    QDir().mkpath(catalogPath() + QStringLiteral("fresh"));
    write(QStringLiteral("fresh/inside.txt"));
    // Each change restarts the wait: 3 s after the first change is not 5 s after the last.
    ASSERT_TRUE(watcher_->waitUntilSettling(10s));
    ASSERT_TRUE(clock_.waitForSleepers(1));
    clock_.advance(4999);
    EXPECT_TRUE(watcher_->waitUntilSettling(10s));
    EXPECT_EQ(indexer_->rescans(), 1);
    clock_.advance(1);
    ASSERT_TRUE(rescansReach(2));

    EXPECT_TRUE(has(QStringLiteral("added.txt")));
    EXPECT_TRUE(has(QStringLiteral("now.txt")));
    EXPECT_TRUE(has(QStringLiteral("fresh/inside.txt")));
    EXPECT_FALSE(has(QStringLiteral("gone.txt")));
    EXPECT_FALSE(has(QStringLiteral("renamed.txt")));
    EXPECT_TRUE(has(QStringLiteral("keep.txt")));
    EXPECT_NE(cache_.FindRecordByPath(catalogPath() + QStringLiteral("old/touched.txt")), touchedBefore);
    EXPECT_EQ(cache_.LiveDocuments(), 1u);

    // The folder made during the burst is watched too.
    write(QStringLiteral("fresh/later.txt"));
    ASSERT_TRUE(watcher_->waitUntilSettling(10s));
    ASSERT_TRUE(clock_.waitForSleepers(1));
    clock_.advance(5000);
    ASSERT_TRUE(rescansReach(3));
    EXPECT_TRUE(has(QStringLiteral("fresh/later.txt")));
}

// The catalog folder as a link to a real folder that is missing at first, then moved away and
// made again: the watcher always ends up watching and indexing what lies at the path.
TEST_F(WatcherTest, AMissingLinkedOrReplacedFolderIsWatchedOnceItIsThere)
{
    const QString real = catalogPath() + QStringLiteral("real");
    const QString linked = catalogPath() + QStringLiteral("linked/");
    ASSERT_TRUE(QFile::link(real, catalogPath() + QStringLiteral("linked")));
    auto lookAgain = [&](int rescans) {
        if (!watcher_->waitUntilLookingForFolder(10s) || !clock_.waitForSleepers(1))
            return false;
        clock_.advance(kFolderRetryMs);
        return rescansReach(rescans);
    };
    // Read as a catalog view reads it: the watcher thread may be writing meanwhile.
    auto indexed = [this] {
        QStringList names;
        CatalogCacheReader reader;
        CacheSnapshot snap;
        if (SUCCEEDED(reader.open()) && SUCCEEDED(reader.read(&snap, nullptr, kInfinite)))
            for (const CacheRecord& r : snap.records)
                names << r.path.mid(catalogPath().size());
        names.sort();
        return names;
    };
    start(linked);
    ASSERT_TRUE(watcher_->waitUntilLookingForFolder(10s));
    EXPECT_EQ(indexer_->rescans(), 1);
    EXPECT_FALSE(watcher_->watchingFolder());
    EXPECT_TRUE(watcher_->IsStarted());

    QDir().mkpath(real);
    write(QStringLiteral("real/first.txt"));
    ASSERT_TRUE(lookAgain(2));
    EXPECT_TRUE(watcher_->watchingFolder());
    EXPECT_EQ(indexed(), QStringList{QStringLiteral("linked/first.txt")});

    // Moved away: its files leave the catalog at once, and the new folder at the path is the one
    // watched from then on.
    ASSERT_TRUE(QDir().rename(real, catalogPath() + QStringLiteral("aside")));
    ASSERT_TRUE(rescansReach(3));
    EXPECT_EQ(indexed(), QStringList());
    QDir().mkpath(real);
    write(QStringLiteral("real/second.txt"));
    ASSERT_TRUE(lookAgain(4));
    EXPECT_EQ(indexed(), QStringList{QStringLiteral("linked/second.txt")});
    write(QStringLiteral("aside/ignored.txt"));
    write(QStringLiteral("real/third.txt"));
    ASSERT_TRUE(watcher_->waitUntilSettling(10s));
    ASSERT_TRUE(clock_.waitForSleepers(1));
    clock_.advance(kSettleMs);
    ASSERT_TRUE(rescansReach(5));
    EXPECT_EQ(indexed(), (QStringList{QStringLiteral("linked/second.txt"), QStringLiteral("linked/third.txt")}));

    // Deleted: the same.
    ASSERT_TRUE(QDir(real).removeRecursively());
    ASSERT_TRUE(rescansReach(6));
    EXPECT_EQ(indexed(), QStringList());
    EXPECT_FALSE(watcher_->watchingFolder());
}

TEST_F(WatcherTest, ShutdownEndsTheWaitAtOnce)
{
    start(catalogPath());
    ASSERT_TRUE(rescansReach(1));
    write(QStringLiteral("a.txt"));
    ASSERT_TRUE(watcher_->waitUntilSettling(10s));
    watcher_->Shutdown(); // no clock advance needed
    EXPECT_FALSE(watcher_->IsStarted());
    EXPECT_EQ(indexer_->rescans(), 1);
}

} // namespace
