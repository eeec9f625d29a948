#include "pedal_fixture.h"

#include <string>

namespace {

struct SBootCase {
    const char* name;
    EPedalMode boot_mode;
    bool application_installed;
    EPedalMode expected;
};

class PedalBoot : public PedalTest, public ::testing::WithParamInterface<SBootCase> {
protected:
    void start_with_case()
    {
        SPedalConfig config;
        config.boot_mode = GetParam().boot_mode;
        config.application_installed = GetParam().application_installed;
        start(config);
    }
};

TEST_P(PedalBoot, StartsInApplicationModeOnlyWithItsApplicationsFirstSectorProgrammed)
{
    start_with_case();
    EXPECT_EQ(pedal->mode(), GetParam().expected);
    pedal->power_cycle();
    EXPECT_EQ(pedal->mode(), GetParam().expected);
    pedal->unplug();
    pedal->plug();
    EXPECT_EQ(pedal->mode(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, PedalBoot,
    ::testing::Values(SBootCase{"Application", EPedalMode::APP, true, EPedalMode::APP},
                      SBootCase{"NoApplication", EPedalMode::APP, false, EPedalMode::UPDATE},
                      SBootCase{"UpdateHeld", EPedalMode::UPDATE, true, EPedalMode::UPDATE}),
    [](const auto& info) { return std::string(info.param.name); });

// A firmware update erases the application's sectors and writes their first one last, so
// an update cut before that write leaves a pedal that starts in update mode again.
TEST_F(PedalTest, UpdateCutBeforeTheApplicationsFirstSectorBootsIntoUpdateMode)
{
    SPedalConfig config;
    config.boot_mode = EPedalMode::APP;
    start(config);
    pedal->set_mode(EPedalMode::UPDATE);
    EXPECT_EQ(request(0x21, erase(0, PEDAL_APPLICATION_START)), status(0));
    EXPECT_EQ(request(0x21, erase(0, PEDAL_APPLICATION_START + 0x800)), status(0));
    EXPECT_EQ(request(0x22, write(0, PEDAL_APPLICATION_START + 0x800, Bytes(16, 0x12))), status(0));
    pedal->cut_power_at_flash_operation(1);
    host->send_bytes(pedal_wire::make_packet(0x22, write(0, PEDAL_APPLICATION_START, Bytes(16, 0x34))), true);
    expect_silence();
    pedal->power_cycle();
    EXPECT_EQ(pedal->mode(), EPedalMode::UPDATE);

    EXPECT_EQ(request(0x22, write(0, PEDAL_APPLICATION_START, Bytes(16, 0x34))), status(0));
    pedal->power_cycle();
    EXPECT_EQ(pedal->mode(), EPedalMode::APP);
}

struct STornWriteCase {
    const char* name;
    uint32_t written;
    uint32_t whole_pages;   // pages of the 5000-byte write left whole
    uint32_t partial_page;  // bytes of the next page programmed
};

class PedalTornWrite : public PedalTest, public ::testing::WithParamInterface<STornWriteCase> {};

// A write across two 4096-byte NAND pages, cut while a page is being programmed: the pages
// before it are whole, that page holds a prefix, and everything after it is still erased.
TEST_P(PedalTornWrite, LeavesAPrefixOfTheWriteInAddressOrder)
{
    start();  // a PULSE RING: 4096-byte NAND pages
    Bytes data(5000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i % 251);
    pedal->cut_power_at_flash_operation(1, EPowerCutEffect::PARTLY_DONE, GetParam().written);
    host->send_bytes(pedal_wire::make_packet(0x22, write(1, 4096, data)), true);
    expect_silence();

    const uint32_t kept = GetParam().whole_pages * 4096 + GetParam().partial_page;
    Bytes expected(data.begin(), data.begin() + kept);
    expected.resize(2 * 4096, 0xFF);
    const Bytes back = pedal->nand().read(4096, 2 * 4096);
    EXPECT_EQ(back, expected) << hex_diff(back, expected);
}

INSTANTIATE_TEST_SUITE_P(Prefixes, PedalTornWrite,
                         ::testing::Values(STornWriteCase{"FirstByte", 1, 0, 1},
                                           STornWriteCase{"Half", HALF_OF_THE_WRITE, 0, 2500},
                                           STornWriteCase{"IntoTheSecondPage", 4100, 1, 4},
                                           STornWriteCase{"MoreThanTheWrite", 6000, 1, 904}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PedalTest, EraseCutHalfWayLeavesEveryProgrammedByteWithHalfItsBitsErased)
{
    start();  // a PULSE RING: 256 KiB NAND blocks of 4096-byte pages
    const Bytes data = hex_bytes("00 12 AA FF");
    ASSERT_TRUE(pedal->nand().program(0, data.data(), 4));
    ASSERT_TRUE(pedal->nand().program(262144 - 2, data.data(), 2));
    pedal->cut_power_at_flash_operation(1, EPowerCutEffect::PARTLY_DONE);
    host->send_bytes(pedal_wire::make_packet(0x21, erase(1, 4096)), true);
    expect_silence();

    EXPECT_EQ(pedal->nand().read(0, 6), hex_bytes("55 57 FF FF FF FF"));
    EXPECT_EQ(pedal->nand().read(262144 - 2, 2), hex_bytes("55 57"));
    EXPECT_EQ(pedal->nand().read(4096, 4), hex_bytes("FF FF FF FF")) << "an erased page stays erased";
    EXPECT_EQ(pedal->nand().stored_page_count(), 2u);
    ASSERT_TRUE(pedal->nand().program(0, data.data(), 1));
    EXPECT_EQ(pedal->nand().double_program_count(), 1u) << "a half-erased page still needs an erase";
}

}  // namespace
