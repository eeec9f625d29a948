#include "song_pedal.h"

#include "songs/looper_song_old.h"

namespace {

constexpr unsigned LEGACY_INFO_BLOCK = 1980;
constexpr unsigned RECORD = 2624;
constexpr unsigned FLAG_AREA = 0x10000;

class SongOldTest : public SlotTest<CLooperSongOld, SMALL_WHEEL> {
protected:
    std::vector<SPedalCommandRecord> on_flash(int command, uint8_t flash) const
    {
        std::vector<SPedalCommandRecord> found;
        for (const SPedalCommandRecord& entry : commands(command))
            if (entry.flash_type == flash)
                found.push_back(entry);
        return found;
    }
};

struct SPosition {
    const SNandFlashConfig* geometry;
    unsigned length;
    unsigned block, page, unit;
};

class SongOldPositionTest : public ::testing::TestWithParam<SPosition> {};

TEST_P(SongOldPositionTest, LastUnitPositionAndStoredLength)
{
    const SPosition& expected = GetParam();
    CLooperSongOld slot;
    slot.set_nand_block(LEGACY_INFO_BLOCK, *expected.geometry, nullptr);
    t_time position{};
    slot.length_convert(expected.length, position);
    EXPECT_EQ(position.block, expected.block);
    EXPECT_EQ(position.page, expected.page);
    EXPECT_EQ(position.unit, expected.unit);
}

const SNandFlashConfig* const MONO = &g_sNand_128K_1980_MONO_BLOCKS;
const SNandFlashConfig* const STEREO = &g_sNand_128K_1980_STEREO_BLOCKS;

INSTANTIATE_TEST_SUITE_P(Lengths, SongOldPositionTest,
                         ::testing::Values(SPosition{MONO, 0, 0, 0, 0}, SPosition{MONO, 1, 0, 0, 0},
                                           SPosition{MONO, 186, 0, 0, 0}, SPosition{MONO, 187, 0, 0, 1},
                                           SPosition{MONO, 1000, 0, 0, 5}, SPosition{MONO, 2046, 0, 0, 10},
                                           SPosition{MONO, 2047, 0, 1, 0}, SPosition{MONO, 130944, 0, 63, 10},
                                           SPosition{MONO, 130945, 1, 0, 0},
                                           SPosition{MONO, 85113600, 649, 63, 10},
                                           SPosition{STEREO, 4092, 0, 0, 10},
                                           SPosition{STEREO, 261889, 1, 0, 0}));

TEST_F(SongOldTest, ThousandByteSongRecordFlagAndReadBackOf1116Bytes)
{
    const Bytes song = song_bytes(1000, 1);
    ASSERT_EQ(write(slot, song, {5}), LOOPER_RESULT_OK);

    const auto audio = on_flash(CMD_WRITE, NAND);
    ASSERT_EQ(audio.size(), 2u);
    EXPECT_EQ(audio[0].address, address_of(5, 63));
    EXPECT_EQ(audio[0].length, 1116u);
    ASSERT_EQ(commands(CMD_CHECKSUM).size(), 1u) << "the audio page is verified";
    EXPECT_EQ(commands(CMD_CHECKSUM)[0].address, address_of(5, 63));

    Bytes record = hex_bytes("6C 6F 6F 70 65 72 00 FF 01 FF 00 00 00 00 00 05 05 00");
    record.resize(2616, 0xFF);
    const Bytes tail = hex_bytes("6C 6F 6F 70 65 72 00 FF");
    record.insert(record.end(), tail.begin(), tail.end());
    EXPECT_EQ(audio[1].address, address_of(LEGACY_INFO_BLOCK, 0));
    EXPECT_EQ(nand_bytes(LEGACY_INFO_BLOCK, 0, 0, RECORD), record)
        << hex_diff(nand_bytes(LEGACY_INFO_BLOCK, 0, 0, RECORD), record);

    const auto flag_erases = on_flash(CMD_ERASE, PROGRAM_FLASH);
    ASSERT_EQ(flag_erases.size(), 16u);
    for (unsigned i = 0; i < 16; ++i)
        EXPECT_EQ(flag_erases[i].address, FLAG_AREA + 0x800 * i);
    EXPECT_EQ(pedal().program_flash().read(FLAG_AREA, 4), hex_bytes("00 00 FF FF"));

    CLooperSongOld reloaded;
    ASSERT_EQ(load_fresh(reloaded), LOOPER_RESULT_OK);
    ASSERT_EQ(reloaded.get_file_length(), 1116u);
    EXPECT_TRUE(used.test(5));
    Bytes expected = song;
    expected.resize(1116, 0x00);
    EXPECT_EQ(read_back(reloaded), expected) << hex_diff(read_back(reloaded), expected);
}

TEST_F(SongOldTest, ErasedInfoBlockIsSearchedDownToPage2ThenPage0IsRead)
{
    CDebugCapture debug;
    ASSERT_EQ(slot.load_song_info(used), LOOPER_RESULT_OK);
    EXPECT_FALSE(slot.is_file_exist());
    QStringList search_lines;
    for (int page = 62; page >= 2; page -= 2)
        search_lines << QString("%1 not used").arg(page);
    EXPECT_EQ(debug.lines(), search_lines);
    const auto reads = commands(CMD_READ);
    ASSERT_EQ(reads.size(), 32u);
    for (unsigned i = 0; i < 31; ++i) {
        EXPECT_EQ(reads[i].address, address_of(LEGACY_INFO_BLOCK, 62 - 2 * i));
        EXPECT_EQ(reads[i].length, 2u);
    }
    EXPECT_EQ(reads[31].address, address_of(LEGACY_INFO_BLOCK, 0));
    EXPECT_EQ(reads[31].length, RECORD);
}

TEST_F(SongOldTest, RecordAtPage0OnlyIsLoaded)
{
    program_nand(LEGACY_INFO_BLOCK, 0, looper_record(true, 1, 0, 0, {9, 10}));
    ASSERT_EQ(slot.load_song_info(used), LOOPER_RESULT_OK);
    EXPECT_EQ(slot.get_file_length(), 130944u + 186u);
    EXPECT_EQ(slot.get_block_used(), 2u);
    EXPECT_TRUE(used.test(9) && used.test(10));
    EXPECT_EQ(used.count(), 2u);
}

TEST_F(SongOldTest, FullChainRecordIsAccepted)
{
    std::vector<uint16_t> chain(650);
    for (unsigned i = 0; i < chain.size(); ++i)
        chain[i] = static_cast<uint16_t>(1000 + i);
    program_nand(LEGACY_INFO_BLOCK, 0, looper_record(true, 649, 63, 10, chain));
    ASSERT_EQ(slot.load_song_info(used), LOOPER_RESULT_OK);
    EXPECT_EQ(slot.get_file_length(), 85113600u);
    EXPECT_EQ(used.count(), 650u);
    EXPECT_TRUE(used.test(1000) && used.test(1649));
}

TEST_F(SongOldTest, The33rdWriteRollsTheInfoBlockOver)
{
    for (unsigned i = 1; i <= 33; ++i) {
        pedal().clear_command_log();
        ASSERT_EQ(write(slot, song_bytes(186, i), {static_cast<unsigned short>(i % 3)}), LOOPER_RESULT_OK);
        const auto nand_erases = on_flash(CMD_ERASE, NAND);
        const bool erases_info =
            nand_erases.size() == 2 && nand_erases[1].address == address_of(LEGACY_INFO_BLOCK, 0);
        // A fresh object does not know the block, so its first record also starts on an erased block.
        EXPECT_EQ(erases_info, i == 1 || i == 33) << "write " << i;
        EXPECT_EQ(on_flash(CMD_WRITE, NAND).back().address,
                  address_of(LEGACY_INFO_BLOCK, i == 33 ? 0 : 2 * (i - 1)));
    }
    CLooperSongOld reloaded;
    ASSERT_EQ(load_fresh(reloaded), LOOPER_RESULT_OK);
    EXPECT_EQ(reloaded.get_file_length(), 186u);
}

TEST_F(SongOldTest, EmptySongLeavesASlotThatLoadsEmptyWithoutError)
{
    ASSERT_EQ(write(slot, song_bytes(2000, 2), {4}), LOOPER_RESULT_OK);
    pedal().clear_command_log();
    ASSERT_EQ(write(slot, {}, {}), LOOPER_RESULT_OK);
    EXPECT_TRUE(on_flash(CMD_ERASE, NAND).empty());
    EXPECT_EQ(on_flash(CMD_WRITE, NAND).size(), 1u) << "only the record";
    EXPECT_FALSE(slot.is_file_exist());

    CLooperSongOld reloaded;
    EXPECT_EQ(load_fresh(reloaded), LOOPER_RESULT_OK);
    EXPECT_FALSE(reloaded.is_file_exist());
    EXPECT_TRUE(used.none());
}

struct SBadLegacyRecord {
    const char* name;
    uint16_t block;
    std::vector<uint16_t> chain;
    ELooperActionResult result;
    const char* message;  // the load problem, or empty
};

class SongOldBadRecordTest : public SongOldTest, public ::testing::WithParamInterface<SBadLegacyRecord> {};

TEST_P(SongOldBadRecordTest, ReadsAsEmptyAndMarksNoBlock)
{
    const SBadLegacyRecord& bad = GetParam();
    program_nand(LEGACY_INFO_BLOCK, 0, looper_record(true, bad.block, 0, 0, bad.chain));
    EXPECT_EQ(slot.load_song_info(used), bad.result);
    EXPECT_FALSE(slot.is_file_exist());
    EXPECT_TRUE(used.none());
    EXPECT_EQ(slot.load_problem(), QString(bad.message));

    // A record whose load failed ends no journal the next record could follow.
    ASSERT_EQ(write(slot, song_bytes(186, 1), {8}), LOOPER_RESULT_OK);
    EXPECT_EQ(on_flash(CMD_WRITE, NAND).back().address,
              address_of(LEGACY_INFO_BLOCK, bad.result == LOOPER_RESULT_OK ? 2 : 0));
}

INSTANTIATE_TEST_SUITE_P(
    Records, SongOldBadRecordTest,
    ::testing::Values(
        SBadLegacyRecord{"EmptyChainEntry", 0, {}, LOOPER_RESULT_OK, "Error:Block chain 0 greater than 3000"},
        SBadLegacyRecord{"LaterEntryOutOfRange",
                         2,
                         {1, 2, 3000},
                         LOOPER_RESULT_OK,
                         "Error:Block chain 2 greater than 3000"},
        SBadLegacyRecord{"PositionPastTheChain", 1300, std::vector<uint16_t>(1300, 7),
                         LOOPER_RESULT_CHECKSUM_ERROR, ""},
        SBadLegacyRecord{"LargestPosition", 0xFFFF, {7}, LOOPER_RESULT_CHECKSUM_ERROR, ""}),
    [](const ::testing::TestParamInfo<SBadLegacyRecord>& info) { return std::string(info.param.name); });

struct SLegacyFault {
    const char* name;
    SPedalFault fault;
    ELooperActionResult result;
    bool committed;               // the new song is the slot's afterwards
    bool flag_written;            // the flag area holds 00 00
    const char* flag_debug_line;  // or empty
};

class SongOldFaultTest : public SongOldTest, public ::testing::WithParamInterface<SLegacyFault> {};

// The old song sits in block 20; the overwrite erases block 21 (erase 1), writes and verifies
// two pages (writes 1-2, checksums 1-2), writes the record (write 3), erases the sixteen flag
// sectors (erases 2-17) and writes the flag (write 4).
TEST_P(SongOldFaultTest, OverwriteFailureLeavesAWholeSong)
{
    const SLegacyFault& fault = GetParam();
    const Bytes old_song = song_bytes(2046 + 186, 3);
    const Bytes new_song = song_bytes(2046 + 372, 4);
    ASSERT_EQ(write(slot, old_song, {20}), LOOPER_RESULT_OK);
    CLooperSongOld overwriting;
    ASSERT_EQ(load_fresh(overwriting), LOOPER_RESULT_OK);
    ASSERT_TRUE(pedal().program_flash().erase(FLAG_AREA));

    pedal().add_fault(fault.fault);
    CDebugCapture debug;
    EXPECT_EQ(write(overwriting, new_song, {21}), fault.result);
    pedal().clear_faults();
    EXPECT_EQ(pedal().program_flash().read(FLAG_AREA, 2) == hex_bytes("00 00"), fault.flag_written);
    const QStringList flag_lines =
        *fault.flag_debug_line ? QStringList{fault.flag_debug_line} : QStringList{};
    EXPECT_EQ(debug.lines().filter("write_song_file_flag"), flag_lines);

    CLooperSongOld reloaded;
    ASSERT_EQ(load_fresh(reloaded), LOOPER_RESULT_OK);
    const Bytes& expected = fault.committed ? new_song : old_song;
    EXPECT_EQ(read_back(reloaded), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SongOldFaultTest,
    ::testing::Values(SLegacyFault{"AudioErase", SPedalFault::update(EPedalFaultKind::REFUSE, CMD_ERASE, 1),
                                   LOOPER_RESULT_ERASE_FAILED, false, false, ""},
                      SLegacyFault{"AudioPage", SPedalFault::update(EPedalFaultKind::REFUSE, CMD_WRITE, 2),
                                   LOOPER_RESULT_WRITE_FAILED, false, false, ""},
                      SLegacyFault{"VerifyReply",
                                   SPedalFault::update(EPedalFaultKind::BAD_CHECKSUM, CMD_CHECKSUM, 1),
                                   LOOPER_RESULT_WRITE_FAILED, false, false, ""},
                      SLegacyFault{"Record", SPedalFault::update(EPedalFaultKind::REFUSE, CMD_WRITE, 3),
                                   LOOPER_RESULT_WRITE_FAILED, false, true, ""},
                      SLegacyFault{"FlagErase", SPedalFault::update(EPedalFaultKind::REFUSE, CMD_ERASE, 9),
                                   LOOPER_RESULT_FLAG_WRITE_FAILED, true, false,
                                   "write_song_file_flag erase failed,Addr=0x00013800"},
                      SLegacyFault{"FlagWrite", SPedalFault::update(EPedalFaultKind::REFUSE, CMD_WRITE, 4),
                                   LOOPER_RESULT_FLAG_WRITE_FAILED, true, false, ""}),
    [](const ::testing::TestParamInfo<SLegacyFault>& info) { return std::string(info.param.name); });

TEST_F(SongOldTest, ChainNotMatchingTheSongIsRefusedBeforeAnyFlashCommand)
{
    EXPECT_EQ(write(slot, song_bytes(130945, 5), {5}), LOOPER_RESULT_NO_SPACE);
    EXPECT_EQ(write(slot, Bytes(85113601), std::vector<unsigned short>(651, 1)),
              LOOPER_RESULT_FILE_TOO_LARGE);
    EXPECT_TRUE(commands().empty());
}

}  // namespace
