// The serial road at 500 frames per second: a pty driven in real time by a writer thread, the
// Vantage model's own reader thread on the pty's other end, the ring and the control queue the
// trainer uses (a Qt event-loop queue), and delivery on the control thread (this thread, running
// a Qt event loop as the trainer's does). Side by side, each on a pty of its own written at the
// same moments, three minimal readers: one that only polls and reads; one that also wakes a plain
// waiting thread (an eventfd) for every read; and one that wakes it the same way but waits in a
// blocking read instead of poll, the least that a reader which must wake the control thread for
// every frame can pay. Reported per second of data: the CPU of the model's reader
// ("reader_cpu_pct", percent of one core), of the control thread, and of the minimal readers;
// "ratio" is reader over minimal, "ratio_woken" reader over the minimal reader that wakes,
// "blocking_ratio" the blocking reader over minimal; and the latency from a frame's write to its
// delivery on the control thread (p50, p99, max, in ms).
#include "device/serial/vantage.h"
#include "com/classregistry.h"
#include "kavrodoc.h"
#include "serial/serial_port.h"
#include "support/model_host.h"
#include "thread/qt_control_queue.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {

using namespace kavro;

class BenchHost final : public ModelHost {
public:
    BenchHost() : ModelHost(500) { }
    HRESULT FireEvent(const std::function<HRESULT(_IKavroDeviceEvents*)>&) override
    {
        ++events;
        return S_OK;
    }
    // The queue the trainer's device control makes: posts arrive as Qt events on this thread.
    std::unique_ptr<ControlQueue> MakeQueue(QueueHandler handler) override
    {
        return std::make_unique<QtControlQueue>(std::move(handler));
    }
    int64_t events = 0;
};

// The frame a Vantage sensor sends for one sample.
std::array<uint8_t, 8> vantageFrame(int x, int y, int signal, int piezo, int counter)
{
    const int rx = x + 512, ry = y + 512, s = signal * 2, p = piezo / 4;
    std::array<uint8_t, 8> b{};
    b[0] = static_cast<uint8_t>(0x80 | (rx & 0x7F));
    b[1] = static_cast<uint8_t>(((rx >> 7) & 7) | ((ry & 0xF) << 3));
    b[2] = static_cast<uint8_t>((ry >> 4) & 0x3F);
    b[3] = static_cast<uint8_t>(s & 0x7F);
    b[4] = static_cast<uint8_t>(((s >> 7) & 7) | ((p & 0xF) << 3));
    b[5] = static_cast<uint8_t>(((p >> 4) & 0xF) | ((counter & 7) << 4));
    b[6] = static_cast<uint8_t>((counter >> 3) & 0x1F);
    uint8_t sum = static_cast<uint8_t>(b[6]);
    for (int i = 0; i < 6; ++i)
        sum = static_cast<uint8_t>(sum + b[i]);
    b[6] = static_cast<uint8_t>(b[6] | ((sum & 1) << 6));
    b[7] = static_cast<uint8_t>(sum >> 1);
    return b;
}

// Ten seconds of a shooter: a 4 s aiming with a shot, a pause, again.
std::vector<std::array<uint8_t, 8>> stream()
{
    std::vector<std::array<uint8_t, 8>> frames;
    for (int i = 0; i < 5000; ++i) {
        const int phase = i % 2500;
        const bool aiming = phase < 2000;
        const int x = static_cast<int>(40 * std::sin(i / 50.0));
        const int y = static_cast<int>(30 * std::cos(i / 70.0));
        frames.push_back(vantageFrame(x, y, aiming ? 200 : 0, phase == 1500 ? 200 : 0, i));
    }
    return frames;
}

constexpr int kFrames = 2500; // five seconds of data
constexpr auto kFramePeriod = std::chrono::microseconds(2000);

using SteadyClock = std::chrono::steady_clock;

int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now().time_since_epoch()).count();
}

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// CPU seconds a thread of this process has used, read from the scheduler's figures.
double taskCpuSeconds(pid_t tid)
{
    QFile f(QStringLiteral("/proc/self/task/%1/schedstat").arg(tid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return f.readAll().split(' ').value(0).toDouble() * 1e-9;
}

std::vector<pid_t> taskIds()
{
    std::vector<pid_t> ids;
    for (const QString& name : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        ids.push_back(pid_t(name.toInt()));
    return ids;
}

struct Pty {
    int master = -1;
    QString slavePath;
    bool open()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return false;
        slavePath = QString::fromLocal8Bit(::ptsname(master));
        return true;
    }
    ~Pty()
    {
        if (master >= 0)
            ::close(master);
    }
};

double percentile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size())))];
}

// Frame k's write time, for the latency of its delivery.
std::vector<std::atomic<int64_t>> writeTimes(kFrames);

class TimedVantage final : public CKavroVantage {
public:
    using CKavroVantage::CKavroVantage;
    ~TimedVantage() override { Close(); }
    void ProcessSamples(const SampleRecord* records, size_t count) override
    {
        CKavroVantage::ProcessSamples(records, count);
        const int64_t now = nowNs();
        for (size_t i = 0; i < count && delivered < kFrames; ++i, ++delivered)
            latencies.push_back(double(now - writeTimes[size_t(delivered)].load()) * 1e-6);
        ++batches;
    }
    int delivered = 0;
    int batches = 0;
    std::vector<double> latencies;
};

// Polls and reads, nothing else: the floor any reader of the same stream has to pay. Given an
// eventfd, it wakes the thread waiting on it for every read that brought bytes. On a descriptor
// opened blocking it leaves out the poll and waits in the read itself (VMIN 0, VTIME 1: back with
// the first bytes or after 100 ms).
struct MinimalReader {
    int fd = -1;
    bool blocking = false;
    int wakeFd = -1;
    std::atomic<bool> stop{false};
    double cpu = 0;
    int64_t bytes = 0;
    void run()
    {
        const double start = threadCpuSeconds();
        uint8_t buffer[4096];
        pollfd p{fd, POLLIN, 0};
        const uint64_t one = 1;
        while (!stop.load(std::memory_order_relaxed)) {
            if (blocking || ::poll(&p, 1, 50) > 0) {
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n > 0) {
                    bytes += n;
                    if (wakeFd >= 0)
                        (void)!::write(wakeFd, &one, sizeof one);
                }
            }
        }
        cpu = threadCpuSeconds() - start;
    }
};

// A plain thread that sleeps until an eventfd is written and takes what was counted: the least a
// control thread woken for every frame does.
class WaitingThread {
public:
    WaitingThread() : fd_(::eventfd(0, EFD_CLOEXEC))
    {
        thread_ = std::thread([this] {
            uint64_t count = 0;
            while (::read(fd_, &count, sizeof count) == sizeof count && !stop_.load())
                woken_ += int64_t(count);
        });
    }
    ~WaitingThread()
    {
        stop_ = true;
        const uint64_t one = 1;
        (void)!::write(fd_, &one, sizeof one);
        thread_.join();
        ::close(fd_);
    }
    int wakeFd() const { return fd_; }

private:
    int fd_;
    std::atomic<bool> stop_{false};
    int64_t woken_ = 0;
    std::thread thread_;
};

// The slave side of `pty` in raw mode, without blocking unless asked to (then a read returns
// with the first bytes or after 100 ms); -1 when it cannot be opened.
int openRaw(const Pty& pty, bool blocking = false)
{
    const int fd
        = ::open(pty.slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC | (blocking ? 0 : O_NONBLOCK));
    if (fd < 0)
        return -1;
    termios raw{};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 1;
    ::tcsetattr(fd, TCSANOW, &raw);
    return fd;
}

void BM_VantageRoad500(benchmark::State& state)
{
    qputenv("KAVRO_EVENTS_DIR", KAVRO_BIN_DIR);
    BenchHost host;
    ComPtr<IEventManager> manager;
    createInstance(kavrodoc::CLSID_EventManager, &manager);
    if (manager)
        manager->FindByShortName(QStringLiteral("AR10"), host.event.put());
    const auto frames = stream();
    double readerCpu = 0, controlCpu = 0, minimalCpu = 0, wokenCpu = 0, blockingCpu = 0;
    std::vector<double> latencies;
    int batches = 0, delivered = 0;
    for (auto _ : state) {
        Pty road, plain, woken, blocked;
        if (!road.open() || !plain.open() || !woken.open() || !blocked.open()) {
            state.SkipWithError("no pty");
            return;
        }
        auto port = std::make_unique<SerialPort>();
        if (FAILED(port->open(road.slavePath))) {
            state.SkipWithError("the pty could not be opened as a port");
            return;
        }
        const std::vector<pid_t> before = taskIds();
        TimedVantage model(host, std::move(port));
        if (!model.Open()) {
            state.SkipWithError("the model did not open");
            return;
        }
        pid_t readerTid = 0;
        for (pid_t tid : taskIds())
            if (std::find(before.begin(), before.end(), tid) == before.end())
                readerTid = tid;

        WaitingThread waiting, waitingForBlocking;
        MinimalReader minimal, wakingMinimal, blocking;
        minimal.fd = openRaw(plain);
        wakingMinimal.fd = openRaw(woken);
        wakingMinimal.wakeFd = waiting.wakeFd();
        blocking.blocking = true;
        blocking.fd = openRaw(blocked, true);
        blocking.wakeFd = waitingForBlocking.wakeFd();
        std::thread minimalThread([&] { minimal.run(); });
        std::thread wakingThread([&] { wakingMinimal.run(); });
        std::thread blockingThread([&] { blocking.run(); });

        std::atomic<bool> writing{true};
        std::thread writer([&] {
            // The pty written first in a round wakes its reader at a dearer moment: every reader
            // takes each place in turn.
            const std::array<int, 4> masters{road.master, plain.master, woken.master, blocked.master};
            auto next = SteadyClock::now();
            for (int k = 0; k < kFrames; ++k) {
                next += kFramePeriod;
                std::this_thread::sleep_until(next);
                const auto& f = frames[size_t(k) % frames.size()];
                for (size_t i = 0; i < masters.size(); ++i) {
                    const int master = masters[(size_t(k) + i) % masters.size()];
                    if (master == road.master)
                        writeTimes[size_t(k)] = nowNs();
                    (void)!::write(master, f.data(), f.size());
                }
            }
            writing = false;
        });

        const double readerStart = taskCpuSeconds(readerTid);
        const double controlStart = threadCpuSeconds();
        const auto t0 = SteadyClock::now();
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (!writing && (model.delivered >= kFrames || SteadyClock::now() - t0 >= std::chrono::seconds(20)))
                loop.quit();
        });
        check.start(20);
        loop.exec();
        check.stop();
        controlCpu += threadCpuSeconds() - controlStart;
        readerCpu += taskCpuSeconds(readerTid) - readerStart;
        writer.join();
        minimal.stop = wakingMinimal.stop = blocking.stop = true;
        minimalThread.join();
        wakingThread.join();
        blockingThread.join();
        ::close(minimal.fd);
        ::close(wakingMinimal.fd);
        ::close(blocking.fd);
        minimalCpu += minimal.cpu;
        wokenCpu += wakingMinimal.cpu;
        blockingCpu += blocking.cpu;
        model.Close();
        latencies.insert(latencies.end(), model.latencies.begin(), model.latencies.end());
        batches += model.batches;
        delivered += model.delivered;
        state.SetIterationTime(double(kFrames) * 0.002);
    }
    const double dataSeconds = double(state.iterations()) * kFrames * 0.002;
    state.counters["reader_cpu_pct"] = 100 * readerCpu / dataSeconds;
    state.counters["control_cpu_pct"] = 100 * controlCpu / dataSeconds;
    state.counters["minimal_cpu_pct"] = 100 * minimalCpu / dataSeconds;
    state.counters["woken_cpu_pct"] = 100 * wokenCpu / dataSeconds;
    state.counters["blocking_cpu_pct"] = 100 * blockingCpu / dataSeconds;
    state.counters["blocking_ratio"] = minimalCpu > 0 ? blockingCpu / minimalCpu : 0;
    state.counters["ratio"] = minimalCpu > 0 ? readerCpu / minimalCpu : 0;
    state.counters["ratio_woken"] = wokenCpu > 0 ? readerCpu / wokenCpu : 0;
    state.counters["p50_ms"] = percentile(latencies, 0.5);
    state.counters["p99_ms"] = percentile(latencies, 0.99);
    state.counters["max_ms"] = percentile(latencies, 1.0);
    state.counters["delivered"] = double(delivered) / double(state.iterations());
    state.counters["per_batch"] = batches ? double(delivered) / batches : 0;
}
BENCHMARK(BM_VantageRoad500)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(2);

} // namespace

int main(int argc, char** argv)
{
    // The control thread runs a Qt event loop, as the trainer's does.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
