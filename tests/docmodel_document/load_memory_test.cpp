// A load never needs memory out of proportion to its input: at most 256 MiB plus 64 times the
// file's size, however many samples, channels and aimings a small hostile file claims. Every
// allocation through operator new is counted; one that would pass the bound is refused and
// remembered, so that a fault shows as a failed test and not as an exhausted machine.
#include "aiming_attr.h"
#include "aiming_trace.h"
#include "kavrodoc.h"
#include "com/classregistry.h"
#include "storage/cfb/compound_file.h"
#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_forms.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace {

std::atomic<uint64_t> allocated{0};
std::atomic<uint64_t> cap{UINT64_MAX};
std::atomic<bool> capReached{false};

void* countedAllocation(std::size_t size)
{
    void* p = std::malloc(size ? size : 1);
    if (!p)
        return nullptr;
    const uint64_t now = allocated += malloc_usable_size(p);
    if (now > cap) {
        capReached = true;
        allocated -= malloc_usable_size(p);
        std::free(p);
        return nullptr;
    }
    return p;
}

void countedFree(void* p) noexcept
{
    if (!p)
        return;
    allocated -= malloc_usable_size(p);
    std::free(p);
}

} // namespace

void* operator new(std::size_t size)
{
    if (void* p = countedAllocation(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return countedAllocation(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return countedAllocation(size);
}
void operator delete(void* p) noexcept
{
    countedFree(p);
}
void operator delete[](void* p) noexcept
{
    countedFree(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    countedFree(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    countedFree(p);
}

namespace {

[[maybe_unused]] const bool eventsFromTheBinFolder = qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR));

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

QByteArray le32(int32_t v)
{
    return QByteArray(reinterpret_cast<const char*>(&v), 4);
}

// A trace claiming `count` invalid samples in x, y and `channels` channels of zeros.
QByteArray claimingTrace(int32_t count, int32_t channels)
{
    const QByteArray run = hex("30") + le32(count); // one class 0 run, no payload
    QByteArray t = le32(4) + le32(0) + le32(count) + hex("00") + run + run + le32(channels);
    for (int32_t i = 0; i < channels; ++i)
        t += hex("00") + le32(0) + run;
    return t;
}

QByteArray guid(const Guid& id)
{
    auto s = kavro::MemoryStream::create();
    kavro::writeGuid(s.get(), id);
    return s->bytes();
}

QByteArray bstr(const char* text)
{
    auto s = kavro::MemoryStream::create();
    kavro::writeBstr(s.get(), QString::fromLatin1(text));
    return s->bytes();
}

// A document of `aimings` aimings of AR10 at 200 samples per second, each with `trace`.
QByteArray documentContents(int aimings, const QByteArray& trace)
{
    const QByteArray attr
        = le32(3) + bstr("AR10") + QByteArray(16, '\0') + le32(200) + le32(0) + hex("01") + le32(1) + le32(0);
    const QByteArray aiming = guid(kavrodoc::CLSID_Aiming) + le32(2) + guid(kavrodoc::CLSID_AimingAttr) + attr
        + guid(kavrodoc::CLSID_AimingTrace) + trace + le32(0);
    QByteArray c
        = le32(10) + bstr("Claims") + guid(kavrodoc::CLSID_AimingCollection) + le32(2) + le32(aimings) + bstr("AR10");
    for (int i = 0; i < aimings; ++i)
        c += aiming;
    return c + le32(0);
}

uint64_t boundFor(qint64 fileBytes)
{
    return (uint64_t(256) << 20) + 64 * uint64_t(fileBytes);
}

class LoadMemory : public ::testing::Test {
protected:
    void TearDown() override { cap = UINT64_MAX; }

    // Loads the file with allocations capped at the bound above what is allocated before.
    HRESULT loadCapped(const QString& path, QString* readError = nullptr)
    {
        ComPtr<IKavroDocument> doc;
        EXPECT_EQ(createInstance(kavrodoc::CLSID_KavroDocument, &doc), S_OK);
        doc->put_FileName(path);
        capReached = false;
        cap = allocated + boundFor(QFileInfo(path).size());
        const HRESULT hr = doc->Load();
        cap = UINT64_MAX;
        if (readError)
            doc->get_ReadErrorMsg(readError);
        return hr;
    }

    QString write(const char* name, const QByteArray& contents)
    {
        CompoundFileWriter w;
        w.setRootClassId(kavrodoc::CLSID_KavroDocument);
        EXPECT_EQ(w.addStream(QStringLiteral("Contents"), contents), S_OK);
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_EQ(w.writeFile(path, WriteMode::Replace), S_OK);
        return path;
    }

    QTemporaryDir dir;
};

TEST_F(LoadMemory, TracesClaimingMoreThanTheyHoldAreRefusedWithinTheBound)
{
    using kavrodoc::CAimingTrace;
    // A long aiming without channels is a real practice: it loads.
    EXPECT_EQ(loadCapped(write("one.kavro", documentContents(1, claimingTrace(CAimingTrace::kMostSamples, 0)))), S_OK);
    EXPECT_FALSE(capReached);
    // Longer than any aiming, or with more channels than any trace has: damage.
    QString readError;
    EXPECT_EQ(loadCapped(write("long.kavro", documentContents(1, claimingTrace(CAimingTrace::kMostSamples + 1, 0))),
                         &readError),
              E_FAIL);
    EXPECT_EQ(readError, QStringLiteral("The document is damaged and cannot be read."));
    EXPECT_EQ(
        loadCapped(write("channels.kavro", documentContents(1, claimingTrace(1, CAimingTrace::kMostUserChannels + 1)))),
        E_FAIL);
    EXPECT_FALSE(capReached);

    // Aimings that each claim all the channels they may have, for as long as they may: one is
    // what a trace can record, two are more than their few bytes may cost.
    const QByteArray greedy = claimingTrace(CAimingTrace::kMostSamples, CAimingTrace::kMostUserChannels);
    EXPECT_EQ(loadCapped(write("greedy.kavro", documentContents(1, greedy))), S_OK);
    EXPECT_FALSE(capReached);
    // Refused by the budget: the user is told it is memory, not damage.
    EXPECT_EQ(loadCapped(write("greedier.kavro", documentContents(2, greedy)), &readError), E_FAIL);
    EXPECT_EQ(readError,
              QStringLiteral("There is not enough memory to read the document. Close other programs and try again."));
    EXPECT_FALSE(capReached);
    EXPECT_EQ(loadCapped(write("many.kavro", documentContents(200, claimingTrace(CAimingTrace::kMostSamples, 0)))),
              E_FAIL);
    EXPECT_FALSE(capReached);
}

TEST_F(LoadMemory, ATraceOnItsOwnIsBoundByItsStream)
{
    using kavrodoc::CAimingTrace;
    auto trace = CAimingTrace::create();
    const QByteArray greedy = claimingTrace(CAimingTrace::kMostSamples, CAimingTrace::kMostUserChannels);
    auto s = kavro::MemoryStream::create(greedy);
    capReached = false;
    cap = allocated + boundFor(greedy.size());
    EXPECT_EQ(trace->Load(s.get()), S_OK);
    cap = UINT64_MAX;
    EXPECT_FALSE(capReached);
    int32_t count = 0;
    trace->get_Count(&count);
    EXPECT_EQ(count, CAimingTrace::kMostSamples);
}

// Channels marked 16-bit whose values do not fit are read twice, 16-bit and then 32-bit, and
// a load is charged for both: marked so, the greediest trace is more than its few bytes may cost,
// in a document and on its own, though it loads marked 32-bit.
TEST_F(LoadMemory, ChannelsMarkedNarrowThatDoNotFitAreChargedForBothForms)
{
    using kavrodoc::CAimingTrace;
    QByteArray narrow = claimingTrace(CAimingTrace::kMostSamples, CAimingTrace::kMostUserChannels);
    const QByteArray run = hex("30") + le32(CAimingTrace::kMostSamples);
    narrow[12] = char(3);
    for (qsizetype at = 13 + 2 * run.size() + 4; at < narrow.size(); at += 1 + 4 + run.size())
        narrow[at] = char(1);
    ASSERT_EQ(narrow.count(char(1)), CAimingTrace::kMostUserChannels);

    EXPECT_EQ(loadCapped(write("narrow.kavro", documentContents(1, narrow))), E_FAIL);
    EXPECT_FALSE(capReached);
    auto trace = CAimingTrace::create();
    auto s = kavro::MemoryStream::create(narrow);
    EXPECT_EQ(trace->Load(s.get()), E_OUTOFMEMORY);
}

// A loaded practice holds about its coded bytes until its samples are read; once every trace
// has decoded its samples, the coded bytes are gone.
TEST_F(LoadMemory, ALoadedPracticeHoldsItsCodedBytesUntilItsSamplesAreRead)
{
    constexpr int32_t n = 60000;
    constexpr int aimings = 20;
    QByteArray wave(n, '\x01');
    for (int32_t i = 1; i < n; i += 2)
        wave[i] = char(-1);
    const QByteArray run = hex("21") + QByteArray(reinterpret_cast<const char*>(&n), 2) + wave;
    const QByteArray trigger = hex("21") + QByteArray(reinterpret_cast<const char*>(&n), 2) + QByteArray(n, '\0');
    const QByteArray trace
        = le32(4) + le32(0) + le32(n) + hex("03") + run + run + le32(1) + hex("01") + bstr("_trigger") + trigger;
    const QString path = write("practice.kavro", documentContents(aimings, trace));
    const uint64_t fileBytes = uint64_t(QFileInfo(path).size());
    const uint64_t decodedBytes = uint64_t(aimings) * 3 * n * sizeof(int16_t);
    ASSERT_GT(decodedBytes, fileBytes + fileBytes / 2);

    ComPtr<IKavroDocument> doc;
    ASSERT_EQ(createInstance(kavrodoc::CLSID_KavroDocument, &doc), S_OK);
    doc->put_FileName(path);
    const uint64_t before = allocated;
    ASSERT_EQ(doc->Load(), S_OK);
    const uint64_t loaded = allocated - before;
    EXPECT_LT(loaded, fileBytes + fileBytes / 5) << "the samples were decoded at load";

    ComPtr<IAimingCollection> collection;
    ASSERT_EQ(doc->get_Aimings(collection.put()), S_OK);
    for (int32_t i = 1; i <= aimings; ++i) {
        ComPtr<IAiming> aiming;
        ComPtr<IAimingTrace> t;
        ASSERT_EQ(collection->get_Item(i, aiming.put()), S_OK);
        ASSERT_EQ(aiming->get_Trace(t.put()), S_OK);
        int32_t x = 0, y = 0;
        ASSERT_EQ(t->_GetPoint(n - 2, &x, &y), S_OK);
        EXPECT_EQ(x, 1);
        ASSERT_EQ(t->_GetPoint(n - 1, &x, &y), S_OK);
        EXPECT_EQ(x, 0);
    }
    const uint64_t read = allocated - before;
    EXPECT_GT(read, decodedBytes);
    EXPECT_LT(read, decodedBytes + fileBytes / 10) << "the coded bytes are still held";
}

// Finishing a recording narrows its storage, which takes memory of its own: without it the trace
// says so and stays writable and whole.
TEST_F(LoadMemory, FinishingATraceWithoutMemoryToNarrowItFailsAndKeepsIt)
{
    auto attr = kavrodoc::CAimingAttr::create();
    ASSERT_EQ(attr->put_SampleRate(20), S_OK);
    auto trace = kavrodoc::CAimingTrace::create(attr.get());
    ASSERT_EQ(trace->put_WrapEnabled(VARIANT_FALSE), S_OK);
    for (int32_t i = 0; i < 60; ++i) // exactly the first storage: nothing to cut before narrowing
        ASSERT_EQ(trace->_Add(i, -i), S_OK);

    cap = allocated.load();
    const HRESULT hr = trace->put_ReadOnly(VARIANT_TRUE);
    cap = UINT64_MAX;
    EXPECT_EQ(hr, E_OUTOFMEMORY);
    VARIANT_BOOL readOnly = VARIANT_TRUE;
    trace->get_ReadOnly(&readOnly);
    EXPECT_EQ(readOnly, VARIANT_FALSE);
    EXPECT_EQ(trace->_Add(60, -60), S_OK);

    ASSERT_EQ(trace->put_ReadOnly(VARIANT_TRUE), S_OK);
    for (int32_t i = 0; i <= 60; ++i) {
        int32_t x = 0, y = 0;
        ASSERT_EQ(trace->_GetPoint(i, &x, &y), S_OK);
        ASSERT_EQ(std::pair(x, y), std::pair(i, -i));
    }
}

} // namespace
