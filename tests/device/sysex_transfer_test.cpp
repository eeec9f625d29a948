#include "device/midi_transfer.h"
#include "device/sysex_packing.h"

#include "emulator/pedal_wire.h"
#include "fake_wait_clock.h"
#include "hex_diff.h"
#include "midi_input.h"

#include <gtest/gtest.h>

namespace {

Bytes framed(CMIDITranfer& transfer, const Bytes& data)
{
    Bytes out(data.size() * 8 / 7 + 3);
    out.resize(
        transfer.prepare_sysex_out_buffer(data.data(), static_cast<unsigned int>(data.size()), out.data()));
    return out;
}

Bytes read_message(CMIDITranfer& transfer, unsigned int len, unsigned int timeout = 5)
{
    Bytes buf(len);
    buf.resize(transfer.read(buf.data(), len, timeout));
    return buf;
}

TEST(SysexPacking, PacksTheQueryAsDocumented)
{
    CMIDITranfer transfer;
    const Bytes query = hex_bytes("59 00 11 00 00 00 FF");
    const Bytes expected = hex_bytes("F0 59 00 44 00 00 00 40 7F F7");
    EXPECT_EQ(framed(transfer, query), expected) << hex_diff(framed(transfer, query), expected);
}

TEST(SysexPacking, FramedSizesFollowCeilingOfEightSevenths)
{
    CMIDITranfer transfer;
    const std::pair<unsigned int, unsigned int> cases[] = {{0, 2},  {1, 4},  {6, 9},
                                                           {7, 10}, {8, 12}, {5135, 5871}};
    for (const auto& [n, size] : cases) {
        EXPECT_EQ(framed(transfer, Bytes(n, 0xA5)).size(), size) << n << " bytes";
        EXPECT_EQ(packed_sysex_size(n) + 2, size) << n << " bytes";
    }
    EXPECT_EQ(framed(transfer, {}), hex_bytes("F0 F7"));
    EXPECT_EQ(framed(transfer, hex_bytes("FF")), hex_bytes("F0 7F 01 F7"));
}

TEST(SysexPacking, RawModeSendsBytesUnchanged)
{
    CMIDITranfer transfer;
    transfer.set_sysex_8_bit_valid(0);
    EXPECT_EQ(framed(transfer, hex_bytes("59 12 00 34")), hex_bytes("F0 59 12 00 34 F7"));
}

// Every length a device message can have: the link frames it as the pedal's own wire
// code does, and takes the pedal's framing apart into the bytes sent.
TEST(SysexPacking, AgreesWithThePedalsWireCodeForEveryLength)
{
    CMIDITranfer transfer;
    Bytes data(5135);
    for (size_t k = 0; k < data.size(); ++k)
        data[k] = static_cast<uint8_t>(k * 131 + (k >> 8));
    for (unsigned int n = 0; n <= 5135; ++n) {
        const Bytes sent(data.begin(), data.begin() + n);
        const Bytes pedal_framed = pedal_wire::frame(sent, true);
        ASSERT_EQ(framed(transfer, sent), pedal_framed) << "length " << n;
        receive(transfer, pedal_framed);
        const Bytes got = read_message(transfer, 6000);
        ASSERT_EQ(got, sent) << "length " << n << "\n" << hex_diff(got, sent);
    }
}

TEST(SysexReceive, SkipsBytesBeforeTheStartOfAMessage)
{
    CMIDITranfer transfer;
    transfer.set_sysex_8_bit_valid(0);
    receive(transfer, hex_bytes("12 34 F7 90 40 7F"));
    receive(transfer, hex_bytes("F0 59 12 00 34 F7"));
    EXPECT_EQ(read_message(transfer, 16), hex_bytes("59 12 00 34"));
}

TEST(SysexReceive, ShortBufferStopsAndTheNextReadSkipsTheRest)
{
    CMIDITranfer transfer;
    transfer.set_sysex_8_bit_valid(0);
    receive(transfer, hex_bytes("F0 01 02 03 04 05 06 F7"));
    receive(transfer, hex_bytes("F0 0A 0B F7"));
    EXPECT_EQ(read_message(transfer, 3), hex_bytes("01 02 03"));
    EXPECT_EQ(read_message(transfer, 16), hex_bytes("0A 0B"));
}

TEST(SysexReceive, UnfinishedMessageReturnsWhatCameWithinTheTimeout)
{
    CFakeWaitClock clock;
    CMIDITranfer transfer;
    transfer.set_clock(&clock);
    transfer.set_sysex_8_bit_valid(0);
    receive(transfer, hex_bytes("F0 01 02"));
    EXPECT_EQ(read_message(transfer, 16, 30), hex_bytes("01 02"));
    EXPECT_EQ(transfer.last_read_end(), EReadEnd::TIMED_OUT);
    EXPECT_EQ(transfer.last_read_waited(), std::chrono::milliseconds(30));
}

TEST(SysexReceive, NothingArrivingTimesOutAfterTheWaitedTime)
{
    CFakeWaitClock clock;
    CMIDITranfer transfer;
    transfer.set_clock(&clock);
    EXPECT_TRUE(read_message(transfer, 16, 5000).empty());
    EXPECT_EQ(transfer.last_read_waited(), std::chrono::milliseconds(5000));
    EXPECT_TRUE(read_message(transfer, 16, 0).empty()) << "a zero time-out reads nothing";
}

TEST(SysexReceive, ModeChangeAndClearDropPendingInput)
{
    CMIDITranfer transfer;
    transfer.set_sysex_8_bit_valid(0);
    receive(transfer, hex_bytes("F0 01 F7"));
    transfer.clear_midi_in_buffer();
    EXPECT_TRUE(read_message(transfer, 4, 1).empty());
    receive(transfer, hex_bytes("F0 01 F7"));
    transfer.set_sysex_8_bit_valid(1);
    EXPECT_TRUE(read_message(transfer, 4, 1).empty());
}

TEST(SysexReceive, MessageLongerThanTheRingIsDroppedWhole)
{
    CMIDITranfer transfer;
    transfer.set_sysex_8_bit_valid(0);
    Bytes huge(CMIDITranfer::BUFFER_SIZE + 10, 0x01);
    huge.front() = 0xF0;
    huge.back() = 0xF7;
    receive(transfer, huge);
    EXPECT_EQ(transfer.dropped_messages(), 1u);
    receive(transfer, hex_bytes("F0 05 F7"));
    EXPECT_EQ(read_message(transfer, 16), hex_bytes("05"));
}

TEST(SysexSend, WriteWithoutAnOpenPortFails)
{
    CMIDITranfer transfer;
    const Bytes data = hex_bytes("59 00 11 00 00 00 FF");
    EXPECT_EQ(transfer.write(data.data(), static_cast<unsigned int>(data.size())), 0u);
}

}  // namespace
