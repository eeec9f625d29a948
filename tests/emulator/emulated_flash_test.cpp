#include "emulator/emulated_flash.h"
#include "hex_diff.h"

#include <gtest/gtest.h>

namespace {

// Four 1 KiB erase units of four 256-byte pages.
constexpr SFlashGeometry SMALL{1024, 256, 4};

Bytes read(const CEmulatedFlash& flash, uint32_t address, uint32_t length)
{
    return flash.read(address, length);
}

}  // namespace

TEST(EmulatedFlash, ErasedBytesReadFFAndProgrammingOnlyClearsBits)
{
    CEmulatedFlash flash(SMALL);
    EXPECT_EQ(flash.size(), 4096u);
    EXPECT_EQ(read(flash, 1000, 4), hex_bytes("FF FF FF FF"));

    const Bytes first = hex_bytes("F0 0F 3C");
    const Bytes second = hex_bytes("FF 01 C3");
    ASSERT_TRUE(flash.program(1023, first.data(), 3));  // crosses into the second unit
    ASSERT_TRUE(flash.program(1023, second.data(), 3));
    const Bytes expected = hex_bytes("FF F0 01 00 FF");
    EXPECT_EQ(read(flash, 1022, 5), expected) << hex_diff(read(flash, 1022, 5), expected);
}

TEST(EmulatedFlash, EraseClearsExactlyTheUnitHoldingTheAddress)
{
    CEmulatedFlash flash(SMALL);
    const Bytes zeros(3000, 0x00);
    ASSERT_TRUE(flash.program(0, zeros.data(), 3000));
    ASSERT_TRUE(flash.erase(1024 + 700));
    EXPECT_EQ(read(flash, 1023, 1), hex_bytes("00"));
    EXPECT_EQ(read(flash, 1024, 1024), Bytes(1024, 0xFF));
    EXPECT_EQ(read(flash, 2048, 1), hex_bytes("00"));
    EXPECT_FALSE(flash.erase(4096));
}

TEST(EmulatedFlash, KeepsOnlyProgrammedPagesAndFreesThemOnErase)
{
    CEmulatedFlash flash({262144, 4096, 2000});  // half a gigabyte, as on the largest pedal
    EXPECT_EQ(flash.stored_page_count(), 0u);
    const Bytes page(4032, 0x12);
    ASSERT_TRUE(flash.program(1999u * 262144u + 63u * 4096u, page.data(), 4032));
    ASSERT_TRUE(flash.program(5 * 4096, page.data(), 100));
    EXPECT_EQ(flash.stored_page_count(), 2u);
    ASSERT_TRUE(flash.erase(0));
    EXPECT_EQ(flash.stored_page_count(), 1u);
    EXPECT_EQ(read(flash, 1999u * 262144u + 63u * 4096u + 4031u, 2), hex_bytes("12 FF"));
}

TEST(EmulatedFlash, CountsPagesProgrammedTwiceWithoutAnEraseBetween)
{
    CEmulatedFlash flash(SMALL);
    const Bytes data(300, 0x55);
    ASSERT_TRUE(flash.program(0, data.data(), 300));  // pages 0 and 1
    EXPECT_EQ(flash.double_program_count(), 0u);
    ASSERT_TRUE(flash.program(300, data.data(), 10));  // page 1 again
    EXPECT_EQ(flash.double_program_count(), 1u);
    ASSERT_TRUE(flash.erase(0));
    ASSERT_TRUE(flash.program(0, data.data(), 300));
    EXPECT_EQ(flash.double_program_count(), 1u);
    flash.reset_double_program_count();
    EXPECT_EQ(flash.double_program_count(), 0u);
}

TEST(EmulatedFlash, RefusesRangesBeyondTheChipAndChangesNothing)
{
    CEmulatedFlash flash(SMALL);
    const Bytes data(8, 0x00);
    EXPECT_FALSE(flash.program(4090, data.data(), 8));
    EXPECT_FALSE(flash.program(0xFFFFFFFC, data.data(), 8));
    EXPECT_EQ(flash.stored_page_count(), 0u);
    uint8_t out[8];
    EXPECT_FALSE(flash.read(4095, out, 2));
    EXPECT_TRUE(flash.read(4088, out, 8));
    uint16_t sum = 0;
    EXPECT_FALSE(flash.sum16(4000, 100, sum));
    EXPECT_TRUE(flash.read(0, 0).empty());
}

TEST(EmulatedFlash, RangeSumIsTheSixteenBitSumOfStoredAndErasedBytes)
{
    CEmulatedFlash flash(SMALL);
    const Bytes data = hex_bytes("01 02 03");
    ASSERT_TRUE(flash.program(255, data.data(), 3));
    uint16_t sum = 0;
    ASSERT_TRUE(flash.sum16(254, 5, sum));
    EXPECT_EQ(sum, 0xFF + 1 + 2 + 3 + 0xFF);
    ASSERT_TRUE(flash.sum16(0, 4096, sum));
    EXPECT_EQ(sum, static_cast<uint16_t>(4093 * 0xFF + 6));
}
