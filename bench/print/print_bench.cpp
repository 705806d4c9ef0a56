// The printed report of a 60-shot practice: laying out the page list, and laying it out and
// writing every page to PDF (goal: under 1 s); the information page's statistics for 200 shots
// (goal: under 10 ms). "ratio" compares each with a baseline measured in the same run: writing a
// blank one-page PDF for the report, one pass reading every shot's result for the statistics.
#include "doc_helpers.h"
#include "support/info_shooting.h"
#include "info_statistics.h"
#include "kavro_doc.h"
#include "support/practice_builder.h"
#include "printer_output.h"
#include "report.h"

#include <QApplication>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

using namespace kavro::print;

namespace {

struct Practice {
    trainertest::TestEnvironment environment;
    CKavroDoc doc;
    explicit Practice(int shots)
    {
        infotest::start(doc);
        infotest::shoot(doc, charttest::realPracticeSpecs(shots));
    }
};

// Made on first use and ended by main while the application and every store a document touches
// are still there.
std::map<int, std::unique_ptr<Practice>>* practices = nullptr;

Practice& practice(int shots)
{
    auto& p = (*practices)[shots];
    if (!p)
        p = std::make_unique<Practice>(shots);
    return *p;
}

void toPdf(QPrinter& printer, const QString& path)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setResolution(600);
    printer.setPageSize(QPageSize(QPageSize::A4));
}

template <class F> double secondsPer(int n, F f)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i)
        f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / n;
}

double blankPdfSeconds()
{
    static const double s = [] {
        QTemporaryDir dir;
        return secondsPer(5, [&] {
            QPrinter printer(QPrinter::HighResolution);
            toPdf(printer, dir.filePath("blank.pdf"));
            QPainter painter(&printer);
        });
    }();
    return s;
}

void BM_ReportLayout(benchmark::State& state)
{
    Practice& p = practice(60);
    const PageGeometry g = computePageGeometry(4960, 7016, 600, 600, 0, 0, {});
    size_t pages = 0;
    for (auto _ : state) {
        auto list = PrintReport(p.doc, g, ReportSections{});
        pages = list ? list->size() : 0;
        benchmark::DoNotOptimize(pages);
    }
    state.counters["pages"] = double(pages);
}
BENCHMARK(BM_ReportLayout)->Unit(benchmark::kMillisecond);

void BM_ReportToPdf(benchmark::State& state)
{
    Practice& p = practice(60);
    QTemporaryDir dir;
    double total = 0;
    int runs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        QPrinter printer(QPrinter::HighResolution);
        toPdf(printer, dir.filePath("report.pdf"));
        auto list = PrintReport(p.doc, printerGeometry(printer, {}), ReportSections{});
        if (!list || !printPages(printer, *list))
            state.SkipWithError("the report could not be printed");
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++runs;
    }
    state.counters["ratio"] = runs ? total / runs / blankPdfSeconds() : 0;
}
BENCHMARK(BM_ReportToPdf)->Unit(benchmark::kMillisecond);

double resultPassSeconds(CKavroDoc& doc)
{
    return secondsPer(50, [&] {
        ComPtr<IShotCollection> match;
        doc.GetMatchShots(&match);
        float sum = 0;
        for (int i = 1, n = countOf(match.get()); i <= n; ++i) {
            float r = 0;
            shotAt(match.get(), i)->get_Result(&r);
            sum += r;
        }
        benchmark::DoNotOptimize(sum);
    });
}

void BM_InfoStatistics200(benchmark::State& state)
{
    Practice& p = practice(200);
    const double baseline = resultPassSeconds(p.doc);
    double total = 0;
    int runs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto s = kavro::info::documentStatistics(p.doc);
        benchmark::DoNotOptimize(s);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++runs;
    }
    state.counters["ratio"] = runs ? total / runs / baseline : 0;
}
BENCHMARK(BM_InfoStatistics200)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::map<int, std::unique_ptr<Practice>> made;
    practices = &made;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    made.clear();
    practices = nullptr;
    return 0;
}
