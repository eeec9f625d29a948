#include "support/neat.h"

#include <gtest/gtest.h>
#include <vector>

TEST(Checksum, SumsBytesAsUnsignedAndWraps)
{
    const unsigned char three[] = {0xFF, 0x01, 0x80};
    EXPECT_EQ(NEAT::GetChecksumByByte(three, 3), 0x180u);
    EXPECT_EQ(NEAT::GetChecksumByByte(three, 0), 0u);
    EXPECT_EQ(NEAT::GetChecksumByByte(three, -5), 0u);

    // 16843010 bytes of 0xFF sum to 0xFF * 16843010 = 0x100000001E... past 2^32.
    const std::vector<unsigned char> many(16843010, 0xFF);
    const uint64_t exact = 0xFFull * many.size();
    EXPECT_EQ(NEAT::GetChecksumByByte(many.data(), static_cast<int>(many.size())),
              static_cast<uint32_t>(exact & 0xFFFFFFFFu));
}

struct SVersionCase {
    const char* text;
    uint32_t version;
};

class VersionParse : public ::testing::TestWithParam<SVersionCase> {};

TEST_P(VersionParse, ShiftsEachPartIntoTheLowByte)
{
    EXPECT_EQ(NEAT::convert_str_to_version(GetParam().text), GetParam().version) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, VersionParse,
                         ::testing::Values(SVersionCase{"1.7.0", 0x00010700u}, SVersionCase{"2.1", 0x00000201u},
                                           SVersionCase{"1.2.3.4", 0x01020304u},
                                           SVersionCase{"1.2.3.4.5", 0x02030405u}, SVersionCase{"", 0u},
                                           SVersionCase{"x.y", 0u}, SVersionCase{"1..2", 0x00010002u},
                                           SVersionCase{"1.256", 0x00000100u | 0x100u},
                                           SVersionCase{"1.-1", 0xFFFFFFFFu}));

TEST(VersionText, ShowsThreeLowFieldsOnly)
{
    EXPECT_EQ(NEAT::convert_version_to_str(0x00010700u), "1.7.0");
    EXPECT_EQ(NEAT::convert_version_to_str(0xAB010203u), "1.2.3");
    EXPECT_EQ(NEAT::convert_version_to_str(0x00FFFFFFu), "255.255.255");
    EXPECT_EQ(NEAT::convert_str_to_version(NEAT::convert_version_to_str(0x00030A1Fu)), 0x00030A1Fu);
}

TEST(RandomDword, ForcesBit15OfEachHalfFromTheSecondDraw)
{
    // Every value the generator can give: both halves are 16-bit, and with RAND_MAX far
    // above 0x3FFF the forced bit is set nearly always; at least the type of result is
    // a full 32-bit word that varies between milliseconds.
    uint32_t seen_or = 0;
    for (int i = 0; i < 50; ++i) {
        seen_or |= NEAT::get_random_dword();
        NEAT::Sleep(1);
    }
    EXPECT_NE(seen_or & 0xFFFF0000u, 0u);
    EXPECT_NE(seen_or & 0x0000FFFFu, 0u);
}
