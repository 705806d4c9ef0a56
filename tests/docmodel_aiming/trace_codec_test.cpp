// Byte layouts of the trace codec: the worked example, class and length boundaries, the
// widening of short runs, and malformed channels.
#include "support/forwarding_stream.h"
#include "storage/stream/memory_stream.h"
#include "trace_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>

using namespace kavrodoc;

namespace {

constexpr int32_t X = kInvalidSample;

QByteArray encode(const std::vector<int32_t>& v)
{
    std::vector<uint8_t> out;
    EXPECT_TRUE(encodeChannel(v.data(), uint32_t(v.size()), &out));
    return QByteArray(reinterpret_cast<const char*>(out.data()), qsizetype(out.size()));
}

HRESULT decode(const QByteArray& bytes, size_t n, std::vector<int32_t>* out, size_t* used = nullptr)
{
    out->assign(n, -7);
    return decodeChannel(reinterpret_cast<const uint8_t*>(bytes.data()), size_t(bytes.size()), out->data(), uint32_t(n),
                         used);
}

std::vector<int32_t> roundTrip(const std::vector<int32_t>& v)
{
    std::vector<int32_t> back;
    size_t used = 0;
    QByteArray bytes = encode(v);
    EXPECT_EQ(decode(bytes, v.size(), &back, &used), S_OK);
    EXPECT_EQ(used, size_t(bytes.size()));
    return back;
}

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

TEST(TraceCodec, WorkedExampleIsSeventeenBytes)
{
    std::vector<int32_t> v{10, 12, 9, X, 9, 300};
    const QByteArray expected = hex("11030A02FD 1001 1302 09000000 2C010000");
    EXPECT_EQ(encode(v), expected);
    EXPECT_EQ(roundTrip(v), v);

    // The stream writer emits the same bytes in one go.
    auto s = kavro::MemoryStream::create();
    ASSERT_EQ(writeCodedChannel(s.get(), v.data(), uint32_t(v.size())), S_OK);
    EXPECT_EQ(s->bytes(), expected);
    s->Seek(0, STREAM_SEEK_SET, nullptr);
    std::vector<int32_t> back(v.size());
    ASSERT_EQ(readCodedChannel(s.get(), back.data(), uint32_t(back.size())), S_OK);
    EXPECT_EQ(back, v);
}

// Bytes in memory and any other stream read alike, into 32-bit and 16-bit values, and both
// leave the stream just past the channel; 16-bit reading says S_FALSE for a value it cannot hold.
TEST(TraceCodec, EveryStreamReadsAlikeAtEitherWidth)
{
    const std::vector<int32_t> fits{10, 12, 9, -32768, 32767, 300};
    const std::vector<int32_t> wide{10, 12, 9, X, 9, 300};
    for (const auto* values : {&fits, &wide}) {
        QByteArray bytes = encode(*values) + QByteArray("tail");
        const uint32_t n = uint32_t(values->size());
        auto memory = kavro::MemoryStream::create(bytes);
        auto other = ForwardingStream::create(bytes);
        std::vector<int32_t> a(n), b(n);
        ASSERT_EQ(readCodedChannel(memory.get(), a.data(), n), S_OK);
        ASSERT_EQ(readCodedChannel(other.get(), b.data(), n), S_OK);
        EXPECT_EQ(a, *values);
        EXPECT_EQ(b, *values);
        EXPECT_EQ(memory->position(), uint64_t(bytes.size() - 4));
        EXPECT_EQ(other->position(), uint64_t(bytes.size() - 4));

        memory->Seek(0, STREAM_SEEK_SET, nullptr);
        other->Seek(0, STREAM_SEEK_SET, nullptr);
        std::vector<int16_t> c(n), d(n);
        const HRESULT expected = values == &fits ? S_OK : S_FALSE;
        EXPECT_EQ(readCodedChannel(memory.get(), c.data(), n), expected);
        EXPECT_EQ(readCodedChannel(other.get(), d.data(), n), expected);
        if (expected == S_OK) {
            EXPECT_EQ(std::vector<int32_t>(c.begin(), c.end()), *values);
            EXPECT_EQ(std::vector<int32_t>(d.begin(), d.end()), *values);
            EXPECT_EQ(memory->position(), uint64_t(bytes.size() - 4));
            EXPECT_EQ(other->position(), uint64_t(bytes.size() - 4));
        }
    }
}

TEST(TraceCodec, DifferenceBoundaries)
{
    EXPECT_EQ(encode({127}), hex("11017F"));
    EXPECT_EQ(encode({-127}), hex("110181"));
    EXPECT_EQ(encode({128}), hex("12018000"));
    EXPECT_EQ(encode({-128}), hex("120180FF"));
    EXPECT_EQ(encode({32767}), hex("1201FF7F"));
    EXPECT_EQ(encode({-32767}), hex("12010180"));
    EXPECT_EQ(encode({32768}), hex("130100800000"));
    EXPECT_EQ(encode({-32768}), hex("13010080FFFF"));
    // Differences are taken in 32-bit wrap-around arithmetic on both sides.
    std::vector<int32_t> extremes{INT_MIN, INT_MAX - 1, INT_MIN, 0, INT_MAX - 1, -1};
    EXPECT_EQ(roundTrip(extremes), extremes);
    EXPECT_EQ(encode({INT_MAX - 1, INT_MIN}), hex("1301FEFFFF7F 110102"));
}

TEST(TraceCodec, RunLengthBoundaries)
{
    EXPECT_EQ(encode(std::vector<int32_t>(255, X)), hex("10FF"));
    EXPECT_EQ(encode(std::vector<int32_t>(256, X)), hex("200001"));
    EXPECT_EQ(encode(std::vector<int32_t>(65535, X)), hex("20FFFF"));
    EXPECT_EQ(encode(std::vector<int32_t>(65536, X)), hex("3000000100"));

    QByteArray b255 = encode(std::vector<int32_t>(255, 0));
    EXPECT_EQ(b255.left(2), hex("11FF"));
    EXPECT_EQ(b255.size(), 2 + 255);
    QByteArray b256 = encode(std::vector<int32_t>(256, 0));
    EXPECT_EQ(b256.left(3), hex("210001"));
    EXPECT_EQ(b256.size(), 3 + 256);
    QByteArray b65536 = encode(std::vector<int32_t>(65536, 0));
    EXPECT_EQ(b65536.left(5), hex("3100000100"));
    EXPECT_EQ(b65536.size(), 5 + 65536);
    std::vector<int32_t> back;
    ASSERT_EQ(decode(b65536, 65536, &back), S_OK);
    EXPECT_EQ(back, std::vector<int32_t>(65536, 0));
}

TEST(TraceCodec, ShortRunsWidenBetweenWiderOnes)
{
    // A one-sample byte run between two 16-bit runs joins them.
    EXPECT_EQ(encode({0, 1000, 1001, 2000}), hex("110100 1203 E803 0100 E703"));
    // After a 32-bit run a trailing byte run stays as it is...
    EXPECT_EQ(encode({0, 100000, 100001}), hex("110100 1301 A0860100 110101"));
    // ...but one between two 32-bit runs is stored whole.
    EXPECT_EQ(encode({0, 100000, 100001, 300000}), hex("110100 1303 A0860100 A1860100 E0930400"));
    for (auto v : {std::vector<int32_t>{0, 1000, 1001, 2000}, std::vector<int32_t>{0, 100000, 100001, 300000}})
        EXPECT_EQ(roundTrip(v), v);
}

TEST(TraceCodec, FirstValidSampleAfterInvalidRunIsStoredWhole)
{
    EXPECT_EQ(encode({10, X, 20}), hex("11010A 1001 130114000000"));
    // A value close to the invalid marker would otherwise be coded as a small difference from
    // it, which the reader would add to the last valid value.
    std::vector<int32_t> v{5, X, X, 2147483600, 2147483610, 3};
    EXPECT_EQ(encode(v), hex("110105 1002 1303 D0FFFF7F DAFFFF7F 03000000"));
    EXPECT_EQ(roundTrip(v), v);
}

TEST(TraceCodec, ReaderAddsWithWrapAround)
{
    std::vector<int32_t> back;
    ASSERT_EQ(decode(hex("1301FFFFFF7F 1201FF7F"), 2, &back), S_OK);
    EXPECT_EQ(back[0], INT_MAX);
    EXPECT_EQ(back[1], int32_t(0x80007FFEu));
}

TEST(TraceCodec, MalformedChannelsFail)
{
    std::vector<int32_t> back;
    EXPECT_EQ(decode(hex("410100"), 1, &back), E_FAIL) << "length width 4";
    EXPECT_EQ(decode(hex("010100"), 1, &back), E_FAIL) << "length width 0";
    EXPECT_EQ(decode(hex("140100"), 1, &back), E_FAIL) << "class 4";
    EXPECT_EQ(decode(hex("1002"), 1, &back), E_FAIL) << "run past the channel";
    EXPECT_EQ(decode(hex("30FFFFFFFF"), 1, &back), E_FAIL) << "huge run";
    EXPECT_EQ(decode(hex("1103 0102"), 3, &back), E_FAIL) << "short payload";
    EXPECT_EQ(decode(hex("2001"), 1, &back), E_FAIL) << "short length";
    EXPECT_EQ(decode(hex(""), 1, &back), E_FAIL) << "no header";
    EXPECT_EQ(decode(hex("1101"), 2, &back), E_FAIL) << "channel ends early";

    auto s = kavro::MemoryStream::create(hex("1303 01000000 02000000"));
    std::vector<int32_t> three(3);
    EXPECT_EQ(readCodedChannel(s.get(), three.data(), 3), E_FAIL);
}

// The check a load makes instead of decoding fails exactly where decoding fails, takes the same
// bytes, and knows whether 16-bit decoding would have refused a value before it stopped: over
// channels that are whole, cut short or damaged at random.
TEST(TraceCodec, ScanningAgreesWithDecodingOnEveryChannel)
{
    std::mt19937 random(20261209);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    int failures = 0, wide = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<int32_t> values(size_t(1 + pick(400)));
        int64_t v = pick(2000) - 1000;
        for (auto& value : values) {
            const int kind = pick(100);
            v = kind < 2 ? X : kind < 4 ? int32_t(random()) : kind < 10 ? v + pick(60000) - 30000 : v + pick(256) - 128;
            if (v >= X || v < INT32_MIN)
                v = kind < 2 ? X : 0;
            value = int32_t(v);
        }
        QByteArray bytes = encode(values);
        switch (pick(4)) {
        case 0: bytes.truncate(pick(int(bytes.size()) + 1)); break;
        case 1: bytes[pick(int(bytes.size()))] = char(random()); break;
        case 2: bytes += QByteArray("tail"); break;
        default: break;
        }
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
        const uint32_t n = uint32_t(values.size()) + uint32_t(pick(8) == 0);
        std::vector<int32_t> out32(n);
        std::vector<int16_t> out16(n);
        size_t decodedUsed = 0, scannedUsed = 0, plainUsed = 0;
        bool fits = false;
        const HRESULT decoded = decodeChannel(data, size_t(bytes.size()), out32.data(), n, &decodedUsed);
        const HRESULT narrow = decodeChannel(data, size_t(bytes.size()), out16.data(), n, nullptr);
        const HRESULT scanned = scanChannel(data, size_t(bytes.size()), n, &scannedUsed, &fits);
        ASSERT_EQ(scanChannel(data, size_t(bytes.size()), n, &plainUsed, nullptr), scanned) << round;
        ASSERT_EQ(scanned, decoded) << round;
        ASSERT_EQ(fits, narrow != S_FALSE) << round;
        if (decoded == S_OK) {
            ASSERT_EQ(scannedUsed, decodedUsed) << round;
            ASSERT_EQ(plainUsed, decodedUsed) << round;
        }
        failures += FAILED(decoded);
        wide += !fits;
    }
    // Both roads were taken often enough to mean something.
    EXPECT_GT(failures, 500);
    EXPECT_GT(wide, 500);
}

// Decoding against the reading rule taken one sample at a time: runs of every class and of
// every length around a block of lanes, their sums crossing 16 bits or wrapping at 32, with and
// without an invalid run between two of them, into 32-bit and 16-bit values.
TEST(TraceCodec, RunsOfEveryClassAndLengthDecodeAtEitherWidth)
{
    std::mt19937 random(37);
    const auto plain = [](const QByteArray& bytes, std::vector<int64_t>* values) {
        int32_t p = 0;
        for (qsizetype at = 0; at < bytes.size();) {
            const int cls = bytes[at] & 0x0F;
            const int length = uint8_t(bytes[at + 1]);
            at += 2;
            for (int i = 0; i < length; ++i) {
                if (cls == 0) {
                    values->push_back(X);
                    continue;
                }
                int32_t field = 0;
                std::memcpy(&field, bytes.constData() + at, size_t(cls == 3 ? 4 : cls));
                at += cls == 3 ? 4 : cls;
                field = cls == 1 ? int8_t(field) : cls == 2 ? int16_t(field) : field;
                p = cls == 3 ? field : int32_t(uint32_t(p) + uint32_t(field));
                values->push_back(p);
            }
        }
    };
    struct Row {
        int32_t start; // the value the coded runs start from
        bool fitting; // every value kept within 16 bits
        bool invalidBetween;
    };
    int refused = 0;
    const Row rows[] = {{0, true, false}, {-32700, true, false}, {32700, false, false}, {INT_MAX - 200, false, true}};
    for (const Row& row : rows) {
        for (int cls = 1; cls <= 3; ++cls) {
            for (int length = 0; length <= 33; ++length) {
                QByteArray bytes = hex("1301") + QByteArray(reinterpret_cast<const char*>(&row.start), 4);
                int32_t p = row.start;
                const auto addRun = [&](int count) {
                    bytes += char(0x10 | cls);
                    bytes += char(count);
                    for (int i = 0; i < count; ++i) {
                        const int32_t limit = cls == 1 ? 128 : 32768;
                        int32_t field = cls == 3 ? int32_t(random()) : int32_t(random() % (2 * limit)) - limit;
                        if (row.fitting) {
                            const int32_t target = int32_t(random() % 65536) - 32768;
                            field = cls == 3 ? target : std::clamp(target - p, -limit, limit - 1);
                        }
                        p = cls == 3 ? field : int32_t(uint32_t(p) + uint32_t(field));
                        bytes += QByteArray(reinterpret_cast<const char*>(&field), cls == 3 ? 4 : cls);
                    }
                };
                addRun(length);
                if (row.invalidBetween)
                    bytes += hex("1002");
                addRun((length * 7) % 34);
                bytes += hex("110101"); // so that runs of no samples are read too
                std::vector<int64_t> expected;
                plain(bytes, &expected);
                const uint32_t n = uint32_t(expected.size());
                const bool fits = std::all_of(expected.begin(), expected.end(),
                                              [](int64_t v) { return v >= INT16_MIN && v <= INT16_MAX; });
                refused += !fits;
                bytes += "tail";
                const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
                std::vector<int32_t> wide(n);
                std::vector<int16_t> narrow(n);
                size_t used = 0;
                ASSERT_EQ(decodeChannel(data, size_t(bytes.size()), wide.data(), n, &used), S_OK)
                    << cls << " " << length;
                EXPECT_EQ(used, size_t(bytes.size() - 4));
                EXPECT_EQ(std::vector<int64_t>(wide.begin(), wide.end()), expected) << cls << " " << length;
                ASSERT_EQ(decodeChannel(data, size_t(bytes.size()), narrow.data(), n, nullptr), fits ? S_OK : S_FALSE)
                    << cls << " " << length;
                if (fits) {
                    EXPECT_EQ(std::vector<int64_t>(narrow.begin(), narrow.end()), expected) << cls << " " << length;
                }
            }
        }
    }
    // Both outcomes of 16-bit decoding were met often enough to mean something.
    EXPECT_GT(refused, 100);
}

// Over another stream the check keeps exactly the channel's bytes and leaves the stream after them.
TEST(TraceCodec, ScanningAStreamKeepsTheChannelsBytes)
{
    const std::vector<int32_t> values{10, 12, 9, X, 9, 300, 70000, -5};
    const QByteArray coded = encode(values);
    auto other = ForwardingStream::create(coded + QByteArray("tail"));
    QByteArray kept("front");
    ASSERT_EQ(scanChannel(other.get(), uint32_t(values.size()), &kept), S_OK);
    EXPECT_EQ(kept, QByteArray("front") + coded);
    EXPECT_EQ(other->position(), uint64_t(coded.size()));
    auto cut = ForwardingStream::create(coded.left(coded.size() - 1));
    QByteArray partial;
    EXPECT_EQ(scanChannel(cut.get(), uint32_t(values.size()), &partial), E_FAIL);
}

} // namespace
