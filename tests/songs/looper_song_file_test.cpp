#include "song_pedal.h"

#include "songs/looper_song_file.h"

#include <QCoreApplication>

namespace {

constexpr unsigned INFO_BLOCK = 1970;  // slot 0 of the PULSE RING

class SongFileTest : public SlotTest<CLooperSongFile, PULSE_RING> {
protected:
    size_t two_byte_reads() const
    {
        size_t count = 0;
        for (const SPedalCommandRecord& entry : commands(CMD_READ))
            count += entry.length == 2;
        return count;
    }
};

TEST_F(SongFileTest, ErasedInfoBlockIsEmptyAfterOneTwoByteRead)
{
    ASSERT_EQ(slot.load_song_info(used), LOOPER_RESULT_OK);
    EXPECT_FALSE(slot.is_file_exist());
    EXPECT_TRUE(used.none());
    const auto reads = commands(CMD_READ);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].address, 0x1EC80000u);
    EXPECT_EQ(reads[0].length, 2u);
    EXPECT_EQ(commands().size(), 1u);
}

TEST_F(SongFileTest, ThousandByteSongIsOnePage1152BytesAndReadsBackAs960)
{
    const Bytes song = song_bytes(1000, 1);
    ASSERT_EQ(write(slot, song, {7}), LOOPER_RESULT_OK);

    const auto writes = commands(CMD_WRITE);
    ASSERT_EQ(writes.size(), 2u);  // the audio page, then the info record
    EXPECT_EQ(writes[0].address, address_of(7, 63)) << "the chain's first page is the block's last";
    EXPECT_EQ(writes[0].length, 1152u);
    Bytes expected_page = song;
    expected_page.resize(1152, 0x00);
    EXPECT_EQ(nand_bytes(7, 63, 0, 1152), expected_page)
        << hex_diff(nand_bytes(7, 63, 0, 1152), expected_page);

    Bytes record = hex_bytes("48 44 FF 05 00 00 00 07 00");
    record.resize(7 + 2 * CHAIN, 0xFF);
    const Bytes checksum = hex_bytes("CD 3D");
    record.insert(record.end(), checksum.begin(), checksum.end());
    EXPECT_EQ(writes[1].address, address_of(INFO_BLOCK, 0));
    EXPECT_EQ(nand_bytes(INFO_BLOCK, 0, 0, 2 * CHAIN + 9), record)
        << hex_diff(nand_bytes(INFO_BLOCK, 0, 0, 2 * CHAIN + 9), record);

    CLooperSongFile reloaded;
    ASSERT_EQ(load_fresh(reloaded), LOOPER_RESULT_OK);
    EXPECT_EQ(reloaded.get_file_length(), 960u);
    EXPECT_TRUE(used.test(7));
    EXPECT_EQ(used.count(), 1u);
    EXPECT_EQ(read_back(reloaded), Bytes(song.begin(), song.begin() + 960));
}

struct SAudioLayout {
    unsigned length;
    unsigned audio_writes;
    unsigned last_block;  // chain index of the last audio page
    unsigned last_page;
    unsigned last_length;
};

class SongFileLayoutTest : public SongFileTest, public ::testing::WithParamInterface<SAudioLayout> {};

TEST_P(SongFileLayoutTest, PagesFollowTheRotatedOrderOfTheFirstBlock)
{
    const SAudioLayout& layout = GetParam();
    const std::vector<unsigned short> chain = {40, 12};
    ASSERT_EQ(write(slot, song_bytes(layout.length, 2), chain), LOOPER_RESULT_OK);
    auto writes = commands(CMD_WRITE);
    ASSERT_EQ(writes.size(), layout.audio_writes + 1);
    writes.pop_back();
    EXPECT_EQ(writes.back().address, address_of(chain[layout.last_block], layout.last_page));
    EXPECT_EQ(writes.back().length, layout.last_length);
    EXPECT_EQ(commands(CMD_ERASE).size(), layout.last_block + 2u);  // audio blocks and the info block
}

INSTANTIATE_TEST_SUITE_P(Lengths, SongFileLayoutTest,
                         ::testing::Values(SAudioLayout{193, 1, 0, 63, 384},
                                           SAudioLayout{PAGE_DATA, 1, 0, 63, PAGE_DATA},
                                           SAudioLayout{PAGE_DATA + 1, 2, 0, 0, 192},
                                           SAudioLayout{BLOCK_AUDIO, 64, 0, 62, PAGE_DATA},
                                           SAudioLayout{BLOCK_AUDIO + 1, 65, 1, 0, 192}));

class SongFileJournalTest : public SongFileTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(SongFileJournalTest, BinarySearchFindsTheNewestOfTheRecords)
{
    const unsigned records = GetParam();
    Bytes last;
    for (unsigned i = 0; i < records; ++i) {
        last = song_bytes(192 * (1 + i % 3), i);
        ASSERT_EQ(write(slot, last, {static_cast<unsigned short>(i % 4)}), LOOPER_RESULT_OK);
    }
    pedal().clear_command_log();

    CLooperSongFile reloaded;
    ASSERT_EQ(load_fresh(reloaded), LOOPER_RESULT_OK);
    EXPECT_LE(two_byte_reads(), 1u + 6u);
    EXPECT_EQ(commands(CMD_READ).size(), two_byte_reads() + 1) << "one record read";
    EXPECT_EQ(read_back(reloaded), last);
    EXPECT_EQ(reloaded.find_info_saved_page(0, 63), records - 1);

    // The next record goes to the next page, or after a full block to page 0 of the erased block.
    pedal().clear_command_log();
    ASSERT_EQ(write(reloaded, song_bytes(192, 99), {20}), LOOPER_RESULT_OK);
    const auto erases = commands(CMD_ERASE);
    const bool rolled_over = records == 64;
    ASSERT_EQ(erases.size(), rolled_over ? 2u : 1u);
    if (rolled_over) {
        EXPECT_EQ(erases[1].address, address_of(INFO_BLOCK, 0));
    }
    EXPECT_EQ(commands(CMD_WRITE).back().address, address_of(INFO_BLOCK, rolled_over ? 0 : records));
}

INSTANTIATE_TEST_SUITE_P(RecordCounts, SongFileJournalTest,
                         ::testing::Values(1u, 2u, 5u, 32u, 33u, 63u, 64u));

TEST_F(SongFileTest, SearchWritesOneDebugLinePerStep)
{
    for (unsigned page = 0; page < 5; ++page)
        program_nand(INFO_BLOCK, page, hex_bytes("48 44"));
    CDebugCapture debug;
    EXPECT_EQ(slot.find_info_saved_page(0, 63), 4u);
    EXPECT_EQ(
        debug.lines(),
        (QStringList{"Find between 0 ~ 63; 32 not used", "Find between 0 ~ 31; 16 not used",
                     "Find between 0 ~ 15; 8 not used", "Find between 0 ~ 7; 4 used",
                     "Find between 4 ~ 7; 6 not used", "Find between 4 ~ 5; 5 not used", "Find finished=4"}));

    pedal().clear_command_log();
    EXPECT_EQ(slot.find_info_saved_page(1, 0), 1u) << "an empty range ends the search";
    EXPECT_TRUE(commands().empty());
}

TEST_F(SongFileTest, WrongChecksumByteGives5AndTheNextWriteErasesTheJournalFirst)
{
    Bytes record = hd_record(5, {7}, CHAIN);
    record.back() ^= 0x01;
    program_nand(INFO_BLOCK, 0, record);

    EXPECT_EQ(slot.load_song_info(used), LOOPER_RESULT_CHECKSUM_ERROR);
    EXPECT_FALSE(slot.is_file_exist());
    EXPECT_TRUE(used.none());

    pedal().clear_command_log();
    ASSERT_EQ(write(slot, song_bytes(192, 3), {8}), LOOPER_RESULT_OK);
    const auto erases = commands(CMD_ERASE);
    ASSERT_EQ(erases.size(), 2u);
    EXPECT_EQ(erases[1].address, address_of(INFO_BLOCK, 0));
    EXPECT_EQ(commands(CMD_WRITE).back().address, address_of(INFO_BLOCK, 0));
}

struct SBadRecord {
    const char* name;
    uint32_t units;
    std::vector<uint16_t> chain;
    ELooperActionResult result;
    const char* message;  // the load problem, or empty
};

class SongFileBadRecordTest : public SongFileTest, public ::testing::WithParamInterface<SBadRecord> {};

TEST_P(SongFileBadRecordTest, ReadsAsEmptyAndMarksNoBlock)
{
    const SBadRecord& bad = GetParam();
    program_nand(INFO_BLOCK, 0, hd_record(bad.units, bad.chain, CHAIN));
    EXPECT_EQ(slot.load_song_info(used), bad.result);
    EXPECT_FALSE(slot.is_file_exist());
    EXPECT_EQ(slot.get_block_used(), 0u);
    EXPECT_TRUE(used.none());
    EXPECT_EQ(slot.load_problem(), QString(bad.message));

    // A record whose load failed ends no journal the next record could follow.
    ASSERT_EQ(write(slot, song_bytes(192, 1), {8}), LOOPER_RESULT_OK);
    EXPECT_EQ(commands(CMD_WRITE).back().address,
              address_of(INFO_BLOCK, bad.result == LOOPER_RESULT_OK ? 1 : 0));
}

INSTANTIATE_TEST_SUITE_P(
    Records, SongFileBadRecordTest,
    ::testing::Values(
        SBadRecord{
            "FirstEntryOutOfRange", 1, {3000}, LOOPER_RESULT_OK, "Error:Block chain 0 greater than 3000"},
        SBadRecord{"SecondEntryOutOfRange",
                   1345,
                   {5, 0xFFFF},
                   LOOPER_RESULT_OK,
                   "Error:Block chain 1 greater than 3000"},
        SBadRecord{"LengthPastTheChain", 160 * 1344 + 1, std::vector<uint16_t>(160, 9),
                   LOOPER_RESULT_CHECKSUM_ERROR, ""},
        SBadRecord{"LengthOverflowing32Bits", 0xFFFFFFFF, {1}, LOOPER_RESULT_CHECKSUM_ERROR, ""}),
    [](const ::testing::TestParamInfo<SBadRecord>& info) { return std::string(info.param.name); });

TEST_F(SongFileTest, FullChainRecordIsAccepted)
{
    std::vector<uint16_t> chain(CHAIN);
    for (unsigned i = 0; i < CHAIN; ++i)
        chain[i] = static_cast<uint16_t>(1000 + i);
    program_nand(INFO_BLOCK, 0, hd_record(CHAIN * 1344, chain, CHAIN));
    ASSERT_EQ(slot.load_song_info(used), LOOPER_RESULT_OK);
    EXPECT_EQ(slot.get_file_length(), 41287680u);
    EXPECT_EQ(used.count(), CHAIN);
    EXPECT_TRUE(used.test(1000) && used.test(1159));
}

TEST_F(SongFileTest, BufferOneByteShortGives6WithoutReading)
{
    ASSERT_EQ(write(slot, song_bytes(960, 4), {3}), LOOPER_RESULT_OK);
    pedal().clear_command_log();
    Bytes back(959);
    EXPECT_EQ(slot.read_file(back.data(), 959, nullptr), LOOPER_RESULT_NO_SPACE);
    EXPECT_TRUE(commands().empty());
}

TEST_F(SongFileTest, ProgressStepsPerBlockOnWriteAndPerPageOnRead)
{
    CDebugCapture debug;
    const Bytes song = song_bytes(BLOCK_AUDIO + 1, 5);
    const unsigned int length = BLOCK_AUDIO + 1;
    CTaskRecorder writing;
    ASSERT_EQ(slot.write_file({30, 31}, song.data(), length, &writing.task), LOOPER_RESULT_OK);
    EXPECT_EQ(writing.percents, (std::vector<int>{step_percent(BLOCK_AUDIO, length), 100}));
    EXPECT_EQ(writing.bytes(), length);

    CTaskRecorder reading;
    Bytes back(song.size());
    ASSERT_EQ(slot.read_file(back.data(), length, &reading.task), LOOPER_RESULT_OK);
    EXPECT_EQ(back, song);
    // Every page, and the last byte, read from the second block's first page, ends the bar.
    std::vector<int> every_page;
    for (unsigned int page = 1; page <= 64; ++page)
        every_page.push_back(step_percent(page * PAGE_DATA, length));
    every_page.push_back(100);
    EXPECT_EQ(reading.percents, every_page);
    EXPECT_EQ(reading.bytes(), length);
    EXPECT_EQ(debug.lines(), (QStringList{"Write file block=30", "Write file block=31", "File FAT Page=0",
                                          "Read file block=30", "Read file block=31"}));
}

struct SWriteFault {
    const char* name;
    uint8_t command;
    unsigned occurrence;  // of that command within the overwrite
    ELooperActionResult result;
};

class SongFileFaultTest : public SongFileTest, public ::testing::WithParamInterface<SWriteFault> {};

TEST_P(SongFileFaultTest, FailedOverwriteKeepsTheOldSong)
{
    const SWriteFault& fault = GetParam();
    const Bytes old_song = song_bytes(PAGE_DATA + 192, 6);
    ASSERT_EQ(write(slot, old_song, {50}), LOOPER_RESULT_OK);
    CLooperSongFile overwriting;
    ASSERT_EQ(load_fresh(overwriting), LOOPER_RESULT_OK);

    pedal().add_fault(SPedalFault::update(EPedalFaultKind::REFUSE, fault.command, fault.occurrence));
    EXPECT_EQ(write(overwriting, song_bytes(PAGE_DATA + 192, 7), {51}), fault.result);
    pedal().clear_faults();

    CLooperSongFile reloaded;
    ASSERT_EQ(load_fresh(reloaded), LOOPER_RESULT_OK);
    EXPECT_EQ(read_back(reloaded), old_song);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SongFileFaultTest,
    ::testing::Values(SWriteFault{"AudioErase", CMD_ERASE, 1, LOOPER_RESULT_ERASE_FAILED},
                      SWriteFault{"FirstAudioPage", CMD_WRITE, 1, LOOPER_RESULT_WRITE_FAILED},
                      SWriteFault{"LastAudioPage", CMD_WRITE, 2, LOOPER_RESULT_WRITE_FAILED},
                      SWriteFault{"InfoRecord", CMD_WRITE, 3, LOOPER_RESULT_WRITE_FAILED}),
    [](const ::testing::TestParamInfo<SWriteFault>& info) { return std::string(info.param.name); });

TEST_F(SongFileTest, RecordWriteWithUnknownOutcomeMakesTheNextWriteEraseTheJournal)
{
    ASSERT_EQ(write(slot, song_bytes(192, 8), {1}), LOOPER_RESULT_OK);
    // The pedal programs the record but its reply is lost.
    pedal().add_fault(SPedalFault::update(EPedalFaultKind::SHORT_REPLY, CMD_WRITE, 2));
    EXPECT_EQ(write(slot, song_bytes(192, 9), {2}), LOOPER_RESULT_WRITE_FAILED);
    pedal().clear_faults();
    pedal().clear_command_log();
    const Bytes song = song_bytes(384, 10);
    ASSERT_EQ(write(slot, song, {3}), LOOPER_RESULT_OK);
    ASSERT_EQ(commands(CMD_ERASE).size(), 2u);
    EXPECT_EQ(commands(CMD_ERASE)[1].address, address_of(INFO_BLOCK, 0));

    CLooperSongFile reloaded;
    ASSERT_EQ(load_fresh(reloaded), LOOPER_RESULT_OK);
    EXPECT_EQ(reloaded.get_file_length(), song.size());
}

TEST_F(SongFileTest, ChainNotMatchingTheSongIsRefusedBeforeAnyFlashCommand)
{
    EXPECT_EQ(write(slot, song_bytes(BLOCK_AUDIO + 1, 11), {5}), LOOPER_RESULT_NO_SPACE);
    EXPECT_EQ(write(slot, song_bytes(192, 11), {1970}), LOOPER_RESULT_NO_SPACE)
        << "an info block is no audio block";
    EXPECT_TRUE(commands().empty());
}

}  // namespace
