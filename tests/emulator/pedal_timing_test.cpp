#include "pedal_fixture.h"

#include "emulator/pedal_timing.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using std::chrono::microseconds;

// 912 sysex bytes take exactly 1 ms at the USB-MIDI rate.
constexpr size_t kOneMs = 912;

LinkClock::time_point at_us(int64_t us)
{
    return LinkClock::time_point{} + microseconds(us);
}

enum class EStep { REQUEST, WORK, REPLY };

// One event handed to the schedule: a message of `amount` wire bytes sent at `at_us`, or
// `amount` us of work on a request that arrived at `at_us`; and when it ends.
struct SScheduleStep {
    EStep step;
    int64_t at_us;
    int64_t amount;
    int64_t expected_us;
};

struct SScheduleCase {
    const char* name;
    microseconds round_trip;
    std::vector<SScheduleStep> steps;
};

class LinkScheduleTest : public ::testing::TestWithParam<SScheduleCase> {};

TEST_P(LinkScheduleTest, EachMessageEndsWhereTheLinkAndThePedalLetIt)
{
    CLinkSchedule schedule(SPedalTiming::realistic(GetParam().round_trip));
    int index = 0;
    for (const SScheduleStep& step : GetParam().steps) {
        LinkClock::time_point end;
        switch (step.step) {
            case EStep::REQUEST:
                end = schedule.request_arrival(at_us(step.at_us), static_cast<size_t>(step.amount));
                break;
            case EStep::WORK:
                end = schedule.work_done(at_us(step.at_us), microseconds(step.amount));
                break;
            case EStep::REPLY:
                end = schedule.reply_arrival(at_us(step.at_us), static_cast<size_t>(step.amount));
                break;
        }
        EXPECT_EQ(end, at_us(step.expected_us)) << "step " << index;
        ++index;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Exchanges, LinkScheduleTest,
    ::testing::Values(
        // Half the round trip each way, the wire time of each message, the work between.
        SScheduleCase{"StopAndWait",
                      microseconds(1000),
                      {{EStep::REQUEST, 0, kOneMs, 1500},
                       {EStep::WORK, 1500, 250, 1750},
                       {EStep::REPLY, 1750, kOneMs / 2, 2750},
                       {EStep::REQUEST, 2750, kOneMs, 4250},
                       {EStep::WORK, 4250, 0, 4250},
                       {EStep::REPLY, 4250, kOneMs, 5750}}},
        // A message sent while the previous one is on the wire queues behind it; the
        // latency is not paid twice.
        SScheduleCase{"BackToBackRequestsQueue",
                      microseconds(1000),
                      {{EStep::REQUEST, 0, kOneMs, 1500},
                       {EStep::REQUEST, 100, kOneMs, 2500},
                       {EStep::REQUEST, 5000, 2 * kOneMs, 7500}}},
        // The pedal works on one request at a time.
        SScheduleCase{"BusyPedalDelaysTheNextWork",
                      microseconds(2000),
                      {{EStep::WORK, 1000, 2000, 3000},
                       {EStep::WORK, 1500, 250, 3250},
                       {EStep::WORK, 4000, 250, 4250}}},
        // Replies queue on their own direction, apart from the requests.
        SScheduleCase{"DirectionsAreIndependent",
                      microseconds(1000),
                      {{EStep::REPLY, 0, 10 * kOneMs, 10500},
                       {EStep::REQUEST, 0, kOneMs, 1500},
                       {EStep::REPLY, 600, kOneMs, 11500}}},
        SScheduleCase{
            "NoRoundTrip", microseconds(0), {{EStep::REQUEST, 7, 0, 7}, {EStep::REPLY, 7, kOneMs, 1007}}}),
    [](const ::testing::TestParamInfo<SScheduleCase>& info) { return std::string(info.param.name); });

TEST(LinkSchedule, InstantTimingHandsEveryTimeBackUnchanged)
{
    CLinkSchedule schedule;
    EXPECT_EQ(schedule.request_arrival(at_us(5), 5000), at_us(5));
    EXPECT_EQ(schedule.work_done(at_us(5), microseconds(2000)), at_us(5));
    EXPECT_EQ(schedule.reply_arrival(at_us(6), 5000), at_us(6));
    EXPECT_EQ(SPedalTiming{}.wire_time(5000), LinkDuration{0});
}

struct SFlashTimeCase {
    const char* name;
    bool nand;
    bool program;
    uint32_t address;
    uint32_t length;
    microseconds expected;
};

class FlashTimeTest : public ::testing::TestWithParam<SFlashTimeCase> {};

// NAND works page by page; the program flash programs word by word and reads for free.
TEST_P(FlashTimeTest, CountsTheUnitsTheRangeTouches)
{
    const SFlashTimeCase& c = GetParam();
    const SPedalTiming timing = SPedalTiming::realistic();
    const SFlashTiming& chip = c.nand ? timing.nand : timing.program_flash;
    const SFlashGeometry geometry =
        c.nand ? SFlashGeometry{262144, 4096, 2000} : SFlashGeometry{2048, 2048, 512};
    const LinkDuration time = c.program ? chip.program_time(geometry, c.address, c.length)
                                        : chip.read_time(geometry, c.address, c.length);
    EXPECT_EQ(time, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, FlashTimeTest,
    ::testing::Values(
        SFlashTimeCase{"NandPageData", true, true, 8192, 4032, kNandPageProgram},
        SFlashTimeCase{"NandAcrossAPageEnd", true, true, 4090, 12, 2 * kNandPageProgram},
        SFlashTimeCase{"NandNothing", true, true, 4096, 0, microseconds(0)},
        SFlashTimeCase{"NandReadThreePages", true, false, 4095, 4098, 3 * kNandPageRead},
        SFlashTimeCase{"ProgramFlashWriteChunk", false, true, 0, 5120, 1280 * kProgramFlashWordProgram},
        SFlashTimeCase{"ProgramFlashUnalignedWord", false, true, 2, 4, 2 * kProgramFlashWordProgram},
        SFlashTimeCase{"ProgramFlashRead", false, false, 0, 5105, microseconds(0)}),
    [](const ::testing::TestParamInfo<SFlashTimeCase>& info) { return std::string(info.param.name); });

TEST(PedalTiming, WireTimeIsTheBytesAtTheUsbMidiRate)
{
    const SPedalTiming timing = SPedalTiming::realistic();
    EXPECT_EQ(timing.wire_time(kOneMs), microseconds(1000));
    EXPECT_EQ(timing.wire_time(5871), LinkDuration{6437500});  // the largest write request
    EXPECT_EQ(timing.round_trip, microseconds(1000));
    EXPECT_EQ(SPedalTiming::realistic(microseconds(4000)).round_trip, microseconds(4000));
}

// The pedal on a realistic link still does and answers everything as on an instant one.
TEST_F(PedalTest, RealisticLinkKeepsEveryReplyAndFlashEffect)
{
    SPedalConfig config;
    config.timing = SPedalTiming::realistic();
    start(config);
    EXPECT_FALSE(pedal->timing().instant);

    const Bytes data(5120, 0x5A);
    EXPECT_EQ(request(0x21, erase(1, 0x40000)), status(0));
    EXPECT_EQ(request(0x22, write(1, 0x40000, data)), status(0));
    Bytes expected = read(1, 0x40000, 16);
    expected.insert(expected.end(), data.begin(), data.begin() + 16);
    EXPECT_EQ(request(0x23, read(1, 0x40000, 16)), pedal_wire::make_packet(0x23, expected));

    pedal->set_timing({});
    EXPECT_TRUE(pedal->timing().instant);
    EXPECT_EQ(request(0x21, erase(1, 0x40000)), status(0));
    EXPECT_EQ(pedal->nand().read(0x40000, 1), Bytes{0xFF});
}

}  // namespace
