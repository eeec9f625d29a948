#include "firmware/flash_config.h"
#include "package_bytes.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>

bool operator==(const SFlashSector& a, const SFlashSector& b)
{
    return a.type == b.type && a.address == b.address && a.size == b.size;
}

std::ostream& operator<<(std::ostream& out, const SFlashSector& s)
{
    return out << "{" << s.type << ", 0x" << std::hex << s.address << ", 0x" << s.size << std::dec << "}";
}

namespace {

struct SParseCase {
    const char* text;
    uint32_t value;
};

void PrintTo(const SParseCase& value, std::ostream* out)
{
    *out << '"' << value.text << '"';
}

class FlashValue : public ::testing::TestWithParam<SParseCase> {};

TEST_P(FlashValue, Converts)
{
    EXPECT_EQ(parse_flash_config_value(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Texts, FlashValue,
                         ::testing::Values(SParseCase{"0X1000", 0x1000}, SParseCase{"4096", 0x1000},
                                           SParseCase{"0x1000 ; boot sector, do not touch", 0x1000},
                                           SParseCase{"  0x1000\t", 0x1000},
                                           SParseCase{"0xffffffff", 0xFFFFFFFF},
                                           SParseCase{"4294967295", 0xFFFFFFFF}, SParseCase{"010", 10},
                                           SParseCase{"letters", 0}, SParseCase{"4294967296", 0},
                                           SParseCase{"0x", 0}, SParseCase{"", 0},
                                           SParseCase{"; only a comment", 0}, SParseCase{"-1", 0},
                                           SParseCase{"1000h", 0}, SParseCase{"0x1g", 0}));

struct SLayoutCase {
    const char* name;
    const char* text;
    bool loads;
    std::vector<SFlashSector> sectors;  // also what a failed load leaves behind
    uint32_t total;
    const char* error;
};

void PrintTo(const SLayoutCase& layout, std::ostream* out)
{
    *out << layout.name;
}

class FlashLayout : public ::testing::TestWithParam<SLayoutCase> {};

TEST_P(FlashLayout, Loads)
{
    CFlashConfig config;
    EXPECT_EQ(config.load_flash_config_text(GetParam().text), GetParam().loads);
    EXPECT_EQ(config.sectors(), GetParam().sectors);
    EXPECT_EQ(config.total(), GetParam().total);
    EXPECT_EQ(config.error_text(), GetParam().error);
}

#define GROUP(n, type, start, end, size) \
    "[FLASH " #n "]\nTYPE=" #type "\nStart Address=" #start "\nEnd Address=" #end "\nSector Size=" #size "\n"

const SLayoutCase LAYOUTS[] = {
    {"NoTypeInFirstGroup", "[FLASH 1]\nStart Address=0x1000\nEnd Address=0x2000\n", true, {}, 0, ""},
    {"Empty", "", true, {}, 0, ""},
    {"QuarterSectors",
     GROUP(1, 0, 0x1000, 0x1800, 0x400),
     true,
     {{0, 0x1000, 0x400}, {0, 0x1400, 0x400}},
     0x800,
     ""},
    {"LastSectorReachesPastTheEnd",
     GROUP(1, 0, 0x1000, 0x1800, 0x500),
     true,
     {{0, 0x1000, 0x500}, {0, 0x1500, 0x500}},
     0x800,
     ""},
    {"GapInNumberingEndsTheList",
     GROUP(1, 1, 0, 0x4000, 0x2000) GROUP(3, 1, 0x4000, 0x8000, 0x2000),
     true,
     {{1, 0, 0x2000}, {1, 0x2000, 0x2000}},
     0x4000,
     ""},
    {"GroupsFollowEachOther",
     GROUP(1, 0, 0x0, 0x2000, 0x1000) GROUP(2, 0, 0x2000, 0x6000, 0x4000),
     true,
     {{0, 0, 0x1000}, {0, 0x1000, 0x1000}, {0, 0x2000, 0x4000}},
     0x6000,
     ""},
    {"CommentsAndSpaces",
     "; layout of the boot area\n[FLASH 1]\nTYPE = 0\nStart Address = 0x1000 ; boot\nEnd Address = 8192\n"
     "Sector Size = 0X1000 ; 4 KiB\n",
     true,
     {{0, 0x1000, 0x1000}},
     0x1000,
     ""},
    {"EmptyGroupHasNoSectors", GROUP(1, 0, 0x2000, 0x2000, 0), true, {}, 0, ""},
    {"GroupAfterAZeroEndIsNotCompared",
     GROUP(1, 0, 0, 0, 0x100) GROUP(2, 0, 0x8000, 0x8200, 0x100),
     true,
     {{0, 0x8000, 0x100}, {0, 0x8100, 0x100}},
     0x200,
     ""},
    {"EndOfTheAddressSpaceDoesNotWrap",
     GROUP(1, 0, 0xFFFFF000, 0xFFFFFFFF, 0x800),
     true,
     {{0, 0xFFFFF000, 0x800}, {0, 0xFFFFF800, 0x800}},
     0xFFF,
     ""},
    {"SecondGroupOneByteOff",
     GROUP(1, 0, 0x1000, 0x1800, 0x800) GROUP(2, 0, 0x1801, 0x2000, 0x800),
     false,
     {{0, 0x1000, 0x800}},
     0x800,
     "FLASH 2 address not follow the last flash"},
    {"TypesDiffer",
     GROUP(1, 0, 0x1000, 0x1800, 0x800) GROUP(2, 1, 0x1800, 0x2000, 0x800),
     false,
     {{0, 0x1000, 0x800}},
     0x800,
     "All FLASH should be same type!"},
    {"StartMissing",
     "[FLASH 1]\nTYPE=0\nEnd Address=0x2000\nSector Size=0x100\n",
     false,
     {},
     0,
     "FLASH start address is empty"},
    {"StartEmpty",
     "[FLASH 1]\nTYPE=0\nStart Address=\nEnd Address=0x2000\nSector Size=0x100\n",
     false,
     {},
     0,
     "FLASH start address is empty"},
    {"EndMissing",
     "[FLASH 1]\nTYPE=0\nStart Address=0x1000\nSector Size=0x100\n",
     false,
     {},
     0,
     "FLASH end address is empty"},
    {"SectorSizeMissing",
     "[FLASH 1]\nTYPE=0\nStart Address=0x1000\nEnd Address=0x2000\n",
     false,
     {},
     0,
     "FLASH 1 Sector Size is missing or 0"},
    {"SectorSizeZero", GROUP(1, 0, 0x1000, 0x2000, 0), false, {}, 0, "FLASH 1 Sector Size is missing or 0"},
    {"EndBelowStart",
     GROUP(1, 0, 0x2000, 0x1000, 0x100),
     false,
     {},
     0,
     "FLASH 1 End Address is below its Start Address"},
    // Values that do not convert read as 0: a start of letters is address 0, an end of
    // letters lies below a start above 0, a type of letters is type 0.
    {"StartLettersReadAsZero",
     GROUP(1, 0, boot, 0x200, 0x100),
     true,
     {{0, 0, 0x100}, {0, 0x100, 0x100}},
     0x200,
     ""},
    {"EndLettersReadAsZero",
     GROUP(1, 0, 0x100, 0x10 0x20, 0x100),
     false,
     {},
     0,
     "FLASH 1 End Address is below its Start Address"},
    {"TypeLettersReadAsZero",
     GROUP(1, nand, 0, 0x100, 0x100) GROUP(2, 0, 0x100, 0x200, 0x100),
     true,
     {{0, 0, 0x100}, {0, 0x100, 0x100}},
     0x200,
     ""},
    // QSettings reads an unquoted comma as a list, which has no single text.
    {"ListValueIsEmpty",
     "[FLASH 1]\nTYPE=0\nStart Address=0\nEnd Address=0x10, 0x20\nSector Size=0x100\n",
     false,
     {},
     0,
     "FLASH end address is empty"},
};

std::string layout_name(const ::testing::TestParamInfo<SLayoutCase>& info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Texts, FlashLayout, ::testing::ValuesIn(LAYOUTS), layout_name);

TEST(FlashLayoutLimits, SectorListIsBounded)
{
    CFlashConfig config;
    EXPECT_FALSE(config.load_flash_config_text(GROUP(1, 1, 0x1000, 0x1000000, 0x40)
                                                   GROUP(2, 1, 0x1000000, 0xFFFFFFFF, 1)));
    EXPECT_EQ(config.error_text(), "FLASH 2 makes the layout exceed 262144 sectors");
    EXPECT_EQ(config.sectors().size(), CFlashConfig::MAX_SECTORS);
    EXPECT_EQ(config.sectors().back().address,
              0x1000000u + (CFlashConfig::MAX_SECTORS - (0xFFF000 / 0x40)) - 1);
}

TEST(FlashLayoutLimits, HundredthGroupIsIgnored)
{
    QByteArray text;
    for (int group = 1; group <= 100; ++group) {
        // Group 100 would fail twice over: another type, and not following group 99.
        const int type = group == 100 ? 1 : 0;
        const int start = group == 100 ? 0 : (group - 1) * 0x1000;
        text += QString("[FLASH %1]\nTYPE=%2\nStart Address=0x%3\nEnd Address=0x%4\nSector Size=0x1000\n")
                    .arg(group)
                    .arg(type)
                    .arg(start, 0, 16)
                    .arg(start + 0x1000, 0, 16)
                    .toLatin1();
    }
    CFlashConfig config;
    ASSERT_TRUE(config.load_flash_config_text(text)) << config.error_text().toStdString();
    ASSERT_EQ(config.sectors().size(), 99u);
    EXPECT_EQ(config.sectors().back(), (SFlashSector{0, 98 * 0x1000, 0x1000}));
    EXPECT_EQ(config.total(), 99u * 0x1000);
}

struct SCountCase {
    unsigned length;
    unsigned sectors;
};

class FlashSectorCount : public ::testing::TestWithParam<SCountCase> {};

TEST_P(FlashSectorCount, CountsFromTheFirstSector)
{
    CFlashConfig config;
    ASSERT_TRUE(
        config.load_flash_config_text(GROUP(1, 0, 0, 0x800, 0x400) GROUP(2, 0, 0x800, 0x1000, 0x800)));
    EXPECT_EQ(config.envaluate_sector_count_to_save_data(GetParam().length), GetParam().sectors);
}

INSTANTIATE_TEST_SUITE_P(Lengths, FlashSectorCount,
                         ::testing::Values(SCountCase{0, 1}, SCountCase{0x400, 1}, SCountCase{0x401, 2},
                                           SCountCase{0x800, 2}, SCountCase{0x801, 3}, SCountCase{0x1000, 3},
                                           SCountCase{0x1001, 3}, SCountCase{0xFFFFFFFF, 3}));

TEST(FlashSectorCountEmpty, NoSectorsGiveZero)
{
    CFlashConfig config;
    EXPECT_EQ(config.envaluate_sector_count_to_save_data(0), 0u);
    ASSERT_TRUE(config.load_flash_config_text(GROUP(1, 0, 0x10, 0x10, 0x10)));
    EXPECT_EQ(config.envaluate_sector_count_to_save_data(100), 0u);
}

TEST(FlashSectorCountWide, SumDoesNotWrapAt4GiB)
{
    CFlashConfig config;
    ASSERT_TRUE(config.load_flash_config_text(GROUP(1, 1, 0, 0xF0000000, 0x80000000)
                                                  GROUP(2, 1, 0xF0000000, 0xFFFFFFFF, 0x80000000)));
    ASSERT_EQ(config.sectors().size(), 3u);  // 2 GiB, 2 GiB, and one reaching far past the end
    EXPECT_EQ(config.envaluate_sector_count_to_save_data(0xF0000001), 2u);
    EXPECT_EQ(config.envaluate_sector_count_to_save_data(0xFFFFFFFF), 2u);
}

class FlashLayoutFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.path() + "/~layout.ini"; }
};

TEST_F(FlashLayoutFile, MissingFileIsNamed)
{
    CFlashConfig config;
    EXPECT_FALSE(config.load_flash_config(path()));
    EXPECT_EQ(config.error_text(), QString("Flash layout file '%1' not found").arg(path()));
}

TEST_F(FlashLayoutFile, RewrittenFileIsReadAfresh)
{
    // Sections' layouts go through one temporary file in quick succession, often with the
    // same length; each load must see the text just written, never a cached earlier one.
    for (unsigned round = 0; round < 200; ++round) {
        const unsigned start = (round % 2 ? 0x2000 : 0x1000);
        write_file(path(),
                   QString("[FLASH 1]\nTYPE=0\nStart Address=0x%1\nEnd Address=0x%2\nSector Size=0x1000\n")
                       .arg(start, 0, 16)
                       .arg(start + 0x1000, 0, 16)
                       .toLatin1());
        CFlashConfig config;
        ASSERT_TRUE(config.load_flash_config(path())) << config.error_text().toStdString();
        ASSERT_EQ(config.sectors(), (std::vector<SFlashSector>{{0, start, 0x1000}})) << "round " << round;
    }
}

}  // namespace
