#include "device/device_packet.h"

#include "device/link_fault.h"
#include "hex_diff.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>

namespace {

struct SPacketCase {
    const char* name;
    std::function<unsigned int(unsigned char*)> build;
    const char* expected;
};

void PrintTo(const SPacketCase& c, std::ostream* os)
{
    *os << c.name;
}

class DevicePacket : public ::testing::TestWithParam<SPacketCase> {};

TEST_P(DevicePacket, BuildsTheGoldenBytes)
{
    std::array<unsigned char, 64> out{};
    const unsigned int length = GetParam().build(out.data());
    const Bytes built(out.begin(), out.begin() + length);
    const Bytes expected = hex_bytes(GetParam().expected);
    EXPECT_EQ(built, expected) << hex_diff(built, expected);
}

const unsigned char THREE_BYTES[3] = {0x10, 0x20, 0x30};

INSTANTIATE_TEST_SUITE_P(
    Builders, DevicePacket,
    ::testing::Values(
        SPacketCase{"Query",
                    [](unsigned char* out) { return make_query_packet(out, QUERY_NAME_AND_VERSION); },
                    "59 00 11 00 00 00 FF"},
        SPacketCase{
            "ReadInfoRecord",
            [](unsigned char* out) { return make_flash_read_packet(out, FLASH_TYPE_SYSTEM, 0x2180, 16); },
            "59 00 23 08 00 00 00 80 21 00 00 10 00 00 4E"},
        SPacketCase{"WriteThreeBytes",
                    [](unsigned char* out) {
                        return make_flash_write_packet(out, FLASH_TYPE_NAND, 0x800, THREE_BYTES, 3);
                    },
                    "59 00 22 0B 00 00 01 00 08 00 00 03 00 00 10 20 30 93"},
        SPacketCase{"ModeChange", [](unsigned char* out) { return make_mode_change_packet(out); },
                    "59 00 50 02 00 00 7F 7F 01"},
        SPacketCase{
            "EraseBlock",
            [](unsigned char* out) { return make_flash_erase_packet(out, FLASH_TYPE_NAND, 0x01020304); },
            "59 00 21 05 00 00 01 04 03 02 01 F4"},
        SPacketCase{"ChecksumTakesA32BitLength",
                    [](unsigned char* out) {
                        return make_flash_checksum_packet(out, FLASH_TYPE_SYSTEM, 0x4000, 0x01020304);
                    },
                    "59 00 24 09 00 00 00 00 40 00 00 04 03 02 01 B5"},
        SPacketCase{"StatusOk", [](unsigned char* out) { return make_responds_packet(out, true); },
                    "59 00 00 01 00 00 00 FF"},
        SPacketCase{"StatusRefused", [](unsigned char* out) { return make_responds_packet(out, false); },
                    "59 00 00 01 00 00 01 FE"}),
    [](const ::testing::TestParamInfo<SPacketCase>& info) { return std::string(info.param.name); });

TEST(DevicePacketChecksum, AcceptsTheComplementAndNamesTheTwoValuesOtherwise)
{
    const Bytes payload = hex_bytes("01 00 08 00 00 03 00 00 10 20 30");
    const unsigned int L = static_cast<unsigned int>(payload.size());
    EXPECT_TRUE(verify_checksum(payload.data(), L, 0x93));
    EXPECT_TRUE(verify_checksum(payload.data(), 0, 0x00)) << "an empty payload is always good";

    EXPECT_FALSE(verify_checksum(payload.data(), L, 0x6C));
    const SLinkFault fault{ELinkFault::CHECKSUM, payload_checksum(payload.data(), L), 0x6C};
    EXPECT_EQ(link_fault_text(fault), QString::fromUtf8("Checksum错误,算出来是93, 包内校验是6C"));
}

TEST(DevicePacketChecksum, AddChecksumAppendsAndAdvances)
{
    const Bytes payload = hex_bytes("7F 7F");
    unsigned char out[2] = {0xAA, 0xAA};
    unsigned char* at = out;
    add_checksum(at, payload.data(), 2);
    EXPECT_EQ(at, out + 1);
    EXPECT_EQ(out[0], 0x01);
    EXPECT_EQ(out[1], 0xAA);
}

}  // namespace
