#include "device/midi_transfer.h"

#include "fake_wait_clock.h"
#include "hex_diff.h"
#include "midi_input.h"
#include "pedal_kit.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using ms = std::chrono::milliseconds;

// Input coming at a clock time; the reader then takes `late` more before it reads on,
// time with bytes pending that must not count toward the time-out.
struct SArrival {
    int at_ms;
    const char* bytes;
    int late_ms;
};

struct SWaitCase {
    const char* name;
    unsigned int timeout_ms;
    std::vector<SArrival> arrivals;
    const char* got;
    EReadEnd end;
    int waited_ms;   // counted toward the time-out
    int elapsed_ms;  // on the clock in all
};

void PrintTo(const SWaitCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReplyWaitTest : public ::testing::TestWithParam<SWaitCase> {};

TEST_P(ReplyWaitTest, CountsOnlyTimeWithoutInput)
{
    const SWaitCase& c = GetParam();
    CFakeWaitClock clock;
    CMIDITranfer transfer;
    transfer.set_clock(&clock);
    transfer.set_sysex_8_bit_valid(0);
    for (const SArrival& arrival : c.arrivals) {
        clock.at(ms(arrival.at_ms), [&clock, &transfer, arrival] {
            receive(transfer, hex_bytes(arrival.bytes));
            clock.advance(ms(arrival.late_ms));
        });
    }
    Bytes buf(16);
    buf.resize(transfer.read(buf.data(), 16, c.timeout_ms));
    EXPECT_EQ(buf, hex_bytes(c.got)) << hex_diff(buf, hex_bytes(c.got));
    EXPECT_EQ(transfer.last_read_end(), c.end);
    EXPECT_EQ(transfer.last_read_waited(), ms(c.waited_ms));
    EXPECT_EQ(clock.elapsed(), ms(c.elapsed_ms));
}

INSTANTIATE_TEST_SUITE_P(
    Deadlines, ReplyWaitTest,
    ::testing::Values(
        SWaitCase{"LongTimeOutPassesAtOnce", 30000, {}, "", EReadEnd::TIMED_OUT, 30000, 30000},
        SWaitCase{"ReplyWithinTheTimeOut", 1000, {{600, "F0 01 F7", 0}}, "01", EReadEnd::MESSAGE, 600, 600},
        SWaitCase{"ReplyInTwoParts",
                  1000,
                  {{300, "F0 01", 0}, {700, "02 F7", 0}},
                  "01 02",
                  EReadEnd::MESSAGE,
                  700,
                  700},
        SWaitCase{"TimeWithBytesPendingDoesNotCount",
                  1000,
                  {{600, "F0 01", 3000}},
                  "01",
                  EReadEnd::TIMED_OUT,
                  1000,
                  4000},
        SWaitCase{"PendingTimeBetweenPartsDoesNotCount",
                  1000,
                  {{600, "F0 01", 5000}, {5900, "02 F7", 0}},
                  "01 02",
                  EReadEnd::MESSAGE,
                  900,
                  5900},
        SWaitCase{"ReplyAfterTheTimeOutIsNotWaitedFor",
                  1000,
                  {{1001, "F0 01 F7", 0}},
                  "",
                  EReadEnd::TIMED_OUT,
                  1000,
                  1000}),
    [](const ::testing::TestParamInfo<SWaitCase>& info) { return std::string(info.param.name); });

TEST(ReplyWait, CancelledTaskEndsAWaitOnTheRealClock)
{
    CTask task;
    CMIDITranfer transfer;
    transfer.set_wait_task(&task);
    std::thread canceller([&task] { task.cancel(); });
    unsigned char buf[4];
    EXPECT_EQ(transfer.read(buf, sizeof buf, 30000), 0u);
    canceller.join();
    EXPECT_EQ(transfer.last_read_end(), EReadEnd::CANCELLED);
}

TEST(ReplyWait, AbortFromAnotherThreadEndsEveryWaitUntilTheNextOpen)
{
    CMIDITranfer transfer;
    std::thread aborter([&transfer] { transfer.abort_waits(); });
    unsigned char buf[4];
    EXPECT_EQ(transfer.read(buf, sizeof buf, 30000), 0u);
    aborter.join();
    EXPECT_EQ(transfer.last_read_end(), EReadEnd::LINK_LOST);
    EXPECT_EQ(transfer.read(buf, sizeof buf, 30000), 0u);
    EXPECT_EQ(transfer.last_read_end(), EReadEnd::LINK_LOST);
    EXPECT_TRUE(transfer.waits_aborted());
}

// Bytes already in the ring are taken before an interruption is noticed: a whole reply
// that came is not thrown away.
TEST(ReplyWait, ReplyAlreadyThereIsReadDespiteACancel)
{
    CTask task;
    CMIDITranfer transfer;
    transfer.set_sysex_8_bit_valid(0);
    transfer.set_wait_task(&task);
    task.cancel();
    receive(transfer, hex_bytes("F0 07 F7"));
    unsigned char buf[4];
    ASSERT_EQ(transfer.read(buf, sizeof buf, 100), 1u);
    EXPECT_EQ(buf[0], 0x07);
    EXPECT_EQ(transfer.last_read_end(), EReadEnd::MESSAGE);
}

// A scope's task is swapped out cleanly: a cancel of the task no longer set has no effect.
TEST(ReplyWait, OnlyTheCurrentTaskEndsAWait)
{
    CFakeWaitClock clock;
    CTask old_task;
    CTask current;
    CMIDITranfer transfer;
    transfer.set_clock(&clock);
    transfer.set_wait_task(&old_task);
    transfer.set_wait_task(&current);
    old_task.cancel();
    unsigned char buf[4];
    EXPECT_EQ(transfer.read(buf, sizeof buf, 200), 0u);
    EXPECT_EQ(transfer.last_read_end(), EReadEnd::TIMED_OUT);
    EXPECT_EQ(transfer.last_read_waited(), ms(200));
}

// The MIDI service stopping ends a wait then, not at its time-out, and every later one until
// the link opens again: on ports made afresh, as those of the stopped service stay dead.
TEST(ReplyWait, ServiceStopEndsWaitsAndTheNextOpenMakesNewPorts)
{
    CInstalledMidiSystem midi;
    const auto device = midi.system.plug_device("SILENT PEDAL", [](const std::vector<unsigned char>&) {});
    const unsigned int ports = pedal_port_word(midi.system, "SILENT PEDAL");
    CFakeWaitClock clock;
    CMIDITranfer transfer;
    transfer.set_clock(&clock);
    ASSERT_TRUE(transfer.open(ports >> 16, ports & 0xFFFF, true)) << transfer.error_text();
    transfer.set_sysex_8_bit_valid(0);
    clock.at(ms(250), [&midi] { midi.system.stop_service(); });
    unsigned char buf[4];
    EXPECT_EQ(transfer.read(buf, sizeof buf, 30000), 0u);
    EXPECT_EQ(transfer.last_read_end(), EReadEnd::SERVICE_STOPPED);
    EXPECT_EQ(transfer.read(buf, sizeof buf, 30000), 0u);
    EXPECT_EQ(clock.elapsed(), ms(250));
    EXPECT_FALSE(transfer.open(ports >> 16, ports & 0xFFFF, true));
    EXPECT_TRUE(transfer.service_stopped()) << "an open that found no service made it run again";

    midi.system.set_reachable(true);
    ASSERT_TRUE(transfer.open(ports >> 16, ports & 0xFFFF, true)) << transfer.error_text();
    EXPECT_FALSE(transfer.waits_aborted());
    transfer.set_sysex_8_bit_valid(0);
    ASSERT_TRUE(midi.system.deliver_to_host(device, hex_bytes("F0 05 F7")));
    ASSERT_EQ(transfer.read(buf, sizeof buf, 1000), 1u);
    EXPECT_EQ(buf[0], 0x05);
}

}  // namespace
