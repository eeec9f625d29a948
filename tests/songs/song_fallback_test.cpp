#include "song_pedal.h"

#include <QTemporaryDir>
#include <set>

namespace {

constexpr unsigned LEGACY_RECORD = 2624;

struct STornCase {
    const char* name;
    uint32_t product;
    unsigned slot;
    unsigned torn_records;  // torn records after the intact one
    unsigned prefix;        // bytes of each torn record that reached the flash
};

// An intact record followed by records torn after `prefix` bytes, planted as an
// interrupted write leaves them: the load keeps the intact record's song without writing,
// names the slot for the notice, and the next write goes after the torn pages.
class SongFallbackTest : public SongPedalTest, public ::testing::WithParamInterface<STornCase> {
protected:
    void SetUp() override { connect(GetParam().product); }
    bool legacy() const { return GetParam().product != PULSE_RING; }
    unsigned page_step() const { return legacy() ? 2 : 1; }
    unsigned info_block() const { return geometry().song_blocks + GetParam().slot; }
    // A record of one block's worth of units naming `block`.
    Bytes record(uint16_t block) const
    {
        return legacy() ? looper_record(true, 0, 63, 10, {block})
                        : hd_record(64 * geometry().page_data_size / geometry().unit_size, {block}, CHAIN);
    }
    void plant_torn(unsigned first_page, uint16_t block)
    {
        for (unsigned i = 0; i < GetParam().torn_records; ++i) {
            Bytes torn = record(block);
            torn.resize(GetParam().prefix);
            program_nand(info_block(), first_page + i * page_step(), torn);
        }
    }
};

TEST_P(SongFallbackTest, KeepsTheSongOfTheLastIntactRecordAndWritesAfterTheTornPages)
{
    const unsigned slot = GetParam().slot;
    program_nand(info_block(), 0, record(10));
    plant_torn(page_step(), 11);
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);

    EXPECT_EQ(m_store.get_file_length(slot), 64 * geometry().page_data_size);
    EXPECT_TRUE(m_store.get_block_status().test(10));
    EXPECT_FALSE(m_store.get_block_status().test(11)) << "the torn record's block is free";
    EXPECT_EQ(m_store.fallback_slots(), std::vector<unsigned>{slot});
    EXPECT_EQ(commands(CMD_ERASE).size() + commands(CMD_WRITE).size(), 0u) << "a load never writes";

    pedal().clear_command_log();
    const Bytes song = song_bytes(700, slot);
    ASSERT_EQ(m_store.write_file(slot, song.data(), static_cast<unsigned>(song.size()), nullptr),
              LOOPER_RESULT_OK);
    std::vector<uint32_t> record_writes;
    for (const SPedalCommandRecord& entry : commands(CMD_WRITE))
        if (entry.flash_type == NAND && entry.address / geometry().block_size == info_block())
            record_writes.push_back(entry.address);
    EXPECT_EQ(record_writes,
              std::vector<uint32_t>{address_of(info_block(), (1 + GetParam().torn_records) * page_step())});
    ASSERT_EQ(m_store.reload_slot(slot), LOOPER_RESULT_OK);
    EXPECT_TRUE(m_store.fallback_slots().empty());
    EXPECT_EQ(read_song(slot), stored_form(song, GetParam().product));
}

TEST_P(SongFallbackTest, TornRecordsAloneLeaveAnEmptySlotWithoutNotice)
{
    plant_torn(0, 11);
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    EXPECT_FALSE(m_store.is_file_exist(GetParam().slot));
    EXPECT_TRUE(m_store.fallback_slots().empty());
    EXPECT_TRUE(m_store.get_block_status().none());
}

INSTANTIATE_TEST_SUITE_P(
    Records, SongFallbackTest,
    ::testing::Values(STornCase{"CurrentFirstByte", PULSE_RING, 3, 1, 1},
                      STornCase{"CurrentMagicOnly", PULSE_RING, 3, 1, 2},
                      STornCase{"CurrentHalf", PULSE_RING, 29, 1, 164},
                      STornCase{"CurrentAllButChecksumHighByte", PULSE_RING, 0, 1, 2 * CHAIN + 8},
                      STornCase{"CurrentTwoTornInARow", PULSE_RING, 3, 2, 100},
                      STornCase{"LegacyFirstByte", SMALL_WHEEL, 0, 1, 1},
                      STornCase{"LegacyFirstPage", SMALL_WHEEL, 0, 1, 2048},
                      STornCase{"LegacyTailTagCut", SMALL_WHEEL, 0, 1, LEGACY_RECORD - 2},
                      STornCase{"LegacyTwoTornInARowStereo", DUAL_WHEEL, 0, 2, 1312}),
    [](const ::testing::TestParamInfo<STornCase>& info) { return std::string(info.param.name); });

TEST(SongFallbackNotice, NamesTheSlotAsTheUserSeesIt)
{
    EXPECT_EQ(CLooperSongData::fallback_notice(3),
              QStringLiteral("The last write to Song 004 was interrupted; the earlier song was kept."));
}

class SongStoreReloadTest : public SongPedalTest {
protected:
    void SetUp() override { connect(PULSE_RING); }
    unsigned info_block(unsigned slot) const { return geometry().song_blocks + slot; }
    ELooperActionResult write(unsigned slot, const Bytes& song)
    {
        return m_store.write_file(slot, song.data(), static_cast<unsigned>(song.size()), nullptr);
    }
    // Info blocks read by the reads logged since the last clear.
    std::set<unsigned> read_blocks() const
    {
        std::set<unsigned> blocks;
        for (const SPedalCommandRecord& read : commands(CMD_READ))
            blocks.insert(read.address / geometry().block_size);
        return blocks;
    }
};

// A song kept from before a torn record whose block another slot's song has since taken
// (as a program that ignored torn records would have let happen) is not revived.
TEST_F(SongStoreReloadTest, KeptSongSharingABlockWithAnotherSongIsDropped)
{
    program_nand(info_block(3), 0, hd_record(10, {40}, CHAIN));
    Bytes torn = hd_record(10, {41}, CHAIN);
    torn.resize(100);
    program_nand(info_block(3), 1, torn);
    program_nand(info_block(5), 0, hd_record(10, {40}, CHAIN));

    EXPECT_EQ(m_store.load_song_info(), LOOPER_RESULT_CHECKSUM_ERROR);
    EXPECT_FALSE(m_store.is_file_exist(3));
    EXPECT_TRUE(m_store.is_file_exist(5));
    EXPECT_TRUE(m_store.fallback_slots().empty());
    EXPECT_EQ(m_store.get_block_status().count(), 1u);
    EXPECT_TRUE(m_store.needs_full_reload());
}

TEST_F(SongStoreReloadTest, ImportReloadsInEightRoundTripsAndDeleteInOne)
{
    EXPECT_TRUE(m_store.needs_full_reload());
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    EXPECT_FALSE(m_store.needs_full_reload());
    store_song(2, song_bytes(9000, 2));
    // A few records, so the search in slot 7 takes its full six steps.
    for (unsigned i = 0; i < 5; ++i)
        ASSERT_EQ(write(7, song_bytes(300, i)), LOOPER_RESULT_OK);
    const Bytes song = song_bytes(2 * geometry().page_data_size, 7);
    ASSERT_EQ(write(7, song), LOOPER_RESULT_OK);

    pedal().clear_command_log();
    ASSERT_EQ(m_store.reload_slot(7), LOOPER_RESULT_OK);
    EXPECT_LE(commands().size(), 8u);
    EXPECT_EQ(read_blocks(), std::set<unsigned>{info_block(7)});
    EXPECT_EQ(read_song(7), song);
    EXPECT_EQ(m_store.get_block_status().count(), 2u) << "the old songs of slot 7 no longer count";

    ASSERT_EQ(m_store.delete_file(7), LOOPER_RESULT_OK);
    pedal().clear_command_log();
    ASSERT_EQ(m_store.reload_slot(7), LOOPER_RESULT_OK);
    EXPECT_EQ(commands(CMD_READ).size(), 1u);
    EXPECT_EQ(commands().size(), 1u);
    EXPECT_FALSE(m_store.is_file_exist(7));
    EXPECT_EQ(m_store.get_block_status().count(), 1u) << "slot 2's block only";
}

TEST_F(SongStoreReloadTest, FailedWriteMakesTheNextReloadReadEverySlot)
{
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    pedal().add_fault(SPedalFault::update(EPedalFaultKind::REFUSE, CMD_WRITE));
    EXPECT_EQ(write(4, song_bytes(500, 4)), LOOPER_RESULT_WRITE_FAILED);
    pedal().clear_faults();
    EXPECT_TRUE(m_store.needs_full_reload());

    pedal().clear_command_log();
    ASSERT_EQ(m_store.reload_slot(4), LOOPER_RESULT_OK);
    EXPECT_EQ(read_blocks().size(), 30u);
    EXPECT_FALSE(m_store.needs_full_reload());
}

}  // namespace

namespace {

// A journal entry left by another pedal of the model, or by another model: the blocks it
// names do not sum as it says, so the empty slot stays empty, with nothing written or said.
TEST_F(SongPedalTest, JournalOfAnotherPedalWritesNothing)
{
    connect(PULSE_RING);
    SSongJournalEntry entry{PULSE_RING, 0, {}, {hd_record(20, {5}, 160), {{5, 1, 0x1234}}}};
    CSongJournal journal(m_journal);
    QString reason;
    ASSERT_TRUE(journal.put(entry, reason));
    entry.product_id = SMALL_WHEEL;
    ASSERT_TRUE(journal.put(entry, reason));
    EXPECT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    EXPECT_FALSE(m_store.is_file_exist(0));
    EXPECT_TRUE(m_store.take_load_problems().isEmpty());
    EXPECT_EQ(commands(CMD_CHECKSUM).size(), 1u) << "only the entry of this model is checked";
    EXPECT_TRUE(commands(CMD_ERASE).empty());
    EXPECT_TRUE(commands(CMD_WRITE).empty());
}

}  // namespace

namespace {

// The program's journal file: entries read back as put, dropped one by one.
TEST(SongJournalFile, KeepsEntriesAcrossObjects)
{
    QTemporaryDir dir;
    CFileJournalStorage file(dir.filePath("data/song-journal.bin"));
    QString reason;
    ASSERT_TRUE(
        CSongJournal(file).put({PULSE_RING, 3, {{1, 2}, {{7, 2, 0xBEEF}}}, {{3}, {{9, 1, 0x0102}}}}, reason));
    ASSERT_TRUE(CSongJournal(file).put({SMALL_WHEEL, 0, {}, {{4}, {}}}, reason));
    CFileJournalStorage again(dir.filePath("data/song-journal.bin"));
    const std::vector<SSongJournalEntry> entries = CSongJournal(again).entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].before.record, (std::vector<unsigned char>{1, 2}));
    EXPECT_EQ(entries[0].before.sums[0].sum, 0xBEEF);
    EXPECT_EQ(entries[1].after.record, std::vector<unsigned char>{4});
    CSongJournal(again).drop(entries[0]);
    EXPECT_EQ(CSongJournal(file).entries().size(), 1u);
}

}  // namespace
