#include "device/device_packet.h"
#include "device/midi_transfer.h"
#include "device/port_pairs.h"
#include "device/rtmidi_backend.h"
#include "emulator/pedal_wire.h"
#include "emulator/virtual_midi_system.h"
#include "test_wait.h"
#include "virtual_pedal/port_bridge.h"

#include <gtest/gtest.h>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

using Bytes = std::vector<uint8_t>;

// A write packet of 5120 data bytes: the head, flash type, address, data and checksum;
// 5868 bytes on the wire once packed and framed, the largest message of the protocol.
constexpr unsigned int kLargestPacket = PACKET_OVERHEAD + 5 + 5120;
constexpr int kArrivalLimitMs = 10000;

Bytes largest(uint8_t seed)
{
    Bytes bytes(kLargestPacket);
    for (unsigned int i = 0; i < kLargestPacket; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    return bytes;
}

// The program's link on RtMidi's JACK ports, facing a device whose ports a bridge carries
// over to JACK as tandora-pedal does: every message crosses RtMidi and JACK twice.
class JackLargestMessage : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("JACK_DEFAULT_SERVER"))
            GTEST_SKIP() << "No JACK server was started for the tests (tools/jack_server.sh starts one).";
        choose_rtmidi_api(EMidiHostApi::JACK);
        m_device = m_virtual.plug_device("BIG PEDAL", [this](const std::vector<unsigned char>& message) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_received.push_back(message);
            m_arrived.notify_all();
        });
        m_bridge.emplace(m_virtual, "BIG PEDAL", rtmidi_system());
        for (const SMidiPortPair& pair : list_midi_port_pairs()) {
            if (pair.name == "BIG PEDAL:BIG PEDAL") {
                EXPECT_TRUE(m_transfer.open(pair.ports >> 16, pair.ports & 0xFFFF, true))
                    << m_transfer.error_text();
            }
        }
        ASSERT_FALSE(m_transfer.output_port_name().empty()) << "the bridge's ports are not listed as a pair";
    }
    void TearDown() override { choose_rtmidi_api(EMidiHostApi::DEFAULT); }

    Bytes next_at_device()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        Bytes bytes;
        if (m_arrived.wait_for(lock, std::chrono::milliseconds(kArrivalLimitMs),
                               [this] { return !m_received.empty(); })) {
            EXPECT_TRUE(pedal_wire::unframe(m_received.front(), true, bytes));
        }
        return bytes;
    }
    void send_to_host(const Bytes& bytes)
    {
        ASSERT_TRUE(m_virtual.send_to_host(m_device, pedal_wire::frame(bytes, true)));
    }
    Bytes read_at_host()
    {
        Bytes bytes(CMIDITranfer::MAX_PACKED_MESSAGE);
        bytes.resize(m_transfer.read(bytes.data(), static_cast<unsigned int>(bytes.size()), kArrivalLimitMs));
        return bytes;
    }

    CVirtualMidiSystem m_virtual;
    CVirtualMidiSystem::DeviceId m_device = 0;
    std::optional<CPortBridge> m_bridge;
    CMIDITranfer m_transfer;
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<std::vector<unsigned char>> m_received;
};

TEST_F(JackLargestMessage, CrossesWholeBothWays)
{
    ASSERT_EQ(m_transfer.write(largest(1).data(), kLargestPacket), kLargestPacket) << m_transfer.error_text();
    EXPECT_EQ(next_at_device(), largest(1));
    send_to_host(largest(2));
    EXPECT_EQ(read_at_host(), largest(2));
}

// More of the largest replies than the link's input holds, unread: the ones that do not
// fit whole are dropped and counted, the rest arrive intact and in order, and nothing hangs.
TEST_F(JackLargestMessage, FloodBeyondTheInputDropsWholeMessagesAndCountsThem)
{
    const unsigned int flood = CMIDITranfer::BUFFER_SIZE / kLargestPacket + 4;
    for (unsigned int i = 0; i < flood; ++i)
        send_to_host(largest(static_cast<uint8_t>(i)));
    ASSERT_TRUE(wait_or_fail([&] { return m_transfer.dropped_messages() > 0; }, kArrivalLimitMs));
    const Bytes end = {0x7E};  // small enough for what the full input leaves
    send_to_host(end);

    unsigned int kept = 0;
    int last = -1;
    for (Bytes bytes = read_at_host(); !bytes.empty() && bytes != end; bytes = read_at_host(), ++kept) {
        EXPECT_GT(bytes[0], last);
        EXPECT_EQ(bytes, largest(bytes[0]));
        last = bytes[0];
    }
    EXPECT_GT(kept, 0u);
    EXPECT_EQ(kept + m_transfer.dropped_messages(), flood);
}

}  // namespace
