#include "serialsim/command_reader.h"

#include <gtest/gtest.h>

namespace kavro::serialsim {
namespace {

TEST(CommandFraming, AppendsTheComplementOfTheSum)
{
    const uint8_t period[] = {0x30, 0xD4};
    EXPECT_EQ(frameCommand(16, period), (std::vector<uint8_t>{16, 0x30, 0xD4, 0xEB}));
    EXPECT_EQ(frameCommand(9, {}), (std::vector<uint8_t>{9, 0xF6}));
}

TEST(CommandReader, TakesCommandsSplitAcrossReads)
{
    CommandReader reader;
    const uint8_t start[] = {1, 2, 3};
    std::vector<uint8_t> bytes = frameCommand(13, start);
    const uint8_t rate[] = {2};
    const auto second = frameCommand(2, rate);
    bytes.insert(bytes.end(), second.begin(), second.end());
    EXPECT_TRUE(reader.feed(std::span(bytes).first(3)).empty());
    const auto got = reader.feed(std::span(bytes).subspan(3));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_TRUE(got[0].accepted);
    EXPECT_EQ(got[0].code, 13);
    EXPECT_EQ(got[0].arguments, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(got[1].accepted);
    EXPECT_EQ(got[1].arguments, (std::vector<uint8_t>{2}));
}

TEST(CommandReader, RejectsWrongChecksumsAndUnknownCodesAndRecovers)
{
    CommandReader reader;
    const uint8_t zeros[] = {0, 0, 0};
    std::vector<uint8_t> bytes = frameCommand(13, zeros);
    bytes.back() ^= 1;
    bytes.push_back(0x77);
    const uint8_t mode[] = {3};
    const auto good = frameCommand(21, mode);
    bytes.insert(bytes.end(), good.begin(), good.end());

    int rejected = 0;
    std::vector<ReceivedCommand> accepted;
    for (const auto& c : reader.feed(bytes))
        c.accepted ? accepted.push_back(c) : void(++rejected);
    EXPECT_GE(rejected, 2);
    ASSERT_EQ(accepted.size(), 1u);
    EXPECT_EQ(accepted[0].code, 21);
    EXPECT_EQ(accepted[0].arguments, (std::vector<uint8_t>{3}));
}

} // namespace
} // namespace kavro::serialsim
