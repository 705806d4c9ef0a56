// A Vantage stream at 500 samples per second through decode, the per-sample state machine and the
// trace: samples per second of CPU, and CPU time per second of sensor data.
#include "device/model/device_host.h"
#include "device/serial/vantage.h"
#include "com/classregistry.h"
#include "kavrodoc.h"
#include "thread/pumped_control_queue.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <vector>

namespace {

using namespace kavro;

class BenchHost final : public DeviceHost {
public:
    BenchHost() { SetSampleRate(500); }
    ComPtr<IEventParams> Event(int32_t) const override { return event; }
    enumTargetType TargetType(int32_t) const override { return Target10m; }
    int32_t PiezoSensitivity(int32_t) const override { return 30; }
    float MaxTimeBeforeShot(int32_t) const override { return 5.0f; }
    float MaxTimeAfterShot(int32_t) const override { return 1.0f; }
    int32_t CorrectionX(int32_t) const override { return 0; }
    int32_t CorrectionY(int32_t) const override { return 0; }
    int32_t SubTarget(int32_t) const override { return 1; }
    enumSensorPosition SensorPosition(int32_t) const override { return SensorBottom; }
    float PiezoRejectInterval(int32_t) const override { return 0.25f; }
    enumSemaphoreMode Semaphore() const override { return SemaphoreOff; }
    int32_t FiringPoint() const override { return 1; }
    float WirelessTargetDistance() const override { return 0; }
    void SetStatusText(const QString&) override {}
    void SetDeviceSerial(int32_t, const DeviceSerial&) override {}
    void SetCalibrationWanted(int32_t, bool) override {}
    void SetCorrections(int32_t, int32_t, int32_t) override {}
    HRESULT FireEvent(const std::function<HRESULT(_IKavroDeviceEvents*)>&) override
    {
        ++events;
        return S_OK;
    }
    std::unique_ptr<ControlQueue> MakeQueue(QueueHandler h) override
    {
        return std::make_unique<PumpedControlQueue>(std::move(h), realClock());
    }
    Clock& clock() override { return realClock(); }
    ComPtr<IEventParams> event;
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

void BM_VantageStream500(benchmark::State& state)
{
    qputenv("KAVRO_EVENTS_DIR", KAVRO_BIN_DIR);
    BenchHost host;
    ComPtr<IEventManager> manager;
    createInstance(kavrodoc::CLSID_EventManager, &manager);
    if (manager)
        manager->FindByShortName(QStringLiteral("AR10"), host.event.put());
    CKavroVantage model(host, nullptr);
    const auto frames = stream();
    constexpr size_t kBatch = 10; // the control drains about every 20 ms
    SampleRecord records[kBatch];
    for (auto _ : state) {
        for (size_t i = 0; i < frames.size(); i += kBatch) {
            model.BeginBatch(kBatch);
            for (size_t k = 0; k < kBatch; ++k) {
                records[k] = SampleRecord{};
                model.Decode(frames[i + k].data(), records[k]);
                model.OnSample(records[k]);
            }
            model.FlushCoordinates();
        }
    }
    const double samples = static_cast<double>(state.iterations() * frames.size());
    state.counters["samples/s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
    // CPU seconds spent per second of sensor data (500 samples).
    state.counters["cpu_per_data_s"] = benchmark::Counter(samples / 500.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["events"] = static_cast<double>(host.events);
}
BENCHMARK(BM_VantageStream500)->Unit(benchmark::kMillisecond);

} // namespace
