#include "emulator/pedal_wire.h"
#include "hex_diff.h"

#include <gtest/gtest.h>

#include <random>

TEST(PedalWire, QueryIsPackedAsTheProtocolShows)
{
    const Bytes query = hex_bytes("59 00 11 00 00 00 FF");
    const Bytes expected = hex_bytes("F0 59 00 44 00 00 00 40 7F F7");
    EXPECT_EQ(pedal_wire::frame(query, true), expected) << hex_diff(pedal_wire::frame(query, true), expected);
    EXPECT_EQ(pedal_wire::make_packet(0x11, {}), query);
}

TEST(PedalWire, PackedLengthIsEightSeventhsRoundedUp)
{
    for (const auto& [length, framed] :
         std::vector<std::pair<size_t, size_t>>{{0, 2}, {1, 4}, {7, 10}, {8, 12}}) {
        EXPECT_EQ(pedal_wire::frame(Bytes(length, 0xAA), true).size(), framed) << length << " bytes";
    }
}

TEST(PedalWire, UnpackingRestoresEveryLengthUpToTheLargestPacket)
{
    std::mt19937 random(7);
    for (size_t length = 0; length <= 5135; length += (length < 64 ? 1 : 97)) {
        Bytes data(length);
        for (auto& byte : data)
            byte = static_cast<uint8_t>(random());
        Bytes back;
        ASSERT_TRUE(pedal_wire::unframe(pedal_wire::frame(data, true), true, back));
        ASSERT_EQ(back, data) << length << " bytes\n" << hex_diff(back, data);
    }
    Bytes ignored;
    EXPECT_FALSE(pedal_wire::unframe(hex_bytes("59 00 F7"), true, ignored));
    EXPECT_FALSE(pedal_wire::unframe(hex_bytes("F0 59 00"), true, ignored));
}

TEST(PedalWire, PacketsMatchTheCommandTableExamples)
{
    struct SCase {
        uint8_t command;
        const char* payload;
        const char* packet;
    };
    const SCase cases[] = {
        {0x23, "00 80 21 00 00 10 00 00", "59 00 23 08 00 00 00 80 21 00 00 10 00 00 4E"},
        {0x22, "01 00 08 00 00 03 00 00 10 20 30", "59 00 22 0B 00 00 01 00 08 00 00 03 00 00 10 20 30 93"},
        {0x50, "7F 7F", "59 00 50 02 00 00 7F 7F 01"},
    };
    for (const auto& c : cases) {
        const Bytes packet = pedal_wire::make_packet(c.command, hex_bytes(c.payload));
        EXPECT_EQ(packet, hex_bytes(c.packet)) << hex_diff(packet, hex_bytes(c.packet));
    }
}
