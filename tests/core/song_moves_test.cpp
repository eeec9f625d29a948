#include "core/song_commands/song_moves.h"
#include "backup_pedal.h"

#include "core/song_commands/song_records.h"

#include <set>

namespace {

// Songs put straight into the store, each told apart by its seed.
class SongMovesTest : public CorePedal {
protected:
    // 30 units of 192 bytes: two pages of one block.
    static std::vector<unsigned char> song(int seed) { return noise(30 * 192, uint32_t(seed)); }
    void put(int slot, int seed)
    {
        const std::vector<unsigned char> bytes = song(seed);
        ASSERT_EQ(m_session.songs().write_file(unsigned(slot), bytes.data(), unsigned(bytes.size()), nullptr),
                  LOOPER_RESULT_OK);
        ASSERT_EQ(m_session.reload_slot(slot), LOOPER_RESULT_OK);
    }
    // The seed of the song each of the first `count` slots holds, -1 for none.
    std::vector<int> seeds(int count)
    {
        std::vector<int> found;
        for (int slot = 0; slot < count; ++slot) {
            found.push_back(-1);
            for (int seed = 0; seed < 30 && m_session.slot_holds_song(slot); ++seed)
                if (stored_song(unsigned(slot)) == song(seed))
                    found.back() = seed;
        }
        return found;
    }
};

TEST_F(SongMovesTest, MoveWritesOnlyInfoPagesAndTheNameFollows)
{
    connect(kPulseRing);
    put(2, 2);
    ASSERT_TRUE(rename_song(m_session, 2, QStringLiteral("Intro jam")).ok());
    m_pedal->clear_command_log();
    const COperationResult moved = move_song(m_session, 2, 0, m_yes, nullptr);
    ASSERT_TRUE(moved.ok()) << moved.text().toStdString();
    EXPECT_EQ(audio_page_commands(), 0u);
    EXPECT_EQ(m_pedal->count_commands(EPedalMode::UPDATE, kErase), 1u);
    EXPECT_EQ(known_name(m_session, 0), QStringLiteral("Intro jam"));
    EXPECT_EQ(moved.detail(), QStringLiteral("Song 001: Intro jam (was Song 003)"));
    EXPECT_EQ(seeds(3), (std::vector<int>{2, -1, -1}));
    EXPECT_TRUE(known_name(m_session, 2).isEmpty());
}

struct SArrangeCase {
    const char* name;
    int filled;       // slots 0.. holding songs 0..
    bool full_block;  // slot 0's record in its info block's last page
    std::vector<int> order;
    const char* text;
    std::vector<int> seeds;  // of slots 0..4 afterwards
};

class SongArrangeTest : public SongMovesTest, public ::testing::WithParamInterface<SArrangeCase> {};

// The fewest steps, by records alone: through the empty slot where there is one, by direct
// swaps under the journal where there is none.
TEST_P(SongArrangeTest, TakesTheFewestStepsAndNoAudioPage)
{
    const SArrangeCase& row = GetParam();
    connect(kPulseRing);
    for (int i = 0; row.full_block && i < 63; ++i)
        put(0, 29);
    for (int slot = 0; slot < row.filled; ++slot)
        put(slot, slot);
    m_pedal->clear_command_log();
    const COperationResult arranged = arrange(m_session, row.order, nullptr);
    EXPECT_EQ(arranged.text().toStdString(), row.text);
    EXPECT_EQ(audio_page_commands(), 0u);
    EXPECT_EQ(seeds(5), row.seeds);
}

INSTANTIATE_TEST_SUITE_P(
    Arrangements, SongArrangeTest,
    ::testing::Values(
        SArrangeCase{
            "SwapThroughAFreeSlot", 2, false, {1, 0}, "Songs arranged in 3 steps.", {1, 0, -1, -1, -1}},
        SArrangeCase{"DirectSwapFullInfoBlock", 30, true, {1, 0}, "Song moved in 1 step.", {1, 0, 2, 3, 4}},
        SArrangeCase{
            "RotationOfFive", 5, false, {4, 0, 1, 2, 3}, "Songs arranged in 6 steps.", {4, 0, 1, 2, 3}},
        SArrangeCase{"RotationOfFiveNoFreeSlot",
                     30,
                     false,
                     {4, 0, 1, 2, 3},
                     "Songs arranged in 4 steps.",
                     {4, 0, 1, 2, 3}},
        SArrangeCase{
            "ChainIntoAnEmptySlot", 2, false, {2, 0, 1}, "Songs arranged in 2 steps.", {-1, 0, 1, -1, -1}}),
    [](const ::testing::TestParamInfo<SArrangeCase>& info) { return std::string(info.param.name); });

TEST_F(SongMovesTest, CancelBetweenStepsLeavesEverySongInOneSlot)
{
    connect(kPulseRing);
    for (int slot = 0; slot < 5; ++slot)
        put(slot, slot);
    CTask task;
    CCancelAtStep cancel(task, *m_pedal, 3);
    const COperationResult arranged = arrange(m_session, {4, 0, 1, 2, 3}, &task);
    EXPECT_EQ(arranged.kind(), COperationResult::EKind::CANCELLED);
    EXPECT_EQ(command_count(), cancel.commands_at_cancel);
    const std::vector<int> found = seeds(6);
    EXPECT_EQ(std::set<int>(found.begin(), found.end()), (std::set<int>{-1, 0, 1, 2, 3, 4}));
    EXPECT_EQ(arranged.detail().count(QLatin1Char('\n')), 4);
}

struct SRefusalCase {
    const char* name;
    uint32_t product;
    int from;
    int to;
    const char* text;
};

class SongMoveRefusalTest : public SongMovesTest, public ::testing::WithParamInterface<SRefusalCase> {};

TEST_P(SongMoveRefusalTest, SaysWhyAndSendsNothing)
{
    connect(GetParam().product);
    m_pedal->clear_command_log();
    const COperationResult moved = move_song(m_session, GetParam().from, GetParam().to, m_yes, nullptr);
    EXPECT_FALSE(moved.ok());
    EXPECT_EQ(moved.text().toStdString(), GetParam().text);
    EXPECT_EQ(command_count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, SongMoveRefusalTest,
    ::testing::Values(SRefusalCase{"OneSlot", kDualWheel, 0, 1,
                                   "This pedal has one song slot: there is nothing to arrange."},
                      SRefusalCase{"EmptySource", kPulseRing, 3, 1,
                                   "Song 004 is empty: there is no song to move."},
                      SRefusalCase{"NoSuchSlot", kPulseRing, 0, 30, "This pedal has slots 1 to 30, not 31."}),
    [](const ::testing::TestParamInfo<SRefusalCase>& info) { return std::string(info.param.name); });

}  // namespace
