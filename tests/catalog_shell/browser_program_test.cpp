// kavro-catalog as a program: started on a catalog whose service does not run, it starts the
// service beside it, which indexes the catalog the browser shows.
#include "shell_fixture.h"

#include "cache_reader.h"
#include "support/spawn.h"

#include <chrono>
#include <csignal>
#include <thread>

using namespace shelltest;
using namespace std::chrono_literals;

namespace {

class BrowserProgramTest : public ShellCatalogTest {
protected:
    void TearDown() override
    {
        if (browser_ > 0) {
            ::kill(browser_, SIGKILL);
            cattest::waitExit(browser_, 10000);
        }
        const pid_t service = cattest::processHolding(runPath() + QStringLiteral("/kavro/KAVROCLSST"));
        if (service > 0)
            ::kill(service, SIGTERM);
        for (int i = 0; i < 500 && isCatalogServiceRunning(); ++i)
            std::this_thread::sleep_for(20ms);
        ShellCatalogTest::TearDown();
    }
    pid_t browser_ = -1;
};

TEST_F(BrowserProgramTest, TheBrowserStartsTheServiceThatIndexesTheCatalog)
{
    save(QStringLiteral("a.kavro"), cattest::practice("AR10", QStringLiteral("Anna")));
    ASSERT_FALSE(isCatalogServiceRunning());
    const cattest::Spawned s
        = cattest::spawnProcess(QStringLiteral(KAVRO_BIN_DIR "/kavro-catalog"), {},
                                {
                                    QStringLiteral("HOME=") + homePath(),
                                    QStringLiteral("XDG_RUNTIME_DIR=") + runPath(),
                                    QStringLiteral("KAVRO_CACHE_DIR=") + cacheDir(),
                                    QStringLiteral("KAVRO_SYSTEM_CONFIG=") + rootPath() + QStringLiteral("/config"),
                                    QStringLiteral("KAVRO_CONFIG_HOME=") + rootPath() + QStringLiteral("/config"),
                                    QStringLiteral("QT_QPA_PLATFORM=offscreen"),
                                });
    browser_ = s.pid;
    ASSERT_GT(browser_, 0);

    const auto end = std::chrono::steady_clock::now() + 60s;
    CatalogCacheReader reader;
    bool indexed = false;
    while (!indexed && std::chrono::steady_clock::now() < end) {
        CacheSnapshot snapshot;
        indexed = (reader.isOpen() || SUCCEEDED(reader.open())) && SUCCEEDED(reader.read(&snapshot, nullptr, 1000))
            && snapshot.header.documents == 1;
        if (!indexed)
            std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(indexed);
    EXPECT_TRUE(isCatalogServiceRunning());
    EXPECT_EQ(cattest::waitExit(browser_, 0), -1) << "the browser ended";
    // Ctrl+C in its terminal closes the window and ends the program in order.
    ASSERT_EQ(::kill(browser_, SIGINT), 0);
    EXPECT_EQ(cattest::waitExit(browser_, 20000), 0);
    browser_ = -1;
}

} // namespace
