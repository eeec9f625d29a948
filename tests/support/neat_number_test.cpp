#include "support/neat.h"

#include <QTime>
#include <cstdlib>
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

namespace {

// The value the generator gives when seeded with `seed`, drawn the documented way.
uint32_t expected_dword(unsigned int seed)
{
    std::srand(seed);
    const int a = std::rand(), b = std::rand(), c = std::rand(), d = std::rand();
    const uint32_t high = (static_cast<uint32_t>(a) & 0xFFFFu) | (b >= 0x3FFF ? 0x8000u : 0u);
    const uint32_t low = (static_cast<uint32_t>(c) & 0xFFFFu) | (d >= 0x3FFF ? 0x8000u : 0u);
    return (high << 16) | low;
}

}  // namespace

TEST(RandomDword, IsSeededWithTheMillisecondOfTheDay)
{
    // Retried until the call falls inside one millisecond, so its seed is known.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int before = QTime::currentTime().msecsSinceStartOfDay();
        const uint32_t value = NEAT::get_random_dword();
        if (QTime::currentTime().msecsSinceStartOfDay() != before)
            continue;
        EXPECT_EQ(value, expected_dword(static_cast<unsigned int>(before)));
        return;
    }
    FAIL() << "no call fell inside one millisecond";
}
