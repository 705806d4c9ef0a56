#include "reference_decode.h"
#include "serialsim/banner.h"
#include "serialsim/models.h"

#include <gtest/gtest.h>

namespace kavro::serialsim {
namespace {

std::vector<uint8_t> bytesOf(const std::string& s)
{
    return {s.begin(), s.end()};
}

TEST(Banner, EveryModelsBannerParsesWithItsNumberAndName)
{
    for (const SensorModel& model : sensorModels()) {
        BannerFields f;
        f.modelNumber = std::to_string(model.number);
        f.serialNumber = "SIM12345";
        f.field3 = "2";
        f.field4 = "17";
        f.modelName = std::string(model.name);
        const auto parsed = test::parseBanner(bytesOf(buildBanner(f)));
        ASSERT_TRUE(parsed.ok) << model.key;
        EXPECT_EQ(parsed.bannerChars, "01");
        EXPECT_EQ(parsed.modelNumber, model.number);
        EXPECT_EQ(parsed.serial, "SIM12345");
        EXPECT_EQ(parsed.field3, "2");
        EXPECT_EQ(parsed.field4, "17");
        EXPECT_EQ(parsed.name, std::string(model.name));
    }
}

TEST(Banner, ChecksumCountsTheClosingParenthesisAndIsUpperCaseHex)
{
    BannerFields f;
    f.modelNumber = "300";
    f.serialNumber = "S";
    f.field3 = "1";
    f.field4 = "0";
    f.modelName = "Vantage";
    const std::string banner = buildBanner(f);
    const std::string body = "(01KVR300\\S\\1\\0\\Vantage";
    unsigned sum = ')';
    for (char c : body)
        sum += uint8_t(c);
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", sum & 0xFF);
    EXPECT_EQ(banner, body + digits + ")");
    EXPECT_EQ(bannerChecksum(body), uint8_t(sum));
}

TEST(Banner, LeadingTextUpToSixteenBytesIsSkipped)
{
    BannerFields f;
    f.modelNumber = "0303";
    f.modelName = "Vantage s";
    f.text = std::string(16, 'x');
    const auto parsed = test::parseBanner(bytesOf(buildBanner(f)));
    ASSERT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.modelNumber, 303);
    f.text = std::string(17, 'x');
    EXPECT_FALSE(test::parseBanner(bytesOf(buildBanner(f))).ok);
}

} // namespace
} // namespace kavro::serialsim
