#include "song_pedal.h"

#include "support/little_endian.h"

#include <QTemporaryDir>

namespace {

// A journal whose file cannot be written: a full disk, a read-only folder.
class CFullDiskJournal final : public CSongJournalStorage {
public:
    [[nodiscard]] QByteArray load() override { return {}; }
    [[nodiscard]] bool save(const QByteArray&, QString& reason) override
    {
        reason = QStringLiteral("No space left on device");
        return false;
    }
};

// The PULSE RING's slot 0 with a song whose record sits in the info block's last page, so
// that the next write must erase the info block.
class SongJournalTest : public SongPedalTest {
protected:
    void connect_full(const std::string& port_name, uint16_t block)
    {
        connect(PULSE_RING, port_name);
        const Bytes song = song_bytes(BLOCK_AUDIO, block);
        program_nand(block, 0, song);
        for (unsigned page = 0; page < geometry().pages_per_block; ++page)
            program_nand(info_block(), page, hd_record(BLOCK_AUDIO / geometry().unit_size, {block}, CHAIN));
        ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
        ASSERT_TRUE(m_store.is_file_exist(0));
    }
    unsigned info_block() const { return geometry().song_blocks; }
    ELooperActionResult write(const Bytes& song)
    {
        return m_store.write_file(0, song.data(), static_cast<unsigned>(song.size()), nullptr);
    }
    size_t info_erases() const
    {
        size_t count = 0;
        for (const SPedalCommandRecord& entry : commands(CMD_ERASE))
            count += entry.flash_type == NAND && entry.address == address_of(info_block(), 0);
        return count;
    }
};

struct SUnsavedCase {
    const char* name;
    bool journal;  // false: the store is given none
    const char* text;
};

class SongJournalUnsavedTest : public SongJournalTest, public ::testing::WithParamInterface<SUnsavedCase> {};

// The erase would leave the slot without a record to come back to: it is not made, and the
// old song stays.
TEST_P(SongJournalUnsavedTest, ErasesNothing)
{
    connect_full({}, 10);
    CFullDiskJournal full;
    m_store.set_journal(GetParam().journal ? &full : nullptr);
    const unsigned length = m_store.get_file_length(0);
    pedal().clear_command_log();
    EXPECT_EQ(write(song_bytes(700, 1)), LOOPER_RESULT_JOURNAL_NOT_SAVED);
    EXPECT_EQ(journal_not_saved_text(m_store.journal_problem()).toStdString(), GetParam().text);
    EXPECT_EQ(info_erases(), 0u);
    EXPECT_FALSE(m_store.needs_full_reload());
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    EXPECT_EQ(m_store.get_file_length(0), length);
}

INSTANTIATE_TEST_SUITE_P(
    Journals, SongJournalUnsavedTest,
    ::testing::Values(
        SUnsavedCase{"NotSaved", true,
                     "The song journal could not be saved: No space left on device. Nothing was written."},
        SUnsavedCase{
            "None", false,
            "The song journal could not be saved: the song store has no journal. Nothing was written."}),
    [](const ::testing::TestParamInfo<SUnsavedCase>& info) { return std::string(info.param.name); });

// Pedal A is cut while its info block is erased; pedal B of the same model then writes the
// same slot through the same journal. B's write and load leave A's entry alone, and A gets
// its new song back.
TEST_F(SongJournalTest, TwoPedalsOfOneModelKeepEachOthersEntries)
{
    connect_full({}, 10);
    const Bytes song_a = song_bytes(700, 2);
    quick_timeouts();
    // Erase and write of the song's block, then the info block's erase.
    pedal().cut_power_at_flash_operation(3, EPowerCutEffect::PARTLY_DONE);
    EXPECT_NE(write(song_a), LOOPER_RESULT_OK);
    ASSERT_EQ(CSongJournal(m_journal).entries().size(), 1u);
    EXPECT_EQ(info_erases(), 1u);

    m_usb.close();
    std::unique_ptr<CPedalEmulator> pedal_a = std::move(m_pedal);
    const QByteArray journal = m_journal.load();
    connect_full("Pedal B", 20);
    QString reason;
    ASSERT_TRUE(m_journal.save(journal, reason));
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    ASSERT_EQ(write(song_bytes(900, 3)), LOOPER_RESULT_OK);
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    EXPECT_TRUE(m_store.take_load_problems().isEmpty());
    ASSERT_EQ(CSongJournal(m_journal).entries().size(), 1u) << "pedal A's entry";

    m_usb.close();
    m_pedal = std::move(pedal_a);
    reconnect();
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    EXPECT_EQ(m_store.take_load_problems(), QStringList{CLooperSongData::recovered_notice(0)});
    EXPECT_TRUE(read_song(0) == stored_form(song_a, PULSE_RING));
    EXPECT_TRUE(CSongJournal(m_journal).entries().empty());
}

// Bounded by age and count: entries expire after 30 days, and the 257th put drops the
// oldest; a put of the same slot in the same state replaces its entry.
TEST(SongJournalBounds, ExpiresAndKeepsTheNewest)
{
    QTemporaryDir dir;
    CFileJournalStorage file(dir.filePath("data/song-journal.bin"));
    int64_t now = 1'000'000'000;
    CSongJournal journal(file, [&] { return now; });
    QString reason;
    for (uint32_t i = 0; i <= CSongJournal::kMaxEntries; ++i, ++now)
        ASSERT_TRUE(journal.put({PULSE_RING, 3, {{uint8_t(i), uint8_t(i >> 8)}, {{7, 2, 0xBEEF}}}, {{3}, {}}},
                                reason));
    ASSERT_TRUE(journal.put({PULSE_RING, 3, {{1, 1}, {{7, 2, 0xBEEF}}}, {{4}, {}}}, reason));
    std::vector<SSongJournalEntry> kept = CSongJournal(file, [&] { return now; }).entries();
    ASSERT_EQ(kept.size(), CSongJournal::kMaxEntries);
    EXPECT_EQ(kept.front().before.record, (std::vector<unsigned char>{2, 0})) << "0 and 1 dropped";
    EXPECT_EQ(kept.back().after.record, std::vector<unsigned char>{4});
    EXPECT_EQ(kept.back().made_at, now);

    now = kept[1].made_at + CSongJournal::kLifetimeSeconds;
    EXPECT_EQ(journal.entries().size(), CSongJournal::kMaxEntries - 2);
    journal.drop(kept.back());
    EXPECT_EQ(journal.entries().size(), CSongJournal::kMaxEntries - 3);
}

// A journal saved before moves and swaps had entries of their own reads as info block
// erases; one saved now keeps each entry's kind and second slot.
TEST(SongJournalBounds, ReadsTheVersionBeforeMovesAndKeepsKinds)
{
    CMemoryJournalStorage storage;
    QByteArray bytes("TSJ2");
    // Made at 100 s, PULSE RING slot 4: a record of one byte, no sums; nothing after.
    for (const uint32_t field : {100u, 0u, PULSE_RING, 4u, 1u}) {
        unsigned char le[4];
        LE::write32(le, field);
        bytes.append(reinterpret_cast<const char*>(le), 4);
    }
    bytes.append('\x44');
    bytes.append(QByteArray(4 * 3, '\0'));
    QString reason;
    ASSERT_TRUE(storage.save(bytes, reason));
    CSongJournal journal(storage, [] { return 200; });
    ASSERT_EQ(journal.entries().size(), 1u);
    EXPECT_EQ(journal.entries()[0].kind, EJournalKind::ROLLOVER);
    EXPECT_EQ(journal.entries()[0].before.record, std::vector<unsigned char>{0x44});

    SSongJournalEntry swap{PULSE_RING, 4, {{1}, {{7, 2, 0xBEEF}}}, {{2}, {}}, 0, EJournalKind::SWAP, 9};
    ASSERT_TRUE(journal.put(swap, reason));
    const SSongJournalEntry back = journal.entries().back();
    EXPECT_TRUE(back.same_key(swap));
    EXPECT_EQ(back.after.record, std::vector<unsigned char>{2});
    EXPECT_EQ(journal.entries().size(), 2u);
}

}  // namespace
