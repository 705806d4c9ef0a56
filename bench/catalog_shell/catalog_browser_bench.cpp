// Opening folders of a 10000-document catalog in the browser window: the catalog's top level and
// a shooter folder holding every document, each time with the tree rebuilt from the cache and the
// view filled ("ms" per opening; goal 50 ms each). The baseline of the same run is reading the
// cache alone ("ratio": how many cache reads one opening costs).
#include "cache_reader.h"
#include "cache_writer.h"
#include "catalog_notice.h"
#include "catalog_tree.h"
#include "kavro_view.h"
#include "service_presence.h"
#include "shell/shell_browser_window.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>

using namespace kavro;
using namespace kavro::catalog;
using namespace kavro::shell;

namespace {

constexpr int kDocuments = 10000;

struct Catalog {
    QTemporaryDir dir;
    ServicePresence presence;
    CatalogCache cache;

    Catalog()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
        qputenv("KAVRO_CACHE_DIR", QFile::encodeName(dir.path()));
        presence.claim();
        presence.announce();
        cache.open(dir.path() + QStringLiteral("/kavrocls.tmp"));
        for (int i = 0; i < kDocuments; ++i) {
            CacheRecord r;
            r.state = kLiveDocument;
            r.fileVersion = 12;
            r.fileSize = 4000;
            r.writeTime = 1000 + static_cast<uint64_t>(i);
            r.date = 45000 + i / 100.0;
            r.shotCount = 10;
            r.resultSum = 95;
            r.path = QStringLiteral("/home/s/Kavro catalog/practice %1.kavro").arg(i);
            r.event = QStringLiteral("Air Rifle 10 Meters");
            r.shooter = QStringLiteral("Anna");
            r.comments = QStringLiteral("calm");
            r.position = QStringLiteral("standing");
            cache.AppendRecord(r);
        }
    }
};

Catalog& catalog()
{
    static Catalog c;
    return c;
}

double secondsOf(auto&& f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double cacheRead()
{
    CatalogCacheReader reader;
    reader.open();
    CacheSnapshot snapshot;
    return secondsOf([&] { reader.read(&snapshot, nullptr, 10000); });
}

void openFolder(benchmark::State& state, const QStringList& path)
{
    catalog();
    int argc = 1;
    char name[] = "bench";
    char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
    ShellBrowserWindow window;
    IdList folder(catalogIdList(path));
    IdList elsewhere(catalogIdList({QStringLiteral("Air Pistol")}));
    double opening = 0, baseline = 0;
    int rows = 0;
    for (auto _ : state) {
        window.browseTo(elsewhere.get());
        QCoreApplication::processEvents();
        CCatalog::instance().reset();
        const double s = secondsOf([&] {
            window.browseTo(folder.get());
            QCoreApplication::processEvents();
            if (auto* view = static_cast<KavroView*>(window.viewHost()->view())) {
                rows = view->model()->rowCount();
                // The rows shown at once are asked for their texts and icons.
                for (int r = 0; r < std::min(rows, 40); ++r)
                    for (int c = 0; c < CatalogListModel::kColumns; ++c)
                        view->model()->data(view->model()->index(r, c), Qt::DisplayRole);
            }
        });
        state.SetIterationTime(s);
        opening += s;
        baseline += cacheRead();
    }
    state.counters["ms"] = opening * 1000 / double(state.iterations());
    state.counters["ratio"] = opening / baseline;
    state.counters["rows"] = rows;
}

void BM_OpenTopLevel(benchmark::State& state)
{
    openFolder(state, {});
}

void BM_OpenShooterFolder(benchmark::State& state)
{
    openFolder(state, {QStringLiteral("Air Rifle 10 Meters"), QStringLiteral("Anna")});
}

} // namespace

BENCHMARK(BM_OpenTopLevel)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenShooterFolder)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
