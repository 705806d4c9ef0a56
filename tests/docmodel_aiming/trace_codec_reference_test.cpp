// The encoder against a plain encoder of the format's rules over many seeded random channels:
// the stored bytes, and so every run choice, must be the same to the byte.
#include "storage/stream/memory_stream.h"
#include "trace_codec_reference.h"

using namespace kavrodoc;
using namespace tracecodec;

namespace {

std::vector<uint8_t> encoded(const std::vector<int32_t>& v)
{
    std::vector<uint8_t> out;
    EXPECT_TRUE(encodeChannel(v.data(), uint32_t(v.size()), &out));
    return out;
}

std::vector<uint8_t> encoded(const std::vector<int16_t>& v)
{
    std::vector<uint8_t> out;
    EXPECT_TRUE(encodeChannel(v.data(), uint32_t(v.size()), &out));
    return out;
}

std::vector<uint8_t> written(const std::vector<int32_t>& v)
{
    auto s = kavro::MemoryStream::create();
    EXPECT_EQ(writeCodedChannel(s.get(), v.data(), uint32_t(v.size())), S_OK);
    return std::vector<uint8_t>(s->bytes().begin(), s->bytes().end());
}

std::vector<uint8_t> bytes(const char* hex)
{
    const QByteArray b = QByteArray::fromHex(hex);
    return std::vector<uint8_t>(b.begin(), b.end());
}

// The reference itself, held to the worked example and to cases worked out by hand.
TEST(TraceCodecReference, ReferenceCodesHandWorkedCases)
{
    EXPECT_EQ(referenceEncode({10, 12, 9, X, 9, 300}), bytes("11030A02FD 1001 1302 09000000 2C010000"));
    EXPECT_EQ(referenceEncode({0, 1000, 1001, 2000}), bytes("110100 1203 E803 0100 E703"));
    EXPECT_EQ(referenceEncode({0, 100000, 100001}), bytes("110100 1301 A0860100 110101"));
    EXPECT_EQ(referenceEncode({0, 100000, 100001, 300000}), bytes("110100 1303 A0860100 A1860100 E0930400"));
    EXPECT_EQ(referenceEncode({INT_MAX - 1, INT_MIN}), bytes("1301FEFFFF7F 110102"));
    EXPECT_EQ(referenceEncode(std::vector<int32_t>(256, X)), bytes("200001"));
}

TEST(TraceCodecReference, SeededChannelsCodeAsTheRulesSay)
{
    for (uint32_t seed = 1; seed <= 400; ++seed) {
        ChannelMaker make(seed);
        const std::vector<int32_t> v = make.channel(1 + seed % 24);
        ASSERT_EQ(encoded(v), referenceEncode(v)) << "seed " << seed << ", " << v.size() << " samples";
        if (seed % 16 == 0) {
            ASSERT_EQ(written(v), referenceEncode(v)) << "seed " << seed;
        }
    }
}

TEST(TraceCodecReference, SingleSamplesCodeAsTheRulesSay)
{
    ChannelMaker make(7);
    for (int32_t value : {0, 1, -1, 127, -127, 128, -128, 32767, -32768, INT_MIN, INT_MAX - 1, X}) {
        ASSERT_EQ(encoded(std::vector<int32_t>{value}), referenceEncode({value})) << value;
        ASSERT_EQ(written(std::vector<int32_t>{value}), referenceEncode({value})) << value;
    }
    for (int i = 0; i < 200; ++i) {
        const std::vector<int32_t> one{make.anyValue()};
        ASSERT_EQ(encoded(one), referenceEncode(one)) << one[0];
    }
}

// 16-bit channels hold no invalid samples; their differences still reach 32-bit runs.
TEST(TraceCodecReference, NarrowChannelsCodeAsTheirWideValues)
{
    for (uint32_t seed = 1; seed <= 150; ++seed) {
        ChannelMaker make(seed * 7919);
        std::vector<int16_t> narrow;
        for (size_t segment = 0, segments = 1 + seed % 12; segment < segments; ++segment) {
            const uint32_t shape = make.below(4);
            const size_t len = make.below(4) ? 1 + make.below(300) : 250 + make.below(70000) % 66000;
            int32_t value = narrow.empty() ? 0 : narrow.back();
            for (size_t i = 0; i < len; ++i) {
                if (shape == 0)
                    value += make.between(-127, 127);
                else if (shape == 1)
                    value += make.between(-3000, 3000);
                else if (shape == 2)
                    value = make.below(2) ? 32767 - make.between(0, 100) : -32768 + make.between(0, 100);
                else
                    value = make.between(-32768, 32767);
                value = std::clamp(value, -32768, 32767);
                narrow.push_back(int16_t(value));
            }
        }
        const std::vector<int32_t> wide(narrow.begin(), narrow.end());
        ASSERT_EQ(encoded(narrow), referenceEncode(wide)) << "seed " << seed;
    }
}

} // namespace
