#include "song_pedal.h"

#include <numeric>

namespace {

constexpr unsigned SLOTS = 30;
constexpr unsigned DATA_BLOCKS = 1970;
constexpr unsigned UNITS_PER_BLOCK = BLOCK_AUDIO / 192;

class SongStoreTest : public SongPedalTest {
protected:
    void SetUp() override
    {
        connect(PULSE_RING);
        ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
        pedal().clear_command_log();
    }
    // Plants a record naming `count` blocks from `first` on in the slot's info block.
    void plant_song(unsigned slot, unsigned first, unsigned count)
    {
        std::vector<uint16_t> chain(count);
        std::iota(chain.begin(), chain.end(), static_cast<uint16_t>(first));
        program_nand(DATA_BLOCKS + slot, 0, hd_record(count * UNITS_PER_BLOCK, chain, CHAIN));
    }
    // Occupies blocks 0 .. used - 1 with planted songs of at most 150 blocks per slot.
    void occupy_blocks(unsigned used)
    {
        for (unsigned slot = 0, first = 0; first < used; ++slot, first += 150)
            plant_song(slot, first, std::min(150u, used - first));
        ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
        ASSERT_EQ(m_store.get_block_status().count(), used);
        pedal().clear_command_log();
    }
    std::vector<unsigned short> blocks_of(unsigned slot) const
    {
        BlockStatus table;
        m_store.get_file_block_status_table(slot, table);
        std::vector<unsigned short> blocks;
        for (unsigned b = 0; b < BLOCK_STATUS_SIZE; ++b)
            if (table.test(b))
                blocks.push_back(static_cast<unsigned short>(b));
        return blocks;
    }
    ELooperActionResult write(unsigned slot, const Bytes& song)
    {
        return m_store.write_file(slot, song.data(), static_cast<unsigned>(song.size()), nullptr);
    }
    // Writes are refused with 3 and without flash traffic until a load reads every slot again.
    void expect_writes_held_until_reload(unsigned slot)
    {
        pedal().clear_command_log();
        EXPECT_EQ(write(slot, song_bytes(200, slot)), LOOPER_RESULT_READ_FAILED);
        EXPECT_TRUE(commands().empty());
        ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
        EXPECT_EQ(write(slot, song_bytes(200, slot)), LOOPER_RESULT_OK);
    }
};

struct SInfoBlock {
    uint32_t product;
    unsigned slot;
    uint32_t address;
};

class SongStoreInfoBlockTest : public SongPedalTest, public ::testing::WithParamInterface<SInfoBlock> {};

TEST_P(SongStoreInfoBlockTest, DeleteErasesOnlyTheInfoBlock)
{
    const SInfoBlock& info = GetParam();
    connect(info.product);
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    const Bytes song = song_bytes(900, info.slot);
    store_song(info.slot, song);
    BlockStatus table;
    m_store.get_file_block_status_table(info.slot, table);
    ASSERT_EQ(table.count(), 1u);
    unsigned block = 0;
    while (!table.test(block))
        ++block;

    pedal().clear_command_log();
    ASSERT_EQ(m_store.delete_file(info.slot), LOOPER_RESULT_OK);
    const auto log = commands();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].command, CMD_ERASE);
    EXPECT_EQ(log[0].address, info.address);
    EXPECT_EQ(nand_bytes(block, 63, 0, 900), song) << "the audio stays on the flash";

    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    EXPECT_FALSE(m_store.is_file_exist(info.slot));
    EXPECT_TRUE(m_store.get_block_status().none());
}

INSTANTIATE_TEST_SUITE_P(Models, SongStoreInfoBlockTest,
                         ::testing::Values(SInfoBlock{PULSE_RING, 0, 0x1EC80000},
                                           SInfoBlock{PULSE_RING, 29, 1999u * 262144},
                                           SInfoBlock{SMALL_WHEEL, 0, 0xF780000},
                                           SInfoBlock{DUAL_WHEEL, 0, 0x1EF00000}));

TEST_F(SongStoreTest, LoadOf30SlotsCostsAtMostSevenTwoByteReadsAndOneRecordReadEach)
{
    for (unsigned slot = 0; slot < SLOTS; ++slot) {
        for (unsigned record = 0; record <= slot * 2 % 64; ++record)
            ASSERT_EQ(write(slot, song_bytes(192 + slot, slot)), LOOPER_RESULT_OK);
    }
    pedal().clear_command_log();
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);

    std::vector<unsigned> two_byte_reads(SLOTS), record_reads(SLOTS);
    for (const SPedalCommandRecord& read : commands(CMD_READ)) {
        const unsigned slot = read.address / geometry().block_size - DATA_BLOCKS;
        ASSERT_LT(slot, SLOTS);
        (read.length == 2 ? two_byte_reads : record_reads)[slot]++;
    }
    for (unsigned slot = 0; slot < SLOTS; ++slot) {
        EXPECT_LE(two_byte_reads[slot], 7u) << "slot " << slot;
        EXPECT_EQ(record_reads[slot], 1u) << "slot " << slot;
        EXPECT_EQ(m_store.get_file_length(slot), 192u);
    }
    EXPECT_EQ(commands().size(), commands(CMD_READ).size());
}

TEST_F(SongStoreTest, ChecksumErrorInSlot4StillLoadsTheLaterSlots)
{
    for (unsigned slot = 0; slot < SLOTS; ++slot)
        plant_song(slot, 10 * slot, 2);
    ASSERT_TRUE(nand().erase(address_of(DATA_BLOCKS + 4, 0)));
    Bytes broken = hd_record(2 * UNITS_PER_BLOCK, {40, 41}, CHAIN);
    broken[7 + 2 * CHAIN] ^= 0x10;
    program_nand(DATA_BLOCKS + 4, 0, broken);

    EXPECT_EQ(m_store.load_song_info(), LOOPER_RESULT_CHECKSUM_ERROR);
    EXPECT_FALSE(m_store.is_file_exist(4));
    for (unsigned slot = 0; slot < SLOTS; ++slot) {
        if (slot == 4)
            continue;
        EXPECT_EQ(m_store.get_file_length(slot), 2 * BLOCK_AUDIO) << "slot " << slot;
        EXPECT_TRUE(m_store.get_block_status().test(10 * slot + 1)) << "slot " << slot;
    }
    EXPECT_FALSE(m_store.get_block_status().test(40));
    EXPECT_EQ(m_store.get_block_status().count(), 2u * (SLOTS - 1));
    EXPECT_TRUE(m_store.is_block_status_complete()) << "a corrupt record names no blocks to protect";
    EXPECT_EQ(write(4, song_bytes(500, 1)), LOOPER_RESULT_OK);
}

TEST_F(SongStoreTest, ChainsOutsideTheBlockTableAreReportedInSlotOrderOnce)
{
    plant_song(2, 10, 2);
    program_nand(DATA_BLOCKS + 7, 0, hd_record(2 * UNITS_PER_BLOCK, {20, 3000}, CHAIN));
    program_nand(DATA_BLOCKS + 3, 0, hd_record(UNITS_PER_BLOCK, {4000}, CHAIN));

    EXPECT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    EXPECT_EQ(m_store.take_load_problems(), (QStringList{"Error:Block chain 0 greater than 3000",
                                                         "Error:Block chain 1 greater than 3000"}));
    EXPECT_TRUE(m_store.take_load_problems().isEmpty());
    EXPECT_FALSE(m_store.is_file_exist(7));
    EXPECT_TRUE(m_store.is_file_exist(2));

    EXPECT_EQ(m_store.reload_slot(3), LOOPER_RESULT_OK);
    EXPECT_EQ(m_store.take_load_problems(), QStringList{"Error:Block chain 0 greater than 3000"});
    EXPECT_EQ(m_store.reload_slot(2), LOOPER_RESULT_OK);
    EXPECT_TRUE(m_store.take_load_problems().isEmpty()) << "a reload reports only what it found";
}

TEST_F(SongStoreTest, ReadFailureInOneSlotBlocksWritesWithoutFlashTraffic)
{
    store_song(8, song_bytes(700, 8));
    store_song(20, song_bytes(800, 20));
    // Slots 0 to 6 are empty and cost one read each, so slot 7's first read is the 8th.
    pedal().add_fault(SPedalFault::update(EPedalFaultKind::REFUSE, CMD_READ, 8));
    EXPECT_EQ(m_store.load_song_info(), LOOPER_RESULT_READ_FAILED);
    pedal().clear_faults();
    EXPECT_TRUE(m_store.is_file_exist(8) && m_store.is_file_exist(20))
        << "the slots after the failure are loaded";
    EXPECT_EQ(m_store.get_block_status().count(), 2u);
    EXPECT_FALSE(m_store.is_block_status_complete());

    expect_writes_held_until_reload(0);
}

// A reload that cannot read the slot shows what was there, and the next one reads it again.
TEST_F(SongStoreTest, FailedReloadKeepsTheSlotAsShownUntilTheNextReload)
{
    const Bytes song = song_bytes(3000, 5);
    store_song(5, song);
    pedal().add_fault(SPedalFault::update(EPedalFaultKind::REFUSE, CMD_READ, 1));
    EXPECT_EQ(m_store.reload_slot(5), LOOPER_RESULT_READ_FAILED);
    pedal().clear_faults();
    EXPECT_TRUE(m_store.is_file_exist(5));
    EXPECT_TRUE(m_store.needs_full_reload());
    EXPECT_EQ(m_store.reload_slot(5), LOOPER_RESULT_OK);
    EXPECT_TRUE(read_song(5) == stored_form(song, PULSE_RING));
}

TEST_F(SongStoreTest, PedalThatStopsAnsweringEndsTheLoadAfterTwoSilentSlots)
{
    store_song(20, song_bytes(800, 20));
    quick_timeouts();
    pedal().clear_command_log();
    pedal().add_fault(SPedalFault::update(EPedalFaultKind::NO_REPLY, CMD_READ));
    EXPECT_EQ(m_store.load_song_info(), LOOPER_RESULT_READ_FAILED);
    EXPECT_EQ(commands(CMD_READ).size(), 2u) << "slots 0 and 1, not all 30";
    EXPECT_FALSE(m_store.is_file_exist(20));
    EXPECT_FALSE(m_store.is_block_status_complete());
}

// Either may have left the flash otherwise than the store believes.
TEST_F(SongStoreTest, FailedWriteOrDeleteHoldsWritesUntilReload)
{
    pedal().add_fault(SPedalFault::update(EPedalFaultKind::REFUSE, CMD_WRITE, 2));
    EXPECT_EQ(write(3, song_bytes(200, 2)), LOOPER_RESULT_WRITE_FAILED);
    pedal().clear_faults();
    expect_writes_held_until_reload(3);

    pedal().add_fault(SPedalFault::update(EPedalFaultKind::REFUSE, CMD_ERASE, 1));
    EXPECT_EQ(m_store.delete_file(3), LOOPER_RESULT_ERASE_FAILED);
    pedal().clear_faults();
    expect_writes_held_until_reload(3);
}

TEST_F(SongStoreTest, WritesWithoutReloadNeverShareBlocks)
{
    const Bytes first = song_bytes(BLOCK_AUDIO + 10, 3);
    store_song(0, first);
    const auto old_blocks = blocks_of(0);
    m_store.set_random_source([] { return 0u; });  // every search starts at block 0
    ASSERT_EQ(write(0, song_bytes(BLOCK_AUDIO, 4)), LOOPER_RESULT_OK);
    ASSERT_EQ(write(1, song_bytes(BLOCK_AUDIO, 5)), LOOPER_RESULT_OK);
    const auto overwrite_blocks = blocks_of(0);
    const auto other_blocks = blocks_of(1);
    ASSERT_EQ(overwrite_blocks.size(), 1u);
    ASSERT_EQ(other_blocks.size(), 1u);
    EXPECT_NE(overwrite_blocks[0], other_blocks[0]);
    for (unsigned short block : old_blocks) {
        EXPECT_NE(block, overwrite_blocks[0]);
        EXPECT_NE(block, other_blocks[0]);
    }
}

TEST_F(SongStoreTest, SongWrittenAfterADeleteWithoutReloadIsFoundByTheNextLoad)
{
    store_song(6, song_bytes(3000, 1));
    ASSERT_EQ(m_store.delete_file(6), LOOPER_RESULT_OK);
    EXPECT_FALSE(m_store.is_file_exist(6));
    const Bytes song = song_bytes(2880, 2);
    ASSERT_EQ(write(6, song), LOOPER_RESULT_OK);
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    EXPECT_TRUE(read_song(6) == song);
}

class SongStoreShortTest : public SongStoreTest, public ::testing::WithParamInterface<unsigned> {};

// Less than one unit would be recorded as no song: refused, the old song kept, the store's
// view whole.
TEST_P(SongStoreShortTest, SongShorterThanAUnitIsRefusedAndKeepsTheOldSong)
{
    const Bytes old_song = song_bytes(3000, 1);
    store_song(4, old_song);
    pedal().clear_command_log();
    EXPECT_EQ(write(4, song_bytes(GetParam(), 2)), LOOPER_RESULT_FILE_TOO_SHORT);
    EXPECT_TRUE(commands().empty());
    EXPECT_TRUE(m_store.is_block_status_complete());
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    EXPECT_TRUE(read_song(4) == stored_form(old_song, PULSE_RING));
}

INSTANTIATE_TEST_SUITE_P(Lengths, SongStoreShortTest, ::testing::Values(0u, 1u, 191u));

TEST_F(SongStoreTest, SongLongerThanAChainGives7BeforeAnyFlashCommand)
{
    pedal().clear_command_log();
    EXPECT_EQ(write(0, Bytes(41287681)), LOOPER_RESULT_FILE_TOO_LARGE);
    EXPECT_TRUE(commands().empty());
}

TEST_F(SongStoreTest, FullChainSongFitsExactly160FreeBlocksAndReadsBack)
{
    occupy_blocks(DATA_BLOCKS - CHAIN);
    const Bytes song = song_bytes(41287680, 7);
    ASSERT_EQ(write(29, song), LOOPER_RESULT_OK);
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    EXPECT_EQ(m_store.get_block_status().count(), DATA_BLOCKS);
    ASSERT_EQ(m_store.get_file_length(29), song.size());
    EXPECT_TRUE(read_song(29) == song);
}

TEST_F(SongStoreTest, ThreeFreeBlocksForAFourBlockSongGive6AndWriteNothing)
{
    occupy_blocks(DATA_BLOCKS - 3);
    EXPECT_EQ(write(29, Bytes(3 * BLOCK_AUDIO + 1)), LOOPER_RESULT_NO_SPACE);
    EXPECT_TRUE(commands().empty());
    std::vector<unsigned short> chain;
    EXPECT_EQ(m_store.apply_space(3 * BLOCK_AUDIO, chain), LOOPER_RESULT_OK);
    EXPECT_EQ(chain, (std::vector<unsigned short>{1967, 1968, 1969}));
}

struct SSearch {
    uint32_t random;
    std::vector<unsigned> used;  // blocks planted as one slot's song each
    unsigned bytes;
    std::vector<unsigned short> chain;
};

class SongStoreSearchTest : public SongStoreTest, public ::testing::WithParamInterface<SSearch> {};

TEST_P(SongStoreSearchTest, FreeBlocksAscendFromTheRandomStartAndWrapOnce)
{
    const SSearch& search = GetParam();
    for (unsigned i = 0; i < search.used.size(); ++i)
        plant_song(i, search.used[i], 1);
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    m_store.set_random_source([&] { return search.random; });
    std::vector<unsigned short> chain = {1, 2, 3};
    CDebugCapture debug;
    EXPECT_EQ(m_store.apply_space(search.bytes, chain), LOOPER_RESULT_OK);
    EXPECT_EQ(chain, search.chain);
    QString searched = "Searched blocks:";
    for (unsigned short block : search.chain)
        searched += QString("%1,").arg(block);
    EXPECT_EQ(debug.lines(), QStringList{searched});
}

INSTANTIATE_TEST_SUITE_P(Starts, SongStoreSearchTest,
                         ::testing::Values(SSearch{1969, {}, 3 * BLOCK_AUDIO, {1969, 0, 1}},
                                           SSearch{1969, {0}, 3 * BLOCK_AUDIO, {1969, 1, 2}},
                                           SSearch{1969 + 1970, {}, 2 * BLOCK_AUDIO + 1, {1969, 0, 1}},
                                           SSearch{0, {1, 2}, 3 * BLOCK_AUDIO, {0, 3, 4}},
                                           SSearch{5, {6}, 2 * BLOCK_AUDIO, {5, 7}},
                                           SSearch{0xFFFFFFFF, {}, 1, {0xFFFFFFFFu % 1970}},
                                           SSearch{77, {}, 0, {}}));

TEST_F(SongStoreTest, NamesShowTheSlotFromOneAndTheLengthInMegabytes)
{
    program_nand(DATA_BLOCKS, 0, hd_record(3000000 / 192, std::vector<uint16_t>(12, 500), CHAIN));
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    EXPECT_EQ(m_store.get_name(0), "Song 001 -- (2.86  MB)");
    EXPECT_EQ(m_store.get_name(29), "Song 030 -- (0.00  MB)");
}

TEST_F(SongStoreTest, SlotNumberOutOfRangeGives8WithoutFlashTraffic)
{
    Bytes buffer(10);
    EXPECT_EQ(m_store.delete_file(SLOTS), LOOPER_RESULT_BAD_SLOT);
    EXPECT_EQ(m_store.read_file(SLOTS, buffer.data(), 10, nullptr), LOOPER_RESULT_BAD_SLOT);
    EXPECT_EQ(write(SLOTS, buffer), LOOPER_RESULT_BAD_SLOT);
    EXPECT_FALSE(m_store.is_file_exist(SLOTS));
    EXPECT_EQ(m_store.get_file_length(SLOTS), 0u);
    EXPECT_TRUE(commands().empty());
}

TEST_F(SongStoreTest, ClosedLinkGives1)
{
    m_usb.close();
    Bytes buffer(10);
    EXPECT_EQ(m_store.load_song_info(), LOOPER_RESULT_NOT_OPEN);
    EXPECT_EQ(m_store.read_file(0, buffer.data(), 10, nullptr), LOOPER_RESULT_NOT_OPEN);
    EXPECT_EQ(write(0, buffer), LOOPER_RESULT_NOT_OPEN);
    EXPECT_TRUE(commands().empty());
}

TEST(LooperActionResultTest, EveryCodeHasItsMessageAndOthersFail)
{
    const std::vector<std::pair<int, QString>> texts = {{0, "Successful !"},
                                                        {1, "Device not open !"},
                                                        {2, "Device not support !"},
                                                        {3, "Read data failed!"},
                                                        {4, "Read data failed!"},
                                                        {5, "Checksum error!"},
                                                        {6, "Space not enough!"},
                                                        {7, "File too large!"},
                                                        {8, "Space not enough!"},
                                                        {9, "FLASH erase failed!"},
                                                        {10, "File info erase failed!"},
                                                        {11, "Write wav flag failed!"},
                                                        {12, "Cancelled !"},
                                                        {13, "File too short!"},
                                                        {14,
                                                         "The song journal could not be saved: the "
                                                         "reason is unknown. Nothing was written."},
                                                        {15, "The MIDI service stopped."},
                                                        {16, "Failed !"},
                                                        {-1, "Failed !"},
                                                        {1000, "Failed !"}};
    for (const auto& [result, text] : texts)
        EXPECT_EQ(looper_action_result_text(result), text) << "result " << result;
}

struct SModelLoad {
    uint32_t product;
    ELooperActionResult result;
    unsigned slot_count;
};

class SongStoreModelTest : public SongPedalTest, public ::testing::WithParamInterface<SModelLoad> {};

TEST_P(SongStoreModelTest, LoadMakesOneSlotPerSlotOfTheModel)
{
    connect(GetParam().product);
    EXPECT_EQ(m_store.load_song_info(), GetParam().result);
    EXPECT_EQ(m_store.slot_count(), GetParam().slot_count);
}

INSTANTIATE_TEST_SUITE_P(Products, SongStoreModelTest,
                         ::testing::Values(SModelLoad{PULSE_RING, LOOPER_RESULT_OK, 30},
                                           SModelLoad{SMALL_WHEEL, LOOPER_RESULT_OK, 1},
                                           SModelLoad{DUAL_WHEEL, LOOPER_RESULT_OK, 1},
                                           SModelLoad{0x2711, LOOPER_RESULT_OK, 0},
                                           SModelLoad{0x2719, LOOPER_RESULT_NOT_SUPPORTED, 0}));

}  // namespace
