// A settings file with 4000 and with 40000 values under one key, measured side by side in each
// iteration: reading (the file parsed afresh, the key's names listed and one value read) and
// writing (one value changed, so the whole file is written again). "ratio" is the large file's
// time over the small one's; reading and writing in linear time give about 10.
#include "settings/settings.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>

namespace {

constexpr int kSmall = 4000;
constexpr int kLarge = 40000;
const QString kKeyPath = QStringLiteral("software\\Kavro\\Kavro Professional\\Options");

double secondsOf(auto&& f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// One folder per size, so each size has a settings file of its own.
class SettingsFile {
public:
    explicit SettingsFile(int values) : values_(values) { }

    // Written by hand, as another program would, with `first` as the first value so that no
    // earlier parse of the file can be reused.
    void writeByHand(uint32_t first) const
    {
        QByteArray text = "[" + kKeyPath.toUtf8() + "]\n";
        for (int i = 0; i < values_; ++i)
            text += "\"Value" + QByteArray::number(i)
                + "\"=dword:" + QByteArray::number(i == 0 ? first : uint32_t(i), 16).rightJustified(8, '0') + "\n";
        QFile f(dir_.path() + QStringLiteral("/user.reg"));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size())
            std::abort();
    }
    void use() const { setenv("KAVRO_CONFIG_HOME", QFile::encodeName(dir_.path()).constData(), 1); }
    int values() const { return values_; }

private:
    int values_;
    QTemporaryDir dir_;
};

// Opens the key, lists its values and reads the last one; false when the file did not read back.
bool readKey(const SettingsFile& file)
{
    SettingsKey key;
    QStringList names;
    uint32_t last = 0;
    return SUCCEEDED(SettingsKey::open(SettingsRoot::CurrentUser, kKeyPath, &key)) && SUCCEEDED(key.valueNames(&names))
        && names.size() == file.values()
        && SUCCEEDED(key.readDword(QStringLiteral("Value%1").arg(file.values() - 1), &last))
        && last == uint32_t(file.values() - 1);
}

void report(benchmark::State& state, double small, double large)
{
    state.counters["small_ms"] = small * 1e3 / double(state.iterations());
    state.counters["large_ms"] = large * 1e3 / double(state.iterations());
    state.counters["ratio"] = large / small;
}

void BM_ReadKey(benchmark::State& state)
{
    const SettingsFile small(kSmall), large(kLarge);
    double smallTime = 0, largeTime = 0;
    uint32_t n = 0;
    for (auto _ : state) {
        ++n;
        small.writeByHand(n);
        large.writeByHand(n);
        bool ok = true;
        small.use();
        smallTime += secondsOf([&] { ok = readKey(small) && ok; });
        large.use();
        const double t = secondsOf([&] { ok = readKey(large) && ok; });
        largeTime += t;
        state.SetIterationTime(t);
        if (!ok)
            state.SkipWithError("the file did not read back");
    }
    report(state, smallTime, largeTime);
}
BENCHMARK(BM_ReadKey)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_WriteValue(benchmark::State& state)
{
    const SettingsFile small(kSmall), large(kLarge);
    small.writeByHand(0);
    large.writeByHand(0);
    double smallTime = 0, largeTime = 0;
    uint32_t n = 0;
    auto writeOne = [&](const SettingsFile& file) {
        file.use();
        SettingsKey key;
        if (FAILED(SettingsKey::open(SettingsRoot::CurrentUser, kKeyPath, &key)))
            return -1.0;
        return secondsOf([&] {
            if (FAILED(key.writeDword(QStringLiteral("Value%1").arg(file.values() / 2), n)))
                state.SkipWithError("the value was not written");
        });
    };
    for (auto _ : state) {
        ++n;
        smallTime += writeOne(small);
        const double t = writeOne(large);
        largeTime += t;
        state.SetIterationTime(t);
    }
    report(state, smallTime, largeTime);
}
BENCHMARK(BM_WriteValue)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
