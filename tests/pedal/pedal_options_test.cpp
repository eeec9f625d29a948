#include "pedal/pedal_options.h"

#include <gtest/gtest.h>

namespace {

struct SFaultCase {
    const char* text;
    bool known;
    EPedalFaultKind kind;
    unsigned occurrence;
};

const SFaultCase kFaults[] = {
    {"no-reply@3", true, EPedalFaultKind::NO_REPLY, 3},
    {"unplug-after", true, EPedalFaultKind::UNPLUG_AFTER, 0},
    {"wrong-length-field@1", true, EPedalFaultKind::WRONG_LENGTH_FIELD, 1},
    {"no-reply@0", false, {}, 0},
    {"no-reply@x", false, {}, 0},
    {"no-reply@1@2", false, {}, 0},
    {"no_reply", false, {}, 0},
    {"delay@2", false, {}, 0},
};

class PedalFaultText : public ::testing::TestWithParam<SFaultCase> {};

TEST_P(PedalFaultText, NamesAFaultOfAnyUpdateRequest)
{
    const SFaultCase& row = GetParam();
    const std::optional<SPedalFault> fault = pedal_fault_from_text(row.text);
    ASSERT_EQ(fault.has_value(), row.known) << row.text;
    if (!fault)
        return;
    EXPECT_EQ(fault->kind, row.kind);
    EXPECT_EQ(fault->occurrence, row.occurrence);
    EXPECT_EQ(fault->mode, EPedalMode::UPDATE);
    EXPECT_EQ(fault->command, -1);
}

INSTANTIATE_TEST_SUITE_P(Texts, PedalFaultText, ::testing::ValuesIn(kFaults));

SPedalProgramParse parse(const QStringList& arguments)
{
    return parse_pedal_program(QStringList{"tandora-pedal"} + arguments);
}

TEST(PedalProgramOptions, TakeTheModelServiceFlashPaceFaultsAndUnplugTime)
{
    const SPedalProgramParse parsed =
        parse({"--model", "DUAL WHEEL", "--midi-api", "jack", "--flash", "p.flash", "--pace", "instant",
               "--fault", "refuse@2", "--fault", "bad-checksum", "--unplug-after", "1.5"});
    ASSERT_TRUE(parsed.options) << parsed.text.toStdString();
    const SPedalProgramOptions& options = *parsed.options;
    EXPECT_EQ(options.product_id, 0x2716u);
    EXPECT_EQ(options.midi_api, EMidiHostApi::JACK);
    EXPECT_EQ(options.flash_path, "p.flash");
    EXPECT_FALSE(options.realistic);
    ASSERT_EQ(options.faults.size(), 2u);
    EXPECT_EQ(options.faults[1].kind, EPedalFaultKind::BAD_CHECKSUM);
    EXPECT_EQ(options.unplug_after, std::chrono::milliseconds(1500));

    const SPedalProgramOptions plain = *parse({}).options;
    EXPECT_TRUE(plain.realistic);
    EXPECT_TRUE(plain.flash_path.isEmpty());
    EXPECT_EQ(plain.midi_api, EMidiHostApi::DEFAULT);
    EXPECT_FALSE(plain.unplug_after);
}

TEST(PedalProgramOptions, RefuseWhatTheyCannotMeanWithUsageCode)
{
    const QStringList refused[] = {
        {"--model", "NO SUCH"},   {"--midi-api", "coremidi"}, {"--pace", "fast"}, {"--fault", "melt"},
        {"--unplug-after", "-1"}, {"--unplug-after", "soon"}, {"stray-argument"}, {"--no-such-option"}};
    for (const QStringList& arguments : refused) {
        const SPedalProgramParse parsed = parse(arguments);
        EXPECT_FALSE(parsed.options) << arguments.join(' ').toStdString();
        EXPECT_EQ(parsed.exit_code, 2) << arguments.join(' ').toStdString();
        EXPECT_FALSE(parsed.text.isEmpty());
    }
}

}  // namespace
