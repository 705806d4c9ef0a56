// Saving and loading (with the first read, which decodes) a trace at 500 samples per second (x, y
// and one user channel) of 18 000, 180 000 and 1 800 000 samples (36 s, 6 min and an hour), against
// a plain copy of the decoded samples in the same run: the "ratio" counters say how many copies of
// the samples each direction costs. Each size is coded and copied once, untimed, before it is
// measured, so that neither side pays for memory the process touches first; each ratio is of the
// median times of the two sides, so a run the scheduler interrupts does not skew it. Decoding also
// reports the codec alone over the same channels. BM_Record records 6 and 60 minutes:
// "ns_per_sample" stays flat while the trace's growth is linear.
#include "aiming_attr.h"
#include "aiming_trace.h"
#include "trace_codec.h"
#include "storage/stream/memory_stream.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>

using namespace kavrodoc;

namespace {

constexpr int kRate = 500;

// A trace ready to record at 500 samples per second with one user channel, `*channel`.
ComPtr<CAimingTrace> emptyTrace(int32_t* channel)
{
    auto attr = CAimingAttr::create();
    attr->put_SampleRate(kRate);
    auto trace = CAimingTrace::create();
    trace->setAttr(attr.get());
    trace->put_WrapEnabled(VARIANT_FALSE);
    trace->AddUserData(QStringLiteral("_trigger"), channel);
    return trace;
}

// The samples of a recorded trace: a slow drift with a tremor and sensor noise, invalid for 20
// samples in every 5000, and a trigger channel raised for 40 samples in every 3000.
struct RecordedSamples {
    std::vector<int32_t> x, y, trigger;
};

RecordedSamples recordedSamples(int samples)
{
    RecordedSamples r;
    uint32_t noise = 12345;
    for (int i = 0; i < samples; ++i) {
        noise = noise * 1103515245u + 12345u;
        if (i % 5000 < 20) {
            r.x.push_back(kInvalidSample);
            r.y.push_back(kInvalidSample);
        } else {
            double t = i / double(kRate);
            r.x.push_back(int32_t(2000 * std::sin(t * 0.7) + 150 * std::sin(t * 9.0) + (noise >> 28)));
            r.y.push_back(int32_t(1500 * std::cos(t * 0.5) + 120 * std::cos(t * 7.0) + ((noise >> 24) & 15)));
        }
        r.trigger.push_back((i % 3000) < 40 ? 900 : 0);
    }
    return r;
}

ComPtr<CAimingTrace> recordedTrace(int samples)
{
    const RecordedSamples r = recordedSamples(samples);
    int32_t channel = 0;
    auto trace = emptyTrace(&channel);
    for (size_t i = 0; i < r.x.size(); ++i) {
        if (r.x[i] == kInvalidSample)
            trace->AddInvalid();
        else
            trace->_Add(r.x[i], r.y[i]);
        trace->put_UserData(channel, int32_t(i), r.trigger[i]);
    }
    trace->put_ReadOnly(VARIANT_TRUE);
    return trace;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
    return v[v.size() / 2];
}

double copySeconds(const std::vector<int32_t>& samples, std::vector<int32_t>& into)
{
    auto t0 = std::chrono::steady_clock::now();
    std::memcpy(into.data(), samples.data(), samples.size() * sizeof(int32_t));
    benchmark::ClobberMemory();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Three 32-bit channels of every sample: what the decoded trace amounts to.
std::vector<int32_t> decodedSamples(int samples)
{
    return std::vector<int32_t>(size_t(samples) * 3, 1);
}

void BM_EncodeHour(benchmark::State& state)
{
    const int n = int(state.range(0));
    auto trace = recordedTrace(n);
    auto samples = decodedSamples(n);
    std::vector<int32_t> copy(samples.size());
    auto save = [&] {
        auto s = kavro::MemoryStream::create();
        auto t0 = std::chrono::steady_clock::now();
        trace->Save(s.get(), 1);
        return std::pair(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(),
                         uint64_t(s->bytes().size()));
    };
    save();
    copySeconds(samples, copy);
    std::vector<double> coded, copied;
    uint64_t bytes = 0;
    for (auto _ : state) {
        const auto [seconds, size] = save();
        coded.push_back(seconds);
        bytes = size;
        copied.push_back(copySeconds(samples, copy));
    }
    state.counters["ratio"] = median(coded) / median(copied);
    state.counters["stored_bytes"] = double(bytes);
}
BENCHMARK(BM_EncodeHour)->Arg(18000)->Arg(180000)->Arg(1800000)->Unit(benchmark::kMillisecond)->Iterations(21);

// The codec alone over the same channels, into arrays in the forms the trace holds them (x and y
// 32-bit for their invalid samples, the trigger 16-bit) and already in use: the least the load
// and first read can cost, reported as "codec_ratio".
class ChannelsAlone {
public:
    explicit ChannelsAlone(int samples) : n_(uint32_t(samples)), x_(n_), y_(n_), trigger_(n_)
    {
        const RecordedSamples r = recordedSamples(samples);
        const std::vector<int16_t> trigger(r.trigger.begin(), r.trigger.end());
        encodeChannel(r.x.data(), n_, &coded_[0]);
        encodeChannel(r.y.data(), n_, &coded_[1]);
        encodeChannel(trigger.data(), n_, &coded_[2]);
    }
    double decodeSeconds()
    {
        auto t0 = std::chrono::steady_clock::now();
        decodeChannel(coded_[0].data(), coded_[0].size(), x_.data(), n_, nullptr);
        decodeChannel(coded_[1].data(), coded_[1].size(), y_.data(), n_, nullptr);
        decodeChannel(coded_[2].data(), coded_[2].size(), trigger_.data(), n_, nullptr);
        benchmark::ClobberMemory();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }

private:
    uint32_t n_;
    std::vector<uint8_t> coded_[3];
    std::vector<int32_t> x_, y_;
    std::vector<int16_t> trigger_;
};

void BM_DecodeHour(benchmark::State& state)
{
    const int n = int(state.range(0));
    auto s = kavro::MemoryStream::create();
    recordedTrace(n)->Save(s.get(), 1);
    auto samples = decodedSamples(n);
    std::vector<int32_t> copy(samples.size());
    ChannelsAlone alone(n);
    // A loaded trace keeps its coded bytes until first used: the first read decodes them all.
    auto loadAndRead = [&] {
        auto trace = CAimingTrace::create();
        auto in = kavro::MemoryStream::create(s->bytes());
        auto t0 = std::chrono::steady_clock::now();
        trace->Load(in.get());
        int32_t first = 0, x = 0, y = 0;
        trace->get_First(&first);
        trace->_GetPoint(first, &x, &y);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        benchmark::DoNotOptimize(x);
        return seconds;
    };
    loadAndRead();
    alone.decodeSeconds();
    copySeconds(samples, copy);
    std::vector<double> decoded, codec, copied;
    for (auto _ : state) {
        decoded.push_back(loadAndRead());
        codec.push_back(alone.decodeSeconds());
        copied.push_back(copySeconds(samples, copy));
    }
    state.counters["ratio"] = median(decoded) / median(copied);
    state.counters["codec_ratio"] = median(codec) / median(copied);
}
BENCHMARK(BM_DecodeHour)->Arg(18000)->Arg(180000)->Arg(1800000)->Unit(benchmark::kMillisecond)->Iterations(21);

void BM_Record(benchmark::State& state)
{
    const int samples = int(state.range(0)) * 60 * kRate;
    double seconds = 0;
    for (auto _ : state) {
        int32_t channel = 0;
        auto trace = emptyTrace(&channel);
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < samples; ++i) {
            trace->_Add(i & 1023, -(i & 511));
            trace->put_UserData(channel, i, i & 1);
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        benchmark::DoNotOptimize(trace.get());
    }
    state.counters["ns_per_sample"] = seconds * 1e9 / double(state.iterations()) / samples;
}
BENCHMARK(BM_Record)->Arg(6)->Arg(60)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
