#include "pedal_fixture.h"

#include "device/rtmidi_backend.h"
#include "hex_diff.h"

#include <QStringList>

#include <mutex>
#include <string>
#include <vector>

namespace {

// Three lone destinations and two lone sources of a virtual MIDI system, so tests can
// see which port a message went to and which one the link listens on.
class PortTest : public PedalTest {
protected:
    PortTest()
    {
        for (int k = 0; k < 3; ++k) {
            m_destinations.push_back(m_system.add_destination(
                "Out " + std::to_string(k), [this, k](const std::vector<unsigned char>& message) {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_received[k].push_back(message);
                }));
        }
        for (int k = 0; k < 2; ++k)
            m_sources.push_back(m_system.add_source("In " + std::to_string(k)));
    }
    ~PortTest() override
    {
        m_port.close();
        for (auto device : m_destinations)
            m_system.unplug(device);
    }
    size_t received_by(int destination)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_received[destination].size();
    }
    bool write(const Bytes& data)
    {
        unsigned int written = 0;
        return m_port.Write(data.data(), static_cast<unsigned int>(data.size()), written, true);
    }

    CUSBPort m_port;
    std::vector<CVirtualMidiSystem::DeviceId> m_destinations;
    std::vector<CVirtualMidiSystem::DeviceId> m_sources;
    std::mutex m_mutex;
    std::vector<std::vector<unsigned char>> m_received[3];
};

TEST_F(PortTest, OnlyUpdateAndApplicationModesOpen)
{
    for (const int mode : {0, 3, 4}) {
        EXPECT_FALSE(m_port.open(0x00020001, static_cast<EUsbTransferMode>(mode), true)) << mode;
        EXPECT_EQ(m_port.transfer_mode(), TRANSFER_MODE_CLOSED);
        EXPECT_FALSE(write(hex_bytes("59 12 00 34")));
    }
}

TEST_F(PortTest, PortWordNamesOutputHighAndInputLow)
{
    ASSERT_TRUE(m_port.open(0x00020001, TRANSFER_MODE_APP, true));
    ASSERT_TRUE(write(hex_bytes("59 12 00 34")));
    EXPECT_EQ(received_by(2), 1u);
    EXPECT_EQ(received_by(0) + received_by(1), 0u);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        EXPECT_EQ(Bytes(m_received[2][0].begin(), m_received[2][0].end()), hex_bytes("F0 59 12 00 34 F7"));
    }

    ASSERT_TRUE(m_system.send_to_host(m_sources[0], {0xF0, 0x01, 0xF7}));
    ASSERT_TRUE(m_system.send_to_host(m_sources[1], {0xF0, 0x02, 0x03, 0xF7}));
    m_system.wait_until_delivered();
    unsigned char buf[16];
    unsigned int count = 0;
    ASSERT_TRUE(m_port.Read(buf, sizeof buf, count, 100));
    EXPECT_EQ(Bytes(buf, buf + count), hex_bytes("02 03")) << "a short message is a success";
}

TEST_F(PortTest, ReopeningMovesToTheNewPortsAndClosingStopsTraffic)
{
    ASSERT_TRUE(m_port.open(0x00020001, TRANSFER_MODE_UPDATE, true));
    ASSERT_TRUE(m_port.open(0x00000000, TRANSFER_MODE_UPDATE, true));
    ASSERT_TRUE(write(hex_bytes("59 00 11 00 00 00 FF")));
    EXPECT_EQ(received_by(0), 1u);
    EXPECT_EQ(received_by(2), 0u);

    m_port.close();
    EXPECT_EQ(m_port.transfer_mode(), TRANSFER_MODE_CLOSED);
    EXPECT_FALSE(write(hex_bytes("59 00 11 00 00 00 FF")));
    unsigned char buf[4];
    unsigned int count = 0;
    EXPECT_FALSE(m_port.Read(buf, sizeof buf, count, 1));
    EXPECT_EQ(received_by(0), 1u);
}

TEST_F(PortTest, SwitchingModeNeedsAnOpenPair)
{
    EXPECT_FALSE(m_port.set_transfer_mode(TRANSFER_MODE_APP));
    ASSERT_TRUE(m_port.open(0x00010000, TRANSFER_MODE_UPDATE, true));
    EXPECT_FALSE(m_port.set_transfer_mode(TRANSFER_MODE_CLOSED));
    ASSERT_TRUE(m_port.set_transfer_mode(TRANSFER_MODE_APP));
    EXPECT_EQ(m_port.transfer_mode(), TRANSFER_MODE_APP);
    ASSERT_TRUE(write(hex_bytes("59 12 00 34")));
    std::lock_guard<std::mutex> lock(m_mutex);
    ASSERT_EQ(m_received[1].size(), 1u);
    EXPECT_EQ(Bytes(m_received[1][0].begin(), m_received[1][0].end()), hex_bytes("F0 59 12 00 34 F7"));
}

TEST_F(PortTest, FailedOpenKeepsTheModeAndLogsTheLibraryText)
{
    ASSERT_TRUE(m_port.open(0x00010001, TRANSFER_MODE_APP, true));
    const int before = log_line_count();
    EXPECT_FALSE(m_port.open(0x00070001, TRANSFER_MODE_UPDATE, true));
    EXPECT_EQ(m_port.transfer_mode(), TRANSFER_MODE_APP);
    EXPECT_FALSE(m_port.error_text().empty());
    const QStringList logged = log_lines_after(before);
    ASSERT_EQ(logged.size(), 1);
    EXPECT_TRUE(logged[0].endsWith(
        QString("{CUSBPort::open failed=%1}").arg(QString::fromStdString(m_port.error_text()))))
        << logged[0].toStdString();
    EXPECT_FALSE(write(hex_bytes("59 12 00 34"))) << "a failed open closes both ports";
}

TEST_F(PortTest, UnpluggedDestinationFailsTheWriteWithTheLibraryText)
{
    ASSERT_TRUE(m_port.open(0x00020000, TRANSFER_MODE_APP, true));
    m_system.unplug(m_destinations[2]);
    EXPECT_FALSE(write(hex_bytes("59 12 00 34")));
    EXPECT_FALSE(m_port.error_text().empty());
}

// The program's own backend: on a machine without a MIDI service it must report the
// library's failure as CMidiError, never let the library's own exception through.
TEST(RtMidiBackend, ReportsFailuresAsMidiErrors)
{
    try {
        std::unique_ptr<CMidiOut> output = rtmidi_system().make_output("RtMidi Output Client");
        const unsigned int count = output->port_count();
        EXPECT_THROW(output->open_port(count + 5, "RtMidi Output"), CMidiError);
    } catch (const CMidiError& error) {
        EXPECT_STRNE(error.what(), "");
    }
}

}  // namespace
