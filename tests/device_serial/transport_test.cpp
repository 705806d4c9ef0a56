// The banner, the command framing and the frame splitter of the serial transport.
#include "device/serial/banner.h"
#include "device/serial/command_buffer.h"
#include "device/serial/frame_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace kavro;

// "(" + body + checksum + ")", with `noise` before it.
std::string banner(const std::string& noise, const std::string& body, bool lowerCase = false)
{
    uint8_t sum = ')';
    for (char c : "(" + body)
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
    char digits[3];
    std::snprintf(digits, sizeof digits, lowerCase ? "%02x" : "%02X", sum);
    return noise + "(" + body + digits + ")";
}

bool parse(const std::string& text, DeviceIdentification& r)
{
    return parseBanner(reinterpret_cast<const uint8_t*>(text.data()), text.size(), r);
}

TEST(Banner, FieldsOfASoundBanner)
{
    DeviceIdentification r;
    ASSERT_TRUE(parse(banner("\x01\x7f junk", "01KVR0300\\SIM300\\1\\0\\KAVRO VANTAGE"), r));
    EXPECT_EQ(std::string(r.banner, 2), "01");
    EXPECT_STREQ(r.tag, "KVR");
    EXPECT_EQ(r.modelNumber, 300);
    EXPECT_EQ(DeviceIdentification::text(r.serialNumber), QStringLiteral("SIM300"));
    EXPECT_EQ(DeviceIdentification::text(r.field3), QStringLiteral("1"));
    EXPECT_EQ(DeviceIdentification::text(r.field4), QStringLiteral("0"));
    EXPECT_EQ(DeviceIdentification::text(r.modelName), QStringLiteral("KAVRO VANTAGE"));
}

TEST(Banner, OpeningBracketMustBeAmongTheFirstSeventeenBytes)
{
    DeviceIdentification r;
    EXPECT_TRUE(parse(banner(std::string(16, 'x'), "01KVR0302\\1\\2\\3\\N"), r));
    EXPECT_EQ(r.modelNumber, 302);
    EXPECT_FALSE(parse(banner(std::string(17, 'x'), "01KVR0302\\1\\2\\3\\N"), r));
    EXPECT_EQ(r.modelNumber, 0); // zeroed on failure
    EXPECT_EQ(r.tag[0], 0);
}

TEST(Banner, ChecksumMustBeUpperCaseHexAndRight)
{
    DeviceIdentification r;
    // 0x?? with a letter digit: the same banner passes in upper case and fails in lower case.
    std::string body = "01KVR0306\\SN\\1\\0\\CLASSIC";
    std::string good = banner("", body);
    ASSERT_TRUE(parse(good, r));
    // Find a body whose sum has a letter digit so that case matters.
    for (char c = 'A'; c <= 'Z'; ++c) {
        std::string b = body + c;
        std::string upper = banner("", b);
        std::string digits = upper.substr(upper.size() - 3, 2);
        if (digits.find_first_of("ABCDEF") == std::string::npos)
            continue;
        EXPECT_TRUE(parse(upper, r));
        EXPECT_FALSE(parse(banner("", b, true), r));
        std::string wrong = upper;
        wrong[wrong.size() - 2] = wrong[wrong.size() - 2] == '0' ? '1' : '0';
        EXPECT_FALSE(parse(wrong, r));
        return;
    }
    FAIL() << "no body with a letter in its checksum";
}

TEST(Banner, AClosingTabStandsForTheBracketAndOtherEndingsFail)
{
    DeviceIdentification r;
    std::string withTab = banner("", "01KVR0307\\S\\F\\G\\BIATHLON");
    withTab.back() = '\t';
    // The checksum counts ")" whichever byte closes the banner.
    ASSERT_TRUE(parse(withTab, r));
    EXPECT_EQ(r.modelNumber, 307);
    EXPECT_EQ(DeviceIdentification::text(r.modelName), QStringLiteral("BIATHLON"));
    std::string cut = withTab.substr(0, withTab.size() - 1);
    EXPECT_FALSE(parse(cut, r));
    EXPECT_FALSE(parse("", r));
    EXPECT_FALSE(parse("no banner here", r));
}

TEST(Banner, FieldsAreBoundedByTheirCapacity)
{
    DeviceIdentification r;
    const std::string name(60, 'N');
    ASSERT_TRUE(parse(banner("", "01KVR0300\\123456789012\\F3\\F4\\" + name), r));
    // Filled to the brim, no terminator, and the next field still starts after the separator.
    EXPECT_EQ(std::string(r.serialNumber, 9), "123456789");
    EXPECT_EQ(DeviceIdentification::text(r.field3), QStringLiteral("F3"));
    EXPECT_EQ(std::string(r.modelName, 42), std::string(42, 'N'));
    EXPECT_EQ(std::string(r.tag), "KVR");
}

TEST(Banner, OtherTagsParseButTheModelNumberMustBeDecimal)
{
    DeviceIdentification r;
    EXPECT_TRUE(parse(banner("", "01ABC0300\\S\\1\\0\\X"), r));
    EXPECT_STREQ(r.tag, "ABC");
    EXPECT_FALSE(parse(banner("", "01KVR03x0\\S\\1\\0\\X"), r));
}

TEST(CommandBuffer, ChecksumIsTheComplementOfTheSum)
{
    CommandBuffer c;
    c.BeginCommand(16);
    ASSERT_TRUE(c.AddByte(0x30));
    ASSERT_TRUE(c.AddByte(0xD4));
    c.Finish();
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c.data()[3], static_cast<uint8_t>(~(16 + 0x30 + 0xD4)));
}

TEST(CommandBuffer, HoldsTheCodeAndAtMost126Arguments)
{
    CommandBuffer c;
    c.BeginCommand(1);
    for (int i = 0; i < 126; ++i)
        ASSERT_TRUE(c.AddByte(static_cast<uint8_t>(i))) << i;
    EXPECT_FALSE(c.AddByte(0xFF));
    c.Finish();
    EXPECT_EQ(c.size(), 128u);
    c.BeginCommand(9); // a new command starts afresh
    c.Finish();
    EXPECT_EQ(c.size(), 2u);
    EXPECT_EQ(c.data()[1], static_cast<uint8_t>(~9));
}

struct Splitter : ::testing::Test {
    std::vector<std::vector<uint8_t>> frames;
    FrameSplitter splitter{4, 64};
    void feed(std::vector<uint8_t> bytes)
    {
        std::copy(bytes.begin(), bytes.end(), splitter.freeSpace());
        splitter.commit(bytes.size(), [this](const uint8_t* f) { frames.emplace_back(f, f + 4); });
    }
};

TEST_F(Splitter, TwoFrameStartBytesAbandonTheFirstFrame)
{
    feed({0x81, 0x82, 1, 2, 3});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], (std::vector<uint8_t>{0x82, 1, 2, 3}));
}

TEST_F(Splitter, AByteWithoutTheTopBitAfterAFrameStartsTheNext)
{
    feed({0x81, 1, 2, 3, 4, 5, 6, 7});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1], (std::vector<uint8_t>{4, 5, 6, 7}));
}

TEST_F(Splitter, AnUnfinishedFrameWaitsForTheNextRead)
{
    feed({9, 0x81, 1});
    EXPECT_TRUE(frames.empty());
    EXPECT_EQ(splitter.held(), 2u); // the abandoned byte is gone
    feed({2, 3, 0x85});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], (std::vector<uint8_t>{0x81, 1, 2, 3}));
    EXPECT_EQ(splitter.held(), 1u);
}

} // namespace
