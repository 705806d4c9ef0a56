// Live notifications of a running practice: 500 trace points a second (50 batches of 10, as the
// device reports them) to 10 listeners that register for the trace stream. Measured over one
// second of real time: the trainer thread's CPU time, against the same second with nothing
// posted (baseline, same run), and the latency from the post to each listener's read.
#include "live_server.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

using namespace kavro::live;

namespace {

constexpr int kListeners = 10;
constexpr int kBatchesPerSecond = 50;
constexpr int kPointsPerBatch = 10;
constexpr int kPoints = kBatchesPerSecond * kPointsPerBatch;

int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Listener {
    int fd = -1;
    std::thread thread;
    std::vector<int64_t> latencies;
};

// Runs the trainer's event loop for one second, posting a batch every 20 ms when `post` is set;
// returns the thread's CPU ms.
double runSecond(LiveServer& server, bool post, std::vector<int64_t>& sentAt)
{
    QEventLoop loop;
    QTimer batches;
    int batch = 0;
    QObject::connect(&batches, &QTimer::timeout, [&] {
        if (!post || batch >= kBatchesPerSecond)
            return;
        std::vector<QByteArray> lines;
        lines.reserve(kPointsPerBatch);
        const int64_t at = nowNs();
        for (int i = 0; i < kPointsPerBatch; ++i) {
            const int index = batch * kPointsPerBatch + i;
            sentAt[size_t(index)] = at;
            lines.push_back(formatLine(Message::Point, 0, uint32_t(index)));
        }
        server.postTrace(lines);
        ++batch;
    });
    batches.setTimerType(Qt::PreciseTimer);
    batches.start(1000 / kBatchesPerSecond);
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    const double cpu0 = threadCpuMs();
    loop.exec();
    return threadCpuMs() - cpu0;
}

void BM_LivePointsToTenListeners(benchmark::State& state)
{
    static int argc = 1;
    static char name[] = "bench_trainer_live";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    LiveServer server;
    const QString path = dir.path() + "/live";
    if (!server.listen(path)) {
        state.SkipWithError("listen failed");
        return;
    }
    std::vector<int64_t> sentAt(kPoints, 0);
    std::vector<Listener> listeners(kListeners);
    std::atomic<bool> stop{false};
    for (Listener& l : listeners) {
        l.fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray native = QFile::encodeName(path);
        std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
        if (::connect(l.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            state.SkipWithError("connect failed");
            return;
        }
        const char hello[] = "KAVRO:REGISTER 3\n";
        (void)!::write(l.fd, hello, sizeof hello - 1);
    }
    while (server.registeredCount() < kListeners)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    for (Listener& l : listeners) {
        l.thread = std::thread([&l, &sentAt, &stop] {
            std::string pending;
            char buffer[8192];
            while (!stop.load()) {
                const ssize_t n = ::read(l.fd, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                const int64_t at = nowNs();
                pending.append(buffer, size_t(n));
                size_t start = 0, end;
                while ((end = pending.find('\n', start)) != std::string::npos) {
                    unsigned index = 0;
                    if (std::sscanf(pending.c_str() + start, "KAVRO:POINT 0 %u", &index) == 1 && index < sentAt.size())
                        l.latencies.push_back(at - sentAt[index]);
                    start = end + 1;
                }
                pending.erase(0, start);
            }
        });
    }

    double cpu = 0, baseline = 0;
    for (auto _ : state) {
        baseline += runSecond(server, false, sentAt);
        cpu += runSecond(server, true, sentAt);
    }
    // Let the last lines arrive, then end the listeners.
    runSecond(server, false, sentAt);
    stop = true;
    for (Listener& l : listeners) {
        ::shutdown(l.fd, SHUT_RDWR);
        l.thread.join();
        ::close(l.fd);
    }
    std::vector<int64_t> all;
    for (const Listener& l : listeners)
        all.insert(all.end(), l.latencies.begin(), l.latencies.end());
    std::sort(all.begin(), all.end());
    const double n = double(state.iterations());
    state.counters["cpu_pct_of_core"] = cpu / n / 10.0;
    state.counters["baseline_cpu_pct"] = baseline / n / 10.0;
    state.counters["ratio"] = baseline > 0 ? cpu / baseline : 0;
    state.counters["points_read"] = double(all.size());
    if (!all.empty()) {
        state.counters["latency_median_ms"] = all[all.size() / 2] / 1e6;
        state.counters["latency_p99_ms"] = all[all.size() * 99 / 100] / 1e6;
        state.counters["latency_max_ms"] = all.back() / 1e6;
    }
}

} // namespace

BENCHMARK(BM_LivePointsToTenListeners)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
